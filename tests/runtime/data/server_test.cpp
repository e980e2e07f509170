// Server tables over unixODBC: the SQLite ODBC driver and PostgreSQL 15 through psqlODBC.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "runtime/data/table_driver.h"
#include "runtime/thread/thread_state.h"
#include "tests/runtime/data/fixture_tables.h"
#include "tests/support/test_support.h"

using namespace fixture;

namespace {

using Defs = StoreDefs<rt::StoreKind::Server>;

const rt::TableDef& carrierDef() {
    static const rt::TableDef d = makeCarrier();
    return d;
}
const rt::TableDef& channelDef() {
    static const rt::TableDef d = makeChannel();
    return d;
}

enum class Engine { SQLite, PostgreSQL };

class Server : public ::testing::TestWithParam<Engine>, protected HeadAndLines<rt::StoreKind::Server> {
protected:
    void SetUp() override {
        declareRelations();
        if (GetParam() == Engine::SQLite) {
            dbFile = dir.file("server.db");
            connect = voq::test::sqliteConnectString(dbFile);
            ASSERT_EQ(voq::test::execSql(connect, "CREATE TABLE seed (a INT)"), "");
        } else {
            pg = std::make_unique<voq::test::PgDatabase>();
            if (pg->connectString().empty()) {
                if (voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable";
                GTEST_SKIP() << "PostgreSQL test cluster not running";
            }
            connect = pg->connectString();
        }
        gConnect.set(connect);
    }
    void TearDown() override {
        head.closeAll();
        line.closeAll();
    }
    bool sqlite() const { return GetParam() == Engine::SQLite; }
    std::string exec(const std::string& sql) { return voq::test::execSql(connect, sql); }

    voq::test::TempDir dir;
    std::unique_ptr<voq::test::PgDatabase> pg;
    std::string dbFile;
    std::string connect;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, Server, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL"; });

TEST_P(Server, OpenChecksTableAndColumnsAndCreatesOnlyWithTheFlag) {
    head.setCreate(false);
    EXPECT_EQ(head.open(), 2);
    EXPECT_EQ(rt::errorCode(), 2);
    EXPECT_FALSE(rt::fileErrorText().empty());  // the driver's own words
    // Nothing was created by the failed open.
    rt::FileManager probe(Defs::head(), &H);
    probe.setCreate(false);
    EXPECT_EQ(probe.open(), 2);

    head.setCreate(true);
    ASSERT_EQ(head.open(), 0);
    head.close();
    EXPECT_EQ(probe.open(), 0);
}

TEST_P(Server, MissingColumnGives47AndTurboSkipsTheCheck) {
    ASSERT_EQ(exec(sqlite() ? "CREATE TABLE CARRIER (C01 VARCHAR(255), C02 VARCHAR(255))"
                            : "CREATE TABLE dbo.CARRIER (C01 VARCHAR(255), C02 VARCHAR(255))"),
              "");
    CarrierRecord c;
    rt::FileManager fm(carrierDef(), &c);
    EXPECT_EQ(fm.open(), 47);
    EXPECT_EQ(rt::errorCode(), 47);
    EXPECT_EQ(fm.send("/TURBOSQL=TRUE"), 0);
    EXPECT_EQ(fm.open(), 0);
    fm.close();
}

TEST_P(Server, ConnectionFailureIsError90WithTheDriversText) {
    CarrierRecord c;
    rt::FileManager fm(carrierDef(), &c);
    fm.setConnectString("DRIVER=No Such Driver;Database=x");
    EXPECT_EQ(fm.open(), 90);
    EXPECT_EQ(rt::errorCode(), 90);
    EXPECT_EQ(rt::errorText(), "File System Error");
    EXPECT_FALSE(rt::fileErrorCode().empty());
    EXPECT_NE(rt::fileErrorText().find("No Such Driver"), std::string::npos);
}

TEST_P(Server, InsertChangeDeleteInKeyOrderWithNocaseAndOpt) {
    ASSERT_EQ(head.open(), 0);
    const char* names[] = {"zebra", "Äpfel", "apfel", "", "Birne", ""};
    int n = 0;
    for (auto* name : names) ASSERT_EQ(addHead(name, std::to_string(n++)), 0) << name;
    EXPECT_EQ(addHead("BIRNE", "x"), 40);
    EXPECT_EQ(addHead("new", "0"), 40);  // the code key
    EXPECT_EQ(head.records(), 6);

    std::vector<std::string> seen;
    head.setOrder("HEAD:KeyName");
    while (head.next() == 0) seen.emplace_back(H.Name.str());
    ASSERT_EQ(seen.size(), 4u);  // the two empty names are not in the key
    EXPECT_EQ(seen[0], "apfel");
    EXPECT_EQ(seen[1], "Birne");

    EXPECT_EQ(seen[2], "zebra");
    EXPECT_EQ(seen[3], "Äpfel");
    EXPECT_EQ(addHead("äPFEL", "y"), 40);  // German letters fold too
    H.Name = "ÄPFEL";
    ASSERT_EQ(head.fetch("HEAD:KeyName"), 0);
    EXPECT_EQ(H.Name, "Äpfel");
    H.Name = "birne";
    ASSERT_EQ(head.fetch("HEAD:KeyName"), 0);
    EXPECT_EQ(H.Name, "Birne");
    H.Name = "Birnen";
    ASSERT_EQ(head.update(), 0);
    H.Name = "apfel";
    EXPECT_EQ(head.update(), 40);
    H.ID = 5;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "Birnen");
    ASSERT_EQ(head.deleteRecord(), 0);
    EXPECT_EQ(head.fetch("HEAD:KeyID"), 35);

    // Backwards in number order, from a value.
    H.ID = 4;
    head.setFrom("HEAD:KeyID");
    std::vector<int> ids;
    while (head.previous() == 0) ids.push_back(H.ID);
    EXPECT_EQ(ids, (std::vector<int>{4, 3, 2, 1}));
}

TEST_P(Server, ValuesAreStoredAsTheColumnsHoldThem) {
    ASSERT_EQ(head.open(), 0);
    head.clearBuffer();
    H.Name = "Größe";
    H.Code = "ab";
    H.Betrag = rt::DecimalValue::parseOrZero("-1234.5");
    H.Datum = rt::dateFromYmd(2026, 12, 8);
    H.Notiz = std::string(1200, 'n');
    ASSERT_EQ(head.primeRecord(true), 0);
    ASSERT_EQ(head.insert(), 0);
    head.clearBuffer();
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "Größe");
    EXPECT_EQ(H.Code.str(), "ab        ");
    EXPECT_EQ(H.Betrag.toString(), "-1234.5");
    EXPECT_EQ(H.Datum, rt::dateFromYmd(2026, 12, 8));
    EXPECT_EQ(H.Notiz.str().size(), 1200u);
    EXPECT_EQ(H.Zeitraum, 3);

    // STRING right-trimmed on the server.
    ASSERT_EQ(head.setSql(sqlite() ? "SELECT length(Code) FROM HEAD" : "SELECT length(Code) FROM dbo.HEAD"), 0);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 2);
}

TEST_P(Server, AutoNumberWithinHeaderCascadeAndCancelledInsert) {
    ASSERT_EQ(headRm.open(), 0);
    ASSERT_TRUE(line.isOpen());
    ASSERT_EQ(addHead("H1", "1"), 0);
    ASSERT_EQ(addHead("H2", "2"), 0);
    ASSERT_EQ(addLine(1, "a"), 0);
    EXPECT_EQ(L.PosNr, 1);
    ASSERT_EQ(addLine(1, "b"), 0);
    EXPECT_EQ(L.PosNr, 2);
    ASSERT_EQ(addLine(2, "c"), 0);
    EXPECT_EQ(L.PosNr, 1);

    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    H.ID = 7;
    ASSERT_EQ(headRm.update(), 0);
    L.ID = 2;
    ASSERT_EQ(line.fetch("LINE:KeyID"), 0);
    EXPECT_EQ(L.ID_HEAD, 7);

    ASSERT_EQ(headRm.deleteRecord(), 0);
    EXPECT_EQ(line.records(), 1);

    H.Code = "C";
    ASSERT_EQ(headRm.primeRecord(true), 0);
    EXPECT_EQ(H.ID, 3);  // one above the highest left (7 was deleted)
    ASSERT_EQ(addLine(H.ID, "copied"), 0);
    ASSERT_EQ(headRm.cancelReserved(), 0);
    EXPECT_EQ(head.records(), 1);
    EXPECT_EQ(line.records(), 1);
}

// A session ended by the server while a number is taken: 90 at once, the number not taken again
// (only a duplicate number is retried), for priming and for a plain insert.
TEST_P(Server, LostConnectionWhileNumberingIs90AfterOneTry) {
    if (sqlite()) GTEST_SKIP() << "a file database has no session to end";
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("H1", "1"), 0);
    for (bool prime : {true, false}) {
        SCOPED_TRACE(prime ? "primeRecord" : "insert");
        int tries = 0;
        std::string ended;
        head.setBeforeReserveHook([&] {
            ++tries;
            // From a second connection, between reading the highest number and storing the row.
            ended = exec(
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                " WHERE datname = current_database() AND pid <> pg_backend_pid()");
        });
        head.clearBuffer();
        H.Name = "lost";
        H.Code = prime ? "p" : "i";
        EXPECT_EQ(prime ? head.primeRecord(true) : head.insert(), 90);
        EXPECT_EQ(rt::errorCode(), 90);
        EXPECT_EQ(ended, "");
        EXPECT_EQ(tries, 1);
        head.setBeforeReserveHook({});
        head.closeAll();
        ASSERT_EQ(head.open(), 0) << rt::fileErrorText();
    }
    // Nothing of the failed attempts was stored, and a new session numbers on.
    EXPECT_EQ(head.records(), 1);
    ASSERT_EQ(addHead("H2", "2"), 0);
    EXPECT_EQ(H.ID, 2);
}

// The duplicate test has three answers: none, a duplicate, and "could not tell", which stops the
// insert with the check's error instead of storing.
TEST_P(Server, TheDuplicateTestTellsACheckThatFailedFromNoDuplicate) {
    using C = rt::TableDriver::Collision;
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("H1", "1"), 0);
    const rt::KeyDef& byCode = Defs::head().keys[static_cast<std::size_t>(Defs::head().findKey("KeyCode"))];
    rt::StoreError e;
    head.clearBuffer();
    H.Code = "1";
    EXPECT_EQ(head.driver()->collides(byCode, false, e), C::Duplicate);
    H.Code = "2";
    EXPECT_EQ(head.driver()->collides(byCode, false, e), C::None);
    // The table goes away under the open file: the test cannot be made.
    ASSERT_EQ(exec(sqlite() ? "DROP TABLE HEAD" : "DROP TABLE dbo.head"), "");
    EXPECT_EQ(head.driver()->collides(byCode, false, e), C::CheckFailed);
    EXPECT_FALSE(e.ok());
    head.clearBuffer();
    H.ID = 5;
    H.Name = "H5";
    H.Code = "5";
    EXPECT_EQ(head.insertAsIs(), rt::ErrFileSystem);
    EXPECT_FALSE(rt::fileErrorText().empty());
}

// The server drops the session while another table of the thread still holds it: the next open
// connects anew instead of handing out the dead connection again.
TEST_P(Server, AfterALostConnectionTheNextOpenConnectsAnew) {
    if (sqlite()) GTEST_SKIP() << "a file database has no session to end";
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(line.open(), 0);
    ASSERT_EQ(addHead("H1", "1"), 0);
    ASSERT_EQ(exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                   " WHERE datname = current_database() AND pid <> pg_backend_pid()"),
              "");
    EXPECT_LT(head.records(), 0);  // the loss shows on the next statement
    head.close();
    ASSERT_EQ(head.open(), 0) << rt::fileErrorText();
    EXPECT_EQ(head.records(), 1);
    // The table that still held the old connection gets the new one when it opens again.
    line.close();
    ASSERT_EQ(line.open(), 0) << rt::fileErrorText();
    EXPECT_EQ(line.records(), 0);
}

TEST_P(Server, DateTimeColumnHoldsDateAndTime) {
    LogRecord g;
    rt::FileManager log(Defs::log(), &g);
    ASSERT_EQ(log.open(), 0);
    g.Name = "vwCubes";
    g.Version = 3;
    g.Updated_Date = rt::dateFromYmd(2026, 12, 8);
    g.Updated_Time = rt::timeFromHms(14, 5, 30, 25);
    ASSERT_EQ(log.insert(), 0);
    g = LogRecord();
    g.Name = "VWCUBES";
    g.Version = 3;
    ASSERT_EQ(log.fetch("LOG:byName"), 0) << rt::fileErrorText();
    EXPECT_EQ(g.Updated_Date, rt::dateFromYmd(2026, 12, 8));
    EXPECT_EQ(g.Updated_Time, rt::timeFromHms(14, 5, 30, 25));
    // One server column.
    ASSERT_EQ(log.setSql(sqlite() ? "SELECT COUNT(*) FROM pragma_table_info('UPDLOG')"
                                  : "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = 'updlog'"),
              0);
    ASSERT_EQ(log.next(), 0);
    EXPECT_EQ(g.Version, 0);  // the first column went into the first field
    EXPECT_EQ(g.Name, "3");
    log.close();
}

TEST_P(Server, SqlTextRowsArriveInFieldsInColumnOrder) {
    CarrierRecord c;
    rt::FileManager fm(carrierDef(), &c);
    ASSERT_EQ(exec(sqlite() ? "CREATE TABLE CARRIER (C01 VARCHAR(255), C02 VARCHAR(255), C03 INT)"
                            : "CREATE TABLE dbo.CARRIER (C01 VARCHAR(255), C02 VARCHAR(255), C03 INT)"),
              "");
    ASSERT_EQ(fm.open(), 0);
    ASSERT_EQ(fm.setSql("SELECT 12, 'x' UNION ALL SELECT 13, 'y' ORDER BY 1"), 0);
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(c.C01, "12");
    EXPECT_EQ(c.C02, "x");
    EXPECT_EQ(c.C03, 0);  // fewer columns than fields
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(c.C01, "13");
    EXPECT_EQ(fm.next(), 33);
    ASSERT_EQ(fm.setSql("SELECT 'a', 'b', '42'"), 0);
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(c.C03, 42);  // converted to the field's type
    // A statement without a result gives no rows (not the table's records).
    ASSERT_EQ(fm.setSql("INSERT INTO CARRIER (C01) VALUES ('stored')"), 0);
    EXPECT_EQ(fm.next(), 33);
    EXPECT_EQ(fm.setSql("SELEC nonsense"), 90);
    EXPECT_FALSE(rt::fileErrorCode().empty());
    fm.close();
}

TEST_P(Server, FieldlessTableOnlyConnects) {
    NoFields nf;
    rt::FileManager channel(channelDef(), &nf);
    ASSERT_EQ(channel.open(), 0);
    EXPECT_EQ(channel.setSql("CREATE TABLE made_by_channel (a INT)"), 0);
    EXPECT_EQ(channel.setSql("CREATE TABLE made_by_channel (a INT)"), 90);  // exists: fails, reported
    EXPECT_EQ(exec("SELECT a FROM made_by_channel"), "");
    channel.close();
}

TEST_P(Server, SqliteBackEndMapsDboAndAnswersTheCatalogue) {
    if (!sqlite()) GTEST_SKIP() << "PostgreSQL has its own catalogue";
    CarrierRecord c;
    rt::FileManager fm(carrierDef(), &c);
    fm.send("/TURBOSQL=TRUE");
    ASSERT_EQ(fm.open(), 0);
    auto first = [&](const std::string& sql) -> std::string {
        if (fm.setSql(sql) != 0) return "error: " + rt::fileErrorText();
        if (fm.next() != 0) return "no row";
        return c.C01.str();
    };
    // The version check of the start-up.
    EXPECT_EQ(first("SELECT 1 FROM INFORMATION_SCHEMA.TABLES where table_name = 'tversion'"), "no row");
    ASSERT_EQ(exec("CREATE TABLE tversion (cVersion VARCHAR(8))"), "");
    ASSERT_EQ(exec("INSERT INTO tversion VALUES ('0.9.9700')"), "");
    EXPECT_EQ(first("SELECT 1 FROM INFORMATION_SCHEMA.TABLES where table_name = 'tversion'"), "1");
    EXPECT_EQ(first("select cVersion from dbo.tversion"), "0.9.9700");

    // The cube checks and the widening query.
    ASSERT_EQ(fm.setSql("CREATE TABLE VOQCUBEKOPF (ID INT, Connect VARCHAR(100), TabName VARCHAR(50))"), 0);
    EXPECT_EQ(first("SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VOQCUBEKOPF'"), "3");
    EXPECT_EQ(first("SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VOQCUBEKOPF' AND "
                    "COLUMN_NAME = 'TABNAME'"),
              "1");
    EXPECT_EQ(first("SELECT CHARACTER_MAXIMUM_LENGTH FROM demo.[INFORMATION_SCHEMA].[COLUMNS] WHERE [TABLE_NAME] = "
                    "'VOQCUBEKOPF' AND COLUMN_NAME = 'CONNECT'"),
              "100");
    // Refreshed after DDL.
    ASSERT_EQ(fm.setSql("alter table dbo.VOQCUBEKOPF add Query TEXT"), 0);
    EXPECT_EQ(first("SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VOQCUBEKOPF'"), "4");
    EXPECT_EQ(first("SELECT CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VOQCUBEKOPF' "
                    "AND COLUMN_NAME = 'Query'"),
              "2147483647");
    EXPECT_EQ(first("SELECT count(*) FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'vwNone'"), "0");
    ASSERT_EQ(fm.setSql("CREATE VIEW vwCubes AS SELECT ID FROM VOQCUBEKOPF"), 0);
    EXPECT_EQ(first("SELECT count(*) FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'vwcubes'"), "1");
    EXPECT_EQ(first("SELECT count(*) FROM INFORMATION_SCHEMA.ROUTINES WHERE UPPER(ROUTINE_NAME) = 'FNX'"), "0");
    EXPECT_EQ(first("SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'VOQCUBEKOPF'"), "dbo");
    // A carrier declared over the old column catalogue opens with its check.
    struct Cols {
        rt::String<255> F1;
        rt::String<255> F2;
    };
    static const rt::TableDef sysDef = rt::TableBuilder<Cols>("SQLFile", "SQLF")
                                           .server("dbo.syscolumns", [] { return gConnect.get(); })
                                           .field(&Cols::F1, "F1", "@s255", "name")
                                           .field(&Cols::F2, "F2", "@s255", "name")
                                           .build();
    Cols cols;
    rt::FileManager sys(sysDef, &cols);
    ASSERT_EQ(sys.open(), 0) << rt::fileErrorText();
    ASSERT_EQ(sys.setSql("SELECT ID, Connect FROM dbo.VOQCUBEKOPF"), 0);
    EXPECT_EQ(sys.next(), 33);
    sys.close();
    // T-SQL fails cleanly with the driver's message.
    EXPECT_EQ(fm.setSql("IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'vwCubes') DROP VIEW "
                        "[vwCubes]"),
              90);
    EXPECT_FALSE(rt::fileErrorText().empty());
    fm.close();
}

TEST_P(Server, PerThreadConnectionsSeeEachOthersCommittedRows) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("main", "M"), 0);
    long long seen = -1;
    std::thread([&] {
        HeadRecord mine;
        rt::FileManager fm(Defs::head(), &mine);
        seen = fm.records();
        mine.Code = "T";
        fm.primeRecord(true);
        fm.insert();
    }).join();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(H.Name, "main");
    EXPECT_EQ(head.records(), 2);
}

TEST_P(Server, KeyOrderIsReadInWindowsWithoutLosingThePlace) {
    ASSERT_EQ(head.open(), 0);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(addHead(i % 2 ? "" : "n" + std::to_string(i), std::to_string(i)), 0);
    int saved = rt::serverReadWindow();
    rt::serverReadWindow() = 3;
    std::vector<int> forward, backward;
    head.setOrder("HEAD:KeyID");
    while (head.next() == 0) {
        forward.push_back(H.ID);
        if (H.ID == 4) {
            ASSERT_EQ(head.deleteRecord(), 0);
        }
    }
    head.setOrder("HEAD:KeyCode");
    while (head.previous() == 0) backward.push_back(H.ID);
    rt::serverReadWindow() = saved;
    EXPECT_EQ(forward, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(backward, (std::vector<int>{10, 9, 8, 7, 6, 5, 3, 2, 1}));
}

TEST_P(Server, TransactionsAndChangesMeanwhile) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(head.beginTransaction(2), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(head.rollback(), 0);
    EXPECT_EQ(head.records(), 0);
    ASSERT_EQ(head.beginTransaction(2), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(head.commit(), 0);
    EXPECT_EQ(head.records(), 1);

    HeadRecord theirs;
    rt::FileManager other(Defs::head(), &theirs);
    theirs.ID = 1;
    ASSERT_EQ(other.fetch("HEAD:KeyID"), 0);
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    theirs.Zeitraum = 9;
    ASSERT_EQ(other.update(), 0);
    H.Name = "mine";
    EXPECT_EQ(head.updateIfUnchanged(), 89);
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    H.Name = "mine";
    EXPECT_EQ(head.updateIfUnchanged(), 0);
}

TEST_P(Server, LongNocaseKeysStepBothWays) {
    struct Upd {
        rt::Long ID = 0;
        rt::Long SETUPID = 0;
        rt::String<20> TYPE;
        rt::String<60> NAME;
    };
    static const rt::TableDef def = rt::TableBuilder<Upd>("SKRIPT", "UPD")
                                        .server("dbo.UPDS", [] { return gConnect.get(); })
                                        .create()
                                        .field(&Upd::ID, "ID")
                                        .field(&Upd::SETUPID, "SETUPID")
                                        .field(&Upd::TYPE, "TYPE")
                                        .field(&Upd::NAME, "NAME")
                                        .key("BY_ID", {"ID"}, rt::Unique | rt::Primary | rt::NoCase, {}, 1)
                                        .key("BY_TYPE", {"SETUPID", "ID", "TYPE", "NAME"}, rt::Dup | rt::NoCase)
                                        .key("BY_NAME", {"SETUPID", "TYPE", "NAME"}, rt::Dup | rt::NoCase)
                                        .build();
    Upd u;
    rt::FileManager fm(def, &u);
    ASSERT_EQ(fm.open(), 0);
    const char* names[] = {"über", "Zahl", "ähnlich", "Über", "alpha"};
    for (auto* n : names) {
        u = Upd();
        u.SETUPID = 1;
        u.TYPE = "View";
        u.NAME = n;
        ASSERT_EQ(fm.insert(), 0) << rt::fileErrorText();
    }
    // From the end backwards, then from a value: the start value's case does not matter.
    fm.setOrder("UPD:BY_NAME");
    std::vector<std::string> back;
    while (fm.previous() == 0) back.emplace_back(u.NAME.clipped());
    ASSERT_EQ(back.size(), 5u) << rt::fileErrorText();
    auto first = std::find(back.begin(), back.end(), "über");
    auto second = std::find(back.begin(), back.end(), "Über");
    ASSERT_TRUE(first != back.end() && second != back.end());
    EXPECT_EQ(std::abs(first - second), 1);  // both spellings side by side
    u = Upd();
    u.SETUPID = 1;
    u.TYPE = "view";
    u.NAME = "ZAHL";
    ASSERT_EQ(fm.setFrom("UPD:BY_NAME"), 0);
    ASSERT_EQ(fm.previous(), 0);
    EXPECT_EQ(u.NAME.clipped(), "Zahl");
    EXPECT_EQ(u.TYPE.clipped(), "View");
    fm.setOrder("UPD:BY_TYPE");
    int n = 0;
    while (fm.next() == 0) ++n;
    EXPECT_EQ(n, 5) << rt::fileErrorText();
    fm.close();
}

TEST_P(Server, LongTextArrivesWhole) {
    struct LongRec {
        rt::CString<12001> Text;
    };
    static const rt::TableDef def = rt::TableBuilder<LongRec>("LongText", "LT")
                                        .server("dbo.LONGTEXT", [] { return gConnect.get(); })
                                        .create()
                                        .field(&LongRec::Text, "Text", "@s255")
                                        .build();
    LongRec r;
    rt::FileManager fm(def, &r);
    ASSERT_EQ(fm.open(), 0) << rt::fileErrorText();
    std::string text;
    for (int i = 0; i < 10000; ++i) text += i % 3 ? "ä" : "x";  // UTF-8 across the read chunks
    r.Text = text;
    ASSERT_EQ(fm.insertAsIs(), 0) << rt::fileErrorText();
    r = LongRec();
    fm.setOrder(-1);
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(r.Text.str(), text);
    fm.close();
}

TEST_P(Server, TextKeysFoldEveryLetterOfUpperAndIgnoreTrailingBlanks) {
    struct Word {
        rt::Long ID = 0;
        rt::CString<81> Name;
        rt::CString<21> Exact;
    };
    static const rt::TableDef def = rt::TableBuilder<Word>("Word", "WRD")
                                        .server("dbo.WORDS", [] { return gConnect.get(); })
                                        .create()
                                        .field(&Word::ID, "ID")
                                        .field(&Word::Name, "Name")
                                        .field(&Word::Exact, "Exact")
                                        .key("KeyID", {"ID"}, rt::Unique | rt::Primary, {}, 1)
                                        .key("KeyName", {"Name"}, rt::Unique | rt::NoCase | rt::Opt)
                                        .key("KeyExact", {"Exact"}, rt::Dup)
                                        .build();
    Word w;
    rt::FileManager fm(def, &w);
    ASSERT_EQ(fm.open(), 0) << rt::fileErrorText();
    // Every letter that upper() folds, more than one stage of the SQLite fold.
    const std::string lowerAll = "àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþÿšžœ";
    struct Case {
        const char* stored;
        const char* asked;  // another spelling that must find it
    };
    const std::vector<Case> cases = {
        {"Änderungen", "ÄNDERUNGEN "}, {"öl", "Öl"},       {"Müller ", "MÜLLER"}, {"café", "CAFÉ"}, {"ÿšžœ", "ŸŠŽŒ"},
        {"abc xyz", "ABC XYZ   "},     {"plain", "Plain"},
    };
    for (const auto& c : cases) {
        w = Word();
        w.Name = c.stored;
        w.Exact = c.stored;
        ASSERT_EQ(fm.insert(), 0) << c.stored << " " << rt::fileErrorText();
    }
    w = Word();
    w.Name = lowerAll;
    ASSERT_EQ(fm.insert(), 0) << rt::fileErrorText();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        w = Word();
        w.Name = c.asked;
        ASSERT_EQ(fm.fetch("WRD:KeyName"), 0) << rt::fileErrorText();
        EXPECT_EQ(w.Name.str(), c.stored);
        w.ID = 0;
        w.Name = c.asked;
        EXPECT_EQ(fm.insert(), rt::ErrDuplicateKey);  // the same name in another spelling
    }
    w = Word();
    w.Name = rt::upper(lowerAll) + "  ";
    ASSERT_EQ(fm.fetch("WRD:KeyName"), 0);
    EXPECT_EQ(w.Name.str(), lowerAll);
    // Not letters of upper(): ß, ÷ and × stay themselves.
    for (const char* other : {"ß", "÷"}) {
        w = Word();
        w.Name = other;
        ASSERT_EQ(fm.insert(), 0) << other;
    }
    w = Word();
    w.Name = "×";
    EXPECT_EQ(fm.fetch("WRD:KeyName"), 35);
    w.Name = "SS";
    EXPECT_EQ(fm.fetch("WRD:KeyName"), 35);

    // A key without nocase keeps the case but not the trailing blanks.
    w = Word();
    w.Exact = "Müller";
    ASSERT_EQ(fm.fetch("WRD:KeyExact"), 0);
    EXPECT_EQ(w.Name.str(), "Müller ");
    w = Word();
    w.Exact = "müller";
    EXPECT_EQ(fm.fetch("WRD:KeyExact"), 35);

    // Name order folds as upper() does; from a value in another spelling, both ways.
    std::vector<std::string> order;
    fm.setOrder("WRD:KeyName");
    while (fm.next() == 0) order.emplace_back(w.Name.clipped());
    EXPECT_EQ(order, (std::vector<std::string>{"abc xyz", "café", "Müller", "plain", lowerAll, "Änderungen", "öl", "ß",
                                               "÷", "ÿšžœ"}));
    w = Word();
    w.Name = "ÖL ";
    ASSERT_EQ(fm.setFrom("WRD:KeyName"), 0);
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(w.Name.str(), "öl");
    ASSERT_EQ(fm.next(), 0);
    EXPECT_EQ(w.Name.str(), "ß");
    w.Name = "öL";
    ASSERT_EQ(fm.setFrom("WRD:KeyName"), 0);
    ASSERT_EQ(fm.previous(), 0);
    EXPECT_EQ(w.Name.str(), "öl");
    ASSERT_EQ(fm.previous(), 0);
    EXPECT_EQ(w.Name.str(), "Änderungen");
    fm.close();
}

TEST_P(Server, ReadOnlyTablesRefuseEveryWriteAtOnce) {
    ASSERT_EQ(addHead("Kopf", "1"), 0);
    ASSERT_EQ(addLine(1, "a"), 0);
    ASSERT_EQ(addLine(1, "b"), 0);
    static const rt::TableDef roHeadDef = makeHead(rt::StoreKind::Server, true);
    static const rt::TableDef roLineDef = makeLine(rt::StoreKind::Server, true);
    HeadRecord rh;
    LineRecord rl;
    rt::FileManager roHead(roHeadDef, &rh);
    rt::FileManager roLine(roLineDef, &rl);
    rt::RelationManager roHeadRm(roHead), roLineRm(roLine);
    // Read-only header over writable lines, and a writable header over read-only lines.
    roHeadRm.setLookup(
        [&](std::string_view l) -> rt::RelationManager* { return rt::equalsNoCase(l, "Line") ? &lineRm : nullptr; });
    headRm.setLookup(
        [&](std::string_view l) -> rt::RelationManager* { return rt::equalsNoCase(l, "Line") ? &roLineRm : nullptr; });
    auto rowCount = [&](const char* table) {
        HeadRecord h;
        LineRecord l;
        bool isHead = std::string(table) == "Head";
        rt::FileManager probe(isHead ? Defs::head() : Defs::line(), isHead ? static_cast<void*>(&h) : &l);
        return probe.records();
    };

    EXPECT_TRUE(roHead.readOnly());
    EXPECT_FALSE(roHead.isOpen());
    EXPECT_EQ(roHead.insert(), rt::ErrAccessDenied);
    EXPECT_FALSE(roHead.isOpen());  // refused before the store is asked
    EXPECT_EQ(rt::errorCode(), 5);
    EXPECT_EQ(rt::errorText(), "Access Denied");
    rh.ID = 1;
    ASSERT_EQ(roHead.fetch("HEAD:KeyID"), 0);  // reading is fine
    EXPECT_EQ(rh.Name, "Kopf");
    rh.Name = "Neu";
    struct Write {
        const char* what;
        std::function<int()> run;
    };
    const std::vector<Write> writes = {
        {"insert", [&] { return roHead.insert(); }},
        {"insertAsIs", [&] { return roHead.insertAsIs(); }},
        {"update", [&] { return roHead.update(); }},
        {"updateIfUnchanged", [&] { return roHead.updateIfUnchanged(); }},
        {"deleteRecord", [&] { return roHead.deleteRecord(); }},
        {"primeRecord", [&] { return roHead.primeRecord(); }},  // numbering would store it
        {"relation update", [&] { return roHeadRm.update(); }},
        {"relation delete", [&] { return roHeadRm.deleteRecord(); }},
        {"relation insert", [&] { return roHeadRm.insert(); }},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.what);
        rt::clearError();
        EXPECT_EQ(w.run(), rt::ErrAccessDenied);
        EXPECT_EQ(rt::errorCode(), 5);
    }
    EXPECT_EQ(rowCount("Head"), 1);
    EXPECT_EQ(rowCount("Line"), 2);
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "Kopf");

    // A cascade into read-only lines refuses the header's delete; nothing is deleted.
    EXPECT_EQ(headRm.deleteRecord(), rt::ErrAccessDenied);
    EXPECT_EQ(rowCount("Head"), 1);
    EXPECT_EQ(rowCount("Line"), 2);

    // A table opened read only refuses writes as well, until it is opened again for writing.
    roLine.closeAll();
    line.closeAll();
    ASSERT_EQ(line.open(rt::OpenMode::ReadOnly), 0);
    EXPECT_TRUE(line.readOnly());
    L.ID = 1;
    ASSERT_EQ(line.fetch("LINE:KeyID"), 0);
    EXPECT_EQ(line.deleteRecord(), rt::ErrAccessDenied);
    line.close();
    EXPECT_FALSE(line.readOnly());
    EXPECT_EQ(rowCount("Line"), 2);
    roHead.closeAll();
}

TEST_P(Server, ValuesLongerThanTheirColumnArriveWhole) {
    if (!sqlite()) GTEST_SKIP() << "PostgreSQL keeps to the column's size";
    struct Narrow {
        rt::Long ID = 0;
        rt::CString<81> Name;
    };
    static const rt::TableDef def = rt::TableBuilder<Narrow>("Narrow", "NAR")
                                        .server("dbo.NARROW", [] { return gConnect.get(); })
                                        .field(&Narrow::ID, "ID")
                                        .field(&Narrow::Name, "Name")
                                        .key("KeyID", {"ID"}, rt::Unique | rt::Primary)
                                        .build();
    // SQLite keeps any length in a VARCHAR(5) column; the driver still reports size 5.
    ASSERT_EQ(exec("CREATE TABLE NARROW (ID INT, Name VARCHAR(5))"), "");
    std::string longText;
    for (int i = 0; i < 30; ++i) longText += "ä";
    ASSERT_EQ(exec("INSERT INTO NARROW VALUES (1, 'abc'), (2, '" + longText + "'), (3, NULL)"), "");
    Narrow r;
    rt::FileManager fm(def, &r);
    ASSERT_EQ(fm.open(), 0) << rt::fileErrorText();
    std::vector<std::string> names;
    fm.setOrder("NAR:KeyID");
    while (fm.next() == 0) names.push_back(r.Name.str());
    EXPECT_EQ(names, (std::vector<std::string>{"abc", longText, ""}));
    r.ID = 2;
    ASSERT_EQ(fm.fetch("NAR:KeyID"), 0);
    EXPECT_EQ(r.Name.str(), longText);
    fm.close();
}
