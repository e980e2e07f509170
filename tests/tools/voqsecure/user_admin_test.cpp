// The window "Benutzerverwaltung" through the headless display: what it stores is what the
// program's login and rights check read.
#include <gtest/gtest.h>

#include "tests/core/security/security_fixture.h"
#include "tools/voqsecure/user_admin.h"

using namespace voqsecure;

namespace {

class UserAdmin : public sectest::SecurityTest {
protected:
    void SetUp() override {
        SecurityTest::SetUp();
        UserListRecord admin = user("ADMIN", "pw");
        admin.SUPERVISOR = 1;
        addUser(admin);
        addProcedure("BrowseCubeKopf", 0);
        addProcedure("BrowseWerte", 3);
    }

    rt::WindowId open(const std::string& adminId = "ADMIN") {
        thread_ = rt::startThread([adminId] { UserAdministration(adminId); });
        return userDriver.waitWindow(kAdminTitle);
    }
    void closeAdmin(rt::WindowId w) {
        userDriver.escape(w);
        userDriver.waitThreadEnd(thread_);
    }
    bool listed(const std::string& id) {
        EXPECT_EQ(OpenSecurityFile(UserListFile()), 0);
        const bool found = FindUser(id);
        UserListFile().close();
        return found;
    }
    int allowed(const std::string& userId, const char* action, const char* procedure) {
        GLO.LoginUser = userId;
        return CheckProcedureAccess(action, procedure);
    }
    // Sets the right of the selected user for a procedure row (1 BrowseCubeKopf, 2 BrowseWerte).
    void setRight(rt::WindowId w, int procedureRow, int right) {
        userDriver.selectRow(w, ADMIN_PROCEDURES, procedureRow);
        userDriver.press(w, ADMIN_RIGHT);
        auto r = userDriver.waitWindow(kRightTitle);
        userDriver.chooseEntry(r, RIGHT_VALUE, right);
        userDriver.press(r, RIGHT_OK);
        userDriver.waitClosed(r);
    }

    int thread_ = 0;
};

TEST_F(UserAdmin, AddGrantRevokeSetPasswordAndDelete) {
    auto w = open();
    ASSERT_EQ(userDriver.rowCount(w, ADMIN_USERS), 1u);

    // A new user with "Ansehen" at level 3.
    userDriver.press(w, ADMIN_INSERT);
    auto f = userDriver.waitWindow(kUserInsertTitle);
    userDriver.setValue(f, USERFORM_ID, "anna");
    userDriver.setValue(f, USERFORM_NAME, "Anna Admin");
    userDriver.setValue(f, USERFORM_PASSWORD, "Geheim");
    userDriver.setValue(f, USERFORM_REPEAT, "Geheim");
    userDriver.chooseEntry(f, USERFORM_LEVEL1 + 2, 2);
    userDriver.press(f, USERFORM_OK);
    userDriver.waitClosed(f);
    ASSERT_EQ(userDriver.rowCount(w, ADMIN_USERS), 2u);
    EXPECT_EQ(userDriver.cell(w, ADMIN_USERS, userDriver.selected(w, ADMIN_USERS), 1), "ANNA");
    auto anna = readUser("ANNA");
    EXPECT_EQ(anna.USERNAME.str(), "Anna Admin");
    EXPECT_EQ(anna.PASSWORD.str(), "Geheim");
    EXPECT_EQ(anna.LEVEL3.str(), "LOOK");
    EXPECT_EQ(anna.LEVEL1.str(), "NONE");
    EXPECT_EQ(allowed("ANNA", "Look", "BrowseWerte"), 1);
    EXPECT_EQ(allowed("ANNA", "Add", "BrowseWerte"), 0);
    EXPECT_EQ(userDriver.cell(w, ADMIN_PROCEDURES, 2, 4), "Ansehen");

    // Grant "Ändern" on BrowseWerte; a procedure without a level first needs one.
    setRight(w, 2, 5);
    EXPECT_EQ(allowed("ANNA", "Change", "BrowseWerte"), 1);
    EXPECT_EQ(userDriver.cell(w, ADMIN_PROCEDURES, 2, 4), "Ändern");
    userDriver.selectRow(w, ADMIN_PROCEDURES, 1);
    userDriver.press(w, ADMIN_RIGHT);
    expectBox(kAdminTitle, lines("Der Prozedur BrowseCubeKopf ist noch keine Stufe zugeordnet.|Setzen Sie zuerst ihre "
                                 "Stufe."));
    userDriver.press(w, ADMIN_LEVEL);
    auto l = userDriver.waitWindow(kLevelTitle);
    userDriver.setValue(l, LEVEL_VALUE, "3");
    userDriver.press(l, LEVEL_OK);
    userDriver.waitClosed(l);
    EXPECT_EQ(userDriver.cell(w, ADMIN_PROCEDURES, 1, 3), "3");
    EXPECT_EQ(allowed("ANNA", "Change", "BrowseCubeKopf"), 1);

    // Revoke: no access at level 3.
    setRight(w, 2, 1);
    EXPECT_EQ(allowed("ANNA", "Look", "BrowseWerte"), 0);
    EXPECT_EQ(allowed("ANNA", "Look", "BrowseCubeKopf"), 0);

    // A new password, and the lock-out flags lifted with it.
    userDriver.press(w, ADMIN_CHANGE);
    f = userDriver.waitWindow(kUserChangeTitle);
    EXPECT_EQ(userDriver.value(f, USERFORM_ID), "ANNA");
    userDriver.setValue(f, USERFORM_PASSWORD, "Neu1");
    userDriver.setValue(f, USERFORM_REPEAT, "Neu1");
    userDriver.press(f, USERFORM_OK);
    userDriver.waitClosed(f);
    anna = readUser("ANNA");
    EXPECT_EQ(anna.PASSWORD.str(), "Neu1");
    EXPECT_EQ(anna.USERNAME.str(), "Anna Admin");
    EXPECT_EQ(anna.CHANGEDATE, rt::today());
    // The program's login takes it.
    int t = startLogin("anna");
    auto login = userDriver.waitWindow("Login");
    userDriver.setValue(login, LOGIN_PASSWORD, "Neu1");
    userDriver.press(login, LOGIN_OK);
    userDriver.waitThreadEnd(t);
    EXPECT_EQ(loginResult, 1);

    // Delete asks first; "Nein" keeps the user.
    userDriver.press(w, ADMIN_DELETE);
    auto box = userDriver.waitMessageBox();
    EXPECT_EQ(box.text, "Wollen Sie den Benutzer ANNA wirklich löschen?");
    EXPECT_EQ(box.defaultButton, rt::button::No);
    userDriver.answerMessageBox(rt::button::No);
    EXPECT_TRUE(listed("ANNA"));
    userDriver.queueMessageBoxAnswer(rt::button::Yes);
    userDriver.press(w, ADMIN_DELETE);
    EXPECT_FALSE(listed("ANNA"));
    EXPECT_EQ(userDriver.rowCount(w, ADMIN_USERS), 1u);

    closeAdmin(w);
}

TEST_F(UserAdmin, WrongInputIsRefusedAndLosesNothing) {
    auto w = open();
    userDriver.press(w, ADMIN_INSERT);
    auto f = userDriver.waitWindow(kUserInsertTitle);
    struct Case {
        const char* id;
        const char* password;
        const char* repeat;
        const char* lock;
        const char* says;
    };
    const Case cases[] = {
        {"", "x", "x", "0", "Bitte geben Sie eine Benutzer-ID ein."},
        {"admin", "x", "x", "0", "Der Benutzer ADMIN ist bereits vorhanden."},
        {"BEN", "", "", "0", "Bitte geben Sie ein Passwort ein."},
        {"BEN", "x", "y", "0", "Die Wiederholung stimmt nicht mit dem Passwort überein."},
        {"BEN", "x", "x", "abc", "Die Sperre muss eine Zahl von 0 bis 32767 Minuten sein."},
    };
    for (const auto& c : cases) {
        userDriver.setValue(f, USERFORM_ID, c.id);
        userDriver.setValue(f, USERFORM_NAME, "Ben B");
        userDriver.setValue(f, USERFORM_PASSWORD, c.password);
        userDriver.setValue(f, USERFORM_REPEAT, c.repeat);
        userDriver.setValue(f, USERFORM_LOCK, c.lock);
        userDriver.press(f, USERFORM_OK);
        expectBox(kAdminTitle, c.says);
        EXPECT_TRUE(userDriver.isOpen(f)) << c.says;
        EXPECT_FALSE(listed("BEN")) << c.says;
    }
    EXPECT_EQ(readUser("ADMIN").PASSWORD.str(), "pw");
    // The form kept what was typed: mended, it stores it.
    userDriver.setValue(f, USERFORM_LOCK, "5");
    userDriver.press(f, USERFORM_OK);
    userDriver.waitClosed(f);
    const auto ben = readUser("BEN");
    EXPECT_EQ(ben.USERNAME.str(), "Ben B");
    EXPECT_EQ(ben.PASSWORD.str(), "x");
    EXPECT_EQ(ben.LOCKSCREEN, 5);
    GLO.LoginUser = "BEN";
    rt::Long lockTime = 0;
    EXPECT_EQ(GetUserLockTime(lockTime), 1);
    EXPECT_EQ(lockTime, 30000);

    // A level out of range, and the administrator's own ID, are refused too.
    userDriver.selectRow(w, ADMIN_PROCEDURES, 2);
    userDriver.press(w, ADMIN_LEVEL);
    auto l = userDriver.waitWindow(kLevelTitle);
    userDriver.setValue(l, LEVEL_VALUE, "11");
    userDriver.press(l, LEVEL_OK);
    expectBox(kAdminTitle, "Die Stufe muss eine Zahl von 0 bis 10 sein.");
    userDriver.escape(l);
    userDriver.waitClosed(l);
    EXPECT_EQ(userDriver.cell(w, ADMIN_PROCEDURES, 2, 3), "3");
    userDriver.selectRow(w, ADMIN_USERS, 1);
    userDriver.press(w, ADMIN_DELETE);
    expectBox(kAdminTitle, "Sie können Ihre eigene Benutzer-ID nicht löschen.");
    EXPECT_TRUE(listed("ADMIN"));
    closeAdmin(w);
}

TEST_F(UserAdmin, OnlySupervisorsAdministerOnceThereIsOne) {
    addUser(user("CLERK", "x"));
    thread_ = rt::startThread([] { UserAdministration("clerk"); });
    expectBox(kAdminTitle, "Die Benutzerverwaltung steht nur Supervisoren zur Verfügung.");
    userDriver.waitThreadEnd(thread_);
    EXPECT_TRUE(display.shownWindows().empty());
}

}  // namespace
