// The running frame on the demo folder under a window manager, reached through its menu: "&Listen"
// > "&Cube-Definition" opens the cube definition list, whose "&Print Screen" prints the list into
// the report preview (maximised, grabbed into OUTPUT_FOLDER/MenuReportPreview.png, left with
// Exit); "&File" > "&Print Setup ..." opens the printer set-up (the screen grabbed into
// PrintSetupDialog.png, cancelled). Then the frame closes. Usage: app_menu_gui_check OUTPUT_FOLDER
#include <QAbstractPrintDialog>
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/frame/frame.h"
#include "core/print/report_preview.h"
#include "core/startup/startup.h"
#include "cubes/deflist/deflist.h"
#include "runtime/qt/qt_display.h"
#include "runtime/report/qt/report_printer_qt.h"
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

GuiStep fail(const char* what) {
    std::fprintf(stderr, "menu GUI check: %s\n", what);
    return GuiStep::Failed;
}

// The entry of the frame's menu bar, as the user chooses it.
bool chooseMenuEntry(QWidget* frame, const QString& text) {
    for (QAction* action : frame->window()->findChildren<QAction*>())
        if (action->text() == text && action->isEnabled()) {
            action->trigger();
            return true;
        }
    return false;
}

QAbstractPrintDialog* printerSetUp() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QAbstractPrintDialog*>(w); d && d->isVisible()) return d;
    return nullptr;
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto shown = [&display](const char* procedure) {
        return windowOf(procedure) && display.windowWidget(windowOf(procedure));
    };
    voq::test::runGuiSteps(
        {[&display] {
             QWidget* frame = display.frameWidget();
             if (!frame || !frame->isVisible() || !windowOf("Main")) return GuiStep::Wait;
             if (!chooseMenuEntry(frame, QStringLiteral("&Cube-Definition")))
                 return fail("no menu entry \"&Cube-Definition\"");
             return GuiStep::Done;
         },
         [&display, shown] {
             if (!shown("BrowseCubeKopf")) return GuiStep::Wait;
             for (auto* button : display.windowWidget(windowOf("BrowseCubeKopf"))->findChildren<QPushButton*>())
                 if (button->text() == QStringLiteral("&Print Screen") && button->isEnabled()) {
                     button->click();
                     return GuiStep::Done;
                 }
             return fail("the cube definition list has no \"&Print Screen\"");
         },
         [&display, folder, shown] {
             if (!shown("ReportPreview")) return GuiStep::Wait;
             QWidget* preview = display.windowWidget(windowOf("ReportPreview"));
             if (!preview->window()->isMaximized()) return fail("the preview did not open maximised");
             const std::string file = folder + "/MenuReportPreview.png";
             if (!preview->grab().save(QString::fromStdString(file), "PNG") ||
                 !voq::test::looksLikeAWindow(file, 300, 120))
                 return fail("no proper grab of the preview");
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_EXIT));
             return GuiStep::Done;
         },
         [&display] {
             if (windowOf("ReportPreview")) return GuiStep::Wait;
             if (!chooseMenuEntry(display.frameWidget(), QStringLiteral("&Print Setup ...")))
                 return fail("no menu entry \"&Print Setup ...\"");
             return GuiStep::Done;
         },
         [folder] {
             QAbstractPrintDialog* dialog = printerSetUp();
             if (!dialog) return GuiStep::Wait;
             if (dialog->windowTitle() != QStringLiteral("Drucker einrichten"))
                 return fail("the printer set-up has another title");
             const std::string file = folder + "/PrintSetupDialog.png";
             if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG"))
                 return fail("no screenshot of the printer set-up");
             dialog->reject();
             return GuiStep::Done;
         },
         [] {
             if (printerSetUp()) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf("BrowseCubeKopf"));
             return GuiStep::Done;
         },
         [] {
             if (windowOf("BrowseCubeKopf")) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf("Main"));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(1200), std::chrono::seconds(150), "menu GUI check: a window did not show");
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            rt::qt::installReportPrinter();
            installReportPreview();
            FrameHooks hooks;
            hooks.login = [](rt::String<30>& id) {
                id = "DEMO";
                return rt::Byte{1};
            };
            setFrameHooks(hooks);
            registerFrameProcedure("BrowseCubeKopf", [](const std::string&) { BrowseCubeKopf(); });
            setMainProcedure(Main);
            ProgramModuleInit();
            ProgramMain();
            ProgramModuleCleanUp();
        },
        schedule);
}
