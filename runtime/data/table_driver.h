// Internal: one open table of one manager on its store; generates the statements for the
// store's dialect and keeps the reading position.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/data/sql_store.h"

namespace rt {

// Rows a server cursor in key order reads at a time (tests make it small).
int& serverReadWindow();

class TableDriver {
public:
    explicit TableDriver(FileManager& fm);
    ~TableDriver();

    // 0 or an error number; error carries the driver's code and text.
    int open(const std::string& name, const std::string& connect, OpenMode mode, bool create, bool check,
             StoreError& error);
    void close();
    bool isOpen() const { return store_ != nullptr; }
    Store* store() const { return store_.get(); }
    const std::string& openedName() const { return openedName_; }

    void setOrder(int key);
    void setFrom(int key);
    int next(StoreError& error);
    int previous(StoreError& error);
    int fetch(int key, StoreError& error);
    // Reads the record read last again, by its row or identifying key: 0 or 35.
    int refetch(StoreError& error);
    void resetTo(int key, const Position& pos);
    Position position() const;

    int insert(StoreError& error);
    int update(StoreError& error);
    int remove(StoreError& error);
    long long count(StoreError& error);
    // Highest value of the key's auto component among records sharing its leading components.
    bool maxAuto(const KeyDef& key, std::int64_t& value, StoreError& error);
    // True when another record (not the one read last, when `excludeSelf`) has the buffer's
    // values in the key.
    bool collides(const KeyDef& key, bool excludeSelf, StoreError& error);
    // Local: does the store enforce unique keys itself (then no pre-check is needed).
    bool enforcesUnique() const { return local_; }

    int setSql(std::string_view sql, StoreError& error);
    bool sqlMode() const { return sqlStmt_ != nullptr; }
    void endSql();

    const void* lastRead() const { return lastRead_.get(); }
    void setLastRead(const Position& pos) { lastRead_ = pos.record; lastRow_ = pos.rowId; }
    void forgetLastRead() { lastRead_.reset(); lastRow_ = 0; }
    bool hasLastRead() const { return lastRead_ != nullptr; }

private:
    struct Column {
        std::string name;
        int field = -1;
        int dateField = -1;  // date-time pair on the server
        int timeField = -1;
    };

    void buildColumns();
    std::string q(const std::string& ident) const;  // quoted identifier (local) or as is
    std::string table() const;
    std::string selectList() const;
    bool keyText(const KeyDef& key, std::size_t component) const;
    bool sqliteFold(const KeyDef& key, std::size_t component) const;
    std::string source(const KeyDef* key) const;  // table, or the folding derived table for key
    std::string keyExpr(const KeyDef& key, std::size_t component) const;
    std::string paramExpr(const KeyDef& key, std::size_t component) const;
    SqlParam keyParam(const void* record, const KeyDef& key, std::size_t component) const;
    std::string optCondition(const KeyDef& key) const;
    std::vector<int> identityFields(int key) const;  // server: fields that make the order unique
    SqlParam param(const void* record, int field) const;
    void bindColumns(Statement& stmt, int& index, const void* record) const;
    std::vector<int> lastReadFields() const;
    std::string lastReadWhere(const std::vector<int>& fields) const;
    void bindLastRead(Statement& stmt, int& index, const std::vector<int>& fields) const;
    void readRow(Statement& stmt, int firstColumn, void* record);
    bool createTable(StoreError& error);
    std::string layoutText() const;
    std::string sqlType(const FieldDesc& f, bool pair) const;
    std::shared_ptr<void> copyBuffer() const;
    Statement* cached(const std::string& sql, StoreError& error);
    // Statements whose text depends only on the open table (and a key): found by their slot
    // without building the text again.
    enum Slot : std::size_t { SlotInsert, SlotUpdate, SlotRemove, SlotCount, SlotRefetch, SlotsPerTable };
    enum KeySlot : std::size_t { SlotFetch, SlotMaxAuto, SlotCollides, SlotCollidesOther, SlotsPerKey };
    template <class Text>
    Statement* slotted(std::size_t slot, Text text, StoreError& error);
    std::size_t keySlot(const KeyDef& key, KeySlot which) const;
    void rememberRead();  // the buffer as the record read last
    int step(int direction, StoreError& error);
    void invalidate() { cursorActive_ = false; }

    FileManager& fm_;
    const TableDef& def_;
    std::shared_ptr<Store> store_;
    std::string openedName_;
    std::string tableName_;
    bool local_ = true;
    std::vector<Column> columns_;
    std::map<std::string, std::unique_ptr<Statement>> statements_;
    std::vector<Statement*> slots_;

    // Reading position.
    enum class Seek { Start, From, After, At };
    int key_ = -1;
    Seek seek_ = Seek::Start;
    std::shared_ptr<void> seekRecord_;
    std::int64_t seekRow_ = 0;
    Statement* cursor_ = nullptr;
    bool cursorActive_ = false;
    int cursorDir_ = 0;
    bool windowed_ = false;
    bool recentWrite_ = false;
    int cursorRows_ = 0;

    std::shared_ptr<void> lastRead_;
    std::int64_t lastRow_ = 0;
    std::unique_ptr<Statement> sqlStmt_;
    std::string scratch_;
};

}  // namespace rt
