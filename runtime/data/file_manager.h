// FileManager: one table as one thread uses it. Counted open and close with open on first use,
// get by key, set and step in key order, insert, change, delete, prime with auto-numbering,
// save and restore of the record buffer, SQL text as a table property.
//
// Every operation returns 0 or the runtime's error number and sets the calling thread's error
// status (errorCode(), errorText(), and for 90 fileErrorCode()/fileErrorText()). Nothing throws.
//
//   rt::FileManager fm(cubeKopfTable(), &CUBK);      // CUBK: the thread's CubeKopfRecord
//   fm.setConnectString(cs);
//   if (fm.open() != 0) report(rt::errorText());
//   CUBK.ID = 7;
//   if (fm.fetch("CUBK:KeyID") == 0) ...            // the record is in CUBK
//   fm.setOrder("CUBK:KeyCubeName");
//   while (fm.next() == 0) ...                        // every record in name order
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/data/errors.h"
#include "runtime/data/table_def.h"

namespace rt {

class TableDriver;

enum class OpenMode { ReadWrite, ReadOnly };

// A record's place in a key order, taken with position() and given back to resetTo().
struct Position {
    std::shared_ptr<void> record;  // copy of the record as read
    std::int64_t rowId = 0;        // local files: the row; 0 on the server
    int rowKey = -1;               // local files, >= 0: the row not looked up yet; this unique key finds it
    bool valid() const { return record != nullptr; }
};

// A copy of the record buffer (saveBuffer/restoreBuffer).
struct SavedBuffer {
    std::shared_ptr<void> record;
};

class FileManager {
public:
    FileManager(const TableDef& def, void* buffer);
    ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    const TableDef& def() const { return def_; }
    const RecordDesc& desc() const { return def_.record; }
    const std::string& label() const { return def_.label; }
    void* buffer() const { return buffer_; }
    template <class R>
    R& record() const {
        return *static_cast<R*>(buffer_);
    }

    // ---- Naming and options (take effect at the next physical open) ----
    void setName(std::string physicalName);  // overrides the declared or global name
    std::string name() const;                // the name an open would use now
    std::string openedName() const;          // the name the open table was opened with
    void setConnectString(std::string connect);
    std::string connectString() const;
    void setCreate(bool create) { create_ = create; }
    bool createFlag() const { return create_; }
    void setLockRecover(int seconds) { lockRecover_ = seconds; }
    // Driver strings: "Recover=n" (lock wait), "/TURBOSQL=TRUE" (no check at open), "QUICKSCAN=on"
    // and unknown strings are accepted without effect.
    int send(std::string_view driverString);

    // ---- Open and close ----
    int open(OpenMode mode = OpenMode::ReadWrite);  // counted; opens the store on the first call
    int close();                                    // counted; closes on the last
    void closeAll();                                // closes whatever the open count
    bool isOpen() const;
    int openCount() const { return openCount_; }
    // A local file whose keys are damaged (open gives 38), while it is closed: makes its keys
    // again from the declaration; the records stay as they are. 0 or an error number.
    int buildKeys();
    // Writes are refused with 5: the table is declared read only, or is open read only.
    bool readOnly() const { return def_.readOnly || openedReadOnly_; }
    // Opens the table when it is not open (open on first use); every operation calls it.
    int useFile();

    // ---- Keys ----
    int keyIndex(std::string_view labelOrName) const { return def_.findKey(labelOrName); }

    // ---- Reading ----
    // The record whose components of `key` equal the buffer's: 0, or 35 when there is none.
    int fetch(int key);
    int fetch(std::string_view keyLabel) { return fetch(keyIndex(keyLabel)); }
    // Start of a key order (key -1: record order); next() gives the first, previous() the last.
    int setOrder(int key);
    int setOrder(std::string_view keyLabel) { return setOrder(keyIndex(keyLabel)); }
    // From the buffer's key values: next() gives the first record at or after them,
    // previous() the last at or before them.
    int setFrom(int key);
    int setFrom(std::string_view keyLabel) { return setFrom(keyIndex(keyLabel)); }
    int next();                 // 0, or 33 at the end
    int previous();             // 0, or 33 at the start
    Position position() const;  // of the record read last
    // Continues in `key` order at the saved record: next() reads it again (or, when it is gone,
    // the one after it), previous() it or the one before it.
    int resetTo(int key, const Position& position);
    // Number of records; -1 on error.
    long long records();
    // The table's size in bytes: its records at the declared record size; -1 on error.
    long long bytes();

    // ---- Writing ----
    // Adds the buffer as a new record. On a table with an auto-numbered key the record is
    // numbered first (whatever the buffer holds there), as priming does. After primeRecord() has
    // reserved a record, stores the buffer into that record instead.
    int insert();
    // Adds the buffer exactly as it is, without numbering.
    int insertAsIs();
    int update();        // changes the record read last (or reserved) to the buffer
    int deleteRecord();  // deletes the record read last

    // Primes a new record: clears the buffer (unless keepBuffer), sets the table's priming
    // values; for a table with an auto-numbered key numbers it and stores it at once, which
    // reserves the number. A duplicate on a numbered key renumbers, at most 10 times.
    int primeRecord(bool keepBuffer = false);
    bool reserved() const { return reservedRowPending_; }
    const Position& reservedPosition() const { return reservedAt_; }
    // Deletes the record that primeRecord() reserved (the relation manager cascades first).
    int cancelReserved();

    // Changes the record read last only when nobody changed it since it was read: 89 when the
    // stored record differs from the one read (it is then left as the other station wrote it).
    int updateIfUnchanged();

    // ---- Transactions ----
    // Frames the following changes of this table's store (a local file, or the server
    // connection): they are kept or undone together. lockWaitSeconds: how long to wait for
    // other users' locks before giving up with the driver's error (90).
    int beginTransaction(int lockWaitSeconds = 0);
    int commit();
    int rollback();

    // ---- Buffer ----
    void clearBuffer();
    SavedBuffer saveBuffer() const;
    void restoreBuffer(const SavedBuffer& saved);

    // ---- SQL text ----
    // Sends the statement on the table's connection; the rows it returns arrive with next() in
    // the fields in column order (fewer columns than fields allowed, values converted).
    int setSql(std::string_view statement);
    bool sqlMode() const;

    // Called between numbering and storing a primed record (tests stand in for another user).
    void setBeforeReserveHook(std::function<void()> hook) { beforeReserve_ = std::move(hook); }

    // Error of the last operation of this manager (also in the thread's error status).
    int lastError() const { return lastError_; }

    // For the relation manager and views.
    int fail(int code, std::string fileErrorCode = {}, std::string fileErrorText = {});
    int ok();
    // Copy of the record as read last (for cascades on update); null when none was read.
    const void* lastRead() const;
    TableDriver* driver() const { return driver_.get(); }

private:
    friend class TableDriver;
    int physicalOpen(OpenMode mode);
    int refuseWrites();  // 5 when readOnly(), else 0
    int autoNumber(bool reserve);
    int collidingKey();  // the unique key whose values another record has; -1 if none

    const TableDef& def_;
    void* buffer_;
    std::unique_ptr<TableDriver> driver_;
    std::string nameOverride_;
    std::string connectOverride_;
    bool create_ = false;
    int lockRecover_ = 0;
    bool turbo_ = false;
    bool openedReadOnly_ = false;
    int openCount_ = 0;
    bool reservedRowPending_ = false;
    int lastError_ = 0;
    Position reservedAt_;
    std::function<void()> beforeReserve_;
};

}  // namespace rt
