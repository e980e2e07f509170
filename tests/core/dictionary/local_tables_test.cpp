// The dictionary's local table files, in a working folder of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/expr/bindings.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "tests/core/dictionary/dictionary_fixture.h"

namespace {

class LocalTables : public dicttest::WorkingFolder {};

int filesIn(const std::filesystem::path& dir) {
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

TEST_F(LocalTables, AThreadThatUsesNoTableOpensNothingAndReleasesAllManagers) {
    EXPECT_FALSE(DictionaryBuilt());
    EXPECT_EQ(Access.CrossTab, nullptr);
    InitDictionary();
    EXPECT_TRUE(DictionaryBuilt());
    EXPECT_EQ(rt::threadDictionary().size(), 25u);
    for (const auto* t : dictionary::tables()) {
        SCOPED_TRACE(t->label);
        rt::FileManager* fm = rt::fileManager(t->label);
        ASSERT_NE(fm, nullptr);
        EXPECT_EQ(&fm->def(), t);
        EXPECT_FALSE(fm->isOpen());
        EXPECT_EQ(&rt::relationManager(t->label)->file(), fm);
    }
    EXPECT_EQ(Access.VOQCubeKopf, rt::fileManager("VOQCubeKopf"));
    EXPECT_EQ(Relate.Scripte, rt::relationManager("Scripte"));
    EXPECT_EQ(&Access.Mandant->record<MandantRecord>(), &MAN);
    InitDictionary();  // a second call builds nothing more
    EXPECT_EQ(rt::threadDictionary().size(), 25u);
    KillDictionary();
    EXPECT_FALSE(DictionaryBuilt());
    EXPECT_EQ(rt::threadDictionary().size(), 0u);
    EXPECT_EQ(rt::fileManager("Mandant"), nullptr);
    EXPECT_EQ(Access.Mandant, nullptr);
    EXPECT_EQ(Relate.VOQCubeKopf, nullptr);
    EXPECT_EQ(filesIn(dir_.path()), 0);
}

TEST_F(LocalTables, ClientsAreNumberedAndTwoWithOneIdCannotExist) {
    InitDictionary();
    ASSERT_EQ(Relate.Mandant->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_TRUE(exists("MandantSQL.TPS"));
    for (int expected = 1; expected <= 2; ++expected) {
        ASSERT_EQ(Access.Mandant->primeRecord(), 0);
        EXPECT_EQ(MAN.ID, expected);
        MAN.Mandant = "Mandant " + std::to_string(expected);
        ASSERT_EQ(Access.Mandant->insert(), 0);
    }
    // Adding one as it is, or changing one to the other's number, is refused.
    MAN = {};
    MAN.ID = 2;
    MAN.Mandant = "Kopie";
    EXPECT_EQ(Access.Mandant->insertAsIs(), rt::ErrDuplicateKey);
    EXPECT_EQ(rt::errorCode(), 40);
    MAN = {};
    MAN.ID = 1;
    ASSERT_EQ(Access.Mandant->fetch("MAN:KeyID"), 0);
    MAN.ID = 2;
    EXPECT_EQ(Access.Mandant->update(), rt::ErrDuplicateKey);
    EXPECT_EQ(Access.Mandant->records(), 2);
    // A plain insert numbers the new record whatever the buffer held.
    MAN = {};
    MAN.ID = 2;
    MAN.Mandant = "Dritter";
    ASSERT_EQ(Access.Mandant->insert(), 0);
    EXPECT_EQ(MAN.ID, 3);
    MAN = {};
    MAN.ID = 2;
    ASSERT_EQ(Access.Mandant->fetch("MAN:KeyID"), 0);
    EXPECT_EQ(MAN.Mandant, "Mandant 2");
}

TEST_F(LocalTables, ANewSavedQueryCarriesTodaysDateInTheFileNamedByTheGlobal) {
    rt::setTestClock(rt::dateFromYmd(2026, 12, 10), rt::timeFromHms(9, 0));
    GLO.SQL_QBE = "Abfragen";
    InitDictionary();
    ASSERT_EQ(Relate.SQLQuerries->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_TRUE(exists("Abfragen.TPS"));
    ASSERT_EQ(Access.SQLQuerries->primeRecord(), 0);
    EXPECT_EQ(SQLQBE.ID, 1);
    EXPECT_EQ(SQLQBE.Datum.value, rt::dateFromYmd(2026, 12, 10));
    SQLQBE.QUERY = std::string(1000, 'q');  // stored at its full length
    ASSERT_EQ(Access.SQLQuerries->insert(), 0);
    SQLQBE = {};
    SQLQBE.ID = 1;
    ASSERT_EQ(Access.SQLQuerries->fetch("SQLQBE:Key_SQLID"), 0);
    EXPECT_EQ(SQLQBE.QUERY.clipped().size(), 1000u);
    EXPECT_EQ(SQLQBE.Datum.value, rt::dateFromYmd(2026, 12, 10));
    rt::clearTestClock();
}

TEST_F(LocalTables, TheFileNamedByTheGlobalIsTakenWhenAThreadOpensTheTable) {
    GLO.SQL_QBE = "ERSTE";
    InitDictionary();
    ASSERT_EQ(Access.SQLQuerries->open(), 0);
    std::string otherOpened;
    int t = rt::startThread([&] {
        InitDictionary();
        GLO.SQL_QBE = "ZWEITE";
        EXPECT_EQ(Access.SQLQuerries->open(), 0);
        otherOpened = Access.SQLQuerries->openedName();
        KillDictionary();
    });
    rt::waitThread(t);
    EXPECT_EQ(std::filesystem::path(otherOpened).filename(), "ZWEITE.TPS");
    // This thread keeps its file until it closes the table.
    EXPECT_EQ(std::filesystem::path(Access.SQLQuerries->openedName()).filename(), "ERSTE.TPS");
    Access.SQLQuerries->close();
    ASSERT_EQ(Access.SQLQuerries->open(), 0);
    EXPECT_EQ(std::filesystem::path(Access.SQLQuerries->openedName()).filename(), "ZWEITE.TPS");
}

TEST_F(LocalTables, ScriptTablesShareTheirFileAndTheMemoIsKnownToExpressions) {
    GLO.SCRIPT = "SKRIPTE.DAT";
    InitDictionary();
    ASSERT_EQ(Access.Scripte->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    ASSERT_EQ(Access.SKRIPT->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_TRUE(exists("SKRIPTE.DAT"));  // a name with an extension keeps it
    EXPECT_FALSE(exists("SKRIPTE.DAT.TPS"));
    ASSERT_EQ(Access.Scripte->primeRecord(), 0);
    SCR.Bezeichnung = "Views";
    SCR.Script = std::string(20000, 'x') + "CREATE VIEW";
    ASSERT_EQ(Access.Scripte->insert(), 0);
    // Two scripts without a name exist side by side (the name key leaves them out).
    ASSERT_EQ(Access.Scripte->primeRecord(), 0);
    ASSERT_EQ(Access.Scripte->primeRecord(), 0) << rt::errorText();

    ASSERT_EQ(Access.SKRIPT->primeRecord(), 0);
    UPD.SCRIPT = std::string("\x00\x01binary", 8);
    UPD.NAME = "vUmsatz";
    ASSERT_EQ(Access.SKRIPT->insert(), 0);
    UPD = {};
    UPD.ID = 1;
    ASSERT_EQ(Access.SKRIPT->fetch("UPD:BY_ID"), 0);
    EXPECT_EQ(UPD.SCRIPT.str(), std::string("\x00\x01binary", 8));

    SCR = {};
    SCR.ID = 1;
    ASSERT_EQ(Access.Scripte->fetch("SCR:KeyID"), 0);
    rt::Bindings::Target target;
    ASSERT_TRUE(rt::threadBindings().resolve("scr:script", target));
    rt::Value v;
    target.readValue(v);
    EXPECT_EQ(v.text().size(), 20011u);
    KillDictionary();
    EXPECT_FALSE(rt::threadBindings().resolve("SCR:Script", target));
}

TEST_F(LocalTables, ScriptNamesAreUniqueWithoutRegardToCaseOrGermanLetters) {
    GLO.SCRIPT = "SQLSKRIPT";
    InitDictionary();
    ASSERT_EQ(Relate.Scripte->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_TRUE(exists("SQLSKRIPT.TPS"));
    ASSERT_EQ(Access.Scripte->primeRecord(), 0);
    SCR.Bezeichnung = "Übersicht";
    ASSERT_EQ(Access.Scripte->insert(), 0);
    for (const char* clash : {"übersicht", "ÜBERSICHT", "Übersicht "}) {
        SCOPED_TRACE(clash);
        SCR = {};
        SCR.ID = 50;
        SCR.Bezeichnung = clash;
        EXPECT_EQ(Access.Scripte->insert(), rt::ErrDuplicateKey);
    }
    SCR = {};
    SCR.Bezeichnung = "üBERSICHT";
    ASSERT_EQ(Access.Scripte->fetch("SCR:KeyBezeichnung"), 0);
    EXPECT_EQ(SCR.ID, 1);
    EXPECT_EQ(SCR.Bezeichnung, "Übersicht");
    EXPECT_EQ(Access.Scripte->records(), 1);
}

TEST_F(LocalTables, TheSetUpTableNeedsItsSubFolder) {
    InitDictionary();
    EXPECT_NE(Access.Setup->open(), 0);
    EXPECT_NE(rt::errorCode(), 0);
    EXPECT_FALSE(Access.Setup->isOpen());
    EXPECT_FALSE(exists("DATEIEN"));
}

// A blank primed cross tab holds the title key: a second one collides on the title, which
// numbering cannot cure, so the error comes back at once instead of numbering again.
TEST_F(LocalTables, ACollisionOnAnotherKeyIsReportedNotRenumbered) {
    InitDictionary();
    ASSERT_EQ(Relate.CrossTab->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    ASSERT_EQ(Relate.CrossTab->primeRecord(), 0);
    EXPECT_EQ(CRO.ID, 1);
    int otherResult = -1;
    long long otherCount = -1;
    int t = rt::startThread([&] {
        InitDictionary();
        otherResult = Relate.CrossTab->primeRecord();
        otherCount = Access.CrossTab->records();
        KillDictionary();
    });
    rt::waitThread(t);
    EXPECT_EQ(otherResult, rt::ErrDuplicateKey);
    EXPECT_EQ(otherCount, 1);
    // The cancelled insert takes its reserved record away again.
    ASSERT_EQ(Relate.CrossTab->cancelReserved(), 0);
    EXPECT_EQ(Access.CrossTab->records(), 0);
    ASSERT_EQ(Relate.CrossTab->primeRecord(), 0);
    EXPECT_EQ(CRO.ID, 1);
}

TEST_F(LocalTables, AFileThatIsNotOursOrHasAnotherLayoutIsRefusedAndLeftAsItIs) {
    {
        std::ofstream junk(file("CROSSTAB.TPS"), std::ios::binary);
        junk << "not a table file at all, just some text";
    }
    InitDictionary();
    int rc = Access.CrossTab->open();
    EXPECT_TRUE(rc == rt::ErrInvalidRecordDeclaration || rc == rt::ErrFileSystem) << rc;
    EXPECT_EQ(std::filesystem::file_size(file("CROSSTAB.TPS")), 39u);

    // The same label with another field list in the file.
    struct Narrow {
        rt::Long ID = 0;
        rt::CString<11> Title;
    };
    static const rt::TableDef narrow = rt::TableBuilder<Narrow>("Mandant", "MAN")
                                           .localFile("MandantSQL.TPS")
                                           .create()
                                           .field(&Narrow::ID, "ID", "@n4")
                                           .field(&Narrow::Title, "Title", "@s10")
                                           .build();
    Narrow buffer;
    {
        rt::FileManager fm(narrow, &buffer);
        ASSERT_EQ(fm.open(), 0);
        buffer.ID = 9;
        ASSERT_EQ(fm.insert(), 0);
    }
    EXPECT_EQ(Access.Mandant->open(), rt::ErrInvalidRecordDeclaration);
    EXPECT_EQ(rt::errorCode(), 47);
    rt::FileManager again(narrow, &buffer);
    ASSERT_EQ(again.open(), 0);
    EXPECT_EQ(again.records(), 1);
}

TEST_F(LocalTables, TheSetUpTableLiesInItsSubFolder) {
    std::filesystem::create_directory(file("DATEIEN"));
    InitDictionary();
    ASSERT_EQ(Access.Setup->open(), 0) << rt::errorText() << " " << rt::fileErrorText();
    EXPECT_TRUE(exists("DATEIEN/GNSETUP.TPS"));
    ASSERT_EQ(Access.Setup->primeRecord(), 0);
    EXPECT_EQ(SEU.ID, 1);
}

}  // namespace
