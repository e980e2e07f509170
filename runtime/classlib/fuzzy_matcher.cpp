#include "runtime/classlib/fuzzy_matcher.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/text/strings.h"

namespace rt {

namespace {

// Code points, so that a German letter counts once.
std::u32string codePoints(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        char32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(n);
    }
    return out;
}

int score(const std::u32string& q, const std::u32string& t) {
    if (q.empty() && t.empty()) return 100;
    if (q.empty() || t.empty()) return 0;
    if (q == t) return 100;
    std::vector<std::size_t> prev(t.size() + 1, 0), cur(t.size() + 1, 0);
    for (std::size_t i = 1; i <= q.size(); ++i) {
        for (std::size_t j = 1; j <= t.size(); ++j)
            cur[j] = q[i - 1] == t[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        std::swap(prev, cur);
    }
    std::size_t common = prev[t.size()];
    int s = static_cast<int>(common * 99 / std::max(q.size(), t.size()));
    if (t.find(q) != std::u32string::npos) s = std::max(s, 80);
    return std::min(s, 99);
}

}  // namespace

void FuzzyMatcher::init() {
    std::lock_guard lock(mutex_);
    ignoreCase_ = wordOnly_ = false;
}

void FuzzyMatcher::setOption(int option, bool on) {
    std::lock_guard lock(mutex_);
    if (option == IgnoreCase) ignoreCase_ = on;
    if (option == WordOnly) wordOnly_ = on;
}

bool FuzzyMatcher::option(int option) const {
    std::lock_guard lock(mutex_);
    return option == IgnoreCase ? ignoreCase_ : option == WordOnly ? wordOnly_ : false;
}

int FuzzyMatcher::match(std::string_view query, std::string_view text) const {
    bool ignoreCase, wordOnly;
    {
        std::lock_guard lock(mutex_);
        ignoreCase = ignoreCase_;
        wordOnly = wordOnly_;
    }
    std::string qs(trimBlanks(query)), ts(trimBlanks(text));
    if (ignoreCase) {
        qs = upper(qs);
        ts = upper(ts);
    }
    auto q = codePoints(qs), t = codePoints(ts);
    if (!wordOnly) return score(q, t);
    int best = 0;
    std::u32string word;
    auto flush = [&] {
        if (!word.empty()) best = std::max(best, score(q, word));
        word.clear();
    };
    for (char32_t c : t) {
        if (c == U' ' || c == U'\t' || c == U',' || c == U';' || c == U'.')
            flush();
        else
            word.push_back(c);
    }
    flush();
    return best;
}

}  // namespace rt
