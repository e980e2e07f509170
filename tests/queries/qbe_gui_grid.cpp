// Query by example's grid in the Qt front end on the demo folder: the widest source chosen,
// conditions and codes in a few cells, a second row, the grid grabbed into qbe_grid.png, then
// scrolled to its last columns and grabbed into qbe_grid_right.png; the code picker opened by a
// right click, grabbed into qbe_picker.png, and a code picked; the help grabbed into
// qbe_help.png; the grid is left without saving. Usage:
// queries_qbe_gui_grid OUTPUT_FOLDER
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "core/dictionary/dictionary.h"
#include "queries/qbe/qbe_grid.h"
#include "queries/qbe/query_by_example.h"
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using namespace qbe;

using voq::test::windowOf;

rt::WindowId gridWindow() { return windowOf("QueryByExample"); }

// A click of the mouse button in the middle of a widget.
bool mouse(QWidget* widget, Qt::MouseButton button) {
    if (!widget) return false;
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    return true;
}

void accepted(rt::WindowId w, int control, const char* value = nullptr, int row = 0) {
    rt::UserInput in(rt::Event::Accepted, control);
    if (value) in.value = value;
    in.row = row;
    rt::sendInput(w, in);
}

bool grab(rt::qt::QtDisplay& display, const std::string& file) {
    const rt::WindowId w = gridWindow();
    return w && display.windowWidget(w)->grab().save(QString::fromStdString(file), "PNG") &&
           voq::test::looksLikeAWindow(file, 500, 250);
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    using voq::test::GuiStep;
    voq::test::runGuiSteps(
        {[&display] {
             const rt::WindowId w = gridWindow();
             if (!w || !display.windowWidget(w)) return GuiStep::Wait;
             // VOQCubeKopf, wider than the window, chosen as the user chooses it.
             auto* sources = qobject_cast<QComboBox*>(display.controlWidget(w, SourceList));
             if (!sources) return GuiStep::Failed;
             sources->setCurrentIndex(2);
             emit sources->activated(2);
             return GuiStep::Done;
         },
         [&display] {
             const rt::WindowId w = gridWindow();
             if (!display.controlWidget(w, cellId(17, 1))) return GuiStep::Wait;
             accepted(w, AddRow);
             for (int c : {1, 3, 4}) accepted(w, codeRegionId(c, 1));
             return GuiStep::Done;
         },
         [&display] {
             // Typed as the user types, each field left for the next.
             const rt::WindowId w = gridWindow();
             if (!display.controlWidget(w, cellId(2, 2))) return GuiStep::Wait;
             for (const auto& [id, text] : {std::pair{cellId(3, 1), "'Umsatz'"}, std::pair{cellId(4, 1), "1"},
                                            std::pair{cellId(2, 2), "> 2 AND < 9"}}) {
                 auto* edit = qobject_cast<QLineEdit*>(display.controlWidget(w, id));
                 if (!edit) return GuiStep::Failed;
                 edit->setFocus();
                 edit->insert(QString::fromUtf8(text));
             }
             display.controlWidget(w, cellId(1, 1))->setFocus();
             return GuiStep::Done;
         },
         [&display, folder] { return grab(display, folder + "/qbe_grid.png") ? GuiStep::Done : GuiStep::Failed; },
         [&display] {
             auto* area = qobject_cast<QScrollArea*>(display.controlWidget(gridWindow(), GridArea));
             if (!area) return GuiStep::Failed;
             area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
             return GuiStep::Done;
         },
         [&display, folder] {
             if (!grab(display, folder + "/qbe_grid_right.png")) return GuiStep::Failed;
             // Back to the start, and a right click on the picture of the cube name's first cell.
             auto* area = qobject_cast<QScrollArea*>(display.controlWidget(gridWindow(), GridArea));
             area->horizontalScrollBar()->setValue(0);
             return mouse(display.controlWidget(gridWindow(), codeRegionId(3, 1)), Qt::RightButton) ? GuiStep::Done
                                                                                                    : GuiStep::Failed;
         },
         [&display] {
             // The picker with the mouse over "On, up", then that picture clicked.
             const rt::WindowId picker = windowOf(kPickerProcedure);
             if (!picker) return GuiStep::Wait;
             QWidget* up = display.controlWidget(picker, int{PickerRegion} + qbecode::OnUp);
             if (!up) return GuiStep::Failed;
             QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), up->mapToGlobal(QPointF(5, 5)));
             QApplication::sendEvent(up, &enter);
             return GuiStep::Done;
         },
         [&display, folder] {
             const rt::WindowId picker = windowOf(kPickerProcedure);
             const std::string file = folder + "/qbe_picker.png";
             if (!picker || !display.windowWidget(picker)->grab().save(QString::fromStdString(file), "PNG") ||
                 !voq::test::looksLikeAWindow(file, 60, 40))
                 return GuiStep::Failed;
             return mouse(display.controlWidget(picker, int{PickerRegion} + qbecode::OnUp), Qt::LeftButton)
                        ? GuiStep::Done
                        : GuiStep::Failed;
         },
         [&display] {
             // The cell shows the picked code.
             if (windowOf(kPickerProcedure)) return GuiStep::Wait;
             QWidget* picture = display.controlWidget(gridWindow(), codeId(3, 1));
             return picture && picture->property("rtImage").toString().startsWith("QbeOnUp.bmp") ? GuiStep::Done
                                                                                                 : GuiStep::Failed;
         },
         [] {
             accepted(gridWindow(), ItemHelp);
             return GuiStep::Done;
         },
         [&display, folder] {
             const rt::WindowId help = windowOf("QBEHelp");
             if (!help || !display.windowWidget(help)) return GuiStep::Wait;
             const std::string file = folder + "/qbe_help.png";
             if (!display.windowWidget(help)->grab().save(QString::fromStdString(file), "PNG") ||
                 !voq::test::looksLikeAWindow(file, 300, 300))
                 return GuiStep::Failed;
             accepted(help, HelpOk);
             return GuiStep::Done;
         },
         [] {
             if (windowOf("QBEHelp")) return GuiStep::Wait;
             accepted(gridWindow(), ExitButton);
             return GuiStep::Done;
         },
         [] {
             // The grid was changed: leave it without saving.
             for (QWidget* top : QApplication::topLevelWidgets())
                 if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                     if (QAbstractButton* no = box->button(QMessageBox::No)) no->click();
                     return GuiStep::Done;
                 }
             return GuiStep::Wait;
         }},
        std::chrono::milliseconds(1200), std::chrono::seconds(90), "the grid did not show its source");
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            InitDictionary();
            QueryByExample("");
            KillDictionary();
        },
        schedule);
}
