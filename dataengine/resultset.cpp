// Resultset, columns collection and column: one statement, its described and bound columns,
// and its rows handed out one at a time.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "dataengine/engine_internal.h"
#include "dataengine/table_list.h"

namespace novaodbc {

namespace {

// The engine's own C type for columns that are not bound.
constexpr SQLSMALLINT kNotBound = 0;
// Rows fetched ahead per driver call, and the memory one block of them may take.
constexpr uint32_t kMaxRowsetSize = 1000;
constexpr size_t kMaxBlockBytes = size_t(8) << 20;
// A text buffer beyond this cannot be had for one column; such columns are read unbound.
constexpr uint64_t kMaxTextBuffer = uint64_t(16) << 20;
// Characters kept of a column name, and the bytes they may take in UTF-8.
constexpr size_t kNameChars = 29;
constexpr size_t kNameBuffer = 4 * kNameChars + 1;
// Piece size of values read with SQLGetData.
constexpr size_t kPieceBytes = size_t(64) << 10;

struct Columns;

struct Column {
    ObjectHead head;
    Engine* engine;
    Columns* owner;  // no count held
    BSTR name;
    BSTR describedName;
    int16_t sqlType;
    SQLSMALLINT cType;
    int32_t size;        // buffer length of one value
    int32_t index;       // 0-based
    SQLULEN columnSize;  // as described (characters, precision)
    SQLSMALLINT decimals;
    SQLLEN reportedLength;  // SQL_COLUMN_LENGTH, 0 when not asked or not known
    // Read with SQLGetData after the fetch instead of bound (long data, binary, or after
    // such a column, as ODBC asks): the C type used then.
    bool unbound;
    SQLSMALLINT readType;
    // One block of fetched values: capacity values and their indicators.
    char* buffer;
    SQLLEN* indicators;
    uint32_t capacity;
};

struct Columns {
    ObjectHead head;
    Engine* engine;
    PtrArray items;
};

struct Resultset {
    ObjectHead head;
    Engine* engine;
    SQLHENV henv;
    SQLHDBC hdbc;
    SQLHSTMT hstmt;
    BSTR sql;  // our own copy
    int32_t queryTimeout;
    int16_t lockType;
    Columns* columns;
    bool executed;
    bool endOfData;
    // Fetching ahead.
    uint32_t rowsetSize;
    bool blockFetch;
    SQLULEN rowsInBlock;
    SQLULEN rowInBlock;
    SQLUSMALLINT* rowStatus;
    // Rows handed out since the statement was opened, and whether the driver refused to
    // position within a block (a long value there is then read after opening again row by row).
    uint64_t rowsHanded;
    bool positionRefused;
};

bool dropRef(void* self, uint32_t* left) {
    auto* head = static_cast<ObjectHead*>(self);
    *left = --head->refs;
    return *left == 0;
}

// ---- column ----

uint32_t columnRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        auto* c = static_cast<Column*>(self);
        std::free(c->buffer);
        std::free(c->indicators);
        rtSysFreeString(c->name);
        rtSysFreeString(c->describedName);
        delete c;
    }
    return left;
}

HRESULT columnType(void* self, int16_t* out) {
    if (!out) return E_POINTER;
    *out = static_cast<Column*>(self)->sqlType;
    return S_OK;
}

HRESULT columnName(void* self, BSTR* out) {
    if (!out) return E_POINTER;
    BSTR n = static_cast<Column*>(self)->name;
    *out = rtSysAllocStringLen(n, rtSysStringLen(n));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT columnSizeSlot(void* self, int32_t* out) {
    if (!out) return E_POINTER;
    *out = static_cast<Column*>(self)->size;
    return S_OK;
}

const NovaColumnSlots kColumnSlots = {
    NOVA_BASE_SLOTS(&columnRelease),
    &unused1,
    &unused1,
    &columnType,
    &columnName,
    &columnSizeSlot,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
};

// ---- columns collection ----

uint32_t columnsRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        auto* cols = static_cast<Columns*>(self);
        for (uint32_t i = 0; i < cols->items.count(); ++i) columnRelease(cols->items.at(i));
        delete cols;
    }
    return left;
}

HRESULT columnsCount(void* self, int32_t* out) {
    if (!out) return E_POINTER;
    *out = int32_t(static_cast<Columns*>(self)->items.count());
    return S_OK;
}

HRESULT columnsItem(void* self, VARIANT index, void** out) {
    return collectionItem(static_cast<Columns*>(self)->items, index, out);
}

const NovaColumnsSlots kColumnsSlots = {
    NOVA_BASE_SLOTS(&columnsRelease),
    &columnsCount,
    &unused1,
    &unused1,
    &unused4,
    &unused5,
    &unused0,
    &columnsItem,
    &unused1,
};

Column* columnAt(const Columns* cols, uint32_t i) { return static_cast<Column*>(cols->items.at(i)); }

// ---- describing ----

// The first n characters of UTF-8 text; a character cut by the driver's buffer is dropped.
std::string_view firstChars(std::string_view text, size_t n) {
    size_t i = 0;
    for (size_t count = 0; i < text.size() && count < n; ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t width = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + width > text.size()) break;
        i += width;
    }
    return text.substr(0, i);
}

bool isFixedSize(SQLSMALLINT t) {
    switch (t) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_REAL:
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_GUID: return true;
    default: return false;
    }
}

// Buffer length and C type by SQL type. Text is the drivers' UTF-8, so a character may take
// four bytes; numbers as text need their sign, point and terminator.
struct Binding {
    SQLSMALLINT cType;
    uint64_t size;
};

Binding bindingFor(const Column& c, SQLLEN length) {
    const uint64_t len = length > 0 ? uint64_t(length) : uint64_t(c.columnSize);
    switch (c.sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return {SQL_C_CHAR, 4 * std::max(len, uint64_t(c.columnSize)) + 1};
    case SQL_NUMERIC:
    case SQL_DECIMAL: {
        const uint64_t precision = c.columnSize > 0 ? uint64_t(c.columnSize) : len;
        // A fraction of precision digits also shows its leading zero.
        const uint64_t zero = c.decimals > 0 && uint64_t(c.decimals) >= precision ? 1 : 0;
        return {SQL_C_CHAR, precision + 3 + zero};
    }
    case SQL_BIGINT: return {SQL_C_CHAR, 21};
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP: return {SQL_C_CHAR, 33};
    case SQL_GUID: return {SQL_C_CHAR, 37};
    case SQL_INTEGER: return {SQL_C_SLONG, 4};
    case SQL_SMALLINT: return {SQL_C_SSHORT, 2};
    case SQL_FLOAT:
    case SQL_DOUBLE: return {SQL_C_DOUBLE, 8};
    case SQL_REAL: return {SQL_C_FLOAT, 4};
    case SQL_BIT: return {SQL_C_BIT, 1};
    case SQL_TINYINT: return {SQL_C_UTINYINT, 1};
    default:
        if (c.sqlType >= SQL_INTERVAL_YEAR && c.sqlType <= SQL_INTERVAL_MINUTE_TO_SECOND) return {SQL_C_CHAR, len + 1};
        return {kNotBound, 0};  // binary and unknown types
    }
}

void resetColumns(Resultset* rs) {
    if (rs->columns) columnsRelease(rs->columns);
    rs->columns = nullptr;
}

// Asks the driver for the table name of column i (1-based). nullopt when the call failed.
std::optional<std::u16string> driverTableName(Resultset* rs, uint32_t i) {
    char table[35] = {0};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = dm::SQLColAttribute(rs->hstmt, SQLUSMALLINT(i), SQL_COLUMN_TABLE_NAME, table,
                                             SQLSMALLINT(sizeof table), &length, nullptr);
    if (!succeeded(rc)) return std::nullopt;
    table[sizeof table - 1] = 0;
    return rt::ole::utf8ToUtf16(table);
}

// The column names of one listed table, through a statement of its own.
std::vector<std::u16string> tableColumnNames(Resultset* rs, const std::u16string& tableText) {
    std::vector<std::u16string> names;
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!succeeded(dm::SQLAllocStmt(rs->hdbc, &st))) return names;
    std::string text = rt::ole::utf16ToUtf8(tableText);
    std::string owner;
    const size_t dot = text.rfind('.');
    const bool hasOwner = dot != std::string::npos;
    if (hasOwner) {
        owner = text.substr(0, dot);
        text = text.substr(dot + 1);
    }
    SQLRETURN rc = dm::SQLColumns(st, nullptr, 0, hasOwner ? (SQLCHAR*)owner.c_str() : nullptr, hasOwner ? SQL_NTS : 0,
                                  (SQLCHAR*)text.c_str(), SQL_NTS, nullptr, 0);
    if (!succeeded(rc)) {
        recordError(rs->engine, rs->henv, rs->hdbc, st);
    } else {
        char name[129] = {0};
        SQLLEN indicator = 0;
        dm::SQLBindCol(st, 4, SQL_C_CHAR, name, SQLLEN(sizeof name), &indicator);
        while (succeeded(dm::SQLFetch(st))) {
            if (indicator == SQL_NULL_DATA) continue;
            name[sizeof name - 1] = 0;
            names.push_back(rt::ole::utf8ToUtf16(name));
        }
    }
    dm::SQLFreeStmt(st, SQL_DROP);
    return names;
}

bool setName(Column* c, std::u16string_view table) {
    std::u16string full(table);
    full += u'.';
    full += rt::ole::bstrView(c->describedName);
    BSTR n = rt::ole::bstrFromUtf16(full);
    if (!n) return false;
    rtSysFreeString(c->name);
    c->name = n;
    return true;
}

void qualifyFromClause(Resultset* rs, const std::vector<bool>& duplicate) {
    auto tables = tableList(rt::ole::bstrView(rs->sql));
    if (!tables || tables->empty()) return;
    std::vector<std::vector<std::u16string>> names;
    for (const auto& t : *tables) names.push_back(tableColumnNames(rs, t));
    for (uint32_t i = 0; i < rs->columns->items.count(); ++i) {
        if (!duplicate[i]) continue;
        Column* c = columnAt(rs->columns, i);
        const std::u16string_view described = rt::ole::bstrView(c->describedName);
        for (size_t t = 0; t < tables->size(); ++t) {
            auto& list = names[t];
            auto found = std::find(list.begin(), list.end(), described);
            if (found == list.end()) continue;
            setName(c, (*tables)[t]);
            list.erase(found);
            break;
        }
    }
}

void qualifyDuplicates(Resultset* rs) {
    const uint32_t n = rs->columns->items.count();
    std::vector<bool> duplicate(n, false);
    for (uint32_t i = 0; i < n; ++i)
        for (uint32_t j = 0; j < n; ++j)
            if (i != j && rt::ole::bstrView(columnAt(rs->columns, i)->describedName) ==
                              rt::ole::bstrView(columnAt(rs->columns, j)->describedName))
                duplicate[i] = true;
    for (uint32_t i = 0; i < n; ++i) {
        if (!duplicate[i]) continue;
        auto table = driverTableName(rs, i + 1);
        if (!table) continue;
        if (table->empty()) {
            qualifyFromClause(rs, duplicate);
            return;
        }
        setName(columnAt(rs->columns, i), *table);
    }
}

HRESULT describeColumns(Resultset* rs) {
    SQLSMALLINT count = 0;
    if (!succeeded(dm::SQLNumResultCols(rs->hstmt, &count))) {
        recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
        return E_FAIL;
    }
    auto* cols = new (std::nothrow) Columns{{&kColumnsSlots, 1}, rs->engine, PtrArray()};
    if (!cols) return E_OUTOFMEMORY;
    rs->columns = cols;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        auto* c = new (std::nothrow)
            Column{{&kColumnSlots, 1}, rs->engine, cols,    nullptr, nullptr, 0, kNotBound, 0, i - 1, 0, 0, 0, false,
                   kNotBound,          nullptr,    nullptr, 0};
        if (!c) {
            resetColumns(rs);
            return E_OUTOFMEMORY;
        }
        if (!cols->items.append(c)) {
            columnRelease(c);
            resetColumns(rs);
            return E_OUTOFMEMORY;
        }
        char name[kNameBuffer] = {0};
        SQLSMALLINT nameLength = 0, sqlType = 0, decimals = 0, nullable = 0;
        SQLULEN columnSize = 0;
        SQLRETURN rc = dm::SQLDescribeCol(rs->hstmt, SQLUSMALLINT(i), (SQLCHAR*)name, SQLSMALLINT(sizeof name),
                                          &nameLength, &sqlType, &columnSize, &decimals, &nullable);
        if (!succeeded(rc)) {
            recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
            resetColumns(rs);
            return E_FAIL;
        }
        name[sizeof name - 1] = 0;
        const std::string_view kept = firstChars(name, kNameChars);
        c->sqlType = sqlType;
        c->columnSize = columnSize;
        c->decimals = decimals;
        SQLLEN length = 0;
        if (!isFixedSize(sqlType)) {
            rc = dm::SQLColAttributes(rs->hstmt, SQLUSMALLINT(i), SQL_COLUMN_LENGTH, nullptr, 0, nullptr, &length);
            if (!succeeded(rc)) {
                recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
                length = 0;
            }
        }
        c->reportedLength = length;
        const Binding b = bindingFor(*c, length);
        c->size = int32_t(b.size > 0x7fffffff ? 0x7fffffff : b.size);
        c->name = rt::ole::bstrFromUtf8(kept);
        c->describedName = rt::ole::bstrFromUtf8(kept);
        if (!c->name || !c->describedName) {
            resetColumns(rs);
            return E_OUTOFMEMORY;
        }
    }
    qualifyDuplicates(rs);
    return S_OK;
}

// ---- binding and fetching ----

void freeBuffers(Column* c) {
    std::free(c->buffer);
    std::free(c->indicators);
    c->buffer = nullptr;
    c->indicators = nullptr;
    c->capacity = 0;
    c->cType = kNotBound;
}

HRESULT bindColumn(Resultset* rs, Column* c, SQLLEN length, uint32_t rows) {
    const Binding b = bindingFor(*c, length);
    if (b.cType == kNotBound) return E_FAIL;
    if (b.size > kMaxTextBuffer) return E_OUTOFMEMORY;
    freeBuffers(c);
    c->buffer = static_cast<char*>(std::calloc(rows, size_t(b.size)));
    c->indicators = static_cast<SQLLEN*>(std::calloc(rows, sizeof(SQLLEN)));
    if (!c->buffer || !c->indicators) {
        freeBuffers(c);
        return E_OUTOFMEMORY;
    }
    c->size = int32_t(b.size);
    const SQLRETURN rc =
        dm::SQLBindCol(rs->hstmt, SQLUSMALLINT(c->index + 1), b.cType, c->buffer, SQLLEN(b.size), c->indicators);
    if (!succeeded(rc)) {
        freeBuffers(c);
        return E_FAIL;
    }
    c->capacity = rows;
    c->cType = b.cType;
    return S_OK;
}

bool isBinary(SQLSMALLINT t) { return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY; }

// The C type a column is read with when it is not bound: binary as bytes, types the binding
// table does not know as text.
SQLSMALLINT readTypeFor(const Column& c) {
    if (isBinary(c.sqlType)) return SQL_C_BINARY;
    const Binding b = bindingFor(c, c.reportedLength);
    return b.cType == kNotBound ? SQL_C_CHAR : b.cType;
}

bool bindable(const Column& c) {
    const Binding b = bindingFor(c, c.reportedLength);
    return b.cType != kNotBound && b.size <= kMaxTextBuffer;
}

// From column `first` on every column is read with SQLGetData after the fetch.
void readUnboundFrom(Columns* cols, uint32_t first) {
    for (uint32_t j = first; j < cols->items.count(); ++j) {
        Column* c = columnAt(cols, j);
        freeBuffers(c);
        c->unbound = true;
        c->readType = readTypeFor(*c);
    }
}

void setRowsetSize(Resultset* rs, uint64_t rows) {
    rs->blockFetch = false;
    if (rows > 1 && succeeded(dm::SQLSetStmtOption(rs->hstmt, SQL_ROWSET_SIZE, SQLULEN(rows)))) {
        std::free(rs->rowStatus);
        rs->rowStatus = static_cast<SQLUSMALLINT*>(std::calloc(size_t(rows), sizeof(SQLUSMALLINT)));
        if (rs->rowStatus)
            rs->blockFetch = true;
        else
            dm::SQLSetStmtOption(rs->hstmt, SQL_ROWSET_SIZE, 1);
    }
    rs->rowsetSize = rs->blockFetch ? uint32_t(rows) : 1;
}

// Binds the columns up to the first one that cannot be bound (long data, binary, a buffer
// that cannot be had, a binding the driver refuses); that one and those after it are read
// unbound, row by row, since SQLGetData serves only the current row of a single-row fetch.
void bindColumns(Resultset* rs) {
    Columns* cols = rs->columns;
    const uint32_t n = cols->items.count();
    uint32_t firstUnbound = 0;
    while (firstUnbound < n && bindable(*columnAt(cols, firstUnbound))) ++firstUnbound;
    // Rows per block by the memory they take.
    uint64_t rowBytes = 0;
    for (uint32_t i = 0; i < firstUnbound; ++i)
        rowBytes += bindingFor(*columnAt(cols, i), columnAt(cols, i)->reportedLength).size + sizeof(SQLLEN);
    uint64_t rows = rowBytes ? kMaxBlockBytes / rowBytes : kMaxRowsetSize;
    if (rows < 1 || firstUnbound < n) rows = 1;
    if (rows > kMaxRowsetSize) rows = kMaxRowsetSize;
    setRowsetSize(rs, rows);
    for (uint32_t i = 0; i < firstUnbound; ++i) {
        Column* c = columnAt(cols, i);
        c->unbound = false;
        if (RT_FAILED(bindColumn(rs, c, c->reportedLength, rs->rowsetSize))) {
            firstUnbound = i;
            if (rs->blockFetch) {
                dm::SQLSetStmtOption(rs->hstmt, SQL_ROWSET_SIZE, 1);
                rs->blockFetch = false;
                rs->rowsetSize = 1;
            }
            break;
        }
    }
    readUnboundFrom(cols, firstUnbound);
}

HRESULT openStatement(Resultset* rs) {
    if (!rs->hstmt) return E_FAIL;
    if (rs->executed) {
        // Opening again: the previous cursor must be closed before the statement is prepared.
        dm::SQLFreeStmt(rs->hstmt, SQL_CLOSE);
        rs->executed = false;
    }
    rs->endOfData = false;
    rs->rowsInBlock = 0;
    rs->rowInBlock = 0;
    rs->rowsHanded = 0;
    rs->positionRefused = false;
    dm::SQLSetStmtOption(rs->hstmt, SQL_QUERY_TIMEOUT, SQLULEN(SQLUINTEGER(rs->queryTimeout)));
    if (rs->lockType == 1) {
        dm::SQLSetStmtOption(rs->hstmt, SQL_CONCURRENCY, SQL_CONCUR_READ_ONLY);
        if (dm::SQLSetStmtOption(rs->hstmt, SQL_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY) == SQL_ERROR) {
            SQLCHAR state[6];
            SQLINTEGER native = 0;
            SQLCHAR message[256];
            SQLSMALLINT length = 0;
            dm::SQLGetDiagRec(SQL_HANDLE_STMT, rs->hstmt, 1, state, &native, message, SQLSMALLINT(sizeof message),
                              &length);
        }
    }
    const std::string text = rt::ole::bstrToUtf8(rs->sql);
    if (!succeeded(dm::SQLPrepare(rs->hstmt, (SQLCHAR*)text.c_str(), SQL_NTS))) {
        recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
        return E_FAIL;
    }
    if (!rs->columns) {
        const HRESULT hr = describeColumns(rs);
        if (RT_FAILED(hr)) return hr;
    }
    bindColumns(rs);
    if (!succeeded(dm::SQLExecute(rs->hstmt))) {
        recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
        return E_FAIL;
    }
    rs->executed = true;
    return S_OK;
}

// Moves to the next row, fetching a new block when the current one is used up. S_OK with a row,
// S_FALSE at the end of the data, E_FAIL on failure (recorded).
HRESULT nextRow(Resultset* rs) {
    if (rs->rowInBlock + 1 < rs->rowsInBlock) {
        ++rs->rowInBlock;
    } else {
        if (rs->endOfData) return S_FALSE;
        SQLRETURN rc;
        SQLULEN fetched = 0;
        if (rs->blockFetch) {
            rc = dm::SQLExtendedFetch(rs->hstmt, SQL_FETCH_NEXT, 0, &fetched, rs->rowStatus);
        } else {
            rc = dm::SQLFetch(rs->hstmt);
            fetched = 1;
        }
        if (rc == SQL_NO_DATA || (succeeded(rc) && fetched == 0)) {
            rs->endOfData = true;
            rs->rowsInBlock = 0;
            return S_FALSE;
        }
        if (!succeeded(rc)) {
            recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
            rs->rowsInBlock = 0;
            return E_FAIL;
        }
        rs->rowsInBlock = fetched;
        rs->rowInBlock = 0;
    }
    if (rs->blockFetch && rs->rowStatus[rs->rowInBlock] == SQL_ROW_ERROR) {
        recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
        return E_FAIL;
    }
    return S_OK;
}

// Reads the value of column c in the current row with SQLGetData, in pieces, from its start.
// Text and bytes are appended to `out`; fixed-size values land in `fixed`. S_OK with the value,
// S_FALSE for NULL, E_FAIL when the driver cannot give it (recorded).
HRESULT readPieces(Resultset* rs, const Column* c, SQLSMALLINT cType, std::string& out, void* fixed, SQLLEN fixedSize) {
    const SQLUSMALLINT number = SQLUSMALLINT(c->index + 1);
    SQLLEN indicator = 0;
    if (cType != SQL_C_CHAR && cType != SQL_C_BINARY) {
        const SQLRETURN rc = dm::SQLGetData(rs->hstmt, number, cType, fixed, fixedSize, &indicator);
        if (!succeeded(rc)) {
            recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
            return E_FAIL;
        }
        return indicator == SQL_NULL_DATA ? S_FALSE : S_OK;
    }
    // Text pieces end with a terminator that is not part of the value.
    const size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
    std::string piece(kPieceBytes, '\0');
    out.clear();
    for (;;) {
        const SQLRETURN rc = dm::SQLGetData(rs->hstmt, number, cType, piece.data(), SQLLEN(piece.size()), &indicator);
        if (rc == SQL_NO_DATA) return S_OK;  // every piece read
        if (!succeeded(rc)) {
            recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
            return E_FAIL;
        }
        if (indicator == SQL_NULL_DATA) return S_FALSE;
        const size_t room = piece.size() - terminator;
        const bool more = indicator == SQL_NO_TOTAL || size_t(indicator) > room;
        out.append(piece.data(), more ? room : size_t(indicator));
        if (!more) return S_OK;
    }
}

HRESULT textVariant(std::string_view text, VARIANT* v) {
    BSTR s = rt::ole::bstrFromUtf8(text);
    if (!s) return E_OUTOFMEMORY;
    v->vt = VT_BSTR;
    v->bstrVal = s;
    return S_OK;
}

HRESULT bytesVariant(std::string_view bytes, VARIANT* v) {
    const SAFEARRAYBOUND bound = {uint32_t(bytes.size()), 0};
    SAFEARRAY* psa = rtSafeArrayCreate(VT_UI1, 1, &bound);
    if (!psa) return E_OUTOFMEMORY;
    if (!bytes.empty()) std::memcpy(psa->pvData, bytes.data(), bytes.size());
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = psa;
    return S_OK;
}

// A fixed-size value as its variant.
void fixedVariant(SQLSMALLINT cType, const char* p, VARIANT* v) {
    switch (cType) {
    case SQL_C_SLONG:
        v->vt = VT_I4;
        std::memcpy(&v->lVal, p, 4);
        break;
    case SQL_C_SSHORT:
        v->vt = VT_I2;
        std::memcpy(&v->iVal, p, 2);
        break;
    case SQL_C_DOUBLE:
        v->vt = VT_R8;
        std::memcpy(&v->dblVal, p, 8);
        break;
    case SQL_C_FLOAT:
        v->vt = VT_R4;
        std::memcpy(&v->fltVal, p, 4);
        break;
    case SQL_C_BIT:
    case SQL_C_UTINYINT:
        v->vt = VT_UI1;
        v->bVal = uint8_t(*p);
        break;
    default: break;
    }
}

// A column read after the fetch.
HRESULT unboundValue(Resultset* rs, const Column* c, VARIANT* v) {
    std::string data;
    alignas(8) char fixed[8] = {0};
    const HRESULT hr = readPieces(rs, c, c->readType, data, fixed, SQLLEN(sizeof fixed));
    if (hr == S_FALSE) {
        v->vt = VT_NULL;
        return S_OK;
    }
    if (RT_FAILED(hr)) return S_OK;  // recorded; the cell stays empty
    if (c->readType == SQL_C_CHAR) return textVariant(data, v);
    if (c->readType == SQL_C_BINARY) return bytesVariant(data, v);
    fixedVariant(c->readType, fixed, v);
    return S_OK;
}

// A bound text value longer than its buffer: the driver's indicator tells, and the whole
// value is read again from the row. When the driver cannot give it, the error is recorded
// and the part that arrived is kept.
HRESULT longBoundText(Resultset* rs, const Column* c, SQLULEN row, std::string_view cut, VARIANT* v) {
    bool positioned = !rs->blockFetch;
    if (!positioned) {
        positioned = succeeded(dm::SQLSetPos(rs->hstmt, SQLUSMALLINT(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
        if (!positioned) {
            // The row is read again without blocks (getRows).
            rs->positionRefused = true;
            return textVariant(cut, v);
        }
    }
    std::string whole;
    if (positioned && readPieces(rs, c, SQL_C_CHAR, whole, nullptr, 0) == S_OK && whole.size() >= cut.size())
        return textVariant(whole, v);
    return textVariant(cut, v);
}

HRESULT cellValue(Resultset* rs, const Column* c, SQLULEN row, VARIANT* v) {
    if (c->unbound) return unboundValue(rs, c, v);
    if (c->cType == kNotBound || row >= c->capacity) return S_OK;  // VT_EMPTY
    const SQLLEN indicator = c->indicators[row];
    if (indicator == SQL_NULL_DATA) {
        v->vt = VT_NULL;
        return S_OK;
    }
    const char* p = c->buffer + size_t(row) * size_t(c->size);
    if (c->cType == SQL_C_CHAR) {
        if (indicator >= 0 && indicator < c->size) return textVariant(std::string_view(p, size_t(indicator)), v);
        // Longer than the buffer (or of unknown length): what arrived is the buffer less its terminator.
        return longBoundText(rs, c, row, std::string_view(p, strnlen(p, size_t(c->size) - 1)), v);
    }
    fixedVariant(c->cType, p, v);
    return S_OK;
}

// The most common cells the short way: a bound value that is not NULL, as text that fits its
// buffer, a whole number or a double. S_FALSE leaves the cell to cellValue.
HRESULT commonCell(const Column* c, SQLULEN row, VARIANT* v) {
    if (c->unbound || row >= c->capacity) return S_FALSE;
    const SQLLEN indicator = c->indicators[row];
    const char* p = c->buffer + size_t(row) * size_t(c->size);
    switch (c->cType) {
    case SQL_C_CHAR:
        if (indicator < 0 || indicator >= c->size) return S_FALSE;
        return textVariant(std::string_view(p, size_t(indicator)), v);
    case SQL_C_SLONG:
        if (indicator == SQL_NULL_DATA) return S_FALSE;
        v->vt = VT_I4;
        std::memcpy(&v->lVal, p, 4);
        return S_OK;
    case SQL_C_DOUBLE:
        if (indicator == SQL_NULL_DATA) return S_FALSE;
        v->vt = VT_R8;
        std::memcpy(&v->dblVal, p, 8);
        return S_OK;
    default: return S_FALSE;
    }
}

// The driver cannot position within a block: the statement runs again with one row per fetch,
// where SQLGetData reads the current row, and the rows already handed out are passed over.
bool reopenRowByRow(Resultset* rs) {
    dm::SQLFreeStmt(rs->hstmt, SQL_CLOSE);
    dm::SQLSetStmtOption(rs->hstmt, SQL_ROWSET_SIZE, 1);
    rs->blockFetch = false;
    rs->rowsetSize = 1;
    rs->rowsInBlock = 0;
    rs->rowInBlock = 0;
    if (!succeeded(dm::SQLExecute(rs->hstmt))) return false;
    for (uint64_t i = 0; i <= rs->rowsHanded; ++i)
        if (!succeeded(dm::SQLFetch(rs->hstmt))) return false;
    rs->rowsInBlock = 1;
    return true;
}

HRESULT getRows(Resultset* rs, VARIANT* out) {
    if (!out) return E_POINTER;
    rtVariantInit(out);
    // After Close there is no statement to ask, and nothing to record.
    if (!rs->hstmt || !rs->columns) return E_FAIL;
    const HRESULT step = nextRow(rs);
    if (step != S_OK) return E_FAIL;
    const uint32_t n = rs->columns->items.count();
    const SAFEARRAYBOUND bounds[2] = {{n, 0}, {1, 0}};
    SAFEARRAY* psa = rtSafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!psa) return E_OUTOFMEMORY;
    auto* cells = static_cast<VARIANT*>(psa->pvData);
    for (uint32_t i = 0; i < n; ++i) {
        const Column* c = columnAt(rs->columns, i);
        const SQLULEN row = rs->rowInBlock;
        const HRESULT quick = commonCell(c, row, &cells[i]);
        if (quick == S_OK) continue;
        if (quick == E_OUTOFMEMORY) {
            rtSafeArrayDestroy(psa);
            return E_OUTOFMEMORY;
        }
        if (RT_FAILED(cellValue(rs, c, row, &cells[i]))) {
            rtSafeArrayDestroy(psa);
            return E_OUTOFMEMORY;
        }
        if (rs->positionRefused) {
            rs->positionRefused = false;
            if (!reopenRowByRow(rs)) {
                // The cut value stays, and the reason is recorded.
                recordError(rs->engine, rs->henv, rs->hdbc, rs->hstmt);
                rs->endOfData = true;
                continue;
            }
            for (uint32_t j = 0; j <= i; ++j) rtVariantClear(&cells[j]);
            i = uint32_t(-1);  // the row again from its first column
        }
    }
    ++rs->rowsHanded;
    rtVariantClear(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = psa;
    return S_OK;
}

// ---- resultset slots ----

uint32_t resultsetRelease(void* self);

HRESULT closeResultset(Resultset* rs) {
    // Our column buffers go first: the driver gives back a large result as many small blocks, and
    // a large block freed after them would make the allocator sort all of those out first.
    // Dropping the statement does not touch bound buffers.
    resetColumns(rs);
    if (rs->hstmt) dm::SQLFreeStmt(rs->hstmt, SQL_DROP);
    rs->hstmt = SQL_NULL_HSTMT;
    std::free(rs->rowStatus);
    rs->rowStatus = nullptr;
    rs->blockFetch = false;
    rs->rowsInBlock = 0;
    rs->executed = false;
    return S_OK;
}

HRESULT resultsetColumns(void* self, void** out) {
    if (!out) return E_POINTER;
    auto* rs = static_cast<Resultset*>(self);
    if (!rs->hstmt) return E_FAIL;
    if (!rs->columns) {
        const HRESULT hr = guarded([&] { return describeColumns(rs); });
        if (RT_FAILED(hr)) {
            resetColumns(rs);
            return hr;
        }
    }
    *out = rs->columns;
    addRef(*out);
    return S_OK;
}

HRESULT resultsetEndOfData(void* self, int32_t* out) {
    const bool end = static_cast<Resultset*>(self)->endOfData;
    if (out) *out = end ? 1 : 0;
    return end ? S_FALSE : S_OK;
}

HRESULT resultsetClose(void* self) { return closeResultset(static_cast<Resultset*>(self)); }

HRESULT resultsetOpenStatement(void* self) {
    return guarded([&] { return openStatement(static_cast<Resultset*>(self)); });
}

HRESULT resultsetGetRows(void* self, VARIANT, VARIANT* out) {
    return guarded([&] { return getRows(static_cast<Resultset*>(self), out); });
}

const NovaResultsetSlots kResultsetSlots = {
    NOVA_BASE_SLOTS(&resultsetRelease),
    &unused1,
    &unused1,
    &resultsetColumns,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &resultsetEndOfData,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &resultsetClose,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &resultsetOpenStatement,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &resultsetGetRows,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
    &unused1,
};

uint32_t resultsetRelease(void* self) {
    uint32_t left;
    if (dropRef(self, &left)) {
        auto* rs = static_cast<Resultset*>(self);
        closeResultset(rs);
        rtSysFreeString(rs->sql);
        delete rs;
    }
    return left;
}

}  // namespace

HRESULT openResultset(Connection* conn, BSTR sql, VARIANT lockType, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* rs = new (std::nothrow) Resultset{{&kResultsetSlots, 1},
                                            conn->engine,
                                            conn->henv,
                                            conn->hdbc,
                                            SQL_NULL_HSTMT,
                                            nullptr,
                                            conn->queryTimeout,
                                            rt::ole::variantNumber(lockType),
                                            nullptr,
                                            false,
                                            false,
                                            1,
                                            false,
                                            0,
                                            0,
                                            nullptr,
                                            0,
                                            false};
    if (!rs) return E_OUTOFMEMORY;
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!succeeded(dm::SQLAllocStmt(conn->hdbc, &st))) {
        recordError(conn->engine, conn->henv, conn->hdbc, SQL_NULL_HSTMT);
        resultsetRelease(rs);
        return E_FAIL;
    }
    rs->hstmt = st;
    // The caller's text may go away after this call.
    if (sql) {
        rs->sql = rtSysAllocStringLen(sql, rtSysStringLen(sql));
        if (!rs->sql) {
            resultsetRelease(rs);
            return E_OUTOFMEMORY;
        }
    }
    const HRESULT hr = guarded([&] { return openStatement(rs); });
    if (RT_FAILED(hr)) {
        resultsetRelease(rs);
        return hr;
    }
    *out = rs;
    return S_OK;
}

}  // namespace novaodbc
