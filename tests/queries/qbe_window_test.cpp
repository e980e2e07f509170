// The query builder on the demo database (SQLite) and on PostgreSQL: the conditions it writes
// from typed values, the saved queries kept and picked, the field masks loaded and chosen.
#include "queries/builder/qbe_window.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "demo/demo_database.h"
#include "runtime/classlib/request.h"
#include "runtime/expr/expression.h"
#include "runtime/text/picture.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/dictionary/dictionary_fixture.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"

namespace {

using namespace qbe;

TEST(QueryBuilderCondition, TypedValuesBecomeOneLiteral) {
    const std::string may17 = std::to_string(rt::deformatDate("05/17/23", "@d1"));
    const std::string tenPast = std::to_string(rt::deformatTime("10:15 PM", "@t3"));
    ASSERT_NE(may17, "0");
    const struct {
        const char *field, *symbol, *value;
        std::string expected;
    } cases[] = {
        {"CUBK:CubeName", "~", "xyz", " INSTRING('XYZ',UPPER(CUBK:CubeName),1,1)"},
        {" CUBK:ID ", "=", " 5 ", " UPPER(CUBK:ID)='5'"},
        {"CUBK:CubeName", "<>", "o'brien", " UPPER(CUBK:CubeName)<>'O''BRIEN'"},
        {"CUBK:CubeName", "~", "'", " INSTRING('''',UPPER(CUBK:CubeName),1,1)"},
        {"CUBK:Datum", ">=", "05/17/23", " UPPER(CUBK:Datum)>='" + may17 + "'"},
        {"CUBK:Zeit", "<", "10:15 pm", " UPPER(CUBK:Zeit)<'" + tenPast + "'"},
        // Only a whole date or time is converted.
        {"CUBK:CubeName", "=", "1/2 Zoll", " UPPER(CUBK:CubeName)='1/2 ZOLL'"},
        {"CUBK:CubeName", "=", "Team PM", " UPPER(CUBK:CubeName)='TEAM PM'"},
        {"CUBK:CubeName", "?", "x", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(QBECondition(c.field, c.symbol, c.value), c.expected) << c.value;
    EXPECT_EQ(QBESearchValue(std::string(70, 'a')), std::string(60, 'A'));
}

// The written conditions are what the list's filter compiles and evaluates.
TEST(QueryBuilderCondition, QuotedValuesFilterAsTyped) {
    cubestest::runWithDictionary([] {
        CUBK.CubeName = "Umsatz O'Brien";
        const struct {
            const char *symbol, *value;
            bool expected;
        } cases[] = {{"~", "o'brien", true},
                     {"~", "o''brien", false},
                     {"=", "umsatz o'brien", true},
                     {"<>", "umsatz o'brien", false},
                     {"~", "'", true}};
        for (const auto& c : cases) {
            std::string error;
            auto predicate = rt::compileFilterPredicate(QBECondition("CUBK:CubeName", c.symbol, c.value), error);
            ASSERT_TRUE(predicate) << error;
            EXPECT_EQ(predicate(), c.expected) << c.value;
        }
    });
}

class QueryBuilder : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        if (!pg()) {
            ASSERT_EQ(demo::writeDemoDatabase(file("client.db"), {.salesLines = 10}), "");
        }
        GLO.ConnectString = connect_;
        cubestest::createProgramTables(connect_, pg());
        QBEFieldList = {rt::String<50>("CUBK:CubeName"), rt::String<50>("CUBK:ID")};
        QBEFieldCount = 2;
        ready_ = true;
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    bool pg() const { return GetParam() == "pg"; }
    void exec(const std::string& sql) const { ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql; }
    std::string table(const char* name) const { return coretest::serverTable(pg(), name); }
    std::vector<std::vector<std::string>> rows(const std::string& sql) const { return dicttest::query(connect_, sql); }
    rt::WindowId open() {
        thread_ = cubestest::startWithDictionary(QBEWindow);
        return user_.waitWindow(kBuilderTitle);
    }
    void finish(rt::WindowId w, int button) {
        user_.press(w, button);
        user_.waitClosed(w);
        user_.waitThreadEnd(thread_);
    }
    void condition(rt::WindowId w, int field, const char* value, int button) {
        user_.chooseEntry(w, FieldNames, field);
        user_.chooseEntry(w, Operators, 1);  // Equals
        user_.setValue(w, Value, value);
        user_.press(w, button);
    }
    std::string query() const { return std::string(QueryString.get().clipped()); }

    cubestest::AllRights rights_;
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    bool ready_ = false;
    int thread_ = 0;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_P(QueryBuilder, ConditionsAndConnectorsBuildTheSharedQuery) {
    if (!ready_) return;
    QueryString = "stale";
    auto w = open();
    EXPECT_EQ(query(), "");
    EXPECT_FALSE(user_.hidden(w, FieldMasks));
    EXPECT_TRUE(user_.hidden(w, FieldNames));
    user_.press(w, UseNames);
    EXPECT_TRUE(user_.hidden(w, FieldMasks));
    ASSERT_EQ(user_.rowCount(w, FieldNames), 2u);
    ASSERT_EQ(user_.rowCount(w, Operators), 7u);
    EXPECT_EQ(user_.cell(w, Operators, 3), "Contains");

    // With an empty query "&AND" writes the pending condition first.
    condition(w, 2, "5", And);
    EXPECT_EQ(query(), " UPPER(CUBK:ID)='5' AND");
    // Later too: what is chosen and typed goes in before the connector, and the choice is emptied.
    user_.chooseEntry(w, FieldNames, 1);
    user_.chooseEntry(w, Operators, 3);
    user_.setValue(w, Value, "o'brien");
    user_.press(w, Or);
    EXPECT_EQ(query(), " UPPER(CUBK:ID)='5' AND INSTRING('O''BRIEN',UPPER(CUBK:CubeName),1,1) OR");
    for (int id : {FieldNames, FieldMasks, Operators, Value}) EXPECT_EQ(user_.value(w, id), "") << id;
    // Nothing pending: only the connector.
    user_.press(w, And);
    EXPECT_EQ(query(), " UPPER(CUBK:ID)='5' AND INSTRING('O''BRIEN',UPPER(CUBK:CubeName),1,1) OR AND");
    user_.press(w, Cut);
    // A condition without its field or operator is never written; the typed value stays.
    for (int button : {And, Write, Open}) {
        user_.chooseEntry(w, Operators, 3);
        user_.setValue(w, Value, "platt");
        user_.queueMessageBoxAnswer(rt::button::Ok);
        user_.press(w, button);
        user_.settle(thread_);
        EXPECT_EQ(user_.lastMessageBox().text, "Die Bedingung ist nicht vollständig: Wählen Sie ein Feld.");
        EXPECT_EQ(query(), "");
        EXPECT_EQ(user_.value(w, Value), "platt");
    }
    user_.chooseEntry(w, FieldNames, 1);
    user_.setValue(w, Value, "");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, Write);
    user_.settle(thread_);
    EXPECT_EQ(user_.lastMessageBox().text, "Die Bedingung ist nicht vollständig: Geben Sie einen Suchbegriff ein.");
    EXPECT_EQ(query(), "");
    user_.press(w, Cut);
    EXPECT_EQ(query(), "");
    EXPECT_EQ(user_.value(w, Value), "");

    user_.press(w, Open);
    condition(w, 2, "4", Write);
    user_.press(w, Or);
    condition(w, 2, "5", Shut);
    user_.press(w, And);
    user_.chooseEntry(w, FieldNames, 1);
    user_.chooseEntry(w, Operators, 3);
    user_.setValue(w, Value, "o'brien");
    user_.press(w, Write);
    const std::string built =
        " ( UPPER(CUBK:ID)='4' OR UPPER(CUBK:ID)='5' ) AND INSTRING('O''BRIEN',UPPER(CUBK:CubeName),1,1)";
    EXPECT_EQ(query(), built);
    EXPECT_EQ(user_.value(w, QueryShown), built);
    finish(w, qbe::Run);
    EXPECT_EQ(query(), built);

    w = open();
    user_.press(w, UseNames);
    condition(w, 1, "x", Write);
    finish(w, Cancel);
    EXPECT_EQ(query(), "");
}

TEST_P(QueryBuilder, SavedQueriesAreKeptAndPicked) {
    if (!ready_) return;
    auto w = open();
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, Save);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].text, kNothingToSave);
    EXPECT_EQ(user_.messageBoxes()[0].title, "");

    // A typed value is written before saving; the form takes the built expression.
    user_.press(w, UseNames);
    condition(w, 1, "Köln", Save);
    auto form = user_.waitWindow("Record Will Be Added");
    EXPECT_EQ(user_.value(form, Query), " UPPER(CUBK:CubeName)='KÖLN'");
    user_.setValue(form, Description, "Kölner Cubes");
    user_.setValue(form, Group, "Cubes");
    user_.press(form, QueryOk);
    user_.waitClosed(form);
    ASSERT_EQ(user_.rowCount(w, SavedList), 1u);
    EXPECT_EQ(user_.cell(w, SavedList, 1, 1), "Kölner Cubes");
    finish(w, Close);
    EXPECT_EQ(query(), "");
    EXPECT_EQ(rows("SELECT GRUPPE, QUERY FROM " + table("VOQQBEQUERY")),
              (std::vector<std::vector<std::string>>{{"Cubes", " UPPER(CUBK:CubeName)='KÖLN'"}}));

    exec("INSERT INTO " + table("VOQQBEQUERY") +
         " (ID, DESCRIPTION, GRUPPE, QUERY) VALUES (7, 'Aktive', '', 'CUBK:Activ = 1')");
    w = open();
    ASSERT_EQ(user_.rowCount(w, SavedList), 2u);
    EXPECT_EQ(user_.cell(w, SavedList, 1, 1), "Aktive");
    user_.selectRow(w, SavedList, 1);
    finish(w, Select);
    EXPECT_EQ(query(), "CUBK:Activ = 1");
    EXPECT_EQ(std::string(QueryDescription.get().clipped()), "Aktive");
}

TEST_P(QueryBuilder, FieldMasksLoadOnceAndNameTheField) {
    if (!ready_) return;
    QBESearchFilter = "INSTRING('CUBK:',SEA:SearchField,1,1)";
    exec("INSERT INTO " + table("VOQQBESEARCH") + " (ID, SearchField, FieldMask) VALUES (3, 'GRU:Name', 'Gruppe')");
    auto w = open();
    EXPECT_EQ(user_.rowCount(w, FieldMasks), 0u);
    user_.press(w, EditMasks);
    auto masks = user_.waitWindow(kMaskListTitle);
    EXPECT_EQ(user_.rowCount(masks, MaskList), 0u);
    user_.press(masks, LoadFields);
    user_.press(masks, LoadFields);  // a second load adds nothing
    ASSERT_EQ(user_.rowCount(masks, MaskList), 2u);
    user_.selectRow(masks, MaskList, 1);
    user_.press(masks, MaskChange);
    auto form = user_.waitWindow("Datensatz bearbeiten");
    EXPECT_EQ(user_.value(form, SearchField), "CUBK:CubeName");
    user_.setValue(form, FieldMask, "Cube-Name");
    user_.press(form, MaskOk);
    user_.waitClosed(form);
    user_.press(masks, MaskClose);
    user_.waitClosed(masks);
    EXPECT_EQ(rows("SELECT ID, SearchField, FieldMask FROM " + table("VOQQBESEARCH") + " ORDER BY ID"),
              (std::vector<std::vector<std::string>>{
                  {"3", "GRU:Name", "Gruppe"}, {"4", "CUBK:CubeName", "Cube-Name"}, {"5", "CUBK:ID", "CUBK:ID"}}));

    // Sorted by label, the other list's mask filtered away.
    ASSERT_EQ(user_.rowCount(w, FieldMasks), 2u);
    EXPECT_EQ(user_.cell(w, FieldMasks, 1), "CUBK:ID");
    EXPECT_EQ(user_.cell(w, FieldMasks, 2), "Cube-Name");
    user_.chooseEntry(w, FieldMasks, 2);
    user_.chooseEntry(w, Operators, 3);
    user_.setValue(w, Value, "xyz");
    user_.press(w, Write);
    EXPECT_EQ(query(), " INSTRING('XYZ',UPPER(CUBK:CubeName),1,1)");
    finish(w, qbe::Run);
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryBuilder, ::testing::Values("sqlite", "pg"));

}  // namespace
