// The login window and the password change through the headless display, and the rules behind
// them: wrong passwords, lock-out, illegal access notices, password intervals and history.
#include "tests/core/security/security_fixture.h"

namespace {

using sectest::SecurityTest;

constexpr const char* kWrong = "You have used the wrong password.\n\n";

class Login : public SecurityTest {
protected:
    rt::DateNumber day(int y, int m, int d) { return rt::dateFromYmd(y, m, d); }
};

TEST_F(Login, AFirstStartWithoutSecurityFileEndsWithMissingUserListing) {
    int t = startLogin();
    auto w = userDriver.waitWindow("Login");
    EXPECT_TRUE(std::filesystem::exists("SECURITY.TPS"));
    type(w, "admin", "x");
    userDriver.press(w, LOGIN_OK);
    auto box = userDriver.waitMessageBox();
    EXPECT_EQ(box.title, "User ID Missing");
    EXPECT_EQ(box.text, lines("You are not listed as user.|Contact the system administrator to be listed as user."));
    EXPECT_EQ(box.icon, rt::MessageIcon::Question);
    userDriver.answerMessageBox(rt::button::Ok);
    expectBox("Halt", "Missing user listing");
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(ends, 1);
    EXPECT_NE(endCode, 0);
    EXPECT_EQ(loginResult, 0);
}

TEST_F(Login, TheUserIdIsFoundInAnyCaseAndThePasswordMustMatchInCase) {
    addUser(user("ADMIN", "Geheim"));
    int t = startLogin("admin  ");
    auto w = userDriver.waitWindow("Login");
    EXPECT_EQ(userDriver.value(w, LOGIN_USERID), "ADMIN");
    EXPECT_EQ(userDriver.window(w).focus, LOGIN_PASSWORD);
    userDriver.setValue(w, LOGIN_USERID, "aDmIn");
    userDriver.setValue(w, LOGIN_PASSWORD, "geheim");
    userDriver.press(w, LOGIN_OK);
    expectBox("Wrong Password", lines("You have used the wrong password.||Try again."));
    EXPECT_EQ(userDriver.value(w, LOGIN_PASSWORD), "");
    EXPECT_EQ(userDriver.window(w).focus, LOGIN_PASSWORD);
    userDriver.setValue(w, LOGIN_PASSWORD, "Geheim  ");
    userDriver.press(w, LOGIN_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    EXPECT_EQ(loginId, "aDmIn");
    EXPECT_EQ(readUser("ADMIN").LOGINCOUNT, 1);
    EXPECT_EQ(ends, 0);
}

TEST_F(Login, WithoutPrefillTheFocusIsOnTheUserIdAndCancelRefuses) {
    int t = startLogin();
    auto w = userDriver.waitWindow("Login");
    EXPECT_EQ(userDriver.window(w).focus, LOGIN_USERID);
    userDriver.setValue(w, LOGIN_USERID, "Someone");
    userDriver.press(w, LOGIN_CANCEL);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 0);
    EXPECT_EQ(loginId, "Someone");
    EXPECT_EQ(ends, 0);
}

TEST_F(Login, ThreeAttemptsCountDownThenLockOut) {
    addUser(user("U", "right", 3));
    rt::setTestClock(day(2026, 3, 4), rt::timeFromHms(10, 11, 12));
    int t = startLogin("U");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "wrong");
    userDriver.press(w, LOGIN_OK);
    expectBox("Wrong Password", std::string(kWrong) + "You have 2 more attempts left.");
    userDriver.setValue(w, LOGIN_PASSWORD, "wrong");
    userDriver.press(w, LOGIN_OK);
    expectBox("Wrong Password", std::string(kWrong) + "You have 1 more attempts left.");
    {
        auto u = readUser("U");
        EXPECT_EQ(u.DATEILLEGALACCESS, day(2026, 3, 4));
        EXPECT_EQ(u.ILLEGALACCESSUSER, 0);
    }
    userDriver.setValue(w, LOGIN_PASSWORD, "wrong");
    userDriver.press(w, LOGIN_OK);
    auto box = userDriver.waitMessageBox();
    EXPECT_EQ(box.title, "Wrong Password");
    EXPECT_EQ(box.text, std::string(kWrong) + "The program terminate.");
    EXPECT_EQ(box.icon, rt::MessageIcon::Question);
    userDriver.answerMessageBox(rt::button::Ok);
    expectBox("Halt", "Wrong password");
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(ends, 1);
    EXPECT_NE(endCode, 0);
    EXPECT_EQ(loginResult, 0);
    auto u = readUser("U");
    EXPECT_EQ(u.ILLEGALACCESSUSER, 1);
    EXPECT_EQ(u.ILLEGALACCESSSUPERVISOR, 1);
    EXPECT_EQ(u.TIMEILLEGALACCESS, rt::timeFromHms(10, 11, 12));
    EXPECT_EQ(u.LOGINCOUNT, 0);
}

TEST_F(Login, TheCountStartsAgainWithEveryWindow) {
    addUser(user("U", "right", 2));
    for (int round = 0; round < 2; ++round) {
        int t = startLogin("U");
        auto w = userDriver.waitWindow("Login");
        userDriver.setValue(w, LOGIN_PASSWORD, "wrong");
        userDriver.press(w, LOGIN_OK);
        expectBox("Wrong Password", std::string(kWrong) + "You have 1 more attempts left.");
        userDriver.press(w, LOGIN_CANCEL);
        userDriver.waitThreadEnd(t);
    }
    EXPECT_EQ(ends, 0);
}

TEST_F(Login, UnlimitedAttemptsRecordTheTimeButSetNoFlag) {
    addUser(user("U", "right", 0));
    int t = startLogin("U");
    auto w = userDriver.waitWindow("Login");
    for (int i = 0; i < 5; ++i) {
        userDriver.setValue(w, LOGIN_PASSWORD, "wrong" + std::to_string(i));
        userDriver.press(w, LOGIN_OK);
        expectBox("Wrong Password", std::string(kWrong) + "Try again.");
    }
    userDriver.setValue(w, LOGIN_PASSWORD, "right");
    userDriver.press(w, LOGIN_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    auto u = readUser("U");
    EXPECT_NE(u.DATEILLEGALACCESS, 0);
    EXPECT_EQ(u.ILLEGALACCESSUSER, 0);
    EXPECT_EQ(u.ILLEGALACCESSSUPERVISOR, 0);
    EXPECT_EQ(u.LOGINCOUNT, 1);
}

TEST_F(Login, AUserIsToldOfTheAttemptAtEveryLoginUntilThePasswordChanges) {
    auto u = user("U", "right");
    u.ILLEGALACCESSUSER = 1;
    u.DATEILLEGALACCESS = day(2026, 2, 1);
    u.TIMEILLEGALACCESS = rt::timeFromHms(8, 9, 10);
    addUser(u);
    const std::string notice = lines(
        "There has been an attempt to use your user ID and password.||The attempt was made the: 01.02.2026 at: "
        "08:09:10||You ought to change your password.");
    for (int round = 0; round < 2; ++round) {
        int t = startLogin("U");
        auto w = userDriver.waitWindow("Login");
        userDriver.setValue(w, LOGIN_PASSWORD, "right");
        userDriver.press(w, LOGIN_OK);
        expectBox("Illegal Access", notice);
        userDriver.waitThreadEnd(t);
        EXPECT_EQ(loginResult, 1);
    }
    // "New password" after the notice: the change clears the flag.
    int t = startLogin("U");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "right");
    userDriver.press(w, LOGIN_NEWPASSWORD);
    expectBox("Illegal Access", notice);
    auto p = userDriver.waitWindow("New Password");
    userDriver.setValue(p, NEWPW_NEW, "fresh");
    userDriver.setValue(p, NEWPW_REPEAT, "fresh");
    userDriver.press(p, NEWPW_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    auto after = readUser("U");
    EXPECT_EQ(after.PASSWORD, "fresh");
    EXPECT_EQ(after.ILLEGALACCESSUSER, 0);
    EXPECT_EQ(after.PASSWORDHISTORY.str(), "right\r\n");
}

TEST_F(Login, ASupervisorGetsTheReportOnce) {
    auto boss = user("BOSS", "chef");
    boss.SUPERVISOR = 1;
    addUser(boss);
    auto a = user("A", "x");
    a.ILLEGALACCESSSUPERVISOR = 1;
    a.DATEILLEGALACCESS = day(2026, 1, 5);
    a.TIMEILLEGALACCESS = rt::timeFromHms(7, 0, 1);
    a.REPORTERROR = "Supervisor";
    addUser(a);
    auto b = user("B", "x");
    b.ILLEGALACCESSSUPERVISOR = 1;
    b.REPORTERROR = "User";  // not to be reported to the supervisors
    addUser(b);
    auto c = user("C", "x");
    c.ILLEGALACCESSSUPERVISOR = 1;
    c.DATEILLEGALACCESS = day(2026, 1, 6);
    c.TIMEILLEGALACCESS = rt::timeFromHms(23, 59, 59);
    addUser(c);

    int t = startLogin("BOSS");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "chef");
    userDriver.press(w, LOGIN_OK);
    expectBox("Illegal Access [Supervisor Report]",
              lines("There has been following attempts to make illegal access:||The: 05.01.2026 at: 07:00:01 (A)|"
                    "The: 06.01.2026 at: 23:59:59 (C)||The error will only be reported this once."));
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    EXPECT_EQ(readUser("A").ILLEGALACCESSSUPERVISOR, 0);
    EXPECT_EQ(readUser("B").ILLEGALACCESSSUPERVISOR, 1);
    EXPECT_EQ(readUser("C").ILLEGALACCESSSUPERVISOR, 0);

    const auto before = userDriver.messageBoxes().size();
    t = startLogin("BOSS");
    w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "chef");
    userDriver.press(w, LOGIN_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(userDriver.messageBoxes().size(), before);
}

TEST_F(Login, ASupervisorIsToldOfAnAttemptOnHisOwnIdAndReportsIt) {
    auto boss = user("BOSS", "chef", 3);
    boss.SUPERVISOR = 1;
    boss.REPORTERROR = "Supervisor";
    boss.ILLEGALACCESSUSER = 1;
    boss.ILLEGALACCESSSUPERVISOR = 1;
    boss.DATEILLEGALACCESS = day(2026, 7, 8);
    boss.TIMEILLEGALACCESS = rt::timeFromHms(13, 14, 15);
    addUser(boss);
    int t = startLogin("BOSS");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "chef");
    userDriver.press(w, LOGIN_OK);
    expectBox("Illegal Access",
              lines("There has been an attempt to use your ID and password as supervisor.||The attempt "
                    "was made the: 08.07.2026 at: 13:14:15||You ought to change your password."));
    expectBox("Illegal Access [Supervisor Report]",
              lines("There has been following attempts to make illegal access:||The: 08.07.2026 at: 13:14:15 (BOSS)|"
                    "|The error will only be reported this once."));
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    auto after = readUser("BOSS");
    EXPECT_EQ(after.ILLEGALACCESSSUPERVISOR, 0);
    EXPECT_EQ(after.ILLEGALACCESSUSER, 1);  // only a password change clears it
    EXPECT_EQ(after.LOGINCOUNT, 1);
}

TEST_F(Login, ADueIntervalAsksForANewPassword) {
    auto u = user("U", "alt");
    u.CHANGEPASSWORD = "Monthly";
    u.CHANGEDATE = day(2026, 1, 31);
    addUser(u);
    rt::setTestClock(day(2026, 2, 1), rt::timeFromHms(9, 0));
    int t = startLogin("U");
    auto w = userDriver.waitWindow("Login");
    userDriver.setValue(w, LOGIN_PASSWORD, "alt");
    userDriver.press(w, LOGIN_OK);
    auto p = userDriver.waitWindow("New Password");
    userDriver.setValue(p, NEWPW_NEW, "neu");
    userDriver.setValue(p, NEWPW_REPEAT, "neu");
    userDriver.press(p, NEWPW_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);
    auto after = readUser("U");
    EXPECT_EQ(after.PASSWORD, "neu");
    EXPECT_EQ(after.CHANGEDATE, day(2026, 2, 1));
}

TEST(PasswordInterval, DayNumbers) {
    auto d = [](int y, int m, int dd) { return rt::dateFromYmd(y, m, dd); };
    struct Case {
        const char* interval;
        rt::DateNumber changed;
        rt::DateNumber today;
        bool due;
    };
    const Case cases[] = {
        {"Never", d(2000, 1, 1), d(2026, 1, 1), false},
        {"Daily", d(2026, 3, 4), d(2026, 3, 4), false},
        {"Daily", d(2026, 3, 3), d(2026, 3, 4), true},
        {"Weekly", d(2026, 3, 1), d(2026, 3, 7), false},  // six days
        {"Weekly", d(2026, 3, 1), d(2026, 3, 8), true},
        {"Monthly", d(2026, 1, 31), d(2026, 2, 1), true},  // calendar months, not 30 days
        {"Monthly", d(2026, 1, 1), d(2026, 1, 31), false},
        {"Quarterly", d(2026, 1, 31), d(2026, 3, 31), false},
        {"Quarterly", d(2026, 1, 31), d(2026, 4, 1), true},
        {"Half-yearly", d(2026, 1, 15), d(2026, 6, 30), false},
        {"Half-yearly", d(2026, 1, 15), d(2026, 7, 1), true},
        {"Yearly", d(2025, 12, 31), d(2026, 1, 1), true},
        {"Yearly", d(2026, 1, 1), d(2026, 12, 31), false},
        {"monthly", d(2026, 1, 31), d(2026, 2, 1), true},
        {"Sometimes", d(2000, 1, 1), d(2026, 1, 1), false},
        {"", d(2000, 1, 1), d(2026, 1, 1), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PasswordChangeDue(c.interval, c.changed, c.today), c.due) << c.interval << " " << c.changed;
}

TEST(PasswordHistory, ContainedOrSpanningPasswordsCount) {
    const std::string h = "sommer\r\nwinter\r\n";
    EXPECT_TRUE(PasswordInHistory(h, "sommer"));
    EXPECT_TRUE(PasswordInHistory(h, "omm"));        // part of an earlier password
    EXPECT_TRUE(PasswordInHistory(h, "er\r\nwin"));  // across the end of one entry
    EXPECT_FALSE(PasswordInHistory(h, "Sommer"));
    EXPECT_FALSE(PasswordInHistory("", "x"));
}

TEST(PasswordHistory, TheNewestEntriesAreKept) {
    EXPECT_EQ(AppendPasswordHistory("", "erstes  "), "erstes\r\n");
    EXPECT_EQ(AppendPasswordHistory("a\r\n", ""), "a\r\n");  // a blank password is not kept
    std::string h;
    for (int i = 0; i < 100; ++i) h = AppendPasswordHistory(h, "pw" + std::to_string(1000 + i));
    // 100 entries of 8 characters are 800; twenty more pass the limit.
    for (int i = 100; i < 130; ++i) h = AppendPasswordHistory(h, "pw" + std::to_string(1000 + i));
    EXPECT_LE(h.size(), 1000u);
    EXPECT_EQ(h.substr(h.size() - 8), "pw1129\r\n");
    EXPECT_TRUE(PasswordInHistory(h, "pw1129"));
    EXPECT_FALSE(PasswordInHistory(h, "pw1000"));
    EXPECT_EQ(h.rfind("pw", 0), 0u);  // whole entries only
}

class NewPassword : public SecurityTest {
protected:
    int start(const std::string& id) {
        return rt::startThread([id] { NewPasswordWindow(id); });
    }
};

TEST_F(NewPassword, TheRepeatMustMatchAndEarlierPasswordsAreRefused) {
    auto u = user("U", "aktuell");
    u.PASSWORDHISTORY = "sommer\r\nwinter\r\n";
    u.ILLEGALACCESSUSER = 1;
    addUser(u);
    rt::setTestClock(rt::dateFromYmd(2026, 5, 6), rt::timeFromHms(12, 0));
    int t = start("u");
    auto w = userDriver.waitWindow("New Password");
    userDriver.setValue(w, NEWPW_NEW, "neu1");
    userDriver.setValue(w, NEWPW_REPEAT, "neu2");
    userDriver.press(w, NEWPW_OK);
    expectBox("Illegal Password",
              lines("The control entering of the password is not the same as the first entering.|Try again."));
    EXPECT_EQ(userDriver.value(w, NEWPW_REPEAT), "");
    EXPECT_EQ(userDriver.window(w).focus, NEWPW_REPEAT);

    userDriver.setValue(w, NEWPW_NEW, "inte");
    userDriver.setValue(w, NEWPW_REPEAT, "inte");
    userDriver.press(w, NEWPW_OK);
    expectBox("Illegal Password",
              lines("This password or a part of it has been used earlier as a password.|Try again."));
    EXPECT_EQ(userDriver.value(w, NEWPW_NEW), "");
    EXPECT_EQ(userDriver.value(w, NEWPW_REPEAT), "");
    EXPECT_EQ(userDriver.window(w).focus, NEWPW_NEW);

    // An empty password is not taken.
    userDriver.press(w, NEWPW_OK);
    EXPECT_TRUE(userDriver.isOpen(w));

    // The current password is not in the history yet: it may be kept once.
    userDriver.setValue(w, NEWPW_NEW, "aktuell");
    userDriver.setValue(w, NEWPW_REPEAT, "aktuell");
    userDriver.press(w, NEWPW_OK);
    userDriver.waitThreadEnd(t);
    auto after = readUser("U");
    EXPECT_EQ(after.PASSWORD, "aktuell");
    EXPECT_EQ(after.PASSWORDHISTORY.str(), "sommer\r\nwinter\r\naktuell\r\n");
    EXPECT_EQ(after.CHANGEDATE, rt::dateFromYmd(2026, 5, 6));
    EXPECT_EQ(after.ILLEGALACCESSUSER, 0);

    // Now it is.
    t = start("U");
    w = userDriver.waitWindow("New Password");
    userDriver.setValue(w, NEWPW_NEW, "aktuell");
    userDriver.setValue(w, NEWPW_REPEAT, "aktuell");
    userDriver.press(w, NEWPW_OK);
    expectBox("Illegal Password",
              lines("This password or a part of it has been used earlier as a password.|Try again."));
    userDriver.press(w, NEWPW_CANCEL);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(readUser("U").PASSWORDHISTORY.str(), "sommer\r\nwinter\r\naktuell\r\n");
}

TEST_F(NewPassword, AMissingUserClosesAtOnce) {
    int t = start("ghost");
    userDriver.waitThreadEnd(t);
    EXPECT_TRUE(userDriver.messageBoxes().empty());
}

}  // namespace
