// The three exports: exact lines, the file name, Windows-1252 bytes, and the files read back as
// their readers read them (Python's csv module, an HTML parser).
#include "queries/exports/query_exports.h"

#include <cstdio>
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
          "<P>Umsatz: 2024/25&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;GLO:UserID&nbsp;&nbsp;&nbsp;"
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
