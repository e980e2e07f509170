// Set-up of the security tests: a working folder of its own (the security file lies there), the
// headless display with its test user, and the program end caught instead of ending the tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/dictionary/globals.h"
#include "core/security/halt.h"
#include "core/security/security.h"
#include "core/security/security_file.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace sectest {

class SecurityTest : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        rt::clearError();
        rt::clearTestClock();
        security::setSecurityFileName("");
        setProgramEnd([this](int code) {
            endCode = code;
            ++ends;
        });
    }
    void TearDown() override {
        display.shutdown();
        setProgramEnd({});
        rt::clearTestClock();
        UserListFile().closeAll();
        ProcedureListFile().closeAll();
        ApplicationListFile().closeAll();
        WorkingFolderTest::TearDown();
    }

    // A user with a password and every right at level 1, as the administration program stores it.
    static UserListRecord user(const std::string& id, const std::string& password, int maxAttempts = 0) {
        UserListRecord u;
        u.USERID = id;
        u.USERNAME = "Name of " + id;
        u.PASSWORD = password;
        u.MAXATTEMPTS = static_cast<rt::Short>(maxAttempts);
        u.CHANGEPASSWORD = "Never";
        u.REPORTERROR = "Both";
        u.LEVEL1 = "DELETE";
        return u;
    }
    void addUser(const UserListRecord& u) {
        ASSERT_EQ(OpenSecurityFile(UserListFile()), 0);
        USER = u;
        ASSERT_EQ(UserListFile().insertAsIs(), 0) << rt::errorText();
        UserListFile().close();
    }
    UserListRecord readUser(const std::string& id) {
        UserListRecord out;
        EXPECT_EQ(OpenSecurityFile(UserListFile()), 0);
        USER = UserListRecord{};
        USER.USERID = id;
        EXPECT_EQ(UserListFile().fetch("USER:KEYUSERID"), 0) << id;
        out = USER;
        UserListFile().close();
        return out;
    }
    void addProcedure(const std::string& name, int level, const std::string& application = kSecurityApplication) {
        ASSERT_EQ(OpenSecurityFile(ProcedureListFile()), 0);
        PRO = ProcedureListRecord{};
        PRO.APPLICATION = application;
        PRO.PROCEDURENAME = name;
        PRO.PROCEDURETEMPLATE = "Window";
        PRO.SECURITYLEVEL = static_cast<rt::Short>(level);
        ASSERT_EQ(ProcedureListFile().insertAsIs(), 0) << rt::errorText();
        ProcedureListFile().close();
    }

    // The next message box: its title and text (lines as the display shows them), answered OK.
    void expectBox(const std::string& title, const std::string& text) {
        auto box = userDriver.waitMessageBox();
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.text, text);
        userDriver.answerMessageBox(rt::button::Ok);
    }
    static std::string lines(std::string text) {
        for (char& c : text)
            if (c == '|') c = '\n';
        return text;
    }

    // LoginWindow on a program thread; its result and the ID it hands back.
    int startLogin(const std::string& prefill = {}) {
        loginResult = 99;
        return rt::startThread([this, prefill] {
            rt::String<30> id(prefill);
            loginResult = LoginWindow(id);
            loginId = std::string(id.clipped());
        });
    }
    void type(rt::WindowId w, const std::string& id, const std::string& password) {
        userDriver.setValue(w, LOGIN_USERID, id);
        userDriver.setValue(w, LOGIN_PASSWORD, password);
    }

    rt::HeadlessDisplay display;
    rt::TestDriver userDriver{display};
    std::atomic<int> endCode{-1};
    std::atomic<int> ends{0};
    std::atomic<int> loginResult{99};
    std::string loginId;
};

}  // namespace sectest
