#include "core/updater/updater.h"

#include <algorithm>
#include <filesystem>

#include "core/dictionary/records.h"
#include "core/dictionary/tables.h"
#include "runtime/data/errors.h"
#include "runtime/data/file_manager.h"
#include "runtime/os/trace.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

constexpr std::size_t kQuoteLimit = 499'999;
constexpr std::size_t kSummaryLimit = 799'999;
constexpr std::size_t kLogEntryLimit = 499;
constexpr std::size_t kStatementLimit = 9'999;
constexpr std::size_t kTraceLimit = 9'999;
constexpr std::size_t kErrorLimit = 1'000;
constexpr int kRecordsPerTick = 3;

const char* const kCrLf = "\r\n";

// Each single quote doubled.
std::string doubledQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string clipped(std::string_view text) { return std::string(rt::clip(text)); }

// Every occurrence of each placeholder replaced; replaced text is not searched again.
std::string fillPlaceholders(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [name, value] : values) {
            if (text.compare(i, name.size(), name) == 0) {
                out += value;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

bool handledType(std::string_view type) {
    for (const char* t : {"Function", "Stored Procedure", "Procedure", "View", "Trigger"})
        if (type == t) return true;
    return false;
}

// The first "CREATE" (any case) replaced by "Alter".
std::string createToAlter(const std::string& script) {
    const std::string up = rt::upper(script);
    const auto pos = up.find("CREATE");
    if (pos == std::string::npos) return script;
    return script.substr(0, pos) + "Alter" + script.substr(pos + 6);
}

// ---- The real statement channel ------------------------------------------------------------

struct ChannelRecord {
    rt::CString<128001> c1, c2, c3;
};

const rt::TableDef& channelTable() {
    static const rt::TableDef def = rt::TableBuilder<ChannelRecord>("KRUSQL", "KRU")
                                        .server("KRUSQL")
                                        .driverOptions("/TURBOSQL=TRUE")
                                        .field(&ChannelRecord::c1, "c1", "@s255")
                                        .field(&ChannelRecord::c2, "c2", "@s255")
                                        .field(&ChannelRecord::c3, "c3", "@s255")
                                        .build();
    return def;
}

class OdbcStatementChannel : public StatementChannel {
public:
    StatementResult run(const std::string& connect, const std::string& sql) override {
        StatementResult r;
        auto buffer = std::make_unique<ChannelRecord>();
        rt::FileManager fm(channelTable(), buffer.get());
        fm.setConnectString(connect);
        auto failed = [&] {
            std::string text = rt::errorCode() == rt::ErrFileSystem ? rt::fileErrorText() : rt::errorText();
            if (text.empty()) text = rt::errorText();
            // "no rows" is not an error of the statement.
            if (contains(text, "Record Not Available")) return false;
            r.failed = true;
            r.error = text;
            return true;
        };
        if (fm.open() != 0) {
            failed();
            r.failed = true;
            return r;
        }
        if (fm.setSql(sql) != 0) {
            failed();
        } else {
            int rc;
            while ((rc = fm.next()) == 0) r.rows.push_back({buffer->c1.str(), buffer->c2.str(), buffer->c3.str()});
            if (rc != rt::ErrRecordNotAvailable) failed();
        }
        fm.close();
        return r;
    }
};

// ---- The progress window -------------------------------------------------------------------

enum { ProgressBar = 1, ProgressText, ProgressPercent, ProgressCancel };

}  // namespace

std::unique_ptr<StatementChannel> MakeOdbcStatementChannel() { return std::make_unique<OdbcStatementChannel>(); }

struct KRUUpdater::Script {
    std::string type;
    std::string name;
    long version = 0;
    std::string text;
};

KRUUpdater::KRUUpdater() : KRUUpdater(MakeOdbcStatementChannel()) {}
KRUUpdater::KRUUpdater(std::unique_ptr<StatementChannel> channel) : channel_(std::move(channel)) {}
KRUUpdater::~KRUUpdater() = default;

// ---- Statement texts -----------------------------------------------------------------------

std::string KRUUpdater::doubleQuotes(std::string_view text) {
    return doubledQuotes(rt::cutChars(rt::clip(text), kQuoteLimit));
}

std::string KRUUpdater::Q(std::string_view text) { return "'" + doubleQuotes(text) + "'"; }

std::string KRUUpdater::bracketed(std::string_view name) {
    std::string out = "[";
    for (char c : rt::clip(name)) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

std::string KRUUpdater::createLogTableSql() {
    return std::string("CREATE TABLE [dbo].[VOQDBUpdateLog]( ") + kCrLf + "\t[DBU_TableName] [varchar](50) NOT NULL, " +
           kCrLf + "\t[DBU_Version] [int] NOT NULL, " + kCrLf + "\t[DBU_Type] [varchar](30) NOT NULL, " + kCrLf +
           "\t[DBU_Updated] [datetime] NOT NULL, " + kCrLf + "\t[DBU_Statement] [varchar](max) NOT NULL, " + kCrLf +
           " CONSTRAINT [DBU_ByTableName] PRIMARY KEY CLUSTERED " + kCrLf + "( " + kCrLf + "\t[DBU_TableName] ASC, " +
           kCrLf + "\t[DBU_Version] ASC " + kCrLf +
           ")WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, "
           "ALLOW_PAGE_LOCKS = ON) ON [PRIMARY] " +
           kCrLf + ") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY] " + kCrLf + " " + kCrLf;
}

std::string KRUUpdater::dropSql(std::string_view type, std::string_view name) {
    const std::string n = clipped(name);
    const std::string upperQ = rt::upper(Q(n));
    if (type == "Trigger")
        return "IF EXISTS(SELECT Name FROM sysobjects WHERE UPPER(Name) = " + upperQ +
               " AND Type = 'TR') DROP TRIGGER " + bracketed(n);
    if (type == "View")
        return "IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = " + Q(n) + ") DROP VIEW " +
               bracketed(n);
    if (type == "Function")
        return "IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.ROUTINES WHERE UPPER(ROUTINE_NAME) = " + upperQ +
               ") DROP FUNCTION " + bracketed(n);
    return "IF EXISTS(SELECT * FROM INFORMATION_SCHEMA.ROUTINES WHERE UPPER(ROUTINE_NAME) = " + upperQ +
           ") DROP PROCEDURE " + bracketed(n);
}

namespace {

const char* const kVersionQuery =
    "SELECT CAST(Value AS nvarchar(500)) AS [Version] \r\nFROM sys.extended_properties AS ep \r\nWHERE ep.major_id = "
    "OBJECT_ID(N'[OBJECTNAME]') \r\nAND ep.name = N'[PROPERTYNAME]' AND ep.minor_id = 0;";

// The property batch: one T-SQL program for both; `proc` the system procedure, `word` the name
// in the four-part refusal, `verb` the words of the error texts.
std::string batchText(bool update) {
    const std::string proc = update ? "sys.sp_updateextendedproperty" : "sys.sp_addextendedproperty";
    const std::string word = update ? "PropUpdate" : "PropInsert";
    const std::string verb = update ? "updating property on the" : "adding property to the";
    const std::string call = "EXEC " + proc + " @name = @propertyName, @value = @propertyValue";
    const std::string objectType =
        "    SELECT @objectType = CASE type\r\n"
        "        WHEN 'U' THEN N'TABLE' WHEN 'IT' THEN N'TABLE' WHEN 'S' THEN N'TABLE'\r\n"
        "        WHEN 'V' THEN N'VIEW'\r\n"
        "        WHEN 'P' THEN N'PROCEDURE' WHEN 'X' THEN N'PROCEDURE' WHEN 'PC' THEN N'PROCEDURE'\r\n"
        "        WHEN 'AF' THEN N'AGGREGATE'\r\n"
        "        WHEN 'FT' THEN N'FUNCTION' WHEN 'FN' THEN N'FUNCTION' WHEN 'IF' THEN N'FUNCTION' WHEN 'TF' THEN "
        "N'FUNCTION'\r\n"
        "        WHEN 'SN' THEN N'SYNONYM'\r\n"
        "        WHEN 'SQ' THEN N'QUEUE'\r\n"
        "        END FROM sys.objects WHERE object_id = @objectId;\r\n";
    auto catchPart = [&](const std::string& text) {
        return "END TRY\r\nBEGIN CATCH\r\n"
               "    SELECT @errorSeverity = error_severity(), @errorState = error_state(),\r\n"
               "           @errorMessage = error_message() + " +
               text +
               ";\r\n"
               "    RAISERROR (@errorMessage, @errorSeverity, @errorState);\r\n"
               "    IF xact_state() <> 0 ROLLBACK TRANSACTION;\r\n"
               "    RETURN;\r\n"
               "END CATCH\r\n";
    };
    std::string s;
    s += "DECLARE @objectId INTEGER;\r\n";
    s += "DECLARE @objectName SYSNAME, @propertyName SYSNAME, @objectType SYSNAME, @part1 SYSNAME, @part2 SYSNAME, "
         "@part3 SYSNAME, @part4 SYSNAME, @databaseName SYSNAME, @schemaName SYSNAME, @schemaObjectName SYSNAME, "
         "@columnName SYSNAME;\r\n";
    s += "DECLARE @propertyValue SQL_VARIANT;\r\n";
    s += "DECLARE @errorMessage VARCHAR(8000), @errorState TINYINT, @errorSeverity SMALLINT;\r\n";
    s += "SET @objectName = '[OBJECTNAME]';\r\nSET @propertyName = '[PROPERTYNAME]';\r\n"
         "SET @propertyValue = '[PROPERTYVALUE]';\r\n";
    s += "SET @part1 = parsename(@objectName, 1);\r\nSET @part2 = parsename(@objectName, 2);\r\n"
         "SET @part3 = parsename(@objectName, 3);\r\nSET @part4 = parsename(@objectName, 4);\r\n"
         "SET @propertyName = coalesce(@propertyName, N'MS_Description');\r\n";
    s += "IF @part4 IS NOT NULL\r\nBEGIN\r\n    RAISERROR (N'Cannot specify 4-part names in " + word +
         ".', 18, 127) WITH NOWAIT, SETERROR;\r\n    IF xact_state() <> 0 ROLLBACK TRANSACTION;\r\n    "
         "RETURN;\r\nEND\r\n";
    // The database.
    s += "IF @part1 IS NULL\r\nBEGIN\r\nBEGIN TRY\r\n    " + call + ";\r\n" +
         catchPart("' Error occurred while " + verb + " current database.'") + "END\r\n";
    // A schema.
    s += "ELSE IF @part2 IS NULL\r\nBEGIN\r\nBEGIN TRY\r\n    " + call +
         ", @level0type = N'SCHEMA', @level0name = @part1;\r\n" +
         catchPart("' Error occurred while " + verb + " [' + @part1 + '] schema.'") + "END\r\n";
    // An object of a schema.
    s += "ELSE IF @part3 IS NULL\r\nBEGIN\r\n    SET @objectId = object_id(@objectName);\r\n" + objectType +
         "BEGIN TRY\r\n    " + call +
         ", @level0type = N'SCHEMA', @level0name = @part2, @level1type = @objectType, @level1name = @part1;\r\n" +
         catchPart("' Error occurred while " + verb +
                   " [' + @part2 + '].[' + @part1 + '] ' + coalesce(@objectType, N'') + '.'") +
         "END\r\n";
    // A column of an object.
    const std::string columnLookup =
        "    SET @columnName = @part1; SET @schemaObjectName = @part2; SET @schemaName = "
        "@part3;\r\n    SET @objectId = object_id(N'[' + @schemaName + '].[' + "
        "@schemaObjectName + N']');\r\n" +
        objectType;
    const std::string columnCall = "    " + call +
                                   ", @level0type = N'SCHEMA', @level0name = @schemaName, @level1type = @objectType, "
                                   "@level1name = @schemaObjectName, @level2type = N'COLUMN', @level2name = "
                                   "@columnName;\r\n";
    const std::string columnCatch = catchPart("' Error occurred while " + verb +
                                              " [' + @schemaName + '].[' + @schemaObjectName + '].[' + @columnName + "
                                              "'] column.'");
    s += "ELSE\r\nBEGIN\r\n";
    // The update batch's TRY covers the object lookup too.
    if (update)
        s += "BEGIN TRY\r\n" + columnLookup + columnCall + columnCatch;
    else
        s += columnLookup + "BEGIN TRY\r\n" + columnCall + columnCatch;
    s += "END\r\n";
    return s;
}

}  // namespace

std::string KRUUpdater::propertyCountSql(std::string_view object, std::string_view property) {
    std::string q = kVersionQuery;
    const std::string selected = "CAST(Value AS nvarchar(500)) AS [Version]";
    q.replace(q.find(selected), selected.size(), "COUNT(*)");
    return fillPlaceholders(q, {{"[OBJECTNAME]", doubleQuotes(object)}, {"[PROPERTYNAME]", doubleQuotes(property)}});
}

std::string KRUUpdater::propertyBatch(bool update, std::string_view object, std::string_view property,
                                      std::string_view value) {
    return fillPlaceholders(batchText(update), {{"[OBJECTNAME]", doubleQuotes(object)},
                                                {"[PROPERTYNAME]", doubleQuotes(property)},
                                                {"[PROPERTYVALUE]", doubleQuotes(value)}});
}

// ---- Statements and trace ------------------------------------------------------------------

void KRUUpdater::trace(const std::string& message) {
    if (traceOff_) return;
    const std::string line = marker_ + " " + std::string(rt::cutChars(message, kTraceLimit));
    if (traceSink_)
        traceSink_(line);
    else
        rt::trace(line);
}

bool KRUUpdater::exec(const std::string& statement, StatementResult* result) {
    std::string sql = statement;
    bool starred = false;
    if (!sql.empty() && sql[0] == '*') {
        sql.erase(0, 1);
        starred = true;
    }
    if (traceAllSql_ || starred) trace(sql);
    StatementResult r = channel_->run(connect_, sql);
    lastError_ = r.failed ? std::string(rt::cutChars(r.error, kErrorLimit)) : std::string();
    const bool ok = !r.failed;
    if (result) *result = std::move(r);
    return ok;
}

void KRUUpdater::addLog(const std::string& message, const std::string& name, const std::string& installed,
                        const std::string& version, const std::string& status) {
    std::string entry = clipped(message) + "|" + clipped(name) + "|" + clipped(installed) + "|" + clipped(version) +
                        "|" + clipped(status);
    log_.emplace_back(rt::cutChars(entry, kLogEntryLimit));
    trace(message);
}

bool KRUUpdater::tableExists(const std::string& catalog, const std::string& schema, const std::string& table) {
    const std::string sql = "SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_CATALOG = " +
                            Q(catalog.empty() ? database_ : catalog) +
                            " AND TABLE_SCHEMA = " + Q(schema.empty() ? "dbo" : schema) +
                            " AND TABLE_NAME = " + Q(table);
    StatementResult r;
    if (!exec(sql, &r) || r.rows.empty()) return false;
    return std::atol(r.rows[0][0].c_str()) != 0;
}

void KRUUpdater::loadInstalledVersions() {
    installed_.clear();
    StatementResult r;
    exec(
        "SELECT DBU_Type,DBU_TableName,MAX(DBU_Version) FROM VOQDBUpdateLog dl  Where DBU_Type "
        "IN('Function','Stored Procedure','Procedure','View','Trigger') GROUP by DBU_Type,DBU_TableName ORDER BY "
        "DBU_Type,DBU_TableName",
        &r);
    for (const auto& row : r.rows) installed_.push_back({clipped(row[0]), clipped(row[1]), std::atol(row[2].c_str())});
}

long KRUUpdater::installedVersionOf(const std::string& name) const {
    // Object names compare case-blind, as the server does.
    for (const auto& v : installed_)
        if (rt::equalsNoCase(v.tableName, name)) return v.version;
    return 0;
}

void KRUUpdater::setExtendedProperty(const std::string& object, const std::string& property, const std::string& value) {
    StatementResult r;
    const bool exists =
        exec(propertyCountSql(object, property), &r) && !r.rows.empty() && std::atol(r.rows[0][0].c_str()) != 0;
    exec(propertyBatch(exists, object, property, value));
}

void KRUUpdater::installObject(const Script& s, long installed, bool& forceSummary) {
    const std::string& name = s.name;
    const std::string version = std::to_string(s.version);
    const std::string header = "/*** Published: " + rt::formatPicture(std::int64_t(rt::today()), "@d17") + ", " +
                               rt::formatPicture(std::int64_t(rt::clockTime()), "@t7") + ", Version: " + version +
                               " ***/" + kCrLf;
    const bool renamed = exec("sp_rename " + Q(name) + ", " + Q(name + "_TMP"));
    if (!renamed) {
        // A new object: try it as a change of an existing one first, quietly.
        const std::string altered = createToAlter(s.text);
        trace(altered);
        exec(header + kCrLf + altered);
    }
    if (!exec(header + kCrLf + s.text)) {
        marker_ = "[Update Error]";
        addLog("Error: " + lastError_, name, std::to_string(installed), version, "ERR");
        marker_ = "[KRU]";
        forceSummary = true;
        // The old object gets its name back.
        if (renamed) exec("sp_rename " + Q(name + "_TMP") + ", " + Q(name));
        return;
    }
    if (s.type != "Trigger") setExtendedProperty("dbo." + name, "Version", version);
    addLog("Updated version from " + std::to_string(installed) + " to " + version, name, std::to_string(installed),
           version, "OK");
    const std::string statement =
        s.text.empty() ? std::string("Initial Entry") : std::string(rt::cutChars(s.text, kStatementLimit));
    if (!exec("Insert Into dbo.VOQDBUpdateLog Values('" + doubleQuotes(name) + "'," + version + "," + "'" +
              doubleQuotes(s.type) + "'," + "current_timestamp," + "'" + doubleQuotes(statement) + "')")) {
        forceSummary = true;
    } else if (s.type != "Trigger") {
        setExtendedProperty("dbo." + name, "Version", version);
    }
    if (renamed) exec(dropSql(s.type == "Stored Procedure" ? "Procedure" : s.type, name + "_TMP"));
}

void KRUUpdater::writeSummary() {
    StatementResult guid;
    exec("SELECT NEWID()", &guid);
    const std::string id = guid.rows.empty() ? std::string() : std::string(rt::cutChars(guid.rows[0][0], 30));
    std::string joined;
    for (const auto& e : log_) joined += "[]" + e;
    // Cut to what the row holds first, then double the quotes of all that is kept.
    const std::string doubled = doubledQuotes(rt::clip(rt::cutChars(joined, kSummaryLimit)));
    exec(
        "Insert Into dbo.VOQDBUpdateLog Values('Update Log',ISNULL((Select max(dbu_version)+1 From VOQdbupdatelog "
        "where dbu_tablename = 'Update Log'),1),'" +
        doubleQuotes(id) + "'," + "current_timestamp," + "'" + doubled + "')");
}

// ---- The run -------------------------------------------------------------------------------

void KRUUpdater::scriptLoop(const UpdaterArgs& args) {
    std::string file = clipped(args.file);
    const std::string folder = clipped(args.folder);
    if (!contains(file, "\\") && !contains(file, "/")) {
        if (!folder.empty())
            file = folder + "\\" + file;
        else
            file = std::filesystem::current_path().string() + "/" + file;
    }
    SKRIPTRecord record;
    rt::FileManager store(dictionary::SKRIPT(), &record);
    store.setName(file);
    store.setCreate(false);
    if (store.open() != 0) {
        addLog("Error opening TPS file: " + file + ", " + rt::errorText(), "", "", "", "");
        return;
    }
    const long long total = std::max<long long>(store.records(), 0);

    if (!tableExists("", "", "VOQDBUpdateLog")) exec(createLogTableSql());
    loadInstalledVersions();

    rt::Window w("KRUUpdater", "Progress...");
    w.setSize(150, 60);
    w.edit().centered = true;
    w.add(ProgressBar, rt::ControlKind::Progress).setRange(0, 100).setValue("0").setPosition(8, 6, 134, 10);
    w.add(ProgressText, rt::ControlKind::Prompt).setText("Updating SQL Scripts...").setPosition(8, 20, 134, 10);
    w.add(ProgressPercent, rt::ControlKind::Prompt).setText("").setPosition(8, 32, 134, 10);
    w.add(ProgressCancel, rt::ControlKind::Button).setText("Cancel").setPosition(50, 44, 50, 14);
    if (args.showWindow == 0) w.setHidden(true);
    w.setTimer(timer_);

    record = SKRIPTRecord{};
    store.setFrom("UPD:BY_ORDERTOEXECUTE");
    bool installedSomething = false;
    long processed = 0;
    long percent = -1;
    bool atEnd = false;
    while (auto e = w.accept()) {
        if (e.event == rt::Event::Accepted && e.control == ProgressCancel) break;
        if (e.event != rt::Event::Timer) continue;
        if (atEnd) break;
        for (int n = 0; n < kRecordsPerTick; ++n) {
            if (store.next() != 0) {
                atEnd = true;
                break;
            }
            Script s{clipped(record.TYPE.str()), clipped(record.NAME.str()), record.VERSION, record.SCRIPT.str()};
            if (!handledType(s.type)) continue;
            ++processed;
            const long now = total > 0 ? static_cast<long>(std::min<long long>(processed * 100 / total, 100)) : 100;
            if (now != percent) {
                percent = now;
                w[ProgressBar].setValue(std::to_string(percent));
                w[ProgressPercent].setText(std::to_string(percent) + "% Completed");
            }
            const long installed = installedVersionOf(s.name);
            if (installed >= s.version && args.force == 0) {
                trace("Update wird nicht durchgeführt für " + s.name + " Version " + std::to_string(s.version) +
                      " Installierte Version " + std::to_string(installed));
                addLog("Versions were equal, skipped update. ", s.name, std::to_string(installed),
                       std::to_string(s.version), "SKIP");
            } else {
                trace("Update wird durchgeführt für " + s.name + " Version " + std::to_string(s.version) +
                      " Installierte Version " + std::to_string(installed));
                installedSomething = true;
                installObject(s, installed, installedSomething);
            }
        }
    }
    w.close();
    store.close();
    if (installedSomething) writeSummary();
}

long KRUUpdater::VOQUpdater(const UpdaterArgs& args) {
    const std::string server = clipped(args.server), user = clipped(args.user), password = clipped(args.password),
                      database = clipped(args.database);
    const std::string driver = args.driver.empty() ? std::string("SQL SERVER") : clipped(args.driver);
    if (args.trusted != 0)
        connect_ = "DRIVER=" + driver + ";SERVER=" + server + ";Database=" + database + ";TRUSTED_CONNECTION=Yes";
    else
        connect_ =
            "DRIVER=" + driver + ";SERVER=" + server + ";UID=" + user + ";PWD=" + password + ";Database=" + database;
    database_ = database;
    if (server.empty()) {
        rt::message("--KRUUpdater - Server value not passed.");
        return 0;
    }
    if (database.empty()) {
        rt::message("--KRUUpdater - Database value not passed.");
        return 0;
    }
    traceOff_ = args.traceMode == 0;
    traceAllSql_ = args.traceMode == 2;
    marker_ = "[KRU]";
    log_.clear();
    lastError_.clear();
    scriptLoop(args);
    return 3;
}
