// Query by example's grid on the demo database: a source laid out from the source text,
// conditions and codes in several cells, the built source shown and the view run from the grid.
#include "queries/qbe/query_by_example.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/dictionary/globals.h"
#include "core/print/report_preview.h"
#include "demo/demo_database.h"
#include "queries/qbe/qbe_options.h"
#include "queries/qbe/qbe_options_window.h"
#include "queries/qbe/qbe_view.h"
#include "runtime/ini/profile.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace qbe;

class QueryByExampleGrid : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        ASSERT_EQ(demo::writeDemoDatabase(file("client.db"), {.salesLines = 10}), "");
        connect_ = voq::test::sqliteConnectString(file("client.db"));
        GLO.ConnectString = connect_;
        cubestest::createProgramTables(connect_, false);
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "INSERT INTO VOQCUBEKOPF (ID, ID_CUBG, CubeName, Activ) VALUES "
                                     "(1, 4, 'Umsatz', 1), (2, 2, 'Bestand', 1), (3, 9, 'Rohertrag', 0)"),
                  "");
        std::ofstream("VOQKivorant.qbe")
            << "[VOQCubeKopf]\nFIELDS=3\nFIELD1=CUBK:ID, Nummer, @n-14, R\n"
               "FIELD2=CUBK:ID_CUBG, Gruppe, @n-14, R\nFIELD3=CUBK:CubeName, Name, @s20, L\n";
    }
    // The code picker at a cell (right click) and one of its twelve pictures clicked.
    void pick(rt::WindowId w, int column, int row, int code) {
        user_.click(w, codeRegionId(column, row), rt::keys::MouseRight);
        const auto picker = user_.waitWindow(kPickerProcedure);
        user_.click(picker, PickerRegion + code);
        user_.waitClosed(picker);
    }
    bool shows(rt::WindowId w, int id) {
        const auto shown = display_.shown(w);
        for (const auto& c : shown->controls)
            if (c.id == id) return !c.hidden;
        return false;
    }
    std::string picture(rt::WindowId w, int column, int row) { return user_.control(w, codeId(column, row)).icon; }

    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }

    cubestest::AllRights rights_;
    std::string connect_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(QueryByExampleGrid, ConditionsAndCodesRunTheView) {
    const int t = cubestest::startWithDictionary([] { QueryByExample(""); });
    auto w = user_.waitWindow(kGridTitle);
    EXPECT_FALSE(user_.enabled(w, Execute));
    EXPECT_FALSE(user_.enabled(w, ItemExecute));
    user_.press(w, ItemHelp);
    auto help = user_.waitWindow(kHelpTitle);
    EXPECT_EQ(user_.text(help, HelpCode + 2), "Sort field ascending, don't include field in view/report.");
    EXPECT_EQ(user_.text(help, HelpLine + 6), "You can place up to 15 rows on a query.");
    user_.press(help, HelpOk);
    user_.waitClosed(help);
    user_.chooseEntry(w, SourceList, 3);
    EXPECT_TRUE(user_.enabled(w, ItemExecute));
    EXPECT_EQ(user_.value(w, Heading + 0), "SET ALL");
    EXPECT_EQ(user_.value(w, Heading + 3), "Name");
    EXPECT_FALSE(shows(w, Heading + 4));
    EXPECT_TRUE(user_.enabled(w, Execute));
    EXPECT_FALSE(user_.enabled(w, DeleteRow));

    // Row 1: names after "B", shown ascending, the group summed; row 2: the number 3.
    user_.press(w, AddRow);
    user_.setValue(w, cellId(3, 1), "> 'B'");
    EXPECT_EQ(picture(w, 3, 1), "QbeOff.bmp");
    pick(w, 3, 1, qbecode::OnUp);
    EXPECT_EQ(picture(w, 3, 1), "QbeOnUp.bmp");
    pick(w, 2, 1, qbecode::Sum);
    user_.setValue(w, cellId(1, 2), "3");
    // A left click shows a hidden field and hides a shown one.
    user_.click(w, codeRegionId(1, 2));
    EXPECT_EQ(picture(w, 1, 2), "QbeOn.bmp");
    user_.click(w, codeRegionId(1, 2));
    EXPECT_EQ(picture(w, 1, 2), "QbeOff.bmp");
    user_.click(w, codeRegionId(1, 2));
    // The picker closed another way changes nothing; its regions light up under the mouse.
    user_.click(w, codeRegionId(2, 2), rt::keys::MouseRight);
    auto picker = user_.waitWindow(kPickerProcedure);
    user_.mouseIn(picker, PickerRegion + 9);
    EXPECT_EQ(user_.control(picker, PickerBox + 9).background, rt::rgb(0, 0x80, 0));
    user_.mouseOut(picker, PickerRegion + 9);
    EXPECT_EQ(user_.control(picker, PickerBox + 9).background, rt::rgb(0xC0, 0xC0, 0xC0));
    user_.closeWindow(picker);
    user_.waitClosed(picker);
    EXPECT_EQ(picture(w, 2, 2), "QbeOff.bmp");
    user_.press(w, ViewSource);
    auto s = user_.waitWindow(kSourceViewTitle);
    EXPECT_EQ(user_.value(s, SourceFilter), "    ((Name > 'B'))\r\n OR ((Nummer = 3))\r\n ");
    EXPECT_EQ(user_.value(s, SourceOrder), " + Name\r\n");
    user_.press(s, SourceOk);
    user_.waitClosed(s);
    EXPECT_EQ(user_.value(w, cellId(0, 2)), "OR ((Nummer = 3))");

    user_.press(w, Execute);
    auto v = user_.waitWindow(" QBE View [VOQCubeKopf]");
    // Sum line, then all three records by name: Bestand, Rohertrag (number 3), Umsatz.
    ASSERT_EQ(user_.rowCount(v, qbeview::List), 4u);
    EXPECT_EQ(user_.cell(v, qbeview::List, 1, 1), "Sum");
    EXPECT_EQ(user_.cell(v, qbeview::List, 1, 3), "15");
    EXPECT_EQ(user_.cell(v, qbeview::List, 2, 4), "Bestand");
    EXPECT_EQ(user_.cell(v, qbeview::List, 3, 4), "Rohertrag");
    EXPECT_EQ(user_.cell(v, qbeview::List, 4, 4), "Umsatz");
    user_.press(v, qbeview::Ok);
    user_.waitClosed(v);

    // An open literal is refused with the cell's place.
    user_.setValue(w, cellId(2, 2), "'offen");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, Execute);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].text, "Error in filter at Gruppe row number 2");
    // The grid was changed: leaving asks to save, and Cancel stays.
    user_.queueMessageBoxAnswer(rt::button::Cancel);
    user_.press(w, ExitButton);
    ASSERT_EQ(user_.messageBoxes().size(), 2u);
    EXPECT_EQ(user_.messageBoxes()[1].title, "Save Query");
    EXPECT_TRUE(user_.isOpen(w));
    user_.queueMessageBoxAnswer(rt::button::No);
    user_.press(w, ExitButton);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleGrid, ADefinitionSavedAndLoadedBackIntoTheGrid) {
    const int t = cubestest::startWithDictionary([] { QueryByExample(""); });
    auto w = user_.waitWindow(kGridTitle);
    user_.chooseEntry(w, SourceList, 3);
    user_.press(w, AddRow);
    user_.setValue(w, cellId(3, 2), "'Umsatz'");
    // A code in the "SET ALL" column goes to the whole row.
    pick(w, 0, 1, qbecode::OnDown);
    EXPECT_EQ(picture(w, 3, 1), "QbeOnDown.bmp");
    EXPECT_EQ(user_.statusText(w, 3), "Modified");
    user_.press(w, SaveButton);
    auto s = user_.waitWindow(kSaveTitle);
    user_.setValue(s, NameEntry, "O'Brien");
    user_.press(s, NameOk);
    user_.waitClosed(s);
    EXPECT_EQ(user_.statusText(w, 2), "O\"Brien");
    EXPECT_EQ(user_.statusText(w, 3), "");

    user_.press(w, NewButton);
    EXPECT_FALSE(shows(w, cellId(3, 2)));
    user_.chooseEntry(w, SourceList, 1);
    EXPECT_EQ(user_.value(w, SourceList), "CrossTab");
    user_.press(w, LoadButton);
    auto l = user_.waitWindow(kLoadTitle);
    ASSERT_EQ(user_.rowCount(l, NameList), 1u);
    EXPECT_EQ(user_.cell(l, NameList, 1, 1), "O\"Brien");
    EXPECT_EQ(user_.cell(l, NameList, 1, 2), "VOQCubeKopf");
    user_.selectRow(l, NameList, 1);
    EXPECT_EQ(user_.value(l, NameEntry), "O\"Brien");
    user_.press(l, NameOk);
    user_.waitClosed(l);
    // The source list names the definition's source.
    EXPECT_EQ(user_.value(w, SourceList), "VOQCubeKopf");
    EXPECT_TRUE(shows(w, cellId(3, 2)));
    EXPECT_EQ(user_.value(w, cellId(3, 2)), "'Umsatz'");
    EXPECT_EQ(picture(w, 2, 1), "QbeOnDown.bmp");
    EXPECT_TRUE(user_.enabled(w, DeleteRow));

    // A caller with the table's label prints the definition without the grid.
    const int printer = cubestest::startWithDictionary([] { QueryByExample("VOQCubeKopf"); });
    auto p = user_.waitWindow(kLoadTitle);
    user_.selectRow(p, NameList, 1);
    user_.press(p, NameOk);
    auto report = user_.waitWindow(" Report Preview");
    user_.press(report, preview::BUTTON_EXIT);
    user_.waitThreadEnd(printer);
    // Another source's definition, named though the list does not show it, is not printed.
    const int other = cubestest::startWithDictionary([] { QueryByExample("VOQCubeGruppe"); });
    auto o = user_.waitWindow(kLoadTitle);
    EXPECT_EQ(user_.rowCount(o, NameList), 0u);
    user_.setValue(o, NameEntry, "O\"Brien");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(o, NameOk);
    user_.waitThreadEnd(other);
    EXPECT_EQ(user_.lastMessageBox().title, "Load Error");
    EXPECT_EQ(user_.lastMessageBox().text, "    It was not posible to find the query.");
    const std::size_t boxes = user_.messageBoxes().size();

    // Deleting asks first; No keeps it.
    user_.press(w, LoadButton);
    l = user_.waitWindow(kLoadTitle);
    user_.selectRow(l, NameList, 1);
    user_.queueMessageBoxAnswer(rt::button::No);
    user_.press(l, NameDelete);
    EXPECT_EQ(user_.rowCount(l, NameList), 1u);
    user_.queueMessageBoxAnswer(rt::button::Yes);
    user_.press(l, NameDelete);
    EXPECT_EQ(user_.rowCount(l, NameList), 0u);
    ASSERT_EQ(user_.messageBoxes().size(), boxes + 2);
    EXPECT_EQ(user_.messageBoxes()[boxes].title, "Delete Query");
    user_.press(l, NameCancel);
    user_.waitClosed(l);
    user_.press(w, ExitButton);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleGrid, AWideSourceScrollsAndItsColumnsMove) {
    {
        std::ofstream qbe("VOQKivorant.qbe", std::ios::app);
        qbe << "[CrossTab]\nFIELDS=14\n";
        for (int i = 1; i <= 14; ++i) qbe << "FIELD" << i << "=CRO:F" << i << ", Feld " << i << ", @s20, L\n";
    }
    const int t = cubestest::startWithDictionary([] { QueryByExample(""); });
    auto w = user_.waitWindow(kGridTitle);
    user_.chooseEntry(w, SourceList, 1);
    // Every field has its column on the area, which is wider than the window and scrolls.
    const rt::ControlState area = user_.control(w, GridArea);
    EXPECT_TRUE(area.hscroll);
    const rt::ControlState last = user_.control(w, Heading + 14);
    EXPECT_EQ(last.value, "Feld 14");
    EXPECT_EQ(last.parent, GridArea);
    EXPECT_GT(last.x + last.width, area.width);
    EXPECT_LE(last.x + last.width, area.virtualWidth);
    EXPECT_FALSE(user_.enabled(w, MoveLeft + 1));
    EXPECT_FALSE(user_.enabled(w, MoveRight + 14));

    // Moving swaps a column with its neighbour, conditions and codes going along.
    user_.setValue(w, cellId(1, 1), "1");
    user_.setValue(w, cellId(2, 1), "2");
    pick(w, 1, 1, qbecode::OnUp);
    user_.press(w, MoveRight + 1);
    EXPECT_EQ(user_.value(w, Heading + 1), "Feld 2");
    EXPECT_EQ(user_.value(w, Heading + 2), "Feld 1");
    EXPECT_EQ(user_.value(w, cellId(2, 1)), "1");
    EXPECT_EQ(picture(w, 2, 1), "QbeOnUp.bmp");
    EXPECT_EQ(picture(w, 1, 1), "QbeOff.bmp");
    user_.press(w, ViewSource);
    auto s = user_.waitWindow(kSourceViewTitle);
    EXPECT_EQ(user_.value(s, SourceFilter), "((Feld 2 = 2) AND (Feld 1 = 1))\r\n ");
    user_.press(s, SourceOk);
    user_.waitClosed(s);

    // A column moved out of sight brings the area along; the user's scrolling is where it starts.
    user_.scroll(w, GridArea, 0, 0);
    user_.press(w, MoveRight + 13);
    rt::ControlState moved = user_.control(w, Heading + 14);
    rt::ControlState now = user_.control(w, GridArea);
    EXPECT_EQ(moved.value, "Feld 13");
    EXPECT_GT(now.scrollX, 0);
    EXPECT_LE(moved.x + moved.width, now.scrollX + now.width);
    EXPECT_GE(moved.x, now.scrollX);
    user_.scroll(w, GridArea, 800, 0);
    user_.press(w, MoveLeft + 2);
    now = user_.control(w, GridArea);
    EXPECT_LE(now.scrollX, user_.control(w, Heading + 1).x);
    // A larger window shows more of the area.
    user_.resize(w, area.width + 200, 400);
    EXPECT_EQ(user_.control(w, GridArea).width, area.width + 200);
    EXPECT_EQ(user_.control(w, Heading + 14).x, moved.x);

    user_.queueMessageBoxAnswer(rt::button::No);
    user_.press(w, ExitButton);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleGrid, TheExecutionChoiceInRowOneOutlivesRebuilds) {
    const int t = cubestest::startWithDictionary([] { QueryByExample(""); });
    auto w = user_.waitWindow(kGridTitle);
    EXPECT_FALSE(shows(w, ExecutionList));
    user_.chooseEntry(w, SourceList, 3);
    EXPECT_TRUE(shows(w, ExecutionList));
    // Beside row 1's number, left of the first cell, on the scrolling area.
    const rt::ControlState list = user_.control(w, ExecutionList);
    EXPECT_EQ(list.parent, GridArea);
    EXPECT_LE(list.x + list.width, user_.control(w, cellId(0, 1)).x);
    EXPECT_GE(list.x, user_.control(w, RowLabel + 1).x + user_.control(w, RowLabel + 1).width);
    user_.chooseEntry(w, ExecutionList, 2);
    EXPECT_EQ(user_.control(w, ExecutionPicture).icon, "QbeReport.ico");

    // Another source and back: the grid is made anew, the choice stays and still decides.
    user_.chooseEntry(w, SourceList, 1);
    user_.chooseEntry(w, SourceList, 3);
    EXPECT_TRUE(shows(w, ExecutionList));
    EXPECT_EQ(user_.control(w, ExecutionPicture).icon, "QbeReport.ico");
    pick(w, 3, 1, qbecode::On);
    user_.press(w, Execute);
    auto report = user_.waitWindow(" Report Preview");
    user_.press(report, preview::BUTTON_EXIT);
    user_.waitClosed(report);

    // The choice is no part of a saved definition: loading keeps the grid's own.
    user_.chooseEntry(w, ExecutionList, 1);
    user_.press(w, SaveButton);
    auto s = user_.waitWindow(kSaveTitle);
    user_.setValue(s, NameEntry, "Namen");
    user_.press(s, NameOk);
    user_.waitClosed(s);
    user_.chooseEntry(w, ExecutionList, 2);
    user_.press(w, LoadButton);
    auto l = user_.waitWindow(kLoadTitle);
    user_.selectRow(l, NameList, 1);
    user_.press(l, NameOk);
    user_.waitClosed(l);
    EXPECT_EQ(user_.control(w, ExecutionPicture).icon, "QbeReport.ico");
    user_.press(w, Execute);
    report = user_.waitWindow(" Report Preview");
    user_.press(report, preview::BUTTON_EXIT);
    user_.waitClosed(report);
    // And View runs the view.
    user_.chooseEntry(w, ExecutionList, 1);
    EXPECT_EQ(user_.control(w, ExecutionPicture).icon, "QbeView.ico");
    user_.press(w, Execute);
    auto v = user_.waitWindow(" QBE View [VOQCubeKopf]");
    user_.press(v, qbeview::Ok);
    user_.waitClosed(v);
    user_.press(w, ExitButton);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleGrid, CutCopyAndPasteOnTheFocusedCell) {
    const int t = cubestest::startWithDictionary([] { QueryByExample(""); });
    auto w = user_.waitWindow(kGridTitle);
    user_.chooseEntry(w, SourceList, 3);
    user_.setValue(w, cellId(3, 1), "'Umsatz'");
    user_.focus(w, cellId(3, 1));
    user_.select(w, cellId(3, 1), 0, 8);
    user_.press(w, ItemCopy);
    EXPECT_EQ(user_.clipboard(), "'Umsatz'");
    user_.focus(w, cellId(2, 1));
    user_.press(w, ItemPaste);
    EXPECT_EQ(user_.value(w, cellId(2, 1)), "'Umsatz'");
    user_.focus(w, cellId(3, 1));
    user_.select(w, cellId(3, 1), 8, 0);
    user_.press(w, ItemCut);
    EXPECT_EQ(user_.value(w, cellId(3, 1)), "");
    // The "SET ALL" cells only give their text.
    user_.focus(w, cellId(0, 1));
    user_.press(w, ItemPaste);
    EXPECT_EQ(user_.value(w, cellId(0, 1)), "");
    // What the clipboard changed counts as typed.
    pick(w, 1, 1, qbecode::On);
    user_.press(w, ViewSource);
    auto s = user_.waitWindow(kSourceViewTitle);
    EXPECT_EQ(user_.value(s, SourceFilter), "((Gruppe = 'Umsatz'))\r\n ");
    user_.press(s, SourceOk);
    user_.waitClosed(s);
    EXPECT_EQ(user_.statusText(w, 3), "Modified");
    // The close box asks too, and Cancel keeps the grid.
    user_.queueMessageBoxAnswer(rt::button::Cancel);
    user_.closeWindow(w);
    EXPECT_EQ(user_.lastMessageBox().title, "Save Query");
    EXPECT_TRUE(user_.isOpen(w));
    user_.queueMessageBoxAnswer(rt::button::No);
    user_.closeWindow(w);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleGrid, OptionsWindowWritesOnOkOnly) {
    SetQBEOptions({});
    int t = cubestest::startWithDictionary(QBEOptions);
    auto w = user_.waitWindow(qbeoptions::kTitle);
    EXPECT_EQ(user_.value(w, qbeoptions::Number + 0), "297");
    user_.setValue(w, qbeoptions::Text + 3, "Summe");
    user_.setValue(w, qbeoptions::Number + 0, "420");
    user_.press(w, qbeoptions::DefaultView);
    EXPECT_EQ(CurrentQBEOptions().reportWidth, 420);
    user_.press(w, qbeoptions::Cancel);
    user_.waitThreadEnd(t);
    EXPECT_FALSE(exists("QBESetup.INI"));
    // Cancel puts back what the fields and the default buttons changed.
    EXPECT_EQ(CurrentQBEOptions().reportText[3], "Sum");
    EXPECT_EQ(CurrentQBEOptions().reportWidth, 297);

    t = cubestest::startWithDictionary(QBEOptions);
    w = user_.waitWindow(qbeoptions::kTitle);
    user_.setValue(w, qbeoptions::Number + 0, "420");
    user_.press(w, qbeoptions::DefaultText);
    EXPECT_EQ(user_.value(w, qbeoptions::Text + 3), "Sum");
    user_.press(w, qbeoptions::Ok);
    user_.waitThreadEnd(t);
    EXPECT_EQ(rt::getProfileString(".\\QBESetup.INI", "QBE Setup", "Report width", ""), "420");
    EXPECT_EQ(rt::getProfileString(".\\QBESetup.INI", "QBE Setup", "Report text4", ""), "Sum");
    EXPECT_EQ(rt::getProfileString(".\\QBESetup.INI", "QBE Setup", "View color1", ""), "-1");
    SetQBEOptions({});
}

}  // namespace
