#include "core/clients/clients.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "core/clients/program_end.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/data/errors.h"
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

// ---- List colours --------------------------------------------------------------------------

constexpr rt::Color kRowText = rt::rgb(64, 0, 64);
constexpr rt::Color kRowSelected = rt::rgb(151, 180, 20);
constexpr rt::Color kRowAlternate = rt::rgb(206, 255, 206);

std::string flag(rt::Byte b) { return b ? "1" : "0"; }

}  // namespace

// ---- Connect string and take-over ----------------------------------------------------------

std::string ConnectString(const MandantRecord& c) {
    std::string s = "DRIVER=" + c.Driver.str() + ";SERVER=" + c.Server.str();
    if (c.Trusted == 1)
        s += ";Database=" + c.Datenbank.str() + ";Trusted_Connection=True";
    else
        s += ";UID=" + c.Name.str() + ";PWD=" + c.Passwort.str() + ";Database=" + c.Datenbank.str();
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
    if (fm.open() == 0) {
        MAN.ID = static_cast<rt::Long>(id);
        if (fm.fetch("MAN:KeyID") != 0) fm.clearBuffer();
        fm.close();
    } else {
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

void EditMandant() {
    const std::uint8_t request = rt::ThreadRequest;
    rt::ThreadRequest = 0;
    rt::ThreadResponse = 2;
    rt::FileManager& fm = *Access.Mandant;
    rt::pushProcedureName("EditMandant");
    if (fm.open() != 0) {
        rt::message(rt::errorText() + " " + rt::fileErrorText(), "Mandant", rt::MessageIcon::Hand);
        rt::popProcedureName();
        return;
    }
    const bool insert = request == 1, view = request == 6, remove = request == 3;
    const rt::SavedBuffer saved = fm.saveBuffer();
    if (insert) {
        // A copy keeps the values of the row it was made from; a new record starts with defaults.
        const bool copy = !MAN.Driver.empty() || !MAN.Mandant.empty();
        fm.primeRecord(copy);
        if (!copy) {
            MAN.Driver = "SQL Server";
            MAN.Server = DefaultClientServer();
        }
    }

    rt::Window w("EditMandant", "Mandant");
    w.setPosition(0, 0, 250, 150);
    w.edit().centered = true;
    int y = 6;
    auto entry = [&](int prompt, int id, const char* label, const std::string& value, int width) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y, 60, 10);
        w.add(id, rt::ControlKind::Entry).setValue(value).setPosition(70, y, width, 10).setReadOnly(view || remove);
        y += 14;
    };
    entry(PromptName, EntryName, "&Mand.Name:", MAN.Mandant.str(), 170);
    w[EntryName].setPicture("@s40");
    w.add(PromptDriver, rt::ControlKind::Prompt).setText("Driver:").setPosition(6, y, 60, 10);
    std::vector<std::string> drivers = OdbcDriverNames();
    if (!MAN.Driver.empty() && std::find(drivers.begin(), drivers.end(), MAN.Driver.str()) == drivers.end())
        drivers.push_back(MAN.Driver.str());
    std::string items;
    for (const auto& d : drivers) items += (items.empty() ? "" : "|") + d;
    auto drop = w.add(DropDriver, rt::ControlKind::DropList).setFrom(items).setPosition(70, y, 170, 10);
    drop.setTip("Mögliche Datenbank ist MS-SQL oder Firebird (Server oder Embedded-Version)");
    drop.setSelected(static_cast<int>(std::find(drivers.begin(), drivers.end(), MAN.Driver.str()) - drivers.begin()) + 1);
    drop.setValue(MAN.Driver.str());
    if (view || remove) drop.disable();
    y += 14;
    entry(PromptServer, EntryServer, "Server", MAN.Server.str(), 170);
    w[EntryServer].setPicture("@s60").setTip("Hier wird der Datenbank-Server eingetragen");
    entry(PromptDatabase, EntryDatabase, "&Datenbank:", MAN.Datenbank.str(), 170);
    w[EntryDatabase].setPicture("@s60");
    entry(PromptUser, EntryUser, "&Name:", MAN.Name.str(), 170);
    w[EntryUser].setPicture("@s60");
    entry(PromptPassword, EntryPassword, "&Passwort:", MAN.Passwort.str(), 120);
    w[EntryPassword].setPicture("@s40");
    auto check = [&](int id, const char* text, rt::Byte value, const char* tip, int x) {
        w.add(id, rt::ControlKind::Check).setText(text).setValue(flag(value)).setTip(tip).setPosition(x, y, 70, 10)
            .setEnabled(!view && !remove);
    };
    check(CheckInactive, "Inaktiv", MAN.Inaktiv, "Daten für Connectionstring sind z.Z. inaktiv", 6);
    check(CheckRegional, "Regional", MAN.Regional,
          "Schalter für Regionaleinstellungen (REGIONAL=YES, nu rbei MSSQL)", 80);
    check(CheckTrusted, "TrustedConnection", MAN.Trusted, "Schalter für TrustedConnection", 154);
    y += 18;
    w.add(Ok, rt::ControlKind::Button).setText("&OK").setPosition(130, y, 50, 14).edit().defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("&Abbrechen").setPosition(186, y, 56, 14);
    w.setSize(250, y + 20);

    bool stored = false;
    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == Cancel) {
            w.post(rt::Event::CloseWindow);
        } else if (e.control == Ok) {
            if (view) {
                w.post(rt::Event::CloseWindow);
                continue;
            }
            int rc = 0;
            if (remove) {
                rc = fm.deleteRecord();
            } else {
                MAN.Mandant = w[EntryName].value();
                MAN.Driver = w[DropDriver].value();
                MAN.Server = w[EntryServer].value();
                MAN.Datenbank = w[EntryDatabase].value();
                MAN.Name = w[EntryUser].value();
                MAN.Passwort = w[EntryPassword].value();
                MAN.Inaktiv = w[CheckInactive].value() == "1";
                MAN.Regional = w[CheckRegional].value() == "1";
                MAN.Trusted = w[CheckTrusted].value() == "1";
                rc = fm.update();
            }
            if (rc != 0) {
                rt::message(rt::errorText() + (rt::fileErrorText().empty() ? "" : "|" + rt::fileErrorText()),
                            "Mandant", rt::MessageIcon::Exclamation);
                continue;
            }
            stored = true;
            w.post(rt::Event::CloseWindow);
        }
    }
    if (!stored) {
        if (insert && fm.reserved()) fm.cancelReserved();
        fm.restoreBuffer(saved);
    }
    rt::ThreadResponse = stored ? 1 : 2;
    fm.close();
    rt::popProcedureName();
}

// ---- The client list -----------------------------------------------------------------------

void ListMandant() {
    const bool selecting = rt::ThreadRequest == 4;
    rt::ThreadRequest = 0;
    rt::ThreadResponse = 0;
    rt::FileManager& fm = *Access.Mandant;
    rt::pushProcedureName("ListMandant");
    if (fm.open() != 0) {
        rt::message(rt::errorText() + " " + rt::fileErrorText(), "Mandanten", rt::MessageIcon::Hand);
        rt::popProcedureName();
        return;
    }
    if (fm.records() == 0) {
        // An empty file gets the default client, so that there is always one to start with.
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

    rt::Window w("ListMandant", "Mandanten");
    w.setPosition(0, 0, 330, 170);
    w.edit().centered = true;
    w.add(List, rt::ControlKind::List).setPosition(4, 4, 322, 136).setColumns({
        rt::ListColumn("Mandantenname", 90), rt::ListColumn("Driver", 60), rt::ListColumn("Server", 90),
        rt::ListColumn("Datenbank", 80)});
    const struct {
        int id;
        const char* text;
        int width;
    } buttons[] = {{Select, "&Auswahl", 44}, {Copy, "Cop&y", 40},     {Insert, "&Neu", 40},
                   {Change, "&Bearbeiten", 50}, {Delete, "&Löschen", 44}, {Close, "&Schließen", 50}};
    int x = 4;
    for (const auto& b : buttons) {
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(x, 146, b.width, 14);
        x += b.width + 4;
    }
    w.alert(rt::keys::MouseRight);
    w.alert(rt::keys::Apps);

    std::vector<MandantRecord> records;
    long long loaded = 0;  // rows loaded since the list opened: the colours alternate by it
    auto load = [&](long keepId) {
        records.clear();
        std::vector<rt::ListRow> rows;
        fm.setOrder(-1);
        while (fm.next() == 0) {
            records.push_back(MAN);
            rt::ListRow row;
            rt::Color back = (loaded++ % 2 == 0) ? rt::ColorNone : kRowAlternate;
            for (const std::string& text : {MAN.Mandant.str(), MAN.Driver.str(), MAN.Server.str(), MAN.Datenbank.str()})
                row.cells.emplace_back(text, kRowText, back);
            for (auto& cell : row.cells) {
                cell.selectedFore = kRowText;
                cell.selectedBack = kRowSelected;
            }
            rows.push_back(std::move(row));
        }
        int selected = rows.empty() ? 0 : 1;
        for (std::size_t i = 0; i < records.size(); ++i)
            if (records[i].ID == keepId) selected = static_cast<int>(i) + 1;
        w[List].setRows(std::move(rows));
        w[List].setSelected(selected);
        w[Copy].setEnabled(!records.empty());
        w[Change].setEnabled(!records.empty());
        w[Delete].setEnabled(!records.empty());
        w[Select].setEnabled(!records.empty());
        if (selected) MAN = records[static_cast<std::size_t>(selected - 1)];
    };
    auto current = [&]() -> const MandantRecord* {
        int row = w[List].selected();
        if (row < 1 || row > static_cast<int>(records.size())) return nullptr;
        return &records[static_cast<std::size_t>(row - 1)];
    };
    auto form = [&](std::uint8_t request, bool copy) {
        const MandantRecord* row = current();
        if (request != 1 && !row) return;
        if (request == 1) {
            if (copy && row) MAN = *row;
            else fm.clearBuffer();
        } else {
            MAN = *row;
            if (fm.fetch("MAN:KeyID") != 0) return;
        }
        rt::ThreadRequest = request;
        EditMandant();
        load(rt::ThreadResponse == 1 && request != 3 ? MAN.ID : row ? row->ID : 0);
    };
    load(0);

    while (auto e = w.accept()) {
        switch (e.event) {
        case rt::Event::Accepted:
            switch (e.control) {
            case Select:
                if (const MandantRecord* row = current()) SwitchClient(row->ID);
                break;
            case Copy: form(1, true); break;
            case Insert: form(1, false); break;
            case Change: form(2, false); break;
            case Delete: form(3, false); break;
            case List:
                if (e.keyCode == rt::keys::MouseLeft2) form(2, false);
                break;
            case Close:
                rt::ThreadResponse = selecting ? 2 : 1;
                w.post(rt::Event::CloseWindow);
                break;
            default: break;
            }
            break;
        case rt::Event::NewSelection:
            if (e.control == List) {
                if (const MandantRecord* row = current()) MAN = *row;
            }
            break;
        case rt::Event::AlertKey:
            if (e.keyCode == rt::keys::MouseRight || e.keyCode == rt::keys::Apps) {
                const std::string off = records.empty() ? "~" : "";
                const std::string items =
                    off + "&Auswahl|-|" + off + "Cop&y|&Neu|" + off + "&Bearbeiten|" + off + "&Löschen";
                switch (rt::popup(items)) {
                case 1: if (const MandantRecord* row = current()) SwitchClient(row->ID); break;
                case 2: form(1, true); break;
                case 3: form(1, false); break;
                case 4: form(2, false); break;
                case 5: form(3, false); break;
                default: break;
                }
            }
            break;
        case rt::Event::CloseWindow:
        case rt::Event::CloseDown:
            if (rt::ThreadResponse == 0) rt::ThreadResponse = selecting ? 2 : 1;
            break;
        default: break;
        }
    }
    // The record current in the list when it closed stays in the buffer for the caller.
    if (const MandantRecord* row = current()) MAN = *row;
    fm.close();
    rt::popProcedureName();
}

// ---- The "Connect-String" window -----------------------------------------------------------

ConnectStringParts SplitConnectString(std::string_view connect) {
    ConnectStringParts p;
    p.work = std::string(rt::clip(connect));
    if (p.work.empty())
        p.work = "DRIVER=SQL Server;SERVER=" + std::string(GLO.Server.get().clipped()) +
                 ";UID=Dein_Name;PWD=Dein_Kennwort;Database=Dein_Mandant";
    p.work = std::string(rt::cutChars(p.work, 511));
    std::vector<std::string> parts = SplitToQueue(";", p.work);
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
    std::string s = "DRIVER=" + p.driver + ";SERVER=" + p.server + ";UID=" + p.user + ";PWD=" + p.password +
                    ";Database=" + p.database;
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
    w.add(CsCancel, rt::ControlKind::Button).setText("&Abbrechen").setTip("Cancel Operation")
        .setPosition(236, y + 4, 56, 14);
    w.setSize(300, y + 24);

    while (auto e = w.accept()) {
        if (e.event != rt::Event::Accepted) continue;
        if (e.control == CsOk) {
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
