// VOQKivorant: the display runs on the process main thread, the program on thread 1.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/common/common_window.h"
#include "core/frame/frame.h"
#include "core/print/report_preview.h"
#include "core/scripts/sql_scripts.h"
#include "core/security/security.h"
#include "core/splash/splash.h"
#include "core/startup/startup.h"
#include "core/updater/update_log_list.h"
#include "core/updater/update_scripts.h"
#include "cubes/deflist/deflist.h"
#include "cubes/display/cockpit.h"
#include "cubes/display/cube_display.h"
#include "cubes/display/viewer_link.h"
#include "cubes/groups/groups.h"
#include "cubes/provkey/prov_key.h"
#include "cubes/sqlresult/sql_result.h"
#include "cubes/values/values.h"
#include "cubes/viewer/anzeige_cube.h"
#include "pivot/pivot_control.h"
#include "pivot/qt/pivot_view.h"
#include "runtime/qt/qt_display.h"
#include "runtime/qt/showcase.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

namespace {

struct Options {
    bool showcase = false;
    std::string screenshot;            // grab the frame into this PNG file once it shows, then end
    std::vector<std::string> program;  // the program's own parameters ("\ID=12", "\U=DEMO")
};

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--showcase")
            options.showcase = true;
        else if (arg.rfind("--screenshot=", 0) == 0)
            options.screenshot = arg.substr(std::strlen("--screenshot="));
        else if (arg == "--screenshot" && i + 1 < argc)
            options.screenshot = argv[++i];
        else
            options.program.push_back(arg);
    }
    return options;
}

// Waits until the frame and, with the showcase, its child are on the screen and painted, grabs
// the frame and closes it.
void scheduleScreenshot(rt::qt::QtDisplay& display, const std::string& file, bool showcase) {
    auto* timer = new QTimer(qApp);
    auto shownSince = std::make_shared<std::chrono::steady_clock::time_point>();
    QObject::connect(timer, &QTimer::timeout, timer, [&display, file, timer, shownSince, showcase] {
        const auto now = std::chrono::steady_clock::now();
        rt::WindowId frame = 0;
        bool ready = !showcase;
        bool frameTitled = false;
        for (const auto& w : rt::openWindows()) {
            if (w.frame) {
                frame = w.id;
                frameTitled = w.title.rfind("VOQKivorant", 0) == 0;
            }
            if (showcase && w.procedure == rt::qt::kShowcaseProcedure && display.windowWidget(w.id)) ready = true;
            // The program's frame is ready once no other window (start-up, login) stands before it.
            if (!showcase && !w.frame) ready = false;
        }
        if (!frame || !ready || !frameTitled || !display.frameWidget()) {
            *shownSince = {};
            return;
        }
        if (*shownSince == std::chrono::steady_clock::time_point()) *shownSince = now;
        if (now - *shownSince < std::chrono::milliseconds(1200)) return;  // let the windows settle and paint
        timer->stop();
        const QPixmap picture = display.frameWidget()->grab();
        if (!picture.save(QString::fromStdString(file), "PNG")) {
            std::fprintf(stderr, "VOQKivorant: cannot write %s\n", file.c_str());
            QCoreApplication::exit(3);
            return;
        }
        std::fprintf(stderr, "VOQKivorant: screenshot %s (%dx%d)\n", file.c_str(), picture.width(), picture.height());
        rt::post(rt::Event::CloseWindow, 0, frame);
    });
    timer->start(100);
}

// The program: module initialisation, the main routine with the frame, clean-up; on thread 1.
void runProgram(const std::vector<std::string>& parameters) {
    setCommandLine(parameters);
    setProcedureRegistration(UpdateProcedureList);
    SetRightsCheck({CheckProcedureAccess, NoAccessMessage});
    // Reports print through Qt and preview in the program's own preview window.
    rt::qt::installReportPrinter();
    installReportPreview();
    FrameHooks hooks;
    hooks.splash = [] { MySplash(); };  // after the login, on a thread of its own
    hooks.showCube = AnzeigeCube;       // "\ID": the cube in the pivot viewer
    setFrameHooks(hooks);
    SetSplashCockpit([] { ControllingCockpit(); });
    SetCubeViewer(AnzeigeCube);  // the cube lists and the cockpit open their cubes in it
    registerFrameProcedure("BrowseDBUpdateLog", [](const std::string&) { BrowseDBUpdateLog(); });
    registerFrameProcedure("BrowseSQLSkript1", [](const std::string&) { BrowseSQLSkript1(); });
    registerFrameProcedure("BrowseSQLScript", [](const std::string&) { BrowseSQLScript(); });
    registerFrameProcedure("BrowseCubeAnzeige", [](const std::string&) { BrowseCubeAnzeige(); });
    registerFrameProcedure("ControllingCockpit", [](const std::string&) { ControllingCockpit(); });
    registerFrameProcedure("BrowseProvKey", [](const std::string&) { BrowseProvKey(); });
    registerFrameProcedure("SQLQueryResult_N", [](const std::string& mode) { SQLQueryResult_N(mode); });
    setMainProcedure(Main);
    registerFrameProcedure("BrowseWerte", [](const std::string&) { BrowseWerte(); });
    registerFrameProcedure("BrowseCubeGruppe", [](const std::string&) { BrowseCubeGruppe(); });
    registerFrameProcedure("CubeTreeAnzeige", [](const std::string&) { CubeTreeAnzeige(); });
    registerFrameProcedure("BrowseCubeKopf", [](const std::string&) { BrowseCubeKopf(); });
    ProgramModuleInit();
    ProgramMain();
    ProgramModuleCleanUp();
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    // The pivot-table control is built in: creatable by its ProgID from the start.
    pivot::registerPivotControl();
    pivot::qt::registerPivotView();
    return rt::qt::runDisplay(
        argc, argv,
        [&options] {
            if (options.showcase)
                rt::qt::runShowcase();
            else
                runProgram(options.program);
        },
        [&options](rt::qt::QtDisplay& display) {
            if (!options.screenshot.empty()) scheduleScreenshot(display, options.screenshot, options.showcase);
        });
}
