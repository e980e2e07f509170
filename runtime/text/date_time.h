// DATE and TIME values as the record buffers hold them, and the clock.
//
// DATE: day number counted from 28 December 1800 (1 January 1801 is day 4); 0 = no date.
// TIME: hundredths of a second since midnight plus one (midnight is 1); 0 = no time.
#pragma once

#include <cstdint>

namespace rt {

using DateNumber = std::int32_t;
using TimeNumber = std::int32_t;

constexpr DateNumber kNoDate = 0;
constexpr TimeNumber kNoTime = 0;
constexpr int kFirstYear = 1801;  // dates before 1801 are refused, except 29-31 Dec 1800
constexpr int kLastYear = 9999;
constexpr TimeNumber kLastTime = 8640000;  // 23:59:59.99

struct Ymd {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const Ymd&, const Ymd&) = default;
};

struct Hms {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int hundredths = 0;
    friend bool operator==(const Hms&, const Hms&) = default;
};

bool isLeapYear(int year) noexcept;
int daysInMonth(int year, int month) noexcept;  // 0 for an invalid month

// Day number of a calendar date; 0 for an invalid date or one outside 29 Dec 1800 .. 31 Dec 9999.
DateNumber dateFromYmd(int year, int month, int day) noexcept;
// Calendar date of a day number; all zero for day numbers <= 0 or beyond 31 Dec 9999.
Ymd ymdFromDate(DateNumber date) noexcept;
bool isValidDate(DateNumber date) noexcept;
// 0 = Sunday .. 6 = Saturday (day % 7); -1 for no date.
int weekday(DateNumber date) noexcept;

// Time number of a clock time; 0 for an invalid one (hours 0..23, minutes and seconds 0..59,
// hundredths 0..99).
TimeNumber timeFromHms(int hours, int minutes, int seconds = 0, int hundredths = 0) noexcept;
// Clock time of a time number; all zero for 0 or out of range.
Hms hmsFromTime(TimeNumber time) noexcept;
bool isValidTime(TimeNumber time) noexcept;

// Local date and time now, or the test clock when one is set.
DateNumber today();
TimeNumber clockTime();

// Test clock (process-wide, thread-safe): today() and clockTime() answer these until cleared.
void setTestClock(DateNumber date, TimeNumber time);
void clearTestClock();

}  // namespace rt
