#pragma once
// What a caller asks of the window procedure it calls (ThreadRequest) and what the procedure
// answers (ThreadResponse).

#include <cstdint>

namespace rt {

namespace request {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Insert = 1;
inline constexpr std::uint8_t Change = 2;
inline constexpr std::uint8_t Delete = 3;
inline constexpr std::uint8_t Select = 4;
inline constexpr std::uint8_t Process = 5;
inline constexpr std::uint8_t View = 6;
}  // namespace request

namespace response {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Completed = 1;
inline constexpr std::uint8_t Cancelled = 2;
}  // namespace response

// A form's navigation request (ThreadVcrRequest): the form stored its record and asks its list
// to move on and call it again for the record there.
namespace vcr {
inline constexpr int None = 0;
inline constexpr int Top = 1;
inline constexpr int PageUp = 2;
inline constexpr int Up = 3;
inline constexpr int Down = 4;
inline constexpr int PageDown = 5;
inline constexpr int Bottom = 6;
}  // namespace vcr

}  // namespace rt
