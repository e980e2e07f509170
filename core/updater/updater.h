// The SQL object updater: installs the versioned views, functions, procedures and triggers of an
// update-script file into the client's database, newer versions only (or all, forced), logs each
// installation and a summary row in VOQDBUpdateLog and stores the version as the extended
// property "Version" of the object.
//
//   KRUUpdater updater;                        // lives as long as the update-script list
//   UpdaterArgs args;
//   args.file = GLO.SCRIPT.get().str();
//   args.server = ...; args.database = ...;
//   updater.VOQUpdater(args);                  // 0: server or database missing, else 3
//
// Every statement goes through one StatementChannel: the real one sends it over ODBC as a
// table's SQL text on the run's connection; tests put a recording one in its place.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"
#include "runtime/text/strings.h"

// One statement's outcome: rows of up to three text columns, or the driver's error text.
struct StatementResult {
    bool failed = false;
    std::string error;  // the driver's text, when failed
    std::vector<std::array<std::string, 3>> rows;
};

class StatementChannel {
public:
    virtual ~StatementChannel() = default;
    // Sends one statement on the given connection text (opened and closed per statement).
    virtual StatementResult run(const std::string& connect, const std::string& sql) = 0;
};

// The real channel: a server table over ODBC whose SQL text is the statement; three text
// columns of 128,000 characters, no login prompt.
std::unique_ptr<StatementChannel> MakeOdbcStatementChannel();

// The run's arguments, in the order the update-script list passes them.
struct UpdaterArgs {
    std::string folder;
    std::string file;
    std::string owner;
    std::string server;
    std::string user;
    std::string password;
    std::string database;
    long trusted = 0;
    rt::Byte force = 0;
    long traceMode = 1;  // 0 none, 1 messages and "*" statements, 2 messages and every statement
    long showWindow = 1;
    // The client's own ODBC driver for the connection text (a client record's driver); empty:
    // "SQL SERVER".
    std::string driver;
};

// One entry of the installed-versions queue.
struct InstalledVersion {
    std::string type;
    std::string tableName;
    long version = 0;
};

class KRUUpdater {
public:
    KRUUpdater();
    explicit KRUUpdater(std::unique_ptr<StatementChannel> channel);
    ~KRUUpdater();
    KRUUpdater(const KRUUpdater&) = delete;
    KRUUpdater& operator=(const KRUUpdater&) = delete;

    long VOQUpdater(const UpdaterArgs& args);

    // ---- What a run leaves behind (for the list and tests) ----
    const std::vector<std::string>& logEntries() const { return log_; }
    const std::vector<InstalledVersion>& installedVersions() const { return installed_; }
    const std::string& lastError() const { return lastError_; }
    const std::string& connectText() const { return connect_; }
    // Trace lines go to rt::trace; tests may catch them here.
    void setTraceSink(std::function<void(const std::string&)> sink) { traceSink_ = std::move(sink); }
    // The progress window's timer in hundredths of a second.
    void setTimerInterval(int hundredths) { timer_ = hundredths; }

    // ---- Statement texts (public for tests) ----
    static std::string Q(std::string_view text);             // quoted, quotes doubled, clipped
    static std::string doubleQuotes(std::string_view text);  // quotes doubled, clipped, cut at 499,999
    static std::string bracketed(std::string_view name);     // "[" name "]" with "]" doubled
    static std::string createLogTableSql();
    static std::string dropSql(std::string_view type, std::string_view name);
    static std::string propertyBatch(bool update, std::string_view object, std::string_view property,
                                     std::string_view value);
    static std::string propertyCountSql(std::string_view object, std::string_view property);

private:
    struct Script;
    bool exec(const std::string& sql, StatementResult* result = nullptr);
    void trace(const std::string& message);
    void addLog(const std::string& message, const std::string& name, const std::string& installed,
                const std::string& version, const std::string& status);
    bool tableExists(const std::string& catalog, const std::string& schema, const std::string& table);
    void loadInstalledVersions();
    long installedVersionOf(const std::string& name) const;
    void setExtendedProperty(const std::string& object, const std::string& property, const std::string& value);
    void installObject(const Script& s, long installed, bool& forceSummary);
    void scriptLoop(const UpdaterArgs& args);
    void writeSummary();

    std::unique_ptr<StatementChannel> channel_;
    std::function<void(const std::string&)> traceSink_;
    std::string database_;
    std::string connect_;
    std::string lastError_;
    std::string marker_ = "[KRU]";
    bool traceOff_ = false;
    bool traceAllSql_ = false;
    int timer_ = 5;
    std::vector<InstalledVersion> installed_;
    std::vector<std::string> log_;
};
