#pragma once
// odbcClass: SQL statements run straight through ODBC 3, the whole result held in memory as
// text cells that a virtual list shows.
//
//   OdbcConnection con;                 // the first one constructed is the default connection
//   con.Connect("DRIVER=SQLite3;Database=x.db");
//   OdbcDataSet ds;
//   ds.Init(&con, 0, "");
//   ds.SetQuery("SELECT * FROM t", 0);
//   ds.GetCell(-1, 0);                   // row count as text
//
// The result of a load is published as an immutable snapshot, so a display thread that draws
// the list while the owner's thread loads the next result sees the previous one whole. The
// attached list reads that snapshot by range and formats only the rows it shows.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/text/strings.h"
#include "runtime/ui/event.h"
#include "runtime/ui/model.h"

namespace rt {
class Window;
}

class OdbcDataSet;

// ---- Hooks for what the module shows or does outside ODBC -----------------------------------

enum class OdbcIcon { Information, Question };

struct OdbcMessage {
    std::string text;  // lines separated by CR LF
    std::string title;
    OdbcIcon icon = OdbcIcon::Information;
    std::vector<std::string> buttons;  // with "&" mnemonics; empty: one OK button
    int defaultButton = 1;             // 1-based
};

// The CSV export's progress window while it is open.
class OdbcProgress {
public:
    virtual ~OdbcProgress() = default;
    virtual void move(int position) = 0;
};

// Each hook left unset goes to the display (message box, save dialog, progress window) or,
// for terminate, ends the process.
struct OdbcHooks {
    // Shows a box and answers the 1-based button pressed.
    std::function<int(const OdbcMessage&)> message;
    // Save-file dialog; the chosen file, or empty when cancelled.
    std::function<std::string(const std::string& title, const std::string& filters)> saveFile;
    // Opens the progress window running from 0 to `maximum` under `title`.
    std::function<std::unique_ptr<OdbcProgress>(const std::string& title, int maximum)> progress;
    // Ends the program at once ("&Ende").
    std::function<void()> terminate;
};

// Installs the hooks for the whole process; gives the previous ones.
OdbcHooks setOdbcHooks(OdbcHooks hooks);
OdbcHooks odbcHooks();

// What the module calls: the hook when set, else the display.
int odbcShowMessage(const OdbcMessage& box);
std::string odbcAskSaveFile(const std::string& title, const std::string& filters);
std::unique_ptr<OdbcProgress> odbcOpenProgress(const std::string& title, int maximum);
[[noreturn]] void odbcTerminateDefault();

// The list columns of a list format such as "69L(2)|M~cName~@S69@30R(2)|M~Anzahl~@N30.@".
std::vector<rt::ListColumn> odbcListColumns(std::string_view format);

// ---- OdbcConnection -------------------------------------------------------------------------

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // 0 on success, -1 on any failure (nothing shown). An earlier connection of this object is
    // disconnected and freed first, with the statements of the data sets that used it.
    int Connect(std::string_view connectString);
    // Disconnects and frees the handles; the data sets on it lose their statements.
    void Disconnect();

    // The process's default connection: the first constructed that still exists.
    static OdbcConnection* defaultConnection();

    SQLHENV HENV = SQL_NULL_HENV;
    SQLHDBC HDBC = SQL_NULL_HDBC;
    SQLHSTMT HSTMT = SQL_NULL_HSTMT;  // declared; statements live in the data sets
    rt::CString<1024> CONNREQUEST;
    rt::CString<1024> CONNECTIONSTRING;
    std::vector<std::string> PREPAREDVARIABLES;

private:
    friend class OdbcDataSet;
    void addUser(OdbcDataSet* ds);
    void removeUser(OdbcDataSet* ds);

    std::mutex usersMutex_;
    std::set<OdbcDataSet*> users_;  // data sets holding a statement on this connection
};

// ---- Result of one load ---------------------------------------------------------------------

// One entry of RESULTSETCOLS.
struct OdbcColumn {
    std::string NAME;  // as the driver reports it, trailing blanks removed
    std::string KEY;   // NAME in upper case
    int TYPE = 0;      // kept type code: 1 text, 4, 5, -5, 91, 92, 93, -11
    std::int64_t SIZE = 0;
    std::int16_t DECIMALS = 0;
    std::int16_t NULLABLE = 0;
    int TARGETSIZE = 0;  // bytes of the receive buffer
    int COLUMN = 0;      // the result column number (from 1)
};

// The immutable outcome of a load: column descriptions and the non-empty cells.
class OdbcResult {
public:
    OdbcResult() = default;

    int rowCount() const { return rowCount_; }
    int colCount() const { return colCount_; }
    const std::vector<OdbcColumn>& columns() const { return columns_; }
    std::uint64_t stamp() const { return stamp_; }

    // True when the cell exists (a non-empty value was read).
    bool hasCell(int row, int column) const;
    // The cell's text as received (empty when there is no cell).
    std::string_view cell(int row, int column) const;
    // The length indicator the driver reported for the cell (0 when there is no cell).
    std::int32_t length(int row, int column) const;
    std::size_t cellCount() const;
    bool hasAnyCell() const { return !text_.empty(); }  // every cell holds at least one byte
    // Bytes held by the cells.
    std::size_t memoryBytes() const;

private:
    friend class OdbcDataSet;
    // Rows per block of the cell index: a block's text stays below 4 GB even with the
    // widest rows (32767 columns of 1020 bytes), so cells are placed by 32-bit offsets.
    static constexpr std::size_t kBlockRows = 64;
    std::size_t index(int row, int column) const;
    // Where cell i begins and ends in text_.
    std::uint64_t cellBegin(std::size_t i) const;
    std::uint64_t cellEnd(std::size_t i) const;

    std::vector<OdbcColumn> columns_;
    int rowCount_ = 0;
    int colCount_ = 0;
    std::string text_;                        // every cell's text, row by row
    std::vector<std::uint64_t> blockStart_;   // where each block of kBlockRows rows begins in text_
    std::vector<std::uint32_t> ends_;         // cell i ends at ends_[i] after its block's start
    std::vector<std::int32_t> fixedLengths_;  // per column: the length of a value of a fixed-size type
    // The cells whose length indicator is not what the text or the column type implies (cut
    // texts, unusual drivers), by cell index in ascending order.
    std::vector<std::pair<std::uint64_t, std::int32_t>> oddLengths_;
    std::uint64_t stamp_ = 0;
};

// ---- OdbcDataSet ----------------------------------------------------------------------------

// LISTCOLUMNS entry.
struct OdbcListColumn {
    int COLNUMBER = 0;
    std::string COLNAME;  // compared with KEY
    std::string CAPTION;
    int WIDTH = 0;  // not used by the list format
    std::string PICTURE;
    int VISIBLE = 1;  // 0 = hidden
};

// FILTERVARS and VARS entry: a link to a variable of the owner.
struct OdbcVarLink {
    std::string ID;                                  // column name or number (VARS), token (FILTERVARS)
    std::function<void(const std::string&)> assign;  // receives a value, converting it to its type
    std::function<std::string()> value;              // the current value as text
};

// DEPENDENT entry.
struct OdbcDependent {
    int ID = 0;
    OdbcDataSet* O = nullptr;
};

// GETCELLHISTORY entry.
struct OdbcCellRead {
    std::string REFERENCE;
    int ROW = 0;
    int COL = 0;
    std::string VALUE;
};

class OdbcDataSet {
public:
    OdbcDataSet();
    ~OdbcDataSet();
    OdbcDataSet(const OdbcDataSet&) = delete;
    OdbcDataSet& operator=(const OdbcDataSet&) = delete;

    // The number that identifies this data set (its default name, DEPENDENT look-ups).
    int id() const { return id_; }

    void Init(OdbcConnection* connection, int list, std::string_view name);
    void Init(OdbcConnection* connection, rt::Window& window, int list, std::string_view name);
    // Attaches a list control of a window (of this thread): the list shows this data set's
    // cells, and TakeEvent is registered for its alert keys, so the window's owner need not pass
    // events on. Without a window only LISTBOX is set.
    void AttachList(int list);
    void AttachList(rt::Window& window, int list);
    // The owner calls it before the list's window goes away.
    void DetachList();
    // Handles an event of the attached list's window: Ctrl + right mouse button opens EditQuery,
    // DEBUGKEY the queue inspection window. Always 0 ("go on").
    int TakeEvent(const rt::EventInfo& event);
    // The statement window: edits QUERY and runs it.
    void EditQuery();
    // The queue inspection window on the column descriptions, then on the cells.
    void InspectResult();
    void SetName(std::string_view name);

    // 0 when the statement was handed to the server (also when it failed there), -2 without a
    // connection handle, else the failing return code of the statement allocation.
    int Exec(std::string_view statement);
    void Open(int list);
    int SetQuery(std::string_view statement, int list);
    void LoadResult();
    void Refresh();
    void Clear();

    std::string GetCell(int row, int column);
    std::string GetField(std::string_view column);
    int SetRow(int row);

    // The list format the data set would set now (LISTFORMAT when non-blank); empty when there
    // is no cell.
    std::string ListFormat() const;
    // Builds the list's format; gives it, or empty when nothing was set.
    std::string BuildListFormat(int list);

    // Writes the result as a ";" separated file; an empty name asks for one.
    void ExportCsv(std::string_view fileName);

    // The current result (never null).
    std::shared_ptr<const OdbcResult> snapshot() const;
    int RESULTSETCOLCOUNT() const { return snapshot()->colCount(); }
    int RESULTSETROWCOUNT() const { return snapshot()->rowCount(); }
    std::vector<OdbcColumn> RESULTSETCOLS() const { return snapshot()->columns(); }
    std::vector<OdbcCellRead> GETCELLHISTORY() const;
    // The format last set on the attached list.
    std::string appliedListFormat() const;
    // Rows of the result formatted for the attached list so far (the list reads the rows it shows).
    std::uint64_t listRowsRead() const;

    OdbcConnection* CONNECTION = nullptr;
    std::vector<OdbcListColumn> LISTCOLUMNS;
    SQLHSTMT HSTMT = SQL_NULL_HSTMT;
    rt::CString<64> DATASETNAME;
    int TRACEGETCELL = 0;
    rt::CString<8192> QUERY;
    int CURRENTROW = 0;
    std::atomic<std::uint64_t> RESULTSETCHANGES{0};
    OdbcDataSet* PARENTDS = nullptr;
    std::vector<std::string> FILTERS;
    std::vector<OdbcVarLink> FILTERVARS;
    std::vector<OdbcVarLink> VARS;
    std::vector<OdbcDependent> DEPENDENT;
    int LISTBOX = 0;
    rt::CString<1024> LISTFORMAT;
    int DEBUGKEY = 0;

private:
    friend class OdbcConnection;
    class ListFeed;
    OdbcConnection* connection();
    void releaseStatement();
    void publish(std::shared_ptr<OdbcResult> result);
    int columnPosition(std::string_view column) const;
    int execAndLoad(std::string_view statement);
    std::string fullQuery() const;

    int id_ = 0;
    OdbcConnection* statementConnection_ = nullptr;  // the connection HSTMT was allocated on
    mutable std::mutex resultMutex_;
    std::shared_ptr<const OdbcResult> result_;
    // The buffers of a replaced result that nobody read any more, kept for the next load:
    // refilling memory the process already holds spares the fresh pages of a second copy.
    std::mutex spareMutex_;
    OdbcResult spare_;
    mutable std::mutex historyMutex_;
    std::vector<OdbcCellRead> history_;
    std::string appliedFormat_;
    std::string fullQuery_;  // the whole statement of which QUERY holds the start
    rt::Window* listWindow_ = nullptr;
    int takeEventRegistration_ = 0;  // TakeEvent on the list window's alert keys
    // What the registration reaches; null once this data set is gone, since the window may
    // outlive it.
    std::shared_ptr<OdbcDataSet*> self_ = std::make_shared<OdbcDataSet*>(this);
    std::unique_ptr<ListFeed> feed_;
};

// The diagnostics box of a failed call on (handle type, handle). Silent when the first record's
// native code is 0 or the handle was silenced with "&Stop".
void ODBCGetDiag(SQLSMALLINT handleType, SQLHANDLE handle, OdbcConnection* connection, std::string_view context);

// Forgets the diagnostics memory of a handle that is being freed, so a later handle at the same
// address is reported again.
void odbcForgetHandle(SQLSMALLINT handleType, SQLHANDLE handle);

// The CSV form of one cell value: quoted and cleaned when it starts with a letter other than
// the single "Y" or "N"; else a text a spreadsheet would run as a formula gets an apostrophe in
// front, and the value is quoted whole when it holds ";", a quote, CR or LF.
std::string odbcCsvValue(std::string_view value);

// Width of a list column for a column size: INT(100 x LOG10(size)) - 100, at least 30, and 400
// above 150.
int odbcListWidth(std::int64_t size);
