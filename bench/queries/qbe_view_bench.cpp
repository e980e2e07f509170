// The query-by-example view over 50,000 cube headers: the records read behind the progress window
// until the view shows them, as records a second (target: at least 50,000).
//
//   bench_qbe_view [records]     (default 50000)
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <string>

#include "bench/bench_table.h"
#include "core/dictionary/globals.h"
#include "demo/demo_database.h"
#include "queries/qbe/qbe_view.h"
#include "runtime/ui/headless_display.h"
#include "tests/core/support/core_test_support.h"
#include "tests/cubes/support/cubes_test_support.h"
#include "tests/support/test_support.h"

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 50000;
    voq::test::TempDir dir;
    std::filesystem::current_path(dir.path());
    const std::string db = dir.file("client.db");
    if (std::string e = demo::writeDemoDatabase(db, {.salesLines = 10}); !e.empty()) {
        fmt::print(stderr, "demo database: {}\n", e);
        return 1;
    }
    const std::string connect = voq::test::sqliteConnectString(db);
    GLO.ConnectString = connect;
    cubestest::createProgramTables(connect, false);
    std::string insert = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                         std::to_string(records) +
                         ") INSERT INTO VOQCUBEKOPF (ID, ID_CUBG, CubeName, Activ) SELECT i, i % 7, 'Cube ' || i, "
                         "i % 2 FROM n";
    if (std::string e = voq::test::execSql(connect, insert); !e.empty()) {
        fmt::print(stderr, "cube headers: {}\n", e);
        return 1;
    }
    cubestest::AllRights rights;
    rt::HeadlessDisplay display;
    rt::TestDriver user(display, std::chrono::minutes(5));
    using namespace qbecode;
    auto column = [](long number, const char* name, int code) {
        QBEColumn c;
        c.NUMBER = number;
        c.NAME = name;
        c.HEADER = name;
        c.type(1) = code;
        return c;
    };
    std::vector<QBEColumn> g{QBESetAllColumn(), column(1, "CUBK:ID", Sum), column(2, "CUBK:ID_CUBG", On),
                             column(3, "CUBK:CubeName", On)};
    std::string built;
    BuildQBEOrder(g, 1, true, built);
    const auto start = std::chrono::steady_clock::now();
    const int t = cubestest::startWithDictionary([g] {
        QBEView({"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"}, g, "", "", 1, 3);
    });
    auto w = user.waitWindow(" QBE View [VOQCubeKopf]");
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string shown = user.text(w, qbeview::Records);
    user.press(w, qbeview::Ok);
    user.waitThreadEnd(t);
    display.shutdown();
    const double rate = double(records) / s;
    fmt::print("Query-by-example view: {} records read and shown in {:.2f} s ({:.0f} a second); panel \"{}\"\n",
               records, s, rate, shown);
    std::fflush(stdout);
    const bool met = bench::atLeast(fmt::format("Query-by-example view, {} records (records a second)", records), "-",
                                    fmt::format("{:.0f} /s", rate), rate, 50000, "/s");
    return met && shown == std::to_string(records) ? 0 : 1;
}
