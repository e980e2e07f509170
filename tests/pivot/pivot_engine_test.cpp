// Every cell, subtotal and total of a pivot over a small sales table, against values worked out
// here from the raw rows, read through the automation members the viewer uses.
#include <algorithm>
#include <functional>
#include <map>

#include "tests/pivot/pivot_fixture.h"

using namespace pivottest;
using rt::AutoValue;

namespace {

const char* kCaptions[] = {"Summe", "Anzahl", "Mittel", "Max", "Min", "StAbw", "StAbwN", "Varianz", "VarianzN"};

// Aggregate 0-8 over non-NULL values, two-pass, straight from the definitions.
std::optional<double> expected(int aggregate, const std::vector<double>& v, size_t rows) {
    if (rows == 0) return std::nullopt;
    double n = double(v.size());
    if (aggregate == 1) return n;
    if (v.empty()) return std::nullopt;
    double sum = 0;
    for (double x : v) sum += x;
    double mean = sum / n, ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    switch (aggregate) {
    case 0: return sum;
    case 2: return mean;
    case 3: return *std::max_element(v.begin(), v.end());
    case 4: return *std::min_element(v.begin(), v.end());
    case 5:
        if (n < 2) return std::nullopt;
        return std::sqrt(ss / (n - 1));
    case 6: return std::sqrt(ss / n);
    case 7:
        if (n < 2) return std::nullopt;
        return ss / (n - 1);
    case 8: return ss / n;
    }
    return std::nullopt;
}

class PivotEngine : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "sqlite") {
            connect_ = voq::test::sqliteConnectString((dir_.path() / "sales.db").string());
        } else {
            pg_ = std::make_unique<voq::test::PgDatabase>();
            if (pg_->connectString().empty()) {
                if (voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable";
                GTEST_SKIP() << "PostgreSQL test cluster not running";
            }
            connect_ = pg_->connectString();
        }
        writeSales(connect_, GetParam() == "pg");
        control_ = newControl();
        ASSERT_TRUE(control_);
        auto& c = *control_;
        // The viewer's load order: data source with refresh off, fields, then the refresh.
        rt::automationSet(c, "AutoDatRefresh", 0);
        rt::automationSet(c, "GNConnectType", "3");
        rt::automationSet(c, "GNConnect", connect_);
        rt::automationSet(c, "GNRecordSource", "SELECT Region, Gruppe, Jahr, Kanal, Umsatz, EK FROM Verkauf");
        rt::automationCall(c, "Fields.Add", {"Region", "Region", 2});
        rt::automationCall(c, "Fields.Add", {"Gruppe", "Warengruppe", 2});
        rt::automationCall(c, "Fields.Add", {"Jahr", "Jahr", 1});
        auto kanal = rt::automationCall(c, "Fields.Add", {"Kanal", "Kanal", 4}).toObject();
        for (int a = 0; a <= 8; ++a) {
            auto f = rt::automationCall(c, "Fields.Add", {"Umsatz", kCaptions[a], 3}).toObject();
            f->set("NumberFormat", "#,##0.00");
            f->set("AggregateFunc", a);
            f->set("GroupFooterType", 1);
        }
        auto db = rt::automationCall(c, "Fields.Add", {"(Umsatz-EK)/Umsatz*100", "DB %", 3}).toObject();
        db->set("AggregateFunc", 2);
        db->set("GroupFooterType", 4);
        rt::automationSet(c, "AutoDatRefresh", 1);
        rt::automationCall(c, "RefreshData");
        // The page filter: the fair's channel left out.
        control_->setHiddenItems(3, {"Messe"});
        (void)kanal;
    }

    // The raw rows a heading stands for ("" matches everything at that level).
    std::vector<const Sale*> rowsFor(const std::string& region, const std::optional<std::string>& gruppe,
                                     bool anyGruppe, const std::string& jahr) const {
        std::vector<const Sale*> out;
        for (const Sale& s : sales()) {
            if (std::string(s.kanal) == "Messe") continue;
            if (!region.empty() && region != s.region) continue;
            if (!anyGruppe) {
                std::string g = s.gruppe ? s.gruppe : "(leer)";
                if (g != *gruppe) continue;
            }
            if (!jahr.empty() && jahr != std::to_string(s.jahr)) continue;
            out.push_back(&s);
        }
        return out;
    }

    // Walks the whole grid and checks each value cell; returns the row headings seen.
    std::vector<std::string> checkAll() {
        auto& c = *control_;
        int64_t rows = rt::automationGet(c, "RowCount").toInt(), cols = rt::automationGet(c, "ColCount").toInt();
        std::vector<std::string> seen;
        int checked = 0;
        for (int64_t r = 1; r < rows; ++r) {
            std::string h0 = rt::automationGet(c, "GetRowHeading", {r, 0}).toText();
            std::string h1 = rt::automationGet(c, "GetRowHeading", {r, 1}).toText();
            seen.push_back(h0 + "|" + h1);
            std::string region;
            std::optional<std::string> gruppe;
            bool anyGruppe = true;
            const std::string suffix = " Ergebnis";
            if (h0 == "Gesamtergebnis") {
            } else if (h0.size() > suffix.size() && h0.ends_with(suffix)) {
                region = h0.substr(0, h0.size() - suffix.size());
            } else {
                region = h0;
                gruppe = h1;
                anyGruppe = false;
            }
            for (int64_t col = 1; col < cols; ++col) {
                std::string jahr = rt::automationGet(c, "GetColHeading", {col, 0}).toText();
                std::string caption = rt::automationGet(c, "GetColHeading", {col, 1}).toText();
                if (jahr == "Gesamtergebnis") jahr.clear();
                auto raw = rowsFor(region, gruppe, anyGruppe, jahr);
                std::vector<double> umsatz;
                double sumU = 0;
                for (auto* s : raw)
                    if (s->umsatz) {
                        umsatz.push_back(*s->umsatz);
                        sumU += *s->umsatz;
                    }
                std::optional<double> want;
                if (caption == "DB %") {
                    // Cells and footers alike: the ratio of the operands summed over the cell's rows.
                    double ekAll = 0;
                    for (auto* s : raw) ekAll += s->ek;
                    want = raw.empty() || sumU == 0 ? std::nullopt : std::optional<double>((sumU - ekAll) / sumU * 100);
                } else {
                    int a = int(std::find(std::begin(kCaptions), std::end(kCaptions), caption) - std::begin(kCaptions));
                    EXPECT_LT(a, 9) << caption;
                    if (a >= 9) continue;
                    want = expected(a, umsatz, raw.size());
                }
                AutoValue got = rt::automationGet(c, "DataValue", {r, col});
                if (!want) {
                    EXPECT_TRUE(got.isEmpty())
                        << h0 << "/" << h1 << " " << jahr << " " << caption << " = " << got.toText();
                } else {
                    EXPECT_NEAR(got.toDouble(), *want, 1e-9 * std::max(1.0, std::fabs(*want)))
                        << h0 << "/" << h1 << " " << jahr << " " << caption;
                    EXPECT_FALSE(got.isEmpty());
                }
                ++checked;
            }
        }
        EXPECT_GT(checked, 100);
        return seen;
    }

    voq::test::TempDir dir_;
    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
    std::shared_ptr<pivot::PivotControl> control_;
};

TEST_P(PivotEngine, EveryCellSubtotalAndTotalMatchesTheRawRows) {
    auto seen = checkAll();
    // Items in German order with NULL first, a subtotal after each region, the grand total last;
    // the fair's channel (Zeppelin's Tee) is filtered out by the page field.
    std::vector<std::string> want = {"Ahorn|Kaffee",       "Ahorn|Tee",      "Ahorn Ergebnis|",     "Ährenfeld|(leer)",
                                     "Ährenfeld|Kaffee",   "Ährenfeld|Tee",  "Ährenfeld Ergebnis|", "Zeppelin|Kaffee",
                                     "Zeppelin Ergebnis|", "Gesamtergebnis|"};
    EXPECT_EQ(seen, want);
    // 2 years + the total, 10 data fields each.
    EXPECT_EQ(rt::automationGet(*control_, "ColCount").toInt(), 1 + 3 * 10);
    EXPECT_EQ(rt::automationGet(*control_, "DataValue", {0, 1}).toText(), "Summe");
    EXPECT_EQ(control_->table()->text(0, 0), "200,00");
}

TEST_P(PivotEngine, NoGroupingCollapseAndFiltersKeepTheTotals) {
    auto& c = *control_;
    rt::automationSet(c, "Fields(0).GroupFooterVisible", 0);  // "Gruppierung" 0 on the regions
    auto seen = checkAll();
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](auto& s) { return s.find("Ergebnis|") != std::string::npos; }),
              0);
    EXPECT_EQ(seen.back(), "Gesamtergebnis|");

    // Collapsed regions: one line each, holding the region's total.
    rt::automationSet(c, "Fields(0).GroupFooterVisible", 1);
    for (int i = 0; i < rt::automationGet(c, "Fields.Count").toInt(); ++i)
        rt::automationCall(c, "Fields.Item(" + std::to_string(i) + ").ShowDetail", {0});
    EXPECT_EQ(rt::automationGet(c, "RowCount").toInt(), 1 + 3 + 1);
    // A folded region is an item that holds its total, not a total line (the export keeps it).
    EXPECT_FALSE(control_->table()->isTotalLine(0));
    EXPECT_EQ(rt::automationGet(c, "GetRowHeading", {1, 0}).toText(), "Ahorn");
    EXPECT_TRUE(rt::automationGet(c, "GetRowHeading", {1, 1}).toText().empty());
    // Ahorn's total sum over both years: 200 + 99.99 + 42 + 18.
    int64_t totalCol = rt::automationGet(c, "ColCount").toInt() - 10;
    EXPECT_NEAR(rt::automationGet(c, "DataValue", {1, totalCol}).toDouble(), 359.99, 1e-9);
    for (int i = 0; i < rt::automationGet(c, "Fields.Count").toInt(); ++i)
        rt::automationCall(c, "Fields.Item(" + std::to_string(i) + ").ShowDetail", {1});
    checkAll();
}

INSTANTIATE_TEST_SUITE_P(Engines, PivotEngine, ::testing::Values("sqlite", "pg"));

}  // namespace
