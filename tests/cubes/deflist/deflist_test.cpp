// The cube definition list: the outer join on the groups, copying with its renumbering and kept
// settings, a cancelled copy, the diagnosis switch and the printout's rows.
#include "cubes/deflist/deflist.h"
#include "cubes/definitions/definitions.h"
#include "queries/builder/qbe_window.h"
#include "runtime/classlib/request.h"
#include "tests/cubes/catalogue/catalogue_fixture.h"

using namespace cubeliste;
namespace req = rt::request;
namespace resp = rt::response;

namespace {

class CubeListTest : public cubetest::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        addGroup(1, "Vertrieb", 1);
        addCube(1, 1, "Absatz", "Absatz je Monat");
        addCube(2, 7, "Waise", "Gruppe fehlt");  // its group is missing
        addField(1, 1, 2, "menge");
        addField(2, 1, 5, "preis");
        addField(3, 1, 9, "kunde");
        exec("UPDATE " + table("VOQCUBEKOPF") + " SET COMPRESS = 0, ZEITRAUM = 3 WHERE ID = 1");
    }
};

TEST_P(CubeListTest, ListsEveryCubeWithItsGroupAndCopiesOne) {
    GLO.Trace = 1;
    int t = start(req::None, BrowseCubeKopf);
    auto w = user.waitWindow(kCubeListTitle);
    user.settle(t);
    // The diagnosis box is off: the trace goes off too.
    EXPECT_EQ(GLO.Trace.get(), 0);
    ASSERT_EQ(user.rowCount(w, List), 2u);
    EXPECT_EQ(user.cell(w, List, 1, 3), "Vertrieb");
    EXPECT_EQ(user.cell(w, List, 2, 4), "Waise");
    EXPECT_EQ(user.cell(w, List, 2, 3), "");
    EXPECT_TRUE(user.enabled(w, Show));  // lists run already; the pivot viewer is still to come
    EXPECT_TRUE(user.enabled(w, Export));
    EXPECT_TRUE(user.enabled(w, QueryBuilder));
    EXPECT_FALSE(user.enabled(w, QueryReset));
    EXPECT_TRUE(user.enabled(w, Import));

    user.selectRow(w, List, 1);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Copy);
    auto f = user.waitWindow("UpdateCubeKopf");
    EXPECT_EQ(user.lastMessageBox().text, "DS kopiert");
    EXPECT_EQ(user.window(f).title, "Neuen Datensatz anlegen");
    EXPECT_EQ(user.value(f, cubekopf::EntryId), "3");
    EXPECT_EQ(user.value(f, cubekopf::EntryName), "");
    EXPECT_EQ(user.value(f, cubekopf::EntryDescription), "Absatz je Monat");
    EXPECT_EQ(user.value(f, cubekopf::CheckCompress), "0");
    EXPECT_EQ(user.value(f, cubekopf::OptionZeitraum), "3");
    ASSERT_EQ(user.rowCount(f, cubekopf::FieldList), 3u);
    user.setValue(f, cubekopf::EntryName, "Absatz 2");
    user.press(f, cubekopf::Ok);
    user.settle(t);
    EXPECT_EQ(user.rowCount(w, List), 3u);
    user.press(w, Close);
    user.waitThreadEnd(t);

    EXPECT_EQ(fieldsOf(3), (std::vector<std::string>{"1:menge", "2:preis", "3:kunde"}));
    EXPECT_EQ(fieldsOf(1), (std::vector<std::string>{"2:menge", "5:preis", "9:kunde"}));
    auto copied = rows("SELECT COMPRESS, ZEITRAUM, ID_CUBG FROM " + table("VOQCUBEKOPF") + " WHERE ID = 3");
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], (std::vector<std::string>{"0", "3", "1"}));
}

TEST_P(CubeListTest, CancelledCopyLeavesNothingBehind) {
    int t = start(req::None, BrowseCubeKopf);
    auto w = user.waitWindow(kCubeListTitle);
    user.selectRow(w, List, 1);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Copy);
    auto f = user.waitWindow("UpdateCubeKopf");
    ASSERT_EQ(user.rowCount(f, cubekopf::FieldList), 3u);
    user.press(f, cubekopf::Cancel);
    user.settle(t);
    EXPECT_EQ(user.rowCount(w, List), 2u);
    user.press(w, Close);
    user.waitThreadEnd(t);
    EXPECT_EQ(count("VOQCUBEKOPF"), 2);
    EXPECT_EQ(count("VOQCUBEDETAIL"), 3);
}

TEST_P(CubeListTest, ExportWritesTheSelectedCube) {
    int t = start(req::None, BrowseCubeKopf);
    auto w = user.waitWindow(kCubeListTitle);
    user.selectRow(w, List, 1);
    user.queueMessageBoxAnswer(rt::button::Ok);
    user.press(w, Export);
    user.settle(t);
    EXPECT_EQ(user.lastMessageBox().title, "Export");
    user.press(w, Close);
    user.waitThreadEnd(t);
    EXPECT_TRUE(exists("AUSWERT/Absatz.GNF"));
}

TEST_P(CubeListTest, RefusedLookClosesTheListUnshown) {
    refuse({"Look"});
    int t = start(req::None, BrowseCubeKopf);
    auto box = user.waitMessageBox();
    EXPECT_EQ(box.text, "Keine Berechtigung: Look");
    user.answerMessageBox(rt::button::Ok);
    user.waitThreadEnd(t);
}

TEST_P(CubeListTest, PrintoutRowsFollowTheQueryText) {
    onThread([] {
        CubeListReport all = CubeListReportData("");
        ASSERT_EQ(all.rows.size(), 2u);
        EXPECT_EQ(all.rows[0], (ListReportRow{"1", "1", "Absatz", "Absatz je Monat"}));
        EXPECT_GE(ListReportWidth(all.columns), kLandscapeWidth);
        CubeListReport some = CubeListReportData("CUBK:ID = 2");
        ASSERT_EQ(some.rows.size(), 1u);
        EXPECT_EQ(some.rows[0][2], "Waise");
        // A query on the group's name: each printed cube is read with its group.
        CubeListReport byGroup = CubeListReportData("UPPER(CUBG:GruppenName) = 'VERTRIEB'");
        ASSERT_EQ(byGroup.rows.size(), 1u);
        EXPECT_EQ(byGroup.rows[0][2], "Absatz");
        EXPECT_TRUE(CubeListReportData("UPPER(CUBG:GruppenName) = ''").rows.size() == 1u);
    });
}

TEST_P(CubeListTest, AQueryThatCannotBeCompiledIsReportedAndNeverShownAsOn) {
    onThread([] {
        ASSERT_EQ(Access.VOQQBEQUERY->open(), 0);
        const struct {
            int id;
            const char* description;
            const char* query;
        } saved[] = {{1, "Kaputt", " INSTRING('PLATT',UPPER(),1,1)"}, {2, "Waise", "CUBK:ID = 2"}};
        for (const auto& q : saved) {
            QUE = {};
            QUE.ID = q.id;
            QUE.DESCRIPTION = q.description;
            QUE.QUERY = q.query;
            ASSERT_EQ(Access.VOQQBEQUERY->insertAsIs(), 0) << rt::errorText();
        }
        Access.VOQQBEQUERY->close();
    });
    int t = start(req::None, BrowseCubeKopf);
    auto w = user.waitWindow(kCubeListTitle);
    user.settle(t);
    auto pick = [&](int row) {
        user.press(w, QueryBuilder);
        auto b = user.waitWindow(qbe::kBuilderTitle);
        user.selectRow(b, qbe::SavedList, row);
        user.press(b, qbe::Select);
        user.waitClosed(b);
        user.settle(t);
    };
    user.queueMessageBoxAnswer(rt::button::Ok);
    pick(1);
    EXPECT_EQ(user.lastMessageBox().title, "Query");
    EXPECT_EQ(user.lastMessageBox().text.rfind("Die Abfrage kann nicht angewendet werden:", 0), 0u)
        << user.lastMessageBox().text;
    EXPECT_NE(user.lastMessageBox().text.find("UPPER takes 1 arguments"), std::string::npos);
    EXPECT_EQ(user.text(w, QueryOn), "");
    EXPECT_EQ(user.rowCount(w, List), 2u);
    pick(2);
    EXPECT_EQ(user.text(w, QueryOn), "Query is on!");
    ASSERT_EQ(user.rowCount(w, List), 1u);
    EXPECT_EQ(user.cell(w, List, 1, 4), "Waise");
    user.press(w, Close);
    user.waitThreadEnd(t);
}

CATALOGUE_ENGINES(CubeListTest);

}  // namespace
