// The placeholders of statements and from expressions filled with answers, and the cross tab's
// EXECUTE statement.
#include "cubes/sqlresult/sql_parameters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SqlParameters, TextAndDateAnswersAreQuotedRangesAndEmptyAnswersRewriteTheStatement) {
    const struct {
        const char* statement;
        std::string_view placeholder;
        const char* answer;
        const char* filled;
    } cases[] = {
        {"SELECT * FROM t WHERE name = #cParameter#", kTextParameter, "Meier", "SELECT * FROM t WHERE name = 'Meier'"},
        {"SELECT * FROM t WHERE name = #cparameter# OR alt = #CPARAMETER#", kTextParameter, "A'B",
         "SELECT * FROM t WHERE name = 'A''B' OR alt = 'A''B'"},
        // An empty answer drops the condition and everything after it.
        {"SELECT * FROM t WHERE name = #cParameter# ORDER BY name", kTextParameter, "", "SELECT * FROM t"},
        {"SELECT #cParameter# AS x FROM t", kTextParameter, "  ", "SELECT  AS x FROM t"},
        // A range takes the place of the comparison in front of the placeholder only.
        {"SELECT * FROM t WHERE a = 1 AND b = #cParameter#", kTextParameter, "1;5",
         "SELECT * FROM t WHERE a = 1 AND b  BETWEEN '1' AND '5'"},
        {"SELECT * FROM t WHERE a <> 1 AND d >= #dParameter# ORDER BY d", kDateParameter, "01.01.2024;31.01.2024",
         "SELECT * FROM t WHERE a <> 1 AND d  BETWEEN '01.01.2024' AND '31.01.2024' ORDER BY d"},
        {"SELECT * FROM t WHERE d = #dParameter#", kDateParameter, "31.01.2024",
         "SELECT * FROM t WHERE d = '31.01.2024'"},
        // An answer naming its own placeholder would never be done with.
        {"SELECT * FROM t WHERE a = #cParameter#", kTextParameter, "x #CPARAMETER#", "refused"},
        {"SELECT * FROM t WHERE a = #cParameter#", kTextParameter, "1;#cParameter#", "refused"},
        // Another placeholder is left for its own step.
        {"SELECT * FROM t WHERE d = #dParameter#", kTextParameter, "x", "SELECT * FROM t WHERE d = #dParameter#"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillTextAnswer(c.statement, c.placeholder, c.answer, kQueryWidth).value_or("refused"), c.filled)
            << c.statement;
}

TEST(SqlParameters, NumberAnswersAreWholeNumbers) {
    const struct {
        const char* answer;
        const char* filled;
    } cases[] = {{"42", "SELECT TOP 42 * FROM t WHERE n > 42"},
                 {" -7 ", "SELECT TOP -7 * FROM t WHERE n > -7"},
                 {"3,9", "SELECT TOP 3 * FROM t WHERE n > 3"},
                 {"abc", "SELECT TOP 0 * FROM t WHERE n > 0"},
                 {"", "SELECT TOP 0 * FROM t WHERE n > 0"}};
    for (const auto& c : cases)
        EXPECT_EQ(FillNumberAnswer("SELECT TOP #nParameter# * FROM t WHERE n > #nParameter#", kNumberParameter,
                                   c.answer, kQueryWidth),
                  c.filled)
            << c.answer;
}

TEST(SqlParameters, AFilledFromExpressionKeepsItsStoredWidth) {
    const std::string from =
        "tAuftrag a JOIN tKunde k ON k.kKunde = a.kKunde WHERE k.cOrt = #cParameter#" + std::string(95 - 75, 'x');
    ASSERT_EQ(from.size(), 95u);
    const std::string filled = *FillTextAnswer(from, kTextParameter, "Mönchengladbach-Nord", kFromExpressionWidth);
    // 63 characters before the answer, 22 of the quoted answer, 15 of the 20 after it.
    EXPECT_EQ(filled, "tAuftrag a JOIN tKunde k ON k.kKunde = a.kKunde WHERE k.cOrt = 'Mönchengladbach-Nord'" +
                          std::string(15, 'x'));
    EXPECT_EQ(FillTextAnswer(std::string(200, 'a'), kTextParameter, "x", kQueryWidth)->size(), 200u);
    EXPECT_EQ(FillTextAnswer(std::string(9000, 'a'), kTextParameter, "x", kQueryWidth)->size(), 8000u);
}

TEST(SqlParameters, AFromExpressionTakesItsAnswerQuotedForTheTextParameterItStandsIn) {
    EXPECT_EQ(*FillTextAnswer("tUmsatz WHERE cOrt = #cParameter#", kTextParameter, "Köln'er", kQueryWidth, true),
              "tUmsatz WHERE cOrt = ''Köln''''er''");
    EXPECT_EQ(*FillTextAnswer("tUmsatz WHERE nJahr = #cParameter#", kTextParameter, "2023;2024", kQueryWidth, true),
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
