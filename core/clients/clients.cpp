#include "core/clients/clients.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include "core/clients/program_end.h"
#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/classlib/browse_manager.h"
#include "runtime/classlib/form_controller.h"
#include "runtime/data/back_end.h"
#include "runtime/data/errors.h"
#include "runtime/data/view_manager.h"
#include "runtime/ini/profile.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace mandant;

namespace {

// ---- The work table of the connection test -------------------------------------------------

struct WorkRecord {};

const rt::TableDef& workTable() {
    static const rt::TableDef def = rt::TableBuilder<WorkRecord>("LOCALWOR", "LOCW").server("LOCALWOR").build();
    return def;
}

thread_local WorkRecord tWorkBuffer;
// Stays open until the thread ends: its connection serves the thread's server tables.
thread_local std::unique_ptr<rt::FileManager> tWorkTable;

}  // namespace

// ---- Connect string and take-over ----------------------------------------------------------

std::string ConnectValueRefused(std::string_view value) {
    return value.find('}') != std::string_view::npos ? "Das Zeichen \"}\" ist hier nicht erlaubt." : std::string();
}

namespace {

// What goes into the connect string must stay one value there: the first entry that cannot is
// said (in a box titled `title`) and selected; false then.
bool ConnectValuesAccepted(rt::Window& w, std::initializer_list<int> entries, std::string_view title) {
    for (int id : entries) {
        const std::string refused = ConnectValueRefused(w[id].value());
        if (refused.empty()) continue;
        rt::message(refused, title);
        w.select(id);
        return false;
    }
    return true;
}

}  // namespace

std::string ConnectString(const MandantRecord& c) {
    using rt::connectValue;
    std::string s = "DRIVER=" + connectValue(c.Driver.str()) + rt::connectServer(c.Driver.str(), c.Server.str());
    if (c.Trusted == 1)
        s += ";Database=" + connectValue(c.Datenbank.str()) + ";Trusted_Connection=True";
    else
        s += ";UID=" + connectValue(c.Name.str()) + ";PWD=" + connectValue(c.Passwort.str()) +
             ";Database=" + connectValue(c.Datenbank.str());
    if (c.Regional == 1) s += ";Regional=Yes";
    return std::string(rt::cutChars(s, 255));
}

std::string DefaultClientServer() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    return std::string(host) + "\\" + kErpInstance;
}

void TakeOverClient(long id) {
    rt::FileManager& fm = *Access.Mandant;
    fm.clearBuffer();
    if (const int rc = fm.open(); rc == 0) {
        MAN.ID = static_cast<rt::Long>(id);
        if (fm.fetch("MAN:KeyID") != 0) fm.clearBuffer();
        fm.close();
    } else {
        // Everything that follows (no connection, an empty list) comes from the damaged file:
        // the user hears of the file first.
        WindowErrorManager().throwFile(rc, fm.name());
        fm.clearBuffer();
    }
    GLO.DbUser = MAN.Name.str();
    GLO.DbPassword = MAN.Passwort.str();
    GLO.Database = MAN.Datenbank.str();
    GLO.MANDANTENNAME = MAN.Mandant.str();
    GLO.Server = MAN.Server.str();
    GLO.ConnectString = ConnectString(MAN);
}

std::string ConnectionErrorText() {
    return rt::errorText() + " (" + std::to_string(rt::errorCode()) + ") ||" + rt::fileErrorText() + " (" +
           rt::fileErrorCode() + ") ||Überprüfen und korrigieren Sie ggf. die Zugangsdaten.";
}

void CheckMandantConnection() {
    if (!tWorkTable) tWorkTable = std::make_unique<rt::FileManager>(workTable(), &tWorkBuffer);
    rt::FileManager& work = *tWorkTable;
    work.closeAll();
    work.setConnectString(GLO.ConnectString.get().str());
    if (work.open() != rt::ErrFileSystem) return;
    rt::message(ConnectionErrorText(), "Verbindungs-Fehler");
    rt::ThreadRequest = 4;
    ListMandant();
    // The choice is taken for this run; it is tested again by the synchroniser that follows.
    TakeOverClient(MAN.ID);
}

void SwitchClient(long id) {
    rt::writeProfileNumber(kClientIniFile, "MANDANT", "Kivorant", id);
    RestartProgram();
}

std::vector<std::string> OdbcDriverNames() {
    std::vector<std::string> names = {"SQL Server"};
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[256];
    SQLCHAR attrs[1024];
    SQLSMALLINT nameLen = 0, attrLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &nameLen, attrs, sizeof attrs, &attrLen))) {
        std::string n(reinterpret_cast<char*>(name));
        if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

// ---- The client form -----------------------------------------------------------------------

namespace {
// Set by the list's "Cop&y": the next insert starts with the current row's values.
thread_local bool tCopyPending = false;
}  // namespace

void EditMandant() {
    const bool copy = tCopyPending;
    tCopyPending = false;
    rt::Window w("EditMandant", "Mandant");
    w.setPosition(0, 0, 250, 150);
    w.edit().centered = true;
    int y = 6;
    auto entry = [&](int prompt, int id, const char* label, const char* picture, int width) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y, 60, 10);
        w.add(id, rt::ControlKind::Entry).setPicture(picture).setPosition(70, y, width, 10);
        y += 14;
    };
    entry(PromptName, EntryName, "&Mand.Name:", "@s40", 170);
    w.add(PromptDriver, rt::ControlKind::Prompt).setText("Driver:").setPosition(6, y, 60, 10);
    std::string items;
    for (const auto& d : OdbcDriverNames()) items += (items.empty() ? "" : "|") + d;
    w.add(DropDriver, rt::ControlKind::DropList)
        .setFrom(items)
        .setPosition(70, y, 170, 10)
        .setTip("Mögliche Datenbank ist MS-SQL oder Firebird (Server oder Embedded-Version)");
    y += 14;
    entry(PromptServer, EntryServer, "Server", "@s60", 170);
    w[EntryServer].setTip("Hier wird der Datenbank-Server eingetragen");
    entry(PromptDatabase, EntryDatabase, "&Datenbank:", "@s60", 170);
    entry(PromptUser, EntryUser, "&Name:", "@s60", 170);
    entry(PromptPassword, EntryPassword, "&Passwort:", "@s40", 120);
    w[EntryPassword].edit().password = true;
    auto check = [&](int id, const char* text, const char* tip, int x) {
        w.add(id, rt::ControlKind::Check).setText(text).setTip(tip).setPosition(x, y, 70, 10);
    };
    check(CheckInactive, "Inaktiv", "Daten für Connectionstring sind z.Z. inaktiv", 6);
    check(CheckRegional, "Regional", "Schalter für Regionaleinstellungen (REGIONAL=YES, nu rbei MSSQL)", 80);
    check(CheckTrusted, "TrustedConnection", "Schalter für TrustedConnection", 154);
    y += 18;
    w.add(Ok, rt::ControlKind::Button).setText("&OK").setPosition(130, y, 50, 14).edit().defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("&Abbrechen").setPosition(186, y, 56, 14);
    w.setSize(250, y + 20);

    rt::FormController form(w, "EditMandant", *Relate.Mandant);
    CommonWindow common(form);
    form.modeTitle = [](std::uint8_t) -> std::optional<std::string> { return std::nullopt; };  // "Mandant" always
    form.bind(EntryName, "MAN:Mandant");
    form.bind(DropDriver, "MAN:Driver");
    form.bind(EntryServer, "MAN:Server");
    form.bind(EntryDatabase, "MAN:Datenbank");
    form.bind(EntryUser, "MAN:Name");
    form.bind(EntryPassword, "MAN:Passwort");
    form.bind(CheckInactive, "MAN:Inaktiv");
    form.bind(CheckRegional, "MAN:Regional");
    form.bind(CheckTrusted, "MAN:Trusted");
    form.setKeepBuffer(copy);
    form.validate = [&w] {
        return ConnectValuesAccepted(w, {EntryServer, EntryDatabase, EntryUser, EntryPassword}, "Mandant");
    };
    form.onPrimed = [copy] {
        if (copy) return;
        MAN.Driver = "SQL Server";
        MAN.Server = DefaultClientServer();
    };
    form.setOkButton(Ok);
    form.setCancelButton(Cancel);
    form.setFirstField(EntryName);
    form.run();
}

// ---- The client list -----------------------------------------------------------------------

namespace {

void addDefaultClient() {
    rt::FileManager& fm = *Access.Mandant;
    if (fm.open() != 0) return;  // the list reports it when it opens the file
    if (fm.records() == 0) {
        fm.clearBuffer();
        MAN.ID = 1;
        MAN.Mandant = "Ihr Mandantenname";
        MAN.Driver = "SQL Server";
        MAN.Server = DefaultClientServer();
        MAN.Datenbank = "eazybusiness";
        MAN.Name = "sa";
        MAN.Passwort = "qx71mR58";
        MAN.Regional = 1;
        MAN.Trusted = 0;
        MAN.Inaktiv = 0;
        fm.insertAsIs();
    }
    fm.close();
}

// The list's window: the list above a row of buttons.
void buildClientList(rt::Window& w) {
    w.setPosition(0, 0, 330, 170);
    w.edit().centered = true;
    w.add(List, rt::ControlKind::List).setPosition(4, 4, 322, 136);
    const struct {
        int id;
        const char* text;
        int width;
    } buttons[] = {{Select, "&Auswahl", 44},    {Copy, "Cop&y", 40},      {Insert, "&Neu", 40},
                   {Change, "&Bearbeiten", 50}, {Delete, "&Löschen", 44}, {Close, "&Schließen", 50}};
    int x = 4;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(x, 146, b.width, 14);
        x += b.width + 4;
    }
}

// "Auswahl": the client of the current row becomes the program's.
void selectClient(rt::BrowseManager& list) {
    if (list.rowsLoaded() > 0 && list.fetchSelected() == 0) SwitchClient(MAN.ID);
}

// "Copy": a new client, its form starting from the current row as "&Neu" starts it.
void copyClient(rt::BrowseManager& list) {
    if (list.fetchSelected() == 0) tCopyPending = true;
    list.ask(rt::request::Insert);
    tCopyPending = false;
    list.refresh();
}

}  // namespace

void ListMandant() {
    // An empty file gets the default client, so that there is always one to start with.
    addDefaultClient();

    rt::Window w("ListMandant", "Mandanten");
    buildClientList(w);

    bool listAlive = false;
    rt::WindowController wc(w, "ListMandant");
    CommonWindow common(wc);
    wc.addFile(*Relate.Mandant);
    rt::ViewManager view(*Access.Mandant);
    rt::BrowseManager list(wc, List, view);
    list.addColumn("Mandantenname", 90, "MAN:Mandant", "@s40");
    list.addColumn("Driver", 60, "MAN:Driver", "@s60");
    list.addColumn("Server", 90, "MAN:Server", "@s60");
    list.addColumn("Datenbank", 80, "MAN:Datenbank", "@s60");
    list.addSortOrder({});  // file order
    list.setButtons(Insert, Change, Delete);
    list.setCloseButton(Close);
    wc.setProcedure(1, EditMandant);
    list.setFormProcedure(1);
    list.popup().addItemMimic("Auswahl", Select, "&Auswahl");
    list.popup().addItemMimic("Copy", Copy, "Cop&y");
    auto copyState = [&] { w[Copy].setEnabled(list.rowsLoaded() > 0); };
    list.afterForm = [&](std::uint8_t, std::uint8_t) { copyState(); };
    // After the list has loaded its first rows.
    struct AfterList : rt::WindowComponent {
        rt::WindowController& wc;
        std::function<void()> then;
        AfterList(rt::WindowController& controller, std::function<void()> f) : wc(controller), then(std::move(f)) {
            wc.addComponent(*this);
        }
        ~AfterList() override { wc.removeComponent(*this); }
        void opened() override { then(); }
    } afterList(wc, copyState);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == Select) {
            selectClient(list);
            return true;
        }
        if (e.control == Copy) {
            if (list.rowsLoaded() == 0) return true;
            copyClient(list);
            copyState();
            return true;
        }
        return false;
    };
    // The record current in the list when it closes stays in the buffer for the caller; not when
    // the list is gone already (the program ending from inside the loop).
    struct AliveFlag {
        bool& on;
        explicit AliveFlag(bool& flag) : on(flag) { on = true; }
        ~AliveFlag() { on = false; }
    } aliveFlag(listAlive);
    wc.onKill = [&] {
        if (!listAlive) return;
        if (list.rowsLoaded() > 0)
            list.fetchSelected();
        else
            Access.Mandant->clearBuffer();
    };
    CommonList commonList(common, list);
    wc.run();
}

// ---- The "Connect-String" window -----------------------------------------------------------

ConnectStringParts SplitConnectString(std::string_view connect) {
    ConnectStringParts p;
    p.work = std::string(rt::clip(connect));
    if (p.work.empty())
        p.work = "DRIVER=SQL Server;SERVER=" + std::string(GLO.Server.get().clipped()) +
                 ";UID=Dein_Name;PWD=Dein_Kennwort;Database=Dein_Mandant";
    p.work = std::string(rt::cutChars(p.work, 511));
    const std::vector<std::string> parts = rt::connectStringParts(p.work);
    auto value = [&](std::size_t index) -> std::string {
        if (index >= parts.size()) return {};
        std::string part(rt::cutChars(parts[index], 40));
        auto eq = part.find('=');
        std::string v = eq == std::string::npos ? std::string() : part.substr(eq + 1);
        return std::string(rt::clip(v));
    };
    p.driver = value(0);
    p.server = value(1);
    p.user = value(2);
    p.password = value(3);
    p.database = value(4);
    p.regional = std::string(rt::cutChars(value(5), 3));
    return p;
}

std::string BuildConnectString(const ConnectStringParts& p) {
    // Each value stays one value for the driver: braced where it holds ";".
    using rt::connectValue;
    std::string s = "DRIVER=" + connectValue(p.driver) + ";SERVER=" + connectValue(p.server) +
                    ";UID=" + connectValue(p.user) + ";PWD=" + connectValue(p.password) +
                    ";Database=" + connectValue(p.database);
    if (p.regional == "Yes") s += ";Regional=" + p.regional;
    return std::string(rt::cutChars(s, 511));
}

void src_CreateConnectStringDriver(std::string_view connect) {
    ConnectStringParts p = SplitConnectString(connect);
    DebugTrace(p.work);
    DebugTrace("DRIVER   " + p.driver);
    DebugTrace("SERVER   " + p.server);
    DebugTrace("UID      " + p.user);
    DebugTrace("PWD      " + p.password);
    DebugTrace("DB       " + p.database);
    DebugTrace("Regional " + p.regional);

    rt::Window w("src_CreateConnectStringDriver", "Connect-String");
    w.setPosition(0, 0, 300, 130);
    w.edit().centered = true;
    int y = 6;
    auto entry = [&](int prompt, int id, const char* label, const std::string& value, int width, const char* pic) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y, 50, 10);
        w.add(id, rt::ControlKind::Entry).setValue(value).setPicture(pic).setPosition(60, y, width, 10);
        y += 14;
    };
    entry(PromptConnect, EntryConnect, "Connect:", p.work, 234, "@s255");
    entry(PromptCsDriver, EntryCsDriver, "DRIVER:", p.driver, 180, "@s100");
    entry(PromptCsServer, EntryCsServer, "SERVER:", p.server, 180, "@s100");
    entry(PromptCsUser, EntryCsUser, "UID:", p.user, 180, "@s100");
    entry(PromptCsPassword, EntryCsPassword, "PW:", p.password, 180, "@s100");
    entry(PromptCsDatabase, EntryCsDatabase, "DATABASE:", p.database, 180, "@s100");
    entry(PromptCsRegional, EntryCsRegional, "REGIONAL:", p.regional, 24, "@s3");
    w.add(CsOk, rt::ControlKind::Button).setText("&OK").setTip("Accept operation").setPosition(180, y + 4, 50, 14);
    w.add(CsCancel, rt::ControlKind::Button)
        .setText("&Abbrechen")
        .setTip("Cancel Operation")
        .setPosition(236, y + 4, 56, 14);
    w.setSize(300, y + 24);

    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == CsOk) {
            if (!ConnectValuesAccepted(w, {EntryCsDriver, EntryCsServer, EntryCsUser, EntryCsPassword, EntryCsDatabase},
                                       "Connect-String"))
                continue;
            ConnectStringParts edited;
            edited.driver = w[EntryCsDriver].value();
            edited.server = w[EntryCsServer].value();
            edited.user = w[EntryCsUser].value();
            edited.password = w[EntryCsPassword].value();
            edited.database = w[EntryCsDatabase].value();
            edited.regional = std::string(rt::cutChars(w[EntryCsRegional].value(), 3));
            CUBK.Connect = BuildConnectString(edited);
            w.post(rt::Event::CloseWindow);
        } else if (e.control == CsCancel) {
            w.post(rt::Event::CloseWindow);
        }
    }
}
