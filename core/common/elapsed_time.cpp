#include "core/common/elapsed_time.h"

#include <fmt/core.h>

std::string ElapsedTimeText(std::int32_t from, std::int32_t to, std::uint8_t mode) {
    constexpr std::int64_t day = 8'640'000;
    std::int64_t diff = from > to ? day - from + to : std::int64_t(to) - from;
    std::int64_t seconds = diff / 100;
    std::int64_t hundredths = diff - 100 * seconds;
    std::int64_t minutes = seconds / 60;
    std::int64_t s = seconds - 60 * minutes;
    std::int64_t hours = minutes / 60;
    std::int64_t m = minutes - 60 * hours;
    std::string h = fmt::format("{:02d}", hours);
    std::string full = fmt::format("{}:{:02d}:{:02d}:{:02d}", h, m, s, hundredths);
    switch (mode) {
    case 0: return "Time Expired " + full;
    case 1: return full;
    case 2: return fmt::format("{}:{:02d}:{:02d}", h, m, s);
    case 3: return fmt::format("{}:{:02d}", h, m);
    case 4: return std::to_string(hours);
    case 5: return std::to_string(m);
    case 6: return std::to_string(s);
    case 7: return std::to_string(diff);
    case 8: return "Time" + full;
    default: return {};
    }
}
