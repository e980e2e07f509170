// The pivot table printed into a PDF file and read back: headings and values whole, each column
// as wide as they need, and the footer caption with its page numbers.
#include <gtest/gtest.h>

#include <set>

#include "pivot/print_report.h"
#include "runtime/report/report_printer.h"
#include "tests/pivot/pivot_fixture.h"
#include "tests/support/pdf_reading.h"

using namespace pivottest;

namespace {

TEST(PivotPrint, HeadingsAndValuesPrintWholeAndTheFooterFollowsItsCaption) {
    voq::test::pdfApplication();
    rt::qt::installReportPrinter();
    voq::test::TempDir dir;
    auto control = salesControl(
        dir,
        {{"Region", "Region", 2}, {"Jahr", "Jahr", 1}, {"Umsatz", "Deckungsbeitrag", 3}, {"EK", "Einkaufswert", 3}});
    auto& c = *control;
    rt::automationSet(c, "HeaderCaption", "Umsatz nach Region");
    rt::automationSet(c, "FooterCaption", "- Seite &P of  &PP -");
    const std::string pdf = dir.file("pivot.pdf");
    rt::Report report("Pivot");
    report.setOutputFile(pdf);
    pivot::buildPrintReport(*control->table(), control->look(), report);
    ASSERT_TRUE(report.printPages(report.pages()));
    ASSERT_TRUE(report.flush());

    std::set<std::string> words;
    for (const auto& w : voq::test::pdfWords(pdf)) words.insert(w.text);
    const auto& t = *control->table();
    // Every heading and every value as a word of its own (none of them holds a blank).
    std::vector<std::string> expected = {"Deckungsbeitrag", "Einkaufswert", "Gesamtergebnis", "Ährenfeld", "Zeppelin"};
    for (size_t line = 0; line < t.lineCount(); ++line)
        for (size_t col = 0; col < t.columnCount(); ++col)
            if (!t.text(line, col).empty()) expected.push_back(t.text(line, col));
    ASSERT_GT(expected.size(), 20u);
    for (const auto& text : expected) EXPECT_TRUE(words.count(text)) << text;
    const int pages = voq::test::pdfPageCount(pdf);
    ASSERT_GE(pages, 1);
    const std::string text = voq::test::squeezeBlanks(voq::test::pdfText(pdf, 1, 1));
    EXPECT_NE(text.find("- Seite 1 of " + std::to_string(pages) + " -"), std::string::npos) << text;
    EXPECT_EQ(voq::test::pdfText(pdf, 0, 0, false).find("of  "), std::string::npos);
    EXPECT_FALSE(voq::test::keepFirstPage(pdf, "pivot-print").empty());
    report.close();
    rt::setReportPrinter({});
}

}  // namespace
