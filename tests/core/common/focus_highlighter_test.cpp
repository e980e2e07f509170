#include "tests/core/common/common_test_util.h"

#include "core/common/focus_highlighter.h"
#include "runtime/ui/window.h"

using namespace commontest;
using Rect = FocusHighlighter::Rect;

namespace {

enum { ENTRY = 1, REQUIRED, BUTTON, LIST, DROP, CHECK, SHEET, TAB1, TAB2, ONTAB, HIDDEN, TOOL, PROMPT, TEXT, COMBO };

void addControls(rt::Window& w) {
    w.setPosition(0, 0, 200, 120);
    w.add(ENTRY, rt::ControlKind::Entry).setPosition(40, 20, 60, 10);
    w.add(REQUIRED, rt::ControlKind::Entry).setPosition(40, 34, 60, 10).edit().required = true;
    w.add(BUTTON, rt::ControlKind::Button).setText("OK").setPosition(150, 100, 40, 14);
    w.add(LIST, rt::ControlKind::List).setPosition(110, 10, 80, 40);
    w.add(DROP, rt::ControlKind::DropList).setFrom("a|b").setPosition(40, 48, 60, 10);
    w.add(CHECK, rt::ControlKind::Check).setText("Aktiv").setPosition(40, 62, 60, 10);
    w.add(SHEET, rt::ControlKind::Sheet).setPosition(2, 76, 100, 40);
    w.add(TAB1, rt::ControlKind::Tab, SHEET).setText("Eins");
    w.add(TAB2, rt::ControlKind::Tab, SHEET).setText("Zwei");
    w.add(ONTAB, rt::ControlKind::Entry, TAB1).setPosition(150, 90, 30, 10);
    w.add(HIDDEN, rt::ControlKind::Entry).setPosition(40, 6, 60, 10).hide();
    w.add(TOOL, rt::ControlKind::Entry).setPosition(0, 0, 30, 10).edit().toolbar = true;
    w.add(PROMPT, rt::ControlKind::Prompt).setText("Name").setPosition(4, 20, 30, 10);
    w.add(TEXT, rt::ControlKind::Text).setPosition(110, 54, 80, 20);
    w.add(COMBO, rt::ControlKind::DropCombo).setFrom("x|y").setPosition(110, 76, 30, 10);
}

}  // namespace

TEST(FocusHighlighter, CommonSettings) {
    rt::Window w;
    FocusHighlighter h(w);
    h.ENABLEOSK = 1;
    h.Init();
    SetupCommonHighlighter(h);
    EXPECT_EQ(h.CHANGECOLOR, 1);
    EXPECT_EQ(h.BACKGROUNDCOLOR, rt::Long(rt::rgb(255, 255, 128)));
    EXPECT_EQ(h.BACKGROUNDCOLORREQUIRED, rt::Long(rt::rgb(255, 255, 128)));
    EXPECT_EQ(h.USEBOLDTEXT, 0);
    EXPECT_EQ(h.EXCLUDEDROPLIST, 0);
    EXPECT_EQ(h.DISPLAYBOX, 1);
    EXPECT_EQ(h.BOXSIZE, 2);
    EXPECT_EQ(h.BOXFILLCOLOR, rt::Long(rt::rgb(255, 255, 128)));
    EXPECT_EQ(h.BOXBORDERCOLOR, 0);
    EXPECT_EQ(h.BOXFILLCOLORREQUIRED, rt::Long(rt::rgb(255, 255, 128)));
    EXPECT_EQ(h.BOXBORDERCOLORREQUIRED, 0);
    EXPECT_EQ(h.DISPLAYINDICATOR, 1);
    EXPECT_EQ(h.INDICATORCOLOR, rt::Long(rt::rgb(128, 128, 128)));
    EXPECT_EQ(h.INDICATORCHARACTER, "\u00BB");
    EXPECT_EQ(h.INDICATOROFFSET, 8);
    EXPECT_EQ(h.ENABLEOSK, 0);
    EXPECT_TRUE(FocusHighlighter::TouchTested());
}

TEST(FocusHighlighter, EligibleKindsAndExclusions) {
    rt::Window w;
    addControls(w);
    FocusHighlighter h(w);
    h.Init();
    SetupCommonHighlighter(h);
    struct Case {
        int control;
        bool eligible;
        bool coloured;
    } cases[] = {
        {ENTRY, true, true}, {REQUIRED, true, true}, {BUTTON, false, false}, {LIST, true, false},
        {DROP, true, false}, {CHECK, true, true},    {SHEET, false, false},  {TAB1, false, false},
        {ONTAB, true, true}, {HIDDEN, false, false}, {TOOL, false, false},   {PROMPT, false, false},
        {TEXT, true, true},  {COMBO, true, true},    {0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        EXPECT_EQ(h.IsEligible(c.control), c.eligible ? 1 : 0);
        EXPECT_EQ(h.Highlight(c.control), c.eligible ? 1 : 0);
        EXPECT_EQ(h.SCFIELD, c.eligible ? c.control : 0);
        if (c.control) {
            EXPECT_EQ(w.control(c.control).state().background, c.coloured ? rt::rgb(255, 255, 128) : rt::ColorNone);
        }
        EXPECT_EQ(h.box().has_value(), c.eligible);
        h.Reset();
        if (c.control) {
            EXPECT_EQ(w.control(c.control).state().background, rt::ColorNone);
        }
        EXPECT_TRUE(h.decorationControls().empty());
    }
    // An empty list of excluded kinds excludes nothing.
    h.EXCLUDEDCONTROLTYPE.clear();
    EXPECT_EQ(h.IsEligible(BUTTON), 1);
    EXPECT_EQ(h.IsTextEntry(ENTRY), 1);
    EXPECT_EQ(h.IsTextEntry(COMBO), 1);
    EXPECT_EQ(h.IsTextEntry(TEXT), 1);
    EXPECT_EQ(h.IsTextEntry(LIST), 0);
}

TEST(FocusHighlighter, BoxAndIndicatorGeometryAndWhatIsBlanked) {
    rt::Window w;
    addControls(w);
    FocusHighlighter h(w);
    h.Init();
    SetupCommonHighlighter(h);
    ASSERT_EQ(h.Highlight(ENTRY), 1);
    EXPECT_EQ(h.box(), (Rect{38, 18, 64, 14}));
    EXPECT_EQ(h.indicator(), (Rect{32, 20, 8, 10}));
    // The decoration never covers the control itself.
    for (int id : h.decorationControls()) {
        const auto& s = w.control(id).state();
        bool inside =
            s.x >= 40 && s.y >= 20 && s.x + s.width <= 100 && s.y + s.height <= 30 && s.kind == rt::ControlKind::Box;
        EXPECT_FALSE(inside) << id;
        if (s.kind == rt::ControlKind::String) {
            EXPECT_EQ(s.text, "\u00BB");
            EXPECT_EQ(s.fontColor, rt::rgb(128, 128, 128));
        }
        if (s.kind == rt::ControlKind::Line) {
            EXPECT_EQ(s.fontColor, rt::rgb(0, 0, 0));
        }
        if (s.kind == rt::ControlKind::Box) {
            EXPECT_EQ(s.background, rt::rgb(255, 255, 128));
        }
    }
    h.Reset();
    // Indicator offset 8 is more than the box size 2: the indicator's wider area is blanked.
    EXPECT_EQ(h.lastBlanked(), (Rect{32, 18, 76, 14}));
    h.DISPLAYINDICATOR = 0;
    h.Highlight(ENTRY);
    h.Reset();
    EXPECT_EQ(h.lastBlanked(), (Rect{38, 18, 64, 14}));
    // Bold text when asked for, and the control's own weight afterwards.
    h.USEBOLDTEXT = 1;
    h.Highlight(ENTRY);
    EXPECT_EQ(w.control(ENTRY).state().font.weight, 700);
    h.Reset();
    EXPECT_EQ(w.control(ENTRY).state().font.weight, 0);
}

TEST(FocusHighlighter, TouchKeyboardIsNeverStartedInTheWindows) {
    std::vector<std::string> started;
    FocusHighlighter::ResetProcessState();
    FocusHighlighter::SetTouchPointsQuery([] { return 10; });
    FocusHighlighter::SetProgramStarter([&](const std::string& p) {
        started.push_back(p);
        return false;
    });
    rt::Window w;
    addControls(w);
    {
        FocusHighlighter h(w);
        h.ENABLEOSK = 1;
        h.Init();
        EXPECT_EQ(h.ENABLEOSK, 1);  // a touch machine wants it
        EXPECT_TRUE(FocusHighlighter::KeyboardWanted());
        SetupCommonHighlighter(h);  // every window switches it off
        EXPECT_EQ(h.ENABLEOSK, 0);
        h.Highlight(ENTRY);
        EXPECT_TRUE(started.empty());
    }
    {
        // A later window keeps it off; switched on, a failing start is tried twice, then given up.
        FocusHighlighter h(w);
        h.Init();
        EXPECT_EQ(h.ENABLEOSK, 0);
        h.SetKeyboard(true, false);
        h._POPUPTOUCHKEYBOARDFOLDER = "D:\\Gemeinsam";
        h.Highlight(ENTRY);
        EXPECT_EQ(started,
                  (std::vector<std::string>{"D:\\Gemeinsam\\Microsoft Shared\\ink\\TabTip.EXE",
                                            "D:\\Program Files\\Common Files\\Microsoft Shared\\ink\\TabTip.EXE"}));
        EXPECT_EQ(h.ENABLEOSK, 0);
        h.SetKeyboard(false, false);
    }
    FocusHighlighter::SetTouchPointsQuery({});
    FocusHighlighter::SetProgramStarter({});
    FocusHighlighter::ResetProcessState();
}

// The highlighter on a running window, through the display.
TEST_F(WindowTest, HighlightFollowsTheFocusMaximiseAndTabChange) {
    int t = rt::startThread([] {
        rt::Window w("Highlight", "Hervorhebung");
        addControls(w);
        rt::WindowController wc(w, "Highlight");
        CommonWindow common(wc);
        wc.run();
    });
    auto w = user.waitWindow("Hervorhebung");
    auto decoration = [&] {
        std::vector<rt::ControlState> out;
        auto shown = display.shown(w);
        for (const auto& c : shown->controls)
            if (c.id > COMBO) out.push_back(c);
        return out;
    };
    auto indicatorX = [&] {
        for (const auto& c : decoration())
            if (c.kind == rt::ControlKind::String) return c.x;
        return -1;
    };
    user.focus(w, ONTAB);
    EXPECT_EQ(user.control(w, ONTAB).background, rt::rgb(255, 255, 128));
    EXPECT_EQ(indicatorX(), 142);
    EXPECT_EQ(decoration().size(), 9u);  // four fill strips, four lines, the indicator
    // The entry moves with the window's right edge; the box follows it.
    user.resize(w, 260, 120);
    EXPECT_EQ(user.control(w, ONTAB).x, 210);
    EXPECT_EQ(indicatorX(), 202);
    user.maximize(w);
    EXPECT_EQ(decoration().size(), 9u);
    // Leaving for a button: nothing is highlighted.
    user.focus(w, BUTTON);
    EXPECT_EQ(user.control(w, ONTAB).background, rt::ColorNone);
    EXPECT_TRUE(decoration().empty());
    // A required entry gets the required colours (the same as the optional ones here).
    user.focus(w, REQUIRED);
    EXPECT_EQ(user.control(w, REQUIRED).background, rt::rgb(255, 255, 128));
    // The user turning a page removes it (the display tells of the page being left first).
    user.selectTab(w, SHEET, 2);
    user.settle(t);
    EXPECT_TRUE(decoration().empty());
    EXPECT_EQ(user.control(w, REQUIRED).background, rt::ColorNone);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}
