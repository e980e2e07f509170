#pragma once
// The class library's text matcher: how well a typed text matches another, 0 (nothing in
// common) to 100 (equal). Option 1: ignore case (German letters folded). Option 2: match the
// query against each word of the text rather than the whole text.

#include <mutex>
#include <string_view>

namespace rt {

class FuzzyMatcher {
public:
    static constexpr int IgnoreCase = 1;
    static constexpr int WordOnly = 2;

    void init();  // both options off
    void kill() {}
    void setOption(int option, bool on);
    bool option(int option) const;

    // Characters of the query found in the text in the same order, against the longer of the
    // two lengths; a text that contains the query whole scores at least 80.
    int match(std::string_view query, std::string_view text) const;

private:
    mutable std::mutex mutex_;
    bool ignoreCase_ = false;
    bool wordOnly_ = false;
};

}  // namespace rt
