// Statements of the cube catalogue: quotes in names, bracket quoting per back end, and counts
// from the server's column catalogue.
#include "cubes/catalogue/catalogue_sql.h"
#include "cubes/catalogue/catalogue_calls.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"

namespace {

TEST(CatalogueSql, BracketsFollowTheBackEnd) {
    const std::string sqlServer = "DRIVER=SQL Server;SERVER=x;Database=y";
    const std::string sqlite = "DRIVER=SQLite3;Database=/tmp/a.db";
    const std::string pg = "DRIVER=PostgreSQL Unicode;Server=127.0.0.1;Database=y";
    struct Case {
        std::string connect, statement, expected;
    } cases[] = {
        {sqlServer, "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (2,'x')",
         "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (2,'x')"},
        {sqlite, "SELECT [a] FROM [dbo].[T]", "SELECT [a] FROM [dbo].[T]"},
        {pg, "INSERT INTO [dbo].[VOQGNEQUATES] VALUES (2,'GRUPPE',0,'GNHidden'  )",
         "INSERT INTO dbo.VOQGNEQUATES VALUES (2,'GRUPPE',0,'GNHidden'  )"},
        {pg, "SELECT [Mein Feld] FROM [dbo].[T] WHERE c = '[kein]' AND d = 'it''s [x]'",
         "SELECT \"Mein Feld\" FROM dbo.T WHERE c = '[kein]' AND d = 'it''s [x]'"},
        {pg, "SELECT [offen", "SELECT [offen"},
    };
    for (const auto& c : cases) EXPECT_EQ(BackEndSql(c.statement, c.connect), c.expected) << c.statement;
}

TEST(CatalogueSql, ListReportWidthDecidesTheOrientation) {
    auto column = [](const char* heading, int length) {
        ListReportColumn c;
        c.heading = heading;
        c.maxLength = length;
        c.headingLength = length;
        return c;
    };
    // The cube list's printout: always landscape.
    EXPECT_EQ(
        ListReportWidth({column("ID", 8), column("Intern", 6), column("CubeName", 20), column("Beschreibung", 65)}),
        503);
    // A heading longer than its values counts with its own length.
    ListReportColumn wide;
    wide.heading = "Bezeichnung  ";
    wide.maxLength = 4;
    EXPECT_EQ(ListReportWidth({wide}), 11 * 5 + 2);
}

using CatalogueCountTest = cubetest::CatalogueTest;

TEST_P(CatalogueCountTest, CountsColumnsAndSurvivesAQuoteInTheName) {
    exec("CREATE TABLE " + table("tKatalog") + " (kKey INT, cName VARCHAR(20))");
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.queueMessageBoxAnswer(rt::button::Ok);
    onThread([this] {
        // PostgreSQL keeps unquoted names in lower case.
        const std::string name = pg() ? "tkatalog" : "tKatalog";
        long count = -1;
        EXPECT_TRUE(CatalogueCount(
            "SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = " + SqlQuoted(name), count));
        EXPECT_EQ(count, 2);
        count = -1;
        EXPECT_TRUE(CatalogueCount("SELECT Count(column_name) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = " +
                                       SqlQuoted(name + "' OR '1'='1"),
                                   count));
        EXPECT_EQ(count, 0);
    });
    for (auto& b : user.messageBoxes()) ADD_FAILURE() << b.title << ": " << b.text;
}

CATALOGUE_ENGINES(CatalogueCountTest);

}  // namespace
