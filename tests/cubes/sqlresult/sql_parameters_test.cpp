// The placeholders of statements and from expressions filled with answers, and the cross tab's
// EXECUTE statement.
#include "cubes/sqlresult/sql_parameters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kSqlite = "DRIVER=SQLite3;Database=/tmp/x.db";
constexpr const char* kPostgres = "DRIVER=PostgreSQL Unicode;SERVER=localhost;Database=wawi";
constexpr const char* kSqlServer = "DRIVER=SQL Server;SERVER=WAWI;Database=eazybusiness";

SqlAnswers text(const char* answer) { return {.text = answer}; }
SqlAnswers date(const char* answer) { return {.date = answer}; }

TEST(SqlParameters, TextAndDateAnswersAreQuotedRangesAndEmptyAnswersRewriteTheStatement) {
    const struct {
        const char* statement;
        SqlAnswers answers;
        const char* connect;
        const char* filled;
    } cases[] = {
        {"SELECT * FROM t WHERE name = #cParameter#", text("Meier"), kSqlite, "SELECT * FROM t WHERE name = 'Meier'"},
        {"SELECT * FROM t WHERE name = #cparameter# OR alt = #CPARAMETER#", text("A'B"), kSqlite,
         "SELECT * FROM t WHERE name = 'A''B' OR alt = 'A''B'"},
        // An empty answer drops the condition and everything after it.
        {"SELECT * FROM t WHERE name = #cParameter# ORDER BY name", text(""), kSqlite, "SELECT * FROM t"},
        {"SELECT #cParameter# AS x FROM t", text("  "), kSqlite, "SELECT  AS x FROM t"},
        // A range takes the place of the comparison in front of the placeholder only.
        {"SELECT * FROM t WHERE a = 1 AND b = #cParameter#", text("1;5"), kSqlite,
         "SELECT * FROM t WHERE a = 1 AND b  BETWEEN '1' AND '5'"},
        // Dates go in the form each back end reads alike, whatever its language.
        {"SELECT * FROM t WHERE a <> 1 AND d >= #dParameter# ORDER BY d", date("01.02.2024;29.02.2024"), kSqlite,
         "SELECT * FROM t WHERE a <> 1 AND d  BETWEEN '2024-02-01' AND '2024-02-29' ORDER BY d"},
        {"SELECT * FROM t WHERE d = #dParameter#", date("29.02.2024"), kPostgres,
         "SELECT * FROM t WHERE d = '2024-02-29'"},
        {"SELECT * FROM t WHERE d>=#dParameter#", date("01.02.2024;10.02.2024"), kSqlServer,
         "SELECT * FROM t WHERE d BETWEEN '20240201' AND '20240210'"},
        {"SELECT * FROM t WHERE d = #dParameter#", date("31.01.2024"), kSqlServer,
         "SELECT * FROM t WHERE d = '20240131'"},
        // A text answer is no date, and what is no date stays as typed.
        {"SELECT * FROM t WHERE c = #cParameter#", text("01.02.2024"), kSqlite,
         "SELECT * FROM t WHERE c = '01.02.2024'"},
        {"SELECT * FROM t WHERE d = #dParameter#", date("gestern"), kSqlite, "SELECT * FROM t WHERE d = 'gestern'"},
        // An answer is never searched again: one naming a placeholder goes in as it stands.
        {"SELECT * FROM t WHERE a = #cParameter#", text("x #CPARAMETER#"), kSqlite,
         "SELECT * FROM t WHERE a = 'x #CPARAMETER#'"},
        {"SELECT * FROM t WHERE a = #cParameter# AND d = #dParameter#",
         {.text = "#dParameter#", .date = "01.02.2024"},
         kSqlite,
         "SELECT * FROM t WHERE a = '#dParameter#' AND d = '2024-02-01'"},
        // A placeholder without an answer is left for its own step.
        {"SELECT * FROM t WHERE d = #dParameter#", text("x"), kSqlite, "SELECT * FROM t WHERE d = #dParameter#"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillAnswers(c.statement, c.answers, kQueryWidth, c.connect), c.filled) << c.statement;
}

TEST(SqlParameters, MalformedBytesInAnAnswerShiftNoLaterReplacement) {
    // Over-long forms and a value past U+10FFFF once moved every position found after them.
    for (const char* bad : {"a\xE0\x81\xA1\x62", "\xF4\x90\x80\x80\xC3", "\xC0\xAF\xFF"}) {
        const SqlAnswers answers{.number = "5", .text = bad, .date = "01.02.2024"};
        EXPECT_EQ(FillAnswers("SELECT * FROM t WHERE c = #cParameter# AND n = #nParameter# AND d = #dParameter#",
                              answers, kQueryWidth, kSqlite),
                  "SELECT * FROM t WHERE c = '" + std::string(bad) + "' AND n = 5 AND d = '2024-02-01'");
    }
}

TEST(SqlParameters, NumberAnswersAreReadStrictly) {
    const struct {
        const char* answer;
        const char* filled;
    } cases[] = {{"42", "SELECT TOP 42 * FROM t WHERE n > 42"}, {" -7 ", "SELECT TOP -7 * FROM t WHERE n > -7"},
                 {"3,9", "SELECT TOP 3 * FROM t WHERE n > 3"},  {"12abc", "SELECT TOP 0 * FROM t WHERE n > 0"},
                 {"abc", "SELECT TOP 0 * FROM t WHERE n > 0"},  {"", "SELECT TOP 0 * FROM t WHERE n > 0"}};
    for (const auto& c : cases)
        EXPECT_EQ(FillAnswers("SELECT TOP #nParameter# * FROM t WHERE n > #nParameter#", {.number = c.answer},
                              kQueryWidth, kSqlite),
                  c.filled)
            << c.answer;
}

TEST(SqlParameters, AFilledFromExpressionKeepsItsStoredWidth) {
    const std::string from =
        "tAuftrag a JOIN tKunde k ON k.kKunde = a.kKunde WHERE k.cOrt = #cParameter#" + std::string(95 - 75, 'x');
    ASSERT_EQ(from.size(), 95u);
    const std::string filled = FillAnswers(from, text("Mönchengladbach-Nord"), kFromExpressionWidth, kSqlite);
    // 63 characters before the answer, 22 of the quoted answer, 15 of the 20 after it.
    EXPECT_EQ(filled, "tAuftrag a JOIN tKunde k ON k.kKunde = a.kKunde WHERE k.cOrt = 'Mönchengladbach-Nord'" +
                          std::string(15, 'x'));
    EXPECT_EQ(FillAnswers(std::string(200, 'a'), text("x"), kQueryWidth, kSqlite).size(), 200u);
    EXPECT_EQ(FillAnswers(std::string(9000, 'a'), text("x"), kQueryWidth, kSqlite).size(), 8000u);
}

TEST(SqlParameters, AFromExpressionTakesItsAnswerQuotedForTheTextParameterItStandsIn) {
    EXPECT_EQ(
        FillAnswers("tUmsatz WHERE cOrt = #cParameter#", {.text = "Köln'er", .nested = true}, kQueryWidth, kSqlite),
        "tUmsatz WHERE cOrt = ''Köln''''er''");
    EXPECT_EQ(
        FillAnswers("tUmsatz WHERE nJahr = #cParameter#", {.text = "2023;2024", .nested = true}, kQueryWidth, kSqlite),
        "tUmsatz WHERE nJahr  BETWEEN ''2023'' AND ''2024''");
}

// The parts go in as the definition stores them: their quotes are doubled there already.
TEST(SqlParameters, TheCrossTabStatementTakesEveryPartAsStored) {
    EXPECT_EQ(CrossTabStatement("cVertreterNr+'' ''+cName", "YEAR(dDatum)", "SUM(fUmsatz)",
                                "tUmsatz WHERE cOrt = ''Köln''   ", "A''B"),
              "EXECUTE spVOQDynamicCrossTab \r\n"
              "@RowValue='cVertreterNr+'' ''+cName', \r\n"
              "@ColValue='YEAR(dDatum)', \r\n"
              "@Aggregate='SUM(fUmsatz)', \r\n"
              "@FromExpression='tUmsatz WHERE cOrt = ''Köln''', \r\n"
              "@Title='A''B'");
}

}  // namespace
