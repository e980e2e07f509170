// The example list and its form in the Qt front end: opens the list, then the form on its second
// row, grabs both windows into PNG files, leaves the form with Esc, opens it to delete the row
// (grabbing it and the question that OK asks), answers No and leaves with Esc again, then ends.
// Usage: core_common_gui_example OUTPUT_FOLDER
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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

// Esc as the user types it into the window's first entry.
void pressEsc(rt::qt::QtDisplay& display, rt::WindowId window) {
    QWidget* target = display.windowWidget(window)->findChildren<QLineEdit*>().value(0);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

QMessageBox* shownMessageBox() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) return box;
    return nullptr;
}

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
             pressEsc(display, form());
             return GuiStep::Done;
         },
         [list, form] {
             if (form()) return GuiStep::Wait;
             rt::sendInput(list(), rt::UserInput(rt::Event::Accepted, example::DELETE));
             return GuiStep::Done;
         },
         [&display, folder, form] {
             if (!form() || !display.windowWidget(form())) return GuiStep::Wait;
             const bool ok =
                 display.windowWidget(form())->grab().save(QString::fromStdString(folder + "/delete_form.png"), "PNG");
             if (!ok) return GuiStep::Failed;
             rt::sendInput(form(), rt::UserInput(rt::Event::Accepted, example::OK));
             return GuiStep::Done;
         },
         [folder] {
             QMessageBox* box = shownMessageBox();
             if (!box) return GuiStep::Wait;
             const bool ok = box->grab().save(QString::fromStdString(folder + "/delete_question.png"), "PNG") &&
                             box->text() == QStringLiteral("Wollen Sie diesen Datensatz wirklich löschen?") &&
                             box->defaultButton() == box->button(QMessageBox::No);
             if (!ok) return GuiStep::Failed;
             box->button(QMessageBox::No)->click();
             return GuiStep::Done;
         },
         [&display, form] {
             if (shownMessageBox() || !form()) return shownMessageBox() ? GuiStep::Wait : GuiStep::Failed;
             pressEsc(display, form());
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
