// Resultset: one statement, its columns bound, and its rows handed out one at a time.
#include <algorithm>
#include <cstring>
#include <vector>

#include "dataengine/resultset_internal.h"

namespace novaodbc {

namespace {

// Rows fetched ahead per driver call, and the memory one block of them may take.
constexpr uint32_t kMaxRowsetSize = 1000;
constexpr size_t kMaxBlockBytes = size_t(8) << 20;
// Piece size of values read with SQLGetData.
constexpr size_t kPieceBytes = size_t(64) << 10;

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
