#include "queries/runner/query_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/input_box.h"
#include "core/helpers/text_helpers.h"
#include "queries/exports/query_exports.h"
#include "queries/reports/result_reports.h"
#include "queries/results/result_queues.h"
#include "runtime/classlib/popup_menu.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/data/view_manager.h"
#include "runtime/text/decimal.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

constexpr std::size_t kStatementChars = 10000;
constexpr std::size_t kParameterChars = 60;
constexpr int kCharUnits = 5;  // dialog units per character of the list
constexpr int kPrintLandscape = 420;
// Rows the server hands over at a time; the list shows what has come after the first of them.
constexpr rt::Long kFetchBlock = 300;
// Sorts the rows by one column's text, stably.
void sortRows(QueryResultQueue& rows, int column, bool descending) {
    rows.sortByText(kResultColumnMembers.at(column - 1), descending);
}

void initialOrder(QueryResultQueue& rows) { sortRows(rows, 1, false); }

// The runner's own description of a column, one per cube field.
struct QueryFieldEntry {
    rt::Byte COLUMNNUMBER = 0;
    rt::CString<81> FIELDNAME;
    rt::CString<11> SORTINGORDER;
    rt::CString<501> CRITERIA;
    rt::CString<501> CLIENTSIDEFILTER;
    rt::CString<61> COLUMNHEADER;
    rt::CString<8> JUSTIFICATION;
    rt::CString<21> FIELDTYPE;
};

struct CubeField {
    std::string expression;  // FELDNAME
    std::string alias;       // FELDNAME1
    std::string picture;
    std::string aggregate;
};

// The cube's fields in position order, from position 1.
std::vector<CubeField> readCubeFields(rt::Long cubeId) {
    std::vector<CubeField> fields;
    rt::FileManager& details = *Access.VOQCubeDetail;
    CUBD = {};
    CUBD.ID_CUBK = cubeId;
    CUBD.PosNr = 1;
    if (details.setFrom("CUBD:KeyID_CUBK") != 0) return fields;
    while (details.next() == 0 && CUBD.ID_CUBK == cubeId)
        fields.push_back({std::string(CUBD.FeldName.clipped()), std::string(CUBD.Feldname1.clipped()),
                          std::string(CUBD.Picture.clipped()), std::string(CUBD.Aggregat.clipped())});
    return fields;
}

// "a.cName AS Name, b.nId": an expression equal to its alias stands alone.
std::string fieldList(const std::vector<CubeField>& fields) {
    std::string list;
    for (const CubeField& f : fields) {
        if (!list.empty()) list += ", ";
        list += f.expression;
        // A field without a caption is selected as it is: "AS" needs a name after it.
        if (!rt::clip(f.alias).empty() && !rt::equalsTrimmed(f.expression, f.alias)) list += " AS " + f.alias;
    }
    return list;
}

std::string numberText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

// The text answer as an SQL literal: cut to its room first, then its quotes doubled.
std::string quotedAnswer(std::string_view answer) {
    std::string out = "'";
    for (char c : rt::cutChars(answer, kParameterChars)) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

rt::Justify justifyOf(std::string_view text, bool& known) {
    known = true;
    if (text == "Left") return rt::Justify::Left;
    if (text == "Center") return rt::Justify::Center;
    if (text == "Right") return rt::Justify::Right;
    if (text == "Decimal") return rt::Justify::Decimal;
    known = false;
    return rt::Justify::Left;
}

class QueryRunner {
public:
    explicit QueryRunner(rt::Long cubeId) : cubeId_(cubeId) {}
    void run();

private:
    void buildFieldQueue();
    void buildLayout();
    std::string prepareStatement();
    bool runSql();
    void fillResult();
    void listColumns();
    void publishRows();
    void headerPressed(int column);
    void removeMark(int column);
    void setHeading(int column, std::string heading);
    void originalOrder();
    void print(bool test);
    void exportResult(std::string_view kind);
    bool takeEvent(const rt::EventInfo& e);

    rt::Long cubeId_;
    rt::Window window_{"RunQuery", "Query =>"};
    std::unique_ptr<rt::ViewManager> view_;
    std::vector<CubeField> fields_;
    rt::Queue<QueryFieldEntry> fieldQueue_;
    QueryResultQueue rows_;
    ColumnListQueue layout_;
    std::vector<std::string> headings_ = std::vector<std::string>(kResultColumns);
    int NUMBEROFCOLUMNSDISPLAYEDINQ = 0;
    int QUEUESORTINGORDERFIELD = 0;
    std::string SQLSELECTSTRING;
    std::string cubeName_;
    std::string description_;
    bool cubeFound_ = false;
    std::string emptyReason_;  // why the statement came out empty
};

void QueryRunner::buildFieldQueue() {
    fields_ = readCubeFields(cubeId_);
    rt::Byte number = 0;
    for (const CubeField& f : fields_) {
        QueryFieldEntry e;
        e.COLUMNNUMBER = ++number;
        e.FIELDNAME = f.alias;
        e.COLUMNHEADER = f.alias.empty() ? f.expression : f.alias;
        e.JUSTIFICATION = rt::trimBlanks(f.aggregate);
        e.FIELDTYPE = rt::trimBlanks(f.picture);
        fieldQueue_.add(e);
        if (number == kResultColumns) break;  // only 15 result columns exist
    }
    fieldQueue_.sortBy({rt::QueueKey<QueryFieldEntry>(&QueryFieldEntry::COLUMNNUMBER)});
}

void QueryRunner::buildLayout() {
    layout_.free();
    NUMBEROFCOLUMNSDISPLAYEDINQ = 0;
    for (const CubeField& f : fields_) {
        if (NUMBEROFCOLUMNSDISPLAYEDINQ == kResultColumns) break;
        ColumnListEntry e;
        e.COLUMNNUMBER = static_cast<rt::Byte>(++NUMBEROFCOLUMNSDISPLAYEDINQ);
        e.COLUMNHEADER = f.expression;
        e.LENGTHHEADER = static_cast<rt::Byte>(rt::charLength(rt::trimBlanks(e.COLUMNHEADER)));
        e.JUSTIFICATION = f.aggregate;
        e.MAXIMUMLENGTHDATA = 0;
        layout_.add(e);
    }
}

std::string QueryRunner::prepareStatement() {
    const std::string parameter(CUBK.QueryParameter.clipped());
    std::string statement;
    emptyReason_ = "der Cube hat keine Abfrage";
    if (!cubeFound_) {
        emptyReason_ = "der Cube " + std::to_string(cubeId_) + " existiert nicht";
    } else if (!parameter.empty() && parameter.find("cParameter") == std::string::npos &&
               parameter.find("nParameter") == std::string::npos) {
        emptyReason_ = "der Parametertext nennt weder \"cParameter\" noch \"nParameter\"";
    }
    std::vector<PlaceholderValue> values;
    if (parameter.empty()) {
        statement = rt::trimBlanks(CUBK.BigQuery);
    } else if (parameter.find("cParameter") != std::string::npos) {
        statement = CUBK.BigQuery.clipped();
        std::string answer = InputBox("", "Wert", "Parameter", "Character Parameter eingeben");
        answer = std::string(rt::cutChars(answer, kParameterChars));
        values.push_back({"#cParameter#", answer.empty() ? std::string() : quotedAnswer(answer)});
    } else if (parameter.find("nParameter") != std::string::npos) {
        statement = std::string(rt::trimBlanks(CUBK.Query)) + " " + std::string(rt::trimBlanks(parameter));
        std::string answer = InputBox("", "Wert", "Parameter", "Nummerischen Parameter eingeben");
        std::string text(rt::trimBlanks(rt::cutChars(answer, kParameterChars)));
        double number = ReadNumberAnswer(text);
        if (number == 0) statement = CUBK.BigQuery.clipped();
        values.push_back({"#nParameter#", numberText(number)});
    }
    // The whole list: a list cut at some length would leave a broken statement.
    if (statement.find("#FELDLISTE#") != std::string::npos) values.push_back({"#FELDLISTE#", fieldList(fields_)});
    // All in one pass, so that an answer is never searched for the next placeholder.
    statement = FillPlaceholders(rt::cutChars(statement, kStatementChars), values);
    return std::string(rt::clip(rt::cutChars(statement, kStatementChars)));
}

bool QueryRunner::runSql() {
    // An empty statement is no SQL error of the server's: the user is told why there is none.
    if (rt::trimBlanks(SQLSELECTSTRING).empty()) {
        rt::message("Die Abfrage ist leer: " + emptyReason_ + ".");
        return false;
    }
    rt::setClipboard(SQLSELECTSTRING);
    if (view_->setSql(SQLSELECTSTRING) == 0) return true;
    const int code = rt::errorCode();
    if (code == rt::ErrFileNotOpen) {
        rt::message(std::to_string(code) + " " + rt::errorText());
    } else {
        rt::message("Error:" + std::to_string(code) + "-" + rt::errorText() + "||" + rt::fileErrorText() + "||" +
                    std::string(rt::trimBlanks(SQLSELECTSTRING)));
    }
    return false;
}

void QueryRunner::fillResult() {
    rows_.free();
    std::vector<std::string> types(kResultColumns);
    for (const QueryFieldEntry& f : fieldQueue_)
        if (f.COLUMNNUMBER >= 1 && f.COLUMNNUMBER <= kResultColumns) types[f.COLUMNNUMBER - 1] = f.FIELDTYPE.str();
    std::vector<ColumnListEntry*> columns(NUMBEROFCOLUMNSDISPLAYEDINQ + 1, nullptr);
    for (int c = 1; c <= NUMBEROFCOLUMNSDISPLAYEDINQ; ++c) columns[c] = layout_.column(c);
    const std::array<rt::String<255> SQLFileRecord::*, kResultColumns> source = {
        &SQLFileRecord::F1,  &SQLFileRecord::F2,  &SQLFileRecord::F3,  &SQLFileRecord::F4,  &SQLFileRecord::F5,
        &SQLFileRecord::F6,  &SQLFileRecord::F7,  &SQLFileRecord::F8,  &SQLFileRecord::F9,  &SQLFileRecord::F10,
        &SQLFileRecord::F11, &SQLFileRecord::F12, &SQLFileRecord::F13, &SQLFileRecord::F14, &SQLFileRecord::F15};
    rt::Long number = 0;
    const QueryResultEntry blank;
    // Every row of the statement fills the same columns: the others stay blank from here on.
    SQLF = SQLFileRecord{};
    for (;;) {
        const int rc = view_->next();
        if (rc == rt::ErrRecordNotAvailable) break;
        if (rc != 0) {
            // A result cut short is no result: say so and show none of it.
            rt::message("Error:" + std::to_string(rc) + "-" + rt::errorText() + "||" + rt::fileErrorText());
            rows_.free();
            return;
        }
        // The row is filled where it stands in the queue, not copied there.
        QueryResultEntry& row = rows_.get(rows_.add(blank));
        // Columns beyond the cube's fields are neither shown, exported nor printed: not kept.
        for (int c = 1; c <= NUMBEROFCOLUMNSDISPLAYEDINQ; ++c) {
            std::string value = FormatValue(SQLF.*source[c - 1], types[c - 1]);
            // No more characters than bytes: only a longer text can be a longer value.
            if (columns[c] && value.size() > columns[c]->MAXIMUMLENGTHDATA) {
                std::size_t length = std::min<std::size_t>(rt::charLength(value), 255);
                if (length > columns[c]->MAXIMUMLENGTHDATA)
                    columns[c]->MAXIMUMLENGTHDATA = static_cast<rt::Byte>(length);
            }
            resultColumn(row, c) = std::move(value);
        }
        row.RECORDID = ++number;
        // The first rows are seen while the rest are read; sorted once all are there.
        if (number == kFetchBlock) {
            listColumns();
            publishRows();
            window_.flush();
        }
    }
}

void QueryRunner::listColumns() {
    std::vector<rt::ListColumn> columns;
    int n = 0;
    for (const QueryFieldEntry& f : fieldQueue_) {
        ++n;
        std::string heading = f.COLUMNHEADER.empty() ? f.FIELDNAME.str() : f.COLUMNHEADER.str();
        headings_[n - 1] = heading;
        const ColumnListEntry* layout = layout_.column(n);
        rt::ListColumn col(heading, (layout ? columnChars(*layout) : 0) * kCharUnits, rt::Justify::Left, 2);
        bool known = false;
        rt::Justify j = justifyOf(rt::clip(f.JUSTIFICATION), known);
        if (known) {
            col.justify = j;
            col.indent = j == rt::Justify::Center ? 0 : 2;
        }
        col.picture = "@s255";
        col.resizable = true;
        columns.push_back(col);
    }
    for (; n < kResultColumns; ++n) {
        rt::ListColumn col("", 0, rt::Justify::Left, 2);
        col.picture = "@s255";
        col.resizable = true;
        columns.push_back(col);
    }
    rt::ListData& list = window_[RUNQUERY_LIST].editList();
    list.columns = std::move(columns);
    list.lineHeight = 12;
}

void QueryRunner::publishRows() {
    // The display reads the rows it shows from a snapshot of the queue while this thread goes on.
    auto snapshot = rows_.snapshot();
    const int shown = NUMBEROFCOLUMNSDISPLAYEDINQ;
    window_[RUNQUERY_LIST].setVirtualRows(
        rt::makeVirtualRows(snapshot->records(), [snapshot, shown](std::size_t first, std::size_t count) {
            std::vector<rt::ListRow> out;
            for (std::size_t i = first; i < first + count && i < snapshot->records(); ++i) {
                rt::ListRow r;
                r.cells.resize(kResultColumns);
                for (int c = 1; c <= shown; ++c) r.cells[c - 1].text = resultColumn((*snapshot)[i], c).str();
                out.push_back(std::move(r));
            }
            return out;
        }));
}

void QueryRunner::setHeading(int column, std::string heading) {
    headings_[column - 1] = heading;
    ColumnListEntry* layout = layout_.column(column);
    if (layout) layout->LENGTHHEADER = static_cast<rt::Byte>(std::min<std::size_t>(rt::charLength(heading), 255));
    rt::ListData& list = window_[RUNQUERY_LIST].editList();
    if (column <= static_cast<int>(list.columns.size())) {
        list.columns[column - 1].heading = heading;
        list.columns[column - 1].width = (layout ? columnChars(*layout) : 0) * kCharUnits;
    }
}

void QueryRunner::removeMark(int column) {
    if (column == 0) return;
    std::string heading = headings_[column - 1];
    if (!heading.empty() && (heading[0] == '<' || heading[0] == '>')) heading.erase(0, 1);
    setHeading(column, heading);
}

void QueryRunner::headerPressed(int column) {
    if (column < 1 || column > NUMBEROFCOLUMNSDISPLAYEDINQ) return;
    if (QUEUESORTINGORDERFIELD != column) {
        removeMark(QUEUESORTINGORDERFIELD);
        QUEUESORTINGORDERFIELD = column;
    }
    const std::string& heading = headings_[column - 1];
    const bool ascending = heading.empty() || heading[0] != '>';
    std::string rest = !heading.empty() && (heading[0] == '<' || heading[0] == '>') ? heading.substr(1) : heading;
    setHeading(column, std::string(ascending ? ">" : "<") + std::string(rt::trimBlanks(rest)));
    sortRows(rows_, column, !ascending);
    publishRows();
}

void QueryRunner::originalOrder() {
    removeMark(QUEUESORTINGORDERFIELD);
    initialOrder(rows_);
    QUEUESORTINGORDERFIELD = 0;
    publishRows();
}

void QueryRunner::print(bool test) {
    const std::string title(CUBK.Beschreibung.clipped());
    if (test) {
        PrintReportQuery(title, rows_, layout_);
        return;
    }
    int width = 0;
    for (const ColumnListEntry& c : layout_) {
        int header = static_cast<int>(rt::charLength(rt::trimBlanks(c.COLUMNHEADER)));
        width += std::max<int>(c.MAXIMUMLENGTHDATA, header) * kCharUnits + 2;
    }
    if (width < kPrintLandscape)
        PrintReportQueryQ(title, rows_, layout_);
    else
        PrintReportQueryQ_LS(title, rows_, layout_);
}

void QueryRunner::exportResult(std::string_view kind) {
    QueryExportData data{rows_, layout_};
    data.columnCount = NUMBEROFCOLUMNSDISPLAYEDINQ;
    data.headings.assign(headings_.begin(), headings_.begin() + NUMBEROFCOLUMNSDISPLAYEDINQ);
    data.cubeName = cubeName_;
    data.folder = GLO.Excelpfad.get().str();
    data.userId = GLO.SecureUserId.get().str();
    ExportQueryResult(kind, data);
}

bool QueryRunner::takeEvent(const rt::EventInfo& e) {
    if (e.control != RUNQUERY_LIST && e.control != RUNQUERY_PRINTTEST) return false;
    if (e.event == rt::Event::HeaderPressed) {
        headerPressed(e.column);
        return true;
    }
    if (e.event == rt::Event::AlertKey && e.control == RUNQUERY_LIST &&
        (e.keyCode == rt::keys::MouseRight || e.keyCode == rt::keys::Apps)) {
        rt::PopupMenu menu(&window_);
        menu.addItems(kRunQueryPopup, {"Print", "CSV", "HTML", "TXT", "Original"});
        const std::string chosen =
            menu.ask(e.keyCode == rt::keys::MouseRight ? e.x : -1, e.keyCode == rt::keys::MouseRight ? e.y : -1);
        if (chosen == "Print")
            print(false);
        else if (chosen == "CSV" || chosen == "HTML" || chosen == "TXT")
            exportResult(chosen);
        else if (chosen == "Original")
            originalOrder();
        return true;
    }
    if (e.event == rt::Event::Accepted && e.control == RUNQUERY_PRINTTEST) {
        print(true);
        return true;
    }
    return false;
}

void QueryRunner::run() {
    GLO.Trace = 1;
    window_.setPosition(0, 0, 420, 230).setMdiChild(true);
    window_.edit().centered = true;
    window_.setIcon("VOQ.ICO");
    window_.add(RUNQUERY_LIST, rt::ControlKind::List).setPosition(4, 4, 412, 204);
    std::vector<rt::ListColumn> initial;
    for (int c = 1; c <= kResultColumns; ++c) {
        rt::ListColumn col("C " + std::to_string(c), 40, rt::Justify::Left, 2);
        col.picture = "@s255";
        col.resizable = true;
        initial.push_back(col);
    }
    window_[RUNQUERY_LIST].setColumns(std::move(initial));
    window_.add(RUNQUERY_PRINTTEST, rt::ControlKind::Button).setPosition(4, 212, 50, 14).setText("PrintTest");
    window_.add(RUNQUERY_CLOSE, rt::ControlKind::Button)
        .setPosition(392, 212, 24, 14)
        .setIcon("EXIT5.ICO")
        .setTip("Schließen");
    window_.alert(rt::keys::MouseRight);
    window_.alert(rt::keys::Apps);

    rt::WindowController wc(window_, "RunQuery");
    CommonWindow common(wc);
    wc.addCloseButton(RUNQUERY_CLOSE, rt::response::Completed);
    wc.addFile(*Relate.VOQCubeKopf);
    wc.addFile(*Relate.SQLFile);
    // The table serves only as the carrier of the statement's rows: nothing of its own to check.
    Access.SQLFile->send("/TURBOSQL=TRUE");
    wc.resizer().setMinSize(235, 110);
    wc.onInit = [this] {
        buildFieldQueue();
        return 0;
    };
    wc.onOpened = [this, &wc] {
        wc.resizer().setRule(RUNQUERY_LIST, rt::resize::GrowWidth | rt::resize::GrowHeight);
        wc.resizer().setRule(RUNQUERY_PRINTTEST, rt::resize::MoveDown);
        wc.resizer().setRule(RUNQUERY_CLOSE, rt::resize::MoveDown | rt::resize::MoveRight);
        view_ = std::make_unique<rt::ViewManager>(*Access.SQLFile);
        view_->open();
        CUBK = {};
        CUBK.ID = cubeId_;
        cubeFound_ = Access.VOQCubeKopf->fetch("CUBK:KeyID") == 0;
        if (!cubeFound_) {
            CUBK = {};
            CUBK.ID = cubeId_;
        }
        cubeName_ = CUBK.CubeName.clipped();
        description_ = CUBK.Beschreibung.clipped();
        window_.setTitle("Query => " + std::string(rt::trimBlanks(cubeName_)) + "/ " +
                         std::string(rt::trimBlanks(description_)));
        buildLayout();
        SQLSELECTSTRING = prepareStatement();
        if (runSql()) fillResult();
        initialOrder(rows_);
        listColumns();
        publishRows();
        if (fields_.size() > static_cast<std::size_t>(kResultColumns)) {
            window_.flush();
            rt::message("Der Cube hat " + std::to_string(fields_.size()) +
                        " Felder; die Liste, die Exporte und die Ausdrucke zeigen nur die ersten 15.");
        }
    };
    wc.onEvent = [this](const rt::EventInfo& e) { return takeEvent(e); };
    wc.onKill = [this] {
        if (view_) view_->close();
    };
    wc.run();
}

}  // namespace

std::string FormatValue(std::string_view value, std::string_view fieldType) {
    const std::string_view trimmed = rt::trimBlanks(value);
    if (fieldType.empty()) return std::string(trimmed);
    const std::string_view v = trimmed;
    std::string out;
    if (fieldType == "Date") {
        out = rt::cutChars(v, 10);
    } else if (fieldType == "Time") {
        out = rt::subChars(v, 11, 13);
    } else if (fieldType == "UpperCase") {
        out = rt::upper(v);
    } else if (fieldType == "1MapToY0ToBlank") {
        out = v == "1" ? "Y" : v == "0" ? "" : rt::upper(v);
    } else if (fieldType == "Money") {
        rt::Decimal<17, 2> money;
        if (!money.set(std::string_view(v))) money.clear();
        out = rt::formatPicture(money.value(), "@n-16.`2");
    } else if (fieldType == "PhoneNumber") {
        rt::DecimalValue number = rt::DecimalValue::parseOrZero(v);
        out = rt::formatPicture(number.roundToInt64(), "@p(###) ###-####p");
    } else if (fieldType == "RecordID") {
        for (char c : v)
            if (c != ',') out += c;
    } else {
        out = v;
    }
    const std::string_view shown = rt::trimBlanks(out);
    if (shown.size() != out.size()) out = std::string(shown);
    return out;
}

void RunQuery(rt::Long cubeId) {
    QueryRunner runner(cubeId);
    runner.run();
}
