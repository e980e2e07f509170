// The query runner in the Qt front end on the demo's list cube: the demo folder with a small
// order data set, the runner's window with its list sorted by "Kunde", grabbed into
// runner.png, then closed with its close button. Usage: queries_gui_runner OUTPUT_FOLDER
#include <QApplication>
#include <QImage>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "demo/demo_folder.h"
#include "queries/runner/query_runner.h"
#include "runtime/os/process.h"
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

rt::WindowId runnerWindow() {
    for (const auto& w : rt::openWindows())
        if (w.procedure == "RunQuery" && w.title.find(demo::kDemoListCube) != std::string::npos) return w.id;
    return 0;
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    using voq::test::GuiStep;
    voq::test::runGuiSteps({[&display] {
                                rt::WindowId w = runnerWindow();
                                if (!w || !display.windowWidget(w)) return GuiStep::Wait;
                                // Sorted by "Kunde", ascending.
                                rt::UserInput click(rt::Event::HeaderPressed, RUNQUERY_LIST);
                                click.column = 3;
                                rt::sendInput(w, click);
                                return GuiStep::Done;
                            },
                            [&display, folder] {
                                rt::WindowId w = runnerWindow();
                                const std::string file = folder + "/runner.png";
                                if (!w || !display.windowWidget(w)->grab().save(QString::fromStdString(file), "PNG") ||
                                    !voq::test::looksLikeAWindow(file, 400, 200))
                                    return GuiStep::Failed;
                                rt::sendInput(w, rt::UserInput(rt::Event::Accepted, RUNQUERY_CLOSE));
                                return GuiStep::Done;
                            }},
                           std::chrono::milliseconds(1200), std::chrono::seconds(90),
                           "the runner did not show its list");
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 2000,
        [] {
            GLO.Excelpfad = std::filesystem::current_path().string();
            rt::setShellOpenProgram("true");
            InitDictionary();
            Relate.VOQCubeKopf->open();
            CUBK.CubeName = demo::kDemoListCube;
            const bool found = Access.VOQCubeKopf->fetch("CUBK:KeyCubeName") == 0;
            const rt::Long id = CUBK.ID;
            Relate.VOQCubeKopf->close();
            if (found) RunQuery(id);
            KillDictionary();
        },
        schedule);
}
