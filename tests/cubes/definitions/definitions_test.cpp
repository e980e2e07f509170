// Cube definitions: the checks against the column catalogue, the field expression, reordering
// the fields, the cube form's insert and cancel, the field form and the cube report.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cubes/definitions/definitions.h"
#include "cubes/values/values.h"
#include "runtime/classlib/request.h"
#include "runtime/report/print_previewer.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"

using namespace cubekopf;
namespace req = rt::request;
namespace resp = rt::response;

namespace {

TEST(FieldExpression, ChoicesGrowAFormulaOrReplaceTheExpression) {
    struct Case {
        const char* expression;
        const char* choice;
        const char* expected;
    } cases[] = {
        {"Menge", "-", "-"}, {"Menge*", "Preis", "Menge*Preis"}, {"", "Menge", "Menge"},
        {"a+", " ", "a+"},   {" +", "Preis", "Preis"},           {"Menge-Rabatt ", "/", "Menge-Rabatt/"},
    };
    for (const auto& c : cases) EXPECT_EQ(AppendFieldChoice(c.expression, c.choice), c.expected) << c.expression;
    EXPECT_TRUE(IsComputedField("a+b"));
    EXPECT_FALSE(IsComputedField("Menge"));
}

class CubeDefinitionTest : public cubetest::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec("CREATE TABLE " + table("tsales") + " (menge INT, preis INT, kunde VARCHAR(20))");
        onThread([] { SeedStandardValues(); });
    }
    void addFiveFields(long cube) {
        for (int i = 1; i <= 5; ++i) addField(100 + i, cube, i * 10, "F" + std::to_string(i));
    }
};

TEST_P(CubeDefinitionTest, ChecksAgainstTheColumnCatalogue) {
    onThread([] {
        EXPECT_EQ(TableCheck("tsales"), "Tabelle/ Sicht vorhanden");
        EXPECT_EQ(TableCheck("tfehlt"), "Tabelle/ Sicht nicht vorhanden");
        EXPECT_EQ(TableCheck("t'sales"), "Tabelle/ Sicht nicht vorhanden");
        EXPECT_EQ(FieldCheck("tsales", "menge"), "Feld vorhanden");
        EXPECT_EQ(FieldCheck("tsales", "a+b"), "Rechenfeld");
        EXPECT_EQ(FieldCheck("tsales", "fehlt"), "Feld nicht vorhanden");
        EXPECT_EQ(FieldStatus("tsales", "preis"), "View OK");
        EXPECT_EQ(FieldStatus("tsales", "menge*preis"), "Rechenfeld");
        EXPECT_EQ(FieldStatus("tsales", "o'neil"), "View not OK");
        EXPECT_EQ(ColumnChoices("tsales"), (std::vector<std::string>{"menge", "preis", "kunde", "+", "-", "/", "*"}));
        EXPECT_EQ(ColumnChoices("tfehlt"), (std::vector<std::string>{"+", "-", "/", "*"}));
    });
    EXPECT_TRUE(user.messageBoxes().empty());
    EXPECT_NE(user.clipboard().find("UPPER(TABLE_NAME) = UPPER('t''sales')"), std::string::npos);
}

// Names as the user writes them find the table and its columns whatever case the back end keeps
// them in (PostgreSQL folds unquoted names to lower case), the program's own tables too.
TEST_P(CubeDefinitionTest, MixedCaseNamesAreFoundAsTheServerNamesThem) {
    exec("CREATE TABLE " + table("tUmsatzX") + " (fMenge INT, cOrt VARCHAR(20))");
    onThread([] {
        EXPECT_EQ(TableCheck("tUmsatzX"), "Tabelle/ Sicht vorhanden");
        EXPECT_EQ(TableCheck("VOQCubeKopf"), "Tabelle/ Sicht vorhanden");
        EXPECT_EQ(FieldCheck("tUmsatzX", "fMenge"), "Feld vorhanden");
        EXPECT_EQ(FieldCheck("TUMSATZX", "cort"), "Feld vorhanden");
        EXPECT_EQ(FieldStatus("tUmsatzX", "fMenge"), "View OK");
        EXPECT_EQ(FieldCheck("VOQCubeKopf", "CubeName"), "Feld vorhanden");
        const std::vector<std::string> choices = ColumnChoices("tUmsatzX");
        ASSERT_EQ(choices.size(), 6u);
        EXPECT_TRUE(rt::equalsNoCase(choices[0], "fMenge")) << choices[0];
        EXPECT_TRUE(rt::equalsNoCase(choices[1], "cOrt")) << choices[1];
    });
    EXPECT_TRUE(user.messageBoxes().empty());
}

TEST_P(CubeDefinitionTest, ReorderingMovesTheFieldAndShiftsThoseBetween) {
    struct Case {
        int source, target;
        std::vector<std::string> fields;
    } cases[] = {
        {2, 5, {"10:F1", "20:F3", "30:F4", "40:F5", "50:F2"}},
        {4, -1, {"10:F1", "20:F2", "30:F3", "40:F5", "50:F4"}},  // below the last row: to the end
        {5, 0, {"10:F5", "20:F1", "30:F2", "40:F3", "50:F4"}},   // 0 counts as the first row
        {3, 3, {"10:F1", "20:F2", "30:F3", "40:F4", "50:F5"}},
    };
    addCube(1, 0, "C1", "Reihenfolge", 1, "tsales");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source << " -> " << c.target);
        exec("DELETE FROM " + table("VOQCUBEDETAIL"));
        addFiveFields(1);
        onThread([&] { EXPECT_TRUE(ReorderCubeFields(1, c.source, c.target)); });
        EXPECT_EQ(fieldsOf(1), c.fields);
    }
}

TEST_P(CubeDefinitionTest, DropOntoTheFieldListReordersIt) {
    addCube(1, 0, "C1", "Reihenfolge", 1, "tsales");
    addFiveFields(1);
    int t = start(req::Change, [] {
        Relate.VOQCubeKopf->open();
        CUBK.ID = 1;
        Access.VOQCubeKopf->fetch("CUBK:KeyID");
        UpdateCubeKopf();
        Relate.VOQCubeKopf->close();
    });
    auto w = user.waitWindow("UpdateCubeKopf");
    EXPECT_EQ(user.window(w).title, "Datensatz bearbeiten");
    ASSERT_EQ(user.rowCount(w, FieldList), 5u);
    EXPECT_EQ(user.cell(w, FieldList, 1, 7), "View not OK");
    user.drag(w, FieldList, 2, 5);
    user.settle(t);
    EXPECT_EQ(user.cell(w, FieldList, 5, 2), "F2");
    EXPECT_EQ(user.selected(w, FieldList), 5);
    user.press(w, Cancel);
    user.waitThreadEnd(t);
    EXPECT_EQ(fieldsOf(1), (std::vector<std::string>{"10:F1", "20:F3", "30:F4", "40:F5", "50:F2"}));
}

TEST_P(CubeDefinitionTest, CancelledInsertLeavesNeitherHeaderNorFields) {
    int t = start(req::Insert, UpdateCubeKopf);
    auto w = user.waitWindow("UpdateCubeKopf");
    EXPECT_EQ(user.window(w).title, "Neuen Datensatz anlegen");
    EXPECT_EQ(user.value(w, EntryId), "1");
    EXPECT_EQ(user.value(w, EntryZugriff), "3");
    EXPECT_EQ(user.text(w, ZugriffName), "ODBC");
    EXPECT_EQ(user.value(w, CheckCompress), "1");
    user.setValue(w, EntryName, "Neu");
    user.setValue(w, EntryTabName, "tsales");
    user.check(w, CheckIntern, false);
    user.press(w, FieldInsert);
    auto f = user.waitWindow("UpdateCubeDetail");
    EXPECT_EQ(user.window(f).title, "Datensatz anlegen");
    EXPECT_EQ(user.value(f, DEntryCube), "1");
    EXPECT_EQ(user.value(f, DEntryPos), "1");
    EXPECT_EQ(user.value(f, DOptionGruppe), "0");  // hidden until another is chosen
    // A list cube: justifications in the combo, its prompt shown.
    EXPECT_TRUE(user.hidden(f, DPromptAggregat));
    EXPECT_FALSE(user.hidden(f, DPromptJustification));
    EXPECT_EQ(user.rowCount(f, DAggregat), 5u);
    // The column list: the table's columns, then the operators.
    ASSERT_EQ(user.rowCount(f, DColumnList), 7u);
    user.selectRow(f, DColumnList, 1);
    EXPECT_EQ(user.value(f, DEntryFeld), "menge");
    user.setValue(f, DEntryFeld, "menge*");
    EXPECT_EQ(user.value(f, DEntryCubeFeld), "menge*");
    user.selectRow(f, DColumnList, 2);
    EXPECT_EQ(user.value(f, DEntryFeld), "menge*preis");
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(f, DCheck);
    EXPECT_EQ(user.lastMessageBox().text, "Rechenfeld");
    user.press(f, DOk);
    user.settle(t);
    ASSERT_EQ(user.rowCount(w, FieldList), 1u);
    EXPECT_EQ(count("VOQCUBEDETAIL"), 1);
    EXPECT_EQ(count("VOQCUBEDETAIL", "Gruppe = '0'"), 1);

    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, CheckTable);
    EXPECT_EQ(user.lastMessageBox().text, "Tabelle/ Sicht vorhanden");
    EXPECT_EQ(user.lastMessageBox().title, "DB-Check");
    user.press(w, Cancel);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, resp::Cancelled);
    EXPECT_EQ(count("VOQCUBEKOPF"), 0);
    EXPECT_EQ(count("VOQCUBEDETAIL"), 0);
}

TEST_P(CubeDefinitionTest, ReportPrintsNoNameForTheAggregateCodeZero) {
    addCube(1, 0, "C1", "Beschreibung", 1, "tsales");
    addField(1, 1, 1, "menge");  // aggregate "0"
    onThread([] {
        CUBD.Aggregat = "1";
        CUBD.ID = 1;
        ASSERT_EQ(Access.VOQCubeDetail->fetch("CUBD:KeyID"), 0);
        CUBD.ID = 2;
        CUBD.PosNr = 2;
        CUBD.FeldName = "preis";
        CUBD.Aggregat = "1";
        ASSERT_EQ(Access.VOQCubeDetail->insertAsIs(), 0);
    });
    std::string pages;
    rt::setPreviewProcedure([&](rt::PreviewQueue& queue) {
        for (const auto& p : queue) {
            std::ifstream in(p.PREVIEWFILENAME);
            std::stringstream s;
            s << in.rdbuf();
            pages += s.str();
        }
        return false;
    });
    onThread([] { DruckeCube(1); });
    rt::setPreviewProcedure({});
    EXPECT_NE(pages.find("Cube-Beschreibung"), std::string::npos);
    EXPECT_NE(pages.find("GNCount"), std::string::npos);  // code 1
    EXPECT_EQ(pages.find("GNSum"), std::string::npos);    // code 0: no name
    EXPECT_NE(pages.find("GNData"), std::string::npos);
    EXPECT_NE(pages.find("ODBC"), std::string::npos);
}

CATALOGUE_ENGINES(CubeDefinitionTest);

}  // namespace
