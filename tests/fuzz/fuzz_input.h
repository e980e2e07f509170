// Splits a fuzz input into the parts a target feeds its code: parts are separated by a 0x01
// byte; missing parts are empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::vector<std::string> parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
    std::vector<std::string> out(count);
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t cut = i + 1 < count ? rest.find('\x01') : std::string_view::npos;
        out[i] = std::string(rest.substr(0, cut));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return out;
}

// Stops the run with a finding when an invariant does not hold.
inline void require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace fuzz
