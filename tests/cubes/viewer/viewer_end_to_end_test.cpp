// A cube of the demo's shape opened in the viewer with the real pivot control, which reads the
// client database through the data engine: on SQLite and on PostgreSQL.
#include <gtest/gtest.h>
#include <memory>
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

}  // namespace
