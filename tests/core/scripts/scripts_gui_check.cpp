// The SQL script list in the Qt front end under Xvfb and openbox, on the demo folder with two
// script files: the first chosen in the file dialog, then "neue Datei" chooses the second; the
// list with its heading is grabbed (scripts-newfile.png). "C&opy" then opens the form on the
// highlighted script under a free name (grabbed into scripts-copy.png, cancelled), and the list
// closes. Usage: core_scripts_gui_check OUTPUT_FOLDER
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "core/scripts/sql_scripts.h"
#include "runtime/data/file_manager.h"
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

using voq::test::windowOf;

GuiStep fail(const std::string& what) {
    std::fprintf(stderr, "scripts GUI check: %s\n", what.c_str());
    return GuiStep::Failed;
}

QFileDialog* fileDialog() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QFileDialog*>(top); d && d->isVisible()) return d;
    return nullptr;
}

// The file chosen in the open dialog as the user does it. The dialog takes the name only once
// it has listed the folder, so the choice is made again until the dialog has gone.
GuiStep choose(const std::string& file, bool& chosen) {
    QFileDialog* dialog = fileDialog();
    if (!dialog) return chosen ? GuiStep::Done : GuiStep::Wait;
    if (dialog->windowTitle() != QStringLiteral("Scriptdatei")) return fail("the file dialog has another title");
    // The name typed into the dialog's name field, as the user does.
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) return fail("the file dialog has no name field");
    name->setText(QString::fromStdString(file));
    static_cast<QDialog*>(dialog)->accept();
    chosen = true;
    return GuiStep::Wait;
}

GuiStep press(rt::qt::QtDisplay& display, const char* procedure, const QString& text) {
    if (!windowOf(procedure) || !display.windowWidget(windowOf(procedure))) return GuiStep::Wait;
    for (auto* button : display.windowWidget(windowOf(procedure))->findChildren<QPushButton*>())
        if (button->text() == text && button->isEnabled()) {
            button->click();
            return GuiStep::Done;
        }
    return fail("no button " + text.toStdString());
}

GuiStep grab(rt::qt::QtDisplay& display, const char* procedure, const std::string& file) {
    if (!windowOf(procedure) || !display.windowWidget(windowOf(procedure))) return GuiStep::Wait;
    QWidget* widget = display.windowWidget(windowOf(procedure))->window();
    if (!widget->grab().save(QString::fromStdString(file), "PNG") || !voq::test::looksLikeAWindow(file, 300, 150))
        return fail("no proper grab of " + std::string(procedure));
    return GuiStep::Done;
}

// A script file with one script.
void writeScriptFile(const std::string& file, const char* name, const char* text) {
    GLO.SCRIPT = file;
    rt::FileManager& fm = *Access.Scripte;
    if (fm.open() != 0) return;
    SCR = {};
    SCR.ID = 1;
    SCR.Bezeichnung = name;
    SCR.Beschreibung = "Beispiel";
    SCR.Script = text;
    fm.insertAsIs();
    fm.close();
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    // No frame here: the file dialog closing before the list opens is not the end.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string work = std::filesystem::current_path().string();
    voq::test::runGuiSteps(
        {[work, chosen = std::make_shared<bool>(false)] { return choose(work + "/Scripte.TPS", *chosen); },
         [&display] { return press(display, "BrowseSQLScript", QStringLiteral("neue Datei")); },
         [work, chosen = std::make_shared<bool>(false)] { return choose(work + "/Script2.TPS", *chosen); },
         [&display, folder, work] {
             const rt::WindowId list = windowOf("BrowseSQLScript");
             if (!list) return GuiStep::Wait;
             bool heading = false;
             for (auto* label : display.windowWidget(list)->findChildren<QLabel*>())
                 heading = heading || label->text().endsWith(QStringLiteral("Script2.TPS"));
             if (!heading) return fail("the list's heading does not show Script2.TPS");
             return grab(display, "BrowseSQLScript", folder + "/scripts-newfile.png");
         },
         [&display] { return press(display, "BrowseSQLScript", QStringLiteral("C&opy")); },
         [&display, folder] {
             const GuiStep step = grab(display, "EditSQLScripte", folder + "/scripts-copy.png");
             if (step == GuiStep::Done)
                 rt::sendInput(windowOf("EditSQLScripte"), rt::UserInput(rt::Event::Accepted, sqlscript::Cancel));
             return step;
         },
         [] {
             if (windowOf("EditSQLScripte")) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf("BrowseSQLScript"));
             return GuiStep::Done;
         }},
        std::chrono::milliseconds(1200), std::chrono::seconds(100), "scripts GUI check: a window did not show");
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            InitDictionary();
            const std::string work = std::filesystem::current_path().string();
            writeScriptFile(work + "/Scripte.TPS", "Anlage", "SELECT 1");
            writeScriptFile(work + "/Script2.TPS", "Zweite", "SELECT 'Größe'");
            BrowseSQLScript();
            KillDictionary();
        },
        schedule, "scripts-work");
}
