// The numbers of every cell, subtotal and total against SQL that SQLite runs over the same rows:
// counts of text columns, ratio fields and the spread of large values that differ in their last
// digits; in one thread and split over several, through both ways of gathering the rows.
#include <sqlite3.h>

#include <cmath>
#include <functional>

#include "tests/pivot/pivot_fixture.h"

namespace {

using pivot::PivotTable;

const char* kCreate =
    "CREATE TABLE Posten (Region VARCHAR(20), Kunde VARCHAR(20), Auftrag VARCHAR(20), Artikel VARCHAR(30), "
    "Jahr INTEGER, Betrag DOUBLE, Kosten DOUBLE)";
// Two regions; a customer with no article and no amount on one order; a customer whose three
// amounts differ only in their last digits in one year, and one with them spread over three years.
const char* kRows[] = {
    "'Nord', 'K1', 'A-1', 'Öl', 2024, 100, 80",
    "'Nord', 'K1', 'A-2', 'Straße', 2025, 50, 60",
    "'Nord', 'K2', 'A-3', NULL, 2024, NULL, 5",
    "'Nord', 'K2', 'A-4', 'Öl', 2025, 30, 10",
    "'Nord', 'K2', 'A-5', 'Straße', 2025, 20, 30",
    "'Süd', 'K3', 'A-6', 'Öl', 2024, 12345678.91, 12345000",
    "'Süd', 'K3', 'A-7', 'Öl', 2024, 12345678.92, 12345000",
    "'Süd', 'K3', 'A-8', 'Öl', 2024, 12345678.93, 12345000",
    "'Süd', 'K4', 'A-9', 'Straße', 2024, 12345678.91, 12345100",
    "'Süd', 'K4', 'A-10', 'Straße', 2025, 12345678.92, 12345100",
    "'Süd', 'K4', 'A-11', 'Straße', 2026, 12345678.93, 12345100",
};

struct Field {
    const char* name;
    const char* caption;
    int orientation;
    int aggregate = 0;
    int footerType = 1;
};

// One expected value per data field: a SELECT with {W} for the cell's condition.
struct Expect {
    std::string sql;
    bool root = false;  // the square root of the query's value
};

// How the work is split: threads, and whether the leaf cells are counted in one table per
// thread (dense) or by sorting the rows.
struct Split {
    unsigned threads;
    bool dense;
};

class PivotNumbers : public ::testing::TestWithParam<Split> {
protected:
    void SetUp() override {
        file_ = dir_.file("posten.db");
        std::string connect = voq::test::sqliteConnectString(file_);
        ASSERT_EQ(voq::test::execSql(connect, kCreate), "");
        for (const char* r : kRows)
            ASSERT_EQ(voq::test::execSql(connect, std::string("INSERT INTO Posten VALUES (") + r + ")"), "");
        open();
        ASSERT_EQ(sqlite3_open(file_.c_str(), &db_), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    void open() {
        control_ = pivottest::newControl();
        ASSERT_TRUE(control_);
        control_->setParallel(GetParam().threads, 1, GetParam().dense ? pivot::Pivot::kDenseCells : 0);
        rt::automationSet(*control_, "GNConnectType", 3);
        rt::automationSet(*control_, "GNConnect", voq::test::sqliteConnectString(file_));
        rt::automationSet(*control_, "GNRecordSource", "SELECT * FROM Posten");
    }

    std::shared_ptr<const PivotTable> load(const std::vector<Field>& fields) {
        auto& c = *control_;
        rt::automationSet(c, "AutoDatRefresh", 0);
        for (const Field& f : fields) {
            auto o = rt::automationCall(c, "Fields.Add", {f.name, f.caption, f.orientation}).toObject();
            if (f.orientation == pivot::DataArea) {
                o->set("AggregateFunc", f.aggregate);
                o->set("GroupFooterType", f.footerType);
            }
        }
        rt::automationSet(c, "AutoDatRefresh", 1);
        rt::automationCall(c, "RefreshData");
        return control_->table();
    }

    std::optional<double> query(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
        std::optional<double> v;
        if (st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
            v = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
        return v;
    }

    // The condition a line's and a column's items set on the raw rows.
    static std::string where(const PivotTable& t, size_t line, size_t col) {
        std::string w = "1=1";
        auto add = [&](const pivot::Axis& axis, int node) {
            const auto& n = axis.nodes[size_t(node)];
            for (int level = 0; level <= n.level; ++level) {
                const auto& f = t.fields()[size_t(axis.fields[size_t(level)])];
                const auto& item = axis.items[size_t(level)][n.path[size_t(level)]];
                w += " AND " + std::string(f.name) + (item.null ? " IS NULL" : " = '" + item.text + "'");
            }
        };
        add(t.rows(), t.rows().lines[line].node);
        add(t.cols(), t.columnLine(col).node);
        return w;
    }

    // Every cell of the table against its query; returns the cells compared.
    int compareAll(const PivotTable& t, const std::vector<Expect>& want) {
        int compared = 0;
        for (size_t line = 0; line < t.lineCount(); ++line)
            for (size_t col = 0; col < t.columnCount(); ++col) {
                std::string w = where(t, line, col);
                const Expect& e = want[col % t.dataSpan()];
                std::optional<double> expected;
                if (query("SELECT COUNT(*) FROM Posten WHERE " + w).value_or(0) > 0) {
                    std::string sql = e.sql;
                    for (size_t p; (p = sql.find("{W}")) != std::string::npos;) sql.replace(p, 3, w);
                    expected = query(sql);
                    if (expected && e.root) expected = std::sqrt(*expected);
                }
                auto got = t.value(line, col);
                SCOPED_TRACE(w + " / " + e.sql);
                EXPECT_EQ(got.has_value(), expected.has_value()) << (got ? *got : 0.0);
                if (got && expected) {
                    EXPECT_NEAR(*got, *expected, 1e-12 * std::max(1.0, std::fabs(*expected)));
                }
                ++compared;
            }
        return compared;
    }

    voq::test::TempDir dir_;
    std::string file_;
    sqlite3* db_ = nullptr;
    std::shared_ptr<pivot::PivotControl> control_;
};

TEST_P(PivotNumbers, CountCountsTheValuesOfAnyColumn) {
    auto t = load({{"Region", "Region", pivot::RowArea},
                   {"Jahr", "Jahr", pivot::ColumnArea},
                   {"Kunde", "Kunden", pivot::DataArea, pivot::Count},
                   {"Auftrag", "Aufträge", pivot::DataArea, pivot::Count},
                   {"Artikel", "Artikel", pivot::DataArea, pivot::Count},
                   {"Betrag", "Beträge", pivot::DataArea, pivot::Count},
                   {"Betrag-Kosten", "Spannen", pivot::DataArea, pivot::Count}});
    EXPECT_GT(compareAll(*t, {{"SELECT COUNT(Kunde) FROM Posten WHERE {W}"},
                              {"SELECT COUNT(Auftrag) FROM Posten WHERE {W}"},
                              {"SELECT COUNT(Artikel) FROM Posten WHERE {W}"},
                              {"SELECT COUNT(Betrag) FROM Posten WHERE {W}"},
                              {"SELECT COUNT(Betrag-Kosten) FROM Posten WHERE {W}"}}),
              40);
    // Nord's total: five orders, four articles.
    EXPECT_EQ(t->text(0, t->columnCount() - 4), "5");
}

TEST_P(PivotNumbers, ARatioIsTheRatioOfTheSumsInEveryCellAndTotal) {
    const char* ratio = "SELECT (SUM(Betrag) - SUM(Kosten)) / SUM(Betrag) * 100 FROM Posten WHERE {W}";
    for (int aggregate : {pivot::Sum, pivot::Average}) {
        SCOPED_TRACE(aggregate);
        auto t = load({{"Region", "Region", pivot::RowArea},
                       {"Artikel", "Artikel", pivot::RowArea},
                       {"Jahr", "Jahr", pivot::ColumnArea},
                       {"(Betrag-Kosten)/Betrag*100", "DB %", pivot::DataArea, aggregate, pivot::FooterRatio}});
        EXPECT_GT(compareAll(*t, {{ratio}}), 30);
        // Nord's two "Straße" rows of 2025: the ratio of their sums, whatever the aggregate.
        ASSERT_EQ(t->rowHeading(2, 1), "Straße");
        EXPECT_NEAR(*t->value(2, 1), (70.0 - 90.0) / 70.0 * 100, 1e-12);
        open();
    }
}

TEST_P(PivotNumbers, TheSpreadOfLargeValuesIsExact) {
    // Two-pass in SQL: the squared deviations from the group's mean.
    auto m2 = [](const char* divisor) {
        return std::string("SELECT SUM((Betrag - m) * (Betrag - m)) / (") + divisor +
               ") FROM Posten, (SELECT AVG(Betrag) AS m FROM Posten WHERE {W}) WHERE {W} AND Betrag IS NOT NULL";
    };
    auto t = load({{"Region", "Region", pivot::RowArea},
                   {"Kunde", "Kunde", pivot::RowArea},
                   {"Jahr", "Jahr", pivot::ColumnArea},
                   {"Betrag", "StAbw", pivot::DataArea, pivot::StDev},
                   {"Betrag", "StAbwN", pivot::DataArea, pivot::StDevP},
                   {"Betrag", "Varianz", pivot::DataArea, pivot::Var},
                   {"Betrag", "VarianzN", pivot::DataArea, pivot::VarP},
                   {"Betrag", "Summe", pivot::DataArea, pivot::Sum}});
    const std::string sample = "SELECT CASE WHEN COUNT(Betrag) > 1 THEN COUNT(Betrag) - 1 END FROM Posten WHERE {W}";
    const std::string all = "SELECT CASE WHEN COUNT(Betrag) > 0 THEN COUNT(Betrag) END FROM Posten WHERE {W}";
    EXPECT_GT(compareAll(*t, {{m2(("(" + sample + ")").c_str()), true},
                              {m2(("(" + all + ")").c_str()), true},
                              {m2(("(" + sample + ")").c_str())},
                              {m2(("(" + all + ")").c_str())},
                              {"SELECT SUM(Betrag) FROM Posten WHERE {W}"}}),
              50);
    // K3's three amounts of 2024: 0.0099999998..., not 0.0100000002.
    size_t k3 = 3;
    ASSERT_EQ(t->rowHeading(k3, 1), "K3");
    EXPECT_NEAR(*t->value(k3, 0), 0.0099999998, 1e-10);
}

TEST_P(PivotNumbers, WithoutRowFieldsTheOneLineIsData) {
    auto t = load({{"Jahr", "Jahr", pivot::ColumnArea}, {"Betrag", "Betrag", pivot::DataArea}});
    ASSERT_EQ(t->lineCount(), 1u);
    EXPECT_FALSE(t->isTotalLine(0));
    EXPECT_EQ(compareAll(*t, {{"SELECT SUM(Betrag) FROM Posten WHERE {W}"}}), 4);
}

INSTANTIATE_TEST_SUITE_P(Splits, PivotNumbers,
                         ::testing::Values(Split{1, true}, Split{3, true}, Split{1, false}, Split{3, false}));

}  // namespace
