// The schema synchroniser: its statements for SQL Server, and real runs on SQLite and PostgreSQL.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/sync/structure_update.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

const char* kSqlServer = "DRIVER=SQL Server;SERVER=WAWI\\ERP;UID=sa;PWD=geheim;Database=eazybusiness;Regional=Yes";

// ---- Statements for SQL Server, without a server -------------------------------------------

class Statements : public ::testing::Test {
protected:
    void SetUp() override {
        resetGlobals();
        GLO.ConnectString = kSqlServer;
        InitDictionary();
    }
    void TearDown() override { KillDictionary(); }

    SchemaSync sync{[this](const std::string& s) {
                        sent.push_back(s);
                        return true;
                    },
                    [this](const std::string& l) { logged.push_back(l); }};
    Lines sent, logged;
};

TEST_F(Statements, CubeGroupsAreCreatedColumnByColumnWithTheirKeys) {
    sync.handleTable(*Access.VOQCubeGruppe);
    const Lines expected = {
        // The identifier is NOT NULL, so that SQL Server takes it as the primary key.
        "create table dbo.VOQCUBEGRUPPE (ID INT NOT NULL)",
        "alter table dbo.VOQCUBEGRUPPE add ID INT NOT NULL",
        "alter table dbo.VOQCUBEGRUPPE add GRUPPENNAME VARCHAR(30)",
        "alter table dbo.VOQCUBEGRUPPE add BESCHREIBUNG VARCHAR(100)",
        "alter table dbo.VOQCUBEGRUPPE add ACTIV TINYINT",
        "DROP INDEX PK_CUBGID on dbo.VOQCUBEGRUPPE",
        "DROP INDEX K_CUBGNAME on dbo.VOQCUBEGRUPPE",
        "ALTER TABLE dbo.VOQCUBEGRUPPE ADD CONSTRAINT PK_CUBGID PRIMARY KEY (ID) WITH (IGNORE_DUP_KEY = OFF, ONLINE = "
        "OFF) ON [PRIMARY]",
        "create unique index K_CUBGNAME on dbo.VOQCUBEGRUPPE (GRUPPENNAME)",
    };
    EXPECT_EQ(sent, expected);
    const Lines log = {
        "ALTER TABLE dbo.VOQCUBEGRUPPE DROP CONTRAINT PK_CUBGID",
        "DROP INDEX K_CUBGNAME ON dbo.VOQCUBEGRUPPE",
        "Name: PK_CUBGID PK_CUBGID",
        expected[7],
        expected[8],
    };
    EXPECT_EQ(logged, log);
    EXPECT_EQ(sync.backEnd(), "SQLSERVER");
    EXPECT_EQ(sync.schemaPrefix(), "");  // the names carry their dbo. already
}

TEST_F(Statements, CubeHeadersGetTheirKeysAndWideTextsBecomeText) {
    sync.handleTable(*Access.VOQCubeKopf);
    ASSERT_GE(sent.size(), 18u + 3u + 3u);
    EXPECT_EQ(sent[0], "create table dbo.VOQCUBEKOPF (ID INT NOT NULL)");
    auto has = [&](const std::string& s) { return std::find(sent.begin(), sent.end(), s) != sent.end(); };
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add CONNECT VARCHAR(255)"));
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add BIGQUERY TEXT"));
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add BERECHTIGTERUSER TEXT"));
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add ZEITRAUM INT"));
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add ACTIV TINYINT"));
    const Lines keys(sent.end() - 3, sent.end());
    const Lines expected = {
        "ALTER TABLE dbo.VOQCUBEKOPF ADD CONSTRAINT PK_CUBKID PRIMARY KEY (ID) WITH (IGNORE_DUP_KEY = OFF, ONLINE = "
        "OFF) ON [PRIMARY]",
        "create unique index K_CUBKNAME on dbo.VOQCUBEKOPF (CUBENAME)",
        "create index K_CUBKID_CUBG on dbo.VOQCUBEKOPF (ID_CUBG)",
    };
    EXPECT_EQ(keys, expected);
    ASSERT_EQ(sync.structures().size(), 17u);
    const StructureEntry& first = sync.structures()[0];
    EXPECT_EQ(first.table, "dbo.VOQCUBEKOPF");
    EXPECT_EQ(first.label, "CUBK:ID");
    EXPECT_EQ(first.column, "ID");
    EXPECT_EQ(first.fieldType, "LONG");
    EXPECT_EQ(first.sqlType, "INT NOT NULL");
    EXPECT_EQ(first.identity, 0);
}

TEST_F(Statements, AnIdentifyingKeyThatIsNotPrimaryBecomesAUniqueIndex) {
    sync.handleTable(*Access.VOQGNEquates);
    const Lines keys(sent.end() - 3, sent.end());
    const Lines expected = {
        "create unique index PL_GNEID on dbo.VOQGNEQUATES (ID)",
        "create unique index K_GNEBEZ on dbo.VOQGNEQUATES (BEZEICHNUNG)",
        "create index K_GNEWERT on dbo.VOQGNEQUATES (FILTER,WERT)",
    };
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(), [](auto& l) { return l.rfind("Name: ", 0) == 0; }), 0);
}

TEST_F(Statements, DecimalsAndTheSecondPrefixSpelling) {
    sync.handleTable(*Access.VOQProvKey);
    EXPECT_EQ(sent[0], "create table dbo.VOQProvKey (ID INT NOT NULL)");
    EXPECT_NE(std::find(sent.begin(), sent.end(), "alter table dbo.VOQProvKey add PROVISION DECIMAL(5,1)"), sent.end());
    EXPECT_NE(std::find(sent.begin(), sent.end(), "DROP INDEX PK_VOQProK_ID on dbo.VOQProvKey"), sent.end());
    EXPECT_EQ(sent.back(), "create unique index K_VOQProK_ProvKey on dbo.VOQProvKey (PROVISIONSKEY)");
}

TEST_F(Statements, SqliteLosesTheSchemaAndCreatesWithAPrimaryKeyColumn) {
    GLO.ConnectString = "DRIVER=SQLite3;Database=x.db";
    sync.handleTable(*Access.VOQCubeGruppe);
    EXPECT_EQ(sync.backEnd(), "SQLITE");
    // SQLite keeps the primary key its table was created with: it neither drops nor adds one.
    const Lines expected = {
        "CREATE TABLE VOQCUBEGRUPPE (ID INT NOT NULL PRIMARY KEY)",
        "alter table VOQCUBEGRUPPE add ID INT NOT NULL",
        "alter table VOQCUBEGRUPPE add GRUPPENNAME VARCHAR(30)",
        "alter table VOQCUBEGRUPPE add BESCHREIBUNG VARCHAR(100)",
        "alter table VOQCUBEGRUPPE add ACTIV TINYINT",
        "DROP INDEX IF EXISTS K_CUBGNAME",
        "create unique index K_CUBGNAME on VOQCUBEGRUPPE (GRUPPENNAME)",
    };
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(Access.VOQCubeGruppe->name(), "VOQCUBEGRUPPE");  // kept for the thread
}

TEST_F(Statements, PostgresGetsItsOwnTypesAndKeys) {
    GLO.ConnectString = "DRIVER=PostgreSQL Unicode;SERVER=h;Port=5432;Database=d";
    sync.handleTable(*Access.VOQCubeGruppe);
    EXPECT_EQ(sync.backEnd(), "POSTGRESQL");
    const Lines expected = {
        "CREATE SCHEMA IF NOT EXISTS dbo",
        "create table dbo.VOQCUBEGRUPPE (ID INT NOT NULL)",
        "alter table dbo.VOQCUBEGRUPPE add ID INT NOT NULL",
        "alter table dbo.VOQCUBEGRUPPE add GRUPPENNAME VARCHAR(30)",
        "alter table dbo.VOQCUBEGRUPPE add BESCHREIBUNG VARCHAR(100)",
        "alter table dbo.VOQCUBEGRUPPE add ACTIV SMALLINT",
        "ALTER TABLE dbo.VOQCUBEGRUPPE DROP CONSTRAINT IF EXISTS PK_CUBGID",
        "DROP INDEX IF EXISTS dbo.K_CUBGNAME",
        "ALTER TABLE dbo.VOQCUBEGRUPPE ADD CONSTRAINT PK_CUBGID PRIMARY KEY (ID)",
        "create unique index K_CUBGNAME on dbo.VOQCUBEGRUPPE (GRUPPENNAME)",
    };
    EXPECT_EQ(sent, expected);
    sent.clear();
    sync.handleTable(*Access.VOQCubeKopf);
    auto has = [&](const std::string& s) { return std::find(sent.begin(), sent.end(), s) != sent.end(); };
    EXPECT_TRUE(has("alter table dbo.VOQCUBEKOPF add BIGQUERY TEXT"));
    // The schema is made once, before the first table that needs it.
    EXPECT_FALSE(has("CREATE SCHEMA IF NOT EXISTS dbo"));
}

TEST_F(Statements, TheBackEndCarriesOverWhenNoRuleMatches) {
    sync.handleTable(*Access.VOQCubeGruppe);
    GLO.ConnectString = "DRIVER=MySQL ODBC 8.0;SERVER=h;Database=d";
    sync.handleTable(*Access.VOQSQLTBL);
    EXPECT_EQ(sync.backEnd(), "SQLSERVER");
}

TEST(SqlTypes, ByFieldTypeAndBackEnd) {
    struct R {
        rt::String<10> s;
        rt::CString<11> c;
        rt::Byte b = 0;
        rt::Long l = 0;
        rt::Decimal<7, 2> d;
        rt::Date date;
        rt::CString<400> wide;
        rt::Blob blob;
    };
    rt::RecordDesc desc = rt::RecordBuilder<R>("T")
                              .field(&R::s, "s")
                              .field(&R::c, "c")
                              .field(&R::b, "b")
                              .field(&R::l, "l")
                              .field(&R::d, "d")
                              .field(&R::date, "date")
                              .field(&R::wide, "wide")
                              .field(&R::blob, "blob")
                              .build();
    struct Case {
        const char* backEnd;
        Lines types;
    };
    const Case cases[] = {
        {"", {"VARCHAR(10)", "VARCHAR(10)", "TINYINT", "INT", "DECIMAL(7,2)", "DATETIME", "TEXT", "TEXT"}},
        {"SQLSERVER", {"VARCHAR(10)", "VARCHAR(10)", "TINYINT", "INT", "DECIMAL(7,2)", "DATETIME", "TEXT", "TEXT"}},
        {"ACCESS", {"VARCHAR(10)", "VARCHAR(10)", "byte", "INT", "CURRENCY", "DATETIME", "memo", "memo"}},
        {"SQLITE", {"VARCHAR(10)", "VARCHAR(10)", "TINYINT", "INT", "NUMERIC", "DATE", "TEXT", "TEXT"}},
        {"FIREBIRD", {"VARCHAR(10)", "VARCHAR(10)", "SMALLINT", "INT", "DECIMAL(7,2)", "DATE", "VARCHAR(399)", "TEXT"}},
    };
    for (const auto& c : cases) {
        Lines got;
        for (const auto& f : desc.fields()) got.push_back(SchemaSync::sqlType(f, c.backEnd, false));
        EXPECT_EQ(got, c.types) << c.backEnd;
    }
    EXPECT_EQ(SchemaSync::sqlType(desc.field(0), "FIREBIRD", true), "TIMESTAMP");
    EXPECT_EQ(SchemaSync::sqlType(desc.field(0), "SQLITE", true), "DATETIME");
}

TEST(KeyNames, PrimaryByPositionAndNamesAfterColonAndPoint) {
    EXPECT_TRUE(SchemaSync::primaryKeyName("PK_CUBKID"));
    EXPECT_TRUE(SchemaSync::primaryKeyName("X_PK"));    // position 3
    EXPECT_FALSE(SchemaSync::primaryKeyName("XPK_A"));  // position 2
    EXPECT_FALSE(SchemaSync::primaryKeyName("PL_GNEID"));
    EXPECT_FALSE(SchemaSync::primaryKeyName(""));
    rt::KeyDef k;
    k.label = "CUBK:KeyID";
    EXPECT_EQ(SchemaSync::keyName(k), "KeyID");
    k.serverName = "dbo.PK_X";
    EXPECT_EQ(SchemaSync::keyName(k), "PK_X");
    k.serverName = "a:b.c";
    EXPECT_EQ(SchemaSync::keyName(k), "c");
}

// ---- Real runs -----------------------------------------------------------------------------

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Runs : public coretest::HaltingTest {
protected:
    void TearDown() override {
        display_.shutdown();
        HaltingTest::TearDown();
    }
    // StructureUpdate on a program thread with its dictionary; the window, when it comes, is
    // closed by `onWindow` (default: closed at once).
    struct Result {
        StructureRun run;
        int halted = -1;
    };
    Result runSync(std::function<void(rt::WindowId)> onWindow = {}) {
        Result result;
        int t = rt::startThread([&] {
            InitDictionary();
            result.halted = coretest::haltCode(StructureUpdate);
            result.run = lastStructureRun();
            KillDictionary();
        });
        // The window comes only when a table was handled; wait for the run or the window.
        for (;;) {
            if (!rt::threadRunning(t)) break;
            rt::WindowId w = display_.waitForWindow(
                [](const rt::HeadlessDisplay::Shown& s) { return s.window.title == kActionsTitle; },
                std::chrono::milliseconds(100));
            if (w) {
                try {
                    user_.waitWindow(kActionsTitle);
                    if (onWindow)
                        onWindow(w);
                    else
                        user_.closeWindow(w);
                } catch (const std::exception& e) {
                    ADD_FAILURE() << e.what();
                    for (auto& p : display_.history()) ADD_FAILURE() << "prompt: " << p.messageBox.text;
                    display_.shutdown();
                }
                break;
            }
        }
        rt::waitThread(t);
        return result;
    }
    std::string log() const { return readText(dir_.file(kStructureLog)); }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

// The first column of every row a query gives.
std::vector<std::string> firstColumn(const std::string& cs, const std::string& sql) {
    std::vector<std::string> names;
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLDriverConnect(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        char buf[256];
        SQLLEN len = 0;
        SQLGetData(st, 1, SQL_C_CHAR, buf, sizeof buf, &len);
        names.emplace_back(buf);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

std::vector<std::string> sqliteTables(const std::string& file) {
    return firstColumn(voq::test::sqliteConnectString(file),
                       "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

std::string firstValue(const std::string& cs, const std::string& sql) {
    auto values = firstColumn(cs, sql);
    return values.empty() ? std::string("(no row)") : values.front();
}

TEST_F(Runs, OnSqliteTheFirstStartCreatesTheTablesAndTheSecondChangesNothing) {
    const std::string db = dir_.file("client.db");
    GLO.ConnectString = voq::test::sqliteConnectString(db);
    GLO.Database = "client";
    rt::setTestClock(rt::dateFromYmd(2026, 12, 8), rt::timeFromHms(14, 5));
    Result first = runSync();
    rt::clearTestClock();
    EXPECT_EQ(first.halted, -1);
    EXPECT_TRUE(first.run.windowShown);
    // The old column catalogue answers for SQLFile; the other nine are tables of their own.
    const Lines logged = {"VOQCubeKopf", "VOQCubeDetail", "VOQGNEquates", "VOQSQLTBL",    "VOQQBESEARCH",
                          "VOQQBEQUERY", "ACQTBL",        "VOQProvKey",   "VOQCubeGruppe"};
    EXPECT_EQ(first.run.logged, logged);
    const Lines tables = {"ACQTBL",     "VOQCUBEDETAIL", "VOQCUBEGRUPPE", "VOQCUBEKOPF", "VOQGNEQUATES",
                          "VOQProvKey", "VOQQBEQUERY",   "VOQQBESEARCH",  "VOQSQLTBL"};
    EXPECT_EQ(sqliteTables(db), tables);
    std::string text = log();
    EXPECT_EQ(text.rfind("VOQCubeKopf aktualisiert am 08.12.2026, 14:05\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("create unique index K_CUBKNAME on VOQCUBEKOPF (CUBENAME)\r\n"), std::string::npos);
    // New tables have no index to drop: nothing is sent that must fail.
    EXPECT_EQ(text.find("DROP INDEX"), std::string::npos);
    EXPECT_TRUE(first.run.failures.empty());
    EXPECT_FALSE(first.run.widened);  // created 255 wide

    Result second = runSync();
    EXPECT_FALSE(second.run.windowShown);
    EXPECT_TRUE(second.run.logged.empty());
    EXPECT_TRUE(second.run.statements.empty());
    EXPECT_EQ(log(), text);
    EXPECT_EQ(sqliteTables(db), tables);
    // Only the widening query ran; its text is on the clipboard.
    EXPECT_EQ(user_.clipboard(),
              "SELECT CHARACTER_MAXIMUM_LENGTH FROM client.[INFORMATION_SCHEMA].[COLUMNS] WHERE [TABLE_NAME] = "
              "'VOQCUBEKOPF' AND COLUMN_NAME = 'CONNECT'");
}

TEST_F(Runs, AMissingColumnIsAddedAndTheWindowListsWhatWasSent) {
    const std::string db = dir_.file("client.db");
    GLO.ConnectString = voq::test::sqliteConnectString(db);
    GLO.Database = "client";
    runSync();
    ASSERT_EQ(voq::test::execSql(GLO.ConnectString.get().str(), "ALTER TABLE VOQCUBEKOPF DROP COLUMN ZUGRIFF"), "");
    std::vector<std::string> shownStatements;
    std::string clip;
    Result again = runSync([&](rt::WindowId w) {
        auto rows = user_.rows(w, 5);
        for (auto& r : rows) shownStatements.push_back(r.cells.at(0).text);
        EXPECT_EQ(user_.rows(w, 3).size(), 17u);
        user_.press(w, 6);
        user_.waitMessageBox();
        clip = user_.clipboard();
        user_.answerMessageBox(rt::button::Ok);
        user_.closeWindow(w);
    });
    const Lines logged = {"VOQCubeKopf"};
    EXPECT_EQ(again.run.logged, logged);
    EXPECT_EQ(shownStatements, again.run.statements);
    EXPECT_EQ(user_.lastMessageBox().text, "Script is in your Windows clipboard now.");
    EXPECT_EQ(user_.lastMessageBox().title, "");
    // Only the missing column is added; the table and its other columns are there.
    EXPECT_EQ(clip.rfind("alter table VOQCUBEKOPF add ZUGRIFF VARCHAR(20)\r\nGO\r\nDROP INDEX IF EXISTS", 0), 0u)
        << clip;
    EXPECT_TRUE(again.run.failures.empty());
    EXPECT_TRUE(runSync().run.logged.empty());  // the column is back
}

// What the widening sends, and the column's width afterwards, on the engines here: SQLite finds
// the width but has no ALTER COLUMN; PostgreSQL does not take the bracketed catalogue query.
TEST_F(Runs, AConnectColumnOfTheOldWidthIsWidenedWhereTheServerCan) {
    const std::string db = dir_.file("client.db");
    GLO.ConnectString = voq::test::sqliteConnectString(db);
    GLO.Database = "client";
    ASSERT_EQ(
        voq::test::execSql(GLO.ConnectString.get().str(), "CREATE TABLE VOQCUBEKOPF (ID INT, CONNECT VARCHAR(100))"),
        "");
    Result r = runSync();
    EXPECT_EQ(r.run.widening, "ALTER TABLE [dbo].[VOQCUBEKOPF] ALTER COLUMN [CONNECT] VARCHAR(256)");
    EXPECT_FALSE(r.run.widened);  // refused by the server, harmlessly, and not claimed
    EXPECT_EQ(firstValue(GLO.ConnectString.get().str(), "SELECT sql FROM sqlite_master WHERE name = 'VOQCUBEKOPF'")
                      .find("CONNECT VARCHAR(100)") != std::string::npos,
              true);
}

TEST_F(Runs, OnPostgresTheConnectColumnKeepsItsWidth) {
    VOQ_PG_DATABASE(pg);
    GLO.ConnectString = pg.connectString();
    GLO.Database = pg.name();
    ASSERT_EQ(voq::test::execSql(pg.connectString(), "CREATE TABLE dbo.VOQCUBEKOPF (ID INT, CONNECT VARCHAR(100))"),
              "");
    Result r = runSync();
    EXPECT_EQ(r.run.widening, "");
    EXPECT_FALSE(r.run.widened);
    EXPECT_EQ(firstValue(pg.connectString(),
                         "SELECT character_maximum_length FROM information_schema.columns"
                         " WHERE table_name = 'voqcubekopf' AND column_name = 'connect'"),
              "100");
}

TEST_F(Runs, AServerThatCannotBeReachedEndsTheProgramWithAnErrorCode) {
    GLO.ConnectString = voq::test::sqliteConnectString(dir_.file("no/such/folder/client.db"));
    user_.queueMessageBoxAnswer(rt::button::Ok);
    Result r = runSync();
    EXPECT_EQ(r.halted, 1);
    auto box = user_.lastMessageBox();
    EXPECT_EQ(box.title, "");
    EXPECT_NE(box.text.find("\r\n\r\n"), std::string::npos) << box.text;
    EXPECT_FALSE(std::filesystem::exists(dir_.file(kStructureLog)));
}

// A database as the server makes it: the schema, the tables with their types and keys, and
// nothing refused; the second start finds everything in place.
TEST_F(Runs, OnAFreshPostgresDatabase) {
    voq::test::PgDatabase pg(false);
    if (pg.connectString().empty()) {
        if (voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable";
        GTEST_SKIP() << "PostgreSQL test cluster not running";
    }
    GLO.ConnectString = pg.connectString();
    GLO.Database = pg.name();
    Result first = runSync();
    EXPECT_TRUE(first.run.windowShown);
    EXPECT_EQ(first.run.logged.size(), 10u);  // syscolumns too: PostgreSQL has none
    EXPECT_EQ(first.run.statements.front(), "CREATE SCHEMA IF NOT EXISTS dbo");
    for (const auto& f : first.run.failures) ADD_FAILURE() << f.statement << ": " << f.error;
    Result second = runSync();
    EXPECT_TRUE(second.run.logged.empty());
    EXPECT_FALSE(second.run.windowShown);
    // The primary key and the unique index hold; the flags are small integers.
    EXPECT_NE(
        voq::test::execSql(pg.connectString(), "INSERT INTO dbo.VOQCUBEKOPF (ID, CUBENAME) VALUES (1, 'a'), (1, 'b')"),
        "");
    EXPECT_NE(
        voq::test::execSql(pg.connectString(), "INSERT INTO dbo.VOQCUBEKOPF (ID, CUBENAME) VALUES (1, 'a'), (2, 'a')"),
        "");
    EXPECT_EQ(firstValue(pg.connectString(),
                         "SELECT data_type FROM information_schema.columns"
                         " WHERE table_name = 'voqcubegruppe' AND column_name = 'activ'"),
              "smallint");
}

// A statement the server refuses is not listed as sent: it is shown with the server's reason.
TEST_F(Runs, ARefusedStatementIsShownWithItsReason) {
    VOQ_PG_DATABASE(pg);
    GLO.ConnectString = pg.connectString();
    GLO.Database = pg.name();
    // Two cube groups of the same name: the unique index cannot be made.
    ASSERT_EQ(voq::test::execSql(pg.connectString(),
                                 "CREATE TABLE dbo.VOQCUBEGRUPPE (ID INT NOT NULL, GRUPPENNAME "
                                 "VARCHAR(30), BESCHREIBUNG VARCHAR(100))"),
              "");
    ASSERT_EQ(voq::test::execSql(pg.connectString(), "INSERT INTO dbo.VOQCUBEGRUPPE VALUES (1, 'a', ''), (2, 'a', '')"),
              "");
    std::vector<std::string> shown;
    Result r = runSync([&](rt::WindowId w) {
        EXPECT_EQ(user_.control(w, 1).selected, 3);  // the page of the refusals comes first
        for (auto& row : user_.rows(w, 8)) shown.push_back(row.cells.at(0).text);
        user_.closeWindow(w);
    });
    const std::string refused = "create unique index K_CUBGNAME on dbo.VOQCUBEGRUPPE (GRUPPENNAME)";
    ASSERT_EQ(r.run.failures.size(), 1u);
    EXPECT_EQ(r.run.failures[0].statement, refused);
    EXPECT_NE(r.run.failures[0].error.find("k_cubgname"), std::string::npos) << r.run.failures[0].error;
    EXPECT_EQ(shown, std::vector<std::string>{refused});
    EXPECT_EQ(std::find(r.run.statements.begin(), r.run.statements.end(), refused), r.run.statements.end());
    EXPECT_NE(
        std::find(r.run.statements.begin(), r.run.statements.end(), "alter table dbo.VOQCUBEGRUPPE add ACTIV SMALLINT"),
        r.run.statements.end());
    EXPECT_NE(log().find("Fehler: "), std::string::npos);
}

}  // namespace
