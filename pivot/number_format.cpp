#include "pivot/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

#include "runtime/text/picture.h"
#include "runtime/text/strings.h"

namespace pivot {

namespace {

struct ExcelSection {
    std::string prefix, suffix;
    int minInt = 1;
    int decimals = 0;
    bool grouping = false;
    bool percent = false;
    bool ok = false;
};

// One section: literal text, the numeric core of "#0,." and literal text again.
ExcelSection parseSection(std::string_view s) {
    ExcelSection out;
    std::string* lit = &out.prefix;
    bool inCore = false, coreDone = false, afterPoint = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos) return out;
            *lit += s.substr(i + 1, end - i - 1);
            i = end;
            if (inCore) {
                inCore = false;
                coreDone = true;
                lit = &out.suffix;
            }
            continue;
        }
        if (c == '\\' && i + 1 < s.size()) {
            *lit += s[++i];
            if (inCore) {
                inCore = false;
                coreDone = true;
                lit = &out.suffix;
            }
            continue;
        }
        bool coreChar = c == '#' || c == '0' || ((c == ',' || c == '.') && inCore);
        if (coreChar && !coreDone) {
            inCore = true;
            if (c == '.')
                afterPoint = true;
            else if (c == ',')
                out.grouping = true;
            else if (afterPoint)
                ++out.decimals;
            continue;
        }
        if (inCore) {
            inCore = false;
            coreDone = true;
            lit = &out.suffix;
        }
        if (c == '%') out.percent = true;
        if (c == '_' && i + 1 < s.size()) {
            ++i;
            *lit += ' ';
            continue;
        }
        *lit += c;
    }
    // Integer zeros: the zeros before the point.
    int zeros = 0;
    bool seen = false;
    for (char c : s) {
        if (c == '.') break;
        if (c == '0') {
            ++zeros;
            seen = true;
        }
    }
    out.minInt = seen ? zeros : 0;
    out.ok = coreDone || inCore;
    return out;
}

std::vector<std::string_view> sections(std::string_view f) {
    std::vector<std::string_view> out;
    bool q = false;
    size_t start = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '"') q = !q;
        if (!q && f[i] == ';') {
            out.push_back(f.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(f.substr(start));
    return out;
}

std::string germanDigits(double v, int decimals, bool grouping, int minInt) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(v));
    std::string s = buf;
    auto point = s.find('.');
    std::string ip = point == std::string::npos ? s : s.substr(0, point);
    std::string fp = point == std::string::npos ? "" : s.substr(point + 1);
    if (minInt == 0 && ip == "0") ip.clear();
    while (int(ip.size()) < minInt) ip.insert(ip.begin(), '0');
    if (grouping) {
        std::string g;
        int n = 0;
        for (size_t i = ip.size(); i-- > 0;) {
            if (n && n % 3 == 0) g.insert(g.begin(), '.');
            g.insert(g.begin(), ip[i]);
            ++n;
        }
        ip = g;
    }
    return fp.empty() ? ip : ip + "," + fp;
}

bool isGeneral(std::string_view f) {
    f = rt::trimBlanks(f);
    return f.empty() || rt::equalsNoCase(f, "Standard") || rt::equalsNoCase(f, "General");
}

}  // namespace

bool validNumberFormat(std::string_view format) {
    if (isGeneral(format)) return true;
    format = rt::trimBlanks(format);
    if (format.front() == '@') return rt::pictureKind(format) == rt::PictureKind::Number;
    auto secs = sections(format);
    if (secs.size() > 3) return false;
    for (auto s : secs)
        if (!parseSection(s).ok) return false;
    return true;
}

std::string formatNumber(double value, std::string_view format) {
    if (std::isnan(value)) return {};
    if (isGeneral(format)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", value);
        std::string s = buf;
        for (auto& c : s)
            if (c == '.') c = ',';
        return s;
    }
    format = rt::trimBlanks(format);
    if (format.front() == '@') return std::string(rt::trimBlanks(rt::formatPicture(value, format)));
    auto secs = sections(format);
    bool negSection = value < 0 && secs.size() >= 2;
    bool zeroSection = value == 0 && secs.size() >= 3;
    ExcelSection s = parseSection(zeroSection ? secs[2] : negSection ? secs[1] : secs[0]);
    if (!s.ok) return formatNumber(value, "");
    double v = s.percent ? value * 100 : value;
    std::string digits = germanDigits(v, s.decimals, s.grouping, s.minInt);
    // A value that rounds to zero shows no minus sign.
    bool showMinus = !negSection && v < 0 && digits.find_first_of("123456789") != std::string::npos;
    return s.prefix + (showMinus ? "-" : "") + digits + s.suffix;
}

std::string spreadsheetFormat(std::string_view format) {
    if (isGeneral(format)) return {};
    format = rt::trimBlanks(format);
    if (format.front() != '@') return std::string(format);
    // A runtime picture: its decimals and grouping, read off what it shows.
    std::string half(rt::trimBlanks(rt::formatPicture(0.5, format)));
    int decimals = 0;
    auto m = half.find_last_of(".,`");
    if (m != std::string::npos && half.find_first_not_of("0123456789", m + 1) == std::string::npos)
        decimals = int(half.size() - m - 1);
    std::string big = rt::formatPicture(1234567.0, format);
    size_t marks = 0;
    for (char c : big)
        if (c == '.' || c == ',' || c == '\'' || c == '`') ++marks;
    bool grouped = marks > (decimals > 0 ? 1u : 0u);
    std::string f = grouped ? "#,##0" : "0";
    if (decimals > 0) f += "." + std::string(size_t(decimals), '0');
    return f;
}

namespace {

// The first bytes of a key, the rest dropped.
struct Leading {
    unsigned char* out;
    size_t n = 0, room;
    Leading& operator+=(char c) {
        if (n < room) out[n] = static_cast<unsigned char>(c);
        ++n;
        return *this;
    }
    Leading& operator+=(const char* t) {
        while (*t) *this += *t++;
        return *this;
    }
};
struct Dropped {
    Dropped& operator+=(char) { return *this; }
    Dropped& operator+=(const char*) { return *this; }
};

// One character of the first level: folded to lower case and base letter.
template <typename P, typename S, typename T>
void foldChar(std::string_view s, size_t& i, P& primary, S& secondary, T& tertiary) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        char l = char(std::tolower(c));
        primary += l;
        secondary += '0';
        tertiary += std::isupper(c) ? '1' : '0';
        ++i;
        return;
    }
    // Two-byte Latin-1 letters.
    if ((c == 0xC3) && i + 1 < s.size()) {
        unsigned char d = static_cast<unsigned char>(s[i + 1]);
        unsigned cp = 0xC0 + (d & 0x3F);
        i += 2;
        if (cp == 0xDF) {  // ß
            primary += "ss";
            secondary += "11";
            tertiary += "00";
            return;
        }
        const char* base = nullptr;
        bool upperCase = cp < 0xE0;
        unsigned lc = upperCase ? cp + 0x20 : cp;
        switch (lc) {
        case 0xE4: base = "a"; break;  // ä
        case 0xF6: base = "o"; break;  // ö
        case 0xFC: base = "u"; break;  // ü
        case 0xE0:
        case 0xE1:
        case 0xE2:
        case 0xE3:
        case 0xE5: base = "a"; break;
        case 0xE7: base = "c"; break;
        case 0xE8:
        case 0xE9:
        case 0xEA:
        case 0xEB: base = "e"; break;
        case 0xEC:
        case 0xED:
        case 0xEE:
        case 0xEF: base = "i"; break;
        case 0xF1: base = "n"; break;
        case 0xF2:
        case 0xF3:
        case 0xF4:
        case 0xF5:
        case 0xF8: base = "o"; break;
        case 0xF9:
        case 0xFA:
        case 0xFB: base = "u"; break;
        case 0xFD:
        case 0xFF: base = "y"; break;
        default: break;
        }
        if (base) {
            primary += base;
            secondary += '1';
            tertiary += upperCase ? '1' : '0';
            return;
        }
        primary += char(0xC3);
        primary += char(d);
        secondary += "00";
        tertiary += "00";
        return;
    }
    primary += char(c);
    secondary += '0';
    tertiary += '0';
    ++i;
}

}  // namespace

GermanKey germanKey(std::string_view text) {
    GermanKey k;
    for (size_t i = 0; i < text.size();) foldChar(text, i, k.primary, k.secondary, k.tertiary);
    return k;
}

void germanLead(std::string_view text, unsigned char (&lead)[kGermanLead]) {
    std::fill(std::begin(lead), std::end(lead), 0);
    Leading primary{lead, 0, kGermanLead};
    Dropped rest;
    for (size_t i = 0; i < text.size() && primary.n < kGermanLead;) foldChar(text, i, primary, rest, rest);
}

int compareGerman(const GermanKey& ka, std::string_view a, const GermanKey& kb, std::string_view b) {
    if (int r = ka.primary.compare(kb.primary)) return r < 0 ? -1 : 1;
    if (int r = ka.secondary.compare(kb.secondary)) return r < 0 ? -1 : 1;
    if (int r = ka.tertiary.compare(kb.tertiary)) return r < 0 ? -1 : 1;
    int r = a.compare(b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int compareGerman(std::string_view a, std::string_view b) { return compareGerman(germanKey(a), a, germanKey(b), b); }

}  // namespace pivot
