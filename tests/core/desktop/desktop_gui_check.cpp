// The client list and form, the report preview and the print set-up in the Qt front end on the
// demo folder under a window manager: each grabbed into OUTPUT_FOLDER/<procedure>.png. The form
// opened from the list must be owned by it (it stays above it) and leaves with Esc; the preview
// opens maximised, its page-grid chooser and magnified page open as pop-ups at the mouse, at
// 100 % the page scrolls with the wheel, and after a resize no page reaches below the window;
// its print button leads to the print set-up, which is cancelled. Last, a short message keeps
// its title whole. Usage: core_desktop_gui_check OUTPUT_FOLDER
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWindow>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

const QPoint kMouse(420, 300);

using voq::test::windowOf;

bool grab(rt::qt::QtDisplay& display, const std::string& folder, const std::string& procedure,
          const std::string& name = {}) {
    const std::string file = folder + "/" + (name.empty() ? procedure : name) + ".png";
    const bool ok = display.windowWidget(windowOf(procedure))->grab().save(QString::fromStdString(file), "PNG") &&
                    voq::test::looksLikeAWindow(file, 300, 120);
    if (!ok) std::fprintf(stderr, "%s: no proper grab\n", procedure.c_str());
    return ok;
}

GuiStep fail(const char* what) {
    std::fprintf(stderr, "desktop GUI check: %s\n", what);
    return GuiStep::Failed;
}

// The whole screen, with the window manager's decorations.
bool grabScreen(const std::string& folder, const std::string& name) {
    const std::string file = folder + "/" + name + ".png";
    return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG") &&
           voq::test::looksLikeAWindow(file, 300, 120);
}

QMessageBox* messageBox(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->windowTitle() == title)
            return box;
    return nullptr;
}

// A pop-up stands at the mouse: 5 units right of it, 20 above (within a few pixels).
bool atMouse(QWidget* popup, QPoint mouse) {
    const QPoint at = popup->pos();
    return at.x() > mouse.x() && at.x() < mouse.x() + 40 && at.y() < mouse.y() && at.y() > mouse.y() - 80;
}

// Every page shown in the preview lies inside its client area.
bool pagesInside(QWidget* preview) {
    for (QWidget* child : preview->findChildren<QWidget*>()) {
        const int id = child->property("rtControl").toInt();
        if (id < preview::FIRST_SLOT || !child->isVisible() || !child->parentWidget()) continue;
        if (!child->parentWidget()->rect().contains(child->geometry())) {
            std::fprintf(stderr, "control %d at %d,%d %dx%d outside %dx%d\n", id, child->x(), child->y(),
                         child->width(), child->height(), child->parentWidget()->width(),
                         child->parentWidget()->height());
            return false;
        }
    }
    return true;
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
             QCursor::setPos(kMouse);
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_THUMBNAILS));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("PageGridPicker")) return GuiStep::Wait;
             QWidget* picker = display.windowWidget(windowOf("PageGridPicker"))->window();
             if (picker->windowType() != Qt::Popup) return fail("the page-grid chooser is no pop-up");
             if (!atMouse(picker, kMouse)) return fail("the page-grid chooser is not at the mouse");
             // One row and one column more than chosen (1 x 1): 36 dialog units each way, well
             // under 40 (ten average characters across, five lines down).
             if (picker->width() > 10 * picker->fontMetrics().averageCharWidth() ||
                 picker->height() > 5 * picker->fontMetrics().height())
                 return fail("the page-grid chooser is larger than its cells");
             picker->grab().save(QString::fromStdString(folder + "/PageGridPicker.png"), "PNG");
             // Two pages across, one down.
             rt::UserInput release(rt::Event::MouseUp, preview::pickerCell(2, 1));
             release.keyCode = rt::keys::MouseLeftUp;
             rt::sendInput(windowOf("PageGridPicker"), release);
             return GuiStep::Done;
         },
         [] {
             if (windowOf("PageGridPicker")) return GuiStep::Wait;
             rt::UserInput in(rt::Event::MouseIn, preview::slotArea(1));
             in.y = 40;
             rt::sendInput(windowOf("ReportPreview"), in);
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("ThumbnailWindow")) return GuiStep::Wait;
             QWidget* thumbnail = display.windowWidget(windowOf("ThumbnailWindow"))->window();
             if (thumbnail->windowType() != Qt::ToolTip || thumbnail->isActiveWindow())
                 return fail("the magnified page is no pop-up, or took the focus");
             if (!grabScreen(folder, "ThumbnailWindow")) return GuiStep::Failed;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::MouseOut, preview::slotArea(1)));
             return GuiStep::Done;
         },
         [] {
             if (windowOf("ThumbnailWindow")) return GuiStep::Wait;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::ITEM_ZOOM_100));
             return GuiStep::Done;
         },
         [&display, folder] {
             QWidget* window = display.windowWidget(windowOf("ReportPreview"));
             auto* area = window->findChild<QScrollArea*>();
             if (!area || !area->isVisible()) return GuiStep::Wait;
             if (!area->verticalScrollBar()->isVisible() || area->verticalScrollBar()->maximum() <= 0)
                 return fail("the page at 100 % has no vertical scroll bar");
             const QPointF inside(area->viewport()->width() / 2.0, area->viewport()->height() / 2.0);
             QWheelEvent wheel(inside, area->viewport()->mapToGlobal(inside), QPoint(), QPoint(0, -240), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(area->viewport(), &wheel);
             if (area->verticalScrollBar()->value() <= 0) return fail("the wheel does not scroll the page");
             if (!grab(display, folder, "ReportPreview", "ReportPreview100")) return GuiStep::Failed;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::ITEM_PAGE_WIDTH));
             return GuiStep::Done;
         },
         [&display, folder] {
             QWidget* window = display.windowWidget(windowOf("ReportPreview"));
             auto* area = window->findChild<QScrollArea*>();
             if (!area || area->horizontalScrollBar()->isVisible()) return GuiStep::Wait;
             // The page's right edge stays beside the vertical bar.
             if (area->widget()->width() > area->viewport()->width())
                 return fail("the page at page width is wider than the window");
             if (!grab(display, folder, "ReportPreview", "ReportPreviewPageWidth")) return GuiStep::Failed;
             // A smaller window, whole pages again.
             window->window()->showNormal();
             window->window()->resize(640, 420);
             return GuiStep::Done;
         },
         [&display] {
             QWidget* window = display.windowWidget(windowOf("ReportPreview"));
             if (window->window()->isMaximized()) return GuiStep::Wait;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::ITEM_NO_ZOOM));
             return GuiStep::Done;
         },
         [&display, folder] {
             QWidget* window = display.windowWidget(windowOf("ReportPreview"));
             if (window->findChild<QScrollArea*>()) return GuiStep::Wait;
             if (!pagesInside(window)) return fail("a page reaches beyond the resized preview");
             if (!grab(display, folder, "ReportPreview", "ReportPreviewSmall")) return GuiStep::Failed;
             rt::sendInput(windowOf("ReportPreview"), rt::UserInput(rt::Event::Accepted, preview::BUTTON_PRINT));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown("PrintSetupWindow")) return GuiStep::Wait;
             if (!grab(display, folder, "PrintSetupWindow")) return GuiStep::Failed;
             rt::sendInput(windowOf("PrintSetupWindow"), rt::UserInput(rt::Event::Accepted, printsetup::CANCEL_BUTTON));
             return GuiStep::Done;
         },
         [folder] {
             QMessageBox* box = messageBox(QStringLiteral("ODBC-Admin"));
             if (!box) return GuiStep::Wait;
             QFont bold = box->font();
             bold.setBold(true);
             if (box->width() < QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100)
                 return fail("the message box is too narrow for its title");
             if (!grabScreen(folder, "OdbcAdminBox")) return GuiStep::Failed;
             box->buttons().value(0)->click();
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
    return voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            rt::qt::installReportPrinter();
            installReportPreview();
            InitDictionary();
            rt::ThreadRequest = rt::request::None;
            ListMandant();
            printThreePages();
            // What the frame shows when no ODBC administrator can be started: a short text.
            rt::message(std::strerror(ENOENT), "ODBC-Admin");
            KillDictionary();
        },
        schedule);
}
