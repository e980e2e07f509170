#include "tests/core/support/core_test_support.h"

#include "runtime/os/program_end.h"

namespace coretest {

namespace {

// Thrown by the test's program end, caught by haltCode.
struct Halted {
    int code;
};

}  // namespace

void HaltingTest::SetUp() {
    WorkingFolderTest::SetUp();
    rt::setProgramEndHandler([](int code) { throw Halted{code}; });
}

void HaltingTest::TearDown() {
    rt::setProgramEndHandler({});
    WorkingFolderTest::TearDown();
}

int haltCode(const std::function<void()>& body) {
    try {
        body();
    } catch (const Halted& h) {
        return h.code;
    }
    return -1;
}

bool openClientDatabase(const std::string& engine, const std::string& sqliteFile,
                        std::unique_ptr<voq::test::PgDatabase>& database, std::string& connect) {
    if (engine != "pg" && engine != "pg-fresh") {
        connect = voq::test::sqliteConnectString(sqliteFile);
        return true;
    }
    database = std::make_unique<voq::test::PgDatabase>(engine == "pg");
    connect = database->connectString();
    if (!connect.empty()) return true;
    if (voq::test::pgRequired()) {
        ADD_FAILURE() << "PostgreSQL test cluster not reachable";
    } else {
        // GTEST_SKIP returns from the function it stands in; the caller sees false.
        [] { GTEST_SKIP() << "PostgreSQL test cluster not running (scripts/pg-cluster start)"; }();
    }
    return false;
}

}  // namespace coretest
