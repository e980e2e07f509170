// The SQL object updater: its statements against a scripted server, and the log rows written
// for real on SQLite and PostgreSQL.
#include "core/updater/updater.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/dictionary/records.h"
#include "core/dictionary/tables.h"
#include "core/updater/update_log_list.h"
#include "core/updater/update_scripts.h"
#include "runtime/data/file_manager.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& s, const std::string& p) { return s.rfind(p, 0) == 0; }
bool has(const std::string& s, const std::string& p) { return s.find(p) != std::string::npos; }

// A server that records every statement and answers by the test's rule.
class ScriptedChannel : public StatementChannel {
public:
    using Rule = std::function<StatementResult(const std::string& sql)>;
    ScriptedChannel(Lines& sent, Rule rule) : sent_(sent), rule_(std::move(rule)) {}
    StatementResult run(const std::string& connect, const std::string& sql) override {
        connects.push_back(connect);
        sent_.push_back(sql);
        return rule_(sql);
    }
    Lines connects;

private:
    Lines& sent_;
    Rule rule_;
};

StatementResult rows(std::vector<std::array<std::string, 3>> r) {
    StatementResult s;
    s.rows = std::move(r);
    return s;
}
StatementResult failure(std::string text) {
    StatementResult s;
    s.failed = true;
    s.error = std::move(text);
    return s;
}

struct Script {
    long setup = 0, order = 0, version = 1;
    std::string type, name, text;
};

class Updater : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        rt::setTestClock(rt::dateFromYmd(2026, 12, 10), 3600001);
    }
    void TearDown() override {
        rt::clearTestClock();
        display_.shutdown();
        WorkingFolderTest::TearDown();
    }
    void onThread(const std::function<void()>& body) {
        int t = rt::startThread([&] {
            InitDictionary();
            body();
            KillDictionary();
        });
        rt::waitThread(t);
    }
    void writeScripts(const std::vector<Script>& scripts) {
        onThread([&] {
            SKRIPTRecord r;
            rt::FileManager fm(dictionary::SKRIPT(), &r);
            fm.setName(file("Skript.TPS"));
            fm.setCreate(true);
            ASSERT_EQ(fm.open(), 0) << rt::errorText();
            long id = 0;
            for (const auto& s : scripts) {
                r = SKRIPTRecord{};
                r.ID = ++id;
                r.SETUPID = s.setup;
                r.ORDERTOEXECUTE = s.order;
                r.VERSION = s.version;
                r.TYPE = s.type;
                r.NAME = s.name;
                r.SCRIPT = s.text;
                ASSERT_EQ(fm.insertAsIs(), 0) << rt::errorText();
            }
            fm.close();
        });
    }
    // One run with the scripted server; the statements sent come back.
    Lines run(KRUUpdater& updater, rt::Byte force = 0, std::string driver = {}) {
        UpdaterArgs a;
        a.file = file("Skript.TPS");
        a.server = "WAWI\\ERP";
        a.user = "sa";
        a.password = "geheim";
        a.database = "eazybusiness";
        a.force = force;
        a.driver = std::move(driver);
        onThread([&] { result_ = updater.VOQUpdater(a); });
        return sent_;
    }
    std::unique_ptr<KRUUpdater> scripted(ScriptedChannel::Rule rule) {
        auto ch = std::make_unique<ScriptedChannel>(sent_, std::move(rule));
        channel_ = ch.get();
        return std::make_unique<KRUUpdater>(std::move(ch));
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    Lines sent_;
    ScriptedChannel* channel_ = nullptr;
    long result_ = -1;
};

// A server with no log table and no objects: renames fail, everything else succeeds.
StatementResult freshServer(const std::string& sql) {
    if (startsWith(sql, "SELECT count(*)")) return rows({{"0", "", ""}});
    if (startsWith(sql, "sp_rename")) return failure("Either the parameter @objname is ambiguous");
    if (startsWith(sql, "SELECT NEWID()")) return rows({{"0B1F5C3A-1111-2222-3333-444455556666", "", ""}});
    return {};
}

TEST_F(Updater, AnEmptyLogInstallsEveryKnownTypeAfterCreatingTheLogTable) {
    writeScripts({{0, 1, 1, "View", "vUmsatz", "CREATE VIEW vUmsatz AS SELECT 1 x"},
                  {0, 2, 3, "Function", "fnTag", "create function fnTag() returns int as begin return 1 end"},
                  {0, 3, 1, "Stored Procedure", "spA", "CREATE PROCEDURE spA AS SELECT 1"},
                  {0, 4, 1, "Procedure", "spB", "CREATE PROCEDURE spB AS SELECT 2"},
                  {0, 5, 1, "Trigger", "trC", "CREATE TRIGGER trC ON x AFTER INSERT AS SELECT 3"},
                  {0, 6, 1, "Library", "libD", "whatever"},
                  {-1, 1, 1, "View", "vNotRead", "CREATE VIEW vNotRead AS SELECT 1"}});
    auto up = scripted(freshServer);
    KRUUpdater& u = *up;
    Lines sent = run(u, 0, "SQL Server");
    EXPECT_EQ(result_, 3);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0],
              "SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_CATALOG = 'eazybusiness' AND TABLE_SCHEMA = "
              "'dbo' AND TABLE_NAME = 'VOQDBUpdateLog'");
    EXPECT_EQ(sent[1], KRUUpdater::createLogTableSql());
    EXPECT_TRUE(startsWith(sent[2], "SELECT DBU_Type,DBU_TableName,MAX(DBU_Version) FROM VOQDBUpdateLog"));
    // The client's own driver in the connection text.
    EXPECT_EQ(channel_->connects.at(0), "DRIVER=SQL Server;SERVER=WAWI\\ERP;UID=sa;PWD=geheim;Database=eazybusiness");

    Lines inserts;
    for (const auto& s : sent)
        if (startsWith(s, "Insert Into dbo.VOQDBUpdateLog Values('"))
            inserts.push_back(s.substr(0, s.find(",current")));
    const Lines expected = {
        "Insert Into dbo.VOQDBUpdateLog Values('vUmsatz',1,'View'",
        "Insert Into dbo.VOQDBUpdateLog Values('fnTag',3,'Function'",
        "Insert Into dbo.VOQDBUpdateLog Values('spA',1,'Stored Procedure'",
        "Insert Into dbo.VOQDBUpdateLog Values('spB',1,'Procedure'",
        "Insert Into dbo.VOQDBUpdateLog Values('trC',1,'Trigger'",
        "Insert Into dbo.VOQDBUpdateLog Values('Update Log',ISNULL((Select max(dbu_version)+1 From VOQdbupdatelog "
        "where dbu_tablename = 'Update Log'),1),'0B1F5C3A-1111-2222-3333-444455'",
    };
    EXPECT_EQ(inserts, expected);
    // New objects: the "Alter" attempt comes before the creation with its header; nothing is dropped.
    auto at = [&](const std::string& p) {
        return std::find_if(sent.begin(), sent.end(), [&](const std::string& s) { return has(s, p); }) - sent.begin();
    };
    EXPECT_LT(at("Alter VIEW vUmsatz"), at("\r\n\r\nCREATE VIEW vUmsatz"));
    EXPECT_TRUE(has(sent[at("CREATE VIEW vUmsatz")], "/*** Published: 10.12.2026, 10:00, Version: 1 ***/\r\n\r\n"))
        << sent[at("CREATE VIEW vUmsatz")];
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](auto& s) { return has(s, "DROP "); }), 0);
    // The version property for all but the trigger.
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](auto& s) { return has(s, "sys.sp_addextendedproperty"); }), 8);
    EXPECT_FALSE(std::any_of(sent.begin(), sent.end(), [](auto& s) { return has(s, "vNotRead") || has(s, "libD"); }));
    const Lines& log = u.logEntries();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1], "Updated version from 0 to 3|fnTag|0|3|OK");
}

TEST_F(Updater, VersionsForceFailuresAndQuotesAsOneTable) {
    writeScripts({{0, 1, 2, "View", "vGleich", "CREATE VIEW vGleich AS SELECT 1"},
                  {0, 2, 1, "View", "vAlt", "CREATE VIEW vAlt AS SELECT 1"},
                  {0, 3, 5, "Function", "fnNeu", "CREATE FUNCTION fnNeu() RETURNS int AS BEGIN RETURN 1 END"},
                  {0, 4, 9, "View", "vKaputt", "CREATE VIEW vKaputt AS SELEKT"},
                  {0, 5, 1, "Stored Procedure", "spImmer", "CREATE PROCEDURE spImmer AS SELECT 'it''s'"},
                  {0, 6, 4, "View", "O'Brien]x", "CREATE VIEW [O'Brien]]x] AS SELECT 'a' t"}});
    // Logged: vGleich 2, vAlt 3, fnNeu 4 (case differs), vKaputt 1, O'Brien]x 1; spImmer not yet.
    auto server = [](const std::string& sql) -> StatementResult {
        if (startsWith(sql, "SELECT count(*) FROM INFORMATION_SCHEMA")) return rows({{"1", "", ""}});
        if (startsWith(sql, "SELECT DBU_Type"))
            return rows({{"Function", "FNNEU", "4"},
                         {"View", "O'Brien]x", "1"},
                         {"View", "vAlt", "3"},
                         {"View", "vGleich", "2"},
                         {"View", "vKaputt", "1"}});
        if (has(sql, "SELEKT") && !has(sql, "Alter")) return failure("Incorrect syntax near 'SELEKT'.");
        if (startsWith(sql, "SELECT NEWID()")) return rows({{"ABC", "", ""}});
        return {};
    };
    auto up = scripted(server);
    KRUUpdater& u = *up;
    Lines sent = run(u);
    const Lines expectedLog = {
        "Versions were equal, skipped update.|vGleich|2|2|SKIP",
        "Versions were equal, skipped update.|vAlt|3|1|SKIP",
        "Updated version from 4 to 5|fnNeu|4|5|OK",
        "Error: Incorrect syntax near 'SELEKT'.|vKaputt|1|9|ERR",
        "Updated version from 0 to 1|spImmer|0|1|OK",
        "Updated version from 1 to 4|O'Brien]x|1|4|OK",
    };
    EXPECT_EQ(u.logEntries(), expectedLog);
    auto sentHas = [&](const std::string& s) { return std::find(sent.begin(), sent.end(), s) != sent.end(); };
    // The broken view gets its old name back; the others drop the old object.
    EXPECT_TRUE(sentHas("sp_rename 'vKaputt_TMP', 'vKaputt'"));
    EXPECT_TRUE(
        sentHas("IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.ROUTINES WHERE UPPER(ROUTINE_NAME) = "
                "'FNNEU_TMP') DROP FUNCTION [fnNeu_TMP]"));
    EXPECT_TRUE(
        sentHas("IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.ROUTINES WHERE UPPER(ROUTINE_NAME) = "
                "'SPIMMER_TMP') DROP PROCEDURE [spImmer_TMP]"));
    // A name with a quote and a bracket is quoted in every statement.
    EXPECT_TRUE(sentHas("sp_rename 'O''Brien]x', 'O''Brien]x_TMP'"));
    EXPECT_TRUE(
        sentHas("IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'O''Brien]x_TMP') DROP "
                "VIEW [O'Brien]]x_TMP]"));
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](auto& s) {
        return startsWith(s,
                          "Insert Into dbo.VOQDBUpdateLog Values('O''Brien]x',4,'View',current_timestamp,'CREATE "
                          "VIEW [O''Brien]]x] AS SELECT ''a'' t')");
    }));
    // The summary holds the error with its quotes doubled.
    const std::string summary = sent.back();
    EXPECT_TRUE(startsWith(summary, "Insert Into dbo.VOQDBUpdateLog Values('Update Log',"));
    EXPECT_TRUE(has(summary, "[]Error: Incorrect syntax near ''SELEKT''.|vKaputt|1|9|ERR[]"));
    // Forced: the equal and lower versions are installed too.
    sent_.clear();
    auto forced = scripted(server);
    run(*forced, 1);
    EXPECT_EQ(std::count_if(forced->logEntries().begin(), forced->logEntries().end(),
                            [](auto& e) { return has(e, "|SKIP"); }),
              0);
}

TEST_F(Updater, NothingToInstallWritesNoSummaryAndMissingArgumentsStop) {
    writeScripts({{0, 1, 1, "View", "vA", "CREATE VIEW vA AS SELECT 1"}});
    auto server = [](const std::string& sql) -> StatementResult {
        if (startsWith(sql, "SELECT count(*)")) return rows({{"1", "", ""}});
        if (startsWith(sql, "SELECT DBU_Type")) return rows({{"View", "vA", "7"}});
        return {};
    };
    auto up = scripted(server);
    KRUUpdater& u = *up;
    Lines sent = run(u);
    EXPECT_EQ(sent.size(), 2u);  // the table test and the versions, nothing else
    EXPECT_EQ(u.logEntries(), Lines{"Versions were equal, skipped update.|vA|7|1|SKIP"});

    // Without a server or a database: a message, result 0, no statement.
    sent_.clear();
    UpdaterArgs a;
    a.file = "Skript.TPS";
    a.database = "x";
    int t = rt::startThread([&] { result_ = u.VOQUpdater(a); });
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.text, "--KRUUpdater - Server value not passed.");
    user_.answerMessageBox(rt::button::Ok);
    rt::waitThread(t);
    EXPECT_EQ(result_, 0);
    EXPECT_TRUE(sent_.empty());

    // A file that cannot be opened: one entry, no summary.
    UpdaterArgs b = a;
    b.server = "s";
    b.file = file("fehlt/Skript.TPS");
    onThread([&] { result_ = u.VOQUpdater(b); });
    EXPECT_EQ(result_, 3);
    ASSERT_EQ(u.logEntries().size(), 1u);
    EXPECT_TRUE(startsWith(u.logEntries()[0], "Error opening TPS file: " + file("fehlt/Skript.TPS") + ", "));
    EXPECT_TRUE(sent_.empty());
}

// ---- Real engines: the log rows through the table layer, read by the update-log list -------

class UpdaterOnEngines : public Updater, public ::testing::WithParamInterface<std::string> {};

TEST_P(UpdaterOnEngines, LoggedVersionsAreListedAndASecondRunSkipsThem) {
    const bool pg = GetParam() == "pg";
    std::unique_ptr<voq::test::PgDatabase> database;
    std::string connect;
    if (!coretest::openClientDatabase(GetParam(), file("client.db"), database, connect)) return;
    ASSERT_EQ(voq::test::execSql(connect, "CREATE TABLE " + coretest::serverTable(pg, "VOQDBUpdateLog") +
                                              " (DBU_TableName varchar(50) NOT NULL, DBU_Version int NOT NULL, "
                                              "DBU_Type varchar(30) NOT NULL, DBU_Updated timestamp NOT NULL, "
                                              "DBU_Statement text NOT NULL, PRIMARY KEY (DBU_TableName, DBU_Version))"),
              "");
    GLO.ConnectString = connect;
    writeScripts({{0, 1, 1, "View", "vZwei", "CREATE VIEW vZwei AS SELECT 'it''s' x"},
                  {0, 2, 3, "View", "vEins", ""},
                  {0, 3, 2, "Function", "fnDrei", "CREATE FUNCTION fnDrei() RETURNS int AS BEGIN RETURN 1 END"},
                  {0, 4, 1, "Stored Procedure", "spVier", "CREATE PROCEDURE spVier AS SELECT 1"}});
    // The object rows and the versions go to the real server; SQL Server's own statements are
    // answered as SQL Server answers them for new objects.
    auto real = std::shared_ptr<StatementChannel>(MakeOdbcStatementChannel());
    auto hybrid = [&](const std::string& sql) -> StatementResult {
        if ((startsWith(sql, "Insert Into dbo.VOQDBUpdateLog Values('") && !has(sql, "'Update Log'")) ||
            startsWith(sql, "SELECT DBU_Type"))
            return real->run(pg ? connect : voq::test::sqliteConnectString(file("client.db")), sql);
        if (startsWith(sql, "SELECT count(*)")) return rows({{"1", "", ""}});
        if (startsWith(sql, "sp_rename")) return failure("no such object");
        return {};
    };
    for (int pass = 1; pass <= 2; ++pass) {
        sent_.clear();
        auto up = scripted(hybrid);
        run(*up);
        if (pass == 1) {
            ASSERT_EQ(up->logEntries().size(), 4u);
            for (const auto& e : up->logEntries()) EXPECT_TRUE(has(e, "|OK")) << e;
        } else {
            // The second run compares with what the first logged, stored procedures too.
            ASSERT_EQ(up->logEntries().size(), 4u);
            for (const auto& e : up->logEntries()) EXPECT_TRUE(has(e, "|SKIP")) << e;
            EXPECT_EQ(up->installedVersions().size(), 4u);
        }
    }
    EXPECT_EQ(voq::test::execSql(connect, "INSERT INTO " + coretest::serverTable(pg, "VOQDBUpdateLog") +
                                              " VALUES ('vEins', 4, 'View', current_timestamp, 'x')"),
              "");

    SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, {}});
    int t = rt::startThread([] {
        InitDictionary();
        BrowseDBUpdateLog();
        KillDictionary();
    });
    auto w = user_.waitWindow("DBUpdateLog");
    const auto listed = user_.rows(w, updatelog::List);
    ASSERT_EQ(listed.size(), 5u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"fnDrei", "2"}, {"spVier", "1"}, {"vEins", "3"}, {"vEins", "4"}, {"vZwei", "1"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(user_.cell(w, updatelog::List, int(i) + 1, 1), expected[i].first);
        EXPECT_EQ(user_.cell(w, updatelog::List, int(i) + 1, 2), expected[i].second);
    }
    // The server's time of the insert, in the system's date form.
    const std::string day = user_.cell(w, updatelog::List, 1, 4);
    EXPECT_TRUE(day.size() == 10 && day[2] == '.' && day[5] == '.') << day;
    user_.press(w, updatelog::Close);
    rt::waitThread(t);
    SetRightsCheck({});
}

INSTANTIATE_TEST_SUITE_P(Engines, UpdaterOnEngines, ::testing::Values("sqlite", "pg"));

// ---- The update-script list and form -------------------------------------------------------

class UpdateScripts : public Updater {
protected:
    void TearDown() override {
        SetUpdaterChannelFactory({});
        Updater::TearDown();
    }
    // Waits until the updater's progress window has come and gone.
    void waitRun(int thread) {
        user_.settle(thread);
        for (int i = 0; i < 500; ++i) {
            const auto open = display_.shownWindows();
            if (std::none_of(open.begin(), open.end(), [](auto& w) { return w.window.title == "Progress..."; })) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        user_.settle(thread);
    }
    int startList() {
        return rt::startThread([] {
            InitDictionary();
            BrowseSQLSkript1();
            KillDictionary();
        });
    }
    // The records of the file as stored.
    std::vector<SKRIPTRecord> stored(const std::string& name) {
        std::vector<SKRIPTRecord> out;
        onThread([&] {
            SKRIPTRecord r;
            rt::FileManager fm(dictionary::SKRIPT(), &r);
            fm.setName(file(name));
            ASSERT_EQ(fm.open(), 0);
            fm.setOrder("UPD:BY_ID");
            while (fm.next() == 0) out.push_back(r);
            fm.close();
        });
        return out;
    }
};

TEST_F(UpdateScripts, NoFileChosenAndJaOpensAnEmptySkriptTpsWhereTheFormKeepsTheWholeText) {
    GLO.UserName = "Demo Benutzer";
    rt::FileDialogResult cancelled;
    user_.queueFileDialogAnswer(cancelled);
    user_.queueMessageBoxAnswer("Ja");
    int t = startList();
    auto w = user_.waitWindow("SQL-Skripte");
    EXPECT_TRUE(startsWith(user_.lastMessageBox().text, "Keine Skript-Datei ausgewählt. Soll eine leere Datei"));
    EXPECT_EQ(user_.lastMessageBox().title, "Skript-Datei");
    EXPECT_EQ(user_.text(w, skript::FileName), file("Skript.TPS"));
    EXPECT_EQ(user_.rowCount(w, skript::List), 0u);

    const std::string whole(kScriptTextLimit, 'x');
    user_.press(w, skript::Insert);
    auto f = user_.waitWindow("EditSkript1");
    EXPECT_EQ(user_.value(f, skript::DropType), "View");
    user_.setValue(f, skript::EntryName, "vNeu");
    user_.setValue(f, skript::TextScript, whole + "yyy");
    // Too long a text is cut only when the user agrees; "No" goes back to the form.
    user_.queueMessageBoxAnswer(rt::button::No);
    user_.press(f, skript::Ok);
    user_.settle(t);
    EXPECT_EQ(user_.lastMessageBox().title, "Skript zu lang");
    EXPECT_TRUE(startsWith(user_.lastMessageBox().text,
                           "Das Skript hat 64.003 Zeichen. Gespeichert werden nur die "
                           "ersten 64.000 Zeichen"))
        << user_.lastMessageBox().text;
    EXPECT_EQ(user_.rowCount(w, skript::List), 0u);
    EXPECT_EQ(user_.value(f, skript::TextScript), whole + "yyy");
    user_.queueMessageBoxAnswer(rt::button::Yes);
    user_.press(f, skript::Ok);
    user_.waitClosed(f);
    ASSERT_EQ(user_.rowCount(w, skript::List), 1u);

    // Another day: only the description changes, the record is stamped.
    rt::setTestClock(rt::dateFromYmd(2026, 12, 11), 100);
    user_.press(w, skript::Change);
    f = user_.waitWindow("EditSkript1");
    EXPECT_EQ(user_.value(f, skript::TextScript), whole);
    user_.setValue(f, skript::EntryDescription, "neu beschrieben");
    user_.press(f, skript::Ok);
    user_.waitClosed(f);
    EXPECT_EQ(user_.cell(w, skript::List, 1, 5), "11.12.2026");
    // Emptied text: a BLOB of size 0.
    user_.press(w, skript::Change);
    f = user_.waitWindow("EditSkript1");
    user_.setValue(f, skript::TextScript, "");
    user_.press(f, skript::Ok);
    user_.waitClosed(f);
    user_.press(w, skript::Close);
    rt::waitThread(t);

    auto records = stored("Skript.TPS");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].NAME.str().substr(0, 4), "vNeu");
    EXPECT_EQ(records[0].ADDNAME.str().substr(0, 13), "Demo Benutzer");
    EXPECT_EQ(records[0].ADDEDDATE, rt::dateFromYmd(2026, 12, 10));
    EXPECT_EQ(records[0].UPDATEDDATE, rt::dateFromYmd(2026, 12, 11));
    EXPECT_EQ(records[0].SCRIPT.size(), 0u);
}

TEST_F(UpdateScripts, LadeSkripteRunsTheUpdaterOnTheListsFileWithTheClientsDriverAndForce) {
    writeScripts(
        {{0, 1, 1, "View", "vA", "CREATE VIEW vA AS SELECT 1"}, {0, 2, 1, "View", "vB", "CREATE VIEW vB AS SELECT 2"}});
    GLO.ConnectString = "DRIVER=PostgreSQL Unicode;SERVER=db;UID=u;PWD=p;Database=erp";
    GLO.Server = "db";
    GLO.DbUser = "u";
    GLO.DbPassword = "p";
    GLO.Database = "erp";
    Lines connects;
    SetUpdaterChannelFactory([&] {
        return std::make_unique<ScriptedChannel>(sent_, [&](const std::string& sql) -> StatementResult {
            if (startsWith(sql, "SELECT count(*)")) return rows({{"1", "", ""}});
            if (startsWith(sql, "SELECT DBU_Type")) return rows({{"View", "vA", "1"}, {"View", "vB", "1"}});
            return {};
        });
    });
    rt::FileDialogResult chosen;
    chosen.ok = true;
    chosen.path = file("Skript.TPS");
    user_.queueFileDialogAnswer(chosen);
    int t = startList();
    auto w = user_.waitWindow("SQL-Skripte");
    EXPECT_EQ(user_.rowCount(w, skript::List), 2u);
    user_.press(w, skript::Load);  // equal versions: nothing installed
    waitRun(t);
    auto installs = [&] {
        return std::count_if(sent_.begin(), sent_.end(),
                             [](auto& s) { return startsWith(s, "Insert Into dbo.VOQDBUpdateLog Values('v"); });
    };
    EXPECT_EQ(installs(), 0);
    user_.check(w, skript::Force, true);
    user_.press(w, skript::Load);
    waitRun(t);
    EXPECT_EQ(installs(), 2);
    EXPECT_EQ(GLO.ForceUpdate.get(), 1);
    user_.press(w, skript::Close);
    rt::waitThread(t);
    EXPECT_EQ(ClientConnectionOf(GLO.ConnectString.get().str()).driver, "PostgreSQL Unicode");
    EXPECT_TRUE(ClientConnectionOf("DRIVER=SQL Server;SERVER=x;Database=eb;Trusted_Connection=True").trusted);
}

TEST(UpdaterTexts, QuotesBracketsAndPropertyBatches) {
    EXPECT_EQ(KRUUpdater::Q("O'Brien  "), "'O''Brien'");
    EXPECT_EQ(KRUUpdater::bracketed("a]b"), "[a]]b]");
    EXPECT_EQ(KRUUpdater::dropSql("Trigger", "tr'x"),
              "IF EXISTS(SELECT Name FROM sysobjects WHERE UPPER(Name) = 'TR''X' AND Type = 'TR') DROP TRIGGER [tr'x]");
    EXPECT_EQ(KRUUpdater::propertyCountSql("dbo.v'1", "Version"),
              "SELECT COUNT(*) \r\nFROM sys.extended_properties AS ep \r\nWHERE ep.major_id = OBJECT_ID(N'dbo.v''1') "
              "\r\nAND ep.name = N'Version' AND ep.minor_id = 0;");
    const std::string insert = KRUUpdater::propertyBatch(false, "dbo.v'1", "Version", "[OBJECTNAME]");
    const std::string update = KRUUpdater::propertyBatch(true, "dbo.v1", "Version", "7");
    EXPECT_TRUE(has(insert, "SET @objectName = 'dbo.v''1';"));
    // Replaced text is not searched again.
    EXPECT_TRUE(has(insert, "SET @propertyValue = '[OBJECTNAME]';"));
    EXPECT_TRUE(has(insert, "EXEC sys.sp_addextendedproperty"));
    EXPECT_TRUE(has(insert, "Cannot specify 4-part names in PropInsert."));
    EXPECT_TRUE(has(insert, "' Error occurred while adding property to the [' + @part2 + '].[' + @part1 + '] '"));
    EXPECT_TRUE(has(update, "EXEC sys.sp_updateextendedproperty"));
    EXPECT_TRUE(has(update, "Cannot specify 4-part names in PropUpdate."));
    EXPECT_TRUE(has(update, "' Error occurred while updating property on the current database.'"));
    EXPECT_FALSE(has(update, "[PROPERTYVALUE]"));
    for (const char* t : {"N'TABLE'", "N'VIEW'", "N'PROCEDURE'", "N'AGGREGATE'", "N'FUNCTION'", "N'SYNONYM'",
                          "N'QUEUE'", "@level2type = N'COLUMN'", "BEGIN TRY", "BEGIN CATCH", "RAISERROR"})
        EXPECT_TRUE(has(insert, t)) << t;
    // A summary longer than its column: cut first, then the quotes are doubled whole.
    EXPECT_EQ(KRUUpdater::doubleQuotes(std::string(3, '\'')), std::string(6, '\''));
}

}  // namespace
