// Query by example without windows: the filter and order built from the grid's cells, the
// options file and the source text.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "queries/qbe/qbe_grid.h"
#include "queries/qbe/qbe_options.h"
#include "runtime/ini/profile.h"
#include "tests/support/test_support.h"

namespace {

QBEColumn column(const char* name, const char* header, const char* picture = "@s20") {
    QBEColumn c;
    c.NAME = name;
    c.HEADER = header;
    c.PICTURE = picture;
    return c;
}

std::vector<QBEColumn> grid() {
    return {QBESetAllColumn(), column("CUBK:CubeName", "Name"), column("CUBK:ID", "Nummer"),
            column("CUBG:Datum", "Datum", "@d6")};
}

std::string runFilter(std::vector<QBEColumn>& g, int rows) {
    std::string f;
    EXPECT_TRUE(BuildQBEFilter(g, rows, true, f).ok);
    return f;
}

TEST(QueryByExampleFilter, OneCell) {
    const struct {
        int col;
        const char* cell;
        const char* row;
    } cases[] = {
        {1, "'Smith'", "((CUBK:CubeName = 'Smith'))"},
        {2, "> 5 AND < 10", "((CUBK:ID > 5 AND CUBK:ID< 10))"},
        {2, "5 OR 7", "((CUBK:ID = 5 OR CUBK:ID =7))"},
        {2, "5   and    7", "((CUBK:ID = 5 and CUBK:ID = 7))"},
        {3, "'01.02.03'", "((CUBG:Datum = DEFORMAT('01.02.03',@d6)))"},
        {3, "> '1.2.3'", "((CUBG:Datum > DEFORMAT('1.2.3',@d6)))"},
        {3, "'1.2.'", "((CUBG:Datum = '1.2.'))"},
        // A connector inside a literal is part of the value.
        {1, "'Meier AND Sohn'", "((CUBK:CubeName = 'Meier AND Sohn'))"},
        {1, "'X OR Y' OR 'A  B'", "((CUBK:CubeName = 'X OR Y' OR CUBK:CubeName ='A  B'))"},
    };
    for (const auto& c : cases) {
        auto g = grid();
        g[static_cast<std::size_t>(c.col)].source(1) = c.cell;
        EXPECT_EQ(runFilter(g, 1), std::string(c.row) + " ") << c.cell;
        EXPECT_EQ(g[0].source(1), c.row);
    }
}

TEST(QueryByExampleFilter, CellsJoinWithAndRowsWithOr) {
    auto g = grid();
    g[1].source(2) = "'A'";
    g[2].source(2) = "5";
    g[1].source(3) = "'B'";
    EXPECT_EQ(runFilter(g, 3), "((CUBK:CubeName = 'A') AND (CUBK:ID = 5)) OR ((CUBK:CubeName = 'B')) ");
    EXPECT_EQ(g[0].source(1), "");
    std::string shown;
    ASSERT_TRUE(BuildQBEFilter(g, 3, false, shown).ok);
    EXPECT_EQ(shown, "    ((Name = 'A') AND (Nummer = 5))\r\n OR ((Name = 'B'))\r\n ");
    g[3].source(1) = "'01.02.03'";
    ASSERT_TRUE(BuildQBEFilter(g, 1, false, shown).ok);
    EXPECT_EQ(shown, "((Datum = '01.02.03'))\r\n ");

    g[2].source(3) = "'open";
    const QBEBuild b = BuildQBEFilter(g, 3, true, shown);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.title, "Error Filter");
    EXPECT_EQ(b.message, "Error in filter at Nummer row number 3");
}

TEST(QueryByExampleOrder, SortsSummariesAndErrors) {
    using namespace qbecode;
    auto g = grid();
    g[1].type(1) = OnUp;
    g[1].type(2) = OffUp;
    g[2].type(1) = Sum;
    g[2].type(2) = Maximum;
    g[3].type(1) = OffDown;
    g[3].type(2) = Break;
    std::string order;
    ASSERT_TRUE(BuildQBEOrder(g, 2, true, order).ok);
    EXPECT_EQ(order, "+CUBK:CubeName,-CUBG:Datum");
    EXPECT_EQ(g[2].summary(), Maximum);
    EXPECT_EQ(g[1].summary(), OnUp);
    EXPECT_EQ(g[3].FILTERBREAK, 1);
    EXPECT_EQ(g[2].FILTERBREAK, 0);
    ASSERT_TRUE(BuildQBEOrder(g, 2, false, order).ok);
    EXPECT_EQ(order, " + Name\r\n - Datum\r\n");

    g[1].type(2) = OffDown;
    QBEBuild b = BuildQBEOrder(g, 2, true, order);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.message, "    The order of 'Name' in row 2 has an error.");

    auto none = grid();
    none[1].type(1) = OffUp;
    b = BuildQBEOrder(none, 1, true, order);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.message, "    You havn't selectet any columns to display.");
}

TEST(QueryByExampleOptions, DefaultsAndAChangedValueReadBack) {
    voq::test::TempDir dir;
    const std::string file = dir.file("QBESetup.INI");
    LoadQBEOptions(file);
    const QBEOptionValues defaults;
    QBEOptionValues o = CurrentQBEOptions();
    EXPECT_EQ(o.reportColor, defaults.reportColor);
    EXPECT_EQ(o.reportText, defaults.reportText);
    EXPECT_EQ(o.viewColor, defaults.viewColor);
    EXPECT_EQ(o.reportBottom, 15);
    ASSERT_TRUE(SaveQBEOptions(file));
    EXPECT_EQ(rt::getProfileString(file, "QBE Setup", "Report color2", ""), "8421376");
    EXPECT_EQ(rt::getProfileString(file, "QBE Setup", "View color1", ""), "-1");
    EXPECT_EQ(rt::getProfileString(file, "QBE Setup", "Report text1", ""), "Query on");

    o.reportWidth = 420;
    o.viewColor[0] = 255;
    o.reportText[3] = "Summe";
    SetQBEOptions(o);
    ASSERT_TRUE(SaveQBEOptions(file));
    SetQBEOptions(defaults);
    LoadQBEOptions(file);
    o = CurrentQBEOptions();
    EXPECT_EQ(o.reportWidth, 420);
    EXPECT_EQ(o.viewColor[0], 255);
    EXPECT_EQ(o.reportText[3], "Summe");
    o.defaultSize();
    o.defaultView();
    o.defaultTexts();
    EXPECT_EQ(o.reportWidth, 297);
    EXPECT_EQ(o.viewColor, defaults.viewColor);
    EXPECT_EQ(o.reportText[3], "Sum");
    SetQBEOptions(defaults);
}

TEST(QueryByExampleSource, FieldsFromTheSourceText) {
    voq::test::TempDir dir;
    const std::string file = dir.file("VOQKivorant.qbe");
    std::ofstream(file) << "[VOQCubeGruppe]\nFIELDS=3\nFIELD1=ID\nFIELD3= Title, Report title ,@s20,L\n";
    const auto fields = QBESourceFields("VOQCubeGruppe", file);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].NAME, "ID");
    EXPECT_EQ(fields[0].HEADER, "");
    EXPECT_EQ(fields[1].NAME, "");
    EXPECT_EQ(fields[2].NUMBER, 3);
    EXPECT_EQ(fields[2].NAME, "Title");
    EXPECT_EQ(fields[2].HEADER, "Report title");
    EXPECT_EQ(fields[2].PICTURE, "@s20");
    EXPECT_EQ(fields[2].JUSTIFY, "L");
    EXPECT_TRUE(QBESourceFields("CrossTab", file).empty());
}

}  // namespace
