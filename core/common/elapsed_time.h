#pragma once
// The date utility's one working operation: the time between two clock times as text.

#include <cstdint>
#include <string>

// from, to: clock times in hundredths of a second (since midnight, or the runtime's TIME values:
// only their difference counts). A span that crosses midnight (from > to) is counted through
// midnight. Modes: 0 "Time Expired hh:mm:ss:hh", 1 "hh:mm:ss:hh", 2 "hh:mm:ss", 3 "hh:mm",
// 4 hours, 5 minutes, 6 seconds, 7 the hundredths in all (plain numbers), 8 "Timehh:mm:ss:hh";
// any other mode an empty text.
std::string ElapsedTimeText(std::int32_t from, std::int32_t to, std::uint8_t mode);
