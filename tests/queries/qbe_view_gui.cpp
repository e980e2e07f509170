// Query by example's view in the Qt front end on the demo's cube heads: first with the cube
// name sorted (the locator column, a record found from the "Locate:" entry), scrolled sideways
// under its fixed first column, grabbed into qbe_view.png; then without a sorted column (scroll buttons), made larger,
// grabbed into qbe_view_scroll.png. Each closed with its "OK". Usage: queries_qbe_view_gui OUTPUT_FOLDER
#include <QApplication>
#include <QScrollBar>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "demo/demo_folder.h"
#include "queries/qbe/qbe_options.h"
#include "queries/qbe/qbe_view.h"
#include "runtime/qt/qt_display.h"
#include "runtime/ui/window.h"
#include "tests/support/demo_gui.h"
#include "tests/support/screenshot_check.h"

namespace {

using voq::test::GuiStep;

QBEColumn column(long number, const char* header, const char* picture, const char* justify, int code1, int code2 = 0) {
    QBEColumn c;
    c.NUMBER = number;
    c.HEADER = header;
    c.PICTURE = picture;
    c.JUSTIFY = justify;
    c.type(1) = code1;
    c.type(2) = code2;
    c.FILTERTYPE[kQBESlots - 1] = code1 == qbecode::Off ? code2 : code1;
    return c;
}

void showViews() {
    using namespace qbecode;
    const std::vector<std::string> sources(kQBESources.begin(), kQBESources.end());
    std::vector<QBEColumn> g{QBESetAllColumn(),
                             column(1, "ID", "@n8", "R", Sum),
                             column(2, "Gruppe", "@n6", "R", Minimum, Maximum),
                             column(3, "Cube", "@s20", "L", OnUp),
                             column(5, "Beschreibung", "@s40", "L", On),
                             column(11, "Tabelle", "@s30", "L", On),
                             column(7, "Zugriff", "@s20", "L", On),
                             column(14, "Parameter", "@s30", "L", On)};
    // Wide columns, so that the list scrolls sideways under its fixed first column.
    QBEOptionValues options;
    options.viewColumnWidth = 90;
    options.viewColor[0] = 0xF0FAFF;
    options.viewColor[1] = 0x602000;
    SetQBEOptions(options);
    QBEView(sources, g, "", "+UPPER(CUBK:CubeName)", 2, 3);
    g[3].type(1) = On;
    g[3].FILTERTYPE[kQBESlots - 1] = On;
    QBEView(sources, g, "", "-CUBK:ID", 2, 3);
}

rt::WindowId viewWindow() {
    for (const auto& w : rt::openWindows())
        if (w.procedure == "QBEView") return w.id;
    return 0;
}

std::function<GuiStep()> grab(rt::qt::QtDisplay& display, std::string file) {
    return [&display, file] {
        const rt::WindowId w = viewWindow();
        if (!w || !display.windowWidget(w)->grab().save(QString::fromStdString(file), "PNG") ||
            !voq::test::looksLikeAWindow(file, 400, 250))
            return GuiStep::Failed;
        rt::sendInput(w, rt::UserInput(rt::Event::Accepted, qbeview::Ok));
        return GuiStep::Done;
    };
}

void schedule(rt::qt::QtDisplay& display, std::string folder) {
    auto shown = [&display] {
        const rt::WindowId w = viewWindow();
        return w && display.windowWidget(w);
    };
    voq::test::runGuiSteps({[shown] {
                                if (!shown()) return GuiStep::Wait;
                                rt::UserInput typed(rt::Event::NewSelection, qbeview::Locate);
                                typed.value = "r";
                                rt::sendInput(viewWindow(), typed);
                                return GuiStep::Done;
                            },
                            [&display] {
                                auto* list = display.windowWidget(viewWindow())->findChild<QTreeView*>();
                                if (!list) return GuiStep::Failed;
                                list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
                                return GuiStep::Done;
                            },
                            grab(display, folder + "/qbe_view.png"),
                            [shown, &display] {
                                if (!shown()) return GuiStep::Wait;
                                // Larger by hand: the list grows, OK keeps to the corner.
                                QWidget* top = display.windowWidget(viewWindow())->window();
                                top->resize(top->width() + 160, top->height() + 100);
                                return GuiStep::Done;
                            },
                            grab(display, folder + "/qbe_view_scroll.png")},
                           std::chrono::milliseconds(1200), std::chrono::seconds(90),
                           "the query-by-example view did not show");
}

}  // namespace

int main(int argc, char** argv) {
    return voq::test::runDemoGuiCheck(
        argc, argv, 10,
        [] {
            InitDictionary();
            showViews();
            KillDictionary();
        },
        schedule, "qbe_work");
}
