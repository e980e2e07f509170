// The dictionary's server tables on the SQLite ODBC driver and on PostgreSQL.
#include <gtest/gtest.h>

#include <string>

#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "tests/core/dictionary/dictionary_fixture.h"

namespace {

using dicttest::ServerTables;

class CubeTables : public ServerTables {
protected:
    void SetUp() override {
        ServerTables::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createCubeGroups();
        InitDictionary();
        ASSERT_EQ(Relate.VOQCubeKopf->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    }

    // A new header through priming (numbered and reserved), then stored with its name.
    rt::Long newHeader(const std::string& name, rt::Long group = 0) {
        EXPECT_EQ(Relate.VOQCubeKopf->primeRecord(), 0) << rt::errorText() << " " << rt::fileErrorText();
        CUBK.CubeName = name;
        CUBK.ID_CUBG = group;
        EXPECT_EQ(Relate.VOQCubeKopf->insert(), 0) << rt::errorText() << " " << rt::fileErrorText();
        return CUBK.ID;
    }
    // A new cube field of a header: the caller's ID_CUBK stays, PosNr is numbered within it.
    rt::Long newField(rt::Long header, const std::string& name) {
        CUBD = {};
        CUBD.ID_CUBK = header;
        EXPECT_EQ(Access.VOQCubeDetail->primeRecord(true), 0) << rt::errorText() << " " << rt::fileErrorText();
        CUBD.FeldName = name;
        EXPECT_EQ(Access.VOQCubeDetail->insert(), 0) << rt::errorText();
        return CUBD.PosNr;
    }
    std::string count(const std::string& name, const std::string& where = "") {
        auto r = rows("SELECT COUNT(*) FROM " + table(name) + (where.empty() ? "" : " WHERE " + where));
        return r.empty() ? "?" : r[0][0];
    }
};

TEST_P(CubeTables, CubeFieldsAreNumberedWithinTheirHeader) {
    rt::Long first = newHeader("Umsatz");
    rt::Long second = newHeader("Retouren");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(newField(first, "a"), 1);
    EXPECT_EQ(CUBD.ID, 1);
    EXPECT_EQ(newField(first, "b"), 2);
    EXPECT_EQ(newField(second, "c"), 1);  // another header starts again at 1
    EXPECT_EQ(CUBD.ID, 3);
    EXPECT_EQ(newField(first, "d"), 3);
    EXPECT_EQ(count("VOQCUBEDETAIL", "ID_CUBK = 1"), "3");
}

TEST_P(CubeTables, NewRecordsArePrimed) {
    ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0);
    EXPECT_EQ(CUBK.Compress, 1);
    EXPECT_EQ(CUBK.Zeitraum, 0);
    EXPECT_EQ(CUBK.Activ, 0);
    EXPECT_TRUE(CUBK.CubeName.empty());
    // The number is reserved at once: the row is on the server before the form stores it.
    auto stored = rows("SELECT ID, COMPRESS, ZEITRAUM FROM " + table("VOQCUBEKOPF"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], (std::vector<std::string>{"1", "1", "0"}));
    CUBD = {};
    CUBD.ID_CUBK = 1;
    ASSERT_EQ(Access.VOQCubeDetail->primeRecord(true), 0);
    EXPECT_EQ(CUBD.Gruppierung, 1);
    EXPECT_EQ(CUBD.ID_CUBK, 1);
}

TEST_P(CubeTables, DeletingAHeaderDeletesItsFieldsDeletingAGroupLeavesItsCubes) {
    exec("INSERT INTO " + table("VOQCUBEGRUPPE") + " (ID, GRUPPENNAME, BESCHREIBUNG, ACTIV) VALUES (4, 'G', '', 1)");
    rt::Long a = newHeader("A", 4);
    rt::Long b = newHeader("B", 4);
    newField(a, "x");
    newField(a, "y");
    newField(b, "z");

    CUBK = {};
    CUBK.ID = a;
    ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);
    ASSERT_EQ(Relate.VOQCubeKopf->deleteRecord(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_EQ(count("VOQCUBEDETAIL"), "1");
    EXPECT_EQ(count("VOQCUBEDETAIL", "ID_CUBK = " + std::to_string(b)), "1");

    CUBG = {};
    CUBG.ID = 4;
    ASSERT_EQ(Access.VOQCubeGruppe->fetch("CUBG:KeyID"), 0);
    ASSERT_EQ(Relate.VOQCubeGruppe->deleteRecord(), 0);
    EXPECT_EQ(count("VOQCUBEGRUPPE"), "0");
    EXPECT_EQ(count("VOQCUBEKOPF", "ID_CUBG = 4"), "1");
}

TEST_P(CubeTables, ChangingAHeaderIdCarriesItsFieldsAlong) {
    rt::Long a = newHeader("A");
    newField(a, "x");
    newField(a, "y");
    CUBK = {};
    CUBK.ID = a;
    ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);
    CUBK.ID = 20;
    ASSERT_EQ(Relate.VOQCubeKopf->update(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_EQ(count("VOQCUBEDETAIL", "ID_CUBK = 20"), "2");
    EXPECT_EQ(count("VOQCUBEDETAIL", "ID_CUBK = 1"), "0");
}

TEST_P(CubeTables, ACancelledInsertRemovesTheReservedHeaderAndItsFields) {
    newHeader("Kept");
    ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0);
    rt::Long reserved = CUBK.ID;
    EXPECT_EQ(reserved, 2);
    auto saved = Access.VOQCubeKopf->saveBuffer();
    newField(reserved, "x");
    newField(reserved, "y");
    Access.VOQCubeKopf->restoreBuffer(saved);
    ASSERT_EQ(Relate.VOQCubeKopf->cancelReserved(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_EQ(count("VOQCUBEKOPF"), "1");
    EXPECT_EQ(count("VOQCUBEDETAIL"), "0");
    // The number is free again for the next header.
    EXPECT_EQ(newHeader("Next"), 2);
}

TEST_P(CubeTables, CubeNamesAreUniqueWithoutRegardToCaseAndBlankNamesStayOutOfTheKey) {
    newHeader("Umsatz");
    newHeader("Änderungen");
    // Two primed headers with blank names exist side by side: the name key leaves them out.
    ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0);
    ASSERT_EQ(Relate.VOQCubeKopf->primeRecord(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_EQ(count("VOQCUBEKOPF"), "4");

    for (const char* clash : {"UMSATZ", "umsatz", "uMsAtZ"}) {
        SCOPED_TRACE(clash);
        CUBK = {};
        CUBK.ID = 100;
        CUBK.CubeName = clash;
        EXPECT_EQ(Access.VOQCubeKopf->insert(), rt::ErrDuplicateKey);
        EXPECT_EQ(rt::errorCode(), 40);
    }
    CUBK = {};
    CUBK.CubeName = "uMSATZ";
    ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyCubeName"), 0);
    EXPECT_EQ(CUBK.CubeName, "Umsatz");

    // The name order folds case: "b" sorts between "A" and "C".
    newHeader("b");
    newHeader("C");
    newHeader("a1");
    ASSERT_EQ(Access.VOQCubeKopf->setOrder("CUBK:KeyCubeName"), 0);
    std::string order;
    while (Access.VOQCubeKopf->next() == 0) order += std::string(CUBK.CubeName.clipped()) + ",";
    EXPECT_EQ(order, "a1,b,C,Umsatz,Änderungen,");
}

// Key values compare as the program's texts do: German letters folded, trailing blanks ignored.
TEST_P(CubeTables, NameLookUpsFoldGermanLettersAndIgnoreTrailingBlanks) {
    newHeader("Änderungen");
    CUBK = {};
    CUBK.CubeName = "änderungen";
    EXPECT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyCubeName"), 0);
    EXPECT_EQ(CUBK.CubeName, "Änderungen");
    CUBK = {};
    CUBK.ID = 100;
    for (const char* clash : {"ÄNDERUNGEN", "änderungen", "Änderungen "}) {
        SCOPED_TRACE(clash);
        CUBK.CubeName = clash;
        EXPECT_EQ(Access.VOQCubeKopf->insert(), rt::ErrDuplicateKey);
    }
    EXPECT_EQ(count("VOQCUBEKOPF"), "1");
}

TEST_P(CubeTables, OpeningCubeFieldsWithTheirRelationsBringsInTheWholeChain) {
    bool kopf = false, gruppe = false, rest = true;
    int t = rt::startThread([&] {
        InitDictionary();
        EXPECT_EQ(Relate.VOQCubeDetail->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
        kopf = Access.VOQCubeKopf->isOpen();
        gruppe = Access.VOQCubeGruppe->isOpen();
        rest = Access.VOQGNEquates->isOpen() || Access.ACQTBL->isOpen();
        KillDictionary();
    });
    rt::waitThread(t);
    EXPECT_TRUE(kopf);
    EXPECT_TRUE(gruppe);
    EXPECT_FALSE(rest);
}

TEST_P(CubeTables, AnotherThreadHasItsOwnBuffersAndManagers) {
    newHeader("Frame");
    CUBK = {};
    CUBK.CubeName = "frame";
    ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyCubeName"), 0);
    rt::FileManager* mine = Access.VOQCubeKopf;
    std::string other;
    bool otherOpenAtStart = true;
    int t = rt::startThread([&] {
        InitDictionary();
        otherOpenAtStart = Access.VOQCubeKopf->isOpen();
        EXPECT_NE(Access.VOQCubeKopf, mine);
        EXPECT_TRUE(CUBK.CubeName.empty());
        CUBK.ID = 1;
        EXPECT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);  // opened on first use
        other = std::string(CUBK.CubeName.clipped());
        CUBK.CubeName = "changed";
        KillDictionary();
    });
    ASSERT_GT(t, 0);
    rt::waitThread(t);
    EXPECT_FALSE(otherOpenAtStart);
    EXPECT_EQ(other, "Frame");
    EXPECT_EQ(CUBK.CubeName, "Frame");  // this thread's buffer is untouched
    EXPECT_EQ(Access.VOQCubeKopf, mine);
}

INSTANTIATE_TEST_SUITE_P(Engines, CubeTables, ::testing::Values("sqlite", "pg"), dicttest::engineName);

// ---- Update log ----------------------------------------------------------------------------

class UpdateLog : public ServerTables {
protected:
    void SetUp() override {
        ServerTables::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec("CREATE TABLE " + table("VOQDBUpdateLog") +
             " (DBU_TableName VARCHAR(50) NOT NULL, DBU_Version INT NOT NULL, DBU_Type VARCHAR(30) NOT NULL, "
             "DBU_Updated " +
             dateTimeType() + " NOT NULL, PRIMARY KEY (DBU_TableName, DBU_Version))");
        InitDictionary();
    }
};

TEST_P(UpdateLog, EveryVersionIsARecordInNameAndVersionOrder) {
    const std::string t = table("VOQDBUpdateLog");
    exec("INSERT INTO " + t + " VALUES ('vUmsatz', 2, 'View', '2026-12-08 14:05:30')");
    exec("INSERT INTO " + t + " VALUES ('fnPreis', 1, 'Function', '2026-11-30 08:00:00')");
    exec("INSERT INTO " + t + " VALUES ('vUmsatz', 1, 'View', '2025-01-02 23:59:00')");
    ASSERT_EQ(Relate.VOQDBUpdateLog->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    ASSERT_EQ(Access.VOQDBUpdateLog->setOrder("VOQ:DBU_byTableName"), 0);
    std::vector<std::string> seen;
    while (Access.VOQDBUpdateLog->next() == 0)
        seen.push_back(std::string(VOQ.DBU_TableName.clipped()) + "/" + std::to_string(VOQ.DBU_Version));
    EXPECT_EQ(seen, (std::vector<std::string>{"fnPreis/1", "vUmsatz/1", "vUmsatz/2"}));

    // The date-time column arrives as the date and the time laid over it.
    VOQ = {};
    VOQ.DBU_TableName = "VUMSATZ";
    VOQ.DBU_Version = 2;
    ASSERT_EQ(Access.VOQDBUpdateLog->fetch("VOQ:DBU_byTableName"), 0);
    EXPECT_EQ(VOQ.DBU_Type, "View");
    EXPECT_EQ(VOQ.DBU_Updated_Date.value, rt::dateFromYmd(2026, 12, 8));
    EXPECT_EQ(VOQ.DBU_Updated_Time.value, rt::timeFromHms(14, 5, 30));

    // The key names one row: even a delete through it reaches only its own version.
    ASSERT_EQ(Access.VOQDBUpdateLog->deleteRecord(), 0);
    auto left = rows("SELECT DBU_TableName, DBU_Version FROM " + t + " ORDER BY DBU_TableName, DBU_Version");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1], (std::vector<std::string>{"vUmsatz", "1"}));
}

TEST_P(UpdateLog, DateAndTimeAreStoredAsOneDateTimeValue) {
    ASSERT_EQ(Relate.VOQDBUpdateLog->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    VOQ = {};
    VOQ.DBU_TableName = "spCross";
    VOQ.DBU_Version = 3;
    VOQ.DBU_Type = "Procedure";
    VOQ.DBU_Updated_Date = rt::dateFromYmd(2026, 12, 9);
    VOQ.DBU_Updated_Time = rt::timeFromHms(9, 30, 15);
    ASSERT_EQ(Access.VOQDBUpdateLog->insert(), 0) << rt::errorText() << " " << rt::fileErrorText();
    auto r = rows("SELECT DBU_Updated FROM " + table("VOQDBUpdateLog"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0].substr(0, 19), "2026-12-09 09:30:15");
}

INSTANTIATE_TEST_SUITE_P(Engines, UpdateLog, ::testing::Values("sqlite", "pg"), dicttest::engineName);

// ---- Opening -------------------------------------------------------------------------------

class Opening : public ServerTables {
protected:
    void SetUp() override {
        ServerTables::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        InitDictionary();
    }
};

TEST_P(Opening, AMissingTableIsCreatedOnlyWithTheCreateFlag) {
    EXPECT_EQ(Access.tversion->open(), rt::ErrFileNotFound);
    EXPECT_EQ(rt::errorCode(), 2);
    EXPECT_EQ(Access.VOQCubeGruppe->open(), rt::ErrFileNotFound);
    EXPECT_FALSE(Access.VOQCubeGruppe->isOpen());
    EXPECT_NE(voq::test::execSql(connect_, "SELECT COUNT(*) FROM " + table("VOQCUBEGRUPPE")), "");

    ASSERT_EQ(Access.VOQProvKey->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + table("VOQProvKey"))[0][0], "0");
    ASSERT_EQ(Access.VOQProvKey->primeRecord(), 0);
    PROK.PROVISIONSKEY = "K1";
    PROK.Provision.set(rt::DecimalValue::parseOrZero("12.5"));
    ASSERT_EQ(Access.VOQProvKey->insert(), 0);
    auto r = rows("SELECT ID, PROVISIONSKEY, PROVISION FROM " + table("VOQProvKey"));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], "1");
    EXPECT_EQ(r[0][1], "K1");
    EXPECT_EQ(rt::DecimalValue::parseOrZero(r[0][2]).rounded(1)->units(), 125);
}

TEST_P(Opening, ATableWithoutADeclaredColumnDoesNotOpenAndIsLeftAlone) {
    exec("CREATE TABLE " + table("VOQQBEQUERY") + " (ID INT, DESCRIPTION VARCHAR(60), GRUPPE VARCHAR(30))");
    exec("INSERT INTO " + table("VOQQBEQUERY") + " VALUES (1, 'x', 'y')");
    EXPECT_EQ(Access.VOQQBEQUERY->open(), rt::ErrInvalidRecordDeclaration);
    EXPECT_EQ(rt::errorCode(), 47);
    EXPECT_FALSE(Access.VOQQBEQUERY->isOpen());
    EXPECT_NE(voq::test::execSql(connect_, "SELECT QUERY FROM " + table("VOQQBEQUERY")), "");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + table("VOQQBEQUERY"))[0][0], "1");
}

TEST_P(Opening, QueryFileConnectsWithoutATableAndTheCarriersTakeResultRows) {
    ASSERT_EQ(Access.QueryFile->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    Access.QueryFile->close();
    std::string columns;
    for (int c = 1; c <= 24; ++c)
        columns += (c > 1 ? ", C" : "C") + std::string(c < 10 ? "0" : "") + std::to_string(c) + " VARCHAR(255)";
    exec("CREATE TABLE " + table("ACQTBL") + " (" + columns + ")");
    ASSERT_EQ(Access.ACQTBL->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    ASSERT_EQ(Access.ACQTBL->setSql("SELECT 42, 'zwei'"), 0) << rt::errorText() << " " << rt::fileErrorText();
    ASSERT_EQ(Access.ACQTBL->next(), 0);
    EXPECT_EQ(AQRY.C01, "42");
    EXPECT_EQ(AQRY.C02, "zwei");
    EXPECT_TRUE(AQRY.C03.empty());
    EXPECT_EQ(Access.ACQTBL->next(), rt::ErrRecordNotAvailable);
}

INSTANTIATE_TEST_SUITE_P(Engines, Opening, ::testing::Values("sqlite", "pg"), dicttest::engineName);

}  // namespace
