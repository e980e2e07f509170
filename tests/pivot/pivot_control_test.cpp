// The control's automation members: bad indexes and values give the control's error and leave
// it working; the layout file and the spreadsheet export.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

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
        EXPECT_EQ(after[i].numberFormat, before[i].numberFormat);
    }
    EXPECT_EQ(other->colWidth(1), 65);
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
