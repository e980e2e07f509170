// The fixtures themselves: both real engines answer through unixODBC.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace voq::test;

TEST(TestSupport, SqliteFileDatabaseAnswers) {
    TempDir dir;
    auto cs = sqliteConnectString(dir.file("t.db"));
    EXPECT_EQ(execSql(cs, "CREATE TABLE t (a INTEGER)"), "");
    EXPECT_EQ(execSql(cs, "INSERT INTO t VALUES (1)"), "");
    EXPECT_NE(execSql(cs, "SELECT * FROM missing"), "");
}

TEST(TestSupport, PostgresDatabaseHasSchemaDbo) {
    VOQ_PG_DATABASE(db);
    EXPECT_EQ(execSql(db.connectString(), "CREATE TABLE dbo.t (a INTEGER)"), "");
    EXPECT_EQ(execSql(db.connectString(), "SELECT a FROM t"), "");  // dbo is on the search path
}
