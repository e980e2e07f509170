#include "cubes/odbc/odbc_class.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <map>
#include <utility>

#include "cubes/odbc/odbc_list_feed.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/shared.h"

namespace {

bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Text cells: 255 characters at most, and room for them in UTF-8.
constexpr std::size_t kMaxTextChars = 255;
constexpr int kTextBuffer = 1024;

// ---- module-wide state --------------------------------------------------------------------

rt::Shared<OdbcHooks> hooks;

// Only the first connection of the process becomes the default.
struct DefaultConnection {
    OdbcConnection* connection = nullptr;
    bool taken = false;
};
rt::Shared<DefaultConnection> defaultConn;

std::atomic<int> nextDataSetId{1};
std::atomic<std::uint64_t> nextStamp{1};

void freeHandle(SQLSMALLINT type, SQLHANDLE& h) {
    if (h == SQL_NULL_HANDLE) return;
    odbcForgetHandle(type, h);
    SQLFreeHandle(type, h);
    h = SQL_NULL_HANDLE;
}

// Cuts UTF-8 text received into a buffer to whole characters, at most kMaxTextChars.
std::string_view wholeChars(const char* data, std::size_t bytes) {
    std::string_view text(data, bytes);
    // A cut inside a multi-byte character leaves a lead byte without all its followers.
    std::size_t end = text.size();
    std::size_t i = end;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80 && end - i < 3) --i;
    if (i > 0) {
        unsigned char lead = static_cast<unsigned char>(text[i - 1]);
        std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (lead >= 0xC0 && end - (i - 1) < need) end = i - 1;
    }
    text = text.substr(0, end);
    // Never more characters than bytes: only a long text can need the cut.
    return text.size() > kMaxTextChars ? rt::cutChars(text, kMaxTextChars) : text;
}

template <typename T>
void appendNumber(std::string& out, T v) {
    const fmt::format_int digits(v);
    out.append(digits.data(), digits.size());
}

void appendTwoDigits(std::string& out, unsigned v) {
    out.push_back(static_cast<char>('0' + (v / 10) % 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

void appendDate(std::string& out, unsigned day, unsigned month, int year) {
    // Written whole, then appended at once.
    char text[24];
    text[0] = static_cast<char>('0' + (day / 10) % 10);
    text[1] = static_cast<char>('0' + day % 10);
    text[2] = '/';
    text[3] = static_cast<char>('0' + (month / 10) % 10);
    text[4] = static_cast<char>('0' + month % 10);
    text[5] = '/';
    const fmt::format_int digits(year);
    std::memcpy(text + 6, digits.data(), digits.size());
    out.append(text, 6 + digits.size());
}

}  // namespace

// ---- hooks ----------------------------------------------------------------------------------

OdbcHooks setOdbcHooks(OdbcHooks h) {
    return hooks.update([&](OdbcHooks& current) {
        std::swap(current, h);
        return h;
    });
}

OdbcHooks odbcHooks() { return hooks.get(); }

// ---- OdbcConnection -------------------------------------------------------------------------

OdbcConnection::OdbcConnection() {
    defaultConn.update([this](DefaultConnection& d) {
        if (!d.taken) {
            d.taken = true;
            d.connection = this;
        }
    });
}

OdbcConnection::~OdbcConnection() {
    Disconnect();
    defaultConn.update([this](DefaultConnection& d) {
        if (d.connection == this) d.connection = nullptr;
    });
}

OdbcConnection* OdbcConnection::defaultConnection() { return defaultConn.get().connection; }

void OdbcConnection::addUser(OdbcDataSet* ds) {
    std::lock_guard lock(usersMutex_);
    users_.insert(ds);
}

void OdbcConnection::removeUser(OdbcDataSet* ds) {
    std::lock_guard lock(usersMutex_);
    users_.erase(ds);
}

void OdbcConnection::Disconnect() {
    std::set<OdbcDataSet*> users;
    {
        std::lock_guard lock(usersMutex_);
        users.swap(users_);
    }
    // Statements go before their connection; a data set pointing here falls back to the default.
    for (OdbcDataSet* ds : users) {
        ds->releaseStatement();
        if (ds->CONNECTION == this) ds->CONNECTION = nullptr;
    }
    if (HDBC != SQL_NULL_HDBC) {
        SQLDisconnect(HDBC);
        freeHandle(SQL_HANDLE_DBC, HDBC);
    }
    freeHandle(SQL_HANDLE_ENV, HENV);
}

int OdbcConnection::Connect(std::string_view connectString) {
    Disconnect();
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &HENV))) return -1;
    if (!succeeded(
            SQLSetEnvAttr(HENV, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER)))
        return -1;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, HENV, &HDBC))) return -1;
    SQLSetConnectAttr(HDBC, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(5), 0);
    CONNREQUEST = connectString;
    std::string request = CONNREQUEST.str();
    SQLCHAR out[1024] = {};
    SQLRETURN rc =
        SQLDriverConnect(HDBC, nullptr, reinterpret_cast<SQLCHAR*>(request.data()),
                         static_cast<SQLSMALLINT>(request.size()), out, sizeof out, nullptr, SQL_DRIVER_NOPROMPT);
    if (!succeeded(rc)) return -1;
    CONNECTIONSTRING = reinterpret_cast<const char*>(out);
    return 0;
}

// ---- OdbcResult -----------------------------------------------------------------------------

std::size_t OdbcResult::index(int row, int column) const {
    return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(colCount_) +
           static_cast<std::size_t>(column - 1);
}

std::uint64_t OdbcResult::cellBegin(std::size_t i) const {
    const std::size_t perBlock = kBlockRows * static_cast<std::size_t>(colCount_);
    const std::uint64_t base = blockStart_[i / perBlock];
    // The cells of a block lie one after another: each begins where the one before it ends.
    return i % perBlock == 0 ? base : base + ends_[i - 1];
}

std::uint64_t OdbcResult::cellEnd(std::size_t i) const {
    return blockStart_[i / (kBlockRows * static_cast<std::size_t>(colCount_))] + ends_[i];
}

bool OdbcResult::hasCell(int row, int column) const {
    if (row < 1 || row > rowCount_ || column < 1 || column > colCount_) return false;
    std::size_t i = index(row, column);
    return cellEnd(i) != cellBegin(i);
}

std::string_view OdbcResult::cell(int row, int column) const {
    if (!hasCell(row, column)) return {};
    std::size_t i = index(row, column);
    const std::uint64_t begin = cellBegin(i);
    return std::string_view(text_).substr(begin, cellEnd(i) - begin);
}

std::int32_t OdbcResult::length(int row, int column) const {
    if (!hasCell(row, column)) return 0;
    const std::size_t i = index(row, column);
    auto odd = std::lower_bound(oddLengths_.begin(), oddLengths_.end(), std::uint64_t(i),
                                [](const auto& entry, std::uint64_t cell) { return entry.first < cell; });
    if (odd != oddLengths_.end() && odd->first == i) return odd->second;
    const std::int32_t fixed = fixedLengths_[static_cast<std::size_t>(column - 1)];
    return fixed != 0 ? fixed : static_cast<std::int32_t>(cellEnd(i) - cellBegin(i));
}

std::size_t OdbcResult::cellCount() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < ends_.size(); ++i)
        if (cellEnd(i) != cellBegin(i)) ++n;
    return n;
}

std::size_t OdbcResult::memoryBytes() const {
    return text_.capacity() + ends_.capacity() * sizeof(std::uint32_t) +
           blockStart_.capacity() * sizeof(std::uint64_t) + oddLengths_.capacity() * sizeof(oddLengths_[0]);
}

// ---- OdbcDataSet ----------------------------------------------------------------------------

OdbcDataSet::OdbcDataSet() : id_(nextDataSetId++) {
    DATASETNAME = fmt::format("Data set {}", id_);
    auto empty = std::make_shared<OdbcResult>();
    empty->stamp_ = 0;
    result_ = std::move(empty);
}

OdbcDataSet::~OdbcDataSet() {
    *self_ = nullptr;
    // A list that still reads from here finds no rows rather than a dead data set.
    if (feed_ && listWindow_) {
        feed_->orphan();
        static_cast<void>(feed_.release());
    }
    releaseStatement();
    FILTERVARS.clear();
    VARS.clear();
    DEPENDENT.clear();
    PARENTDS = nullptr;
}

void OdbcDataSet::releaseStatement() {
    if (HSTMT != SQL_NULL_HSTMT) freeHandle(SQL_HANDLE_STMT, HSTMT);
    if (statementConnection_) {
        statementConnection_->removeUser(this);
        statementConnection_ = nullptr;
    }
}

OdbcConnection* OdbcDataSet::connection() {
    if (!CONNECTION) CONNECTION = OdbcConnection::defaultConnection();
    return CONNECTION;
}

void OdbcDataSet::Init(OdbcConnection* conn, int list, std::string_view name) {
    CONNECTION = conn;
    if (list != 0) AttachList(list);
    if (name.empty())
        DATASETNAME = fmt::format("Data Set: {}", id_);
    else
        DATASETNAME = name;
}

void OdbcDataSet::SetName(std::string_view name) { DATASETNAME = name; }

std::shared_ptr<const OdbcResult> OdbcDataSet::snapshot() const {
    std::lock_guard lock(resultMutex_);
    return result_;
}

void OdbcDataSet::publish(std::shared_ptr<OdbcResult> result) {
    result->stamp_ = nextStamp++;
    std::shared_ptr<const OdbcResult> done = std::move(result);
    {
        std::lock_guard lock(resultMutex_);
        result_.swap(done);
    }
    // Once no list or caller holds the replaced result, its buffers serve the next load. Every
    // result is made mutable and only published as const.
    if (done.use_count() != 1) return;
    auto& old = const_cast<OdbcResult&>(*done);
    std::lock_guard lock(spareMutex_);
    if (old.text_.capacity() > spare_.text_.capacity()) spare_.text_ = std::move(old.text_);
    if (old.ends_.capacity() > spare_.ends_.capacity()) spare_.ends_ = std::move(old.ends_);
    if (old.blockStart_.capacity() > spare_.blockStart_.capacity()) spare_.blockStart_ = std::move(old.blockStart_);
}

std::vector<OdbcCellRead> OdbcDataSet::GETCELLHISTORY() const {
    std::lock_guard lock(historyMutex_);
    return history_;
}

std::string OdbcDataSet::appliedListFormat() const { return appliedFormat_; }

int OdbcDataSet::Exec(std::string_view statement) {
    OdbcConnection* conn = connection();
    if (!conn || conn->HDBC == SQL_NULL_HDBC) return -2;
    // The previous statement goes first; its handle must not stay allocated for the run.
    releaseStatement();
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, conn->HDBC, &HSTMT);
    if (!succeeded(rc)) {
        HSTMT = SQL_NULL_HSTMT;
        return rc;
    }
    statementConnection_ = conn;
    conn->addUser(this);
    QUERY = statement;
    fullQuery_ = statement;
    std::string text(rt::clip(statement));
    rc = SQLExecDirect(HSTMT, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    // An UPDATE or DELETE that touches no row answers SQL_NO_DATA: that is no failure.
    if (!succeeded(rc) && rc != SQL_NO_DATA) ODBCGetDiag(SQL_HANDLE_STMT, HSTMT, conn, "Exec( " + text + " )");
    return 0;
}

// QUERY keeps only the start of a long statement; as long as nobody changed it, the whole
// statement runs.
std::string OdbcDataSet::fullQuery() const {
    if (fullQuery_.size() > QUERY.str().size() && rt::cutChars(fullQuery_, QUERY.capacity()) == QUERY.str())
        return fullQuery_;
    return QUERY.str();
}

void OdbcDataSet::Open(int list) {
    if (QUERY.empty()) return;
    int rc = Exec(fullQuery());
    if (rc != 0 && rc != 1) return;
    LoadResult();
    int target = list != 0 ? list : LISTBOX;
    if (target != 0) BuildListFormat(target);
    CURRENTROW = 0;
}

int OdbcDataSet::SetQuery(std::string_view statement, int list) {
    if (statement.empty()) return -1;
    QUERY = statement;
    fullQuery_ = statement;
    Open(0);
    if (list != 0) BuildListFormat(list);
    return 0;
}

void OdbcDataSet::LoadResult() {
    auto result = std::make_shared<OdbcResult>();
    SQLSMALLINT n = 0;
    if (HSTMT == SQL_NULL_HSTMT || !succeeded(SQLNumResultCols(HSTMT, &n))) n = 0;
    if (n <= 0) {
        // A statement without result columns: no descriptions, no cells.
        publish(std::move(result));
        Clear();
        return;
    }
    OdbcConnection* conn = connection();

    struct Target {
        int number;
        SQLSMALLINT cType;
        SQLPOINTER buffer = nullptr;  // where SQLGetData puts the value, and its size
        SQLLEN size = 0;
    };
    std::vector<Target> targets;
    for (SQLSMALLINT c = 1; c <= n; ++c) {
        SQLCHAR name[64] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, decimals = 0, nullable = 0;
        SQLULEN size = 0;
        if (!succeeded(SQLDescribeCol(HSTMT, c, name, sizeof name, &nameLen, &sqlType, &size, &decimals, &nullable))) {
            // Undescribed, the column still holds cells: kept as a nameless text column, so that
            // the descriptions stay one per column.
            name[0] = 0;
            sqlType = SQL_CHAR;
            size = 0;
            decimals = 0;
            nullable = SQL_NULLABLE_UNKNOWN;
        }
        OdbcColumn col;
        col.NAME = std::string(rt::clip(reinterpret_cast<const char*>(name)));
        col.KEY = rt::upper(col.NAME);
        col.SIZE = static_cast<std::int64_t>(size);
        col.DECIMALS = decimals;
        col.NULLABLE = nullable;
        col.COLUMN = c;
        SQLSMALLINT cType = SQL_C_CHAR;
        switch (sqlType) {
        case SQL_GUID:
            col.TYPE = SQL_GUID;
            cType = SQL_C_GUID;
            col.TARGETSIZE = 16;
            break;
        case SQL_INTEGER:
            col.TYPE = SQL_INTEGER;
            cType = SQL_C_SLONG;
            col.TARGETSIZE = 4;
            break;
        case SQL_SMALLINT:
            col.TYPE = SQL_SMALLINT;
            cType = SQL_C_SSHORT;
            col.TARGETSIZE = 2;
            break;
        // 64 bits, so values beyond 2^31 are read whole.
        case SQL_BIGINT:
            col.TYPE = SQL_BIGINT;
            cType = SQL_C_SBIGINT;
            col.TARGETSIZE = 8;
            break;
        case SQL_TYPE_DATE:
            col.TYPE = SQL_TYPE_DATE;
            cType = SQL_C_TYPE_DATE;
            col.TARGETSIZE = 6;
            break;
        case SQL_TYPE_TIMESTAMP:
            col.TYPE = SQL_TYPE_TIMESTAMP;
            cType = SQL_C_TYPE_TIMESTAMP;
            col.TARGETSIZE = 16;
            break;
        case SQL_TYPE_TIME:
            col.TYPE = SQL_TYPE_TIME;
            cType = SQL_C_TYPE_TIME;
            col.TARGETSIZE = 6;
            break;
        // Everything else, driver-specific codes included, is read as text.
        default:
            col.TYPE = SQL_CHAR;
            cType = SQL_C_CHAR;
            col.TARGETSIZE = kTextBuffer;
            break;
        }
        result->columns_.push_back(std::move(col));
        targets.push_back({c, cType});
    }
    result->colCount_ = n;

    const std::size_t cols = static_cast<std::size_t>(n);
    std::string& text = result->text_;
    std::vector<std::uint32_t>& ends = result->ends_;
    std::vector<std::uint64_t>& blockStart = result->blockStart_;
    {
        std::lock_guard lock(spareMutex_);
        text = std::move(spare_.text_);
        ends = std::move(spare_.ends_);
        blockStart = std::move(spare_.blockStart_);
        spare_.text_ = std::string();
    }
    text.clear();
    ends.clear();
    blockStart.clear();
    // Drivers that know the row count up front (psqlODBC, SQLite ODBC hold the whole result)
    // let the cell index be sized once; the text is sized from its first rows.
    SQLLEN expected = -1;
    if (!succeeded(SQLRowCount(HSTMT, &expected))) expected = -1;
    if (expected > 0) {
        ends.reserve(static_cast<std::size_t>(expected) * cols);
        blockStart.reserve(static_cast<std::size_t>(expected) / OdbcResult::kBlockRows + 1);
    }
    constexpr int kSampleRows = 1024;

    char buffer[kTextBuffer];
    SQL_DATE_STRUCT date{};
    SQL_TIME_STRUCT time{};
    SQL_TIMESTAMP_STRUCT stamp{};
    SQLINTEGER i32 = 0;
    SQLSMALLINT i16 = 0;
    SQLBIGINT i64 = 0;
    SQLGUID guid{};
    result->fixedLengths_.assign(cols, 0);
    for (Target& t : targets) {
        auto into = [&t](auto& value) {
            t.buffer = &value;
            t.size = sizeof value;
        };
        switch (t.cType) {
        case SQL_C_GUID: into(guid); break;
        case SQL_C_SLONG: into(i32); break;
        case SQL_C_SSHORT: into(i16); break;
        case SQL_C_SBIGINT: into(i64); break;
        case SQL_C_TYPE_DATE: into(date); break;
        case SQL_C_TYPE_TIME: into(time); break;
        case SQL_C_TYPE_TIMESTAMP: into(stamp); break;
        default: into(buffer); break;
        }
        // A value of a fixed-size type is reported with the size of its structure.
        if (t.cType != SQL_C_CHAR)
            result->fixedLengths_[static_cast<std::size_t>(t.number - 1)] = static_cast<std::int32_t>(t.size);
    }
    std::uint64_t block = 0;  // where the current block of rows begins in the text
    std::size_t cell = 0;     // index of the cell being read
    int rows = 0;
    while (succeeded(SQLFetch(HSTMT))) {
        if (rows == kSampleRows && expected > rows) {
            const double perRow = static_cast<double>(text.size()) / rows;
            const auto estimate = static_cast<std::size_t>(perRow * static_cast<double>(expected) * 1.02) + 64;
            if (estimate > text.capacity()) text.reserve(estimate);
        }
        if (static_cast<std::size_t>(rows) % OdbcResult::kBlockRows == 0) {
            block = text.size();
            blockStart.push_back(block);
        }
        ++rows;
        // Columns are read in order, so the cells of a row lie in column order in the text; a
        // cell without a value ends where the one before it ends.
        for (const Target& t : targets) {
            SQLLEN ind = 0;
            SQLRETURN rc = SQLGetData(HSTMT, static_cast<SQLUSMALLINT>(t.number), t.cType, t.buffer, t.size, &ind);
            const std::size_t before = text.size();
            if (!succeeded(rc)) {
                ODBCGetDiag(SQL_HANDLE_STMT, HSTMT, conn, "LoadResult( " + QUERY.str() + " )");
            } else if (ind >= 1 || (ind == SQL_NO_TOTAL && t.cType == SQL_C_CHAR)) {
                switch (t.cType) {
                case SQL_C_CHAR: {
                    std::size_t got = ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buffer)
                                          ? std::strlen(buffer)
                                          : static_cast<std::size_t>(ind);
                    text += wholeChars(buffer, got);
                    break;
                }
                case SQL_C_SLONG: appendNumber(text, i32); break;
                case SQL_C_SSHORT: appendNumber(text, i16); break;
                case SQL_C_SBIGINT: appendNumber(text, static_cast<long long>(i64)); break;
                case SQL_C_TYPE_DATE: appendDate(text, date.day, date.month, date.year); break;
                case SQL_C_TYPE_TIMESTAMP:
                    appendDate(text, stamp.day, stamp.month, stamp.year);
                    text.push_back(' ');
                    appendTwoDigits(text, stamp.hour);
                    text.push_back(':');
                    appendTwoDigits(text, stamp.minute);
                    text.push_back(':');
                    appendTwoDigits(text, stamp.second);
                    break;
                case SQL_C_TYPE_TIME: appendNumber(text, rt::timeFromHms(time.hour, time.minute, time.second)); break;
                case SQL_C_GUID:
                    text += fmt::format("{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}",
                                        guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                                        guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
                    break;
                default: break;
                }
                const std::size_t got = text.size() - before;
                if (got != 0) {
                    // Kept apart only when the indicator says more than the text and type tell.
                    const SQLLEN implied = t.cType == SQL_C_CHAR ? static_cast<SQLLEN>(got) : t.size;
                    if (ind != SQL_NO_TOTAL && ind != implied)
                        result->oddLengths_.emplace_back(cell, static_cast<std::int32_t>(ind));
                }
            }
            ends.push_back(static_cast<std::uint32_t>(text.size() - block));
            ++cell;
        }
    }
    result->rowCount_ = rows;
    // The result stays for a while: give back what the growth left unused, unless that is
    // little (each shrink copies the whole buffer).
    auto trim = [](auto& v) {
        if (v.capacity() - v.size() > v.size() / 8) v.shrink_to_fit();
    };
    trim(text);
    trim(ends);
    trim(blockStart);
    publish(std::move(result));
}

int OdbcDataSet::execAndLoad(std::string_view statement) {
    int rc = Exec(statement);
    if (rc != 0 && rc != 1) return rc;
    LoadResult();
    if (LISTBOX != 0) BuildListFormat(LISTBOX);
    CURRENTROW = 0;
    return 0;
}

void OdbcDataSet::Clear() {
    auto cleared = std::make_shared<OdbcResult>();
    {
        // Let go of the current result before it is replaced, so its buffers can be reused.
        auto current = snapshot();
        cleared->columns_ = current->columns_;
        cleared->colCount_ = current->colCount_;
    }
    publish(std::move(cleared));
    RESULTSETCHANGES = 0;
    for (const OdbcDependent& d : DEPENDENT)
        if (d.O) d.O->Refresh();
}

void OdbcDataSet::Refresh() {
    std::string query = fullQuery();
    std::string upperQuery = rt::upper(query);
    std::size_t where = upperQuery.find(" WHERE ");
    if (where == std::string::npos) return;
    if (PARENTDS) {
        bool listed = false;
        for (const OdbcDependent& d : PARENTDS->DEPENDENT)
            if (d.ID == id_) listed = true;
        if (!listed) return;
    }
    RESULTSETCHANGES = 0;
    std::string copy = query;

    std::size_t pos = where;
    for (const std::string& field : FILTERS) {
        std::size_t q = copy.find('?', pos);
        if (q == std::string::npos) break;
        if (PARENTDS) {
            std::string value = PARENTDS->GetField(field);
            copy.replace(q, 1, value);
            // Go on after the inserted value, so a "?" inside it stays as it is.
            pos = q + value.size();
        } else {
            pos = q + 1;
        }
    }

    for (const OdbcVarLink& v : FILTERVARS) {
        std::string lowerCopy = rt::lower(copy);
        std::size_t at = lowerCopy.find(v.ID);
        if (v.ID.empty() || at == std::string::npos || at == 0 || copy[at - 1] != '@') continue;
        std::size_t close = copy.find('@', at);
        if (close != at + v.ID.size()) continue;
        copy.replace(at - 1, v.ID.size() + 2, v.value ? v.value() : std::string());
    }

    execAndLoad(copy);
    QUERY = query;
    fullQuery_ = query;

    if (!rt::clip(GetCell(1, 1)).empty()) {
        for (const OdbcDependent& d : DEPENDENT)
            if (d.O) d.O->Refresh();
    } else {
        for (const OdbcDependent& d : DEPENDENT)
            if (d.O) d.O->Clear();
    }
}

std::string OdbcDataSet::GetCell(int row, int column) {
    auto r = snapshot();
    if (row == -1) return fmt::format_int(r->rowCount()).str();
    if (row == -2) return fmt::format_int(r->colCount()).str();
    if (row == -3) {
        std::uint64_t stamp = r->stamp();
        return RESULTSETCHANGES.exchange(stamp) != stamp ? "1" : "0";
    }
    bool found = r->hasCell(row, column);
    std::string value(rt::clip(r->cell(row, column)));
    if (TRACEGETCELL != 0) {
        std::lock_guard lock(historyMutex_);
        history_.push_back({DATASETNAME.str(), row, column, found ? value : std::string("NOT FOUND")});
    }
    return value;
}

int OdbcDataSet::columnPosition(std::string_view column) const {
    std::string_view c = rt::trimBlanks(column);
    if (!c.empty() && c.find_first_not_of("0123456789") == std::string_view::npos)
        return std::atoi(std::string(c).c_str());
    std::string key = rt::upper(c);
    auto r = snapshot();
    for (const OdbcColumn& col : r->columns())
        if (col.KEY == key) return col.COLUMN;
    return 0;
}

std::string OdbcDataSet::GetField(std::string_view column) {
    if (snapshot()->rowCount() == 0) return {};
    if (CURRENTROW == 0) SetRow(-1);
    int pos = columnPosition(column);
    if (pos < 1) return {};
    return GetCell(CURRENTROW, pos);
}

int OdbcDataSet::SetRow(int row) {
    auto r = snapshot();
    if (r->rowCount() == 0) return 0;
    if (row == -1) row = 1;
    if (row <= 0) return 0;
    if (row > r->rowCount()) return -2;
    if (!r->hasCell(row, 1)) return 0;
    CURRENTROW = row;
    for (const OdbcVarLink& v : VARS)
        if (v.assign) v.assign(GetField(v.ID));
    return row;
}

int odbcListWidth(std::int64_t size) {
    int width = size <= 0 ? 0 : static_cast<int>(std::trunc(100.0 * std::log10(static_cast<double>(size)))) - 100;
    if (width < 30) width = 30;
    if (width > 150) width = 400;
    return width;
}

std::string OdbcDataSet::ListFormat() const {
    auto r = snapshot();
    if (!r->hasAnyCell()) return {};
    if (!LISTFORMAT.empty()) return LISTFORMAT.str();
    std::string format;
    for (const OdbcColumn& col : r->columns()) {
        std::string caption = col.NAME;
        std::string picture;
        if (!LISTCOLUMNS.empty()) {
            const OdbcListColumn* entry = nullptr;
            for (const OdbcListColumn& lc : LISTCOLUMNS)
                if (rt::equalsTrimmed(lc.COLNAME, col.KEY)) {
                    entry = &lc;
                    break;
                }
            if (!entry || entry->VISIBLE == 0) continue;
            if (!rt::clip(entry->CAPTION).empty()) caption = std::string(rt::clip(entry->CAPTION));
            if (!rt::clip(entry->PICTURE).empty()) picture = std::string(rt::clip(entry->PICTURE)) + "@";
        }
        int width = odbcListWidth(col.SIZE);
        std::string justify;
        switch (col.TYPE) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_BIGINT:
            if (picture.empty()) {
                picture = fmt::format("@N{}.", width);
                if (col.DECIMALS != 0) picture += fmt::format(",{}", col.DECIMALS);
                picture += "@";
            }
            justify = "R(2)|M~";
            break;
        case SQL_TYPE_DATE:
            if (picture.empty()) picture = "@S17@";
            justify = "C|M~";
            break;
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
            if (picture.empty()) picture = "@S25@";
            justify = "L(2)|M~";
            break;
        case SQL_GUID:
            // 36 characters of 8-4-4-4-12 text.
            if (picture.empty()) picture = "@S36@";
            justify = "L(2)|M~";
            break;
        default:
            if (picture.empty()) picture = fmt::format("@S{}@", width);
            justify = "L(2)|M~";
            break;
        }
        // A column holds the text its type shows whole (a date's 10 characters, a time stamp's 19),
        // at four units a character and a little room at the edges.
        const int shown = col.TYPE == SQL_TYPE_DATE || col.TYPE == -83 ? 10
                          : col.TYPE == SQL_TYPE_TIME                  ? 8
                          : col.TYPE == SQL_TYPE_TIMESTAMP             ? 19
                          : col.TYPE == SQL_GUID                       ? 36
                                                                       : 0;
        width = std::max(width, shown * 4 + 8);
        format += fmt::format("{}{}{}~{}", width, justify, caption, picture);
    }
    return std::string(rt::cutChars(format, 4095));
}
