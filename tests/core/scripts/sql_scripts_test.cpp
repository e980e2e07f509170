// SQL script tables: the GO batches and CREATE words, running a script on a real database, the
// text files of the form, and the one running list.
#include "core/scripts/sql_scripts.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/data/file_manager.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/dictionary/dictionary_fixture.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

using namespace sqlscript;

namespace {

TEST(ScriptTexts, GoBatchesAndCreateWords) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitGoBatches("SELECT 1\nGO\nSELECT 2\r\n  go  \r\nSELECT 3"),
              (Lines{"SELECT 1\n", "SELECT 2\r\n", "SELECT 3"}));
    EXPECT_EQ(SplitGoBatches("SELECT 'GO'\nGOTO x\nGO\n\nGO\n"), (Lines{"SELECT 'GO'\nGOTO x\n"}));
    EXPECT_EQ(SplitGoBatches("   \n"), Lines{});
    EXPECT_EQ(CreateWordsToAlter("create view vCreated AS /* recreate */ SELECT 1 AS CREATE_DATE; Create PROC p"),
              "ALTER view vCreated AS /* recreate */ SELECT 1 AS CREATE_DATE; ALTER PROC p");
}

class Scripts : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, {}});
    }
    void TearDown() override {
        display_.shutdown();
        SetRightsCheck({});
        WorkingFolderTest::TearDown();
    }
    int startList() {
        return rt::startThread([] {
            InitDictionary();
            BrowseSQLScript();
            KillDictionary();
        });
    }
    // The list on the script file of the working folder, its form opened for a new script.
    struct Opened {
        int thread;
        rt::WindowId list, form;
    };
    Opened openNewScript() {
        user_.queueFileDialogAnswer(chosen(file("Scripte.TPS")));
        const int t = startList();
        const auto w = user_.waitWindow("SQL-Scripte");
        user_.press(w, Insert);
        return {t, w, user_.waitWindow("EditSQLScripte")};
    }
    rt::FileDialogResult chosen(const std::string& path) {
        rt::FileDialogResult r;
        r.ok = true;
        r.path = path;
        return r;
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(Scripts, AktualisierenRunsTheBatchesInTurnAndStopsAtTheFirstErrorNamingIt) {
    const std::string db = file("client.db");
    GLO.ConnectString = voq::test::sqliteConnectString(db);
    ASSERT_EQ(voq::test::execSql(GLO.ConnectString.get().str(),
                                 "CREATE TABLE VOQSQLTBL (f1 varchar(255), f2 varchar(255), f3 varchar(255))"),
              "");
    const auto [t, w, f] = openNewScript();
    user_.setValue(f, EntryName, "Anlage");
    user_.setValue(f, TextScript,
                   "CREATE TABLE a (x int)\nGO\nINSERT INTO a VALUES (1)\nGO\nINSERT INTO fehlt VALUES (1)\nGO\n"
                   "INSERT INTO a VALUES (2)\n");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(f, sqlscript::Run);
    user_.settle(t);
    const auto box = user_.lastMessageBox();
    EXPECT_EQ(box.text.rfind("Batch 3 von 4:", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("fehlt"), std::string::npos) << box.text;
    // The batches before the error ran, the one after it did not.
    // (abs() of the smallest integer overflows: the statement fails unless a holds just the 1.)
    EXPECT_EQ(voq::test::execSql(GLO.ConnectString.get().str(),
                                 "SELECT CASE WHEN (SELECT COUNT(*) FROM a) = 1 AND (SELECT MAX(x) FROM a) = 1 THEN 1 "
                                 "ELSE abs(-9223372036854775808) END"),
              "");
    user_.press(f, Ok);
    user_.waitClosed(f);
    user_.press(w, Close);
    rt::waitThread(t);
}

class ScriptsOnEngines : public Scripts, public ::testing::WithParamInterface<std::string> {};

TEST_P(ScriptsOnEngines, TheBatchesOfAScriptShareOneConnection) {
    const bool pg = GetParam() == "pg";
    std::unique_ptr<voq::test::PgDatabase> database;
    std::string connect;
    if (!coretest::openClientDatabase(GetParam(), file("client.db"), database, connect)) return;
    GLO.ConnectString = connect;
    ASSERT_EQ(voq::test::execSql(connect, "CREATE TABLE " + coretest::serverTable(pg, "VOQSQLTBL") +
                                              " (f1 varchar(255), f2 varchar(255), f3 varchar(255))"),
              "");
    const auto [t, w, f] = openNewScript();
    user_.setValue(f, EntryName, "Temp");
    // What batch 1 leaves in the session is there for batch 2.
    user_.setValue(f, TextScript,
                   "CREATE TEMPORARY TABLE zwischen (x int)\nGO\nINSERT INTO zwischen VALUES (7)\nGO\n"
                   "CREATE TABLE " +
                       coretest::serverTable(pg, "bleibt") + " AS SELECT x FROM zwischen\n");
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(f, sqlscript::Run);
    user_.settle(t);
    EXPECT_EQ(user_.lastMessageBox().text, "Script Temp eingespielt");
    EXPECT_EQ(dicttest::query(connect, "SELECT x FROM " + coretest::serverTable(pg, "bleibt")), dicttest::Rows{{"7"}});
    user_.press(f, Cancel);
    user_.waitClosed(f);
    user_.press(w, Close);
    rt::waitThread(t);
}

INSTANTIATE_TEST_SUITE_P(Engines, ScriptsOnEngines, ::testing::Values("sqlite", "pg"));

// Records of a script file, as stored.
std::vector<std::pair<std::string, std::string>> storedScripts(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    const int t = rt::startThread([&] {
        InitDictionary();
        GLO.SCRIPT = path;
        rt::FileManager& fm = *Access.Scripte;
        if (fm.open() == 0) {
            fm.setOrder("SCR:KeyID");
            while (fm.next() == 0)
                out.emplace_back(std::string(SCR.Bezeichnung.clipped()), std::string(SCR.Script.str()));
            fm.close();
        }
        KillDictionary();
    });
    rt::waitThread(t);
    return out;
}

TEST_F(Scripts, CopyOpensTheFormWithAFreeNameAndNeueDateiSwitchesEveryHolder) {
    const auto [t, w, f] = openNewScript();
    user_.setValue(f, EntryName, "Anlage");
    user_.setValue(f, TextScript, "SELECT 1");
    user_.press(f, Ok);
    user_.waitClosed(f);
    // The copy: the highlighted script's text under a name no script has.
    for (const char* expected : {"Anlage (2)", "Anlage (3)"}) {
        user_.press(w, Copy);
        const auto copy = user_.waitWindow("EditSQLScripte");
        EXPECT_EQ(user_.value(copy, EntryName), expected);
        EXPECT_EQ(user_.value(copy, TextScript), "SELECT 1");
        user_.press(copy, Ok);
        user_.waitClosed(copy);
    }
    EXPECT_EQ(user_.rowCount(w, List), 3u);

    // Another file: the heading, the list and the next insert all use it.
    user_.queueFileDialogAnswer(chosen(file("Script2.TPS")));
    user_.press(w, NewFile);
    user_.settle(t);
    EXPECT_EQ(user_.text(w, FileName), file("Script2.TPS"));
    EXPECT_EQ(user_.rowCount(w, List), 0u);
    user_.press(w, Insert);
    const auto second = user_.waitWindow("EditSQLScripte");
    user_.setValue(second, EntryName, "Zweite");
    user_.press(second, Ok);
    user_.waitClosed(second);
    EXPECT_EQ(user_.rowCount(w, List), 1u);

    // A file that is no script table: the user is told, the list keeps its file.
    {
        std::ofstream out(file("Script3.TPS"), std::ios::binary);
        out << "kein Scriptverzeichnis";
    }
    user_.queueFileDialogAnswer(chosen(file("Script3.TPS")));
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, NewFile);
    user_.settle(t);
    EXPECT_EQ(user_.lastMessageBox().title, "Scriptdatei");
    EXPECT_EQ(user_.lastMessageBox().text.rfind("Die Scriptdatei " + file("Script3.TPS") + " kann nicht", 0), 0u)
        << user_.lastMessageBox().text;
    EXPECT_EQ(user_.text(w, FileName), file("Script2.TPS"));
    EXPECT_EQ(user_.rowCount(w, List), 1u);
    user_.press(w, Close);
    rt::waitThread(t);

    using Stored = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(storedScripts(file("Scripte.TPS")),
              (Stored{{"Anlage", "SELECT 1"}, {"Anlage (2)", "SELECT 1"}, {"Anlage (3)", "SELECT 1"}}));
    EXPECT_EQ(storedScripts(file("Script2.TPS")), (Stored{{"Zweite", ""}}));
}

TEST_F(Scripts, AFileInTheAnsiCodePageIsDecodedAndTooLongATextIsCutOnlyWhenAgreed) {
    {
        std::ofstream(file("ansi.sql"), std::ios::binary) << "SELECT 'Gr\xF6\xDF\x65 \x80'";
        std::ofstream(file("utf8.sql"), std::ios::binary) << "SELECT 'Größe €'";
    }
    const auto [t, w, f] = openNewScript();
    for (const char* name : {"ansi.sql", "utf8.sql"}) {
        user_.queueFileDialogAnswer(chosen(file(name)));
        user_.press(f, ItemOpen);
        user_.settle(t);
        EXPECT_EQ(user_.value(f, TextScript), "SELECT 'Größe €'") << name;
    }
    user_.setValue(f, EntryName, "Lang");
    user_.setValue(f, TextScript, std::string(kScriptMemoLimit, 'x') + "y");
    user_.queueMessageBoxAnswer(rt::button::No);
    user_.press(f, Ok);
    user_.settle(t);
    EXPECT_EQ(user_.lastMessageBox().title, "Skript zu lang");
    EXPECT_EQ(user_.rowCount(w, List), 0u);
    user_.queueMessageBoxAnswer(rt::button::Yes);
    user_.press(f, Ok);
    user_.waitClosed(f);
    user_.press(w, Close);
    rt::waitThread(t);
    const auto stored = storedScripts(file("Scripte.TPS"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored[0].second == std::string(kScriptMemoLimit, 'x')) << stored[0].second.size();
}

TEST_F(Scripts, TextFilesKeepTheWholeScriptAndTheListRunsOnce) {
    std::string longText;
    for (int i = 0; longText.size() < 30000; ++i) longText += "SELECT " + std::to_string(i) + ";\n";
    {
        std::ofstream out(file("gross.sql"), std::ios::binary);
        out << longText;
    }
    user_.queueFileDialogAnswer(chosen(file("Scripte.TPS")));
    int t = startList();
    auto w = user_.waitWindow("SQL-Scripte");
    // A second start while it runs only brings it to the front.
    int second = startList();
    rt::waitThread(second);
    EXPECT_EQ(user_.fileDialogs().size(), 1u);

    user_.press(w, Insert);
    auto f = user_.waitWindow("EditSQLScripte");
    user_.queueFileDialogAnswer(chosen(file("gross.sql")));
    user_.press(f, ItemOpen);
    user_.settle(t);
    EXPECT_TRUE(user_.value(f, TextScript) == longText) << user_.value(f, TextScript).size();
    EXPECT_EQ(user_.window(f).title, file("gross.sql"));
    user_.queueFileDialogAnswer(chosen(file("kopie.sql")));
    user_.press(f, ItemSaveAs);
    user_.settle(t);
    std::ifstream in(file("kopie.sql"), std::ios::binary);
    std::stringstream copy;
    copy << in.rdbuf();
    EXPECT_TRUE(copy.str() == longText) << copy.str().size() << " of " << longText.size();
    user_.press(f, Cancel);
    user_.waitClosed(f);
    user_.press(w, Close);
    rt::waitThread(t);

    // Closed, the list can be started again.
    user_.queueFileDialogAnswer(rt::FileDialogResult{});
    user_.queueMessageBoxAnswer(rt::button::Ok);
    int third = startList();
    rt::waitThread(third);
    EXPECT_EQ(user_.fileDialogs().size(), 4u);
    EXPECT_EQ(user_.lastMessageBox().text, "Keine Scriptdatei ausgewählt");
    EXPECT_EQ(user_.lastMessageBox().title, "Abbruch");
}

TEST_F(Scripts, TheEditMenuWorksOnTheScriptsSelectionWithinWhatTheRecordHolds) {
    const auto [t, w, f] = openNewScript();
    user_.setValue(f, TextScript, "SELECT a FROM t");
    user_.focus(f, EntryName);  // the menu acts on the script all the same
    user_.select(f, TextScript, 7, 9);
    user_.press(f, ItemCut);
    EXPECT_EQ(user_.value(f, TextScript), "SELECT FROM t");
    EXPECT_EQ(user_.clipboard(), "a ");
    user_.select(f, TextScript, 13, 13);
    user_.press(f, ItemPaste);
    EXPECT_EQ(user_.value(f, TextScript), "SELECT FROM ta ");
    const std::string full(kScriptMemoLimit - 1, 'x');
    user_.setValue(f, TextScript, full);
    user_.select(f, TextScript, 0, 0);
    user_.press(f, ItemPaste);
    EXPECT_TRUE(user_.value(f, TextScript) == "a" + full);
    user_.press(f, Cancel);
    user_.waitClosed(f);
    user_.press(w, Close);
    rt::waitThread(t);
}

}  // namespace
