// The rights check, the refusal texts, the idle lock time and the halt.
#include "tests/core/security/security_fixture.h"

#include <cstdlib>

#include "runtime/os/program_end.h"

namespace {

using sectest::SecurityTest;

class Rights : public SecurityTest {
protected:
    void SetUp() override {
        SecurityTest::SetUp();
        auto u = user("TESTER", "pw");
        u.LEVEL1 = "change";
        u.LEVEL2 = "DELETE";
        u.LEVEL3 = "None";
        u.LEVEL4 = "bogus";
        u.LEVEL5 = "";
        u.LEVEL10 = "look";
        addUser(u);
        addProcedure("P1", 1);
        addProcedure("P2", 2);
        addProcedure("P3", 3);
        addProcedure("P4", 4);
        addProcedure("P5", 5);
        addProcedure("P10", 10);
        addProcedure("P0", 0);
        addProcedure("P11", 11);
        addProcedure("Other", 2, "OTHERAPP");
        GLO.LoginUser = "tester";  // typed in lower case, stored in upper case
    }
};

TEST_F(Rights, Matrix) {
    struct Case {
        const char* procedure;
        const char* action;
        int answer;
    };
    const Case cases[] = {
        // "change" allows Look, Print, Add and Change, in any case of the action.
        {"P1", "Look", 1},
        {"P1", "Print", 1},
        {"P1", "Add", 1},
        {"P1", "Change", 1},
        {"P1", "CHANGE", 1},
        {"P1", "change  ", 1},
        {"P1", "Process", 0},
        {"P1", "Delete", 0},
        // An action outside the list is position 0: allowed once procedure, level and user are found.
        {"P1", "Frobnicate", 1},
        {"P1", "", 1},
        // DELETE allows everything.
        {"P2", "Delete", 1},
        {"P2", "Look", 1},
        {"P2", "None", 1},
        // NONE allows only "NONE".
        {"P3", "None", 1},
        {"P3", "Look", 0},
        // A right outside the list (or none) allows no listed action.
        {"P4", "None", 0},
        {"P4", "Look", 0},
        {"P5", "Look", 0},
        {"P4", "Frobnicate", 1},
        // Level 10 is LEVEL10.
        {"P10", "Look", 1},
        {"P10", "Print", 0},
        // Level 0 (not yet set) and a level above 10 are refused every action.
        {"P0", "Look", 0},
        {"P0", "Frobnicate", 0},
        {"P11", "Look", 0},
        {"P11", "None", 0},
        // Unregistered, or registered only for another application.
        {"Nope", "Look", 0},
        {"Other", "Look", 0},
        // The name is compared without trailing blanks and without regard to case.
        {"p1   ", "Look", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckProcedureAccess(c.action, c.procedure), c.answer) << c.procedure << " / " << c.action;
    EXPECT_FALSE(UserListFile().isOpen());
    EXPECT_FALSE(ProcedureListFile().isOpen());
}

TEST_F(Rights, AnUnknownOrMissingUserIsRefusedEverything) {
    GLO.LoginUser = "ghost";
    EXPECT_EQ(CheckProcedureAccess("Look", "P2"), 0);
    EXPECT_EQ(CheckProcedureAccess("Frobnicate", "P2"), 0);
    GLO.LoginUser = "";
    EXPECT_EQ(CheckProcedureAccess("Look", "P2"), 0);
}

TEST_F(Rights, TheCheckRunsOnAnyThread) {
    std::atomic<int> answer{-1};
    int t = rt::startThread([&] { answer = CheckProcedureAccess("Delete", "P2"); });
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(answer, 1);
}

TEST_F(Rights, NoAccessMessageTexts) {
    struct Case {
        const char* action;
        const char* text;
    };
    const Case cases[] = {
        {"None", "You have not access to this."},
        {"Look", "You have not access to look at this data."},
        {"print", "You have not access to print this data."},
        {"Add", "You have not access to add this data."},
        {"Change", "You have not access to change this data."},
        {"PROCESS", "You have not access to process this data."},
        {"Delete", "You have not access to delete this data."},
        {"Frobnicate", ""},
    };
    for (const auto& c : cases) {
        userDriver.queueMessageBoxAnswer(rt::button::Ok);
        NoAccessMessage(c.action);
        auto box = userDriver.lastMessageBox();
        EXPECT_EQ(box.title, "No Access") << c.action;
        EXPECT_EQ(box.text, c.text) << c.action;
        EXPECT_EQ(box.icon, rt::MessageIcon::Information);
    }
    EXPECT_EQ(display.beeps().size(), std::size(cases));
}

TEST_F(SecurityTest, LockTimeIsTheUsersMinutesInHundredths) {
    auto a = user("A", "x");
    a.LOCKSCREEN = 2;
    addUser(a);
    addUser(user("B", "x"));
    rt::Long lock = 77;
    GLO.LoginUser = "a";
    EXPECT_EQ(GetUserLockTime(lock), 1);
    EXPECT_EQ(lock, 12000);
    GLO.LoginUser = "B";
    EXPECT_EQ(GetUserLockTime(lock), 0);
    EXPECT_EQ(lock, 0);
    lock = 77;
    GLO.LoginUser = "ghost";
    EXPECT_EQ(GetUserLockTime(lock), 0);
    EXPECT_EQ(lock, 77);
}

TEST_F(SecurityTest, HaltShowsItsBoxFromAnyThreadAndEndsWithAnErrorCode) {
    int t = rt::startThread([] { HaltProgram("Disk Error"); });
    expectBox("Halt", "Disk Error");
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(endCode, kHaltErrorCode);
    EXPECT_NE(kHaltErrorCode, 0);
}

// Without a replacement the halt is the program's one end: the process goes, with its code.
TEST(Halt, WithoutAReplacementTheProcessEndsWithTheErrorCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int t = rt::startThread([] { HaltProgram("Disk Error"); });
            rt::waitThread(t);
            std::_Exit(99);
        },
        ::testing::ExitedWithCode(kHaltErrorCode), "Halt: Disk Error");
}

// The replacement of the program's end stands for every way of ending, so a test that catches
// one catches the halt too.
TEST(Halt, TheProgramsEndHandlerSeesTheHalt) {
    struct Ended {
        int code;
    };
    rt::setProgramEndHandler([](int code) { throw Ended{code}; });
    int code = -1;
    try {
        HaltProgram("Disk Error", 3);
    } catch (const Ended& e) {
        code = e.code;
    }
    rt::setProgramEndHandler({});
    EXPECT_EQ(code, 3);
}

TEST_F(SecurityTest, AFileThatIsNotASecurityFileIsAnInvalidFile) {
    { std::ofstream("SECURITY.TPS") << "this is no table file at all, just text that is long enough"; }
    userDriver.queueMessageBoxAnswer(rt::button::Ok);
    userDriver.queueMessageBoxAnswer(rt::button::Ok);
    EXPECT_NE(OpenSecurityFile(UserListFile()), 0);
    auto boxes = userDriver.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Invalid File");
    EXPECT_NE(boxes[0].text.find("accessing "), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(".  Press OK to end this application."), std::string::npos);
    EXPECT_EQ(boxes[1].title, "Halt");
    EXPECT_EQ(boxes[1].text, "Invalid File!");
    EXPECT_EQ(ends, 1);
}

TEST_F(SecurityTest, ARecordChangedByAnotherStationIsReportedNotOverwritten) {
    addUser(user("A", "x"));
    ASSERT_EQ(OpenSecurityFile(UserListFile()), 0);
    USER.USERID = "A";
    ASSERT_EQ(UserListFile().fetch("USER:KEYUSERID"), 0);
    // Another station (thread with its own connection) changes the record meanwhile.
    int t = rt::startThread([] {
        OpenSecurityFile(UserListFile());
        USER.USERID = "A";
        UserListFile().fetch("USER:KEYUSERID");
        USER.USERNAME = "other station";
        SaveUserRecord();
        UserListFile().close();
    });
    userDriver.waitThreadEnd(t);
    USER.USERNAME = "mine";
    userDriver.queueMessageBoxAnswer(rt::button::Ok);
    EXPECT_EQ(SaveUserRecord(), 1);
    EXPECT_EQ(userDriver.lastMessageBox().title, "Update Operation Error");
    EXPECT_EQ(userDriver.lastMessageBox().text, "This record was changed by another station.");
    UserListFile().close();
    EXPECT_EQ(readUser("A").USERNAME, "other station");
    // Read again, the change is stored.
    ASSERT_EQ(OpenSecurityFile(UserListFile()), 0);
    USER.USERID = "A";
    ASSERT_EQ(UserListFile().fetch("USER:KEYUSERID"), 0);
    USER.USERNAME = "mine";
    EXPECT_EQ(SaveUserRecord(), 0);
    UserListFile().close();
    EXPECT_EQ(readUser("A").USERNAME, "mine");
}

}  // namespace
