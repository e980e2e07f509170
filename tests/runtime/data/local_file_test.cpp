// Local table files: SQLite files through the table layer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "runtime/data/back_end.h"
#include "runtime/thread/thread_state.h"
#include "tests/runtime/data/fixture_tables.h"
#include "tests/support/test_support.h"

using namespace fixture;
namespace fs = std::filesystem;

namespace {

using Defs = StoreDefs<rt::StoreKind::LocalFile>;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class LocalFile : public ::testing::Test, protected HeadAndLines<rt::StoreKind::LocalFile> {
protected:
    void SetUp() override {
        gHeadFile.set(dir.file("ORDERS"));
        declareRelations();
        rt::clearError();
    }
    void TearDown() override {
        line.closeAll();
        head.closeAll();
    }

    voq::test::TempDir dir;
};

}  // namespace

TEST_F(LocalFile, MissingFileIsCreatedOnlyWithCreateFlagAndGetsTps) {
    head.setCreate(false);
    EXPECT_EQ(head.open(), 2);
    EXPECT_EQ(rt::errorCode(), 2);
    EXPECT_EQ(rt::errorText(), "Datei nicht gefunden");
    EXPECT_FALSE(fs::exists(dir.file("ORDERS.TPS")));

    head.setCreate(true);
    ASSERT_EQ(head.open(), 0);
    EXPECT_TRUE(fs::exists(dir.file("ORDERS.TPS")));
    EXPECT_EQ(head.openedName(), dir.file("ORDERS.TPS"));
    EXPECT_EQ(head.records(), 0);
}

TEST_F(LocalFile, SeveralTablesShareOneFile) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(line.open(), 0);
    ASSERT_EQ(addHead("Eins", "A"), 0);
    ASSERT_EQ(addLine(H.ID, "x"), 0);
    EXPECT_EQ(head.records(), 1);
    EXPECT_EQ(line.records(), 1);
    EXPECT_EQ(head.openedName(), line.openedName());
}

TEST_F(LocalFile, FilesNotOursOrOfAnotherLayoutGive47AndStayUntouched) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
    };
    std::vector<Case> cases = {
        {"text file", [](const std::string& p) { std::ofstream(p) << "not a table file\n"; }},
        {"empty file", [](const std::string& p) { std::ofstream{p}; }},
        {"damaged SQLite file",
         [](const std::string& p) {
             std::ofstream out(p, std::ios::binary);
             out.write("SQLite format 3\0", 16);
             for (int i = 0; i < 5000; ++i) out.put(static_cast<char>(i * 37));
         }},
        {"foreign SQLite file",
         [](const std::string& p) {
             std::string cs = voq::test::sqliteConnectString(p);
             ASSERT_EQ(voq::test::execSql(cs, "CREATE TABLE other (a INT)"), "");
         }},
        {"our file, other layout",
         [](const std::string& p) {
             struct Other {
                 rt::Long ID;
             };
             static const rt::TableDef other =
                 rt::TableBuilder<Other>("Head", "HEAD").localFile(p).create().field(&Other::ID, "ID").build();
             Other o;
             rt::FileManager fm(other, &o);
             ASSERT_EQ(fm.open(), 0);
             fm.close();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dir.file(std::string("F") + std::to_string(&c - cases.data()) + ".TPS");
        c.make(path);
        std::string before = slurp(path);
        head.setName(path);
        EXPECT_EQ(head.open(), 47);
        EXPECT_EQ(rt::errorCode(), 47);
        EXPECT_EQ(rt::errorText(), "Ungültige Satzbeschreibung");
        EXPECT_FALSE(head.isOpen());
        EXPECT_EQ(slurp(path), before);
    }
}

TEST_F(LocalFile, MissingKeysGive38AndAreMadeAgainKeepingTheRecords) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(addHead("b", "2"), 0);
    head.closeAll();
    const std::string path = dir.file("ORDERS.TPS");
    const std::string cs = voq::test::sqliteConnectString(path);
    ASSERT_EQ(voq::test::execSql(cs, "DROP INDEX \"Head$KeyCode\""), "");
    EXPECT_EQ(head.open(), rt::ErrInvalidKeyFile);
    EXPECT_EQ(rt::errorText(), "Ungültige Schlüsseldatei");
    ASSERT_EQ(head.buildKeys(), 0);
    ASSERT_EQ(head.open(), 0);
    EXPECT_EQ(head.records(), 2);
    H.Code = "2";
    ASSERT_EQ(head.fetch("KeyCode"), 0);
    EXPECT_EQ(H.Name.clipped(), "b");
    head.closeAll();

    // Records that collide on a unique key: the keys cannot be made, the file stays as it was.
    for (const char* key : {"KeyID", "KeyName", "KeyCode"})
        ASSERT_EQ(voq::test::execSql(cs, std::string("DROP INDEX \"Head$") + key + "\""), "");
    ASSERT_EQ(voq::test::execSql(cs, "INSERT INTO \"Head\" SELECT * FROM \"Head\""), "");
    const std::string before = slurp(path);
    EXPECT_NE(head.buildKeys(), 0);
    EXPECT_EQ(head.open(), rt::ErrInvalidKeyFile);
    EXPECT_EQ(slurp(path), before);
}

TEST_F(LocalFile, UnwritableFileIsAccessDenied) {
    ASSERT_EQ(head.open(), 0);
    head.close();
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anything";
    ::chmod(dir.file("ORDERS.TPS").c_str(), 0444);
    EXPECT_EQ(head.open(), 5);
    EXPECT_EQ(head.open(rt::OpenMode::ReadOnly), 0);
}

TEST_F(LocalFile, OpenIsCountedAndUseOpensOnFirstUse) {
    EXPECT_FALSE(head.isOpen());
    EXPECT_EQ(head.records(), 0);  // open on first use
    EXPECT_TRUE(head.isOpen());
    EXPECT_EQ(head.openCount(), 0);
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(head.open(), 0);
    head.close();
    EXPECT_TRUE(head.isOpen());
    head.close();
    EXPECT_FALSE(head.isOpen());
}

TEST_F(LocalFile, SizeInBytesIsTheRecordsAtTheDeclaredRecordSize) {
    // LONG 4, CSTRING(21) 21, STRING(10) 10, BYTE 1, SHORT 2, DECIMAL(5,1) 3, DATE 4; the memo apart.
    EXPECT_EQ(head.desc().byteSize(), 45u);
    EXPECT_EQ(head.bytes(), 0);  // an empty file: the caller must not divide by it
    for (const char* code : {"A", "B", "C"}) {
        head.clearBuffer();
        H.Code = code;
        ASSERT_EQ(head.insert(), 0);
    }
    EXPECT_EQ(head.bytes(), 3 * 45);
}

TEST_F(LocalFile, SqlTextNeedsAnOpenTable) {
    EXPECT_EQ(head.setSql("SELECT 1"), 37);
    EXPECT_EQ(rt::errorText(), "File Not Open");
}

TEST_F(LocalFile, PrimingNumbersAndSetsTheTablesValues) {
    rt::setTestClock(rt::dateFromYmd(2026, 12, 8), 1);
    ASSERT_EQ(head.open(), 0);
    H.Name = "stale";
    H.Code = "A";
    ASSERT_EQ(headRm.primeRecord(), 0);  // clears: the code is blank again
    EXPECT_EQ(H.ID, 1);
    EXPECT_EQ(H.Activ, 1);
    EXPECT_EQ(H.Zeitraum, 3);
    EXPECT_TRUE(H.Name.empty());
    EXPECT_TRUE(head.reserved());
    EXPECT_EQ(head.records(), 1);  // stored at once: the number is reserved
    H.Code = "A";
    ASSERT_EQ(head.insert(), 0);  // completes the reserved record
    EXPECT_EQ(head.records(), 1);

    H.Name = "keep me";
    H.Code = "B";
    ASSERT_EQ(headRm.primeRecord(true), 0);
    EXPECT_EQ(H.ID, 2);
    EXPECT_EQ(H.Name, "keep me");
    ASSERT_EQ(head.insert(), 0);
    H.ID = 2;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "keep me");
    rt::clearTestClock();
}

TEST_F(LocalFile, NumberingWithinTheHeader) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(line.open(), 0);
    ASSERT_EQ(addLine(1, "a"), 0);
    EXPECT_EQ(L.PosNr, 1);
    ASSERT_EQ(addLine(1, "b"), 0);
    EXPECT_EQ(L.PosNr, 2);
    ASSERT_EQ(addLine(2, "c"), 0);
    EXPECT_EQ(L.PosNr, 1);
    EXPECT_EQ(L.ID, 3);
}

TEST_F(LocalFile, DuplicateOnAnotherUniqueKeyIsReportedNotRetried) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("one", "SAME"), 0);
    int attempts = 0;
    head.setBeforeReserveHook([&] { ++attempts; });
    EXPECT_EQ(addHead("two", "same"), 40);  // nocase: "same" is "SAME"
    EXPECT_EQ(rt::errorCode(), 40);
    EXPECT_EQ(rt::errorText(), "Doppelter Schlüssel");
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(head.reserved());
    EXPECT_EQ(head.records(), 1);
}

TEST_F(LocalFile, NumberTakenMeanwhileIsRetriedAtMostTenTimes) {
    ASSERT_EQ(head.open(), 0);
    HeadRecord other;
    rt::FileManager rival(Defs::head(), &other);
    ASSERT_EQ(rival.open(), 0);
    int taken = 0;
    // Another user stores the number just chosen, twice; the third attempt gets through.
    head.setBeforeReserveHook([&] {
        if (taken >= 2) return;
        other = HeadRecord();
        other.ID = H.ID;
        other.Code = "R" + std::to_string(++taken);
        ASSERT_EQ(rival.insertAsIs(), 0);
    });
    H.Code = "MINE";
    ASSERT_EQ(head.primeRecord(true), 0);
    EXPECT_EQ(H.ID, 3);

    int attempts = 0;
    head.setBeforeReserveHook([&] {
        ++attempts;
        other = HeadRecord();
        other.ID = H.ID;
        other.Code = "S" + std::to_string(attempts);
        ASSERT_EQ(rival.insertAsIs(), 0);
    });
    H.Code = "MINE2";
    EXPECT_EQ(head.primeRecord(true), 40);
    EXPECT_EQ(attempts, 10);
}

TEST_F(LocalFile, CancelledInsertDeletesTheReservedRecordWithItsCascade) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(line.open(), 0);
    H.Code = "COPY";
    ASSERT_EQ(headRm.primeRecord(true), 0);
    int id = H.ID;
    ASSERT_EQ(addLine(id, "copied field"), 0);
    ASSERT_EQ(addLine(id, "copied field 2"), 0);
    H.Name = "typed but cancelled";
    ASSERT_EQ(headRm.cancelReserved(), 0);
    EXPECT_EQ(head.records(), 0);
    EXPECT_EQ(line.records(), 0);
    // The blank code is free again.
    EXPECT_EQ(addHead("next", "COPY"), 0);
}

TEST_F(LocalFile, CascadeOnUpdateAndDelete) {
    ASSERT_EQ(headRm.open(), 0);
    EXPECT_TRUE(line.isOpen());  // opened with its related table
    ASSERT_EQ(addHead("H1", "1"), 0);
    ASSERT_EQ(addHead("H2", "2"), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(addLine(1, "one"), 0);
    ASSERT_EQ(addLine(2, "two"), 0);

    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    H.ID = 10;
    ASSERT_EQ(headRm.update(), 0);
    int moved = 0;
    L.ID_HEAD = 10;
    L.PosNr = 0;
    line.setFrom("LINE:KeyHead");
    while (line.next() == 0 && L.ID_HEAD == 10) ++moved;
    EXPECT_EQ(moved, 3);

    H.ID = 10;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    ASSERT_EQ(headRm.deleteRecord(), 0);
    EXPECT_EQ(head.records(), 1);
    EXPECT_EQ(line.records(), 1);
    line.setOrder("LINE:KeyHead");
    ASSERT_EQ(line.next(), 0);
    EXPECT_EQ(L.ID_HEAD, 2);
    headRm.close();
    EXPECT_FALSE(line.isOpen());
}

TEST_F(LocalFile, NocaseOrderFoldsGermanLettersAndOptLeavesOutEmpty) {
    ASSERT_EQ(head.open(), 0);
    const char* names[] = {"zebra", "Äpfel", "apfel", "", "Birne", "ärger", ""};
    int n = 0;
    for (auto* name : names) ASSERT_EQ(addHead(name, std::to_string(n++)), 0) << name;
    EXPECT_EQ(addHead("BIRNE", "x"), 40);

    std::vector<std::string> seen;
    head.setOrder("HEAD:KeyName");
    while (head.next() == 0) seen.emplace_back(H.Name.str());
    EXPECT_EQ(seen, (std::vector<std::string>{"apfel", "Birne", "zebra", "Äpfel", "ärger"}));

    seen.clear();
    head.setOrder("HEAD:KeyName");
    while (head.previous() == 0) seen.emplace_back(H.Name.str());
    EXPECT_EQ(seen, (std::vector<std::string>{"ärger", "Äpfel", "zebra", "Birne", "apfel"}));

    H.Name = "BIRNE";
    ASSERT_EQ(head.fetch("HEAD:KeyName"), 0);
    EXPECT_EQ(H.Name, "Birne");
    H.Name = "äRGER";
    EXPECT_EQ(head.fetch("HEAD:KeyName"), 0);
    H.Name = "nichts";
    EXPECT_EQ(head.fetch("HEAD:KeyName"), 35);
    EXPECT_EQ(rt::errorText(), "Datensatz nicht gefunden");
    EXPECT_EQ(head.records(), 7);
}

TEST_F(LocalFile, SetFromStepBothWaysAndResetToSavedPosition) {
    ASSERT_EQ(head.open(), 0);
    for (int i = 0; i < 6; ++i) ASSERT_EQ(addHead("n" + std::to_string(i), std::to_string(i)), 0);
    H.ID = 3;
    head.setFrom("HEAD:KeyID");
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 3);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 4);
    auto saved = head.position();
    ASSERT_EQ(head.previous(), 0);
    EXPECT_EQ(H.ID, 3);
    H.ID = 3;
    head.setFrom("HEAD:KeyID");
    ASSERT_EQ(head.previous(), 0);
    EXPECT_EQ(H.ID, 3);
    ASSERT_EQ(head.previous(), 0);
    EXPECT_EQ(H.ID, 2);

    head.resetTo(head.keyIndex("HEAD:KeyID"), saved);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 4);
    ASSERT_EQ(head.next(), 0);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 6);
    EXPECT_EQ(head.next(), 33);
    EXPECT_EQ(rt::errorText(), "Record Not Available");

    // Backwards from the end: the highest number.
    head.setOrder("HEAD:KeyID");
    ASSERT_EQ(head.previous(), 0);
    EXPECT_EQ(H.ID, 6);
}

// A place taken in a unique key's order, given back in the table's own order (the row id's).
TEST_F(LocalFile, PositionFromAUniqueOrderServesTheTablesOwnOrder) {
    ASSERT_EQ(head.open(), 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(addHead("n" + std::to_string(i), std::to_string(i)), 0);
    head.setOrder("HEAD:KeyName");
    ASSERT_EQ(head.next(), 0);
    ASSERT_EQ(head.next(), 0);
    ASSERT_EQ(H.ID, 2);
    auto saved = head.position();
    head.resetTo(-1, saved);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 2);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 3);
}

TEST_F(LocalFile, WritingWhileSteppingKeepsThePlace) {
    ASSERT_EQ(head.open(), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(addHead("", std::to_string(i)), 0);
    head.setOrder("HEAD:KeyID");
    std::vector<int> ids;
    while (head.next() == 0) {
        ids.push_back(H.ID);
        if (H.ID % 2 == 0) {
            ASSERT_EQ(head.deleteRecord(), 0);
        } else {
            H.Name = "odd" + std::to_string(H.ID);
            ASSERT_EQ(head.update(), 0);
        }
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(head.records(), 3);
    H.ID = 5;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "odd5");
}

TEST_F(LocalFile, ChangeToADuplicateIsRefused) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(addHead("b", "2"), 0);
    H.Name = "A";
    EXPECT_EQ(head.update(), 40);
    H.ID = 2;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "b");
}

TEST_F(LocalFile, ValuesRoundTrip) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(line.open(), 0);
    head.clearBuffer();
    H.Name = "Größe ";
    H.Code = "ab";
    H.Betrag = rt::DecimalValue::parseOrZero("-1234.5");
    H.Datum = rt::dateFromYmd(2026, 2, 28);
    std::string memo(1500, 'm');
    H.Notiz = memo;
    ASSERT_EQ(head.primeRecord(true), 0);
    ASSERT_EQ(head.insert(), 0);
    std::string blob("\0\1\2binary\xff", 10);
    L.ID_HEAD = H.ID;
    L.Daten = blob;
    ASSERT_EQ(line.primeRecord(true), 0);
    ASSERT_EQ(line.insert(), 0);

    head.clearBuffer();
    line.clearBuffer();
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name.str(), "Größe ");
    EXPECT_EQ(H.Code.str(), "ab        ");  // STRING comes back padded
    EXPECT_EQ(H.Betrag.toString(), "-1234.5");
    EXPECT_EQ(H.Datum, rt::dateFromYmd(2026, 2, 28));
    EXPECT_EQ(H.Notiz.str(), memo);
    EXPECT_EQ(H.Activ, 1);
    L.ID = 1;
    ASSERT_EQ(line.fetch("LINE:KeyID"), 0);
    EXPECT_EQ(L.Daten.str(), blob);
}

TEST_F(LocalFile, SaveAndRestoreTheBuffer) {
    H.Name = "before";
    H.ID = 9;
    auto saved = head.saveBuffer();
    head.clearBuffer();
    EXPECT_EQ(H.ID, 0);
    head.restoreBuffer(saved);
    EXPECT_EQ(H.ID, 9);
    EXPECT_EQ(H.Name, "before");
}

TEST_F(LocalFile, LocalSqlTextRowsArriveInColumnOrder) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(head.setSql("SELECT 42, 'text'"), 0);
    ASSERT_EQ(head.next(), 0);
    EXPECT_EQ(H.ID, 42);
    EXPECT_EQ(H.Name, "text");
    EXPECT_TRUE(H.Code.empty());
    EXPECT_EQ(head.next(), 33);
    EXPECT_EQ(head.setSql("SELECT FROM nowhere"), 90);
    EXPECT_FALSE(rt::fileErrorText().empty());
}

TEST_F(LocalFile, EachThreadHasItsOwnBufferAndOpensTheFileTheGlobalNamesThen) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("main", "M"), 0);
    std::string first = head.openedName();

    gHeadFile.set(dir.file("SECOND"));
    std::string otherName;
    long long otherCount = -1;
    std::thread([&] {
        HeadRecord mine;
        rt::FileManager fm(Defs::head(), &mine);
        otherCount = fm.records();
        otherName = fm.openedName();
        mine.Code = "T";
        fm.primeRecord(true);
        fm.insert();
    }).join();
    EXPECT_EQ(otherName, dir.file("SECOND.TPS"));
    EXPECT_EQ(otherCount, 0);
    // This thread keeps its file and its buffer.
    EXPECT_EQ(head.openedName(), first);
    EXPECT_EQ(H.Name, "main");
    EXPECT_EQ(head.records(), 1);
    head.close();
    EXPECT_EQ(head.open(), 0);
    EXPECT_EQ(head.openedName(), dir.file("SECOND.TPS"));
    EXPECT_EQ(head.records(), 1);
}

TEST_F(LocalFile, ThreadDictionaryFindsManagersByLabel) {
    std::thread([&] {
        HeadRecord h;
        auto& rm = rt::threadDictionary().add(Defs::head(), &h);
        EXPECT_EQ(rt::fileManager("head"), &rm.file());
        EXPECT_EQ(rt::relationManager("HEAD"), &rm);
        EXPECT_EQ(rt::fileManager("Line"), nullptr);
        ASSERT_EQ(rt::threadDictionary().files().size(), 1u);
        EXPECT_FALSE(rm.file().isOpen());  // never used, never opened
        rt::threadDictionary().release();
        EXPECT_EQ(rt::fileManager("Head"), nullptr);
    }).join();
}

TEST_F(LocalFile, DescriptorLooksUpFieldsByLabel) {
    const auto& d = Defs::head().record;
    EXPECT_EQ(d.find("head:name"), 1);
    EXPECT_EQ(d.find("Betrag"), 5);
    EXPECT_EQ(d.find("HEAD:Nope"), -1);
    H.Betrag = 12;
    H.Name = "x";
    EXPECT_EQ(std::get<rt::DecimalValue>(d.get(&H, 5)), rt::DecimalValue(12));
    EXPECT_EQ(std::get<std::string>(d.get(&H, 1)), "x");
    d.setText(&H, 0, " 17 ");
    EXPECT_EQ(H.ID, 17);
    d.setText(&H, 0, "abc");
    EXPECT_EQ(H.ID, 0);
    EXPECT_EQ(d.field(2).type, rt::FieldType::String);
    EXPECT_EQ(d.field(2).size, 10u);
    EXPECT_EQ(d.field(5).places, 1);
    const auto& log = Defs::log().record;
    ASSERT_EQ(log.fieldCount(), 6u);  // Updated, its group, date, time
    EXPECT_EQ(log.field(2).label, "LOG:Updated");
    EXPECT_EQ(log.field(3).type, rt::FieldType::Group);
    EXPECT_EQ(log.field(4).label, "LOG:Updated_Date");
    EXPECT_EQ(Defs::head().keys[2].description, "HEAD:KeyCode");
    EXPECT_EQ(Defs::line().keys[2].description, "Kopf und PosNr");
}

TEST(BackEnd, DetectedFromTheConnectString) {
    struct Case {
        const char* connect;
        const char* driver;
        const char* previous;
        const char* expected;
    } cases[] = {
        {"DRIVER=SQL Server;SERVER=x", "", "", "SQLSERVER"},
        {"Driver={SQL Native Client};", "", "", "SQLSERVER"},
        {"DSN=x", "MSSQL", "", "SQLSERVER"},
        {"DRIVER=SQLite3;Database=/tmp/a.db", "", "", "SQLITE"},
        {"Database=:memory:", "", "", "SQLITE"},
        {"DRIVER=Microsoft Access Driver (*.mdb)", "", "", "ACCESS"},
        {"DRIVER=Firebird/InterBase(r) driver", "", "", "FIREBIRD"},
        {"DRIVER=MySQL ODBC 8.0", "", "SQLSERVER", "SQLSERVER"},  // no rule: kept
        {"DRIVER=PostgreSQL Unicode;SERVER=h", "", "SQLSERVER", "POSTGRESQL"},
        {"DRIVER=SQL Server;Database=sqlite.db", "", "", "SQLITE"},  // later rules win
    };
    for (const auto& c : cases) EXPECT_EQ(rt::detectBackEnd(c.connect, c.driver, c.previous), c.expected) << c.connect;
    EXPECT_EQ(rt::connectStringValue("DRIVER=SQLite3; database = /x/y.db ;", "Database"), "/x/y.db");
}

TEST_F(LocalFile, CascadingDeletesWhileSteppingThroughTheHeaders) {
    ASSERT_EQ(headRm.open(), 0);
    EXPECT_EQ(head.send("Recover=10"), 0);  // accepted
    EXPECT_EQ(head.send("QUICKSCAN=on"), 0);
    for (int h = 1; h <= 4; ++h) {
        ASSERT_EQ(addHead("", std::to_string(h)), 0);
        for (int i = 0; i < h; ++i) ASSERT_EQ(addLine(h, "l"), 0);
    }
    head.setOrder("HEAD:KeyID");
    int visited = 0;
    while (head.next() == 0) {
        ++visited;
        if (H.ID != 3) {
            ASSERT_EQ(headRm.deleteRecord(), 0);
        }
    }
    EXPECT_EQ(visited, 4);
    EXPECT_EQ(head.records(), 1);
    EXPECT_EQ(line.records(), 3);
    headRm.close();
}

TEST_F(LocalFile, InsertNumbersACopyAnewWithinItsNewHeader) {
    ASSERT_EQ(line.open(), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(addLine(1, "src" + std::to_string(i)), 0);
    // Copy the fields of header 1 to header 5, in position order, keeping their values.
    L.ID_HEAD = 1;
    L.PosNr = 0;
    line.setFrom("LINE:KeyPosNr");
    std::vector<std::string> copied;
    while (line.next() == 0 && L.ID_HEAD == 1) {
        auto pos = line.position();
        L.ID_HEAD = 5;
        ASSERT_EQ(line.insert(), 0);
        copied.push_back(std::to_string(L.ID) + "/" + std::to_string(L.PosNr) + "/" + L.Text.str());
        line.resetTo(line.keyIndex("LINE:KeyPosNr"), pos);
        ASSERT_EQ(line.next(), 0);  // the source field again; go on after it
    }
    EXPECT_EQ(copied, (std::vector<std::string>{"4/1/src0", "5/2/src1", "6/3/src2"}));
    // As it is: no numbering.
    line.clearBuffer();
    L.ID = 77;
    L.ID_HEAD = 9;
    L.PosNr = 40;
    ASSERT_EQ(line.insertAsIs(), 0);
    L.ID = 77;
    ASSERT_EQ(line.fetch("LINE:KeyID"), 0);
    EXPECT_EQ(L.PosNr, 40);
}

TEST_F(LocalFile, AFolderInPlaceOfTheFileIsAccessDenied) {
    std::filesystem::create_directory(dir.file("ORDERS.TPS"));
    EXPECT_EQ(head.open(), 5);
    EXPECT_EQ(rt::errorText(), "Access Denied");
}

TEST_F(LocalFile, ThreadsCreatingOneFileAtOnceAllGetIt) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            HeadRecord mine;
            rt::FileManager fm(Defs::head(), &mine);
            if (fm.open() != 0) {
                ++failures;
                return;
            }
            for (int i = 0; i < 20; ++i) {
                mine = HeadRecord();
                mine.Code = std::to_string(t) + "-" + std::to_string(i);
                if (fm.insert() != 0) ++failures;  // numbered by insert
            }
            fm.close();
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0) << rt::errorText();
    EXPECT_EQ(head.records(), 120);
    head.setOrder("HEAD:KeyID");
    ASSERT_EQ(head.previous(), 0);
    EXPECT_EQ(H.ID, 120);  // numbers unique between the threads
}

TEST_F(LocalFile, ChangeOfARecordChangedMeanwhileIsRefused) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(addHead("mine", "1"), 0);
    HeadRecord theirs;
    rt::FileManager other(Defs::head(), &theirs);
    theirs.ID = 1;
    ASSERT_EQ(other.fetch("HEAD:KeyID"), 0);
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    theirs.Name = "theirs";
    ASSERT_EQ(other.update(), 0);
    H.Name = "overwrite";
    EXPECT_EQ(head.updateIfUnchanged(), 89);
    EXPECT_EQ(rt::errorText(), "Datensatz wurde an einer anderen Station geändert");
    EXPECT_EQ(H.Name, "overwrite");  // the buffer is left as the caller had it
    H.ID = 1;
    ASSERT_EQ(head.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(H.Name, "theirs");
    H.Name = "now mine";
    EXPECT_EQ(head.updateIfUnchanged(), 0);
    ASSERT_EQ(other.fetch("HEAD:KeyID"), 0);
    EXPECT_EQ(theirs.Name, "now mine");
}

TEST_F(LocalFile, TransactionsKeepOrUndoTogetherAndWaitForLocks) {
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(head.beginTransaction(2), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(addHead("b", "2"), 0);
    ASSERT_EQ(head.rollback(), 0);
    EXPECT_EQ(head.records(), 0);
    ASSERT_EQ(head.beginTransaction(2), 0);
    ASSERT_EQ(addHead("a", "1"), 0);
    ASSERT_EQ(head.commit(), 0);
    EXPECT_EQ(head.records(), 1);

    // Another thread holds a write transaction: framing ours gives up after the wait.
    std::promise<void> holding, release;
    std::thread other([&] {
        HeadRecord mine;
        rt::FileManager fm(Defs::head(), &mine);
        fm.beginTransaction();
        mine.Code = "T";
        fm.insert();
        holding.set_value();
        release.get_future().wait();
        fm.commit();
    });
    holding.get_future().wait();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(head.beginTransaction(1), 90);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_FALSE(rt::fileErrorText().empty());
    release.set_value();
    other.join();
    EXPECT_EQ(head.records(), 2);
}

TEST_F(LocalFile, WritingThroughAReadOnlyOpenIsAccessDenied) {
    ASSERT_EQ(addHead("one", "1"), 0);  // opens on first use and creates the file
    head.closeAll();
    ASSERT_EQ(head.open(rt::OpenMode::ReadOnly), 0);
    EXPECT_EQ(head.records(), 1);
    H.Code = "2";
    EXPECT_EQ(head.insertAsIs(), 5);
    EXPECT_EQ(rt::errorText(), "Access Denied");
    EXPECT_EQ(head.records(), 1);
}

TEST_F(LocalFile, ClosingWithRelatedClosesTheWholeChainItOpenedAndNoMore) {
    // Line -> its parent Head -> Head's other child Note: opening Line brings in all three.
    struct NoteRecord {
        rt::Long ID = 0;
        rt::Long ID_HEAD = 0;
    };
    static const rt::TableDef noteDef = rt::TableBuilder<NoteRecord>("Note", "NOTE")
                                            .localFile([] { return gHeadFile.get(); })
                                            .create()
                                            .field(&NoteRecord::ID, "ID")
                                            .field(&NoteRecord::ID_HEAD, "ID_HEAD")
                                            .key("KeyHead", {"ID_HEAD"}, rt::Dup)
                                            .build();
    rt::declareRelation(
        {"Head", "Note", "NOTE:KeyHead", {{"ID", "ID_HEAD"}}, rt::RelationRule::Nothing, rt::RelationRule::Nothing});
    NoteRecord n;
    rt::FileManager note(noteDef, &n);
    rt::RelationManager noteRm(note);
    auto find = [&](std::string_view l) -> rt::RelationManager* {
        if (rt::equalsNoCase(l, "Head")) return &headRm;
        if (rt::equalsNoCase(l, "Line")) return &lineRm;
        if (rt::equalsNoCase(l, "Note")) return &noteRm;
        return nullptr;
    };
    for (auto* rm : {&headRm, &lineRm, &noteRm}) rm->setLookup(find);
    auto opened = [&] {
        return std::string(line.isOpen() ? "L" : "") + (head.isOpen() ? "H" : "") + (note.isOpen() ? "N" : "");
    };

    ASSERT_EQ(lineRm.open(), 0) << rt::errorText();
    EXPECT_EQ(opened(), "LHN");
    ASSERT_EQ(lineRm.close(), 0);
    EXPECT_EQ(opened(), "");

    // Opens of others stay: Head was opened on its own before.
    ASSERT_EQ(head.open(), 0);
    ASSERT_EQ(lineRm.open(), 0);
    ASSERT_EQ(lineRm.open(), 0);
    lineRm.close();
    EXPECT_EQ(opened(), "LHN");  // counted: one open of the chain is left
    lineRm.close();
    EXPECT_EQ(opened(), "H");
    EXPECT_EQ(head.openCount(), 1);
    head.close();

    // Without its related tables the manager opens and closes only its own.
    ASSERT_EQ(lineRm.open(false), 0);
    lineRm.close();
    EXPECT_EQ(opened(), "");

    // A related table that cannot open fails the whole open, and leaves nothing open.
    note.setName(dir.file("NOTES"));
    note.setCreate(false);
    EXPECT_EQ(lineRm.open(), rt::ErrFileNotFound);
    EXPECT_EQ(opened(), "");
    EXPECT_EQ(line.openCount(), 0);
    EXPECT_EQ(head.openCount(), 0);
    note.closeAll();
}
