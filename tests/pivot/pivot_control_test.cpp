// The control's automation members: bad indexes and values give the control's error and leave
// it working; the layout file and the spreadsheet export.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "pivot/load_progress.h"
#include "pivot/number_format.h"
#include "tests/pivot/pivot_fixture.h"

using namespace pivottest;
using rt::AutoValue;

namespace {

// The first sheet read back by openpyxl: one line per row, cells joined by ";", then the number
// format of the first value cell.
std::string readSheet(const voq::test::TempDir& dir, const std::string& file) {
    auto script = (dir.path() / "read.py").string();
    {
        std::ofstream py(script);
        py << "import sys, openpyxl\n"
              "ws = openpyxl.load_workbook(open(sys.argv[1], 'rb')).active\n"
              "for row in ws.iter_rows(values_only=True):\n"
              "    print(';'.join('' if v is None else (('%.2f' % v) if isinstance(v, float) else str(v)) for v in "
              "row))\n"
              "print('FORMAT', ws.cell(row=3, column=2).number_format)\n";
    }
    std::string out;
    FILE* p = popen(("/usr/bin/python3 " + script + " " + file).c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) out += buf;
    if (p) pclose(p);
    return out;
}

class PivotControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        control_ = salesControl(dir_, {{"Region", "Region", 2}, {"Jahr", "Jahr", 1}, {"Umsatz", "Umsatz", 3}});
        ASSERT_TRUE(control_);
        rt::automationSet(*control_, "Fields(2).NumberFormat", "#,##0.00");
    }
    voq::test::TempDir dir_;
    std::shared_ptr<pivot::PivotControl> control_;
};

TEST_F(PivotControlTest, BadIndexesAndValuesAreTheControlsError) {
    auto& c = *control_;
    enum Kind { Get, Set, Call };
    struct Case {
        Kind kind;
        std::string path;
        AutoValue value;
        std::vector<AutoValue> args;
    };
    const std::vector<Case> cases = {
        {Set, "GNConnectType", 1, {}},
        {Set, "GNConnectType", "ODBC", {}},
        {Get, "Fields.Item", {}, {3}},
        {Get, "Fields.Item", {}, {-1}},
        {Get, "Fields", {}, {99}},
        {Call, "Fields.Add", {}, {"X", "X", 5}},
        {Call, "Fields.Add", {}, {"", "X", 2}},
        {Set, "Fields(2).AggregateFunc", 9, {}},
        {Set, "Fields(2).AggregateFunc", -1, {}},
        {Set, "Fields(2).Orientation", 7, {}},
        {Set, "Fields(2).GroupFooterType", 2, {}},
        {Set, "Fields(2).NumberFormat", "@x12", {}},
        {Set, "Fields(2).NumberFormat", "abc", {}},
        {Set, "ColWidth", 65, {999}},
        {Set, "ColWidth", -5, {1}},
        {Get, "ColWidth", {}, {-1}},
        {Get, "DataValue", {}, {99, 1}},
        {Get, "DataValue", {}, {1, 99}},
        {Get, "DataValue", {}, {1}},
        {Get, "GetRowHeading", {}, {0, 5}},
        {Get, "GetRowDepth", {}, {-3}},
        {Set, "PrinterOrientation", 3, {}},
        {Set, "CubeBackColor", int64_t(0x80000099), {}},
        {Set, "GridColor", int64_t(0x1000000), {}},
        {Set, "GridColor", "rot", {}},
        {Set, "FilteredFieldFont.Size", 0, {}},
        {Set, "BorderStyle", 9, {}},
        {Get, "NoSuchMember", {}, {}},
        {Call, "Save", {}, {""}},
        {Call, "ExportToExcel", {}, {"/no/such/folder/x.XLS", 1, 1, 1, 0}},
        {Call, "Load", {}, {"/no/such/file.CUB"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path + " " + k.value.toText());
        EXPECT_THROW(
            {
                if (k.kind == Get)
                    rt::automationGet(c, k.path, k.args);
                else if (k.kind == Set)
                    rt::automationSet(c, k.path, k.value, k.args);
                else
                    rt::automationCall(c, k.path, k.args);
            },
            rt::AutomationError);
    }
    // Still whole: the values the viewer sets and reads.
    rt::automationSet(c, "FooterCaption", "- Seite &P of  &PP -");
    rt::automationSet(c, "CubeBackColor", int64_t(0x8000000F));
    rt::automationSet(c, "FilteredFieldFont.Italic", 1);
    rt::automationSet(c, "FieldFont", "MS Sans Serif");
    EXPECT_EQ(rt::automationGet(c, "FilteredFieldFont.Italic").toInt(), 1);
    EXPECT_EQ(rt::automationGet(c, "CubeBackColor").toInt(), 0x8000000F);
    EXPECT_EQ(rt::automationGet(c, "Fields.Count").toInt(), 3);
    EXPECT_EQ(rt::automationGet(c, "Fields(2).Name").toText(), "Umsatz");
    // Ahorn, Ährenfeld, Zeppelin, total; 2024, 2025, total.
    EXPECT_EQ(rt::automationGet(c, "RowCount").toInt(), 5);
    EXPECT_EQ(rt::automationGet(c, "ColCount").toInt(), 4);
    for (int i = 1; i < 4; ++i) rt::automationSet(c, "ColWidth(" + std::to_string(i) + ")", 65);
    EXPECT_EQ(rt::automationGet(c, "ColWidth", {3}).toInt(), 65);
    // Duplicate names are allowed.
    rt::automationCall(c, "Fields.Add", {"Umsatz", "Umsatz 2", 3});
    EXPECT_EQ(rt::automationGet(c, "ColCount").toInt(), 7);
}

TEST_F(PivotControlTest, EngineFailuresAreTheControlsErrorToo) {
    auto& c = *control_;
    rt::automationSet(c, "GNRecordSource", "SELECT * FROM Fehlt");
    try {
        rt::automationCall(c, "RefreshData");
        FAIL() << "no error";
    } catch (const rt::AutomationError& e) {
        EXPECT_NE(std::string(e.what()).find("SQLSTATE"), std::string::npos) << e.what();
    }
    // The old data stays.
    EXPECT_EQ(rt::automationGet(c, "RowCount").toInt(), 5);
}

TEST_F(PivotControlTest, LayoutRoundTripsWithoutTheConnectString) {
    auto& c = *control_;
    rt::automationSet(c, "Fields(0).ShowDetail", 0);
    rt::automationSet(c, "Fields(1).Orientation", 2);
    control_->setHiddenItems(0, {"Zeppelin"});
    control_->toggleDetail(0, "Ahorn");  // one region open while the others are folded
    rt::automationSet(c, "ColWidth(1)", 65);
    auto file = (dir_.path() / "Cube.CUB").string();
    rt::automationCall(c, "Save", {file, 1});

    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("sales.db"), std::string::npos);
    EXPECT_EQ(text.str().find("DRIVER"), std::string::npos);
    for (auto& e : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

    auto before = control_->fields();
    auto other = newControl();
    rt::automationCall(*other, "Fields.Add", {"Region", "Region", 2});
    rt::automationCall(*other, "Fields.Add", {"Jahr", "Jahr", 1});
    rt::automationCall(*other, "Fields.Add", {"Umsatz", "Umsatz", 3});
    rt::automationCall(*other, "Load", {file});
    auto after = other->fields();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].orientation, before[i].orientation);
        EXPECT_EQ(after[i].position, before[i].position);
        EXPECT_EQ(after[i].showDetail, before[i].showDetail);
        EXPECT_EQ(after[i].hiddenItems, before[i].hiddenItems);
        EXPECT_EQ(after[i].toggledItems, before[i].toggledItems);
        EXPECT_EQ(after[i].numberFormat, before[i].numberFormat);
    }
    EXPECT_EQ(other->colWidth(1), 65);
    EXPECT_EQ(before[0].toggledItems, std::set<std::string>{"Ahorn"});
}

TEST_F(PivotControlTest, ExcelExportReadsBackWithItsNumbersAndShape) {
    auto& c = *control_;
    auto file = (dir_.path() / "Verkauf.XLS").string();
    auto read = [&] { return readSheet(dir_, file); };
    // With totals and formats; names repeated.
    rt::automationCall(c, "ExportToExcel", {file, 1, 1, 1, 0});
    EXPECT_EQ(read(),
              ";2024;2025;Gesamtergebnis\n"
              "Region;Umsatz;Umsatz;Umsatz\n"
              "Ahorn;200;159.99;359.99\n"
              "Ährenfeld;210;355.25;565.25\n"
              "Zeppelin;500;64;564\n"
              "Gesamtergebnis;910;579.24;1489.24\n"
              "FORMAT #,##0.00\n");
    // Without totals and formats.
    rt::automationCall(c, "ExportToExcel", {file, 0, 0, 0, 0});
    EXPECT_EQ(read(),
              ";2024;2025\n"
              "Region;Umsatz;Umsatz\n"
              "Ahorn;200;159.99\n"
              "Ährenfeld;210;355.25\n"
              "Zeppelin;500;64\n"
              "FORMAT General\n");
}

// The sheet as openpyxl reads it: its name, then one line per row with numbers marked "#".
std::string readTypedSheet(const voq::test::TempDir& dir, const std::string& file) {
    auto script = (dir.path() / "typed.py").string();
    {
        std::ofstream py(script);
        py << "import sys, openpyxl\n"
              "ws = openpyxl.load_workbook(open(sys.argv[1], 'rb')).active\n"
              "print(ws.title)\n"
              "for row in ws.iter_rows(values_only=True):\n"
              "    print(';'.join('' if v is None else str(v) if isinstance(v, str) else '#%g' % v for v in row))\n";
    }
    std::string out;
    FILE* p = popen(("/usr/bin/python3 '" + script + "' '" + file + "'").c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) out += buf;
    if (p) pclose(p);
    return out;
}

TEST_F(PivotControlTest, ExcelExportShowsThePageSelectionAndNumericItemsAsNumbers) {
    auto& c = *control_;
    rt::automationCall(c, "Fields.Add", {"Kanal", "Vertriebskanal", 4});
    auto file = (dir_.path() / "Umsatz Regionen.XLS").string();
    rt::automationCall(c, "ExportToExcel", {file, 0, 0, 0, 0});
    EXPECT_EQ(readTypedSheet(dir_, file),
              "Umsatz Regionen\n"
              "Vertriebskanal;(Alle);\n"
              ";;\n"
              ";#2024;#2025\n"
              "Region;Umsatz;Umsatz\n"
              "Ahorn;#200;#159.99\n"
              "Ährenfeld;#210;#355.25\n"
              "Zeppelin;#500;#64\n");
    // "Laden" filtered out: the sheet says so, and its numbers are those of the other channels.
    control_->setHiddenItems(3, {"Laden"});
    rt::automationSet(c, "Fields(1).Orientation", 2);  // the year as a row beside the region
    rt::automationCall(c, "ExportToExcel", {file, 0, 0, 0, 0});
    EXPECT_EQ(readTypedSheet(dir_, file),
              "Umsatz Regionen\n"
              "Vertriebskanal;Messe, Web;\n"
              ";;\n"
              "Region;Jahr;Umsatz\n"
              "Ahorn;#2024;\n"  // its one web line has no amount
              "Ährenfeld;#2025;#300\n"
              "Zeppelin;#2024;#500\n");
}

TEST_F(PivotControlTest, ExcelExportWithoutRepeatedNames) {
    auto& c = *control_;
    rt::automationSet(c, "Fields(1).Orientation", 2);  // the year beside the region
    auto file = (dir_.path() / "Verkauf.XLS").string();
    rt::automationCall(c, "ExportToExcel", {file, 0, 1, 0, 1});
    std::string text = readSheet(dir_, file);
    EXPECT_NE(text.find("Ahorn;2024;200\n;2025;159.99\nÄhrenfeld;2024;210\n;2025;355.25\n"), std::string::npos) << text;
    rt::automationCall(c, "ExportToExcel", {file, 0, 1, 0, 0});
    EXPECT_NE(readSheet(dir_, file).find("Ahorn;2024;200\nAhorn;2025;159.99\n"), std::string::npos);
}

TEST_F(PivotControlTest, WithoutRowFieldsTheExportWithoutTotalsKeepsTheValues) {
    auto& c = *control_;
    rt::automationSet(c, "Fields(0).Orientation", 0);
    auto file = (dir_.path() / "Verkauf.XLS").string();
    rt::automationCall(c, "ExportToExcel", {file, 0, 1, 1, 0});
    std::string text = readSheet(dir_, file);
    EXPECT_NE(text.find("\nGesamtergebnis;910;579.24\n"), std::string::npos) << text;
}

}  // namespace

TEST(PivotControlLimits, AWideSparseTableHoldsOnlyTheCellsRowsFallIn) {
    // 6,000 row items x 6,000 column items, one row each on the diagonal.
    auto store = std::make_shared<pivot::ColumnStore>();
    size_t a = store->addColumn("A", true), b = store->addColumn("B", true), v = store->addColumn("V", true);
    for (int i = 0; i < 6000; ++i) {
        store->appendNumber(a, i);
        store->appendNumber(b, i);
        store->appendNumber(v, i);
        store->finishRow();
    }
    pivot::PivotControl c;
    rt::automationCall(c, "Fields.Add", {"A", "A", 2});
    rt::automationCall(c, "Fields.Add", {"B", "B", 1});
    rt::automationCall(c, "Fields.Add", {"V", "V", 3});
    c.setData(store);
    EXPECT_EQ(rt::automationGet(c, "RowCount").toInt(), 6002);
    EXPECT_EQ(rt::automationGet(c, "ColCount").toInt(), 6002);
    auto t = c.table();
    EXPECT_EQ(t->cells_.size(), 3u * 6000 + 1);  // each row's cell, its line total, its column total, the total
    EXPECT_EQ(*t->value(4711, 4711), 4711);
    EXPECT_FALSE(t->value(4711, 4712));
    EXPECT_EQ(*t->value(6000, 6000), 6000.0 * 5999 / 2);
}

TEST(PivotControlLimits, ItemCombinationsBeyondOneTableAreNumberedInOrder) {
    // 70,000 items under which 300 more: more combinations than one table of them holds.
    auto store = std::make_shared<pivot::ColumnStore>();
    size_t a = store->addColumn("A", true), b = store->addColumn("B", true), v = store->addColumn("V", true);
    for (int i = 70000; i-- > 0;) {
        store->appendNumber(a, i);
        store->appendNumber(b, i % 300);
        store->appendNumber(v, i);
        store->finishRow();
    }
    pivot::PivotControl c;
    c.setParallel(3, 1);
    rt::automationCall(c, "Fields.Add", {"A", "A", 2});
    rt::automationCall(c, "Fields.Add", {"B", "B", 2});
    rt::automationCall(c, "Fields.Add", {"V", "V", 3});
    c.setData(store);
    auto t = c.table();
    ASSERT_EQ(t->lineCount(), 2u * 70000 + 1);  // each item, its subtotal, the total
    EXPECT_EQ(t->rowHeading(2 * 4711, 0), "4711");
    EXPECT_EQ(t->rowHeading(2 * 4711, 1), std::to_string(4711 % 300));
    EXPECT_EQ(*t->value(2 * 4711, 0), 4711);
    EXPECT_EQ(*t->value(2 * 70000, 0), 70000.0 * 69999 / 2);
}

TEST(PivotParallel, CallersSideBySideEachGetEveryPartAndTheirOwnErrors) {
    // The workers serve one caller at a time; the others run on threads of their own.
    std::vector<std::thread> callers;
    std::atomic<int> wrong{0}, thrown{0};
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&, c] {
            for (int round = 0; round < 200; ++round) {
                std::vector<std::atomic<int>> seen(1000);
                pivot::inParts(seen.size(), 6, [&](unsigned, size_t b, size_t e) {
                    for (size_t i = b; i < e; ++i) ++seen[i];
                });
                for (auto& s : seen) wrong += s != 1;
                // A part that splits its own work again.
                std::atomic<int> inner{0};
                pivot::inParts(4, 4, [&](unsigned, size_t, size_t) {
                    pivot::inParts(10, 3, [&](unsigned, size_t b, size_t e) { inner += int(e - b); });
                });
                wrong += inner != 40;
                try {
                    pivot::inParts(100, 5, [&](unsigned p, size_t, size_t) {
                        if (p == unsigned(c % 5)) throw std::runtime_error("Teil " + std::to_string(p));
                    });
                } catch (const std::runtime_error& e) {
                    thrown += std::string(e.what()) == "Teil " + std::to_string(c % 5);
                }
            }
        });
    for (auto& t : callers) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(thrown, 4 * 200);
}

TEST(PivotParallel, AForkedChildSplitsItsWorkWithoutItsParentsWorkers) {
    std::atomic<int> sum{0};
    pivot::inParts(8, 4, [&](unsigned, size_t b, size_t e) { sum += int(e - b); });  // the workers are there
    ASSERT_EQ(sum, 8);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<int> n{0};
        pivot::inParts(1000, 4, [&](unsigned, size_t b, size_t e) { n += int(e - b); });
        std::exit(n == 1000 ? 0 : 3);  // the program's end, with its objects' destructors
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PivotControlLimits, ManyTextItemsAreInGermanOrderHoweverLongTheirCommonStart) {
    // Texts of few letters, so that many share long starts and differ only in case, umlaut or
    // "ß" against "ss" far in; some all alike up to their last letter.
    const char* letters[] = {"a", "A", "ä", "Ä", "s", "ß", "ss", "b", " ", "z", "é"};
    std::mt19937 rng(17);
    std::set<std::string> texts;
    while (texts.size() < 6000) {
        std::string t = texts.size() % 3 == 0 ? "Warengruppe Elektro Zubehör " : "";
        for (size_t n = rng() % 24; n-- > 0;) t += letters[rng() % std::size(letters)];
        texts.insert(t);
    }
    std::vector<std::string> expected(texts.begin(), texts.end());
    std::shuffle(expected.begin(), expected.end(), rng);
    auto store = std::make_shared<pivot::ColumnStore>();
    size_t col = store->addColumn("T", false);
    for (const auto& t : expected) {
        store->appendText(col, t);
        store->finishRow();
    }
    store->appendNull(col);
    store->finishRow();
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return pivot::compareGerman(a, b) < 0; });
    for (unsigned threads : {1u, 4u}) {
        pivot::Pivot p;
        p.setParallel(threads, 1);
        p.setData(store);
        pivot::FieldDef f;
        f.name = "T";
        auto d = p.dimension(f);
        ASSERT_EQ(d->items.size(), expected.size() + 1);
        EXPECT_TRUE(d->items[0].null);
        std::vector<std::string> got;
        for (size_t i = 1; i < d->items.size(); ++i) got.push_back(d->items[i].text);
        EXPECT_EQ(got, expected) << threads << " threads";
        for (size_t r = 0; r < expected.size(); ++r)
            ASSERT_EQ(d->items[d->rowItem[r]].text, store->column(col).dict[store->column(col).code[r]]);
    }
}

TEST_F(PivotControlTest, WithoutColumnFieldsTheValuesAreNoTotals) {
    auto& c = *control_;
    rt::automationSet(c, "Fields(1).Orientation", 0);
    auto t = control_->table();
    ASSERT_EQ(t->columnCount(), 1u);
    EXPECT_FALSE(t->isTotalColumn(0));
    EXPECT_TRUE(t->isTotalLine(t->lineCount() - 1));
    EXPECT_NEAR(rt::automationGet(c, "DataValue", {1, 1}).toDouble(), 359.99, 1e-9);  // Ahorn over both years
}

TEST_F(PivotControlTest, FieldsFindTheirColumnsCaseBlindUnqualifiedAndCut) {
    auto& c = *control_;
    // The engine cuts the long name to 29 characters; the field keeps the whole name.
    rt::automationSet(c, "GNRecordSource",
                      "SELECT v.Region, v.Jahr, v.Umsatz AS Umsatz_im_Berichtszeitraum_insgesamt FROM Verkauf v");
    rt::automationCall(c, "Fields.Add", {"Umsatz_im_Berichtszeitraum_insgesamt", "Lang", 3});
    rt::automationCall(c, "Fields.Add", {"VERKAUF.umsatz_im_berichtszeitraum_insgesamt", "Qualifiziert", 3});
    rt::automationSet(c, "Fields(2).Orientation", 0);
    rt::automationCall(c, "RefreshData");
    auto t = control_->table();
    size_t total = t->lineCount() - 1, col = t->columnCount() - 2;
    EXPECT_EQ(t->columnHeading(col, 1), "Lang");
    EXPECT_NEAR(*t->value(total, col), 1489.24, 1e-9);
    EXPECT_NEAR(*t->value(total, col + 1), 1489.24, 1e-9);
}

// The driver makes no value of a column that no field reads: such columns are passed over, and
// read when a field added later names one.
TEST_F(PivotControlTest, OnlyTheColumnsTheFieldsNameAreRead) {
    auto& c = *control_;
    auto names = [](const pivot::ColumnStore& s) {
        std::vector<std::string> n;
        for (const auto& col : s.columns()) n.push_back(col.name);
        return n;
    };
    EXPECT_EQ(names(*control_->data()), (std::vector<std::string>{"Region", "Jahr", "Umsatz"}));
    EXPECT_EQ(control_->data()->unreadColumns(), (std::vector<std::string>{"Gruppe", "Kanal", "EK"}));
    EXPECT_EQ(control_->data()->rowCount(), sales().size());

    rt::automationCall(c, "Fields.Add", {"ek", "EK", 3});
    EXPECT_EQ(names(*control_->data()), (std::vector<std::string>{"Region", "Jahr", "Umsatz", "EK"}));
    auto t = control_->table();
    EXPECT_NEAR(*t->value(t->lineCount() - 1, t->columnCount() - 1), 785, 1e-9);

    // A field naming no column shows its rows as empty, never the name as a value.
    rt::automationCall(c, "Fields.Add", {"Fehlt", "Fehlt", 4});
    auto items = control_->items(4);
    ASSERT_EQ(items->items.size(), 1u);
    EXPECT_TRUE(items->items[0].null);
}

// A statement the server does not take as a table of its own runs as it is.
TEST_F(PivotControlTest, AStatementThatCannotBeNarrowedIsReadWhole) {
    auto fresh = newControl();
    rt::automationSet(*fresh, "GNConnect", rt::automationGet(*control_, "GNConnect").toText());
    rt::automationSet(*fresh, "GNRecordSource", "PRAGMA table_info(Verkauf);");
    rt::automationCall(*fresh, "Fields.Add", {"name", "Spalte", 2});
    rt::automationCall(*fresh, "RefreshData");
    EXPECT_EQ(fresh->data()->rowCount(), 6u);
    EXPECT_EQ(fresh->data()->columns().size(), 1u);
    EXPECT_EQ(fresh->table()->lineCount(), 7u);  // six columns and the total
}

TEST(NarrowedStatement, NamesQuotedAroundTheStatementWithoutItsEnd) {
    struct Case {
        std::string sql;
        std::vector<std::string> columns;
        std::string expected;
    } cases[] = {
        {"SELECT * FROM v ; \n", {"a", "Straße"}, "SELECT \"a\", \"Straße\" FROM (SELECT * FROM v\n) AS voq_source"},
        {"SELECT 1", {"x\"y"}, "SELECT \"x\"\"y\" FROM (SELECT 1\n) AS voq_source"},
        {"SELECT 1", {"A.k"}, ""},
        {"SELECT 1", {}, ""},
        {" ; ", {"a"}, ""},
    };
    for (const auto& k : cases) EXPECT_EQ(pivot::narrowedStatement(k.sql, k.columns), k.expected) << k.sql;
}

TEST(LoadProgress, RowsReadAreCountedInGroupsOfThree) {
    EXPECT_EQ(pivot::LoadProgress::text(0), "0 Zeilen gelesen");
    EXPECT_EQ(pivot::LoadProgress::text(999), "999 Zeilen gelesen");
    EXPECT_EQ(pivot::LoadProgress::text(1234567), "1.234.567 Zeilen gelesen");
}

TEST(StreamingConnect, TheDriversThatHoldResultsAreAskedToStream) {
    EXPECT_EQ(pivot::streamingConnect("DRIVER=SQLite3;Database=x"), "DRIVER=SQLite3;Database=x;StepAPI=1");
    EXPECT_EQ(pivot::streamingConnect("DRIVER=SQLite3;Database=x;StepAPI=0"), "DRIVER=SQLite3;Database=x;StepAPI=0");
    EXPECT_EQ(pivot::streamingConnect("DRIVER=PostgreSQL Unicode;SERVER=h"),
              "DRIVER=PostgreSQL Unicode;SERVER=h;UseDeclareFetch=1;Fetch=1000");
    EXPECT_EQ(pivot::streamingConnect("DRIVER=SQL Server;SERVER=h"), "DRIVER=SQL Server;SERVER=h");
}
