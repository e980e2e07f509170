// The pivot view scrolling over a table of 20,000 lines x 12 value columns (240,000 cells):
// the time to draw one screen after a scroll step, which is all that smooth scrolling asks, and
// the time of a reload that sizes the columns.
#include "bench/bench_table.h"
#include "pivot/qt/pivot_view.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <fmt/format.h>

#include <chrono>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    auto store = std::make_shared<pivot::ColumnStore>();
    size_t kunde = store->addColumn("Kunde", false), monat = store->addColumn("Monat", true),
           umsatz = store->addColumn("Umsatz", true);
    for (int i = 0; i < 240000; ++i) {
        store->appendText(kunde, fmt::format("Kunde {:05}", i % 20000));
        store->appendNumber(monat, 1 + (i / 20000) % 12);
        store->appendNumber(umsatz, (i % 977) * 1.25);
        store->finishRow();
    }
    auto control = std::make_shared<pivot::PivotControl>();
    rt::automationCall(*control, "Fields.Add", {"Kunde", "Kunde", 2});
    rt::automationCall(*control, "Fields.Add", {"Monat", "Monat", 1});
    rt::automationCall(*control, "Fields.Add", {"Umsatz", "Umsatz", 3}).toObject()->set("NumberFormat", "#,##0.00");
    control->setData(store);
    auto table = control->table();
    size_t cells = table->lineCount() * table->columnCount();

    pivot::qt::PivotView view(control);
    view.resize(1280, 900);
    view.show();
    app.processEvents();
    auto* grid = view.grid();
    // A reload sizes every value column to its widest value: the cost of a change seen.
    auto r0 = std::chrono::steady_clock::now();
    grid->reload();
    const double reloadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - r0).count();
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    auto* bar = grid->verticalScrollBar();
    const int frames = 200;
    double worst = 0, total = 0;
    for (int f = 0; f < frames; ++f) {
        bar->setValue((bar->maximum() / frames) * f);
        auto t0 = std::chrono::steady_clock::now();
        grid->viewport()->render(&image);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        worst = std::max(worst, ms);
        total += ms;
    }
    fmt::print("Pivot-Ansicht: {} Zellen, {} Bilder beim Blättern: im Mittel {:.2f} ms, höchstens {:.2f} ms\n", cells,
               frames, total / frames, worst);
    std::fflush(stdout);
    bench::info("Pivot-Ansicht: Zellen der Tabelle", std::to_string(cells));
    bench::info("Pivot-Ansicht: langsamstes Bild beim Blättern", fmt::format("{:.1f} ms", worst));
    bench::info("Pivot-Ansicht: Neuaufbau mit Spaltenbreiten", fmt::format("{:.1f} ms", reloadMs));
    bool met = bench::atMost("Pivot-Ansicht: ein Bild beim Blättern (ms, Mittel)", "-",
                             fmt::format("{:.1f} ms", total / frames), total / frames, 16, "ms");
    return met ? 0 : 1;
}
