// Internal: one open table of one manager on its store; runs the statements that TableSql
// writes for the store's back end and keeps the reading position.
//
// The reading position (the cursor):
//  - key_ is the order (-1: the table's own order, the row id or the identity columns); seek_
//    says where the next read starts: Start (the first record in the direction read), From (the
//    first at or past seekRecord_'s key values, set by setFrom), At (the record seekRecord_ and
//    seekRow_ name, inclusive, after resetTo), After (past it: the record read last).
//  - While cursorActive_, cursor_ is an executed statement reading in cursorDir_ from that place;
//    the next read in the same direction fetches its next row. Any write, order or position
//    change drops it (invalidate), and the next read runs a fresh query from seek_, so a read
//    after a write sees the write.
//  - After every successful read seek_ is After, seekRecord_ is lastRead_ and seekRow_ its row:
//    a change of direction starts from the record read last. Past the end seek_ is Start again.
//  - windowed_: on a server after this manager wrote, the query reads serverReadWindow() rows at
//    a time in a unique order (cursorRows_ counts them); the end of a full window runs the next.
//  - sqlStmt_ (setSql) replaces the cursor: next() reads its rows until another call ends it.
//  - lastRead_ (with lastRow_ on a local file) is the record read or written last, which update,
//    remove and refetch name; a copy of the buffer, shared with saved positions.
//  - Local file, in a unique key's order: the key alone orders and names a record, so the
//    cursor reads no row ids; lastRow_ (and seekRow_) is looked up by the key's values
//    (rowKey_, seekRowKey_) only when a change, a refetch or an order with ties needs it.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/data/sql_store.h"
#include "runtime/data/table_sql.h"

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
    // Local file, closed: drops the table's keys and makes them again from the declaration; 0 or
    // an error number (the file keeps its keys as they were).
    int rebuildKeys(const std::string& name, StoreError& error);
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
    // Whether another record (not the one read last, when `excludeSelf`) has the buffer's values
    // in the key. A check that could not be made says so (with the error), never "no duplicate".
    enum class Collision { None, Duplicate, CheckFailed };
    Collision collides(const KeyDef& key, bool excludeSelf, StoreError& error);
    // Local: does the store enforce unique keys itself (then no pre-check is needed).
    bool enforcesUnique() const { return local_; }

    int setSql(std::string_view sql, StoreError& error);
    bool sqlMode() const { return sqlStmt_ != nullptr; }
    void endSql();

    const void* lastRead() const { return lastRead_.get(); }
    void setLastRead(const Position& pos) {
        lastRead_ = pos.record;
        lastRow_ = pos.rowId;
        rowKey_ = pos.rowKey;
    }
    void forgetLastRead() {
        lastRead_.reset();
        lastRow_ = 0;
        rowKey_ = -1;
    }
    bool hasLastRead() const { return lastRead_ != nullptr; }

private:
    int openLocal(const std::string& name, bool create, bool readOnly, StoreError& error);
    int openServer(const std::string& name, const std::string& connect, bool create, bool check, StoreError& error);
    // Server: do the declared columns exist (or, with create, can the missing table be made)?
    int checkServerColumns(bool create, StoreError& error);
    // Local file: does it carry every declared key? Otherwise error says which code (38).
    bool keysPresent(StoreError& error);
    SqlParam keyParam(const void* record, const KeyDef& key, std::size_t component) const;
    std::vector<int> identityFields(int key) const;  // server: fields that make the order unique
    SqlParam param(const void* record, int field) const;
    void bindColumns(Statement& stmt, int& index, const void* record) const;
    std::vector<int> lastReadFields() const;
    void bindLastRead(Statement& stmt, int& index, const std::vector<int>& fields) const;
    void readRow(Statement& stmt, int firstColumn, void* record);
    // How readRow takes each result column into the record, worked out once per layout.
    struct ReadColumn {
        enum Kind { DateTimePair, Whole, LocalWhole, LocalUnits, Text, FromText } kind = FromText;
        const FieldDesc* field = nullptr;      // a pair's date field
        const FieldDesc* timeField = nullptr;  // a pair's time field
        std::size_t index = 0;                 // the field's number
    };
    const std::vector<ReadColumn>& readPlan();
    // How many plan columns a result of `columns` columns fills from column `first` on.
    std::size_t fills(int columns, int first) {
        return std::min(readPlan().size(), static_cast<std::size_t>(std::max(0, columns - first)));
    }
    // readRow with the plan and the number of result columns it fills already known (a cursor
    // works them out once when it runs).
    void fillRow(Statement& stmt, int firstColumn, void* record, const std::vector<ReadColumn>& plan,
                 std::size_t count);
    bool createTable(StoreError& error);
    std::shared_ptr<void> copyBuffer() const;
    Statement* cached(const std::string& sql, StoreError& error);
    // Statements whose text depends only on the open table (and a key): found by their slot
    // without building the text again.
    enum Slot : std::size_t { SlotInsert, SlotUpdate, SlotRemove, SlotCount, SlotRefetch, SlotsPerTable };
    enum KeySlot : std::size_t { SlotFetch, SlotMaxAuto, SlotCollides, SlotCollidesOther, SlotRowOf, SlotsPerKey };
    template <class Text>
    Statement* slotted(std::size_t slot, Text text, StoreError& error);
    std::size_t keySlot(const KeyDef& key, KeySlot which) const;
    void rememberRead();  // the buffer as the record read last
    int step(int direction, StoreError& error);
    // Runs the query of the reading position in a direction: cursor_ ready to fetch.
    int openCursor(int direction, StoreError& error);
    // The order of a cursor: the key's expressions, then what makes it unique (field -1: row id).
    void cursorOrder(const KeyDef* key, std::vector<std::string>& exprs, std::vector<int>& fields) const;
    void bindSeek(const KeyDef* key, const std::vector<int>& fields, const std::vector<std::size_t>& params);
    void invalidate() { cursorActive_ = false; }
    // Local file, in the order of a unique key: the row id is looked up later (see above).
    bool rowLater(const KeyDef* key) const { return local_ && key && key->unique(); }
    // The row of the record holding `record`'s values in unique key `key` (0 when there is none).
    bool rowOf(int key, const void* record, std::int64_t& row, StoreError& error);
    bool resolveLastRow(StoreError& error);  // lastRow_ looked up when rowKey_ says it is not yet

    FileManager& fm_;
    const TableDef& def_;
    std::shared_ptr<Store> store_;
    std::string openedName_;
    TableSql sql_;
    bool local_ = true;
    std::map<std::string, std::unique_ptr<Statement>> statements_;
    std::vector<Statement*> slots_;

    // Reading position.
    enum class Seek { Start, From, After, At };
    int key_ = -1;
    Seek seek_ = Seek::Start;
    std::shared_ptr<void> seekRecord_;
    std::int64_t seekRow_ = 0;
    int seekRowKey_ = -1;  // >= 0: seekRow_ not looked up yet, found through this unique key
    Statement* cursor_ = nullptr;
    bool cursorActive_ = false;
    int cursorDir_ = 0;
    bool windowed_ = false;
    bool recentWrite_ = false;
    int cursorRows_ = 0;
    bool cursorLater_ = false;     // the cursor's rows leave the row id for later (rowLater)
    std::size_t cursorFills_ = 0;  // the plan columns its rows fill

    std::shared_ptr<void> lastRead_;
    std::int64_t lastRow_ = 0;
    int rowKey_ = -1;  // >= 0: lastRow_ not looked up yet, found through this unique key
    std::unique_ptr<Statement> sqlStmt_;
    std::string scratch_;
    std::vector<ReadColumn> readPlan_;
    const void* planColumns_ = nullptr;  // the columns the plan was made for
    bool planLocal_ = false;
};

}  // namespace rt
