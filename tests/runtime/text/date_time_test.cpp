#include "runtime/text/date_time.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace rt;

TEST(DateNumbers, KnownDays) {
    struct Case {
        int y, m, d;
        DateNumber day;
    };
    const Case cases[] = {
        {1800, 12, 29, 1},   {1800, 12, 31, 3},    {1801, 1, 1, 4},     {1801, 12, 31, 368},   {1900, 2, 28, 36221},
        {1900, 3, 1, 36222}, {2000, 2, 29, 72746}, {2000, 3, 1, 72747}, {2026, 12, 10, 82527},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dateFromYmd(c.y, c.m, c.d), c.day) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(ymdFromDate(c.day), (Ymd{c.y, c.m, c.d})) << c.day;
    }
}

TEST(DateNumbers, InvalidDatesGiveZero) {
    struct Case {
        int y, m, d;
    };
    const Case cases[] = {{1900, 2, 29}, {2023, 2, 29},  {2000, 2, 30}, {2024, 4, 31}, {2024, 13, 1}, {2024, 0, 1},
                          {2024, 1, 0},  {1800, 12, 28}, {1800, 1, 1},  {10000, 1, 1}, {2024, 1, 32}};
    for (const auto& c : cases) EXPECT_EQ(dateFromYmd(c.y, c.m, c.d), 0) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(ymdFromDate(0), Ymd{});
    EXPECT_EQ(ymdFromDate(-5), Ymd{});
    EXPECT_EQ(dateFromYmd(2000, 2, 29) - dateFromYmd(1999, 2, 28), 366);
}

TEST(DateNumbers, LeapYears) {
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_FALSE(isLeapYear(2100));
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
}

TEST(DateNumbers, RoundTripOverTheWholeRange) {
    DateNumber expected = dateFromYmd(1801, 1, 1);
    for (int y = 1801; y <= 9999; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= daysInMonth(y, m); ++d) {
                const DateNumber day = dateFromYmd(y, m, d);
                ASSERT_EQ(day, expected) << y << "-" << m << "-" << d;
                ASSERT_EQ(ymdFromDate(day), (Ymd{y, m, d}));
                ++expected;
            }
        }
    }
    EXPECT_EQ(ymdFromDate(expected), Ymd{});  // beyond 31 Dec 9999
}

TEST(DateNumbers, WeekdayIsDayModSeven) {
    EXPECT_EQ(weekday(dateFromYmd(1801, 1, 1)), 4);    // a Thursday
    EXPECT_EQ(weekday(dateFromYmd(2000, 1, 1)), 6);    // a Saturday
    EXPECT_EQ(weekday(dateFromYmd(2026, 12, 13)), 0);  // a Sunday
    EXPECT_EQ(weekday(dateFromYmd(2024, 2, 29)), 4);
    EXPECT_EQ(weekday(0), -1);
}

TEST(TimeNumbers, HundredthsPlusOne) {
    EXPECT_EQ(timeFromHms(0, 0, 0, 0), 1);
    EXPECT_EQ(timeFromHms(0, 0, 1, 0), 101);
    EXPECT_EQ(timeFromHms(12, 30, 15, 50), ((12 * 60 + 30) * 60 + 15) * 100 + 50 + 1);
    EXPECT_EQ(timeFromHms(23, 59, 59, 99), kLastTime);
    EXPECT_EQ(hmsFromTime(timeFromHms(13, 5, 7, 9)), (Hms{13, 5, 7, 9}));
    EXPECT_EQ(hmsFromTime(1), (Hms{0, 0, 0, 0}));
    for (const auto& bad : {Hms{24, 0, 0, 0}, Hms{0, 60, 0, 0}, Hms{0, 0, 60, 0}, Hms{0, 0, 0, 100}, Hms{-1, 0, 0, 0}})
        EXPECT_EQ(timeFromHms(bad.hours, bad.minutes, bad.seconds, bad.hundredths), 0);
    EXPECT_EQ(hmsFromTime(0), Hms{});
    EXPECT_EQ(hmsFromTime(kLastTime + 1), Hms{});
}

TEST(Clock, TestClockAnswersUntilCleared) {
    setTestClock(dateFromYmd(2024, 2, 29), timeFromHms(8, 15));
    EXPECT_EQ(today(), dateFromYmd(2024, 2, 29));
    EXPECT_EQ(clockTime(), timeFromHms(8, 15));
    clearTestClock();
    EXPECT_GT(today(), dateFromYmd(2024, 1, 1));
    EXPECT_TRUE(isValidTime(clockTime()));
}

TEST(Clock, TestClockIsThreadSafe) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                if (t == 0) setTestClock(100 + i % 3, 1);
                EXPECT_GE(today(), 1);
            }
        });
    }
    for (auto& th : threads) th.join();
    clearTestClock();
}

}  // namespace
