// Set-up shared by the dictionary's store tests: a working folder of its own, the client
// database on the SQLite ODBC driver or on PostgreSQL, and the calling thread's dictionary.
#pragma once

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/thread/thread_state.h"
#include "tests/core/support/core_test_support.h"
#include "tests/support/test_support.h"

namespace dicttest {

using Rows = std::vector<std::vector<std::string>>;

// Every row of a query as texts ("<null>" for NULL); a failure fails the test.
inline Rows query(const std::string& connect, const std::string& sql) {
    Rows rows;
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                       SQL_DRIVER_NOPROMPT))) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        if (SQL_SUCCEEDED(SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
            SQLSMALLINT cols = 0;
            SQLNumResultCols(st, &cols);
            while (SQL_SUCCEEDED(SQLFetch(st))) {
                std::vector<std::string> row;
                for (SQLSMALLINT c = 1; c <= cols; ++c) {
                    char buf[4096];
                    SQLLEN len = 0;
                    SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_CHAR, buf, sizeof buf, &len);
                    row.push_back(len == SQL_NULL_DATA ? "<null>" : std::string(buf));
                }
                rows.push_back(std::move(row));
            }
        } else {
            ADD_FAILURE() << "query failed: " << sql;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
    } else {
        ADD_FAILURE() << "cannot connect: " << connect;
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
}

// A working folder of its own (the local table files lie there) and a blank program state.
class WorkingFolder : public coretest::WorkingFolderTest {
protected:
    void SetUp() override {
        WorkingFolderTest::SetUp();
        rt::clearError();
    }
    void TearDown() override {
        KillDictionary();
        WorkingFolderTest::TearDown();
    }
};

// The client database on one of the two engines.
class ServerTables : public WorkingFolder, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        WorkingFolder::SetUp();
        if (!coretest::openClientDatabase(GetParam(), file("client.db"), pg_, connect_)) return;
        GLO.ConnectString = connect_;
    }
    bool pg() const { return GetParam() == "pg"; }
    // The server's name of a table of schema dbo, as a fixture statement writes it.
    std::string table(const std::string& name) const { return coretest::serverTable(pg(), name); }
    std::string byteType() const { return pg() ? "SMALLINT" : "TINYINT"; }
    std::string dateTimeType() const { return pg() ? "TIMESTAMP" : "DATETIME"; }
    void exec(const std::string& sql) const {
        std::string error = voq::test::execSql(connect_, sql);
        ASSERT_EQ(error, "") << sql;
    }
    Rows rows(const std::string& sql) const { return query(connect_, sql); }
    void createCubeGroups() const {
        exec("CREATE TABLE " + table("VOQCUBEGRUPPE") +
             " (ID INT NOT NULL PRIMARY KEY, GRUPPENNAME VARCHAR(30), BESCHREIBUNG VARCHAR(100), ACTIV " + byteType() +
             ")");
    }

    std::unique_ptr<voq::test::PgDatabase> pg_;
    std::string connect_;
};

inline std::string engineName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace dicttest
