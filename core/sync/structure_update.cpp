#include "core/sync/structure_update.h"

#include <algorithm>
#include <memory>
#include <set>

#include "core/clients/program_end.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/sql_helpers.h"
#include "runtime/data/back_end.h"
#include "runtime/data/dictionary.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The part after the first `sep`, or the whole text without one.
std::string afterFirst(std::string text, char sep) {
    auto pos = text.find(sep);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

// ---- Statement channel ---------------------------------------------------------------------

struct ChannelRecord {};

const rt::TableDef& channelTable() {
    static const rt::TableDef def = rt::TableBuilder<ChannelRecord>("LOCALWOR", "LOC").server("LOCALWOR").build();
    return def;
}

thread_local ChannelRecord tChannelBuffer;
thread_local std::unique_ptr<rt::FileManager> tChannel;
thread_local StructureRun tLastRun;

rt::FileManager& channel() {
    if (!tChannel) tChannel = std::make_unique<rt::FileManager>(channelTable(), &tChannelBuffer);
    return *tChannel;
}

// ---- The window "Actions performed" --------------------------------------------------------

enum { SheetActions = 1, TabStructures, ListStructures, TabSql, ListSql, ButtonScript, TabErrors, ListErrors };

void showActions(const StructureRun& run) {
    rt::Window w("StructureUpdate", kActionsTitle);
    // It opens small and grows towards the top left corner, one unit at a time on each side.
    int x = 40, y = 30, width = 380, height = 200;
    while (x > 1) {
        x -= 1;
        width += 2;
    }
    while (y > 1) {
        y -= 1;
        height += 2;
    }
    w.setPosition(x, y, width, height);

    w.add(SheetActions, rt::ControlKind::Sheet).setPosition(4, 4, width - 8, height - 30);
    w.add(TabStructures, rt::ControlKind::Tab, SheetActions).setText("Structures");
    std::vector<rt::ListColumn> columns;
    for (int width : {80, 80, 70, 45, 25, 25, 80, 20}) columns.emplace_back("", width);
    std::vector<rt::ListRow> rows;
    for (const auto& s : run.structures) {
        rt::ListRow r;
        for (std::string cell : {s.table, s.label, s.column, s.fieldType, std::to_string(s.size),
                                 std::to_string(s.places), s.sqlType, std::to_string(int(s.identity))})
            r.cells.emplace_back(std::move(cell));
        rows.push_back(std::move(r));
    }
    w.add(ListStructures, rt::ControlKind::List, TabStructures)
        .setPosition(8, 20, width - 16, height - 54)
        .setColumns(columns)
        .setRows(std::move(rows));
    w.add(TabSql, rt::ControlKind::Tab, SheetActions).setText("SQL sent");
    std::vector<rt::ListRow> sent;
    for (const auto& s : run.statements) {
        rt::ListRow r;
        r.cells.emplace_back(s);
        sent.push_back(std::move(r));
    }
    w.add(ListSql, rt::ControlKind::List, TabSql)
        .setPosition(8, 20, width - 16, height - 54)
        .setColumns({rt::ListColumn("", width - 20)})
        .setRows(std::move(sent));
    if (!run.failures.empty()) {
        // What the server refused, with its reason: the page shown first.
        w.add(TabErrors, rt::ControlKind::Tab, SheetActions).setText("Fehler");
        std::vector<rt::ListRow> failed;
        for (const auto& f : run.failures) {
            rt::ListRow r;
            r.cells.emplace_back(std::string(rt::cutChars(f.statement, 255)));
            r.cells.emplace_back(f.error);
            failed.push_back(std::move(r));
        }
        w.add(ListErrors, rt::ControlKind::List, TabErrors)
            .setPosition(8, 20, width - 16, height - 54)
            .setColumns({rt::ListColumn("Anweisung", (width - 20) / 2), rt::ListColumn("Meldung", (width - 20) / 2)})
            .setRows(std::move(failed));
        w[SheetActions].setSelected(3);
    }
    w.add(ButtonScript, rt::ControlKind::Button).setText("Script to Clipboard").setPosition(4, height - 22, 90, 16);

    while (auto e = w.accept()) {
        if (e.event == rt::Event::Accepted && e.control == ButtonScript) {
            std::string script;
            for (const auto& s : run.statements) script += s + "\r\nGO\r\n";
            rt::setClipboard(script);
            rt::message("Script is in your Windows clipboard now.", "");
        }
    }
}

}  // namespace

// ---- SchemaSync ----------------------------------------------------------------------------

const std::vector<std::string>& structureTables() {
    static const std::vector<std::string> list = {"VOQCubeKopf",  "VOQCubeDetail", "VOQGNEquates", "VOQSQLTBL",
                                                  "VOQQBESEARCH", "VOQQBEQUERY",   "ACQTBL",       "VOQProvKey",
                                                  "SQLFile",      "VOQCubeGruppe"};
    return list;
}

const std::vector<std::string>& SchemaSync::notNullLabels() {
    // CUBG:ID too: without it SQL Server refuses the primary key PK_CUBGID on the column.
    static const std::vector<std::string> list = {"CUBK:ID", "CUBD:ID", "GNE:ID", "SEA:ID",
                                                  "QUE:ID",  "PROK:ID", "CUBG:ID"};
    return list;
}

bool SchemaSync::primaryKeyName(std::string_view serverName) {
    for (std::size_t i = 0; i + 1 < serverName.size(); i += 2) {
        if (serverName[i] == 'P' && serverName[i + 1] == 'K') return true;
    }
    return false;
}

std::string SchemaSync::keyName(const rt::KeyDef& key) {
    std::string name = key.serverName.empty() ? key.label : key.serverName;
    return afterFirst(afterFirst(name, ':'), '.');
}

std::string SchemaSync::sqlType(const rt::FieldDesc& f, std::string_view backEnd, bool pair) {
    const bool access = backEnd == "ACCESS", sqlite = backEnd == "SQLITE", firebird = backEnd == "FIREBIRD";
    // PostgreSQL has no TINYINT and no DATETIME; its types are those the table layer creates there.
    const bool postgres = backEnd == "POSTGRESQL";
    std::string type;
    if (pair) {
        type = firebird || postgres ? "TIMESTAMP" : "DATETIME";
    } else {
        switch (f.type) {
        case rt::FieldType::String:
        case rt::FieldType::Memo: type = "VARCHAR(" + std::to_string(f.size) + ")"; break;
        case rt::FieldType::CString: type = "VARCHAR(" + std::to_string(f.size - 1) + ")"; break;
        case rt::FieldType::Byte: type = access ? "byte" : firebird || postgres ? "SMALLINT" : "TINYINT"; break;
        case rt::FieldType::Long:
        case rt::FieldType::Short:
        case rt::FieldType::Time: type = "INT"; break;
        case rt::FieldType::Decimal:
            type = access   ? "CURRENCY"
                   : sqlite ? "NUMERIC"
                            : "DECIMAL(" + std::to_string(f.size) + "," + std::to_string(f.places) + ")";
            break;
        case rt::FieldType::Date: type = sqlite || firebird || postgres ? "DATE" : "DATETIME"; break;
        case rt::FieldType::Blob: break;
        case rt::FieldType::Group: return {};
        }
    }
    if (f.size > 256 || f.type == rt::FieldType::Blob) {
        if (access)
            type = "memo";
        else if (firebird && f.size > 0)
            type = "VARCHAR(" + std::to_string(f.size - 1) + ")";
        else if (postgres && f.type == rt::FieldType::Blob)
            type = "BYTEA";
        else
            type = "TEXT";
    }
    return type;
}

std::string SchemaSync::columnName(const rt::FieldDesc& f) const {
    std::string name = f.column.empty() ? f.name : f.column;
    auto bar = name.find('|');
    if (bar != std::string::npos) name.resize(bar);
    return rt::upper(name);
}

void SchemaSync::handleTable(rt::FileManager& table) {
    const rt::TableDef& def = table.def();
    if (def.store != rt::StoreKind::Server) return;  // a local file is no SQL table
    const std::string connect = table.connectString();
    std::string name = table.name();
    const std::string up = rt::upper(connect);
    backEnd_ = rt::detectBackEnd(connect, "ODBC", backEnd_);
    if ((contains(up, "SQL SERVER") || contains(up, "SQL NATIVE CLIENT")) && !contains(name, "."))
        schemaPrefix_ = "dbo.";
    if ((backEnd_ == "SQLITE" || backEnd_ == "FIREBIRD") && contains(name, ".")) {
        name = name.substr(std::min<std::size_t>(4, name.size()));
        table.setName(name);
    }
    columns(table, name);
    dropIndexes(def, name);
    keys(def, name);
}

bool SchemaSync::exists(const std::string& name, const std::string& columns) const {
    return probe_ && probe_("SELECT " + columns + " FROM " + name + " WHERE 1=0");
}

void SchemaSync::columns(rt::FileManager& table, const std::string& name) {
    const auto& fields = table.desc().fields();
    const auto& notNull = notNullLabels();
    // Without a probe every statement is sent, the failing ones too (the table there already).
    const bool tableThere = exists(name, "*");
    // A table made in this run has no index to drop yet.
    createdNow_ = probe_ && !tableThere;
    bool first = !tableThere;
    if (first && backEnd_ == "POSTGRESQL") {
        // PostgreSQL makes no schema on its own: the tables' "dbo" is made with the first of them.
        const auto dot = name.find('.');
        if (dot != std::string::npos && schemas_.insert(rt::upper(name.substr(0, dot))).second)
            send_("CREATE SCHEMA IF NOT EXISTS " + name.substr(0, dot));
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const rt::FieldDesc& f = fields[i];
        if (f.type == rt::FieldType::Group) continue;
        bool pair = f.type == rt::FieldType::String && f.size == 8 && i + 3 < fields.size() &&
                    fields[i + 1].type == rt::FieldType::Group && fields[i + 2].type == rt::FieldType::Date &&
                    fields[i + 3].type == rt::FieldType::Time;
        std::string column = columnName(f);
        std::string label = rt::upper(f.label);
        std::string type = sqlType(f, backEnd_, pair);
        if (std::find(notNull.begin(), notNull.end(), label) != notNull.end()) type += " NOT NULL";
        if (first) {
            if (backEnd_ == "SQLITE")
                send_("CREATE TABLE " + schemaPrefix_ + name + " (" + column + " " + type + " PRIMARY KEY)");
            else
                send_("create table " + schemaPrefix_ + name + " (" + column + " " + type + ")");
            first = false;
        }
        if (!probe_ || !exists(name, column)) send_("alter table " + name + " add " + column + " " + type);
        StructureEntry entry;
        entry.table = schemaPrefix_ + name;
        entry.label = label;
        entry.column = column;
        entry.fieldType = pair ? "DATETIME" : rt::fieldTypeName(f.type);
        entry.size = static_cast<long>(f.size);
        entry.places = f.places;
        entry.sqlType = type;
        structures_.push_back(std::move(entry));
        if (pair) i += 3;
    }
}

void SchemaSync::dropIndexes(const rt::TableDef& def, const std::string& name) {
    if (createdNow_) return;
    // PostgreSQL and SQLite drop what is there and nothing else. A primary key is PostgreSQL's
    // constraint; SQLite keeps the one its table was created with.
    const bool postgres = backEnd_ == "POSTGRESQL", sqlite = backEnd_ == "SQLITE";
    const auto dot = name.find('.');
    const std::string schema = dot == std::string::npos ? std::string() : name.substr(0, dot + 1);
    for (const auto& key : def.keys) {
        std::string keyText = keyName(key);
        const bool pk = key.primary() && primaryKeyName(key.serverName);
        if (postgres || sqlite) {
            std::string sql;
            if (pk && postgres)
                sql = "ALTER TABLE " + name + " DROP CONSTRAINT IF EXISTS " + key.serverName;
            else if (!pk)
                sql = "DROP INDEX IF EXISTS " + (postgres ? schema : std::string()) + keyText;
            if (sql.empty()) continue;
            log_(sql);
            send_(sql);
            continue;
        }
        if (primaryKeyName(key.serverName))
            log_("ALTER TABLE " + name + " DROP CONTRAINT " + key.serverName);
        else
            log_("DROP INDEX " + keyText + " ON " + name);
        send_("DROP INDEX " + keyText + " on " + name);
    }
}

void SchemaSync::keys(const rt::TableDef& def, const std::string& name) {
    for (const auto& key : def.keys) {
        std::string keyText = keyName(key);
        const bool pk = primaryKeyName(key.serverName);
        // SQLite cannot add a primary key to a table: it has the one it was created with.
        if (backEnd_ == "SQLITE" && key.primary() && pk) continue;
        if (key.primary()) log_("Name: " + key.serverName + " " + keyText);
        std::string sql;
        if (key.primary() && pk)
            sql = "ALTER TABLE " + name + " ADD CONSTRAINT " + key.serverName + " PRIMARY KEY (";
        else if (key.primary() || key.unique())
            sql = "create unique index " + keyText + " on " + name + " (";
        else
            sql = "create index " + keyText + " on " + name + " (";
        for (std::size_t c = 0; c < key.components.size(); ++c) {
            if (c) sql += ",";
            sql += columnName(def.record.field(static_cast<std::size_t>(key.components[c])));
        }
        sql += ")";
        if (pk && backEnd_ != "FIREBIRD" && backEnd_ != "SQLITE" && backEnd_ != "POSTGRESQL")
            sql += " WITH (IGNORE_DUP_KEY = OFF, ONLINE = OFF) ON [PRIMARY]";
        log_(sql);
        send_(sql);
    }
}

// ---- The run -------------------------------------------------------------------------------

const StructureRun& lastStructureRun() { return tLastRun; }

bool WidenConnectColumn(std::string* sent) {
    rt::RelationManager* rm = Relate.ACQTBL;
    rt::FileManager* fm = Access.ACQTBL;
    rm->open();
    fm->clearBuffer();
    const std::string query = "SELECT CHARACTER_MAXIMUM_LENGTH FROM " + GLO.Database.get().str() +
                              ".[INFORMATION_SCHEMA].[COLUMNS] WHERE [TABLE_NAME] = 'VOQCUBEKOPF' AND COLUMN_NAME = "
                              "'CONNECT'";
    fm->setSql(query);
    rt::setClipboard(query);
    bool widened = false;
    if (fm->next() == 0 && SqlVariable::leadingNumber(AQRY.C01.str()) == 100) {
        const std::string alter = "ALTER TABLE [dbo].[VOQCUBEKOPF] ALTER COLUMN [CONNECT] VARCHAR(256)";
        if (sent) *sent = alter;
        widened = fm->setSql(alter) == 0;
    }
    rm->close();
    return widened;
}

bool SynchroniseStructures(StructureRun& run, std::string& error) {
    run = StructureRun();
    rt::FileManager& ch = channel();
    ch.setConnectString(GLO.ConnectString.get().str());
    if (ch.open(rt::OpenMode::ReadWrite) == rt::ErrFileSystem) {
        error = rt::errorText() + "\r\n\r\n" + rt::fileErrorText();
        return false;
    }

    auto log = [](const std::string& line) { AppendLogLine(kStructureLog, line); };
    // Only what the server took is listed as sent; a refusal is kept with the driver's text.
    auto send = [&](const std::string& sql) {
        if (ch.setSql(sql) == 0) {
            run.statements.emplace_back(rt::cutChars(sql, 255));
            return true;
        }
        std::string error = rt::fileErrorText();
        if (error.empty()) error = rt::errorText();
        run.failures.push_back({sql, error});
        log("Fehler: " + error);
        return false;
    };
    auto probe = [&](const std::string& query) { return ch.setSql(query) == 0; };

    std::set<std::string> skip;
    for (const auto& label : structureTables()) {
        rt::FileManager* fm = rt::fileManager(label);
        if (!fm) continue;
        // The test opens the table as it is; the table layer must not create it on the way.
        const bool create = fm->createFlag();
        fm->setCreate(false);
        const int rc = fm->open(rt::OpenMode::ReadWrite);
        fm->setCreate(create);
        if (rc == 0) {
            fm->close();
            skip.insert(label);
        } else {
            log(label + " aktualisiert am " + rt::formatPicture(std::int64_t(rt::today()), "@d17") + ", " +
                rt::formatPicture(std::int64_t(rt::clockTime()), "@t7"));
            run.logged.push_back(label);
        }
    }
    skip.insert("tversion");
    skip.insert("VOQDBUpdateLog");

    SchemaSync sync(send, log, probe);
    for (const auto& label : structureTables()) {
        if (skip.count(label)) continue;
        if (rt::FileManager* fm = rt::fileManager(label)) sync.handleTable(*fm);
    }
    run.structures = sync.structures();
    run.widened = WidenConnectColumn(&run.widening);
    return true;
}

void StructureUpdate() {
    StructureRun run;
    std::string error;
    if (!SynchroniseStructures(run, error)) {
        rt::message(error, "");
        tLastRun = run;
        // The program cannot work without its server: an error end, not a normal one.
        EndProgramNow(1);
    }
    if (!run.logged.empty()) {
        run.windowShown = true;
        tLastRun = run;
        showActions(run);
    }
    tLastRun = run;
    channel().close();
}
