#include "runtime/ini/profile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/os/trace.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fs::path& p, const std::string& content) { std::ofstream(p, std::ios::binary) << content; }

// Each case runs in a fresh working folder and collects the trace lines.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        fs::current_path(dir_.path());
        rt::setTraceCapture([this](std::string_view line) {
            std::lock_guard lock(traceMutex_);
            traces_.emplace_back(line);
        });
    }
    void TearDown() override {
        rt::setTraceCapture({});
        fs::current_path(old_);
    }
    std::vector<std::string> traces() {
        std::lock_guard lock(traceMutex_);
        return traces_;
    }

    voq::test::TempDir dir_;
    fs::path old_;
    std::mutex traceMutex_;
    std::vector<std::string> traces_;
};

TEST(ProfileNumber, Table) {
    const struct {
        const char* text;
        long long value;
    } cases[] = {
        {"0", 0},
        {"1", 1},
        {"42", 42},
        {"-7", -7},
        {"+7", 7},
        {"  12 ", 12},
        {"\t3", 3},
        {"3.7", 3},
        {"-3.7", -3},
        {"5.", 5},
        {"007", 7},
        {"", 0},
        {" ", 0},
        {"abc", 0},
        {"12abc", 0},
        {"1 2", 0},
        {"1e3", 0},
        {"0x10", 0},
        {"-", 0},
        {".5", 0},
        {"1.2.3", 0},
        {"- 5", 0},
        {"Yes", 0},
        {"9223372036854775807", 9223372036854775807LL},
        {"-9223372036854775808", -9223372036854775807LL - 1},
        {"9223372036854775808", 0},
        {"99999999999999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(rt::profileNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST_F(ProfileTest, DefaultOnlyWhenMissing) {
    spit("VOQKivorant6.INI", "[MANDANT]\r\nKivorant=3\r\nEmpty=\r\nBlank=   \r\nText=abc\r\n");
    const char* file = ".\\VOQKivorant6.INI";
    const struct {
        const char* section;
        const char* key;
        std::string text;
        long long number;
    } cases[] = {
        {"MANDANT", "Kivorant", "3", 3},   {"mandant", "KIVORANT", "3", 3},
        {"MANDANT", "Empty", "", 0},  // present: the default is not used, empty reads as 0
        {"MANDANT", "Blank", "", 0},       {"MANDANT", "Text", "abc", 0},  // non-numeric reads as 0
        {"MANDANT", "Missing", "dflt", 5}, {"Other", "Kivorant", "dflt", 5},
        {"", "Kivorant", "dflt", 5},       {"MANDANT", "", "dflt", 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rt::getProfileString(file, c.section, c.key, "dflt"), c.text) << c.section << "/" << c.key;
        EXPECT_EQ(rt::getProfileNumber(file, c.section, c.key, 5), c.number) << c.section << "/" << c.key;
    }
    EXPECT_EQ(rt::tryGetProfileString(file, "MANDANT", "Missing"), std::nullopt);
    EXPECT_EQ(rt::tryGetProfileString(file, "MANDANT", "Empty"), "");
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProfileTest, MissingFileReadsDefaultsSilentlyAndIsNotCreatedByReadsOrDeletes) {
    EXPECT_EQ(rt::getProfileString(".\\VOQKIVORANT.INI", "Preserved", "GLO:Excelpfad", ""), "");
    EXPECT_EQ(rt::getProfileNumber(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", 0), 0);
    EXPECT_TRUE(rt::deleteProfileKey(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate"));
    EXPECT_TRUE(rt::deleteProfileSection(".\\VOQKIVORANT.INI", "Preserved"));
    EXPECT_FALSE(fs::exists("VOQKIVORANT.INI"));
    EXPECT_EQ(rt::getProfileString(".\\none\\X.INI", "S", "k", "d"), "d");
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProfileTest, CreatedOnFirstWriteWithCrLf) {
    EXPECT_TRUE(rt::writeProfileString(".\\VOQKIVORANT.INI", "Preserved", "GLO:Excelpfad", "/home/u/Export"));
    EXPECT_TRUE(rt::writeProfileNumber(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", 0));
    EXPECT_TRUE(rt::writeProfileString(".\\VOQKIVORANT.INI", "Main", "Maximize", "No"));
    EXPECT_EQ(slurp("VOQKIVORANT.INI"),
              "[Preserved]\r\nGLO:Excelpfad=/home/u/Export\r\nGLO:ForceUpdate=0\r\n\r\n[Main]\r\nMaximize=No\r\n");
    // A file in a missing folder cannot be created.
    EXPECT_FALSE(rt::writeProfileString(".\\none\\X.INI", "S", "k", "v"));
    EXPECT_FALSE(fs::exists("none"));
    // Names that are blank are refused.
    EXPECT_FALSE(rt::writeProfileString("Y.INI", "", "k", "v"));
    EXPECT_FALSE(rt::writeProfileString("Y.INI", "S", " ", "v"));
    EXPECT_FALSE(fs::exists("Y.INI"));
}

TEST_F(ProfileTest, NamesThatCouldNeverBeReadBackAreRefused) {
    const struct {
        const char* section;
        const char* key;
    } refused[] = {
        {"S", "a=b"},  {"S", ";Kommentar"}, {"S", " #x"},   {"S", "[x]"},
        {"S", "a\nb"}, {"Fenster]x", "k"},  {"S\r\n", "k"},
    };
    for (const auto& c : refused) EXPECT_FALSE(rt::writeProfileString("Z.INI", c.section, c.key, "v")) << c.key;
    EXPECT_FALSE(fs::exists("Z.INI"));
    EXPECT_EQ(traces().size(), std::size(refused));
    // What stays readable is written and found again.
    EXPECT_TRUE(rt::writeProfileString("Z.INI", "[S", "a;b#c[d", "v"));
    EXPECT_EQ(rt::getProfileString("Z.INI", "[S", "a;b#c[d", ""), "v");
}

TEST_F(ProfileTest, UpdateKeepsCommentsOtherSectionsAndOrder) {
    spit("QBESetup.INI",
         "; options of the query-by-example component\n"
         "[Report]\n"
         "Font=Arial\n"
         "; size in points\n"
         "Size=10\n"
         "\n"
         "[View]\n"
         "Grid=1\n");
    EXPECT_TRUE(rt::writeProfileString(".\\QBESetup.INI", "report", "SIZE", "12"));
    EXPECT_TRUE(rt::writeProfileString(".\\QBESetup.INI", "Report", "Bold", "1"));
    EXPECT_TRUE(rt::writeProfileString(".\\QBESetup.INI", "Print", "Copies", "2"));
    EXPECT_TRUE(rt::deleteProfileKey(".\\QBESetup.INI", "VIEW", "grid"));
    EXPECT_EQ(slurp("QBESetup.INI"),
              "; options of the query-by-example component\r\n"
              "[Report]\r\n"
              "Font=Arial\r\n"
              "; size in points\r\n"
              "Size=12\r\n"
              "Bold=1\r\n"
              "\r\n"
              "[View]\r\n"
              "\r\n"
              "[Print]\r\n"
              "Copies=2\r\n");
    EXPECT_TRUE(rt::deleteProfileSection(".\\QBESetup.INI", "view"));
    EXPECT_EQ(rt::getProfileString("QBESetup.INI", "View", "Grid", "none"), "none");
    EXPECT_EQ(rt::getProfileString("QBESetup.INI", "Print", "Copies", ""), "2");
    EXPECT_EQ(rt::getProfileString("QBESetup.INI", "Report", "Font", ""), "Arial");
}

TEST_F(ProfileTest, RelativeNamesAndAnyCaseOfTheFileName) {
    fs::create_directory("Sub");
    spit("Sub/Settings.ini", "[S]\nk=found\n");
    const char* names[] = {".\\Sub\\Settings.ini", "./Sub/Settings.ini", "Sub\\settings.INI", ".\\SUB\\SETTINGS.INI",
                           "sub/Settings.Ini"};
    for (const char* name : names) EXPECT_EQ(rt::getProfileString(name, "s", "K", ""), "found") << name;
    // A write through another case of the name changes the existing file, not a second one.
    EXPECT_TRUE(rt::writeProfileString(".\\SUB\\SETTINGS.INI", "S", "k", "changed"));
    EXPECT_EQ(slurp("Sub/Settings.ini"), "[S]\r\nk=changed\r\n");
    int files = 0;
    for (const auto& e : fs::directory_iterator("Sub")) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
    // An absolute name works as well.
    EXPECT_EQ(rt::getProfileString(dir_.file("SUB/settings.ini"), "S", "k", ""), "changed");
}

TEST_F(ProfileTest, BinaryGarbageGivesDefaultsATraceAndHealsOnWrite) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
    spit("VOQKIVORANT.INI", garbage);
    EXPECT_EQ(rt::getProfileString(".\\VOQKIVORANT.INI", "Preserved", "GLO:SQL_QBE", "d"), "d");
    EXPECT_EQ(rt::getProfileNumber(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", 0), 0);
    ASSERT_EQ(traces().size(), 1u);  // said once, not on every read
    EXPECT_NE(traces()[0].find("VOQKIVORANT.INI"), std::string::npos);

    EXPECT_TRUE(rt::writeProfileNumber(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", 1));
    EXPECT_EQ(rt::getProfileNumber(".\\VOQKIVORANT.INI", "Preserved", "GLO:ForceUpdate", 0), 1);
    const std::string healed = slurp("VOQKIVORANT.INI");
    EXPECT_EQ(healed.find('\0'), std::string::npos);
    EXPECT_NE(healed.find("[Preserved]\r\nGLO:ForceUpdate=1\r\n"), std::string::npos);
}

TEST_F(ProfileTest, GoodLinesAmongDamagedOnesStillRead) {
    const char raw[] = "[A]\nk=1\nbad=a\0b\n\0\0junk\nj=2\nansi=\xC4\n";
    spit("X.INI", std::string(raw, sizeof raw - 1));
    EXPECT_EQ(rt::getProfileString("X.INI", "A", "k", ""), "1");
    EXPECT_EQ(rt::getProfileString("X.INI", "A", "j", ""), "2");
    EXPECT_EQ(rt::getProfileString("X.INI", "A", "bad", "d"), "d");
    EXPECT_EQ(rt::getProfileString("X.INI", "A", "ansi", ""), "\xC3\x84");
    EXPECT_EQ(traces().size(), 1u);
    EXPECT_TRUE(rt::writeProfileString("X.INI", "A", "k", "2"));
    EXPECT_EQ(slurp("X.INI"), "[A]\r\nk=2\r\nj=2\r\nansi=\xC3\x84\r\n");
}

TEST_F(ProfileTest, VeryLongLines) {
    const std::string longValue(2'000'000, 'x');
    spit("Long.INI", "[A]\nlong=" + longValue + "\n" + std::string(1'000'000, 'y') + "\n[B]\nk=after\n");
    EXPECT_EQ(rt::getProfileString("Long.INI", "A", "long", ""), longValue);
    EXPECT_EQ(rt::getProfileString("Long.INI", "B", "k", ""), "after");
    EXPECT_TRUE(rt::writeProfileString("Long.INI", "B", "k", "changed"));
    EXPECT_EQ(rt::getProfileString("Long.INI", "A", "long", ""), longValue);
    EXPECT_EQ(rt::getProfileString("Long.INI", "B", "k", ""), "changed");
    EXPECT_TRUE(traces().empty());
}

TEST_F(ProfileTest, FileTooLargeIsNeitherReadNorWrittenOver) {
    {
        std::ofstream out("Huge.INI", std::ios::binary);
        out << "[A]\nk=1\n";
        out << std::string(17u << 20, ';');
    }
    const auto size = fs::file_size("Huge.INI");
    EXPECT_EQ(rt::getProfileString("Huge.INI", "A", "k", "d"), "d");
    EXPECT_FALSE(rt::writeProfileString("Huge.INI", "A", "k", "2"));
    EXPECT_EQ(fs::file_size("Huge.INI"), size);
    EXPECT_GE(traces().size(), 2u);
}

TEST_F(ProfileTest, FailedWriteLeavesTheOldFile) {
    // The target is a folder: reads give defaults, the write fails, the folder stays.
    fs::create_directory("Folder.INI");
    EXPECT_EQ(rt::getProfileString("Folder.INI", "A", "k", "d"), "d");
    EXPECT_FALSE(rt::writeProfileString("Folder.INI", "A", "k", "v"));
    EXPECT_TRUE(fs::is_directory("Folder.INI"));

    // A path that runs through a file cannot be written; the file on the way stays as it was.
    fs::create_directory("Conf");
    spit("Conf/App.INI", "[A]\r\nk=old\r\n");
    EXPECT_TRUE(rt::writeProfileString("Conf/App.INI", "A", "k", "new"));
    EXPECT_EQ(slurp("Conf/App.INI"), "[A]\r\nk=new\r\n");
    EXPECT_FALSE(rt::writeProfileString("Conf/App.INI/inner.ini", "A", "k", "x"));
    EXPECT_EQ(slurp("Conf/App.INI"), "[A]\r\nk=new\r\n");

    // No temporary files are left beside the targets.
    int entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(".")) entries += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1);
    EXPECT_GE(traces().size(), 2u);
}

TEST_F(ProfileTest, FileThatCannotBeOpenedIsLeftAlone) {
    fs::create_symlink("Loop.INI", "Loop.INI");  // opening it fails: too many levels of links
    EXPECT_EQ(rt::getProfileString("Loop.INI", "A", "k", "d"), "d");
    EXPECT_EQ(rt::getProfileString("Loop.INI", "A", "j", "d"), "d");
    EXPECT_FALSE(rt::writeProfileString("Loop.INI", "A", "k", "v"));
    EXPECT_TRUE(fs::is_symlink("Loop.INI"));
    // One line for the reads, one for the refused write.
    EXPECT_EQ(traces().size(), 2u);
}

TEST_F(ProfileTest, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kKeys = 40;
    // The threads name the same file in different ways; all go through one lock.
    const char* names[] = {".\\Shared.INI", "./Shared.INI", "SHARED.INI", ".\\shared.ini"};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &names] {
            const char* file = names[t % 4];
            for (int k = 0; k < kKeys; ++k) {
                rt::writeProfileNumber(file, "Thread" + std::to_string(t), "Key" + std::to_string(k), t * 1000 + k);
                rt::writeProfileNumber(file, "Common", "Last" + std::to_string(t), k);
                rt::getProfileNumber(file, "Common", "Last" + std::to_string((t + 1) % kThreads), 0);
            }
        });
    }
    for (auto& th : threads) th.join();
    int files = 0;
    for (const auto& e : fs::directory_iterator(".")) files += e.is_regular_file() ? 1 : 0;
    ASSERT_EQ(files, 1);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(rt::getProfileNumber("Shared.INI", "Thread" + std::to_string(t), "Key" + std::to_string(k), -1),
                      t * 1000 + k);
        }
        EXPECT_EQ(rt::getProfileNumber("Shared.INI", "Common", "Last" + std::to_string(t), -1), kKeys - 1);
    }
    EXPECT_TRUE(traces().empty());
}

}  // namespace
