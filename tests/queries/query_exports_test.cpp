// The three exports: exact lines, the file name, Windows-1252 bytes, and the files read back as
// their readers read them (Python's csv module, an HTML parser).
#include "queries/exports/query_exports.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

#include "runtime/os/files.h"
#include "runtime/os/process.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/support/command_output.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> fileLines(const std::string& file) {
    std::vector<std::string> lines;
    auto content = rt::readFile(file);
    if (!content) return lines;
    std::string text = rt::fromCp1252(*content);
    std::size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

std::string readBack(const std::string& kind, const std::string& file) {
    return voq::test::commandOutput("python3 '" VOQ_READ_BACK "' " + kind + " '" + file + "' 2>&1");
}

class QueryExports : public ::testing::Test {
protected:
    void SetUp() override {
        rt::setShellOpenProgram("true");
        rt::setTestClock(rt::dateFromYmd(2023, 5, 17), rt::timeFromHms(13, 45, 10));
        QueryResultEntry r;
        r.C1 = "Meier";
        r.C2 = "12";
        rows.add(r);
        r.C1 = "  Sa\"ge <b>";
        r.C2 = "A & B's Köln";
        rows.add(r);
        r.C1 = "";
        r.C2 = "x";
        rows.add(r);
        columns.add({.COLUMNNUMBER = 1, .COLUMNHEADER = "name", .MAXIMUMLENGTHDATA = 5, .LENGTHHEADER = 4});
        columns.add({.COLUMNNUMBER = 2, .COLUMNHEADER = "ort", .MAXIMUMLENGTHDATA = 3, .LENGTHHEADER = 6});
    }
    void TearDown() override {
        rt::clearTestClock();
        rt::setShellOpenProgram("");
        display.shutdown();
    }
    // Exports on a program thread, as the runner's window does.
    std::string exportAs(const std::string& kind, const QueryResultQueue& data, std::string cube = "Umsatz: 2024/25") {
        std::string written;
        int t = rt::startThread([&] {
            QueryExportData d{data, columns};
            d.columnCount = 2;
            d.headings = {"Name", "<Menge"};
            d.cubeName = cube;
            d.folder = dir.path().string();
            d.userId = "ANNA";
            written = ExportQueryResult(kind, d);
        });
        rt::waitThread(t);
        return written;
    }

    voq::test::TempDir dir;
    QueryResultQueue rows;
    ColumnListQueue columns;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
};

TEST_F(QueryExports, EachKindWritesItsLinesUnderTheCleanedCubeName) {
    const struct {
        const char* kind;
        std::vector<std::string> lines;
    } cases[] = {
        {"CSV", {"\"Name\";\"<Menge\";", "\"Meier\";\"12\";", "\"Sa\"\"ge <b>\";\"A & B's Köln\";", "\"\";\"x\";"}},
        {"TXT",
         // Widths 5 and 6: a longer value is cut, an empty first cell loses its blanks.
         {" ", "     Umsatz: 2024/25", " ", "Name  <Menge", "Meier 12    ", "Sa\"ge A & B'", "x     "}},
        {"HTML",
         {"<html>", "<head>", "<meta http-equiv=\"Content-Type\"", "content=\"text/html; charset=iso-8859-1\">",
          "<title>Umsatz: 2024/25</title>", "</head>", "<body bgcolor=\"#FFFFFF\">",
          "<P>Umsatz: 2024/25&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;ANNA&nbsp;&nbsp;&nbsp;"
          "05/17/2023&nbsp;13:45:10</P>",
          "<table Border COLS=2 WIDTH=\"100%\" >", "<tr><th>Name</th><th>&lt;Menge</th></tr>",
          "<tr><td>Meier</td><td>12</td></tr>", "<tr><td>Sa&quot;ge &lt;b&gt;</td><td>A &amp; B&#39;s Köln</td></tr>",
          "<tr><td></td><td>x</td></tr>", "</table>", "</body>", "</html>"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        std::string file = exportAs(c.kind, rows);
        EXPECT_EQ(file, dir.file(std::string("Umsatz  2024 25.") + c.kind));
        EXPECT_EQ(fileLines(file), c.lines);
        EXPECT_TRUE(user.messageBoxes().empty());
    }
    // One byte per character in the ANSI code page.
    auto bytes = rt::readFile(dir.file("Umsatz  2024 25.CSV"));
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("K\xF6ln"), std::string::npos);
}

TEST_F(QueryExports, CsvAndHtmlReadBackAsWritten) {
    const std::string expected =
        "[\"Name\", \"<Menge\"%]\n[\"Meier\", \"12\"%]\n[\"Sa\\\"ge <b>\", \"A & B's Köln\"%]\n[\"\", \"x\"%]\n";
    auto withTrailing = [&](const std::string& filler) {
        std::string s = expected;
        for (std::size_t p; (p = s.find('%')) != std::string::npos;) s.replace(p, 1, filler);
        return s;
    };
    // Every CSV cell ends with its semicolon, so a reader sees one empty field at the end.
    EXPECT_EQ(readBack("csv", exportAs("CSV", rows)), withTrailing(", \"\""));
    EXPECT_EQ(readBack("html", exportAs("HTML", rows)), withTrailing(""));
}

// Values as names come into an ERP: line breaks, formulas from web shops, letters of other code
// pages. Each file is read back whole by its reader.
TEST_F(QueryExports, AwkwardValuesReadBackWhole) {
    QueryResultQueue awkward;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"zwei\r\nZeilen", "-1\nx;y"}, {"=1+1", "+49 221"}, {"-12", "@SUM(A1)"}, {"-1.234,50", "+5"}};
    for (const auto& [a, b] : values) {
        QueryResultEntry r;
        r.C1 = a;
        r.C2 = b;
        awkward.add(r);
    }
    // CSV: line breaks kept within the quotes; text that a spreadsheet would take for a formula
    // gets the apostrophe, numbers do not.
    EXPECT_EQ(readBack("csv", exportAs("CSV", awkward)),
              "[\"Name\", \"<Menge\", \"\"]\n[\"zwei\\r\\nZeilen\", \"'-1\\nx;y\", \"\"]\n"
              "[\"'=1+1\", \"'+49 221\", \"\"]\n[\"-12\", \"'@SUM(A1)\", \"\"]\n[\"-1.234,50\", \"+5\", \"\"]\n");
    EXPECT_EQ(readBack("html", exportAs("HTML", awkward)),
              "[\"Name\", \"<Menge\"]\n[\"zwei\\r\\nZeilen\", \"-1\\nx;y\"]\n[\"=1+1\", \"+49 221\"]\n"
              "[\"-12\", \"@SUM(A1)\"]\n[\"-1.234,50\", \"+5\"]\n");
    // TXT: a line break would split the row, so it becomes a blank.
    EXPECT_EQ(fileLines(exportAs("TXT", awkward)),
              (std::vector<std::string>{" ", "     Umsatz: 2024/25", " ", "Name  <Menge", "zwei  -1 x;y",
                                        "=1+1  +49 22", "-12   @SUM(A", "-1.23 +5    "}));
    EXPECT_TRUE(user.messageBoxes().empty());
}

TEST_F(QueryExports, ValuesThatLoseCharactersInTheCodePageAreCounted) {
    QueryResultQueue foreign;
    QueryResultEntry r;
    r.C1 = "Łódź";
    r.C2 = "Köln";
    foreign.add(r);
    r.C1 = "Meier";
    r.C2 = "Ελλάδα";
    foreign.add(r);
    for (const char* kind : {"CSV", "HTML", "TXT"}) {
        SCOPED_TRACE(kind);
        user.queueMessageBoxAnswer(rt::button::Ok);
        const std::size_t before = user.messageBoxes().size();
        std::string file = exportAs(kind, foreign, "Umsatz");
        ASSERT_EQ(user.messageBoxes().size(), before + 1);
        EXPECT_EQ(user.lastMessageBox().text,
                  "2 Werte haben Zeichen, die der Zeichensatz Windows-1252 nicht kennt; sie stehen in der Datei als "
                  "\"?\".");
        auto bytes = rt::readFile(file);
        ASSERT_TRUE(bytes);
        // Still the code page of the file: one byte per character.
        EXPECT_NE(bytes->find("?\xF3"
                              "d?"),
                  std::string::npos);
        EXPECT_NE(bytes->find("K\xF6ln"), std::string::npos);
    }
}

// A line has room for 6,000 characters: values are cut, never a cell's quotes or tags, so every
// row ends whole and keeps all its cells.
TEST_F(QueryExports, LongRowsLoseTheEndsOfValuesNeverTheirMarkup) {
    ColumnListQueue wide;
    QueryResultQueue full;
    QueryResultEntry r;
    std::vector<std::string> headings;
    for (int c = 1; c <= 15; ++c) {
        wide.add({.COLUMNNUMBER = static_cast<rt::Byte>(c),
                  .COLUMNHEADER = "c",
                  .MAXIMUMLENGTHDATA = 200,
                  .LENGTHHEADER = 1});
        headings.push_back("c" + std::to_string(c));
    }
    for (int c = 1; c <= 15; ++c) resultColumn(r, c) = std::string(200, '<');
    full.add(r);
    for (int c = 1; c <= 15; ++c) resultColumn(r, c) = std::string(200, '"');
    full.add(r);
    for (const char* kind : {"CSV", "HTML"}) {
        SCOPED_TRACE(kind);
        std::string written;
        int t = rt::startThread([&] {
            QueryExportData d{full, wide};
            d.columnCount = 15;
            d.headings = headings;
            d.cubeName = "Breit";
            d.folder = dir.path().string();
            written = ExportQueryResult(kind, d);
        });
        rt::waitThread(t);
        for (const std::string& line : fileLines(written)) EXPECT_LE(rt::charLength(line), 6000u);
        std::istringstream rows(readBack(std::string(kind) == "CSV" ? "csv" : "html", written));
        std::string line;
        int n = 0;
        while (std::getline(rows, line)) {
            ++n;
            // 15 cells (and the empty one after CSV's last semicolon) in every row.
            int cells = 0;
            for (std::size_t p = 0; (p = line.find("\", \"", p)) != std::string::npos; p += 4) ++cells;
            EXPECT_EQ(cells + 1, std::string(kind) == "CSV" ? 16 : 15) << line.substr(0, 200);
        }
        EXPECT_EQ(n, 3);
        if (std::string(kind) == "HTML") {
            auto lines = fileLines(written);
            ASSERT_GE(lines.size(), 12u);
            for (std::size_t i = 9; i < 12; ++i) EXPECT_EQ(lines[i].substr(lines[i].size() - 5), "</tr>");
            // The first cells keep their values whole.
            EXPECT_EQ(
                lines[10].substr(0, 4 + 4 + 200 * 4 + 5), "<tr><td>" + [] {
                    std::string s;
                    for (int i = 0; i < 200; ++i) s += "&lt;";
                    return s;
                }() + "</td>");
        }
    }
}

// On a full disk the old export stays as it was, no part file is left, and the message says
// that writing failed.
TEST_F(QueryExports, AFailedWriteKeepsTheOldFileAndSaysSo) {
    QueryResultQueue many;
    QueryResultEntry r;
    r.C1 = std::string(200, 'x');
    r.C2 = "y";
    for (int i = 0; i < 5000; ++i) many.add(r);  // more than the disk takes, in each kind
    for (const char* kind : {"CSV", "HTML", "TXT"}) {
        SCOPED_TRACE(kind);
        const std::string old = dir.file(std::string("Umsatz.") + kind);
        ASSERT_TRUE(rt::writeFileReplacing(old, "old export"));
        user.queueMessageBoxAnswer(rt::button::Ok);
        std::string written;
        {
            voq::test::FileSizeLimit full(50000);
            written = exportAs(kind, many, "Umsatz");
        }
        EXPECT_EQ(written, "");
        EXPECT_EQ(user.lastMessageBox().text, "writing of export file failed: File too large 27");
        EXPECT_TRUE(rt::readFile(old) == std::optional<std::string>("old export"));
    }
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        EXPECT_EQ(e.path().filename().string().rfind("Umsatz.", 0), 0u) << e.path();
    }
    EXPECT_EQ(files, 3);
    // Through a link to a device that is full: said as well, and the device stays.
    std::filesystem::create_symlink("/dev/full", dir.file("Voll.CSV"));
    user.queueMessageBoxAnswer(rt::button::Ok);
    EXPECT_EQ(exportAs("CSV", rows, "Voll"), "");
    EXPECT_EQ(user.lastMessageBox().text, "writing of export file failed: No space left on device 28");
}

TEST_F(QueryExports, AnEmptyResultWritesTheHeadAndHeadingLinesOnly) {
    QueryResultQueue none;
    EXPECT_EQ(fileLines(exportAs("CSV", none)), (std::vector<std::string>{"\"Name\";\"<Menge\";"}));
    EXPECT_EQ(fileLines(exportAs("TXT", none)),
              (std::vector<std::string>{" ", "     Umsatz: 2024/25", " ", "Name  <Menge"}));
    auto html = fileLines(exportAs("HTML", none));
    ASSERT_EQ(html.size(), 13u);
    EXPECT_EQ(html[9], "<tr><th>Name</th><th>&lt;Menge</th></tr>");
    EXPECT_EQ(html[10], "</table>");
}

TEST_F(QueryExports, AFileThatCannotBeCreatedIsReportedAndNothingOpens) {
    user.queueMessageBoxAnswer(rt::button::Ok);
    std::string written;
    int t = rt::startThread([&] {
        QueryExportData d{rows, columns};
        d.columnCount = 2;
        d.cubeName = "Umsatz";
        d.folder = dir.file("fehlt");
        written = ExportQueryResult("CSV", d);
    });
    rt::waitThread(t);
    EXPECT_EQ(written, "");
    EXPECT_EQ(user.lastMessageBox().text, "open of export file failed: No such file or directory 2");
    EXPECT_EQ(user.lastMessageBox().title, "");
}

TEST_F(QueryExports, WithoutADesktopOpenerTheUserIsToldAndNothingWaits) {
    rt::setShellOpenProgram(dir.file("kein-oeffner"));
    user.queueMessageBoxAnswer(rt::button::Ok);
    std::string file = exportAs("TXT", rows);
    EXPECT_TRUE(rt::fileExists(file));
    EXPECT_EQ(user.lastMessageBox().text, "No program associated with this file\r\n" + file);
}

}  // namespace
