// The engine against the scripted driver manager: call order, arguments and failure paths that
// no real driver produces on demand.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <thread>

#include "dataengine/engine_internal.h"
#include "dataengine/odbc_binding.h"
#include "tests/dataengine/engine_client.h"
#include "tests/dataengine/fake_odbc.h"

extern "C" void* FODBC_CreateEngine(void);

using namespace enginetest;

namespace {

struct Fake {
    fake_reset_t reset;
    fake_push_result_t pushResult;
    fake_set_result_t setResult;
    fake_push_diag_t pushDiag;
    fake_add_column_t addColumn;
    fake_add_row_t addRow;
    fake_set_catalog_t setCatalog;
    fake_log_t log;
    fake_count_t count;
};

Fake& fake() {
    static Fake f = [] {
        void* h = dlopen(FAKE_ODBC_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!h) std::abort();
        Fake x{};
        x.reset = reinterpret_cast<fake_reset_t>(dlsym(h, "fake_reset"));
        x.pushResult = reinterpret_cast<fake_push_result_t>(dlsym(h, "fake_push_result"));
        x.setResult = reinterpret_cast<fake_set_result_t>(dlsym(h, "fake_set_result"));
        x.pushDiag = reinterpret_cast<fake_push_diag_t>(dlsym(h, "fake_push_diag"));
        x.addColumn = reinterpret_cast<fake_add_column_t>(dlsym(h, "fake_add_column"));
        x.addRow = reinterpret_cast<fake_add_row_t>(dlsym(h, "fake_add_row"));
        x.setCatalog = reinterpret_cast<fake_set_catalog_t>(dlsym(h, "fake_set_catalog"));
        x.log = reinterpret_cast<fake_log_t>(dlsym(h, "fake_log"));
        x.count = reinterpret_cast<fake_count_t>(dlsym(h, "fake_count"));
        return x;
    }();
    return f;
}

std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::string all = fake().log();
    size_t p = 0;
    while (p < all.size()) {
        size_t e = all.find('\n', p);
        lines.push_back(all.substr(p, e - p));
        p = e + 1;
    }
    return lines;
}

// Lines of the log that start with prefix.
std::vector<std::string> logOf(const std::string& prefix) {
    std::vector<std::string> out;
    for (auto& l : logLines())
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

bool logHasInOrder(const std::vector<std::string>& expected) {
    auto lines = logLines();
    size_t i = 0;
    for (auto& l : lines)
        if (i < expected.size() && l.rfind(expected[i], 0) == 0) ++i;
    return i == expected.size();
}

class FakeDm : public ::testing::Test {
protected:
    void SetUp() override {
        novaodbc::dm::setLibraryName(FAKE_ODBC_PATH);
        fake().reset();
        engine = FODBC_CreateEngine();
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override {
        if (rs) release(rs);
        if (conn) release(conn);
        if (env) release(env);
        EXPECT_EQ(release(engine), 0u);
    }
    void connect(const std::string& cs = "DRIVER=Fake;Database=x") {
        env = createEnvironment(engine);
        ASSERT_NE(env, nullptr);
        HRESULT hr;
        conn = openConnection(env, cs, &hr);
        ASSERT_EQ(hr, S_OK);
    }
    void open(const std::string& sql, HRESULT expected = S_OK, int16_t lockType = 1) {
        HRESULT hr;
        rs = openResultset(conn, sql, &hr, lockType);
        ASSERT_EQ(hr, expected);
        if (hr != S_OK) {
            EXPECT_EQ(rs, nullptr);
            rs = nullptr;
        }
    }
    void* engine = nullptr;
    void* env = nullptr;
    void* conn = nullptr;
    void* rs = nullptr;
};

}  // namespace

TEST_F(FakeDm, CreatingTheEngineLoadsNothingAndTheFirstEnvironmentLoadsTheManagerOnce) {
    const int before = novaodbc::dm::loadCount();
    EXPECT_FALSE(novaodbc::dm::loaded());
    void* a = createEnvironment(engine);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(novaodbc::dm::loaded());
    EXPECT_EQ(novaodbc::dm::loadCount(), before + 1);
    void* b = createEnvironment(engine);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(novaodbc::dm::loadCount(), before + 1);
    EXPECT_EQ(fake().count("SQLAllocEnv"), 2);
    release(a);
    release(b);
    EXPECT_EQ(fake().count("SQLFreeEnv"), 2);
}

TEST_F(FakeDm, QueryInterfaceAnswersOnlyIUnknown) {
    void* out = reinterpret_cast<void*>(0x1234);
    const GUID other = {0x12345678u, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(slotsOf<RtDispatchSlots>(engine)->QueryInterface(engine, &other, &out), E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(slotsOf<RtDispatchSlots>(engine)->QueryInterface(engine, &rt::ole::IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, engine);
    EXPECT_EQ(addRef(engine), 3u);
    EXPECT_EQ(release(engine), 2u);
    EXPECT_EQ(release(engine), 1u);
    // No automation by name; unlisted slots fail without touching their arguments.
    uint32_t count = 77;
    EXPECT_EQ(slotsOf<RtDispatchSlots>(engine)->GetTypeInfoCount(engine, &count), E_FAIL);
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(slotsOf<NovaEngineSlots>(engine)->unused7(engine, &count), E_FAIL);
    EXPECT_EQ(slotsOf<NovaEngineSlots>(engine)->unused20(engine, nullptr, nullptr, nullptr, nullptr), E_FAIL);
}

TEST_F(FakeDm, EnvironmentsCollectionCountsOneAndMakesANewEnvironmentPerItem) {
    void* envs = nullptr;
    ASSERT_EQ(slotsOf<NovaEngineSlots>(engine)->Environments(engine, &envs), S_OK);
    int32_t n = 0;
    EXPECT_EQ(slotsOf<NovaEnvironmentsSlots>(envs)->Count(envs, &n), S_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(fake().count("SQLAllocEnv"), 0);
    void *a = nullptr, *b = nullptr;
    EXPECT_EQ(slotsOf<NovaEnvironmentsSlots>(envs)->Item(envs, i2(0), &a), S_OK);
    EXPECT_EQ(slotsOf<NovaEnvironmentsSlots>(envs)->Item(envs, i2(0), &b), S_OK);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    // A failed environment is no environment, and still S_OK.
    fake().pushResult("SQLAllocEnv", SQL_ERROR);
    void* c = reinterpret_cast<void*>(1);
    EXPECT_EQ(slotsOf<NovaEnvironmentsSlots>(envs)->Item(envs, i2(0), &c), S_OK);
    EXPECT_EQ(c, nullptr);
    release(a);
    release(b);
    EXPECT_EQ(release(envs), 1u);
}

TEST_F(FakeDm, CreateEnvironmentFailsOnEveryResultButSuccessAndRecordsAFixedText) {
    for (int rc : {SQL_ERROR, SQL_INVALID_HANDLE, SQL_NO_DATA}) {
        SCOPED_TRACE(rc);
        clearErrors(engine);
        fake().pushResult("SQLAllocEnv", rc);
        HRESULT hr;
        void* e = createEnvironment(engine, &hr);
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_EQ(e, nullptr);
        auto errs = errors(engine);
        ASSERT_EQ(errs.size(), 1u);
        EXPECT_EQ(errs[0].number, 0);
        EXPECT_EQ(errs[0].description, std::string(novaodbc::kNoDiagnosticText) + "\n[ODBC Error] SQLSTATE=HY000");
    }
}

TEST(FakeDmBinding, AManagerThatCannotBeLoadedOrLacksAFunctionGivesSqlErrorAndTheFixedText) {
    for (const char* name : {"/nonexistent/libodbc.so.2", "libm.so.6"}) {
        SCOPED_TRACE(name);
        novaodbc::dm::setLibraryName(name);
        void* engine = FODBC_CreateEngine();
        HRESULT hr;
        void* e = createEnvironment(engine, &hr);
        EXPECT_EQ(hr, E_FAIL);
        EXPECT_EQ(e, nullptr);
        auto errs = errors(engine);
        ASSERT_EQ(errs.size(), 1u);
        EXPECT_EQ(errs[0].description, "ODBC driver manager could not be loaded\n[ODBC Error] SQLSTATE=IM003");
        SQLHENV h = nullptr;
        EXPECT_EQ(novaodbc::dm::SQLAllocEnv(&h), SQL_ERROR);
        EXPECT_TRUE(novaodbc::dm::lastCallUnbound());
        release(engine);
    }
}

TEST(FakeDmBinding, ThreadsBindingAtOnceAllSeeTheManagersAddresses) {
    novaodbc::dm::setLibraryName(FAKE_ODBC_PATH);
    void* h = dlopen(FAKE_ODBC_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < novaodbc::dm::kEntryCount; ++i) novaodbc::dm::bind(i);
        });
    for (auto& t : threads) t.join();
    for (const char* fn : {"SQLAllocEnv", "SQLFetch", "SQLError", "SQLColumns"}) {
        int i = 0;
        while (std::string(novaodbc::dm::kEntryNames[i]) != fn) ++i;
        EXPECT_EQ(novaodbc::dm::table[i].load(), dlsym(h, fn)) << fn;
    }
}

TEST_F(FakeDm, LoginTimeoutIsKeptAndGivenToTheConnection) {
    env = createEnvironment(engine);
    int32_t t = -1;
    EXPECT_EQ(slotsOf<NovaEnvironmentSlots>(env)->GetLoginTimeout(env, &t), S_OK);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(slotsOf<NovaEnvironmentSlots>(env)->PutLoginTimeout(env, 15), S_OK);
    slotsOf<NovaEnvironmentSlots>(env)->GetLoginTimeout(env, &t);
    EXPECT_EQ(t, 15);
    HRESULT hr;
    conn = openConnection(env, "DRIVER=Fake", &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_TRUE(logHasInOrder({"SQLAllocConnect", "SQLSetConnectOption 103 15", "SQLDriverConnect"}));
}

TEST_F(FakeDm, PromptChoosesTheCompletionMode) {
    struct Case {
        VARIANT prompt;
        int mode;
    };
    VARIANT text = empty();
    text.vt = VT_BSTR;
    text.bstrVal = nullptr;
    const Case cases[] = {{i2(0), 0}, {i2(1), 1}, {i2(-1), 3}, {i4(0), 3}, {empty(), 3}, {text, 3}};
    env = createEnvironment(engine);
    for (const auto& c : cases) {
        fake().reset();
        HRESULT hr;
        void* cn = openConnection(env, "DRIVER=Fake", &hr, c.prompt);
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(logOf("SQLDriverConnect").at(0).substr(0, 23), "SQLDriverConnect mode=" + std::to_string(c.mode));
        slotsOf<NovaConnectionSlots>(cn)->Close(cn);
        release(cn);
    }
}

TEST_F(FakeDm, RefusedDriverConnectFallsBackToTheDataSourceOfTheString) {
    struct Case {
        std::string connect;
        std::string expected;
    };
    const std::string longPwd(300, 'p');
    const Case cases[] = {
        {"DSN=Sales;UID=anna;PWD=geheim", "SQLConnect dsn=Sales uid=anna pwd=geheim"},
        {"ODSN=Sales;UID=anna", "SQLConnect dsn=Sales uid=anna pwd="},    // found inside a longer key
        {"DSN=Sales;XUID=bob;PWD", "SQLConnect dsn=Sales uid=bob pwd="},  // no "=" after PWD
        {"DSN=Sales;UID=u;PWD=" + longPwd, "SQLConnect dsn=Sales uid=u pwd=" + longPwd},
    };
    env = createEnvironment(engine);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connect);
        fake().reset();
        fake().pushResult("SQLDriverConnect", SQL_ERROR);
        HRESULT hr;
        void* cn = openConnection(env, c.connect, &hr);
        ASSERT_EQ(hr, S_OK);
        ASSERT_EQ(logOf("SQLConnect").size(), 1u);
        EXPECT_EQ(logOf("SQLConnect")[0], c.expected);
        EXPECT_EQ(fake().count("SQLError"), 0);
        slotsOf<NovaConnectionSlots>(cn)->Close(cn);
        release(cn);
    }
    EXPECT_TRUE(errors(engine).empty());
}

TEST_F(FakeDm, WithoutDsnTheFallbackIsSkippedAndTheDriverConnectErrorRecorded) {
    env = createEnvironment(engine);
    fake().pushResult("SQLDriverConnect", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "IM002", 0, "Data source name not found");
    HRESULT hr;
    void* cn = openConnection(env, "dsn=lower;DRIVER=Nope", &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(cn, nullptr);
    EXPECT_EQ(fake().count("SQLConnect"), 0);
    EXPECT_EQ(logOf("SQLError").at(0), "SQLError env dbc 511");
    auto errs = errors(engine);
    ASSERT_EQ(errs.size(), 1u);
    EXPECT_EQ(errs[0].description, "Data source name not found\n[ODBC Error] SQLSTATE=IM002");
    EXPECT_EQ(fake().count("SQLFreeConnect"), 1);
}

TEST_F(FakeDm, BothConnectAttemptsRefusedRecordTheFallbacksDiagnostic) {
    env = createEnvironment(engine);
    fake().pushResult("SQLDriverConnect", SQL_ERROR);
    fake().pushResult("SQLConnect", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "08001", 17, "Unable to connect");
    HRESULT hr;
    void* cn = openConnection(env, "DSN=Sales", &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(cn, nullptr);
    auto errs = errors(engine);
    ASSERT_EQ(errs.size(), 1u);
    EXPECT_EQ(errs[0].number, 8001);
    EXPECT_EQ(errs[0].description, "Unable to connect\n[ODBC Error] SQLSTATE=08001");
    EXPECT_EQ(fake().count("SQLError"), 1);
}

TEST_F(FakeDm, AllocConnectFailureRecordsWithTheEnvironmentHandle) {
    env = createEnvironment(engine);
    fake().pushResult("SQLAllocConnect", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "HY001", 0, "Memory allocation error");
    HRESULT hr;
    void* cn = openConnection(env, "DRIVER=Fake", &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(cn, nullptr);
    EXPECT_EQ(logOf("SQLError").at(0), "SQLError env 511");
    ASSERT_EQ(errors(engine).size(), 1u);
}

TEST_F(FakeDm, ErrorNumbersComeFromTheLeadingDigitsOfTheState) {
    connect();
    struct Case {
        const char* state;
        int number;
    };
    for (Case c : {Case{"42S02", 42}, Case{"HY000", 0}, Case{"S1000", 0}, Case{"08001", 8001}, Case{"23000", 23000}}) {
        clearErrors(engine);
        fake().pushResult("SQLPrepare", SQL_ERROR);
        fake().pushDiag(SQL_SUCCESS, c.state, 0, "failed");
        open("SELECT 1", E_FAIL);
        auto errs = errors(engine);
        ASSERT_EQ(errs.size(), 1u);
        EXPECT_EQ(errs[0].number, c.number) << c.state;
    }
}

TEST_F(FakeDm, ADiagnosticThatCannotBeReadGivesTheFixedTextAndNoDataGivesNothing) {
    connect();
    struct Case {
        int rc;
        bool recorded;
    };
    for (Case c : {Case{SQL_INVALID_HANDLE, true}, Case{SQL_ERROR, true}, Case{SQL_NO_DATA, false}}) {
        clearErrors(engine);
        fake().pushResult("SQLPrepare", SQL_ERROR);
        fake().pushDiag(c.rc, "XXXXX", 0, "garbage");
        open("SELECT 1", E_FAIL);
        auto errs = errors(engine);
        ASSERT_EQ(errs.size(), c.recorded ? 1u : 0u) << c.rc;
        if (c.recorded) {
            EXPECT_EQ(errs[0].description.rfind(novaodbc::kNoDiagnosticText, 0), 0u);
        }
    }
}

TEST_F(FakeDm, ErrorsAreNewestFirstWithBadIndexBeyondTheEndAndClear) {
    connect();
    fake().pushResult("SQLPrepare", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "42S02", 0, "first");
    open("SELECT a", E_FAIL);
    fake().pushResult("SQLPrepare", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "42S02", 0, "second");
    open("SELECT b", E_FAIL);

    void* errs = nullptr;
    ASSERT_EQ(slotsOf<NovaEngineSlots>(engine)->Errors(engine, &errs), S_OK);
    int32_t n = 0;
    slotsOf<NovaErrorsSlots>(errs)->Count(errs, &n);
    ASSERT_EQ(n, 2);
    auto description = [&](VARIANT index) {
        void* e = nullptr;
        EXPECT_EQ(slotsOf<NovaErrorsSlots>(errs)->Item(errs, index, &e), S_OK);
        rt::ole::Bstr d;
        slotsOf<NovaErrorSlots>(e)->Description(e, d.out());
        release(e);
        return d.utf8().substr(0, d.utf8().find('\n'));
    };
    EXPECT_EQ(description(i2(0)), "second");
    EXPECT_EQ(description(i2(1)), "first");
    EXPECT_EQ(description(i4(65537)), "first");  // low 16 bits
    VARIANT text = empty();
    text.vt = VT_R8;
    text.dblVal = 1.0;
    EXPECT_EQ(description(text), "second");  // not a number type: index 0

    void* e = reinterpret_cast<void*>(1);
    EXPECT_EQ(slotsOf<NovaErrorsSlots>(errs)->Item(errs, i2(2), &e), DISP_E_BADINDEX);
    EXPECT_EQ(e, nullptr);
    e = reinterpret_cast<void*>(1);
    EXPECT_EQ(slotsOf<NovaErrorsSlots>(errs)->Item(errs, i2(-1), &e), DISP_E_BADINDEX);
    EXPECT_EQ(e, nullptr);

    // An error handed out outlives Clear.
    void* kept = nullptr;
    slotsOf<NovaErrorsSlots>(errs)->Item(errs, i2(0), &kept);
    EXPECT_EQ(slotsOf<NovaErrorsSlots>(errs)->Clear(errs), S_OK);
    slotsOf<NovaErrorsSlots>(errs)->Count(errs, &n);
    EXPECT_EQ(n, 0);
    int32_t number = -1;
    EXPECT_EQ(slotsOf<NovaErrorSlots>(kept)->Number(kept, &number), S_OK);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(release(kept), 0u);
    release(errs);
}

TEST_F(FakeDm, CloseCommitsDisconnectsAndFreesOnceThenDoesNothing) {
    connect();
    fake().reset();
    EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->Close(conn), S_OK);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"SQLTransact 0", "SQLDisconnect", "SQLFreeConnect"}));
    EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->Close(conn), S_OK);
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(FakeDm, CloseReportsFailureWhenTheDriverRefusesToFreeTheHandle) {
    connect();
    fake().pushResult("SQLFreeConnect", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "HY010", 0, "Function sequence error");
    EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->Close(conn), E_FAIL);
    EXPECT_EQ(errors(engine).size(), 1u);
    // The handle is kept: the next Close frees it.
    EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->Close(conn), S_OK);
    EXPECT_EQ(fake().count("SQLFreeConnect"), 2);
    EXPECT_EQ(fake().count("SQLDisconnect"), 1);
}

TEST_F(FakeDm, TheLastReleaseOfAnOpenConnectionDisconnectsFirst) {
    connect();
    fake().reset();
    EXPECT_EQ(release(conn), 0u);
    conn = nullptr;
    EXPECT_EQ(logLines(), (std::vector<std::string>{"SQLTransact 0", "SQLDisconnect", "SQLFreeConnect"}));
}

TEST_F(FakeDm, QueryTimeoutAnswersItsValueAndReachesTheStatement) {
    connect();
    EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->PutQueryTimeout(conn, 30), 30);
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    open("SELECT a FROM t");
    EXPECT_EQ(logOf("SQLSetStmtOption 0 ").at(0), "SQLSetStmtOption 0 30");
}

TEST_F(FakeDm, ExecuteRunsDirectlyDropsTheStatementAndRecordsNothing) {
    connect();
    fake().reset();
    EXPECT_EQ(execute(conn, "UPDATE t SET a = 1"), S_OK);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"SQLAllocStmt", "SQLExecDirect UPDATE t SET a = 1", "SQLFreeStmt 1"}));
    fake().pushResult("SQLExecDirect", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "42000", 0, "syntax");
    EXPECT_EQ(execute(conn, "BAD"), E_FAIL);
    EXPECT_EQ(fake().count("SQLFreeStmt 1"), 2);
    fake().pushResult("SQLAllocStmt", SQL_ERROR);
    EXPECT_EQ(execute(conn, "X"), E_FAIL);
    EXPECT_TRUE(errors(engine).empty());
    EXPECT_EQ(fake().count("SQLError"), 0);
}

TEST_F(FakeDm, OpenResultsetKeepsItsOwnCopyOfTheTextAndReopeningClosesTheCursor) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().addRow(std::vector<const char*>{"1"}.data(), 1);
    {
        rt::ole::Bstr sql(std::string_view("SELECT a FROM t"));
        HRESULT hr = slotsOf<NovaConnectionSlots>(conn)->OpenResultset(conn, sql.get(), i2(0), i2(1), empty(), &rs);
        ASSERT_EQ(hr, S_OK);
        // The caller's string is gone and overwritten before the statement is opened again.
        std::fill(sql.get(), sql.get() + 15, u'X');
    }
    EXPECT_EQ(getRow(rs), std::vector<std::string>{"I4:1"});
    fake().reset();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().addRow(std::vector<const char*>{"2"}.data(), 1);
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->OpenStatement(rs), S_OK);
    EXPECT_TRUE(logHasInOrder({"SQLFreeStmt 0", "SQLPrepare SELECT a FROM t", "SQLExecute"}));
    EXPECT_EQ(fake().count("SQLDescribeCol"), 0);  // described only on the first open
    EXPECT_EQ(getRow(rs), std::vector<std::string>{"I4:2"});
}

TEST_F(FakeDm, LockTypeOneAsksForAReadOnlyForwardCursorAndToleratesRefusal) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().pushResult("SQLSetStmtOption", SQL_SUCCESS);  // query time-out
    fake().pushResult("SQLSetStmtOption", SQL_SUCCESS);  // concurrency
    fake().pushResult("SQLSetStmtOption", SQL_ERROR);    // cursor type
    open("SELECT a FROM t");
    EXPECT_TRUE(logHasInOrder(
        {"SQLSetStmtOption 0 0", "SQLSetStmtOption 7 1", "SQLSetStmtOption 6 0", "SQLGetDiagRec 3 1", "SQLPrepare"}));
    EXPECT_TRUE(errors(engine).empty());
    release(rs);
    rs = nullptr;
    fake().reset();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    open("SELECT a FROM t", S_OK, 2);
    EXPECT_EQ(fake().count("SQLSetStmtOption 7"), 0);
}

namespace {
struct BindCase {
    const char* what;
    int sqlType;
    int columnSize;
    int decimals;
    int length;
    const char* value;
    int cType;         // bound as, 0 = not bound
    int bufferLength;  // also the column's Size
    const char* cell;
};
}  // namespace

TEST_F(FakeDm, ColumnsAreBoundByTheirSqlType) {
    const std::string longText(40, 'x');
    const BindCase cases[] = {
        {"char", SQL_CHAR, 10, 0, 10, "Müller", SQL_C_CHAR, 41, "BSTR:Müller"},
        {"varchar", SQL_VARCHAR, 5, 0, 5, "äöüßé", SQL_C_CHAR, 21, "BSTR:äöüßé"},
        {"longvarchar", SQL_LONGVARCHAR, 100, 0, 100, "t", SQL_C_CHAR, 401, "BSTR:t"},
        {"wvarchar", SQL_WVARCHAR, 10, 0, 20, "wide", SQL_C_CHAR, 81, "BSTR:wide"},
        {"wchar", SQL_WCHAR, 3, 0, 3, "abc", SQL_C_CHAR, 13, "BSTR:abc"},
        {"wlongvarchar", SQL_WLONGVARCHAR, 8, 0, 8, "long", SQL_C_CHAR, 33, "BSTR:long"},
        {"decimal", SQL_DECIMAL, 10, 2, 12, "-12345678.90", SQL_C_CHAR, 13, "BSTR:-12345678.90"},
        {"numeric fraction", SQL_NUMERIC, 3, 3, 5, "-0.125", SQL_C_CHAR, 7, "BSTR:-0.125"},
        {"bigint", SQL_BIGINT, 19, 0, 8, "-9223372036854775808", SQL_C_CHAR, 21, "BSTR:-9223372036854775808"},
        {"date", SQL_DATE, 10, 0, 10, "2024-02-29", SQL_C_CHAR, 33, "BSTR:2024-02-29"},
        {"timestamp", SQL_TIMESTAMP, 19, 0, 19, "2024-02-29 13:14:15", SQL_C_CHAR, 33, "BSTR:2024-02-29 13:14:15"},
        {"type timestamp", SQL_TYPE_TIMESTAMP, 19, 0, 19, "2024-02-29 13:14:15", SQL_C_CHAR, 33,
         "BSTR:2024-02-29 13:14:15"},
        {"interval", SQL_INTERVAL_DAY, 6, 0, 6, "3", SQL_C_CHAR, 7, "BSTR:3"},
        {"integer", SQL_INTEGER, 10, 0, 4, "-2147483648", SQL_C_SLONG, 4, "I4:-2147483648"},
        {"smallint", SQL_SMALLINT, 5, 0, 2, "-32768", SQL_C_SSHORT, 2, "I2:-32768"},
        {"double", SQL_DOUBLE, 15, 0, 8, "1.5", SQL_C_DOUBLE, 8, "R8:1.5"},
        {"float", SQL_FLOAT, 15, 0, 8, "2.25", SQL_C_DOUBLE, 8, "R8:2.25"},
        {"real", SQL_REAL, 7, 0, 4, "0.5", SQL_C_FLOAT, 4, "R4:0.500000"},
        {"bit", SQL_BIT, 1, 0, 1, "1", SQL_C_BIT, 1, "UI1:1"},
        {"tinyint", SQL_TINYINT, 3, 0, 1, "200", SQL_C_UTINYINT, 1, "UI1:200"},
        {"binary", SQL_BINARY, 4, 0, 4, "ab", 0, 0, "BYTES:ab"},
        {"longvarbinary", SQL_LONGVARBINARY, 0, 0, 0, "ab", 0, 0, "BYTES:ab"},
    };
    connect();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake().reset();
        fake().addColumn("v", c.sqlType, c.columnSize, c.decimals, c.length, "");
        fake().addColumn("after", SQL_INTEGER, 10, 0, 4, "");
        const char* row[] = {c.value, "7"};
        fake().addRow(row, 2);
        open("SELECT v, after FROM t");
        if (c.cType) {
            EXPECT_EQ(logOf("SQLBindCol 1 ").at(0),
                      "SQLBindCol 1 " + std::to_string(c.cType) + " " + std::to_string(c.bufferLength));
            auto cols = columns(rs);
            ASSERT_EQ(cols.size(), 2u);
            EXPECT_EQ(cols[0].size, c.bufferLength);
            EXPECT_EQ(cols[0].type, c.sqlType);
            EXPECT_EQ(getRow(rs), (std::vector<std::string>{c.cell, "I4:7"}));
        } else {
            // Binding stops at a column that cannot be bound; it and those after it are read
            // with SQLGetData, one row per fetch.
            EXPECT_EQ(fake().count("SQLBindCol"), 0);
            EXPECT_EQ(getRow(rs), (std::vector<std::string>{c.cell, "I4:7"}));
            EXPECT_EQ(logOf("SQLGetData"), (std::vector<std::string>{"SQLGetData 1 -2 65536", "SQLGetData 2 -16 8"}));
            EXPECT_EQ(fake().count("SQLExtendedFetch"), 0);
        }
        release(rs);
        rs = nullptr;
    }
}

TEST_F(FakeDm, ColumnLengthIsAskedOnlyForTypesWithoutFixedSizeAndItsFailureIsRecorded) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("b", SQL_VARCHAR, 10, 0, 10, "");
    fake().pushResult("SQLColAttributes", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "HY091", 0, "Invalid descriptor field identifier");
    open("SELECT a, b FROM t");
    EXPECT_EQ(logOf("SQLColAttributes"), std::vector<std::string>{"SQLColAttributes 2 3"});
    EXPECT_EQ(errors(engine).size(), 1u);
    // The described size stands in for the length.
    EXPECT_EQ(columns(rs).at(1).size, 41);
}

TEST_F(FakeDm, ColumnNamesAreCutTo29Characters) {
    connect();
    fake().addColumn("a_column_name_of_35_characters_xyz", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("Übersicht_Größe_Änderung_Öl_xyz", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€", SQL_INTEGER, 10, 0, 4, "");
    open("SELECT 1");
    EXPECT_EQ(columnNames(rs),
              (std::vector<std::string>{"a_column_name_of_35_character", "Übersicht_Größe_Änderung_Öl_x",
                                        "€€€€€€€€€€€€€€€€€€€€€€€€€€€€€"}));
}

TEST_F(FakeDm, DuplicateNamesTakeTheTableNameTheDriverReports) {
    connect();
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "A");
    fake().addColumn("i", SQL_INTEGER, 10, 0, 4, "A");
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "B");
    open("SELECT x.k, x.i, y.k FROM A x INNER JOIN B y ON x.i = y.i");
    EXPECT_EQ(columnNames(rs), (std::vector<std::string>{"A.k", "i", "B.k"}));
    EXPECT_EQ(logOf("SQLColAttribute "), (std::vector<std::string>{"SQLColAttribute 1 15", "SQLColAttribute 3 15"}));
    EXPECT_EQ(fake().count("SQLColumns"), 0);
}

TEST_F(FakeDm, WithoutTableNamesTheFromClauseTellsDuplicatesApart) {
    connect();
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
    const char* a[] = {"i", "k"};
    const char* b[] = {"i", "k"};
    fake().setCatalog("A", a, 2);
    fake().setCatalog("B", b, 2);
    open("SELECT x.k, y.k FROM A x INNER JOIN B y ON x.i = y.i");
    EXPECT_EQ(columnNames(rs), (std::vector<std::string>{"A.k", "B.k"}));
    EXPECT_EQ(logOf("SQLColumns"),
              (std::vector<std::string>{"SQLColumns owner=(null) table=A", "SQLColumns owner=(null) table=B"}));
}

TEST_F(FakeDm, FromClauseTablesWithAnOwnerAreListedByOwnerAndTable) {
    connect();
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
    const char* b[] = {"k"};
    fake().setCatalog("dbo.B", b, 1);
    fake().setCatalog("dbo.C", b, 1);
    open("SELECT * FROM dbo.A a, dbo.B b, dbo.C c WHERE a.k = b.k");
    // A lists no k, so the first k finds B, the second C, the third none.
    EXPECT_EQ(columnNames(rs), (std::vector<std::string>{"dbo.B.k", "dbo.C.k", "k"}));
}

TEST_F(FakeDm, RowsComeOneAtATimeWithNullsAndEndWithoutAnError) {
    connect();
    fake().addColumn("n", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("t", SQL_VARCHAR, 10, 0, 10, "");
    const char* r1[] = {"1", "eins"};
    const char* r2[] = {nullptr, nullptr};
    fake().addRow(r1, 2);
    fake().addRow(r2, 2);
    open("SELECT n, t FROM t");
    EXPECT_EQ(getRow(rs), (std::vector<std::string>{"I4:1", "BSTR:eins"}));
    EXPECT_EQ(getRow(rs), (std::vector<std::string>{"NULL", "NULL"}));
    int32_t end = -1;
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->EndOfData(rs, &end), S_OK);
    EXPECT_EQ(end, 0);
    HRESULT hr;
    EXPECT_TRUE(getRow(rs, &hr).empty());
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_TRUE(getRow(rs, &hr).empty());
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_TRUE(errors(engine).empty());
    EXPECT_EQ(fake().count("SQLError"), 0);
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->EndOfData(rs, &end), S_FALSE);
    EXPECT_EQ(end, 1);
}

TEST_F(FakeDm, TheRowIsATwoDimensionalVariantArrayOwnedByTheCaller) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("b", SQL_VARCHAR, 10, 0, 10, "");
    fake().addColumn("c", SQL_DOUBLE, 15, 0, 8, "");
    const char* r[] = {"5", "x", "0.25"};
    fake().addRow(r, 3);
    open("SELECT a, b, c FROM t");
    VARIANT out;
    out.vt = VT_I4;  // whatever it held is not looked at
    out.lVal = 99;
    ASSERT_EQ(slotsOf<NovaResultsetSlots>(rs)->GetRows(rs, i4(100), &out), S_OK);
    ASSERT_EQ(out.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(out.vt, 0x200C);
    SAFEARRAY* psa = out.parray;
    EXPECT_EQ(psa->cDims, 2);
    EXPECT_EQ(psa->cbElements, 24u);
    EXPECT_TRUE(psa->fFeatures & FADF_VARIANT);
    EXPECT_EQ(psa->rgsabound[0].cElements, 1u);  // the last dimension (rows) first
    EXPECT_EQ(psa->rgsabound[0].lLbound, 0);
    EXPECT_EQ(psa->rgsabound[1].cElements, 3u);
    EXPECT_EQ(psa->rgsabound[1].lLbound, 0);
    int32_t index[2] = {1, 0};
    void* cell = nullptr;
    ASSERT_EQ(rtSafeArrayPtrOfIndex(psa, index, &cell), S_OK);
    EXPECT_EQ(cellText(*static_cast<VARIANT*>(cell)), "BSTR:x");
    EXPECT_EQ(rtVariantClear(&out), S_OK);
}

TEST_F(FakeDm, GetRowsAfterCloseFailsWithoutRecording) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    open("SELECT a FROM t");
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->Close(rs), S_OK);
    EXPECT_EQ(fake().count("SQLFreeStmt 1"), 1);
    fake().reset();
    HRESULT hr;
    getRow(rs, &hr);
    EXPECT_EQ(hr, E_FAIL);
    void* cols = reinterpret_cast<void*>(1);
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->Columns(rs, &cols), E_FAIL);
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->OpenStatement(rs), E_FAIL);
    EXPECT_TRUE(logLines().empty());
    EXPECT_TRUE(errors(engine).empty());
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->Close(rs), S_OK);
}

TEST_F(FakeDm, AFailedFetchIsRecorded) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    open("SELECT a FROM t");
    fake().pushResult("SQLExtendedFetch", SQL_ERROR);
    fake().pushDiag(SQL_SUCCESS, "08S01", 0, "Communication link failure");
    HRESULT hr;
    getRow(rs, &hr);
    EXPECT_EQ(hr, E_FAIL);
    ASSERT_EQ(errors(engine).size(), 1u);
    EXPECT_EQ(errors(engine)[0].number, 8);
}

TEST_F(FakeDm, FailuresWhileOpeningReleaseTheResultset) {
    connect();
    struct Case {
        const char* fn;
        bool recorded;
    };
    for (Case c : {Case{"SQLAllocStmt", true}, Case{"SQLPrepare", true}, Case{"SQLNumResultCols", true},
                   Case{"SQLDescribeCol", true}, Case{"SQLExecute", true}}) {
        SCOPED_TRACE(c.fn);
        fake().reset();
        clearErrors(engine);
        fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
        fake().pushResult(c.fn, SQL_ERROR);
        fake().pushDiag(SQL_SUCCESS, "HY000", 0, "no");
        open("SELECT a FROM t", E_FAIL);
        EXPECT_EQ(errors(engine).size(), c.recorded ? 1u : 0u);
        EXPECT_EQ(fake().count("SQLFreeStmt 1"), std::string(c.fn) == "SQLAllocStmt" ? 0 : 1);
    }
}

TEST_F(FakeDm, RowsAreFetchedAheadInBlocks) {
    connect();
    fake().addColumn("n", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("t", SQL_VARCHAR, 10, 0, 10, "");
    std::vector<std::string> values;
    for (int i = 0; i < 2500; ++i) values.push_back(std::to_string(i));
    for (int i = 0; i < 2500; ++i) {
        const char* r[] = {values[size_t(i)].c_str(), values[size_t(i)].c_str()};
        fake().addRow(r, 2);
    }
    open("SELECT n, t FROM t");
    EXPECT_EQ(logOf("SQLSetStmtOption 9 ").at(0), "SQLSetStmtOption 9 1000");
    auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 2500u);
    for (int i : {0, 999, 1000, 2499})
        EXPECT_EQ(rows[size_t(i)], (std::vector<std::string>{"I4:" + values[size_t(i)], "BSTR:" + values[size_t(i)]}));
    EXPECT_EQ(fake().count("SQLExtendedFetch"), 4);  // three blocks and the end
    EXPECT_EQ(fake().count("SQLFetch"), 0);
}

TEST_F(FakeDm, WithoutRowsetSupportRowsAreFetchedOneByOne) {
    connect();
    fake().addColumn("n", SQL_INTEGER, 10, 0, 4, "");
    for (const char* v : {"1", "2", "3"}) fake().addRow(&v, 1);
    fake().pushResult("SQLSetStmtOption", SQL_SUCCESS);  // query time-out
    fake().pushResult("SQLSetStmtOption", SQL_SUCCESS);  // concurrency
    fake().pushResult("SQLSetStmtOption", SQL_SUCCESS);  // cursor type
    fake().pushResult("SQLSetStmtOption", SQL_ERROR);    // rowset size
    open("SELECT n FROM t");
    EXPECT_EQ(allRows(rs).size(), 3u);
    EXPECT_EQ(fake().count("SQLFetch"), 4);
    EXPECT_EQ(fake().count("SQLExtendedFetch"), 0);
}

TEST_F(FakeDm, LargeRowsFetchFewerRowsPerBlock) {
    connect();
    fake().addColumn("t", SQL_LONGVARCHAR, 65536, 0, 65536, "");
    open("SELECT t FROM t");
    // 262,145 bytes a row: 31 rows fit into the 8 MiB block.
    EXPECT_EQ(logOf("SQLSetStmtOption 9 ").at(0), "SQLSetStmtOption 9 31");
}

TEST_F(FakeDm, ATextBufferTooLargeStopsBindingButNotTheOpen) {
    connect();
    fake().addColumn("a", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("huge", SQL_LONGVARCHAR, 2147483647, 0, 2147483647, "");
    fake().addColumn("c", SQL_INTEGER, 10, 0, 4, "");
    const char* r[] = {"1", "text", "3"};
    fake().addRow(r, 3);
    open("SELECT a, huge, c FROM t");
    // The huge column and the one after it are read unbound, in pieces.
    EXPECT_EQ(getRow(rs), (std::vector<std::string>{"I4:1", "BSTR:text", "I4:3"}));
    EXPECT_EQ(logOf("SQLBindCol"), std::vector<std::string>{"SQLBindCol 1 -16 4"});
    EXPECT_EQ(fake().count("SQLSetStmtOption 9"), 0);
    EXPECT_TRUE(errors(engine).empty());
}

TEST_F(FakeDm, ATextLongerThanItsBufferIsReadWholeFromItsRow) {
    connect();
    fake().addColumn("n", SQL_INTEGER, 10, 0, 4, "");
    fake().addColumn("t", SQL_VARCHAR, 2, 0, 2, "");
    const std::string longText(200000, 'x');
    const char* rows[][2] = {{"1", "ab"}, {"2", longText.c_str()}, {"3", "abcdefghijklmnop"}};
    for (auto& r : rows) fake().addRow(r, 2);
    open("SELECT n, t FROM t");
    const auto got = allRows(rs);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1], (std::vector<std::string>{"I4:2", "BSTR:" + longText}));
    EXPECT_EQ(got[2], (std::vector<std::string>{"I4:3", "BSTR:abcdefghijklmnop"}));
    // The rows came in one block; the long ones were positioned to and read in pieces.
    EXPECT_EQ(logOf("SQLSetPos"), (std::vector<std::string>{"SQLSetPos 2 0 0", "SQLSetPos 3 0 0"}));
    EXPECT_EQ(fake().count("SQLGetData"), 5);
    EXPECT_TRUE(errors(engine).empty());

    // A driver that cannot read the rest: the part that arrived is kept and the failure recorded.
    release(rs);
    rs = nullptr;
    fake().setResult("SQLGetData", SQL_ERROR);
    for (int i = 0; i < 2; ++i) fake().pushDiag(SQL_SUCCESS, "HYC00", 0, "Optional feature not implemented");
    open("SELECT n, t FROM t");
    EXPECT_EQ(allRows(rs).at(2), (std::vector<std::string>{"I4:3", "BSTR:abcdefgh"}));
    ASSERT_EQ(errors(engine).size(), 2u);
    EXPECT_NE(errors(engine)[0].description.find("Optional feature"), std::string::npos);
}

TEST(ConnectValue, CutsTheValueAfterTheKey) {
    struct Case {
        const char* connect;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"DSN=a;UID=b;PWD=c", "DSN", "a"},
        {"DSN=a;UID=b;PWD=c", "PWD", "c"},
        {"ODSN=x", "DSN", "x"},
        {"dsn=x", "DSN", ""},
        {"UID", "UID", ""},
        {"A=1;UID = u ;", "UID", " u "},
        {"", "DSN", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(novaodbc::connectValue(c.connect, c.key), c.value) << c.connect;
}

TEST_F(FakeDm, FailingCatalogCallsLeaveTheNames) {
    connect();
    struct Case {
        const char* failing;
        size_t recorded;
    };
    // A refused table-name question leaves the name; a refused SQLColumns is recorded.
    for (Case c : {Case{"SQLColAttribute", 0}, Case{"SQLColumns", 1}}) {
        SCOPED_TRACE(c.failing);
        fake().reset();
        clearErrors(engine);
        fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
        fake().addColumn("k", SQL_INTEGER, 10, 0, 4, "");
        fake().setResult(c.failing, SQL_ERROR);
        fake().pushDiag(SQL_SUCCESS, "HY000", 0, "catalog");
        open("SELECT x.k, y.k FROM A x, B y");
        EXPECT_EQ(columnNames(rs), (std::vector<std::string>{"k", "k"}));
        EXPECT_EQ(errors(engine).size(), c.recorded);
        release(rs);
        rs = nullptr;
    }
}

TEST_F(FakeDm, ARefusedBindingStopsBindingAtThatColumn) {
    connect();
    for (const char* name : {"a", "b", "c"}) fake().addColumn(name, SQL_INTEGER, 10, 0, 4, "");
    const char* r[] = {"1", "2", "3"};
    fake().addRow(r, 3);
    fake().pushResult("SQLBindCol", SQL_SUCCESS);
    fake().pushResult("SQLBindCol", SQL_ERROR);
    open("SELECT a, b, c FROM t");
    EXPECT_EQ(fake().count("SQLBindCol"), 2);
    // The refused column and the one after it are read unbound from single-row fetches.
    EXPECT_EQ(getRow(rs), (std::vector<std::string>{"I4:1", "I4:2", "I4:3"}));
    EXPECT_EQ(logOf("SQLSetStmtOption 9 ").back(), "SQLSetStmtOption 9 1");
    EXPECT_EQ(fake().count("SQLFetch"), 1);
}
