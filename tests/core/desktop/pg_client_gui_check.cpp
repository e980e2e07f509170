// A PostgreSQL client set up as a new user does it, in the Qt front end under a window manager:
// the client form filled in (server "host,port", the password hidden), the connection tested, a
// fresh database of the test cluster brought up by the synchroniser with nothing refused, and a
// cube over the client's data opened in the pivot viewer. Each step grabbed into
// OUTPUT_FOLDER/<name>.png. Usage: core_pg_client_gui_check OUTPUT_FOLDER
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "core/clients/clients.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/sync/structure_update.h"
#include "cubes/viewer/anzeige_cube.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_control.h"
#include "pivot/qt/pivot_view.h"
#include "runtime/qt/qt_display.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"
#include "tests/support/test_support.h"

namespace {

using voq::test::GuiStep;

std::unique_ptr<voq::test::PgDatabase> gDatabase;
long gCube = 0;

using voq::test::windowOf;

GuiStep fail(const char* what) {
    std::fprintf(stderr, "PostgreSQL client GUI check: %s\n", what);
    return GuiStep::Failed;
}

bool grab(rt::qt::QtDisplay& display, const std::string& folder, const std::string& procedure,
          const std::string& name) {
    const std::string file = folder + "/" + name + ".png";
    const bool ok = display.windowWidget(windowOf(procedure))->grab().save(QString::fromStdString(file), "PNG") &&
                    voq::test::looksLikeAWindow(file, 200, 100);
    if (!ok) std::fprintf(stderr, "%s: no proper grab\n", procedure.c_str());
    return ok;
}

// Into the field as the user leaves it: the widget shows it, the procedure gets it.
void type(rt::qt::QtDisplay& display, rt::WindowId w, int control, const std::string& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(display.controlWidget(w, control)))
        edit->setText(QString::fromStdString(text));
    rt::UserInput in(rt::Event::Accepted, control);
    in.value = text;
    rt::sendInput(w, in);
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto shown = [&display](const char* procedure) {
        return windowOf(procedure) && display.windowWidget(windowOf(procedure));
    };
    voq::test::runGuiSteps(
        {[shown] {
             if (!shown("ListMandant")) return GuiStep::Wait;
             rt::sendInput(windowOf("ListMandant"), rt::UserInput(rt::Event::Accepted, mandant::Insert));
             return GuiStep::Done;
         },
         [&display, shown] {
             if (!shown("EditMandant")) return GuiStep::Wait;
             const rt::WindowId f = windowOf("EditMandant");
             auto* password = qobject_cast<QLineEdit*>(display.controlWidget(f, mandant::EntryPassword));
             if (!password || password->echoMode() != QLineEdit::Password)
                 return fail("the password is not a password field");
             auto* driver = qobject_cast<QComboBox*>(display.controlWidget(f, mandant::DropDriver));
             const int row = driver ? driver->findText(QString::fromStdString(voq::test::PgDatabase::driver())) : -1;
             if (row < 0) return fail("the driver list offers no PostgreSQL driver");
             type(display, f, mandant::EntryName, "Postgres");
             rt::UserInput choose(rt::Event::Accepted, mandant::DropDriver);
             choose.row = row + 1;
             driver->setCurrentIndex(row);
             rt::sendInput(f, choose);
             type(display, f, mandant::EntryServer, voq::test::PgDatabase::server());
             type(display, f, mandant::EntryDatabase, gDatabase->name());
             type(display, f, mandant::EntryUser, voq::test::PgDatabase::user());
             type(display, f, mandant::EntryPassword, voq::test::PgDatabase::password());
             return GuiStep::Done;
         },
         [&display, folder] {
             if (!grab(display, folder, "EditMandant", "PgClientForm")) return GuiStep::Failed;
             rt::sendInput(windowOf("EditMandant"), rt::UserInput(rt::Event::Accepted, mandant::Ok));
             return GuiStep::Done;
         },
         [&display, folder] {
             if (windowOf("EditMandant")) return GuiStep::Wait;
             if (!grab(display, folder, "ListMandant", "PgClientList")) return GuiStep::Failed;
             rt::post(rt::Event::CloseWindow, 0, windowOf("ListMandant"));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("StructureUpdate")) return GuiStep::Wait;
             // Nothing refused: no page of refusals.
             if (display.windowWidget(windowOf("StructureUpdate"))->findChild<QTabWidget*>()->count() != 2)
                 return fail("the synchroniser reports refused statements");
             if (!grab(display, folder, "StructureUpdate", "PgActionsPerformed")) return GuiStep::Failed;
             rt::post(rt::Event::CloseWindow, 0, windowOf("StructureUpdate"));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("AnzeigeCube")) return GuiStep::Wait;
             return GuiStep::Done;
         },
         [&display, folder] {
             if (!grab(display, folder, "AnzeigeCube", "PgCube")) return GuiStep::Failed;
             rt::sendInput(windowOf("AnzeigeCube"), rt::UserInput(rt::Event::Accepted, anzeige::Ok));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(1200), std::chrono::seconds(150),
        "PostgreSQL client GUI check: a window did not show");
}

// The cube over the client's sales, as the cube form stores it.
void storeCube() {
    Relate.VOQCubeKopf->open();
    Relate.VOQCubeKopf->primeRecord();
    CUBK.CubeName = "Umsatz";
    CUBK.Beschreibung = "Umsatz je Gruppe";
    CUBK.Activ = 1;
    CUBK.Zugriff = "3";
    CUBK.Query = "SELECT * FROM tUmsatz";
    CUBK.TabName = "tUmsatz";
    Access.VOQCubeKopf->update();
    gCube = CUBK.ID;
    const struct {
        const char *name, *caption, *picture, *group;
    } fields[] = {
        {"cGruppe", "Gruppe", "@s30", "2"}, {"nJahr", "Jahr", "@n4", "1"}, {"fUmsatz", "Umsatz", "@n-14.2", "3"}};
    for (const auto& f : fields) {
        CUBD = {};
        CUBD.ID_CUBK = CUBK.ID;
        Access.VOQCubeDetail->primeRecord(true);
        CUBD.FeldName = f.name;
        CUBD.Feldname1 = f.caption;
        CUBD.Picture = f.picture;
        CUBD.Aggregat = "0";
        CUBD.Gruppe = f.group;
        CUBD.Gruppierung = 1;
        Access.VOQCubeDetail->update();
    }
    Relate.VOQCubeKopf->close();
}

}  // namespace

int main(int argc, char** argv) {
    gDatabase = std::make_unique<voq::test::PgDatabase>(false);
    if (gDatabase->connectString().empty()) {
        std::fprintf(stderr, "PostgreSQL client GUI check: the test cluster is not reachable\n");
        return 1;
    }
    // The client's own data: the ERP's sales, where the server keeps a new table.
    for (const char* sql :
         {"CREATE TABLE tUmsatz (cGruppe VARCHAR(30), nJahr INTEGER, fUmsatz DECIMAL(12,2))",
          "INSERT INTO tUmsatz VALUES ('Tee', 2025, 10.50), ('Tee', 2026, 20.00), ('Kaffee', 2026, 50.00)"}) {
        if (std::string e = voq::test::execSql(gDatabase->connectString(), sql); !e.empty()) {
            std::fprintf(stderr, "PostgreSQL client GUI check: %s\n", e.c_str());
            return 1;
        }
    }
    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    pivot::registerPivotControl();
    pivot::qt::registerPivotView();
    const int rc = voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            InitDictionary();
            rt::ThreadRequest = rt::request::None;
            ListMandant();
            // The new client, the last in the list, taken over as the start-up takes it.
            Access.Mandant->open();
            long id = 0;
            for (Access.Mandant->setOrder(0); Access.Mandant->next() == 0;) id = MAN.ID;
            Access.Mandant->close();
            TakeOverClient(id);
            GLO.ConnectGlobal = 1;
            CheckMandantConnection();
            StructureUpdate();
            storeCube();
            AnzeigeCube(gCube);
            KillDictionary();
        },
        schedule, "pg");
    gDatabase.reset();
    return rc;
}
