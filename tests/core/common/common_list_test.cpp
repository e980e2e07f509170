#include "tests/core/common/common_test_util.h"

#include <filesystem>

#include "runtime/classlib/request.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/data/dictionary.h"
#include "runtime/ui/window.h"

using namespace commontest;
using namespace example;
namespace req = rt::request;
namespace resp = rt::response;

namespace {

int listRows(rt::TestDriver& user, rt::WindowId w) { return static_cast<int>(user.rows(w, LIST).size()); }

}  // namespace

// ---- Requests and responses ----------------------------------------------------------------

TEST_F(WindowTest, ListOpenedToViewNeverOpensItsForm) {
    int t = startList(req::View);
    auto w = user.waitWindow(kListTitle);
    ASSERT_EQ(listRows(user, w), 3);
    user.press(w, INSERT);
    user.press(w, CHANGE);
    user.press(w, DELETE);
    user.activateRow(w, LIST, 1);
    user.send(w, rt::UserInput(rt::Event::Accepted, rt::toolbar::Change));
    user.settle(t);
    EXPECT_EQ(formCalls, 0);
    EXPECT_TRUE(user.isOpen(w));
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(recordCount(), 3);
}

TEST_F(WindowTest, CloseButtonAnswersCancelledWhenSelectingElseCompleted) {
    struct Case {
        std::uint8_t request;
        bool closeBox;
        int expected;
    } cases[] = {
        {req::None, false, resp::Completed},
        {req::Select, false, resp::Cancelled},
        {req::View, false, resp::Completed},
        {req::None, true, resp::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "request " << int(c.request) << (c.closeBox ? " close box" : ""));
        int t = startList(c.request);
        auto w = user.waitWindow(kListTitle);
        EXPECT_EQ(user.hidden(w, SELECT), c.request != req::Select);
        if (c.closeBox)
            user.closeWindow(w);
        else
            user.press(w, CLOSE);
        user.waitThreadEnd(t);
        EXPECT_EQ(response, c.expected);
    }
}

TEST_F(WindowTest, SelectModeReturnsTheChosenRecord) {
    std::atomic<int> chosen{0};
    int t = start(req::Select, [&] {
        ExampleList();
        chosen = GNE.ID;
    });
    auto w = user.waitWindow(kListTitle);
    user.selectRow(w, LIST, 2);
    user.press(w, SELECT);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(chosen, 3);

    // A double click selects too.
    t = start(req::Select, [&] {
        ExampleList();
        chosen = GNE.ID;
    });
    w = user.waitWindow(kListTitle);
    user.activateRow(w, LIST, 3);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(chosen, 4);
}

// ---- Forms ---------------------------------------------------------------------------------

namespace {
// A form on record `id` in a mode, as a list would call it.
std::function<void()> formOn(int id) {
    return [id] {
        ensureTable();
        auto& fm = *rt::fileManager("Werte");
        fm.open();
        GNE.ID = id;
        fm.fetch("KeyID");
        ExampleForm();
        fm.close();
    };
}
}  // namespace

TEST_F(WindowTest, ViewModeOkStoresNothingAndAnswersCancelled) {
    int t = start(req::View, formOn(3));
    auto w = user.waitWindow("EditWerte");
    EXPECT_EQ(user.window(w).title, "View Record");
    EXPECT_EQ(user.value(w, NAME_ENTRY), "GNColumn");
    EXPECT_TRUE(user.control(w, NAME_ENTRY).readOnly);
    user.press(w, OK);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(nameOf(3), "GNColumn");
}

TEST_F(WindowTest, ChangeStoresOnOkAndCancelPutsTheRecordBack) {
    int t = start(req::Change, formOn(3));
    auto w = user.waitWindow("EditWerte");
    EXPECT_EQ(user.window(w).title, "Datensatz bearbeiten");
    // The first field is highlighted from the start.
    EXPECT_EQ(user.control(w, NAME_ENTRY).background, rt::rgb(255, 255, 128));
    user.setValue(w, NAME_ENTRY, "GNSpalte");
    user.press(w, OK);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(nameOf(3), "GNSpalte");

    std::atomic<bool> restored{false};
    t = start(req::Change, [&] {
        formOn(3)();
        restored = std::string(rt::clip(GNE.Bezeichnung.str())) == "GNSpalte";
    });
    w = user.waitWindow("EditWerte");
    user.setValue(w, NAME_ENTRY, "Verworfen");
    user.press(w, CANCEL);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_TRUE(restored);
    EXPECT_EQ(nameOf(3), "GNSpalte");
}

TEST_F(WindowTest, EscCancelsAFormAndClosesAList) {
    int t = start(req::Change, formOn(3));
    auto f = user.waitWindow("EditWerte");
    EXPECT_TRUE(user.control(f, CANCEL).cancelButton);
    user.setValue(f, NAME_ENTRY, "Verworfen");
    user.escape(f);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(nameOf(3), "GNColumn");

    t = startList();
    auto w = user.waitWindow(kListTitle);
    user.escape(w);
    user.waitThreadEnd(t);
    EXPECT_FALSE(user.isOpen(w));
}

TEST_F(WindowTest, InsertNumbersTheRecordAndCancelGivesTheNumberBack) {
    int t = start(req::Insert, [] { ExampleForm(); });
    auto w = user.waitWindow("EditWerte");
    EXPECT_EQ(user.window(w).title, "Datensatz anlegen");
    EXPECT_EQ(user.value(w, ID_ENTRY), "5");  // one above the highest, reserved at once
    EXPECT_EQ(recordCount(), 4);
    user.press(w, CANCEL);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(recordCount(), 3);
}

TEST_F(WindowTest, DuplicateNameIsReportedByTheErrorManagerAndTheFormStays) {
    int t = start(req::Insert, [] { ExampleForm(); });
    auto w = user.waitWindow("EditWerte");
    user.setValue(w, NAME_ENTRY, "gnrow");  // the key ignores case
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, OK);
    auto box = user.lastMessageBox();
    EXPECT_EQ(box.title, "EditWerte");
    EXPECT_NE(box.text.find("dieselben Schlüsselwerte"), std::string::npos) << box.text;
    EXPECT_TRUE(user.isOpen(w));
    user.setValue(w, NAME_ENTRY, "GNData");
    user.press(w, OK);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Completed);
    EXPECT_EQ(nameOf(5), "GNData");
}

TEST_F(WindowTest, InsertFromTheListShowsTheNewRecordSelected) {
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.press(w, INSERT);
    auto f = user.waitWindow("EditWerte");
    user.chooseEntry(f, FILTER_LIST, 2);
    user.setValue(f, WERT_ENTRY, "7");
    user.setValue(f, NAME_ENTRY, "GNMax");
    user.press(f, OK);
    user.settle(t);
    ASSERT_EQ(listRows(user, w), 4);
    EXPECT_EQ(user.selected(w, LIST), 4);
    EXPECT_EQ(user.cell(w, LIST, 4, 2), "AGGREGAT");
    EXPECT_EQ(user.cell(w, LIST, 4, 3), "7");
    EXPECT_EQ(user.cell(w, LIST, 4, 4), "GNMax");
    // Deleting it from the list.
    user.press(w, DELETE);
    f = user.waitWindow("EditWerte");
    EXPECT_EQ(user.window(f).title, "");
    EXPECT_TRUE(user.control(f, NAME_ENTRY).readOnly);
    // OK asks first; No (the default) keeps the record and the form.
    user.press(f, OK);
    auto question = user.waitMessageBox();
    EXPECT_EQ(question.text, "Wollen Sie diesen Datensatz wirklich löschen?");
    EXPECT_EQ(question.defaultButton, rt::button::No);
    user.answerMessageBox(rt::button::No);
    user.settle(t);
    EXPECT_TRUE(user.isOpen(f));
    EXPECT_EQ(recordCount(), 4);
    user.queueMessageBoxAnswer(rt::button::Yes);
    user.press(f, OK);
    user.settle(t);
    EXPECT_EQ(listRows(user, w), 3);
    EXPECT_EQ(recordCount(), 3);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, FieldHistoryBringsBackTheValueOfThePreviouslyStoredRecord) {
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.selectRow(w, LIST, 1);
    user.press(w, CHANGE);
    auto f = user.waitWindow("EditWerte");
    user.setValue(f, WERT_ENTRY, "9");
    user.press(f, OK);
    user.settle(t);
    user.press(w, INSERT);
    f = user.waitWindow("EditWerte");
    user.focus(f, WERT_ENTRY);
    user.key(f, WERT_ENTRY, rt::FormController::HistoryKey);
    EXPECT_EQ(user.value(f, WERT_ENTRY), "9");
    // The toolbar's history button does the same for the name.
    user.focus(f, NAME_ENTRY);
    user.send(f, rt::UserInput(rt::Event::Accepted, rt::toolbar::History));
    user.settle(t);
    EXPECT_EQ(user.value(f, NAME_ENTRY), "GNHidden");
    user.press(f, CANCEL);
    user.settle(t);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, FormNavigationStoresAndMovesTheListToTheNextRecord) {
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.selectRow(w, LIST, 1);
    user.press(w, CHANGE);
    auto f = user.waitWindow("EditWerte");
    EXPECT_EQ(user.value(f, NAME_ENTRY), "GNHidden");
    user.setValue(f, NAME_ENTRY, "GNVersteckt");
    user.send(f, rt::UserInput(rt::Event::Accepted, rt::toolbar::Down));
    user.waitClosed(f);
    f = user.waitWindow("EditWerte");  // called again for the next record
    EXPECT_EQ(user.value(f, NAME_ENTRY), "GNColumn");
    user.press(f, CANCEL);
    user.settle(t);
    EXPECT_EQ(user.selected(w, LIST), 2);
    EXPECT_EQ(nameOf(2), "GNVersteckt");
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

// ---- Rights --------------------------------------------------------------------------------

TEST_F(WindowTest, RightsOfTheGatedListsOverActionAndGrant) {
    struct Case {
        std::string action;
        int button;  // 0: the "Look" test at opening
        bool granted;
    } cases[] = {
        {"Look", 0, true},        {"Look", 0, false},        {"Add", INSERT, true},    {"Add", INSERT, false},
        {"Change", CHANGE, true}, {"Change", CHANGE, false}, {"Delete", DELETE, true}, {"Delete", DELETE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action + (c.granted ? " granted" : " refused"));
        refuse(c.granted ? std::set<std::string>{} : std::set<std::string>{c.action});
        {
            std::lock_guard lock(m);
            checks.clear();
        }
        formCalls = 0;
        display.clearHistory();
        int t = startList();
        if (!c.granted && c.button == 0) {
            auto box = user.waitMessageBox();
            EXPECT_EQ(box.text, "Keine Berechtigung: Look");
            auto shown = display.shownWindows();
            ASSERT_FALSE(shown.empty());
            for (const auto& ctl : shown.back().controls) {
                if (ctl.id == LIST) {
                    EXPECT_TRUE(!ctl.list || ctl.list->rows.empty()) << "records shown";
                    EXPECT_TRUE(!ctl.virtualRows || ctl.virtualRows->rowCount() == 0) << "records shown";
                }
            }
            user.answerMessageBox(rt::button::Ok);
            user.waitThreadEnd(t);
            EXPECT_EQ(response, resp::Cancelled);
            EXPECT_EQ(checked(), (std::vector<std::pair<std::string, std::string>>{{"Look", "BrowseWerte"}}));
            continue;
        }
        auto w = user.waitWindow(kListTitle);
        EXPECT_EQ(listRows(user, w), 3);
        if (c.button == 0) {
            user.press(w, CLOSE);
            user.waitThreadEnd(t);
            continue;
        }
        user.selectRow(w, LIST, 1);
        if (c.granted) {
            user.press(w, c.button);
            auto f = user.waitWindow("EditWerte");
            user.press(f, CANCEL);
            user.settle(t);
            EXPECT_TRUE(user.isOpen(w));
            EXPECT_EQ(formCalls, 1);
            user.press(w, CLOSE);
        } else {
            user.queueMessageBoxAnswer(rt::button::Ok);
            user.press(w, c.button);
            EXPECT_EQ(user.lastMessageBox().text, "Keine Berechtigung: " + c.action);
            EXPECT_EQ(formCalls, 0);
        }
        user.waitThreadEnd(t);
        EXPECT_EQ(response, c.granted ? resp::Completed : resp::Cancelled);
        EXPECT_EQ(checked(), (std::vector<std::pair<std::string, std::string>>{{"Look", "BrowseWerte"},
                                                                               {c.action, "BrowseWerte"}}));
    }
}

TEST_F(WindowTest, PrintingNeedsNoRightAndUngatedListsAskNothing) {
    refuse({"Add", "Change", "Delete"});
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.press(w, PRINT);
    user.settle(t);
    EXPECT_EQ(printCalls, 1);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);

    refuse({"Look", "Add", "Change", "Delete"});
    {
        std::lock_guard lock(m);
        checks.clear();
    }
    t = startList(req::None, "BrowseCubeAnzeige");
    w = user.waitWindow(kListTitle);
    EXPECT_EQ(listRows(user, w), 3);
    user.press(w, INSERT);
    auto f = user.waitWindow("EditWerte");
    user.press(f, CANCEL);
    user.settle(t);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_TRUE(checked().empty());
}

TEST_F(WindowTest, EveryGatedListClosesWithoutLook) {
    refuse({"Look"});
    for (const char* name :
         {"BrowseSQLScript", "BrowseWerte", "BrowseCubeKopf", "BrowseProvKey", "BrowseDBUpdateLog"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsRightsGatedList(name));
        user.queueMessageBoxAnswer(rt::button::Ok);
        int t = startList(req::None, name);
        user.waitThreadEnd(t);
        EXPECT_EQ(user.lastMessageBox().text, "Keine Berechtigung: Look");
    }
    EXPECT_FALSE(IsRightsGatedList("BrowseCubeAnzeige"));
    EXPECT_FALSE(IsRightsGatedList("ListMandant"));
}

// ---- Form titles ---------------------------------------------------------------------------

TEST_F(WindowTest, EveryFormShowsTheTitleOfItsMode) {
    struct Titles {
        const char* form;
        const char* view;
        const char* insert;
        const char* change;
    } table[] = {
        {"EditSQLScripte", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditSkript1", "View Record", "Record Will Be Added", "Record Will Be Changed"},
        {"EditMandant", kFormTitle, kFormTitle, kFormTitle},
        {"UpdateSavedQuery", "View Record", "Record Will Be Added", "Record Will Be Changed"},
        {"EditFieldNames", "DS anzeigen", "Neuen Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateCubeKopf", "View Record", "Neuen Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateCubeDetail", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditCubeGruppe", "Datensatz anschauen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditWerte", "View Record", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditProvKey", "Datensatz anzeigen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"EditCrossTab", "Datensatz anschauen", "Datensatz anlegen", "Datensatz bearbeiten"},
        {"UpdateSQL_QBE", "View Record", "Adding a SFLQUERY Record", "Changing a saved query"},
    };
    EXPECT_EQ(FormTitleTable().size(), std::size(table));
    for (const auto& row : table) {
        std::string form = row.form;
        bool keeps = form == "EditMandant";
        std::pair<std::uint8_t, std::string> modes[] = {{req::View, row.view},
                                                        {req::Insert, row.insert},
                                                        {req::Change, row.change},
                                                        {req::Delete, keeps ? kFormTitle : ""}};
        for (const auto& [mode, title] : modes) {
            SCOPED_TRACE(form + " mode " + std::to_string(mode));
            int t = start(mode, [form] {
                ensureTable();
                auto& fm = *rt::fileManager("Werte");
                fm.open();
                GNE.ID = 2;
                fm.fetch("KeyID");
                ExampleForm(form);
                fm.close();
            });
            auto w = user.waitWindow(form);
            EXPECT_EQ(user.window(w).title, title);
            user.press(w, CANCEL);
            user.waitThreadEnd(t);
        }
    }
    EXPECT_EQ(recordCount(), 3);
}

// ---- Window state --------------------------------------------------------------------------

TEST_F(WindowTest, WindowStateRoundTripIncludingAWindowClosedMinimised) {
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.resize(w, 320, 210);
    rt::UserInput moved(rt::Event::Moved);
    moved.x = 30;
    moved.y = 40;
    user.send(w, moved);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_EQ(ini("BrowseWerte", "XPos"), "30");
    EXPECT_EQ(ini("BrowseWerte", "YPos"), "40");
    EXPECT_EQ(ini("BrowseWerte", "Width"), "320");
    EXPECT_EQ(ini("BrowseWerte", "Height"), "210");
    EXPECT_EQ(ini("BrowseWerte", "Maximize"), "No");
    EXPECT_EQ(ini("BrowseWerte", "Minimize"), "No");

    t = startList();
    w = user.waitWindow(kListTitle);
    auto props = user.window(w);
    EXPECT_EQ(props.x, 30);
    EXPECT_EQ(props.y, 40);
    EXPECT_EQ(props.width, 320);
    EXPECT_EQ(props.height, 210);
    // The resizer has placed the buttons at the wider window's edge.
    EXPECT_EQ(user.control(w, INSERT).x, 264);
    user.send(w, rt::UserInput(rt::Event::Iconized));
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_EQ(ini("BrowseWerte", "Minimize"), "Yes");

    t = startList();
    w = user.waitWindow(kListTitle);
    EXPECT_TRUE(user.window(w).minimized);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, AWindowThatNeverOpenedWritesNoState) {
    // The table cannot be opened: the error manager reports it and the list ends without a window.
    std::filesystem::create_directory(dir.file("KAPUTT.TPS"));
    setTableFile(dir.file("KAPUTT.TPS"));
    user.queueMessageBoxAnswer(rt::button::Ok);
    int t = startList();
    user.waitThreadEnd(t);
    EXPECT_EQ(user.messageBoxes().size(), 1u);
    EXPECT_EQ(user.lastMessageBox().title, "BrowseWerte");
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(ini("BrowseWerte", "XPos"), "<none>");
    EXPECT_EQ(ini("BrowseWerte", "ListFormat"), "<none>");
    EXPECT_TRUE(display.shownWindows().empty());
}

// ---- Row colours ---------------------------------------------------------------------------

TEST_F(WindowTest, FirstLoadedRowHasTheNormalBackgroundTheSecondLightGreen) {
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    auto rows = user.rows(w, LIST);
    ASSERT_EQ(rows.size(), 3u);
    rt::Color expected[] = {rt::ColorNone, rt::rgb(206, 255, 206), rt::ColorNone};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].cells.size(), 4u);
        for (const auto& cell : rows[r].cells) {
            EXPECT_EQ(cell.back, expected[r]) << "row " << r + 1;
            EXPECT_EQ(cell.fore, rt::rgb(64, 0, 64));
            EXPECT_EQ(cell.selectedFore, rt::rgb(64, 0, 64));
            EXPECT_EQ(cell.selectedBack, rt::rgb(151, 180, 20));
        }
    }
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, ColoursFollowTheLoadOrderAcrossPages) {
    for (int id = 5; id <= 12; ++id) addRecord(id, "AGGREGAT", id, "GN" + std::to_string(id));
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    EXPECT_EQ(listRows(user, w), 5);  // one page
    user.selectRow(w, LIST, 5);       // the next page comes
    auto rows = user.rows(w, LIST);
    ASSERT_EQ(rows.size(), 10u);
    for (std::size_t r = 0; r < rows.size(); ++r)
        EXPECT_EQ(rows[r].cells[0].back, r % 2 == 0 ? rt::ColorNone : rt::rgb(206, 255, 206)) << r;
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

// ---- Popup and toolbar ---------------------------------------------------------------------

TEST_F(WindowTest, PopupHasTheActionItemsThenTheListFormatItems) {
    struct Case {
        std::uint8_t request;
        std::vector<std::string> items;
    } cases[] = {
        {req::None, {"&Insert", "&Change", "&Delete", "&PrintScreen", "-", "List &Formats", "Format &Setup..."}},
        {req::Select,
         {"&Insert", "&Change", "&Delete", "&Select", "&PrintScreen", "-", "List &Formats", "Format &Setup..."}},
        {req::View, {"&PrintScreen", "-", "List &Formats", "Format &Setup..."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.request));
        int t = startList(c.request);
        auto w = user.waitWindow(kListTitle);
        user.queuePopupAnswer(0);
        user.key(w, LIST, rt::keys::MouseRight, 1);
        auto popups = display.history();
        ASSERT_FALSE(popups.empty());
        EXPECT_EQ(texts(popups.back().popupMenu.items), c.items);
        user.press(w, CLOSE);
        user.waitThreadEnd(t);
    }
    // Choosing "&Change" opens the form on the row.
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.selectRow(w, LIST, 2);
    user.queuePopupAnswer(2);
    user.key(w, LIST, rt::keys::Apps);
    auto f = user.waitWindow("EditWerte");
    EXPECT_EQ(user.value(f, NAME_ENTRY), "GNColumn");
    user.press(f, CANCEL);
    user.settle(t);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, ToolbarButtonsActOnTheList) {
    for (int id = 5; id <= 12; ++id) addRecord(id, "AGGREGAT", id, "GN" + std::to_string(id));
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    auto tool = [&](int button) {
        user.send(w, rt::UserInput(rt::Event::Accepted, button));
        user.settle(t);
        return user.selected(w, LIST);
    };
    EXPECT_EQ(tool(rt::toolbar::Down), 2);
    EXPECT_EQ(tool(rt::toolbar::PageDown), 7);
    EXPECT_EQ(tool(rt::toolbar::Up), 6);
    EXPECT_EQ(tool(rt::toolbar::Bottom), 11);
    EXPECT_EQ(user.cell(w, LIST, 11, 1), "12");
    EXPECT_EQ(tool(rt::toolbar::Top), 1);
    user.send(w, rt::UserInput(rt::Event::Accepted, rt::toolbar::Insert));
    auto f = user.waitWindow("EditWerte");
    user.press(f, CANCEL);
    user.settle(t);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

// ---- Sort orders and locators --------------------------------------------------------------

TEST_F(WindowTest, TabsChooseTheOrderAndLocatorsFindTheRow) {
    addRecord(5, "GRUPPE", 3, "GNData");
    addRecord(6, "GRUPPE", 4, "GNPage");
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    EXPECT_EQ(user.cell(w, LIST, 1, 4), "GNHidden");
    // The numeric locator of the first tab: typed digits add up.
    user.focus(w, LIST);
    user.key(w, LIST, '5');
    EXPECT_EQ(user.selected(w, LIST), 4);
    // The second tab sorts by name, its entry locates.
    user.selectTab(w, SHEET, 2);
    EXPECT_EQ(user.cell(w, LIST, 1, 4), "GNColumn");
    EXPECT_EQ(user.cell(w, LIST, 5, 4), "GNRow");
    user.setValue(w, LOCATOR, "gnp");
    EXPECT_EQ(user.cell(w, LIST, user.selected(w, LIST), 4), "GNPage");
    user.setValue(w, LOCATOR, "zzz");  // after the last: the last row
    EXPECT_EQ(user.selected(w, LIST), 5);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

// ---- List formats --------------------------------------------------------------------------

TEST_F(WindowTest, ListFormatsAreKeptPerThreadAndSharedThroughTheFile) {
    enum { Formats = 2, Name = 4, Columns = 6, Width = 8, Save = 9, Close = 12 };
    int a = startList();
    auto wa = user.waitWindow(kListTitle);
    int b = startList();
    auto wb = user.waitTopWindow(b);
    ASSERT_NE(wa, wb);

    // Thread A: a narrow first column, saved as "Schmal".
    user.queuePopupAnswer(6);  // "Format &Setup..."
    user.key(wa, LIST, rt::keys::MouseRight, 1);
    auto setup = user.waitWindow("ListFormatSetup");
    user.selectRow(setup, Columns, 1);
    user.setValue(setup, Width, "50");
    user.setValue(setup, Name, "Schmal");
    user.press(setup, Save);
    EXPECT_EQ(user.rows(setup, Formats).size(), 2u);
    user.press(setup, Close);
    user.settle(a);
    EXPECT_EQ(user.control(wa, LIST).list->columns[0].width, 50);
    EXPECT_EQ(user.control(wb, LIST).list->columns[0].width, 21);

    // Thread B sees the stored layout and applies it.
    user.queuePopupAnswer(5);  // "List &Formats"
    user.queuePopupAnswer(1);  // "Schmal"
    user.key(wb, LIST, rt::keys::MouseRight, 1);
    auto popups = display.history();
    ASSERT_GE(popups.size(), 2u);
    EXPECT_EQ(texts(popups.back().popupMenu.items), (std::vector<std::string>{"Schmal", "&Default Format"}));
    EXPECT_EQ(user.control(wb, LIST).list->columns[0].width, 50);

    // Thread A goes back to the design; B keeps its own.
    user.queuePopupAnswer(5);
    user.queuePopupAnswer(2);  // "&Default Format"
    user.key(wa, LIST, rt::keys::MouseRight, 1);
    EXPECT_EQ(user.control(wa, LIST).list->columns[0].width, 21);
    EXPECT_EQ(user.control(wb, LIST).list->columns[0].width, 50);

    user.press(wa, CLOSE);
    user.waitThreadEnd(a);
    EXPECT_EQ(ini("BrowseWerte", "ListFormat"), "&Default Format");
    user.press(wb, CLOSE);
    user.waitThreadEnd(b);
    EXPECT_EQ(ini("BrowseWerte", "ListFormat"), "Schmal");
    EXPECT_TRUE(std::filesystem::exists(dir.file("Formats.FDB")));

    // Opened again, the list takes the layout last used.
    int c = startList();
    auto wc = user.waitWindow(kListTitle);
    EXPECT_EQ(user.control(wc, LIST).list->columns[0].width, 50);
    user.press(wc, CLOSE);
    user.waitThreadEnd(c);
}

TEST_F(WindowTest, FormatSetupRefusesAWidthThatIsNoNumberAndApplyKeepsEditedWidths) {
    enum { Formats = 2, Columns = 6, Width = 8, Apply = 10, Close = 12 };
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    user.queuePopupAnswer(6);  // "Format &Setup..."
    user.key(w, LIST, rt::keys::MouseRight, 1);
    auto setup = user.waitWindow("Listenformat einrichten");
    EXPECT_EQ(user.cell(setup, Formats, 1), "Default Format");
    user.selectRow(setup, Formats, 1);
    user.selectRow(setup, Columns, 1);
    const auto beeps = display.beeps().size();
    user.setValue(setup, Width, "breit");
    EXPECT_EQ(display.beeps().size(), beeps + 1);
    EXPECT_EQ(user.value(setup, Width), "21");
    EXPECT_EQ(user.cell(setup, Columns, 1, 2), "21");
    user.setValue(setup, Width, "40");
    user.press(setup, Apply);
    EXPECT_EQ(user.cell(setup, Columns, 1, 2), "40");
    // Choosing the layout again and applying it brings back its widths.
    user.selectRow(setup, Formats, 1);
    user.press(setup, Apply);
    EXPECT_EQ(user.cell(setup, Columns, 1, 2), "21");
    user.press(setup, Close);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
}

TEST_F(WindowTest, BrokenListFormatsCloseTheListButNotTheProgram) {
    std::filesystem::create_directory(dir.file("Formats.FDB"));
    std::atomic<bool> otherDone{false};
    int other = rt::startThread([&] {
        rt::Window w("Other", "Anderes Fenster");
        while (w.accept()) {
        }
        otherDone = true;
    });
    auto wo = user.waitWindow("Anderes Fenster");
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    EXPECT_EQ(listRows(user, w), 3);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_EQ(user.lastMessageBox().text, "List Format Manager cannot work properly!");
    EXPECT_EQ(response, resp::Completed);
    EXPECT_TRUE(user.isOpen(wo));
    user.closeWindow(wo);
    user.waitThreadEnd(other);
    EXPECT_TRUE(otherDone);
}

// ---- Threads -------------------------------------------------------------------------------

TEST(ThreadPlan, MenuListsRunOnThreadsOfTheirOwnFormsOnTheCallers) {
    struct Case {
        const char* procedure;
        bool own;
        int stack;
    } cases[] = {
        {"BrowseWerte", true, 25'000},
        {"BrowseCubeKopf", true, 50'000},
        {"BrowseDBUpdateLog", true, 25'000},
        {"SQLQueryResult_N", true, 25'000},
        {"ControllingCockpit", true, 25'000},
        {"DruckeCube", true, 25'000},
        {"MySplash", true, 0},
        {"ThumbnailWindow", true, 50'000},
        {"EditWerte", false, 0},
        {"ListMandant", false, 0},
        {"QueryByExample", false, 0},
        {"AnzeigeCube", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.procedure);
        auto plan = ThreadPlanOf(c.procedure);
        EXPECT_EQ(plan.ownThread, c.own);
        EXPECT_EQ(plan.stackBytes, c.stack);
    }
    int ranOn = -1;
    EXPECT_EQ(StartProcedure("EditWerte", [&] { ranOn = rt::threadNumber(); }), 0);
    EXPECT_EQ(ranOn, 0);
    std::atomic<int> other{-1};
    int t = StartProcedure("BrowseWerte", [&] { other = rt::threadNumber(); });
    ASSERT_GT(t, 0);
    rt::waitThread(t);
    EXPECT_EQ(other, t);
}

TEST_F(WindowTest, ListKeysCallTheFormWhileTheListHasTheFocus) {
    struct Case {
        int key;
        const char* title;
    } cases[] = {
        {rt::keys::Insert, "Datensatz anlegen"}, {rt::keys::Enter, "Datensatz bearbeiten"}, {rt::keys::Delete, ""}};
    int t = startList();
    auto w = user.waitWindow(kListTitle);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        user.focus(w, LIST);
        user.key(w, LIST, c.key);
        auto f = user.waitWindow("EditWerte");
        EXPECT_EQ(user.window(f).title, c.title);
        user.press(f, CANCEL);
        user.settle(t);
    }
    // In the locator entry the keys are the entry's own.
    user.selectTab(w, SHEET, 2);
    user.focus(w, LOCATOR);
    rt::UserInput del(rt::Event::AlertKey, LOCATOR);
    del.keyCode = rt::keys::Delete;
    user.send(w, del);
    user.settle(t);
    EXPECT_EQ(formCalls, 3);
    user.press(w, CLOSE);
    user.waitThreadEnd(t);
    EXPECT_EQ(recordCount(), 3);
}
