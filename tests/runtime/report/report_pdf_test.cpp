// End to end: a three-page report printed through Qt PrintSupport into a PDF file, checked with
// the poppler tools.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "runtime/os/files.h"
#include "runtime/report/print_previewer.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report.h"
#include "runtime/ui/headless_display.h"
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

// A file that cannot be written is told, and the user may choose another one: the pages then go
// there. Refused again or cancelled, nothing is taken for printed.
TEST(ReportPdf, AFileThatCannotBeWrittenIsToldAndAnotherMayBeChosen) {
    app();
    rt::qt::installReportPrinter();
    rt::HeadlessDisplay display;
    rt::TestDriver user{display};
    voq::test::TempDir dir;
    std::filesystem::create_directory(dir.file("ordner.pdf"));  // a folder where the file should be
    const std::string missing = dir.file("fehlt/bericht.pdf");
    const std::string good = dir.file("bericht.pdf");
    auto makeReport = [](rt::Report& report) {
        report.setBody(40, 40, 500, 400);
        report.addBand(1, rt::BandKind::Detail).setSize(500, 12).addString(2, 0, 0, 200, 12).setText("Umsatz & Größe");
        report.open();
        report.print(1);
        report.endReport();
    };
    auto file = [](const std::string& path) {
        rt::FileDialogResult r;
        r.ok = true;
        r.path = path;
        return r;
    };
    const std::string other = "&Andere Datei wählen";
    // Given a file in a folder that does not exist: told; a folder in the way of the file
    // chosen next: told again; the third choice takes the pages.
    {
        rt::Report report("Bericht");
        makeReport(report);
        report.setOutputFile(missing);
        user.queueMessageBoxAnswer(other);
        user.queueFileDialogAnswer(file(dir.file("ordner.pdf")));
        user.queueMessageBoxAnswer(other);
        user.queueFileDialogAnswer(file(good));
        EXPECT_TRUE(rt::PrintPreviewer(report).display());
        const auto boxes = user.messageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "Die Datei \"" + missing +
                                     "\" kann nicht geschrieben werden.\nDie Seiten können in eine andere Datei "
                                     "gedruckt werden.");
        EXPECT_NE(boxes[1].text.find(dir.file("ordner.pdf")), std::string::npos);
        EXPECT_EQ(boxes[0].title, "Drucken");
        EXPECT_EQ(voq::test::commandOutput("pdftotext '" + good + "' - 2>&1").find("Umsatz & Größe"), 0u);
        EXPECT_FALSE(std::filesystem::exists(missing));
        EXPECT_EQ(report.printOptions().outputFile, missing);  // the next job tries the given file again
    }
    // Without a printer, through "In PDF-Datei drucken" into a folder that does not exist, then
    // cancelled: nothing printed, and the call says so.
    {
        rt::Report report("Bericht");
        makeReport(report);
        std::filesystem::remove(good);
        user.queueMessageBoxAnswer("In &PDF-Datei drucken");
        user.queueFileDialogAnswer(file(missing));
        user.queueMessageBoxAnswer("&Abbrechen");
        EXPECT_FALSE(rt::PrintPreviewer(report).display());
        const auto boxes = user.messageBoxes();
        ASSERT_EQ(boxes.size(), 4u);
        EXPECT_NE(boxes[3].text.find("Die Datei \"" + missing + "\" kann nicht geschrieben werden."),
                  std::string::npos);
        EXPECT_FALSE(report.printing());
        EXPECT_TRUE(report.printOptions().outputFile.empty());
        EXPECT_FALSE(std::filesystem::exists(missing));
    }
    display.shutdown();
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
