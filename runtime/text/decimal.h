// Exact decimal numbers: DECIMAL(d,p) fields and the arithmetic on them. Never floating point.
#pragma once

#include <cassert>
#include <compare>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rt {

// A scaled integer: value = units / 10^scale. Up to 38 significant digits.
class DecimalValue {
public:
    using Units = __int128;
    static constexpr int kMaxDigits = 38;
    static constexpr int kMaxScale = 30;
    static constexpr int kDefaultDivisionScale = 10;

    constexpr DecimalValue() = default;
    template <std::integral T>
    requires(!std::same_as<T, bool>) constexpr DecimalValue(T whole)
        : units_(whole), scale_(0) {}  // NOLINT(implicit): whole numbers

    // units / 10^scale; scale in 0..kMaxScale.
    static DecimalValue fromUnits(Units units, int scale);

    // Strict parse: optional blanks, optional "-" or "+", digits with at most one "." (".5", "5."
    // and "-0.25" accepted). Anything else, or more than kMaxDigits digits: nullopt.
    static std::optional<DecimalValue> parse(std::string_view text);
    // parse() or 0.
    static DecimalValue parseOrZero(std::string_view text);

    // The double's shortest decimal form rounded half away from zero to `scale` places; nullopt for
    // NaN, infinity or a value beyond kMaxDigits.
    static std::optional<DecimalValue> fromDouble(double value, int scale = kMaxScale);

    Units units() const noexcept { return units_; }
    int scale() const noexcept { return scale_; }
    bool isZero() const noexcept { return units_ == 0; }
    bool isNegative() const noexcept { return units_ < 0; }
    int sign() const noexcept { return units_ < 0 ? -1 : (units_ > 0 ? 1 : 0); }

    // Rounded half away from zero to `places` decimals (more places pad with zeros); nullopt when the
    // result would exceed kMaxDigits.
    std::optional<DecimalValue> rounded(int places) const;
    // Rounded to `places`, or, when that cannot be held, the value itself (only possible when
    // widening a value of nearly 38 digits).
    DecimalValue roundedOrSame(int places) const;
    // The same value without trailing zero decimals.
    DecimalValue normalized() const;
    // Digits before the point (0 when the magnitude is below 1).
    int integerDigits() const noexcept;

    // "-1234.50": a "-" for negatives, exactly scale() decimals, "." as the mark.
    std::string toString() const;
    // Whole part, truncated toward zero; saturates at the int64 limits.
    std::int64_t toInt64() const noexcept;
    // Rounded half away from zero to a whole number; saturates at the int64 limits.
    std::int64_t roundToInt64() const noexcept;
    double toDouble() const noexcept;

    // Checked arithmetic: nullopt on overflow of kMaxDigits (or division by zero).
    static std::optional<DecimalValue> add(const DecimalValue& a, const DecimalValue& b);
    static std::optional<DecimalValue> subtract(const DecimalValue& a, const DecimalValue& b);
    // Exact product; its scale is the sum of the scales (rounded to kMaxScale when beyond).
    static std::optional<DecimalValue> multiply(const DecimalValue& a, const DecimalValue& b);
    // Quotient rounded half away from zero to `scale` places.
    static std::optional<DecimalValue> divide(const DecimalValue& a, const DecimalValue& b, int scale);
    static std::optional<DecimalValue> multiply(const DecimalValue& a, const DecimalValue& b, int scale);

    // Operators for everyday use: an overflow or a division by zero gives 0. Division rounds to
    // max(a.scale(), b.scale(), kDefaultDivisionScale) places.
    friend DecimalValue operator+(const DecimalValue& a, const DecimalValue& b) {
        return add(a, b).value_or(DecimalValue());
    }
    friend DecimalValue operator-(const DecimalValue& a, const DecimalValue& b) {
        return subtract(a, b).value_or(DecimalValue());
    }
    friend DecimalValue operator*(const DecimalValue& a, const DecimalValue& b) {
        return multiply(a, b).value_or(DecimalValue());
    }
    friend DecimalValue operator/(const DecimalValue& a, const DecimalValue& b);
    DecimalValue operator-() const { return fromUnits(-units_, scale_); }

    // Numeric comparison, whatever the scales (1.50 == 1.5).
    static int compare(const DecimalValue& a, const DecimalValue& b) noexcept;
    friend bool operator==(const DecimalValue& a, const DecimalValue& b) noexcept { return compare(a, b) == 0; }
    friend std::strong_ordering operator<=>(const DecimalValue& a, const DecimalValue& b) noexcept {
        return compare(a, b) <=> 0;
    }

private:
    Units units_ = 0;
    int scale_ = 0;
};

// DECIMAL(D,P): D digits, P of them after the point.
template <int D, int P>
class Decimal {
    static_assert(D >= 1 && D <= DecimalValue::kMaxDigits, "DECIMAL digits out of range");
    static_assert(P >= 0 && P <= D && P <= DecimalValue::kMaxScale, "DECIMAL places out of range");

public:
    static constexpr int kDigits = D;
    static constexpr int kPlaces = P;

    Decimal() = default;

    // Rounds half away from zero to P places; false (value unchanged) when the result needs more
    // than D digits.
    bool set(const DecimalValue& value) {
        if (value.scale() == P) {  // already at P places: nothing to round, D digits at most
            const DecimalValue::Units u = value.units();
            if (u >= kLimit || u <= -kLimit) return false;
            value_ = value;
            return true;
        }
        auto r = value.rounded(P);
        if (!r || !fits(*r)) return false;
        value_ = *r;
        return true;
    }
    template <std::integral T>
    requires(!std::same_as<T, bool>) bool set(T value) { return set(DecimalValue(value)); }
    bool set(double value) {
        auto v = DecimalValue::fromDouble(value, P);
        return v && set(*v);
    }
    // Text as DecimalValue::parse reads it; false for text that is no number, or too large.
    bool set(std::string_view text) {
        auto v = DecimalValue::parse(text);
        return v && set(*v);
    }

    static std::optional<Decimal> from(const DecimalValue& value) {
        Decimal d;
        if (!d.set(value)) return std::nullopt;
        return d;
    }

    // Assignment without a result: on overflow the value is left unchanged (use set() to know).
    Decimal& operator=(const DecimalValue& value) {
        set(value);
        return *this;
    }
    template <std::integral T>
    requires(!std::same_as<T, bool>) Decimal& operator=(T value) {
        set(value);
        return *this;
    }
    Decimal& operator=(double value) {
        set(value);
        return *this;
    }

    const DecimalValue& value() const noexcept { return value_; }
    operator const DecimalValue&() const noexcept { return value_; }  // NOLINT(implicit)
    std::string toString() const { return value_.toString(); }
    bool isZero() const noexcept { return value_.isZero(); }
    void clear() { value_ = DecimalValue::fromUnits(0, P); }

    static bool fits(const DecimalValue& roundedValue) noexcept { return roundedValue.integerDigits() <= D - P; }

    friend bool operator==(const Decimal& a, const Decimal& b) noexcept { return a.value_ == b.value_; }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) noexcept {
        return a.value_ <=> b.value_;
    }

private:
    static constexpr DecimalValue::Units kLimit = [] {
        DecimalValue::Units l = 1;
        for (int i = 0; i < D; ++i) l *= 10;
        return l;
    }();  // 10^D: the smallest magnitude of units with more than D digits
    DecimalValue value_ = DecimalValue::fromUnits(0, P);
};

}  // namespace rt
