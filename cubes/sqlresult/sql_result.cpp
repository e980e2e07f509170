#include "cubes/sqlresult/sql_result.h"

#include "core/common/common_window.h"
#include "core/common/elapsed_time.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/input_box.h"
#include "cubes/crosstab/cross_tab.h"
#include "cubes/datefilter/input_date_box.h"
#include "cubes/odbc/odbc_class.h"
#include "cubes/sqlqueries/sql_queries.h"
#include "cubes/sqlresult/sql_parameters.h"
#include "runtime/classlib/request.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/text/date_time.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace sqlresult;

namespace {

constexpr const char* kRefusedTitle = "Parameter";

std::string askNumber() { return InputBox("", "Wert", "Parameter", "Nummerischen Parameter eingeben", 0, 0, 0, 1); }

std::string askText() { return InputBox("", "Wert", "Parameter", "Text-Parameter eingeben", 0, 0, 0, 1); }

class ResultWindow {
public:
    explicit ResultWindow(const std::string& mode);
    void run();

private:
    void build();
    // The placeholders of the statement in the box; false when an answer was refused.
    bool fillQuery();
    // The placeholders of a cross tab's from expression; false when an answer was refused.
    bool fillFromExpression(std::string& from);
    void execute(const std::string& statement);
    void readSavedQuery();
    void runCrossTab();
    void chooseFile();
    std::string query() { return w_[QueryBox].value(); }
    void setQuery(std::string text);
    void keepQueryString() { QueryString = std::string(rt::cutChars(query(), 1000)); }

    bool crossTab_;
    rt::Window w_;
    OdbcConnection connection_;
    OdbcDataSet dataSet_;
};

ResultWindow::ResultWindow(const std::string& mode)
    : crossTab_(std::atoi(mode.c_str()) == 1), w_(kProcedure, crossTab_ ? kCrossTabTitle : kQueryTitle) {
    build();
}

void ResultWindow::build() {
    w_.setPosition(0, 0, 580, 420);
    w_.setMinSize(580, 420);
    w_.edit().mdiChild = true;
    w_.add(QueryPrompt, rt::ControlKind::Prompt).setText("Query").setPosition(4, 4, 40, 10);
    // Every change of the statement reports at once: the shared query text follows it.
    w_.add(QueryBox, rt::ControlKind::Text).setPosition(4, 14, 572, 84).setImmediate(true);
    w_.add(Read, rt::ControlKind::Button).setText("Einlesen").setPosition(4, 102, 60, 14);
    w_.add(Run, rt::ControlKind::Button).setText("Ausführen").setPosition(68, 102, 60, 14);
    w_.add(CrossTabData, rt::ControlKind::Button).setText("&Daten").setPosition(4, 102, 60, 14);
    w_.add(Results, rt::ControlKind::List).setPosition(4, 120, 572, 274).editList().lineHeight = 12;
    w_.add(Csv, rt::ControlKind::Button).setText("CSV-Datei erstellen").setPosition(4, 400, 76, 14);
    w_.add(QueryText, rt::ControlKind::Button).setText("Query-String").setPosition(84, 400, 60, 14);
    w_.add(Elapsed, rt::ControlKind::Entry).setPicture("@s100").setReadOnly(true).setPosition(148, 401, 110, 12);
    w_.add(ChooseFile, rt::ControlKind::Button).setText("...").setPosition(264, 400, 16, 14);
    w_.add(FileName, rt::ControlKind::String).setPosition(284, 402, 292, 10);
    if (crossTab_) {
        for (int id : {Read, Run, ChooseFile, FileName}) w_[id].hide();
    } else {
        w_[CrossTabData].hide();
    }
}

void ResultWindow::setQuery(std::string text) { w_[QueryBox].setValue(std::string(rt::cutChars(text, kQueryWidth))); }

bool ResultWindow::fillQuery() {
    // Every answer is asked first, in the order n, c, d, and all go in at once: an answer is
    // never searched for the next placeholder.
    const std::string text = query();
    SqlAnswers answers;
    if (HasPlaceholder(text, kNumberParameter)) answers.number = askNumber();
    if (HasPlaceholder(text, kTextParameter)) answers.text = askText();
    // An empty text answer drops the condition, and a date in it is no longer asked for.
    const bool dropped = answers.text && rt::clip(*answers.text).empty();
    if (HasPlaceholder(dropped ? WithoutCondition(text) : text, kDateParameter))
        answers.date = InputDateBox("Geben Sie ein Datum/Datumsbereich ein");
    setQuery(FillAnswers(text, answers, kQueryWidth, GLO.ConnectString.get().clipped()));
    rt::setClipboard(query());
    rt::setClipboard(std::string(QueryString.get().clipped()));
    return true;
}

bool ResultWindow::fillFromExpression(std::string& from) {
    // Filled in at the query's width and only then held against the expression's: a cut
    // expression would still run, with another result.
    SqlAnswers answers;
    answers.nested = true;
    if (HasPlaceholder(from, kNumberParameter)) answers.number = askNumber();
    if (HasPlaceholder(from, kTextParameter)) answers.text = askText();
    from = FillAnswers(from, answers, kQueryWidth, GLO.ConnectString.get().clipped());
    rt::setClipboard(from);
    if (rt::charLength(from) > kFromExpressionWidth) {
        rt::message("Der From-Ausdruck ist mit der Eingabe " + std::to_string(rt::charLength(from)) +
                        " Zeichen lang; er darf höchstens " + std::to_string(kFromExpressionWidth) +
                        " Zeichen lang sein.|Die Kreuztabelle wird nicht ausgeführt.",
                    kRefusedTitle, rt::MessageIcon::Exclamation);
        return false;
    }
    return true;
}

void ResultWindow::execute(const std::string& statement) {
    rt::setPointer(rt::Pointer::Cross);
    dataSet_.QUERY = std::string(rt::clip(statement));
    const rt::TimeNumber start = rt::clockTime();
    dataSet_.Clear();
    dataSet_.Open(Results);
    const rt::TimeNumber end = rt::clockTime();
    w_[Elapsed].setValue(ElapsedTimeText(start, end, 0));
    rt::setPointer(rt::Pointer::Arrow);
}

void ResultWindow::readSavedQuery() {
    w_[Elapsed].setValue("0");
    rt::ThreadRequest = rt::request::Select;
    const std::string chosen = ListeSQL_QBE("");
    // Leaving the list without a choice keeps what the user typed.
    if (rt::ThreadResponse == rt::response::Completed) {
        setQuery(chosen);
        keepQueryString();
    }
}

void ResultWindow::runCrossTab() {
    rt::ThreadRequest = rt::request::Select;
    BrowseCrossTab();
    // Leaving the list without a choice runs nothing: the record last loaded is not the user's pick.
    if (rt::ThreadResponse != rt::response::Completed) return;
    std::string from(CRO.FromExpression.clipped());
    if (!fillFromExpression(from)) return;
    const std::string statement = CrossTabStatement(CRO.RowValue.str(), CRO.ColValue.clipped(), CRO.Aggregate.clipped(),
                                                    from, CRO.Title.clipped());
    setQuery(statement);
    execute(statement);
}

void ResultWindow::chooseFile() {
    // A new name is taken too: the list makes the file when it opens it.
    const rt::FileDialogResult file = rt::openOrNewFileDialog("SQL-Query-Datei", "", "SQL-Query|SQL*.TPS");
    GLO.SQL_QBE = file.ok ? file.path : std::string();
    w_[FileName].setText(std::string(GLO.SQL_QBE.get().clipped()));
}

void ResultWindow::run() {
    rt::WindowController wc(w_, kProcedure);
    CommonWindow common(wc);
    wc.addFile(*Relate.ACQTBL);
    wc.onInit = [&] {
        if (connection_.Connect(std::string(GLO.ConnectString.get().clipped())) != 0 &&
            rt::message("Database connection error|Continue anyway?", "Connection error", rt::MessageIcon::Exclamation,
                        rt::button::Yes | rt::button::No, rt::button::Yes) == rt::button::No)
            return 1;
        dataSet_.Init(&connection_, w_, Results, "");
        dataSet_.Clear();
        w_[FileName].setText(std::string(GLO.SQL_QBE.get().clipped()));
        return 0;
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.control == QueryBox) {
            keepQueryString();
            return false;
        }
        if (e.event != rt::Event::Accepted) return false;
        switch (e.control) {
        case Read: readSavedQuery(); return true;
        case Run:
            if (fillQuery()) execute(query());
            return true;
        case CrossTabData: runCrossTab(); return true;
        case Csv: dataSet_.ExportCsv(""); return true;
        case QueryText: dataSet_.EditQuery(); return true;
        case ChooseFile: chooseFile(); return true;
        default: return false;
        }
    };
    wc.onKill = [&] {
        dataSet_.DetachList();
        GLO.SQL_QBE = "SQL_QBE.TPS";
    };
    wc.run();
}

}  // namespace

void SQLQueryResult_N(const std::string& mode) {
    ResultWindow window(mode);
    window.run();
}
