// Throughput of the data engine (OpenResultset and GetRows row by row, each row freed as a
// consumer frees it) against the best raw ODBC loop on the same driver: single-row SQLFetch with
// bound columns, and block fetch of 1,000 rows. Rows: 9 columns, 3 text, 3 integer, double,
// date, decimal.
//
//   bench_dataengine [--rows N] [--slow-rows N] [--repeat N] [--configs sqlite,pg,pg-declare]
//
// Each loop runs once a round, --repeat rounds (default 7), and its fastest run counts: other load
// on the machine only ever adds time. Every run is a process of its own, and the order of the
// loops alternates from round to round, so that no loop pays for the pages another one touched.
// The ratios within each round are shown too.
// --slow-rows caps the single-row raw loop where every fetch is a server round trip
// (pg-declare); its throughput is measured over that many rows.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fmt/core.h>
#include <fmt/ranges.h>
#include <functional>
#include <memory>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/bench_table.h"
#include "dataengine/nova_odbc.h"
#include "runtime/ole/ole.h"
#include "tests/dataengine/engine_client.h"
#include "tests/support/test_support.h"

namespace {

using enginetest::release;
using enginetest::slotsOf;
using Clock = std::chrono::steady_clock;

const char* kSelect = "SELECT t1, t2, t3, i1, i2, i3, f, d, m FROM bench";

struct Result {
    std::string loop;
    long rows = 0;
    double seconds = 0;
    double rate() const { return seconds > 0 ? rows / seconds : 0; }
};

bool ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string diag(SQLSMALLINT type, SQLHANDLE h) {
    SQLCHAR state[6] = {0}, msg[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len);
    return fmt::format("[{}] {}", reinterpret_cast<char*>(state), reinterpret_cast<char*>(msg));
}

// A raw ODBC 3 connection.
struct Raw {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    explicit Raw(const std::string& cs) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        if (!ok(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                 SQL_DRIVER_NOPROMPT))) {
            fmt::print(stderr, "connect failed: {}\n", diag(SQL_HANDLE_DBC, dbc));
            std::exit(1);
        }
    }
    ~Raw() {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    void exec(const std::string& sql) {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        SQLRETURN rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (!ok(rc) && rc != SQL_NO_DATA) {
            fmt::print(stderr, "{} failed: {}\n", sql, diag(SQL_HANDLE_STMT, st));
            std::exit(1);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    }
};

// Column buffers as the engine sizes them: text 4 bytes a character + 1, date 33, decimal
// precision + 3.
struct Buffers {
    static constexpr SQLLEN kText = 4 * 30 + 1, kDate = 33, kDecimal = 12 + 3;
    size_t rows;
    std::vector<char> t[3];
    std::vector<SQLINTEGER> i[3];
    std::vector<double> f;
    std::vector<char> d, m;
    std::vector<SQLLEN> ind[9];
    explicit Buffers(size_t n) : rows(n), f(n), d(n * kDate), m(n * kDecimal) {
        for (auto& x : t) x.resize(n * kText);
        for (auto& x : i) x.resize(n);
        for (auto& x : ind) x.resize(n);
    }
    void bind(SQLHSTMT st) {
        for (int c = 0; c < 3; ++c) SQLBindCol(st, SQLUSMALLINT(c + 1), SQL_C_CHAR, t[c].data(), kText, ind[c].data());
        for (int c = 0; c < 3; ++c) SQLBindCol(st, SQLUSMALLINT(c + 4), SQL_C_SLONG, i[c].data(), 4, ind[c + 3].data());
        SQLBindCol(st, 7, SQL_C_DOUBLE, f.data(), 8, ind[6].data());
        SQLBindCol(st, 8, SQL_C_CHAR, d.data(), kDate, ind[7].data());
        SQLBindCol(st, 9, SQL_C_CHAR, m.data(), kDecimal, ind[8].data());
    }
};

Result rawLoop(const std::string& cs, size_t block, long limit) {
    Raw raw(cs);
    Result r{block == 1 ? "raw SQLFetch, 1 row" : fmt::format("raw block fetch, {} rows", block)};
    Buffers buf(block);
    SQLULEN fetched = 0;
    const auto start = Clock::now();
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, raw.dbc, &st);
    if (block > 1) {
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
        SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    }
    if (!ok(SQLExecDirect(st, (SQLCHAR*)kSelect, SQL_NTS))) {
        fmt::print(stderr, "select failed: {}\n", diag(SQL_HANDLE_STMT, st));
        std::exit(1);
    }
    buf.bind(st);
    long checksum = 0;
    while (r.rows < limit && ok(SQLFetch(st))) {
        const long n = block > 1 ? long(fetched) : 1;
        checksum += buf.i[0][0];
        r.rows += n;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (checksum == 0) r.rows = 0;
    return r;
}

Result engineLoop(const std::string& cs) {
    static FODBC_CreateEngine_t create = [] {
        void* lib = dlopen(NOVA_ENGINE_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            fmt::print(stderr, "{}\n", dlerror());
            std::exit(1);
        }
        return reinterpret_cast<FODBC_CreateEngine_t>(dlsym(lib, "FODBC_CreateEngine"));
    }();
    Result r{"engine GetRows"};
    void* engine = create();
    rt::ole::Bstr none(std::string_view("")), connect{std::string_view(cs)}, sql{std::string_view(kSelect)};
    void* env = nullptr;
    slotsOf<NovaEngineSlots>(engine)->CreateEnvironment(engine, none.get(), none.get(), none.get(), &env);
    VARIANT empty, mode, lock;
    rtVariantInit(&empty);
    rtVariantInit(&mode);
    mode.vt = VT_I2;
    mode.iVal = 0;
    lock = mode;
    lock.iVal = 1;
    void* conn = nullptr;
    if (slotsOf<NovaEnvironmentSlots>(env)->OpenConnection(env, none.get(), mode, empty, 0, connect.get(), 0, &conn) !=
        S_OK) {
        fmt::print(stderr, "engine connect failed\n");
        std::exit(1);
    }
    const auto start = Clock::now();
    void* rs = nullptr;
    if (slotsOf<NovaConnectionSlots>(conn)->OpenResultset(conn, sql.get(), mode, lock, empty, &rs) != S_OK) {
        fmt::print(stderr, "engine open failed\n");
        std::exit(1);
    }
    VARIANT row;
    long checksum = 0;
    while (slotsOf<NovaResultsetSlots>(rs)->GetRows(rs, empty, &row) == S_OK) {
        checksum += static_cast<VARIANT*>(row.parray->pvData)[3].lVal;
        rtVariantClear(&row);
        ++r.rows;
    }
    release(rs);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (checksum == 0) r.rows = 0;
    slotsOf<NovaConnectionSlots>(conn)->Close(conn);
    release(conn);
    release(env);
    release(engine);
    return r;
}

// The engine's rate over the best raw loop's among the results of one round.
double engineRatio(const std::vector<Result>& results, const Result** best, const Result** engine) {
    *best = *engine = nullptr;
    for (const auto& r : results) {
        if (r.loop.rfind("raw", 0) == 0 && (!*best || r.rate() > (*best)->rate())) *best = &r;
        if (r.loop.rfind("engine", 0) == 0) *engine = &r;
    }
    return *best && *engine && (*best)->rate() > 0 ? (*engine)->rate() / (*best)->rate() : 0;
}

// The ratio of the engine's fastest run to the best raw loop's, and the ratios within each
// round; with a target, also the table line.
bool report(const std::string& config, const std::vector<std::vector<Result>>& rounds, bool withTarget) {
    fmt::print("\n{}\n", config);
    std::vector<Result> fastest = rounds.front();
    std::vector<double> ratios;
    for (const auto& round : rounds) {
        for (size_t i = 0; i < round.size(); ++i)
            if (round[i].rate() > fastest[i].rate()) fastest[i] = round[i];
        const Result *b, *e;
        ratios.push_back(engineRatio(round, &b, &e));
    }
    for (const auto& r : fastest)
        fmt::print("  {:<28} {:>9} rows {:>8.3f} s {:>12.0f} rows/s {:>8.3f} us/row\n", r.loop, r.rows, r.seconds,
                   r.rate(), r.rows ? 1e6 * r.seconds / double(r.rows) : 0.0);
    const Result *best, *engine;
    const double ratio = engineRatio(fastest, &best, &engine);
    fmt::print("  engine / best raw loop, round by round: {:.2f}\n", fmt::join(ratios, " "));
    fmt::print("  engine / best raw loop, fastest runs: {:.2f}x\n", ratio);
    if (!withTarget) return true;
    return bench::atLeast("data engine GetRows, " + config,
                          fmt::format("{} {:.3f} s", best ? best->loop : "raw", best ? best->seconds : 0.0),
                          fmt::format("{:.3f} s", engine ? engine->seconds : 0.0), ratio, 0.9);
}

int repeat = 7;

// Runs one loop in a process of its own and gives its figures.
template <typename F>
Result inChild(F run) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Result r = run();
        const std::string line = fmt::format("{}\n{}\n{}", r.loop, r.rows, r.seconds);
        if (write(fds[1], line.data(), line.size()) < 0) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Result r;
    const size_t a = text.find('\n'), b = text.find('\n', a + 1);
    if (a == std::string::npos || b == std::string::npos) {
        fmt::print(stderr, "a benchmark process failed\n");
        std::exit(1);
    }
    r.loop = text.substr(0, a);
    r.rows = std::atol(text.c_str() + a + 1);
    r.seconds = std::atof(text.c_str() + b + 1);
    return r;
}

std::vector<std::vector<Result>> runAll(const std::string& cs, long rows, long singleLimit) {
    std::vector<std::function<Result()>> loops = {
        [&] { return rawLoop(cs, 1, singleLimit); },
        [&] { return rawLoop(cs, 1000, rows); },
        [&] { return engineLoop(cs); },
    };
    // A warm-up read so that every loop finds the data in the server's cache.
    inChild([&] { return rawLoop(cs, 1000, rows); });
    std::vector<std::vector<Result>> rounds;
    for (int round = 0; round < repeat; ++round) {
        std::vector<Result> results(loops.size());
        for (size_t k = 0; k < loops.size(); ++k) {
            const size_t i = round % 2 == 0 ? k : loops.size() - 1 - k;
            results[i] = inChild(loops[i]);
        }
        rounds.push_back(results);
    }
    return rounds;
}

// True when name is one of the comma-separated configurations.
bool wanted(const std::string& configs, const std::string& name) {
    return ("," + configs + ",").find("," + name + ",") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    long rows = 1000000;
    long slowRows = 20000;
    std::string configs = "sqlite,pg,pg-declare";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rows")
            rows = std::atol(argv[i + 1]);
        else if (a == "--slow-rows")
            slowRows = std::atol(argv[i + 1]);
        else if (a == "--configs")
            configs = argv[i + 1];
        else if (a == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    bool allMet = true;
    fmt::print(
        "data engine throughput: {} rows x 9 columns (3 text, 3 integer, double, date, decimal), "
        "{} rounds\n",
        rows, repeat);

    if (wanted(configs, "sqlite")) {
        voq::test::TempDir dir;
        const std::string cs = voq::test::sqliteConnectString(dir.file("bench.db"));
        {
            Raw raw(cs);
            raw.exec(
                "CREATE TABLE bench (t1 VARCHAR(30), t2 VARCHAR(30), t3 VARCHAR(30), i1 INTEGER, i2 INTEGER, "
                "i3 INTEGER, f DOUBLE, d DATE, m DECIMAL(12,2))");
            raw.exec(fmt::format(
                "INSERT INTO bench WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < {}) "
                "SELECT 'Kunde ' || x, 'Artikel ' || (x % 1000), 'Müller & Söhne', x, x % 100, -x, x * 0.5, "
                "date('2020-01-01', '+' || (x % 1000) || ' days'), (x % 100000) / 100.0 FROM c",
                rows));
        }
        allMet &= report("SQLite ODBC", runAll(cs, rows, rows), true);
    }
    if (wanted(configs, "pg") || wanted(configs, "pg-declare")) {
        voq::test::PgDatabase db;
        if (db.connectString().empty()) {
            fmt::print("\nPostgreSQL: test cluster not running (scripts/pg-cluster start), skipped\n");
        } else {
            {
                Raw raw(db.connectString());
                raw.exec(
                    "CREATE TABLE bench (t1 VARCHAR(30), t2 VARCHAR(30), t3 VARCHAR(30), i1 INTEGER, i2 INTEGER, "
                    "i3 INTEGER, f DOUBLE PRECISION, d DATE, m DECIMAL(12,2))");
                raw.exec(fmt::format(
                    "INSERT INTO bench SELECT 'Kunde ' || x, 'Artikel ' || (x % 1000), 'Müller & Söhne', x, "
                    "x % 100, -x, x * 0.5, DATE '2020-01-01' + (x % 1000), (x % 100000) / 100.0 "
                    "FROM generate_series(1, {}) x",
                    rows));
                // Hint bits and the visibility map set now, so that neither the first loop that reads
                // the table nor an autovacuum run in the middle of a round pays for the load.
                raw.exec("VACUUM ANALYZE bench");
            }
            const std::string declare = db.connectString() + ";UseDeclareFetch=1;Fetch=1";
            if (wanted(configs, "pg"))
                allMet &=
                    report("psqlODBC (result held in client memory)", runAll(db.connectString(), rows, rows), true);
            if (wanted(configs, "pg-declare"))
                report("psqlODBC UseDeclareFetch=1;Fetch=1 (server cursor, a round trip per fetch call)",
                       runAll(declare, rows, std::min(rows, slowRows)), false);
        }
    }
    return allMet ? 0 : 1;
}
