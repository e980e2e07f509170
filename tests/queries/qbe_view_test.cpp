// Query by example's view on the demo database: the running calculations checked against values
// computed here, the records in the built order, and the stop on a filter the source rejects.
#include "queries/qbe/qbe_view.h"

#include <gtest/gtest.h>

#include "core/dictionary/globals.h"
#include "demo/demo_database.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace qbecode;

QBEColumn column(long number, const char* name, int code1, int code2 = 0) {
    QBEColumn c;
    c.NUMBER = number;
    c.NAME = name;
    c.HEADER = name;
    c.type(1) = code1;
    c.type(2) = code2;
    return c;
}

TEST(QueryByExampleCalculations, RunningValuesPerLine) {
    std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "A", Sum, Maximum), column(2, "B", Minimum, Average),
                             column(3, "C", Count)};
    QBECalculations calc(g, 2, QBEOptionValues());
    const auto& l = calc.lines();
    ASSERT_EQ(l.size(), 5u);
    const char* labels[] = {"Sum", "Maxi.", "Mini.", "Aver.", "Count"};
    for (std::size_t i = 0; i < l.size(); ++i) EXPECT_EQ(l[i].label, labels[i]);

    // Negative values: a maximum and a minimum never start from 0.
    const std::vector<std::vector<std::string>> records = {
        {"", "-3", "7", "x"}, {"", "-5", "9", "y"}, {"", "-4", "8", "z"}};
    for (const auto& r : records) calc.add(r);
    EXPECT_EQ(calc.records(), 3);
    EXPECT_EQ(l[0].text, "-12");
    EXPECT_EQ(l[1].text, "-3");
    EXPECT_EQ(l[2].text, "7");
    EXPECT_EQ(l[3].text, "8");
    EXPECT_EQ(l[4].text, "3");

    // Bytes read of the file's bytes; a file of size 0 does not divide by zero.
    EXPECT_EQ(QBEProgressPercent(0, 0), 100);
    EXPECT_EQ(QBEProgressPercent(45, 135), 33);
    EXPECT_EQ(QBEProgressPercent(180, 135), 100);
}

class QueryByExampleView : public coretest::WorkingFolderTest {
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
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    int run(const std::string& filter, const std::string& order, int nameCode = OnUp) {
        std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "CUBK:ID", Sum),
                                 column(2, "CUBK:ID_CUBG", Minimum, Maximum), column(3, "CUBK:CubeName", nameCode),
                                 column(4, "CUBK:Activ", Off)};
        std::string built;
        EXPECT_TRUE(BuildQBEOrder(g, 2, true, built).ok);  // the summary slots say what shows
        return cubestest::startWithDictionary([g, filter, order] {
            QBEView({"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"}, g, filter, order, 2, 3);
        });
    }

    cubestest::AllRights rights_;
    std::string connect_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(QueryByExampleView, CalculationLinesThenRecordsInOrder) {
    const int t = run("CUBK:Activ = 1 ", "+CUBK:CubeName");
    auto w = user_.waitWindow(" QBE View [VOQCubeKopf]");
    EXPECT_EQ(user_.text(w, qbeview::Records), "2");
    ASSERT_EQ(user_.rowCount(w, qbeview::List), 5u);
    // Columns: REC#, ID, ID_CUBG, CubeName (Activ is not displayed).
    const std::vector<std::vector<std::string>> expected = {{"Sum", "3", "", ""},
                                                            {"Mini.", "", "2", ""},
                                                            {"Maxi.", "", "4", ""},
                                                            {"1", "2", "2", "Bestand"},
                                                            {"2", "1", "4", "Umsatz"}};
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (std::size_t c = 0; c < 4; ++c)
            EXPECT_EQ(user_.cell(w, qbeview::List, static_cast<int>(r + 1), static_cast<int>(c + 1)), expected[r][c])
                << r << "," << c;
    user_.press(w, qbeview::Ok);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleView, TheLookFromTheOptionsAndTheSortedColumnLocates) {
    QBEOptionValues o;
    o.viewColor = {0xE0FFFF, 0x800000, 0x00FF00, 0x0000FF};
    o.viewColumnWidth = 70;
    o.viewColumnHeight = 12;
    o.viewFontSize = 10;
    SetQBEOptions(o);
    const int t = run("", "+CUBK:CubeName");
    auto w = user_.waitWindow(" QBE View [VOQCubeKopf]");
    SetQBEOptions(QBEOptionValues());
    const rt::ControlState list = user_.control(w, qbeview::List);
    EXPECT_EQ(list.background, 0xE0FFFFu);
    EXPECT_EQ(list.fontColor, 0x800000u);
    EXPECT_EQ(list.font.size, 10);
    ASSERT_TRUE(list.list);
    const rt::ListData& data = *list.list;
    EXPECT_EQ(data.lineHeight, 12);
    ASSERT_EQ(data.columns.size(), 4u);
    // REC#: right-aligned, fixed, a grey bar with white text; the others as wide as the option says.
    EXPECT_EQ(data.columns[0].heading, "REC#");
    EXPECT_EQ(data.columns[0].width, 25);
    EXPECT_EQ(data.columns[0].justify, rt::Justify::Right);
    EXPECT_FALSE(data.columns[0].resizable);
    EXPECT_TRUE(data.columns[0].fixed);
    EXPECT_EQ(data.columns[0].selectedBack, 0x808080u);
    EXPECT_EQ(data.columns[0].selectedFore, 0xFFFFFFu);
    EXPECT_EQ(data.columns[1].width, 70);
    EXPECT_TRUE(data.columns[1].resizable);
    EXPECT_EQ(data.columns[1].selectedBack, rt::ColorNone);
    // The name, sorted and shown, is the locator: its bar and the entry in the locate colours.
    EXPECT_EQ(data.locatorColumn, 4);
    EXPECT_FALSE(data.scrollButtons);
    EXPECT_EQ(data.columns[3].selectedBack, 0x00FF00u);
    EXPECT_EQ(data.columns[3].selectedFore, 0x0000FFu);
    EXPECT_TRUE(user_.enabled(w, qbeview::Locate));
    EXPECT_EQ(user_.window(w).focus, qbeview::Locate);

    // Three calculation lines, then Bestand, Rohertrag, Umsatz: typing finds a record line.
    const std::pair<const char*, int> typed[] = {{"um", 6}, {"B", 4}, {"r", 5}, {"S", 6}};
    for (const auto& [text, row] : typed) {
        user_.type(w, qbeview::Locate, text);
        user_.settle(t);
        EXPECT_EQ(user_.selected(w, qbeview::List), row) << text;
    }

    // The focus highlighter marks the entry while it has the focus; then its own colours are back.
    user_.focus(w, qbeview::List);
    user_.settle(t);
    const rt::ControlState locate = user_.control(w, qbeview::Locate);
    EXPECT_EQ(locate.background, 0x00FF00u);
    EXPECT_EQ(locate.fontColor, 0x0000FFu);

    // Resizing: the list grows, OK keeps to the corner, the records panel stays.
    const rt::ControlState ok = user_.control(w, qbeview::Ok);
    const int recordsX = user_.control(w, qbeview::Records).x;
    user_.resize(w, 500, 300);
    user_.settle(t);
    EXPECT_EQ(user_.control(w, qbeview::List).width, list.width + 100);
    EXPECT_EQ(user_.control(w, qbeview::List).height, list.height + 60);
    EXPECT_EQ(user_.control(w, qbeview::Ok).x, ok.x + 100);
    EXPECT_EQ(user_.control(w, qbeview::Ok).y, ok.y + 60);
    EXPECT_EQ(user_.control(w, qbeview::Locate).width, locate.width + 100);
    EXPECT_EQ(user_.control(w, qbeview::Records).x, recordsX);
    user_.press(w, qbeview::Ok);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleView, WithoutASortedColumnTheListHasScrollButtons) {
    const int t = run("", "", On);
    auto w = user_.waitWindow(" QBE View [VOQCubeKopf]");
    const rt::ControlState list = user_.control(w, qbeview::List);
    EXPECT_EQ(list.list->locatorColumn, 0);
    EXPECT_TRUE(list.list->scrollButtons);
    EXPECT_FALSE(user_.enabled(w, qbeview::Locate));
    user_.press(w, qbeview::Ok);
    user_.waitThreadEnd(t);
}

TEST_F(QueryByExampleView, ARejectedFilterStopsTheRun) {
    user_.queueMessageBoxAnswer(rt::button::Ok);
    const int t = run("((CUBK:Activ = ", "");
    user_.waitThreadEnd(t);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    // Neither the progress window nor the list opened.
    EXPECT_TRUE(display_.shownWindows().empty());
}

}  // namespace
