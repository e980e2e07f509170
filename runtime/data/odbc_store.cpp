// Server tables: unixODBC, one connection per thread and connect string. For the SQLite back end
// the same file is attached as "dbo" and the catalogue views of INFORMATION_SCHEMA are answered
// from the file's own catalogue.
#include <sql.h>
#include <sqlext.h>

#include <charconv>
#include <cstdint>
#include <map>
#include <mutex>
#include <regex>

#include "runtime/data/back_end.h"
#include "runtime/data/sql_store.h"
#include "runtime/text/decimal.h"
#include "runtime/text/strings.h"

namespace rt {

namespace {

SQLHENV environment() {
    static SQLHENV env = [] {
        SQLHENV e = SQL_NULL_HENV;
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e);
        // ODBC 2 behaviour: the program's callers expect its states (37000, S1000, ...).
        SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0);
        return e;
    }();
    return env;
}

void diagnostics(SQLSMALLINT type, SQLHANDLE handle, StoreError& error) {
    error.code = 90;
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[2048] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length))) {
        error.state = reinterpret_cast<char*>(state);
        error.native = native;
        error.text = reinterpret_cast<char*>(message);
    } else if (error.text.empty()) {
        error.text = "ODBC call failed";
    }
    std::string up = upper(error.text);
    error.duplicate = error.state.rfind("23", 0) == 0 || up.find("UNIQUE CONSTRAINT") != std::string::npos ||
                      up.find("DUPLICATE KEY") != std::string::npos;
}

class OdbcStatement : public Statement {
public:
    OdbcStatement(SQLHSTMT stmt, bool bindResults) : stmt_(stmt), bindResults_(bindResults) {}
    ~OdbcStatement() override { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }

    void bind(int i, const SqlParam& p) override {
        if (static_cast<int>(params_.size()) < i) params_.resize(static_cast<std::size_t>(i));
        params_[static_cast<std::size_t>(i - 1)] = p;
    }

    bool execute(StoreError& error) override {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
        lengths_.assign(params_.size(), 0);
        for (std::size_t k = 0; k < params_.size(); ++k) {
            auto& p = params_[k];
            auto n = static_cast<SQLUSMALLINT>(k + 1);
            SQLRETURN rc;
            if (p.kind == SqlParam::Null) {
                lengths_[k] = SQL_NULL_DATA;
                rc = SQLBindParameter(stmt_, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0,
                                      &lengths_[k]);
            } else if (p.kind == SqlParam::Int && p.i >= INT32_MIN && p.i <= INT32_MAX) {
                // 32-bit where it fits: every driver takes SQL_C_SLONG, not every one BIGINT.
                p.i32 = static_cast<std::int32_t>(p.i);
                rc = SQLBindParameter(stmt_, n, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &p.i32, 0, nullptr);
            } else if (p.kind == SqlParam::Int) {
                rc = SQLBindParameter(stmt_, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &p.i, 0, nullptr);
            } else {
                SQLSMALLINT sqlType = SQL_VARCHAR;
                SQLULEN size = p.s.size() ? p.s.size() : 1;
                SQLSMALLINT digits = 0;
                switch (p.kind) {
                case SqlParam::Blob: sqlType = SQL_LONGVARBINARY; break;
                case SqlParam::Decimal:
                    sqlType = SQL_DECIMAL;
                    size = static_cast<SQLULEN>(p.digits);
                    digits = static_cast<SQLSMALLINT>(p.places);
                    break;
                case SqlParam::Date:
                    sqlType = SQL_DATE;
                    size = 10;
                    break;
                case SqlParam::DateTime:
                    sqlType = SQL_TIMESTAMP;
                    size = 23;
                    digits = 3;
                    break;
                case SqlParam::TimeOfDay:
                    sqlType = SQL_TIME;
                    size = 8;
                    break;
                default:
                    if (size > 8000) sqlType = SQL_LONGVARCHAR;
                    break;
                }
                lengths_[k] = static_cast<SQLLEN>(p.s.size());
                rc = SQLBindParameter(stmt_, n, SQL_PARAM_INPUT, p.kind == SqlParam::Blob ? SQL_C_BINARY : SQL_C_CHAR,
                                      sqlType, size, digits, p.s.data(), static_cast<SQLLEN>(p.s.size()), &lengths_[k]);
            }
            if (!SQL_SUCCEEDED(rc)) {
                diagnostics(SQL_HANDLE_STMT, stmt_, error);
                return false;
            }
        }
        SQLRETURN rc = SQLExecute(stmt_);
        columns_ = -1;
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            diagnostics(SQL_HANDLE_STMT, stmt_, error);
            return false;
        }
        SQLLEN rows = 0;
        SQLRowCount(stmt_, &rows);
        rows_ = rows;
        return true;
    }

    bool fetch(StoreError& error) override {
        if (columnCount() <= 0) return false;
        if (!described_) bindColumns();
        SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) return false;
        if (!SQL_SUCCEEDED(rc)) {
            diagnostics(SQL_HANDLE_STMT, stmt_, error);
            return false;
        }
        return true;
    }

    int columnCount() override {
        if (columns_ < 0) {
            SQLSMALLINT n = 0;
            if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_, &n))) n = 0;
            columns_ = n;
        }
        return columns_;
    }

    bool columnInt(int i, std::int64_t& v) override {
        std::string_view text;
        std::string whole;
        if (const Bound* b = bound(i)) {
            if (b->length == SQL_NULL_DATA) return false;
            if (b->whole) {
                v = b->integer;
                return true;
            }
            if (fits(*b)) text = std::string_view(b->buffer.data(), static_cast<std::size_t>(b->length));
        }
        if (text.data() == nullptr) {
            if (!columnText(i, whole)) return false;
            text = whole;
        }
        v = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec == std::errc() && end == text.data() + text.size()) return true;
        v = 0;
        auto d = DecimalValue::parse(text);
        if (d) v = d->toInt64();
        return true;
    }

    bool columnText(int i, std::string& v) override {
        if (const Bound* b = bound(i)) {
            if (b->length == SQL_NULL_DATA) {
                v.clear();
                return false;
            }
            if (b->whole) {
                v = std::to_string(b->integer);
                return true;
            }
            if (fits(*b)) {
                v.assign(b->buffer.data(), static_cast<std::size_t>(b->length));
                return true;
            }
            // Longer than the column said (SQLite keeps any length): read it whole below.
        }
        v.clear();
        char chunk[4096];
        SQLLEN length = 0;
        for (;;) {
            SQLRETURN rc =
                SQLGetData(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, chunk, sizeof chunk, &length);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) return false;
            if (length == SQL_NULL_DATA) return false;
            if (rc == SQL_SUCCESS_WITH_INFO &&
                (length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof chunk))) {
                v.append(chunk, sizeof chunk - 1);
                continue;
            }
            v.append(chunk, static_cast<std::size_t>(length));
            break;
        }
        return true;
    }

    bool columnView(int i, std::string_view& v) override {
        // A bound text that fits its buffer is read where it lies.
        if (const Bound* b = bound(i); b && !b->whole) {
            if (b->length == SQL_NULL_DATA) {
                v = {};
                return false;
            }
            if (fits(*b)) {
                v = std::string_view(b->buffer.data(), static_cast<std::size_t>(b->length));
                return true;
            }
        }
        return Statement::columnView(i, v);
    }

    void close() override { SQLFreeStmt(stmt_, SQL_CLOSE); }

    long long rowsAffected() override { return rows_; }
    void setMaxRows(long rows) override {
        if (rows == maxRows_) return;
        maxRows_ = rows;
        SQLSetStmtAttr(stmt_, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
    }

private:
    // Result columns of known, moderate size are bound, so that a row arrives with one fetch
    // call instead of a call per column; long ones are read with SQLGetData.
    struct Bound {
        std::vector<char> buffer;
        SQLLEN length = 0;
        bool whole = false;  // a whole-number column, bound as a 64-bit integer
        std::int64_t integer = 0;
    };
    static constexpr SQLULEN kMaxBoundChars = 1024;

    void bindColumns() {
        described_ = true;
        bound_.clear();
        if (!bindResults_) return;
        int n = columnCount();
        bound_.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
            SQLULEN size = 0;
            SQLCHAR name[8];
            SQLRETURN rc = SQLDescribeCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), name, sizeof name, &nameLength,
                                          &type, &size, &digits, &nullable);
            if (!SQL_SUCCEEDED(rc) || size == 0 || size > kMaxBoundChars) continue;
            if (type == SQL_LONGVARCHAR || type == SQL_WLONGVARCHAR || type == SQL_LONGVARBINARY ||
                type == SQL_BINARY || type == SQL_VARBINARY)
                continue;
            auto& b = bound_[static_cast<std::size_t>(i)];
            // Whole numbers arrive as numbers, so reading them needs no text in between.
            if (type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT) {
                b.buffer.resize(1);  // marks the column bound
                b.whole = SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_C_SBIGINT, &b.integer,
                                                   sizeof b.integer, &b.length));
                if (!b.whole) b.buffer.clear();
                continue;
            }
            // Sizes count characters: room for four bytes each, a sign, a point and the end.
            b.buffer.resize(size * 4 + 8);
            if (!SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, b.buffer.data(),
                                          static_cast<SQLLEN>(b.buffer.size()), &b.length)))
                b.buffer.clear();
        }
    }
    const Bound* bound(int i) const {
        if (i < 0 || static_cast<std::size_t>(i) >= bound_.size()) return nullptr;
        const Bound& b = bound_[static_cast<std::size_t>(i)];
        return b.buffer.empty() ? nullptr : &b;
    }
    static bool fits(const Bound& b) { return b.length >= 0 && b.length < static_cast<SQLLEN>(b.buffer.size()); }

    SQLHSTMT stmt_;
    bool bindResults_ = false;
    bool described_ = false;
    std::vector<Bound> bound_;
    std::vector<SqlParam> params_;
    std::vector<SQLLEN> lengths_;
    int columns_ = -1;
    long long rows_ = 0;
    long maxRows_ = 0;
};

class OdbcStore : public Store {
public:
    OdbcStore(SQLHDBC dbc, Dialect dialect, std::string database)
        : dbc_(dbc), dialect_(dialect), database_(std::move(database)) {
        // Bound result columns need SQLGetData after them for the long values.
        SQLUINTEGER extensions = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
            bindResults_ = (extensions & (SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND)) ==
                           (SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND);
    }
    ~OdbcStore() override {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }

    Dialect dialect() const override { return dialect_; }

    // The driver knows its connection to be gone (it lost the server on an earlier call).
    bool connectionDead() const {
        SQLUINTEGER dead = SQL_CD_FALSE;
        return SQL_SUCCEEDED(SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
               dead == SQL_CD_TRUE;
    }

    std::unique_ptr<Statement> prepare(const std::string& sql, StoreError& error) override {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
            diagnostics(SQL_HANDLE_DBC, dbc_, error);
            return nullptr;
        }
        auto text = sql;
        if (!SQL_SUCCEEDED(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS))) {
            diagnostics(SQL_HANDLE_STMT, stmt, error);
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            return nullptr;
        }
        return std::make_unique<OdbcStatement>(stmt, bindResults_);
    }

    bool exec(const std::string& sql, StoreError& error) override {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
            diagnostics(SQL_HANDLE_DBC, dbc_, error);
            return false;
        }
        auto text = sql;
        SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
        if (!ok) diagnostics(SQL_HANDLE_STMT, stmt, error);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return ok;
    }

    std::string adaptSql(std::string_view sql, StoreError& error) override {
        std::string text(sql);
        if (dialect_ != Dialect::SQLite) return text;
        std::string up = upper(text);
        if (up.find("INFORMATION_SCHEMA") == std::string::npos && up.find("SYSCOLUMNS") == std::string::npos)
            return text;
        // "db.[INFORMATION_SCHEMA].[COLUMNS]": SQLite knows no three-part names.
        static const std::regex threePart(R"((\[[^\]]*\]|[A-Za-z0-9_$]+)\s*\.\s*(\[?INFORMATION_SCHEMA\]?)\s*\.)",
                                          std::regex::icase);
        text = std::regex_replace(text, threePart, "$2.");
        refreshCatalogue();
        return text;
    }

    void attachSqliteCatalogue(const std::string& file) {
        StoreError ignored;
        if (!file.empty() && upper(file) != ":MEMORY:") {
            std::string quoted;
            for (char c : file) quoted += c == '\'' ? std::string("''") : std::string(1, c);
            exec("ATTACH DATABASE '" + quoted + "' AS dbo", ignored);
        }
        exec("ATTACH DATABASE ':memory:' AS INFORMATION_SCHEMA", ignored);
        exec(
            "CREATE TABLE INFORMATION_SCHEMA.TABLES (TABLE_CATALOG TEXT COLLATE NOCASE, TABLE_SCHEMA TEXT "
            "COLLATE NOCASE, TABLE_NAME TEXT COLLATE NOCASE, TABLE_TYPE TEXT COLLATE NOCASE)",
            ignored);
        exec(
            "CREATE TABLE INFORMATION_SCHEMA.COLUMNS (TABLE_CATALOG TEXT COLLATE NOCASE, TABLE_SCHEMA TEXT "
            "COLLATE NOCASE, TABLE_NAME TEXT COLLATE NOCASE, COLUMN_NAME TEXT COLLATE NOCASE, ORDINAL_POSITION "
            "INTEGER, COLUMN_DEFAULT TEXT, IS_NULLABLE TEXT, DATA_TYPE TEXT COLLATE NOCASE, "
            "CHARACTER_MAXIMUM_LENGTH INTEGER, NUMERIC_PRECISION INTEGER, NUMERIC_SCALE INTEGER)",
            ignored);
        exec(
            "CREATE TABLE INFORMATION_SCHEMA.VIEWS (TABLE_CATALOG TEXT COLLATE NOCASE, TABLE_SCHEMA TEXT "
            "COLLATE NOCASE, TABLE_NAME TEXT COLLATE NOCASE, VIEW_DEFINITION TEXT)",
            ignored);
        // The old column catalogue, which the program's 15-column carrier is declared over.
        exec(
            "CREATE TABLE INFORMATION_SCHEMA.syscolumns (name TEXT COLLATE NOCASE, id TEXT COLLATE NOCASE, colid "
            "INTEGER, length INTEGER)",
            ignored);
        exec(
            "CREATE TABLE INFORMATION_SCHEMA.ROUTINES (SPECIFIC_CATALOG TEXT, SPECIFIC_SCHEMA TEXT, "
            "SPECIFIC_NAME TEXT COLLATE NOCASE, ROUTINE_CATALOG TEXT COLLATE NOCASE, ROUTINE_SCHEMA TEXT "
            "COLLATE NOCASE, ROUTINE_NAME TEXT COLLATE NOCASE, ROUTINE_TYPE TEXT COLLATE NOCASE, "
            "ROUTINE_DEFINITION TEXT)",
            ignored);
    }

protected:
    bool beginTx(StoreError& error) override {
        if (!SQL_SUCCEEDED(
                SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0))) {
            diagnostics(SQL_HANDLE_DBC, dbc_, error);
            return false;
        }
        return true;
    }
    bool commitTx(StoreError& error) override {
        bool ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT));
        if (!ok) diagnostics(SQL_HANDLE_DBC, dbc_, error);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        return ok;
    }
    void rollbackTx() override {
        SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }

private:
    // Rebuilt for every catalogue query, so it always shows the tables as they are now,
    // DDL of this connection or of any other included.
    void refreshCatalogue() {
        StoreError ignored;
        std::string cat;
        for (char c : database_) cat += c == '\'' ? std::string("''") : std::string(1, c);
        for (const char* t : {"TABLES", "COLUMNS", "VIEWS", "syscolumns"})
            exec(std::string("DELETE FROM INFORMATION_SCHEMA.") + t, ignored);
        exec("INSERT INTO INFORMATION_SCHEMA.TABLES SELECT '" + cat +
                 "', 'dbo', name, CASE type WHEN 'view' THEN 'VIEW' ELSE 'BASE TABLE' END FROM main.sqlite_master "
                 "WHERE type IN ('table','view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
             ignored);
        exec("INSERT INTO INFORMATION_SCHEMA.VIEWS SELECT '" + cat +
                 "', 'dbo', name, sql FROM main.sqlite_master WHERE type = 'view'",
             ignored);
        exec("INSERT INTO INFORMATION_SCHEMA.COLUMNS SELECT '" + cat +
                 "', 'dbo', m.name, p.name, p.cid + 1, p.dflt_value, CASE p.\"notnull\" WHEN 0 THEN 'YES' ELSE 'NO' "
                 "END, lower(trim(CASE WHEN instr(p.type, '(') > 0 THEN substr(p.type, 1, instr(p.type, '(') - 1) "
                 "ELSE p.type END)), CASE WHEN upper(p.type) LIKE '%CHAR%(%' THEN CAST(substr(p.type, instr(p.type, "
                 "'(') + 1) AS INTEGER) WHEN upper(p.type) IN ('TEXT', 'NTEXT') THEN 2147483647 ELSE NULL END, CASE "
                 "WHEN (upper(p.type) LIKE 'DEC%' OR upper(p.type) LIKE 'NUMERIC%') AND instr(p.type, '(') > 0 THEN "
                 "CAST(substr(p.type, instr(p.type, '(') + 1) AS INTEGER) WHEN upper(p.type) LIKE '%INT%' THEN 10 "
                 "ELSE NULL END, CASE WHEN instr(p.type, ',') > 0 THEN CAST(substr(p.type, instr(p.type, ',') + 1) AS "
                 "INTEGER) WHEN upper(p.type) LIKE '%INT%' THEN 0 ELSE NULL END FROM main.sqlite_master m, "
                 "pragma_table_info(m.name) p WHERE m.type IN ('table', 'view') AND m.name NOT LIKE 'sqlite\\_%' "
                 "ESCAPE '\\'",
             ignored);
        exec(
            "INSERT INTO INFORMATION_SCHEMA.syscolumns SELECT COLUMN_NAME, TABLE_NAME, ORDINAL_POSITION, "
            "CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS",
            ignored);
    }

    SQLHDBC dbc_;
    Dialect dialect_;
    std::string database_;
    bool bindResults_ = false;
};

thread_local std::map<std::string, std::weak_ptr<Store>> tServerStores;

}  // namespace

std::shared_ptr<Store> openServerStore(const std::string& connectString, StoreError& error) {
    auto it = tServerStores.find(connectString);
    if (it != tServerStores.end()) {
        // A connection the server has dropped is not handed out again, even while other tables
        // still hold it: the next open connects anew (and keeps failing only while the server
        // does not answer).
        auto store = it->second.lock();
        if (store && !static_cast<OdbcStore&>(*store).connectionDead()) return store;
        if (!store) tServerStores.erase(it);
    }
    SQLHENV env = environment();
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        error.code = 90;
        error.text = "cannot allocate an ODBC connection";
        return nullptr;
    }
    SQLSetConnectAttr(dbc, SQL_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    std::string text = connectString;
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, out, sizeof out,
                                    &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        diagnostics(SQL_HANDLE_DBC, dbc, error);
        error.code = 90;
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        return nullptr;
    }
    char dbms[128] = {};
    SQLSMALLINT length = 0;
    SQLGetInfo(dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &length);
    std::string name = upper(dbms);
    Dialect dialect = Dialect::Other;
    if (name.find("SQLITE") != std::string::npos)
        dialect = Dialect::SQLite;
    else if (name.find("POSTGRES") != std::string::npos)
        dialect = Dialect::PostgreSQL;
    else if (name.find("SQL SERVER") != std::string::npos)
        dialect = Dialect::SqlServer;
    std::string database = connectStringValue(connectString, "Database");
    auto store = std::make_shared<OdbcStore>(dbc, dialect, database);
    if (dialect == Dialect::SQLite) store->attachSqliteCatalogue(database);
    tServerStores[connectString] = store;
    return store;
}

}  // namespace rt
