#pragma once
// The focus highlighter: marks the control that has the focus: its background (and text
// weight), a framed box behind it and an indicator to its left. Every window makes one with the
// common settings (CommonWindow does it) and hands it every event first.
//
// The box is drawn as run-time controls around the control (fill strips and a frame of lines
// that never cover the control itself, so it stays usable); the indicator is a text control
// left of it. Both are removed again when the highlight goes.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/data/record.h"
#include "runtime/text/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/model.h"

namespace rt {
class Window;
}

class FocusHighlighter {
public:
    rt::Byte CHANGECOLOR = 0;
    rt::Long BACKGROUNDCOLOR = 0;
    rt::Byte USEBOLDTEXT = 0;
    rt::Byte EXCLUDEDROPLIST = 0;
    rt::Long BACKGROUNDCOLORREQUIRED = 0;
    rt::Byte DISPLAYBOX = 0;
    rt::Long BOXFILLCOLOR = 0;
    rt::Long BOXBORDERCOLOR = 0;
    rt::Short BOXSIZE = 0;
    rt::Long BOXFILLCOLORREQUIRED = 0;
    rt::Long BOXBORDERCOLORREQUIRED = 0;
    rt::Byte DISPLAYINDICATOR = 0;
    rt::Long INDICATORCOLOR = 0;
    rt::CString<3> INDICATORCHARACTER;
    rt::Short INDICATOROFFSET = 0;
    rt::Byte ENABLEOSK = 0;
    rt::CString<260> _POPUPTOUCHKEYBOARDFOLDER;
    rt::Long SCFIELD = 0;
    rt::Long SCCOLOR = 0;
    rt::Long SCSTYLE = 0;
    rt::Long SCPCOLOR = 0;
    rt::Short SCX = 0, SCY = 0, SCW = 0, SCH = 0;
    std::vector<rt::ControlKind> EXCLUDEDCONTROLTYPE;

    explicit FocusHighlighter(rt::Window& window);
    virtual ~FocusHighlighter();
    FocusHighlighter(const FocusHighlighter&) = delete;
    FocusHighlighter& operator=(const FocusHighlighter&) = delete;

    // 1 .. 8, in slot order.
    virtual void Setup(rt::Byte changeColor, rt::Long backgroundColor, rt::Byte boldText, rt::Long requiredBackground,
                       rt::Byte box, rt::Long boxFill, rt::Long boxBorder, rt::Short boxSize, rt::Long requiredBoxFill,
                       rt::Long requiredBoxBorder, rt::Byte indicator, rt::Long indicatorColor,
                       std::string_view indicatorCharacter, rt::Short indicatorOffset);
    virtual void TakeEvent(const rt::EventInfo& event);
    virtual void Reset();
    virtual rt::Byte Highlight(int control);
    virtual rt::Byte IsEligible(int control);
    virtual rt::Byte IsTextEntry(int control);
    virtual void SetColours(bool on);
    virtual void SetDecoration(bool on);

    void Init();
    void Kill();
    void SetKeyboard(bool on, bool keep);

    // What is drawn now, in window coordinates (empty when nothing is).
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };
    std::optional<Rect> box() const { return box_; }
    std::optional<Rect> indicator() const { return indicator_; }
    std::optional<Rect> lastBlanked() const { return blanked_; }
    // The run-time controls of the decoration.
    const std::vector<int>& decorationControls() const { return decoration_; }
    bool touchKeyboardStarted() const { return keyboardStarts_ > 0; }

    // Process-wide: whether the touch keyboard is wanted, and whether the touch test was made.
    static bool KeyboardWanted();
    static bool TouchTested();
    // For tests: the machine's touch points and the program start, and a fresh process state.
    static void SetTouchPointsQuery(std::function<int()> query);
    static void SetProgramStarter(std::function<bool(const std::string& program)> starter);
    static void ResetProcessState();

private:
    void startTouchKeyboard();
    void drawBox(const Rect& r, rt::Color fill, rt::Color border);
    void removeDecoration();

    rt::Window& window_;
    std::optional<Rect> box_, indicator_, blanked_;
    int area_ = 0;  // the scrolling area the highlighted control stands on, 0 none
    std::vector<int> decoration_;
    int keyboardStarts_ = 0;
    bool alive_ = false;
};

// The settings every window passes (Setup) and its keyboard call: what CommonWindow does.
void SetupCommonHighlighter(FocusHighlighter& highlighter);

// Colours of the common settings.
inline constexpr rt::Color kHighlightYellow = rt::rgb(255, 255, 128);
inline constexpr rt::Color kHighlightBorder = rt::rgb(0, 0, 0);
inline constexpr rt::Color kIndicatorGrey = rt::rgb(128, 128, 128);
