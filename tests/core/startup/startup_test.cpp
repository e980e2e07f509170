// Start-up: kept globals, run mode, procedure registration, thread start and end.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/log_helpers.h"
#include "core/startup/startup.h"
#include "cubes/odbc/odbc_class.h"
#include "runtime/ini/profile.h"
#include "runtime/os/path.h"
#include "runtime/os/trace.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/support/test_support.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        ProgramModuleInit();
        ++moduleInits;
        setProgramFilePath("C:\\VOQ\\VOQKivorant.exe");
    }
    void TearDown() override {
        setMainProcedure({});
        setProcedureRegistration({});
        setProgramFilePath({});
        ProgramModuleCleanUp();
        std::filesystem::current_path(previous_);
    }
    // Runs the main routine on a program thread, with `main` as the frame procedure.
    void run(std::function<void()> main) {
        setMainProcedure(std::move(main));
        int t = rt::startThread([] { ProgramMain(); });
        ASSERT_GT(t, 0);
        rt::waitThread(t);
    }
    std::string ini() const { return readFile(dir_.file("VOQKIVORANT.INI")); }
    void writeIni(const std::string& text) const {
        std::ofstream(dir_.file("VOQKIVORANT.INI"), std::ios::binary) << text;
    }

    static inline int moduleInits = 0;  // the process's first connection becomes the default
    voq::test::TempDir dir_;
    std::filesystem::path previous_;
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(StartUp, AFirstRunWithoutTheSettingsFileStartsBlankAndWritesTheKeptGlobals) {
    GLO.Excelpfad = "stale";  // whatever the process held before, the file decides
    std::string excel = "?", sqlQbe = "?";
    int force = -1, global = -1;
    run([&] {
        excel = GLO.Excelpfad.get().str();
        force = GLO.ForceUpdate.get();
        sqlQbe = GLO.SQL_QBE.get().str();
        global = GLO.ConnectGlobal.get();
    });
    EXPECT_EQ(excel, "");
    EXPECT_EQ(force, 0);
    EXPECT_EQ(sqlQbe, "");
    EXPECT_EQ(global, 0);
    std::string text = ini();
    for (const char* line :
         {"[Preserved]", "GLO:Excelpfad=", "GLO:ForceUpdate=0", "GLO:SQL_QBE=", "GLO:ConnectGlobal=0"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_LT(text.find("GLO:Excelpfad"), text.find("GLO:ForceUpdate"));
    EXPECT_LT(text.find("GLO:ForceUpdate"), text.find("GLO:SQL_QBE"));
    EXPECT_LT(text.find("GLO:SQL_QBE"), text.find("GLO:ConnectGlobal"));
}

TEST_F(StartUp, KeptGlobalsAreLoadedAndWhatTheRunChangedIsSaved) {
    struct Case {
        const char* force;
        int expected;
    };
    for (Case c : {Case{"1", 1}, Case{"ja", 0}, Case{"", 0}, Case{"  1  ", 1}, Case{"3", 3}}) {
        SCOPED_TRACE(c.force);
        writeIni(std::string("[Preserved]\r\nGLO:Excelpfad=/export/auswertung\r\nGLO:ForceUpdate=") + c.force +
                 "\r\nGLO:SQL_QBE=SQLQBE\r\nGLO:ConnectGlobal=1\r\n");
        int force = -1;
        std::string excel, qbe;
        int global = -1;
        ProgramModuleCleanUp();
        ProgramModuleInit();
        run([&] {
            force = GLO.ForceUpdate.get();
            excel = GLO.Excelpfad.get().str();
            qbe = GLO.SQL_QBE.get().str();
            global = GLO.ConnectGlobal.get();
            GLO.SQL_QBE = "NEU";
        });
        EXPECT_EQ(force, c.expected);
        EXPECT_EQ(excel, "/export/auswertung");
        EXPECT_EQ(qbe, "SQLQBE");
        EXPECT_EQ(global, 1);
        EXPECT_NE(ini().find("GLO:SQL_QBE=NEU"), std::string::npos);
        EXPECT_NE(ini().find("GLO:ForceUpdate=" + std::to_string(c.expected)), std::string::npos);
    }
}

TEST_F(StartUp, RunModeIsTheFirstCharacterOfTheProgramFolder) {
    struct Case {
        const char* path;
        const char* mode;
    };
    for (Case c : {Case{"Q:\\VOQ\\VOQKivorant.exe", "Q"}, Case{"C:\\Programme\\VOQKIVORANT.EXE", "C"},
                   Case{"q:\\voq\\voqkivorant.exe", "q"}, Case{"\\\\server\\share\\VOQKivorant.exe", "\\"},
                   Case{"/opt/voq/VOQKivorant", "/"}, Case{"VOQKivorant.exe", " "}}) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RunModeFromProgramPath(c.path).str(), c.mode);
    }
    setProgramFilePath("Q:\\Auswertung\\VOQKivorant.exe");
    std::string mode;
    run([&] { mode = GLO.RunMode.get().str(); });
    EXPECT_EQ(mode, "Q");
    // Without a test path the process's own file decides.
    setProgramFilePath({});
    EXPECT_EQ(ProgramFilePath(), rt::programPath());
}

TEST_F(StartUp, EveryStartRegistersTheSameSevenProcedures) {
    std::vector<std::vector<std::string>> calls;
    long count = 0, width = 0;
    setProcedureRegistration([&](long rowCount, long rowWidth, const std::vector<std::string>& rows) -> rt::Byte {
        count = rowCount;
        width = rowWidth;
        calls.push_back(rows);
        return 0;
    });
    run({});
    run({});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], calls[1]);
    EXPECT_EQ(count, 60);
    EXPECT_EQ(width, 175);
    ASSERT_EQ(calls[0].size(), 60u);
    struct Entry {
        int number;
        const char* name;
        const char* kind;
        const char* description;
    };
    const Entry expected[] = {
        {15, "ListMandant01", "Window", "Liste der Mandanten"},
        {17, "BrowseProvKey", "Window", "Liste der Provisionsschlüssel (kundenspezifisch)"},
        {19, "BrowseCubeKopf", "Window", "Liste der Auswertungen"},
        {23, "BrowseDBUpdateLog", "Window", "VOQDBUpdateLog anzeigen"},
        {25, "BrowseSQLScript", "Window", "xxxxxxxxx INAKTIV xxxxxxxxxxxxxSQL-Scripte verwalten"},
        {42, "BrowseWerte", "Window", "Auswahltabelle"},
        {60, "Main", "Frame", "Auswerte-Tool für SQL-Datenbanken (mit automatischem Skript-Updater) (07.2018)"},
    };
    int filled = 0;
    for (std::size_t i = 0; i < 60; ++i) {
        const std::string& row = calls[0][i];
        EXPECT_EQ(rt::charLength(row), 175u);
        if (rt::clip(row).empty()) continue;
        ++filled;
        const Entry* e = nullptr;
        for (const auto& x : expected)
            if (x.number == int(i) + 1) e = &x;
        ASSERT_NE(e, nullptr) << "entry " << i + 1 << " should be blank";
        EXPECT_EQ(rt::clip(rt::subChars(row, 0, 50)), e->name);
        EXPECT_EQ(rt::clip(rt::subChars(row, 50, 25)), e->kind);
        EXPECT_EQ(rt::clip(rt::subChars(row, 75, 100)), e->description);
    }
    EXPECT_EQ(filled, 7);
    EXPECT_TRUE(user_.messageBoxes().empty());
}

TEST_F(StartUp, NewProceduresAreAnnouncedAndStartUpGoesOn) {
    user_.queueMessageBoxAnswer(rt::button::Ok);
    setProcedureRegistration([](long, long, const std::vector<std::string>&) -> rt::Byte { return 1; });
    bool mainRan = false;
    run([&] { mainRan = true; });
    EXPECT_TRUE(mainRan);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    auto box = user_.lastMessageBox();
    EXPECT_EQ(box.title, "New Program Procedures");
    EXPECT_EQ(box.text,
              "There has been added new procedures to the program. You must run run the Security program to "
              "set the security level for the new procedures.");
}

TEST_F(StartUp, EveryThreadHasItsOwnDictionaryFromStartToEnd) {
    bool mainBuilt = false;
    bool childBuilt = false, childSeesOwn = false;
    bool childReleasedAtEnd = false;
    std::string frameName;
    run([&] {
        mainBuilt = DictionaryBuilt() && rt::threadNumber() == 1;
        MAN.Mandant = "Frame";
        rt::FileManager* mine = Access.Mandant;
        std::atomic<bool> released{false};
        int t = rt::startThread([&] {
            childBuilt = DictionaryBuilt();
            childSeesOwn = Access.Mandant != mine && MAN.Mandant.empty();
            MAN.Mandant = "Kind";
        });
        rt::waitThread(t);
        // The end hook ran on the child: starting another thread shows a fresh state there too.
        int t2 = rt::startThread([&] { released = DictionaryBuilt() && MAN.Mandant.empty(); });
        rt::waitThread(t2);
        childReleasedAtEnd = released;
        frameName = MAN.Mandant.str();
    });
    EXPECT_TRUE(mainBuilt);
    EXPECT_TRUE(childBuilt);
    EXPECT_TRUE(childSeesOwn);
    EXPECT_TRUE(childReleasedAtEnd);
    EXPECT_EQ(frameName, "Frame");
}

TEST_F(StartUp, TraceLinesFollowTheTraceGlobal) {
    std::vector<std::string> lines;
    rt::setTraceCapture([&](std::string_view l) { lines.emplace_back(l); });
    GLO.Trace = 0;
    DebugTrace("aus");
    GLO.Trace = 1;
    DebugTrace("an");
    rt::setTraceCapture({});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "[VOQKivorant]- an");
}

TEST_F(StartUp, ModuleObjectsAndTheClosingSteps) {
    if (moduleInits == 1) {
        EXPECT_EQ(OdbcConnection::defaultConnection(), &SqlResultConnection());
    }
    std::string icon;
    run([&] {
        icon = ApplicationIcon();
        EXPECT_TRUE(GlobalErrorManager().started());
        EXPECT_TRUE(GlobalFuzzyMatcher().option(1));
        EXPECT_FALSE(GlobalFuzzyMatcher().option(2));
        EXPECT_EQ(GlobalIniManager().fileName(), ".\\VOQKIVORANT.INI");
        GlobalTranslator().translateText("&Schließen");
        GlobalIniManager().update("BrowseCubeKopf", "XPos", 10);
    });
    EXPECT_EQ(icon, "WWS.ICO");
    EXPECT_EQ(readFile(dir_.file("Extract.trn")), "&Schließen\r\n");
    // The INI manager's own list of the sections it wrote is back in the file.
    EXPECT_NE(ini().find("__Dont_Touch_Me__"), std::string::npos);
    EXPECT_NE(ini().find("BrowseCubeKopf"), std::string::npos);
}

}  // namespace
