// The engine library as its consumer loads it, on the real drivers: SQLite ODBC and PostgreSQL
// through psqlODBC.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/dataengine/engine_client.h"
#include "tests/support/test_support.h"

using namespace enginetest;

namespace {

void* loadEngine() {
    static FODBC_CreateEngine_t create = [] {
        void* lib = dlopen(NOVA_ENGINE_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            ADD_FAILURE() << dlerror();
            return FODBC_CreateEngine_t(nullptr);
        }
        return reinterpret_cast<FODBC_CreateEngine_t>(dlsym(lib, NOVA_EXPORT_NAME));
    }();
    return create ? create() : nullptr;
}

const char* kFixture[] = {
    "CREATE TABLE A (i INTEGER, k VARCHAR(20))",
    "CREATE TABLE B (i INTEGER, k VARCHAR(20))",
    "INSERT INTO A VALUES (1, 'a-one')",
    "INSERT INTO B VALUES (1, 'b-one')",
    "CREATE TABLE T (id INTEGER, name VARCHAR(40), amount DECIMAL(14,2), big BIGINT, d DATE, f DOUBLE PRECISION, "
    "small SMALLINT, a_column_name_of_35_characters_xyz INTEGER)",
    "INSERT INTO T VALUES (1, 'Müller äöüß ÄÖÜ €', -123456789012.34, 9223372036854775807, '2024-02-29', 1.5, -7, 1)",
    "INSERT INTO T VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL)",
    "INSERT INTO T VALUES (3, '', 0.05, -9223372036854775808, '1999-12-31', -0.25, 32767, 3)",
};

class RealDriver : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "sqlite") {
            connect_ = voq::test::sqliteConnectString(dir_.file("engine.db"));
        } else {
            pg_ = std::make_unique<voq::test::PgDatabase>();
            if (pg_->connectString().empty()) {
                if (voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable";
                GTEST_SKIP() << "PostgreSQL test cluster not running (scripts/pg-cluster start)";
            }
            connect_ = pg_->connectString();
        }
        for (const char* sql : kFixture) ASSERT_EQ(voq::test::execSql(connect_, sql), "") << sql;
        engine = loadEngine();
        ASSERT_NE(engine, nullptr);
        HRESULT hr;
        env = createEnvironment(engine, &hr);
        ASSERT_EQ(hr, S_OK);
        conn = openConnection(env, connect_, &hr, i2(0));
        ASSERT_EQ(hr, S_OK) << (errors(engine).empty() ? "" : errors(engine)[0].description);
    }
    void TearDown() override {
        if (rs) {
            EXPECT_EQ(release(rs), 0u);
        }
        if (conn) {
            EXPECT_EQ(slotsOf<NovaConnectionSlots>(conn)->Close(conn), S_OK);
            EXPECT_EQ(release(conn), 0u);
        }
        if (env) {
            EXPECT_EQ(release(env), 0u);
        }
        if (engine) {
            EXPECT_EQ(release(engine), 0u);
        }
    }
    bool pg() const { return GetParam() == "pg"; }

    voq::test::TempDir dir_;
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    void* engine = nullptr;
    void* env = nullptr;
    void* conn = nullptr;
    void* rs = nullptr;
};

}  // namespace

TEST_P(RealDriver, RowsArriveWithNullsUmlautsBigintsAndDecimalsIntact) {
    HRESULT hr;
    rs = openResultset(conn, "SELECT id, name, amount, big, d, f, small FROM T ORDER BY id", &hr);
    ASSERT_EQ(hr, S_OK);
    auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"I4:1", "BSTR:Müller äöüß ÄÖÜ €", "BSTR:-123456789012.34",
                                                 "BSTR:9223372036854775807", "BSTR:2024-02-29", "R8:1.5", "I2:-7"}));
    EXPECT_EQ(rows[1][0], "I4:2");
    for (size_t i = 1; i < 7; ++i) EXPECT_EQ(rows[1][i], "NULL") << i;
    EXPECT_EQ(rows[2][1], "BSTR:");
    EXPECT_EQ(rows[2][2], "BSTR:0.05");
    EXPECT_EQ(rows[2][3], "BSTR:-9223372036854775808");
    EXPECT_EQ(rows[2][6], "I2:32767");
    // The end of the data is no error.
    HRESULT end;
    getRow(rs, &end);
    EXPECT_EQ(end, E_FAIL);
    EXPECT_TRUE(errors(engine).empty());
}

TEST_P(RealDriver, ColumnsAreDescribedWithNamesCutTo29) {
    HRESULT hr;
    rs = openResultset(conn, "SELECT id, name, a_column_name_of_35_characters_xyz FROM T", &hr);
    ASSERT_EQ(hr, S_OK);
    auto cols = columns(rs);
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[0].name, "id");
    EXPECT_EQ(cols[0].type, 4);  // SQL_INTEGER
    EXPECT_EQ(cols[0].size, 4);
    EXPECT_EQ(cols[1].name, "name");
    EXPECT_GE(cols[1].size, 4 * 40 + 1);
    EXPECT_EQ(cols[2].name, "a_column_name_of_35_character");
}

TEST_P(RealDriver, NamesAreCutAt29CharactersNotBytes) {
    HRESULT hr;
    rs = openResultset(conn, "SELECT 1 AS \"Übersicht_Größe_Änderung_Öl_x\", 2 AS \"Übersicht_Größe_Änderung_Öl_xyz\"",
                       &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(columnNames(rs),
              (std::vector<std::string>{"Übersicht_Größe_Änderung_Öl_x", "Übersicht_Größe_Änderung_Öl_x"}));
}

TEST_P(RealDriver, LongAndBinaryValuesArriveWholeAndSoDoTheColumnsAfterThem) {
    // A long text beyond any buffer the engine binds (psqlODBC reports it as 10,000,000
    // characters here), bytes with a zero inside, and columns after them.
    if (pg()) {
        release(conn);
        HRESULT hr;
        conn = openConnection(env, connect_ + ";MaxLongVarcharSize=10000000", &hr, i2(0));
        ASSERT_EQ(hr, S_OK);
        ASSERT_EQ(voq::test::execSql(connect_, "CREATE TABLE L (id INTEGER, note TEXT, data BYTEA, after INTEGER)"),
                  "");
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "INSERT INTO L VALUES (1, repeat('äx', 50000), '\\x6162006364', 42), "
                                     "(2, NULL, NULL, 43), (3, '', '', 44)"),
                  "");
    } else {
        ASSERT_EQ(voq::test::execSql(connect_, "CREATE TABLE L (id INTEGER, note TEXT, data BLOB, after INTEGER)"), "");
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "INSERT INTO L VALUES (1, replace(hex(zeroblob(50000)), '00', 'äx'), "
                                     "X'6162006364', 42), (2, NULL, NULL, 43), (3, '', X'', 44)"),
                  "");
    }
    std::string longText;
    for (int i = 0; i < 50000; ++i) longText += "äx";
    HRESULT hr;
    rs = openResultset(conn, "SELECT id, note, data, after FROM L ORDER BY id", &hr);
    ASSERT_EQ(hr, S_OK);
    const auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"I4:1", "BSTR:" + longText, std::string("BYTES:ab\0cd", 11), "I4:42"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"I4:2", "NULL", "NULL", "I4:43"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"I4:3", "BSTR:", "BYTES:", "I4:44"}));
    EXPECT_TRUE(errors(engine).empty());
    if (pg()) {
        release(rs);
        rs = openResultset(conn, "SELECT 1 id, 'long text'::text note, 42 after", &hr);
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(getRow(rs), (std::vector<std::string>{"I4:1", "BSTR:long text", "I4:42"}));
    }
}

TEST_P(RealDriver, ValuesLongerThanTheirReportedSizeArriveWhole) {
    // psqlODBC sizes a numeric without precision too small; SQLite keeps longer texts than a
    // VARCHAR's size. Several such rows share one block.
    const std::string digits = "1234567890123456789012345678901";
    const std::string text33 = "abcdefghijklmnopqrstuvwxyzäöüßÄÖÜ";
    ASSERT_EQ(voq::test::execSql(connect_, pg() ? "CREATE TABLE N (v VARCHAR(40), n NUMERIC)"
                                                : "CREATE TABLE N (v VARCHAR(5), n DECIMAL(5,2))"),
              "");
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(voq::test::execSql(connect_, "INSERT INTO N VALUES ('" + std::string(i % 2 ? "abc" : text33) + "', " +
                                                   digits + ".99)"),
                  "");
    HRESULT hr;
    rs = openResultset(conn, "SELECT v, n FROM N UNION ALL SELECT NULL, SUM(n) FROM N", &hr);
    ASSERT_EQ(hr, S_OK);
    const auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i][0], "BSTR:" + (i % 2 ? std::string("abc") : text33)) << i;
        if (pg()) {
            EXPECT_EQ(rows[i][1], "BSTR:" + digits + ".99") << i;
        }
    }
    if (pg()) {
        EXPECT_EQ(rows[5][1], "BSTR:6172839450617283945061728394509.95");
    }
    for (const auto& e : errors(engine)) ADD_FAILURE() << e.description;
}

TEST_P(RealDriver, DuplicateColumnNamesAreQualifiedWithTheirTables) {
    HRESULT hr;
    rs = openResultset(conn, "SELECT x.k, y.k FROM A x INNER JOIN B y ON x.i = y.i", &hr);
    ASSERT_EQ(hr, S_OK);
    auto names = columnNames(rs);
    // SQLite reports the table names; psqlODBC gives them too or leaves them to the FROM clause.
    ASSERT_EQ(names.size(), 2u);
    if (pg()) {
        EXPECT_TRUE(names == (std::vector<std::string>{"a.k", "b.k"}) ||
                    names == (std::vector<std::string>{"A.k", "B.k"}))
            << names[0] << " " << names[1];
    } else {
        EXPECT_EQ(names, (std::vector<std::string>{"A.k", "B.k"}));
    }
    EXPECT_EQ(allRows(rs), (std::vector<std::vector<std::string>>{{"BSTR:a-one", "BSTR:b-one"}}));
}

TEST_P(RealDriver, ErrorsAreRecordedNewestFirstAndExecuteRecordsNone) {
    HRESULT hr;
    void* r = openResultset(conn, "SELECT * FROM missing_one", &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(r, nullptr);
    r = openResultset(conn, "SELECT * FROM missing_two", &hr);
    EXPECT_EQ(hr, E_FAIL);
    auto errs = errors(engine);
    ASSERT_EQ(errs.size(), 2u);
    EXPECT_NE(errs[0].description.find("missing_two"), std::string::npos) << errs[0].description;
    EXPECT_NE(errs[1].description.find("missing_one"), std::string::npos) << errs[1].description;
    const size_t lf = errs[0].description.rfind('\n');
    ASSERT_NE(lf, std::string::npos);
    EXPECT_EQ(errs[0].description.substr(lf + 1, 22), "[ODBC Error] SQLSTATE=");
    EXPECT_EQ(errs[0].description.size(), lf + 1 + 22 + 5);
    if (pg()) {
        EXPECT_EQ(errs[0].number, 42);  // 42P01
    }

    EXPECT_EQ(execute(conn, "INSERT INTO A VALUES (2, 'a-two')"), S_OK);
    EXPECT_EQ(execute(conn, "INSERT INTO nowhere VALUES (1)"), E_FAIL);
    EXPECT_EQ(errors(engine).size(), 2u);
    clearErrors(engine);
    EXPECT_TRUE(errors(engine).empty());
}

TEST_P(RealDriver, ReopeningTheStatementReadsTheRowsAgain) {
    HRESULT hr;
    rs = openResultset(conn, "SELECT i FROM A", &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(getRow(rs), std::vector<std::string>{"I4:1"});
    EXPECT_EQ(slotsOf<NovaResultsetSlots>(rs)->OpenStatement(rs), S_OK);
    EXPECT_EQ(allRows(rs).size(), 1u);
    EXPECT_TRUE(errors(engine).empty());
}

TEST_P(RealDriver, ManyRowsCrossBlockBoundariesInOrder) {
    for (int n = 0; n < 12; ++n)  // doubles the rows: 4096 in the end
        ASSERT_EQ(voq::test::execSql(connect_, "INSERT INTO A (i, k) SELECT i + (SELECT max(i) FROM A), k FROM A"), "");
    HRESULT hr;
    rs = openResultset(conn, "SELECT i FROM A ORDER BY i", &hr);
    ASSERT_EQ(hr, S_OK);
    auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 4096u);
    for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i][0], "I4:" + std::to_string(i + 1));
}

TEST_P(RealDriver, ReferenceCountsAndTheWalkRelease) {
    EXPECT_EQ(addRef(conn), 2u);
    EXPECT_EQ(release(conn), 1u);
    HRESULT hr;
    rs = openResultset(conn, "SELECT id, name FROM T", &hr);
    ASSERT_EQ(hr, S_OK);
    void* cols = nullptr;
    ASSERT_EQ(slotsOf<NovaResultsetSlots>(rs)->Columns(rs, &cols), S_OK);
    EXPECT_EQ(addRef(cols), 3u);  // the resultset's, ours, this one
    EXPECT_EQ(release(cols), 2u);
    void* col = nullptr;
    ASSERT_EQ(slotsOf<NovaColumnsSlots>(cols)->Item(cols, i2(1), &col), S_OK);
    EXPECT_EQ(addRef(col), 3u);
    EXPECT_EQ(release(col), 2u);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(slotsOf<NovaColumnsSlots>(cols)->Item(cols, i2(2), &none), DISP_E_BADINDEX);
    EXPECT_EQ(none, nullptr);
    // A column kept past the resultset's end still answers.
    EXPECT_EQ(release(cols), 1u);
    EXPECT_EQ(release(rs), 0u);
    rs = nullptr;
    rt::ole::Bstr name;
    EXPECT_EQ(slotsOf<NovaColumnSlots>(col)->Name(col, name.out()), S_OK);
    EXPECT_EQ(name.utf8(), "name");
    EXPECT_EQ(release(col), 0u);
}

TEST_P(RealDriver, ARefusedConnectStringRecordsTheDriversReason) {
    HRESULT hr;
    void* c = openConnection(env, "DRIVER=NoSuchDriverAnywhere;Database=x", &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(c, nullptr);
    auto errs = errors(engine);
    ASSERT_EQ(errs.size(), 1u);
    EXPECT_NE(errs[0].description.find("[ODBC Error] SQLSTATE="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Drivers, RealDriver, ::testing::Values("sqlite", "pg"),
                         [](const auto& info) { return info.param; });

TEST(RealDriverPg, ServerCursorWithOneRowPerRoundTripServesAllRows) {
    VOQ_PG_DATABASE(db);
    ASSERT_EQ(voq::test::execSql(db.connectString(), "CREATE TABLE n (i INTEGER, t VARCHAR(10))"), "");
    ASSERT_EQ(
        voq::test::execSql(db.connectString(), "INSERT INTO n SELECT g, 'r' || g FROM generate_series(1, 2500) g"), "");
    void* engine = loadEngine();
    void* env = createEnvironment(engine);
    HRESULT hr;
    void* conn = openConnection(env, db.connectString() + ";UseDeclareFetch=1;Fetch=1", &hr, i2(0));
    ASSERT_EQ(hr, S_OK);
    void* rs = openResultset(conn, "SELECT i, t FROM n ORDER BY i", &hr);
    ASSERT_EQ(hr, S_OK);
    auto rows = allRows(rs);
    ASSERT_EQ(rows.size(), 2500u);
    EXPECT_EQ(rows[1234], (std::vector<std::string>{"I4:1235", "BSTR:r1235"}));
    EXPECT_TRUE(errors(engine).empty());
    release(rs);
    slotsOf<NovaConnectionSlots>(conn)->Close(conn);
    release(conn);
    release(env);
    release(engine);
}

TEST(RealDriverSqlite, ARefusedDriverConnectFallsBackToTheDataSourceNamedInTheString) {
    voq::test::TempDir dir;
    const std::string db = dir.file("dsn.db");
    ASSERT_EQ(voq::test::execSql(voq::test::sqliteConnectString(db), "CREATE TABLE d (v INTEGER)"), "");
    ASSERT_EQ(voq::test::execSql(voq::test::sqliteConnectString(db), "INSERT INTO d VALUES (42)"), "");
    const std::string ini = dir.file("odbc.ini");
    FILE* f = std::fopen(ini.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "[VoqEngineDsn]\nDriver=SQLite3\nDatabase=%s\n", db.c_str());
    std::fclose(f);
    const char* old = std::getenv("ODBCINI");
    const std::string saved = old ? old : "";
    setenv("ODBCINI", ini.c_str(), 1);

    void* engine = loadEngine();
    void* env = createEnvironment(engine);
    HRESULT hr;
    // The driver named first does not exist, so only SQLConnect on the data source succeeds.
    void* conn = openConnection(env, "DRIVER=NoSuchDriverAnywhere;DSN=VoqEngineDsn;UID=;PWD=", &hr, i2(0));
    if (old)
        setenv("ODBCINI", saved.c_str(), 1);
    else
        unsetenv("ODBCINI");
    ASSERT_EQ(hr, S_OK) << (errors(engine).empty() ? "" : errors(engine)[0].description);
    void* rs = openResultset(conn, "SELECT v FROM d", &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(allRows(rs), (std::vector<std::vector<std::string>>{{"I4:42"}}));
    EXPECT_TRUE(errors(engine).empty());
    release(rs);
    slotsOf<NovaConnectionSlots>(conn)->Close(conn);
    release(conn);
    release(env);
    release(engine);
}
