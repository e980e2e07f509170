#pragma once
// The ODBC driver manager, bound at run time function by function: the library loads on a system
// without a driver manager, and the manager is loaded only when the first ODBC call is made.
// Every call goes through one table; each entry starts at a first-use routine that loads the
// manager, looks the function up, stores its address and calls it. A function that cannot be
// bound answers SQL_ERROR, and lastCallUnbound() tells the error recorder why.

#include <atomic>
#include <sql.h>
#include <sqlext.h>
#include <string>

namespace novaodbc::dm {

// The table's entries, in their fixed order. The last one, beyond the 39 of the original
// table, sets driver-specific connection options, whose numbers do not fit SQLSetConnectOption.
// clang-format off
#define NOVAODBC_DM_FUNCTIONS(X)                                                                   \
    X(SQLAllocConnect) X(SQLAllocEnv) X(SQLAllocStmt) X(SQLBindCol) X(SQLCancel) X(SQLDescribeCol)  \
    X(SQLDisconnect) X(SQLDriverConnect) X(SQLError) X(SQLExecDirect) X(SQLExecute)                 \
    X(SQLExtendedFetch) X(SQLFetch) X(SQLFreeConnect) X(SQLFreeEnv) X(SQLFreeStmt)                  \
    X(SQLGetCursorName) X(SQLGetData) X(SQLGetFunctions) X(SQLGetInfo) X(SQLMoreResults)            \
    X(SQLNumResultCols) X(SQLParamData) X(SQLPrepare) X(SQLPutData) X(SQLRowCount)                  \
    X(SQLSetConnectOption) X(SQLSetPos) X(SQLSetStmtOption) X(SQLTransact) X(SQLBindParameter)      \
    X(SQLNumParams) X(SQLGetStmtOption) X(SQLDataSources) X(SQLConnect) X(SQLGetDiagRec)            \
    X(SQLColAttribute) X(SQLColumns) X(SQLColAttributes) X(SQLSetConnectAttr)
// clang-format on

enum Entry : int {
#define NOVAODBC_DM_ENUM(name) e##name,
    NOVAODBC_DM_FUNCTIONS(NOVAODBC_DM_ENUM)
#undef NOVAODBC_DM_ENUM
        kEntryCount
};
static_assert(kEntryCount == 40);

extern const char* const kEntryNames[kEntryCount];
extern std::atomic<void*> table[kEntryCount];
extern thread_local constinit bool unboundFlag;

// Binds entry i: loads the manager when needed and stores the function's address. nullptr when
// the manager cannot be loaded or lacks the function.
void* bind(int i) noexcept;

template <int I, typename F>
struct Caller;

template <int I, typename R, typename... A>
struct Caller<I, R (*)(A...)> {
    using Fn = R (*)(A...);
    static R firstUse(A... a) noexcept {
        void* p = bind(I);
        if (!p) {
            unboundFlag = true;
            return SQL_ERROR;
        }
        return reinterpret_cast<Fn>(p)(a...);
    }
    static R call(A... a) noexcept {
        unboundFlag = false;
        return reinterpret_cast<Fn>(table[I].load(std::memory_order_acquire))(a...);
    }
};

// dm::SQLFetch(...) and so on: the same signatures as the driver manager's functions.
#define NOVAODBC_DM_CALLER(name)        \
    using name##_t = decltype(&::name); \
    inline constexpr auto name = &Caller<e##name, name##_t>::call;
NOVAODBC_DM_FUNCTIONS(NOVAODBC_DM_CALLER)
#undef NOVAODBC_DM_CALLER

// True when the last call on this thread failed because its function could not be bound.
inline bool lastCallUnbound() { return unboundFlag; }

// The manager's file name: NOVAODBC_DRIVER_MANAGER from the environment, else "libodbc.so.2".
std::string libraryName();
// For tests: another manager from now on. The entries start over at their first-use routines;
// a library already loaded stays loaded.
void setLibraryName(const std::string& name);
// For tests: how often a manager library was loaded.
int loadCount();
bool loaded();

}  // namespace novaodbc::dm
