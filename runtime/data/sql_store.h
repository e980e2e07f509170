// Internal: the statement layer under the table drivers. A local table file is a SQLite
// database reached through the sqlite3 library; a server is reached through unixODBC. Both
// speak SQL, so one table driver generates statements for either, with the store's dialect.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

enum class Dialect { Local, SQLite, PostgreSQL, SqlServer, Other };

struct StoreError {
    int code = 0;       // runtime error number (90 for driver errors)
    std::string state;  // the driver's code (SQLSTATE, or SQLite's result code)
    std::string text;   // the driver's text
    long native = 0;
    bool duplicate = false;  // the driver reports a unique-key violation
    bool ok() const { return code == 0; }
};

struct SqlParam {
    enum Kind { Null, Int, Text, Blob, Decimal, Date, DateTime, TimeOfDay } kind = Null;
    std::int64_t i = 0;
    std::int32_t i32 = 0;  // binding storage
    std::string s;
    int digits = 0;
    int places = 0;
};

class Statement {
public:
    virtual ~Statement() = default;
    virtual void bind(int index1, const SqlParam& param) = 0;
    virtual bool execute(StoreError& error) = 0;  // runs it (after reset, with the bound values)
    virtual bool fetch(StoreError& error) = 0;    // next row; false at the end or on error
    virtual int columnCount() = 0;
    virtual bool columnInt(int index0, std::int64_t& value) = 0;  // false for NULL
    virtual bool columnText(int index0, std::string& value) = 0;  // false for NULL
    // The text without a copy where the store can give it; valid until the next fetch or column
    // call. False for NULL.
    virtual bool columnView(int index0, std::string_view& value) {
        const bool present = columnText(index0, viewText_);
        value = viewText_;
        return present;
    }
    virtual void close() = 0;  // ends the result, keeps the prepared text
    virtual long long rowsAffected() = 0;
    virtual void setMaxRows(long rows) {}  // 0: all

private:
    std::string viewText_;
};

class Store {
public:
    virtual ~Store() = default;
    virtual Dialect dialect() const = 0;
    virtual std::unique_ptr<Statement> prepare(const std::string& sql, StoreError& error) = 0;
    virtual bool exec(const std::string& sql, StoreError& error) = 0;
    virtual std::int64_t lastInsertRowId() { return 0; }
    // Nested transactions are counted; only the outermost begins and ends.
    bool begin(StoreError& error);
    bool commit(StoreError& error);
    void rollback();
    virtual void setBusyTimeout(int seconds) {}
    // Pass-through SQL text of the program, adapted to the back end (dbo, catalogue).
    virtual std::string adaptSql(std::string_view sql, StoreError& error) { return std::string(sql); }

protected:
    virtual bool beginTx(StoreError& error) = 0;
    virtual bool commitTx(StoreError& error) = 0;
    virtual void rollbackTx() = 0;

private:
    int depth_ = 0;
    bool failed_ = false;
};

// A transaction on each store added, rolled back unless committed: every way out of a change
// that does not reach commit() undoes it.
class TransactionGuard {
public:
    TransactionGuard() = default;
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;
    ~TransactionGuard() { rollback(); }

    // Begins on the store; a store added before is not begun again.
    bool add(Store& store, StoreError& error) {
        if (std::find(stores_.begin(), stores_.end(), &store) != stores_.end()) return true;
        if (!store.begin(error)) return false;
        stores_.push_back(&store);
        return true;
    }
    // Commits every store; false when one failed (error: the last failure).
    bool commit(StoreError& error) {
        bool ok = true;
        for (auto* s : stores_) ok = s->commit(error) && ok;
        stores_.clear();
        return ok;
    }
    void rollback() {
        for (auto* s : stores_) s->rollback();
        stores_.clear();
    }

private:
    std::vector<Store*> stores_;
};

// Local table files: the thread's connection to a file, shared by the tables in it.
// Returns null with the error set (2 missing, 5 denied, 47 not one of ours, 90 other).
// ownerOnly: a file created here is readable and writable by its owner only (0600).
std::shared_ptr<Store> openLocalStore(const std::string& path, bool create, bool readOnly, StoreError& error,
                                      bool ownerOnly = false);

// Server: the thread's connection for a connect string.
std::shared_ptr<Store> openServerStore(const std::string& connectString, StoreError& error);

// Layout bookkeeping inside a local file.
bool localTableLayout(Store& store, const std::string& table, std::string& layout, bool& exists, StoreError& error);
bool setLocalTableLayout(Store& store, const std::string& table, const std::string& layout, StoreError& error);

// sqlite3 collation name folding German letters and ignoring trailing blanks.
inline constexpr const char* kNoCaseCollation = "VOQ_NOCASE";

}  // namespace rt
