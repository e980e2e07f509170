// Columns collection and column: the result columns of a resultset's statement, described and
// named, duplicates qualified by their table.
#include <algorithm>
#include <optional>
#include <vector>

#include "dataengine/resultset_internal.h"
#include "dataengine/table_list.h"

namespace novaodbc {

namespace {

// Characters kept of a column name, and the bytes they may take in UTF-8.
constexpr size_t kNameChars = 29;
constexpr size_t kNameBuffer = 4 * kNameChars + 1;

}  // namespace

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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace novaodbc
