// The cube catalogue's windows in the Qt front end on the demo folder: the value list, the
// group list, the cube tree, the cube definition list and the cube form of a demo cube, one
// after the other, and the saved-query form's field list, each grabbed into
// OUTPUT_FOLDER/<procedure>.png and closed again.
// Usage: cubes_gui_catalogue OUTPUT_FOLDER
#include <QApplication>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "cubes/definitions/definitions.h"
#include "cubes/deflist/deflist.h"
#include "cubes/groups/groups.h"
#include "cubes/sqlqueries/sql_queries.h"
#include "cubes/values/values.h"
#include "demo/demo_folder.h"
#include "runtime/qt/qt_display.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

struct Shot {
    const char* procedure;
    std::function<void()> open;
    // What the window must show once it has settled; none: nothing beyond a proper grab.
    std::function<bool(rt::qt::QtDisplay&, rt::WindowId)> shows = {};
};

// The field list opened as the saved-query form opens it, on a table it does not know.
void FieldlisteOfTheForm() {
    rt::String<20> table("ARCHIVK");
    rt::String<32> field;
    rt::String<10> picture;
    Fieldliste(table, field, picture);
}

// The focus in the table list picks no table: the field list stays empty.
bool noFieldsShown(rt::qt::QtDisplay& display, rt::WindowId w) {
    auto* fields = qobject_cast<QTreeView*>(display.controlWidget(w, sqlqueries::FieldRows));
    auto* tables = qobject_cast<QTreeView*>(display.controlWidget(w, sqlqueries::Tables));
    return fields && tables && fields->model()->rowCount() == 0 && tables->model()->rowCount() == 25 &&
           tables->hasFocus();
}

void UpdateDemoCube() {
    Relate.VOQCubeKopf->open();
    CUBK.CubeName = demo::kDemoCubes[0];
    if (Access.VOQCubeKopf->fetch("CUBK:KeyCubeName") == 0) {
        rt::ThreadRequest = rt::request::Change;
        UpdateCubeKopf();
    }
    Relate.VOQCubeKopf->close();
}

const std::vector<Shot>& shots() {
    static const std::vector<Shot> list = {
        {"BrowseWerte", BrowseWerte},         {"BrowseCubeGruppe", BrowseCubeGruppe},
        {"CubeTreeAnzeige", CubeTreeAnzeige}, {"BrowseCubeKopf", BrowseCubeKopf},
        {"UpdateCubeKopf", UpdateDemoCube},   {"Fieldliste", FieldlisteOfTheForm, noFieldsShown},
    };
    return list;
}

using voq::test::windowOf;

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto* timer = new QTimer(qApp);
    auto step = std::make_shared<std::size_t>(0);
    auto seen = std::make_shared<std::chrono::steady_clock::time_point>();
    auto started = std::chrono::steady_clock::now();
    QObject::connect(timer, &QTimer::timeout, timer, [&display, folder, timer, step, seen, started] {
        const auto now = std::chrono::steady_clock::now();
        if (*step >= shots().size()) {
            timer->stop();
            return;
        }
        if (now - started > std::chrono::seconds(150)) {
            std::fprintf(stderr, "%s did not show\n", shots()[*step].procedure);
            timer->stop();
            QCoreApplication::exit(2);
            return;
        }
        const std::string procedure = shots()[*step].procedure;
        rt::WindowId w = windowOf(procedure);
        if (!w || !display.windowWidget(w)) {
            *seen = {};
            return;
        }
        if (*seen == std::chrono::steady_clock::time_point()) *seen = now;
        if (now - *seen < std::chrono::milliseconds(1500)) return;  // let the window settle and paint
        const std::string file = folder + "/" + procedure + ".png";
        if (!display.windowWidget(w)->grab().save(QString::fromStdString(file), "PNG") ||
            !voq::test::looksLikeAWindow(file, 300, 150)) {
            std::fprintf(stderr, "%s: no proper grab\n", procedure.c_str());
            timer->stop();
            QCoreApplication::exit(3);
            return;
        }
        if (shots()[*step].shows && !shots()[*step].shows(display, w)) {
            std::fprintf(stderr, "%s does not show what it should\n", procedure.c_str());
            timer->stop();
            QCoreApplication::exit(4);
            return;
        }
        rt::post(rt::Event::CloseWindow, 0, w);
        ++*step;
        *seen = {};
    });
    timer->start(100);
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 2000,
        [] {
            InitDictionary();
            for (const auto& s : shots()) {
                rt::ThreadRequest = rt::request::None;
                s.open();
            }
            KillDictionary();
        },
        schedule);
}
