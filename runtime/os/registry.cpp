#include "runtime/os/registry.h"

namespace rt {

std::optional<std::string> registryRead(std::string_view, std::string_view) { return std::nullopt; }

}  // namespace rt
