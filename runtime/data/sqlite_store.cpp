// Local table files: SQLite databases reached through the sqlite3 library, one connection per
// thread and file, shared by the tables the file holds.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>

#include "runtime/data/sql_store.h"
#include "runtime/text/strings.h"

namespace rt {

bool Store::begin(StoreError& error) {
    if (depth_++ > 0) return true;
    failed_ = false;
    if (!beginTx(error)) {
        depth_ = 0;
        return false;
    }
    return true;
}

bool Store::commit(StoreError& error) {
    if (depth_ == 0) return true;
    if (--depth_ > 0) return true;
    if (failed_) {
        rollbackTx();
        return false;
    }
    return commitTx(error);
}

void Store::rollback() {
    if (depth_ == 0) return;
    if (--depth_ > 0) {
        failed_ = true;  // the outermost level rolls back
        return;
    }
    rollbackTx();
}

namespace {

int noCaseCompare(void*, int la, const void* a, int lb, const void* b) {
    return compareNoCase(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                         std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

void sqliteError(sqlite3* db, int rc, StoreError& error) {
    error.code = 90;
    error.native = rc;
    error.state = std::to_string(rc);
    error.text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    error.duplicate =
        (rc & 0xff) == SQLITE_CONSTRAINT && (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY);
    if ((rc & 0xff) == SQLITE_NOTADB) error.code = 47;
    if ((rc & 0xff) == SQLITE_READONLY) error.code = 5;  // written through a read-only open
}

class SqliteStatement : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }

    void bind(int i, const SqlParam& p) override {
        if (active_) {
            sqlite3_reset(stmt_);
            active_ = false;
        }
        switch (p.kind) {
        case SqlParam::Null: sqlite3_bind_null(stmt_, i); break;
        case SqlParam::Int: sqlite3_bind_int64(stmt_, i, p.i); break;
        case SqlParam::Blob: sqlite3_bind_blob64(stmt_, i, p.s.data(), p.s.size(), SQLITE_TRANSIENT); break;
        default: sqlite3_bind_text64(stmt_, i, p.s.data(), p.s.size(), SQLITE_TRANSIENT, SQLITE_UTF8); break;
        }
    }

    bool execute(StoreError& error) override {
        sqlite3_reset(stmt_);
        int rc = sqlite3_step(stmt_);
        active_ = true;
        if (rc == SQLITE_ROW) {
            pending_ = true;
            done_ = false;
            return true;
        }
        pending_ = false;
        done_ = true;
        if (rc == SQLITE_DONE) {
            changes_ = sqlite3_changes(db_);
            return true;
        }
        sqliteError(db_, sqlite3_extended_errcode(db_), error);
        sqlite3_reset(stmt_);
        active_ = false;
        return false;
    }

    bool fetch(StoreError& error) override {
        if (pending_) {
            pending_ = false;
            return true;
        }
        if (done_ || !active_) return false;
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        done_ = true;
        if (rc != SQLITE_DONE) sqliteError(db_, sqlite3_extended_errcode(db_), error);
        return false;
    }

    int columnCount() override { return sqlite3_column_count(stmt_); }
    // Every column call is a library call of its own: the type is asked only when the value
    // cannot tell (0 may be NULL, no text may be NULL).
    bool columnInt(int i, std::int64_t& v) override {
        const std::int64_t value = sqlite3_column_int64(stmt_, i);
        if (value == 0 && sqlite3_column_type(stmt_, i) == SQLITE_NULL) return false;
        v = value;
        return true;
    }
    bool columnText(int i, std::string& v) override {
        std::string_view view;
        const bool present = columnView(i, view);
        v.assign(view);
        return present;
    }
    bool columnView(int i, std::string_view& v) override {
        // Text of a blob column is its bytes as they stand (the files are UTF-8).
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        if (!p) {
            v = {};
            return sqlite3_column_type(stmt_, i) != SQLITE_NULL;
        }
        v = std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)));
        return true;
    }
    void close() override {
        sqlite3_reset(stmt_);
        active_ = pending_ = false;
        done_ = true;
    }
    long long rowsAffected() override { return changes_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    bool active_ = false;
    bool pending_ = false;
    bool done_ = true;
    long long changes_ = 0;
};

class SqliteStore : public Store {
public:
    explicit SqliteStore(sqlite3* db) : db_(db) {}
    ~SqliteStore() override { sqlite3_close_v2(db_); }

    Dialect dialect() const override { return Dialect::Local; }

    std::unique_ptr<Statement> prepare(const std::string& sql, StoreError& error) override {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqliteError(db_, sqlite3_extended_errcode(db_), error);
            return nullptr;
        }
        if (!stmt) {  // an empty text
            error.code = 90;
            error.text = "empty statement";
            return nullptr;
        }
        return std::make_unique<SqliteStatement>(db_, stmt);
    }

    bool exec(const std::string& sql, StoreError& error) override {
        char* msg = nullptr;
        int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
        if (msg) sqlite3_free(msg);
        if (rc != SQLITE_OK) {
            sqliteError(db_, sqlite3_extended_errcode(db_), error);
            return false;
        }
        return true;
    }

    std::int64_t lastInsertRowId() override { return sqlite3_last_insert_rowid(db_); }
    void setBusyTimeout(int seconds) override { sqlite3_busy_timeout(db_, seconds * 1000); }
    sqlite3* db() const { return db_; }

protected:
    bool beginTx(StoreError& error) override { return exec("BEGIN IMMEDIATE", error); }
    bool commitTx(StoreError& error) override { return exec("COMMIT", error); }
    void rollbackTx() override {
        StoreError ignored;
        exec("ROLLBACK", ignored);
    }

private:
    sqlite3* db_;
};

thread_local std::map<std::string, std::weak_ptr<Store>> tLocalStores;

bool isSqliteFile(const std::string& path, bool& empty) {
    std::ifstream in(path, std::ios::binary);
    char header[16] = {};
    in.read(header, sizeof header);
    empty = in.gcount() == 0;
    return in.gcount() == 16 && std::memcmp(header, "SQLite format 3\0", 16) == 0;
}

bool queryInt(sqlite3* db, const char* sql, std::int64_t& value) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
    bool ok = sqlite3_step(stmt) == SQLITE_ROW;
    if (ok) value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return ok;
}

}  // namespace

std::shared_ptr<Store> openLocalStore(const std::string& path, bool create, bool readOnly, StoreError& error,
                                      bool ownerOnly) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string key = fs::absolute(path, ec).lexically_normal().string();
    // A read-only open gets a connection of its own: it must never be handed to a writer.
    std::string cacheKey = readOnly ? key + "\n(read only)" : key;
    auto it = tLocalStores.find(cacheKey);
    if (it != tLocalStores.end()) {
        if (auto store = it->second.lock()) return store;
        tLocalStores.erase(it);
    }
    // Threads that find a file missing at the same moment: one creates it, the others wait
    // and then see it complete.
    static std::mutex openMutex;
    std::lock_guard lock(openMutex);

    bool exists = fs::exists(key, ec);
    bool fresh = false;
    if (!exists) {
        auto parent = fs::path(key).parent_path();
        if (!parent.empty() && !fs::is_directory(parent, ec)) {
            error.code = create ? 3 : 2;
            error.text = key;
            return nullptr;
        }
        if (!create) {
            error.code = 2;
            error.text = key;
            return nullptr;
        }
        fresh = true;
    } else {
        if (fs::is_directory(key, ec) || ::access(key.c_str(), R_OK) != 0 ||
            (!readOnly && ::access(key.c_str(), W_OK) != 0)) {
            error.code = 5;
            error.text = key;
            return nullptr;
        }
        bool empty = false;
        if (!isSqliteFile(key, empty)) {
            error.code = 47;
            error.text = key;
            return nullptr;
        }
    }

    if (fresh && ownerOnly) {
        // Made before SQLite opens it, with the mode it keeps (its journal files take it over),
        // so that it is never readable by others, not even for a moment.
        const int fd = ::open(key.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            error.code = errno == EACCES ? 5 : 3;
            error.text = key;
            return nullptr;
        }
        ::close(fd);
    }
    sqlite3* db = nullptr;
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (fresh) flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(key.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqliteError(db, rc, error);
        if (rc == SQLITE_CANTOPEN) error.code = 5;
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_create_collation(db, kNoCaseCollation, SQLITE_UTF8, nullptr, noCaseCompare);
    sqlite3_busy_timeout(db, 10000);
    auto store = std::make_shared<SqliteStore>(db);

    // A file is ours when it carries the layout table; an SQLite file without any table is
    // taken over, any other one is refused untouched.
    std::int64_t marker = 0, tables = 0;
    if (!queryInt(db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='voq_tables'", marker) ||
        !queryInt(db, "SELECT count(*) FROM sqlite_master", tables)) {
        sqliteError(db, sqlite3_extended_errcode(db), error);
        if (error.code == 90 && (sqlite3_extended_errcode(db) & 0xff) == SQLITE_CORRUPT) error.code = 47;
        return nullptr;
    }
    if (marker == 0) {
        if (tables != 0 || readOnly) {
            error.code = 47;
            error.text = key;
            return nullptr;
        }
        if (!store->exec("PRAGMA journal_mode=WAL", error) ||
            !store->exec("CREATE TABLE IF NOT EXISTS voq_tables (name TEXT PRIMARY KEY COLLATE VOQ_NOCASE, layout TEXT "
                         "NOT NULL)",
                         error))
            return nullptr;
    }
    if (!readOnly) {
        StoreError ignored;
        store->exec("PRAGMA synchronous=NORMAL", ignored);
    }
    tLocalStores[cacheKey] = store;
    return store;
}

bool localTableLayout(Store& store, const std::string& table, std::string& layout, bool& exists, StoreError& error) {
    auto stmt = store.prepare("SELECT layout FROM voq_tables WHERE name = ?", error);
    if (!stmt) return false;
    SqlParam p;
    p.kind = SqlParam::Text;
    p.s = table;
    stmt->bind(1, p);
    if (!stmt->execute(error)) return false;
    exists = stmt->fetch(error);
    if (exists) stmt->columnText(0, layout);
    stmt->close();
    return error.ok();
}

bool setLocalTableLayout(Store& store, const std::string& table, const std::string& layout, StoreError& error) {
    auto stmt = store.prepare("INSERT OR REPLACE INTO voq_tables (name, layout) VALUES (?, ?)", error);
    if (!stmt) return false;
    SqlParam a, b;
    a.kind = b.kind = SqlParam::Text;
    a.s = table;
    b.s = layout;
    stmt->bind(1, a);
    stmt->bind(2, b);
    return stmt->execute(error);
}

}  // namespace rt
