// A scripted ODBC driver manager for the engine's tests: it answers what the test asks for,
// serves a result set from memory and logs every call with its arguments.
#include "tests/dataengine/fake_odbc.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

struct Diag {
    SQLRETURN rc;
    std::string state;
    SQLINTEGER native;
    std::string message;
};

struct ColumnDef {
    std::string name;
    SQLSMALLINT sqlType;
    SQLULEN columnSize;
    SQLSMALLINT decimals;
    SQLLEN length;
    std::string table;
};

struct Bound {
    SQLSMALLINT cType;
    char* ptr;
    SQLLEN bufferLength;
    SQLLEN* indicator;
};

struct Stmt {
    bool catalog = false;
    std::vector<std::optional<std::string>> catalogNames;
    std::map<int, Bound> bound;
    SQLULEN rowsetSize = 1;
    size_t next = 0;
    bool executed = false;
    // The rows of the last fetch start at blockStart; SQLSetPos moves within them. SQLGetData
    // goes on where it stopped in each column until the row changes.
    size_t blockStart = 0;
    size_t position = 0;
    std::map<int, size_t> readOffsets;
};

struct State {
    std::vector<std::string> log;
    std::string logText;
    std::map<std::string, std::deque<SQLRETURN>> once;
    std::map<std::string, SQLRETURN> always;
    std::deque<Diag> diags;
    std::vector<ColumnDef> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::map<std::string, std::vector<std::string>> catalog;
};

State& st() {
    static State s;
    return s;
}

void logCall(const std::string& line) { st().log.push_back(line); }

std::string text(SQLCHAR* s, SQLINTEGER n) {
    if (!s) return "(null)";
    if (n == SQL_NTS) return reinterpret_cast<char*>(s);
    return std::string(reinterpret_cast<char*>(s), size_t(n));
}

// The scripted answer for fn, or dflt.
SQLRETURN answer(const char* fn, SQLRETURN dflt = SQL_SUCCESS) {
    auto& s = st();
    auto q = s.once.find(fn);
    if (q != s.once.end() && !q->second.empty()) {
        SQLRETURN rc = q->second.front();
        q->second.pop_front();
        return rc;
    }
    auto a = s.always.find(fn);
    return a != s.always.end() ? a->second : dflt;
}

void put(const Bound& b, size_t row, const std::optional<std::string>& value) {
    SQLLEN* ind = b.indicator ? b.indicator + row : nullptr;
    if (!value) {
        if (ind) *ind = SQL_NULL_DATA;
        return;
    }
    const std::string& v = *value;
    switch (b.cType) {
    case SQL_C_CHAR: {
        char* p = b.ptr + row * size_t(b.bufferLength);
        const size_t n = std::min(v.size(), size_t(b.bufferLength - 1));
        std::memcpy(p, v.data(), n);
        p[n] = 0;
        if (ind) *ind = SQLLEN(v.size());
        return;
    }
    case SQL_C_SLONG: {
        SQLINTEGER x = SQLINTEGER(std::strtol(v.c_str(), nullptr, 10));
        std::memcpy(b.ptr + row * 4, &x, 4);
        break;
    }
    case SQL_C_SSHORT: {
        SQLSMALLINT x = SQLSMALLINT(std::strtol(v.c_str(), nullptr, 10));
        std::memcpy(b.ptr + row * 2, &x, 2);
        break;
    }
    case SQL_C_DOUBLE: {
        double x = std::strtod(v.c_str(), nullptr);
        std::memcpy(b.ptr + row * 8, &x, 8);
        break;
    }
    case SQL_C_FLOAT: {
        float x = float(std::strtod(v.c_str(), nullptr));
        std::memcpy(b.ptr + row * 4, &x, 4);
        break;
    }
    case SQL_C_BIT:
    case SQL_C_UTINYINT:
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: b.ptr[row] = char(std::strtol(v.c_str(), nullptr, 10)); break;
    default: break;
    }
    if (ind) *ind = 0;
}

// Fills up to rows rows into the bound buffers; returns how many.
size_t fill(Stmt* s, size_t rows) {
    size_t done = 0;
    if (s->catalog) {
        while (done < rows && s->next < s->catalogNames.size()) {
            auto b = s->bound.find(4);
            if (b != s->bound.end()) put(b->second, done, s->catalogNames[s->next]);
            ++s->next;
            ++done;
        }
        return done;
    }
    auto& data = st().rows;
    s->blockStart = s->next;
    s->position = 0;
    s->readOffsets.clear();
    while (done < rows && s->next < data.size()) {
        for (auto& [col, b] : s->bound)
            if (col >= 1 && size_t(col) <= data[s->next].size()) put(b, done, data[s->next][size_t(col) - 1]);
        ++s->next;
        ++done;
    }
    return done;
}

void copyOut(const std::string& v, SQLPOINTER buf, SQLSMALLINT max, SQLSMALLINT* len) {
    if (len) *len = SQLSMALLINT(v.size());
    if (buf && max > 0) {
        const size_t n = std::min(v.size(), size_t(max - 1));
        std::memcpy(buf, v.data(), n);
        static_cast<char*>(buf)[n] = 0;
    }
}

}  // namespace

// ---- control ----

FAKE_API void fake_reset(void) { st() = State(); }
FAKE_API void fake_push_result(const char* fn, int rc) { st().once[fn].push_back(SQLRETURN(rc)); }
FAKE_API void fake_set_result(const char* fn, int rc) { st().always[fn] = SQLRETURN(rc); }
FAKE_API void fake_push_diag(int rc, const char* state, int native, const char* message) {
    st().diags.push_back({SQLRETURN(rc), state, native, message});
}
FAKE_API void fake_add_column(const char* name, int sqlType, int columnSize, int decimals, int length,
                              const char* table) {
    st().columns.push_back(
        {name, SQLSMALLINT(sqlType), SQLULEN(columnSize), SQLSMALLINT(decimals), length, table ? table : ""});
}
FAKE_API void fake_add_row(const char* const* values, int count) {
    std::vector<std::optional<std::string>> row;
    for (int i = 0; i < count; ++i) row.push_back(values[i] ? std::optional<std::string>(values[i]) : std::nullopt);
    st().rows.push_back(std::move(row));
}
FAKE_API void fake_set_catalog(const char* table, const char* const* names, int count) {
    auto& v = st().catalog[table];
    v.clear();
    for (int i = 0; i < count; ++i) v.push_back(names[i]);
}
FAKE_API const char* fake_log(void) {
    auto& s = st();
    s.logText.clear();
    for (auto& l : s.log) s.logText += l + "\n";
    return s.logText.c_str();
}
FAKE_API int fake_count(const char* fn) {
    int n = 0;
    const std::string f = fn;
    for (auto& l : st().log)
        if (l == f || l.rfind(f + " ", 0) == 0) ++n;
    return n;
}

// ---- the driver manager's functions ----

FAKE_API SQLRETURN SQLAllocEnv(SQLHENV* env) {
    logCall("SQLAllocEnv");
    SQLRETURN rc = answer("SQLAllocEnv");
    *env = SQL_SUCCEEDED(rc) ? reinterpret_cast<SQLHENV>(new int(1)) : SQL_NULL_HENV;
    return rc;
}

FAKE_API SQLRETURN SQLFreeEnv(SQLHENV env) {
    logCall("SQLFreeEnv");
    SQLRETURN rc = answer("SQLFreeEnv");
    if (SQL_SUCCEEDED(rc)) delete static_cast<int*>(env);
    return rc;
}

FAKE_API SQLRETURN SQLAllocConnect(SQLHENV, SQLHDBC* dbc) {
    logCall("SQLAllocConnect");
    SQLRETURN rc = answer("SQLAllocConnect");
    *dbc = SQL_SUCCEEDED(rc) ? reinterpret_cast<SQLHDBC>(new int(2)) : SQL_NULL_HDBC;
    return rc;
}

FAKE_API SQLRETURN SQLFreeConnect(SQLHDBC dbc) {
    logCall("SQLFreeConnect");
    SQLRETURN rc = answer("SQLFreeConnect");
    if (SQL_SUCCEEDED(rc)) delete static_cast<int*>(dbc);
    return rc;
}

FAKE_API SQLRETURN SQLSetConnectOption(SQLHDBC, SQLUSMALLINT option, SQLULEN value) {
    logCall("SQLSetConnectOption " + std::to_string(option) + " " + std::to_string(value));
    return answer("SQLSetConnectOption");
}

FAKE_API SQLRETURN SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR*, SQLSMALLINT,
                                    SQLSMALLINT*, SQLUSMALLINT mode) {
    logCall("SQLDriverConnect mode=" + std::to_string(mode) + " len=" + std::to_string(inLength) + " " +
            text(in, inLength));
    return answer("SQLDriverConnect");
}

FAKE_API SQLRETURN SQLConnect(SQLHDBC, SQLCHAR* dsn, SQLSMALLINT dl, SQLCHAR* uid, SQLSMALLINT ul, SQLCHAR* pwd,
                              SQLSMALLINT pl) {
    logCall("SQLConnect dsn=" + text(dsn, dl) + " uid=" + text(uid, ul) + " pwd=" + text(pwd, pl));
    return answer("SQLConnect");
}

FAKE_API SQLRETURN SQLTransact(SQLHENV, SQLHDBC, SQLUSMALLINT type) {
    logCall("SQLTransact " + std::to_string(type));
    return answer("SQLTransact");
}

FAKE_API SQLRETURN SQLDisconnect(SQLHDBC) {
    logCall("SQLDisconnect");
    return answer("SQLDisconnect");
}

FAKE_API SQLRETURN SQLAllocStmt(SQLHDBC, SQLHSTMT* stmt) {
    logCall("SQLAllocStmt");
    SQLRETURN rc = answer("SQLAllocStmt");
    *stmt = SQL_SUCCEEDED(rc) ? reinterpret_cast<SQLHSTMT>(new Stmt) : SQL_NULL_HSTMT;
    return rc;
}

FAKE_API SQLRETURN SQLFreeStmt(SQLHSTMT h, SQLUSMALLINT option) {
    logCall("SQLFreeStmt " + std::to_string(option));
    SQLRETURN rc = answer("SQLFreeStmt");
    auto* s = static_cast<Stmt*>(h);
    if (option == SQL_DROP && SQL_SUCCEEDED(rc))
        delete s;
    else if (option == SQL_CLOSE) {
        s->next = 0;
        s->executed = false;
    }
    return rc;
}

FAKE_API SQLRETURN SQLSetStmtOption(SQLHSTMT h, SQLUSMALLINT option, SQLULEN value) {
    logCall("SQLSetStmtOption " + std::to_string(option) + " " + std::to_string(value));
    SQLRETURN rc = answer("SQLSetStmtOption");
    if (option == SQL_ROWSET_SIZE && SQL_SUCCEEDED(rc)) static_cast<Stmt*>(h)->rowsetSize = value;
    return rc;
}

FAKE_API SQLRETURN SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE, SQLSMALLINT rec, SQLCHAR*, SQLINTEGER*, SQLCHAR*,
                                 SQLSMALLINT, SQLSMALLINT*) {
    logCall("SQLGetDiagRec " + std::to_string(type) + " " + std::to_string(rec));
    return answer("SQLGetDiagRec", SQL_NO_DATA);
}

FAKE_API SQLRETURN SQLExecDirect(SQLHSTMT, SQLCHAR* sql, SQLINTEGER n) {
    logCall("SQLExecDirect " + text(sql, n));
    return answer("SQLExecDirect");
}

FAKE_API SQLRETURN SQLPrepare(SQLHSTMT, SQLCHAR* sql, SQLINTEGER n) {
    logCall("SQLPrepare " + text(sql, n));
    return answer("SQLPrepare");
}

FAKE_API SQLRETURN SQLExecute(SQLHSTMT h) {
    logCall("SQLExecute");
    SQLRETURN rc = answer("SQLExecute");
    if (SQL_SUCCEEDED(rc)) {
        static_cast<Stmt*>(h)->next = 0;
        static_cast<Stmt*>(h)->executed = true;
    }
    return rc;
}

FAKE_API SQLRETURN SQLNumResultCols(SQLHSTMT, SQLSMALLINT* n) {
    logCall("SQLNumResultCols");
    *n = SQLSMALLINT(st().columns.size());
    return answer("SQLNumResultCols");
}

FAKE_API SQLRETURN SQLDescribeCol(SQLHSTMT, SQLUSMALLINT col, SQLCHAR* name, SQLSMALLINT max, SQLSMALLINT* nameLength,
                                  SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* decimals, SQLSMALLINT* nullable) {
    logCall("SQLDescribeCol " + std::to_string(col) + " " + std::to_string(max));
    SQLRETURN rc = answer("SQLDescribeCol");
    if (!SQL_SUCCEEDED(rc) || col < 1 || col > st().columns.size()) return SQL_SUCCEEDED(rc) ? SQL_ERROR : rc;
    const ColumnDef& c = st().columns[col - 1];
    copyOut(c.name, name, max, nameLength);
    if (type) *type = c.sqlType;
    if (size) *size = c.columnSize;
    if (decimals) *decimals = c.decimals;
    if (nullable) *nullable = SQL_NULLABLE;
    if (c.name.size() >= size_t(max)) return SQL_SUCCESS_WITH_INFO;
    return rc;
}

FAKE_API SQLRETURN SQLColAttributes(SQLHSTMT, SQLUSMALLINT col, SQLUSMALLINT field, SQLPOINTER, SQLSMALLINT,
                                    SQLSMALLINT*, SQLLEN* num) {
    logCall("SQLColAttributes " + std::to_string(col) + " " + std::to_string(field));
    SQLRETURN rc = answer("SQLColAttributes");
    if (SQL_SUCCEEDED(rc) && num && col >= 1 && col <= st().columns.size()) *num = st().columns[col - 1].length;
    return rc;
}

FAKE_API SQLRETURN SQLColAttribute(SQLHSTMT, SQLUSMALLINT col, SQLUSMALLINT field, SQLPOINTER buf, SQLSMALLINT max,
                                   SQLSMALLINT* len, SQLLEN*) {
    logCall("SQLColAttribute " + std::to_string(col) + " " + std::to_string(field));
    SQLRETURN rc = answer("SQLColAttribute");
    if (SQL_SUCCEEDED(rc) && col >= 1 && col <= st().columns.size())
        copyOut(st().columns[col - 1].table, buf, max, len);
    return rc;
}

FAKE_API SQLRETURN SQLColumns(SQLHSTMT h, SQLCHAR*, SQLSMALLINT, SQLCHAR* owner, SQLSMALLINT ol, SQLCHAR* table,
                              SQLSMALLINT tl, SQLCHAR*, SQLSMALLINT) {
    const std::string o = owner ? text(owner, ol) : "";
    const std::string t = text(table, tl);
    logCall("SQLColumns owner=" + (owner ? o : std::string("(null)")) + " table=" + t);
    SQLRETURN rc = answer("SQLColumns");
    auto* s = static_cast<Stmt*>(h);
    s->catalog = true;
    s->next = 0;
    auto found = st().catalog.find(owner ? o + "." + t : t);
    if (found != st().catalog.end())
        for (auto& n : found->second) s->catalogNames.emplace_back(n);
    return rc;
}

FAKE_API SQLRETURN SQLBindCol(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER ptr, SQLLEN length,
                              SQLLEN* ind) {
    logCall("SQLBindCol " + std::to_string(col) + " " + std::to_string(cType) + " " + std::to_string(length));
    SQLRETURN rc = answer("SQLBindCol");
    if (SQL_SUCCEEDED(rc)) static_cast<Stmt*>(h)->bound[col] = {cType, static_cast<char*>(ptr), length, ind};
    return rc;
}

FAKE_API SQLRETURN SQLFetch(SQLHSTMT h) {
    logCall("SQLFetch");
    SQLRETURN rc = answer("SQLFetch");
    if (!SQL_SUCCEEDED(rc)) return rc;
    return fill(static_cast<Stmt*>(h), 1) == 1 ? rc : SQL_NO_DATA;
}

FAKE_API SQLRETURN SQLExtendedFetch(SQLHSTMT h, SQLUSMALLINT orientation, SQLLEN, SQLULEN* fetched,
                                    SQLUSMALLINT* status) {
    logCall("SQLExtendedFetch " + std::to_string(orientation));
    SQLRETURN rc = answer("SQLExtendedFetch");
    if (!SQL_SUCCEEDED(rc)) return rc;
    auto* s = static_cast<Stmt*>(h);
    const size_t n = fill(s, s->rowsetSize);
    if (fetched) *fetched = n;
    if (status)
        for (size_t i = 0; i < s->rowsetSize; ++i) status[i] = i < n ? SQL_ROW_SUCCESS : SQL_ROW_NOROW;
    return n ? rc : SQL_NO_DATA;
}

FAKE_API SQLRETURN SQLSetPos(SQLHSTMT h, SQLSETPOSIROW row, SQLUSMALLINT operation, SQLUSMALLINT lock) {
    logCall("SQLSetPos " + std::to_string(row) + " " + std::to_string(operation) + " " + std::to_string(lock));
    SQLRETURN rc = answer("SQLSetPos");
    if (!SQL_SUCCEEDED(rc)) return rc;
    auto* s = static_cast<Stmt*>(h);
    s->position = row - 1;
    s->readOffsets.clear();
    return rc;
}

// Serves the current row's value: text and bytes in pieces, other types whole.
FAKE_API SQLRETURN SQLGetData(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN length,
                              SQLLEN* ind) {
    logCall("SQLGetData " + std::to_string(col) + " " + std::to_string(cType) + " " + std::to_string(length));
    SQLRETURN rc = answer("SQLGetData");
    if (!SQL_SUCCEEDED(rc)) return rc;
    auto* s = static_cast<Stmt*>(h);
    const size_t row = s->blockStart + s->position;
    if (row >= st().rows.size() || col < 1 || col > st().rows[row].size()) return SQL_ERROR;
    const auto& value = st().rows[row][col - 1];
    if (!value) {
        *ind = SQL_NULL_DATA;
        return rc;
    }
    if (cType != SQL_C_CHAR && cType != SQL_C_BINARY) {
        put({cType, static_cast<char*>(buf), length, ind}, 0, value);
        return rc;
    }
    auto offset = s->readOffsets.find(col);
    if (offset != s->readOffsets.end() && offset->second >= value->size()) return SQL_NO_DATA;
    const size_t from = offset == s->readOffsets.end() ? 0 : offset->second;
    const size_t room = size_t(length) - (cType == SQL_C_CHAR ? 1 : 0);
    const size_t n = std::min(value->size() - from, room);
    std::memcpy(buf, value->data() + from, n);
    if (cType == SQL_C_CHAR) static_cast<char*>(buf)[n] = 0;
    *ind = SQLLEN(value->size() - from);
    s->readOffsets[col] = from + n;
    return from + n < value->size() ? SQL_SUCCESS_WITH_INFO : rc;
}

FAKE_API SQLRETURN SQLError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* state, SQLINTEGER* native,
                            SQLCHAR* message, SQLSMALLINT max, SQLSMALLINT* length) {
    logCall(std::string("SQLError") + (env ? " env" : "") + (dbc ? " dbc" : "") + (stmt ? " stmt" : "") + " " +
            std::to_string(max));
    auto& d = st().diags;
    if (d.empty()) return SQL_NO_DATA;
    Diag x = d.front();
    d.pop_front();
    if (SQL_SUCCEEDED(x.rc)) {
        std::memcpy(state, x.state.c_str(), std::min<size_t>(x.state.size() + 1, 6));
        state[5] = 0;
        if (native) *native = x.native;
        copyOut(x.message, message, max, length);
    }
    return x.rc;
}
