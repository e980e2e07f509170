// The pivot viewer against a recording control: what it tells the control, in which order, for
// the cubes of a real SQLite client database, and what its buttons do.
#include "cubes/viewer/anzeige_cube.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/helpers/input_box.h"
#include "core/helpers/log_helpers.h"
#include "core/sync/structure_update.h"
#include "cubes/datefilter/input_date_box.h"
#include "runtime/os/trace.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/automation.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/viewer/cube_fixture.h"
#include "tests/support/test_support.h"

using namespace anzeige;
using namespace viewertest;

namespace {

// ---- The recording control ------------------------------------------------------------------

std::string shown(const rt::AutoValue& v) {
    return v.type() == rt::AutoValue::Type::Text ? "\"" + v.toText() + "\"" : v.toText();
}

std::string argList(const std::vector<rt::AutoValue>& args) {
    std::string s;
    for (const auto& a : args) s += (s.empty() ? "" : ",") + shown(a);
    return s;
}

struct Recording {
    std::mutex mutex;
    std::vector<std::string> calls;
    void add(std::string call) {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
};

// Members under a name prefix ("FilteredFieldFont.", "fUmsatz.") are recorded with it.
class RecordingMember : public rt::AutomationObject {
public:
    RecordingMember(Recording& r, std::string name) : r_(r), name_(std::move(name)) {}
    rt::AutoValue get(std::string_view member, const std::vector<rt::AutoValue>&) override {
        if (member == "Name") return name_;
        throw rt::AutomationError("no member " + std::string(member));
    }
    void set(std::string_view member, const rt::AutoValue& v, const std::vector<rt::AutoValue>&) override {
        r_.add(name_ + "." + std::string(member) + "=" + shown(v));
    }
    rt::AutoValue call(std::string_view method, const std::vector<rt::AutoValue>& args) override {
        r_.add(name_ + "." + std::string(method) + "(" + argList(args) + ")");
        return {};
    }

private:
    Recording& r_;
    std::string name_;
};

class RecordingFields : public rt::AutomationObject {
public:
    explicit RecordingFields(Recording& r) : r_(r) {}
    std::shared_ptr<rt::AutomationObject> item(long long i) {
        if (i < 0 || i >= static_cast<long long>(fields_.size())) throw rt::AutomationError("index out of range");
        return fields_[static_cast<std::size_t>(i)];
    }
    rt::AutoValue get(std::string_view member, const std::vector<rt::AutoValue>& args) override {
        if (member == "Count") return static_cast<long long>(fields_.size());
        if (member == "Item" && args.size() == 1) return item(args[0].toInt());
        throw rt::AutomationError("no member " + std::string(member));
    }
    void set(std::string_view member, const rt::AutoValue&, const std::vector<rt::AutoValue>&) override {
        throw rt::AutomationError("read-only " + std::string(member));
    }
    rt::AutoValue call(std::string_view method, const std::vector<rt::AutoValue>& args) override {
        if (method != "Add" || args.size() != 3) throw rt::AutomationError("bad call");
        r_.add("Fields.Add(" + argList(args) + ")");
        fields_.push_back(std::make_shared<RecordingMember>(r_, args[0].toText()));
        return std::shared_ptr<rt::AutomationObject>(fields_.back());
    }

private:
    Recording& r_;
    std::vector<std::shared_ptr<RecordingMember>> fields_;
};

class RecordingPivot : public rt::AutomationObject {
public:
    Recording r;
    // Answers of the read members the text dump uses.
    std::map<std::string, rt::AutoValue> answers = {
        {"ColCount", 3}, {"RowCount", 2}, {"GetColDepth", 0}, {"GetRowDepth", 1}};

    rt::AutoValue get(std::string_view member, const std::vector<rt::AutoValue>& args) override {
        const std::string m(member);
        if (m == "Fields") return args.empty() ? rt::AutoValue(fields_) : rt::AutoValue(fields_->item(args[0].toInt()));
        if (m == "FilteredFieldFont") return std::shared_ptr<rt::AutomationObject>(font_);
        if (m == "GetRowHeading") return "Zeile " + args.at(1).toText();
        if (m == "DataValue") return args.at(0).toInt() * 10 + args.at(1).toInt();
        if (auto it = props_.find(m); it != props_.end()) return it->second;
        if (auto it = answers.find(m); it != answers.end()) return it->second;
        throw rt::AutomationError("no member " + m);
    }
    void set(std::string_view member, const rt::AutoValue& v, const std::vector<rt::AutoValue>& args) override {
        std::string m(member);
        if (!args.empty()) m += "(" + argList(args) + ")";
        r.add(m + "=" + shown(v));
        props_[m] = v;
    }
    rt::AutoValue call(std::string_view method, const std::vector<rt::AutoValue>& args) override {
        r.add(std::string(method) + "(" + argList(args) + ")");
        return {};
    }
    bool doVerb(int verb) override {
        r.add("verb " + std::to_string(verb));
        return true;
    }

private:
    std::shared_ptr<RecordingFields> fields_ = std::make_shared<RecordingFields>(r);
    std::shared_ptr<RecordingMember> font_ = std::make_shared<RecordingMember>(r, "FilteredFieldFont");
    std::map<std::string, rt::AutoValue> props_;
};

const std::vector<std::string> kLook = {
    "BorderStyle=1",
    "RowStyle=1",
    "ColStyle=1",
    "FooterCaption=\"- Seite &P of  &PP -\"",
    "FieldsBackColor=8421504",
    "FieldsForeColor=16777215",
    "FieldFont=\"MS Sans Serif\"",
    "FilteredFieldBackColor=8421504",
    "FilteredFieldForeColor=16777215",
    "FilteredFieldFont=\"MS Sans Serif\"",
    "FilteredFieldFont.Italic=1",
    "CubeBackColor=2147483663",
    "GridStyle=1",
    "GridColor=8421504",
    "Font=\"MS Sans Serif\"",
    "HeadingsBackColor=2147483663",
    "HeadingsForeColor=2147483656",
    "HeadingsFont=\"MS Sans Serif\"",
    "TotalsBackColor=2147483672",
    "TotalsForeColor=2147483656",
    "TotalsFont=\"MS Sans Serif\"",
};

class AnzeigeCubeTest : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        connect_ = voq::test::sqliteConnectString(file("client.db"));
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "CREATE TABLE tUmsatz (cGruppe TEXT, nJahr INTEGER, fUmsatz REAL, "
                                     "fDB REAL, fMenge REAL)"),
                  "");
        GLO.ConnectString = connect_;
        onThread([] {
            StructureRun run;
            std::string error;
            EXPECT_TRUE(SynchroniseStructures(run, error)) << error;
        });
        rt::registerControlFactory(kPivotProgId, [this] {
            auto p = std::make_shared<RecordingPivot>();
            std::lock_guard lock(pivotsMutex_);
            pivots_.push_back(p);
            return p;
        });
        SetDebugTraceSwitch([] { return GLO.Trace.get() == 1; });
        rt::setTraceCapture([this](std::string_view line) { trace_.emplace_back(line); });
    }
    void TearDown() override {
        display_.shutdown();
        rt::setTraceCapture({});
        SetDebugTraceSwitch({});
        SetViewerAdminCheck({});
        rt::unregisterControlFactory(kPivotProgId);
        WorkingFolderTest::TearDown();
    }
    void onThread(std::function<void()> body) { onProgramThread(body); }
    long addCube(const CubeSpec& spec) {
        long id = 0;
        onThread([&] { storeCube(spec, id); });
        return id;
    }
    // Starts the viewer on a program thread of its own.
    void open(long id) {
        thread_ = rt::startThread([id] {
            InitDictionary();
            AnzeigeCube(id);
            KillDictionary();
        });
    }
    rt::WindowId viewer() { return user_.waitWindow("AnzeigeCube"); }
    void close(rt::WindowId w) {
        user_.press(w, Ok);
        user_.waitThreadEnd(thread_);
    }
    // The calls of the control the window holds.
    std::vector<std::string> calls() {
        std::lock_guard lock(pivotsMutex_);
        if (pivots_.empty()) return {};
        std::lock_guard lock2(pivots_.back()->r.mutex);
        return pivots_.back()->r.calls;
    }
    std::vector<std::string> callsSince(std::size_t from) {
        auto all = calls();
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
    std::vector<std::string> fileLines(const std::string& name) {
        std::ifstream in(file(name));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::string connect_;
    int thread_ = 0;
    std::mutex pivotsMutex_;
    std::vector<std::shared_ptr<RecordingPivot>> pivots_;
    std::vector<std::string> trace_;
};

TEST_F(AnzeigeCubeTest, LoadTellsTheControlEverythingInItsOrder) {
    open(addCube({}));
    const rt::WindowId w = viewer();
    std::vector<std::string> expected = {
        "AutoDatRefresh=0",
        "GNConnectType=\"3\"",
        "GNConnect=\"DSN=eigener\"",
        "GNRecordSource=\"SELECT * FROM tUmsatz\"",
        "Fields.Add(\"cGruppe\",\"Gruppe\",2)",
        "Fields.Add(\"nJahr\",\"Jahr\",1)",
        "nJahr.GroupFooterVisible=0",
        "Fields.Add(\"fUmsatz\",\"Umsatz\",3)",
        "fUmsatz.NumberFormat=\"@n-14.2\"",
        "fUmsatz.AggregateFunc=0",
        "fUmsatz.GroupFooterType=1",
        "Fields.Add(\"fDB\",\"DB %\",3)",
        "fDB.NumberFormat=\"@n6.1\"",
        "fDB.AggregateFunc=2",
        "fDB.GroupFooterType=4",
        "Fields.Add(\"fMenge\",\"Menge\",3)",
        "fMenge.GroupFooterType=1",  // no aggregate: no number format, no function
    };
    expected.insert(expected.end(), kLook.begin(), kLook.end());
    expected.insert(expected.end(), {"AutoDatRefresh=1", "RefreshData()", "Refresh()"});
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(user_.window(w).title, "Umsatz/ Umsatz je Gruppe");
    EXPECT_EQ(user_.clipboard(), "SELECT * FROM tUmsatz");
    EXPECT_EQ(user_.window(w).minWidth, 480);

    // "Laden" goes through it all again on a new control.
    user_.press(w, Load);
    EXPECT_EQ(calls(), expected);
    close(w);
}

struct EdgeCase {
    const char* name;
    CubeSpec cube;
    int connectGlobal;
    const char* answer;                      // typed into the parameter box; null: none is asked
    std::vector<std::string> expectedCalls;  // each found in the recording, in this order
};

TEST_F(AnzeigeCubeTest, EdgeCases) {
    CubeSpec withParameter;
    withParameter.parameterText = "WHERE cGruppe = #cParameter#";
    withParameter.zeitraum = 1;
    CubeSpec range = withParameter;
    range.zeitraum = 0;
    CubeSpec dated;
    dated.parameterText = "WHERE dDatum = #dParameter#";
    CubeSpec compressed;
    compressed.compress = 1;
    CubeSpec unplaced;
    unplaced.fields = {{"cGruppe", "Gruppe", "@s30", "0", "", 1}, {"fUmsatz", "Umsatz", "@n-14.2", "0", "3", 1}};
    const std::string year = std::to_string(rt::ymdFromDate(rt::today()).year);
    const EdgeCase cases[] = {
        {"text parameter 4711 and the period",
         withParameter,
         0,
         "4711",
         {"GNRecordSource=\"SELECT * FROM tUmsatz WHERE cGruppe = '4711' AND Jahr='" + year + "'\""}},
        {"a range", range, 0, "A;M", {"GNRecordSource=\"SELECT * FROM tUmsatz WHERE cGruppe  BETWEEN 'A' AND 'M'\""}},
        {"a date range from the date filter",
         dated,
         0,
         "01.01.2026;31.01.2026",
         {"GNRecordSource=\"SELECT * FROM tUmsatz WHERE dDatum  BETWEEN '2026-01-01' AND '2026-01-31'\""}},
        {"the client's connect string for every cube", {}, 1, nullptr, {"GNConnect=\"" + connect_ + "\""}},
        {"collapsed on opening",
         compressed,
         0,
         nullptr,
         {"Refresh()", "cGruppe.ShowDetail(0)", "nJahr.ShowDetail(0)", "fUmsatz.ShowDetail(0)", "fDB.ShowDetail(0)",
          "fMenge.ShowDetail(0)"}},
        {"a field stored without orientation is hidden",
         unplaced,
         0,
         nullptr,
         {"Fields.Add(\"cGruppe\",\"Gruppe\",0)", "Fields.Add(\"fUmsatz\",\"Umsatz\",3)"}},
    };
    int n = 0;
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        GLO.ConnectGlobal = static_cast<rt::Byte>(c.connectGlobal);
        CubeSpec cube = c.cube;
        cube.name += std::to_string(++n);
        open(addCube(cube));
        if (c.cube.parameterText.find("#dParameter#") != std::string::npos) {
            const rt::WindowId box = user_.waitWindow(datefilter::kTitle);
            const std::string answer = c.answer;
            user_.setValue(box, datefilter::FromDate, answer.substr(0, answer.find(';')));
            user_.setValue(box, datefilter::ToDate, answer.substr(answer.find(';') + 1));
            user_.press(box, datefilter::Ok);
        } else if (c.answer) {
            const rt::WindowId box = user_.waitWindow("Parameter");
            EXPECT_EQ(user_.text(box, INPUTBOX_MESSAGE), "Character Parameter eingeben");
            user_.setValue(box, INPUTBOX_ENTRY, c.answer);
            user_.press(box, INPUTBOX_OK);
        }
        const rt::WindowId w = viewer();
        const auto all = calls();
        auto at = all.begin();
        for (const auto& expected : c.expectedCalls) {
            at = std::find(at, all.end(), expected);
            ASSERT_NE(at, all.end()) << expected;
        }
        close(w);
    }
}

TEST_F(AnzeigeCubeTest, APlaceholderOnlyOtherWindowsFillIsRefusedWithOneMessage) {
    CubeSpec list;
    list.bigQuery = "SELECT #FELDLISTE# FROM tUmsatz";
    open(addCube(list));
    const auto box = user_.waitMessageBox();
    EXPECT_NE(box.text.find("#FELDLISTE#"), std::string::npos) << box.text;
    EXPECT_EQ(box.title, "Fehler");
    user_.answerMessageBox(rt::button::Ok);
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(user_.messageBoxes().size(), 1u);
    for (const auto& call : calls()) EXPECT_EQ(call.rfind("GNRecordSource", 0), std::string::npos) << call;
}

TEST_F(AnzeigeCubeTest, ASavedLayoutOfTheCubeIsAppliedAfterItsFields) {
    CubeSpec compressed;
    compressed.compress = 1;
    const long id = addCube(compressed);
    const std::string layout = "Cube" + std::to_string(id) + ".CUB";
    { std::ofstream(file(layout)) << "[Pivot]\n"; }
    open(id);
    const rt::WindowId w = viewer();
    const auto all = calls();
    const auto load = std::find(all.begin(), all.end(), "Load(\"" + layout + "\")");
    ASSERT_NE(load, all.end());
    EXPECT_EQ(*(load - 1), "fMenge.GroupFooterType=1");  // after the last field
    EXPECT_EQ(*(load + 1), kLook.front());
    // Its folds are the user's: the stored compression gives way.
    EXPECT_EQ(all.back(), "Refresh()");
    close(w);
}

TEST_F(AnzeigeCubeTest, MissingCubeClosesTheWindow) {
    open(4711);
    const auto box = user_.waitMessageBox();
    EXPECT_EQ(box.text, "Cube existiert nicht");
    EXPECT_EQ(box.title, "Fehler");
    user_.answerMessageBox(rt::button::Ok);
    user_.waitThreadEnd(thread_);
    EXPECT_EQ(calls(), (std::vector<std::string>{"AutoDatRefresh=0"}));
}

TEST_F(AnzeigeCubeTest, AWiderWindowKeepsEachRowOfControlsTogether) {
    open(addCube({}));
    const rt::WindowId w = viewer();
    auto at = [&](int id) { return user_.control(w, id); };
    const auto prompt = at(ExcelPathPrompt), path = at(ExcelPath), load = at(Load), print = at(Print), ok = at(Ok);
    user_.resize(w, 900, 340);
    user_.settle(thread_);
    // The label stays before its entry, "Laden" beside "Drucken"; the entry takes the new room.
    EXPECT_EQ(at(ExcelPathPrompt).x, prompt.x);
    EXPECT_EQ(at(ExcelPath).x, path.x);
    EXPECT_EQ(at(ExcelPath).width, path.width + 300);
    EXPECT_EQ(at(ExcelPathButton).x, at(ExcelPath).x + at(ExcelPath).width + 1);
    EXPECT_GT(at(StartExcel).x, at(ExcelPathButton).x);
    EXPECT_LT(at(StartExcel).x + at(StartExcel).width, at(Excel).x);
    EXPECT_EQ(at(Load).x - at(Print).x, load.x - print.x);
    EXPECT_EQ(at(Ok).x, ok.x + 300);
    close(w);
}

struct ButtonCase {
    int button;
    std::vector<std::string> calls;
};

TEST_F(AnzeigeCubeTest, Buttons) {
    const long id = addCube({});
    open(id);
    const rt::WindowId w = viewer();
    const ButtonCase cases[] = {
        {Collapse,
         {"cGruppe.ShowDetail(0)", "nJahr.ShowDetail(0)", "fUmsatz.ShowDetail(0)", "fDB.ShowDetail(0)",
          "fMenge.ShowDetail(0)"}},
        {Expand,
         {"cGruppe.ShowDetail(1)", "nJahr.ShowDetail(1)", "fUmsatz.ShowDetail(1)", "fDB.ShowDetail(1)",
          "fMenge.ShowDetail(1)"}},
        {Save, {"Save(\"Cube.CUB\",1)", "Save(\"Cube" + std::to_string(id) + ".CUB\",1)"}},
        {Refresh, {"RefreshData()"}},
        {ColumnWidth, {"ColWidth(1)=65", "ColWidth(2)=65"}},
        {Print,
         {"HeaderCaption=\"Umsatz je Gruppe\"", "PrinterOrientation=2", "IncludeColorsInPrintout=1", "PrintPreview()"}},
        {Properties, {"verb -7"}},
    };
    for (const ButtonCase& c : cases) {
        const std::size_t before = calls().size();
        user_.press(w, c.button);
        EXPECT_EQ(callsSince(before), c.calls) << c.button;
        if (c.button == Save) {
            EXPECT_EQ(user_.statusText(w, 1), "Layout gesichert: Cube.CUB und Cube" + std::to_string(id) + ".CUB");
        }
    }
    close(w);
}

TEST_F(AnzeigeCubeTest, ExcelExportAndItsFolder) {
    GLO.Excelpfad = "export";
    open(addCube({}));
    const rt::WindowId w = viewer();
    EXPECT_EQ(user_.value(w, ExcelPath), "export");

    // A cancelled folder dialog keeps the path.
    user_.queueFileDialogAnswer({});
    user_.press(w, ExcelPathButton);
    EXPECT_EQ(user_.fileDialogs().back().title, "Pfad für Excel-Exportdatei");
    EXPECT_EQ(user_.value(w, ExcelPath), "export");
    EXPECT_EQ(std::string(GLO.Excelpfad.get().clipped()), "export");

    std::filesystem::create_directory(file("aus"));
    user_.queueFileDialogAnswer({true, file("aus"), 1});
    user_.press(w, ExcelPathButton);
    EXPECT_EQ(user_.value(w, ExcelPath), file("aus"));

    // The options in their order; the recording control writes no file.
    user_.check(w, InclSums, true);
    user_.check(w, InclColor, false);
    const std::size_t before = calls().size();
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w, Excel);
    const std::string xls = file("aus") + "/Umsatz.XLS";
    EXPECT_EQ(callsSince(before), (std::vector<std::string>{"ExportToExcel(\"" + xls + "\",1,1,0,0)"}));
    const auto box = user_.lastMessageBox();
    EXPECT_EQ(box.text, "Datei " + xls + " wurde nicht angelegt");
    EXPECT_EQ(box.title, "Dateifehler");
    close(w);
    EXPECT_EQ(std::string(GLO.Excelpfad.get().clipped()), file("aus"));
}

TEST_F(AnzeigeCubeTest, TextDumpToTheTrace) {
    open(addCube({}));
    const rt::WindowId w = viewer();
    trace_.clear();
    user_.press(w, Dump);
    const std::vector<std::string> expected = {
        "Anzahl Spalten : 1",
        "cGruppe",
        "nJahr",
        "Anzahl Zeilen : 1",
        "0/ Zeile 0",
        "1/ Zeile 1",
        "Anzahl Zeilen  : 1",
        "Anzahl Spalten : 2",
        "1;2;3;4;5;6",
        "11;12;13;14;15;16",
    };
    std::vector<std::string> lines;
    for (const auto& t : trace_) lines.push_back(t.substr(t.find("- ") + 2));
    EXPECT_EQ(lines, expected);
    close(w);
}

struct RegistrationCase {
    const char* name;
    bool registered;
    bool admin;
    const char* boxTitle;  // null: none
    bool loads;
    std::vector<std::string> logTail;
};

TEST_F(AnzeigeCubeTest, RegistrationCheck) {
    GLO.DIAGNOSE = 1;
    const long id = addCube({});
    const RegistrationCase cases[] = {
        {"registered", true, false, nullptr, true, {"Registrierung GNOVA3.OCX ist OK", "Runcode : 0"}},
        {"missing, no admin", false, false, "Admin-Rechte", false, {"------- Registrierung GNOVA3.OCX prüfen -------"}},
        {"missing, admin",
         false,
         true,
         "Fehler beim Registrieren von GNOVA3.OCX",
         true,
         {"Registrierung GNOVA3.OCX fehlgeschlagen", "Runcode : 2"}},
    };
    for (const RegistrationCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(file(kPivotRegistrationLog));
        if (!c.registered) rt::unregisterControlFactory(kPivotProgId);
        SetViewerAdminCheck([&c] { return c.admin; });
        open(id);
        if (c.boxTitle) {
            EXPECT_EQ(user_.waitMessageBox().title, c.boxTitle);
            user_.answerMessageBox(rt::button::Ok);
        }
        const rt::WindowId w = viewer();
        EXPECT_EQ(user_.window(w).title, c.loads ? "Umsatz/ Umsatz je Gruppe" : "Cube-Anzeige");
        const auto log = fileLines(kPivotRegistrationLog);
        ASSERT_GE(log.size(), std::max<std::size_t>(2, c.logTail.size()));
        EXPECT_EQ(log[0].rfind("------- ", 0), 0u);
        EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(c.logTail.size()), log.end()), c.logTail);
        close(w);
        if (!c.registered) {
            rt::registerControlFactory(kPivotProgId, [] { return std::make_shared<RecordingPivot>(); });
        }
    }
}

struct DiagnosisCase {
    const char* name;
    const char* table;
    std::vector<FieldSpec> fields;
    bool closes;
    std::vector<std::string> log;
};

TEST_F(AnzeigeCubeTest, DiagnosisWritesItsLogAndStopsOnWhatIsMissing) {
    GLO.DIAGNOSE = 1;
    const DiagnosisCase cases[] = {
        {"all there",
         "tUmsatz",
         {{"cGruppe", "Gruppe", "", "", "2", 1}, {"fUmsatz*2", "Doppelt", "", "0", "3", 1}},
         false,
         {"Diagnose der Auswertung", "-----------------------", "Anzahl Felder : 5", "Tabelle/ Sicht tUmsatz vorhanden",
          "Feld cGruppe vorhanden, CubeName Gruppe", "Rechenfeld fUmsatz*2 CubeName Doppelt"}},
        {"missing field",
         "tUmsatz",
         {{"cFehlt", "Fehlt", "", "", "2", 1}, {"cGruppe", "Gruppe", "", "", "2", 1}},
         true,
         {"Diagnose der Auswertung", "-----------------------", "Anzahl Felder : 5", "Tabelle/ Sicht tUmsatz vorhanden",
          "Feld cFehlt nicht vorhanden, CubeName Fehlt"}},
        {"missing table",
         "tFehlt",
         {{"cGruppe", "Gruppe", "", "", "2", 1}},
         true,
         {"Diagnose der Auswertung", "-----------------------", "Anzahl Felder : 0",
          "Tabelle/ Sicht tFehlt nicht vorhanden"}},
    };
    int n = 0;
    for (const DiagnosisCase& c : cases) {
        SCOPED_TRACE(c.name);
        CubeSpec cube;
        cube.name = "Diagnose" + std::to_string(++n);
        cube.tabName = c.table;
        cube.fields = c.fields;
        open(addCube(cube));
        if (c.closes) {
            user_.waitThreadEnd(thread_);
        } else {
            close(viewer());
        }
        EXPECT_EQ(fileLines(cube.name + ".LOG"), c.log);
    }
}

}  // namespace
