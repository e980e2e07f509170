#include "runtime/data/table_driver.h"

#include <fmt/format.h>

#include <cassert>
#include <cstdio>

#include "runtime/text/strings.h"

namespace rt {

namespace {

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

}  // namespace

int& serverReadWindow() {
    static int rows = 1000;
    return rows;
}

TableDriver::TableDriver(FileManager& fm) : fm_(fm), def_(fm.def()) {}
TableDriver::~TableDriver() { close(); }

void TableDriver::buildColumns() {
    columns_.clear();
    const auto& fields = def_.record.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        if (f.type == FieldType::Group) continue;
        if (!f.stored()) {
            // STRING(8) with a DATE and a TIME laid over it: one server date-time column.
            if (!local_ && i + 3 < fields.size() + 0 && fields[i + 1].type == FieldType::Group &&
                fields[i + 2].type == FieldType::Date && fields[i + 3].type == FieldType::Time) {
                Column c;
                c.name = f.columnName();
                c.dateField = static_cast<int>(i + 2);
                c.timeField = static_cast<int>(i + 3);
                columns_.push_back(c);
                i += 3;
            }
            continue;
        }
        Column c;
        c.name = f.columnName();
        c.field = static_cast<int>(i);
        columns_.push_back(c);
    }
}

std::string TableDriver::q(const std::string& ident) const {
    if (!local_) return ident;
    std::string out = "\"";
    for (char c : ident) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string TableDriver::table() const { return local_ ? q(def_.label) : tableName_; }

std::string TableDriver::selectList() const {
    std::string s = local_ ? "rowid" : "";
    for (const auto& c : columns_) {
        if (!s.empty()) s += ", ";
        s += q(c.name);
    }
    if (s.empty()) s = "1";
    return s;
}

// Text key components on the server compare as the program's texts do: trailing blanks ignored
// (RTRIM), and for nocase keys through the upper-case form. The key values are clipped (and on
// the SQLite back end folded) here; the column side is folded by the server.
bool TableDriver::keyText(const KeyDef& key, std::size_t component) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(key.components[component]));
    return f.type == FieldType::String || f.type == FieldType::CString || f.type == FieldType::Memo;
}

bool TableDriver::sqliteFold(const KeyDef& key, std::size_t component) const {
    return !local_ && store_->dialect() == Dialect::SQLite && key.nocase() && keyText(key, component);
}

namespace {

// The letters that upper() folds beyond ASCII, as (lower, upper) code points: taken from upper()
// itself so that the server's fold can never drift from the program's.
const std::vector<std::pair<std::uint32_t, std::uint32_t>>& foldedLetters() {
    static const std::vector<std::pair<std::uint32_t, std::uint32_t>> letters = [] {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        auto encode = [](std::uint32_t cp) {
            std::string s;
            if (cp < 0x800) {
                s += static_cast<char>(0xC0 | (cp >> 6));
                s += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                s += static_cast<char>(0xE0 | (cp >> 12));
                s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                s += static_cast<char>(0x80 | (cp & 0x3F));
            }
            return s;
        };
        for (std::uint32_t cp = 0x80; cp < 0x2000; ++cp) {
            std::string lowerText = encode(cp);
            std::string upperText = upper(lowerText);
            if (upperText == lowerText) continue;
            // Decode the upper-case letter (two or three bytes).
            auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(upperText[i])); };
            std::uint32_t up = upperText.size() == 2 ? ((b(0) & 0x1F) << 6) | (b(1) & 0x3F)
                                                     : ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
            out.emplace_back(cp, up);
        }
        return out;
    }();
    return letters;
}

// Letters replaced per stage of the SQLite fold: the library's parser takes only a shallow
// nesting of function calls (a little over 25), so the replacements are spread over stages.
constexpr std::size_t kLettersPerStage = 12;

std::string foldAlias(std::size_t component, std::size_t stage) {
    return fmt::format("\"voq$k{}_{}\"", component, stage);
}

}  // namespace

// SQLite's UPPER folds ASCII only, and the driver cannot register our collation on the server
// side. The other letters are replaced in SQL, in stages of nested derived tables (the parser
// limit), which the library flattens into one expression; the last stage is guarded so that
// pure ASCII values (length in characters equal to the length in bytes) skip the replacements:
// the common case costs one UPPER.
std::string TableDriver::source(const KeyDef* key) const {
    if (!key) return table();
    std::vector<std::size_t> folded;
    for (std::size_t c = 0; c < key->components.size(); ++c)
        if (sqliteFold(*key, c)) folded.push_back(c);
    if (folded.empty()) return table();
    const auto& letters = foldedLetters();
    std::size_t stages = std::max<std::size_t>(1, (letters.size() + kLettersPerStage - 1) / kLettersPerStage);
    std::string from = table();
    for (std::size_t stage = 0; stage < stages; ++stage) {
        std::string cols;
        for (std::size_t c : folded) {
            const auto& f = def_.record.field(static_cast<std::size_t>(key->components[c]));
            std::string col = f.columnName();
            std::string plain = "UPPER(RTRIM(" + col + "))";
            std::string e = stage == 0 ? plain : foldAlias(c, stage - 1);
            for (std::size_t i = stage * kLettersPerStage; i < std::min(letters.size(), (stage + 1) * kLettersPerStage); ++i)
                e = fmt::format("REPLACE({}, char({}), char({}))", e, letters[i].first, letters[i].second);
            // Only the last stage tests for ASCII: the earlier ones are then never evaluated.
            if (stage + 1 == stages)
                e = fmt::format("CASE WHEN length({0}) = length(CAST({0} AS BLOB)) THEN {1} ELSE {2} END", col, plain, e);
            cols += ", " + e + " AS " + foldAlias(c, stage);
        }
        from = "(SELECT *" + cols + " FROM " + from + ")";
    }
    return from;
}

std::string TableDriver::keyExpr(const KeyDef& key, std::size_t component) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(key.components[component]));
    std::string col = q(f.columnName());
    if (!f.isText()) return col;
    if (local_) return col + (key.nocase() ? " COLLATE VOQ_NOCASE" : " COLLATE RTRIM");
    if (!keyText(key, component)) return col;
    if (sqliteFold(key, component)) {
        const auto& letters = foldedLetters();
        std::size_t stages = std::max<std::size_t>(1, (letters.size() + kLettersPerStage - 1) / kLettersPerStage);
        return foldAlias(component, stages - 1);
    }
    return key.nocase() ? "UPPER(RTRIM(" + col + "))" : "RTRIM(" + col + ")";
}

std::string TableDriver::paramExpr(const KeyDef& key, std::size_t component) const {
    // The value comes folded on SQLite; UPPER there too in case the library folds more letters
    // than ASCII (then the column side is folded by it as well).
    if (!local_ && key.nocase() && keyText(key, component)) return "UPPER(?)";
    return "?";
}

SqlParam TableDriver::keyParam(const void* record, const KeyDef& key, std::size_t component) const {
    int field = key.components[component];
    SqlParam p = param(record, field);
    if (local_ || !keyText(key, component) || p.kind != SqlParam::Text) return p;
    p.s.resize(clip(p.s).size());
    if (sqliteFold(key, component)) p.s = upper(p.s);
    return p;
}

std::string TableDriver::optCondition(const KeyDef& key) const {
    if (!key.opt()) return {};
    std::string s;
    for (int idx : key.components) {
        const auto& f = def_.record.field(static_cast<std::size_t>(idx));
        if (!s.empty()) s += " OR ";
        s += f.isText() ? "RTRIM(" + q(f.columnName()) + ") <> ''" : q(f.columnName()) + " <> 0";
    }
    return "(" + s + ")";
}

std::vector<int> TableDriver::identityFields(int key) const {
    std::vector<int> out;
    if (local_) return out;
    if (key >= 0 && def_.keys[static_cast<std::size_t>(key)].unique()) {
        // A unique key orders totally, unless it compares texts: rows written past this layer
        // may differ only in case or trailing blanks there.
        const auto& k = def_.keys[static_cast<std::size_t>(key)];
        bool text = false;
        for (std::size_t c = 0; c < k.components.size(); ++c) text |= keyText(k, c);
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
    for (const auto& c : columns_) {
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

void TableDriver::readRow(Statement& stmt, int first, void* record) {
    int n = stmt.columnCount();
    std::string& text = scratch_;
    for (std::size_t k = 0; k < columns_.size() && first + static_cast<int>(k) < n; ++k) {
        const auto& c = columns_[k];
        int col = first + static_cast<int>(k);
        if (c.field < 0) {
            const auto& df = def_.record.field(static_cast<std::size_t>(c.dateField));
            const auto& tf = def_.record.field(static_cast<std::size_t>(c.timeField));
            DateNumber d = 0;
            TimeNumber t = 0;
            if (stmt.columnText(col, text)) {
                d = parseDate(text);
                auto sp = text.find_first_of(" T");
                if (sp != std::string::npos) t = parseTime(std::string_view(text).substr(sp + 1));
            }
            df.ops->setInt(df.memberIn(record), d);
            tf.ops->setInt(tf.memberIn(record), t);
            continue;
        }
        const auto& f = def_.record.field(static_cast<std::size_t>(c.field));
        void* m = f.memberIn(record);
        if (local_ && (f.isInt() || (f.type == FieldType::Decimal && f.size <= 18))) {
            std::int64_t v = 0;
            if (!stmt.columnInt(col, v)) v = 0;
            if (f.type == FieldType::Decimal)
                f.ops->setDecimal(m, DecimalValue::fromUnits(v, f.places));
            else
                f.ops->setInt(m, v);
            continue;
        }

        bool present = stmt.columnText(col, text);
        if (!present) {
            f.ops->clear(m);
            continue;
        }
        if (!local_ && f.type == FieldType::Date) {
            f.ops->setInt(m, parseDate(text));
        } else if (!local_ && f.type == FieldType::Time) {
            auto sp = text.find(' ');
            f.ops->setInt(m, parseTime(sp != std::string::npos && text.find(':') > sp ? text.substr(sp + 1) : text));
        } else {
            setFieldFromText(def_.record, record, static_cast<std::size_t>(c.field), text);
        }
    }
    // Fields the row has no column for start empty.
    for (std::size_t k = static_cast<std::size_t>(std::max(0, n - first)); k < columns_.size(); ++k) {
        const auto& c = columns_[k];
        if (c.field >= 0) {
            const auto& f = def_.record.field(static_cast<std::size_t>(c.field));
            f.ops->clear(f.memberIn(record));
        }
    }
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

std::string TableDriver::sqlType(const FieldDesc& f, bool pair) const {
    Dialect d = store_->dialect();
    if (local_) {
        if (f.isInt() || (f.type == FieldType::Decimal && f.size <= 18)) return "INTEGER";
        if (f.type == FieldType::Blob) return "BLOB";
        return "TEXT";
    }
    if (pair) return d == Dialect::PostgreSQL ? "TIMESTAMP" : "DATETIME";
    switch (f.type) {
    case FieldType::Long:
    case FieldType::Short: return "INT";
    case FieldType::Byte: return d == Dialect::PostgreSQL ? "SMALLINT" : "TINYINT";
    case FieldType::Date: return d == Dialect::SQLite ? "DATE" : d == Dialect::PostgreSQL ? "DATE" : "DATETIME";
    case FieldType::Time: return "TIME";
    case FieldType::Decimal:
        return d == Dialect::SQLite ? "NUMERIC" : fmt::format("DECIMAL({},{})", f.size, f.places);
    case FieldType::Blob: return d == Dialect::PostgreSQL ? "BYTEA" : "TEXT";
    case FieldType::Memo: return "TEXT";
    case FieldType::String:
    case FieldType::CString: {
        std::size_t n = f.type == FieldType::CString ? f.size - 1 : f.size;
        if (f.size > 256) return "TEXT";
        return fmt::format("VARCHAR({})", n);
    }
    case FieldType::Group: break;
    }
    return "TEXT";
}

std::string TableDriver::layoutText() const {
    std::string s;
    for (const auto& f : def_.record.fields()) {
        if (!f.stored()) continue;
        s += fmt::format("{}:{}:{}:{};", f.columnName(), fieldTypeName(f.type), f.size, f.places);
    }
    s += "|";
    for (const auto& k : def_.keys) {
        s += fmt::format("{}:{}:", k.name, k.flags & (Unique | NoCase | Opt));
        for (int c : k.components) s += def_.record.field(static_cast<std::size_t>(c)).columnName() + ",";
        s += ";";
    }
    return s;
}

bool TableDriver::createTable(StoreError& error) {
    std::string cols;
    for (const auto& c : columns_) {
        if (!cols.empty()) cols += ", ";
        bool pair = c.field < 0;
        const auto& f = def_.record.field(static_cast<std::size_t>(pair ? c.dateField : c.field));
        cols += q(c.name) + " " + sqlType(f, pair);
    }
    if (cols.empty()) return false;
    if (!store_->begin(error)) return false;
    bool ok = store_->exec("CREATE TABLE " + table() + " (" + cols + ")", error);
    for (std::size_t i = 0; ok && i < def_.keys.size(); ++i) {
        const auto& k = def_.keys[i];
        std::string name = local_ ? q(def_.label + "$" + k.name)
                                  : (k.serverName.empty() ? tableName_ + "_" + k.name : k.serverName);
        auto dot = name.find('.');
        if (!local_ && dot != std::string::npos) name = name.substr(dot + 1);
        if (!local_) {
            auto dot2 = tableName_.find('.');
            std::string bare = dot2 == std::string::npos ? tableName_ : tableName_.substr(dot2 + 1);
            if (k.serverName.empty()) name = bare + "_" + k.name;
        }
        std::string comps;
        for (std::size_t c = 0; c < k.components.size(); ++c) {
            if (!comps.empty()) comps += ", ";
            comps += local_ ? keyExpr(k, c) : q(def_.record.field(static_cast<std::size_t>(k.components[c])).columnName());
        }
        std::string sql = std::string(k.unique() ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + name + " ON " +
                          table() + " (" + comps + ")";
        if (local_ && k.opt()) sql += " WHERE " + optCondition(k);
        // Server tables keep optional unique keys as plain indexes: many empty entries may exist.
        if (!local_ && k.opt() && k.unique())
            sql = "CREATE INDEX " + name + " ON " + table() + " (" + comps + ")";
        ok = store_->exec(sql, error);
    }
    if (ok && local_) ok = setLocalTableLayout(*store_, def_.label, layoutText(), error);
    if (!ok) {
        store_->rollback();
        return false;
    }
    return store_->commit(error);
}

int TableDriver::open(const std::string& name, const std::string& connect, OpenMode mode, bool create, bool check,
                      StoreError& error) {
    close();
    local_ = def_.store == StoreKind::LocalFile;
    bool readOnly = mode == OpenMode::ReadOnly;
    if (local_) {
        store_ = openLocalStore(name, create, readOnly, error);
        if (!store_) return error.code;
        buildColumns();
        std::string layout;
        bool exists = false;
        if (!localTableLayout(*store_, def_.label, layout, exists, error)) {
            store_.reset();
            return error.code ? error.code : 90;
        }
        if (!exists) {
            if (!create || readOnly) {
                store_.reset();
                error.code = 2;
                return 2;
            }
            if (!createTable(error)) {
                // Another thread or process may have created it at the same moment.
                StoreError again;
                bool nowThere = false;
                if (!localTableLayout(*store_, def_.label, layout, nowThere, again) || !nowThere ||
                    layout != layoutText()) {
                    store_.reset();
                    return error.code ? error.code : 90;
                }
                error = StoreError();
            }
        } else if (layout != layoutText()) {
            store_.reset();
            error.code = 47;
            error.text = "the file holds " + def_.label + " with another layout";
            return 47;
        }
    } else {
        store_ = openServerStore(connect, error);
        if (!store_) return error.code ? error.code : 90;
        tableName_ = name;
        // The SQLite back end keeps the tables of schema dbo in the file itself.
        if (store_->dialect() == Dialect::SQLite && name.find('.') != std::string::npos &&
            upper(name.substr(0, 4)) == "DBO.")
            tableName_ = name.substr(4);
        buildColumns();
        if (check && !columns_.empty()) {
            auto probe = [&](const std::string& list, StoreError& e) {
                auto stmt = store_->prepare("SELECT " + list + " FROM " + tableName_ + " WHERE 1=0", e);
                return stmt && stmt->execute(e);
            };
            std::string list;
            for (const auto& c : columns_) list += (list.empty() ? "" : ", ") + c.name;
            StoreError e1;
            if (!probe(list, e1)) {
                StoreError e2;
                bool tableThere = probe("*", e2);
                if (!tableThere && create) {
                    StoreError e3;
                    if (!createTable(e3) || !probe(list, e3)) {
                        error = e3;
                        error.code = 90;
                        store_.reset();
                        return 90;
                    }
                } else {
                    error = e1;
                    error.code = tableThere ? 47 : 2;
                    store_.reset();
                    return error.code;
                }
            }
        }
    }
    openedName_ = name;
    key_ = -1;
    seek_ = Seek::Start;
    invalidate();
    return 0;
}

void TableDriver::close() {
    sqlStmt_.reset();
    cursor_ = nullptr;
    cursorActive_ = false;
    statements_.clear();
    slots_.clear();
    store_.reset();
    lastRead_.reset();
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
    invalidate();
}

Position TableDriver::position() const {
    Position p;
    p.record = lastRead_;
    p.rowId = lastRow_;
    return p;
}

int TableDriver::step(int dir, StoreError& error) {
    if (!cursorActive_ || cursorDir_ != dir) {
        const KeyDef* key = key_ >= 0 ? &def_.keys[static_cast<std::size_t>(key_)] : nullptr;
        std::vector<std::string> exprs;
        std::vector<int> fields;  // field per expression; -1 = rowid
        if (key) {
            for (std::size_t c = 0; c < key->components.size(); ++c) {
                exprs.push_back(keyExpr(*key, c));
                fields.push_back(key->components[c]);
            }
        }
        if (local_) {
            exprs.push_back("rowid");
            fields.push_back(-1);
        } else {
            for (int f : identityFields(key_)) {
                exprs.push_back(q(def_.record.field(static_cast<std::size_t>(f)).columnName()));
                fields.push_back(f);
            }
            if (!key && exprs.empty())
                for (const auto& c : columns_)
                    if (c.field >= 0) {
                        exprs.push_back(q(c.name));
                        fields.push_back(c.field);
                        break;
                    }
        }
        std::string where;
        if (key) where = optCondition(*key);
        std::vector<std::size_t> seekFields;  // expression index per parameter
        std::size_t seekCount = 0;
        if (seek_ != Seek::Start && seekRecord_) {
            // From: the key's components only, inclusive; After: with the record's identity.
            seekCount = seek_ == Seek::From ? (key ? key->components.size() : 0) : exprs.size();
            if (seekCount > 0) {
                const char* strict = dir > 0 ? ">" : "<";
                std::string last = seek_ == Seek::After ? std::string(strict) : (dir > 0 ? ">=" : "<=");
                auto pexpr = [&](std::size_t i) {
                    if (fields[i] < 0 || !key || i >= key->components.size()) return std::string("?");
                    return paramExpr(*key, i);
                };
                std::string cond;
                if (local_) {
                    std::string l, r;
                    for (std::size_t i = 0; i < seekCount; ++i) {
                        l += (i ? ", " : "") + exprs[i];
                        r += (i ? ", " : "") + pexpr(i);
                        seekFields.push_back(i);
                    }
                    cond = "(" + l + ") " + last + " (" + r + ")";
                } else {
                    // Expanded form: row values are not understood by every server.
                    std::string tail;
                    for (std::size_t n = seekCount; n-- > 0;) {
                        std::string cmp = exprs[n] + " " + (n + 1 == seekCount ? last : std::string(strict)) + " " + pexpr(n);
                        tail = tail.empty() ? cmp : "(" + cmp + " OR (" + exprs[n] + " = " + pexpr(n) + " AND " + tail + "))";
                    }
                    cond = tail;
                    // Parameter order of the expanded form.
                    std::function<void(std::size_t)> collect = [&](std::size_t n) {
                        seekFields.push_back(n);
                        if (n + 1 < seekCount) {
                            seekFields.push_back(n);
                            collect(n + 1);
                        }
                    };
                    collect(0);
                }
                where += (where.empty() ? "" : " AND ") + cond;
            }
        }
        std::string order;
        for (const auto& e : exprs) order += (order.empty() ? "" : ", ") + e + (dir > 0 ? "" : " DESC");
        std::string sql = "SELECT " + selectList() + " FROM " + source(key);
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
        if (!cursor_) return error.code ? error.code : 90;
        int index = 1;
        for (std::size_t i : seekFields) {
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
        cursor_->setMaxRows(windowed_ && !limitClause ? serverReadWindow() : 0);
        if (!cursor_->execute(error)) return error.code ? error.code : 90;
        cursorActive_ = true;
        cursorDir_ = dir;
        cursorRows_ = 0;
    }
    if (!cursor_->fetch(error)) {
        cursorActive_ = false;
        if (!error.ok()) return error.code;
        if (windowed_ && cursorRows_ >= serverReadWindow() && seek_ == Seek::After)
            return step(dir, error);  // the next window, after the record read last
        seek_ = Seek::Start;  // past the end: the other direction starts again from its end
        return 33;
    }
    ++cursorRows_;
    std::int64_t row = 0;
    if (local_) cursor_->columnInt(0, row);
    readRow(*cursor_, local_ ? 1 : 0, fm_.buffer());
    // The copy of the previous record is reused unless someone kept it (a saved position).
    if (seekRecord_ == lastRead_) seekRecord_.reset();
    if (lastRead_ && lastRead_.use_count() == 1)
        def_.record.copy(lastRead_.get(), fm_.buffer());
    else
        lastRead_ = copyBuffer();
    lastRow_ = row;
    seek_ = Seek::After;
    seekRecord_ = lastRead_;
    seekRow_ = row;
    return 0;
}

int TableDriver::next(StoreError& error) {
    if (sqlStmt_) {
        if (!sqlStmt_->fetch(error)) return error.ok() ? 33 : error.code;
        readRow(*sqlStmt_, 0, fm_.buffer());
        return 0;
    }
    return step(1, error);
}

int TableDriver::previous(StoreError& error) {
    if (sqlStmt_) return 33;
    return step(-1, error);
}

int TableDriver::fetch(int keyIndex, StoreError& error) {
    endSql();
    const auto& key = def_.keys[static_cast<std::size_t>(keyIndex)];
    auto* stmt = slotted(keySlot(key, SlotFetch), [&] {
        std::string where;
        for (std::size_t c = 0; c < key.components.size(); ++c)
            where += (c ? " AND " : "") + keyExpr(key, c) + " = " + paramExpr(key, c);
        std::string sql = "SELECT " + selectList() + " FROM " + source(&key) + " WHERE " + where;
        if (local_) sql += " ORDER BY rowid LIMIT 1";
        return sql;
    }, error);
    if (!stmt) return error.code ? error.code : 90;
    int index = 1;
    for (std::size_t c = 0; c < key.components.size(); ++c) stmt->bind(index++, keyParam(fm_.buffer(), key, c));
    if (!stmt->execute(error)) return error.code ? error.code : 90;
    if (!stmt->fetch(error)) {
        stmt->close();
        return error.ok() ? 35 : error.code;
    }
    std::int64_t row = 0;
    if (local_) stmt->columnInt(0, row);
    readRow(*stmt, local_ ? 1 : 0, fm_.buffer());
    stmt->close();
    rememberRead();
    lastRow_ = row;
    return 0;
}

int TableDriver::refetch(StoreError& error) {
    if (!lastRead_) return 33;
    if (!local_) {
        int id = def_.identifyingKey();
        if (id < 0) return 35;
        auto keep = lastRead_;
        def_.record.copy(fm_.buffer(), keep.get());
        return fetch(id, error);
    }
    auto* stmt = slotted(SlotRefetch, [&] { return "SELECT " + selectList() + " FROM " + table() + " WHERE rowid = ?"; },
                         error);
    if (!stmt) return error.code ? error.code : 90;
    SqlParam p;
    p.kind = SqlParam::Int;
    p.i = lastRow_;
    stmt->bind(1, p);
    if (!stmt->execute(error)) return error.code ? error.code : 90;
    if (!stmt->fetch(error)) {
        stmt->close();
        return error.ok() ? 35 : error.code;
    }
    readRow(*stmt, 1, fm_.buffer());
    stmt->close();
    return 0;
}

int TableDriver::insert(StoreError& error) {
    endSql();
    auto* stmt = slotted(SlotInsert, [&] {
        std::string cols, marks;
        for (const auto& c : columns_) {
            cols += (cols.empty() ? "" : ", ") + q(c.name);
            marks += marks.empty() ? "?" : ", ?";
        }
        return "INSERT INTO " + table() + " (" + cols + ") VALUES (" + marks + ")";
    }, error);
    if (!stmt) return error.code ? error.code : 90;
    int index = 1;
    bindColumns(*stmt, index, fm_.buffer());
    invalidate();
    if (!stmt->execute(error)) return error.duplicate ? 40 : (error.code ? error.code : 90);
    rememberRead();
    lastRow_ = local_ ? store_->lastInsertRowId() : 0;
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
    for (const auto& c : columns_)
        if (c.field >= 0 && def_.record.field(static_cast<std::size_t>(c.field)).type != FieldType::Blob &&
            def_.record.field(static_cast<std::size_t>(c.field)).type != FieldType::Memo)
            fields.push_back(c.field);
    return fields;
}

std::string TableDriver::lastReadWhere(const std::vector<int>& fields) const {
    if (local_) return "rowid = ?";
    std::string where;
    for (int f : fields)
        where += (where.empty() ? "" : " AND ") + q(def_.record.field(static_cast<std::size_t>(f)).columnName()) + " = ?";
    return where;
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
    if (!lastRead_) return 33;
    const std::vector<int> idFields = lastReadFields();
    auto* stmt = slotted(SlotUpdate, [&] {
        std::string set;
        for (const auto& c : columns_) set += (set.empty() ? "" : ", ") + q(c.name) + " = ?";
        return "UPDATE " + table() + " SET " + set + " WHERE " + lastReadWhere(idFields);
    }, error);
    if (!stmt) return error.code ? error.code : 90;
    int index = 1;
    bindColumns(*stmt, index, fm_.buffer());
    bindLastRead(*stmt, index, idFields);
    invalidate();
    if (!stmt->execute(error)) return error.duplicate ? 40 : (error.code ? error.code : 90);
    if (stmt->rowsAffected() == 0) return 33;
    lastRead_ = copyBuffer();
    recentWrite_ = true;
    return 0;
}

int TableDriver::remove(StoreError& error) {
    endSql();
    if (!lastRead_) return 33;
    const std::vector<int> idFields = lastReadFields();
    auto* stmt = slotted(SlotRemove, [&] { return "DELETE FROM " + table() + " WHERE " + lastReadWhere(idFields); }, error);
    if (!stmt) return error.code ? error.code : 90;
    int index = 1;
    bindLastRead(*stmt, index, idFields);
    invalidate();
    if (!stmt->execute(error)) return error.code ? error.code : 90;
    if (stmt->rowsAffected() == 0) return 33;
    lastRead_.reset();
    recentWrite_ = true;
    return 0;
}

long long TableDriver::count(StoreError& error) {
    auto* stmt = slotted(SlotCount, [&] { return "SELECT COUNT(*) FROM " + table(); }, error);
    if (!stmt || !stmt->execute(error)) return -1;
    std::int64_t n = -1;
    if (stmt->fetch(error)) stmt->columnInt(0, n);
    stmt->close();
    return n;
}

bool TableDriver::maxAuto(const KeyDef& key, std::int64_t& value, StoreError& error) {
    auto n = static_cast<std::size_t>(key.autoComponent);
    auto* stmt = slotted(keySlot(key, SlotMaxAuto), [&] {
        const auto& af = def_.record.field(static_cast<std::size_t>(key.components[n - 1]));
        std::string sql = "SELECT MAX(" + q(af.columnName()) + ") FROM " + (n > 1 ? source(&key) : table());
        std::string where;
        for (std::size_t c = 0; c + 1 < n; ++c) where += (c ? " AND " : "") + keyExpr(key, c) + " = " + paramExpr(key, c);
        if (!where.empty()) sql += " WHERE " + where;
        return sql;
    }, error);
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

bool TableDriver::collides(const KeyDef& key, bool excludeSelf, StoreError& error) {
    if (key.opt()) {
        bool allEmpty = true;
        for (int f : key.components) allEmpty &= def_.record.isEmpty(fm_.buffer(), static_cast<std::size_t>(f));
        if (allEmpty) return false;
    }
    // Other records than the one read last: on the server only a table with an identifying key
    // can tell them apart.
    const bool others = excludeSelf && lastRead_;
    std::vector<int> self;
    if (others && !local_) {
        int id = def_.identifyingKey();
        if (id >= 0) self = def_.keys[static_cast<std::size_t>(id)].components;
    }
    auto* stmt = slotted(keySlot(key, others ? SlotCollidesOther : SlotCollides), [&] {
        std::string where;
        for (std::size_t c = 0; c < key.components.size(); ++c)
            where += (c ? " AND " : "") + keyExpr(key, c) + " = " + paramExpr(key, c);
        if (others && local_)
            where += " AND rowid <> ?";
        else if (!self.empty())
            where += " AND NOT (" + lastReadWhere(self) + ")";
        return "SELECT COUNT(*) FROM " + source(&key) + " WHERE " + where;
    }, error);
    if (!stmt) return false;
    int index = 1;
    for (std::size_t c = 0; c < key.components.size(); ++c) stmt->bind(index++, keyParam(fm_.buffer(), key, c));
    if (others) bindLastRead(*stmt, index, self);
    if (!stmt->execute(error)) return false;
    std::int64_t n = 0;
    if (stmt->fetch(error)) stmt->columnInt(0, n);
    stmt->close();
    return n > 0;
}

int TableDriver::setSql(std::string_view sql, StoreError& error) {
    endSql();
    invalidate();
    std::string text = store_->adaptSql(sql, error);
    if (!error.ok()) return error.code;
    auto stmt = store_->prepare(text, error);
    if (!stmt) return error.code ? error.code : 90;
    if (!stmt->execute(error)) return error.code ? error.code : 90;
    // Kept even without a result: reading then ends at once instead of reading the table.
    sqlStmt_ = std::move(stmt);
    return 0;
}

}  // namespace rt
