#include "runtime/text/decimal.h"

namespace rt {

DecimalValue DecimalValue::fromUnits(Units units, int scale) {
    DecimalValue v;
    v.units_ = units;
    v.scale_ = scale;
    return v;
}
std::optional<DecimalValue> DecimalValue::parse(std::string_view) { return std::nullopt; }
DecimalValue DecimalValue::parseOrZero(std::string_view text) { return parse(text).value_or(DecimalValue()); }
std::optional<DecimalValue> DecimalValue::fromDouble(double, int) { return std::nullopt; }
std::optional<DecimalValue> DecimalValue::rounded(int) const { return *this; }
DecimalValue DecimalValue::roundedOrSame(int places) const { return rounded(places).value_or(*this); }
DecimalValue DecimalValue::normalized() const { return *this; }
int DecimalValue::integerDigits() const noexcept { return 0; }
std::string DecimalValue::toString() const { return "0"; }
std::int64_t DecimalValue::toInt64() const noexcept { return 0; }
std::int64_t DecimalValue::roundToInt64() const noexcept { return 0; }
double DecimalValue::toDouble() const noexcept { return 0; }
std::optional<DecimalValue> DecimalValue::add(const DecimalValue&, const DecimalValue&) { return std::nullopt; }
std::optional<DecimalValue> DecimalValue::subtract(const DecimalValue&, const DecimalValue&) { return std::nullopt; }
std::optional<DecimalValue> DecimalValue::multiply(const DecimalValue&, const DecimalValue&) { return std::nullopt; }
std::optional<DecimalValue> DecimalValue::divide(const DecimalValue&, const DecimalValue&, int) { return std::nullopt; }
std::optional<DecimalValue> DecimalValue::multiply(const DecimalValue&, const DecimalValue&, int) { return std::nullopt; }
DecimalValue operator/(const DecimalValue& a, const DecimalValue& b) {
    return DecimalValue::divide(a, b, 10).value_or(DecimalValue());
}
int DecimalValue::compare(const DecimalValue&, const DecimalValue&) noexcept { return 0; }

}  // namespace rt
