// The running frame on the demo folder under a window manager, printed as its user prints without
// a printer: "&Listen" > "&Cube-Definition", "&Print Screen", "Print report" in the preview; the
// box offering a PDF file is answered with "In &PDF-Datei drucken", and a file in a folder where
// no file can be made (/sys) is chosen. The box saying that file cannot be written (grabbed into
// OUTPUT_FOLDER/PrintFileRefused.png) offers another file; chosen, the PDF file holds the list
// (read back with pdftotext, its first page kept as PrintedList.png). Then "&Listen" >
// "SQL-Scripte" on the demo's script file, "mit Memo-Feld" and "&Print": every line of the
// scripts is in the PDF file (its first page kept as PrintedScripts.png). Then the frame closes.
// Usage: app_print_pdf_gui_check OUTPUT_FOLDER
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/frame/frame.h"
#include "core/print/report_preview.h"
#include "core/scripts/sql_scripts.h"
#include "core/startup/startup.h"
#include "cubes/deflist/deflist.h"
#include "runtime/qt/qt_display.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/ui/window.h"
#include "tests/support/command_output.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

using voq::test::windowOf;

GuiStep fail(const std::string& what) {
    std::fprintf(stderr, "print GUI check: %s\n", what.c_str());
    return GuiStep::Failed;
}

using voq::test::chooseMenuEntry;

template <class T>
T* shownTopLevel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) return d;
    return nullptr;
}

// Presses the box's button of that text; false when it has none.
bool pressBoxButton(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) {
            b->click();
            return true;
        }
    return false;
}

// The step that answers the save dialog with a file.
std::function<GuiStep()> chooseFile(std::string file) {
    return [file] {
        auto* dialog = shownTopLevel<QFileDialog>();
        if (!dialog) return GuiStep::Wait;
        // The name typed into the dialog's folder, as the user does it.
        const QFileInfo info(QString::fromStdString(file));
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
        if (auto* name = dialog->findChild<QLineEdit*>()) name->setText(info.fileName());
        static_cast<QDialog*>(dialog)->accept();  // as "Save" or "Open" does
        // A dialog still reading its folder may not take the name yet: then once more.
        return dialog->isVisible() ? GuiStep::Wait : GuiStep::Done;
    };
}

// The step that waits for a box whose text holds `part` and presses `button`, grabbing the
// screen first when `shot` is given.
std::function<GuiStep()> answerBox(QString part, QString button, std::string shot = {}) {
    return [part, button, shot] {
        auto* box = shownTopLevel<QMessageBox>();
        if (!box) return GuiStep::Wait;
        if (!box->text().contains(part)) return fail("a box says \"" + box->text().toStdString() + "\"");
        if (!shot.empty() &&
            (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(shot), "PNG") ||
             !voq::test::looksLikeAWindow(shot, 300, 120)))
            return fail("no screenshot of the box");
        if (!pressBoxButton(box, button)) return fail("the box has no \"" + button.toStdString() + "\"");
        return GuiStep::Done;
    };
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto shown = [&display](const char* procedure) {
        return windowOf(procedure) && display.windowWidget(windowOf(procedure));
    };
    // A folder where nobody may make a file, not even the system's administrator.
    const std::string refused = "/sys/Auswertungen.pdf";
    const std::string pdf = folder + "/Auswertungen.pdf";
    // Files of an earlier run would make the save dialog ask before replacing them.
    std::filesystem::remove(pdf);
    std::filesystem::remove(folder + "/Skripte.pdf");
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
         [shown] {
             if (!shown("ReportPreview")) return GuiStep::Wait;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_PRINT));
             return GuiStep::Done;
         },
         answerBox(QStringLiteral("nicht verfügbar"), QStringLiteral("In &PDF-Datei drucken")), chooseFile(refused),
         answerBox(QStringLiteral("kann nicht geschrieben werden"), QStringLiteral("&Andere Datei wählen"),
                   folder + "/PrintFileRefused.png"),
         chooseFile(pdf),
         [pdf, folder, refused] {
             if (windowOf("ReportPreview") || !std::filesystem::exists(pdf)) return GuiStep::Wait;
             const std::string text = voq::test::commandOutput("pdftotext -layout '" + pdf + "' - 2>&1");
             if (text.find("Auswertungen") == std::string::npos || text.find("Seite") == std::string::npos)
                 return fail("the PDF file does not hold the list: " + text);
             voq::test::commandOutput("pdftoppm -png -r 80 -f 1 -l 1 -singlefile '" + pdf + "' '" + folder +
                                      "/PrintedList' 2>&1");
             if (!voq::test::looksLikeAWindow(folder + "/PrintedList.png", 300, 300))
                 return fail("no picture of the printed list");
             std::printf("print GUI check: the list went into %s after the refused %s\n", pdf.c_str(), refused.c_str());
             rt::post(rt::Event::CloseWindow, 0, windowOf("BrowseCubeKopf"));
             return GuiStep::Done;
         },
         [&display] {
             if (windowOf("BrowseCubeKopf")) return GuiStep::Wait;
             if (!chooseMenuEntry(display.frameWidget(), QStringLiteral("SQL-Scripte")))
                 return fail("no menu entry \"SQL-Scripte\"");
             return GuiStep::Done;
         },
         chooseFile((std::filesystem::current_path() / "Scripte.TPS").string()),
         [&display, shown] {
             if (!shown("BrowseSQLScript")) return GuiStep::Wait;
             QWidget* list = display.windowWidget(windowOf("BrowseSQLScript"));
             bool ticked = false;
             for (auto* box : list->findChildren<QCheckBox*>())
                 if (box->text() == QStringLiteral("mit Memo-Feld")) {
                     if (!box->isChecked()) box->click();  // as the user ticks it
                     ticked = true;
                 }
             if (!ticked) return fail("the script list has no \"mit Memo-Feld\"");
             for (auto* button : list->findChildren<QPushButton*>())
                 if (button->text() == QStringLiteral("&Print") && button->isEnabled()) {
                     std::fprintf(stderr, "print GUI check: the script list prints with the scripts' text\n");
                     button->click();
                     return GuiStep::Done;
                 }
             return fail("the script list has no \"&Print\"");
         },
         [shown] {
             if (!shown("ReportPreview")) return GuiStep::Wait;
             std::fprintf(stderr, "print GUI check: the scripts in the preview\n");
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_PRINT));
             return GuiStep::Done;
         },
         answerBox(QStringLiteral("nicht verfügbar"), QStringLiteral("In &PDF-Datei drucken")),
         chooseFile(folder + "/Skripte.pdf"),
         [folder] {
             const std::string pdf = folder + "/Skripte.pdf";
             if (windowOf("ReportPreview") || !std::filesystem::exists(pdf)) return GuiStep::Wait;
             const std::string text = voq::test::commandOutput("pdftotext -layout '" + pdf + "' - 2>&1");
             for (const char* line : {"SELECT nJahr, nMonat, SUM(fUmsatz) AS Umsatz,", "SUM(fDeckungsbeitrag) AS DB",
                                      "FROM vDemoUmsatz", "GROUP BY nJahr, nMonat", "ORDER BY nJahr, nMonat",
                                      "SELECT cOrt, COUNT(*) AS Kunden FROM tKunde GROUP BY cOrt"})
                 if (text.find(line) == std::string::npos)
                     return fail(std::string("the printed scripts lack \"") + line + "\": " + text);
             voq::test::commandOutput("pdftoppm -png -r 80 -f 1 -l 1 -singlefile '" + pdf + "' '" + folder +
                                      "/PrintedScripts' 2>&1");
             if (!voq::test::looksLikeAWindow(folder + "/PrintedScripts.png", 300, 300))
                 return fail("no picture of the printed scripts");
             std::printf("print GUI check: the scripts with their text went into %s\n", pdf.c_str());
             rt::post(rt::Event::CloseWindow, 0, windowOf("BrowseSQLScript"));
             return GuiStep::Done;
         },
         [] {
             if (windowOf("BrowseSQLScript")) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf("Main"));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(1000), std::chrono::seconds(180), "print GUI check: a window did not show");
}

}  // namespace

int main(int argc, char** argv) {
    // The file dialogs keep their last folder in Qt's settings: those of this check stay in its
    // output folder, so that the folder chosen here is no other program's start.
    if (argc >= 2) {
        const auto config = std::filesystem::absolute(argv[1]) / "config";
        std::filesystem::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
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
            registerFrameProcedure("BrowseSQLScript", [](const std::string&) { BrowseSQLScript(); });
            setMainProcedure(Main);
            ProgramModuleInit();
            ProgramMain();
            ProgramModuleCleanUp();
        },
        schedule, "print-work");
}
