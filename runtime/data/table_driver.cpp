#include "runtime/data/table_driver.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <fmt/format.h>

#include "runtime/data/errors.h"
#include "runtime/text/strings.h"

namespace rt {

namespace {

// "-123.45" as units of `places` decimals, the common form a server gives a DECIMAL column in.
// False for anything else (more decimals than places, exponents, blanks, too many digits), which
// the text parser then reads.
bool plainDecimalUnits(std::string_view t, int places, std::int64_t& units) {
    std::size_t i = 0;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative) ++i;
    std::int64_t v = 0;
    int digits = 0, decimals = -1;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (ch == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (ch < '0' || ch > '9' || ++digits > 18) return false;
        v = v * 10 + (ch - '0');
        if (decimals >= 0 && ++decimals > places) return false;
    }
    if (digits == 0) return false;
    for (int k = decimals < 0 ? 0 : decimals; k < places; ++k, ++digits) {
        if (digits >= 18) return false;
        v *= 10;
    }
    units = negative ? -v : v;
    return true;
}

std::int64_t pow10(int n) {
    std::int64_t v = 1;
    while (n-- > 0) v *= 10;
    return v;
}

std::string dateText(DateNumber d) {
    auto ymd = ymdFromDate(d);
    return fmt::format("{:04}-{:02}-{:02}", ymd.year, ymd.month, ymd.day);
}

std::string timeText(TimeNumber t, bool fraction) {
    auto hms = hmsFromTime(t);
    if (!fraction) return fmt::format("{:02}:{:02}:{:02}", hms.hours, hms.minutes, hms.seconds);
    return fmt::format("{:02}:{:02}:{:02}.{:02}0", hms.hours, hms.minutes, hms.seconds, hms.hundredths);
}

int digitsAt(std::string_view s, std::size_t pos, std::size_t n) {
    if (pos + n > s.size()) return -1;
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

DateNumber parseDate(std::string_view s) {
    s = trimBlanks(s);
    int y = digitsAt(s, 0, 4), m = digitsAt(s, 5, 2), d = digitsAt(s, 8, 2);
    if (y < 0 || m < 0 || d < 0) return 0;
    return dateFromYmd(y, m, d);
}

TimeNumber parseTime(std::string_view s) {
    s = trimBlanks(s);
    int h = digitsAt(s, 0, 2), mi = digitsAt(s, 3, 2), se = digitsAt(s, 6, 2);
    if (h < 0 || mi < 0) return 0;
    if (se < 0) se = 0;
    int hu = 0;
    if (s.size() > 9 && s[8] == '.') {
        int a = digitsAt(s, 9, 1), b = digitsAt(s, 10, 1);
        hu = (a < 0 ? 0 : a) * 10 + (b < 0 ? 0 : b);
    }
    return timeFromHms(h, mi, se, hu);
}

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

SqlParam TableDriver::param(const void* record, int field) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(field));
    SqlParam p;
    const void* m = f.memberIn(record);
    if (f.isInt()) {
        std::int64_t v = f.ops->getInt(m);
        if (!local_ && f.type == FieldType::Date) {
            if (v == 0) return p;
            p.kind = SqlParam::Date;
            p.s = dateText(static_cast<DateNumber>(v));
            return p;
        }
        if (!local_ && f.type == FieldType::Time) {
            if (v == 0) return p;
            p.kind = SqlParam::TimeOfDay;
            p.s = timeText(static_cast<TimeNumber>(v), false);
            return p;
        }
        p.kind = SqlParam::Int;
        p.i = v;
        return p;
    }
    if (f.type == FieldType::Decimal) {
        auto v = f.ops->getDecimal(m);
        if (local_ && f.size <= 18) {
            auto r = v.roundedOrSame(f.places);
            p.kind = SqlParam::Int;
            p.i = static_cast<std::int64_t>(r.units()) * pow10(f.places - r.scale());
            return p;
        }
        p.kind = SqlParam::Decimal;
        p.s = v.toString();
        p.digits = static_cast<int>(f.size);
        p.places = f.places;
        return p;
    }
    std::string_view text = f.ops->getText(m);
    if (f.type == FieldType::Blob) {
        p.kind = SqlParam::Blob;
        p.s.assign(text);
        return p;
    }
    p.kind = SqlParam::Text;
    p.s.assign(f.type == FieldType::String ? clip(text) : text);
    return p;
}

void TableDriver::bindColumns(Statement& stmt, int& index, const void* record) const {
    for (const auto& c : sql_.columns()) {
        if (c.field >= 0) {
            stmt.bind(index++, param(record, c.field));
            continue;
        }
        SqlParam p;
        const auto& df = def_.record.field(static_cast<std::size_t>(c.dateField));
        const auto& tf = def_.record.field(static_cast<std::size_t>(c.timeField));
        auto d = static_cast<DateNumber>(df.ops->getInt(df.memberIn(record)));
        auto t = static_cast<TimeNumber>(tf.ops->getInt(tf.memberIn(record)));
        if (d != 0) {
            p.kind = SqlParam::DateTime;
            p.s = dateText(d) + " " + timeText(t == 0 ? 1 : t, true);
        }
        stmt.bind(index++, p);
    }
}

const std::vector<TableDriver::ReadColumn>& TableDriver::readPlan() {
    const auto& columns = sql_.columns();
    if (planColumns_ == columns.data() && readPlan_.size() == columns.size() && planLocal_ == local_) return readPlan_;
    readPlan_.clear();
    for (const auto& c : columns) {
        ReadColumn r;
        if (c.field < 0) {
            r.kind = ReadColumn::DateTimePair;
            r.field = &def_.record.field(static_cast<std::size_t>(c.dateField));
            r.timeField = &def_.record.field(static_cast<std::size_t>(c.timeField));
            readPlan_.push_back(r);
            continue;
        }
        r.index = static_cast<std::size_t>(c.field);
        r.field = &def_.record.field(r.index);
        const FieldDesc& f = *r.field;
        // Whole numbers come typed from either back end; decimals from the local file as units.
        if (!local_ && (f.type == FieldType::Long || f.type == FieldType::Short || f.type == FieldType::Byte))
            r.kind = ReadColumn::Whole;
        else if (local_ && (f.isInt() || (f.type == FieldType::Decimal && f.size <= 18)))
            r.kind = f.type == FieldType::Decimal ? ReadColumn::LocalUnits : ReadColumn::LocalWhole;
        else if (f.isText())
            r.kind = ReadColumn::Text;
        else
            r.kind = ReadColumn::FromText;
        readPlan_.push_back(r);
    }
    planColumns_ = columns.data();
    planLocal_ = local_;
    return readPlan_;
}

void TableDriver::readRow(Statement& stmt, int first, void* record) {
    fillRow(stmt, first, record, readPlan(), fills(stmt.columnCount(), first));
}

void TableDriver::fillRow(Statement& stmt, int first, void* record, const std::vector<ReadColumn>& plan,
                          std::size_t count) {
    std::string& text = scratch_;
    for (std::size_t k = 0; k < count; ++k) {
        const ReadColumn& r = plan[k];
        const FieldOps* ops = r.field->ops;
        const int col = first + static_cast<int>(k);
        void* m = r.field->memberIn(record);
        std::int64_t v = 0;
        switch (r.kind) {
        case ReadColumn::LocalWhole:
            if (!stmt.columnInt(col, v)) v = 0;
            ops->setInt(m, v);
            break;
        case ReadColumn::LocalUnits:
            if (!stmt.columnInt(col, v)) v = 0;
            ops->setDecimal(m, DecimalValue::fromUnits(v, r.field->places));
            break;
        case ReadColumn::Text: {
            std::string_view view;
            if (stmt.columnView(col, view))
                ops->setText(m, view);
            else
                ops->clear(m);
            break;
        }
        case ReadColumn::Whole:
            if (stmt.columnInt(col, v))
                ops->setInt(m, v);
            else
                ops->clear(m);
            break;
        case ReadColumn::DateTimePair: {
            DateNumber d = 0;
            TimeNumber t = 0;
            if (stmt.columnText(col, text)) {
                d = parseDate(text);
                auto sp = text.find_first_of(" T");
                if (sp != std::string::npos) t = parseTime(std::string_view(text).substr(sp + 1));
            }
            ops->setInt(m, d);
            r.timeField->ops->setInt(r.timeField->memberIn(record), t);
            break;
        }
        case ReadColumn::FromText: {
            if (!stmt.columnText(col, text)) {
                ops->clear(m);
                break;
            }
            const FieldDesc& f = *r.field;
            std::int64_t units = 0;
            if (!local_ && f.type == FieldType::Decimal && f.size <= 18 && plainDecimalUnits(text, f.places, units)) {
                ops->setDecimal(m, DecimalValue::fromUnits(units, f.places));
            } else if (!local_ && f.type == FieldType::Date) {
                ops->setInt(m, parseDate(text));
            } else if (!local_ && f.type == FieldType::Time) {
                auto sp = text.find(' ');
                ops->setInt(m, parseTime(sp != std::string::npos && text.find(':') > sp ? text.substr(sp + 1) : text));
            } else {
                setFieldFromText(def_.record, record, r.index, text);
            }
            break;
        }
        }
    }
    // Fields the row has no column for start empty.
    for (std::size_t k = count; k < plan.size(); ++k)
        if (plan[k].kind != ReadColumn::DateTimePair) plan[k].field->ops->clear(plan[k].field->memberIn(record));
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
