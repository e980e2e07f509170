// The SQL query and cross-tab results window on the SQLite demo database and on PostgreSQL:
// saved queries with parameters run into the result list, the server's errors, two windows at
// once and the cross tab's EXECUTE statement.
#include "cubes/sqlresult/sql_result.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/input_box.h"
#include "core/sync/structure_update.h"
#include "cubes/crosstab/cross_tab.h"
#include "cubes/datefilter/input_date_box.h"
#include "cubes/sqlqueries/sql_queries.h"
#include "demo/demo_database.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"
#include "tests/support/command_output.h"

namespace {

using namespace sqlresult;
using Rows = std::vector<std::vector<std::string>>;

class ResultWindow : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        coretest::WorkingFolderTest::SetUp();
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        if (pg_) {
            // A fresh database keeps the ERP's tables where the server puts them.
            const std::string schema = GetParam() == "pg" ? "dbo." : "";
            exec("CREATE TABLE " + schema + "tPlattform (kPlattform INTEGER, cName VARCHAR(50))");
            exec("INSERT INTO " + schema +
                 "tPlattform VALUES (1, 'Ladengeschäft'), (2, 'Onlineshop'), (3, 'Marktplatz')");
            exec("CREATE TABLE " + schema + "tShop (kShop INTEGER, cName VARCHAR(50))");
            exec("INSERT INTO " + schema + "tShop VALUES (1, 'Zentrale Köln'), (2, 'Filiale München')");
        } else {
            ASSERT_EQ(demo::writeDemoDatabase(file("client.db"), {.salesLines = 10}), "");
        }
        GLO.ConnectString = connect_;
        GLO.SQL_QBE = "SQLDEMO.TPS";
        cubestest::createProgramTables(connect_, GetParam() == "pg");
        cubestest::runWithDictionary([] {
            Access.SQLQuerries->open();
            SQLQBE = {};
            SQLQBE.ID = 1;
            SQLQBE.DESCRIPTION = "Plattformen";
            SQLQBE.QUERY =
                "SELECT kPlattform, cName FROM tPlattform WHERE cName = #cParameter# OR cName = "
                "'Marktplatz' ORDER BY kPlattform";
            Access.SQLQuerries->insertAsIs();
            Access.SQLQuerries->close();
            Access.CrossTab->open();
            CRO = {};
            CRO.ID = 1;
            CRO.Title = "A''B";
            CRO.RowValue = "cName+'' ''+cOrt";
            CRO.ColValue = "YEAR(dDatum)";
            CRO.Aggregate = "SUM(fUmsatz)";
            CRO.FromExpression = "tKunde WHERE cOrt = #cParameter# AND dDatum > #dParameter#";
            Access.CrossTab->insertAsIs();
            Access.CrossTab->close();
        });
        ready_ = true;
    }
    void TearDown() override {
        display_.shutdown();
        coretest::WorkingFolderTest::TearDown();
    }
    void exec(const std::string& sql) const { ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql; }
    // Opens a results window and returns it; its thread in `thread`.
    rt::WindowId open(const std::string& mode, int& thread) {
        thread = cubestest::startWithDictionary([mode] { SQLQueryResult_N(mode); });
        return user_.waitTopWindow(thread);
    }
    void answer(const std::string& value) {
        const auto box = user_.waitWindow("Parameter");
        user_.setValue(box, INPUTBOX_ENTRY, value);
        user_.press(box, INPUTBOX_OK);
    }
    std::vector<std::vector<std::string>> cells(rt::WindowId w) const {
        std::vector<std::vector<std::string>> out;
        for (const auto& row : user_.rows(w, Results)) {
            out.emplace_back();
            for (const auto& c : row.cells) out.back().push_back(c.text);
        }
        return out;
    }
    void close(rt::WindowId w, int thread) {
        user_.closeWindow(w);
        user_.waitThreadEnd(thread);
    }

    cubestest::AllRights rights_;
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    bool ready_ = false;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_P(ResultWindow, ASavedQueryRunsWithItsParameterOnce) {
    if (!ready_) return;
    int t = 0;
    auto w = open("0", t);
    EXPECT_EQ(user_.window(w).title, kQueryTitle);
    EXPECT_TRUE(user_.hidden(w, CrossTabData));
    EXPECT_EQ(user_.text(w, FileName), "SQLDEMO.TPS");

    // Leaving the saved queries without a choice keeps what was typed.
    user_.setValue(w, QueryBox, "SELECT 1");
    user_.press(w, Read);
    user_.press(user_.waitWindow(sqlqueries::kListTitle), sqlqueries::Close);
    user_.press(w, sqlresult::Run);
    EXPECT_EQ(cells(w), Rows{{"1"}});

    user_.press(w, Read);
    user_.press(user_.waitWindow(sqlqueries::kListTitle), sqlqueries::Select);
    EXPECT_EQ(user_.value(w, QueryBox),
              "SELECT kPlattform, cName FROM tPlattform WHERE cName = #cParameter# OR "
              "cName = 'Marktplatz' ORDER BY kPlattform");
    user_.press(w, sqlresult::Run);
    answer("Onlineshop");
    const Rows expected = {{"2", "Onlineshop"}, {"3", "Marktplatz"}};
    EXPECT_EQ(cells(w), expected);
    EXPECT_EQ(user_.value(w, QueryBox),
              "SELECT kPlattform, cName FROM tPlattform WHERE cName = 'Onlineshop' OR "
              "cName = 'Marktplatz' ORDER BY kPlattform");
    EXPECT_EQ(user_.value(w, Elapsed).rfind("Time Expired ", 0), 0u);

    // The placeholder is gone from the box: the second run asks nothing.
    user_.press(w, sqlresult::Run);
    EXPECT_EQ(display_.waitForWindow([](const auto& s) { return s.window.title == "Parameter"; },
                                     std::chrono::milliseconds(0)),
              0u);
    EXPECT_EQ(cells(w), expected);
    close(w, t);
    EXPECT_EQ(GLO.SQL_QBE.get().str(), "SQL_QBE.TPS");
}

// "CSV-Datei erstellen" on the demo's platforms: the file read back by Python's csv module holds
// the list as shown, and a failed write is said and leaves no file.
TEST_P(ResultWindow, TheCsvFileReadsBackAsTheList) {
    if (!ready_) return;
    int t = 0;
    auto w = open("0", t);
    user_.setValue(w, QueryBox, "SELECT kPlattform, cName, cName || ';' || kPlattform AS beide FROM tPlattform");
    user_.press(w, sqlresult::Run);
    const Rows shown = cells(w);
    ASSERT_FALSE(shown.empty());
    rt::FileDialogResult chosen;
    chosen.ok = true;
    chosen.path = file("plattformen.csv");
    user_.queueFileDialogAnswer(chosen);
    user_.press(w, Csv);
    std::string expected = "[\"kplattform\", \"cname\", \"beide\"]\n";
    for (const auto& row : shown) {
        expected += "[";
        for (std::size_t c = 0; c < row.size(); ++c) expected += (c ? ", \"" : "\"") + row[c] + "\"";
        expected += "]\n";
    }
    const std::string read = voq::test::commandOutput(
        "python3 -c \"import csv,json,sys\nfor r in csv.reader(open(sys.argv[1], encoding='utf-8', newline=''), "
        "delimiter=';'): print(json.dumps(r, ensure_ascii=False))\" '" +
        chosen.path + "' 2>&1");
    // Column names as the engine gives them (PostgreSQL folds them to lower case).
    EXPECT_EQ(rt::lower(read.substr(0, read.find('\n') + 1)), expected.substr(0, expected.find('\n') + 1));
    EXPECT_EQ(read.substr(read.find('\n') + 1), expected.substr(expected.find('\n') + 1));

    // A file on a full disk: a link to the full device.
    std::filesystem::create_symlink("/dev/full", file("voll.csv"));
    user_.queueFileDialogAnswer({true, file("voll.csv"), 1});
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, Csv);
    EXPECT_EQ(user_.lastMessageBox().text, "Fehler beim Schreiben der Datei: No space left on device");
    close(w, t);
}

TEST_P(ResultWindow, TheServersErrorIsShown) {
    if (!ready_) return;
    int t = 0;
    auto w = open("0", t);
    user_.setValue(w, QueryBox, "SELECT cName FROM tNirgends");
    user_.queueMessageBoxAnswer("&Weiter");
    user_.press(w, sqlresult::Run);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].title, "ODBCGetDiag( 3 )");
    EXPECT_NE(rt::upper(user_.messageBoxes()[0].text).find("TNIRGENDS"), std::string::npos);
    EXPECT_EQ(user_.rowCount(w, Results), 0u);
    close(w, t);
}

TEST_P(ResultWindow, DatesReachTheServerAsItReadsThemAndAnAnswerIsNeverSearchedAgain) {
    if (!ready_) return;
    // One row a day from 15.01.2024 to 14.03.2024.
    const bool pg = GetParam() == "pg";
    std::string values;
    for (rt::DateNumber d = rt::dateFromYmd(2024, 1, 15); d <= rt::dateFromYmd(2024, 3, 14); ++d) {
        const rt::Ymd ymd = rt::ymdFromDate(d);
        values += std::string(values.empty() ? "" : ", ") + "('" + std::to_string(ymd.year) + "-" +
                  (ymd.month < 10 ? "0" : "") + std::to_string(ymd.month) + "-" + (ymd.day < 10 ? "0" : "") +
                  std::to_string(ymd.day) + "', 'x')";
    }
    exec("CREATE TABLE " + coretest::serverTable(pg, "tTage") + " (dDatum DATE, cNotiz VARCHAR(20))");
    exec("INSERT INTO " + coretest::serverTable(pg, "tTage") + " VALUES " + values);
    int t = 0;
    auto w = open("0", t);
    auto answerDates = [&](const std::string& from, const std::string& to) {
        const rt::WindowId box = user_.waitWindow(datefilter::kTitle);
        user_.setValue(box, datefilter::FromDate, from);
        user_.setValue(box, datefilter::ToDate, to);
        user_.press(box, datefilter::Ok);
    };
    // A text answer that reads like a placeholder stays text.
    user_.setValue(w, QueryBox, "SELECT COUNT(*) FROM tTage WHERE cNotiz <> #cParameter# AND dDatum >= #dParameter#");
    user_.press(w, sqlresult::Run);
    answer("#dParameter#");
    answerDates("01.02.2024", "10.02.2024");
    EXPECT_EQ(cells(w), Rows{{"10"}});
    EXPECT_NE(user_.value(w, QueryBox).find("cNotiz <> '#dParameter#' AND"), std::string::npos)
        << user_.value(w, QueryBox);
    // A leap day, which a month-first reading refuses.
    user_.setValue(w, QueryBox, "SELECT COUNT(*) FROM tTage WHERE dDatum = #dParameter#");
    user_.press(w, sqlresult::Run);
    answerDates("29.02.2024", "29.02.2024");
    EXPECT_EQ(cells(w), Rows{{"1"}});
    EXPECT_TRUE(user_.messageBoxes().empty());
    close(w, t);
}

TEST_P(ResultWindow, AGrownWindowKeepsTheStatementAboveItsButtonsAndTheListTakesTheRoom) {
    if (!ready_) return;
    int thread = 0;
    const rt::WindowId w = open("0", thread);
    auto at = [&](int id) { return user_.control(w, id); };
    const auto box = at(QueryBox), list = at(Results);
    user_.resize(w, 900, 700);
    user_.settle(thread);
    EXPECT_EQ(at(QueryBox).height, box.height);
    EXPECT_LE(at(QueryBox).y + at(QueryBox).height, at(Read).y);
    EXPECT_LE(at(Read).y + at(Read).height, at(Results).y);
    EXPECT_GT(at(Results).height, list.height);
    EXPECT_LE(at(Results).y + at(Results).height, at(Csv).y);
    close(w, thread);
}

TEST_P(ResultWindow, TwoWindowsKeepTheirOwnResults) {
    if (!ready_) return;
    int ta = 0, tb = 0;
    auto a = open("0", ta);
    user_.setValue(a, QueryBox, "SELECT cName FROM tPlattform ORDER BY kPlattform");
    user_.press(a, sqlresult::Run);
    auto b = open("0", tb);
    user_.setValue(b, QueryBox, "SELECT cName FROM tShop ORDER BY kShop");
    user_.press(b, sqlresult::Run);
    EXPECT_EQ(cells(a).at(0), std::vector<std::string>{"Ladengeschäft"});
    EXPECT_EQ(cells(b).at(0), std::vector<std::string>{"Zentrale Köln"});
    close(b, tb);
    EXPECT_EQ(cells(a).at(1), std::vector<std::string>{"Onlineshop"});
    close(a, ta);
}

TEST_P(ResultWindow, TheCrossTabSendsItsPartsQuotedToTheServer) {
    if (!ready_) return;
    int t = 0;
    auto w = open("1", t);
    EXPECT_EQ(user_.window(w).title, kCrossTabTitle);
    for (int hidden : {Read, sqlresult::Run, ChooseFile, FileName}) EXPECT_TRUE(user_.hidden(w, hidden)) << hidden;
    EXPECT_FALSE(user_.hidden(w, CrossTabData));

    // Closing the cross-tab list without a choice sends nothing to the server.
    user_.press(w, CrossTabData);
    user_.press(user_.waitWindow(crosstab::kListTitle), crosstab::Close);
    EXPECT_TRUE(user_.messageBoxes().empty());
    EXPECT_EQ(user_.value(w, QueryBox).find("EXECUTE"), std::string::npos);

    user_.queueMessageBoxAnswer("&Weiter");
    user_.press(w, CrossTabData);
    user_.press(user_.waitWindow(crosstab::kListTitle), crosstab::Select);
    answer("Köln'er");
    // The procedure lives on the ERP's server only: here the engine refuses the statement.
    EXPECT_EQ(user_.value(w, QueryBox),
              "EXECUTE spVOQDynamicCrossTab \r\n"
              "@RowValue='cName+'' ''+cOrt', \r\n"
              "@ColValue='YEAR(dDatum)', \r\n"
              "@Aggregate='SUM(fUmsatz)', \r\n"
              "@FromExpression='tKunde WHERE cOrt = ''Köln''''er'' AND dDatum > "
              "#dParameter#', \r\n"
              "@Title='A''B'");
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.messageBoxes()[0].title, "ODBCGetDiag( 3 )");
    EXPECT_EQ(user_.rowCount(w, Results), 0u);
    close(w, t);
}

// A from expression that the answer makes longer than its 100 characters is refused whole: a cut
// one ("... AND nJahr = 2" for 2024) would run with another result.
TEST_P(ResultWindow, AnAnsweredFromExpressionTooLongIsRefusedNotCut) {
    if (!ready_) return;
    const std::string from = "tKunde WHERE cOrt = #cParameter# AND " + std::string(46, 'x') + " AND nJahr = 2024";
    cubestest::runWithDictionary([&from] {
        Access.CrossTab->open();
        CRO = {};
        CRO.ID = 1;
        ASSERT_EQ(Access.CrossTab->fetch("CRO:PKCROID"), 0);
        CRO.FromExpression = from;
        ASSERT_EQ(Access.CrossTab->update(), 0);
        Access.CrossTab->close();
    });
    ASSERT_EQ(from.size(), 100u);
    int t = 0;
    auto w = open("1", t);
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, CrossTabData);
    user_.press(user_.waitWindow(crosstab::kListTitle), crosstab::Select);
    answer("Mönchengladbach");
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.lastMessageBox().text,
              "Der From-Ausdruck ist mit der Eingabe 107 Zeichen lang; er darf höchstens 100 Zeichen lang sein.\n"
              "Die Kreuztabelle wird nicht ausgeführt.");
    EXPECT_EQ(user_.value(w, QueryBox).find("EXECUTE"), std::string::npos);
    close(w, t);
}

INSTANTIATE_TEST_SUITE_P(Engines, ResultWindow, ::testing::Values("sqlite", "pg", "pg-fresh"));

}  // namespace
