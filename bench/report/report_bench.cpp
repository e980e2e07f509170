// A 500-page list report from a 100,000-row queue: pages laid out (page pictures written) per
// second, and pages printed into a PDF through Qt PrintSupport per second.
//
//   bench_report [pages] [rows]     (QT_QPA_PLATFORM=offscreen is set when unset)

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report.h"

namespace {

struct Row {
    std::string C[15];
    long RECORDID = 0;
};

double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    int pagesWanted = argc > 1 ? std::atoi(argv[1]) : 500;
    int rowCount = argc > 2 ? std::atoi(argv[2]) : 100000;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    rt::qt::installReportPrinter();

    auto t0 = std::chrono::steady_clock::now();
    std::vector<Row> queue(static_cast<std::size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i) {
        Row& r = queue[static_cast<std::size_t>(i)];
        r.RECORDID = i + 1;
        for (int c = 0; c < 15; ++c)
            r.C[c] = "W" + std::to_string(c + 1) + "-" + std::to_string((i * 7919 + c) % 100000);
    }
    // The report's own copy of the rows, as the list reports take it.
    std::vector<Row> copy = queue;
    double fill = seconds(t0);

    // The landscape list report: Courier New 10, 15 columns of 46, detail 12 high.
    rt::Report report("Bench");
    report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setOrientation(rt::Orientation::Landscape);
    report.setBody(9, 61, 720, 356);
    const Row* current = nullptr;
    rt::ReportFont courier{"Courier New", 10};
    auto& head = report.addBand(1, rt::BandKind::PageHeader).setPosition(9, 8, 720, 40);
    head.addString(100, 0, 0, 400, 12).setText("Abfrageergebnis").setFont(courier);
    auto& detail = report.addBand(2, rt::BandKind::Detail).setSize(720, 12);
    for (int c = 0; c < 15; ++c) {
        head.addString(101 + c, c * 48, 24, 46, 12).setText("Spalte " + std::to_string(c + 1)).setFont(courier);
        detail.addString(200 + c, c * 48, 0, 46, 12).setFont(courier).setUse([&current, c] { return current->C[c]; });
    }
    auto& foot = report.addBand(3, rt::BandKind::PageFooter).setPosition(9, 420, 720, 27);
    foot.addString(300, 500, 2, 58, 11).setPageNumber("@pSeite <<<#p").setFont(courier);

    std::string pdf = (std::filesystem::temp_directory_path() / "bench_report.pdf").string();
    report.setOutputFile(pdf);

    auto t1 = std::chrono::steady_clock::now();
    report.open();
    // 29 detail lines fill a body of 356.
    const std::size_t rowsWanted = static_cast<std::size_t>(pagesWanted) * 29;
    std::size_t rows = 0;
    for (const Row& r : copy) {
        if (rows == rowsWanted) break;
        current = &r;
        report.print(2);
        ++rows;
    }
    report.endReport();
    double layout = seconds(t1);
    int pages = report.pageCount();

    auto t2 = std::chrono::steady_clock::now();
    bool ok = report.printPages(report.pages()) && report.flush();
    double print = seconds(t2);
    auto size = std::filesystem::exists(pdf) ? std::filesystem::file_size(pdf) : 0;

    std::printf("rows in queue            %d (filled and copied in %.3f s)\n", rowCount, fill);
    std::printf("rows printed             %zu\n", rows);
    std::printf("pages                    %d\n", pages);
    std::printf("layout + page pictures   %.3f s  %.1f pages/s\n", layout, pages / layout);
    std::printf("printed to PDF           %.3f s  %.1f pages/s  (%s, %ju bytes)\n", print, pages / print,
                ok ? "ok" : "FAILED", static_cast<std::uintmax_t>(size));
    std::printf("total                    %.1f pages/s\n", pages / (layout + print));
    report.close();
    std::filesystem::remove(pdf);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f pages/s", pages / (layout + print));
    bench::info("report layout and PDF print", rate);
    return ok ? 0 : 1;
}
