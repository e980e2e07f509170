#pragma once
// There is no registry: every lookup answers "none", and callers do what they do when the
// value is absent.
#include <optional>
#include <string>
#include <string_view>

namespace rt {

std::optional<std::string> registryRead(std::string_view key, std::string_view valueName);

}  // namespace rt
