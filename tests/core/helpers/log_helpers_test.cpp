#include "core/helpers/log_helpers.h"
#include "runtime/os/files.h"
#include "runtime/os/trace.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(LogHelpers, AppendLogLineCreatesAndAppends) {
    voq::test::TempDir dir;
    const std::string f = dir.file("StructureUpdate.log");
    EXPECT_EQ(AppendLogLine(f, "eins   "), 0);
    EXPECT_EQ(AppendLogLine(f, "zwei"), 0);
    EXPECT_EQ(AppendLogLine(f, "\f"), 0);  // a form feed alone gets no line end
    EXPECT_EQ(*rt::readFile(f), "eins\r\nzwei\r\n\f");
    EXPECT_EQ(AppendLogLine(dir.file("missing/x.log"), "a"), 1);
}

TEST(LogHelpers, AppendLogLineFromManyThreadsKeepsLinesWhole) {
    voq::test::TempDir dir;
    const std::string f = dir.file("t.log");
    std::vector<std::thread> ts;
    for (int t = 0; t < 8; ++t)
        ts.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) AppendLogLine(f, std::string(50, char('a' + t)));
        });
    for (auto& t : ts) t.join();
    const std::string all = *rt::readFile(f);
    ASSERT_EQ(all.size(), 8u * 200u * 52u);
    for (std::size_t i = 0; i < all.size(); i += 52) {
        EXPECT_EQ(all.substr(i, 50), std::string(50, all[i]));
        EXPECT_EQ(all.substr(i + 50, 2), "\r\n");
    }
}

TEST(LogHelpers, DebugTraceOnlyWhenSwitchedOn) {
    std::vector<std::string> lines;
    rt::setTraceCapture([&](std::string_view l) { lines.emplace_back(l); });
    bool on = false;
    SetDebugTraceSwitch([&] { return on; });
    DebugTrace("still");
    on = true;
    DebugTrace("Start  ");
    DebugTrace(std::string(2000, 'x'));
    rt::setTraceCapture({});
    SetDebugTraceSwitch({});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[VOQKivorant]- Start");
    EXPECT_EQ(lines[1].size(), 1023u);
}
