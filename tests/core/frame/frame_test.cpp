// The main frame: start-up steps on a real SQLite client database, version check, command line,
// login, menu, toolbar forwarding and the idle time-out.
#include "core/frame/frame.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "core/clients/clients.h"
#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/startup/startup.h"
#include "core/sync/structure_update.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/ini/ini_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/os/path.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/display.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

using namespace frame;

namespace {

TEST(ErpVersion, ComparedAsText) {
    struct Case {
        const char* version;
        bool tooLow;
    } cases[] = {
        {"0.9.9661", false}, {"0.9.9660", true},     {"0.9.10000", true}, {"1.0", false},
        {"1.0.0.0", false},  {"0.9.9661   ", false}, {"", true},
    };
    for (const auto& c : cases) EXPECT_EQ(ErpVersionTooLow(c.version), c.tooLow) << c.version;
}

TEST(CommandLine, NameEqualsValue) {
    setCommandLine({"\\ID=12", "\\p=Jahr 2026", "/U=DEMO", "\\X", "ID=3"});
    EXPECT_EQ(CommandParameter("ID"), "12");
    EXPECT_EQ(CommandParameter("P"), "Jahr 2026");
    EXPECT_EQ(CommandParameter("U"), "DEMO");
    EXPECT_EQ(CommandParameter("X"), "");
    setCommandLine({"\\ID=", "\\U= "});
    EXPECT_EQ(CommandParameter("ID"), "");  // empty counts as absent
    EXPECT_EQ(CommandParameter("U"), "");
    setCommandLine({});
}

TEST(IdleTimeOut, FiveClosingTicksThenTheLogin) {
    IdleWatch idle;
    idle.start(6000, 100);
    EXPECT_EQ(idle.check(6100), IdleWatch::Step::None);  // not yet past
    idle.activity(5000);
    EXPECT_EQ(idle.check(6200), IdleWatch::Step::None);
    std::vector<IdleWatch::Step> steps;
    for (long long t = 11001; t <= 11006; ++t) {
        steps.push_back(idle.check(t));
        idle.activity(t);  // activity while closing down does not count
    }
    const std::vector<IdleWatch::Step> expected(5, IdleWatch::Step::CloseWindows);
    EXPECT_EQ(std::vector<IdleWatch::Step>(steps.begin(), steps.begin() + 5), expected);
    EXPECT_EQ(steps[5], IdleWatch::Step::Login);
    EXPECT_EQ(idle.counter(), 0);
    idle.loggedIn(20000);
    EXPECT_EQ(idle.check(25000), IdleWatch::Step::None);
    IdleWatch never;
    never.start(0, 0);
    EXPECT_EQ(never.check(1LL << 40), IdleWatch::Step::None);
}

// ---- Main on a real client database --------------------------------------------------------

class Frame : public coretest::HaltingTest {
protected:
    void SetUp() override {
        HaltingTest::SetUp();
        // Window state goes through the settings manager, as start-up names it.
        settings_.setFileName(".\\VOQKIVORANT.INI");
        SetWindowServices(nullptr, nullptr, &settings_);
        clock_ = 1000;
        setFrameClock([this] { return clock_.load(); });
        FrameHooks h;
        h.login = [this](rt::String<30>& id) -> rt::Byte {
            ++logins_;
            loginIds_.push_back(std::string(id.clipped()));
            if (!nextLogin_.empty()) id = nextLogin_;
            return refuseLogin_ ? 0 : 1;
        };
        h.lockTime = [this](rt::Long& lock) -> rt::Byte {
            lock = lockTime_;
            return lock > 0;
        };
        h.userName = [](std::string_view id) { return "Name of " + std::string(id); };
        h.showCube = [this](long id) { shownCube_ = id; };
        h.splash = [this] { ++splashes_; };
        setFrameHooks(h);
    }
    void TearDown() override {
        display_.shutdown();
        setFrameHooks({});
        setFrameClock({});
        setActivityProbe({});
        clearFrameProcedures();
        setCommandLine({});
        SetWindowServices(nullptr, nullptr);
        HaltingTest::TearDown();
    }
    std::string clientDb(const std::string& name = "client.db") const { return dir_.file(name); }
    void addClients(std::vector<std::pair<std::string, std::string>> clients) {
        int t = rt::startThread([&] {
            InitDictionary();
            Access.Mandant->open();
            rt::Long id = 0;
            for (auto& [name, db] : clients) {
                MAN = {};
                MAN.ID = ++id;
                MAN.Mandant = name;
                MAN.Driver = "SQLite3";
                MAN.Datenbank = db;
                Access.Mandant->insertAsIs();
            }
            Access.Mandant->close();
            KillDictionary();
        });
        rt::waitThread(t);
    }
    void chooseClient(long id) { rt::writeProfileNumber("VOQKivorant6.INI", "MANDANT", "Kivorant", id); }
    // The program's tables on a client database, as an earlier start left them.
    void syncTables(const std::string& db) {
        GLO.ConnectString = voq::test::sqliteConnectString(db);
        int t = rt::startThread([] {
            InitDictionary();
            StructureRun run;
            std::string error;
            EXPECT_TRUE(SynchroniseStructures(run, error)) << error;
            KillDictionary();
        });
        rt::waitThread(t);
        GLO.ConnectString = "";
    }
    void runMain() {
        halted_ = -1;
        thread_ = rt::startThread([this] {
            InitDictionary();
            halted_ = coretest::haltCode(Main);
            KillDictionary();
        });
    }
    // Waits for the frame, closing the synchroniser's window on the way when it comes.
    rt::WindowId waitFrame() {
        for (int i = 0; i < 200; ++i) {
            if (auto w = display_.waitForWindow([](const auto& s) { return s.window.title == kActionsTitle; },
                                                std::chrono::milliseconds(10))) {
                user_.waitWindow(kActionsTitle);
                user_.closeWindow(w);
            }
            if (auto f = display_.waitForWindow([](const auto& s) { return s.window.procedure == "Main"; },
                                                std::chrono::milliseconds(20))) {
                user_.settle(thread_);
                return f;
            }
            if (!rt::threadRunning(thread_)) return 0;
        }
        return 0;
    }
    void endMain(rt::WindowId f) {
        user_.closeWindow(f);
        user_.waitThreadEnd(thread_);
    }

    rt::IniManager settings_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::atomic<long long> clock_{0};
    int thread_ = 0;
    int halted_ = -1;
    std::atomic<int> logins_{0};
    std::vector<std::string> loginIds_;
    std::string nextLogin_;
    bool refuseLogin_ = false;
    rt::Long lockTime_ = 0;
    long shownCube_ = 0;
    std::atomic<int> splashes_{0};
};

TEST_F(Frame, StartsOnTheChosenClientAndShowsMenuToolbarAndStatus) {
    addClients({{"Demo GmbH", clientDb()}});
    chooseClient(1);
    ASSERT_EQ(
        voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "CREATE TABLE tversion (cVersion VARCHAR(20))"),
        "");
    ASSERT_EQ(voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "INSERT INTO tversion VALUES ('1.0.0.0')"),
              "");
    registerFrameProcedure("BrowseWerte", [](const std::string&) {});
    setCommandLine({"\\U=demo"});
    // The working folder is fresh: the report and script folders are Main's.
    ASSERT_FALSE(std::filesystem::exists(dir_.file("AUSWERT")));
    ASSERT_FALSE(std::filesystem::exists(dir_.file("SKRIPT")));
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    EXPECT_EQ(user_.window(f).title, GLO.FrameTitle.get().str());
    EXPECT_EQ(GLO.FrameTitle.get().str().rfind("VOQKivorant  (Version ", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(dir_.file("AUSWERT")));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.file("SKRIPT")));
    EXPECT_EQ(GLO.IniFile.get().str(), ".\\VOQKivorant6.INI");
    EXPECT_EQ(user_.clipboard().rfind("SELECT CHARACTER_MAXIMUM_LENGTH", 0), 0u);  // the synchroniser's, last
    EXPECT_EQ(GLO.ConnectString.get().str(), "DRIVER=SQLite3;SERVER=;UID=;PWD=;Database=" + clientDb());
    EXPECT_EQ(GLO.Excelpfad.get().str(), rt::currentFolder());
    EXPECT_EQ(GLO.STARTCOCKPIT.get(), 1);
    EXPECT_EQ(GLO.Trace.get(), 1);
    EXPECT_EQ(QueryString.get().clipped(), "");
    EXPECT_EQ(loginIds_, std::vector<std::string>{"demo"});
    EXPECT_EQ(user_.statusText(f, 2), "Name of demo");
    EXPECT_EQ(user_.statusText(f, 3), "Server : ");
    EXPECT_EQ(user_.statusText(f, 4), "Datenbank : " + clientDb());
    EXPECT_EQ(GLO.SecureUserId.get().str(), "demo");
    EXPECT_EQ(user_.text(f, ToolClient), "Demo GmbH");
    EXPECT_EQ(user_.text(f, ItemCockpit), "Controlling-Cockpit");
    EXPECT_FALSE(user_.enabled(f, ItemCockpit));  // not part of the program yet
    EXPECT_TRUE(user_.enabled(f, ItemWerte));
    EXPECT_TRUE(user_.enabled(f, ItemMandanten));
    EXPECT_TRUE(user_.control(f, ItemSep1).separator);
    EXPECT_TRUE(user_.control(f, rt::toolbar::Insert).toolbar);
    for (int i = 0; i < 100 && splashes_ == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(splashes_, 1);
    user_.check(f, ToolConnectGlobal, true);
    EXPECT_EQ(GLO.ConnectGlobal.get(), 1);
    endMain(f);
    EXPECT_EQ(halted_, -1);
}

// The frame's size and position are kept under "Main", written through the settings manager.
TEST_F(Frame, TheFrameKeepsItsSizeAndPositionUnderMain) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    user_.resize(f, 620, 410);
    user_.move(f, 40, 30);
    endMain(f);
    const struct {
        const char* key;
        const char* value;
    } saved[] = {{"XPos", "40"}, {"YPos", "30"}, {"Width", "620"}, {"Height", "410"}, {"Maximize", "No"}};
    for (const auto& s : saved)
        EXPECT_EQ(rt::getProfileString("VOQKIVORANT.INI", "Main", s.key, "?"), s.value) << s.key;
    EXPECT_EQ(settings_.writtenSections(), std::vector<std::string>{"Main"});
    // The next start puts it there again.
    runMain();
    f = waitFrame();
    ASSERT_NE(f, 0u);
    const auto w = user_.window(f);
    EXPECT_EQ(std::vector<int>({w.x, w.y, w.width, w.height}), std::vector<int>({40, 30, 620, 410}));
    endMain(f);
}

TEST_F(Frame, WithoutAChosenClientTheListOpensAndItsCurrentRowIsTaken) {
    addClients({{"Eins", clientDb("1.db")}, {"Zwei", clientDb("2.db")}});
    // The cockpit's start switch lies in the section named after the client's database.
    rt::writeProfileNumber("VOQKivorant6.INI", clientDb("2.db"), "StartCockpit", 0);
    runMain();
    auto list = user_.waitWindow("Mandanten");
    user_.selectRow(list, mandant::List, 2);
    user_.press(list, mandant::Close);
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    EXPECT_EQ(GLO.MANDANTENNAME.get().str(), "Zwei");
    EXPECT_EQ(user_.statusText(f, 4), "Datenbank : " + clientDb("2.db"));
    EXPECT_EQ(GLO.STARTCOCKPIT.get(), 0);
    endMain(f);
}

TEST_F(Frame, AClientThatCannotBeOpenedBringsTheChoiceAndThenTheEnd) {
    addClients({{"Kaputt", dir_.file("no/such/folder/x.db")}});
    chooseClient(1);
    runMain();
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "Verbindungs-Fehler");
    user_.answerMessageBox(rt::button::Ok);
    auto list = user_.waitWindow("Mandanten");
    user_.press(list, mandant::Close);
    // The same client again: the synchroniser cannot reach it and ends the program.
    box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "");
    user_.answerMessageBox(rt::button::Ok);
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(halted_, 1);
}

TEST_F(Frame, AnErpVersionTooLowEndsTheProgram) {
    addClients({{"Alt", clientDb()}});
    chooseClient(1);
    voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "CREATE TABLE tversion (cVersion VARCHAR(20))");
    voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "INSERT INTO tversion VALUES ('0.9.9660')");
    runMain();
    for (int i = 0; i < 100 && display_.history().empty(); ++i) {
        if (auto w = display_.waitForWindow([](const auto& s) { return s.window.title == kActionsTitle; },
                                            std::chrono::milliseconds(50))) {
            user_.waitWindow(kActionsTitle);
            user_.closeWindow(w);
        }
    }
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "Version");
    EXPECT_EQ(box.text,
              "JTL-WAWI-Version ist zu niedrig\n\nDas VOQAddOn benötigt mindestens die Version "
              "0.9.9661.\nDas Programm wird beendet.");
    user_.answerMessageBox(rt::button::Ok);
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(halted_, 1);
    EXPECT_EQ(logins_, 0);
}

TEST_F(Frame, OnDriveQThereIsNoVersionCheckAndNoSplash) {
    addClients({{"Alt", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "CREATE TABLE tversion (cVersion VARCHAR(20))");
    voq::test::execSql(voq::test::sqliteConnectString(clientDb()), "INSERT INTO tversion VALUES ('0.9.9660')");
    GLO.RunMode = "Q";
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    EXPECT_TRUE(user_.messageBoxes().empty());
    endMain(f);
    EXPECT_EQ(splashes_, 0);
}

TEST_F(Frame, ARefusedLoginEndsTheProgram) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    refuseLogin_ = true;
    runMain();
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(logins_, 1);
    EXPECT_EQ(halted_, -1);
    for (const auto& s : display_.shownWindows()) EXPECT_NE(s.window.procedure, "Main");
    // The frame closed as it does at every end: its state is saved.
    EXPECT_TRUE(rt::tryGetProfileString("VOQKIVORANT.INI", "Main", "Maximize").has_value());
    EXPECT_EQ(settings_.writtenSections(), std::vector<std::string>{"Main"});
}

TEST_F(Frame, ACubeOnTheCommandLineOpensWithoutLoginAndEndsTheProgram) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    setCommandLine({"\\ID=7", "\\P=2026"});
    std::atomic<bool> hidden{false};
    FrameHooks h;
    h.login = [this](rt::String<30>&) -> rt::Byte {
        ++logins_;
        return 1;
    };
    h.showCube = [&](long id) {
        shownCube_ = id;
        for (const auto& w : rt::openWindows())
            if (w.procedure == "Main") hidden = w.hidden;
    };
    setFrameHooks(h);
    runMain();
    for (int i = 0; i < 200 && rt::threadRunning(thread_); ++i) {
        if (auto w = display_.waitForWindow([](const auto& s) { return s.window.title == kActionsTitle; },
                                            std::chrono::milliseconds(20))) {
            user_.waitWindow(kActionsTitle);
            user_.closeWindow(w);
        }
    }
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(shownCube_, 7);
    EXPECT_EQ(GLO.StartParameter.get().str(), "2026");
    EXPECT_EQ(logins_, 0);
    EXPECT_TRUE(hidden);
}

TEST_F(Frame, OutsideProgramsOfTheSetupAndUserMenus) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    setCommandLine({"\\U=DEMO"});
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    // No graphical ODBC administrator on this machine: the reason, titled "ODBC-Admin".
    rt::sendInput(f, rt::UserInput(rt::Event::Accepted, ItemOdbcAdmin));
    auto box = user_.waitMessageBox();
    EXPECT_EQ(box.title, "ODBC-Admin");
    EXPECT_FALSE(box.text.empty());
    user_.answerMessageBox(rt::button::Ok);
    // The user administration lies beside the program; without a screen it lists and ends well:
    // nothing is shown.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
    const int threads = rt::runningThreadCount();
    user_.press(f, ItemBenutzer);
    for (int i = 0; i < 250 && rt::runningThreadCount() > threads; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(rt::runningThreadCount(), threads);
    EXPECT_EQ(user_.messageBoxes().size(), 1u);
    // A stand-in beside the program notes its arguments, takes its time and ends with a code.
    struct ProgramGuard {
        ~ProgramGuard() { setProgramFilePath({}); }
    } guard;
    voq::test::TempDir bin;
    {
        std::ofstream script(bin.file("VOQSECURE"));
        // It counts its starts, notes a request to come to the front, and runs until that came
        // (ten seconds at most), so that a busy machine cannot end it before it is chosen again.
        script << "#!/bin/sh\ntrap 'echo raised >> " << bin.file("raised") << "' USR1\necho x >> '"
               << bin.file("starts") << "'\nprintf '%s\\n' \"$@\" > '" << bin.file("args")
               << "'\nfor i in $(seq 100); do [ -s '" << bin.file("raised") << "' ] && break; sleep 0.1; done\n"
               << "echo done > '" << bin.file("ended") << "'\nexit $(cat '" << bin.file("code") << "')\n";
    }
    std::filesystem::permissions(bin.file("VOQSECURE"), std::filesystem::perms::owner_all);
    setProgramFilePath(bin.file("VOQKivorant"));
    const auto slurp = [](const std::string& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int code : {0, 3}) {
        SCOPED_TRACE(code);
        std::filesystem::remove(bin.file("ended"));
        std::ofstream(bin.file("code")) << code << "\n";
        const std::size_t before = user_.messageBoxes().size();
        std::filesystem::remove(bin.file("starts"));
        std::filesystem::remove(bin.file("raised"));
        std::filesystem::remove(bin.file("args"));  // its arguments noted: it runs
        if (code != 0) user_.queueMessageBoxAnswer(rt::button::Ok);
        user_.press(f, ItemBenutzer);
        // Chosen again while it runs: not started twice, the running one asked to the front.
        for (int i = 0; i < 50 && !std::filesystem::exists(bin.file("args")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        user_.press(f, ItemBenutzer);
        for (int i = 0; i < 600 && !std::filesystem::exists(bin.file("ended")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // What it ended with is said once it has ended; then the thread that waited for it ends
        // too, and a choice after that starts it anew.
        for (int i = 0; i < 250 && user_.messageBoxes().size() < before + (code != 0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (int i = 0; i < 250 && rt::runningThreadCount() > threads; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(slurp(bin.file("ended")), "done\n");
        EXPECT_EQ(slurp(bin.file("starts")), "x\n");
        EXPECT_EQ(slurp(bin.file("raised")), "raised\n");
        EXPECT_EQ(slurp(bin.file("args")), "\\U=DEMO\n");
        const auto boxes = user_.messageBoxes();
        ASSERT_EQ(boxes.size(), before + (code != 0));
        if (code != 0) {
            EXPECT_EQ(boxes.back().title, "Fehler");
            EXPECT_EQ(boxes.back().text, "Fehler aufgetreten (Code): 3");
        }
    }
    endMain(f);
}

// The ODBC administrator found along PATH starts, by either name, and nothing is said.
TEST_F(Frame, TheOdbcAdministratorOnThePathStartsWithoutABox) {
    struct PathGuard {
        std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
        ~PathGuard() { ::setenv("PATH", old.c_str(), 1); }
    } path;
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    setCommandLine({"\\U=DEMO"});
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    for (const char* program : {"ODBCManageDataSourcesQ5", "ODBCManageDataSourcesQ4"}) {
        SCOPED_TRACE(program);
        voq::test::TempDir bin;
        const std::string marker = bin.file("started");
        {
            std::ofstream script(bin.file(program));
            script << "#!/bin/sh\necho \"${0##*/}\" > '" << marker << "'\n";
        }
        std::filesystem::permissions(bin.file(program), std::filesystem::perms::owner_all);
        ::setenv("PATH", (bin.path().string() + ":" + path.old).c_str(), 1);
        user_.press(f, ItemOdbcAdmin);
        std::string started;
        for (int i = 0; i < 500 && started.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::ifstream in(marker);
            std::getline(in, started);
        }
        EXPECT_EQ(started, program);
        EXPECT_TRUE(user_.messageBoxes().empty());
    }
    endMain(f);
}

// A list on a thread of its own that notes the toolbar buttons it is sent.
std::vector<int> forwarded;
void SomeList() {
    rt::Window w("SomeList", "Liste");
    w.setMdiChild(true);
    while (auto e = w.accept()) {
        if (e.event == rt::Event::Accepted && rt::toolbar::isButton(e.control)) forwarded.push_back(e.control);
    }
}

TEST_F(Frame, ToolbarButtonsGoToTheActiveListOfAnotherThread) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    forwarded.clear();
    registerFrameProcedure("BrowseWerte", [](const std::string&) { SomeList(); });
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    user_.press(f, ItemWerte);
    auto list = user_.waitWindow("Liste");
    user_.activate(list);
    user_.press(f, rt::toolbar::Down);
    user_.press(f, rt::toolbar::Insert);
    user_.settle(user_.window(list).thread);
    EXPECT_EQ(forwarded, (std::vector<int>{rt::toolbar::Down, rt::toolbar::Insert}));
    user_.activate(f);
    user_.press(f, rt::toolbar::Up);  // the frame's own: not forwarded
    user_.settle(user_.window(list).thread);
    EXPECT_EQ(forwarded.size(), 2u);
    endMain(f);
}

TEST_F(Frame, AfterTheIdleTimeTheWindowsCloseAndTheLoginComesAgain) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    lockTime_ = 6000;  // one minute
    std::atomic<std::uint64_t> input{0};
    setActivityProbe([&] { return input.load(); });
    registerFrameProcedure("BrowseWerte", [](const std::string&) { SomeList(); });
    setCommandLine({"\\U=ANNA"});
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    EXPECT_EQ(user_.window(f).timer, 100);
    user_.press(f, ItemWerte);
    auto list = user_.waitWindow("Liste");
    // Input in the list counts as activity: the time starts again.
    clock_ = 1000 + 5000;
    input = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    clock_ = 1000 + 10000;  // past the first minute, not past a minute after the input
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_TRUE(user_.isOpen(list));
    EXPECT_EQ(logins_, 1);
    // No input for more than a minute: the list is closed, then the login is asked for.
    nextLogin_ = "BERND";
    clock_ = 1000 + 20000;
    user_.waitClosed(list);
    for (int i = 0; i < 100 && logins_ < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(logins_, 2);
    EXPECT_EQ(loginIds_.back(), "ANNA");
    user_.settle(thread_);
    EXPECT_EQ(GLO.LoginUser.get().clipped(), "BERND");  // the globals follow who logged in
    EXPECT_EQ(GLO.SecureUserId.get().str(), "BERND");
    EXPECT_EQ(user_.statusText(f, 2), "Name of BERND");
    endMain(f);
}

// The user's last input: what the display reports counts, focus changes and posts do not.
TEST(LastUserInput, CountsTheUsersInputNotPostsOrFocusChanges) {
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
    int t = rt::startThread([] {
        rt::Window w("Plain", "Ein Fenster");
        while (w.accept()) {
        }
    });
    auto w = user.waitWindow("Ein Fenster");
    const auto before = rt::lastUserInputTime();
    ASSERT_TRUE(rt::post(rt::Event::User, 0, w));
    user.settle(t);
    user.activate(w);
    EXPECT_EQ(rt::lastUserInputTime(), before);
    user.resize(w, 200, 100);
    const auto resized = rt::lastUserInputTime();
    EXPECT_GT(resized, before);
    EXPECT_LE(resized, std::chrono::steady_clock::now());
    user.closeWindow(w);
    user.waitThreadEnd(t);
    EXPECT_GT(rt::lastUserInputTime(), resized);
    display.shutdown();
}

TEST_F(Frame, InputInAListKeepsTheProgramOpenEventsPostedToItDoNot) {
    addClients({{"Demo", clientDb()}});
    chooseClient(1);
    syncTables(clientDb());
    lockTime_ = 6000;  // one minute
    registerFrameProcedure("BrowseWerte", [](const std::string&) { SomeList(); });
    setCommandLine({"\\U=ANNA"});
    runMain();
    auto f = waitFrame();
    ASSERT_NE(f, 0u);
    user_.press(f, ItemWerte);
    auto list = user_.waitWindow("Liste");
    // The user resizes the list: the minute starts again then.
    clock_ = 1000 + 5000;
    user_.resize(list, 300, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    clock_ = 1000 + 10000;
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_TRUE(user_.isOpen(list));
    // Events another window posts to the list are no input of the user's: a minute after the
    // resize the list is closed.
    for (int i = 0; i < 26; ++i) {
        rt::post(rt::Event::User, 0, list);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    clock_ = 1000 + 11500;
    user_.waitClosed(list);
    EXPECT_EQ(logins_, 1);
    endMain(f);
}

}  // namespace
