// The picture of commission rates: leading minus, point grouping, comma decimal, one place
// (1234.5 -> "1.234,5").
#pragma once

#include <string_view>

namespace rt {

inline constexpr std::string_view kCommissionPicture = "@n-8.`1";

}  // namespace rt
