// A demo cube end to end: the demo ERP database on the SQLite ODBC driver and the same sales on
// PostgreSQL, each opened through the data engine into the control with the cube's fields; both
// give the same table, and its grand total is the sum of the rows.
#include "demo/demo_database.h"
#include "tests/pivot/pivot_fixture.h"

#include <cmath>

using namespace pivottest;

namespace {

struct CubeField {
    const char* name;
    const char* caption;
    const char* picture;
    int orientation;
};

// "Umsatz Warengruppen" as the demo defines it.
const CubeField kCube[] = {
    {"cWarengruppe", "Warengruppe", "", 2},
    {"cArtikel", "Artikel", "", 2},
    {"nJahr", "Jahr", "", 1},
    {"cPlattform", "Plattform", "", 4},
    {"fUmsatz", "Umsatz", "@n-14.2", 3},
    {"fDeckungsbeitrag", "Deckungsbeitrag", "@n-14.2", 3},
};
const char* kColumns = "cWarengruppe, cArtikel, nJahr, cPlattform, fUmsatz, fDeckungsbeitrag";

std::shared_ptr<pivot::PivotControl> openCube(const std::string& connect) {
    auto control = newControl();
    auto& c = *control;
    // The viewer's order: refresh off, data source, fields, look, refresh on, then the data.
    rt::automationSet(c, "AutoDatRefresh", 0);
    rt::automationSet(c, "GNConnectType", "3");
    rt::automationSet(c, "GNConnect", connect);
    rt::automationSet(c, "GNRecordSource", std::string("SELECT ") + kColumns + " FROM vDemoUmsatz");
    for (const CubeField& f : kCube) {
        auto field = rt::automationCall(c, "Fields.Add", {f.name, f.caption, f.orientation}).toObject();
        if (f.orientation == 3) {
            field->set("NumberFormat", f.picture);
            field->set("AggregateFunc", 0);
            field->set("GroupFooterType", 1);
        }
    }
    rt::automationSet(c, "AutoDatRefresh", 1);
    rt::automationCall(c, "RefreshData");
    rt::automationCall(c, "Refresh");
    return control;
}

std::string quoted(const pivot::Column& col, size_t row) {
    if (col.numeric) {
        double v = col.num[row];
        if (std::isnan(v)) return "NULL";
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", v);
        return buf;
    }
    if (col.code[row] == 0) return "NULL";
    std::string s = col.dict[col.code[row]], out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("''") : std::string(1, ch);
    return out + "'";
}

TEST(PivotDemo, DemoCubeGivesOneTableOnSqliteAndPostgres) {
    voq::test::TempDir dir;
    std::string file = (dir.path() / "DemoERP").string();
    demo::DemoOptions options;
    options.salesLines = 3000;
    ASSERT_EQ(demo::writeDemoDatabase(file, options), "");
    std::string sqlite = voq::test::sqliteConnectString(file);

    // The rows themselves, for the total and for the copy on PostgreSQL.
    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    pivot::ColumnStore rows;
    auto read = pivot::readThroughEngine(sqlite, std::string("SELECT ") + kColumns + " FROM vDemoUmsatz", rows);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(rows.rowCount(), 3000u);
    double sum = 0;
    for (size_t r = 0; r < rows.rowCount(); ++r) sum += rows.column(4).number(r);

    auto lite = openCube(sqlite);
    auto t = lite->table();
    size_t last = t->lineCount() - 1;
    ASSERT_TRUE(t->isTotalLine(last));
    size_t totalCol = t->columnCount() - 2;  // the total column's Umsatz
    EXPECT_EQ(t->columnHeading(totalCol, 0), "Gesamtergebnis");
    EXPECT_NEAR(*t->value(last, totalCol), sum, 1e-6 * std::fabs(sum));
    EXPECT_GT(t->lineCount(), 10u);

    voq::test::PgDatabase pg;
    if (pg.connectString().empty()) {
        if (voq::test::pgRequired()) FAIL() << "PostgreSQL test cluster not reachable";
        GTEST_SKIP() << "PostgreSQL test cluster not running";
    }
    ASSERT_EQ(
        voq::test::execSql(pg.connectString(),
                           "CREATE TABLE vDemoUmsatz (cWarengruppe VARCHAR(60), cArtikel VARCHAR(80), nJahr INTEGER, "
                           "cPlattform VARCHAR(60), fUmsatz NUMERIC(14,2), fDeckungsbeitrag NUMERIC(14,2))"),
        "");
    for (size_t r = 0; r < rows.rowCount();) {
        std::string sql = "INSERT INTO vDemoUmsatz VALUES ";
        for (size_t n = 0; n < 500 && r < rows.rowCount(); ++n, ++r) {
            sql += n ? ",(" : "(";
            for (size_t c = 0; c < 6; ++c) sql += (c ? "," : "") + quoted(rows.column(c), r);
            sql += ")";
        }
        ASSERT_EQ(voq::test::execSql(pg.connectString(), sql), "");
    }
    auto post = openCube(pg.connectString());
    auto& a = *lite;
    auto& b = *post;
    int64_t nr = rt::automationGet(a, "RowCount").toInt(), nc = rt::automationGet(a, "ColCount").toInt();
    ASSERT_EQ(rt::automationGet(b, "RowCount").toInt(), nr);
    ASSERT_EQ(rt::automationGet(b, "ColCount").toInt(), nc);
    for (int64_t r = 0; r < nr; ++r)
        for (int64_t c = 0; c < nc; ++c) {
            auto x = rt::automationGet(a, "DataValue", {r, c}), y = rt::automationGet(b, "DataValue", {r, c});
            if (r == 0 || c == 0)
                EXPECT_EQ(x.toText(), y.toText()) << r << "," << c;
            else
                EXPECT_NEAR(x.toDouble(), y.toDouble(), 1e-6 * std::max(1.0, std::fabs(x.toDouble()))) << r << "," << c;
        }
}

}  // namespace
