// The schema synchroniser: brings the program's own server tables on the client's database in
// line with the dictionary. Called by the frame at every start, on the frame's thread.
//
//   StructureUpdate();   // tests the ten tables, creates what is missing, widens CONNECT
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/data/record.h"

namespace rt {
class FileManager;
}

// One column handled, as the window "Actions performed" lists it.
struct StructureEntry {
    std::string table;      // with the schema prefix in front
    std::string label;      // "CUBK:ID"
    std::string column;     // "ID"
    std::string fieldType;  // "LONG", "CSTRING", "DATETIME", ...
    long size = 0;
    long places = 0;
    std::string sqlType;    // "INT NOT NULL"
    rt::Byte identity = 0;  // no column is made an identity column
};

// The statements for the tables of one run. The back end and the schema prefix carry over from
// table to table, as the run handles them in order.
class SchemaSync {
public:
    // Sends one statement; false when the server refused it.
    using Sender = std::function<bool(const std::string& statement)>;
    using Logger = std::function<void(const std::string& line)>;
    // Runs a query that reads nothing; true when the server took it. With a probe the
    // statements whose work is there already (the table, a column) are not sent.
    using Probe = std::function<bool(const std::string& query)>;

    SchemaSync(Sender send, Logger log, Probe probe = {})
        : send_(std::move(send)), log_(std::move(log)), probe_(std::move(probe)) {}

    // Columns, index drops and keys of one table. The manager's connect string decides the back
    // end; on SQLite and Firebird a name with a schema loses it for the rest of the thread.
    void handleTable(rt::FileManager& table);

    const std::string& backEnd() const { return backEnd_; }
    const std::string& schemaPrefix() const { return schemaPrefix_; }
    const std::vector<StructureEntry>& structures() const { return structures_; }

    // The SQL type of a field on a back end (blank is SQL Server); "" for a field type that
    // makes no column.
    static std::string sqlType(const rt::FieldDesc& field, std::string_view backEnd, bool dateTimePair);
    // Server name of a key, else its label, after the first ":" and then after the first ".".
    static std::string keyName(const rt::KeyDef& key);
    // "PK" at an odd character position (1, 3, 5, ...).
    static bool primaryKeyName(std::string_view serverName);
    // The field labels whose columns are created NOT NULL.
    static const std::vector<std::string>& notNullLabels();

private:
    void columns(rt::FileManager& table, const std::string& name);
    void dropIndexes(const rt::TableDef& def, const std::string& name);
    void keys(const rt::TableDef& def, const std::string& name);
    std::string columnName(const rt::FieldDesc& field) const;

    bool exists(const std::string& name, const std::string& columns) const;

    Sender send_;
    Logger log_;
    Probe probe_;
    std::set<std::string> schemas_;  // made in this run
    bool createdNow_ = false;        // the table in hand was made in this run
    std::string backEnd_;
    std::string schemaPrefix_;
    std::vector<StructureEntry> structures_;
};

// The ten tables it handles, in order.
const std::vector<std::string>& structureTables();

inline constexpr const char* kStructureLog = "StructureUpdate.log";
inline constexpr const char* kActionsTitle = "Actions performed";

// The run: statement channel, tests, handling, widening, window. On a server that cannot be
// reached it reports and ends the program (exit code 1).
void StructureUpdate();

// The widening step alone (also run by StructureUpdate): true when the connect column was found
// 100 characters wide and the server took the ALTER statement (a server that cannot alter a
// column refuses it harmlessly). The statement, when it was sent, goes to `sent`.
bool WidenConnectColumn(std::string* sent = nullptr);

// What the last run on this thread did, for the frame and for tests.
struct StructureRun {
    std::vector<std::string> logged;      // the tables that did not open cleanly
    std::vector<std::string> statements;  // every statement the server took, as listed (255 characters)
    struct Failure {
        std::string statement;
        std::string error;  // the driver's text
    };
    std::vector<Failure> failures;  // every statement the server refused
    std::vector<StructureEntry> structures;
    bool windowShown = false;
    bool widened = false;
    std::string widening;  // the widening statement, when it was sent
};
const StructureRun& lastStructureRun();

// The work of a run without its window (set-up tools): false, with the reason, when the server
// cannot be reached. The statement channel stays open; StructureUpdate closes it.
bool SynchroniseStructures(StructureRun& run, std::string& error);
