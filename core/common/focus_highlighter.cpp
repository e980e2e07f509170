#include "core/common/focus_highlighter.h"

#include <algorithm>
#include <mutex>

#include "runtime/os/process.h"
#include "runtime/os/registry.h"
#include "runtime/ui/window.h"

namespace {

struct ProcessKeyboard {
    std::mutex mutex;
    bool wanted = false;
    bool tested = false;
    std::function<int()> touchPoints;                 // none: no touch screen here
    std::function<bool(const std::string&)> starter;  // none: start the program
};

ProcessKeyboard& keyboard() {
    static ProcessKeyboard* k = new ProcessKeyboard;
    return *k;
}

constexpr std::string_view kTouchProgram = "Microsoft Shared\\ink\\TabTip.EXE";
constexpr std::string_view kCommonFiles = "C:\\Program Files\\Common Files";

bool startProgram(const std::string& program) {
    std::function<bool(const std::string&)> starter;
    {
        auto& k = keyboard();
        std::lock_guard lock(k.mutex);
        starter = k.starter;
    }
    if (starter) return starter(program);
    return rt::startProcess(program, {}, false).started;
}

}  // namespace

FocusHighlighter::FocusHighlighter(rt::Window& window) : window_(window) {}

FocusHighlighter::~FocusHighlighter() {
    if (alive_) Kill();
}

bool FocusHighlighter::KeyboardWanted() {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    return k.wanted;
}

bool FocusHighlighter::TouchTested() {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    return k.tested;
}

void FocusHighlighter::SetTouchPointsQuery(std::function<int()> query) {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    k.touchPoints = std::move(query);
}

void FocusHighlighter::SetProgramStarter(std::function<bool(const std::string&)> starter) {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    k.starter = std::move(starter);
}

void FocusHighlighter::ResetProcessState() {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    k.wanted = false;
    k.tested = false;
}

void FocusHighlighter::Init() {
    alive_ = true;
    EXCLUDEDCONTROLTYPE.clear();
    // The common-files folder; there is no registry and no shell folder here, so it stays blank.
    std::string folder =
        rt::registryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonW6432Dir")
            .value_or("");
    _POPUPTOUCHKEYBOARDFOLDER = folder;
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    if (!k.tested) {
        k.tested = true;
        int points = k.touchPoints ? k.touchPoints() : 0;
        k.wanted = points > 0;
    }
    ENABLEOSK = k.wanted ? 1 : 0;
}

void FocusHighlighter::Kill() {
    if (!alive_) return;
    Reset();
    SCFIELD = 0;
    EXCLUDEDCONTROLTYPE.clear();
    alive_ = false;
}

void FocusHighlighter::SetKeyboard(bool on, bool keep) {
    auto& k = keyboard();
    std::lock_guard lock(k.mutex);
    if (!keep) k.wanted = on;
    ENABLEOSK = k.wanted ? 1 : 0;
}

void FocusHighlighter::Setup(rt::Byte changeColor, rt::Long backgroundColor, rt::Byte boldText,
                             rt::Long requiredBackground, rt::Byte box, rt::Long boxFill, rt::Long boxBorder,
                             rt::Short boxSize, rt::Long requiredBoxFill, rt::Long requiredBoxBorder,
                             rt::Byte indicator, rt::Long indicatorColor, std::string_view indicatorCharacter,
                             rt::Short indicatorOffset) {
    CHANGECOLOR = changeColor;
    BACKGROUNDCOLOR = backgroundColor;
    USEBOLDTEXT = boldText;
    EXCLUDEDROPLIST = 0;
    BACKGROUNDCOLORREQUIRED = requiredBackground;
    DISPLAYBOX = box;
    BOXFILLCOLOR = boxFill;
    BOXBORDERCOLOR = boxBorder;
    BOXSIZE = boxSize;
    BOXFILLCOLORREQUIRED = requiredBoxFill;
    BOXBORDERCOLORREQUIRED = requiredBoxBorder;
    DISPLAYINDICATOR = indicator;
    INDICATORCOLOR = indicatorColor;
    INDICATORCHARACTER = indicatorCharacter;
    INDICATOROFFSET = indicatorOffset;
    using K = rt::ControlKind;
    // Displays, decorations, buttons and holders; the menus and hosted controls are the
    // platform's further kinds.
    EXCLUDEDCONTROLTYPE = {K::String,   K::Image, K::Region, K::Line,  K::Box, K::Prompt, K::Group, K::Button,
                           K::Progress, K::Sheet, K::Tab,    K::Panel, K::Ole, K::Menu,   K::Item};
}

void FocusHighlighter::TakeEvent(const rt::EventInfo& event) {
    switch (event.event) {
    case rt::Event::Maximized:
    case rt::Event::Sized: {
        int control = SCFIELD;
        Reset();
        if (control) Highlight(control);
        break;
    }
    case rt::Event::Selected:
        Reset();
        Highlight(event.control);
        break;
    case rt::Event::TabChanging:
        Reset();
        SCFIELD = 0;
        break;
    default: break;
    }
}

void FocusHighlighter::Reset() {
    SetColours(false);
    SetDecoration(false);
}

rt::Byte FocusHighlighter::IsEligible(int control) {
    if (control == 0 || !window_.has(control)) return 0;
    const rt::ControlState& s = window_.control(control).state();
    if (s.toolbar || s.hidden) return 0;
    // A control inside a hidden holder is not visible either.
    for (int p = s.parent; p && window_.has(p); p = window_.control(p).state().parent)
        if (window_.control(p).state().hidden) return 0;
    if (std::find(EXCLUDEDCONTROLTYPE.begin(), EXCLUDEDCONTROLTYPE.end(), s.kind) != EXCLUDEDCONTROLTYPE.end())
        return 0;
    return 1;
}

rt::Byte FocusHighlighter::IsTextEntry(int control) {
    if (!window_.has(control)) return 0;
    auto k = window_.control(control).state().kind;
    return k == rt::ControlKind::Entry || k == rt::ControlKind::Spin || k == rt::ControlKind::DropCombo ||
                   k == rt::ControlKind::Text
               ? 1
               : 0;
}

rt::Byte FocusHighlighter::Highlight(int control) {
    if (!IsEligible(control)) {
        SCFIELD = 0;
        return 0;
    }
    const rt::ControlState& s = window_.control(control).state();
    SCFIELD = control;
    // On a scrolling area the decoration stands on the area with the control, which it surrounds
    // in the area's own places.
    area_ = 0;
    for (int p = s.parent; p && window_.has(p); p = window_.control(p).state().parent)
        if (rt::scrollsControls(window_.control(p).state())) {
            area_ = p;
            break;
        }
    SCSTYLE = s.font.weight;
    SCCOLOR = static_cast<rt::Long>(s.background);
    SCX = static_cast<rt::Short>(s.x);
    SCY = static_cast<rt::Short>(s.y);
    SCW = static_cast<rt::Short>(s.width);
    SCH = static_cast<rt::Short>(s.height);
    if (ENABLEOSK && IsTextEntry(control)) startTouchKeyboard();
    SetColours(true);
    SetDecoration(true);
    return 1;
}

void FocusHighlighter::SetColours(bool on) {
    if (!SCFIELD || !window_.has(SCFIELD)) return;
    rt::ControlRef c = window_.control(SCFIELD);
    auto kind = c.state().kind;
    if (kind == rt::ControlKind::List || kind == rt::ControlKind::Tree || kind == rt::ControlKind::DropList) return;
    if (!CHANGECOLOR) return;
    if (on) {
        if (USEBOLDTEXT) {
            rt::Font f = c.state().font;
            f.weight = 700;
            c.setFont(f);
        }
        c.setBackground(static_cast<rt::Color>(c.state().required ? BACKGROUNDCOLORREQUIRED : BACKGROUNDCOLOR));
    } else {
        c.setBackground(static_cast<rt::Color>(SCCOLOR));
        if (USEBOLDTEXT) {
            rt::Font f = c.state().font;
            f.weight = SCSTYLE;
            c.setFont(f);
        }
    }
}

void FocusHighlighter::drawBox(const Rect& r, rt::Color fill, rt::Color border) {
    const int b = BOXSIZE;
    // Fill strips around the control, never over it.
    Rect strips[4] = {{r.x, r.y, r.width, b},
                      {r.x, r.y + r.height - b, r.width, b},
                      {r.x, r.y + b, b, r.height - 2 * b},
                      {r.x + r.width - b, r.y + b, b, r.height - 2 * b}};
    for (const auto& s : strips) {
        if (s.width <= 0 || s.height <= 0) continue;
        int id = window_.create(rt::ControlKind::Box, area_);
        window_.control(id).setPosition(s.x, s.y, s.width, s.height).setBackground(fill).edit().borderColor = fill;
        decoration_.push_back(id);
    }
    // The frame.
    Rect lines[4] = {{r.x, r.y, r.width, 0},
                     {r.x, r.y + r.height, r.width, 0},
                     {r.x, r.y, 0, r.height},
                     {r.x + r.width, r.y, 0, r.height}};
    for (const auto& l : lines) {
        int id = window_.create(rt::ControlKind::Line, area_);
        window_.control(id).setPosition(l.x, l.y, l.width, l.height).setFontColor(border);
        decoration_.push_back(id);
    }
}

void FocusHighlighter::SetDecoration(bool on) {
    if (!SCFIELD) return;
    const int b = BOXSIZE, i = INDICATOROFFSET;
    const int x = SCX, y = SCY, w = SCW, h = SCH;
    bool required = window_.has(SCFIELD) && window_.control(SCFIELD).state().required;
    if (on) {
        if (DISPLAYBOX) {
            SCPCOLOR = static_cast<rt::Long>(required ? BOXBORDERCOLORREQUIRED : BOXBORDERCOLOR);
            Rect r{x - b, y - b, w + 2 * b, h + 2 * b};
            drawBox(r, static_cast<rt::Color>(required ? BOXFILLCOLORREQUIRED : BOXFILLCOLOR),
                    static_cast<rt::Color>(SCPCOLOR));
            box_ = r;
        }
        if (DISPLAYINDICATOR) {
            Rect r{x - i, y, i, h};
            int id = window_.create(rt::ControlKind::String, area_);
            window_.control(id)
                .setText(std::string(rt::clip(INDICATORCHARACTER.str())))
                .setPosition(r.x, r.y, r.width, r.height)
                .setFontColor(static_cast<rt::Color>(INDICATORCOLOR))
                .edit()
                .transparent = true;
            decoration_.push_back(id);
            indicator_ = r;
        }
        return;
    }
    if (DISPLAYINDICATOR && (!DISPLAYBOX || i > b))
        blanked_ = Rect{x - i, y - b, w + 2 * i, h + 2 * b};
    else if (DISPLAYBOX)
        blanked_ = Rect{x - b, y - b, w + 2 * b, h + 2 * b};
    removeDecoration();
}

void FocusHighlighter::removeDecoration() {
    for (int id : decoration_)
        if (window_.has(id)) window_.destroy(id);
    decoration_.clear();
    box_.reset();
    indicator_.reset();
}

void FocusHighlighter::startTouchKeyboard() {
    std::string folder(rt::clip(_POPUPTOUCHKEYBOARDFOLDER.str()));
    if (startProgram(folder + "\\" + std::string(kTouchProgram))) {
        ++keyboardStarts_;
        return;
    }
    if (folder != kCommonFiles) {
        auto colon = folder.find(":\\");
        std::string drive = colon == std::string::npos ? std::string() : folder.substr(0, colon + 2);
        if (startProgram(drive + "Program Files\\Common Files\\" + std::string(kTouchProgram))) {
            ++keyboardStarts_;
            return;
        }
    }
    ENABLEOSK = 0;
}

void SetupCommonHighlighter(FocusHighlighter& h) {
    h.Setup(1, static_cast<rt::Long>(kHighlightYellow), 0, static_cast<rt::Long>(kHighlightYellow), 1,
            static_cast<rt::Long>(kHighlightYellow), static_cast<rt::Long>(kHighlightBorder), 2,
            static_cast<rt::Long>(kHighlightYellow), static_cast<rt::Long>(kHighlightBorder), 1,
            static_cast<rt::Long>(kIndicatorGrey), "\u00BB", 8);
    h.SetKeyboard(false, false);
}
