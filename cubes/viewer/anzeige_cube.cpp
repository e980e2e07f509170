#include "cubes/viewer/anzeige_cube.h"

#include <cctype>
#include <charconv>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/input_box.h"
#include "core/helpers/log_helpers.h"
#include "core/helpers/shell_helpers.h"
#include "core/helpers/sql_helpers.h"
#include "cubes/datefilter/input_date_box.h"
#include "cubes/viewer/cube_statement.h"
#include "runtime/data/errors.h"
#include "runtime/data/view_manager.h"
#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/os/process.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace anzeige;

namespace {

std::mutex adminMutex;
std::function<bool()> adminCheck;

// The exit code of the program the viewer ran last (the registration), 0 when none.
std::mutex runCodeMutex;
int lastRunCode = 0;

int runCode() {
    std::lock_guard lock(runCodeMutex);
    return lastRunCode;
}

bool VUISADMIN() {
    std::function<bool()> check;
    {
        std::lock_guard lock(adminMutex);
        check = adminCheck;
    }
    return check ? check() : ::geteuid() == 0;
}

void diagnoseLine(std::string_view file, std::string_view line) {
    if (GLO.DIAGNOSE.get() == 1) AppendLogLine(file, line);
}

// The date filter window answers "#dParameter#": a date, or from ";" to.
std::string askDateParameter(const std::string& message) { return InputDateBox(message); }

std::string askTextParameter(const std::string& message) { return InputBox("", "Wert", "Parameter", message); }

// Runs a count statement of the diagnosis; 0 when it fails (after saying why).
long diagnosisCount(const std::string& statement) {
    rt::FileManager& table = *Access.VOQSQLTBL;
    if (table.open() != 0) {
        rt::message(rt::errorText() + "|" + rt::fileErrorText(), "Diagnose");
        return 0;
    }
    long count = 0;
    rt::ViewManager view(table);
    if (view.open() != 0 || view.setSql(statement) != 0) {
        rt::message(rt::fileErrorText().empty() ? rt::errorText() : rt::fileErrorText(), "Diagnose");
    } else {
        SQL = {};
        if (view.next() == 0) count = static_cast<long>(SqlVariable::leadingNumber(SQL.f1.clipped()));
    }
    view.close();
    table.close();
    return count;
}

// Names compared as the server names them, whatever their case (PostgreSQL folds unquoted names).
std::string sameName(std::string_view column, std::string_view name) {
    return "UPPER(" + std::string(column) + ") = UPPER(" + SqlQuoted(name) + ")";
}

std::string columnCountStatement(std::string_view table) {
    return "SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE " + sameName("TABLE_NAME", table);
}

// A placeholder ("#FELDLISTE#" and the like) that the prepared statement still holds: only
// other windows fill those, and the server would only answer with a syntax error.
std::string unansweredPlaceholder(std::string_view statement) {
    auto nameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = statement.find('#'); at != std::string_view::npos; at = statement.find('#', at + 1)) {
        std::size_t end = at + 1;
        while (end < statement.size() && nameChar(statement[end])) ++end;
        if (end > at + 1 && end < statement.size() && statement[end] == '#' &&
            std::isalpha(static_cast<unsigned char>(statement[at + 1])))
            return std::string(statement.substr(at, end - at + 1));
    }
    return {};
}

// The layout every cube shares, and the one kept per cube beside it.
constexpr const char* kLayoutFile = "Cube.CUB";
std::string cubeLayoutFile(long cubeId) { return "Cube" + std::to_string(cubeId) + ".CUB"; }

class Viewer {
public:
    Viewer(rt::Window& window, long cubeId) : w_(window), cubeId_(cubeId) {}

    void open();
    bool load();  // false: the window is to close
    bool takeEvent(const rt::EventInfo& e);

private:
    rt::ControlRef pivot() { return w_[Pivot]; }
    bool fields();
    void look();
    void addField(bool dataField);
    bool diagnoseTable();
    bool diagnoseField();
    void showDetail(int on);
    void columnWidths();
    void dump();
    void excel();
    void print();
    void properties();
    void chooseFolder();
    void stopLoad();
    bool applySavedLayout();
    void saveLayout();

    // A member of a field the control handed back; its errors count like the control's own.
    void fieldSet(const std::shared_ptr<rt::AutomationObject>& field, std::string_view name,
                  const rt::AutoValue& value);

    rt::Window& w_;
    long cubeId_;
    bool stop_ = false;  // this window's load: a missing cube, table or field
    std::string logName_;
};

void Viewer::open() {
    // Whether the control is there at all, before the window builds on it.
    auto probe = rt::createAutomationObject(kPivotProgId);
    if (GLO.DIAGNOSE.get() == 1) {
        const rt::DateNumber today = rt::today();
        diagnoseLine(kPivotRegistrationLog, "------- " + rt::formatPicture(today, "@d17") + " - " +
                                                rt::formatTimePattern(rt::clockTime(), "HH:mm:ss") + " -------");
        diagnoseLine(kPivotRegistrationLog, "------- Registrierung GNOVA3.OCX prüfen -------");
    }
    if (probe) {
        diagnoseLine(kPivotRegistrationLog, "Registrierung GNOVA3.OCX ist OK");
        diagnoseLine(kPivotRegistrationLog, "Runcode : " + std::to_string(runCode()));
    } else if (!VUISADMIN()) {
        rt::message(
            "Dem User fehlen Admin-Rechte.||Starten Sie das Programm einmalig als Admin, damit die für die "
            "Programmausführung notwendige OCX-Datei auf Ihrem System registriert werden kann.",
            "Admin-Rechte", rt::MessageIcon::Information);
        return;
    } else {
        const rt::ProcessResult r = rt::startProcess("RegSvr32.exe", {"/s", "GNOVA3.OCX"}, true);
        const int code = r.started ? r.exitCode : (r.startError != 0 ? r.startError : -1);
        {
            std::lock_guard lock(runCodeMutex);
            lastRunCode = code;
        }
        if (code != 0) {
            diagnoseLine(kPivotRegistrationLog, "Registrierung GNOVA3.OCX fehlgeschlagen");
            diagnoseLine(kPivotRegistrationLog, "Runcode : " + std::to_string(code));
            const std::string why = r.started ? "Rückgabewert " + std::to_string(code) : r.errorText;
            rt::message(why, "Fehler beim Registrieren von GNOVA3.OCX", rt::MessageIcon::Exclamation);
        }
    }
    probe.reset();

    if (!load()) return;
    w_.setTitle(std::string(CUBK.CubeName.clipped()) + "/ " + std::string(CUBK.Beschreibung.clipped()));
}

void Viewer::stopLoad() {
    // The control goes with the window; nothing of this load is kept.
    w_.post(rt::Event::CloseWindow);
}

bool Viewer::load() {
    stop_ = false;
    pivot().createObject(kPivotProgId);
    pivot().setReportErrors(true);
    pivot().oleSet("AutoDatRefresh", 0);

    CUBK = {};
    CUBK.ID = static_cast<rt::Long>(cubeId_);
    if (Access.VOQCubeKopf->fetch("CUBK:KeyID") != 0) {
        Access.VOQCubeKopf->clearBuffer();
        rt::message("Cube existiert nicht", "Fehler");
        stop_ = true;
        stopLoad();
        return false;
    }
    logName_ = std::string(CUBK.CubeName.clipped()) + ".LOG";
    if (GLO.DIAGNOSE.get() == 1 && !diagnoseTable()) {
        stopLoad();
        return false;
    }

    CubeParameterAsk ask;
    ask.text = askTextParameter;
    ask.number = askTextParameter;
    ask.date = askDateParameter;
    const std::string connect = GLO.ConnectGlobal.get() != 0 ? std::string(GLO.ConnectString.get().clipped())
                                                             : std::string(CUBK.Connect.clipped());
    const CubeStatement statement =
        PrepareCubeStatement(CUBK, GLO.StartParameter.get().clipped(), rt::ymdFromDate(rt::today()).year, ask, connect);
    rt::setClipboard(statement.clipboard);
    if (const std::string placeholder = unansweredPlaceholder(statement.recordSource()); !placeholder.empty()) {
        rt::message("Die Abfrage des Cubes enthält den Platzhalter " + placeholder +
                        ", den die Cube-Anzeige nicht füllen kann.||Der Cube wird nicht geöffnet.",
                    "Fehler");
        stop_ = true;
        stopLoad();
        return false;
    }

    pivot().oleSet("GNConnectType", std::string(CUBK.Zugriff.clipped()));
    pivot().oleSet("GNConnect", connect);
    pivot().oleSet("GNRecordSource", statement.recordSource());

    if (!fields()) {
        stopLoad();
        return false;
    }
    // The layout the user saved for this cube wins over the stored one, its folds included.
    const bool saved = applySavedLayout();
    look();
    pivot().oleSet("AutoDatRefresh", 1);
    pivot().oleCall("RefreshData");
    pivot().oleCall("Refresh");
    pivot().setReportErrors(false);
    if (CUBK.Compress == 1 && !saved) showDetail(0);
    return true;
}

bool Viewer::applySavedLayout() {
    const std::string file = cubeLayoutFile(cubeId_);
    auto control = pivot().object();
    if (!control || !rt::fileExists(file)) return false;
    try {
        // Fields the cube no longer has are left out by the control.
        rt::automationCall(*control, "Load", {file});
    } catch (const rt::AutomationError& e) {
        rt::message(std::string("Das gesicherte Layout wurde nicht gelesen.||") + e.what(), "Layout",
                    rt::MessageIcon::Exclamation);
        return false;
    }
    return true;
}

void Viewer::saveLayout() {
    auto control = pivot().object();
    if (!control) return;
    try {
        rt::automationCall(*control, "Save", {kLayoutFile, 1});
        rt::automationCall(*control, "Save", {cubeLayoutFile(cubeId_), 1});
    } catch (const rt::AutomationError& e) {
        w_.setStatusText(1, "Layout nicht gesichert");
        rt::message(std::string("Das Layout wurde nicht gesichert.||") + e.what(), "Sichern",
                    rt::MessageIcon::Exclamation);
        return;
    }
    w_.setStatusText(1, std::string("Layout gesichert: ") + kLayoutFile + " und " + cubeLayoutFile(cubeId_));
}

bool Viewer::diagnoseTable() {
    long count = 0;
    if (!CUBK.TabName.empty()) count = diagnosisCount(columnCountStatement(CUBK.TabName.clipped()));
    if (rt::fileExists(logName_)) rt::removeFile(rt::resolvePath(logName_));
    const std::string table(CUBK.TabName.clipped());
    AppendLogLine(logName_, "Diagnose der Auswertung");
    AppendLogLine(logName_, "-----------------------");
    AppendLogLine(logName_, "Anzahl Felder : " + std::to_string(count));
    if (count == 0) {
        AppendLogLine(logName_, "Tabelle/ Sicht " + table + " nicht vorhanden");
        stop_ = true;
    } else {
        AppendLogLine(logName_, "Tabelle/ Sicht " + table + " vorhanden");
        stop_ = false;
    }
    return !stop_;
}

bool Viewer::diagnoseField() {
    const std::string expression(CUBD.FeldName.clipped());
    const std::string caption(CUBD.Feldname1.clipped());
    const long count = diagnosisCount(columnCountStatement(CUBK.TabName.clipped()) + " AND " +
                                      sameName("COLUMN_NAME", CUBD.FeldName.clipped()));
    if (count == 1) {
        AppendLogLine(logName_, "Feld " + expression + " vorhanden, CubeName " + caption);
        stop_ = false;
    } else if (expression.find_first_of("+-*/") != std::string::npos) {
        AppendLogLine(logName_, "Rechenfeld " + expression + " CubeName " + caption);
        stop_ = false;
    } else {
        AppendLogLine(logName_, "Feld " + expression + " nicht vorhanden, CubeName " + caption);
        stop_ = true;
    }
    return !stop_;
}

void Viewer::fieldSet(const std::shared_ptr<rt::AutomationObject>& field, std::string_view name,
                      const rt::AutoValue& value) {
    if (!field) return;
    try {
        field->set(name, value);
    } catch (const rt::AutomationError& e) {
        if (pivot().reportErrors()) rt::message(e.what(), "OLE", rt::MessageIcon::Exclamation);
    }
}

// The orientation as the control reads it: the code's number, or the code itself. A field
// stored without one stands hidden in the field list, ready to be dragged.
rt::AutoValue orientation(std::string_view code) {
    code = rt::trimBlanks(code);
    if (code.empty()) return 0;
    long long n = 0;
    auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), n);
    if (ec == std::errc() && end == code.data() + code.size() && !code.empty()) return n;
    return std::string(code);
}

void Viewer::addField(bool dataField) {
    const rt::AutoValue result =
        pivot().oleCall("Fields.Add", {std::string(CUBD.FeldName.clipped()), std::string(CUBD.Feldname1.clipped()),
                                       orientation(CUBD.Gruppe.clipped())});
    const auto field = result.toObject();
    if (dataField) {
        if (!CUBD.Aggregat.empty()) {
            fieldSet(field, "NumberFormat", std::string(CUBD.Picture.clipped()));
            fieldSet(field, "AggregateFunc",
                     static_cast<long long>(SqlVariable::leadingNumber(CUBD.Aggregat.clipped())));
        }
        fieldSet(field, "GroupFooterType", CUBD.Feldname1.clipped() == "DB %" ? 4 : 1);
    } else if (CUBD.Gruppierung == 0) {
        fieldSet(field, "GroupFooterVisible", 0);
    }
}

bool Viewer::fields() {
    rt::FileManager& details = *Access.VOQCubeDetail;
    CUBD = {};
    CUBD.ID_CUBK = CUBK.ID;
    CUBD.PosNr = 0;
    if (details.setFrom("CUBD:KeyPosNr") != 0) {
        rt::message("Es existieren keine Cube-Details", "Fehler");
        return true;
    }
    while (details.next() == 0 && CUBD.ID_CUBK == CUBK.ID) {
        if (GLO.DIAGNOSE.get() == 1 && !diagnoseField()) break;
        addField(SqlVariable::leadingNumber(CUBD.Gruppe.clipped()) == 3);
    }
    return !stop_;
}

void Viewer::look() {
    auto p = pivot();
    p.oleSet("BorderStyle", 1);
    p.oleSet("RowStyle", 1);
    p.oleSet("ColStyle", 1);
    p.oleSet("FooterCaption", "- Seite &P of  &PP -");
    p.oleSet("FieldsBackColor", 0x808080);
    p.oleSet("FieldsForeColor", 0xFFFFFF);
    p.oleSet("FieldFont", "MS Sans Serif");
    p.oleSet("FilteredFieldBackColor", p.oleGet("FieldsBackColor"));
    p.oleSet("FilteredFieldForeColor", p.oleGet("FieldsForeColor"));
    p.oleSet("FilteredFieldFont", "MS Sans Serif");
    p.oleSet("FilteredFieldFont.Italic", 1);
    p.oleSet("CubeBackColor", 0x8000000FLL);
    p.oleSet("GridStyle", 1);
    p.oleSet("GridColor", 0x808080);
    p.oleSet("Font", "MS Sans Serif");
    p.oleSet("HeadingsBackColor", 0x8000000FLL);
    p.oleSet("HeadingsForeColor", 0x80000008LL);
    p.oleSet("HeadingsFont", "MS Sans Serif");
    p.oleSet("TotalsBackColor", 0x80000018LL);
    p.oleSet("TotalsForeColor", 0x80000008LL);
    p.oleSet("TotalsFont", "MS Sans Serif");
}

void Viewer::showDetail(int on) {
    const long long count = pivot().oleGet("Fields.Count").toInt();
    for (long long i = 0; i < count; ++i) pivot().oleCall("Fields.Item(" + std::to_string(i) + ").ShowDetail", {on});
}

void Viewer::columnWidths() {
    const long long columns = pivot().oleGet("ColCount").toInt();
    for (long long i = 1; i <= columns - 1; ++i) pivot().oleSet("ColWidth", 65, {i});
}

void Viewer::dump() {
    GLO.Trace = 1;
    auto p = pivot();
    const long long colDepth = p.oleGet("GetColDepth", {0}).toInt();
    DebugTrace("Anzahl Spalten : " + std::to_string(colDepth + 1));
    for (long long i = 0; i <= colDepth + 1; ++i)
        DebugTrace(p.oleGet("Fields(" + std::to_string(i) + ").Name").toText());
    const long long rowDepth = p.oleGet("GetRowDepth", {0}).toInt();
    DebugTrace("Anzahl Zeilen : " + std::to_string(rowDepth));
    for (long long i = 0; i <= rowDepth; ++i)
        DebugTrace(std::to_string(i) + "/ " + p.oleGet("GetRowHeading", {0, i}).toText());
    const long long rows = p.oleGet("RowCount").toInt();
    DebugTrace("Anzahl Zeilen  : " + std::to_string(rows - 1));
    DebugTrace("Anzahl Spalten : " + std::to_string(p.oleGet("ColCount").toInt() - 1));
    for (long long r = 0; r < rows; ++r) {
        std::string line;
        for (long long c = 1; c <= 6; ++c) {
            if (c > 1) line += ";";
            line += p.oleGet("DataValue", {r, c}).toText();
        }
        DebugTrace(line);
    }
}

void Viewer::excel() {
    const std::string file = rt::absolutePath(std::string(GLO.Excelpfad.get().clipped()) + "\\" +
                                              std::string(CUBK.CubeName.clipped()) + ".XLS");
    auto flag = [&](int control) { return w_[control].value() == "1" ? 1 : 0; };
    pivot().setReportErrors(true);
    pivot().oleCall("ExportToExcel", {file, flag(InclSums), flag(InclFormat), flag(InclColor), flag(ExclRepeat)});
    pivot().setReportErrors(false);
    if (w_[StartExcel].value() != "1") return;
    if (rt::fileExists(file))
        RunShellExecute(static_cast<long>(w_.id()), file);
    else
        rt::message("Datei " + file + " wurde nicht angelegt", "Dateifehler", rt::MessageIcon::Information);
}

void Viewer::print() {
    pivot().oleSet("HeaderCaption", std::string(CUBK.Beschreibung.clipped()));
    pivot().oleSet("PrinterOrientation", 2);
    pivot().oleSet("IncludeColorsInPrintout", 1);
    pivot().oleCall("PrintPreview");
}

void Viewer::properties() {
    pivot().setReportErrors(true);
    if (auto object = pivot().object()) object->doVerb(-7);
    pivot().setReportErrors(false);
}

void Viewer::chooseFolder() {
    const rt::FileDialogResult r =
        rt::folderDialog("Pfad für Excel-Exportdatei", std::string(GLO.Excelpfad.get().clipped()));
    // A cancelled dialog keeps the path the user had.
    if (!r.ok) return;
    GLO.Excelpfad = r.path;
    w_[ExcelPath].setValue(r.path);
}

bool Viewer::takeEvent(const rt::EventInfo& e) {
    if (e.event != rt::Event::Accepted) return false;
    GLO.Excelpfad = w_[ExcelPath].value();
    switch (e.control) {
    case Collapse: showDetail(0); return true;
    case Expand: showDetail(1); return true;
    case Save: saveLayout(); return true;
    case Refresh: pivot().oleCall("RefreshData"); return true;
    case Dump: dump(); return true;
    case ColumnWidth: columnWidths(); return true;
    case ExcelPathButton: chooseFolder(); return true;
    case Excel: excel(); return true;
    case Properties: properties(); return true;
    case Print: print(); return true;
    case Load: load(); return true;
    case Ok: w_.post(rt::Event::CloseWindow); return true;
    default: return false;
    }
}

void layout(rt::Window& w) {
    using K = rt::ControlKind;
    w.setSize(600, 340);
    w.edit().centered = true;
    int x = 4;
    auto iconButton = [&](int id, const char* icon, const char* tip) {
        w.add(id, K::Button).setIcon(icon).setTip(tip).setPosition(x, 4, 16, 14);
        x += 18;
    };
    auto button = [&](int id, const char* text, int width) {
        w.add(id, K::Button).setText(text).setPosition(x, 4, width, 14);
        x += width + 2;
    };
    iconButton(Collapse, "FOLDER.ICO", "Darstellung zusammenklappen");
    iconButton(Expand, "FOLDEROPEN.ICO", "Darstellung aufklappen");
    iconButton(Refresh, "REFRESH.ICO", "Datenanzeige aktualisieren");
    button(Save, "Sichern", 40);
    button(Dump, "Cube auslesen", 60);
    button(ColumnWidth, "Spaltenbreite", 58);
    button(Properties, "Properties", 48);
    w.add(Print, K::Button).setText("Drucken").setIcon("PRINT.ICO").setPosition(x, 4, 52, 14);
    x += 54;
    button(Load, "Laden", 36);
    w.add(Ok, K::Button).setText("OK").setPosition(560, 4, 36, 14);

    x = 4;
    auto check = [&](int id, const char* text, int width, bool on) {
        w.add(id, K::Check).setText(text).setValue(on ? "1" : "0").setPosition(x, 22, width, 10);
        x += width + 2;
    };
    check(InclSums, "incl. Summen", 58, false);
    check(InclFormat, "incl. Format", 56, true);
    check(InclColor, "incl. Farbe", 52, true);
    check(ExclRepeat, "excl. Namenswiederholungen", 112, false);
    w.add(ExcelPathPrompt, K::Prompt).setText("Excel-Pfad:").setPosition(x, 23, 40, 10);
    x += 40;
    w.add(ExcelPath, K::Entry)
        .setPicture("@s255")
        .setValue(std::string(GLO.Excelpfad.get().clipped()))
        .setPosition(x, 21, 92, 12);
    x += 93;
    w.add(ExcelPathButton, K::Button)
        .setText("...")
        .setTip("Verzeichnis für Excel-Exportdatei")
        .setPosition(x, 21, 12, 12);
    x += 14;
    check(StartExcel, "Excel starten", 56, true);
    w.add(Excel, K::Button).setText("Excel").setPosition(560, 20, 36, 14);

    w.add(Pivot, K::Ole).setPosition(4, 38, 592, 298);
    w.setStatusZones({0});
}

}  // namespace

void SetViewerAdminCheck(std::function<bool()> isAdmin) {
    std::lock_guard lock(adminMutex);
    adminCheck = std::move(isAdmin);
}

void AnzeigeCube(long cubeId) {
    rt::Window w("AnzeigeCube", "Cube-Anzeige");
    layout(w);

    rt::WindowController wc(w, "AnzeigeCube");
    CommonWindow common(wc);
    wc.addFile(*Relate.VOQCubeKopf);
    wc.addFile(*Relate.VOQCubeDetail);
    Viewer viewer(w, cubeId);
    wc.onInit = [&] {
        viewer.open();
        return 0;
    };
    wc.onOpened = [&] {
        // The control area follows the window; the closing buttons stay at its right edge.
        wc.resizer().setRule(Pivot, rt::resize::GrowWidth | rt::resize::GrowHeight);
        wc.resizer().setRule(Ok, rt::resize::MoveRight);
        wc.resizer().setRule(Excel, rt::resize::MoveRight);
        // The rows of buttons and options keep together; the export folder's entry takes the room.
        wc.resizer().setRule(Load, rt::resize::Fixed);
        wc.resizer().setRule(ExcelPathPrompt, rt::resize::Fixed);
        wc.resizer().setRule(ExcelPath, rt::resize::GrowWidth);
        wc.resizer().setRule(ExcelPathButton, rt::resize::MoveRight);
        wc.resizer().setRule(StartExcel, rt::resize::MoveRight);
        wc.resizer().setMinSize(480, 280);
        w.setMinSize(480, 280);
        wc.resizer().resize();
    };
    wc.onEvent = [&](const rt::EventInfo& e) { return viewer.takeEvent(e); };
    wc.run();
}
