// The class library's smaller parts: popup menu, resizer, matcher, translator, error manager.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "runtime/classlib/error_manager.h"
#include "runtime/classlib/fuzzy_matcher.h"
#include "runtime/classlib/popup_menu.h"
#include "runtime/classlib/translator.h"
#include "runtime/classlib/window_resizer.h"
#include "runtime/data/errors.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/support/test_support.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> texts(const std::vector<rt::PopupItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) {
        std::string t = i.separator ? "-" : i.text;
        if (!i.enabled) t = "~" + t;
        if (i.checkable) t = (i.checked ? "+" : "-") + t;
        out.push_back(t);
    }
    return out;
}

}  // namespace

TEST(PopupMenu, DefinitionSyntaxMimicItemsAndSeparators) {
    rt::Window w;
    w.add(1, rt::ControlKind::Button).setText("&Insert");
    w.add(2, rt::ControlKind::Button).setText("&Change").disable();
    w.add(3, rt::ControlKind::Button).setText("&Select").hide();
    rt::PopupMenu menu(&w);
    menu.addItemMimic("Insert", 1);
    menu.addItemMimic("Change", 2);
    menu.addItemMimic("Select", 3);
    menu.addSeparator();
    menu.addItems("Print|-|+Hidden|~Later|-Plain", {"Print", "Hidden"});  // names of the items, in order
    menu.addSeparator();
    EXPECT_EQ(texts(menu.shownItems()),
              (std::vector<std::string>{"&Insert", "~&Change", "-", "Print", "-", "+Hidden", "~Later", "-Plain"}));
    EXPECT_EQ(menu.shownNames(),
              (std::vector<std::string>{"Insert", "Change", "", "Print", "", "Hidden", "Later", "Plain"}));
    EXPECT_EQ(menu.definition(), "&Insert|~&Change|-|Print|-|+Hidden|~Later|-Plain");
    EXPECT_TRUE(menu.itemCheck("Hidden"));
    EXPECT_TRUE(menu.isMimic("Insert"));
    // Showing the hidden button shows its item; a menu of separators only shows nothing.
    w.control(3).unhide();
    EXPECT_EQ(menu.shownNames()[2], "Select");
    rt::PopupMenu empty(&w);
    empty.addSeparator();
    empty.addSeparator();
    EXPECT_TRUE(empty.shownItems().empty());
    EXPECT_EQ(empty.ask(), "");
}

TEST(PopupMenu, AskAnswersTheNameTogglesChecksAndPressesMimickedButtons) {
    rt::HeadlessDisplay display;
    rt::TestDriver user(display, 5s);
    std::vector<std::string> answers;
    std::atomic<bool> checkedAfter{false};
    std::vector<rt::EventInfo> events;
    int t = rt::startThread([&] {
        rt::Window w("Popup", "Popup");
        w.add(1, rt::ControlKind::Button).setText("&Insert");
        rt::PopupMenu menu(&w);
        menu.addItemMimic("Insert", 1);
        menu.addItems("-|+Hidden|Print");
        while (auto e = w.accept()) {
            if (e.event == rt::Event::User) {
                answers.push_back(menu.ask());
                checkedAfter = menu.itemCheck("Hidden");
            }
            if (e.event == rt::Event::Accepted) events.push_back(e);
        }
    });
    auto w = user.waitWindow("Popup");
    for (int choice : {2, 3, 1, 0}) {
        user.queuePopupAnswer(choice);
        user.send(w, rt::UserInput(rt::Event::User));
        user.settle(t);
    }
    EXPECT_EQ(answers, (std::vector<std::string>{"Hidden", "Print", "Insert", ""}));
    EXPECT_FALSE(checkedAfter);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].control, 1);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

TEST(WindowResizer, ControlsFollowTheirEdgesAndTheWindowKeepsItsMinimum) {
    rt::Window w;
    w.setPosition(0, 0, 200, 100);
    w.add(1, rt::ControlKind::List).setPosition(4, 4, 140, 80);
    w.add(2, rt::ControlKind::Button).setText("OK").setPosition(150, 80, 40, 14);
    w.add(3, rt::ControlKind::Entry).setPosition(4, 88, 40, 10);
    w.add(4, rt::ControlKind::Button).setText("Filter").setPosition(150, 4, 40, 14);
    rt::WindowResizer r;
    r.init(w);
    r.setRule(4, rt::resize::MoveRight | rt::resize::GrowHeight);
    EXPECT_EQ(w.props().minWidth, 200);
    EXPECT_EQ(w.props().minHeight, 100);
    w.setSize(260, 130);
    r.resize();
    auto at = [&](int id) {
        const auto& s = w.control(id).state();
        return std::vector<int>{s.x, s.y, s.width, s.height};
    };
    EXPECT_EQ(at(1), (std::vector<int>{4, 4, 200, 110}));    // grows both ways
    EXPECT_EQ(at(2), (std::vector<int>{210, 110, 40, 14}));  // keeps to the bottom right
    EXPECT_EQ(at(3), (std::vector<int>{4, 118, 40, 10}));    // to the bottom
    EXPECT_EQ(at(4), (std::vector<int>{210, 4, 40, 44}));    // its own rule
    // Smaller than the minimum: the design places.
    w.setSize(150, 80);
    r.resize();
    EXPECT_EQ(at(1), (std::vector<int>{4, 4, 140, 80}));
    EXPECT_EQ(at(2), (std::vector<int>{150, 80, 40, 14}));
}

TEST(WindowResizer, OfTwoGrowingControlsOneAboveTheOtherTheLowerTakesTheHeight) {
    rt::Window w;
    w.setPosition(0, 0, 200, 200);
    w.add(1, rt::ControlKind::Text).setPosition(4, 4, 192, 60);
    w.add(2, rt::ControlKind::Button).setText("Ausführen").setPosition(4, 68, 40, 14);
    w.add(3, rt::ControlKind::List).setPosition(4, 86, 192, 110);
    w.add(4, rt::ControlKind::List).setPosition(4, 4, 40, 40);
    w.add(5, rt::ControlKind::List, 4).setPosition(4, 100, 40, 40);  // on another page: grows as it is
    rt::WindowResizer r;
    r.init(w);
    w.setSize(300, 300);
    r.resize();
    auto at = [&](int id) {
        const auto& s = w.control(id).state();
        return std::vector<int>{s.x, s.y, s.width, s.height};
    };
    EXPECT_EQ(at(1), (std::vector<int>{4, 4, 292, 60}));  // as wide as the window, its own height
    EXPECT_EQ(at(2), (std::vector<int>{4, 68, 40, 14}));  // the button below it keeps its place
    EXPECT_EQ(at(3), (std::vector<int>{4, 86, 292, 210}));
    EXPECT_EQ(at(5), (std::vector<int>{4, 100, 140, 140}));
}

TEST(WindowResizer, AScrollingAreaGrowsAndWhatStandsOnItKeepsItsPlace) {
    rt::Window w;
    w.setPosition(0, 0, 200, 100);
    w.add(1, rt::ControlKind::Panel).setPosition(0, 20, 200, 80).edit().hscroll = true;
    w.add(2, rt::ControlKind::Entry, 1).setPosition(150, 60, 40, 10);
    rt::WindowResizer r;
    r.init(w);
    w.setSize(300, 150);
    r.resize();
    const auto& area = w.control(1).state();
    EXPECT_EQ((std::vector<int>{area.x, area.y, area.width, area.height}), (std::vector<int>{0, 20, 300, 130}));
    EXPECT_EQ(w.control(2).state().x, 150);
    EXPECT_EQ(w.control(2).state().y, 60);
}

TEST(WindowResizer, AFormWithoutGrowingControlsKeepsEveryControlInPlace) {
    rt::Window w;
    w.setPosition(0, 0, 200, 100);
    w.add(1, rt::ControlKind::Prompt).setText("Passwort").setPosition(4, 60, 40, 10);
    w.add(2, rt::ControlKind::Entry).setPosition(50, 60, 100, 10);
    w.add(3, rt::ControlKind::Check).setText("Aktiv").setPosition(120, 76, 60, 10);
    w.add(4, rt::ControlKind::Button).setText("OK").setPosition(150, 84, 40, 14);
    rt::WindowResizer r;
    r.init(w);
    w.setSize(600, 400);  // maximised
    r.resize();
    const std::vector<std::vector<int>> design{{4, 60}, {50, 60}, {120, 76}, {150, 84}};
    for (int id = 1; id <= 4; ++id) {
        const auto& s = w.control(id).state();
        EXPECT_EQ((std::vector<int>{s.x, s.y}), design[id - 1]) << id;
    }
}

TEST(FuzzyMatcher, OptionsAndScores) {
    rt::FuzzyMatcher m;
    m.init();
    EXPECT_FALSE(m.option(1));
    EXPECT_EQ(m.match("Kunde", "Kunde"), 100);
    EXPECT_LT(m.match("kunde", "Kunde"), 100);
    m.setOption(rt::FuzzyMatcher::IgnoreCase, true);
    EXPECT_EQ(m.match("kunde", "KUNDE"), 100);
    EXPECT_EQ(m.match("ärger", "ÄRGER"), 100);
    EXPECT_GE(m.match("kunde", "Kundennummer"), 80);
    EXPECT_EQ(m.match("xyz", "Kunde"), 0);
    EXPECT_GT(m.match("knde", "Kunde"), m.match("kxyz", "Kunde"));
    EXPECT_LT(m.match("nummer", "Kunden nummer"), 100);
    m.setOption(rt::FuzzyMatcher::WordOnly, true);
    EXPECT_EQ(m.match("nummer", "Kunden nummer"), 100);
    m.setOption(7, true);  // no such option
    EXPECT_FALSE(m.option(7));
}

TEST(Translator, CollectsTextsAndWritesTheExtractFileSorted) {
    voq::test::TempDir dir;
    rt::Translator tr;
    tr.init();
    rt::Window w("Proc", "Werteliste");
    w.add(1, rt::ControlKind::Button).setText("&Schließen").setTip("Fenster schließen");
    w.add(2, rt::ControlKind::Entry).setValue("data, not a caption");
    w.add(3, rt::ControlKind::List).setColumns({rt::ListColumn("Bezeichnung", 40)});
    tr.translateWindow(w);
    EXPECT_EQ(tr.translateText("  Abbrechen  "), "  Abbrechen  ");
    EXPECT_EQ(w.title(), "Werteliste");
    tr.setExtractFileName(dir.file("Extract.trn"));
    ASSERT_TRUE(tr.kill());
    std::ifstream in(dir.file("Extract.trn"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "  Abbrechen\r\n&Schließen\r\nBezeichnung\r\nFenster schließen\r\nWerteliste\r\n");
    // A blank name writes nothing.
    rt::Translator quiet;
    quiet.translateText("x");
    quiet.setExtractFileName("   ");
    EXPECT_TRUE(quiet.kill());
}

TEST(ErrorManager, NameStackPerThreadAndMessagesNameTheProcedure) {
    rt::ErrorManager errors;
    errors.init();
    std::vector<std::pair<std::string, std::string>> shown;
    std::mutex m;
    errors.setReporter([&](const std::string& title, const std::string& text) {
        std::lock_guard lock(m);
        shown.emplace_back(title, text);
    });
    std::atomic<int> ready{0};
    auto body = [&](std::string name) {
        rt::ProcedureName outer("Main");
        rt::ProcedureName inner(name);
        ++ready;
        while (ready < 2) std::this_thread::yield();
        EXPECT_EQ(rt::ErrorManager::procedures(), (std::vector<std::string>{"Main", name}));
        errors.throwFile(40, "Werte");
    };
    int a = rt::startThread([&] { body("BrowseWerte"); });
    int b = rt::startThread([&] { body("BrowseCubeKopf"); });
    rt::waitThread(a);
    rt::waitThread(b);
    ASSERT_EQ(shown.size(), 2u);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown[0].first, "BrowseCubeKopf");
    EXPECT_EQ(shown[1].first, "BrowseWerte");
    EXPECT_EQ(
        shown[0].second,
        "Der Datensatz kann in Werte nicht gespeichert werden:|ein anderer Datensatz hat dieselben Schlüsselwerte.");
    EXPECT_EQ(errors.throwFile(0, "Werte"), 0);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_TRUE(rt::ErrorManager::procedure().empty());
    // The runtime speaks German like the program.
    EXPECT_EQ(rt::ErrorManager::fileErrorMessage(35, "Werte"),
              "Der Datensatz von Werte ist nicht mehr vorhanden;|ein anderer Benutzer hat ihn vielleicht geändert oder "
              "gelöscht.");
    EXPECT_EQ(rt::ErrorManager::fileErrorMessage(2, "Werte"), "Die Datei Werte wurde nicht gefunden.");
    EXPECT_EQ(rt::dataErrorText(2), "Datei nicht gefunden");
}
