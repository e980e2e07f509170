#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p, const std::string& content = "x") { std::ofstream(p, std::ios::binary) << content; }

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs each case inside a fresh working folder that holds a small tree.
class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        fs::create_directories(dir_.path() / "Data" / "Sub");
        fs::create_directories(dir_.path() / "AUSWERT");
        touch(dir_.path() / "Data" / "Sub" / "File.INI");
        touch(dir_.path() / "\xC3\x9Cmlaut.txt");  // Ümlaut.txt
        fs::current_path(dir_.path());
    }
    void TearDown() override { fs::current_path(old_); }

    voq::test::TempDir dir_;
    fs::path old_;
};

TEST(PathNames, NativeSeparators) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {".", "."},
        {".\\", "."},
        {".\\VOQKIVORANT.INI", "VOQKIVORANT.INI"},
        {"a\\b/c", "a/b/c"},
        {"a\\\\b//c", "a/b/c"},
        {"a\\.\\b", "a/b"},
        {"AUSWERT\\", "AUSWERT/"},
        {"\\tmp\\x", "/tmp/x"},
        {"/", "/"},
        {"..\\x", "../x"},
    };
    for (const auto& c : cases) EXPECT_EQ(rt::nativeSeparators(c.in), c.out) << c.in;
}

TEST(PathNames, FoldNameCase) {
    EXPECT_EQ(rt::foldNameCase("abcXYZ.ini"), "ABCXYZ.INI");
    EXPECT_EQ(rt::foldNameCase("\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"), "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F");  // äöüß → ÄÖÜß
    EXPECT_EQ(rt::foldNameCase("\xC3\xB7"), "\xC3\xB7");  // ÷ has no capital
    EXPECT_EQ(rt::foldNameCase("\xC3"), "\xC3");          // a cut sequence stays as it is
    EXPECT_TRUE(rt::namesEqualNoCase("Preserved", "PRESERVED"));
    EXPECT_FALSE(rt::namesEqualNoCase("Preserved", "Preserve"));
}

TEST_F(PathTest, ResolvePathTable) {
    const std::string tmp = dir_.path().string();
    const std::string tmpName = dir_.path().filename().string();
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {".", "."},
        {".\\Data\\Sub\\File.INI", "Data/Sub/File.INI"},
        {".\\data\\sub\\file.ini", "Data/Sub/File.INI"},
        {"./DATA/SUB/FILE.ini", "Data/Sub/File.INI"},
        {"Data//Sub\\\\File.INI", "Data/Sub/File.INI"},
        {"data\\New.ini", "Data/New.ini"},     // a new file keeps the name asked for
        {"missing\\Sub\\x", "missing/Sub/x"},  // nothing below a missing folder is looked up
        {"auswert\\", "AUSWERT/"},
        {"\xC3\xBCmlaut.TXT", "\xC3\x9Cmlaut.txt"},  // ümlaut.TXT finds Ümlaut.txt
        {tmp + "\\DATA\\sub\\FILE.INI", tmp + "/Data/Sub/File.INI"},
        {"..\\" + tmpName + "\\data", "../" + tmpName + "/Data"},
    };
    for (const auto& c : cases) EXPECT_EQ(rt::resolvePath(c.in), c.out) << c.in;
}

TEST_F(PathTest, ExactNameWinsOverOtherCase) {
    touch(dir_.path() / "file.ini", "lower");
    touch(dir_.path() / "FILE.INI", "upper");
    EXPECT_EQ(rt::resolvePath("file.ini"), "file.ini");
    EXPECT_EQ(rt::resolvePath("FILE.INI"), "FILE.INI");
    // Neither spelling matches exactly: the first in name order is taken, every time.
    EXPECT_EQ(rt::resolvePath("File.Ini"), "FILE.INI");
}

TEST_F(PathTest, AbsolutePath) {
    const std::string tmp = fs::current_path().string();
    EXPECT_EQ(rt::absolutePath(".\\data\\sub\\file.ini"), tmp + "/Data/Sub/File.INI");
    EXPECT_EQ(rt::absolutePath("."), tmp);
    EXPECT_EQ(rt::absolutePath("Data\\..\\X.INI"), tmp + "/X.INI");
}

TEST_F(PathTest, FileAndFolderQueries) {
    EXPECT_TRUE(rt::fileExists(".\\DATA\\SUB\\file.ini"));
    EXPECT_FALSE(rt::fileExists(".\\Data"));
    EXPECT_TRUE(rt::folderExists(".\\data"));
    EXPECT_FALSE(rt::folderExists(".\\Data\\Sub\\File.INI"));
    EXPECT_FALSE(rt::fileExists(""));
    EXPECT_FALSE(rt::fileExists(".\\nothing.ini"));
}

TEST_F(PathTest, CreateFolder) {
    EXPECT_TRUE(rt::createFolder(".\\SKRIPT"));
    EXPECT_TRUE(fs::is_directory("SKRIPT"));
    EXPECT_TRUE(rt::createFolder(".\\skript"));  // already there, whatever the case
    int folders = 0;
    for (const auto& e : fs::directory_iterator(".")) folders += e.is_directory() ? 1 : 0;
    EXPECT_EQ(folders, 3);                                     // Data, AUSWERT, SKRIPT: no second "skript"
    EXPECT_FALSE(rt::createFolder(".\\Data\\Sub\\File.INI"));  // a file of that name is in the way
    EXPECT_FALSE(rt::createFolder(".\\none\\deeper"));         // only one level
}

TEST_F(PathTest, RemoveCopyRename) {
    EXPECT_FALSE(rt::removeFile(".\\Data"));  // never a folder
    EXPECT_TRUE(fs::is_directory("Data"));

    EXPECT_TRUE(rt::copyFile(".\\data\\sub\\file.ini", ".\\Copy.ini"));
    EXPECT_EQ(slurp("Copy.ini"), "x");
    touch("Copy.ini", "changed");
    EXPECT_FALSE(rt::copyFile(".\\data\\sub\\file.ini", ".\\copy.INI", false));
    EXPECT_EQ(slurp("Copy.ini"), "changed");
    EXPECT_TRUE(rt::copyFile(".\\data\\sub\\file.ini", ".\\copy.INI", true));
    EXPECT_EQ(slurp("Copy.ini"), "x");
    EXPECT_FALSE(rt::copyFile(".\\missing.ini", ".\\Other.ini"));

    EXPECT_TRUE(rt::renameFile(".\\COPY.ini", ".\\Moved.ini"));
    EXPECT_FALSE(fs::exists("Copy.ini"));
    EXPECT_TRUE(fs::exists("Moved.ini"));
    EXPECT_FALSE(rt::renameFile(".\\Moved.ini", ".\\Data"));
    EXPECT_TRUE(fs::exists("Moved.ini"));

    EXPECT_TRUE(rt::removeFile(".\\moved.INI"));
    EXPECT_FALSE(fs::exists("Moved.ini"));
    EXPECT_FALSE(rt::removeFile(".\\moved.INI"));
}

TEST_F(PathTest, ReadFile) {
    EXPECT_EQ(rt::readFile(".\\data\\sub\\file.ini"), std::optional<std::string>("x"));
    EXPECT_EQ(rt::readFile(".\\missing"), std::nullopt);
    EXPECT_EQ(rt::readFile(".\\Data"), std::nullopt);
    touch("big.bin", std::string(100, 'a'));
    EXPECT_EQ(rt::readFile("big.bin", 99), std::nullopt);
    EXPECT_EQ(rt::readFile("big.bin", 100)->size(), 100u);
}

TEST_F(PathTest, WriteFileReplacing) {
    // Creates, replaces, keeps the permissions of the old file and leaves no temporary file.
    EXPECT_TRUE(rt::writeFileReplacing(".\\New.txt", "one"));
    EXPECT_EQ(slurp("New.txt"), "one");
    ::chmod("New.txt", 0640);
    EXPECT_TRUE(rt::writeFileReplacing(".\\new.TXT", "two"));
    EXPECT_EQ(slurp("New.txt"), "two");
    struct stat st;
    ASSERT_EQ(::stat("New.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Through a symbolic link the target file changes and the link stays.
    fs::create_symlink("New.txt", "Link.txt");
    EXPECT_TRUE(rt::writeFileReplacing("Link.txt", "three"));
    EXPECT_TRUE(fs::is_symlink("Link.txt"));
    EXPECT_EQ(slurp("New.txt"), "three");

    // A folder in the way: the write fails with the reason and nothing is left behind.
    std::string why;
    EXPECT_FALSE(rt::writeFileReplacing(".\\auswert", "four", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(fs::is_directory("AUSWERT"));
    // A missing folder: fails too.
    EXPECT_FALSE(rt::writeFileReplacing(".\\none\\x.txt", "five"));

    int files = 0;
    for (const auto& e : fs::directory_iterator(".")) {
        if (e.is_regular_file() && !e.is_symlink()) ++files;
    }
    EXPECT_EQ(files, 2);  // New.txt and Ümlaut.txt (Link.txt is a link)
}

TEST_F(PathTest, AReplacingFileThatCannotBeWrittenWholeLeavesTheOldOne) {
    touch("Export.CSV", "old");
    const std::string big(200000, 'x');
    {
        voq::test::FileSizeLimit full(50000);
        rt::ReplacingFile out;
        ASSERT_TRUE(out.open(".\\Export.CSV"));
        out.write(big);
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(out.error(), EFBIG);
        EXPECT_FALSE(out.errorText().empty());
        std::string why;
        EXPECT_FALSE(rt::writeFileReplacing("Export.CSV", big, &why));
        EXPECT_EQ(why, std::strerror(EFBIG));
    }
    EXPECT_EQ(slurp("Export.CSV"), "old");
    // Abandoned, nothing changes either.
    {
        rt::ReplacingFile out;
        ASSERT_TRUE(out.open("Export.CSV"));
        out.write("new");
    }
    EXPECT_EQ(slurp("Export.CSV"), "old");
    int entries = 0;
    for (const auto& e : fs::directory_iterator("."))
        entries += e.path().filename().string().find(".tmp") != std::string::npos;
    EXPECT_EQ(entries, 0) << "no part file is left";

    // A device is written into, never replaced: a full one fails with its reason.
    rt::ReplacingFile device;
    ASSERT_TRUE(device.open("/dev/full"));
    device.write("x");
    EXPECT_FALSE(device.commit());
    EXPECT_EQ(device.error(), ENOSPC);
    struct stat st;
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(ProgramPaths, ProgramAndFolders) {
    const std::string program = rt::programPath();
    EXPECT_EQ(fs::path(program).filename(), "rt_os_test");
    EXPECT_TRUE(fs::path(program).is_absolute());
    EXPECT_EQ(rt::programFolder(), fs::path(program).parent_path().string());
    EXPECT_EQ(rt::currentFolder(), fs::current_path().string());
}

}  // namespace
