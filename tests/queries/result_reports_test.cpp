// The list reports: column placement, hidden columns, the landscape switch, and the landscape
// report printed to PDF through Qt PrintSupport and read back with pdftotext.
#include "queries/reports/result_reports.h"

#include <QGuiApplication>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/support/command_output.h"
#include "tests/support/pdf_reading.h"
#include "tests/support/test_support.h"

namespace {

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "queries_reports_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication a(argc, argv);
    return a;
}

using Printer = void (*)(std::string_view, const QueryResultQueue&, const ColumnListQueue&);

class ResultReports : public ::testing::Test {
protected:
    void SetUp() override {
        SetResultReportHook([this](rt::Report& report, ReportStage stage) {
            if (stage == ReportStage::Laid) {
                report.setKeepPageData(true);
                if (!pdf.empty()) report.setOutputFile(pdf);
            } else {
                pages = report.pageData();
            }
        });
    }
    void TearDown() override {
        SetResultReportHook({});
        rt::setReportPrinter({});
        display.shutdown();
    }
    // A layout of columns (data length, heading) and one row of values as long as the data.
    void layout(const std::vector<std::pair<int, std::string>>& cols, const std::string& justification = "") {
        QueryResultEntry row;
        row.RECORDID = 1;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            ColumnListEntry e;
            e.COLUMNNUMBER = static_cast<rt::Byte>(i + 1);
            e.COLUMNHEADER = cols[i].second;
            e.MAXIMUMLENGTHDATA = static_cast<rt::Byte>(cols[i].first);
            e.LENGTHHEADER = static_cast<rt::Byte>(cols[i].second.size());
            e.JUSTIFICATION = justification;
            columns.add(e);
            if (i < 15)
                resultColumn(row, static_cast<int>(i) + 1) = std::string(cols[i].first, static_cast<char>('a' + i));
        }
        rows.add(row);
    }
    void print(Printer printer) {
        int t = rt::startThread([&] { printer("Kunden je Ort", rows, columns); });
        rt::waitThread(t);
    }
    // Where a text starts on the first page, relative to the band's left edge.
    double xOf(const std::string& text, double bandX) const {
        const rt::PageItem* item = pages.at(0).findText(text);
        return item ? item->x - bandX : -1;
    }

    QueryResultQueue rows;
    ColumnListQueue columns;
    std::string pdf;
    std::vector<rt::PageData> pages;
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
};

TEST_F(ResultReports, ColumnsStandSideBySideAsWideAsDataOrHeading) {
    layout({{10, "h1"}, {20, "h2"}, {30, "h3"}, {2, "Langer Kopf"}, {4, "h5"}});
    print(PrintReportQueryQ);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].orientation, rt::Orientation::Portrait);
    // Page header at x 5, detail band in the body at x 7.
    EXPECT_EQ(xOf("h1", 5), 0);
    EXPECT_EQ(xOf("h2", 5), 52);
    EXPECT_EQ(xOf("h3", 5), 154);
    EXPECT_EQ(xOf("Langer Kopf", 5), 306);
    EXPECT_EQ(xOf("h5", 5), 306 + 55 + 2);
    EXPECT_EQ(xOf(std::string(20, 'b'), 7), 52);
    EXPECT_EQ(xOf("dd", 7), 306);
    EXPECT_NE(pages[0].findText("Kunden je Ort"), nullptr);
    EXPECT_NE(pages[0].findText("Seite    1"), nullptr);
}

TEST_F(ResultReports, ColumnsBeyondTheLayoutAreHidden) {
    layout({{3, "h1"}, {3, "h2"}, {3, "h3"}});
    print(PrintReportQueryQ_LS);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].orientation, rt::Orientation::Landscape);
    // Title, date, three headings, three values, the page number.
    EXPECT_EQ(pages[0].texts().size(), 9u);
}

TEST_F(ResultReports, PrintReportQueryTurnsLandscapeOnlyBeyond420) {
    const struct {
        std::vector<std::pair<int, std::string>> cols;
        rt::Orientation orientation;
    } cases[] = {
        // 5 columns of 82 characters in all end at 5 x 82 + 5 x 2 = 420.
        {{{20, "a"}, {20, "b"}, {20, "c"}, {20, "d"}, {2, "e"}}, rt::Orientation::Portrait},
        // 3 columns of 83 characters end at 421.
        {{{40, "a"}, {40, "b"}, {3, "c"}}, rt::Orientation::Landscape},
    };
    for (const auto& c : cases) {
        rows.free();
        columns.free();
        layout(c.cols, "Decimal");
        print(PrintReportQuery);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].orientation, c.orientation);
    }
    // The alignment "Decimal" puts up no box.
    EXPECT_TRUE(user.messageBoxes().empty());
}

TEST_F(ResultReports, AnEmptyResultPrintsNoDetailLines) {
    layout({{5, "Name"}});
    rows.free();
    user.queueMessageBoxAnswer(rt::button::Ok);
    print(PrintReportQueryQ);
    EXPECT_TRUE(pages.empty());
    EXPECT_EQ(user.lastMessageBox().text, "Keine Daten");
}

TEST_F(ResultReports, TheLandscapeReportPrintsToPdf) {
    app();
    rt::qt::installReportPrinter();
    voq::test::TempDir dir;
    pdf = dir.file("liste.pdf");
    QueryResultEntry row;
    for (int i = 1; i <= 60; ++i) {
        row.C1 = "Kunde " + std::to_string(i);
        row.C2 = i % 2 ? "Köln" : "Bonn";
        row.C3 = std::to_string(i * 10) + ",00";
        row.RECORDID = i;
        rows.add(row);
    }
    columns.add({.COLUMNNUMBER = 1, .COLUMNHEADER = "Name", .MAXIMUMLENGTHDATA = 8, .LENGTHHEADER = 4});
    columns.add({.COLUMNNUMBER = 2, .COLUMNHEADER = "Ort", .MAXIMUMLENGTHDATA = 4, .LENGTHHEADER = 3});
    columns.add({.COLUMNNUMBER = 3,
                 .COLUMNHEADER = "Umsatz",
                 .MAXIMUMLENGTHDATA = 6,
                 .LENGTHHEADER = 6,
                 .JUSTIFICATION = "Right"});
    print(PrintReportQueryQ_LS);
    ASSERT_GE(pages.size(), 2u);
    std::string info = voq::test::commandOutput("pdfinfo '" + pdf + "' 2>&1");
    EXPECT_NE(voq::test::squeezeBlanks(info).find("Pages: " + std::to_string(pages.size()) + "\n"), std::string::npos)
        << info;
    EXPECT_NE(info.find("842 x 595"), std::string::npos) << info;
    std::string first =
        voq::test::squeezeBlanks(voq::test::commandOutput("pdftotext -layout -f 1 -l 1 '" + pdf + "' - 2>&1"));
    for (const char* text : {"Kunden je Ort", "Name Ort Umsatz", "Kunde 1 Köln 10,00", "Kunde 2 Bonn 20,00", "Seite 1"})
        EXPECT_NE(first.find(text), std::string::npos) << text << "\n" << first;
    std::string last = voq::test::commandOutput("pdftotext -layout -f " + std::to_string(pages.size()) + " -l " +
                                                std::to_string(pages.size()) + " '" + pdf + "' - 2>&1");
    EXPECT_NE(last.find("Kunde 60"), std::string::npos) << last;
}

// Columns stand where their lengths put them, and however full, no column's text runs into the
// next: on paper each heading and value is a word of its own, whole, with at least a
// character's width before the next column's text.
TEST_F(ResultReports, NoColumnRunsIntoTheNext) {
    app();
    rt::qt::installReportPrinter();
    voq::test::TempDir dir;
    const std::vector<std::pair<int, std::string>> cols = {{1, "A"},      {2, "Nr"},  {5, "kUmsatzPos"},  {6, "dDatum"},
                                                           {8, "Betrag"}, {3, "XYZ"}, {14, "Bezeichnung"}};
    for (const std::string justification : {"Left", "Right", "Decimal"}) {
        SCOPED_TRACE(justification);
        rows.free();
        columns.free();
        pages.clear();
        pdf = dir.file(justification + ".pdf");
        layout(cols, justification);
        print(PrintReportQueryQ);
        ASSERT_EQ(pages.size(), 1u);
        const auto words = voq::test::pdfWords(pdf);
        // The column each word stands in, by the layout's positions from the band's left edge
        // (the page header's at 5 points, the body's at 7).
        std::vector<double> starts;
        double x = 0;
        for (const auto& c : cols) {
            starts.push_back(x);
            x += std::max<double>(c.first, c.second.size()) * 5 + 2;
        }
        auto columnOf = [&](double at, double band) {
            int k = -1;
            for (std::size_t i = 0; i < starts.size(); ++i)
                if (at >= band + starts[i] - 0.5) k = static_cast<int>(i);
            return k;
        };
        std::map<int, std::vector<voq::test::PdfWord>> lines;  // by their top, headings and values
        for (const auto& w : words)
            if (w.yMin > 35 && w.yMin < 100) lines[static_cast<int>(w.yMin)].push_back(w);
        ASSERT_EQ(lines.size(), 2u);
        int line = 0;
        for (auto& [top, ws] : lines) {
            ASSERT_EQ(ws.size(), cols.size()) << "line at " << top;
            std::sort(ws.begin(), ws.end(), [](const auto& a, const auto& b) { return a.xMin < b.xMin; });
            for (std::size_t i = 0; i < ws.size(); ++i) {
                const std::string whole =
                    line == 0 ? cols[i].second
                              : std::string(static_cast<std::size_t>(cols[i].first), static_cast<char>('a' + i));
                EXPECT_EQ(ws[i].text, whole);
                EXPECT_EQ(columnOf(ws[i].xMin, line == 0 ? 5 : 7), static_cast<int>(i)) << ws[i].text;
                // A column of one character keeps that character, whatever the gap.
                if (i == 0 || std::max<std::size_t>(cols[i - 1].first, cols[i - 1].second.size()) < 2) continue;
                const double charWidth = (ws[i - 1].xMax - ws[i - 1].xMin) / ws[i - 1].text.size();
                EXPECT_GE(ws[i].xMin - ws[i - 1].xMax, charWidth * 0.98) << ws[i - 1].text << " | " << ws[i].text;
            }
            ++line;
        }
        if (justification == "Right") {
            EXPECT_FALSE(voq::test::keepFirstPage(pdf, "list-report").empty());
        }
    }
}

}  // namespace
