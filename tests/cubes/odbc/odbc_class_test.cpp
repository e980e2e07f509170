// The ODBC data set against the real SQLite ODBC and PostgreSQL drivers.
#include "cubes/odbc/odbc_class.h"

#include <atomic>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

#include "runtime/os/files.h"
#include "tests/cubes/odbc/odbc_test_helpers.h"
#include "tests/support/command_output.h"
#include "tests/support/test_support.h"

namespace {

using odbctest::csvRows;
using odbctest::readAll;
using voq::test::execSql;
using voq::test::sqliteConnectString;
using voq::test::TempDir;

// Records the boxes the module shows and answers them from a list.
struct HookRecorder {
    std::vector<OdbcMessage> boxes;
    std::vector<int> answers;  // used in order; 1 when exhausted
    int terminated = 0;
    std::string saveAnswer;
    std::vector<std::string> saveTitles;
    std::vector<int> progressMoves;
    OdbcHooks previous;

    HookRecorder() {
        OdbcHooks h;
        h.message = [this](const OdbcMessage& m) {
            boxes.push_back(m);
            if (answers.empty()) return 1;
            int a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
        h.terminate = [this] { ++terminated; };
        h.saveFile = [this](const std::string& title, const std::string& filters) {
            saveTitles.push_back(title + "|" + filters);
            return saveAnswer;
        };
        struct Progress : OdbcProgress {
            std::vector<int>* moves;
            void move(int p) override { moves->push_back(p); }
        };
        h.progress = [this](const std::string&, int) {
            auto p = std::make_unique<Progress>();
            p->moves = &progressMoves;
            return std::unique_ptr<OdbcProgress>(std::move(p));
        };
        previous = setOdbcHooks(h);
    }
    ~HookRecorder() { setOdbcHooks(previous); }
};

void run(const std::string& connect, const std::vector<std::string>& statements) {
    for (const auto& s : statements) ASSERT_EQ(execSql(connect, s), "") << s;
}

class SqliteDataSet : public ::testing::Test {
protected:
    void SetUp() override {
        connect = sqliteConnectString(dir.file("t.db"));
        run(connect, {
                         "CREATE TABLE types (i INTEGER, s SMALLINT, b BIGINT, d DECIMAL(5,1), dt DATE, ts TIMESTAMP, "
                         "tm TIME, t VARCHAR(5), n VARCHAR(10), e VARCHAR(10))",
                         "INSERT INTO types VALUES (-42, -7, 5000000000, -1234.5, '2024-03-07', '2024-03-07 14:05:09', "
                         "'14:05:09', 'Größe', NULL, '')",
                         "INSERT INTO types VALUES (NULL, 3, -5000000000, 0.5, '1999-12-31', '1999-12-31 23:59:59', "
                         "'00:00:00', 'x', 'y', 'z')",
                     });
        ASSERT_EQ(con.Connect(connect), 0);
        ds.Init(&con, 0, "");
    }

    TempDir dir;
    std::string connect;
    HookRecorder hooks;
    OdbcConnection con;
    OdbcDataSet ds;
};

TEST_F(SqliteDataSet, CellsFollowTheTypeAndTextTable) {
    ASSERT_EQ(ds.SetQuery("SELECT * FROM types", 0), 0);
    EXPECT_EQ(ds.GetCell(-1, 0), "2");
    EXPECT_EQ(ds.GetCell(-2, 0), "10");
    struct Case {
        int row, col;
        const char* text;
    } cases[] = {
        {1, 1, "-42"},     {1, 2, "-7"},         {1, 3, "5000000000"},
        {1, 4, "-1234.5"}, {1, 5, "07/03/2024"}, {1, 6, "07/03/2024 14:05:09"},
        {1, 7, "5070901"}, {1, 8, "Größe"},      {1, 9, ""},
        {1, 10, ""},       {2, 1, ""},           {2, 3, "-5000000000"},
        {2, 4, "0.5"},     {2, 5, "31/12/1999"}, {2, 6, "31/12/1999 23:59:59"},
        {2, 7, "1"},       {2, 8, "x"},          {2, 10, "z"},
    };
    for (const Case& c : cases) EXPECT_EQ(ds.GetCell(c.row, c.col), c.text) << c.row << "," << c.col;
    auto snap = ds.snapshot();
    EXPECT_FALSE(snap->hasCell(1, 9));   // NULL
    EXPECT_FALSE(snap->hasCell(1, 10));  // empty
    EXPECT_FALSE(snap->hasCell(2, 1));
    EXPECT_TRUE(snap->hasCell(1, 8));

    auto cols = ds.RESULTSETCOLS();
    ASSERT_EQ(cols.size(), 10u);
    EXPECT_EQ(cols[0].TYPE, 4);
    EXPECT_EQ(cols[1].TYPE, 5);
    EXPECT_EQ(cols[2].TYPE, -5);
    EXPECT_EQ(cols[3].TYPE, 1);
    EXPECT_EQ(cols[4].TYPE, 91);
    EXPECT_EQ(cols[5].TYPE, 93);
    EXPECT_EQ(cols[6].TYPE, 92);
    EXPECT_EQ(cols[7].TYPE, 1);
    EXPECT_EQ(cols[7].NAME, "t");
    EXPECT_EQ(cols[7].KEY, "T");
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(SqliteDataSet, TypeCodesOutsideTheTableAreReadAsText) {
    // The SQLite driver reports TINYINT -6, BIT -7, BLOB -2, REAL 8 and an unknown declared type 12.
    run(connect, {"CREATE TABLE other (t TINYINT, b BIT, y BLOB, r REAL, w WEIRDTYPE)",
                  "INSERT INTO other VALUES (3, 1, x'4869', 2.5, 'w')"});
    ASSERT_EQ(ds.SetQuery("SELECT * FROM other", 0), 0);
    const char* expected[] = {"3", "1", "X'4869'", "2.5", "w"};  // the driver's text of a blob
    auto cols = ds.RESULTSETCOLS();
    ASSERT_EQ(cols.size(), std::size(expected));
    for (std::size_t c = 0; c < cols.size(); ++c) {
        EXPECT_EQ(cols[c].TYPE, 1) << cols[c].NAME;
        EXPECT_EQ(ds.GetCell(1, static_cast<int>(c + 1)), expected[c]) << cols[c].NAME;
    }
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(SqliteDataSet, LongTextIsCutAtTwoHundredFiftyFiveWholeCharacters) {
    // 1,200 bytes: the receive buffer ends inside a character.
    std::string umlauts;
    for (int i = 0; i < 600; ++i) umlauts += "ä";
    ASSERT_EQ(ds.SetQuery("SELECT '" + umlauts + "' AS v, 'abc   ' AS w", 0), 0);
    std::string v = ds.GetCell(1, 1);
    EXPECT_EQ(rt::charLength(v), 255u);
    EXPECT_EQ(v, umlauts.substr(0, 510));
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_EQ(ds.GetCell(1, 2), "abc");  // trailing blanks go when read
    EXPECT_EQ(ds.snapshot()->cell(1, 2), "abc   ");
    // The driver's length indicators: the whole value, not the part kept.
    EXPECT_EQ(ds.snapshot()->length(1, 1), 1200);
    EXPECT_EQ(ds.snapshot()->length(1, 2), 6);
}

TEST_F(SqliteDataSet, StatementWithoutColumnsLeavesAnEmptyResult) {
    ds.SetQuery("SELECT * FROM types", 0);
    ASSERT_EQ(ds.GetCell(-1, 0), "2");
    // An UPDATE that touches no row reports SQL_NO_DATA: no box, no result.
    EXPECT_EQ(ds.Exec("UPDATE types SET s = 1 WHERE i = 99999"), 0);
    ds.LoadResult();
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
    EXPECT_EQ(ds.GetCell(-2, 0), "0");
    EXPECT_EQ(ds.GetCell(1, 1), "");
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_EQ(ds.SetRow(1), 0);
    EXPECT_EQ(ds.GetField("i"), "");
}

TEST_F(SqliteDataSet, SetRowAndGetFieldRules) {
    ds.SetQuery("SELECT i, s, t FROM types", 0);
    EXPECT_EQ(ds.CURRENTROW, 0);
    struct Case {
        int row, result;
    } cases[] = {{0, 0}, {-5, 0}, {3, -2}, {2, 0} /* first value NULL */, {-1, 1}, {1, 1}};
    for (const Case& c : cases) EXPECT_EQ(ds.SetRow(c.row), c.result) << c.row;
    EXPECT_EQ(ds.CURRENTROW, 1);
    EXPECT_EQ(ds.GetField("t"), "Größe");
    EXPECT_EQ(ds.GetField("T"), "Größe");
    EXPECT_EQ(ds.GetField("2"), "-7");
    EXPECT_EQ(ds.GetField("nope"), "");
    EXPECT_EQ(ds.GetField("9"), "");
}

TEST_F(SqliteDataSet, GetFieldMakesTheFirstRowCurrentAndVarsReceiveTheRow) {
    ds.SetQuery("SELECT i, s, t FROM types ORDER BY s DESC", 0);  // row 1 has NULL in column 1
    std::string gotT;
    ds.VARS.push_back({"T", [&](const std::string& v) { gotT = v; }, {}});
    EXPECT_EQ(ds.GetField("s"), "");  // row 1 cannot be made current
    EXPECT_EQ(ds.CURRENTROW, 0);
    EXPECT_EQ(ds.SetRow(2), 2);
    EXPECT_EQ(gotT, "Größe");
}

TEST_F(SqliteDataSet, ChangeStateReportsEachNewLoadOnce) {
    EXPECT_EQ(ds.GetCell(-3, 0), "0");
    ds.SetQuery("SELECT i FROM types", 0);
    EXPECT_EQ(ds.GetCell(-3, 0), "1");
    EXPECT_EQ(ds.GetCell(-3, 0), "0");
    ds.Clear();
    EXPECT_EQ(ds.GetCell(-3, 0), "1");
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
    EXPECT_EQ(ds.GetCell(-2, 0), "1");  // the descriptions stay until the next load
}

TEST_F(SqliteDataSet, TracedReadsAreLogged) {
    ds.SetName("Trace");
    ds.TRACEGETCELL = 1;
    ds.SetQuery("SELECT i FROM types", 0);
    ds.GetCell(1, 1);
    ds.GetCell(2, 1);
    ds.GetCell(-1, 0);
    auto h = ds.GETCELLHISTORY();
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].REFERENCE, "Trace");
    EXPECT_EQ(h[0].VALUE, "-42");
    EXPECT_EQ(h[1].ROW, 2);
    EXPECT_EQ(h[1].VALUE, "NOT FOUND");
}

TEST_F(SqliteDataSet, LongStatementRunsInFullButQueryKeepsItsStart) {
    std::string statement = "SELECT 1 AS a," + std::string(9000, ' ') + "2 AS b";
    ds.SetQuery(statement, 0);
    EXPECT_EQ(ds.GetCell(1, 2), "2");
    EXPECT_EQ(ds.QUERY.str().size(), 8191u);
}

TEST_F(SqliteDataSet, ExecRules) {
    OdbcConnection unconnected;
    OdbcDataSet other;
    other.Init(&unconnected, 0, "x");
    EXPECT_EQ(other.Exec("SELECT 1"), -2);
    other.Open(0);  // blank QUERY: nothing
    EXPECT_EQ(other.GetCell(-1, 0), "0");
    EXPECT_EQ(ds.SetQuery("", 0), -1);
}

TEST_F(SqliteDataSet, EachExecutionFreesThePreviousStatement) {
    ds.SetQuery("SELECT i FROM types", 0);
    SQLHSTMT first = ds.HSTMT;
    ASSERT_NE(first, nullptr);
    ds.SetQuery("SELECT s FROM types", 0);
    ASSERT_NE(ds.HSTMT, nullptr);
    // The old handle is gone: the driver manager refuses it.
    if (ds.HSTMT != first) {
        SQLSMALLINT n = 0;
        EXPECT_EQ(SQLNumResultCols(first, &n), SQL_INVALID_HANDLE);
    }
}

TEST_F(SqliteDataSet, AFailedExecutionShowsTheDiagnosticsAndLeavesAnEmptyResult) {
    ds.SetQuery("SELECT i FROM types", 0);
    ds.SetQuery("SELEC nonsense", 0);
    ASSERT_EQ(hooks.boxes.size(), 1u);
    const OdbcMessage& box = hooks.boxes[0];
    EXPECT_EQ(box.title, "ODBCGetDiag( 3 )");
    EXPECT_EQ(box.icon, OdbcIcon::Information);
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"&Weiter", "&Stop", "&Ende"}));
    EXPECT_EQ(box.defaultButton, 1);
    std::string head = "henv:\t\t" + std::to_string(reinterpret_cast<std::uintptr_t>(con.HENV)) + "\r\nhdbc:\t\t" +
                       std::to_string(reinterpret_cast<std::uintptr_t>(con.HDBC)) + "\r\nNative code:\t1\r\nError:\t\t";
    EXPECT_EQ(box.text.substr(0, head.size()), head);
    EXPECT_NE(box.text.find("syntax error"), std::string::npos);
    std::string tail = "\r\nSQLState:\tHY000\r\n\r\nExec( SELEC nonsense )";
    ASSERT_GE(box.text.size(), tail.size());
    EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
    EXPECT_EQ(ds.RESULTSETCOLS().size(), 0u);
}

TEST_F(SqliteDataSet, DiagnosticsWithNativeCodeZeroStaySilent) {
    ASSERT_EQ(ds.Exec("UPDATE types SET s = 2 WHERE i = -42"), 0);
    // A fetch on a statement without results: 24000 with native code 0.
    EXPECT_FALSE(SQL_SUCCEEDED(SQLFetch(ds.HSTMT)));
    ODBCGetDiag(SQL_HANDLE_STMT, ds.HSTMT, &con, "x");
    // A handle without any record is silent as well.
    ds.Exec("SELECT 1");
    ODBCGetDiag(SQL_HANDLE_STMT, ds.HSTMT, &con, "y");
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(SqliteDataSet, StopSilencesOneHandleAndEndeTerminates) {
    hooks.answers = {2};
    ds.Exec("SELEC 1");
    ASSERT_EQ(hooks.boxes.size(), 1u);
    ODBCGetDiag(SQL_HANDLE_STMT, ds.HSTMT, &con, "again");
    EXPECT_EQ(hooks.boxes.size(), 1u);  // silenced
    // Another data set's failing handle still reports.
    OdbcDataSet other;
    other.Init(&con, 0, "");
    other.Exec("SELEC 2");
    EXPECT_EQ(hooks.boxes.size(), 2u);
    // The next run gets a new handle and reports again, even at the old address.
    ds.Exec("SELEC 3");
    EXPECT_EQ(hooks.boxes.size(), 3u);
    EXPECT_EQ(hooks.terminated, 0);
    hooks.answers = {3};
    ds.Exec("SELEC 4");
    EXPECT_EQ(hooks.terminated, 1);
    hooks.answers = {1};
    ds.Exec("SELEC 5");
    ODBCGetDiag(SQL_HANDLE_STMT, ds.HSTMT, &con, "after Weiter");
    EXPECT_EQ(hooks.boxes.size(), 6u);  // "&Weiter" silences nothing
}

TEST(OdbcConnection, ConnectFailsWithMinusOneAndShowsNothing) {
    HookRecorder hooks;
    OdbcConnection con;
    EXPECT_EQ(con.Connect("DRIVER=No Such Driver;Database=x"), -1);
    EXPECT_EQ(con.HDBC != SQL_NULL_HDBC, true);  // the handles made so far stay
    EXPECT_TRUE(hooks.boxes.empty());
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    // Not connected: the statement allocation fails.
    EXPECT_NE(ds.Exec("SELECT 1"), 0);
}

TEST(OdbcConnection, ReconnectFreesTheOldConnectionAndItsStatements) {
    TempDir dir;
    HookRecorder hooks;
    OdbcConnection con;
    ASSERT_EQ(con.Connect(sqliteConnectString(dir.file("a.db"))), 0);
    EXPECT_NE(con.CONNECTIONSTRING.str(), "");
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT 1 AS x", 0);
    SQLHDBC oldDbc = con.HDBC;
    ASSERT_EQ(con.Connect(sqliteConnectString(dir.file("b.db"))), 0);
    EXPECT_EQ(ds.HSTMT, nullptr);
    EXPECT_EQ(ds.GetCell(1, 1), "1");  // the result stays until the next load
    if (oldDbc != con.HDBC) {
        SQLUINTEGER v = 0;
        EXPECT_EQ(SQLGetConnectAttr(oldDbc, SQL_ATTR_LOGIN_TIMEOUT, &v, 0, nullptr), SQL_INVALID_HANDLE);
    }
    ds.CONNECTION = &con;
    ds.SetQuery("SELECT 2 AS x", 0);
    EXPECT_EQ(ds.GetCell(1, 1), "2");
}

TEST(OdbcConnection, DataSetWithoutConnectionTakesTheDefault) {
    OdbcConnection* def = OdbcConnection::defaultConnection();
    if (!def) GTEST_SKIP() << "the process's first connection is gone";
    TempDir dir;
    ASSERT_EQ(def->Connect(sqliteConnectString(dir.file("d.db"))), 0);
    OdbcDataSet ds;
    ds.SetQuery("SELECT 7 AS x", 0);
    EXPECT_EQ(ds.CONNECTION, def);
    EXPECT_EQ(ds.GetCell(1, 1), "7");
    def->Disconnect();
}

// The process's first connection, the default of every data set without one.
OdbcConnection firstConnection;

TEST_F(SqliteDataSet, DefaultNameAndSetName) {
    OdbcDataSet a;
    EXPECT_EQ(a.DATASETNAME.str(), "Data set " + std::to_string(a.id()));
    a.Init(&con, 0, "");
    EXPECT_EQ(a.DATASETNAME.str(), "Data Set: " + std::to_string(a.id()));
    a.Init(&con, 0, "Werte");
    EXPECT_EQ(a.DATASETNAME.str(), "Werte");
    a.SetName("Other");
    EXPECT_EQ(a.DATASETNAME.str(), "Other");
}

TEST(OdbcListFormat, WidthFromColumnSize) {
    struct Case {
        std::int64_t size;
        int width;
    } cases[] = {{0, 30}, {1, 30}, {10, 30}, {50, 69}, {100, 100}, {317, 150}, {400, 400}, {65536, 400}};
    for (const Case& c : cases) EXPECT_EQ(odbcListWidth(c.size), c.width) << c.size;
}

TEST_F(SqliteDataSet, ListFormatOfEachType) {
    run(connect, {"CREATE TABLE f (cName VARCHAR(50), Anzahl INTEGER, Betrag SMALLINT, Tag DATE, Zeit TIME, "
                  "Stamp TIMESTAMP)",
                  "INSERT INTO f VALUES ('a', 1, 2, '2024-01-01', '10:00:00', '2024-01-01 10:00:00')"});
    EXPECT_EQ(ds.BuildListFormat(5), "");  // no cell yet
    ds.SetQuery("SELECT cName, Anzahl FROM f", 0);
    EXPECT_EQ(ds.BuildListFormat(5), "69L(2)|M~cName~@S69@30R(2)|M~Anzahl~@N30.@");
    EXPECT_EQ(ds.appliedListFormat(), "69L(2)|M~cName~@S69@30R(2)|M~Anzahl~@N30.@");
    ds.SetQuery("SELECT Tag, Zeit, Stamp FROM f", 0);
    std::string f = ds.ListFormat();
    // Wide enough for the whole date (10 characters) and time stamp (19).
    EXPECT_EQ(f, "48C|M~Tag~@S17@40L(2)|M~Zeit~@S25@84L(2)|M~Stamp~@S25@");
}

TEST_F(SqliteDataSet, ListColumnsAndFixedFormat) {
    run(connect,
        {"CREATE TABLE f (cName VARCHAR(50), Anzahl INTEGER, Rest VARCHAR(10))", "INSERT INTO f VALUES ('a', 1, 'r')"});
    ds.SetQuery("SELECT cName, Anzahl, Rest FROM f", 0);
    ds.LISTCOLUMNS.push_back({1, "CNAME", "Name", 0, "", 1});
    ds.LISTCOLUMNS.push_back({2, "ANZAHL", "", 0, "@N-8", 1});
    ds.LISTCOLUMNS.push_back({3, "REST", "Rest", 0, "", 0});
    EXPECT_EQ(ds.ListFormat(), "69L(2)|M~Name~@S69@30R(2)|M~Anzahl~@N-8@");
    ds.LISTFORMAT = "40L(2)|M~Fest~@S40@";
    EXPECT_EQ(ds.ListFormat(), "40L(2)|M~Fest~@S40@");
}

TEST(OdbcCsv, ValueRules) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        // Whatever it begins with, a value holding ";", a quote, CR or LF is quoted whole.
        {"12;34", "\"12;34\""},
        {"ärger; ölpreis", "\"ärger; ölpreis\""},
        {"-1\r\nx;y", "\"'-1\r\nx;y\""},
        {"5\"", "\"5\"\"\""},
        {"-5", "-5"},
        {"Y", "Y"},
        {"N", "N"},
        {"Yes", "\"Yes\""},
        {"Äpfel", "Äpfel"},
        {"abc", "\"abc\""},
        {"a\"b", "\"a b\""},
        {"a\r\nb", "\"a  b\""},
        {"x{y}z\\w", "\"x[y]z/w\""},
        {"a\tb", "\"a b\""},
        {"Ende   ", "\"Ende\""},
        {"a\xC2\xA0"
         "b",
         "\"a b\""},
        {"a\xC2\x81"
         "b",
         "\"a b\""},
        {"Grüße é", "\"Grüße é\""},
        // Letters whose UTF-8 form holds the bytes A0 or 81 stay whole.
        {"Voilà", "\"Voilà\""},
        {"Herr Šimon", "\"Herr Šimon\""},
        {"Raúl Álvarez", "\"Raúl Álvarez\""},
        {"Paweł Łukasz", "\"Paweł Łukasz\""},
        {"Ärger\xC2\xA0Šimon", "Ärger\xC2\xA0Šimon"},
        {"Xà\xC2\xA0Ł", "\"Xà Ł\""},
        {" x", " x"},
        // A text a spreadsheet would run as a formula gets an apostrophe in front; numbers do not.
        {"=1+1", "'=1+1"},
        {"+49 30", "'+49 30"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"-x", "'-x"},
        {"=A1;B1", "\"'=A1;B1\""},
        {"-12,5", "-12,5"},
        {"-3", "-3"},
        {"+1.234,50", "+1.234,50"},
    };
    for (const Case& c : cases) EXPECT_EQ(odbcCsvValue(c.in), c.out) << c.in;
}

TEST_F(SqliteDataSet, CsvFileHasNamesThenRowsWithCrLf) {
    run(connect, {"CREATE TABLE c (Name VARCHAR(20), Wert VARCHAR(20), Flag VARCHAR(1))",
                  "INSERT INTO c VALUES ('Müller', '1;2', 'Y')", "INSERT INTO c VALUES (NULL, 'x\"y', 'N')",
                  "INSERT INTO c VALUES ('Ärger', '', NULL)"});
    ds.SetQuery("SELECT Name, Wert, Flag FROM c", 0);
    std::string file = dir.file("out.csv");
    ds.ExportCsv(file);
    EXPECT_EQ(readAll(file), "Name;Wert;Flag\r\n\"Müller\";\"1;2\";Y\r\n;\"x y\";N\r\nÄrger;;\r\n");

    // Names and values with letters beyond German ones arrive in the file unchanged.
    run(connect, {"CREATE TABLE n (\"Straße_Łódź\" VARCHAR(40))", "INSERT INTO n VALUES ('Voilà Šimon')",
                  "INSERT INTO n VALUES ('Raúl Álvarez')", "INSERT INTO n VALUES ('Paweł Łukasz')"});
    ds.SetQuery("SELECT * FROM n", 0);
    ds.ExportCsv(file);
    EXPECT_EQ(readAll(file), "Straße_Łódź\r\n\"Voilà Šimon\"\r\n\"Raúl Álvarez\"\r\n\"Paweł Łukasz\"\r\n");
    EXPECT_TRUE(hooks.boxes.empty());

    // An existing file is replaced.
    ds.SetQuery("SELECT Flag FROM c WHERE Flag = 'Y'", 0);
    ds.ExportCsv(file);
    EXPECT_EQ(readAll(file), "Flag\r\nY\r\n");
}

// A text beginning with a sign is no number: it comes back with the apostrophe in front.
const std::string kAwkwardRows = "[\"a;b\", \"v\"]\n[\"12;5\", \"ärger; ölpreis\"]\n[\"'-1\\r\\nx;y\", \"5\\\"\"]\n";

// Values that begin with a digit, a sign or an umlaut come back from a CSV reader whole.
TEST_F(SqliteDataSet, CsvReadsBackWhole) {
    run(connect,
        {"CREATE TABLE w (\"a;b\" VARCHAR(40), v VARCHAR(40))", "INSERT INTO w VALUES ('12;5', 'ärger; ölpreis')",
         "INSERT INTO w VALUES ('-1' || char(13, 10) || 'x;y', '5\"')", "INSERT INTO w VALUES ('Köln', '7')"});
    ds.SetQuery("SELECT * FROM w", 0);
    std::string file = dir.file("w.csv");
    ds.ExportCsv(file);
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_EQ(csvRows(file), kAwkwardRows + "[\"Köln\", \"7\"]\n");
}

// Texts beginning as formulas come back from a CSV reader with the apostrophe in front, names
// too; numbers, whatever their sign, come back as they were.
TEST_F(SqliteDataSet, CsvGuardsFormulaTexts) {
    run(connect, {"CREATE TABLE g (\"=Name\" VARCHAR(40), n INTEGER)",
                  "INSERT INTO g VALUES ('=1+1', -3), ('+49 30', 0), ('@SUM(A1)', 1), ('-x', 2), ('-12,5', 3), "
                  "('-3', 4), ('12;5', 5), ('ärger; ölpreis', 6), ('=A1;B1', -7)"});
    ds.SetQuery("SELECT * FROM g", 0);
    std::string file = dir.file("g.csv");
    ds.ExportCsv(file);
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_EQ(csvRows(file),
              "[\"'=Name\", \"n\"]\n[\"'=1+1\", \"-3\"]\n[\"'+49 30\", \"0\"]\n[\"'@SUM(A1)\", \"1\"]\n"
              "[\"'-x\", \"2\"]\n[\"-12,5\", \"3\"]\n[\"-3\", \"4\"]\n[\"12;5\", \"5\"]\n"
              "[\"ärger; ölpreis\", \"6\"]\n[\"'=A1;B1\", \"-7\"]\n");
}

// A write that fails (a full disk) is shown, and an older file of the name stays as it was.
TEST_F(SqliteDataSet, CsvWriteFailureIsShownAndKeepsTheOldFile) {
    run(connect, {"CREATE TABLE many (v VARCHAR(200))",
                  "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000) "
                  "INSERT INTO many SELECT printf('%0200d', x) FROM n"});
    ds.SetQuery("SELECT v FROM many", 0);
    const std::string file = dir.file("old.csv");
    ASSERT_TRUE(rt::writeFileReplacing(file, "old"));
    {
        voq::test::FileSizeLimit full(50000);
        ds.ExportCsv(file);
    }
    ASSERT_EQ(hooks.boxes.size(), 1u);
    EXPECT_EQ(hooks.boxes[0].text, "Fehler beim Schreiben der Datei: File too large");
    EXPECT_EQ(hooks.boxes[0].title, "CSV-Export");
    EXPECT_EQ(readAll(file), "old");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.path().extension() == ".tmp";
    EXPECT_EQ(entries, 0);

    ds.ExportCsv("/dev/full");
    ASSERT_EQ(hooks.boxes.size(), 2u);
    EXPECT_EQ(hooks.boxes[1].text, "Fehler beim Schreiben der Datei: No space left on device");
}

TEST_F(SqliteDataSet, CsvWithoutRowsOrFileName) {
    ds.SetQuery("SELECT i FROM types WHERE i = 0", 0);
    ds.ExportCsv(dir.file("none.csv"));
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_FALSE(std::ifstream(dir.file("none.csv")).good());
    ds.ExportCsv("");
    ASSERT_EQ(hooks.boxes.size(), 1u);
    EXPECT_EQ(hooks.boxes[0].text, "Keine Daten zum Kopieren vorhanden");
    EXPECT_EQ(hooks.boxes[0].title, "Kopieren");
    EXPECT_EQ(hooks.boxes[0].icon, OdbcIcon::Information);

    ds.SetQuery("SELECT i FROM types", 0);
    hooks.saveAnswer = "";  // cancelled
    ds.ExportCsv("");
    ASSERT_EQ(hooks.saveTitles.size(), 1u);
    EXPECT_EQ(hooks.saveTitles[0], "Geben Sie den Dateinamen ein|CSV-Dateien|*.CSV|Alle Dateien|*.*");
    hooks.saveAnswer = dir.file("chosen.csv");
    ds.ExportCsv("");
    EXPECT_EQ(readAll(dir.file("chosen.csv")), "i\r\n-42\r\n\r\n");
    EXPECT_EQ(hooks.boxes.size(), 1u);
    // A name typed without an extension gets the export's; one with an extension keeps it.
    hooks.saveAnswer = dir.file("typed");
    ds.ExportCsv("");
    EXPECT_EQ(readAll(dir.file("typed.csv")), "i\r\n-42\r\n\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("typed")));
    hooks.saveAnswer = dir.file("liste.txt");
    ds.ExportCsv("");
    EXPECT_TRUE(std::filesystem::exists(dir.file("liste.txt")));
}

TEST_F(SqliteDataSet, CsvFileThatCannotBeCreated) {
    ds.SetQuery("SELECT i FROM types", 0);
    ds.ExportCsv(dir.file("missing/folder/x.csv"));
    ASSERT_EQ(hooks.boxes.size(), 1u);
    EXPECT_EQ(hooks.boxes[0].text, "Fehler beim Erstellen der Datei: No such file or directory");
    EXPECT_EQ(hooks.boxes[0].title, "CSV-Export");
    EXPECT_EQ(hooks.boxes[0].icon, OdbcIcon::Question);
}

TEST_F(SqliteDataSet, CsvProgressMovesEveryHundredRows) {
    run(connect, {"CREATE TABLE many (v INTEGER)",
                  "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 250) "
                  "INSERT INTO many SELECT x FROM n"});
    ds.SetQuery("SELECT v FROM many", 0);
    ASSERT_EQ(ds.GetCell(-1, 0), "250");
    ds.ExportCsv(dir.file("many.csv"));
    EXPECT_EQ(hooks.progressMoves, (std::vector<int>{100, 200}));
}

TEST_F(SqliteDataSet, RefreshFillsParametersFromTheParentAndVariables) {
    run(connect,
        {"CREATE TABLE head (k INTEGER, name VARCHAR(10))", "INSERT INTO head VALUES (1, 'eins')",
         "INSERT INTO head VALUES (2, 'zwei')", "CREATE TABLE line (k INTEGER, v VARCHAR(10))",
         "INSERT INTO line VALUES (1, 'a')", "INSERT INTO line VALUES (2, 'b')", "INSERT INTO line VALUES (2, 'c')"});
    OdbcDataSet child;
    child.Init(&con, 0, "child");
    child.PARENTDS = &ds;
    child.FILTERS = {"k"};
    std::string minV = "a";
    child.FILTERVARS.push_back({"minv", {}, [&] { return std::string("'") + minV + "'"; }});
    child.QUERY = "SELECT v FROM line WHERE k = ? AND v >= @minv@ ORDER BY v";
    ds.DEPENDENT.push_back({child.id(), &child});

    ds.SetQuery("SELECT k, name FROM head WHERE k > 0 ORDER BY k", 0);
    ds.SetRow(2);
    child.Refresh();
    EXPECT_EQ(child.GetCell(-1, 0), "2");
    EXPECT_EQ(child.GetCell(1, 1), "b");
    EXPECT_EQ(child.QUERY.str(), "SELECT v FROM line WHERE k = ? AND v >= @minv@ ORDER BY v");
    minV = "c";
    child.Refresh();
    EXPECT_EQ(child.GetCell(-1, 0), "1");

    // The parent's refresh refreshes its dependents from its first row.
    minV = "a";
    ds.Refresh();
    EXPECT_EQ(child.GetCell(-1, 0), "1");
    EXPECT_EQ(child.GetCell(1, 1), "a");
    // Clearing the parent refreshes them with an empty parameter: the statement fails there.
    ds.Clear();
    EXPECT_EQ(child.GetCell(-1, 0), "0");
    EXPECT_EQ(hooks.boxes.size(), 1u);

    // Not registered with the parent: nothing happens.
    OdbcDataSet stray;
    stray.Init(&con, 0, "");
    stray.PARENTDS = &ds;
    stray.QUERY = "SELECT 1 AS x WHERE 1 = 1";
    stray.Refresh();
    EXPECT_EQ(stray.GetCell(-1, 0), "0");
}

TEST_F(SqliteDataSet, RefreshLeavesAQuestionMarkInsideAParentValueAlone) {
    OdbcDataSet child;
    child.Init(&con, 0, "");
    child.PARENTDS = &ds;
    child.FILTERS = {"a", "b"};
    ds.DEPENDENT.push_back({child.id(), &child});
    ds.SetQuery("SELECT 'x?y' AS a, 'z' AS b", 0);
    // The second parameter is the second "?" of the statement, not the one inside 'x?y'.
    child.QUERY = "SELECT 1 AS n WHERE '?' || '/' || '?' = 'x?y/z'";
    child.Refresh();
    EXPECT_EQ(child.GetCell(-1, 0), "1");
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(SqliteDataSet, RefreshWithoutWhereDoesNothing) {
    ds.QUERY = "SELECT i FROM types";
    ds.Refresh();
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
    ds.QUERY = "SELECT i FROM types where i = -42";
    ds.Refresh();
    EXPECT_EQ(ds.GetCell(-1, 0), "1");
}

TEST_F(SqliteDataSet, ReadersSeeWholeResultsWhileLoading) {
    run(connect, {"CREATE TABLE big (a INTEGER, b INTEGER)",
                  "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000) "
                  "INSERT INTO big SELECT x, x FROM n"});
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            auto r = ds.snapshot();
            int rows = r->rowCount();
            if (rows > 0 && (!r->hasCell(rows, 1) || r->cell(rows, 2) != std::to_string(rows))) ++torn;
        }
    });
    for (int i = 0; i < 20; ++i) ds.SetQuery(i % 2 ? "SELECT a, b FROM big" : "SELECT a, b FROM big WHERE a <= 7", 0);
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(SqliteDataSet, CellsAndLengthsStayWholeOverManyRowsAndReloads) {
    // Empty cells at the start and end of rows, over many rows; loads of different sizes in turn
    // and with readers holding an earlier result.
    run(connect, {"CREATE TABLE many (x INTEGER, a INTEGER, t VARCHAR(20))",
                  "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 300) "
                  "INSERT INTO many SELECT x, CASE WHEN x % 64 = 1 THEN NULL ELSE x END, "
                  "CASE WHEN x % 5 = 0 THEN NULL ELSE 'Zeile ' || x END FROM n"});
    auto check = [&](const OdbcResult& r, int rows) {
        ASSERT_EQ(r.rowCount(), rows);
        for (int x = 1; x <= rows; ++x) {
            const std::string a = x % 64 == 1 ? "" : std::to_string(x);
            const std::string t = x % 5 == 0 ? "" : "Zeile " + std::to_string(x);
            ASSERT_EQ(r.cell(x, 1), a) << x;
            ASSERT_EQ(r.hasCell(x, 1), !a.empty()) << x;
            ASSERT_EQ(r.length(x, 1), a.empty() ? 0 : 4) << x;  // the size of the integer
            ASSERT_EQ(r.cell(x, 2), t) << x;
            ASSERT_EQ(r.length(x, 2), static_cast<int>(t.size())) << x;
        }
    };
    std::shared_ptr<const OdbcResult> held;
    for (int rows : {300, 70, 300, 1, 300}) {
        ASSERT_EQ(ds.SetQuery(fmt::format("SELECT a, t FROM many WHERE x <= {}", rows), 0), 0);
        check(*ds.snapshot(), rows);
        if (rows == 70) held = ds.snapshot();
    }
    check(*held, 70);
    ds.Clear();
    EXPECT_EQ(ds.snapshot()->rowCount(), 0);
    EXPECT_EQ(ds.snapshot()->colCount(), 2);
    ASSERT_EQ(ds.SetQuery("SELECT a, t FROM many WHERE x <= 130", 0), 0);
    check(*ds.snapshot(), 130);
    EXPECT_EQ(ds.snapshot()->cellCount(), 130u * 2 - 3 - 26);
}

// ---- PostgreSQL through psqlODBC ------------------------------------------------------------

TEST(OdbcDataSetPg, CellsFollowTheTypeAndTextTable) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    run(db.connectString(),
        {"CREATE TABLE types (i integer, s smallint, b bigint, d numeric(5,1), dt date, ts timestamp, tm time, "
         "t varchar(5), g uuid, n varchar(10), e varchar(10))",
         "INSERT INTO types VALUES (-42, -7, 5000000000, -1234.5, '2024-03-07', '2024-03-07 14:05:09.5', "
         "'14:05:09', 'Größe', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', NULL, '')"});
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString()), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT * FROM types", 0);
    EXPECT_EQ(ds.GetCell(-1, 0), "1");
    EXPECT_EQ(ds.GetCell(-2, 0), "11");
    const char* expected[] = {"-42",
                              "-7",
                              "5000000000",
                              "-1234.5",
                              "07/03/2024",
                              "07/03/2024 14:05:09",
                              "5070901",
                              "Größe",
                              "A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11",
                              "",
                              ""};
    for (int c = 1; c <= 11; ++c) EXPECT_EQ(ds.GetCell(1, c), expected[c - 1]) << c;
    auto cols = ds.RESULTSETCOLS();
    ASSERT_EQ(cols.size(), 11u);
    EXPECT_EQ(cols[2].TYPE, -5);
    EXPECT_EQ(cols[8].TYPE, -11);
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST(OdbcDataSetPg, CsvReadsBackWhole) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString()), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT '12;5' AS \"a;b\", 'ärger; ölpreis' AS v UNION ALL SELECT E'-1\\r\\nx;y', '5\"'", 0);
    TempDir dir;
    ds.ExportCsv(dir.file("w.csv"));
    EXPECT_TRUE(hooks.boxes.empty());
    EXPECT_EQ(csvRows(dir.file("w.csv")), kAwkwardRows);
}

TEST(OdbcDataSetPg, OtherTypesAreReadAsText) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString()), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT true AS b, 'Hi'::bytea AS y, 2.5::float8 AS f, 'Straße'::text AS t", 0);
    auto cols = ds.RESULTSETCOLS();
    ASSERT_EQ(cols.size(), 4u);
    for (const auto& c : cols) EXPECT_EQ(c.TYPE, 1) << c.NAME;
    EXPECT_EQ(ds.GetCell(1, 1), "1");
    EXPECT_EQ(ds.GetCell(1, 2), "4869");
    EXPECT_EQ(ds.GetCell(1, 3), "2.5");
    EXPECT_EQ(ds.GetCell(1, 4), "Straße");
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST(OdbcDataSetPg, TypeCodesOutsideTheTableAreReadAsText) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    // What psqlODBC reports for these: money 6 (FLOAT), real 7, numeric 2; inet, interval and
    // arrays 12 (VARCHAR); with these options bool -7 (BIT) and bytea -4 (LONGVARBINARY).
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString() + ";BoolsAsChar=0;ByteaAsLongVarBinary=1"), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery(
        "SELECT 12.5::money AS m, 1.5::real AS r, 2::numeric AS n, '10.0.0.1'::inet AS i, "
        "'1 day 02:03'::interval AS v, ARRAY[1,2] AS a, true AS b, 'Hi'::bytea AS y",
        0);
    const char* expected[] = {"$12.50", "1.5", "2", "10.0.0.1", "1 day 02:03:00", "{1,2}", "1", "4869"};
    auto cols = ds.RESULTSETCOLS();
    ASSERT_EQ(cols.size(), std::size(expected));
    for (std::size_t c = 0; c < cols.size(); ++c) {
        EXPECT_EQ(cols[c].TYPE, 1) << cols[c].NAME;
        EXPECT_EQ(cols[c].COLUMN, static_cast<int>(c + 1)) << cols[c].NAME;
        EXPECT_EQ(ds.GetCell(1, static_cast<int>(c + 1)), expected[c]) << cols[c].NAME;
    }
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST(OdbcDataSetPg, ListFormatAndUpdateWithoutRows) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    run(db.connectString(),
        {"CREATE TABLE f (\"cName\" varchar(50), \"Anzahl\" integer)", "INSERT INTO f VALUES ('a', 1)"});
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString()), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT \"cName\", \"Anzahl\" FROM f", 7);
    EXPECT_EQ(ds.appliedListFormat(), "69L(2)|M~cName~@S69@30R(2)|M~Anzahl~@N30.@");
    EXPECT_EQ(ds.Exec("UPDATE f SET \"Anzahl\" = 2 WHERE \"Anzahl\" = 99"), 0);
    ds.LoadResult();
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
    EXPECT_TRUE(hooks.boxes.empty());
}

TEST(OdbcDataSetPg, FailureShowsThePostgresState) {
    VOQ_PG_DATABASE(db);
    HookRecorder hooks;
    OdbcConnection con;
    ASSERT_EQ(con.Connect(db.connectString()), 0);
    OdbcDataSet ds;
    ds.Init(&con, 0, "");
    ds.SetQuery("SELECT * FROM missing_table", 0);
    // The driver gives this failure a native code, so the box must appear.
    ASSERT_EQ(hooks.boxes.size(), 1u);
    EXPECT_NE(hooks.boxes[0].text.find("SQLState:\t42P01\r\n\r\nExec( SELECT * FROM missing_table )"),
              std::string::npos)
        << hooks.boxes[0].text;
    EXPECT_EQ(ds.GetCell(-1, 0), "0");
}

}  // namespace
