// Client connections: connect strings, take-over, the connection test, the list and the form,
// the "Connect-String" window.
#include "core/clients/clients.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "core/clients/program_end.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/startup/startup.h"
#include "runtime/ini/profile.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

using namespace mandant;

namespace {

MandantRecord client(const char* driver, const char* server, const char* db, const char* user, const char* pw,
                     rt::Byte regional, rt::Byte trusted) {
    MandantRecord r;
    r.Driver = driver;
    r.Server = server;
    r.Datenbank = db;
    r.Name = user;
    r.Passwort = pw;
    r.Regional = regional;
    r.Trusted = trusted;
    return r;
}

TEST(ConnectStrings, FromAClientRecord) {
    struct Case {
        MandantRecord record;
        std::string expected;
    } cases[] = {
        {client("SQL Server", "PC\\ERP", "eazybusiness", "sa", "pw", 0, 0),
         "DRIVER=SQL Server;SERVER=PC\\ERP;UID=sa;PWD=pw;Database=eazybusiness"},
        {client("SQL Server", "PC\\ERP", "eazybusiness", "sa", "pw", 1, 0),
         "DRIVER=SQL Server;SERVER=PC\\ERP;UID=sa;PWD=pw;Database=eazybusiness;Regional=Yes"},
        {client("SQL Server", "PC\\ERP", "eb", "sa", "pw", 0, 1),
         "DRIVER=SQL Server;SERVER=PC\\ERP;Database=eb;Trusted_Connection=True"},
        {client("SQL Server", "PC\\ERP", "eb", "sa", "pw", 1, 1),
         "DRIVER=SQL Server;SERVER=PC\\ERP;Database=eb;Trusted_Connection=True;Regional=Yes"},
        {client("", "", "", "", "", 0, 0), "DRIVER=;SERVER=;UID=;PWD=;Database="},
        {client("SQLite3", " ", "demo.db", "", "", 0, 0), "DRIVER=SQLite3;SERVER= ;UID=;PWD=;Database=demo.db"},
        // "host,port": SQL Server's drivers read it themselves, the others get their keyword.
        {client("PostgreSQL Unicode", "127.0.0.1,55432", "voq", "u", "p", 0, 0),
         "DRIVER=PostgreSQL Unicode;SERVER=127.0.0.1;Port=55432;UID=u;PWD=p;Database=voq"},
        {client("SQL Server", "wawi,1433", "eb", "sa", "pw", 0, 0),
         "DRIVER=SQL Server;SERVER=wawi,1433;UID=sa;PWD=pw;Database=eb"},
        {client("PostgreSQL Unicode", "host,name", "d", "u", "p", 0, 0),
         "DRIVER=PostgreSQL Unicode;SERVER=host,name;UID=u;PWD=p;Database=d"},
        // A value stays one value: braced where it holds ";", left out where it holds "}".
        {client("PostgreSQL Unicode", "127.0.0.1;Port=1", "d", "u", "a;b", 0, 0),
         "DRIVER=PostgreSQL Unicode;SERVER={127.0.0.1;Port=1};UID=u;PWD={a;b};Database=d"},
        {client("SQL Server", "s", "d", "u", "x};Database=master", 0, 0),
         "DRIVER=SQL Server;SERVER=s;UID=u;PWD=;Database=d"},
    };
    for (const auto& c : cases) EXPECT_EQ(ConnectString(c.record), c.expected);
    MandantRecord longer =
        client(std::string(60, 'd').c_str(), std::string(60, 's').c_str(), std::string(60, 'b').c_str(),
               std::string(40, 'u').c_str(), std::string(40, 'p').c_str(), 1, 0);
    EXPECT_EQ(ConnectString(longer).size(), 255u);
}

// The end of the running program is the process's end, from any thread, with the code given.
TEST(EndProgramNow, EndsTheProcessFromAProgramThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int t = rt::startThread([] { EndProgramNow(1); });
            rt::waitThread(t);
            std::_Exit(99);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST(ConnectStringWindowParts, TakenByPosition) {
    resetGlobals();
    GLO.Server = "PC\\ERP";
    struct Case {
        std::string given;
        ConnectStringParts parts;
        std::string rebuilt;
    } cases[] = {
        {"",
         {"DRIVER=SQL Server;SERVER=PC\\ERP;UID=Dein_Name;PWD=Dein_Kennwort;Database=Dein_Mandant", "SQL Server",
          "PC\\ERP", "Dein_Name", "Dein_Kennwort", "Dein_Mandant", ""},
         "DRIVER=SQL Server;SERVER=PC\\ERP;UID=Dein_Name;PWD=Dein_Kennwort;Database=Dein_Mandant"},
        // A trusted string: the database lands in the user, "True" in the password.
        {"DRIVER=SQL Server;SERVER=x;Database=eb;Trusted_Connection=True",
         {"DRIVER=SQL Server;SERVER=x;Database=eb;Trusted_Connection=True", "SQL Server", "x", "eb", "True", "", ""},
         "DRIVER=SQL Server;SERVER=x;UID=eb;PWD=True;Database="},
        {"DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b;Regional=Yes",
         {"DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b;Regional=Yes", "d", "s", "u", "p", "b", "Yes"},
         "DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b;Regional=Yes"},
        {"DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b;Regional=yes",
         {"DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b;Regional=yes", "d", "s", "u", "p", "b", "yes"},
         "DRIVER=d;SERVER=s;UID=u;PWD=p;Database=b"},
        // A braced value is one part, and goes back braced.
        {"DRIVER={PostgreSQL Unicode};SERVER=s;UID=u;PWD={a;b=c};Database=b",
         {"DRIVER={PostgreSQL Unicode};SERVER=s;UID=u;PWD={a;b=c};Database=b", "PostgreSQL Unicode", "s", "u", "a;b=c",
          "b", ""},
         "DRIVER=PostgreSQL Unicode;SERVER=s;UID=u;PWD={a;b=c};Database=b"},
    };
    for (const auto& c : cases) {
        ConnectStringParts p = SplitConnectString(c.given);
        EXPECT_EQ(p.work, c.parts.work);
        EXPECT_EQ(p.driver, c.parts.driver);
        EXPECT_EQ(p.server, c.parts.server);
        EXPECT_EQ(p.user, c.parts.user);
        EXPECT_EQ(p.password, c.parts.password);
        EXPECT_EQ(p.database, c.parts.database);
        EXPECT_EQ(p.regional, c.parts.regional);
        EXPECT_EQ(BuildConnectString(p), c.rebuilt);
    }
    // A part is cut at its 40th character, before the value is taken.
    ConnectStringParts p = SplitConnectString("DRIVER=" + std::string(50, 'x') + ";SERVER=s");
    EXPECT_EQ(p.driver, std::string(33, 'x'));
    EXPECT_EQ(SplitConnectString("a=1;b=2;c=3;d=4;e=5;f=Yessir").regional, "Yes");
}

// ---- Windows and the table -----------------------------------------------------------------

class Clients : public coretest::HaltingTest {
protected:
    void TearDown() override {
        display_.shutdown();
        setProgramFilePath({});
        HaltingTest::TearDown();
    }
    // Runs `body` on a program thread with its dictionary; returns the halt code or -1.
    int start(std::function<void()> body) {
        halted_ = -1;
        thread_ = rt::startThread([this, body = std::move(body)] {
            InitDictionary();
            halted_ = coretest::haltCode(body);
            KillDictionary();
        });
        return thread_;
    }
    void finish() { user_.waitThreadEnd(thread_); }
    // Adds client records to the client file.
    void addClients(std::vector<MandantRecord> records) {
        start([&] {
            Access.Mandant->open();
            for (auto& r : records) {
                MAN = r;
                ASSERT_EQ(Access.Mandant->insertAsIs(), 0) << rt::errorText();
            }
            Access.Mandant->close();
        });
        finish();
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    int thread_ = 0;
    int halted_ = -1;
};

MandantRecord named(rt::Long id, const char* name, const std::string& db) {
    MandantRecord r = client("SQLite3", "", db.c_str(), "", "", 0, 0);
    r.ID = id;
    r.Mandant = name;
    return r;
}

TEST_F(Clients, TakeOverSetsTheClientGlobals) {
    MandantRecord r = client("SQL Server", "PC\\ERP", "eazybusiness", "sa", "geheim", 1, 0);
    r.ID = 7;
    r.Mandant = "Muster AG";
    addClients({r});
    start([] {
        TakeOverClient(7);
        EXPECT_EQ(MAN.Mandant, "Muster AG");
        TakeOverClient(8);  // no such record: a blank buffer
        EXPECT_EQ(MAN.ID, 0);
    });
    finish();
    EXPECT_EQ(GLO.ConnectString.get().str(), "DRIVER=;SERVER=;UID=;PWD=;Database=");
    EXPECT_EQ(GLO.MANDANTENNAME.get().str(), "");
    start([] { TakeOverClient(7); });
    finish();
    EXPECT_EQ(GLO.DbUser.get().str(), "sa");
    EXPECT_EQ(GLO.DbPassword.get().str(), "geheim");
    EXPECT_EQ(GLO.Database.get().str(), "eazybusiness");
    EXPECT_EQ(GLO.MANDANTENNAME.get().str(), "Muster AG");
    EXPECT_EQ(GLO.Server.get().str(), "PC\\ERP");
    // The client file holds the database passwords: only its owner may read it.
    EXPECT_EQ(std::filesystem::status(dir_.file("MandantSQL.TPS")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(GLO.ConnectString.get().str(),
              "DRIVER=SQL Server;SERVER=PC\\ERP;UID=sa;PWD=geheim;Database=eazybusiness;Regional=Yes");
}

TEST_F(Clients, AnEmptyClientFileGetsTheDefaultClientAndAuswahlRestarts) {
    setProgramFilePath("/bin/true");
    start([] {
        rt::ThreadRequest = 4;
        ListMandant();
    });
    auto w = user_.waitWindow("Mandanten");
    ASSERT_EQ(user_.rows(w, List).size(), 1u);
    EXPECT_EQ(user_.cell(w, List, 1, 1), "Ihr Mandantenname");
    EXPECT_EQ(user_.cell(w, List, 1, 2), "SQL Server");
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(user_.cell(w, List, 1, 3), std::string(host) + "\\ERP");
    EXPECT_EQ(user_.cell(w, List, 1, 4), "eazybusiness");
    EXPECT_EQ(user_.rows(w, List)[0].cells[0].fore, rt::rgb(64, 0, 64));
    user_.press(w, Select);
    finish();
    EXPECT_EQ(halted_, 0);  // the new process started, this one ended
    EXPECT_EQ(rt::getProfileString("VOQKivorant6.INI", "MANDANT", "Kivorant", ""), "1");
}

TEST_F(Clients, ARestartThatCannotStartKeepsTheProgramRunning) {
    setProgramFilePath(dir_.file("no-such-program"));
    addClients({named(3, "Drei", "x.db")});
    start([] { ListMandant(); });
    auto w = user_.waitWindow("Mandanten");
    rt::sendInput(w, rt::UserInput(rt::Event::Accepted, Select));  // the box comes before the list waits again
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "Fehler");
    user_.answerMessageBox(rt::button::Ok);
    EXPECT_TRUE(user_.isOpen(w));
    user_.press(w, Close);
    finish();
    EXPECT_EQ(halted_, -1);
    EXPECT_EQ(rt::getProfileString("VOQKivorant6.INI", "MANDANT", "Kivorant", ""), "3");
}

TEST_F(Clients, CopyIsOnlyEnabledWithRowsAndANewClientGetsTheDefaults) {
    addClients({named(1, "Eins", "1.db")});
    std::uint8_t response = 0;
    start([&] {
        ListMandant();
        response = rt::ThreadResponse;
    });
    auto w = user_.waitWindow("Mandanten");
    EXPECT_TRUE(user_.enabled(w, Copy));
    user_.press(w, Delete);
    auto f = user_.waitWindow("EditMandant");
    EXPECT_EQ(user_.window(f).title, "Mandant");
    user_.queueMessageBoxAnswer(rt::button::Yes);
    user_.press(f, Ok);
    user_.waitClosed(f);
    EXPECT_EQ(user_.rows(w, List).size(), 0u);
    EXPECT_FALSE(user_.enabled(w, Copy));

    user_.press(w, Insert);
    f = user_.waitWindow("EditMandant");
    EXPECT_EQ(user_.value(f, DropDriver), "SQL Server");
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(user_.value(f, EntryServer), std::string(host) + "\\ERP");
    // The drivers unixODBC knows are offered too.
    bool sqlite = false;
    for (auto& r : user_.rows(f, DropDriver)) sqlite = sqlite || r.cells.at(0).text == "SQLite3";
    EXPECT_TRUE(sqlite);
    user_.setValue(f, EntryName, "Zwei");
    user_.setValue(f, EntryDatabase, "2.db");
    user_.press(f, Ok);
    user_.waitClosed(f);
    ASSERT_EQ(user_.rows(w, List).size(), 1u);
    EXPECT_EQ(user_.cell(w, List, 1, 1), "Zwei");
    EXPECT_TRUE(user_.enabled(w, Copy));

    user_.press(w, Copy);  // starts with the row's values
    f = user_.waitWindow("EditMandant");
    EXPECT_EQ(user_.value(f, EntryDatabase), "2.db");
    user_.setValue(f, EntryName, "Drei");
    user_.press(f, Ok);
    user_.waitClosed(f);
    ASSERT_EQ(user_.rows(w, List).size(), 2u);
    EXPECT_EQ(user_.cell(w, List, 2, 1), "Drei");
    // The alternating backgrounds follow the load order.
    EXPECT_EQ(user_.rows(w, List)[1].cells[0].back, rt::rgb(206, 255, 206));

    user_.press(w, Close);
    finish();
    EXPECT_EQ(response, 1);  // not selecting: completed
}

// A PostgreSQL client set up in the form as the user does it: the server "host,port", the
// password hidden; it connects with nothing more.
TEST_F(Clients, APostgresClientFromTheFormConnects) {
    VOQ_PG_DATABASE(pg);
    addClients({named(1, "Eins", "1.db")});
    start([] { ListMandant(); });
    auto w = user_.waitWindow("Mandanten");
    user_.press(w, Insert);
    auto f = user_.waitWindow("EditMandant");
    EXPECT_TRUE(user_.control(f, EntryPassword).password);
    user_.setValue(f, EntryName, "Postgres");
    bool offered = false;
    const auto drivers = user_.rows(f, DropDriver);
    for (std::size_t i = 0; i < drivers.size(); ++i)
        if (drivers[i].cells.at(0).text == voq::test::PgDatabase::driver()) {
            user_.chooseEntry(f, DropDriver, static_cast<int>(i + 1));
            offered = true;
        }
    ASSERT_TRUE(offered);
    user_.setValue(f, EntryServer, voq::test::PgDatabase::server());
    user_.setValue(f, EntryDatabase, pg.name());
    user_.setValue(f, EntryUser, voq::test::PgDatabase::user());
    // A "}" would end the value early: refused, the form stays.
    user_.setValue(f, EntryPassword, "a}b");
    user_.press(f, Ok);
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.text, "Das Zeichen \"}\" ist hier nicht erlaubt.");
    user_.answerMessageBox(rt::button::Ok);
    EXPECT_TRUE(user_.isOpen(f));
    user_.setValue(f, EntryPassword, voq::test::PgDatabase::password());
    user_.press(f, Ok);
    user_.waitClosed(f);
    user_.press(w, Close);
    finish();
    const std::size_t boxes = user_.messageBoxes().size();
    start([] {
        TakeOverClient(2);
        CheckMandantConnection();
    });
    finish();
    EXPECT_EQ(user_.messageBoxes().size(), boxes) << user_.lastMessageBox().text;
    EXPECT_NE(GLO.ConnectString.get().str().find(";SERVER=127.0.0.1;Port="), std::string::npos);
}

TEST_F(Clients, AViewedClientIsNotChanged) {
    addClients({named(1, "Eins", "1.db")});
    std::uint8_t response = 0;
    std::string name;
    start([&] {
        Access.Mandant->open();
        MAN.ID = 1;
        Access.Mandant->fetch("MAN:KeyID");
        rt::ThreadRequest = 6;
        EditMandant();
        response = rt::ThreadResponse;
        MAN.ID = 1;
        Access.Mandant->fetch("MAN:KeyID");
        name = MAN.Mandant.str();
        Access.Mandant->close();
    });
    auto f = user_.waitWindow("Mandant");
    user_.press(f, Ok);
    finish();
    EXPECT_EQ(response, 2);
    EXPECT_EQ(name, "Eins");
}

TEST_F(Clients, AFailedConnectionReportsAndTakesTheClientChosenInTheList) {
    const std::string good = dir_.file("good.db");
    addClients({named(1, "Kaputt", dir_.file("missing/folder/bad.db")), named(2, "Gut", good)});
    start([] {
        TakeOverClient(1);
        CheckMandantConnection();
    });
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "Verbindungs-Fehler");
    EXPECT_EQ(box.text.rfind("File System Error (90) \n\n", 0), 0u) << box.text;
    EXPECT_NE(box.text.find(") \n\nÜberprüfen und korrigieren Sie ggf. die Zugangsdaten."), std::string::npos);
    user_.answerMessageBox(rt::button::Ok);
    auto w = user_.waitWindow("Mandanten");
    user_.selectRow(w, List, 2);
    user_.press(w, Close);
    finish();
    EXPECT_EQ(GLO.MANDANTENNAME.get().str(), "Gut");
    EXPECT_EQ(GLO.ConnectString.get().str(), "DRIVER=SQLite3;SERVER=;UID=;PWD=;Database=" + good);
}

TEST_F(Clients, ADamagedClientFileIsTheFirstThingReported) {
    const struct {
        const char* what;
        std::string content;
    } damaged[] = {
        {"garbled", std::string("SQLite format 3") + std::string(4000, '\x5a')},
        {"not ours", "[MANDANT]\r\nKivorant=1\r\n"},
    };
    for (const auto& d : damaged) {
        std::ofstream(dir_.file("MandantSQL.TPS"), std::ios::binary | std::ios::trunc) << d.content;
        const std::size_t before = user_.messageBoxes().size();
        for (int i = 0; i < 8; ++i) user_.queueMessageBoxAnswer(rt::button::Ok);
        start([] {
            TakeOverClient(1);
            CheckMandantConnection();
        });
        // Whatever follows is answered; the list, when it comes, is closed.
        while (rt::threadRunning(thread_)) {
            if (auto w = display_.waitForWindow([](const auto& s) { return s.window.title == "Mandanten"; },
                                                std::chrono::milliseconds(50))) {
                user_.waitWindow("Mandanten");
                user_.press(w, Close);
            }
        }
        finish();
        const auto boxes = user_.messageBoxes();
        ASSERT_GT(boxes.size(), before) << d.what;
        EXPECT_NE(boxes[before].text.find("MandantSQL.TPS"), std::string::npos) << d.what << ": " << boxes[before].text;
        EXPECT_NE(boxes[before].title, "Verbindungs-Fehler") << d.what;
    }
}

TEST_F(Clients, AGoodConnectionShowsNothing) {
    addClients({named(1, "Gut", dir_.file("good.db"))});
    start([] {
        TakeOverClient(1);
        CheckMandantConnection();
    });
    finish();
    EXPECT_TRUE(user_.messageBoxes().empty());
}

TEST_F(Clients, TheConnectStringWindowWritesTheCubeHeader) {
    std::string result;
    start([&] {
        CUBK.Connect = "alt";
        src_CreateConnectStringDriver("DRIVER=SQL Server;SERVER=x;UID=u;PWD=p;Database=eb");
        result = CUBK.Connect.str();
        src_CreateConnectStringDriver("DRIVER=SQL Server;SERVER=x;UID=u;PWD=p;Database=eb");
        result += "|" + std::string(CUBK.Connect.str());
    });
    auto w = user_.waitWindow("Connect-String");
    EXPECT_EQ(user_.value(w, EntryCsUser), "u");
    user_.setValue(w, EntryCsServer, "y");
    user_.setValue(w, EntryCsRegional, "Yes");
    user_.press(w, CsOk);
    user_.waitClosed(w);
    w = user_.waitWindow("Connect-String");
    user_.setValue(w, EntryCsServer, "z");
    user_.press(w, CsCancel);
    finish();
    EXPECT_EQ(result,
              "DRIVER=SQL Server;SERVER=y;UID=u;PWD=p;Database=eb;Regional=Yes|"
              "DRIVER=SQL Server;SERVER=y;UID=u;PWD=p;Database=eb;Regional=Yes");
}

TEST_F(Clients, TheConnectStringWindowKeepsEachValueOneValue) {
    std::string result;
    start([&] {
        CUBK.Connect = "alt";
        src_CreateConnectStringDriver("DRIVER=SQLite3;SERVER=x;UID=u;PWD=p;Database=eb");
        result = CUBK.Connect.str();
    });
    auto w = user_.waitWindow("Connect-String");
    // A "}" cannot stand in a value: the window says so, stays open, and nothing is written.
    user_.setValue(w, EntryCsPassword, "ge}heim");
    user_.press(w, CsOk);
    auto box = user_.waitMessageBox();
    EXPECT_NE(box.text.find("\"}\""), std::string::npos) << box.text;
    user_.answerMessageBox(rt::button::Ok);
    EXPECT_TRUE(user_.isOpen(w));
    // A ";" is braced, so that no part of the password becomes a keyword of its own.
    user_.setValue(w, EntryCsPassword, "a;Database=fremd");
    user_.press(w, CsOk);
    user_.waitClosed(w);
    finish();
    EXPECT_EQ(result, "DRIVER=SQLite3;SERVER=x;UID=u;PWD={a;Database=fremd};Database=eb");
}

}  // namespace
