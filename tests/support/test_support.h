#pragma once
// Helpers shared by the test programs: temporary folders and real databases.
#include <filesystem>
#include <string>

namespace voq::test {

// A fresh folder removed again at the end of its scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Connect string of the SQLite ODBC driver for a database file.
std::string sqliteConnectString(const std::string& dbFile);

// True when the private PostgreSQL test cluster is reachable (scripts/pg-cluster).
bool pgAvailable();
// True when PostgreSQL tests must fail instead of being skipped (set by scripts/test).
bool pgRequired();

// A database of its own on the PostgreSQL test cluster, with the schema "dbo" first in the
// search path; dropped at the end of its scope. connectString() is empty when the cluster is
// not available.
class PgDatabase {
public:
    // `withDbo` false: a database as the server makes it, without the schema.
    explicit PgDatabase(bool withDbo = true);
    ~PgDatabase();
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;
    const std::string& connectString() const { return connect_; }
    const std::string& name() const { return name_; }
    // A client's fields, as the user enters them in the client form.
    static std::string server();  // "127.0.0.1,N"
    static std::string user();
    static std::string password();
    static std::string driver();  // "PostgreSQL Unicode"

private:
    std::string name_;
    std::string connect_;
};

// Runs one statement through ODBC on a connect string; returns the driver's message on failure,
// an empty string on success. For fixtures only.
std::string execSql(const std::string& connectString, const std::string& sql);

// A full disk for the scope: files of this process cannot grow beyond `bytes` (writes past it
// fail with EFBIG instead of raising SIGXFSZ). Pipes and the terminal are not files.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long old_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace voq::test

// Inside a TEST: gives a PgDatabase named `var`, or skips (fails when PostgreSQL is required).
#define VOQ_PG_DATABASE(var)                                                              \
    ::voq::test::PgDatabase var;                                                          \
    if (var.connectString().empty()) {                                                    \
        if (::voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable"; \
        GTEST_SKIP() << "PostgreSQL test cluster not running (scripts/pg-cluster start)"; \
    }
