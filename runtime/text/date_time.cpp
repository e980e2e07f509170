#include "runtime/text/date_time.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace rt {

namespace {

// Days since 1 January 1970 of a proleptic Gregorian date.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr Ymd civilFromDays(std::int64_t z) noexcept {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return Ymd{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr std::int64_t kBase = daysFromCivil(1800, 12, 28);
constexpr DateNumber kLastDate = static_cast<DateNumber>(daysFromCivil(kLastYear, 12, 31) - kBase);

static_assert(daysFromCivil(1801, 1, 1) - kBase == 4);

struct TestClock {
    std::mutex mutex;
    bool active = false;
    DateNumber date = 0;
    TimeNumber time = 0;
};

TestClock& testClock() {
    static TestClock clock;
    return clock;
}

bool readTestClock(DateNumber* date, TimeNumber* time) {
    auto& clock = testClock();
    std::lock_guard lock(clock.mutex);
    if (!clock.active) return false;
    if (date) *date = clock.date;
    if (time) *time = clock.time;
    return true;
}

std::tm localNow(int* hundredths) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    if (hundredths) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        *hundredths = static_cast<int>(ms / 10);
    }
    return tm;
}

}  // namespace

bool isLeapYear(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) noexcept {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

DateNumber dateFromYmd(int year, int month, int day) noexcept {
    if (year < 1800 || year > kLastYear || day < 1 || day > daysInMonth(year, month)) return kNoDate;
    const std::int64_t n = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kBase;
    return n >= 1 ? static_cast<DateNumber>(n) : kNoDate;
}

Ymd ymdFromDate(DateNumber date) noexcept {
    if (!isValidDate(date)) return {};
    return civilFromDays(kBase + date);
}

bool isValidDate(DateNumber date) noexcept { return date >= 1 && date <= kLastDate; }

int weekday(DateNumber date) noexcept { return isValidDate(date) ? date % 7 : -1; }

TimeNumber timeFromHms(int hours, int minutes, int seconds, int hundredths) noexcept {
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 || hundredths < 0 ||
        hundredths > 99)
        return kNoTime;
    return ((hours * 60 + minutes) * 60 + seconds) * 100 + hundredths + 1;
}

Hms hmsFromTime(TimeNumber time) noexcept {
    if (!isValidTime(time)) return {};
    int t = time - 1;
    Hms r;
    r.hundredths = t % 100;
    t /= 100;
    r.seconds = t % 60;
    t /= 60;
    r.minutes = t % 60;
    r.hours = t / 60;
    return r;
}

bool isValidTime(TimeNumber time) noexcept { return time >= 1 && time <= kLastTime; }

DateNumber today() {
    DateNumber d;
    if (readTestClock(&d, nullptr)) return d;
    const std::tm tm = localNow(nullptr);
    return dateFromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

TimeNumber clockTime() {
    TimeNumber t;
    if (readTestClock(nullptr, &t)) return t;
    int hundredths = 0;
    const std::tm tm = localNow(&hundredths);
    // A leap second shows as the last second of its minute.
    return timeFromHms(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, hundredths);
}

void setTestClock(DateNumber date, TimeNumber time) {
    auto& clock = testClock();
    std::lock_guard lock(clock.mutex);
    clock.active = true;
    clock.date = date;
    clock.time = time;
}

void clearTestClock() {
    auto& clock = testClock();
    std::lock_guard lock(clock.mutex);
    clock.active = false;
}

}  // namespace rt
