// "Cube-Beschreibung" printed into a PDF file and read back: each field of the cube's header,
// and of its fields, shows its whole text, wrapped over lines within its column where it is long.
#include <algorithm>

#include "cubes/definitions/definitions.h"
#include "cubes/values/values.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"
#include "tests/support/pdf_reading.h"

namespace {

class CubeReportTest : public cubetest::CatalogueTest {
protected:
    void TearDown() override {
        rt::setReportPrinter({});
        CatalogueTest::TearDown();
    }
};

std::string withoutBlanks(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

// The words printed on the first page in a column between two x positions and two y positions
// (points), in reading order and without the blanks between them.
std::string column(const std::vector<voq::test::PdfWord>& words, double from, double to, double top, double bottom) {
    std::string out;
    for (const auto& w : words)
        if (w.page == 1 && w.xMin >= from - 0.5 && w.xMin < to && w.yMin > top && w.yMin < bottom) out += w.text;
    return out;
}

TEST_P(CubeReportTest, EveryHeaderFieldShowsItsWholeTextWrappedInItsColumn) {
    if (IsSkipped() || HasFatalFailure()) return;
    const std::string name = "Umsatz Warengruppen";
    const std::string description = "Umsatz und Deckungsbeitrag je Warengruppe, Monat und Filiale";
    const std::string connect = "DRIVER=SQLite3;SERVER=localhost;Database=/srv/daten/mandant/umsatz.db";
    const std::string query =
        "SELECT * FROM vDeckungsbeitrag WHERE dDatum >= #dParameter# AND kWarengruppe IN (SELECT kWarengruppe "
        "FROM tWarengruppe WHERE nAktiv = 1) ORDER BY kWarengruppe, dDatum -- ENDE";
    addCube(1, 0, name, description, 1, "vDeckungsbeitrag");
    onThread([&] {
        CUBK.ID = 1;
        ASSERT_EQ(Access.VOQCubeKopf->fetch("CUBK:KeyID"), 0);
        CUBK.Connect = connect;
        CUBK.Query = query;
        ASSERT_EQ(Access.VOQCubeKopf->update(), 0);
    });
    addField(1, 1, 1, "SUM(fVKNetto * nAnzahl) - SUM(fEKNetto * nAnzahl)");
    voq::test::TempDir out;
    const std::string pdf = out.file("cube.pdf");
    voq::test::printNextReportInto(user, pdf);
    onThread([] { DruckeCube(1); });
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const auto words = voq::test::pdfWords(pdf);
    // The body starts 30 points in; the columns of the header's fields stand at 40, 140, 280
    // and 440 within it, from under the page header's captions down to the check box.
    const auto patch =
        std::find_if(words.begin(), words.end(), [](const auto& w) { return w.text == "Dezimal-Patch"; });
    ASSERT_NE(patch, words.end());
    const double top = 65, bottom = patch->yMin;
    EXPECT_EQ(column(words, 70, 170, top, bottom), withoutBlanks(name));
    EXPECT_EQ(column(words, 170, 310, top, bottom), withoutBlanks(description));
    EXPECT_EQ(column(words, 310, 410, top, bottom), withoutBlanks(connect));
    EXPECT_EQ(column(words, 470, 566, top, bottom), withoutBlanks(query));
    // The field's expression below it, whole too, and the captions above.
    EXPECT_EQ(column(words, 64, 188, bottom + 1, 842),
              withoutBlanks("SUM(fVKNetto * nAnzahl) - SUM(fEKNetto * nAnzahl)"));
    const std::string text = voq::test::squeezeBlanks(voq::test::pdfText(pdf));
    for (const char* caption : {"Cube-Beschreibung", "ID Cube Name Beschreibung Connect Zugriff Query"})
        EXPECT_NE(text.find(caption), std::string::npos) << caption << "\n" << text;
    if (GetParam() == "sqlite") {
        EXPECT_FALSE(voq::test::keepFirstPage(pdf, "cube-report").empty());
    }
}

TEST_P(CubeReportTest, ACubeWithoutFieldsStillPrintsItsHeader) {
    if (IsSkipped() || HasFatalFailure()) return;
    addCube(2, 0, "Leer", "Noch ohne Felder", 1, "tLeer");
    voq::test::TempDir out;
    const std::string pdf = out.file("leer.pdf");
    voq::test::printNextReportInto(user, pdf);
    onThread([] { DruckeCube(2); });
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::string text = voq::test::squeezeBlanks(voq::test::pdfText(pdf));
    EXPECT_NE(text.find("2 Leer Noch ohne Felder"), std::string::npos) << text;
}

CATALOGUE_ENGINES(CubeReportTest);

}  // namespace
