// Pivot benchmark: sales rows in a SQLite file, loaded through the data engine with the connect
// string the viewer uses, then three pivots with every subtotal, each computed first on fresh
// items (sorting them) and then again:
//   - rows Region x Gruppe, column Jahr, three sums;
//   - the same with Sum, StDev and Var of one amount;
//   - rows Region x Kunde (100,000 customers), columns Jahr x Monat, Sum and StDev (sparse).
// Against SQLite's GROUP BY and DuckDB's grouping sets over the same rows (copied from the same
// file), DuckDB on one thread and on all; and the memory while computing.
//
//   bench_pivot [rows]       (default 1000000)
//   bench_pivot --10m        10,000,000 rows, read straight from the file (the load is not timed)
#include "bench/bench_table.h"
#include "pivot/nova_source.h"
#include "pivot/pivot_engine.h"
#include "tests/support/test_support.h"

#include <dlfcn.h>
#include <fmt/format.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

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

// The process's peak resident memory since the last reset, in MB.
double peakMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

constexpr int kKunden = 100000;

void makeDatabase(const std::string& file, long rows) {
    if (fs::exists(file)) return;
    std::string tmp = file + ".tmp";
    fs::remove(tmp);
    sqlite3* db = nullptr;
    sqlite3_open(tmp.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; CREATE TABLE Verkauf (Region VARCHAR(30), "
                 "Gruppe VARCHAR(30), Kunde VARCHAR(30), Jahr INTEGER, Monat INTEGER, Umsatz DOUBLE, Menge INTEGER, "
                 "EK DOUBLE); BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Verkauf VALUES (?, ?, ?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
    std::mt19937 rng(4711);
    for (long i = 0; i < rows; ++i) {
        unsigned kunde = rng() % kKunden;
        std::string region = fmt::format("Region {:02}", kunde % 40);  // each customer in one region
        std::string gruppe = fmt::format("Warengruppe {:02}", rng() % 25);
        std::string name = fmt::format("Kunde {:06}", kunde);
        sqlite3_bind_text(st, 1, region.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, gruppe.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, 2015 + int(rng() % 10));
        sqlite3_bind_int(st, 5, 1 + int(rng() % 12));
        sqlite3_bind_double(st, 6, double(rng() % 100000) / 100);
        sqlite3_bind_int(st, 7, int(rng() % 50));
        sqlite3_bind_double(st, 8, double(rng() % 80000) / 100);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    fs::rename(tmp, file);
}

const char* kColumns = "Region, Gruppe, Kunde, Jahr, Monat, Umsatz, Menge, EK";
const bool kText[] = {true, true, true, false, false, false, false, false};

// The rows read straight from the file into a column store (the 10M run, where the load is
// not what is measured).
void readDirect(const std::string& file, pivot::ColumnStore& store) {
    store.clear();
    std::vector<size_t> cols;
    const char* names[] = {"Region", "Gruppe", "Kunde", "Jahr", "Monat", "Umsatz", "Menge", "EK"};
    for (int i = 0; i < 8; ++i) cols.push_back(store.addColumn(names[i], !kText[i]));
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT ") + kColumns + " FROM Verkauf").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < 8; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_NULL)
                store.appendNull(cols[size_t(i)]);
            else if (kText[i])
                store.appendText(cols[size_t(i)], reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            else
                store.appendNumber(cols[size_t(i)], sqlite3_column_double(st, i));
        }
        store.finishRow();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}

double sqliteQuery(const std::string& file, const std::string& sql, int runs) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    double t = best(runs, [&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
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

// The few members of DuckDB's C interface used here.
class DuckDb {
public:
    explicit DuckDb(const std::string& lib) {
        h_ = lib.empty() ? nullptr : dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h_) return;
        auto sym = [&](const char* n) { return dlsym(h_, n); };
        open_ = reinterpret_cast<int (*)(const char*, void**)>(sym("duckdb_open"));
        connect_ = reinterpret_cast<int (*)(void*, void**)>(sym("duckdb_connect"));
        query_ = reinterpret_cast<int (*)(void*, const char*, void*)>(sym("duckdb_query"));
        rowCount_ = reinterpret_cast<uint64_t (*)(void*)>(sym("duckdb_row_count"));
        destroy_ = reinterpret_cast<void (*)(void*)>(sym("duckdb_destroy_result"));
        appenderCreate_ =
            reinterpret_cast<int (*)(void*, const char*, const char*, void**)>(sym("duckdb_appender_create"));
        appendVarchar_ = reinterpret_cast<int (*)(void*, const char*)>(sym("duckdb_append_varchar"));
        appendDouble_ = reinterpret_cast<int (*)(void*, double)>(sym("duckdb_append_double"));
        appendNull_ = reinterpret_cast<int (*)(void*)>(sym("duckdb_append_null"));
        endRow_ = reinterpret_cast<int (*)(void*)>(sym("duckdb_appender_end_row"));
        appenderDestroy_ = reinterpret_cast<int (*)(void**)>(sym("duckdb_appender_destroy"));
        disconnect_ = reinterpret_cast<void (*)(void**)>(sym("duckdb_disconnect"));
        close_ = reinterpret_cast<void (*)(void**)>(sym("duckdb_close"));
        ok_ = open_ && connect_ && query_ && rowCount_ && destroy_ && appenderCreate_ && appendVarchar_ &&
              appendDouble_ && appendNull_ && endRow_ && appenderDestroy_ && open_(nullptr, &db_) == 0 &&
              connect_(db_, &con_) == 0;
    }
    ~DuckDb() {
        if (con_) disconnect_(&con_);
        if (db_) close_(&db_);
    }
    bool ok() const { return ok_; }
    // Runs a statement; the rows of its result, or -1 on failure.
    int64_t run(const std::string& sql) {
        alignas(16) unsigned char result[256] = {};
        int rc = query_(con_, sql.c_str(), result);
        int64_t n = rc == 0 ? int64_t(rowCount_(result)) : -1;
        destroy_(result);
        return n;
    }
    // The same rows as the SQLite file, read from it.
    bool copyFrom(const std::string& file) {
        if (run("CREATE TABLE Verkauf (Region VARCHAR, Gruppe VARCHAR, Kunde VARCHAR, Jahr INTEGER, Monat INTEGER, "
                "Umsatz DOUBLE, Menge INTEGER, EK DOUBLE)") < 0)
            return false;
        void* app = nullptr;
        if (appenderCreate_(con_, nullptr, "Verkauf", &app) != 0) return false;
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT ") + kColumns + " FROM Verkauf").c_str(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < 8; ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL)
                    appendNull_(app);
                else if (kText[i])
                    appendVarchar_(app, reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                else
                    appendDouble_(app, sqlite3_column_double(st, i));
            }
            endRow_(app);
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return appenderDestroy_(&app) == 0;
    }

private:
    void* h_ = nullptr;
    void *db_ = nullptr, *con_ = nullptr;
    bool ok_ = false;
    int (*open_)(const char*, void**) = nullptr;
    int (*connect_)(void*, void**) = nullptr;
    int (*query_)(void*, const char*, void*) = nullptr;
    uint64_t (*rowCount_)(void*) = nullptr;
    void (*destroy_)(void*) = nullptr;
    int (*appenderCreate_)(void*, const char*, const char*, void**) = nullptr;
    int (*appendVarchar_)(void*, const char*) = nullptr;
    int (*appendDouble_)(void*, double) = nullptr;
    int (*appendNull_)(void*) = nullptr;
    int (*endRow_)(void*) = nullptr;
    int (*appenderDestroy_)(void**) = nullptr;
    void (*disconnect_)(void**) = nullptr;
    void (*close_)(void**) = nullptr;
};

struct Measure {
    const char* column;
    int aggregate;
    const char* sql;  // the same aggregate in SQL
};

struct Shape {
    std::string name;
    std::vector<const char*> rows, cols;
    std::vector<Measure> data;

    std::vector<pivot::FieldDef> fields() const {
        std::vector<pivot::FieldDef> f;
        auto add = [&](const char* name, int orientation, int aggregate) {
            pivot::FieldDef d;
            d.name = name;
            d.orientation = orientation;
            d.position = int(f.size());
            d.aggregate = aggregate;
            f.push_back(d);
        };
        for (auto* r : rows) add(r, pivot::RowArea, 0);
        for (auto* c : cols) add(c, pivot::ColumnArea, 0);
        for (auto& m : data) add(m.column, pivot::DataArea, m.aggregate);
        return f;
    }
    std::string aggregates() const {
        std::string s;
        for (auto& m : data) s += std::string(s.empty() ? "" : ", ") + m.sql + "(" + m.column + ")";
        return s;
    }
    static std::string list(const std::vector<const char*>& v, size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += std::string(s.empty() ? "" : ", ") + v[i];
        return s;
    }
    // The leaf groups only.
    std::string leafSql() const {
        std::vector<const char*> all = rows;
        all.insert(all.end(), cols.begin(), cols.end());
        return "SELECT " + list(all, all.size()) + ", " + aggregates() + " FROM Verkauf GROUP BY " +
               list(all, all.size());
    }
    // Every group the pivot shows: each level of the rows with each level of the columns.
    std::string allSql() const {
        std::string sets;
        for (size_t r = 0; r <= rows.size(); ++r)
            for (size_t c = 0; c <= cols.size(); ++c) {
                std::string g = list(rows, r), h = list(cols, c);
                sets +=
                    std::string(sets.empty() ? "" : ", ") + "(" + g + (g.empty() || h.empty() ? "" : ", ") + h + ")";
            }
        std::vector<const char*> all = rows;
        all.insert(all.end(), cols.begin(), cols.end());
        return "SELECT " + list(all, all.size()) + ", " + aggregates() + " FROM Verkauf GROUP BY GROUPING SETS (" +
               sets + ")";
    }
};

}  // namespace

int main(int argc, char** argv) {
    bool big = argc > 1 && std::strcmp(argv[1], "--10m") == 0;
    long rows = big ? 10000000 : argc > 1 ? std::atol(argv[1]) : 1000000;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::string file = fmt::format("{}/pivot_bench_kunden_{}.db", BENCH_DIR, rows);
    std::string count = rows % 1000000 == 0 ? fmt::format("{} Mio.", rows / 1000000) : fmt::format("{}", rows);
    fmt::print("Pivot-Benchmark: {} Zeilen, {} Kerne\n", rows, cores);
    double make = seconds([&] { makeDatabase(file, rows); });
    fmt::print("Datenbank angelegt/gefunden: {:.2f} s\n", make);

    auto store = std::make_shared<pivot::ColumnStore>();
    double load = 0, loadPeak = 0;
    resetPeak();
    if (big) {
        load = seconds([&] { readDirect(file, *store); });
        fmt::print("Gelesen aus der Datei (ohne Datenbank-Engine): {:.2f} s, {} Zeilen\n", load, store->rowCount());
    } else {
        pivot::setEngineLibrary(NOVA_ENGINE_PATH);
        pivot::ReadResult r;
        // The viewer's connect string: driver and database, nothing else.
        std::string connect = voq::test::sqliteConnectString(file);
        load = seconds([&] {
            r = pivot::readThroughEngine(connect, std::string("SELECT ") + kColumns + " FROM Verkauf", *store);
        });
        if (!r.ok) {
            fmt::print("Laden fehlgeschlagen: {}\n", r.error);
            return 1;
        }
        fmt::print("Laden über die Datenbank-Engine ({}): {:.3f} s, {} Zeilen\n", connect, load, store->rowCount());
    }
    loadPeak = peakMb();

    std::vector<Shape> shapes = {
        {"Region x Gruppe / Jahr, 3 Summen",
         {"Region", "Gruppe"},
         {"Jahr"},
         {{"Umsatz", pivot::Sum, "SUM"}, {"Menge", pivot::Sum, "SUM"}, {"EK", pivot::Sum, "SUM"}}},
        {"Region x Gruppe / Jahr, Summe StAbw Varianz",
         {"Region", "Gruppe"},
         {"Jahr"},
         {{"Umsatz", pivot::Sum, "SUM"}, {"Umsatz", pivot::StDev, "STDDEV_SAMP"}, {"Umsatz", pivot::Var, "VAR_SAMP"}}},
        {"Region x Kunde / Jahr x Monat, Summe StAbw",
         {"Region", "Kunde"},
         {"Jahr", "Monat"},
         {{"Umsatz", pivot::Sum, "SUM"}, {"Umsatz", pivot::StDev, "STDDEV_SAMP"}}},
    };
    struct Figures {
        double first = 0, again = 0, peak = 0;
        size_t cells = 0;
    };
    std::vector<Figures> ours;
    for (const Shape& s : shapes) {
        Figures f;
        auto fields = s.fields();
        resetPeak();
        {
            pivot::Pivot pv;  // fresh: the items are sorted in the first run
            pv.setData(store);
            std::shared_ptr<const pivot::PivotTable> t;
            f.first = seconds([&] { t = pv.compute(fields); });
            f.again = best(3, [&] {
                t.reset();
                t = pv.compute(fields);
            });
            f.cells = t->cells_.size();
            fmt::print("Pivot {}: erster Lauf {:.3f} s, wieder {:.3f} s, {} x {} Zeilen x Spalten, {} Zellen\n", s.name,
                       f.first, f.again, t->lineCount(), t->columnCount(), f.cells);
        }
        f.peak = peakMb();
        fmt::print("  Speicher-Spitze beim Rechnen: {:.0f} MB (nach dem Laden {:.0f} MB)\n", f.peak, loadPeak);
        ours.push_back(f);
    }

    double leaf = 0;
    if (!big) {
        leaf = sqliteQuery(file, shapes[0].leafSql(), 1);
        fmt::print("SQLite GROUP BY (Blattebene, {}): {:.3f} s\n", shapes[0].name, leaf);
    }

    std::vector<double> duck1(shapes.size()), duckN(shapes.size()), duckLeaf(shapes.size());
    std::fflush(stdout);
    DuckDb duck(duckdbLibrary());
    if (!duck.ok()) {
        fmt::print("DuckDB: nicht verfügbar\n");
    } else {
        double copy = seconds([&] { duck.copyFrom(file); });
        fmt::print("DuckDB: Zeilen aus derselben Datei übernommen in {:.2f} s\n", copy);
        for (size_t i = 0; i < shapes.size(); ++i) {
            std::string all = shapes[i].allSql(), leafSql = shapes[i].leafSql();
            int64_t groups = 0;
            duck.run("SET threads TO 1");
            duck1[i] = best(big ? 1 : 2, [&] { groups = duck.run(all); });
            duck.run(fmt::format("SET threads TO {}", cores));
            duckN[i] = best(3, [&] { groups = duck.run(all); });
            duckLeaf[i] = best(3, [&] { duck.run(leafSql); });
            fmt::print(
                "DuckDB {}: alle Gruppen {:.3f} s mit 1 Thread, {:.3f} s mit {}; Blattebene {:.3f} s; {} Gruppen "
                "(Pivot {} Zellen)\n",
                shapes[i].name, duck1[i], duckN[i], cores, duckLeaf[i], groups, ours[i].cells);
        }
    }
    std::fflush(stdout);

    bool met = true;
    std::string tag = big ? " (10 Mio.)" : "";
    if (!big) {
        bench::info("Pivot: Laden " + count + " Zeilen über die Datenbank-Engine (Verbindung des Viewers)",
                    fmt::format("{:.2f} s, Spitze {:.0f} MB", load, loadPeak));
        met &= bench::atMost("Pivot: Aggregation mit Teilergebnissen, erster Lauf (ms)", "-",
                             fmt::format("{:.0f} ms", ours[0].first * 1000), ours[0].first * 1000, 250, "ms");
        met &= bench::atLeast("Pivot: Aggregation gegen SQLite GROUP BY", fmt::format("{:.3f} s", leaf),
                              fmt::format("{:.3f} s", ours[0].first), leaf / ours[0].first, 5);
        met &= bench::atMost("Pivot: Speicher beim Rechnen (MB)", "-", fmt::format("{:.0f} MB", ours[0].peak),
                             ours[0].peak, 200, "MB");
        met &= bench::atMost("Pivot: " + shapes[2].name + ", 1 Mio. Zeilen (ms)", "-",
                             fmt::format("{:.0f} ms", ours[2].first * 1000), ours[2].first * 1000, 1000, "ms");
        met &= bench::atMost("Pivot: " + shapes[2].name + ", Speicher (MB)", "-",
                             fmt::format("{:.0f} MB", ours[2].peak), ours[2].peak, 500, "MB");
    }
    for (size_t i = 0; i < shapes.size(); ++i) {
        if (duckN[i] <= 0) continue;
        met &= bench::atLeast("Pivot: " + shapes[i].name + tag + " gegen DuckDB, alle Kerne",
                              fmt::format("{:.3f} s", duckN[i]), fmt::format("{:.3f} s", ours[i].first),
                              duckN[i] / ours[i].first, 1);
        bench::info("Pivot: " + shapes[i].name + tag + ": DuckDB 1 Thread / Blattebene, Pivot wieder",
                    fmt::format("{:.3f} s / {:.3f} s, {:.3f} s", duck1[i], duckLeaf[i], ours[i].again));
    }
    return met ? 0 : 1;
}
