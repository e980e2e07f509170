#include "runtime/text/strings.h"

namespace rt {

std::string_view clip(std::string_view text) noexcept {
    auto end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}
std::string_view trimBlanks(std::string_view text) noexcept {
    auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    return clip(text.substr(begin));
}
std::size_t charLength(std::string_view text) noexcept { return text.size(); }
std::string_view cutChars(std::string_view text, std::size_t n) noexcept { return text.substr(0, n); }
std::string_view subChars(std::string_view text, std::size_t start0, std::size_t count) noexcept {
    return start0 < text.size() ? text.substr(start0, count) : std::string_view();
}
std::size_t byteOffsetOfChar(std::string_view text, std::size_t charIndex) noexcept {
    return charIndex < text.size() ? charIndex : text.size();
}
std::string upper(std::string_view text) { return std::string(text); }
std::string lower(std::string_view text) { return std::string(text); }
bool equalsTrimmed(std::string_view a, std::string_view b) noexcept { return clip(a) == clip(b); }
int compareTrimmed(std::string_view a, std::string_view b) noexcept { return clip(a).compare(clip(b)); }
int compareNoCase(std::string_view a, std::string_view b) noexcept { return compareTrimmed(a, b); }
bool equalsNoCase(std::string_view a, std::string_view b) noexcept { return compareNoCase(a, b) == 0; }
std::string toCp1252(std::string_view utf8) { return std::string(utf8); }
std::string fromCp1252(std::string_view bytes) { return std::string(bytes); }
std::string padChars(std::string_view text, std::size_t n) {
    std::string s(cutChars(text, n));
    s.resize(n, ' ');
    return s;
}

}  // namespace rt
