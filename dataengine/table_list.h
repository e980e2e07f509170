#pragma once
// The tables named in the FROM clause of a statement, for telling apart result columns of the
// same name when the driver reports no table names.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novaodbc {

// The table list, or nothing when the text has no FROM.
std::optional<std::vector<std::u16string>> tableList(std::u16string_view sql);

}  // namespace novaodbc
