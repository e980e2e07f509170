// Internal: the SQL text of one open table on its store's back end. Names are quoted on a local
// file and taken as they stand on a server; text key components compare as the program's texts
// do (trailing blanks ignored, nocase through the upper-case form, on the SQLite back end with
// our own fold of the letters beyond ASCII). The table driver binds and runs what this builds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/data/sql_store.h"
#include "runtime/data/table_def.h"

namespace rt {

class TableSql {
public:
    // One column of the table: a field, or on a server a date-time pair (a STRING(8) with a DATE
    // and a TIME laid over it).
    struct Column {
        std::string name;
        int field = -1;
        int dateField = -1;
        int timeField = -1;
    };

    explicit TableSql(const TableDef& def) : def_(def) {}

    // Takes up the back end of a newly opened store and builds the columns.
    void reset(bool local, Dialect dialect, std::string tableName);
    bool local() const { return local_; }
    const std::string& tableName() const { return tableName_; }
    const std::vector<Column>& columns() const { return columns_; }

    std::string quoted(const std::string& ident) const;  // quoted identifier (local) or as is
    std::string columnOf(int field) const;               // a field's column, quoted
    std::string table() const;
    // The row id first on a local file (unless withRow is false), then the columns.
    std::string selectList(bool withRow = true) const;
    std::string rowOfSql(const KeyDef& key) const;  // local file: the row holding a unique key's values

    // Key components.
    bool keyText(const KeyDef& key, std::size_t component) const;
    bool sqliteFold(const KeyDef& key, std::size_t component) const;
    std::string source(const KeyDef* key) const;  // the table, or the folding derived table for key
    std::string keyExpr(const KeyDef& key, std::size_t component) const;
    std::string paramExpr(const KeyDef& key, std::size_t component) const;
    // "k1 = ? AND k2 = ?" over the key's first `count` components.
    std::string keyEquals(const KeyDef& key, std::size_t count) const;
    std::string optCondition(const KeyDef& key) const;  // empty unless the key is opt

    // Rows ordered by `exprs` from a seek position: "(a, b) >= (?, ?)" on a local file, the
    // expanded form on a server. `params` receives the expression index of each parameter.
    std::string seekCondition(const std::vector<std::string>& exprs, const std::vector<std::string>& marks,
                              std::size_t count, bool forward, bool inclusive, std::vector<std::size_t>& params) const;

    // The record read last: its row on a local file, else the values of `fields`.
    std::string lastReadWhere(const std::vector<int>& fields) const;

    std::string insertSql() const;
    std::string updateSql(const std::vector<int>& lastReadFields) const;
    std::string removeSql(const std::vector<int>& lastReadFields) const;
    std::string countSql() const;
    std::string fetchSql(const KeyDef& key) const;
    std::string refetchSql() const;  // local file: by row id
    std::string maxAutoSql(const KeyDef& key) const;
    // Records with the buffer's key values; `others` leaves out the record read last (by its row,
    // or on a server by `self`, the identifying key's fields, when there is one).
    std::string collidesSql(const KeyDef& key, bool others, const std::vector<int>& self) const;

    // The statements that create the table and its keys; empty when it has no column.
    std::vector<std::string> createStatements() const;
    // The statements that create the keys alone (after the table).
    std::vector<std::string> keyStatements() const;
    std::vector<std::string> dropKeyStatements() const;  // local file
    // Local file: the names its keys carry in the file.
    std::vector<std::string> localKeyNames() const;
    // The declared layout a local file records for the table, to tell a changed declaration.
    std::string layoutText() const;

private:
    std::string sqlType(const FieldDesc& f, bool pair) const;
    std::string indexName(const KeyDef& key) const;

    const TableDef& def_;
    bool local_ = true;
    Dialect dialect_ = Dialect::Local;
    std::string tableName_;
    std::vector<Column> columns_;
};

}  // namespace rt
