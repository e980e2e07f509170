// The running frame on the demo folder under a window manager, reached through its menu: "&Listen"
// > "&Cube-Definition" opens the cube definition list, whose "&Print Screen" prints the list into
// the report preview (maximised, grabbed into OUTPUT_FOLDER/MenuReportPreview.png, left with
// Exit); "&File" > "&Print Setup ..." opens the printer set-up (the screen grabbed into
// PrintSetupDialog.png, cancelled); "SQL-Auswertungen" opens the large SQL results window within
// the frame (MenuSqlResult.png), which the "&Window" menu lists and "T&ile" keeps within the
// frame (MenuTiled.png). Then the frame closes. Usage: app_menu_gui_check OUTPUT_FOLDER
#include <QAbstractItemView>
#include <QAbstractPrintDialog>
#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/calendar/calendar.h"
#include "core/frame/frame.h"
#include "core/print/report_preview.h"
#include "core/startup/startup.h"
#include "cubes/datefilter/input_date_box.h"
#include "cubes/deflist/deflist.h"
#include "cubes/sqlresult/sql_result.h"
#include "runtime/qt/qt_display.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

using voq::test::windowOf;

GuiStep fail(const char* what) {
    std::fprintf(stderr, "menu GUI check: %s\n", what);
    return GuiStep::Failed;
}

// The entry of the frame's menu bar, as the user chooses it.
using voq::test::chooseMenuEntry;

// A child window lies within the frame's area.
bool inArea(QMdiSubWindow* sub) {
    QMdiArea* area = sub->mdiArea();
    if (!area || area->viewport()->rect().contains(sub->geometry())) return true;
    std::fprintf(stderr, "menu GUI check: %s at %d,%d %dx%d in %dx%d\n", sub->windowTitle().toUtf8().constData(),
                 sub->x(), sub->y(), sub->width(), sub->height(), area->viewport()->width(),
                 area->viewport()->height());
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
         [&display] {
             if (printerSetUp()) return GuiStep::Wait;
             if (!chooseMenuEntry(display.frameWidget(), QStringLiteral("SQL-Auswertungen")))
                 return fail("no menu entry \"SQL-Auswertungen\"");
             return GuiStep::Done;
         },
         // The large SQL results window opens within the frame's area, reaches its bottom row by
         // scrolling when the area is smaller, is found in the "&Window" menu, and tiling keeps
         // both children within the area.
         [&display, folder, shown] {
             if (!shown(sqlresult::kProcedure)) return GuiStep::Wait;
             auto* sub = qobject_cast<QMdiSubWindow*>(display.windowWidget(windowOf(sqlresult::kProcedure)));
             if (!sub) return fail("the SQL results window is not in the frame");
             if (!inArea(sub)) return fail("the SQL results window opens past the frame's area");
             auto* host = sub->widget()->findChild<QScrollArea*>();
             if (!host || host->widget()->minimumHeight() > host->viewport()->height() + 1) {
                 if (!host || host->verticalScrollBar()->maximum() == 0)
                     return fail("the SQL results window is cut without a scroll bar");
             }
             sub->showMaximized();
             QMenu* window = nullptr;
             for (QAction* a : display.frameWidget()->findChildren<QAction*>())
                 if (a->menu() && a->text() == QStringLiteral("&Window")) window = a->menu();
             if (!window) return fail("no menu \"&Window\"");
             emit window->aboutToShow();
             bool listed = false;
             for (QAction* a : window->actions()) listed = listed || a->text().endsWith(sub->windowTitle());
             if (!listed) return fail("the \"&Window\" menu does not list the SQL results window");
             const std::string file = folder + "/MenuSqlResult.png";
             if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG"))
                 return fail("no screenshot of the SQL results window");
             return GuiStep::Done;
         },
         [&display, folder] {
             auto* sub = qobject_cast<QMdiSubWindow*>(display.windowWidget(windowOf(sqlresult::kProcedure)));
             auto* host = sub->widget()->findChild<QScrollArea*>();
             // Maximised in an area smaller than the window: its bottom row is reached by scrolling.
             if (host->widget()->height() > host->viewport()->height() && host->verticalScrollBar()->maximum() == 0)
                 return fail("the maximised SQL results window is cut without a scroll bar");
             sub->showNormal();
             if (!chooseMenuEntry(display.frameWidget(), QStringLiteral("T&ile")))
                 return fail("no menu entry \"T&ile\"");
             return GuiStep::Done;
         },
         [&display, folder] {
             for (QMdiSubWindow* sub : display.frameWidget()->findChildren<QMdiSubWindow*>())
                 if (sub->isVisible() && !inArea(sub)) return fail("a tiled window reaches past the frame's area");
             const std::string file = folder + "/MenuTiled.png";
             if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG"))
                 return fail("no screenshot of the tiled windows");
             // Dates in the result list: a statement over the sales lines.
             rt::UserInput query(rt::Event::Accepted, sqlresult::QueryBox);
             query.value = "SELECT dDatum, fUmsatz FROM tUmsatzPos ORDER BY kUmsatzPos LIMIT 5";
             rt::sendInput(windowOf(sqlresult::kProcedure), query);
             rt::sendInput(windowOf(sqlresult::kProcedure), rt::UserInput(rt::Event::Accepted, sqlresult::Run));
             return GuiStep::Done;
         },
         [&display, folder] {
             auto* view = qobject_cast<QAbstractItemView*>(
                 display.controlWidget(windowOf(sqlresult::kProcedure), sqlresult::Results));
             if (!view || !view->model() || view->model()->rowCount() == 0) return GuiStep::Wait;
             // The date column holds its dates whole.
             const QString date = view->model()->index(0, 0).data().toString();
             auto* tree = qobject_cast<QTreeView*>(view);
             auto* table = qobject_cast<QTableView*>(view);
             const int width = tree ? tree->columnWidth(0) : table ? table->columnWidth(0) : 0;
             if (date.isEmpty() || width < view->fontMetrics().horizontalAdvance(date) + 4) {
                 std::fprintf(stderr, "menu GUI check: \"%s\" in a column %d pixels wide\n", date.toUtf8().constData(),
                              width);
                 return fail("a date in the result list is cut");
             }
             const std::string file = folder + "/MenuSqlDates.png";
             if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG"))
                 return fail("no screenshot of the result list");
             // A date parameter: the date filter, and from it the calendar.
             rt::UserInput query(rt::Event::Accepted, sqlresult::QueryBox);
             query.value = "SELECT dDatum FROM tUmsatzPos WHERE dDatum >= #dParameter#";
             rt::sendInput(windowOf(sqlresult::kProcedure), query);
             rt::sendInput(windowOf(sqlresult::kProcedure), rt::UserInput(rt::Event::Accepted, sqlresult::Run));
             return GuiStep::Done;
         },
         [shown] {
             if (!shown(datefilter::kProcedure)) return GuiStep::Wait;
             rt::sendInput(windowOf(datefilter::kProcedure),
                           rt::UserInput(rt::Event::Accepted, datefilter::FromCalendar));
             return GuiStep::Done;
         },
         [&display, folder, shown] {
             if (!shown(calendar::kProcedure)) return GuiStep::Wait;
             QWidget* filter = display.windowWidget(windowOf(datefilter::kProcedure))->window();
             QWidget* cal = display.windowWidget(windowOf(calendar::kProcedure))->window();
             // Beside the date filter: its left edge, below the calendar button's row.
             const QRect f = filter->frameGeometry(), c = cal->frameGeometry();
             if (std::abs(c.left() - f.left()) > 40 || c.top() < f.top() || c.top() > f.bottom() + 40) {
                 std::fprintf(stderr, "menu GUI check: calendar at %d,%d, date filter at %d,%d %dx%d\n", c.x(), c.y(),
                              f.x(), f.y(), f.width(), f.height());
                 return fail("the calendar does not open beside the date filter");
             }
             // Wide enough for its title, the longest month with the year, beside the buttons.
             QFont bold = cal->font();
             bold.setBold(true);
             if (cal->width() < QFontMetrics(bold).horizontalAdvance(QStringLiteral("September 2026")) + 100)
                 return fail("the calendar is too narrow for its title");
             const std::string file = folder + "/MenuCalendar.png";
             if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(file), "PNG"))
                 return fail("no screenshot of the calendar");
             rt::UserInput esc(rt::Event::AlertKey, 0);
             esc.keyCode = rt::keys::Esc;
             rt::sendInput(windowOf(calendar::kProcedure), esc);
             return GuiStep::Done;
         },
         [] {
             if (windowOf(calendar::kProcedure)) return GuiStep::Wait;
             rt::sendInput(windowOf(datefilter::kProcedure), rt::UserInput(rt::Event::Accepted, datefilter::Cancel));
             return GuiStep::Done;
         },
         [] {
             if (windowOf(datefilter::kProcedure)) return GuiStep::Wait;
             rt::post(rt::Event::CloseWindow, 0, windowOf(sqlresult::kProcedure));
             return GuiStep::Done;
         },
         [] {
             if (windowOf(sqlresult::kProcedure)) return GuiStep::Wait;
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
            registerFrameProcedure(sqlresult::kProcedure, [](const std::string& mode) { SQLQueryResult_N(mode); });
            setMainProcedure(Main);
            ProgramModuleInit();
            ProgramMain();
            ProgramModuleCleanUp();
        },
        schedule);
}
