// VOQSECURE round trips: what the administration program stores, the program's login and
// rights check read.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "core/security/security.h"
#include "runtime/os/process.h"
#include "tests/core/security/security_fixture.h"

namespace {

struct Run {
    int code = -1;
    std::string output;  // standard output and standard error
};

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs the program in the working folder, as the frame does (the test's folder).
Run voqsecure(const std::vector<std::string>& args) {
    std::string command = quoted(VOQSECURE_PATH);
    for (const auto& a : args) command += " " + quoted(a);
    command += " 2>&1";
    Run r;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class VoqSecure : public sectest::SecurityTest {
protected:
    // Its command line, also without a command: no window comes up on a screen of the tester's.
    void SetUp() override {
        SecurityTest::SetUp();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
    }
    // Logs in through the login window; the result of LoginWindow.
    int login(const std::string& id, const std::string& password) {
        int t = startLogin(id);
        auto w = userDriver.waitWindow("Login");
        userDriver.setValue(w, LOGIN_PASSWORD, password);
        userDriver.press(w, LOGIN_OK);
        userDriver.waitThreadEnd(t);
        return loginResult;
    }
};

TEST_F(VoqSecure, AUserCreatedWithItLogsIn) {
    auto r = voqsecure({"ADDUSER", "anna", "PASSWORD=Geheim", "NAME=Anna Admin", "SUPERVISOR=1", "RIGHTS=DELETE",
                        "LOCK=5", "ATTEMPTS=3", "INTERVAL=monthly", "REPORT=both"});
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_TRUE(std::filesystem::exists("SECURITY.TPS"));
    r = voqsecure({"LISTUSERS"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.output.find("ANNA\tAnna Admin\tsupervisor=1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("interval=Monthly\treport=Both"), std::string::npos) << r.output;

    EXPECT_EQ(login("Anna", "Geheim"), 1);
    EXPECT_TRUE(userDriver.messageBoxes().empty());
    GLO.LoginUser = "ANNA";
    rt::Long lock = 0;
    EXPECT_EQ(GetUserLockTime(lock), 1);
    EXPECT_EQ(lock, 30000);
    auto u = readUser("ANNA");
    EXPECT_EQ(u.CHANGEDATE, rt::today());  // a new password counts as changed today
    EXPECT_EQ(u.LOGINCOUNT, 1);
}

TEST_F(VoqSecure, LevelsAndRightsAreWhatTheRightsCheckReads) {
    ASSERT_EQ(voqsecure({"ADDUSER", "BEN", "PASSWORD=x", "LEVEL3=change"}).code, 0);
    GLO.LoginUser = "ben";
    // Levels given before the program registered its procedures.
    ASSERT_EQ(voqsecure({"SETLEVEL", "BrowseWerte", "3"}).code, 0);
    EXPECT_EQ(CheckProcedureAccess("Change", "BrowseWerte"), 1);
    EXPECT_EQ(CheckProcedureAccess("Delete", "BrowseWerte"), 0);
    // The program's registration keeps the level.
    std::vector<std::string> rows(60, std::string(175, ' '));
    rows[0] = rt::padChars("BrowseWerte", 50) + rt::padChars("Window", 25) + rt::padChars("Auswahltabelle", 100);
    rows[1] = rt::padChars("BrowseCubeKopf", 50) + rt::padChars("Window", 25) + rt::padChars("Auswertungen", 100);
    std::atomic<int> added{-1};
    int t = rt::startThread([&] { added = UpdateProcedureList(60, 175, rows); });
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(added, 1);  // BrowseCubeKopf
    EXPECT_EQ(CheckProcedureAccess("Look", "BrowseWerte"), 1);
    EXPECT_EQ(CheckProcedureAccess("Look", "BrowseCubeKopf"), 0);  // level 0 yet

    ASSERT_EQ(voqsecure({"SETALLLEVELS", "3"}).code, 0);
    EXPECT_EQ(CheckProcedureAccess("Look", "BrowseCubeKopf"), 1);
    ASSERT_EQ(voqsecure({"CHANGEUSER", "ben", "LEVEL3=LOOK"}).code, 0);
    EXPECT_EQ(CheckProcedureAccess("Look", "BrowseCubeKopf"), 1);
    EXPECT_EQ(CheckProcedureAccess("Add", "BrowseCubeKopf"), 0);

    auto r = voqsecure({"LISTPROCEDURES"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.output.find("VOQKIVORANT\tBrowseCubeKopf\tlevel=3\tnew=0"), std::string::npos) << r.output;
}

TEST_F(VoqSecure, ResetAndRemove) {
    ASSERT_EQ(voqsecure({"ADDUSER", "C", "PASSWORD=alt", "ATTEMPTS=1"}).code, 0);
    // A lock-out sets the flags.
    int t = startLogin("C");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "falsch");
    userDriver.press(w, LOGIN_OK);
    expectBox("Wrong Password", lines("You have used the wrong password.||The program terminate."));
    expectBox("Halt", "Wrong password");
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(readUser("C").ILLEGALACCESSUSER, 1);

    ASSERT_EQ(voqsecure({"RESETPASSWORD", "c", "neu"}).code, 0);
    auto u = readUser("C");
    EXPECT_EQ(u.ILLEGALACCESSUSER, 0);
    EXPECT_EQ(u.ILLEGALACCESSSUPERVISOR, 0);
    EXPECT_EQ(login("C", "neu"), 1);

    ASSERT_EQ(voqsecure({"REMOVEUSER", "C"}).code, 0);
    t = startLogin("C");
    w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "neu");
    userDriver.press(w, LOGIN_OK);
    expectBox("User ID Missing",
              lines("You are not listed as user.|Contact the system administrator to be listed as user."));
    expectBox("Halt", "Missing user listing");
    userDriver.waitThreadEnd(t);
}

TEST_F(VoqSecure, BadInputEndsWithAClearMessage) {
    ASSERT_EQ(voqsecure({"ADDUSER", "D", "PASSWORD=x"}).code, 0);
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {{"ADDUSER"}, 2, "ADDUSER needs a user ID"},
        {{"ADDUSER", "E"}, 2, "ADDUSER needs PASSWORD=<password>"},
        {{"ADDUSER", "E", "PASSWORD=x", "RIGHTS=ALL"}, 2, "unknown right \"ALL\""},
        {{"ADDUSER", "E", "PASSWORD=x", "RIGHTS=LOOK,ADD"}, 2, "RIGHTS takes one right or ten"},
        {{"ADDUSER", "E", "PASSWORD=x", "LEVEL11=LOOK"}, 2, "level number must be a number from 1 to 10"},
        {{"ADDUSER", "E", "PASSWORD=x", "LOCK=abc"}, 2, "LOCK must be a number"},
        {{"ADDUSER", "E", "PASSWORD=x", "INTERVAL=sometimes"}, 2, "INTERVAL must be one of Never, Daily"},
        {{"ADDUSER", "E", "PASSWORD=x", "COLOUR=red"}, 2, "unknown field \"COLOUR\""},
        {{"ADDUSER", "E", "PASSWORD=" + std::string(31, 'p')}, 2, "PASSWORD may have at most 30 characters"},
        {{"ADDUSER", "D", "PASSWORD=x"}, 1, "user D exists already"},
        {{"CHANGEUSER", "ghost", "NAME=x"}, 1, "user GHOST is not listed"},
        {{"REMOVEUSER", "ghost"}, 1, "user GHOST is not listed"},
        {{"SETLEVEL", "BrowseWerte", "11"}, 2, "the level must be a number from 0 to 10"},
        {{"SETALLLEVELS", "-1"}, 2, "the level must be a number from 0 to 10"},
        {{"FROBNICATE"}, 2, "unknown command \"FROBNICATE\""},
    };
    for (const auto& c : cases) {
        auto r = voqsecure(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << ": " << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
    auto r = voqsecure({"LISTUSERS"});
    EXPECT_EQ(r.output.find("\nE\t"), std::string::npos);
    EXPECT_EQ(r.output.rfind("D\t", 0), 0u) << r.output;
}

TEST_F(VoqSecure, StartedAsTheFrameStartsIt) {
    ASSERT_EQ(voqsecure({"ADDUSER", "ADMIN", "PASSWORD=x", "SUPERVISOR=1"}).code, 0);
    auto r = voqsecure({"\\U=ADMIN"});
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("ADMIN\t"), std::string::npos);
    // The frame names it "VOQSECURE.EXE"; it lies beside the program.
    auto p = rt::startProcess("VOQSECURE.EXE", {"\\U=ADMIN"}, true);
    EXPECT_TRUE(p.started);
    EXPECT_EQ(p.exitCode, 0);
}

}  // namespace
