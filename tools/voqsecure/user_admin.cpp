#include "tools/voqsecure/user_admin.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "core/common/common_window.h"
#include "core/security/security.h"
#include "runtime/classlib/request.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/text/date_time.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace voqsecure {

// ---- What the command line and the window share --------------------------------------------

UserListRecord NewUserRecord(std::string_view userId) {
    UserListRecord u;
    u.USERID = userId;
    u.USERNAME = userId;
    for (int n = 1; n <= 10; ++n) u.level(n) = "NONE";
    u.MAXATTEMPTS = 3;
    u.CHANGEPASSWORD = "Never";
    u.REPORTERROR = "Both";
    u.SETUPDATE = rt::today();
    u.CHANGEDATE = rt::today();
    return u;
}

bool FindUser(std::string_view userId) {
    USER = UserListRecord{};
    USER.USERID = userId;
    return UserListFile().fetch("USER:KEYUSERID") == 0;
}

void SetAdministratorPassword(UserListRecord& user, std::string_view password) {
    user.PASSWORD = rt::clip(password);
    user.CHANGEDATE = rt::today();
    user.ILLEGALACCESSUSER = 0;
    user.ILLEGALACCESSSUPERVISOR = 0;
}

int SetProcedureLevel(std::string_view procedureName, int level) {
    rt::FileManager& procedures = ProcedureListFile();
    PRO = ProcedureListRecord{};
    PRO.APPLICATION = kSecurityApplication;
    PRO.PROCEDURENAME = procedureName;
    if (procedures.fetch("PRO:KEYPROCEDURE") == 0) {
        PRO.SECURITYLEVEL = static_cast<rt::Short>(level);
        PRO.NEWPROCEDURE = 0;  // the administrator has seen it
        return SaveProcedureRecord();
    }
    PRO.PROCEDURETEMPLATE = procedureName == "Main" ? "Frame" : "Window";
    PRO.SECURITYLEVEL = static_cast<rt::Short>(level);
    return procedures.insertAsIs();
}

std::vector<UserListRecord> AllUsers() {
    std::vector<UserListRecord> out;
    rt::FileManager& users = UserListFile();
    users.setOrder("USER:KEYUSERID");
    while (users.next() == 0) out.push_back(USER);
    return out;
}

std::vector<ProcedureListRecord> ApplicationProcedures() {
    std::vector<ProcedureListRecord> out;
    rt::FileManager& procedures = ProcedureListFile();
    PRO = ProcedureListRecord{};
    PRO.APPLICATION = kSecurityApplication;
    procedures.setFrom("PRO:KEYPROCEDURE");
    while (procedures.next() == 0 && rt::equalsNoCase(PRO.APPLICATION.str(), kSecurityApplication)) out.push_back(PRO);
    return out;
}

// ---- The window ----------------------------------------------------------------------------

namespace {

constexpr int kMaxShort = 32767;

// The stored words (RightNames, PasswordIntervals, ReportTargets) as the window shows them, in
// the same order.
const std::vector<std::string>& rightLabels() {
    static const std::vector<std::string> labels{"Kein Zugriff", "Ansehen",     "Drucken", "Hinzufügen",
                                                 "Ändern",       "Verarbeiten", "Löschen"};
    return labels;
}
const std::vector<std::string>& intervalLabels() {
    static const std::vector<std::string> labels{
        "Nie", "Täglich", "Wöchentlich", "Monatlich", "Vierteljährlich", "Halbjährlich", "Jährlich"};
    return labels;
}
const std::vector<std::string>& reportLabels() {
    static const std::vector<std::string> labels{"Benutzer", "Supervisor", "Beide"};
    return labels;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items) out += (out.empty() ? "" : "|") + i;
    return out;
}

// Position (from 1) of a stored word among the names, any case; `otherwise` when not there.
int positionOf(const std::vector<std::string>& names, std::string_view stored, int otherwise) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (rt::equalsNoCase(names[i], rt::trimBlanks(stored))) return static_cast<int>(i) + 1;
    return otherwise;
}

std::string rightLabel(std::string_view stored) {
    const int p = RightPosition(stored);
    return p == 0 ? std::string(rt::clip(stored)) : rightLabels()[static_cast<std::size_t>(p - 1)];
}

void warn(const std::string& text) { rt::message(text, kAdminTitle, rt::MessageIcon::Exclamation); }

// A whole number from low to high typed into a control; nullopt when it is none.
std::optional<int> numberIn(const std::string& text, int low, int high) {
    const std::string t(rt::trimBlanks(text));
    if (t.empty() || t.size() > 6 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int n = std::stoi(t);
    if (n < low || n > high) return std::nullopt;
    return n;
}

std::string entryText(rt::Window& w, int control, std::size_t max) {
    return std::string(rt::cutChars(rt::clip(w[control].value()), max));
}

// Two buttons at the bottom right: OK (default) and Abbrechen (Esc).
void okCancel(rt::Window& w, int ok, int cancel, int width, int y) {
    w.add(ok, rt::ControlKind::Button).setText("&OK").setPosition(width - 112, y, 50, 14).edit().defaultButton = true;
    w.add(cancel, rt::ControlKind::Button)
        .setText("&Abbrechen")
        .setPosition(width - 56, y, 50, 14)
        .edit()
        .cancelButton = true;
}

// Refuses an input: the reason, and the focus back on the control. False, for accept below.
bool refuse(rt::Window& w, const std::string& text, int control) {
    rt::beep(rt::Beep::Exclamation);
    warn(text);
    w.select(control);
    return false;
}

// The stored word of the entry chosen in a drop list showing `names` in its order.
std::string chosenName(rt::Window& w, int control, const std::vector<std::string>& names) {
    const int s = std::clamp(w[control].selected(), 1, static_cast<int>(names.size()));
    return names[static_cast<std::size_t>(s - 1)];
}

// Runs a dialog on the calling thread: OK calls `accept`, which closes the dialog by returning
// true (stored); "Abbrechen" and Esc close it as it is. True when stored.
bool runDialog(rt::Window& w, int firstField, int ok, int cancel, const std::function<bool()>& accept) {
    bool stored = false;
    rt::WindowController wc(w, w.procedure());
    CommonWindow common(wc);
    wc.setFirstField(firstField);
    wc.addCloseButton(cancel, rt::response::Cancelled);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted || e.control != ok) return false;
        if (accept()) {
            stored = true;
            wc.close(rt::response::Completed);
        }
        return true;
    };
    wc.run();
    return stored;
}

// ---- The user form -------------------------------------------------------------------------

// Adds a user (existingId empty) or changes one; the ID stored, empty when cancelled.
std::string UserForm(const std::string& existingId) {
    const bool insert = existingId.empty();
    UserListRecord shown = NewUserRecord("");
    shown.USERNAME = "";
    if (!insert) {
        if (!FindUser(existingId)) {
            warn("Der Benutzer " + existingId + " ist nicht mehr vorhanden.");
            return {};
        }
        shown = USER;
    }

    rt::Window w("UserForm", insert ? kUserInsertTitle : kUserChangeTitle);
    const int width = 262;
    w.edit().centered = true;
    int y = 6;
    auto row = [&](int prompt, int id, const char* label, rt::ControlKind kind, int controlWidth) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y + 2, 84, 10);
        auto c = w.add(id, kind).setPosition(92, y, controlWidth, 12);
        y += 15;
        return c;
    };
    row(USERFORM_ID_PROMPT, USERFORM_ID, "Benutzer-&ID:", rt::ControlKind::Entry, 110)
        .setPicture("@s30")
        .setValue(shown.USERID.str())
        .setReadOnly(!insert);
    row(USERFORM_NAME_PROMPT, USERFORM_NAME, "&Name:", rt::ControlKind::Entry, 164)
        .setPicture("@s100")
        .setValue(shown.USERNAME.str());
    row(USERFORM_PASSWORD_PROMPT, USERFORM_PASSWORD, insert ? "&Passwort:" : "Neues &Passwort:", rt::ControlKind::Entry,
        110)
        .setPicture("@s30")
        .setTip(insert ? "" : "Leer lassen, um das Passwort nicht zu ändern")
        .edit()
        .password = true;
    row(USERFORM_REPEAT_PROMPT, USERFORM_REPEAT, "&Wiederholung:", rt::ControlKind::Entry, 110)
        .setPicture("@s30")
        .edit()
        .password = true;
    w.add(USERFORM_SUPERVISOR, rt::ControlKind::Check)
        .setText("&Supervisor")
        .setValue(shown.SUPERVISOR == 1 ? "1" : "0")
        .setPosition(92, y, 110, 12);
    y += 15;
    row(USERFORM_LOCK_PROMPT, USERFORM_LOCK, "Sperre nach (&Min.):", rt::ControlKind::Spin, 44)
        .setRange(0, kMaxShort)
        .setValue(std::to_string(shown.LOCKSCREEN))
        .setTip("Minuten ohne Eingabe, nach denen das Programm sperrt; 0 = nie");
    row(USERFORM_ATTEMPTS_PROMPT, USERFORM_ATTEMPTS, "&Fehlversuche:", rt::ControlKind::Spin, 44)
        .setRange(0, kMaxShort)
        .setValue(std::to_string(shown.MAXATTEMPTS))
        .setTip("Falsche Passwörter je Anmeldung, bis das Programm endet; 0 = unbegrenzt");
    row(USERFORM_INTERVAL_PROMPT, USERFORM_INTERVAL, "Passwort&wechsel:", rt::ControlKind::DropList, 110)
        .setFrom(joined(intervalLabels()))
        .setSelected(positionOf(PasswordIntervals(), shown.CHANGEPASSWORD.str(), 1));
    row(USERFORM_REPORT_PROMPT, USERFORM_REPORT, "&Meldung an:", rt::ControlKind::DropList, 110)
        .setFrom(joined(reportLabels()))
        .setSelected(positionOf(ReportTargets(), shown.REPORTERROR.str(), 3))
        .setTip("Wem ein falsches Passwort gemeldet wird");

    // The right at each security level; each right includes the ones before it.
    const int groupTop = y + 2;
    w.add(USERFORM_LEVELS_GROUP, rt::ControlKind::Group)
        .setText("Rechte je Stufe")
        .setPosition(6, groupTop, width - 12, 92);
    for (int n = 1; n <= 10; ++n) {
        const int column = (n - 1) / 5;
        const int x = 12 + column * 124;
        const int ly = groupTop + 12 + ((n - 1) % 5) * 15;
        w.add(USERFORM_LEVEL_PROMPT1 + n - 1, rt::ControlKind::Prompt)
            .setText("Stufe " + std::to_string(n) + ":")
            .setPosition(x, ly + 2, 34, 10);
        w.add(USERFORM_LEVEL1 + n - 1, rt::ControlKind::DropList)
            .setFrom(joined(rightLabels()))
            .setSelected(std::max(RightPosition(shown.level(n).str()), 1))
            .setPosition(x + 36, ly, 78, 12)
            .setTip("Jedes Recht schließt die davor ein");
    }
    y = groupTop + 98;
    okCancel(w, USERFORM_OK, USERFORM_CANCEL, width, y);
    w.setSize(width, y + 20);

    std::string stored;
    runDialog(w, insert ? USERFORM_ID : USERFORM_NAME, USERFORM_OK, USERFORM_CANCEL, [&] {
        const std::string id = insert ? rt::upper(entryText(w, USERFORM_ID, 30)) : existingId;
        const std::string password = entryText(w, USERFORM_PASSWORD, 30);
        const std::string repeat = entryText(w, USERFORM_REPEAT, 30);
        const auto lock = numberIn(w[USERFORM_LOCK].value(), 0, kMaxShort);
        const auto attempts = numberIn(w[USERFORM_ATTEMPTS].value(), 0, kMaxShort);
        if (id.empty()) return refuse(w, "Bitte geben Sie eine Benutzer-ID ein.", USERFORM_ID);
        if (insert && FindUser(id)) return refuse(w, "Der Benutzer " + id + " ist bereits vorhanden.", USERFORM_ID);
        if (insert && password.empty()) return refuse(w, "Bitte geben Sie ein Passwort ein.", USERFORM_PASSWORD);
        if (password != repeat) {
            w[USERFORM_REPEAT].setValue("");
            return refuse(w, "Die Wiederholung stimmt nicht mit dem Passwort überein.", USERFORM_REPEAT);
        }
        if (!lock)
            return refuse(w, "Die Sperre muss eine Zahl von 0 bis " + std::to_string(kMaxShort) + " Minuten sein.",
                          USERFORM_LOCK);
        if (!attempts)
            return refuse(w, "Die Fehlversuche müssen eine Zahl von 0 bis " + std::to_string(kMaxShort) + " sein.",
                          USERFORM_ATTEMPTS);

        // A change goes onto the record as it was read, so that a change by another station
        // meanwhile is reported, not overwritten.
        UserListRecord u = insert ? NewUserRecord(id) : USER;
        const std::string name = entryText(w, USERFORM_NAME, 100);
        u.USERNAME = name.empty() ? id : name;
        if (!password.empty()) SetAdministratorPassword(u, password);
        u.SUPERVISOR = w[USERFORM_SUPERVISOR].value() == "1" ? 1 : 0;
        u.LOCKSCREEN = static_cast<rt::Short>(*lock);
        u.MAXATTEMPTS = static_cast<rt::Short>(*attempts);
        u.CHANGEPASSWORD = chosenName(w, USERFORM_INTERVAL, PasswordIntervals());
        u.REPORTERROR = chosenName(w, USERFORM_REPORT, ReportTargets());
        for (int n = 1; n <= 10; ++n) u.level(n) = chosenName(w, USERFORM_LEVEL1 + n - 1, RightNames());
        USER = u;
        if (insert) {
            if (UserListFile().insertAsIs() != 0)
                return refuse(w, "Der Benutzer " + id + " konnte nicht angelegt werden: " + rt::errorText(),
                              USERFORM_ID);
        } else if (SaveUserRecord() != 0) {
            return false;  // reported; the entries stay for another try
        }
        stored = id;
        return true;
    });
    return stored;
}

// ---- Level and right of one procedure ------------------------------------------------------

// The procedure's security level; true when stored.
bool LevelWindow(const ProcedureListRecord& procedure) {
    rt::Window w("ProcedureLevel", kLevelTitle);
    const int width = 220;
    w.edit().centered = true;
    w.add(LEVEL_PROCEDURE, rt::ControlKind::String)
        .setText("Prozedur: " + procedure.PROCEDURENAME.str())
        .setPosition(6, 6, width - 12, 10);
    w.add(LEVEL_PROMPT, rt::ControlKind::Prompt).setText("&Stufe:").setPosition(6, 24, 40, 10);
    w.add(LEVEL_VALUE, rt::ControlKind::Spin)
        .setRange(0, 10)
        .setValue(std::to_string(procedure.SECURITYLEVEL))
        .setPosition(48, 22, 36, 12);
    w.add(LEVEL_NOTE, rt::ControlKind::String)
        .setText("1 bis 10; 0 = keine Stufe (niemand hat Zugriff)")
        .setPosition(6, 40, width - 12, 10);
    okCancel(w, LEVEL_OK, LEVEL_CANCEL, width, 58);
    w.setSize(width, 78);

    return runDialog(w, LEVEL_VALUE, LEVEL_OK, LEVEL_CANCEL, [&] {
        const auto level = numberIn(w[LEVEL_VALUE].value(), 0, 10);
        if (!level) return refuse(w, "Die Stufe muss eine Zahl von 0 bis 10 sein.", LEVEL_VALUE);
        return SetProcedureLevel(procedure.PROCEDURENAME.str(), *level) == 0;  // a failed store is reported
    });
}

// The user's right at the procedure's level; true when stored.
bool RightWindow(const std::string& userId, const ProcedureListRecord& procedure) {
    const int level = procedure.SECURITYLEVEL;
    if (level < 1 || level > 10) {
        warn("Der Prozedur " + procedure.PROCEDURENAME.str() +
             " ist noch keine Stufe zugeordnet.|Setzen Sie zuerst ihre Stufe.");
        return false;
    }
    if (!FindUser(userId)) {
        warn("Der Benutzer " + userId + " ist nicht mehr vorhanden.");
        return false;
    }
    rt::Window w("ProcedureRight", kRightTitle);
    const int width = 236;
    const std::string levelText = std::to_string(level);
    w.edit().centered = true;
    w.add(RIGHT_USER, rt::ControlKind::String).setText("Benutzer: " + userId).setPosition(6, 6, width - 12, 10);
    w.add(RIGHT_PROCEDURE, rt::ControlKind::String)
        .setText("Prozedur: " + procedure.PROCEDURENAME.str() + " (Stufe " + levelText + ")")
        .setPosition(6, 18, width - 12, 10);
    w.add(RIGHT_PROMPT, rt::ControlKind::Prompt).setText("&Recht:").setPosition(6, 36, 40, 10);
    w.add(RIGHT_VALUE, rt::ControlKind::DropList)
        .setFrom(joined(rightLabels()))
        .setSelected(std::max(RightPosition(USER.level(level).str()), 1))
        .setPosition(48, 34, 90, 12)
        .setTip("Jedes Recht schließt die davor ein");
    w.add(RIGHT_NOTE, rt::ControlKind::String)
        .setText("Das Recht gilt für alle Prozeduren der Stufe " + levelText + ".")
        .setPosition(6, 52, width - 12, 10);
    okCancel(w, RIGHT_OK, RIGHT_CANCEL, width, 70);
    w.setSize(width, 90);

    return runDialog(w, RIGHT_VALUE, RIGHT_OK, RIGHT_CANCEL, [&] {
        USER.level(level) = chosenName(w, RIGHT_VALUE, RightNames());
        return SaveUserRecord() == 0;  // else reported
    });
}

// ---- The main window -----------------------------------------------------------------------

struct AdminState {
    std::vector<UserListRecord> users;
    std::vector<ProcedureListRecord> procedures;

    const UserListRecord* user(rt::Window& w) const {
        const int s = w[ADMIN_USERS].selected();
        return s >= 1 && s <= static_cast<int>(users.size()) ? &users[static_cast<std::size_t>(s - 1)] : nullptr;
    }
    const ProcedureListRecord* procedure(rt::Window& w) const {
        const int s = w[ADMIN_PROCEDURES].selected();
        return s >= 1 && s <= static_cast<int>(procedures.size()) ? &procedures[static_cast<std::size_t>(s - 1)]
                                                                  : nullptr;
    }
};

// The procedures with their level and the selected user's right there.
void showProcedures(rt::Window& w, AdminState& s, const std::string& keepName = {}) {
    const int before = w[ADMIN_PROCEDURES].selected();
    s.procedures = ApplicationProcedures();
    const UserListRecord* u = s.user(w);
    std::vector<rt::ListRow> rows;
    int select = 0;
    for (const auto& p : s.procedures) {
        const int level = p.SECURITYLEVEL;
        const bool hasLevel = level >= 1 && level <= 10;
        std::string right;
        if (!hasLevel)
            right = "(keine Stufe)";
        else if (u)
            right = rightLabel(u->level(level).str());
        std::string description = p.PROCEDUREDESCRIPTION.str();
        if (p.OLDPROCEDURE == 1) description += " (nicht mehr registriert)";
        rows.push_back({{p.PROCEDURENAME.str(), description, hasLevel ? std::to_string(level) : "-", right}});
        if (!keepName.empty() && p.PROCEDURENAME.str() == keepName) select = static_cast<int>(rows.size());
    }
    if (select == 0) select = std::min(std::max(before, 1), static_cast<int>(rows.size()));
    w[ADMIN_PROCEDURES].setRows(std::move(rows)).setSelected(select);
    w[ADMIN_LEVEL].setEnabled(!s.procedures.empty());
    w[ADMIN_RIGHT].setEnabled(!s.procedures.empty() && u != nullptr);
}

void showUsers(rt::Window& w, AdminState& s, const std::string& keepId = {}) {
    const int before = w[ADMIN_USERS].selected();
    s.users = AllUsers();
    std::vector<rt::ListRow> rows;
    int select = 0;
    for (const auto& u : s.users) {
        const int interval = positionOf(PasswordIntervals(), u.CHANGEPASSWORD.str(), 1);
        rows.push_back({{u.USERID.str(), u.USERNAME.str(), std::string(u.SUPERVISOR == 1 ? "Ja" : ""),
                         std::to_string(u.LOGINCOUNT), intervalLabels()[static_cast<std::size_t>(interval - 1)]}});
        if (!keepId.empty() && rt::equalsNoCase(u.USERID.str(), keepId)) select = static_cast<int>(rows.size());
    }
    if (select == 0) select = std::min(std::max(before, 1), static_cast<int>(rows.size()));
    w[ADMIN_USERS].setRows(std::move(rows)).setSelected(select);
    w[ADMIN_CHANGE].setEnabled(!s.users.empty());
    w[ADMIN_DELETE].setEnabled(!s.users.empty());
}

void deleteUser(rt::Window& w, AdminState& s, std::string_view adminId) {
    const UserListRecord* u = s.user(w);
    if (!u) return;
    const std::string id = u->USERID.str();
    if (!adminId.empty() && rt::equalsNoCase(id, adminId)) {
        warn("Sie können Ihre eigene Benutzer-ID nicht löschen.");
        return;
    }
    if (rt::message("Wollen Sie den Benutzer " + id + " wirklich löschen?", kAdminTitle, rt::MessageIcon::Question,
                    rt::button::Yes | rt::button::No, rt::button::No) != rt::button::Yes)
        return;
    if (FindUser(id) && UserListFile().deleteRecord() != 0)
        warn("Der Benutzer " + id + " konnte nicht gelöscht werden: " + rt::errorText());
    showUsers(w, s);
    showProcedures(w, s);
}

// Whether the user the program named may administer: a supervisor, or anyone while there is none.
bool mayAdminister(std::string_view adminId) {
    if (adminId.empty()) return true;
    const auto users = AllUsers();
    const bool anySupervisor =
        std::any_of(users.begin(), users.end(), [](const UserListRecord& u) { return u.SUPERVISOR == 1; });
    if (!anySupervisor) return true;
    return std::any_of(users.begin(), users.end(), [&](const UserListRecord& u) {
        return u.SUPERVISOR == 1 && rt::equalsNoCase(u.USERID.str(), rt::trimBlanks(adminId));
    });
}

}  // namespace

void UserAdministration(std::string_view adminId) {
    rt::FileManager* tables[] = {&UserListFile(), &ProcedureListFile(), &ApplicationListFile()};
    for (rt::FileManager* t : tables)
        if (OpenSecurityFile(*t) != 0) return;  // reported, and the program halted
    struct CloseTables {
        rt::FileManager** tables;
        ~CloseTables() {
            for (int i = 0; i < 3; ++i) tables[i]->close();
        }
    } closeTables{tables};
    if (!mayAdminister(adminId)) {
        rt::beep(rt::Beep::Exclamation);
        rt::message("Die Benutzerverwaltung steht nur Supervisoren zur Verfügung.", kAdminTitle,
                    rt::MessageIcon::Exclamation);
        return;
    }

    rt::Window w("UserAdministration", kAdminTitle);
    const int width = 360;
    w.edit().centered = true;
    w.add(ADMIN_USERS_PROMPT, rt::ControlKind::Prompt).setText("&Benutzer:").setPosition(6, 4, 120, 10);
    w.add(ADMIN_USERS, rt::ControlKind::List)
        .setColumns({{"Benutzer-ID", 64},
                     {"Name", 122},
                     {"Supervisor", 44},
                     {"Anmeldungen", 50, rt::Justify::Right},
                     {"Passwortwechsel", 68}})
        .setPosition(6, 15, width - 12, 84);
    struct ButtonDef {
        int id;
        const char* text;
        int width;
    };
    auto buttons = [&](std::initializer_list<ButtonDef> defs, int y) {
        int x = 6;
        for (const auto& b : defs) {
            w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(x, y, b.width, 14);
            x += b.width + 4;
        }
    };
    buttons({{ADMIN_INSERT, "&Neu ...", 50}, {ADMIN_CHANGE, "&Bearbeiten ...", 60}, {ADMIN_DELETE, "&Löschen", 50}},
            103);
    w.add(ADMIN_PROCEDURES_PROMPT, rt::ControlKind::Prompt)
        .setText("&Prozeduren und das Recht des gewählten Benutzers:")
        .setPosition(6, 124, 240, 10);
    w.add(ADMIN_PROCEDURES, rt::ControlKind::List)
        .setColumns({{"Prozedur", 84}, {"Beschreibung", 168}, {"Stufe", 30, rt::Justify::Right}, {"Recht", 60}})
        .setPosition(6, 135, width - 12, 84);
    buttons({{ADMIN_LEVEL, "&Stufe ...", 50}, {ADMIN_RIGHT, "&Recht ...", 50}}, 223);
    w.add(ADMIN_CLOSE, rt::ControlKind::Button)
        .setText("S&chließen")
        .setPosition(width - 56, 223, 50, 14)
        .edit()
        .cancelButton = true;
    w.setSize(width, 243);

    AdminState s;
    showUsers(w, s);
    showProcedures(w, s);

    rt::WindowController wc(w, "UserAdministration");
    CommonWindow common(wc);
    wc.setFirstField(ADMIN_USERS);
    wc.addCloseButton(ADMIN_CLOSE, rt::response::Completed);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event == rt::Event::NewSelection && e.control == ADMIN_USERS) {
            showProcedures(w, s);
            return true;
        }
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case ADMIN_INSERT:
            if (auto id = UserForm({}); !id.empty()) showUsers(w, s, id), showProcedures(w, s);
            return true;
        case ADMIN_USERS:  // a double click: the form
        case ADMIN_CHANGE:
            if (const UserListRecord* u = s.user(w)) {
                if (auto id = UserForm(u->USERID.str()); !id.empty()) showUsers(w, s, id), showProcedures(w, s);
                w.select(ADMIN_USERS);
            }
            return true;
        case ADMIN_DELETE: deleteUser(w, s, adminId); return true;
        case ADMIN_LEVEL:
            if (const ProcedureListRecord* p = s.procedure(w)) {
                const ProcedureListRecord chosen = *p;
                if (LevelWindow(chosen)) showProcedures(w, s, chosen.PROCEDURENAME.str());
            }
            return true;
        case ADMIN_PROCEDURES:  // a double click: the right
        case ADMIN_RIGHT: {
            const UserListRecord* u = s.user(w);
            const ProcedureListRecord* p = s.procedure(w);
            if (!u || !p) return true;
            const std::string id = u->USERID.str();
            const ProcedureListRecord chosen = *p;
            if (RightWindow(id, chosen)) {
                showUsers(w, s, id);
                showProcedures(w, s, chosen.PROCEDURENAME.str());
            }
            return true;
        }
        default: return false;
        }
    };
    wc.run();
}

}  // namespace voqsecure
