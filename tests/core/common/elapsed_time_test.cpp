#include <gtest/gtest.h>

#include "core/common/elapsed_time.h"

namespace {
// Hundredths since midnight.
constexpr std::int32_t at(int h, int m, int s, int hs = 0) { return ((h * 60 + m) * 60 + s) * 100 + hs; }
}  // namespace

TEST(ElapsedTimeText, EveryModeOfOneSpan) {
    const std::int32_t from = at(8, 0, 0), to = at(9, 2, 3, 4);  // 1 h 2 min 3.04 s
    struct Case {
        int mode;
        const char* text;
    } cases[] = {
        {0, "Time Expired 01:02:03:04"},
        {1, "01:02:03:04"},
        {2, "01:02:03"},
        {3, "01:02"},
        {4, "1"},
        {5, "2"},
        {6, "3"},
        {7, "372304"},
        {8, "Time01:02:03:04"},
        {9, ""},
        {255, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ElapsedTimeText(from, to, static_cast<std::uint8_t>(c.mode)), c.text) << c.mode;
}

TEST(ElapsedTimeText, MidnightEqualTimesAndLongSpans) {
    EXPECT_EQ(ElapsedTimeText(at(23, 59, 59), at(0, 0, 1, 50), 1), "00:00:02:50");
    EXPECT_EQ(ElapsedTimeText(at(23, 59, 59), at(0, 0, 1, 50), 7), "250");
    EXPECT_EQ(ElapsedTimeText(at(12, 0, 0), at(12, 0, 0), 1), "00:00:00:00");
    // The runtime's TIME values (plus one) give the same spans.
    EXPECT_EQ(ElapsedTimeText(at(23, 59, 59) + 1, at(0, 0, 1, 50) + 1, 1), "00:00:02:50");
    EXPECT_EQ(ElapsedTimeText(0, at(23, 59, 59, 99), 2), "23:59:59");
    EXPECT_EQ(ElapsedTimeText(at(0, 0, 1), at(0, 0, 0), 1), "23:59:59:00");
}
