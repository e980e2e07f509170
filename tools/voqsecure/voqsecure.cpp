// VOQSECURE: user administration on the local security file that VOQKivorant reads. Works in the
// working folder ("SECURITY.TPS"), as the program does.
//
//   VOQSECURE [\U=<id>] [FILE=<file>] [<command> <arguments>]
//
// Without a command it opens the window "Benutzerverwaltung" when there is a display to show it
// on (this is how the program starts it), else it lists the users and procedures.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/security/security.h"
#include "core/security/security_file.h"
#include "runtime/qt/qt_display.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/display.h"
#include "tools/voqsecure/user_admin.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

const char* kUsage =
    "usage: VOQSECURE [\\U=<id>] [FILE=<security file>] [<command> <arguments>]\n"
    "  (no command)                     the window, or without a display: list users and procedures\n"
    "  ADDUSER <id> PASSWORD=<pw> [<field>=<value> ...]\n"
    "  CHANGEUSER <id> <field>=<value> ...\n"
    "  REMOVEUSER <id>\n"
    "  LISTUSERS\n"
    "  RESETPASSWORD <id> <password>\n"
    "  SETLEVEL <procedure> <level 0-10>\n"
    "  SETALLLEVELS <level 0-10>\n"
    "  LISTPROCEDURES\n"
    "fields: NAME, PASSWORD, SUPERVISOR (0/1), RIGHTS (one right for levels 1-10, or ten separated\n"
    "  by \",\"), LEVEL1 .. LEVEL10 (NONE, LOOK, PRINT, ADD, CHANGE, PROCESS, DELETE), LOCK (minutes),\n"
    "  ATTEMPTS (0 = unlimited), INTERVAL (Never, Daily, Weekly, Monthly, Quarterly, Half-yearly,\n"
    "  Yearly), REPORT (User, Supervisor, Both)\n";

// Message boxes of the security module go to standard error: there is no screen here.
class ConsoleDisplay final : public rt::Display {
public:
    void openWindow(const rt::WindowSnapshot&) override {}
    void updateWindow(const rt::WindowUpdate&) override {}
    void closeWindow(rt::WindowId) override {}
    int messageBox(const rt::MessageBoxRequest& r) override {
        std::cerr << (r.title.empty() ? std::string() : r.title + ": ") << r.text << "\n";
        if (r.defaultButton != 0) return r.defaultButton;
        if (!r.buttonTexts.empty()) return 1;
        return r.standardButtons & -r.standardButtons;
    }
    rt::FileDialogResult fileDialog(const rt::FileDialogRequest&) override { return {}; }
    rt::ColorDialogResult colorDialog(const rt::ColorDialogRequest&) override { return {}; }
    rt::PrinterDialogResult printerDialog(const rt::PrinterDialogRequest&) override { return {}; }
    int popupMenu(const rt::PopupMenuRequest&) override { return 0; }
    void setClipboard(const std::string&) override {}
    std::string clipboard() override { return {}; }
    void beep(rt::Beep) override {}
    void setPointer(rt::Pointer) override {}
    void arrangeWindows(rt::WindowId, rt::Arrangement) override {}
    void runOnDisplayThread(std::function<void()> f) override { f(); }
};

struct BadInput {
    std::string text;
};

std::string upperText(std::string_view s) { return rt::upper(rt::trimBlanks(s)); }

long number(const std::string& field, const std::string& value, long low, long high) {
    std::size_t used = 0;
    long n = 0;
    try {
        n = std::stol(value, &used);
    } catch (...) {
        used = 0;
    }
    if (used == 0 || used != value.size() || n < low || n > high)
        throw BadInput{field + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                       ": \"" + value + "\""};
    return n;
}

std::string right(const std::string& value) {
    if (RightPosition(value) == 0)
        throw BadInput{"unknown right \"" + value + "\" (NONE, LOOK, PRINT, ADD, CHANGE, PROCESS, DELETE)"};
    return upperText(value);
}

std::string oneOf(const std::string& field, const std::string& value, const std::vector<std::string>& names) {
    for (const auto& n : names)
        if (rt::equalsNoCase(n, rt::trimBlanks(value))) return n;
    std::string list;
    for (const auto& n : names) list += (list.empty() ? "" : ", ") + n;
    throw BadInput{field + " must be one of " + list + ": \"" + value + "\""};
}

std::string limited(const std::string& field, const std::string& value, std::size_t max) {
    if (rt::charLength(value) > max) throw BadInput{field + " may have at most " + std::to_string(max) + " characters"};
    return value;
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        auto at = text.find(sep, start);
        out.push_back(std::string(rt::trimBlanks(text.substr(start, at == std::string::npos ? at : at - start))));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return out;
}

// Applies FIELD=value settings to the user buffer.
void applyFields(UserListRecord& u, const std::vector<std::string>& settings) {
    for (const auto& s : settings) {
        auto eq = s.find('=');
        if (eq == std::string::npos || eq == 0) throw BadInput{"expected <field>=<value>: \"" + s + "\""};
        std::string field = upperText(s.substr(0, eq));
        std::string value = s.substr(eq + 1);
        if (field == "NAME") {
            u.USERNAME = limited(field, value, 100);
        } else if (field == "PASSWORD") {
            if (rt::clip(value).empty()) throw BadInput{"PASSWORD must not be empty"};
            u.PASSWORD = limited(field, std::string(rt::clip(value)), 30);
        } else if (field == "SUPERVISOR") {
            u.SUPERVISOR = static_cast<rt::Byte>(number(field, value, 0, 1));
        } else if (field == "RIGHTS") {
            auto parts = split(value, ',');
            if (parts.size() == 1) {
                for (int n = 1; n <= 10; ++n) u.level(n) = right(parts[0]);
            } else if (parts.size() == 10) {
                for (int n = 1; n <= 10; ++n) u.level(n) = right(parts[static_cast<std::size_t>(n - 1)]);
            } else {
                throw BadInput{"RIGHTS takes one right or ten separated by \",\""};
            }
        } else if (field.rfind("LEVEL", 0) == 0) {
            int n = static_cast<int>(number("level number", field.substr(5), 1, 10));
            u.level(n) = right(value);
        } else if (field == "LOCK") {
            u.LOCKSCREEN = static_cast<rt::Short>(number(field, value, 0, 32767));
        } else if (field == "ATTEMPTS") {
            u.MAXATTEMPTS = static_cast<rt::Short>(number(field, value, 0, 32767));
        } else if (field == "INTERVAL") {
            u.CHANGEPASSWORD = oneOf(field, value, PasswordIntervals());
        } else if (field == "REPORT") {
            u.REPORTERROR = oneOf(field, value, ReportTargets());
        } else {
            throw BadInput{"unknown field \"" + field + "\""};
        }
    }
}

std::string userId(const std::string& id) {
    std::string u = upperText(id);
    if (u.empty()) throw BadInput{"a user ID is needed"};
    return limited("the user ID", u, 30);
}

void printUser(const UserListRecord& u) {
    std::string rights;
    for (int n = 1; n <= 10; ++n) rights += (n > 1 ? "," : "") + u.level(n).str();
    std::cout << u.USERID.str() << "\t" << u.USERNAME.str() << "\tsupervisor=" << int(u.SUPERVISOR)
              << "\trights=" << rights << "\tlock=" << u.LOCKSCREEN << "\tattempts=" << u.MAXATTEMPTS
              << "\tinterval=" << u.CHANGEPASSWORD.str() << "\treport=" << u.REPORTERROR.str()
              << "\tlogins=" << u.LOGINCOUNT << "\n";
}

int listUsers() {
    for (const auto& u : voqsecure::AllUsers()) printUser(u);
    return kOk;
}

int listProcedures() {
    rt::FileManager& procedures = ProcedureListFile();
    procedures.setOrder("PRO:KEYPROCEDURE");
    while (procedures.next() == 0) {
        std::cout << PRO.APPLICATION.str() << "\t" << PRO.PROCEDURENAME.str() << "\tlevel=" << PRO.SECURITYLEVEL
                  << "\tnew=" << int(PRO.NEWPROCEDURE) << "\told=" << int(PRO.OLDPROCEDURE) << "\t"
                  << PRO.PROCEDUREDESCRIPTION.str() << "\n";
    }
    return kOk;
}

int addUser(const std::vector<std::string>& args) {
    if (args.empty()) throw BadInput{"ADDUSER needs a user ID"};
    std::string id = userId(args[0]);
    UserListRecord u = voqsecure::NewUserRecord(id);
    applyFields(u, {args.begin() + 1, args.end()});
    if (u.PASSWORD.empty()) throw BadInput{"ADDUSER needs PASSWORD=<password>"};
    if (voqsecure::FindUser(id)) {
        std::cerr << "VOQSECURE: user " << id << " exists already\n";
        return kFailed;
    }
    USER = u;
    if (UserListFile().insertAsIs() != 0) {
        std::cerr << "VOQSECURE: user " << id << " could not be added: " << rt::errorText() << "\n";
        return kFailed;
    }
    return kOk;
}

int changeUser(const std::vector<std::string>& args) {
    if (args.size() < 2) throw BadInput{"CHANGEUSER needs a user ID and at least one <field>=<value>"};
    std::string id = userId(args[0]);
    if (!voqsecure::FindUser(id)) {
        std::cerr << "VOQSECURE: user " << id << " is not listed\n";
        return kFailed;
    }
    UserListRecord u = USER;
    std::string oldPassword = u.PASSWORD.str();
    applyFields(u, {args.begin() + 1, args.end()});
    if (u.PASSWORD.str() != oldPassword) u.CHANGEDATE = rt::today();
    USER = u;
    return SaveUserRecord() == 0 ? kOk : kFailed;
}

int removeUser(const std::vector<std::string>& args) {
    if (args.size() != 1) throw BadInput{"REMOVEUSER needs one user ID"};
    std::string id = userId(args[0]);
    if (!voqsecure::FindUser(id)) {
        std::cerr << "VOQSECURE: user " << id << " is not listed\n";
        return kFailed;
    }
    return UserListFile().deleteRecord() == 0 ? kOk : kFailed;
}

int resetPassword(const std::vector<std::string>& args) {
    if (args.size() != 2) throw BadInput{"RESETPASSWORD needs a user ID and a password"};
    std::string id = userId(args[0]);
    std::string password = limited("the password", std::string(rt::clip(args[1])), 30);
    if (password.empty()) throw BadInput{"the password must not be empty"};
    if (!voqsecure::FindUser(id)) {
        std::cerr << "VOQSECURE: user " << id << " is not listed\n";
        return kFailed;
    }
    voqsecure::SetAdministratorPassword(USER, password);
    return SaveUserRecord() == 0 ? kOk : kFailed;
}

int setLevel(const std::string& name, int level) {
    if (voqsecure::SetProcedureLevel(name, level) == 0) return kOk;
    std::cerr << "VOQSECURE: procedure " << name << " could not be stored: " << rt::errorText() << "\n";
    return kFailed;
}

int setLevelCommand(const std::vector<std::string>& args) {
    if (args.size() != 2) throw BadInput{"SETLEVEL needs a procedure name and a level"};
    std::string name(rt::trimBlanks(args[0]));
    if (name.empty()) throw BadInput{"a procedure name is needed"};
    limited("the procedure name", name, 50);
    return setLevel(name, static_cast<int>(number("the level", args[1], 0, 10)));
}

int setAllLevels(const std::vector<std::string>& args) {
    if (args.size() != 1) throw BadInput{"SETALLLEVELS needs a level"};
    int level = static_cast<int>(number("the level", args[0], 0, 10));
    rt::FileManager& procedures = ProcedureListFile();
    std::vector<std::string> names;
    PRO = ProcedureListRecord{};
    PRO.APPLICATION = kSecurityApplication;
    procedures.setFrom("PRO:KEYAPPLICATION");
    while (procedures.next() == 0 && rt::equalsNoCase(PRO.APPLICATION.str(), kSecurityApplication))
        names.push_back(PRO.PROCEDURENAME.str());
    int rc = kOk;
    for (const auto& n : names)
        if (setLevel(n, level) != kOk) rc = kFailed;
    return rc;
}

int run(const std::string& command, const std::vector<std::string>& args) {
    if (command.empty()) {
        listUsers();
        return listProcedures();
    }
    if (command == "ADDUSER") return addUser(args);
    if (command == "CHANGEUSER") return changeUser(args);
    if (command == "REMOVEUSER") return removeUser(args);
    if (command == "RESETPASSWORD") return resetPassword(args);
    if (command == "SETLEVEL") return setLevelCommand(args);
    if (command == "SETALLLEVELS") return setAllLevels(args);
    if (command == "LISTUSERS") {
        if (!args.empty()) throw BadInput{"LISTUSERS takes no arguments"};
        return listUsers();
    }
    if (command == "LISTPROCEDURES") {
        if (!args.empty()) throw BadInput{"LISTPROCEDURES takes no arguments"};
        return listProcedures();
    }
    throw BadInput{"unknown command \"" + command + "\""};
}

// Opens the three tables on the calling thread; false when that failed (reported).
bool openTables() {
    // The program may be writing at the same moment: wait for its lock a little.
    for (rt::FileManager* f : {&UserListFile(), &ProcedureListFile(), &ApplicationListFile()}) f->send("Recover=2");
    return OpenSecurityFile(UserListFile()) == 0 && OpenSecurityFile(ProcedureListFile()) == 0 &&
           OpenSecurityFile(ApplicationListFile()) == 0;
}

void closeTables() {
    UserListFile().closeAll();
    ProcedureListFile().closeAll();
    ApplicationListFile().closeAll();
}

// A screen the user sees: a window drawn off screen would wait for an answer nobody can give.
bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string p = platform ? std::string(platform) : std::string();
    return !p.empty() && p.rfind("offscreen", 0) != 0 && p.rfind("minimal", 0) != 0;
}

// Asked by the program that started us to come to the front (its menu chosen again).
std::atomic<bool> gRaise{false};

void onRaise(int) { gRaise = true; }

// Our own windows get the owner before they are mapped: the window system takes it then.
class OwnerFilter : public QObject {
public:
    // The owner's foreign window goes with the filter, the filter with the application.
    OwnerFilter(QWindow* owner, QObject* parent) : QObject(parent), owner_(owner) { owner_->QObject::setParent(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            QWindow* handle = w->isWindow() && !w->parentWidget() ? w->windowHandle() : nullptr;
            if (handle && !handle->transientParent()) {
                // The window system names an owner only for a dialog's type of window; it keeps
                // its buttons to size and close it.
                handle->setFlags((handle->flags() & ~Qt::WindowType_Mask) | Qt::Dialog | Qt::WindowMinMaxButtonsHint |
                                 Qt::WindowCloseButtonHint);
                handle->setTransientParent(owner_);
            }
        }
        return false;
    }

private:
    QWindow* owner_;
};

// The windows stand over the owner's (the starting program's frame, by its window-system id)
// and come to the front when asked.
void keepWithOwner(std::uint64_t owner) {
    if (owner) qApp->installEventFilter(new OwnerFilter(QWindow::fromWinId(static_cast<WId>(owner)), qApp));
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [] {
        const bool raise = gRaise.exchange(false);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || !w->isWindow()) continue;
            if (raise) {
                if (w->isMinimized()) w->showNormal();
                w->raise();
                w->activateWindow();
            }
        }
    });
    timer->start(100);
}

}  // namespace

int main(int argc, char** argv) {
    std::string command;
    std::string adminId;
    std::uint64_t owner = 0;
    // First of all: a request to come to the front must never end us.
    std::signal(SIGUSR1, onRaise);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string up = rt::upper(a);
        // The program starts us with "\U=" and the logged-in user's ID.
        if (up.rfind("\\U=", 0) == 0 || up.rfind("/U=", 0) == 0) {
            adminId = std::string(rt::trimBlanks(a.substr(3)));
            continue;
        }
        // The window to stand over: the starting program's frame.
        if (up.rfind("\\OWNER=", 0) == 0 || up.rfind("/OWNER=", 0) == 0) {
            owner = std::strtoull(a.c_str() + 7, nullptr, 10);
            continue;
        }
        if (command.empty() && up.rfind("FILE=", 0) == 0) {
            security::setSecurityFileName(a.substr(5));
            continue;
        }
        if (up == "-H" || up == "--HELP" || up == "/?") {
            std::cout << kUsage;
            return kOk;
        }
        if (command.empty())
            command = up;
        else
            args.push_back(a);
    }

    if (command.empty() && displayAvailable()) {
        // The window on program thread 1, where the tables are opened too (they are per thread).
        return rt::qt::runDisplay(
            argc, argv,
            [&adminId] {
                if (openTables()) voqsecure::UserAdministration(adminId);
                closeTables();
            },
            [owner](rt::qt::QtDisplay&) { keepWithOwner(owner); });
    }

    ConsoleDisplay console;
    rt::setDisplay(&console);
    int rc = kFailed;
    try {
        if (openTables()) rc = run(command, args);
    } catch (const BadInput& bad) {
        std::cerr << "VOQSECURE: " << bad.text << "\n" << kUsage;
        rc = kBadInput;
    }
    closeTables();
    rt::setDisplay(nullptr);
    return rc;
}
