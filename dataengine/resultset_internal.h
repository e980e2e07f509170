#pragma once
// Internal: the resultset, its columns collection and its columns, shared by the describing of
// the columns (resultset_columns.cpp) and the binding and fetching of the rows (resultset.cpp).

#include "dataengine/engine_internal.h"

namespace novaodbc {

// The engine's own C type for columns that are not bound.
inline constexpr SQLSMALLINT kNotBound = 0;
// A text buffer beyond this cannot be had for one column; such columns are read unbound.
inline constexpr uint64_t kMaxTextBuffer = uint64_t(16) << 20;

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

inline bool dropRef(void* self, uint32_t* left) {
    auto* head = static_cast<ObjectHead*>(self);
    *left = --head->refs;
    return *left == 0;
}

inline Column* columnAt(const Columns* cols, uint32_t i) { return static_cast<Column*>(cols->items.at(i)); }

// Buffer length and C type by SQL type. Text is the drivers' UTF-8, so a character may take
// four bytes; numbers as text need their sign, point and terminator.
struct Binding {
    SQLSMALLINT cType;
    uint64_t size;
};
Binding bindingFor(const Column& c, SQLLEN length);

// Last releases of a column and of the collection (which releases its columns).
uint32_t columnRelease(void* self);
uint32_t columnsRelease(void* self);
void resetColumns(Resultset* rs);
// The columns of the prepared statement, named (duplicates qualified by their table).
HRESULT describeColumns(Resultset* rs);

}  // namespace novaodbc
