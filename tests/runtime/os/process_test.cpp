#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "runtime/os/path.h"
#include "runtime/os/process.h"
#include "runtime/os/registry.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a waited program with its standard output sent to a file and returns that output.
std::string outputOf(const std::string& program, const std::vector<std::string>& args,
                     rt::ProcessResult* result = nullptr) {
    voq::test::TempDir dir;
    const std::string file = dir.file("out.txt");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int saved = ::dup(STDOUT_FILENO);
    std::fflush(stdout);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
    const rt::ProcessResult r = rt::startProcess(program, args, true);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    if (result) *result = r;
    return slurp(file);
}

TEST(StartProcess, ArgumentsArriveUnchangedWithoutShell) {
    rt::ProcessResult r;
    const std::string out =
        outputOf("/bin/echo", {"plain", "two words", "$HOME", "*", "a;b", "\\U=ADMIN", "\"q\""}, &r);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(out, "plain two words $HOME * a;b \\U=ADMIN \"q\"\n");
}

TEST(StartProcess, NoArguments) { EXPECT_EQ(outputOf("/bin/echo", {}), "\n"); }

TEST(StartProcess, BareNameAlongPath) { EXPECT_EQ(outputOf("echo", {"found"}), "found\n"); }

TEST(StartProcess, ExitCodes) {
    const struct {
        std::string script;
        int code;
    } cases[] = {
        {"exit 0", 0},
        {"exit 7", 7},
        {"exit 255", 255},
        {"kill -9 $$", 128 + 9},
    };
    for (const auto& c : cases) {
        const auto r = rt::startProcess("/bin/sh", {"-c", c.script}, true);
        EXPECT_TRUE(r.started) << c.script;
        EXPECT_EQ(r.exitCode, c.code) << c.script;
    }
}

TEST(StartProcess, MissingProgramDoesNotStart) {
    for (const std::string program : {"/nonexistent/voq-program", "voq-no-such-program", "", ".\\VOQSECURE.EXE"}) {
        const auto r = rt::startProcess(program, {"\\U=1"}, true);
        EXPECT_FALSE(r.started) << program;
        EXPECT_EQ(r.startError, ENOENT) << program;
        EXPECT_FALSE(r.errorText.empty()) << program;
    }
}

TEST(StartProcess, NotExecutableDoesNotStart) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("data.txt")) << "text";
    const auto r = rt::startProcess(dir.file("data.txt"), {}, true);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.startError, EACCES);
}

TEST(StartProcess, WithoutWaitingRunsOn) {
    voq::test::TempDir dir;
    const std::string marker = dir.file("done");
    const auto r = rt::startProcess("/bin/sh", {"-c", "sleep 0.2; echo x > \"$1\"", "sh", marker}, false);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(fs::exists(marker));  // the call did not wait for it
    for (int i = 0; i < 100 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(marker));
}

// Children nobody waits for are reaped by one thread for all, which stays: no thread ends
// whenever a child does (the program's own end may be that moment).
TEST(StartProcess, ChildrenNotWaitedForAreReapedByOneThreadThatStays) {
    auto threads = [] {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/task")) ++n;
        return n;
    };
    rt::startProcess("/bin/true", {}, false);  // the reaper is there from here on
    const std::size_t before = threads();
    std::vector<int> pids;
    for (int i = 0; i < 12; ++i) {
        const auto r = rt::startProcess("/bin/sh", {"-c", "sleep 0.3"}, false, [&](int pid) { pids.push_back(pid); });
        ASSERT_TRUE(r.started);
    }
    EXPECT_EQ(threads(), before);
    auto gone = [](int pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        return !stat.good();  // a zombie would still be listed
    };
    for (int i = 0; i < 100 && !std::all_of(pids.begin(), pids.end(), gone); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int pid : pids) EXPECT_TRUE(gone(pid)) << pid << " not reaped";
    EXPECT_EQ(threads(), before);
}

TEST(StartProcess, ProgramBesideTheRunningOneFirstWhateverItsCase) {
    const std::string name = "voq_beside_" + std::to_string(::getpid());
    const fs::path script = fs::path(rt::programFolder()) / name;
    {
        std::ofstream out(script);
        out << "#!/bin/sh\necho beside \"$@\"\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    std::string upper = name;
    for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::string out = outputOf(upper, {"ok"});
    const std::string exe = outputOf(upper + ".EXE", {"exe"});
    fs::remove(script);
    EXPECT_EQ(out, "beside ok\n");
    EXPECT_EQ(exe, "beside exe\n");
}

TEST(StartProcess, WindowsProgramNameFindsItsStandIn) {
    voq::test::TempDir dir;
    const fs::path script = dir.path() / "voqtool";
    std::ofstream(script) << "#!/bin/sh\necho tool \"$@\"\n";
    fs::permissions(script, fs::perms::owner_all);
    EXPECT_EQ(outputOf(dir.path().string() + "\\VOQTOOL.EXE", {"\\U=ADMIN"}), "tool \\U=ADMIN\n");
    EXPECT_EQ(outputOf(dir.path().string() + "/voqtool", {}), "tool\n");
    // A Windows program without a stand-in does not start.
    const auto r = rt::startProcess("rundll32.exe", {"shell32.dll,Control_RunDLL", "odbccp32.cpl"}, false);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.startError, ENOENT);
}

class ShellOpenTest : public ::testing::Test {
protected:
    void TearDown() override { rt::setShellOpenProgram(""); }
};

TEST_F(ShellOpenTest, Results) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("Report.csv")) << "a;b\n";
    rt::setShellOpenProgram("/bin/true");
    const struct {
        std::string path;
        bool started;
        int code;
    } cases[] = {
        {dir.file("Report.csv"), true, rt::kShellOpenOk},
        {dir.file("report.CSV"), true, rt::kShellOpenOk},
        {dir.path().string(), true, rt::kShellOpenOk},
        {"https://example.invalid/x", true, rt::kShellOpenOk},
        {"mailto:x@example.invalid", true, rt::kShellOpenOk},
        {dir.file("Missing.csv"), false, rt::kShellFileNotFound},
        {dir.file("none/Missing.csv"), false, rt::kShellPathNotFound},
        {"", false, rt::kShellFileNotFound},
    };
    for (const auto& c : cases) {
        const auto r = rt::shellOpen(c.path);
        EXPECT_EQ(r.started, c.started) << c.path;
        EXPECT_EQ(r.code, c.code) << c.path;
    }
}

TEST_F(ShellOpenTest, MissingOpenerMeansNoAssociation) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("Report.csv")) << "a;b\n";
    rt::setShellOpenProgram("/nonexistent/opener");
    const auto r = rt::shellOpen(dir.file("Report.csv"));
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.code, rt::kShellNoAssociation);
}

TEST_F(ShellOpenTest, AnOpenerEndingWithAnErrorMeansNoAssociationOneStillRunningSuccess) {
    voq::test::TempDir dir;
    std::ofstream(dir.file("Report.csv")) << "a;b\n";
    // As the desktop opener does when no program takes the file type.
    rt::setShellOpenProgram("/bin/false");
    auto r = rt::shellOpen(dir.file("Report.csv"));
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.code, rt::kShellNoAssociation);
    // An opener that runs the program itself is not waited for.
    const std::string running = dir.file("opener.sh");
    std::ofstream(running) << "#!/bin/sh\nexec sleep 30\n";
    std::filesystem::permissions(running, std::filesystem::perms::owner_all);
    rt::setShellOpenProgram(running);
    r = rt::shellOpen(dir.file("Report.csv"));
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.code, rt::kShellOpenOk);
}

TEST(Registry, EveryLookupAnswersNone) {
    EXPECT_EQ(rt::registryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI", "Driver"), std::nullopt);
    EXPECT_EQ(rt::registryRead("", ""), std::nullopt);
}

}  // namespace
