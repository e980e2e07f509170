// End to end: a three-page report printed through Qt PrintSupport into a PDF file, checked with
// the poppler tools.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "runtime/os/files.h"
#include "runtime/report/print_previewer.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report.h"
#include "tests/support/command_output.h"
#include "tests/support/test_support.h"

namespace {

QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "report_pdf_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication a(argc, argv);
    return a;
}

TEST(ReportPdf, AThreePageReportPrintsToPdfWithItsTextsAndPageSizes) {
    app();
    rt::qt::installReportPrinter();
    voq::test::TempDir dir;
    std::string pdf = dir.file("bericht.pdf");

    rt::Report report("Report der Tabelle Scripte");
    int id = 0;
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(40, 80, 515, 24);
    auto& head = report.addBand(1, rt::BandKind::PageHeader).setPosition(40, 30, 515, 30);
    head.addString(10, 0, 0, 400, 16).setText("Report der Tabelle Scripte").setFontSize(14).setBold();
    auto& detail = report.addBand(2, rt::BandKind::Detail).setSize(515, 12);
    detail.addString(11, 0, 0, 60, 12)
        .setUse([&] { return std::to_string(id); })
        .setPicture("@n6")
        .setJustify(rt::Justify::Right);
    detail.addString(12, 80, 0, 300, 12).setUse([&] { return "Skript Nummer " + std::to_string(id); });
    auto& foot = report.addBand(3, rt::BandKind::PageFooter).setPosition(40, 520, 515, 20);
    foot.addString(13, 400, 0, 100, 11).setPageNumber("@pSeite <<<#p").setFont({"Courier New", 10});
    report.setOutputFile(pdf);

    report.open();
    for (id = 1; id <= 5; ++id) {
        if (id == 5) report.setOrientation(rt::Orientation::Landscape);  // the third page turns
        report.print(2);
    }
    report.endReport();
    ASSERT_EQ(report.pageCount(), 3);
    EXPECT_EQ(report.printerName(), "PDF file");

    // No preview is installed: the previewer prints every page of the list.
    ASSERT_FALSE(rt::hasPreviewProcedure());
    EXPECT_TRUE(rt::PrintPreviewer(report).display());
    ASSERT_TRUE(rt::fileExists(pdf));

    std::string info = voq::test::commandOutput("pdfinfo -f 1 -l 3 '" + pdf + "' 2>&1");
    EXPECT_NE(voq::test::squeezeBlanks(info).find("Pages: 3"), std::string::npos) << info;
    EXPECT_NE(voq::test::squeezeBlanks(info).find("Page 1 size: 595 x 842 pts"), std::string::npos) << info;
    EXPECT_NE(voq::test::squeezeBlanks(info).find("Page 2 size: 595 x 842 pts"), std::string::npos) << info;
    EXPECT_NE(voq::test::squeezeBlanks(info).find("Page 3 size: 842 x 595 pts"), std::string::npos) << info;

    for (int page = 1; page <= 3; ++page) {
        std::string text = voq::test::commandOutput("pdftotext -layout -f " + std::to_string(page) + " -l " +
                                                    std::to_string(page) + " '" + pdf + "' - 2>&1");
        EXPECT_NE(text.find("Report der Tabelle Scripte"), std::string::npos) << text;
        EXPECT_NE(voq::test::squeezeBlanks(text).find("Seite " + std::to_string(page)), std::string::npos) << text;
        for (int rec = 2 * page - 1; rec <= std::min(5, 2 * page); ++rec)
            EXPECT_NE(text.find("Skript Nummer " + std::to_string(rec)), std::string::npos) << page << ": " << text;
    }
    std::string second = voq::test::commandOutput("pdftotext -f 2 -l 2 '" + pdf + "' - 2>&1");
    EXPECT_EQ(second.find("Skript Nummer 1\n"), std::string::npos);
    report.close();
    rt::setReportPrinter({});
}

TEST(ReportPdf, OnlyTheEntriesOfThePageListArePrintedInTheirOrder) {
    app();
    rt::qt::installReportPrinter();
    voq::test::TempDir dir;
    std::string pdf = dir.file("auswahl.pdf");
    rt::Report report("Auswahl");
    int id = 0;
    report.setBody(40, 40, 500, 12);
    report.addBand(1, rt::BandKind::Detail).setSize(500, 12).addString(2, 0, 0, 200, 12).setUse([&] {
        return "Blatt " + std::to_string(id);
    });
    report.setOutputFile(pdf);
    report.open();
    for (id = 1; id <= 5; ++id) report.print(1);
    report.endReport();
    rt::PreviewQueue list = {report.pages()[4], report.pages()[0], report.pages()[0]};
    ASSERT_TRUE(report.printPages(list));
    ASSERT_TRUE(report.flush());
    EXPECT_NE(voq::test::squeezeBlanks(voq::test::commandOutput("pdfinfo '" + pdf + "'")).find("Pages: 3"),
              std::string::npos);
    std::string text = voq::test::commandOutput("pdftotext '" + pdf + "' -");
    auto five = text.find("Blatt 5"), one = text.find("Blatt 1");
    EXPECT_NE(five, std::string::npos);
    EXPECT_LT(five, one);
    EXPECT_NE(text.find("Blatt 1", one + 1), std::string::npos);
    EXPECT_EQ(text.find("Blatt 2"), std::string::npos);
    rt::setReportPrinter({});
}

TEST(ReportPdf, WithoutAPrinterNothingIsPrintedAndTheCallSaysSo) {
    rt::setReportPrinter({});
    rt::Report report("ohne");
    report.setBody(0, 0, 100, 100);
    report.addBand(1, rt::BandKind::Detail).setSize(100, 10);
    report.open();
    report.print(1);
    report.endReport();
    EXPECT_FALSE(report.printPages(report.pages()));
    EXPECT_FALSE(report.printing());
}

}  // namespace
