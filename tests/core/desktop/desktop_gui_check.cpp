// The client list and form, the report preview and the print set-up in the Qt front end on the
// demo folder under a window manager: each grabbed into OUTPUT_FOLDER/<procedure>.png. The form
// opened from the list must be owned by it (it stays above it) and leaves with Esc; the preview
// opens maximised; its print button leads to the print set-up, which is cancelled.
// Usage: core_desktop_gui_check OUTPUT_FOLDER
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/clients/clients.h"
#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/print/print_setup.h"
#include "core/print/report_preview.h"
#include "demo/demo_folder.h"
#include "runtime/qt/qt_display.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

rt::WindowId windowOf(const std::string& procedure) {
    for (const auto& w : rt::openWindows())
        if (w.procedure == procedure) return w.id;
    return 0;
}

bool grab(rt::qt::QtDisplay& display, const std::string& folder, const std::string& procedure) {
    const std::string file = folder + "/" + procedure + ".png";
    const bool ok = display.windowWidget(windowOf(procedure))->grab().save(QString::fromStdString(file), "PNG") &&
                    voq::test::looksLikeAWindow(file, 300, 120);
    if (!ok) std::fprintf(stderr, "%s: no proper grab\n", procedure.c_str());
    return ok;
}

GuiStep fail(const char* what) {
    std::fprintf(stderr, "desktop GUI check: %s\n", what);
    return GuiStep::Failed;
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto shown = [&display](const char* procedure) {
        return windowOf(procedure) && display.windowWidget(windowOf(procedure));
    };
    voq::test::runGuiSteps(
        {[&display, folder, shown] {
             if (!shown("ListMandant")) return GuiStep::Wait;
             if (!grab(display, folder, "ListMandant")) return GuiStep::Failed;
             rt::UserInput row(rt::Event::NewSelection, mandant::List);
             row.row = 1;
             rt::sendInput(windowOf("ListMandant"), row);
             rt::sendInput(windowOf("ListMandant"), rt::UserInput(rt::Event::Accepted, mandant::Change));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("EditMandant")) return GuiStep::Wait;
             QWidget* form = display.windowWidget(windowOf("EditMandant"));
             QWidget* list = display.windowWidget(windowOf("ListMandant"));
             // Owned: the window manager keeps it above the list.
             if (!form->windowHandle() || form->windowHandle()->transientParent() != list->window()->windowHandle())
                 return fail("the client form is not owned by the client list");
             if (!grab(display, folder, "EditMandant")) return GuiStep::Failed;
             QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(form->findChildren<QLineEdit*>().value(0), &esc);
             return GuiStep::Done;
         },
         [] {
             if (windowOf("EditMandant")) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf("ListMandant"));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("ReportPreview")) return GuiStep::Wait;
             if (!display.windowWidget(windowOf("ReportPreview"))->window()->isMaximized())
                 return fail("the preview did not open maximised");
             if (!grab(display, folder, "ReportPreview")) return GuiStep::Failed;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_PRINT));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("PrintSetupWindow")) return GuiStep::Wait;
             if (!grab(display, folder, "PrintSetupWindow")) return GuiStep::Failed;
             rt::sendInput(windowOf("PrintSetupWindow"), rt::UserInput(rt::Event::Accepted, printsetup::CANCEL_BUTTON));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(1200), std::chrono::seconds(150), "desktop GUI check: a window did not show");
}

// A report of three pages, through the preview into the print set-up.
void printThreePages() {
    rt::Report report("Seiten");
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(40, 40, 500, 12);
    int record = 0;
    report.addBand(1, rt::BandKind::Detail).setSize(500, 12).addString(2, 0, 0, 200, 12).setUse([&record] {
        return "Seite " + std::to_string(record);
    });
    report.open();
    for (record = 1; record <= 3; ++record) report.print(1);
    std::uint8_t state = 1;
    PrintSetupWindow(report.pages(), report, state, 1, "Druck", ".\\VOQKIVORANT.INI", 1, 1, 1, 1, 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 64;
    }
    const std::string folder = voq::test::enterDemoFolder(argv[1], 10);
    if (folder.empty()) return 1;
    return rt::qt::runDisplay(
        argc, argv,
        [] {
            rt::qt::installReportPrinter();
            installReportPreview();
            InitDictionary();
            rt::ThreadRequest = rt::request::None;
            ListMandant();
            printThreePages();
            KillDictionary();
        },
        [folder](rt::qt::QtDisplay& display) { schedule(display, folder); });
}
