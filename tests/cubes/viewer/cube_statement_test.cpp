// The statement the viewer gives its control: placeholders answered, the evaluation period added.
#include "cubes/viewer/cube_statement.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    const char* query;
    const char* bigQuery;
    const char* parameterText;
    int zeitraum;
    const char* startParameter;
    const char* answer;  // to whichever placeholder is asked
    const char* expected;
};

TEST(CubeStatement, PreparedAsTheCubeSays) {
    const Case cases[] = {
        {"no parameter", "SELECT * FROM t  ", "", "", 0, "", "", "SELECT * FROM t"},
        {"text answer", "SELECT * FROM t", "", "WHERE Nr = #cParameter#", 1, "", "4711",
         "SELECT * FROM t WHERE Nr = '4711' AND Jahr='2026'"},
        {"text answer with a quote", "SELECT * FROM t", "", "WHERE Name = #cParameter#", 0, "", "O'Neil",
         "SELECT * FROM t WHERE Name = 'O''Neil'"},
        {"range: only its own operator goes", "SELECT * FROM t WHERE a>=1 AND b<>2", "", "AND Name = #cParameter#", 0,
         "", "A;M", "SELECT * FROM t WHERE a>=1 AND b<>2 AND Name  BETWEEN 'A' AND 'M'"},
        {"range without blanks", "SELECT * FROM t", "", "WHERE Datum>=#dParameter#", 0, "", "01.01.2026;31.01.2026",
         "SELECT * FROM t WHERE Datum BETWEEN '2026-01-01' AND '2026-01-31'"},
        {"an answer holding the placeholder", "SELECT * FROM t", "", "WHERE a = #cParameter#", 0, "", "#cParameter#",
         "SELECT * FROM t WHERE a = '#cParameter#'"},
        {"empty text answer: the query alone", "SELECT * FROM t", "", "WHERE Name = #cParameter#", 0, "", "",
         "SELECT * FROM t"},
        {"number", "SELECT * FROM t", "", "WHERE Menge > #nParameter#", 0, "", " 12.50 ",
         "SELECT * FROM t WHERE Menge > 12.5"},
        {"number 0: the query alone", "SELECT * FROM t", "", "WHERE Menge > #nParameter#", 0, "", "abc",
         "SELECT * FROM t"},
        {"period 3 without WHERE", "SELECT * FROM t", "", "", 3, "", "", "SELECT * FROM t WHERE Jahr>='2025'"},
        {"period 3 with where in lower case", "select * from t where a=1", "", "", 3, "", "",
         "select * from t where a=1 AND Jahr>='2025'"},
        {"period 2", "SELECT * FROM t", "", "", 2, "", "", "SELECT * FROM t WHERE Jahr='2025'"},
        {"period 4: none", "SELECT * FROM t", "", "", 4, "", "", "SELECT * FROM t"},
        {"parameter text without placeholder", "SELECT * FROM t", "", "WHERE a = 1", 0, "", "",
         "SELECT * FROM t WHERE a = 1"},
        {"long query, empty text answer", "", "SELECT * FROM t WHERE n = #cParameter#", "#cParameter#", 1, "", "",
         "SELECT * FROM t WHERE n = ''"},
        {"long query, number 0", "", "SELECT * FROM t WHERE n > #nParameter#", "#nParameter#", 0, "", "0",
         "SELECT * FROM t WHERE n > 0"},
        {"start parameter", "SELECT * FROM t", "", "WHERE Kunde = #cParameter#", 1, "K'1", "unused",
         "SELECT * FROM t WHERE Kunde = 'K''1' AND Jahr='2026'"},
        {"start parameter, long query", "", "SELECT * FROM t WHERE k = #cParameter#", "#cParameter#", 0, "K1", "",
         "SELECT * FROM t WHERE k = 'K1'"},
    };
    for (const Case& c : cases) {
        VOQCubeKopfRecord cube;
        cube.Query = c.query;
        cube.BigQuery = c.bigQuery;
        cube.QueryParameter = c.parameterText;
        cube.Zeitraum = static_cast<rt::Short>(c.zeitraum);
        std::vector<std::string> asked;
        auto answer = [&](const std::string& message) {
            asked.push_back(message);
            return std::string(c.answer);
        };
        const CubeStatement s = PrepareCubeStatement(cube, c.startParameter, 2026, {answer, answer, answer});
        EXPECT_EQ(s.recordSource(), c.expected) << c.name;
        if (*c.startParameter) {
            EXPECT_TRUE(asked.empty()) << c.name;
        }
    }
}

TEST(CubeStatement, MessagesNameTheParameter) {
    VOQCubeKopfRecord cube;
    cube.Query = "SELECT * FROM t";
    cube.QueryParameter = "WHERE a = #cParameter# AND b = #nParameter# AND c = #dParameter#";
    std::vector<std::string> asked;
    auto answer = [&](const std::string& message) {
        asked.push_back(message);
        return std::string("7");
    };
    PrepareCubeStatement(cube, "", 2026, {answer, answer, answer});
    EXPECT_EQ(asked, (std::vector<std::string>{"Character Parameter eingeben", "Nummerischen Parameter eingeben",
                                               "Geben Sie ein Datum/Datumsbereich ein"}));
    cube.ParameterName = "Kunde";
    asked.clear();
    const CubeStatement s = PrepareCubeStatement(cube, "", 2026, {answer, answer, answer});
    EXPECT_EQ(asked, (std::vector<std::string>{"Geben Sie einen Wert für Kunde ein",
                                               "Geben Sie einen nummerischen Wert für Kunde ein",
                                               "Geben Sie einen Wert für Kunde ein"}));
    // Every placeholder asked is answered.
    EXPECT_EQ(s.statement, "SELECT * FROM t WHERE a = '7' AND b = 7 AND c = '7'");
    EXPECT_EQ(s.clipboard, s.statement);
}

TEST(CubeStatement, AnswersGoInOnceAndDatesAsTheBackEndReadsThem) {
    VOQCubeKopfRecord cube;
    cube.Query = "SELECT * FROM t";
    cube.QueryParameter = "WHERE c = #cParameter# AND n = #nParameter# AND d = #dParameter#";
    const struct {
        const char* text;
        const char* date;
        const char* connect;
        std::string expected;
    } cases[] = {
        // An answer naming a later placeholder is never searched again.
        {"#dParameter#", "01.02.2024", "DRIVER=SQLite3;Database=x.db",
         "SELECT * FROM t WHERE c = '#dParameter#' AND n = 5 AND d = '2024-02-01'"},
        // Malformed bytes shift no later replacement.
        {"a\xE0\x81\xA1", "29.02.2024", "DRIVER=PostgreSQL Unicode;Database=wawi",
         "SELECT * FROM t WHERE c = 'a\xE0\x81\xA1' AND n = 5 AND d = '2024-02-29'"},
        {"\xF4\x90\x80\x80", "01.02.2024;10.02.2024", "DRIVER=SQL Server;SERVER=WAWI;Database=eazybusiness",
         "SELECT * FROM t WHERE c = '\xF4\x90\x80\x80' AND n = 5 AND d  BETWEEN '20240201' AND '20240210'"},
    };
    for (const auto& c : cases) {
        int asked = 0;
        auto answer = [&](const std::string&) {
            ++asked;
            return std::string(asked == 1 ? c.text : asked == 2 ? "5" : c.date);
        };
        const CubeStatement s = PrepareCubeStatement(cube, "", 2026, {answer, answer, answer}, c.connect);
        EXPECT_EQ(s.statement, c.expected);
    }
    // The long query likewise.
    cube.BigQuery = "SELECT * FROM t WHERE c = #cParameter# AND d = #dParameter#";
    cube.QueryParameter = "#cParameter# #dParameter#";
    auto ask = [](const std::string& message) {
        return std::string(message == "Character Parameter eingeben" ? "#dParameter#" : "01.02.2024;10.02.2024");
    };
    EXPECT_EQ(PrepareCubeStatement(cube, "", 2026, {ask, ask, ask}, "DRIVER=SQLite3").longStatement,
              "SELECT * FROM t WHERE c = '#dParameter#' AND d  BETWEEN '2024-02-01' AND '2024-02-10'");
}

TEST(CubeStatement, LongQueryIsNeverCut) {
    VOQCubeKopfRecord cube;
    std::string query = "SELECT * FROM t WHERE k IN (#cParameter#, #cParameter#) AND x = '";
    query += std::string(7000, 'x') + "'";
    cube.BigQuery = query;
    cube.QueryParameter = "#cParameter#";
    const std::string answer(200, 'a');
    auto ask = [&](const std::string&) { return answer; };
    const CubeStatement s = PrepareCubeStatement(cube, "", 2026, {ask, ask, ask});
    EXPECT_EQ(s.longStatement.size(), query.size() - 2 * 12 + 2 * (answer.size() + 2));
    EXPECT_EQ(s.longStatement.substr(s.longStatement.size() - 10), std::string(9, 'x') + "'");
    EXPECT_EQ(s.clipboard.substr(0, 6), "SELECT");
    EXPECT_NE(s.clipboard.find("'AAAA"), std::string::npos);  // the clipboard gets it in upper case
}

}  // namespace
