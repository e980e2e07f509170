#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/ini/ini_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/os/trace.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fs::path& p, const std::string& content) { std::ofstream(p, std::ios::binary) << content; }

// The four kept globals of the program, as the application registers them.
struct Kept {
    std::string excelpfad = "stale";
    long long forceUpdate = 9;
    std::string sqlQbe = "stale";
    long long connectGlobal = 9;

    void registerWith(rt::IniManager& ini) {
        ini.preserveText(
            "GLO:Excelpfad", [this] { return excelpfad; }, [this](const std::string& v) { excelpfad = v; });
        ini.preserveNumber(
            "GLO:ForceUpdate", [this] { return forceUpdate; }, [this](long long v) { forceUpdate = v; });
        ini.preserveText(
            "GLO:SQL_QBE", [this] { return sqlQbe; }, [this](const std::string& v) { sqlQbe = v; });
        ini.preserveNumber(
            "GLO:ConnectGlobal", [this] { return connectGlobal; }, [this](long long v) { connectGlobal = v; });
    }
};

class IniManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        fs::current_path(dir_.path());
    }
    void TearDown() override { fs::current_path(old_); }

    voq::test::TempDir dir_;
    fs::path old_;
};

TEST_F(IniManagerTest, FirstRunLoadsBlanksAndZerosAndSavesThem) {
    Kept kept;
    rt::IniManager ini;
    kept.registerWith(ini);
    ini.init(".\\VOQKIVORANT.INI");
    EXPECT_EQ(ini.fileName(), ".\\VOQKIVORANT.INI");
    EXPECT_EQ(kept.excelpfad, "");
    EXPECT_EQ(kept.forceUpdate, 0);
    EXPECT_EQ(kept.sqlQbe, "");
    EXPECT_EQ(kept.connectGlobal, 0);
    EXPECT_FALSE(fs::exists("VOQKIVORANT.INI"));  // naming the file writes nothing

    ini.savePreserved();
    ini.close();
    EXPECT_EQ(slurp("VOQKIVORANT.INI"),
              "[Preserved]\r\n"
              "GLO:Excelpfad=\r\n"
              "GLO:ForceUpdate=0\r\n"
              "GLO:SQL_QBE=\r\n"
              "GLO:ConnectGlobal=0\r\n"
              "\r\n"
              "[Sectors]\r\n"
              "__Dont_Touch_Me__=Preserved\r\n");
}

TEST_F(IniManagerTest, KeptValuesComeBackInTheNextRun) {
    spit("VOQKIVORANT.INI",
         "[Preserved]\r\n"
         "GLO:Excelpfad=/home/u/Export\r\n"
         "GLO:ForceUpdate=abc\r\n"    // non-numeric reads as 0
         "glo:sql_qbe=Saved.TPS\r\n"  // keys ignore case
         "GLO:ConnectGlobal=1\r\n");
    Kept kept;
    rt::IniManager ini;
    kept.registerWith(ini);
    ini.init(".\\voqkivorant.ini");
    EXPECT_EQ(kept.excelpfad, "/home/u/Export");
    EXPECT_EQ(kept.forceUpdate, 0);
    EXPECT_EQ(kept.sqlQbe, "Saved.TPS");
    EXPECT_EQ(kept.connectGlobal, 1);

    kept.forceUpdate = 1;
    kept.excelpfad = "/tmp/out";
    ini.savePreserved();
    EXPECT_EQ(rt::getProfileString("VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", ""), "1");
    EXPECT_EQ(rt::getProfileString("VOQKIVORANT.INI", "Preserved", "GLO:Excelpfad", ""), "/tmp/out");
    EXPECT_NE(slurp("VOQKIVORANT.INI").find("glo:sql_qbe=Saved.TPS\r\n"), std::string::npos);
}

TEST_F(IniManagerTest, FetchAndUpdate) {
    rt::IniManager ini;
    ini.init(".\\VOQKIVORANT.INI");
    EXPECT_EQ(ini.fetch("Main", "Maximize", "No"), "No");
    EXPECT_EQ(ini.tryFetch("Main", "Maximize"), std::nullopt);
    EXPECT_TRUE(ini.update("Main", "Maximize", "Yes"));
    EXPECT_TRUE(ini.update("Main", "XPos", 120));
    EXPECT_TRUE(ini.update("Main", "YPos", -4LL));
    EXPECT_TRUE(ini.update("Main", "Note", ""));
    EXPECT_EQ(ini.fetch("MAIN", "maximize", "No"), "Yes");
    EXPECT_EQ(ini.fetchNumber("main", "xpos", 0), 120);
    EXPECT_EQ(ini.fetchNumber("Main", "YPos", 0), -4);
    EXPECT_EQ(ini.fetch("Main", "Note", "dflt"), "");
    EXPECT_EQ(ini.fetchNumber("Main", "Maximize", 7), 0);
    EXPECT_EQ(ini.fetchNumber("Main", "Width", 7), 7);
    EXPECT_TRUE(ini.deleteKey("Main", "Note"));
    EXPECT_EQ(ini.fetch("Main", "Note", "dflt"), "dflt");
}

TEST_F(IniManagerTest, ListOfWrittenSections) {
    {
        rt::IniManager ini;
        ini.init(".\\VOQKIVORANT.INI");
        EXPECT_TRUE(ini.writtenSections().empty());
        ini.update("Main", "Width", 10);
        ini.update("BrowseWerte", "Width", 20);
        ini.update("MAIN", "Height", 30);                           // known already, whatever the case
        ini.update("QBEReport:Cubes, by group", "PrintOption", 1);  // a comma in the name
        ini.update("Sectors", "Other", "x");                        // the list's own section is not listed
        EXPECT_EQ(ini.writtenSections(),
                  (std::vector<std::string>{"Main", "BrowseWerte", "QBEReport:Cubes, by group"}));
        // Not written back before the manager is closed.
        EXPECT_EQ(rt::tryGetProfileString("VOQKIVORANT.INI", "Sectors", "__Dont_Touch_Me__"), std::nullopt);
        ini.close();
    }
    EXPECT_EQ(rt::getProfileString("VOQKIVORANT.INI", "Sectors", "__Dont_Touch_Me__", ""),
              "Main,BrowseWerte,QBEReport:Cubes\\, by group");

    // The next run reads the list when the file is named and adds to it.
    rt::IniManager ini;
    ini.init(".\\VOQKIVORANT.INI");
    EXPECT_EQ(ini.writtenSections(), (std::vector<std::string>{"Main", "BrowseWerte", "QBEReport:Cubes, by group"}));
    EXPECT_TRUE(ini.deleteSection("browsewerte"));
    EXPECT_EQ(ini.fetch("BrowseWerte", "Width", "gone"), "gone");
    ini.update("EditMandant", "Width", 5);
    ini.close();
    EXPECT_EQ(rt::getProfileString("VOQKIVORANT.INI", "Sectors", "__Dont_Touch_Me__", ""),
              "Main,QBEReport:Cubes\\, by group,EditMandant");
}

TEST_F(IniManagerTest, ListToleratesOddValues) {
    spit("A.INI", "[Sectors]\n__Dont_Touch_Me__= Main ,,main,Other\\\\x,\\\n");
    rt::IniManager ini;
    ini.init("A.INI");
    EXPECT_EQ(ini.writtenSections(), (std::vector<std::string>{"Main", "Other\\x"}));
}

// An application manager: the base hook first, then keys of its own.
class AppIni : public rt::IniManager {
public:
    std::vector<std::string> calls;
    std::string extra;

    void fetchPreserved() override {
        rt::IniManager::fetchPreserved();
        calls.push_back("fetch");
        extra = fetch(kPreservedSection, "Extra", "");
    }
    void savePreserved() override {
        rt::IniManager::savePreserved();
        calls.push_back("save");
        update(kPreservedSection, "Extra", extra);
    }
};

TEST_F(IniManagerTest, DerivedHooksRunWhenTheFileIsNamedAndOnSave) {
    spit("VOQKIVORANT.INI", "[Preserved]\nExtra=kept\nGLO:ForceUpdate=1\n");
    Kept kept;
    AppIni ini;
    kept.registerWith(ini);
    ini.setFileName(".\\VOQKIVORANT.INI");
    EXPECT_EQ(ini.calls, (std::vector<std::string>{"fetch"}));
    EXPECT_EQ(ini.extra, "kept");
    EXPECT_EQ(kept.forceUpdate, 1);
    ini.extra = "changed";
    ini.savePreserved();
    EXPECT_EQ(ini.calls, (std::vector<std::string>{"fetch", "save"}));
    EXPECT_EQ(slurp("VOQKIVORANT.INI"),
              "[Preserved]\r\nExtra=changed\r\nGLO:ForceUpdate=1\r\nGLO:Excelpfad=\r\nGLO:SQL_QBE=\r\n"
              "GLO:ConnectGlobal=0\r\n");
}

TEST_F(IniManagerTest, RenamingMovesToTheOtherFile) {
    spit("One.INI", "[S]\nk=one\n");
    spit("Two.INI", "[S]\nk=two\n");
    rt::IniManager ini;
    ini.init("One.INI");
    EXPECT_EQ(ini.fetch("S", "k"), "one");
    ini.setFileName(".\\two.ini");
    EXPECT_EQ(ini.fetch("S", "k"), "two");
}

TEST_F(IniManagerTest, ManyThreadsShareOneManager) {
    rt::IniManager ini;
    ini.init(".\\VOQKIVORANT.INI");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &ini] {
            const std::string section = "Window" + std::to_string(t);
            for (int i = 0; i < 30; ++i) {
                ini.update(section, "XPos", i);
                ini.update(section, "Maximize", i % 2 ? "Yes" : "No");
                EXPECT_EQ(ini.fetchNumber(section, "XPos", -1), i);
            }
        });
    }
    for (auto& th : threads) th.join();
    ini.close();
    EXPECT_EQ(ini.writtenSections().size(), 8u);
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(ini.fetchNumber("Window" + std::to_string(t), "XPos", -1), 29);
        EXPECT_EQ(ini.fetch("Window" + std::to_string(t), "Maximize", ""), "Yes");
    }
}

TEST_F(IniManagerTest, CorruptFileGivesDefaultsAndATrace) {
    std::vector<std::string> lines;
    rt::setTraceCapture([&](std::string_view l) { lines.emplace_back(l); });
    const char raw[] = "\0\x01\x02\xFF[Preserved\0]\nGLO:ForceUpdate=1\n";
    spit("VOQKIVORANT.INI", std::string(raw, sizeof raw - 1));
    Kept kept;
    rt::IniManager ini;
    kept.registerWith(ini);
    ini.init(".\\VOQKIVORANT.INI");
    rt::setTraceCapture({});
    EXPECT_EQ(kept.excelpfad, "");
    EXPECT_EQ(kept.forceUpdate, 0);
    EXPECT_EQ(ini.writtenSections(), std::vector<std::string>{});
    EXPECT_FALSE(lines.empty());
}

}  // namespace
