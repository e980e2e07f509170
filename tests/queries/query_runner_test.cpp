// The query runner on SQLite and PostgreSQL through the headless display: statements with their
// parameters and field list, the value forms, the sort cycle, the popup menu, the failures.
#include <atomic>
#include <chrono>
#include <thread>

#include "core/helpers/input_box.h"
#include "queries/reports/result_reports.h"
#include "runtime/os/files.h"
#include "runtime/report/report.h"
#include "tests/queries/query_fixture.h"

namespace querytest {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(QueryValueForms, EachFieldTypeFormatsItsValue) {
    const struct {
        const char* value;
        const char* type;
        const char* shown;
    } cases[] = {
        {"  2023-05-17 00:00:00.000", "Date", "2023-05-17"},
        {"2023-05-17 13:45:10.000", "Time", "13:45:10.000"},
        {"köln ", "UpperCase", "KÖLN"},
        {"1", "1MapToY0ToBlank", "Y"},
        {"0", "1MapToY0ToBlank", ""},
        {"ja", "1MapToY0ToBlank", "JA"},
        {"1234.5", "Money", "1.234,50"},
        {"-1234.5", "Money", "-1.234,50"},
        {"0.005", "Money", "0,01"},
        {"abc", "Money", "0,00"},
        {"2215551234", "PhoneNumber", "(221) 555-1234"},
        {"1,234", "RecordID", "1234"},
        {"  frei  ", "@s30", "frei"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatValue(c.value, c.type), c.shown) << c.type << " " << c.value;
}

// The statement run (it is also on the clipboard), the headings and the rows, per cube.
TEST_P(QueryTest, StatementsParametersAndFieldListsGiveTheirRows) {
    const struct {
        const char* name;
        Cube cube;
        const char* answer;  // nullptr: no input box; "": cancelled
        std::string statement;
        std::vector<std::string> headings;
        Rows rows;
    } cases[] = {
        {"field list with and without alias",
         {.bigQuery = "SELECT #FELDLISTE# FROM kunden WHERE nr < 3", .fields = {{"name", "Name"}, {"ort", "ort"}}},
         nullptr,
         "SELECT name AS Name, ort FROM kunden WHERE nr < 3",
         {"Name", "ort"},
         {{"Meier", "Köln"}, {"Schmidt", "D'dorf"}}},
        {"a field without a caption is selected without an alias",
         {.bigQuery = "SELECT #FELDLISTE# FROM kunden WHERE nr < 3", .fields = {{"name", ""}, {"ort", "Ort"}}},
         nullptr,
         "SELECT name, ort AS Ort FROM kunden WHERE nr < 3",
         {"name", "Ort"},
         {{"Meier", "Köln"}, {"Schmidt", "D'dorf"}}},
        {"text parameter with a quote",
         {.parameter = "cParameter",
          .bigQuery = "SELECT name FROM kunden WHERE ort = #cParameter#",
          .fields = {{"name", ""}}},
         "D'dorf",
         "SELECT name FROM kunden WHERE ort = 'D''dorf'",
         {"name"},
         {{"Schmidt"}}},
        {"an answer is never searched for the next placeholder",
         {.parameter = "cParameter",
          .bigQuery = "SELECT #FELDLISTE# FROM kunden WHERE name <> #cParameter# AND nr = 1",
          .fields = {{"name", "name"}}},
         "#FELDLISTE#",
         "SELECT name FROM kunden WHERE name <> '#FELDLISTE#' AND nr = 1",
         {"name"},
         {{"Meier"}}},
        {"empty text parameter",
         {.parameter = "cParameter",
          .bigQuery = "SELECT name FROM kunden #cParameter#WHERE nr = 3",
          .fields = {{"name", "Kunde"}}},
         "",
         "SELECT name FROM kunden WHERE nr = 3",
         {"Kunde"},
         {{"Albers"}}},
        {"numeric parameter 0 runs the long query",
         {.query = "SELECT name FROM kunden",
          .parameter = "WHERE nr = #nParameter#",
          .bigQuery = "SELECT name FROM kunden WHERE nr > #nParameter# AND nr < 3",
          .fields = {{"name", "Name"}}},
         "0",
         "SELECT name FROM kunden WHERE nr > 0 AND nr < 3",
         {"Name"},
         {{"Meier"}, {"Schmidt"}}},
        {"numeric parameter 10 runs the query and the parameter text",
         {.query = "SELECT name FROM kunden",
          .parameter = "WHERE nr = #nParameter#",
          .bigQuery = "SELECT name FROM kunden",
          .fields = {{"name", "Name"}}},
         "10",
         "SELECT name FROM kunden WHERE nr = 10",
         {"Name"},
         {{"Zander"}}},
        {"numeric parameter with a decimal comma",
         {.query = "SELECT name FROM kunden",
          .parameter = "WHERE nr < #nParameter#",
          .bigQuery = "SELECT name FROM kunden",
          .fields = {{"name", "Name"}}},
         "2,5",
         "SELECT name FROM kunden WHERE nr < 2.5",
         {"Name"},
         {{"Meier"}, {"Schmidt"}}},
        {"numeric parameter that is no number runs the long query",
         {.query = "SELECT name FROM kunden",
          .parameter = "WHERE nr = #nParameter#",
          .bigQuery = "SELECT name FROM kunden WHERE nr > #nParameter# AND nr < 2",
          .fields = {{"name", "Name"}}},
         "0x10",
         "SELECT name FROM kunden WHERE nr > 0 AND nr < 2",
         {"Name"},
         {{"Meier"}}},
        {"no rows",
         {.bigQuery = "SELECT name, umsatz FROM kunden WHERE nr = 99",
          .fields = {{"name", "Name"}, {"umsatz", "Umsatz", "Money"}}},
         nullptr,
         "SELECT name, umsatz FROM kunden WHERE nr = 99",
         {"Name", "Umsatz"},
         {}},
        {"value forms, sorted by the first column as text",
         {.bigQuery = "SELECT #FELDLISTE# FROM kunden",
          .fields = {{"CAST(nr AS VARCHAR(5))", "nr"}, {"umsatz", "umsatz", "Money"}, {"name", "name", "UpperCase"}}},
         nullptr,
         "SELECT CAST(nr AS VARCHAR(5)) AS nr, umsatz, name FROM kunden",
         {"nr", "umsatz", "name"},
         {{"1", "1.234,50", "MEIER"}, {"10", "0,00", "ZANDER"}, {"2", "80,00", "SCHMIDT"}, {"3", "-7,25", "ALBERS"}}},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cube cube = c.cube;
        cube.name = "Kunden " + std::to_string(++number);
        rt::Long id = addCube(cube);
        int t = startRunner(id);
        if (c.answer) {
            auto box = user.waitWindow("Parameter");
            if (*c.answer) {
                user.setValue(box, INPUTBOX_ENTRY, c.answer);
                user.press(box, INPUTBOX_OK);
            } else {
                user.press(box, INPUTBOX_CANCEL);
            }
        }
        auto w = waitRunner();
        EXPECT_EQ(user.window(w).title, "Query => " + cube.name + "/ Kunden je Ort");
        EXPECT_EQ(user.clipboard(), c.statement);
        EXPECT_EQ(headings(w, static_cast<int>(c.headings.size())), c.headings);
        EXPECT_EQ(listRows(w, static_cast<int>(c.headings.size())), c.rows);
        EXPECT_TRUE(user.messageBoxes().empty());
        closeRunner(w, t);
    }
}

TEST_P(QueryTest, HeadingClicksCycleTheSortAndTheMenuRestoresTheOriginalOrder) {
    rt::Long id = addCube({.bigQuery = "SELECT #FELDLISTE# FROM kunden",
                           .fields = {{"name", "Name"}, {"ort", "Ort"}, {"CAST(nr AS VARCHAR(5))", "Nr"}}});
    int t = startRunner(id);
    auto w = waitRunner();
    auto column = [&](int c) {
        std::vector<std::string> out;
        for (const auto& r : listRows(w, 3)) out.push_back(r[c - 1]);
        return out;
    };
    EXPECT_EQ(column(1), (std::vector<std::string>{"Albers", "Meier", "Schmidt", "Zander"}));
    const std::vector<std::string> ascending = {"Aachen", "Bonn", "D'dorf", "Köln"};
    const std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
    user.headerClick(w, RUNQUERY_LIST, 2);
    EXPECT_EQ(headings(w, 3), (std::vector<std::string>{"Name", ">Ort", "Nr"}));
    EXPECT_EQ(column(2), ascending);
    user.headerClick(w, RUNQUERY_LIST, 2);
    EXPECT_EQ(headings(w, 3), (std::vector<std::string>{"Name", "<Ort", "Nr"}));
    EXPECT_EQ(column(2), descending);
    user.headerClick(w, RUNQUERY_LIST, 2);
    EXPECT_EQ(headings(w, 3)[1], ">Ort");
    EXPECT_EQ(column(2), ascending);
    // Another column takes the mark; numbers held as text sort as text.
    user.headerClick(w, RUNQUERY_LIST, 3);
    EXPECT_EQ(headings(w, 3), (std::vector<std::string>{"Name", "Ort", ">Nr"}));
    EXPECT_EQ(column(3), (std::vector<std::string>{"1", "10", "2", "3"}));
    // "Set Original Sorting Order".
    user.queuePopupAnswer(5);
    user.key(w, RUNQUERY_LIST, rt::keys::MouseRight, 1, 1);
    EXPECT_EQ(headings(w, 3), (std::vector<std::string>{"Name", "Ort", "Nr"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"Albers", "Meier", "Schmidt", "Zander"}));
    closeRunner(w, t);
}

TEST_P(QueryTest, AnSqlErrorIsShownAndTheListStaysEmpty) {
    rt::Long id = addCube({.bigQuery = "SELECT nichtda FROM kunden", .fields = {{"nichtda", "X"}}});
    user.queueMessageBoxAnswer(rt::button::Ok);
    int t = startRunner(id);
    auto w = waitRunner();
    ASSERT_EQ(user.messageBoxes().size(), 1u);
    const auto box = user.lastMessageBox();
    EXPECT_EQ(box.title, "");
    EXPECT_EQ(box.text.rfind("Error:90-", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("SELECT nichtda FROM kunden"), std::string::npos) << box.text;
    EXPECT_EQ(user.rowCount(w, RUNQUERY_LIST), 0u);
    closeRunner(w, t);
}

// An empty statement is not sent: the user is told that it is empty, and why.
TEST_P(QueryTest, AnEmptyStatementIsNamedWithItsReason) {
    const rt::Long unknownWord = addCube({.query = "SELECT name FROM kunden",
                                          .parameter = "WHERE nr = #xParameter#",
                                          .bigQuery = "SELECT name FROM kunden",
                                          .fields = {{"name", "Name"}}});
    const rt::Long noQuery = addCube({.name = "Leer", .fields = {{"name", "Name"}}});
    const struct {
        rt::Long id;
        const char* text;
    } cases[] = {
        {999, "Die Abfrage ist leer: der Cube 999 existiert nicht."},
        {unknownWord, "Die Abfrage ist leer: der Parametertext nennt weder \"cParameter\" noch \"nParameter\"."},
        {noQuery, "Die Abfrage ist leer: der Cube hat keine Abfrage."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        user.queueMessageBoxAnswer(rt::button::Ok);
        const std::size_t before = user.messageBoxes().size();
        int t = startRunner(c.id);
        auto w = waitRunner();
        ASSERT_EQ(user.messageBoxes().size(), before + 1);
        EXPECT_EQ(user.lastMessageBox().text, c.text);
        EXPECT_EQ(user.rowCount(w, RUNQUERY_LIST), 0u);
        closeRunner(w, t);
    }
}

TEST_P(QueryTest, MoreThanFifteenFieldsShowTheFirstFifteenAndSaySoOnce) {
    Cube cube;
    cube.bigQuery = "SELECT #FELDLISTE# FROM kunden WHERE nr = 1";
    for (int i = 1; i <= 17; ++i) cube.fields.push_back({"nr + " + std::to_string(i), "f" + std::to_string(i)});
    rt::Long id = addCube(cube);
    user.queueMessageBoxAnswer(rt::button::Ok);
    int t = startRunner(id);
    auto w = waitRunner();
    ASSERT_EQ(user.messageBoxes().size(), 1u);
    EXPECT_NE(user.lastMessageBox().text.find("17 Felder"), std::string::npos);
    auto row = listRows(w, 15).at(0);
    EXPECT_EQ(row[0], "2");
    EXPECT_EQ(row[14], "16");
    const auto list = user.control(w, RUNQUERY_LIST).list;
    EXPECT_EQ(list->columns.at(14).heading, "f15");
    EXPECT_GT(list->columns.at(14).width, 0);
    closeRunner(w, t);
}

// The layout width picks the report: 3 columns of 10, 20 and 30 characters make 306 (portrait),
// 5 columns of 20 make 510 (landscape); the export writes the list as sorted.
TEST_P(QueryTest, PrintPicksTheReportByTheLayoutWidthAndExportsFollowTheSort) {
    exec("CREATE TABLE breit (a VARCHAR(40), b VARCHAR(40), c VARCHAR(40), d VARCHAR(40), e VARCHAR(40))");
    exec("INSERT INTO breit VALUES ('" + std::string(10, 'a') + "', '" + std::string(20, 'b') + "', '" +
         std::string(30, 'c') + "', '" + std::string(20, 'd') + "', '" + std::string(20, 'e') + "')");
    std::vector<rt::Orientation> printed;
    std::atomic<int> done{0};
    SetResultReportHook([&](rt::Report& report, ReportStage stage) {
        if (stage == ReportStage::Laid) printed.push_back(report.orientation());
        if (stage == ReportStage::Done) ++done;
    });
    const struct {
        std::vector<Field> fields;
        rt::Orientation orientation;
    } cases[] = {
        {{{"a", "a"}, {"b", "b"}, {"c", "c"}}, rt::Orientation::Portrait},
        {{{"b", "b"}, {"d", "d"}, {"e", "e"}, {"b", "b2"}, {"d", "d2"}}, rt::Orientation::Landscape},
    };
    int number = 0;
    for (const auto& c : cases) {
        rt::Long id = addCube({.name = "Breit " + std::to_string(++number),
                               .bigQuery = "SELECT #FELDLISTE# FROM breit",
                               .fields = c.fields});
        int t = startRunner(id);
        auto w = waitRunner();
        user.queuePopupAnswer(1);
        user.key(w, RUNQUERY_LIST, rt::keys::MouseRight, 1, 1);
        // The report runs on with its progress window.
        for (int i = 0; i < 500 && done < number; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(done, number);
        ASSERT_EQ(printed.size(), static_cast<std::size_t>(number));
        EXPECT_EQ(printed.back(), c.orientation);
        closeRunner(w, t);
    }
    SetResultReportHook({});

    // Sorted descending by column 2, then "Export To CSV (opens with Excel)".
    GLO.Excelpfad = dir_.path().string();
    rt::Long id = addCube({.name = "Kunden: A/Z",
                           .bigQuery = "SELECT #FELDLISTE# FROM kunden",
                           .fields = {{"name", "Name"}, {"ort", "Ort"}}});
    int t = startRunner(id);
    auto w = waitRunner();
    user.headerClick(w, RUNQUERY_LIST, 2);
    user.headerClick(w, RUNQUERY_LIST, 2);
    user.queuePopupAnswer(2);
    user.key(w, RUNQUERY_LIST, rt::keys::MouseRight, 1, 1);
    closeRunner(w, t);
    auto csv = rt::readFile(file("Kunden  A Z.CSV"));
    ASSERT_TRUE(csv);
    EXPECT_EQ(rt::fromCp1252(*csv),
              "\"Name\";\"<Ort\";\r\n\"Meier\";\"Köln\";\r\n\"Schmidt\";\"D'dorf\";\r\n"
              "\"Albers\";\"Bonn\";\r\n\"Zander\";\"Aachen\";\r\n");
}

// A read error in the middle of the rows (a server cursor fetching two rows at a time) is an
// error, not the end of the data.
TEST_P(QueryTest, AReadErrorWhileFillingIsReportedAndShowsNoRows) {
    if (!pg()) GTEST_SKIP() << "SQLite builds its result when the statement runs";
    GLO.ConnectString = connect_ + ";UseDeclareFetch=1;Fetch=2";
    rt::Long id = addCube({.bigQuery = "SELECT #FELDLISTE# FROM generate_series(1, 6) AS g(x)",
                           .fields = {{"CAST(12 / (4 - x) AS VARCHAR(5))", "v"}}});
    user.queueMessageBoxAnswer(rt::button::Ok);
    int t = startRunner(id);
    auto w = waitRunner();
    ASSERT_EQ(user.messageBoxes().size(), 1u);
    EXPECT_EQ(user.lastMessageBox().text.rfind("Error:", 0), 0u) << user.lastMessageBox().text;
    EXPECT_EQ(user.rowCount(w, RUNQUERY_LIST), 0u);
    closeRunner(w, t);
}

// The list shows the first block of rows while the server is still making the others (a server
// cursor handing 300 rows a time, the next block held up for a while).
TEST_P(QueryTest, TheFirstBlockOfRowsShowsWhileTheRestAreRead) {
    if (!pg()) GTEST_SKIP() << "needs a server that can hold up a result in its middle";
    GLO.ConnectString = connect_ + ";UseDeclareFetch=1;Fetch=300";
    rt::Long id =
        addCube({.bigQuery = "SELECT #FELDLISTE# FROM generate_series(1, 600) AS g(x) WHERE CASE WHEN x = 301 "
                             "THEN (SELECT x > 0 FROM pg_sleep(3)) ELSE true END",
                 .fields = {{"CAST(x AS VARCHAR(5))", "x"}}});
    int t = startRunner(id);
    // Found as soon as it shows, not once it waits for input.
    const rt::WindowId w = display.waitForWindow(
        [](const rt::HeadlessDisplay::Shown& s) { return s.window.procedure == "RunQuery"; }, std::chrono::seconds(10));
    ASSERT_NE(w, 0u);
    auto waitRows = [&](std::size_t n, std::chrono::milliseconds within) {
        const auto until = std::chrono::steady_clock::now() + within;
        while (user.rowCount(w, RUNQUERY_LIST) < n && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return user.rowCount(w, RUNQUERY_LIST);
    };
    EXPECT_EQ(waitRows(300, std::chrono::milliseconds(2500)), 300u);
    EXPECT_EQ(waitRows(600, std::chrono::seconds(20)), 600u);
    waitRunner();
    // Sorted as text once all are there.
    EXPECT_EQ(listRows(w, 1).at(1).at(0), "10");
    closeRunner(w, t);
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryTest, ::testing::Values("sqlite", "pg"), engineName);

}  // namespace
}  // namespace querytest
