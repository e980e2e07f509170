// Set-up shared by the core tests: a working folder of the test's own with blank globals, the
// program end caught on the program thread, and the client database on either engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/dictionary/globals.h"
#include "tests/support/test_support.h"

namespace coretest {

// A working folder of its own (local table, settings and log files lie there) and blank
// globals; the previous working folder comes back at TearDown. Defined here in full, so fixture
// headers of other test programs can build on it with the core libraries alone.
class WorkingFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        resetGlobals();
    }
    void TearDown() override { std::filesystem::current_path(previous_); }
    std::string file(const std::string& name) const { return dir_.file(name); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_.file(name)); }

    voq::test::TempDir dir_;
    std::filesystem::path previous_;
};

// A working folder as above where ending the program unwinds the calling thread instead of
// ending the test process; run the program's code through haltCode.
class HaltingTest : public WorkingFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Runs `body`; the exit code it ended the program with, or -1 when it returned.
int haltCode(const std::function<void()>& body);

// Opens the client database for an engine parameter: "pg" a fresh PostgreSQL database (kept in
// `database`), otherwise the SQLite file `sqliteFile`; sets `connect`. False when the test cannot
// go on: the cluster is not reachable (the test is skipped, or fails where it is required).
bool openClientDatabase(const std::string& engine, const std::string& sqliteFile,
                        std::unique_ptr<voq::test::PgDatabase>& database, std::string& connect);

// The server's name of a table of schema dbo, as a fixture statement writes it.
inline std::string serverTable(bool pg, const std::string& name) { return pg ? "dbo." + name : name; }

}  // namespace coretest
