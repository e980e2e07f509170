#include "runtime/data/table_driver.h"

#include <algorithm>
#include <cassert>

#include "runtime/data/errors.h"
#include "runtime/text/strings.h"

namespace rt {

namespace {

// A failed statement's error number: the driver's, else a file system error.
int failed(const StoreError& error) { return error.code ? error.code : ErrFileSystem; }

}  // namespace

int& serverReadWindow() {
    static int rows = 1000;
    return rows;
}

TableDriver::TableDriver(FileManager& fm) : fm_(fm), def_(fm.def()), sql_(fm.def()) {}
TableDriver::~TableDriver() { close(); }

SqlParam TableDriver::keyParam(const void* record, const KeyDef& key, std::size_t component) const {
    int field = key.components[component];
    SqlParam p = param(record, field);
    if (local_ || !sql_.keyText(key, component) || p.kind != SqlParam::Text) return p;
    p.s.resize(clip(p.s).size());
    if (sql_.sqliteFold(key, component)) p.s = upper(p.s);
    return p;
}

std::vector<int> TableDriver::identityFields(int key) const {
    std::vector<int> out;
    if (local_) return out;
    if (key >= 0 && def_.keys[static_cast<std::size_t>(key)].unique()) {
        // A unique key orders totally, unless it compares texts: rows written past this layer
        // may differ only in case or trailing blanks there.
        const auto& k = def_.keys[static_cast<std::size_t>(key)];
        bool text = false;
        for (std::size_t c = 0; c < k.components.size(); ++c) text |= sql_.keyText(k, c);
        if (!text) return out;
    }
    int id = def_.identifyingKey();
    if (id < 0) return out;
    for (int f : def_.keys[static_cast<std::size_t>(id)].components) {
        bool inKey = false;
        if (key >= 0)
            for (int g : def_.keys[static_cast<std::size_t>(key)].components) inKey |= g == f;
        if (!inKey) out.push_back(f);
    }
    return out;
}

std::shared_ptr<void> TableDriver::copyBuffer() const {
    const auto& d = def_.record;
    void* p = d.create();
    d.copy(p, fm_.buffer());
    auto destroy = d.destroy;
    return std::shared_ptr<void>(p, [destroy](void* x) { destroy(x); });
}

template <class Text>
Statement* TableDriver::slotted(std::size_t slot, Text text, StoreError& error) {
    if (slot < slots_.size() && slots_[slot]) return slots_[slot];
    Statement* stmt = cached(text(), error);
    if (!stmt) return nullptr;
    if (slot >= slots_.size()) slots_.resize(slot + 1, nullptr);
    slots_[slot] = stmt;
    return stmt;
}

std::size_t TableDriver::keySlot(const KeyDef& key, KeySlot which) const {
    auto index = static_cast<std::size_t>(&key - def_.keys.data());
    assert(index < def_.keys.size() && "key of another table");
    return SlotsPerTable + index * SlotsPerKey + which;
}

void TableDriver::rememberRead() {
    // The copy is reused unless someone keeps it (a saved position, the reading cursor's place).
    if (lastRead_ && lastRead_.use_count() == 1)
        def_.record.copy(lastRead_.get(), fm_.buffer());
    else
        lastRead_ = copyBuffer();
}

Statement* TableDriver::cached(const std::string& sql, StoreError& error) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second.get();
    auto stmt = store_->prepare(sql, error);
    if (!stmt) return nullptr;
    auto* raw = stmt.get();
    statements_[sql] = std::move(stmt);
    return raw;
}

bool TableDriver::createTable(StoreError& error) {
    const std::vector<std::string> statements = sql_.createStatements();
    if (statements.empty()) return false;
    TransactionGuard tx;
    if (!tx.add(*store_, error)) return false;
    for (const auto& sql : statements)
        if (!store_->exec(sql, error)) return false;
    if (local_ && !setLocalTableLayout(*store_, def_.label, sql_.layoutText(), error)) return false;
    return tx.commit(error);
}

int TableDriver::open(const std::string& name, const std::string& connect, OpenMode mode, bool create, bool check,
                      StoreError& error) {
    close();
    local_ = def_.store == StoreKind::LocalFile;
    const int rc = local_ ? openLocal(name, create, mode == OpenMode::ReadOnly, error)
                          : openServer(name, connect, create, check, error);
    if (rc) {
        store_.reset();
        return rc;
    }
    openedName_ = name;
    key_ = -1;
    seek_ = Seek::Start;
    invalidate();
    return 0;
}

int TableDriver::openLocal(const std::string& name, bool create, bool readOnly, StoreError& error) {
    store_ = openLocalStore(name, create, readOnly, error, def_.ownerOnly);
    if (!store_) return error.code;
    sql_.reset(true, store_->dialect(), name);
    planColumns_ = nullptr;  // the columns are made anew
    std::string layout;
    bool exists = false;
    if (!localTableLayout(*store_, def_.label, layout, exists, error)) return failed(error);
    if (exists) {
        if (layout == sql_.layoutText()) return keysPresent(error) ? 0 : failed(error);
        error.code = ErrInvalidRecordDeclaration;
        error.text = "the file holds " + def_.label + " with another layout";
        return ErrInvalidRecordDeclaration;
    }
    if (!create || readOnly) {
        error.code = ErrFileNotFound;
        return ErrFileNotFound;
    }
    if (!createTable(error)) {
        // Another thread or process may have created it at the same moment.
        StoreError again;
        bool nowThere = false;
        if (!localTableLayout(*store_, def_.label, layout, nowThere, again) || !nowThere || layout != sql_.layoutText())
            return failed(error);
        error = StoreError();
    }
    return 0;
}

bool TableDriver::keysPresent(StoreError& error) {
    const std::vector<std::string> names = sql_.localKeyNames();
    if (names.empty()) return true;
    auto stmt = store_->prepare("SELECT name FROM sqlite_master WHERE type = 'index'", error);
    if (!stmt || !stmt->execute(error)) return false;
    std::size_t found = 0;
    while (stmt->fetch(error)) {
        std::string name;
        stmt->columnText(0, name);
        found += static_cast<std::size_t>(std::count(names.begin(), names.end(), name));
    }
    stmt->close();
    if (!error.ok()) return false;
    if (found == names.size()) return true;
    error.code = ErrInvalidKeyFile;
    error.text = "a key of " + def_.label + " is missing from the file";
    return false;
}

int TableDriver::rebuildKeys(const std::string& name, StoreError& error) {
    close();
    local_ = true;
    store_ = openLocalStore(name, false, false, error, def_.ownerOnly);
    if (!store_) return failed(error);
    sql_.reset(true, store_->dialect(), name);
    planColumns_ = nullptr;  // the columns are made anew
    std::string layout;
    bool exists = false;
    int rc = 0;
    if (!localTableLayout(*store_, def_.label, layout, exists, error)) {
        rc = failed(error);
    } else if (!exists || layout != sql_.layoutText()) {
        error.code = ErrInvalidRecordDeclaration;
        error.text =
            exists ? "the file holds " + def_.label + " with another layout" : "no " + def_.label + " in the file";
        rc = ErrInvalidRecordDeclaration;
    } else {
        // Dropped and made again in one transaction: a failure leaves the file as it was.
        TransactionGuard tx;
        bool ok = tx.add(*store_, error);
        for (const auto& sql : sql_.dropKeyStatements())
            if (ok) ok = store_->exec(sql, error);
        for (const auto& sql : sql_.keyStatements())
            if (ok) ok = store_->exec(sql, error);
        if (ok) ok = tx.commit(error);
        if (!ok) rc = failed(error);
    }
    store_.reset();
    return rc;
}

int TableDriver::openServer(const std::string& name, const std::string& connect, bool create, bool check,
                            StoreError& error) {
    store_ = openServerStore(connect, error);
    if (!store_) return failed(error);
    std::string tableName = name;
    // The SQLite back end keeps the tables of schema dbo in the file itself.
    if (store_->dialect() == Dialect::SQLite && name.find('.') != std::string::npos &&
        upper(name.substr(0, 4)) == "DBO.")
        tableName = name.substr(4);
    sql_.reset(false, store_->dialect(), tableName);
    planColumns_ = nullptr;  // the columns are made anew
    if (check && !sql_.columns().empty()) return checkServerColumns(create, error);
    return 0;
}

int TableDriver::checkServerColumns(bool create, StoreError& error) {
    auto probe = [&](const std::string& list, StoreError& e) {
        auto stmt = store_->prepare("SELECT " + list + " FROM " + sql_.tableName() + " WHERE 1=0", e);
        return stmt && stmt->execute(e);
    };
    std::string list;
    for (const auto& c : sql_.columns()) list += (list.empty() ? "" : ", ") + c.name;
    StoreError e1;
    if (probe(list, e1)) return 0;
    StoreError e2;
    const bool tableThere = probe("*", e2);
    if (!tableThere && create) {
        StoreError e3;
        if (createTable(e3) && probe(list, e3)) return 0;
        error = e3;
        error.code = ErrFileSystem;
        return ErrFileSystem;
    }
    error = e1;
    error.code = tableThere ? ErrInvalidRecordDeclaration : ErrFileNotFound;
    return error.code;
}

void TableDriver::close() {
    sqlStmt_.reset();
    cursor_ = nullptr;
    cursorActive_ = false;
    statements_.clear();
    slots_.clear();
    store_.reset();
    lastRead_.reset();
    rowKey_ = -1;
}

void TableDriver::endSql() { sqlStmt_.reset(); }

void TableDriver::setOrder(int key) {
    endSql();
    recentWrite_ = false;
    key_ = key;
    seek_ = Seek::Start;
    invalidate();
}

void TableDriver::setFrom(int key) {
    endSql();
    key_ = key;
    seek_ = Seek::From;
    seekRecord_ = copyBuffer();
    invalidate();
}

void TableDriver::resetTo(int key, const Position& pos) {
    endSql();
    key_ = key;
    seek_ = pos.record ? Seek::At : Seek::Start;
    seekRecord_ = pos.record;
    seekRow_ = pos.rowId;
    seekRowKey_ = pos.rowKey;
    invalidate();
}

Position TableDriver::position() const {
    Position p;
    p.record = lastRead_;
    p.rowId = lastRow_;
    p.rowKey = rowKey_;
    return p;
}

void TableDriver::cursorOrder(const KeyDef* key, std::vector<std::string>& exprs, std::vector<int>& fields) const {
    if (key) {
        for (std::size_t c = 0; c < key->components.size(); ++c) {
            exprs.push_back(sql_.keyExpr(*key, c));
            fields.push_back(key->components[c]);
        }
    }
    if (local_) {
        if (!rowLater(key)) {
            exprs.push_back("rowid");
            fields.push_back(-1);
        }
        return;
    }
    for (int f : identityFields(key_)) {
        exprs.push_back(sql_.columnOf(f));
        fields.push_back(f);
    }
    if (!key && exprs.empty())
        for (const auto& c : sql_.columns())
            if (c.field >= 0) {
                exprs.push_back(sql_.quoted(c.name));
                fields.push_back(c.field);
                break;
            }
}

void TableDriver::bindSeek(const KeyDef* key, const std::vector<int>& fields, const std::vector<std::size_t>& params) {
    int index = 1;
    for (std::size_t i : params) {
        if (fields[i] < 0) {
            SqlParam p;
            p.kind = SqlParam::Int;
            p.i = seekRow_;
            cursor_->bind(index++, p);
        } else if (key && i < key->components.size()) {
            cursor_->bind(index++, keyParam(seekRecord_.get(), *key, i));
        } else {
            cursor_->bind(index++, param(seekRecord_.get(), fields[i]));
        }
    }
}

int TableDriver::openCursor(int dir, StoreError& error) {
    const KeyDef* key = key_ >= 0 ? &def_.keys[static_cast<std::size_t>(key_)] : nullptr;
    std::vector<std::string> exprs;
    std::vector<int> fields;  // field per expression; -1 = rowid
    cursorOrder(key, exprs, fields);
    std::string where;
    if (key) where = sql_.optCondition(*key);
    std::vector<std::size_t> params;  // expression index per parameter
    if (seek_ != Seek::Start && seekRecord_) {
        // From: the key's components only, inclusive; After: with the record's identity.
        const std::size_t count = seek_ == Seek::From ? (key ? key->components.size() : 0) : exprs.size();
        if (count > 0) {
            std::vector<std::string> marks;
            for (std::size_t i = 0; i < count; ++i)
                marks.push_back(fields[i] < 0 || !key || i >= key->components.size() ? std::string("?")
                                                                                     : sql_.paramExpr(*key, i));
            const std::string cond = sql_.seekCondition(exprs, marks, count, dir > 0, seek_ != Seek::After, params);
            where += (where.empty() ? "" : " AND ") + cond;
        }
    }
    std::string order;
    for (const auto& e : exprs) order += (order.empty() ? "" : ", ") + e + (dir > 0 ? "" : " DESC");
    std::string sql = "SELECT " + sql_.selectList(!rowLater(key)) + " FROM " + sql_.source(key);
    if (!where.empty()) sql += " WHERE " + where;
    if (!order.empty()) sql += " ORDER BY " + order;
    // A server sends a whole result at once. After this manager wrote, reading goes on in
    // windows of a unique order, so that each fresh start after a write does not fetch the
    // rest of the table again; a plain read takes the whole result in one go.
    windowed_ = !local_ && recentWrite_ && ((key && key->unique()) || !identityFields(key_).empty());
    bool limitClause = store_->dialect() == Dialect::SQLite || store_->dialect() == Dialect::PostgreSQL;
    if (windowed_ && limitClause) sql += " LIMIT " + std::to_string(serverReadWindow());
    if (cursor_) cursor_->close();
    cursor_ = cached(sql, error);
    if (!cursor_) return failed(error);
    if (seekRowKey_ >= 0)
        for (std::size_t i : params)
            if (fields[i] < 0) {
                if (!rowOf(seekRowKey_, seekRecord_.get(), seekRow_, error)) return failed(error);
                seekRowKey_ = -1;
                break;
            }
    bindSeek(key, fields, params);
    cursor_->setMaxRows(windowed_ && !limitClause ? serverReadWindow() : 0);
    if (!cursor_->execute(error)) return failed(error);
    cursorActive_ = true;
    cursorDir_ = dir;
    cursorRows_ = 0;
    cursorLater_ = rowLater(key);
    cursorFills_ = fills(cursor_->columnCount(), local_ && !cursorLater_ ? 1 : 0);
    return 0;
}

int TableDriver::step(int dir, StoreError& error) {
    if (!cursorActive_ || cursorDir_ != dir)
        if (int rc = openCursor(dir, error)) return rc;
    if (!cursor_->fetch(error)) {
        cursorActive_ = false;
        if (!error.ok()) return error.code;
        // The result is used up: a server's driver gives back the memory it held, a local
        // file its read snapshot, now rather than at the next query.
        cursor_->close();
        if (windowed_ && cursorRows_ >= serverReadWindow() && seek_ == Seek::After)
            return step(dir, error);  // the next window, after the record read last
        seek_ = Seek::Start;          // past the end: the other direction starts again from its end
        return ErrRecordNotAvailable;
    }
    ++cursorRows_;
    const bool later = cursorLater_;
    std::int64_t row = 0;
    if (local_ && !later) cursor_->columnInt(0, row);
    fillRow(*cursor_, local_ && !later ? 1 : 0, fm_.buffer(), readPlan_, cursorFills_);
    // The copy of the previous record is reused unless someone kept it (a saved position); when
    // only the reading place holds it, it is written over where it is, without touching counts.
    if (lastRead_ && seekRecord_ == lastRead_ && lastRead_.use_count() == 2) {
        def_.record.copy(lastRead_.get(), fm_.buffer());
    } else {
        if (seekRecord_ == lastRead_) seekRecord_.reset();
        rememberRead();
        seekRecord_ = lastRead_;
    }
    lastRow_ = row;
    rowKey_ = later ? key_ : -1;
    seek_ = Seek::After;
    seekRow_ = row;
    seekRowKey_ = rowKey_;
    return 0;
}

int TableDriver::next(StoreError& error) {
    if (sqlStmt_) {
        if (!sqlStmt_->fetch(error)) return error.ok() ? ErrRecordNotAvailable : error.code;
        readRow(*sqlStmt_, 0, fm_.buffer());
        return 0;
    }
    return step(1, error);
}

int TableDriver::previous(StoreError& error) {
    if (sqlStmt_) return ErrRecordNotAvailable;
    return step(-1, error);
}

int TableDriver::fetch(int keyIndex, StoreError& error) {
    endSql();
    const auto& key = def_.keys[static_cast<std::size_t>(keyIndex)];
    auto* stmt = slotted(
        keySlot(key, SlotFetch), [&] { return sql_.fetchSql(key); }, error);
    if (!stmt) return failed(error);
    int index = 1;
    for (std::size_t c = 0; c < key.components.size(); ++c) stmt->bind(index++, keyParam(fm_.buffer(), key, c));
    if (!stmt->execute(error)) return failed(error);
    if (!stmt->fetch(error)) {
        stmt->close();
        return error.ok() ? ErrRecordNotFound : error.code;
    }
    std::int64_t row = 0;
    if (local_) stmt->columnInt(0, row);
    readRow(*stmt, local_ ? 1 : 0, fm_.buffer());
    stmt->close();
    rememberRead();
    lastRow_ = row;
    rowKey_ = -1;
    return 0;
}

bool TableDriver::rowOf(int keyIndex, const void* record, std::int64_t& row, StoreError& error) {
    const auto& key = def_.keys[static_cast<std::size_t>(keyIndex)];
    auto* stmt = slotted(
        keySlot(key, SlotRowOf), [&] { return sql_.rowOfSql(key); }, error);
    if (!stmt) return false;
    int index = 1;
    for (std::size_t c = 0; c < key.components.size(); ++c) stmt->bind(index++, keyParam(record, key, c));
    if (!stmt->execute(error)) return false;
    row = 0;
    if (stmt->fetch(error)) stmt->columnInt(0, row);
    stmt->close();
    return error.ok();
}

bool TableDriver::resolveLastRow(StoreError& error) {
    if (rowKey_ < 0 || !lastRead_) return true;
    if (!rowOf(rowKey_, lastRead_.get(), lastRow_, error)) return false;
    rowKey_ = -1;
    return true;
}

int TableDriver::refetch(StoreError& error) {
    if (!lastRead_) return ErrRecordNotAvailable;
    if (!local_) {
        int id = def_.identifyingKey();
        if (id < 0) return ErrRecordNotFound;
        auto keep = lastRead_;
        def_.record.copy(fm_.buffer(), keep.get());
        return fetch(id, error);
    }
    if (!resolveLastRow(error)) return failed(error);
    auto* stmt = slotted(
        SlotRefetch, [&] { return sql_.refetchSql(); }, error);
    if (!stmt) return failed(error);
    SqlParam p;
    p.kind = SqlParam::Int;
    p.i = lastRow_;
    stmt->bind(1, p);
    if (!stmt->execute(error)) return failed(error);
    if (!stmt->fetch(error)) {
        stmt->close();
        return error.ok() ? ErrRecordNotFound : error.code;
    }
    readRow(*stmt, 1, fm_.buffer());
    stmt->close();
    return 0;
}

int TableDriver::insert(StoreError& error) {
    endSql();
    auto* stmt = slotted(
        SlotInsert, [&] { return sql_.insertSql(); }, error);
    if (!stmt) return failed(error);
    int index = 1;
    bindColumns(*stmt, index, fm_.buffer());
    invalidate();
    if (!stmt->execute(error)) return error.duplicate ? ErrDuplicateKey : failed(error);
    rememberRead();
    lastRow_ = local_ ? store_->lastInsertRowId() : 0;
    rowKey_ = -1;
    recentWrite_ = true;
    return 0;
}

// The record read last is named by its row (local file), or by its identifying key's values, or
// (tables without a unique key) by all its columns but blobs and memos: their fields.
std::vector<int> TableDriver::lastReadFields() const {
    std::vector<int> fields;
    if (local_) return fields;
    int id = def_.identifyingKey();
    if (id >= 0) return def_.keys[static_cast<std::size_t>(id)].components;
    for (const auto& c : sql_.columns())
        if (c.field >= 0 && def_.record.field(static_cast<std::size_t>(c.field)).type != FieldType::Blob &&
            def_.record.field(static_cast<std::size_t>(c.field)).type != FieldType::Memo)
            fields.push_back(c.field);
    return fields;
}

void TableDriver::bindLastRead(Statement& stmt, int& index, const std::vector<int>& fields) const {
    if (local_) {
        SqlParam p;
        p.kind = SqlParam::Int;
        p.i = lastRow_;
        stmt.bind(index++, p);
    } else {
        for (int f : fields) stmt.bind(index++, param(lastRead_.get(), f));
    }
}

int TableDriver::update(StoreError& error) {
    endSql();
    if (!lastRead_) return ErrRecordNotAvailable;
    if (!resolveLastRow(error)) return failed(error);
    const std::vector<int> idFields = lastReadFields();
    auto* stmt = slotted(
        SlotUpdate, [&] { return sql_.updateSql(idFields); }, error);
    if (!stmt) return failed(error);
    int index = 1;
    bindColumns(*stmt, index, fm_.buffer());
    bindLastRead(*stmt, index, idFields);
    invalidate();
    if (!stmt->execute(error)) return error.duplicate ? ErrDuplicateKey : failed(error);
    if (stmt->rowsAffected() == 0) return ErrRecordNotAvailable;
    lastRead_ = copyBuffer();
    recentWrite_ = true;
    return 0;
}

int TableDriver::remove(StoreError& error) {
    endSql();
    if (!lastRead_) return ErrRecordNotAvailable;
    if (!resolveLastRow(error)) return failed(error);
    const std::vector<int> idFields = lastReadFields();
    auto* stmt = slotted(
        SlotRemove, [&] { return sql_.removeSql(idFields); }, error);
    if (!stmt) return failed(error);
    int index = 1;
    bindLastRead(*stmt, index, idFields);
    invalidate();
    if (!stmt->execute(error)) return failed(error);
    if (stmt->rowsAffected() == 0) return ErrRecordNotAvailable;
    lastRead_.reset();
    rowKey_ = -1;
    recentWrite_ = true;
    return 0;
}

long long TableDriver::count(StoreError& error) {
    auto* stmt = slotted(
        SlotCount, [&] { return sql_.countSql(); }, error);
    if (!stmt || !stmt->execute(error)) return -1;
    std::int64_t n = -1;
    if (stmt->fetch(error)) stmt->columnInt(0, n);
    stmt->close();
    return n;
}

bool TableDriver::maxAuto(const KeyDef& key, std::int64_t& value, StoreError& error) {
    auto n = static_cast<std::size_t>(key.autoComponent);
    auto* stmt = slotted(
        keySlot(key, SlotMaxAuto), [&] { return sql_.maxAutoSql(key); }, error);
    if (!stmt) return false;
    int index = 1;
    for (std::size_t c = 0; c + 1 < n; ++c) stmt->bind(index++, keyParam(fm_.buffer(), key, c));
    if (!stmt->execute(error)) return false;
    value = 0;
    if (stmt->fetch(error)) {
        if (!stmt->columnInt(0, value)) value = 0;
    }
    stmt->close();
    return error.ok();
}

TableDriver::Collision TableDriver::collides(const KeyDef& key, bool excludeSelf, StoreError& error) {
    if (key.opt()) {
        bool allEmpty = true;
        for (int f : key.components) allEmpty &= def_.record.isEmpty(fm_.buffer(), static_cast<std::size_t>(f));
        if (allEmpty) return Collision::None;
    }
    // Other records than the one read last: on the server only a table with an identifying key
    // can tell them apart.
    const bool others = excludeSelf && lastRead_;
    if (others && !resolveLastRow(error)) return Collision::CheckFailed;
    std::vector<int> self;
    if (others && !local_) {
        int id = def_.identifyingKey();
        if (id >= 0) self = def_.keys[static_cast<std::size_t>(id)].components;
    }
    auto* stmt = slotted(
        keySlot(key, others ? SlotCollidesOther : SlotCollides), [&] { return sql_.collidesSql(key, others, self); },
        error);
    if (!stmt) return Collision::CheckFailed;
    int index = 1;
    for (std::size_t c = 0; c < key.components.size(); ++c) stmt->bind(index++, keyParam(fm_.buffer(), key, c));
    if (others) bindLastRead(*stmt, index, self);
    if (!stmt->execute(error)) return Collision::CheckFailed;
    std::int64_t n = 0;
    const bool counted = stmt->fetch(error) && stmt->columnInt(0, n);
    stmt->close();
    if (!counted || !error.ok()) return Collision::CheckFailed;
    return n > 0 ? Collision::Duplicate : Collision::None;
}

int TableDriver::setSql(std::string_view sql, StoreError& error) {
    endSql();
    invalidate();
    std::string text = store_->adaptSql(sql, error);
    if (!error.ok()) return error.code;
    auto stmt = store_->prepare(text, error);
    if (!stmt) return failed(error);
    if (!stmt->execute(error)) return failed(error);
    // Kept even without a result: reading then ends at once instead of reading the table.
    sqlStmt_ = std::move(stmt);
    return 0;
}

}  // namespace rt
