// Opening the demo cube 1 ("Umsatz Warengruppen") over 2,000,000 sales lines as the pivot viewer
// opens it: the control's data source and fields set, RefreshData, every field collapsed, the
// pivot drawn (offscreen). Against the sqlite3 shell reading the cube's statement. Three opens
// and closes in one process: the time of the first, the peak memory of an open, and the memory
// left once the control is gone, against what the process had before the first open.
//
//   bench_cube_open [lines]     (default 2000000)
//   bench_cube_open --connect CONNECT --statement SQL
//       the same opens over another data source holding the demo's sales view (figures only)
#include "bench/bench_table.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_control.h"
#include "pivot/qt/pivot_view.h"

#include <QApplication>
#include <QImage>
#include <fmt/format.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string kStatement = "SELECT * FROM vDemoUmsatz";

double seconds(const std::function<void()>& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A figure of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024.0;
    return 0;
}

// The peak from here on is the peak of what follows.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs a program with its output thrown away; false when it did not end with 0.
bool runQuiet(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct CubeField {
    const char* name;
    const char* caption;
    int orientation;
    const char* format;
};
// The demo set-up's cube 1.
const CubeField kFields[] = {{"cWarengruppe", "Warengruppe", 2, ""},
                             {"cArtikel", "Artikel", 2, ""},
                             {"nJahr", "Jahr", 1, ""},
                             {"cPlattform", "Plattform", 4, ""},
                             {"fUmsatz", "Umsatz", 3, "@n-14.2"},
                             {"fDeckungsbeitrag", "Deckungsbeitrag", 3, "@n-14.2"}};

// One open as the viewer does it, until the pivot is drawn; the control and its view are gone
// when it returns. false when the load failed.
bool openCube(const std::string& connect, size_t& rows, size_t& lines) {
    auto control = std::make_shared<pivot::PivotControl>();
    control->set("AutoDatRefresh", 0);
    control->set("GNConnectType", "3");
    control->set("GNConnect", connect);
    control->set("GNRecordSource", kStatement);
    for (const CubeField& f : kFields) {
        auto field = rt::automationCall(*control, "Fields.Add", {f.name, f.caption, int64_t(f.orientation)}).toObject();
        try {
            if (f.orientation == 3 && *f.format) field->set("NumberFormat", f.format);
            if (f.orientation == 3) field->set("AggregateFunc", 0);
        } catch (const std::exception&) {
            // The viewer's errors of single member calls are harmless too.
        }
    }
    control->set("AutoDatRefresh", 1);
    try {
        control->call("RefreshData");
    } catch (const std::exception& e) {
        fmt::print("RefreshData: {}\n", e.what());
        return false;
    }
    for (int i = 0; i < int(std::size(kFields)); ++i) control->setShowDetail(i, false);
    rows = control->data()->rowCount();
    pivot::qt::PivotView view(control);
    view.resize(1280, 900);
    view.show();
    QApplication::processEvents();
    QImage image(view.grid()->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    view.grid()->viewport()->render(&image);
    lines = control->table()->lineCount();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::string otherConnect;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--connect") otherConnect = argv[i + 1];
        if (std::string(argv[i]) == "--statement") kStatement = argv[i + 1];
    }
    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    if (!otherConnect.empty()) {
        const double before = statusMb("VmRSS");
        double peak = 0, first = 0;
        size_t rows = 0, shown = 0;
        for (int i = 0; i < 3; ++i) {
            resetPeak();
            bool ok = true;
            const double t = seconds([&] { ok = openCube(otherConnect, rows, shown); });
            if (!ok) return 1;
            if (i == 0) first = t;
            peak = std::max(peak, statusMb("VmHWM"));
            fmt::print("Öffnen {}: {:.2f} s, {} Zeilen; Spitze {:.0f} MB, danach {:.0f} MB\n", i + 1, t, rows,
                       statusMb("VmHWM"), statusMb("VmRSS"));
        }
        fmt::print("Vor dem ersten Öffnen: {:.0f} MB\n", before);
        bench::info(fmt::format("Cube 1 öffnen über {}, {} Zeilen", otherConnect.substr(0, 30), rows),
                    fmt::format("{:.2f} s, Spitze {:.0f} MB", first, peak));
        return 0;
    }
    const long lines = argc > 1 ? std::atol(argv[1]) : 2000000;
    const std::string folder = fmt::format("{}/demo_{}", BENCH_DIR, lines);
    const std::string db = folder + "/DemoERP";
    if (!fs::exists(folder + "/.ready")) {
        fs::remove_all(folder);
        if (!runQuiet({DEMO_SETUP, folder, "--lines", std::to_string(lines)})) {
            fmt::print("voq-demo-setup failed\n");
            return 1;
        }
        std::ofstream(folder + "/.ready") << "1";
    }
    // As the demo set-up builds it; the control streams over its own connection.
    const std::string connect = "DRIVER=SQLite3;SERVER=;UID=;PWD=;Database=" + db;

    double shell = 1e9;
    for (int i = 0; i < 2; ++i) {
        bool ok = true;
        shell = std::min(shell, seconds([&] { ok = runQuiet({"/usr/bin/sqlite3", "-batch", db, kStatement}); }));
        if (!ok) {
            fmt::print("sqlite3 failed\n");
            return 1;
        }
    }
    fmt::print("sqlite3-Shell liest \"{}\": {:.2f} s\n", kStatement, shell);

    const double before = statusMb("VmRSS");
    double first = 0, peak = 0, after = 0;
    size_t rows = 0, shown = 0;
    for (int i = 0; i < 3; ++i) {
        resetPeak();
        bool ok = true;
        const double t = seconds([&] { ok = openCube(connect, rows, shown); });
        if (!ok) return 1;
        if (i == 0) first = t;
        peak = std::max(peak, statusMb("VmHWM"));
        after = statusMb("VmRSS");
        fmt::print("Öffnen {}: {:.2f} s, {} Zeilen gelesen, {} Zeilen gezeigt; Spitze {:.0f} MB, danach {:.0f} MB\n",
                   i + 1, t, rows, shown, statusMb("VmHWM"), after);
    }
    fmt::print("Vor dem ersten Öffnen: {:.0f} MB\n", before);
    std::fflush(stdout);

    bool met = true;
    const std::string work = fmt::format("Cube 1 öffnen bis zur gezeichneten Pivot-Tabelle, {} Zeilen", rows);
    met &= bench::atMost(work, fmt::format("sqlite3-Shell {:.2f} s", shell), fmt::format("{:.2f} s", first),
                         first / shell, 1.5);
    met &= bench::atMost("Cube 1 öffnen: Speicher an der Spitze (MB)", "-", fmt::format("{:.0f} MB", peak), peak, 400,
                         "MB");
    met &= bench::atMost("Cube 1 geschlossen: Speicher über dem vor dem Öffnen (MB)", fmt::format("{:.0f} MB", before),
                         fmt::format("{:.0f} MB", after), after - before, 100, "MB");
    return met ? 0 : 1;
}
