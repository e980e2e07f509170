#include "ui_test_util.h"

#include <atomic>
#include <functional>
#include <thread>

#include "runtime/data/queue.h"
#include "runtime/ui/queue_list.h"

using namespace uitest;
using rt::ControlKind;
using rt::Event;

namespace {

enum : int {
    PROMPT = 1,
    STRING,
    ENTRY,
    PASSWORD,
    TEXT,
    BUTTON,
    CHECK,
    OPTION,
    RADIO_L,
    RADIO_R,
    DROPLIST,
    DROPCOMBO,
    SPIN,
    LIST,
    TREE,
    SHEET,
    TAB1,
    TAB2,
    TAB_ENTRY,
    GROUP,
    BOX,
    LINE,
    PANEL,
    IMAGE,
    REGION,
    PROGRESS,
    OLE,
    MENU = 30,
    ITEM_OPEN,
    ITEM_SEP,
    ITEM_LOG,
    TOOL_BUTTON = 40,
    CHANGE = 50,
};

rt::ListRow row(std::initializer_list<const char*> cells, int level = 0) {
    rt::ListRow r;
    for (const char* c : cells) r.cells.emplace_back(c);
    r.level = level;
    return r;
}

void build(rt::Window& w) {
    w.setStatusZones({70, 90, 0}).setStatusText(2, "Page 1 of 5");
    w.add(MENU, ControlKind::Menu).setText("&Datei");
    w.add(ITEM_OPEN, ControlKind::Item, MENU).setText("&Öffnen").setHelp("Datei öffnen");
    w.add(ITEM_SEP, ControlKind::Item, MENU).edit().separator = true;
    w.add(ITEM_LOG, ControlKind::Item, MENU).setText("&Protokoll").edit().checkItem = true;
    w.add(TOOL_BUTTON, ControlKind::Button).setIcon("SMFIRST.ICO").setTip("First page(s)").edit().toolbar = true;
    w.add(PROMPT, ControlKind::Prompt).setText("&Name:").setPosition(4, 4, 30, 10);
    w.add(STRING, ControlKind::String).setText("Hinweis");
    w.add(ENTRY, ControlKind::Entry).setPicture("@s20").setImmediate(true).edit().required = true;
    w.add(PASSWORD, ControlKind::Entry).edit().password = true;
    w.add(TEXT, ControlKind::Text).setFont({"Courier New", 9}).edit().vscroll = true;
    w.add(BUTTON, ControlKind::Button).setText("&OK").setIcon("EXIT5.ICO").setTip("Schließen").edit().defaultButton =
        true;
    w.add(CHECK, ControlKind::Check).setText("Excel starten");
    w.add(OPTION, ControlKind::Option).setText("Ausrichtung");
    w.add(RADIO_L, ControlKind::Radio, OPTION).setText("Links").setRadioValue("L");
    w.add(RADIO_R, ControlKind::Radio, OPTION).setText("Rechts").setRadioValue("R");
    w.add(DROPLIST, ControlKind::DropList).setFrom("a|b|c");
    w.add(DROPCOMBO, ControlKind::DropCombo).setFrom("View|Report");
    w.add(SPIN, ControlKind::Spin).setRange(1, 12).setPicture("n2").setValue("3");
    auto list = w.add(LIST, ControlKind::List);
    list.setColumns({{"C 1", 50, rt::Justify::Left, 2}, {"C 2", 40, rt::Justify::Right}});
    list.setRows({row({"Anna", "1"}), row({"Bert", "2"}), row({"Cleo", "3"})});
    list.editList().lineHeight = 12;
    list.setDragIds({"Felder"}).setDropIds({"Felder"});
    w.add(TREE, ControlKind::Tree).setRows({row({"Gruppe"}, 1), row({"Cube"}, 2)});
    w.add(SHEET, ControlKind::Sheet);
    w.add(TAB1, ControlKind::Tab, SHEET).setText("&Allgemein");
    w.add(TAB2, ControlKind::Tab, SHEET).setText("&Felder");
    w.add(TAB_ENTRY, ControlKind::Entry, TAB2);
    w.add(GROUP, ControlKind::Group).setText("horizontal");
    w.add(BOX, ControlKind::Box).setBackground(rt::rgb(255, 255, 255)).edit().borderColor = rt::rgb(0, 0, 0);
    w.add(LINE, ControlKind::Line).setPosition(0, 20, 100, 0);
    w.add(PANEL, ControlKind::Panel);
    w.add(IMAGE, ControlKind::Image);
    w.add(REGION, ControlKind::Region).setCursor("~ARROW.CUR").setImmediate(true);
    w.add(PROGRESS, ControlKind::Progress).setRange(0, 100);
    w.add(OLE, ControlKind::Ole);
    w.add(CHANGE, ControlKind::Button).setText("Ändern");
}

// Logs each field event with what the model then holds.
void echoWindow(Log& log) {
    rt::Window w("Echo", "Echo");
    build(w);
    while (auto e = w.accept()) {
        if (e.event == Event::OpenWindow || e.event == Event::CloseWindow) continue;
        std::string line = std::string(rt::eventName(e.event)) + " " + std::to_string(e.control);
        if (e.control && w.has(e.control)) {
            auto c = w[e.control];
            if (!c.value().empty()) line += " value=" + c.value();
            if (c.selected()) line += " sel=" + std::to_string(c.selected());
            if (c.state().kind == ControlKind::Tree && e.row > 0)
                line += " level=" + std::to_string(c.list().rows[e.row - 1].level);
        }
        if (e.row) line += " row=" + std::to_string(e.row);
        if (e.column) line += " col=" + std::to_string(e.column);
        if (e.keyCode) line += " key=" + std::to_string(e.keyCode);
        if (e.dropRow) line += " drop=" + std::to_string(e.dropRow);
        if (e.event == Event::Selected) line += " focus=" + std::to_string(w.focus());
        log.add(line);
        if (e.event == Event::Accepted && e.control == CHANGE) {
            w[MENU].disable();
            w[BUTTON].hide();
        }
    }
}

class ControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        thread = rt::startThread([this] { echoWindow(log); });
        w = user.waitWindow("Echo");
    }
    void TearDown() override {
        user.closeWindow(w);
        user.waitThreadEnd(thread);
        UiTest::TearDown();
    }
    Log log;
    int thread = 0;
    rt::WindowId w = 0;
};

TEST_F(ControlsTest, EachKindReportsTheUsersInputWithItsNewValue) {
    struct Case {
        const char* what;
        std::function<void(rt::TestDriver&, rt::WindowId)> act;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"entry accepted", [](auto& u, auto w) { u.setValue(w, ENTRY, "Müller"); }, {"Accepted 3 value=Müller"}},
        {"entry typed", [](auto& u, auto w) { u.type(w, ENTRY, "Mü"); }, {"NewSelection 3 value=Mü"}},
        {"text",
         [](auto& u, auto w) { u.setValue(w, TEXT, "Zeile 1\nZeile 2"); },
         {"Accepted 5 value=Zeile 1\nZeile 2"}},
        {"button", [](auto& u, auto w) { u.press(w, BUTTON); }, {"Accepted 6"}},
        {"check on", [](auto& u, auto w) { u.check(w, CHECK, true); }, {"Accepted 7 value=1"}},
        {"check off", [](auto& u, auto w) { u.check(w, CHECK, false); }, {"Accepted 7 value=0"}},
        {"radio", [](auto& u, auto w) { u.choose(w, RADIO_R); }, {"Accepted 8 value=R"}},
        {"drop list", [](auto& u, auto w) { u.chooseEntry(w, DROPLIST, 2); }, {"Accepted 11 value=b sel=2 row=2"}},
        {"drop combo typed", [](auto& u, auto w) { u.setValue(w, DROPCOMBO, "frei"); }, {"Accepted 12 value=frei"}},
        {"drop combo chosen",
         [](auto& u, auto w) { u.chooseEntry(w, DROPCOMBO, 2); },
         {"Accepted 12 value=Report sel=2 row=2"}},
        {"spin", [](auto& u, auto w) { u.setValue(w, SPIN, "7"); }, {"Accepted 13 value=7"}},
        {"spin stepped", [](auto& u, auto w) { u.type(w, SPIN, "8"); }, {"NewSelection 13 value=8"}},
        {"list row", [](auto& u, auto w) { u.selectRow(w, LIST, 2); }, {"NewSelection 14 sel=2 row=2"}},
        {"list double click", [](auto& u, auto w) { u.activateRow(w, LIST, 3); }, {"Accepted 14 sel=3 row=3 key=517"}},
        {"list heading", [](auto& u, auto w) { u.headerClick(w, LIST, 2); }, {"HeaderPressed 14 sel=3 col=2 key=513"}},
        {"list drag",
         [](auto& u, auto w) { u.drag(w, LIST, 1, 3); },
         {"Drag 14 sel=3 row=1", "Drop 14 sel=3 row=1 drop=3"}},
        {"tree contract", [](auto& u, auto w) { u.contract(w, TREE, 1); }, {"Contracted 15 level=-1 row=1"}},
        {"tree expand", [](auto& u, auto w) { u.expand(w, TREE, 1); }, {"Expanded 15 level=1 row=1"}},
        {"tab",
         [](auto& u, auto w) { u.selectTab(w, SHEET, 2); },
         {"TabChanging 16 row=1", "NewSelection 16 sel=2 row=2"}},
        {"entry on a tab", [](auto& u, auto w) { u.setValue(w, TAB_ENTRY, "x"); }, {"Accepted 19 value=x"}},
        {"region",
         [](auto& u, auto w) {
             u.mouseIn(w, REGION);
             u.mouseDown(w, REGION);
             u.press(w, REGION);
             u.mouseOut(w, REGION);
         },
         {"MouseIn 25", "MouseDown 25 key=513", "Accepted 25", "MouseOut 25"}},
        {"menu item", [](auto& u, auto w) { u.press(w, ITEM_OPEN); }, {"Accepted 31"}},
        {"check item", [](auto& u, auto w) { u.check(w, ITEM_LOG, true); }, {"Accepted 33 value=1"}},
        {"toolbar button", [](auto& u, auto w) { u.press(w, TOOL_BUTTON); }, {"Accepted 40"}},
        {"focus", [](auto& u, auto w) { u.focus(w, ENTRY); }, {"Selected 3 value=Mü focus=3"}},
        {"tab leaving",
         [](auto& u, auto w) {
             rt::UserInput in(Event::TabChanging, SHEET);
             in.row = 2;
             EXPECT_TRUE(u.send(w, in));
         },
         {"TabChanging 16 sel=2 row=2"}},
    };
    for (const auto& c : cases) {
        log.clear();
        c.act(user, w);
        EXPECT_EQ(log.lines(), c.expected) << c.what;
    }
}

// The screen shows what the user put in, as a real control does, without the program
// publishing it again.
TEST_F(ControlsTest, TheScreenShowsTheUsersInput) {
    user.setValue(w, ENTRY, "Müller");
    EXPECT_EQ(user.value(w, ENTRY), "Müller");
    user.chooseEntry(w, DROPLIST, 2);
    EXPECT_EQ(user.value(w, DROPLIST), "b");
    EXPECT_EQ(user.selected(w, DROPLIST), 2);
    user.selectRow(w, LIST, 3);
    EXPECT_EQ(user.selected(w, LIST), 3);
}

// Typing into an entry and the mouse over a region reach the program only when the control or
// its window reports at once; a list's selection, a press and an accepted entry always do.
TEST_F(UiTest, ImmediateDecidesWhichEventsReachTheProgram) {
    enum { LIST_ = 1, ENTRY_, REGION_ };
    enum class Flag { None, Control, Window, All, AllOff };
    struct Case {
        const char* what;
        Flag flag;
        int control;  // the one that gets its own flag
        std::vector<std::string> expected;
    };
    // What the program sees of the user's actions below, in their order.
    auto seen = [](bool typing, bool mouse) {
        std::vector<std::string> out = {"NewSelection 1 row=2"};
        if (typing) out.push_back("NewSelection 2 value=fe");
        out.push_back("Accepted 2 value=fertig");
        if (mouse) out.insert(out.end(), {"MouseIn 3", "MouseDown 3 key=513"});
        out.push_back("Accepted 3");
        if (mouse) out.insert(out.end(), {"MouseUp 3 key=519", "MouseOut 3"});
        return out;
    };
    const std::vector<Case> cases = {
        {"no flag", Flag::None, 0, seen(false, false)},
        {"list flagged", Flag::Control, LIST_, seen(false, false)},
        {"entry flagged", Flag::Control, ENTRY_, seen(true, false)},
        {"region flagged", Flag::Control, REGION_, seen(false, true)},
        {"window flagged", Flag::Window, 0, seen(true, true)},
        {"all flagged", Flag::All, 0, seen(true, true)},
        {"all flagged, then cleared", Flag::AllOff, 0, seen(false, false)},
    };
    for (const auto& c : cases) {
        Log log;
        int t = rt::startThread([&] {
            rt::Window w("Sofort", "Sofort");
            w.add(LIST_, ControlKind::List).setFrom("a|b|c");
            w.add(ENTRY_, ControlKind::Entry);
            w.add(REGION_, ControlKind::Region);
            switch (c.flag) {
            case Flag::None: break;
            case Flag::Control: w[c.control].setImmediate(true); break;
            case Flag::Window: w.setImmediate(true); break;
            case Flag::All: w.setImmediateAll(true); break;
            case Flag::AllOff: w.setImmediateAll(true).setImmediateAll(false); break;
            }
            while (auto e = w.accept()) {
                if (e.event == Event::OpenWindow || e.event == Event::CloseWindow) continue;
                std::string line = std::string(rt::eventName(e.event)) + " " + std::to_string(e.control);
                if (e.control == ENTRY_) line += " value=" + w[ENTRY_].value();
                if (e.row) line += " row=" + std::to_string(e.row);
                if (e.keyCode) line += " key=" + std::to_string(e.keyCode);
                log.add(line);
            }
        });
        auto w = user.waitWindow("Sofort");
        EXPECT_FALSE(user.heldBack(w, LIST_, Event::NewSelection)) << c.what;
        user.selectRow(w, LIST_, 2);
        user.type(w, ENTRY_, "fe");
        user.setValue(w, ENTRY_, "fertig");
        user.mouseIn(w, REGION_);
        user.mouseDown(w, REGION_);
        user.press(w, REGION_);
        user.mouseUp(w, REGION_, rt::keys::MouseLeftUp);
        user.mouseOut(w, REGION_);
        user.closeWindow(w);
        user.waitThreadEnd(t);
        EXPECT_EQ(log.lines(), c.expected) << c.what;
    }
}

TEST_F(UiTest, OnlyListsWithDragAndDropIdsReportDragAndDrop) {
    enum { PLAIN = 1, OWN, FOREIGN, ONLY_DRAG };
    Log log;
    int t = rt::startThread([&] {
        rt::Window w("Ziehen", "Ziehen");
        for (int id : {PLAIN, OWN, FOREIGN, ONLY_DRAG}) w.add(id, ControlKind::List).setFrom("a|b|c");
        w[OWN].setDragIds({"Feld", "Cube"}).setDropIds({"Cube"});
        w[FOREIGN].setDragIds({"Feld"}).setDropIds({"Gruppe"});
        w[ONLY_DRAG].setDragIds({"Feld"});
        while (auto e = w.accept())
            if (e.event == Event::Drag || e.event == Event::Drop)
                log.add(std::string(rt::eventName(e.event)) + " " + std::to_string(e.control));
    });
    auto w = user.waitWindow("Ziehen");
    EXPECT_EQ(user.control(w, OWN).dragIds, (std::vector<std::string>{"Feld", "Cube"}));
    // The user cannot drag rows where the ids do not allow it.
    for (int id : {PLAIN, FOREIGN, ONLY_DRAG}) EXPECT_THROW(user.drag(w, id, 1, 3), rt::TestDriverError) << id;
    user.drag(w, OWN, 1, 3);
    // Whatever a display sends: a list without ids hears of neither.
    for (Event e : {Event::Drag, Event::Drop}) {
        rt::UserInput in(e, PLAIN);
        in.row = 1;
        in.dropRow = 2;
        EXPECT_TRUE(user.send(w, in));
    }
    rt::UserInput drop(Event::Drop, ONLY_DRAG);
    EXPECT_TRUE(user.send(w, drop));
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Drag 2", "Drop 2"}));
}

TEST_F(ControlsTest, TheDisplayShowsWhatTheProcedureBuilt) {
    auto win = user.window(w);
    EXPECT_EQ(win.title, "Echo");
    ASSERT_EQ(win.status.size(), 3u);
    EXPECT_EQ(user.statusText(w, 2), "Page 1 of 5");

    EXPECT_EQ(user.control(w, PROMPT).kind, ControlKind::Prompt);
    EXPECT_EQ(user.text(w, PROMPT), "&Name:");
    EXPECT_EQ(user.control(w, PROMPT).width, 30);
    EXPECT_TRUE(user.control(w, ENTRY).required);
    EXPECT_EQ(user.control(w, ENTRY).picture, "@s20");
    EXPECT_TRUE(user.control(w, PASSWORD).password);
    EXPECT_EQ(user.control(w, TEXT).font.face, "Courier New");
    auto button = user.control(w, BUTTON);
    EXPECT_EQ(button.icon, "EXIT5.ICO");
    EXPECT_EQ(button.tip, "Schließen");
    EXPECT_TRUE(button.defaultButton);
    EXPECT_EQ(user.value(w, CHECK), "0");
    EXPECT_EQ(user.control(w, RADIO_R).parent, OPTION);
    EXPECT_EQ(user.control(w, RADIO_R).radioValue, "R");
    EXPECT_EQ(user.rows(w, DROPLIST).size(), 3u);
    EXPECT_EQ(user.cell(w, DROPLIST, 3), "c");
    EXPECT_EQ(user.control(w, SPIN).rangeHigh, 12);
    EXPECT_EQ(user.value(w, SPIN), "3");
    auto list = user.control(w, LIST);
    ASSERT_TRUE(list.list);
    ASSERT_EQ(list.list->columns.size(), 2u);
    EXPECT_EQ(list.list->columns[0].heading, "C 1");
    EXPECT_EQ(list.list->columns[1].justify, rt::Justify::Right);
    EXPECT_EQ(list.list->lineHeight, 12);
    EXPECT_EQ(user.cell(w, LIST, 2, 1), "Bert");
    EXPECT_EQ(user.cell(w, LIST, 2, 2), "2");
    EXPECT_EQ(user.rows(w, TREE)[1].level, 2);
    EXPECT_EQ(user.control(w, TAB2).parent, SHEET);
    EXPECT_EQ(user.control(w, TAB_ENTRY).parent, TAB2);
    EXPECT_EQ(user.control(w, BOX).borderColor, 0u);
    EXPECT_EQ(user.control(w, REGION).cursor, "~ARROW.CUR");
    EXPECT_TRUE(user.control(w, REGION).immediate);
    EXPECT_TRUE(user.control(w, ITEM_SEP).separator);
    EXPECT_TRUE(user.control(w, ITEM_LOG).checkItem);
    EXPECT_EQ(user.control(w, ITEM_OPEN).help, "Datei öffnen");
    EXPECT_TRUE(user.control(w, TOOL_BUTTON).toolbar);
}

TEST_F(ControlsTest, DisabledOrHiddenControlsCannotBeOperated) {
    // The user of the headless display obeys the same rules as the screen.
    EXPECT_NO_THROW(user.press(w, BUTTON));
    rt::UserInput in(Event::Accepted, 999);
    log.clear();
    EXPECT_TRUE(user.send(w, in));  // unknown controls are the procedure's business
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Accepted 999"}));
    log.clear();
    EXPECT_THROW(user.chooseEntry(w, DROPLIST, 4), rt::TestDriverError);
    EXPECT_THROW(user.choose(w, CHECK), rt::TestDriverError);
    user.press(w, ITEM_OPEN);
    user.press(w, CHANGE);  // disables the menu, hides the button
    EXPECT_THROW(user.press(w, ITEM_OPEN), rt::TestDriverError);
    EXPECT_THROW(user.check(w, ITEM_LOG, true), rt::TestDriverError);
    EXPECT_THROW(user.press(w, BUTTON), rt::TestDriverError);
}

// Properties the procedure changes reach the display at its next accept().
TEST_F(UiTest, ChangedPropertiesArePublishedAndRunTimeControlsComeAndGo) {
    enum { ENTRY = 1, BUTTON, LIST, SHEET, TAB, ON_TAB, PROGRESS };
    int created = 0;
    int t = rt::startThread([&] {
        rt::Window w("Form", "Form");
        w.add(ENTRY, ControlKind::Entry).setValue("alt");
        w.add(BUTTON, ControlKind::Button).setText("Los");
        w.add(LIST, ControlKind::List).setFrom("eins|zwei");
        w.add(SHEET, ControlKind::Sheet);
        w.add(TAB, ControlKind::Tab, SHEET);
        w.add(ON_TAB, ControlKind::Entry, TAB);
        w.add(PROGRESS, ControlKind::Progress);
        while (auto e = w.accept()) {
            if (e.event == Event::Accepted && e.control == BUTTON) {
                w[ENTRY].setValue("neu").disable();
                w[BUTTON].setText("Nochmal").setFontColor(rt::rgb(64, 0, 64));
                w[LIST].editList().rows.emplace_back();
                w[LIST].editList().rows.back().cells.emplace_back("drei");
                w[PROGRESS].setValue("50");
                created = w.create(ControlKind::String);
                w[created].setText("zur Laufzeit");
                w.destroy(SHEET);
                w.setTitle("Form (geändert)").setStatusZones({0}).setStatusText(1, "fertig");
                w.select(ENTRY);
            }
        }
    });
    auto w = user.waitWindow("Form");
    auto before = user.control(w, ENTRY);
    auto listBefore = user.control(w, LIST).list;
    user.setValue(w, ENTRY, "getippt");
    EXPECT_EQ(user.control(w, ENTRY).valueSerial, before.valueSerial) << "input is no change by the procedure";

    user.press(w, BUTTON);
    auto entry = user.control(w, ENTRY);
    EXPECT_EQ(entry.value, "neu");
    EXPECT_FALSE(entry.enabled);
    EXPECT_GT(entry.valueSerial, before.valueSerial);
    EXPECT_EQ(user.text(w, BUTTON), "Nochmal");
    EXPECT_EQ(user.control(w, BUTTON).fontColor, rt::rgb(64, 0, 64));
    EXPECT_EQ(user.rows(w, LIST).size(), 3u);
    EXPECT_EQ(listBefore->rows.size(), 2u) << "a published list is never changed afterwards";
    EXPECT_EQ(user.value(w, PROGRESS), "50");
    EXPECT_EQ(created, PROGRESS + 1);
    EXPECT_EQ(user.text(w, created), "zur Laufzeit");
    EXPECT_THROW(user.control(w, SHEET), rt::TestDriverError);
    EXPECT_THROW(user.control(w, TAB), rt::TestDriverError);
    EXPECT_THROW(user.control(w, ON_TAB), rt::TestDriverError);
    EXPECT_EQ(user.window(w).title, "Form (geändert)");
    EXPECT_EQ(user.statusText(w, 1), "fertig");
    EXPECT_EQ(user.window(w).focus, ENTRY);
    EXPECT_THROW(user.setValue(w, ENTRY, "x"), rt::TestDriverError) << "disabled";
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

class Rows : public rt::ListSource {
public:
    std::vector<std::string> names;
    std::uint64_t rev = 1;
    std::size_t rowCount() const override { return names.size(); }
    rt::ListRow row(std::size_t i) const override {
        rt::ListRow r;
        r.cells.emplace_back(names[i], i % 2 ? rt::rgb(64, 0, 64) : rt::ColorNone,
                             i % 2 ? rt::rgb(206, 255, 206) : rt::ColorNone);
        return r;
    }
    std::uint64_t revision() const override { return rev; }
};

TEST_F(UiTest, ListRowsFromASourceAreReadAgainWhenItChanges) {
    enum { LIST = 1, ADD, SILENT, REFRESH };
    int t = rt::startThread([&] {
        Rows rows;
        rows.names = {"a", "b"};
        rt::Window w("Queue", "Queue");
        w.add(LIST, ControlKind::List).setListSource(&rows);
        w.add(ADD, ControlKind::Button);
        w.add(SILENT, ControlKind::Button);
        w.add(REFRESH, ControlKind::Button);
        while (auto e = w.accept()) {
            if (e.event != Event::Accepted) continue;
            if (e.control == ADD) {
                rows.names.push_back("c");
                ++rows.rev;
            }
            if (e.control == SILENT) rows.names.push_back("d");  // revision unchanged
            if (e.control == REFRESH) w[LIST].refreshList();
        }
    });
    auto w = user.waitWindow("Queue");
    ASSERT_EQ(user.rows(w, LIST).size(), 2u);
    EXPECT_EQ(user.rows(w, LIST)[1].cells[0].back, rt::rgb(206, 255, 206));
    user.press(w, ADD);
    EXPECT_EQ(user.rows(w, LIST).size(), 3u);
    user.press(w, SILENT);
    EXPECT_EQ(user.rows(w, LIST).size(), 3u);
    user.press(w, REFRESH);
    EXPECT_EQ(user.rows(w, LIST).size(), 4u);
    EXPECT_EQ(user.cell(w, LIST, 4), "d");
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

// A source of many rows that publishes snapshots: each state of its rows is a vector nobody
// changes any more; adding a row makes the next one.
class Journal : public rt::ListSource {
public:
    std::shared_ptr<const std::vector<std::string>> lines = std::make_shared<std::vector<std::string>>();
    std::uint64_t rev = 1;
    void add(std::string line) {
        auto next = std::make_shared<std::vector<std::string>>(*lines);
        next->push_back(std::move(line));
        lines = std::move(next);
        ++rev;
    }
    std::size_t rowCount() const override { return lines->size(); }
    rt::ListRow row(std::size_t i) const override { return rowOf((*lines)[i]); }
    std::uint64_t revision() const override { return rev; }
    std::shared_ptr<const rt::VirtualRows> virtualRows() const override {
        return rt::makeVirtualRows(lines->size(), [held = lines](std::size_t first, std::size_t count) {
            std::vector<rt::ListRow> out;
            for (std::size_t i = first; i < first + count && i < held->size(); ++i) out.push_back(rowOf((*held)[i]));
            return out;
        });
    }
    static rt::ListRow rowOf(const std::string& text) {
        rt::ListRow r;
        r.cells.emplace_back(text);
        return r;
    }
};

TEST_F(UiTest, AMillionRowListIsPublishedAsASnapshotTheDisplayReadsByRange) {
    enum { LIST = 1, ORDINARY };
    constexpr std::size_t Million = 1'000'000;
    std::atomic<std::size_t> rowsRead{0};
    std::vector<rt::EventInfo> seen;
    int t = rt::startThread([&] {
        rt::Window w("Ergebnis", "Ergebnis");
        auto list = w.add(LIST, ControlKind::List);
        list.setColumns({{"Nr", 30}, {"Quadrat", 60}});
        list.setVirtualRows(rt::makeVirtualRows(Million, [&](std::size_t first, std::size_t count) {
            rowsRead += count;
            std::vector<rt::ListRow> out(count);
            for (std::size_t i = 0; i < count; ++i) {
                auto n = first + i + 1;
                out[i].cells = {rt::ListCell(std::to_string(n)), rt::ListCell(std::to_string(n * n))};
            }
            return out;
        }));
        EXPECT_EQ(list.rowCount(), Million);
        w.add(ORDINARY, ControlKind::Button);
        while (auto e = w.accept()) {
            if (e.event == Event::NewSelection) seen.push_back(e);
            if (e.event == Event::Accepted && e.control == ORDINARY) {
                w[LIST].setRows({Journal::rowOf("nur eine")});
                EXPECT_EQ(w[LIST].rowCount(), 1u);
            }
        }
    });
    auto w = user.waitWindow("Ergebnis");
    EXPECT_EQ(rowsRead.load(), 0u) << "publishing read no row";
    auto shown = user.control(w, LIST);
    ASSERT_TRUE(shown.virtualRows);
    EXPECT_TRUE(shown.list->rows.empty());
    EXPECT_EQ(shown.list->columns.size(), 2u);
    EXPECT_EQ(user.rowCount(w, LIST), Million);

    // The display asks for what it shows.
    auto page = user.rows(w, LIST, 499'990, 20);
    ASSERT_EQ(page.size(), 20u);
    EXPECT_EQ(page.front().cells[0].text, "499990");
    EXPECT_EQ(page.back().cells[1].text, std::to_string(500'009ull * 500'009ull));
    EXPECT_EQ(user.rows(w, LIST, Million - 2, 20).size(), 3u) << "fewer at the end";
    EXPECT_EQ(user.cell(w, LIST, 1'000'000, 2), "1000000000000");
    EXPECT_THROW(user.cell(w, LIST, 1'000'001), rt::TestDriverError);
    EXPECT_EQ(rowsRead.load(), 20u + 3u + 1u);

    user.selectRow(w, LIST, 765'432);
    user.press(w, ORDINARY);
    EXPECT_FALSE(user.control(w, LIST).virtualRows);
    EXPECT_EQ(user.rowCount(w, LIST), 1u);
    EXPECT_EQ(user.cell(w, LIST, 1), "nur eine");
    user.closeWindow(w);
    user.waitThreadEnd(t);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].row, 765'432);
}

TEST_F(UiTest, ASourceWithSnapshotsPublishesEachStateWhileEarlierOnesStayAsTheyWere) {
    enum { LIST = 1, ADD };
    int t = rt::startThread([&] {
        Journal journal;
        journal.add("erste");
        rt::Window w("Protokoll", "Protokoll");
        w.add(LIST, ControlKind::List).setListSource(&journal);
        w.add(ADD, ControlKind::Button);
        while (auto e = w.accept())
            if (e.event == Event::Accepted && e.control == ADD)
                journal.add("Zeile " + std::to_string(journal.rowCount() + 1));
    });
    auto w = user.waitWindow("Protokoll");
    auto first = user.control(w, LIST);
    ASSERT_TRUE(first.virtualRows);
    EXPECT_EQ(first.virtualRows->rowCount(), 1u);
    // The display's thread reads an older snapshot while the procedure publishes newer ones.
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop) {
            auto r = first.virtualRows->rows(0, 5);
            if (r.size() != 1 || r[0].cells[0].text != "erste") ++wrong;
        }
    });
    for (int i = 0; i < 50; ++i) user.press(w, ADD);
    stop = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(user.rowCount(w, LIST), 51u);
    EXPECT_EQ(user.cell(w, LIST, 51), "Zeile 51");
    EXPECT_GT(user.control(w, LIST).listSerial, first.listSerial);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

// New rows, or a snapshot of rows, replace the rows only: the rest of the list stays.
TEST_F(UiTest, NewRowsAndSnapshotsKeepTheRestOfTheList) {
    int t = rt::startThread([] {
        rt::Window w("Liste", "Liste");
        auto list = w.add(1, ControlKind::List);
        rt::ListData& data = list.editList();
        data.columns = {{"Nr", 20}, {"Name", 60}};
        data.icons = {"a.ico"};
        data.lineHeight = 12;
        data.grid = true;
        data.locatorColumn = 2;
        data.scrollButtons = true;
        data.rows = {row({"1", "x"})};
        const rt::ListData before = list.list();
        list.setRows({row({"2", "y"}), row({"3", "z"})});
        list.setVirtualRows(
            rt::makeVirtualRows(5, [](std::size_t, std::size_t) { return std::vector<rt::ListRow>{}; }));
        rt::ListData after = list.list();
        EXPECT_TRUE(after.rows.empty());
        after.rows = before.rows;
        EXPECT_EQ(after, before);
    });
    rt::waitThread(t);
}

struct Article {
    rt::CString<21> name;
    rt::Long number = 0;
};

// A list shows a queue through a snapshot, a drop list over the same queue its rows; both
// follow every change of the queue, also one made through an entry handed out by get().
TEST_F(UiTest, AQueueIsShownAsASnapshotAndEachChangeReachesTheDisplay) {
    enum { LIST = 1, DROP, RENAME, ADD };
    std::string chosen;
    int t = rt::startThread([&] {
        rt::Queue<Article> articles;
        for (const char* name : {"Schrauben", "Muttern", "Dübel"})
            articles.add(Article{name, static_cast<rt::Long>(articles.records() + 1)});
        rt::QueueList<Article> shown(articles, [](const Article& a) {
            rt::ListRow r;
            r.cells = {rt::ListCell(a.name.str()), rt::ListCell(std::to_string(a.number))};
            return r;
        });
        rt::Window w("Artikel", "Artikel");
        w.add(LIST, ControlKind::List).setListSource(&shown);
        w.add(DROP, ControlKind::DropList).setListSource(&shown);
        w.add(RENAME, ControlKind::Button);
        w.add(ADD, ControlKind::Button);
        while (auto e = w.accept()) {
            if (e.event == Event::Accepted && e.control == RENAME) articles.get(2).name = "Scheiben";
            if (e.event == Event::Accepted && e.control == ADD) articles.add(Article{"Nägel", 4}, 1);
            if (e.event == Event::Accepted && e.control == DROP) chosen = w[DROP].value();
        }
    });
    auto w = user.waitWindow("Artikel");
    auto list = user.control(w, LIST);
    ASSERT_TRUE(list.virtualRows);
    EXPECT_FALSE(user.control(w, DROP).virtualRows);
    EXPECT_EQ(user.rowCount(w, DROP), 3u);
    user.press(w, RENAME);
    EXPECT_EQ(user.cell(w, LIST, 2), "Scheiben");
    EXPECT_EQ(user.cell(w, DROP, 2), "Scheiben");
    EXPECT_EQ(list.virtualRows->rows(1, 1).at(0).cells[0].text, "Muttern") << "the earlier snapshot stays";
    user.press(w, ADD);
    ASSERT_EQ(user.rowCount(w, LIST), 4u);
    EXPECT_EQ(user.cell(w, LIST, 1), "Nägel");
    EXPECT_EQ(user.cell(w, LIST, 4, 2), "3");
    user.chooseEntry(w, DROP, 3);
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_EQ(chosen, "Scheiben");
}

TEST_F(UiTest, ProcedureSelectionMovesTheDisplaysSelectionAndDropListValue) {
    enum { DROP = 1, LIST };
    int t = rt::startThread([&] {
        rt::Window w("Sel", "Sel");
        w.add(DROP, ControlKind::DropList).setFrom("Left|Center|Right").setSelected(3);
        w.add(LIST, ControlKind::List).setFrom("x|y").setSelected(2);
        while (w.accept()) {
        }
    });
    auto w = user.waitWindow("Sel");
    EXPECT_EQ(user.selected(w, DROP), 3);
    EXPECT_EQ(user.value(w, DROP), "Right");
    EXPECT_EQ(user.selected(w, LIST), 2);
    user.closeWindow(w);
    user.waitThreadEnd(t);
}

}  // namespace
