#include "core/frame/frame.h"

#include <chrono>
#include <map>

#include "core/clients/clients.h"
#include "core/clients/program_end.h"
#include "core/common/common_window.h"
#include "core/common/focus_highlighter.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/sql_helpers.h"
#include "core/helpers/text_helpers.h"
#include "core/security/security.h"
#include "core/security/security_file.h"
#include "core/startup/startup.h"
#include "core/sync/structure_update.h"
#include "runtime/classlib/toolbar.h"
#include "runtime/ini/profile.h"
#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/os/process.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

using namespace frame;

namespace {

rt::Shared<std::vector<std::string>> commandLine;
rt::Shared<FrameHooks> hooks;
rt::Shared<std::map<std::string, FrameProcedure>> procedures;
rt::Shared<std::function<long long()>> clockOverride;
rt::Shared<std::function<std::uint64_t()>> probeOverride;

FrameProcedure findProcedure(const std::string& name) {
    return procedures.update([&](const auto& map) {
        auto it = map.find(name);
        return it == map.end() ? FrameProcedure() : it->second;
    });
}

// The user's input in any window of the program; events posted between windows (the idle
// close among them) are not the user's doing and leave it alone.
std::uint64_t activitySerial() {
    auto probe = probeOverride.get();
    if (probe) return probe();
    return static_cast<std::uint64_t>(rt::lastUserInputTime().time_since_epoch().count());
}

}  // namespace

// ---- Command line --------------------------------------------------------------------------

void setCommandLine(std::vector<std::string> arguments) { commandLine.set(std::move(arguments)); }

std::string CommandParameter(std::string_view name) {
    for (const auto& arg : commandLine.get()) {
        if (arg.size() < 2 || (arg[0] != '\\' && arg[0] != '/')) continue;
        auto eq = arg.find('=');
        if (eq == std::string::npos) continue;
        if (!rt::equalsNoCase(std::string_view(arg).substr(1, eq - 1), name)) continue;
        std::string value(rt::trimBlanks(std::string_view(arg).substr(eq + 1)));
        if (!value.empty()) return value;
    }
    return {};
}

// ---- Hooks ---------------------------------------------------------------------------------

void setFrameHooks(FrameHooks h) { hooks.set(std::move(h)); }

void registerFrameProcedure(std::string name, FrameProcedure procedure) {
    procedures.update([&](auto& map) { map[std::move(name)] = std::move(procedure); });
}

void clearFrameProcedures() {
    procedures.update([](auto& map) { map.clear(); });
}

void setFrameClock(std::function<long long()> clock) { clockOverride.set(std::move(clock)); }

long long frameClock() {
    if (auto clock = clockOverride.get()) return clock();
    using namespace std::chrono;
    static const auto origin = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - origin).count() / 10;
}

void setActivityProbe(std::function<std::uint64_t()> probe) { probeOverride.set(std::move(probe)); }

// ---- Version -------------------------------------------------------------------------------

bool ErpVersionTooLow(std::string_view version) { return rt::compareTrimmed(version, kMinimumErpVersion) < 0; }

bool CheckErpVersion() {
    rt::Byte present = 0;
    QueryString = "SELECT 1 FROM INFORMATION_SCHEMA.TABLES where table_name = 'tversion'";
    SqlToQueue(QueryString.get().clipped(), nullptr, {present});
    if (present != 1) return true;
    rt::CString<21> version;
    QueryString = "select cVersion from dbo.tversion";
    SqlToQueue(QueryString.get().clipped(), nullptr, {version});
    return !ErpVersionTooLow(version.str());
}

std::string ProgramVersionText() { return "Version 6.0.0 Stand 10.12.2026  -  VOQ Software, Analyse-Werkzeuge"; }

// ---- Idle ----------------------------------------------------------------------------------

void IdleWatch::start(long lockTime, long long now) {
    lock_ = lockTime;
    last_ = now;
    counter_ = 0;
}

void IdleWatch::activity(long long now) {
    if (counter_ == 0) last_ = now;
}

IdleWatch::Step IdleWatch::check(long long now) {
    if (lock_ == 0 || now <= last_ + lock_) return Step::None;
    if (counter_ < 5) {
        ++counter_;
        return Step::CloseWindows;
    }
    counter_ = 0;
    return Step::Login;
}

// ---- Menu ----------------------------------------------------------------------------------

const std::vector<FrameMenuTarget>& frameMenuTargets() {
    static const std::vector<FrameMenuTarget> list = {
        {ItemCockpit, "ControllingCockpit", "", true},  {ItemCubeAnzeige, "BrowseCubeAnzeige", "", true},
        {ItemCubeTree, "CubeTreeAnzeige", "", true},    {ItemCubeKopf, "BrowseCubeKopf", "", true},
        {ItemCubeGruppe, "BrowseCubeGruppe", "", true}, {ItemWerte, "BrowseWerte", "", true},
        {ItemSkriptAuto, "BrowseSQLSkript1", "", true}, {ItemSqlScript, "BrowseSQLScript", "", true},
        {ItemUpdateLog, "BrowseDBUpdateLog", "", true}, {ItemSqlResult, "SQLQueryResult_N", "0", true},
        {ItemCrossTab, "SQLQueryResult_N", "1", true},  {ItemQbe, "QueryByExample", "", false},
        {ItemProvKey, "BrowseProvKey", "", true},
    };
    return list;
}

namespace {

void buildMenu(rt::Window& f) {
    auto menu = [&](int id, const char* text, const char* help = "") {
        f.add(id, rt::ControlKind::Menu).setText(text).setHelp(help);
    };
    auto item = [&](int id, int parent, const char* text, const char* help = "") {
        f.add(id, rt::ControlKind::Item, parent).setText(text).setHelp(help);
    };
    auto separator = [&](int id, int parent) { f.add(id, rt::ControlKind::Item, parent).edit().separator = true; };

    menu(MenuFile, "&File");
    item(ItemPrintSetup, MenuFile, "&Print Setup ...", "Setup printer");
    separator(ItemSepFile, MenuFile);
    item(ItemExit, MenuFile, "E&xit", "Exit this application");

    menu(MenuListen, "&Listen");
    item(ItemCockpit, MenuListen, "Controlling-Cockpit");
    separator(ItemSep1, MenuListen);
    item(ItemCubeAnzeige, MenuListen, "Cube-&Anzeige");
    item(ItemCubeTree, MenuListen, "&Tree Cube-Gruppen");
    separator(ItemSep2, MenuListen);
    item(ItemCubeKopf, MenuListen, "&Cube-Definition", "Browse CubeKopf");
    item(ItemCubeGruppe, MenuListen, "Cube-&Gruppen");
    item(ItemWerte, MenuListen, "&Werteliste");
    separator(ItemSep3, MenuListen);
    item(ItemSkriptAuto, MenuListen, "SQL-Scripte &automatisch laden");
    item(ItemSqlScript, MenuListen, "SQL-Scripte", "Verwaltung diverser SQL-Scripte");
    item(ItemUpdateLog, MenuListen, "DB-UpdateLog");
    separator(ItemSep4, MenuListen);
    item(ItemSqlResult, MenuListen, "SQL-Auswertungen");
    item(ItemCrossTab, MenuListen, "&CrossTab-Abfrage");
    item(ItemQbe, MenuListen, "&Tavik-Query");
    separator(ItemSep5, MenuListen);
    item(ItemProvKey, MenuListen, "&Provisionsdaten");

    menu(MenuSetup, "&Setup");
    item(ItemMandanten, MenuSetup, "&Mandanten");
    item(ItemOdbcAdmin, MenuSetup, "&ODBC-Admin");

    menu(MenuBenutzer, "&Benutzer");
    item(ItemBenutzer, MenuBenutzer, "&Benutzerverwaltung");

    menu(MenuWindow, "&Window", "Create and Arrange windows");
    f[MenuWindow].edit().windowList = true;  // the open windows after its items, to find a hidden one
    item(ItemTile, MenuWindow, "T&ile", "Make all open windows visible");
    item(ItemCascade, MenuWindow, "&Cascade", "Stack all open windows");
    item(ItemArrange, MenuWindow, "&Arrange Icons", "Align all window icons");

    menu(MenuHelp, "&Help", "Windows Help");
    item(ItemContents, MenuHelp, "&Contents", "View the contents of the help file");
    item(ItemSearch, MenuHelp, "&Search for Help On...", "Search for help on a subject");
    item(ItemHowTo, MenuHelp, "&How to Use Help", "How to use Windows Help");
    // There is no help file to show.
    for (int id : {ItemContents, ItemSearch, ItemHowTo}) f[id].disable();

    // Items whose procedure is not part of the program (yet) cannot be chosen.
    for (const auto& t : frameMenuTargets()) f[t.item].setEnabled(static_cast<bool>(findProcedure(t.procedure)));
}

void buildToolbar(rt::Window& f) {
    struct Tool {
        int id;
        const char* icon;
        const char* tip;
    };
    const Tool tools[] = {
        {rt::toolbar::Insert, "ADD.ICO", "Datensatz anlegen"},
        {rt::toolbar::Change, "Edit.ICO", "Datensatz bearbeiten"},
        {rt::toolbar::Delete, "Delete.ICO", "Datensatz löschen"},
        {rt::toolbar::Top, "wizFirst.ico", "Anfang"},
        {rt::toolbar::PageUp, "wizPgUp.ico", "Seite zurück"},
        {rt::toolbar::Up, "wizUp.ico", "Zeile zurück"},
        {rt::toolbar::Locate, "qkqbe.ico", "Suchen"},
        {rt::toolbar::Down, "wizDown.ico", "Zeile vor"},
        {rt::toolbar::PageDown, "wizPgDn.ico", "Seite vor"},
        {rt::toolbar::Bottom, "wizLast.ico", "Ende"},
        {rt::toolbar::History, "WIZDITTO.ICO", "Vorheriger Wert"},
        {rt::toolbar::Help, "WAHELP.ICO", "Hilfe"},
    };
    int x = 2;
    for (const auto& tool : tools) {
        auto b = f.add(tool.id, rt::ControlKind::Button).setIcon(tool.icon).setTip(tool.tip).setPosition(x, 2, 14, 13);
        b.edit().toolbar = true;
        b.edit().flat = true;
        x += 15;
        // Four groups: insert to delete, the navigation, history, help.
        if (tool.id == rt::toolbar::Delete || tool.id == rt::toolbar::Bottom || tool.id == rt::toolbar::History) x += 5;
    }
    f.add(ToolClient, rt::ControlKind::String)
        .setText(std::string(rt::cutChars(GLO.MANDANTENNAME.get().str(), 100)))
        .setPosition(x + 6, 4, 100, 10)
        .edit()
        .toolbar = true;
    auto check = f.add(ToolConnectGlobal, rt::ControlKind::Check)
                     .setText("Connect Global (Ein) oder Local (AUS)")
                     .setHelp("Cube-Connection aus globaler Anmeldung (Ein) oder lokal (AUS) verwenden")
                     .setPosition(x + 110, 3, 150, 11)
                     .setValue(GLO.ConnectGlobal.get() ? "1" : "0");
    check.edit().toolbar = true;
}

// The frame's state goes through the settings manager like every window's, so "Main" is in its
// list of written sections.
void restoreFrameState(rt::Window& f) {
    rt::IniManager& ini = WindowIniManager();
    if (!ini.tryFetch("Main", "XPos")) return;
    long long x = ini.fetchNumber("Main", "XPos", 0), y = ini.fetchNumber("Main", "YPos", 0);
    long long w = ini.fetchNumber("Main", "Width", 0), h = ini.fetchNumber("Main", "Height", 0);
    if (w > 0 && h > 0) f.setPosition(int(x), int(y), int(w), int(h));
    if (rt::equalsNoCase(ini.fetch("Main", "Maximize", ""), "Yes")) f.setMaximized(true);
}

void saveFrameState(const rt::Window& f) {
    rt::IniManager& ini = WindowIniManager();
    const auto& p = f.props();
    ini.update("Main", "Maximize", p.maximized ? "Yes" : "No");
    ini.update("Main", "Minimize", p.minimized ? "Yes" : "No");
    ini.update("Main", "XPos", static_cast<long long>(p.x));
    ini.update("Main", "YPos", static_cast<long long>(p.y));
    ini.update("Main", "Width", static_cast<long long>(p.width));
    ini.update("Main", "Height", static_cast<long long>(p.height));
}

// The full name of a user of the security file; the ID when there is none.
std::string securityUserName(const std::string& userId) {
    rt::FileManager& users = UserListFile();
    if (users.open() != 0) return userId;
    USER.USERID = rt::upper(userId);
    std::string name = users.fetch("USER:KEYUSERID") == 0 ? std::string(USER.USERNAME.clipped()) : userId;
    users.close();
    return name.empty() ? userId : name;
}

// The logged-in user becomes the program's user: globals, status bar and so the rights.
void takeUser(rt::Window& f, const rt::String<30>& id) {
    GLO.LoginUser = id;
    const std::string userId(id.clipped());
    auto h = hooks.get();
    std::string name = h.userName ? h.userName(userId) : securityUserName(userId);
    f.setStatusText(2, name);
    GLO.UserName = name;
    GLO.SecureUserId = userId;
}

rt::Byte askLogin(rt::String<30>& id) {
    auto h = hooks.get();
    return h.login ? h.login(id) : LoginWindow(id);
}

void startOdbcAdmin() {
    rt::ProcessResult r;
    for (const char* program : {"ODBCManageDataSourcesQ5", "ODBCManageDataSourcesQ4"}) {
        r = rt::startProcess(program, {}, false);
        if (r.started) return;
    }
    rt::message(r.errorText, "ODBC-Admin");
}

void startUserAdministration() {
    const std::vector<std::string> args = {"\\U=" + GLO.SecureUserId.get().str()};
    // Beside the program first, as the program file names it; else where the system finds it.
    const std::string folder = SplitPath(ProgramFilePath(), 3, 0);
    rt::ProcessResult r;
    if (!folder.empty()) r = rt::startProcess(folder + "VOQSECURE.EXE", args, true);
    if (!r.started) r = rt::startProcess("VOQSECURE.EXE", args, true);
    const int code = r.started ? r.exitCode : -4;
    if (code != 0) rt::message("Fehler aufgetreten (Code): " + std::to_string(code), "Fehler");
}

// The start-up steps while the start-up window is shown; a wrong ERP version ends the program.
void startupSteps(rt::Window& start) {
    // The current client; none yet: the client list.
    long id = static_cast<long>(rt::getProfileNumber(GLO.IniFile.get().str(), "MANDANT", "Kivorant", 0));
    if (id == 0) {
        rt::ThreadRequest = 4;
        ListMandant();
        id = MAN.ID;
    }
    // Its connection, also on the clipboard, and whether it works.
    TakeOverClient(id);
    rt::setClipboard(GLO.ConnectString.get().str());
    CheckMandantConnection();
    // The export folder defaults to the working folder.
    if (GLO.Excelpfad.get().empty()) GLO.Excelpfad = rt::currentFolder();
    // The database structure brought up to date.
    StructureUpdate();
    // The ERP's version must fit (not in query mode).
    if (GLO.RunMode.get() != "Q" && !CheckErpVersion()) {
        start.close();
        rt::setPointer(rt::Pointer::Arrow);
        rt::message(kVersionText, kVersionTitle);
        // An end for a reason, not a normal one.
        EndProgramNow(1);
    }
    // The globals of the session.
    QueryString = "";
    GLO.STARTCOCKPIT = static_cast<rt::Byte>(
        rt::getProfileNumber(GLO.IniFile.get().str(), GLO.Database.get().str(), "StartCockpit", 1));
    GLO.Trace = 1;
    // The client table stays open while the frame runs.
    Relate.Mandant->open();
}

}  // namespace

// ---- Main ----------------------------------------------------------------------------------

namespace {

// The start-up window: shown while the program connects, closed when it is done.
void showStartup() {
    rt::Window start("MainStartup", kStartupTitle);
    start.setPosition(0, 0, 300, 40);
    start.edit().centered = true;
    start.edit().resizable = false;
    start.add(StartLine1, rt::ControlKind::String)
        .setText("Dieser Prozess kann einige Sekunden dauern.")
        .setPosition(8, 8, 284, 10);
    start.add(StartLine2, rt::ControlKind::String)
        .setText("Bitte warten, während das Programm die Verbindung zur Datenbank herstellt.")
        .setPosition(8, 20, 284, 10);
    while (auto e = start.accept()) {
        if (e.event == rt::Event::OpenWindow) {
            startupSteps(start);
            start.close();  // the connection is made: on to the frame
        }
    }
}

// The frame's window with its menu, toolbar, status zones and the place it had last time; hidden
// while a cube started from the command line shows.
void buildFrame(rt::Window& f, bool hidden) {
    f.setFrame(true).setIcon("WWS.ICO");
    f.setStatusZones({200, 90, 150, 0});
    f.setStatusText(3, "Server : " + GLO.Server.get().str());
    f.setStatusText(4, "Datenbank : " + GLO.Database.get().str());
    buildMenu(f);
    buildToolbar(f);
    restoreFrameState(f);
    if (hidden) f.setHidden(true);
}

// The login of the program start and the idle watch of the user who logged in; false when the
// login was cancelled.
bool loginAtStart(rt::Window& f, IdleWatch& idle) {
    rt::String<30> id = CommandParameter("U");
    GLO.LoginUser = id;
    if (!askLogin(id)) return false;
    GLO.LoginUser = id;
    rt::Long lock = 0;
    auto h = hooks.get();
    if (h.lockTime)
        h.lockTime(lock);
    else
        GetUserLockTime(lock);
    GLO.LockTime = lock;
    if (lock > 0) {
        idle.start(lock, frameClock());
        GLO.LastActivity = static_cast<rt::Long>(idle.lastActivity());
        if (f.timer() < 1 || f.timer() > 100) f.setTimer(100);
    }
    takeUser(f, id);
    f.setImmediateAll(true);
    return true;
}

// The idle watch sees every event: after the lock time the other windows close, then the login
// is asked again.
void watchIdle(rt::Window& f, IdleWatch& idle, std::uint64_t& seenInput, const rt::EventInfo& e) {
    const long long now = frameClock();
    if (e.event != rt::Event::Timer) {
        idle.activity(now);
    } else if (std::uint64_t serial = activitySerial(); serial != seenInput) {
        seenInput = serial;  // input in another window of the program
        idle.activity(now);
    }
    if (e.event == rt::Event::OpenWindow || GLO.LockTime.get() == 0) return;
    switch (idle.check(now)) {
    case IdleWatch::Step::CloseWindows:
        for (int t = rt::MaxProgramThreads; t >= 2; --t) rt::postToThread(rt::Event::CloseWindow, 0, t);
        break;
    case IdleWatch::Step::Login: {
        rt::String<30> id = GLO.LoginUser.get();
        if (askLogin(id))
            takeUser(f, id);
        else
            f.post(rt::Event::CloseWindow);
        idle.loggedIn(frameClock());
        seenInput = activitySerial();
        break;
    }
    case IdleWatch::Step::None: break;
    }
    GLO.LastActivity = static_cast<rt::Long>(idle.lastActivity());
}

// A menu item that starts a registered procedure, on a thread of its own when it says so.
void runMenuTarget(int item) {
    for (const auto& t : frameMenuTargets()) {
        if (t.item != item) continue;
        FrameProcedure proc = findProcedure(t.procedure);
        if (!proc) return;
        if (t.ownThread)
            rt::startThread([proc](const std::string& parameter) { proc(parameter); }, t.parameter);
        else
            proc(t.parameter);
        return;
    }
}

// A menu item or toolbar button of the frame; toolbar buttons act on the active window's thread.
void frameAccepted(rt::Window& f, int c) {
    if (rt::toolbar::isButton(c)) {
        const int thread = rt::activeWindowThread();
        if (thread && thread != rt::threadNumber()) rt::postToThread(rt::Event::Accepted, c, thread);
        return;
    }
    if (c == ToolConnectGlobal) {
        GLO.ConnectGlobal = static_cast<rt::Byte>(f[ToolConnectGlobal].value() == "1");
    } else if (c == ItemExit) {
        f.post(rt::Event::CloseWindow);
    } else if (c == ItemPrintSetup) {
        rt::printerDialog("Drucker einrichten", true);
    } else if (c == ItemTile || c == ItemCascade || c == ItemArrange) {
        rt::display().arrangeWindows(f.id(), c == ItemTile      ? rt::Arrangement::Tile
                                             : c == ItemCascade ? rt::Arrangement::Cascade
                                                                : rt::Arrangement::ArrangeIcons);
    } else if (c == ItemMandanten) {
        rt::ThreadRequest = 0;
        ListMandant();
    } else if (c == ItemOdbcAdmin) {
        startOdbcAdmin();
    } else if (c == ItemBenutzer) {
        startUserAdministration();
    } else {
        runMenuTarget(c);
    }
}

}  // namespace

void Main() {
    rt::ProcedureName procedure("Main");
    // The program's version, its folders and the client's INI file.
    GLO.INFO = ProgramVersionText();
    GLO.FrameTitle = "VOQKivorant  (" + GLO.INFO.get().str() + ")";
    GLO.ProgramFile = SplitPath(ProgramFilePath(), 0, 1);
    for (const char* folder : {"AUSWERT", "SKRIPT"}) {
        if (!rt::fileExists(folder) && !rt::folderExists(folder)) rt::createFolder(folder);
    }
    GLO.IniFile = kClientIniFile;

    rt::setPointer(rt::Pointer::Busy);
    showStartup();

    rt::setPointer(rt::Pointer::Arrow);
    const std::string cubeId = CommandParameter("ID");
    rt::Window f("Main", GLO.FrameTitle.get().str());
    buildFrame(f, !cubeId.empty());
    // The focus highlighter with the settings of all windows; it sees every event first.
    FocusHighlighter highlighter(f);
    highlighter.ENABLEOSK = 1;
    highlighter.Init();
    SetupCommonHighlighter(highlighter);
    f.open();

    IdleWatch idle;
    std::uint64_t seenInput = activitySerial();
    if (cubeId.empty()) {
        if (!loginAtStart(f, idle)) {
            f.close();
            saveFrameState(f);
            Relate.Mandant->close();
            return;
        }
        seenInput = activitySerial();
    }

    // The frame's open event: the window was opened before the login, so it is handled here,
    // before the first event of the loop.
    f.setTitle(GLO.FrameTitle.get().str());
    if (cubeId.empty()) {
        auto h = hooks.get();
        if (GLO.RunMode.get() != "Q" && h.splash) rt::startThread(h.splash);
    } else {
        GLO.StartParameter = CommandParameter("P");
        auto h = hooks.get();
        if (h.showCube) h.showCube(std::atol(cubeId.c_str()));
        f.post(rt::Event::CloseDown);
    }

    while (auto e = f.accept()) {
        highlighter.TakeEvent(e);
        watchIdle(f, idle, seenInput, e);
        switch (e.event) {
        case rt::Event::CloseWindow:
        case rt::Event::CloseDown: rt::closeOtherThreads(std::chrono::seconds(5)); break;
        case rt::Event::Accepted: frameAccepted(f, e.control); break;
        default: break;
        }
    }
    highlighter.Kill();
    Relate.Mandant->close();
    saveFrameState(f);
}
