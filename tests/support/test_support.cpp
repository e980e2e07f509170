#include "tests/support/test_support.h"

#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fmt/core.h>
#include <random>

namespace voq::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    for (;;) {
        auto p = fs::temp_directory_path() / fmt::format("voq-test-{}-{}-{:x}", ::getpid(), counter++, rd());
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    old_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = old_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

std::string sqliteConnectString(const std::string& dbFile) { return "DRIVER=SQLite3;Database=" + dbFile; }

static std::string envOr(const char* name, const char* dflt) {
    const char* v = std::getenv(name);
    return v && *v ? v : dflt;
}

std::string PgDatabase::server() { return "127.0.0.1," + envOr("VOQ_PG_PORT", "55432"); }
std::string PgDatabase::user() { return envOr("VOQ_PG_USER", "voq"); }
std::string PgDatabase::password() { return envOr("VOQ_PG_PASSWORD", "voq"); }
std::string PgDatabase::driver() { return "PostgreSQL Unicode"; }

static std::string pgConnect(const std::string& db) {
    return fmt::format("DRIVER={};SERVER=127.0.0.1;Port={};UID={};PWD={};Database={}", PgDatabase::driver(),
                       envOr("VOQ_PG_PORT", "55432"), PgDatabase::user(), PgDatabase::password(), db);
}

bool pgRequired() { return envOr("VOQ_PG_REQUIRED", "0") == "1"; }

std::string execSql(const std::string& connectString, const std::string& sql) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    std::string error;
    auto diag = [&](SQLSMALLINT type, SQLHANDLE h) {
        SQLCHAR state[6] = {0}, msg[1024] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len)))
            return fmt::format("[{}] {}", reinterpret_cast<char*>(state), reinterpret_cast<char*>(msg));
        return std::string("ODBC error");
    };
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connectString.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        error = diag(SQL_HANDLE_DBC, dbc);
    } else {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) error = diag(SQL_HANDLE_STMT, st);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return error;
}

bool pgAvailable() {
    static const bool ok = execSql(pgConnect("postgres"), "SELECT 1").empty();
    return ok;
}

PgDatabase::PgDatabase(bool withDbo) {
    if (!pgAvailable()) return;
    static std::atomic<int> counter{0};
    std::random_device rd;
    name_ = fmt::format("voqt_{}_{}_{:x}", ::getpid(), counter++, rd() & 0xffffff);
    if (!execSql(pgConnect("postgres"), "CREATE DATABASE " + name_).empty()) {
        name_.clear();
        return;
    }
    connect_ = pgConnect(name_);
    if (!withDbo) return;
    execSql(connect_, "CREATE SCHEMA dbo");
    execSql(connect_, fmt::format("ALTER DATABASE {} SET search_path = dbo, public", name_));
}

PgDatabase::~PgDatabase() {
    if (name_.empty()) return;
    execSql(pgConnect("postgres"), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
}

}  // namespace voq::test
