#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/data/sql_store.h"
#include "tests/support/test_support.h"

namespace {

std::int64_t rowsOf(rt::Store& store) {
    rt::StoreError e;
    auto stmt = store.prepare("SELECT COUNT(*) FROM t", e);
    std::int64_t n = -1;
    if (stmt && stmt->execute(e) && stmt->fetch(e)) stmt->columnInt(0, n);
    return n;
}

// A change stays only when the guard commits it; leaving its scope undoes it otherwise.
TEST(TransactionGuard, KeepsOnlyWhatItCommits) {
    const struct {
        bool commit;
        std::int64_t rows;
    } cases[] = {{false, 0}, {true, 1}};
    for (const auto& c : cases) {
        voq::test::TempDir dir;
        rt::StoreError e;
        auto store = rt::openLocalStore(dir.file("guard.tps"), true, false, e);
        ASSERT_TRUE(store) << e.text;
        ASSERT_TRUE(store->exec("CREATE TABLE t (a INTEGER)", e)) << e.text;
        {
            rt::TransactionGuard tx;
            ASSERT_TRUE(tx.add(*store, e)) << e.text;
            ASSERT_TRUE(store->exec("INSERT INTO t VALUES (1)", e)) << e.text;
            if (c.commit) {
                EXPECT_TRUE(tx.commit(e)) << e.text;
            }
        }
        EXPECT_EQ(rowsOf(*store), c.rows) << "commit " << c.commit;
    }
}

}  // namespace
