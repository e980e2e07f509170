// The value lists: the standard rows of an empty table, the form, names across the lists, the
// names of codes and the printout's rows.
#include "cubes/values/values.h"

#include "runtime/classlib/request.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"

using namespace werte;
namespace req = rt::request;
namespace resp = rt::response;

namespace {

class ValueListTest : public cubetest::CatalogueTest {
protected:
    int records() const { return count("VOQGNEQUATES"); }
};

TEST_P(ValueListTest, EmptyTableGetsTheStandardRowsAndANewValueTheNextNumber) {
    int t = start(req::None, BrowseWerte);
    auto w = user.waitWindow(kWerteTitle);
    ASSERT_EQ(user.rowCount(w, List), 15u);
    EXPECT_EQ(user.cell(w, List, 1, 1), "2");
    EXPECT_EQ(user.cell(w, List, 1, 4), "GNHidden");
    EXPECT_EQ(user.cell(w, List, 15, 1), "16");
    EXPECT_EQ(user.cell(w, List, 15, 2), "TREIBER");
    EXPECT_EQ(user.cell(w, List, 15, 3), "3");
    EXPECT_TRUE(user.hidden(w, Select));

    user.press(w, Insert);
    auto f = user.waitWindow("EditWerte");
    EXPECT_EQ(user.window(f).title, "Datensatz anlegen");
    EXPECT_EQ(user.value(f, EntryId), "17");
    user.chooseEntry(f, DropFilter, 3);
    user.setValue(f, EntryWert, "1");
    user.setValue(f, EntryName, "ODBC direkt");
    user.press(f, Ok);
    user.settle(t);
    ASSERT_EQ(user.rowCount(w, List), 16u);
    EXPECT_EQ(user.cell(w, List, 16, 1), "17");
    user.press(w, Close);
    user.waitThreadEnd(t);

    onThread([] {
        EXPECT_EQ(ValueName("AGGREGAT", 0L), "GNSum");
        EXPECT_EQ(ValueName("GRUPPE", std::string_view("4")), "GNPage");
        EXPECT_EQ(ValueName("TREIBER", 1L), "ODBC direkt");
        EXPECT_EQ(ValueName("AGGREGAT", 9L), "");
        EXPECT_EQ(ValueName("AGGREGAT", std::string_view(" ")), "");
    });
}

TEST_P(ValueListTest, TableWithAnyRecordGetsNoStandardRows) {
    exec("INSERT INTO " + table("VOQGNEQUATES") + " VALUES (40, 'GRUPPE', 9, 'Eigen')");
    onThread([] { EXPECT_FALSE(SeedStandardValues()); });
    EXPECT_EQ(records(), 1);
}

TEST_P(ValueListTest, ANameStandsOnceAcrossTheThreeLists) {
    onThread([] { EXPECT_TRUE(SeedStandardValues()); });
    int t = start(req::Insert, EditWerte);
    auto f = user.waitWindow("EditWerte");
    user.chooseEntry(f, DropFilter, 3);
    user.setValue(f, EntryWert, "5");
    user.setValue(f, EntryName, "gnsum");  // an "AGGREGAT" name, in another case
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(f, Ok);
    EXPECT_NE(user.lastMessageBox().text.find("dieselben Schlüsselwerte"), std::string::npos);
    EXPECT_TRUE(user.isOpen(f));
    user.press(f, Cancel);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(records(), 15);
}

TEST_P(ValueListTest, RefusedAddShowsTheRefusalAndClosesTheList) {
    refuse({"Add"});
    int t = start(req::None, BrowseWerte);
    auto w = user.waitWindow(kWerteTitle);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Insert);
    user.waitThreadEnd(t);
    EXPECT_EQ(user.lastMessageBox().text, "Keine Berechtigung: Add");
    EXPECT_EQ(records(), 15);
}

TEST_P(ValueListTest, PrintoutRowsAreEveryEntryInPortraitWidth) {
    // A query text of another list is not the value list's business.
    QueryString = "GNE:ID = 2";
    onThread([] {
        SeedStandardValues();
        const ValueListReport report = ValueListReportData();
        ASSERT_EQ(report.rows.size(), 15u);
        EXPECT_EQ(report.rows[0], (ListReportRow{"2", "GRUPPE", "0", "GNHidden"}));
        EXPECT_EQ(ListReportWidth(report.columns), 198);
    });
}

CATALOGUE_ENGINES(ValueListTest);

}  // namespace
