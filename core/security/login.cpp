#include "core/security/halt.h"
#include "core/security/security.h"
#include "core/security/security_file.h"
#include "runtime/text/picture.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

constexpr std::size_t kHistorySize = 1000;
constexpr std::size_t kReportSize = 999;

std::string entryText(rt::Window& w, int control) {
    return std::string(rt::clip(rt::cutChars(w.control(control).value(), 30)));
}

std::string shownDate(rt::DateNumber date) { return rt::formatDatePattern(date, rt::systemDateFormat()); }
std::string shownTime(rt::TimeNumber time) { return rt::formatTimePattern(time, "HH:mm:ss"); }

bool isOneOf(std::string_view value, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (rt::equalsNoCase(value, n)) return true;
    return false;
}

enum class Outcome { UnknownUser, LockedOut, Retry, Accepted };

void illegalAccessNow() {
    USER.DATEILLEGALACCESS = rt::today();
    USER.TIMEILLEGALACCESS = rt::clockTime();
}

Outcome validate(const std::string& userId, const std::string& password, int& wrongCount) {
    USER = UserListRecord{};
    USER.USERID = userId;
    if (UserListFile().fetch("USER:KEYUSERID") != 0) {
        rt::beep(rt::Beep::Exclamation);
        rt::message("You are not listed as user.|Contact the system administrator to be listed as user.",
                    "User ID Missing", rt::MessageIcon::Question);
        return Outcome::UnknownUser;
    }
    Outcome outcome;
    if (rt::clip(USER.PASSWORD.str()) != password) {
        ++wrongCount;
        rt::beep(rt::Beep::Exclamation);
        if (USER.MAXATTEMPTS != 0 && wrongCount >= USER.MAXATTEMPTS) {
            rt::message("You have used the wrong password.||The program terminate.", "Wrong Password",
                        rt::MessageIcon::Question);
            illegalAccessNow();
            USER.ILLEGALACCESSUSER = 1;
            USER.ILLEGALACCESSSUPERVISOR = 1;
            outcome = Outcome::LockedOut;
        } else if (USER.MAXATTEMPTS == 0) {
            rt::message("You have used the wrong password.||Try again.", "Wrong Password",
                        rt::MessageIcon::Information);
            illegalAccessNow();
            outcome = Outcome::Retry;
        } else {
            rt::message("You have used the wrong password.||You have " + std::to_string(USER.MAXATTEMPTS - wrongCount) +
                            " more attempts left.",
                        "Wrong Password", rt::MessageIcon::Information);
            illegalAccessNow();
            outcome = Outcome::Retry;
        }
    } else {
        ++USER.LOGINCOUNT;
        outcome = Outcome::Accepted;
    }
    SaveUserRecord();
    return outcome;
}

// The notices of an accepted login about wrong passwords typed under this or other IDs.
void illegalAccessNotices() {
    const UserListRecord me = USER;
    if (me.ILLEGALACCESSUSER == 1) {
        std::string when = "||The attempt was made the: " + shownDate(me.DATEILLEGALACCESS) +
                           " at: " + shownTime(me.TIMEILLEGALACCESS) + "||You ought to change your password.";
        if (me.SUPERVISOR != 1 && isOneOf(me.REPORTERROR.str(), {"Both", "User"})) {
            rt::message("There has been an attempt to use your user ID and password." + when, "Illegal Access",
                        rt::MessageIcon::Information);
        } else if (me.SUPERVISOR == 1 && isOneOf(me.REPORTERROR.str(), {"Both", "User", "Supervisor"})) {
            rt::beep(rt::Beep::Exclamation);
            rt::message("There has been an attempt to use your ID and password as supervisor." + when, "Illegal Access",
                        rt::MessageIcon::Information);
        }
    }
    if (me.SUPERVISOR != 1) return;

    rt::FileManager& users = UserListFile();
    std::vector<rt::Position> flagged;
    users.setOrder(-1);
    while (users.next() == 0) {
        if (USER.ILLEGALACCESSSUPERVISOR == 1 && isOneOf(USER.REPORTERROR.str(), {"Supervisor", "Both"}))
            flagged.push_back(users.position());
    }
    std::string report;
    for (const auto& at : flagged) {
        users.resetTo(-1, at);
        if (users.next() != 0) continue;
        std::string line = "The: " + shownDate(USER.DATEILLEGALACCESS) + " at: " + shownTime(USER.TIMEILLEGALACCESS) +
                           " (" + USER.USERID.str() + ")|";
        report = std::string(rt::cutChars(report + line, kReportSize));
        USER.ILLEGALACCESSSUPERVISOR = 0;
        SaveUserRecord();
    }
    if (!report.empty()) {
        rt::beep(rt::Beep::Exclamation);
        rt::message("There has been following attempts to make illegal access:||" + report +
                        "|The error will only be reported this once.",
                    "Illegal Access [Supervisor Report]", rt::MessageIcon::Information);
    }
}

}  // namespace

bool PasswordChangeDue(std::string_view interval, rt::DateNumber changeDate, rt::DateNumber today) {
    const rt::Ymd now = rt::ymdFromDate(today);
    const rt::Ymd then = rt::ymdFromDate(changeDate);
    const long days = static_cast<long>(today) - static_cast<long>(changeDate);
    const long weeks = days / 7;
    const long months = (now.year * 12L + now.month) - (then.year * 12L + then.month);
    const long quarters = months / 3;
    const long halfYears = quarters / 2;
    const long years = now.year - then.year;
    if (rt::equalsNoCase(interval, "Daily")) return days != 0;
    if (rt::equalsNoCase(interval, "Weekly")) return weeks != 0;
    if (rt::equalsNoCase(interval, "Monthly")) return months != 0;
    if (rt::equalsNoCase(interval, "Quarterly")) return quarters != 0;
    if (rt::equalsNoCase(interval, "Half-yearly")) return halfYears != 0;
    if (rt::equalsNoCase(interval, "Yearly")) return years != 0;
    return false;
}

bool PasswordInHistory(std::string_view history, std::string_view password) {
    return history.find(rt::clip(password)) != std::string_view::npos;
}

std::string AppendPasswordHistory(std::string_view history, std::string_view oldPassword) {
    std::string h(history);
    if (rt::clip(oldPassword).empty()) return h;
    h += std::string(rt::clip(oldPassword)) + "\r\n";
    // The newest entries count: the oldest go first, whole, until the rest fits.
    while (rt::charLength(h) > kHistorySize) {
        auto end = h.find("\r\n");
        if (end == std::string::npos || end + 2 >= h.size()) {
            h = std::string(rt::subChars(h, rt::charLength(h) - kHistorySize, kHistorySize));
            break;
        }
        h.erase(0, end + 2);
    }
    return h;
}

void NewPasswordWindow(std::string_view userId) {
    rt::FileManager& users = UserListFile();
    if (OpenSecurityFile(users) != 0) return;
    USER = UserListRecord{};
    USER.USERID = rt::clip(userId);
    if (users.fetch("USER:KEYUSERID") != 0) {
        users.close();
        return;
    }

    rt::Window w("NewPasswordWindow", "New Password");
    w.setSize(180, 86);
    w.add(NEWPW_HEADING, rt::ControlKind::String).setText("New Password").setPosition(6, 4, 168, 12);
    w.add(NEWPW_NEW_PROMPT, rt::ControlKind::Prompt).setText("New password").setPosition(6, 22, 60, 10);
    w.add(NEWPW_NEW, rt::ControlKind::Entry).setPicture("@s30").setPosition(70, 22, 104, 12).edit().password = true;
    w.add(NEWPW_REPEAT_PROMPT, rt::ControlKind::Prompt).setText("Repeat password").setPosition(6, 40, 60, 10);
    w.add(NEWPW_REPEAT, rt::ControlKind::Entry).setPicture("@s30").setPosition(70, 40, 104, 12).edit().password = true;
    w.add(NEWPW_OK, rt::ControlKind::Button).setText("OK").setPosition(70, 64, 50, 14).edit().defaultButton = true;
    w.add(NEWPW_CANCEL, rt::ControlKind::Button).setText("Cancel").setPosition(124, 64, 50, 14);
    w.select(NEWPW_NEW);

    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == NEWPW_CANCEL) {
            w.post(rt::Event::CloseWindow);
        } else if (e.control == NEWPW_OK) {
            std::string first = entryText(w, NEWPW_NEW);
            std::string second = entryText(w, NEWPW_REPEAT);
            if (first != second) {
                rt::beep(rt::Beep::Exclamation);
                rt::message("The control entering of the password is not the same as the first entering.|Try again.",
                            "Illegal Password", rt::MessageIcon::Information);
                w.control(NEWPW_REPEAT).setValue("");
                w.select(NEWPW_REPEAT);
            } else if (first.empty()) {
                // A user without a password would let anyone in under the ID.
                rt::beep();
                w.select(NEWPW_NEW);
            } else if (PasswordInHistory(USER.PASSWORDHISTORY.str(), first)) {
                rt::beep(rt::Beep::Exclamation);
                rt::message("This password or a part of it has been used earlier as a password.|Try again.",
                            "Illegal Password", rt::MessageIcon::Information);
                w.control(NEWPW_NEW).setValue("");
                w.control(NEWPW_REPEAT).setValue("");
                w.select(NEWPW_NEW);
            } else {
                USER.PASSWORDHISTORY = AppendPasswordHistory(USER.PASSWORDHISTORY.str(), USER.PASSWORD.str());
                USER.PASSWORD = first;
                USER.CHANGEDATE = rt::today();
                USER.ILLEGALACCESSUSER = 0;
                SaveUserRecord();
                w.post(rt::Event::CloseWindow);
            }
        }
    }
    users.close();
}

rt::Byte LoginWindow(rt::String<30>& userId) {
    rt::FileManager& users = UserListFile();
    if (OpenSecurityFile(users) != 0) return 0;

    rt::Window w("LoginWindow", "Login");
    w.setSize(180, 86);
    w.add(LOGIN_HEADING, rt::ControlKind::String).setText("Login").setPosition(6, 4, 168, 12);
    w.add(LOGIN_USERID_PROMPT, rt::ControlKind::Prompt).setText("User ID").setPosition(6, 22, 50, 10);
    w.add(LOGIN_USERID, rt::ControlKind::Entry).setPicture("@s30").setPosition(60, 22, 114, 12);
    w.add(LOGIN_PASSWORD_PROMPT, rt::ControlKind::Prompt).setText("Password").setPosition(6, 40, 50, 10);
    w.add(LOGIN_PASSWORD, rt::ControlKind::Entry).setPicture("@s30").setPosition(60, 40, 114, 12).edit().password =
        true;
    w.add(LOGIN_OK, rt::ControlKind::Button).setText("OK").setPosition(6, 64, 50, 14).edit().defaultButton = true;
    w.add(LOGIN_CANCEL, rt::ControlKind::Button).setText("Cancel").setPosition(60, 64, 50, 14);
    w.add(LOGIN_NEWPASSWORD, rt::ControlKind::Button).setText("New password").setPosition(114, 64, 60, 14);

    if (!userId.empty()) {
        w.control(LOGIN_USERID).setValue(rt::upper(userId.clipped()));
        w.select(LOGIN_PASSWORD);
    } else {
        w.select(LOGIN_USERID);
    }

    int wrongCount = 0;
    rt::Byte result = 0;
    bool halted = false;
    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == LOGIN_CANCEL) {
            result = 0;
            w.post(rt::Event::CloseWindow);
            continue;
        }
        if (e.control != LOGIN_OK && e.control != LOGIN_NEWPASSWORD) continue;

        const std::string typedId = entryText(w, LOGIN_USERID);
        const std::string typedPassword = entryText(w, LOGIN_PASSWORD);
        switch (validate(typedId, typedPassword, wrongCount)) {
        case Outcome::UnknownUser:
            halted = true;
            w.close();
            HaltProgram("Missing user listing");
            break;
        case Outcome::LockedOut:
            halted = true;
            w.close();
            HaltProgram("Wrong password");
            break;
        case Outcome::Retry:
            w.control(LOGIN_PASSWORD).setValue("");
            w.select(LOGIN_PASSWORD);
            break;
        case Outcome::Accepted:
            if (!isOneOf(USER.CHANGEPASSWORD.str(), {"Never"}) &&
                PasswordChangeDue(USER.CHANGEPASSWORD.str(), USER.CHANGEDATE, rt::today()))
                NewPasswordWindow(typedId);
            illegalAccessNotices();
            if (e.control == LOGIN_NEWPASSWORD) NewPasswordWindow(typedId);
            result = 1;
            w.post(rt::Event::CloseWindow);
            break;
        }
        if (halted) break;
    }
    userId = entryText(w, LOGIN_USERID);
    users.close();
    return halted ? 0 : result;
}
