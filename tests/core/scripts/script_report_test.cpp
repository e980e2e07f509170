// The report of a script file, printed into a PDF file and read back with pdftotext: with the
// scripts' text ("mit Memo-Feld"), each script's text is there whole, over as many lines and
// pages as it needs, and text in any bytes leaves the page readable.
#include <gtest/gtest.h>

#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/scripts/sql_scripts.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/pdf_reading.h"

namespace {

class ScriptReport : public coretest::WorkingFolderTest {
protected:
    void TearDown() override {
        display_.shutdown();
        rt::setReportPrinter({});
        WorkingFolderTest::TearDown();
    }
    struct Script {
        std::string name, table, text;
    };
    // Writes the scripts into a script file and prints its report into `pdf`.
    void print(const std::vector<Script>& scripts, bool withMemo, const std::string& pdf) {
        const std::string tps = file("Scripte.TPS");
        voq::test::printNextReportInto(user_, pdf);
        int t = rt::startThread([&] {
            InitDictionary();
            GLO.SCRIPT = tps;
            GLO.PRINTMEMO = withMemo ? 1 : 0;
            ASSERT_EQ(Access.Scripte->open(), 0);
            for (const auto& s : scripts) {
                SCR = {};
                SCR.Bezeichnung = s.name;
                SCR.Tabelle = s.table;
                SCR.Script = s.text;
                ASSERT_EQ(Access.Scripte->insert(), 0);
            }
            Access.Scripte->close();
            DruckeScripte();
            KillDictionary();
        });
        user_.waitThreadEnd(t);
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_F(ScriptReport, TheScriptTextPrintsWholeOverAsManyLinesAndPagesAsItNeeds) {
    // 143 characters on one line, three lines, and 129 lines, one of them wider than the page.
    std::string oneLine =
        "SELECT kArtikel, cArtNr, cName FROM tArtikel WHERE nAktiv = 1 AND kWarengruppe IN "
        "(SELECT kWarengruppe FROM tWarengruppe WHERE cName LIKE 'E%')";
    ASSERT_EQ(oneLine.size(), 143u);
    const std::string threeLines = "SELECT 1 AS eins\r\nUNION ALL SELECT 2\r\nUNION ALL SELECT 3 AS letzte";
    std::string long129;
    for (int i = 1; i <= 129; ++i) {
        long129 += "\tINSERT INTO tLog VALUES (" + std::to_string(i) + ", 'Zeile " + std::to_string(i) + "')";
        if (i == 64)
            long129 += std::string(20, ' ') +
                       "-- eine sehr lange Anmerkung, die weit über den rechten Rand "
                       "des Blattes hinaus geht und dort umbrechen muss: ENDE64";
        if (i < 129) long129 += "\n";
    }
    voq::test::TempDir out;
    const std::string pdf = out.file("skripte.pdf");
    print({{"Lang", "tArtikel", oneLine}, {"Drei", "tWarengruppe", threeLines}, {"Viele", "tLog", long129}}, true, pdf);
    ASSERT_TRUE(std::filesystem::exists(pdf)) << "no PDF";
    const int pages = voq::test::pdfPageCount(pdf);
    EXPECT_GE(pages, 3);  // 129 lines do not fit on one page
    const std::string all = voq::test::squeezeBlanks(voq::test::pdfText(pdf));
    // The long line wrapped: its end is there.
    EXPECT_NE(all.find("LIKE 'E%')"), std::string::npos) << all;
    for (const char* line : {"SELECT 1 AS eins", "UNION ALL SELECT 2", "UNION ALL SELECT 3 AS letzte"})
        EXPECT_NE(all.find(line), std::string::npos) << line;
    for (int i = 1; i <= 129; ++i)
        EXPECT_NE(all.find("INSERT INTO tLog VALUES (" + std::to_string(i) + ", 'Zeile " + std::to_string(i) + "')"),
                  std::string::npos)
            << "line " << i;
    EXPECT_NE(all.find("ENDE64"), std::string::npos);
    // Headers and page numbers on every page; the detail line of each script once.
    for (int p = 1; p <= pages; ++p) {
        const std::string text = voq::test::squeezeBlanks(voq::test::pdfText(pdf, p, p));
        EXPECT_NE(text.find("Report der Tabelle Scripte"), std::string::npos) << p;
        EXPECT_NE(text.find("Seite " + std::to_string(p)), std::string::npos) << p;
    }
    EXPECT_NE(all.find("Viele tLog"), std::string::npos);
    EXPECT_FALSE(voq::test::keepFirstPage(pdf, "script-report").empty());
}

TEST_F(ScriptReport, ATextInAnyBytesLeavesThePageReadable) {
    // "Größe" in Windows-1252, as a script file may hold it undecoded, and control characters.
    const std::string ansi =
        "SELECT Gr\xF6\xDF"
        "e AS Wert\x01\x02 FROM t -- \xFF\xFE & <b>";
    voq::test::TempDir out;
    const std::string pdf = out.file("bytes.pdf");
    print({{"Ansi", "t\x80x", ansi}, {"Danach", "tNach", "SELECT 2"}}, true, pdf);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::string all = voq::test::squeezeBlanks(voq::test::pdfText(pdf));
    EXPECT_NE(all.find("SELECT Größe AS Wert FROM t -- ÿþ & <b>"), std::string::npos) << all;
    EXPECT_NE(all.find("t€x"), std::string::npos) << all;
    EXPECT_NE(all.find("Danach tNach"), std::string::npos) << all;
    EXPECT_NE(all.find("SELECT 2"), std::string::npos) << all;
}

}  // namespace
