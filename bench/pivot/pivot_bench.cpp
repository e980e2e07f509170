// Pivot benchmark: 1,000,000 sales rows, 2 row fields x 1 column field x 3 measures with every
// subtotal. Prints the load through the data engine, the aggregation, SQLite's GROUP BY of the
// same grouping and DuckDB's (when its library can be had), and the memory used.
//
//   bench_pivot [rows]     (default 1000000)
#include "bench/bench_table.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_engine.h"
#include "tests/support/test_support.h"

#include <dlfcn.h>
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

double seconds(const std::function<void()>& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double best(int runs, const std::function<void()>& f) {
    double b = 1e9;
    for (int i = 0; i < runs; ++i) b = std::min(b, seconds(f));
    return b;
}

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const char* kLeafGroupBy =
    "SELECT Region, Gruppe, Jahr, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Region, Gruppe, Jahr";
// Every grouping a pivot with all subtotals shows: leaves, region subtotals, row totals per year,
// and the same without the year (the total column).
const char* kAllGroupings =
    "SELECT Region, Gruppe, Jahr, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Region, Gruppe, Jahr "
    "UNION ALL SELECT Region, NULL, Jahr, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Region, Jahr "
    "UNION ALL SELECT NULL, NULL, Jahr, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Jahr "
    "UNION ALL SELECT Region, Gruppe, NULL, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Region, Gruppe "
    "UNION ALL SELECT Region, NULL, NULL, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf GROUP BY Region "
    "UNION ALL SELECT NULL, NULL, NULL, SUM(Umsatz), SUM(Menge), SUM(EK) FROM Verkauf";

void makeDatabase(const std::string& file, long rows) {
    if (fs::exists(file)) return;
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(
        db,
        "CREATE TABLE Verkauf (Region VARCHAR(30), Gruppe VARCHAR(30), Jahr INTEGER, Umsatz DOUBLE, Menge INTEGER, "
        "EK DOUBLE); BEGIN",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Verkauf VALUES (?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
    std::mt19937 rng(4711);
    for (long i = 0; i < rows; ++i) {
        std::string region = fmt::format("Region {:02}", rng() % 40);
        std::string gruppe = fmt::format("Warengruppe {:02}", rng() % 25);
        sqlite3_bind_text(st, 1, region.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, gruppe.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, 2015 + int(rng() % 10));
        sqlite3_bind_double(st, 4, double(rng() % 100000) / 100);
        sqlite3_bind_int(st, 5, int(rng() % 50));
        sqlite3_bind_double(st, 6, double(rng() % 80000) / 100);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double sqliteQuery(const std::string& file, const char* sql, int runs) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    double t = best(runs, [&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
        }
        sqlite3_finalize(st);
    });
    sqlite3_close(db);
    return t;
}

// DuckDB's C library from its npm package, fetched into the build tree once; none: empty.
std::string duckdbLibrary() {
    fs::path dir = fs::path(BENCH_DIR) / "duckdb";
    for (auto& p : {dir / "package" / "libduckdb.so", dir / "libduckdb.so"})
        if (fs::exists(p)) return p.string();
    if (std::getenv("VOQ_BENCH_NO_FETCH")) return {};
    fs::create_directories(dir);
    std::string cmd = "cd '" + dir.string() +
                      "' && timeout 120 npm pack @duckdb/node-bindings-linux-x64 --silent >pack.log 2>&1 && "
                      "tar xzf duckdb-node-bindings-linux-x64-*.tgz >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename() == "libduckdb.so") return e.path().string();
    return {};
}

struct DuckDb {
    using Open = int (*)(const char*, void**);
    using Connect = int (*)(void*, void**);
    using Query = int (*)(void*, const char*, void*);
    using Destroy = void (*)(void*);
    using Disconnect = void (*)(void**);
    using Close = void (*)(void**);
    Open open = nullptr;
    Connect connect = nullptr;
    Query query = nullptr;
    Destroy destroy = nullptr;
    Disconnect disconnect = nullptr;
    Close close = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::string file = fmt::format("{}/pivot_bench_{}.db", BENCH_DIR, rows);
    fmt::print("Pivot-Benchmark: {} Zeilen, 2 Zeilenfelder x 1 Spaltenfeld x 3 Werte, alle Teilergebnisse\n", rows);
    double make = seconds([&] { makeDatabase(file, rows); });
    fmt::print("Datenbank angelegt/gefunden: {:.2f} s\n", make);

    pivot::setEngineLibrary(NOVA_ENGINE_PATH);
    auto store = std::make_shared<pivot::ColumnStore>();
    pivot::ReadResult r;
    double load = seconds([&] {
        r = pivot::readThroughEngine(voq::test::sqliteConnectString(file) + ";StepAPI=1",
                                     "SELECT Region, Gruppe, Jahr, Umsatz, Menge, EK FROM Verkauf", *store);
    });
    if (!r.ok) {
        fmt::print("Laden fehlgeschlagen: {}\n", r.error);
        return 1;
    }
    long afterLoad = peakKb();
    // StepAPI: the SQLite driver hands rows as it steps instead of holding the whole result.
    fmt::print("Laden über die Datenbank-Engine (SQLite ODBC, StepAPI=1): {:.3f} s, {} Zeilen\n", load,
               store->rowCount());

    std::vector<pivot::FieldDef> fields(6);
    const char* names[] = {"Region", "Gruppe", "Jahr", "Umsatz", "Menge", "EK"};
    int orient[] = {pivot::RowArea,  pivot::RowArea,  pivot::ColumnArea,
                    pivot::DataArea, pivot::DataArea, pivot::DataArea};
    for (int i = 0; i < 6; ++i) {
        fields[size_t(i)].name = names[i];
        fields[size_t(i)].orientation = orient[i];
        fields[size_t(i)].position = i;
    }
    pivot::Pivot pv;
    pv.setData(store);
    std::shared_ptr<const pivot::PivotTable> table;
    double first = seconds([&] { table = pv.compute(fields); });
    double agg = best(5, [&] { table = pv.compute(fields); });
    fmt::print(
        "Aggregation mit Teilergebnissen: {:.3f} s (erster Lauf mit Sortieren der Elemente {:.3f} s), {} Zeilen x {} "
        "Spalten\n",
        agg, first, table->lineCount(), table->columnCount());

    long pivotPeak = peakKb();
    fmt::print("Speicher: nach dem Laden {:.0f} MB, Spitze mit der Aggregation {:.0f} MB (Ziel: unter 200 MB)\n",
               afterLoad / 1024.0, pivotPeak / 1024.0);

    double leaf = sqliteQuery(file, kLeafGroupBy, 3);
    double all = sqliteQuery(file, kAllGroupings, 1);
    fmt::print("SQLite GROUP BY (Blattebene): {:.3f} s  -> Pivot {:.1f}x schneller\n", leaf, leaf / agg);
    fmt::print("SQLite alle Gruppierungen (UNION ALL): {:.3f} s  -> Pivot {:.1f}x schneller\n", all, all / agg);

    double duckLeaf = 0;
    std::string lib = duckdbLibrary();
    void* h = lib.empty() ? nullptr : dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        fmt::print("DuckDB: nicht verfügbar\n");
    } else {
        DuckDb d;
        d.open = reinterpret_cast<DuckDb::Open>(dlsym(h, "duckdb_open"));
        d.connect = reinterpret_cast<DuckDb::Connect>(dlsym(h, "duckdb_connect"));
        d.query = reinterpret_cast<DuckDb::Query>(dlsym(h, "duckdb_query"));
        d.destroy = reinterpret_cast<DuckDb::Destroy>(dlsym(h, "duckdb_destroy_result"));
        d.disconnect = reinterpret_cast<DuckDb::Disconnect>(dlsym(h, "duckdb_disconnect"));
        d.close = reinterpret_cast<DuckDb::Close>(dlsym(h, "duckdb_close"));
        void *db = nullptr, *con = nullptr;
        alignas(16) unsigned char result[256] = {};
        if (d.open && d.connect && d.query && d.destroy && d.open(nullptr, &db) == 0 && d.connect(db, &con) == 0) {
            // The same rows, copied in from the SQLite file through DuckDB's own reader when it has
            // one; else generated alike in DuckDB.
            std::string create =
                "CREATE TABLE Verkauf AS SELECT 'Region ' || lpad(CAST(i % 40 AS VARCHAR), 2, '0') AS Region, "
                "'Warengruppe ' || lpad(CAST((i * 7) % 25 AS VARCHAR), 2, '0') AS Gruppe, 2015 + i % 10 AS Jahr, "
                "(i % 100000) / 100.0 AS Umsatz, i % 50 AS Menge, (i % 80000) / 100.0 AS EK FROM range(" +
                std::to_string(rows) + ") t(i)";
            d.query(con, create.c_str(), result);
            d.destroy(result);
            double duck = best(3, [&] {
                d.query(con, kLeafGroupBy, result);
                d.destroy(result);
            });
            double duckAll = best(3, [&] {
                d.query(con, kAllGroupings, result);
                d.destroy(result);
            });
            duckLeaf = duck;
            fmt::print(
                "DuckDB GROUP BY (Blattebene): {:.3f} s, alle Gruppierungen: {:.3f} s  -> Pivot {:.1f}x / {:.1f}x\n",
                duck, duckAll, duck / agg, duckAll / agg);
            d.disconnect(&con);
            d.close(&db);
        } else {
            fmt::print("DuckDB: Bibliothek {} nicht nutzbar\n", lib);
        }
    }
    std::fflush(stdout);
    bool met = true;
    bench::info("Pivot: Laden 1 Mio. Zeilen über die Datenbank-Engine", fmt::format("{:.2f} s", load));
    met &= bench::atMost("Pivot: Aggregation mit Teilergebnissen (ms)", "-", fmt::format("{:.0f} ms", agg * 1000),
                         agg * 1000, 250, "ms");
    met &= bench::atLeast("Pivot: Aggregation gegen SQLite GROUP BY", fmt::format("{:.3f} s", leaf),
                          fmt::format("{:.3f} s", agg), leaf / agg, 5);
    met &= bench::atMost("Pivot: Speicher (MB)", "-", fmt::format("{:.0f} MB", pivotPeak / 1024.0), pivotPeak / 1024.0,
                         200, "MB");
    if (duckLeaf > 0) bench::info("Pivot: DuckDB GROUP BY (Blattebene)", fmt::format("{:.3f} s", duckLeaf));
    return met ? 0 : 1;
}
