#include "runtime/text/decimal.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rt {

namespace {

using Units = DecimalValue::Units;
using Magnitude = unsigned __int128;

constexpr std::array<Magnitude, 39> makePowers() {
    std::array<Magnitude, 39> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<Magnitude, 39> kPow10 = makePowers();
constexpr Magnitude kMaxMagnitude = kPow10[38] - 1;

Magnitude magnitude(Units u) noexcept {
    return u < 0 ? static_cast<Magnitude>(0) - static_cast<Magnitude>(u) : static_cast<Magnitude>(u);
}

Units withSign(Magnitude m, bool negative) noexcept {
    const auto u = static_cast<Units>(m);  // m <= kMaxMagnitude always fits
    return negative ? -u : u;
}

bool mulPow10(Magnitude m, int exponent, Magnitude& out) noexcept {
    if (exponent < 0 || exponent > 38) return false;
    if (__builtin_mul_overflow(m, kPow10[static_cast<std::size_t>(exponent)], &out)) return false;
    return out <= kMaxMagnitude;
}

// m / 10^exponent rounded half away from zero (on the magnitude).
Magnitude divPow10Rounded(Magnitude m, int exponent) noexcept {
    if (exponent <= 0) return m;
    if (exponent > 38) return 0;
    const Magnitude d = kPow10[static_cast<std::size_t>(exponent)];
    const Magnitude q = m / d;
    const Magnitude r = m % d;
    return r >= d - r ? q + 1 : q;
}

int digitCount(Magnitude m) noexcept {
    int n = 0;
    while (n < 39 && m >= kPow10[static_cast<std::size_t>(n)]) ++n;
    return n;
}

std::string magnitudeDigits(Magnitude m) {
    if (m == 0) return "0";
    char buf[48];
    int i = 0;
    while (m > 0) {
        buf[i++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    }
    std::string s;
    s.reserve(static_cast<std::size_t>(i));
    while (i > 0) s.push_back(buf[--i]);
    return s;
}

// Digits (no sign, no point) with a decimal exponent: value = digits * 10^exponent.
std::optional<DecimalValue> fromDigits(std::string_view digits, int exponent, bool negative, int maxScale) {
    std::size_t first = 0;
    while (first < digits.size() && digits[first] == '0') ++first;
    digits.remove_prefix(first);
    if (digits.empty()) return DecimalValue::fromUnits(0, std::clamp(-exponent, 0, maxScale));
    // Fraction digits beyond maxScale are rounded away first.
    int scale = -exponent;
    if (scale > maxScale) {
        const auto drop = static_cast<std::size_t>(scale - maxScale);
        if (drop > digits.size()) return DecimalValue::fromUnits(0, maxScale);
        const bool roundUp = digits[digits.size() - drop] >= '5';
        digits.remove_suffix(drop);
        scale = maxScale;
        Magnitude m = 0;
        for (char c : digits) {
            if (__builtin_mul_overflow(m, Magnitude(10), &m)) return std::nullopt;
            m += static_cast<Magnitude>(c - '0');
        }
        if (roundUp) ++m;
        if (m > kMaxMagnitude) return std::nullopt;
        return DecimalValue::fromUnits(withSign(m, negative), scale);
    }
    if (static_cast<int>(digits.size()) > DecimalValue::kMaxDigits) return std::nullopt;
    Magnitude m = 0;
    for (char c : digits) m = m * 10 + static_cast<Magnitude>(c - '0');
    if (scale < 0) {
        if (!mulPow10(m, -scale, m)) return std::nullopt;
        scale = 0;
    }
    return DecimalValue::fromUnits(withSign(m, negative), scale);
}

}  // namespace

DecimalValue DecimalValue::fromUnits(Units units, int scale) {
    assert(scale >= 0 && scale <= kMaxScale);
    assert(magnitude(units) <= kMaxMagnitude);
    DecimalValue v;
    v.units_ = units;
    v.scale_ = scale;
    return v;
}

std::optional<DecimalValue> DecimalValue::parse(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    text = text.substr(b, e - b);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    std::string digits;
    digits.reserve(text.size());
    int fraction = 0;
    bool point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits.empty()) return std::nullopt;
    return fromDigits(digits, -fraction, negative, kMaxScale);
}

DecimalValue DecimalValue::parseOrZero(std::string_view text) { return parse(text).value_or(DecimalValue()); }

std::optional<DecimalValue> DecimalValue::fromDouble(double value, int scale) {
    if (!std::isfinite(value)) return std::nullopt;
    scale = std::clamp(scale, 0, kMaxScale);
    // The shortest text that reads back as the same double: 2.675 stays 2.675, so rounding to two
    // places gives 2.68 as the user expects.
    const std::string text = fmt::format("{}", value);
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    int exponent = 0;
    if (const auto epos = s.find_first_of("eE"); epos != std::string_view::npos) {
        exponent = std::atoi(std::string(s.substr(epos + 1)).c_str());
        s = s.substr(0, epos);
    }
    std::string digits;
    for (char c : s) {
        if (c == '.') continue;
        digits.push_back(c);
    }
    if (const auto dot = s.find('.'); dot != std::string_view::npos) exponent -= static_cast<int>(s.size() - dot - 1);
    auto v = fromDigits(digits, exponent, negative, scale);
    if (!v) return std::nullopt;
    return v->rounded(scale);
}

std::optional<DecimalValue> DecimalValue::rounded(int places) const {
    places = std::clamp(places, 0, kMaxScale);
    const Magnitude m = magnitude(units_);
    Magnitude r;
    if (places >= scale_) {
        if (!mulPow10(m, places - scale_, r)) return std::nullopt;
    } else {
        r = divPow10Rounded(m, scale_ - places);
        if (r > kMaxMagnitude) return std::nullopt;
    }
    return fromUnits(withSign(r, units_ < 0), places);
}

DecimalValue DecimalValue::roundedOrSame(int places) const { return rounded(places).value_or(*this); }

DecimalValue DecimalValue::normalized() const {
    Magnitude m = magnitude(units_);
    int s = scale_;
    while (s > 0 && m % 10 == 0) {
        m /= 10;
        --s;
    }
    return fromUnits(withSign(m, units_ < 0), s);
}

int DecimalValue::integerDigits() const noexcept {
    const Magnitude whole = magnitude(units_) / kPow10[static_cast<std::size_t>(scale_)];
    return digitCount(whole);
}

std::string DecimalValue::toString() const {
    std::string digits = magnitudeDigits(magnitude(units_));
    const auto s = static_cast<std::size_t>(scale_);
    if (s > 0) {
        if (digits.size() <= s) digits.insert(0, s - digits.size() + 1, '0');
        digits.insert(digits.size() - s, 1, '.');
    }
    if (units_ < 0) digits.insert(0, 1, '-');
    return digits;
}

std::int64_t DecimalValue::toInt64() const noexcept {
    const Magnitude whole = magnitude(units_) / kPow10[static_cast<std::size_t>(scale_)];
    constexpr auto kMax = static_cast<Magnitude>(std::numeric_limits<std::int64_t>::max());
    if (units_ < 0) {
        if (whole > kMax) return std::numeric_limits<std::int64_t>::min();
        return -static_cast<std::int64_t>(whole);
    }
    return whole > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(whole);
}

std::int64_t DecimalValue::roundToInt64() const noexcept {
    const Magnitude m = divPow10Rounded(magnitude(units_), scale_);
    constexpr auto kMax = static_cast<Magnitude>(std::numeric_limits<std::int64_t>::max());
    if (units_ < 0) return m > kMax ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(m);
    return m > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(m);
}

double DecimalValue::toDouble() const noexcept {
    // Through the text so that 0.1 becomes the nearest double, not a product of two rounded ones.
    char buf[64];
    const std::string s = toString();
    const std::size_t n = std::min(s.size(), sizeof buf - 1);
    s.copy(buf, n);
    buf[n] = '\0';
    return std::strtod(buf, nullptr);
}

std::optional<DecimalValue> DecimalValue::add(const DecimalValue& a, const DecimalValue& b) {
    const int scale = std::max(a.scale_, b.scale_);
    auto ra = a.rounded(scale);
    auto rb = b.rounded(scale);
    if (!ra || !rb) return std::nullopt;
    Units sum;
    if (__builtin_add_overflow(ra->units_, rb->units_, &sum)) return std::nullopt;
    if (magnitude(sum) > kMaxMagnitude) return std::nullopt;
    return fromUnits(sum, scale);
}

std::optional<DecimalValue> DecimalValue::subtract(const DecimalValue& a, const DecimalValue& b) { return add(a, -b); }

std::optional<DecimalValue> DecimalValue::multiply(const DecimalValue& a, const DecimalValue& b) {
    return multiply(a, b, std::min(a.scale_ + b.scale_, kMaxScale));
}

std::optional<DecimalValue> DecimalValue::multiply(const DecimalValue& a, const DecimalValue& b, int scale) {
    scale = std::clamp(scale, 0, kMaxScale);
    // Trailing zeros carry no value and only cost room.
    const DecimalValue na = a.normalized();
    const DecimalValue nb = b.normalized();
    Magnitude product;
    if (__builtin_mul_overflow(magnitude(na.units_), magnitude(nb.units_), &product)) return std::nullopt;
    const bool negative = (na.units_ < 0) != (nb.units_ < 0);
    const int productScale = na.scale_ + nb.scale_;
    Magnitude r;
    if (scale >= productScale) {
        if (!mulPow10(product, scale - productScale, r)) return std::nullopt;
    } else {
        r = divPow10Rounded(product, productScale - scale);
    }
    if (r > kMaxMagnitude) return std::nullopt;
    return fromUnits(withSign(r, negative), scale);
}

std::optional<DecimalValue> DecimalValue::divide(const DecimalValue& a, const DecimalValue& b, int scale) {
    if (b.units_ == 0) return std::nullopt;
    scale = std::clamp(scale, 0, kMaxScale);
    const bool negative = (a.units_ < 0) != (b.units_ < 0);
    const Magnitude num = magnitude(a.units_);
    Magnitude den = magnitude(b.units_);
    // result units = round(num * 10^e / den)
    const int e = scale + b.scale_ - a.scale_;
    Magnitude q, r;
    if (e >= 0) {
        q = num / den;
        r = num % den;
        for (int i = 0; i < e; ++i) {
            Magnitude r10;
            if (__builtin_mul_overflow(r, Magnitude(10), &r10)) return std::nullopt;
            if (__builtin_mul_overflow(q, Magnitude(10), &q)) return std::nullopt;
            q += r10 / den;
            r = r10 % den;
            if (q > kMaxMagnitude) return std::nullopt;
        }
    } else {
        if (__builtin_mul_overflow(den, kPow10[static_cast<std::size_t>(std::min(-e, 38))], &den) || -e > 38)
            return fromUnits(0, scale);  // the quotient is far below half a unit
        q = num / den;
        r = num % den;
    }
    if (r >= den - r) ++q;
    if (q > kMaxMagnitude) return std::nullopt;
    return fromUnits(withSign(q, negative), scale);
}

DecimalValue operator/(const DecimalValue& a, const DecimalValue& b) {
    const int scale = std::max({a.scale(), b.scale(), DecimalValue::kDefaultDivisionScale});
    return DecimalValue::divide(a, b, scale).value_or(DecimalValue());
}

int DecimalValue::compare(const DecimalValue& a, const DecimalValue& b) noexcept {
    const int sa = a.sign(), sb = b.sign();
    if (sa != sb) return sa < sb ? -1 : 1;
    if (sa == 0) return 0;
    Magnitude ma = magnitude(a.units_), mb = magnitude(b.units_);
    int byMagnitude;
    if (a.scale_ == b.scale_) {
        byMagnitude = ma < mb ? -1 : (ma > mb ? 1 : 0);
    } else if (a.scale_ < b.scale_) {
        Magnitude wa;
        if (__builtin_mul_overflow(ma, kPow10[static_cast<std::size_t>(b.scale_ - a.scale_)], &wa))
            byMagnitude = 1;
        else
            byMagnitude = wa < mb ? -1 : (wa > mb ? 1 : 0);
    } else {
        Magnitude wb;
        if (__builtin_mul_overflow(mb, kPow10[static_cast<std::size_t>(a.scale_ - b.scale_)], &wb))
            byMagnitude = -1;
        else
            byMagnitude = ma < wb ? -1 : (ma > wb ? 1 : 0);
    }
    return sa > 0 ? byMagnitude : -byMagnitude;
}

}  // namespace rt
