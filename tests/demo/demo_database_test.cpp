// The demo ERP database answers the program's reads through the SQLite ODBC driver.
#include "demo/demo_database.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

using namespace voq::test;

namespace {
std::string scalar(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}
}  // namespace

TEST(DemoDatabase, SameSeedGivesSameDataAndAllTables) {
    TempDir dir;
    demo::DemoOptions o;
    o.salesLines = 5000;
    ASSERT_EQ(demo::writeDemoDatabase(dir.file("a.db"), o), "");
    ASSERT_EQ(demo::writeDemoDatabase(dir.file("b.db"), o), "");
    const std::string sum = "SELECT round(sum(fUmsatz),2) || '/' || count(*) FROM vDemoUmsatz";
    EXPECT_EQ(scalar(dir.file("a.db"), sum), scalar(dir.file("b.db"), sum));
    EXPECT_EQ(scalar(dir.file("a.db"), "SELECT count(*) FROM tUmsatzPos"), "5000");
    EXPECT_EQ(scalar(dir.file("a.db"), "SELECT cVersion FROM tversion"), "1.0.0.0");
    for (const char* t : {"tPlattform", "tShop", "tWarengruppe", "tBenutzer"})
        EXPECT_NE(scalar(dir.file("a.db"), std::string("SELECT count(*) FROM ") + t), "0") << t;
    // Margins are positive on the whole: cost stays below revenue.
    EXPECT_EQ(scalar(dir.file("a.db"), "SELECT sum(fKosten) < sum(fUmsatz) FROM tUmsatzPos"), "1");
    // The ODBC driver reads the file as the program will.
    EXPECT_EQ(execSql(sqliteConnectString(dir.file("a.db")), "SELECT cName FROM tPlattform"), "");
}
