#include "runtime/data/file_manager.h"

#include <filesystem>

#include "runtime/data/table_driver.h"
#include "runtime/os/path.h"
#include "runtime/thread/thread_state.h"

namespace rt {

namespace {
constexpr int kAutoNumberAttempts = 10;
}

FileManager::FileManager(const TableDef& def, void* buffer)
    : def_(def),
      buffer_(buffer),
      driver_(std::make_unique<TableDriver>(*this)),
      create_(def.createFlag),
      turbo_(upper(def.driverOptions).find("/TURBOSQL=TRUE") != std::string::npos) {}

FileManager::~FileManager() { closeAll(); }

void FileManager::setName(std::string physicalName) { nameOverride_ = std::move(physicalName); }

std::string FileManager::name() const {
    std::string n = !nameOverride_.empty() ? nameOverride_ : def_.nameSource ? def_.nameSource() : def_.physicalName;
    if (def_.store == StoreKind::LocalFile) {
        n = std::string(trimBlanks(n));
        if (n.empty()) return n;
        std::string native = nativeSeparators(n);
        if (std::filesystem::path(native).extension().empty()) n += ".TPS";
        return resolvePath(n);
    }
    return n;
}

std::string FileManager::openedName() const { return driver_->openedName(); }

void FileManager::setConnectString(std::string connect) { connectOverride_ = std::move(connect); }

std::string FileManager::connectString() const {
    if (!connectOverride_.empty()) return connectOverride_;
    return def_.connectSource ? def_.connectSource() : std::string();
}

int FileManager::send(std::string_view driverString) {
    std::string s = upper(trimBlanks(driverString));
    if (s.rfind("RECOVER=", 0) == 0) {
        lockRecover_ = std::atoi(s.c_str() + 8);
        if (driver_->isOpen() && lockRecover_ > 0) driver_->store()->setBusyTimeout(lockRecover_);
    } else if (s == "/TURBOSQL=TRUE") {
        turbo_ = true;
    } else if (s == "/TURBOSQL=FALSE") {
        turbo_ = false;
    }
    return ok();
}

int FileManager::ok() {
    lastError_ = 0;
    return 0;
}

int FileManager::fail(int code, std::string fileErrorCodeText, std::string fileErrorTextText) {
    lastError_ = code;
    if (code == 0) return 0;
    std::string file = driver_->isOpen() ? driver_->openedName() : label();
    if (!fileErrorCodeText.empty() || !fileErrorTextText.empty() || code == ErrFileSystem)
        setFileError(code, dataErrorText(code), std::move(fileErrorCodeText), std::move(fileErrorTextText), file);
    else
        setError(code, dataErrorText(code), file);
    return code;
}

bool FileManager::isOpen() const { return driver_->isOpen(); }

int FileManager::physicalOpen(OpenMode mode) {
    std::string n = name();
    if (n.empty() && def_.store == StoreKind::LocalFile) return fail(ErrFileNotFound);
    std::string connect;
    if (def_.store == StoreKind::Server) {
        connect = connectString();
        if (connect.empty()) return fail(ErrFileSystem, "IM002", "no connect string for " + label());
    }
    StoreError e;
    int rc = driver_->open(n, connect, mode, create_, !turbo_, e);
    if (rc == ErrAccessDenied && lockRecover_ > 0) {  // locked: wait as told and try once more
        StoreError again;
        rc = driver_->open(n, connect, mode, create_, !turbo_, again);
        e = again;
    }
    if (rc != 0) return fail(rc, e.state, e.text);
    openedReadOnly_ = mode == OpenMode::ReadOnly;
    if (lockRecover_ > 0) driver_->store()->setBusyTimeout(lockRecover_);
    return ok();
}

int FileManager::refuseWrites() { return readOnly() ? fail(ErrAccessDenied) : 0; }

#define RT_REFUSE_WRITES()        \
    do {                          \
        int rc_ = refuseWrites(); \
        if (rc_) return rc_;      \
    } while (0)

int FileManager::open(OpenMode mode) {
    if (!driver_->isOpen()) {
        int rc = physicalOpen(mode);
        if (rc) return rc;
    }
    ++openCount_;
    return ok();
}

int FileManager::close() {
    if (openCount_ > 0) --openCount_;
    if (openCount_ == 0 && driver_->isOpen()) {
        driver_->close();
        reservedRowPending_ = false;
        openedReadOnly_ = false;
    }
    return ok();
}

void FileManager::closeAll() {
    openCount_ = 0;
    if (driver_ && driver_->isOpen()) driver_->close();
    reservedRowPending_ = false;
    openedReadOnly_ = false;
}

int FileManager::buildKeys() {
    if (def_.store != StoreKind::LocalFile) return ok();
    if (driver_->isOpen()) return fail(ErrFileAlreadyOpen);
    const std::string n = name();
    if (n.empty()) return fail(ErrFileNotFound);
    StoreError e;
    const int rc = driver_->rebuildKeys(n, e);
    return rc ? fail(rc, e.state, e.text) : ok();
}

int FileManager::useFile() {
    if (driver_->isOpen()) return 0;
    return physicalOpen(OpenMode::ReadWrite);
}

#define RT_USE_FILE()        \
    do {                     \
        int rc_ = useFile(); \
        if (rc_) return rc_; \
    } while (0)

static int driverResult(FileManager& fm, int rc, const StoreError& e) {
    if (rc == 0) return fm.ok();
    if (rc == ErrFileSystem || !e.text.empty()) return fm.fail(rc, e.state, e.text);
    return fm.fail(rc);
}

int FileManager::fetch(int key) {
    RT_USE_FILE();
    if (key < 0 || key >= static_cast<int>(def_.keys.size())) return fail(ErrRecordNotFound);
    StoreError e;
    return driverResult(*this, driver_->fetch(key, e), e);
}

int FileManager::setOrder(int key) {
    RT_USE_FILE();
    driver_->setOrder(key < static_cast<int>(def_.keys.size()) ? key : -1);
    return ok();
}

int FileManager::setFrom(int key) {
    RT_USE_FILE();
    driver_->setFrom(key < static_cast<int>(def_.keys.size()) ? key : -1);
    return ok();
}

int FileManager::next() {
    RT_USE_FILE();
    StoreError e;
    return driverResult(*this, driver_->next(e), e);
}

int FileManager::previous() {
    RT_USE_FILE();
    StoreError e;
    return driverResult(*this, driver_->previous(e), e);
}

Position FileManager::position() const { return driver_->position(); }

int FileManager::resetTo(int key, const Position& pos) {
    RT_USE_FILE();
    driver_->resetTo(key, pos);
    return ok();
}

long long FileManager::records() {
    if (useFile()) return -1;
    StoreError e;
    long long n = driver_->count(e);
    if (n < 0)
        fail(ErrFileSystem, e.state, e.text);
    else
        ok();
    return n;
}

long long FileManager::bytes() {
    const long long n = records();
    return n < 0 ? -1 : n * static_cast<long long>(desc().byteSize());
}

// 0 when no unique key of the buffer is taken, ErrDuplicateKey when one is, else the error of the
// check that could not be made (in e): a record is never stored on a check that failed.
static int checkUniqueKeys(TableDriver& driver, const TableDef& def, bool excludeSelf, StoreError& e) {
    if (driver.enforcesUnique()) return 0;
    for (const auto& k : def.keys) {
        if (!k.unique()) continue;
        switch (driver.collides(k, excludeSelf, e)) {
        case TableDriver::Collision::None: break;
        case TableDriver::Collision::Duplicate: return ErrDuplicateKey;
        case TableDriver::Collision::CheckFailed: return e.code ? e.code : ErrFileSystem;
        }
    }
    return 0;
}

int FileManager::collidingKey() {
    // Numbered keys first: their collision is the one auto-numbering may retry.
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < def_.keys.size(); ++i) {
            const auto& k = def_.keys[i];
            if (!k.unique() || (pass == 0) != (k.autoComponent > 0)) continue;
            StoreError e;
            if (driver_->collides(k, false, e) == TableDriver::Collision::Duplicate) return static_cast<int>(i);
        }
    return -1;
}

int FileManager::insert() {
    RT_REFUSE_WRITES();
    RT_USE_FILE();
    if (reservedRowPending_) {
        // The record was stored when it was primed: store the buffer into it.
        driver_->setLastRead(reservedAt_);
        int rc = update();
        if (rc == 0) reservedRowPending_ = false;
        return rc;
    }
    if (def_.hasAutoKey()) return autoNumber(false);
    return insertAsIs();
}

int FileManager::insertAsIs() {
    RT_REFUSE_WRITES();
    RT_USE_FILE();
    StoreError e;
    if (int rc = checkUniqueKeys(*driver_, def_, false, e))
        return rc == ErrDuplicateKey ? fail(ErrDuplicateKey) : driverResult(*this, rc, e);
    return driverResult(*this, driver_->insert(e), e);
}

int FileManager::update() {
    RT_REFUSE_WRITES();
    RT_USE_FILE();
    StoreError e;
    if (int rc = checkUniqueKeys(*driver_, def_, true, e))
        return rc == ErrDuplicateKey ? fail(ErrDuplicateKey) : driverResult(*this, rc, e);
    int rc = driver_->update(e);
    return driverResult(*this, rc, e);
}

int FileManager::updateIfUnchanged() {
    RT_REFUSE_WRITES();
    RT_USE_FILE();
    const void* read = driver_->lastRead();
    if (!read) return fail(ErrRecordNotAvailable);
    // Read the stored record again into a scratch buffer and compare it with the one read.
    const auto& d = def_.record;
    auto wanted = saveBuffer();
    auto asRead = saveBuffer();
    d.copy(asRead.record.get(), read);
    Position pos = driver_->position();
    d.copy(buffer_, read);
    StoreError e;
    int rc = driver_->refetch(e);
    bool same = rc == 0;
    for (std::size_t i = 0; same && i < d.fieldCount(); ++i)
        if (d.field(i).stored() && d.text(buffer_, i) != d.text(asRead.record.get(), i)) same = false;
    d.copy(buffer_, wanted.record.get());
    driver_->setLastRead(pos);
    if (rc == ErrRecordNotAvailable || rc == ErrRecordNotFound || (rc == 0 && !same)) return fail(ErrRecordChanged);
    if (rc) return driverResult(*this, rc, e);
    return update();
}

int FileManager::beginTransaction(int lockWaitSeconds) {
    RT_USE_FILE();
    Store* store = driver_->store();
    if (lockWaitSeconds > 0) store->setBusyTimeout(lockWaitSeconds);
    StoreError e;
    bool ok = store->begin(e);
    store->setBusyTimeout(lockRecover_ > 0 ? lockRecover_ : 10);
    if (!ok) return fail(e.code ? e.code : ErrFileSystem, e.state, e.text);
    return this->ok();
}

int FileManager::commit() {
    if (!driver_->isOpen()) return fail(ErrFileNotOpen);
    StoreError e;
    if (!driver_->store()->commit(e)) return fail(ErrFileSystem, e.state, e.text.empty() ? "rolled back" : e.text);
    return ok();
}

int FileManager::rollback() {
    if (!driver_->isOpen()) return fail(ErrFileNotOpen);
    driver_->store()->rollback();
    return ok();
}

int FileManager::deleteRecord() {
    RT_REFUSE_WRITES();
    RT_USE_FILE();
    StoreError e;
    int rc = driver_->remove(e);
    return driverResult(*this, rc, e);
}

int FileManager::autoNumber(bool reserve) {
    for (int attempt = 0; attempt < kAutoNumberAttempts; ++attempt) {
        for (const auto& k : def_.keys) {
            if (k.autoComponent == 0) continue;
            StoreError e;
            std::int64_t top = 0;
            if (!driver_->maxAuto(k, top, e)) return fail(e.code ? e.code : ErrFileSystem, e.state, e.text);
            auto idx = static_cast<std::size_t>(k.components[static_cast<std::size_t>(k.autoComponent - 1)]);
            def_.record.set(buffer_, idx, FieldValue(std::int64_t(top + 1)));
        }
        if (beforeReserve_) beforeReserve_();
        StoreError e;
        int rc = checkUniqueKeys(*driver_, def_, false, e);
        if (rc == 0) rc = driver_->insert(e);
        if (rc == 0) {
            if (reserve) {
                reservedRowPending_ = true;
                reservedAt_ = driver_->position();
            }
            return ok();
        }
        if (rc != ErrDuplicateKey) return driverResult(*this, rc, e);
        // Another user took the number meanwhile: number again, but only for that collision.
        int key = collidingKey();
        if (key < 0 || def_.keys[static_cast<std::size_t>(key)].autoComponent == 0) return fail(ErrDuplicateKey);
    }
    return fail(ErrDuplicateKey);
}

int FileManager::primeRecord(bool keepBuffer) {
    RT_USE_FILE();
    if (def_.hasAutoKey()) RT_REFUSE_WRITES();  // numbering stores the record
    reservedRowPending_ = false;
    if (!keepBuffer) def_.record.clear(buffer_);
    if (def_.primeValues) def_.primeValues(buffer_);
    if (!def_.hasAutoKey()) return ok();
    return autoNumber(true);
}

int FileManager::cancelReserved() {
    if (!reservedRowPending_) return ok();
    RT_USE_FILE();
    driver_->setLastRead(reservedAt_);
    StoreError e;
    int rc = driver_->remove(e);
    reservedRowPending_ = false;
    if (rc == ErrRecordNotAvailable) return ok();  // already gone
    return driverResult(*this, rc, e);
}

void FileManager::clearBuffer() { def_.record.clear(buffer_); }

SavedBuffer FileManager::saveBuffer() const {
    const auto& d = def_.record;
    void* p = d.create();
    d.copy(p, buffer_);
    auto destroy = d.destroy;
    return SavedBuffer{std::shared_ptr<void>(p, [destroy](void* x) { destroy(x); })};
}

void FileManager::restoreBuffer(const SavedBuffer& saved) {
    if (saved.record) def_.record.copy(buffer_, saved.record.get());
}

int FileManager::setSql(std::string_view statement) {
    if (!driver_->isOpen()) return fail(ErrFileNotOpen);
    StoreError e;
    return driverResult(*this, driver_->setSql(statement, e), e);
}

bool FileManager::sqlMode() const { return driver_->sqlMode(); }

const void* FileManager::lastRead() const { return driver_->lastRead(); }

}  // namespace rt
