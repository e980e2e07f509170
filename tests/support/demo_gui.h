#pragma once
// GUI checks on the demo folder: a fresh demo working folder under OUTPUT_FOLDER/work, entered,
// with the demo client's connection, the window settings file there and every right granted.
#include <QAction>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/common/common_window.h"
#include "core/dictionary/globals.h"
#include "demo/demo_folder.h"
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"

namespace voq::test {

// The output folder (absolute) on success, empty after saying what went wrong.
inline std::string enterDemoFolder(const char* outputFolder, int salesLines, const char* workName = "work") {
    const std::string folder = std::filesystem::absolute(outputFolder).string();
    const std::string work = folder + "/" + workName;
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    if (std::string error = demo::prepareDemoFolder(work, {.salesLines = salesLines}); !error.empty()) {
        std::fprintf(stderr, "demo folder: %s\n", error.c_str());
        return {};
    }
    std::filesystem::current_path(work);
    GLO.ConnectString = demo::demoConnectString();
    GLO.Database = demo::kDemoDatabase;
    SetWindowSettingsFile(work + "/VOQKIVORANT.INI");
    SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, [](std::string_view) {}});
    return folder;
}

// The main of a GUI check program: "PROGRAM OUTPUT_FOLDER"; the demo folder entered, then the
// program on the display while `schedule` takes the screenshots into the output folder.
inline int runDemoGuiCheck(int argc, char** argv, int salesLines, std::function<void()> program,
                           void (*schedule)(rt::qt::QtDisplay&, std::string), const char* workName = "work") {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 64;
    }
    const std::string folder = enterDemoFolder(argv[1], salesLines, workName);
    if (folder.empty()) return 1;
    return rt::qt::runDisplay(argc, argv, std::move(program),
                              [folder, schedule](rt::qt::QtDisplay& display) { schedule(display, folder); });
}

// The open window of a procedure, 0 when it has none.
inline rt::WindowId windowOf(const std::string& procedure) {
    for (const auto& w : rt::openWindows())
        if (w.procedure == procedure) return w.id;
    return 0;
}

// Chooses the enabled menu entry of the frame's window with that text; false when there is none.
inline bool chooseMenuEntry(QWidget* frame, const QString& text) {
    for (QAction* action : frame->window()->findChildren<QAction*>())
        if (action->text() == text && action->isEnabled()) {
            action->trigger();
            return true;
        }
    return false;
}

}  // namespace voq::test
