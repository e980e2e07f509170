#include "ui_test_util.h"

#include "runtime/ui/dialogs.h"

using namespace uitest;
using rt::ControlKind;
using rt::Event;

namespace {

// Runs f on a program thread and returns what it returned.
template <class F>
auto onProgramThread(F f) {
    decltype(f()) result{};
    int t = rt::startThread([&] { result = f(); });
    EXPECT_TRUE(rt::waitThread(t, 5s));
    return result;
}

TEST_F(UiTest, MessageBoxesCarryTextTitleIconButtonsAndDefault) {
    struct Case {
        std::function<int()> show;
        int answer;
        std::string title, text;
        rt::MessageIcon icon;
        int standardButtons;
        std::vector<std::string> buttonTexts;
        int defaultButton;
    };
    using rt::MessageIcon;
    namespace b = rt::button;
    const std::vector<Case> cases = {
        {[] { return rt::message("JTL-WAWI-Version ist zu niedrig||Das Programm wird beendet.", "Version"); },
         b::Ok,
         "Version",
         "JTL-WAWI-Version ist zu niedrig\n\nDas Programm wird beendet.",
         MessageIcon::None,
         b::Ok,
         {},
         b::Ok},
        {[] { return rt::message("Sicher?", "", MessageIcon::Question, b::Yes | b::No, b::No); },
         b::Yes,
         "",
         "Sicher?",
         MessageIcon::Question,
         b::Yes | b::No,
         {},
         b::No},
        {[] { return rt::message("x", "t", MessageIcon::Hand, b::Yes | b::No, b::Cancel); },
         b::No,
         "t",
         "x",
         MessageIcon::Hand,
         b::Yes | b::No,
         {},
         b::Yes},  // a default that is not offered: the first
        {[] { return rt::message("ODBC-Fehler", "Fehler", MessageIcon::Exclamation, "&Weiter|&Stop|&Ende", 2); },
         3,
         "Fehler",
         "ODBC-Fehler",
         MessageIcon::Exclamation,
         0,
         {"&Weiter", "&Stop", "&Ende"},
         2},
        {[] { return rt::message("a", "b", MessageIcon::Information, "&Ja|&Nein", 9); },
         1,
         "b",
         "a",
         MessageIcon::Information,
         0,
         {"&Ja", "&Nein"},
         1},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        user.queueMessageBoxAnswer(c.answer);
        EXPECT_EQ(onProgramThread(c.show), c.answer) << i;
        auto shown = user.lastMessageBox();
        EXPECT_EQ(shown.title, c.title) << i;
        EXPECT_EQ(shown.text, c.text) << i;
        EXPECT_EQ(shown.icon, c.icon) << i;
        EXPECT_EQ(shown.standardButtons, c.standardButtons) << i;
        EXPECT_EQ(shown.buttonTexts, c.buttonTexts) << i;
        EXPECT_EQ(shown.defaultButton, c.defaultButton) << i;
    }
    EXPECT_EQ(user.messageBoxes().size(), cases.size());
}

TEST_F(UiTest, MessageBoxBlocksItsThreadUntilAnsweredByButtonText) {
    std::atomic<int> result{-1};
    int t = rt::startThread(
        [&] { result = rt::message("Weiter?", "Fehler", rt::MessageIcon::Exclamation, "&Weiter|&Stop|&Ende"); });
    auto box = user.waitMessageBox();
    EXPECT_EQ(box.thread, t);
    EXPECT_EQ(box.owner, 0u);  // no window on that thread
    EXPECT_EQ(result.load(), -1);
    EXPECT_THROW(user.answerMessageBox("&Abbrechen"), rt::TestDriverError);
    user.answerMessageBox("&Stop");
    user.waitThreadEnd(t);
    EXPECT_EQ(result.load(), 2);
}

TEST_F(UiTest, QueuedAnswersAreUsedInOrderAlsoByButtonText) {
    user.queueMessageBoxAnswer("&Ende");
    user.queueMessageBoxAnswer(rt::button::No);
    std::vector<int> results = onProgramThread([] {
        return std::vector<int>{rt::message("1", "", rt::MessageIcon::None, "&Weiter|&Stop|&Ende"),
                                rt::message("2", "", rt::MessageIcon::None, rt::button::Yes | rt::button::No)};
    });
    EXPECT_EQ(results, (std::vector<int>{3, rt::button::No}));
}

TEST_F(UiTest, AMessageBoxShowsTheWindowAsTheProcedureLeftIt) {
    enum { STATUS = 1 };
    int t = rt::startThread([&] {
        rt::Window w("Upd", "Upd");
        w.add(STATUS, ControlKind::String).setText("läuft");
        while (auto e = w.accept()) {
            if (e.event == Event::OpenWindow) {
                w[STATUS].setText("fertig");
                rt::message("Fertig");
            }
        }
    });
    auto box = user.waitMessageBox();
    auto w = user.waitWindow("Upd");
    EXPECT_EQ(box.owner, w);
    EXPECT_EQ(user.text(w, STATUS), "fertig");
    user.answerMessageBox(rt::button::Ok);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST_F(UiTest, FileFiltersAreReadFromTheirText) {
    using F = std::vector<rt::FileFilter>;
    EXPECT_EQ(rt::parseFileFilters("Excel|*.XLS"), (F{{"Excel", "*.XLS"}}));
    EXPECT_EQ(rt::parseFileFilters("CSV|*.csv|Alle Dateien|*.*"), (F{{"CSV", "*.csv"}, {"Alle Dateien", "*.*"}}));
    EXPECT_EQ(rt::parseFileFilters("*.TXT"), (F{{"*.TXT", "*.TXT"}}));
    EXPECT_EQ(rt::parseFileFilters(""), F{});
}

TEST_F(UiTest, FileDialogsHandTheRequestToTheUserAndReturnTheAnswer) {
    int t = rt::startThread([&] {
        auto chosen = rt::saveFileDialog("CSV-Export", "Ergebnis.csv", "CSV|*.csv|Alle|*.*", 1);
        EXPECT_TRUE(chosen.ok);
        EXPECT_EQ(chosen.path, "/tmp/out/Ergebnis.csv");
        EXPECT_EQ(chosen.filterIndex, 2);
        auto cancelled = rt::folderDialog("Pfad für Excel-Exportdatei", "/tmp");
        EXPECT_FALSE(cancelled.ok);
        EXPECT_EQ(cancelled.path, "");  // a cancelled dialog gives no path, whatever the display said
    });
    auto req = user.waitFileDialog();
    EXPECT_EQ(req.kind, rt::FileDialogKind::Save);
    EXPECT_EQ(req.title, "CSV-Export");
    EXPECT_EQ(req.file, "Ergebnis.csv");
    ASSERT_EQ(req.filters.size(), 2u);
    EXPECT_EQ(req.filters[1].patterns, "*.*");
    EXPECT_EQ(req.thread, t);
    user.answerFileDialog({true, "/tmp/out/Ergebnis.csv", 2});
    auto folder = user.waitFileDialog();
    EXPECT_EQ(folder.kind, rt::FileDialogKind::Folder);
    EXPECT_EQ(folder.folder, "/tmp");
    user.answerFileDialog({false, "/egal", 1});
    user.waitThreadEnd(t);
    EXPECT_EQ(user.fileDialogs().size(), 2u);
}

TEST_F(UiTest, PopupMenusAreReadFromTheirDefinition) {
    auto items = rt::parsePopup("-No Zoom|-|+Page Width|~Drucken|Export To CSV (opens with Excel)");
    ASSERT_EQ(items.size(), 5u);
    EXPECT_TRUE(items[0].checkable);
    EXPECT_FALSE(items[0].checked);
    EXPECT_EQ(items[0].text, "No Zoom");
    EXPECT_TRUE(items[1].separator);
    EXPECT_TRUE(items[2].checked);
    EXPECT_FALSE(items[3].enabled);
    EXPECT_EQ(items[3].text, "Drucken");
    EXPECT_EQ(items[4].text, "Export To CSV (opens with Excel)");

    user.queuePopupAnswer(4);
    user.queuePopupAnswer(5);  // only four items can be chosen
    auto chosen = onProgramThread([] {
        return std::vector<int>{rt::popup("-No Zoom|-|+Page Width|-50%|-75%"), rt::popup("a|-|b|c|d")};
    });
    EXPECT_EQ(chosen, (std::vector<int>{4, 0}));
}

TEST_F(UiTest, ColourPrinterClipboardBeepAndPointerGoToTheDisplay) {
    user.queueColorDialogAnswer({false, rt::rgb(1, 2, 3)});
    user.queuePrinterDialogAnswer({true, "PDF", 2, true});
    int t = rt::startThread([&] {
        EXPECT_EQ(rt::colorDialog("Farbe", rt::rgb(9, 9, 9)).color, rt::rgb(9, 9, 9));  // cancelled: unchanged
        auto printer = rt::printerDialog("Setup printer", true);
        EXPECT_TRUE(printer.ok);
        EXPECT_EQ(printer.printer, "PDF");
        rt::setClipboard("DRIVER=SQLite3;Database=demo.db");
        EXPECT_EQ(rt::clipboard(), "DRIVER=SQLite3;Database=demo.db");
        rt::beep(rt::Beep::Asterisk);
        rt::setPointer(rt::Pointer::Busy);
    });
    user.waitThreadEnd(t);
    EXPECT_EQ(user.clipboard(), "DRIVER=SQLite3;Database=demo.db");
    EXPECT_EQ(display.beeps(), std::vector<rt::Beep>{rt::Beep::Asterisk});
    EXPECT_EQ(display.pointer(), rt::Pointer::Busy);
    auto history = display.history();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[1].printerDialog.setupOnly);
}

TEST_F(UiTest, CutCopyAndPasteWorkOnTheSelectionOfTheFocusedFieldAndScrollingReachesTheProcedure) {
    enum { Entry = 1, Short, Fixed, Memo, Area, OnArea, Cut, Copy, Paste };
    Log log;
    const int t = rt::startThread([&] {
        rt::Window w("Edit", "Bearbeiten");
        w.add(Cut, ControlKind::Item).setText("Cu&t");
        w.add(Copy, ControlKind::Item).setText("&Copy");
        w.add(Paste, ControlKind::Item).setText("&Paste");
        w.add(Entry, ControlKind::Entry).setPicture("@s20");
        w.add(Short, ControlKind::Entry).setPicture("@s5");
        w.add(Fixed, ControlKind::Entry).setValue("fest").setReadOnly(true);
        w.add(Memo, ControlKind::Text);
        w.add(Area, ControlKind::Panel).setPosition(0, 40, 100, 50).edit().hscroll = true;
        w.add(OnArea, ControlKind::Entry, Area).setPosition(300, 2, 60, 10);
        while (auto e = w.accept()) {
            if (e.event == Event::NewSelection && e.control == Area)
                log.add("scrolled " + std::to_string(w[Area].state().scrollX) + "," +
                        std::to_string(w[Area].state().scrollY));
            if (e.event != Event::Accepted || e.control < Cut) continue;
            const auto command = e.control == Cut    ? rt::EditCommand::Cut
                                 : e.control == Copy ? rt::EditCommand::Copy
                                                     : rt::EditCommand::Paste;
            log.add(std::to_string(rt::editFocused(w, command)));
        }
    });
    const auto w = user.waitWindow("Edit");
    user.press(w, Copy);  // nothing has the focus
    EXPECT_EQ(user.clipboard(), "");
    // A value the program sets has the cursor at its end.
    EXPECT_EQ(user.control(w, Fixed).textSelection, (rt::TextSelection{4, 4}));

    struct Case {
        const char* what;
        int control;
        const char* value;  // typed first; null: the program's
        rt::TextSelection selection;
        const char* clipboard;  // before
        int command;
        const char* valueAfter;
        const char* clipboardAfter;
        rt::TextSelection selectionAfter;
        bool changed;
    };
    const Case cases[] = {
        {"cut in the middle", Memo, "eins zwei drei", {5, 9}, "x", Cut, "eins  drei", "zwei", {5, 5}, true},
        {"copy backwards", Memo, "eins zwei drei", {9, 5}, "x", Copy, "eins zwei drei", "zwei", {9, 5}, false},
        {"copy without selection", Memo, "eins", {2, 2}, "vorher", Copy, "eins", "vorher", {2, 2}, false},
        {"cut without selection", Memo, "eins", {2, 2}, "vorher", Cut, "eins", "vorher", {2, 2}, false},
        {"paste at the cursor", Memo, "eins drei", {5, 5}, "zwei ", Paste, "eins zwei drei", "zwei ", {10, 10}, true},
        {"paste over the selection", Memo, "eins zwei drei", {9, 5}, "2", Paste, "eins 2 drei", "2", {6, 6}, true},
        {"paste of two lines into text", Memo, "ab", {1, 1}, "x\r\ny", Paste, "ax\r\nyb", "x\r\ny", {5, 5}, true},
        {"umlauts cut", Entry, "Grüße aus Köln", {6, 10}, "x", Cut, "Grüße Köln", "aus ", {6, 6}, true},
        {"umlauts paste", Entry, "Äpfel", {1, 1}, "öß", Paste, "Äößpfel", "öß", {3, 3}, true},
        {"one line of two", Entry, "ab", {1, 1}, "x\r\ny", Paste, "axb", "x\r\ny", {2, 2}, true},
        {"no longer than the picture", Short, "abc", {1, 2}, "WXYZ", Paste, "aWXYc", "WXYZ", {4, 4}, true},
        {"read-only copied on cut", Fixed, nullptr, {0, 4}, "x", Cut, "fest", "fest", {0, 4}, false},
        {"read-only takes no paste", Fixed, nullptr, {1, 1}, "x", Paste, "fest", "x", {1, 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rt::setClipboard(c.clipboard);
        user.focus(w, c.control);
        if (c.value) user.setValue(w, c.control, c.value);
        user.select(w, c.control, c.selection.anchor, c.selection.cursor);
        log.clear();
        user.press(w, c.command);
        EXPECT_EQ(user.value(w, c.control), c.valueAfter);
        EXPECT_EQ(user.clipboard(), c.clipboardAfter);
        EXPECT_EQ(user.control(w, c.control).textSelection, c.selectionAfter);
        EXPECT_EQ(log.lines(), std::vector<std::string>{std::to_string(c.changed ? c.control : 0)});
    }
    EXPECT_THROW(user.select(w, Area, 0, 0), rt::TestDriverError);
    log.clear();
    user.scroll(w, Area, 240, 0);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"scrolled 240,0"});
    EXPECT_THROW(user.scroll(w, Memo, 1, 1), rt::TestDriverError);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST(NoDisplay, QuestionsGetTheirDefaultAnswer) {
    ASSERT_FALSE(rt::hasDisplay());
    int answer = 0;
    int t = rt::startThread([&] {
        answer = rt::message("?", "", rt::MessageIcon::None, rt::button::Yes | rt::button::No, rt::button::No) +
                 rt::message("?", "", rt::MessageIcon::None, "&A|&B|&C", 3) * 100;
    });
    ASSERT_TRUE(rt::waitThread(t, 5s));
    EXPECT_EQ(answer, rt::button::No + 300);
}

}  // namespace
