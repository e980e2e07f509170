#pragma once
// Shared pieces of the window tests: a headless display per test and an event log.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"

namespace uitest {

using namespace std::chrono_literals;

class Log {
public:
    void add(std::string line) {
        std::lock_guard lock(m_);
        lines_.push_back(std::move(line));
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(m_);
        return lines_;
    }
    std::string last() const {
        std::lock_guard lock(m_);
        return lines_.empty() ? std::string() : lines_.back();
    }
    void clear() {
        std::lock_guard lock(m_);
        lines_.clear();
    }

private:
    mutable std::mutex m_;
    std::vector<std::string> lines_;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rt::waitAllThreads(5s)); }
    void TearDown() override {
        display.shutdown();
        EXPECT_EQ(rt::runningThreadCount(), 0);
    }

    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 5s};
};

inline rt::Event userEvent(int n) { return static_cast<rt::Event>(static_cast<int>(rt::Event::User) + n); }

}  // namespace uitest
