// The example list and its form in the Qt front end: opens the list, then the form on its second
// row, grabs both windows into PNG files and ends. Usage: core_common_gui_example OUTPUT_FOLDER
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
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"
#include "tests/core/common/example_procedures.h"
#include "tests/support/screenshot_check.h"

namespace {

rt::WindowId windowOf(const std::string& procedure) {
    for (const auto& w : rt::openWindows())
        if (w.procedure == procedure) return w.id;
    return 0;
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    using voq::test::GuiStep;
    auto list = [] { return windowOf("BrowseWerte"); };
    auto form = [] { return windowOf("EditWerte"); };
    voq::test::runGuiSteps(
        {[&display, list] {
             if (!list() || !display.windowWidget(list())) return GuiStep::Wait;
             rt::UserInput row(rt::Event::NewSelection, example::LIST);
             row.row = 2;
             rt::sendInput(list(), row);
             rt::sendInput(list(), rt::UserInput(rt::Event::Accepted, example::CHANGE));
             return GuiStep::Done;
         },
         [&display, form] {
             if (!form() || !display.windowWidget(form())) return GuiStep::Wait;
             rt::sendInput(form(), rt::UserInput(rt::Event::Selected, example::NAME_ENTRY));
             return GuiStep::Done;
         },
         [&display, folder, list, form] {
             bool ok = display.windowWidget(list())->grab().save(QString::fromStdString(folder + "/list.png"), "PNG") &&
                       display.windowWidget(form())->grab().save(QString::fromStdString(folder + "/form.png"), "PNG");
             ok = ok && voq::test::looksLikeAWindow(folder + "/list.png", 300, 150) &&
                  voq::test::looksLikeAWindow(folder + "/form.png", 300, 150);
             if (!ok) return GuiStep::Failed;
             rt::sendInput(form(), rt::UserInput(rt::Event::Accepted, example::CANCEL));
             return GuiStep::Done;
         },
         [list, form] {
             if (form()) return GuiStep::Wait;
             rt::sendInput(list(), rt::UserInput(rt::Event::Accepted, example::CLOSE));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(800), std::chrono::seconds(60), "the example did not open");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 64;
    }
    std::string folder = std::filesystem::absolute(argv[1]).string();
    std::filesystem::create_directories(folder);
    std::string work = folder + "/work";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    example::setTableFile(work + "/WERTE.TPS");
    SetWindowSettingsFile(work + "/VOQKIVORANT.INI");
    SetListFormatsFile(work + "/Formats.FDB");
    SetRightsCheck({[](std::string_view, std::string_view) { return 1; }, {}});
    return rt::qt::runDisplay(
        argc, argv,
        [] {
            const char* names[] = {"GNHidden", "GNColumn", "GNRow", "GNData", "GNPage", "GNSum", "GNCount"};
            int id = 2;
            for (const char* n : names) example::addRecord(id, id < 7 ? "GRUPPE" : "AGGREGAT", id - 2, n), ++id;
            example::ExampleList();
        },
        [folder](rt::qt::QtDisplay& display) { schedule(display, folder); });
}
