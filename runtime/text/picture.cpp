#include "runtime/text/picture.h"

#include "runtime/text/strings.h"

#include <fmt/format.h>

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace rt {

namespace {

// ---- Picture parsing -------------------------------------------------------------------------

struct NumberPicture {
    int width = 0;        // 0: no limit
    bool parens = false;  // negative values in ( )
    bool trailingMinus = false;
    char fill = 0;           // 0 none, '0', '*', '_'
    char grouping = 0;       // 0 none, else the group separator
    char decimalMark = '.';  // 0 for an implied point ("v")
    int places = 0;
    bool blankZero = false;
};

struct ParsedPicture {
    PictureKind kind = PictureKind::Invalid;
    int width = 0;   // text width (0 no limit)
    int number = 0;  // date / time picture number
    bool blankZero = false;
    NumberPicture num;
    std::string_view pattern;  // @p
};

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr char lowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

int readInt(std::string_view s, std::size_t& i) noexcept {
    int v = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (v < 100000) v = v * 10 + (s[i] - '0');
        ++i;
    }
    return v;
}

NumberPicture parseNumberPicture(std::string_view s) {
    NumberPicture p;
    std::size_t i = 0;
    bool leadingSignSeen = false;
    // Leading sign and fill.
    while (i < s.size()) {
        const char c = s[i];
        if ((c == '-' || c == '(') && !leadingSignSeen) {
            p.parens = c == '(';
            leadingSignSeen = true;
            ++i;
        } else if ((c == '0' || c == '*' || c == '_') && p.fill == 0 && i + 1 < s.size() && isDigit(s[i + 1])) {
            p.fill = c;
            ++i;
        } else {
            break;
        }
    }
    p.width = readInt(s, i);
    std::string_view marks;
    {
        const std::size_t start = i;
        while (i < s.size() &&
               (s[i] == '.' || s[i] == ',' || s[i] == '`' || s[i] == '\'' || s[i] == 'v' || s[i] == 'V' || s[i] == '_'))
            ++i;
        marks = s.substr(start, i - start);
    }
    const bool hasPlaces = i < s.size() && isDigit(s[i]);
    p.places = std::min(readInt(s, i), DecimalValue::kMaxScale);
    auto markOf = [](char c) -> char {
        switch (c) {
        case '`':
        case ',': return ',';
        case 'v':
        case 'V': return 0;
        default: return '.';
        }
    };
    auto groupOf = [](char c) -> char { return c == '_' ? ' ' : c; };
    bool explicitGrouping = false;
    if (marks.size() == 1) {
        const char c = marks[0];
        if (hasPlaces) {
            if (c == '_' || c == '\'') {
                p.grouping = groupOf(c);
                explicitGrouping = true;
            } else {
                p.decimalMark = markOf(c);
            }
        } else if (c == '`' || c == 'v' || c == 'V') {
            p.decimalMark = markOf(c);
        } else {
            p.grouping = groupOf(c);
            explicitGrouping = true;
        }
    } else if (marks.size() >= 2) {
        p.grouping = groupOf(marks[0]);
        explicitGrouping = true;
        p.decimalMark = markOf(marks[1]);
    }
    if (explicitGrouping && p.grouping == '.' && (marks.size() == 1 || p.decimalMark == '.')) p.decimalMark = ',';
    if (explicitGrouping && p.grouping == ',' && p.decimalMark == ',') p.decimalMark = '.';
    if (!explicitGrouping && p.fill == 0) p.grouping = p.decimalMark == ',' ? '.' : ',';
    // Trailing sign, blank-when-zero and whatever else the picture carries.
    for (; i < s.size(); ++i) {
        const char c = lowerAscii(s[i]);
        if (c == '-') {
            if (!p.parens) p.trailingMinus = true;
        } else if (c == 'b') {
            p.blankZero = true;
        }
    }
    return p;
}

ParsedPicture parsePicture(std::string_view picture) {
    ParsedPicture r;
    std::string_view s = trimBlanks(picture);
    if (!s.empty() && s.front() == '@') s.remove_prefix(1);
    if (s.empty()) return r;
    const char kind = lowerAscii(s.front());
    s.remove_prefix(1);
    if (kind == 'p') {
        // "@p<pattern>p", the closing letter optional.
        if (!s.empty() && lowerAscii(s.back()) == 'p') s.remove_suffix(1);
        r.kind = PictureKind::Pattern;
        r.pattern = s;
        return r;
    }
    if (!s.empty() && s.back() == '@') s.remove_suffix(1);
    std::size_t i = 0;
    switch (kind) {
    case 's':
        r.kind = PictureKind::Text;
        r.width = readInt(s, i);
        return r;
    case 'n':
        r.kind = PictureKind::Number;
        r.num = parseNumberPicture(s);
        r.width = r.num.width;
        return r;
    case 'd':
    case 't':
        r.kind = kind == 'd' ? PictureKind::Date : PictureKind::Time;
        r.number = readInt(s, i);
        for (; i < s.size(); ++i)
            if (lowerAscii(s[i]) == 'b') r.blankZero = true;
        return r;
    default: return r;
    }
}

// ---- System formats --------------------------------------------------------------------------

struct SystemFormats {
    std::string shortDate = "dd.MM.yyyy";
    std::string longDate = "dddd, d. MMMM yyyy";
    std::string shortTime = "HH:mm";
    std::string longTime = "HH:mm:ss";
};

// Readers take a snapshot, so a change never tears a format that is being used.
struct FormatsHolder {
    std::mutex mutex;
    std::shared_ptr<const SystemFormats> current = std::make_shared<const SystemFormats>();
};

FormatsHolder& formatsHolder() {
    static FormatsHolder holder;  // built on first use: safe from other static initialisers
    return holder;
}

std::shared_ptr<const SystemFormats> formats() {
    auto& h = formatsHolder();
    std::lock_guard lock(h.mutex);
    return h.current;
}

template <class Change>
void changeFormats(Change change) {
    auto& h = formatsHolder();
    std::lock_guard lock(h.mutex);
    auto next = std::make_shared<SystemFormats>(*h.current);
    change(*next);
    h.current = std::move(next);
}

constexpr std::array<std::string_view, 12> kMonthNames = {"Januar",    "Februar", "März",     "April",
                                                          "Mai",       "Juni",    "Juli",     "August",
                                                          "September", "Oktober", "November", "Dezember"};
constexpr std::array<std::string_view, 12> kMonthShort = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                                          "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
constexpr std::array<std::string_view, 7> kDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                                       "Donnerstag", "Freitag", "Samstag"};
constexpr std::array<std::string_view, 7> kDayShort = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

std::string datePatternFor(const ParsedPicture& p) {
    switch (p.number) {
    case 1: return "MM/dd/yy";
    case 2: return "MM/dd/yyyy";
    case 6: return "dd.MM.yy";
    case 18: return formats()->longDate;
    default: return formats()->shortDate;
    }
}

std::string timePatternFor(const ParsedPicture& p) {
    switch (p.number) {
    case 1: return "HH:mm";
    case 3: return "hh:mmtt";
    case 4: return "HH:mm:ss";
    case 8: return formats()->longTime;
    default: return formats()->shortTime;
    }
}

// Runs of one pattern letter; quoted text is literal.
template <class OnField, class OnLiteral>
void walkPattern(std::string_view pattern, std::string_view letters, OnField onField, OnLiteral onLiteral) {
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            const std::size_t close = pattern.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            onLiteral(pattern.substr(i + 1, end - i - 1));
            i = end == pattern.size() ? end : end + 1;
            continue;
        }
        if (letters.find(c) != std::string_view::npos) {
            std::size_t j = i;
            while (j < pattern.size() && pattern[j] == c) ++j;
            onField(c, static_cast<int>(j - i));
            i = j;
            continue;
        }
        std::size_t j = i;
        while (j < pattern.size() && pattern[j] != '\'' && letters.find(pattern[j]) == std::string_view::npos) ++j;
        onLiteral(pattern.substr(i, j - i));
        i = j;
    }
}

constexpr std::string_view kDateLetters = "dDMmyY";
constexpr std::string_view kTimeLetters = "HhmMst";

// ---- Numbers ---------------------------------------------------------------------------------

std::string overflowMarks(int width) { return std::string(static_cast<std::size_t>(width > 0 ? width : 1), '#'); }

std::string formatNumber(const DecimalValue& value, const NumberPicture& p) {
    auto r = value.rounded(p.places);
    if (!r) return overflowMarks(p.width);
    if (r->isZero() && p.blankZero) return {};
    std::string digits = r->toString();
    const bool negative = r->isNegative();
    if (negative) digits.erase(0, 1);
    std::string whole = digits, fraction;
    if (const auto dot = digits.find('.'); dot != std::string::npos) {
        whole = digits.substr(0, dot);
        fraction = digits.substr(dot + 1);
    }
    std::string body;
    if (p.grouping != 0 && whole.size() > 3) {
        const std::size_t lead = whole.size() % 3 == 0 ? 3 : whole.size() % 3;
        body.append(whole, 0, lead);
        for (std::size_t k = lead; k < whole.size(); k += 3) {
            body.push_back(p.grouping);
            body.append(whole, k, 3);
        }
    } else {
        body = whole;
    }
    if (p.places > 0) {
        if (p.decimalMark != 0) body.push_back(p.decimalMark);
        body += fraction;
    }
    const std::size_t signWidth = negative ? (p.parens ? 2 : 1) : 0;
    if (p.fill == '0' && p.width > 0 && body.size() + signWidth < static_cast<std::size_t>(p.width))
        body.insert(0, static_cast<std::size_t>(p.width) - body.size() - signWidth, '0');
    std::string out;
    if (negative) {
        if (p.parens)
            out = "(" + body + ")";
        else if (p.trailingMinus)
            out = body + "-";
        else
            out = "-" + body;
    } else {
        out = body;
    }
    if (p.fill == '*' && p.width > 0 && out.size() < static_cast<std::size_t>(p.width))
        out.insert(0, static_cast<std::size_t>(p.width) - out.size(), '*');
    if (p.width > 0 && out.size() > static_cast<std::size_t>(p.width)) return overflowMarks(p.width);
    return out;
}

std::optional<DecimalValue> readNumber(std::string_view text, const NumberPicture& p) {
    std::string_view s = trimBlanks(text);
    if (s.empty()) return DecimalValue();
    bool negative = false;
    if (s.front() == '(' && s.back() == ')' && s.size() >= 2) {
        negative = true;
        s = trimBlanks(s.substr(1, s.size() - 2));
    }
    while (!s.empty() && s.front() == '*') s.remove_prefix(1);
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = negative || s.front() == '-';
        s = trimBlanks(s.substr(1));
    } else if (!s.empty() && s.back() == '-') {
        negative = true;
        s = trimBlanks(s.substr(0, s.size() - 1));
    }
    const char mark = p.decimalMark == 0 ? '.' : p.decimalMark;
    // The other of point and comma can only be a group separator.
    const char otherMark = mark == ',' ? '.' : ',';
    std::string plain;
    plain.reserve(s.size());
    for (const char c : s) {
        if (isDigit(c)) {
            plain.push_back(c);
        } else if (c == mark) {
            plain.push_back('.');
        } else if (c == otherMark || (p.grouping != 0 && c == p.grouping) || c == ' ' || c == '\'') {
            if (plain.find('.') != std::string::npos) return std::nullopt;  // no groups after the mark
        } else {
            return std::nullopt;
        }
    }
    auto v = DecimalValue::parse(plain);
    if (!v) return std::nullopt;
    if (p.decimalMark == 0 && p.places > 0 && plain.find('.') == std::string::npos)
        v = DecimalValue::fromUnits(v->units(), std::min(v->scale() + p.places, DecimalValue::kMaxScale));
    return negative ? -*v : *v;
}

// ---- Dates and times -------------------------------------------------------------------------

std::string twoDigits(int v) { return fmt::format("{:02d}", v); }

int fourDigitYear(int yy) { return yy < 50 ? 2000 + yy : 1900 + yy; }

bool isAsciiLetter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Month named by a word of the text (name or its first three letters); 0 when none.
int monthOfWord(std::string_view word) {
    if (word.empty()) return 0;
    for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
        if (equalsNoCase(word, kMonthNames[m]) || equalsNoCase(word, kMonthShort[m])) return static_cast<int>(m) + 1;
    }
    return 0;
}

int dayOfWord(std::string_view word) {
    for (std::size_t d = 0; d < kDayNames.size(); ++d)
        if (equalsNoCase(word, kDayNames[d]) || equalsNoCase(word, kDayShort[d])) return static_cast<int>(d);
    return -1;
}

enum class DatePart { Day, Month, Year };

// The order of day, month and year in a date pattern.
std::vector<DatePart> datePartOrder(std::string_view pattern) {
    std::vector<DatePart> order;
    auto add = [&](DatePart part) {
        for (auto p : order)
            if (p == part) return;
        order.push_back(part);
    };
    walkPattern(
        pattern, kDateLetters,
        [&](char c, int count) {
            const char l = lowerAscii(c);
            if (l == 'd' && count <= 2) add(DatePart::Day);
            if (l == 'm') add(DatePart::Month);
            if (l == 'y') add(DatePart::Year);
        },
        [](std::string_view) {});
    for (auto part : {DatePart::Day, DatePart::Month, DatePart::Year}) add(part);
    return order;
}

TimeNumber readTime(std::string_view text) {
    std::string_view s = trimBlanks(text);
    if (s.empty()) return kNoTime;
    int ampm = 0;  // 1 AM, 2 PM
    {
        std::size_t end = s.size();
        while (end > 0 && isAsciiLetter(s[end - 1])) --end;
        const std::string_view suffix = s.substr(end);
        if (!suffix.empty()) {
            if (equalsNoCase(suffix, "AM") || equalsNoCase(suffix, "A"))
                ampm = 1;
            else if (equalsNoCase(suffix, "PM") || equalsNoCase(suffix, "P"))
                ampm = 2;
            else
                return kNoTime;
            s = trimBlanks(s.substr(0, end));
        }
    }
    std::vector<std::string> groups;
    std::string current;
    for (const char c : s) {
        if (isDigit(c)) {
            current.push_back(c);
        } else if (c == ':' || c == '.' || c == ',' || c == ' ') {
            if (current.empty()) return kNoTime;
            groups.push_back(current);
            current.clear();
        } else {
            return kNoTime;
        }
    }
    if (!current.empty()) groups.push_back(current);
    if (groups.empty() || groups.size() > 4) return kNoTime;
    if (groups.size() == 1) {
        // Digits only: h, hh, hmm, hhmm, hhmmss.
        const std::string d = groups[0];
        groups.clear();
        if (d.size() <= 2) {
            groups = {d};
        } else if (d.size() <= 4) {
            groups = {d.substr(0, d.size() - 2), d.substr(d.size() - 2)};
        } else if (d.size() <= 6) {
            groups = {d.substr(0, d.size() - 4), d.substr(d.size() - 4, 2), d.substr(d.size() - 2)};
        } else {
            return kNoTime;
        }
    }
    int v[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < groups.size(); ++k) {
        if (groups[k].size() > 2) return kNoTime;
        v[k] = std::stoi(groups[k]);
    }
    if (ampm != 0) {
        if (v[0] < 1 || v[0] > 12) return kNoTime;
        v[0] = v[0] % 12 + (ampm == 2 ? 12 : 0);
    }
    return timeFromHms(v[0], v[1], v[2], v[3]);
}

DateNumber readDate(std::string_view text, std::string_view pattern) {
    std::string_view s = trimBlanks(text);
    if (s.empty()) return kNoDate;
    std::vector<std::string> groups;
    int namedMonth = 0;
    std::string current;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (isDigit(c)) {
            current.push_back(c);
            ++i;
            continue;
        }
        if (!current.empty()) {
            groups.push_back(current);
            current.clear();
        }
        if (c == '.' || c == '/' || c == '-' || c == ' ' || c == ',') {
            ++i;
            continue;
        }
        // A word: a month or day name.
        std::size_t j = i;
        while (j < s.size() && !isDigit(s[j]) && s[j] != '.' && s[j] != '/' && s[j] != '-' && s[j] != ' ' &&
               s[j] != ',')
            ++j;
        const std::string_view word = s.substr(i, j - i);
        if (const int m = monthOfWord(word); m != 0 && namedMonth == 0)
            namedMonth = m;
        else if (dayOfWord(word) < 0)
            return kNoDate;
        i = j;
    }
    if (!current.empty()) groups.push_back(current);

    std::vector<DatePart> order = datePartOrder(pattern);
    if (namedMonth != 0) {
        std::erase(order, DatePart::Month);
    }
    const std::size_t want = order.size();
    if (groups.size() == 1 && want == 3 && (groups[0].size() == 6 || groups[0].size() == 8)) {
        // Digits only, in the pattern's order: ddmmyy, ddmmyyyy (or its order).
        const std::string d = groups[0];
        const bool longYear = d.size() == 8;
        groups.clear();
        std::size_t pos = 0;
        for (auto part : order) {
            const std::size_t len = part == DatePart::Year && longYear ? 4 : 2;
            groups.push_back(d.substr(pos, len));
            pos += len;
        }
    }
    if (groups.size() != want) return kNoDate;
    int day = 0, month = namedMonth, year = 0;
    for (std::size_t k = 0; k < want; ++k) {
        if (groups[k].size() > 4) return kNoDate;
        const int v = std::stoi(groups[k]);
        switch (order[k]) {
        case DatePart::Day:
            if (groups[k].size() > 2) return kNoDate;
            day = v;
            break;
        case DatePart::Month:
            if (groups[k].size() > 2) return kNoDate;
            month = v;
            break;
        case DatePart::Year: year = groups[k].size() <= 2 ? fourDigitYear(v) : v; break;
        }
    }
    return dateFromYmd(year, month, day);
}

std::string digitsOf(std::string_view text) {
    std::string d;
    for (char c : text)
        if (isDigit(c)) d.push_back(c);
    return d;
}

// ---- Patterns --------------------------------------------------------------------------------

std::string formatPattern(std::string_view digitsIn, std::string_view pattern) {
    std::size_t positions = 0;
    for (char c : pattern)
        if (c == '#' || c == '<') ++positions;
    std::string_view digits = digitsIn;
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > positions) return std::string(charLength(pattern), '#');
    std::string padded(positions - digits.size(), '0');
    padded.append(digits);
    std::string out;
    out.reserve(pattern.size());
    std::size_t k = 0;
    bool leading = true;
    for (char c : pattern) {
        if (c == '#' || c == '<') {
            const char d = padded[k++];
            if (leading && c == '<' && d == '0') {
                out.push_back(' ');
            } else {
                leading = false;
                out.push_back(d);
            }
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<DecimalValue> readPattern(std::string_view text, std::string_view pattern) {
    // The sign a negative number is shown with stands in front of the pattern.
    const std::string_view trimmed = trimBlanks(text);
    if (trimmed.size() > 1 && trimmed.front() == '-' && pattern.substr(0, 1) != "-") {
        auto positive = readPattern(trimmed.substr(1), pattern);
        if (positive) return -*positive;
        return std::nullopt;
    }
    std::string digits;
    if (charLength(text) == charLength(pattern) && text.size() == pattern.size()) {
        bool aligned = true;
        for (std::size_t i = 0; i < pattern.size() && aligned; ++i) {
            const char pc = pattern[i], tc = text[i];
            if (pc == '#' || pc == '<') {
                if (isDigit(tc))
                    digits.push_back(tc);
                else if (!(tc == ' ' && pc == '<'))
                    aligned = false;
            } else if (pc != tc) {
                aligned = false;
            }
        }
        if (aligned) return DecimalValue::parse(digits.empty() ? "0" : digits);
        digits.clear();
    }
    // Not laid out as the pattern: its digits, as long as the rest are the pattern's own characters.
    for (const char c : text) {
        if (isDigit(c))
            digits.push_back(c);
        else if (c != ' ' && pattern.find(c) == std::string_view::npos)
            return std::nullopt;
    }
    if (digits.empty()) return DecimalValue();
    return DecimalValue::parse(digits);
}

// ---- Dispatch --------------------------------------------------------------------------------

std::string formatDateValue(std::int64_t day, const ParsedPicture& p) {
    if (day <= 0 || day > 0x7fffffff || !isValidDate(static_cast<DateNumber>(day))) return {};
    return formatDatePattern(static_cast<DateNumber>(day), datePatternFor(p));
}

std::string formatTimeValue(std::int64_t time, const ParsedPicture& p) {
    if (time <= 0 || time > kLastTime) return {};
    return formatTimePattern(static_cast<TimeNumber>(time), timePatternFor(p));
}

std::string cutToWidth(std::string_view text, int width) {
    return std::string(width > 0 ? cutChars(text, static_cast<std::size_t>(width)) : text);
}

std::string formatDecimal(const DecimalValue& value, const ParsedPicture& p) {
    switch (p.kind) {
    case PictureKind::Number: return formatNumber(value, p.num);
    case PictureKind::Date: return formatDateValue(value.roundToInt64(), p);
    case PictureKind::Time: return formatTimeValue(value.roundToInt64(), p);
    case PictureKind::Pattern: {
        // A pattern has no place for a sign, so a negative number is shown with one in front.
        const DecimalValue whole = value.roundedOrSame(0);
        const std::string shown = formatPattern(digitsOf(whole.toString()), p.pattern);
        return whole.isNegative() ? "-" + shown : shown;
    }
    case PictureKind::Text: return cutToWidth(value.toString(), p.width);
    case PictureKind::Invalid: break;
    }
    return value.toString();
}

}  // namespace

PictureKind pictureKind(std::string_view picture) noexcept { return parsePicture(picture).kind; }

int pictureWidth(std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    switch (p.kind) {
    case PictureKind::Text:
    case PictureKind::Number: return p.width;
    case PictureKind::Date: {
        // The widest day and month names in the long form.
        const std::string pattern = datePatternFor(p);
        int widest = 0;
        for (const DateNumber d : {dateFromYmd(2000, 9, 27), dateFromYmd(2000, 12, 28), dateFromYmd(2000, 3, 29)})
            widest = std::max(widest, static_cast<int>(charLength(formatDatePattern(d, pattern))));
        return widest;
    }
    case PictureKind::Time:
        return static_cast<int>(charLength(formatTimePattern(timeFromHms(23, 59, 59, 99), timePatternFor(p))));
    case PictureKind::Pattern: return static_cast<int>(charLength(p.pattern));
    case PictureKind::Invalid: break;
    }
    return 0;
}

std::string formatPicture(std::string_view text, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    switch (p.kind) {
    case PictureKind::Text: return cutToWidth(text, p.width);
    case PictureKind::Invalid: return std::string(text);
    case PictureKind::Pattern: return formatPattern(digitsOf(text), p.pattern);
    default: return formatDecimal(DecimalValue::parseOrZero(text), p);
    }
}

std::string formatPicture(const char* text, std::string_view picture) {
    return formatPicture(std::string_view(text ? text : ""), picture);
}

std::string formatPicture(const std::string& text, std::string_view picture) {
    return formatPicture(std::string_view(text), picture);
}

std::string formatPicture(std::int64_t value, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    switch (p.kind) {
    case PictureKind::Date: return formatDateValue(value, p);
    case PictureKind::Time: return formatTimeValue(value, p);
    case PictureKind::Text: return cutToWidth(fmt::format("{}", value), p.width);
    case PictureKind::Invalid: return fmt::format("{}", value);
    default: return formatDecimal(DecimalValue(value), p);
    }
}

std::string formatPicture(double value, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    if (p.kind == PictureKind::Text || p.kind == PictureKind::Invalid)
        return cutToWidth(fmt::format("{}", value), p.width);
    const int places = p.kind == PictureKind::Number ? p.num.places : 0;
    auto v = DecimalValue::fromDouble(value, places);
    if (!v) return p.kind == PictureKind::Number ? overflowMarks(p.width) : std::string();
    return formatDecimal(*v, p);
}

std::string formatPicture(const DecimalValue& value, std::string_view picture) {
    return formatDecimal(value, parsePicture(picture));
}

PictureValue deformatPicture(std::string_view text, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    PictureValue r;
    switch (p.kind) {
    case PictureKind::Text:
    case PictureKind::Invalid:
        r.isText = true;
        r.text = std::string(text);
        break;
    case PictureKind::Number: r.number = readNumber(text, p.num).value_or(DecimalValue()); break;
    case PictureKind::Date:
        r.number = DecimalValue(static_cast<std::int64_t>(readDate(text, datePatternFor(p))));
        break;
    case PictureKind::Time: r.number = DecimalValue(static_cast<std::int64_t>(readTime(text))); break;
    case PictureKind::Pattern: r.number = readPattern(text, p.pattern).value_or(DecimalValue()); break;
    }
    return r;
}

DecimalValue deformatNumber(std::string_view text, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    if (p.kind == PictureKind::Text || p.kind == PictureKind::Invalid)
        return DecimalValue::parse(text).value_or(DecimalValue());
    return deformatPicture(text, picture).number;
}

std::int64_t deformatInt64(std::string_view text, std::string_view picture) {
    return deformatNumber(text, picture).roundToInt64();
}

DateNumber deformatDate(std::string_view text, std::string_view picture) {
    const ParsedPicture p = parsePicture(picture);
    return readDate(text, p.kind == PictureKind::Date ? datePatternFor(p) : formats()->shortDate);
}

TimeNumber deformatTime(std::string_view text, std::string_view picture) { return readTime(text); }

void setSystemDateFormat(std::string_view shortPattern) {
    changeFormats([&](SystemFormats& f) { f.shortDate = std::string(shortPattern); });
}

void setSystemLongDateFormat(std::string_view longPattern) {
    changeFormats([&](SystemFormats& f) { f.longDate = std::string(longPattern); });
}

void setSystemTimeFormat(std::string_view shortPattern, std::string_view longPattern) {
    changeFormats([&](SystemFormats& f) {
        f.shortTime = std::string(shortPattern);
        f.longTime = std::string(longPattern);
    });
}

void resetSystemFormats() {
    changeFormats([](SystemFormats& f) { f = SystemFormats(); });
}

std::string systemDateFormat() { return formats()->shortDate; }
std::string systemTimeFormat() { return formats()->shortTime; }
std::string systemLongTimeFormat() { return formats()->longTime; }

std::string formatDatePattern(DateNumber date, std::string_view pattern) {
    if (!isValidDate(date)) return {};
    const Ymd ymd = ymdFromDate(date);
    std::string out;
    walkPattern(
        pattern, kDateLetters,
        [&](char c, int count) {
            switch (lowerAscii(c)) {
            case 'd':
                if (count >= 4)
                    out += kDayNames[static_cast<std::size_t>(weekday(date))];
                else if (count == 3)
                    out += kDayShort[static_cast<std::size_t>(weekday(date))];
                else
                    out += count == 2 ? twoDigits(ymd.day) : fmt::format("{}", ymd.day);
                break;
            case 'm':
                if (count >= 4)
                    out += kMonthNames[static_cast<std::size_t>(ymd.month - 1)];
                else if (count == 3)
                    out += kMonthShort[static_cast<std::size_t>(ymd.month - 1)];
                else
                    out += count == 2 ? twoDigits(ymd.month) : fmt::format("{}", ymd.month);
                break;
            default:  // y
                out += count <= 2 ? twoDigits(ymd.year % 100) : fmt::format("{:04d}", ymd.year);
                break;
            }
        },
        [&](std::string_view literal) { out += literal; });
    return out;
}

std::string formatTimePattern(TimeNumber time, std::string_view pattern) {
    if (!isValidTime(time)) return {};
    const Hms hms = hmsFromTime(time);
    std::string out;
    walkPattern(
        pattern, kTimeLetters,
        [&](char c, int count) {
            switch (c) {
            case 'H': out += count >= 2 ? twoDigits(hms.hours) : fmt::format("{}", hms.hours); break;
            case 'h': {
                const int h12 = hms.hours % 12 == 0 ? 12 : hms.hours % 12;
                out += count >= 2 ? twoDigits(h12) : fmt::format("{}", h12);
                break;
            }
            case 'm':
            case 'M': out += count >= 2 ? twoDigits(hms.minutes) : fmt::format("{}", hms.minutes); break;
            case 's': out += count >= 2 ? twoDigits(hms.seconds) : fmt::format("{}", hms.seconds); break;
            default:  // t
                out += hms.hours < 12 ? (count >= 2 ? "AM" : "A") : (count >= 2 ? "PM" : "P");
                break;
            }
        },
        [&](std::string_view literal) { out += literal; });
    return out;
}

DateNumber parseDatePattern(std::string_view text, std::string_view pattern) { return readDate(text, pattern); }

TimeNumber parseTimePattern(std::string_view text, std::string_view pattern) { return readTime(text); }

}  // namespace rt
