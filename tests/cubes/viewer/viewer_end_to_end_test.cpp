// A cube of the demo's shape opened in the viewer with the real pivot control, which reads the
// client database through the data engine: on SQLite and on PostgreSQL.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/sync/structure_update.h"
#include "cubes/viewer/anzeige_cube.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_control.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/viewer/cube_fixture.h"
#include "tests/support/test_support.h"

namespace {

class ViewerEndToEnd : public coretest::WorkingFolderTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override {
        display_.shutdown();
        WorkingFolderTest::TearDown();
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
};

TEST_P(ViewerEndToEnd, DemoCubeInThePivotTable) {
    std::unique_ptr<voq::test::PgDatabase> pg;
    std::string connect;
    if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg, connect)) return;
    // The sales view of the demo, a few lines of it.
    ASSERT_EQ(voq::test::execSql(connect,
                                 "CREATE TABLE vDemoUmsatz (cWarengruppe VARCHAR(30), cArtikel VARCHAR(40), "
                                 "nJahr INTEGER, cPlattform VARCHAR(30), fUmsatz DECIMAL(12,2), "
                                 "fDeckungsbeitrag DECIMAL(12,2))"),
              "");
    const char* rows[] = {
        "('Tee', 'Grüner Tee', 2025, 'Shop', 10.50, 4.00)",     "('Tee', 'Schwarzer Tee', 2026, 'Shop', 20.00, 8.00)",
        "('Kaffee', 'Espresso', 2025, 'Markt', 100.25, 30.00)", "('Kaffee', 'Espresso', 2026, 'Shop', 50.00, 15.00)",
        "('Kaffee', 'Crema', 2026, 'Markt', 0.75, 0.25)",
    };
    for (const char* r : rows)
        ASSERT_EQ(voq::test::execSql(connect, std::string("INSERT INTO vDemoUmsatz VALUES ") + r), "");

    GLO.ConnectString = connect;
    GLO.ConnectGlobal = 1;
    long id = 0;
    viewertest::onProgramThread([&] {
        StructureRun run;
        std::string error;
        ASSERT_TRUE(SynchroniseStructures(run, error)) << error;
        // A fresh database too: every statement the synchroniser sends is taken.
        for (const auto& f : run.failures) ADD_FAILURE() << f.statement << ": " << f.error;
        viewertest::CubeSpec cube;
        cube.name = "Umsatz Warengruppen";
        cube.description = "Umsatz je Warengruppe und Jahr";
        cube.query = "SELECT * FROM vDemoUmsatz";
        cube.parameterText = "WHERE cPlattform = #cParameter#";
        cube.connect = "";
        cube.tabName = "vDemoUmsatz";
        cube.fields = {
            {"cWarengruppe", "Warengruppe", "@s30", "0", "2", 1},
            {"nJahr", "Jahr", "@n4", "0", "1", 1},
            {"fUmsatz", "Umsatz", "@n-14.2", "0", "3", 1},
        };
        viewertest::storeCube(cube, id);
    });

    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    pivot::registerPivotControl();
    // The start parameter answers the platform: the line of the market stays out.
    GLO.StartParameter = "Shop";
    const int thread = rt::startThread([id] {
        InitDictionary();
        AnzeigeCube(id);
        KillDictionary();
    });
    const rt::WindowId w = user_.waitWindow("AnzeigeCube");
    EXPECT_EQ(user_.window(w).title, "Umsatz Warengruppen/ Umsatz je Warengruppe und Jahr");
    auto control = std::dynamic_pointer_cast<pivot::PivotControl>(user_.control(w, anzeige::Pivot).object);
    ASSERT_TRUE(control);
    auto value = [&](long long r, long long c) { return control->get("DataValue", {r, c}); };

    // Rows Kaffee, Tee and the total; columns 2025, 2026 and the total; sums of the Shop lines.
    ASSERT_EQ(control->get("RowCount").toInt(), 4);
    ASSERT_EQ(control->get("ColCount").toInt(), 4);
    EXPECT_EQ(value(1, 0).toText(), "Kaffee");
    EXPECT_EQ(value(2, 0).toText(), "Tee");
    const double expected[3][3] = {{0, 50.00, 50.00}, {10.50, 20.00, 30.50}, {10.50, 70.00, 80.50}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (expected[r][c] == 0) {
                EXPECT_TRUE(value(r + 1, c + 1).isEmpty()) << r << "," << c;
            } else {
                EXPECT_NEAR(value(r + 1, c + 1).toDouble(), expected[r][c], 1e-9) << r << "," << c;
            }
        }
    }

    user_.press(w, anzeige::Ok);
    user_.waitThreadEnd(thread);
}

// "pg-fresh": a database as the server makes it, without the schema the program's tables use.
INSTANTIATE_TEST_SUITE_P(Engines, ViewerEndToEnd, ::testing::Values("sqlite", "pg", "pg-fresh"));

// The real control on SQLite: a field stored without orientation, and "Sichern" read back when
// the cube opens again.
class ViewerLayout : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        connect_ = voq::test::sqliteConnectString(file("client.db"));
        ASSERT_EQ(voq::test::execSql(connect_,
                                     "CREATE TABLE tUmsatz (cGruppe TEXT, cArtikel TEXT, nJahr INTEGER, "
                                     "fUmsatz REAL)"),
                  "");
        for (const char* r : {"('Tee', 'Grün', 2025, 10.5)", "('Kaffee', 'Crema', 2026, 20)"})
            ASSERT_EQ(voq::test::execSql(connect_, std::string("INSERT INTO tUmsatz VALUES ") + r), "");
        GLO.ConnectString = connect_;
        GLO.ConnectGlobal = 1;
        viewertest::onProgramThread([&] {
            StructureRun run;
            std::string error;
            ASSERT_TRUE(SynchroniseStructures(run, error)) << error;
            viewertest::CubeSpec cube;
            cube.fields = {{"cGruppe", "Gruppe", "@s30", "0", "2", 1},
                           {"cArtikel", "Artikel", "@s30", "0", "", 1},  // no orientation chosen
                           {"nJahr", "Jahr", "@n4", "0", "1", 1},
                           {"fUmsatz", "Umsatz", "@n-14.2", "0", "3", 1}};
            viewertest::storeCube(cube, id_);
        });
        pivot::setEngineLibrary(NOVA_ENGINE_PATH);
        pivot::registerPivotControl();
    }
    void TearDown() override {
        display_.shutdown();
        WorkingFolderTest::TearDown();
    }
    std::shared_ptr<pivot::PivotControl> open() {
        thread_ = rt::startThread([this] {
            InitDictionary();
            AnzeigeCube(id_);
            KillDictionary();
        });
        w_ = user_.waitWindow("AnzeigeCube");
        return std::dynamic_pointer_cast<pivot::PivotControl>(user_.control(w_, anzeige::Pivot).object);
    }
    void close() {
        user_.press(w_, anzeige::Ok);
        user_.waitThreadEnd(thread_);
    }
    int orientationOf(pivot::PivotControl& control, const std::string& name) {
        for (const auto& f : control.fields())
            if (f.name == name) return f.orientation;
        return -1;
    }
    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    std::string connect_;
    long id_ = 0;
    int thread_ = 0;
    rt::WindowId w_{};
};

TEST_F(ViewerLayout, AFieldWithoutOrientationStandsHiddenWithoutAnError) {
    auto control = open();
    ASSERT_TRUE(control);
    EXPECT_TRUE(user_.messageBoxes().empty());
    ASSERT_EQ(control->fields().size(), 4u);
    EXPECT_EQ(orientationOf(*control, "cArtikel"), pivot::Hidden);
    close();
}

TEST_F(ViewerLayout, ALayoutThatCannotBeReadIsSaidAndTheCubeOpensAsStored) {
    { std::ofstream(file("Cube" + std::to_string(id_) + ".CUB")) << "kein Layout\n"; }
    user_.queueMessageBoxAnswer(rt::button::Ok);
    auto control = open();
    ASSERT_TRUE(control);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.lastMessageBox().title, "Layout");
    EXPECT_EQ(orientationOf(*control, "nJahr"), pivot::ColumnArea);
    close();
}

TEST_F(ViewerLayout, TheSavedLayoutOfACubeIsAppliedWhenItOpensAgain) {
    auto control = open();
    ASSERT_TRUE(control);
    control->moveField(2, pivot::RowArea, 1);  // the year beside the group
    control->setHiddenItems(0, {"Tee"});
    user_.press(w_, anzeige::Save);
    const std::string own = "Cube" + std::to_string(id_) + ".CUB";
    EXPECT_EQ(user_.statusText(w_, 1), "Layout gesichert: Cube.CUB und " + own);
    EXPECT_TRUE(exists("Cube.CUB"));
    EXPECT_TRUE(exists(own));
    close();

    // The field that went from the cube is left out; the others come back as saved.
    ASSERT_EQ(voq::test::execSql(connect_, "DELETE FROM VOQCUBEDETAIL WHERE FeldName = 'cArtikel'"), "");
    control = open();
    ASSERT_TRUE(control);
    EXPECT_TRUE(user_.messageBoxes().empty());
    ASSERT_EQ(control->fields().size(), 3u);
    EXPECT_EQ(orientationOf(*control, "nJahr"), pivot::RowArea);
    EXPECT_EQ(control->fields()[0].hiddenItems, std::set<std::string>{"Tee"});
    EXPECT_EQ(control->table()->lineCount(), 3u);  // Kaffee, 2026 and the total

    // A layout that cannot be written says so, in a box and in the status line.
    std::filesystem::remove(file(own));
    std::filesystem::create_directory(file(own));
    user_.queueMessageBoxAnswer(rt::button::Ok);
    user_.press(w_, anzeige::Save);
    ASSERT_EQ(user_.messageBoxes().size(), 1u);
    EXPECT_EQ(user_.lastMessageBox().title, "Sichern");
    EXPECT_EQ(user_.statusText(w_, 1), "Layout nicht gesichert");
    close();
}

}  // namespace
