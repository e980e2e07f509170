#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/os/trace.h"

namespace {

TEST(Trace, CaptureTakesLinesFromAllThreadsWhole) {
    std::mutex m;
    std::vector<std::string> lines;
    rt::setTraceCapture([&](std::string_view line) {
        std::lock_guard lock(m);
        lines.emplace_back(line);
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                rt::trace("[VOQKivorant]- thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    }
    for (auto& th : threads) th.join();
    rt::setTraceCapture({});

    ASSERT_EQ(lines.size(), 8u * 200u);
    std::vector<int> next(8, 0);
    for (const auto& l : lines) {
        // Each thread's lines arrive whole and in its own order.
        const auto t = std::stoi(l.substr(l.find("thread ") + 7));
        EXPECT_EQ(l, "[VOQKivorant]- thread " + std::to_string(t) + " line " + std::to_string(next[t]));
        ++next[t];
    }
}

TEST(Trace, CaptureMayTraceItself) {
    std::vector<std::string> lines;
    rt::setTraceCapture([&](std::string_view line) {
        lines.emplace_back(line);
        if (line == "outer") rt::trace("inner");
    });
    rt::trace("outer");
    rt::setTraceCapture({});
    EXPECT_EQ(lines, (std::vector<std::string>{"outer", "inner"}));
}

TEST(Trace, WithoutCaptureLinesGoToStandardError) {
    rt::setTraceCapture({});
    ::testing::internal::CaptureStderr();
    rt::trace("first line");
    rt::trace("");
    rt::trace("[KRU] third");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "first line\n\n[KRU] third\n");
}

}  // namespace
