#include "runtime/data/table_sql.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <utility>

#include "runtime/text/strings.h"

namespace rt {

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
            auto b = [&](std::size_t i) {
                return static_cast<std::uint32_t>(static_cast<unsigned char>(upperText[i]));
            };
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

std::size_t foldStages() {
    return std::max<std::size_t>(1, (foldedLetters().size() + kLettersPerStage - 1) / kLettersPerStage);
}

std::string foldAlias(std::size_t component, std::size_t stage) {
    return fmt::format("\"voq$k{}_{}\"", component, stage);
}

}  // namespace

void TableSql::reset(bool local, Dialect dialect, std::string tableName) {
    local_ = local;
    dialect_ = dialect;
    tableName_ = std::move(tableName);
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

std::string TableSql::quoted(const std::string& ident) const {
    if (!local_) return ident;
    std::string out = "\"";
    for (char c : ident) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string TableSql::columnOf(int field) const {
    return quoted(def_.record.field(static_cast<std::size_t>(field)).columnName());
}

std::string TableSql::table() const { return local_ ? quoted(def_.label) : tableName_; }

std::string TableSql::selectList(bool withRow) const {
    std::string s = local_ && withRow ? "rowid" : "";
    for (const auto& c : columns_) {
        if (!s.empty()) s += ", ";
        s += quoted(c.name);
    }
    if (s.empty()) s = "1";
    return s;
}

// Text key components on the server compare as the program's texts do: trailing blanks ignored
// (RTRIM), and for nocase keys through the upper-case form. The key values are clipped (and on
// the SQLite back end folded) by the driver; the column side is folded by the server.
bool TableSql::keyText(const KeyDef& key, std::size_t component) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(key.components[component]));
    return f.type == FieldType::String || f.type == FieldType::CString || f.type == FieldType::Memo;
}

bool TableSql::sqliteFold(const KeyDef& key, std::size_t component) const {
    return !local_ && dialect_ == Dialect::SQLite && key.nocase() && keyText(key, component);
}

// SQLite's UPPER folds ASCII only, and the driver cannot register our collation on the server
// side. The other letters are replaced in SQL, in stages of nested derived tables (the parser
// limit), which the library flattens into one expression; the last stage is guarded so that
// pure ASCII values (length in characters equal to the length in bytes) skip the replacements:
// the common case costs one UPPER.
std::string TableSql::source(const KeyDef* key) const {
    if (!key) return table();
    std::vector<std::size_t> folded;
    for (std::size_t c = 0; c < key->components.size(); ++c)
        if (sqliteFold(*key, c)) folded.push_back(c);
    if (folded.empty()) return table();
    const auto& letters = foldedLetters();
    const std::size_t stages = foldStages();
    std::string from = table();
    for (std::size_t stage = 0; stage < stages; ++stage) {
        std::string cols;
        for (std::size_t c : folded) {
            const auto& f = def_.record.field(static_cast<std::size_t>(key->components[c]));
            std::string col = f.columnName();
            std::string plain = "UPPER(RTRIM(" + col + "))";
            std::string e = stage == 0 ? plain : foldAlias(c, stage - 1);
            for (std::size_t i = stage * kLettersPerStage; i < std::min(letters.size(), (stage + 1) * kLettersPerStage);
                 ++i)
                e = fmt::format("REPLACE({}, char({}), char({}))", e, letters[i].first, letters[i].second);
            // Only the last stage tests for ASCII: the earlier ones are then never evaluated.
            if (stage + 1 == stages)
                e = fmt::format("CASE WHEN length({0}) = length(CAST({0} AS BLOB)) THEN {1} ELSE {2} END", col, plain,
                                e);
            cols += ", " + e + " AS " + foldAlias(c, stage);
        }
        from = "(SELECT *" + cols + " FROM " + from + ")";
    }
    return from;
}

std::string TableSql::keyExpr(const KeyDef& key, std::size_t component) const {
    const auto& f = def_.record.field(static_cast<std::size_t>(key.components[component]));
    std::string col = quoted(f.columnName());
    if (!f.isText()) return col;
    if (local_) return col + (key.nocase() ? " COLLATE VOQ_NOCASE" : " COLLATE RTRIM");
    if (!keyText(key, component)) return col;
    if (sqliteFold(key, component)) return foldAlias(component, foldStages() - 1);
    return key.nocase() ? "UPPER(RTRIM(" + col + "))" : "RTRIM(" + col + ")";
}

std::string TableSql::paramExpr(const KeyDef& key, std::size_t component) const {
    // The value comes folded on SQLite; UPPER there too in case the library folds more letters
    // than ASCII (then the column side is folded by it as well).
    if (!local_ && key.nocase() && keyText(key, component)) return "UPPER(?)";
    return "?";
}

std::string TableSql::keyEquals(const KeyDef& key, std::size_t count) const {
    std::string where;
    for (std::size_t c = 0; c < count; ++c) where += (c ? " AND " : "") + keyExpr(key, c) + " = " + paramExpr(key, c);
    return where;
}

std::string TableSql::optCondition(const KeyDef& key) const {
    if (!key.opt()) return {};
    std::string s;
    for (int idx : key.components) {
        const auto& f = def_.record.field(static_cast<std::size_t>(idx));
        if (!s.empty()) s += " OR ";
        s += f.isText() ? "RTRIM(" + quoted(f.columnName()) + ") <> ''" : quoted(f.columnName()) + " <> 0";
    }
    return "(" + s + ")";
}

std::string TableSql::seekCondition(const std::vector<std::string>& exprs, const std::vector<std::string>& marks,
                                    std::size_t count, bool forward, bool inclusive,
                                    std::vector<std::size_t>& params) const {
    const std::string strict = forward ? ">" : "<";
    const std::string last = inclusive ? (forward ? ">=" : "<=") : strict;
    if (local_) {
        std::string l, r;
        for (std::size_t i = 0; i < count; ++i) {
            l += (i ? ", " : "") + exprs[i];
            r += (i ? ", " : "") + marks[i];
            params.push_back(i);
        }
        return "(" + l + ") " + last + " (" + r + ")";
    }
    // Expanded form: row values are not understood by every server.
    std::string tail;
    for (std::size_t n = count; n-- > 0;) {
        std::string cmp = exprs[n] + " " + (n + 1 == count ? last : strict) + " " + marks[n];
        tail = tail.empty() ? cmp : "(" + cmp + " OR (" + exprs[n] + " = " + marks[n] + " AND " + tail + "))";
    }
    // Parameter order of the expanded form: each component twice but the last.
    for (std::size_t n = 0; n < count; ++n) {
        params.push_back(n);
        if (n + 1 < count) params.push_back(n);
    }
    return tail;
}

std::string TableSql::lastReadWhere(const std::vector<int>& fields) const {
    if (local_) return "rowid = ?";
    std::string where;
    for (int f : fields) where += (where.empty() ? "" : " AND ") + columnOf(f) + " = ?";
    return where;
}

std::string TableSql::insertSql() const {
    std::string cols, marks;
    for (const auto& c : columns_) {
        cols += (cols.empty() ? "" : ", ") + quoted(c.name);
        marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + table() + " (" + cols + ") VALUES (" + marks + ")";
}

std::string TableSql::updateSql(const std::vector<int>& lastReadFields) const {
    std::string set;
    for (const auto& c : columns_) set += (set.empty() ? "" : ", ") + quoted(c.name) + " = ?";
    return "UPDATE " + table() + " SET " + set + " WHERE " + lastReadWhere(lastReadFields);
}

std::string TableSql::removeSql(const std::vector<int>& lastReadFields) const {
    return "DELETE FROM " + table() + " WHERE " + lastReadWhere(lastReadFields);
}

std::string TableSql::countSql() const { return "SELECT COUNT(*) FROM " + table(); }

std::string TableSql::fetchSql(const KeyDef& key) const {
    std::string sql =
        "SELECT " + selectList() + " FROM " + source(&key) + " WHERE " + keyEquals(key, key.components.size());
    if (local_) sql += " ORDER BY rowid LIMIT 1";
    return sql;
}

std::string TableSql::rowOfSql(const KeyDef& key) const {
    return "SELECT rowid FROM " + source(&key) + " WHERE " + keyEquals(key, key.components.size());
}

std::string TableSql::refetchSql() const { return "SELECT " + selectList() + " FROM " + table() + " WHERE rowid = ?"; }

std::string TableSql::maxAutoSql(const KeyDef& key) const {
    const auto n = static_cast<std::size_t>(key.autoComponent);
    std::string sql = "SELECT MAX(" + columnOf(key.components[n - 1]) + ") FROM " + (n > 1 ? source(&key) : table());
    std::string where = keyEquals(key, n - 1);
    if (!where.empty()) sql += " WHERE " + where;
    return sql;
}

std::string TableSql::collidesSql(const KeyDef& key, bool others, const std::vector<int>& self) const {
    std::string where = keyEquals(key, key.components.size());
    if (others && local_)
        where += " AND rowid <> ?";
    else if (!self.empty())
        where += " AND NOT (" + lastReadWhere(self) + ")";
    return "SELECT COUNT(*) FROM " + source(&key) + " WHERE " + where;
}

std::string TableSql::sqlType(const FieldDesc& f, bool pair) const {
    const Dialect d = dialect_;
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
    case FieldType::Decimal: return d == Dialect::SQLite ? "NUMERIC" : fmt::format("DECIMAL({},{})", f.size, f.places);
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

std::string TableSql::indexName(const KeyDef& k) const {
    if (local_) return quoted(def_.label + "$" + k.name);
    if (!k.serverName.empty()) {
        // A server name may carry its schema; the index takes the bare name.
        auto dot = k.serverName.find('.');
        return dot == std::string::npos ? k.serverName : k.serverName.substr(dot + 1);
    }
    auto dot = tableName_.find('.');
    std::string bare = dot == std::string::npos ? tableName_ : tableName_.substr(dot + 1);
    return bare + "_" + k.name;
}

std::vector<std::string> TableSql::createStatements() const {
    std::string cols;
    for (const auto& c : columns_) {
        if (!cols.empty()) cols += ", ";
        bool pair = c.field < 0;
        const auto& f = def_.record.field(static_cast<std::size_t>(pair ? c.dateField : c.field));
        cols += quoted(c.name) + " " + sqlType(f, pair);
    }
    if (cols.empty()) return {};
    std::vector<std::string> statements{"CREATE TABLE " + table() + " (" + cols + ")"};
    for (auto& sql : keyStatements()) statements.push_back(std::move(sql));
    return statements;
}

std::vector<std::string> TableSql::keyStatements() const {
    std::vector<std::string> statements;
    for (const auto& k : def_.keys) {
        const std::string name = indexName(k);
        std::string comps;
        for (std::size_t c = 0; c < k.components.size(); ++c) {
            if (!comps.empty()) comps += ", ";
            comps += local_ ? keyExpr(k, c) : columnOf(k.components[c]);
        }
        std::string sql = std::string(k.unique() ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + name + " ON " + table() +
                          " (" + comps + ")";
        if (local_ && k.opt()) sql += " WHERE " + optCondition(k);
        // Server tables keep optional unique keys as plain indexes: many empty entries may exist.
        if (!local_ && k.opt() && k.unique()) sql = "CREATE INDEX " + name + " ON " + table() + " (" + comps + ")";
        statements.push_back(std::move(sql));
    }
    return statements;
}

std::vector<std::string> TableSql::dropKeyStatements() const {
    std::vector<std::string> statements;
    for (const auto& k : def_.keys) statements.push_back("DROP INDEX IF EXISTS " + indexName(k));
    return statements;
}

std::vector<std::string> TableSql::localKeyNames() const {
    std::vector<std::string> names;
    for (const auto& k : def_.keys) names.push_back(def_.label + "$" + k.name);
    return names;
}

std::string TableSql::layoutText() const {
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

}  // namespace rt
