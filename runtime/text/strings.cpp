#include "runtime/text/strings.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace rt {

namespace {

constexpr bool isContinuation(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

// Code point at text[i]; `length` gets the bytes used. A byte that does not start a well-formed
// sequence counts as one character of its own, ordered after every code point.
constexpr std::uint32_t kStrayBase = 0x110000;

inline std::uint32_t decodeAt(std::string_view text, std::size_t i, std::size_t& length) noexcept {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        length = 1;
        return c;
    }
    std::size_t need;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        cp = c & 0x07;
    } else {
        length = 1;
        return kStrayBase + c;
    }
    if (i + need >= text.size()) {
        length = 1;
        return kStrayBase + c;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        const auto cc = static_cast<unsigned char>(text[i + k]);
        if (!isContinuation(cc)) {
            length = 1;
            return kStrayBase + c;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    // Over-long forms, surrogates and values past U+10FFFF are no characters: taken as one, they
    // would come back shorter or longer when written again, and byte positions would drift.
    constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        length = 1;
        return kStrayBase + c;
    }
    length = need + 1;
    return cp;
}

// Bytes of the character at text[i].
inline std::size_t charBytesAt(std::string_view text, std::size_t i) noexcept {
    if (static_cast<unsigned char>(text[i]) < 0x80) return 1;
    std::size_t len;
    decodeAt(text, i, len);
    return len;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Case mapping of the letters that the ANSI code page knows.
inline std::uint32_t upperCp(std::uint32_t cp) noexcept {
    if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
    switch (cp) {
    case 0xFF: return 0x178;   // ÿ
    case 0x161: return 0x160;  // š
    case 0x17E: return 0x17D;  // ž
    case 0x153: return 0x152;  // œ
    default: return cp;
    }
}

inline std::uint32_t lowerCp(std::uint32_t cp) noexcept {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 0x20 : cp;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
    switch (cp) {
    case 0x178: return 0xFF;
    case 0x160: return 0x161;
    case 0x17D: return 0x17E;
    case 0x152: return 0x153;
    default: return cp;
    }
}

template <std::uint32_t (*Map)(std::uint32_t) noexcept>
std::string mapCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(Map(c)));
            ++i;
            continue;
        }
        std::size_t len;
        const std::uint32_t cp = decodeAt(text, i, len);
        if (cp >= kStrayBase)
            out.push_back(text[i]);
        else
            appendUtf8(out, Map(cp));
        i += len;
    }
    return out;
}

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

int compareCodePoints(std::uint32_t a, std::uint32_t b) noexcept { return a < b ? -1 : (a > b ? 1 : 0); }

// The character at text[i] folded as upper() does; i moves past it.
inline std::uint32_t nextFolded(std::string_view text, std::size_t& i) noexcept {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        ++i;
        return upperCp(c);
    }
    std::size_t len;
    const std::uint32_t cp = upperCp(decodeAt(text, i, len));
    i += len;
    return cp;
}

}  // namespace

std::string_view clip(std::string_view text) noexcept {
    std::size_t end = text.size();
    // Fixed-length fields end in long runs of blanks: eight at a time first.
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
    while (end >= 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + end - 8, sizeof word);
        if (word != kEightBlanks) break;
        end -= 8;
    }
    while (end > 0 && text[end - 1] == ' ') --end;
    return text.substr(0, end);
}

std::string_view trimBlanks(std::string_view text) noexcept {
    std::size_t begin = 0;
    while (begin < text.size() && text[begin] == ' ') ++begin;
    return clip(text.substr(begin));
}

std::size_t charLength(std::string_view text) noexcept {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); i += charBytesAt(text, i)) ++n;
    return n;
}

std::size_t byteOffsetOfChar(std::string_view text, std::size_t charIndex) noexcept {
    std::size_t i = 0;
    for (; charIndex > 0 && i < text.size(); --charIndex) i += charBytesAt(text, i);
    return i;
}

std::string_view cutChars(std::string_view text, std::size_t n) noexcept {
    if (n >= text.size()) return text;  // never more characters than bytes
    return text.substr(0, byteOffsetOfChar(text, n));
}

std::string_view subChars(std::string_view text, std::size_t start0, std::size_t count) noexcept {
    const std::size_t begin = byteOffsetOfChar(text, start0);
    return cutChars(text.substr(begin), count);
}

std::string upper(std::string_view text) { return mapCase<upperCp>(text); }
std::string lower(std::string_view text) { return mapCase<lowerCp>(text); }

bool equalsTrimmed(std::string_view a, std::string_view b) noexcept { return clip(a) == clip(b); }

int compareTrimmed(std::string_view a, std::string_view b) noexcept {
    a = clip(a);
    b = clip(b);
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    // The shorter one stands for blanks; the longer one goes on with a non-blank.
    if (a.size() == b.size()) return 0;
    if (a.size() > b.size()) return static_cast<unsigned char>(a[n]) < ' ' ? -1 : 1;
    return static_cast<unsigned char>(b[n]) < ' ' ? 1 : -1;
}

int compareNoCase(std::string_view a, std::string_view b) noexcept {
    a = clip(a);
    b = clip(b);
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t pa = nextFolded(a, i);
        const std::uint32_t pb = nextFolded(b, j);
        if (pa != pb) return compareCodePoints(pa, pb);
    }
    // The shorter text counts as padded with blanks: the rest of the longer one decides at its
    // first character that is not a blank ("A B" after "A", not equal to it).
    while (i < a.size())
        if (const std::uint32_t pa = nextFolded(a, i); pa != ' ') return compareCodePoints(pa, ' ');
    while (j < b.size())
        if (const std::uint32_t pb = nextFolded(b, j); pb != ' ') return compareCodePoints(' ', pb);
    return 0;
}

bool equalsNoCase(std::string_view a, std::string_view b) noexcept { return compareNoCase(a, b) == 0; }

std::string toCp1252(std::string_view utf8) {
    std::size_t lost = 0;
    return toCp1252(utf8, lost);
}

std::string toCp1252(std::string_view utf8, std::size_t& lost) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t len;
        const std::uint32_t cp = decodeAt(utf8, i, len);
        i += len;
        if (cp >= 0xA0 && cp <= 0xFF) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char mapped = '?';
        for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] != 0 && kCp1252High[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        if (mapped == '?') ++lost;
        out.push_back(mapped);
    }
    return out;
}

bool isValidUtf8(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        if (decodeAt(text, i, len) >= kStrayBase) return false;
        i += len;
    }
    return true;
}

std::string textFromFile(std::string_view bytes) { return isValidUtf8(bytes) ? std::string(bytes) : fromCp1252(bytes); }

std::string fromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else if (c < 0xA0) {
            const std::uint16_t cp = kCp1252High[c - 0x80];
            if (cp == 0)
                out.push_back('?');
            else
                appendUtf8(out, cp);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string padChars(std::string_view text, std::size_t n) {
    const std::string_view cut = cutChars(text, n);
    const std::size_t have = charLength(cut);
    std::string out;
    out.reserve(cut.size() + (n - have));
    out.append(cut);
    out.append(n - have, ' ');
    return out;
}

namespace {

// A number as the lists show it: a sign, digits and the separators "." and ",".
bool isShownNumber(std::string_view v) noexcept {
    std::size_t i = v.empty() || (v[0] != '-' && v[0] != '+') ? 0 : 1;
    bool digit = false;
    for (; i < v.size(); ++i) {
        if (v[i] >= '0' && v[i] <= '9')
            digit = true;
        else if (v[i] != '.' && v[i] != ',')
            return false;
    }
    return digit;
}

}  // namespace

bool needsFormulaGuard(std::string_view value) noexcept {
    return !value.empty() && (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@') &&
           !isShownNumber(value);
}

std::string formulaGuarded(std::string_view value) {
    return needsFormulaGuard(value) ? "'" + std::string(value) : std::string(value);
}

}  // namespace rt
