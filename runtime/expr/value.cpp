#include "runtime/expr/value.h"

#include "runtime/text/strings.h"

namespace rt {

void Value::setReal(double number) {
    setNumber(
        DecimalValue::fromDouble(number, DecimalValue::kDefaultDivisionScale).value_or(DecimalValue()).normalized());
}

Value& Value::detach() {
    if (kind_ == Kind::Text && !owned_) {
        own_.assign(view_);
        owned_ = true;
        view_ = {};
    }
    return *this;
}

bool readNumber(std::string_view text, DecimalValue& out) {
    // Most texts met in filters are names, not numbers: decide on the first non-blank quickly.
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size()) return false;
    const char c = text[i];
    if (!(c >= '0' && c <= '9') && c != '-' && c != '+' && c != '.') return false;
    auto parsed = DecimalValue::parse(text);
    if (!parsed) return false;
    out = *parsed;
    return true;
}

std::string numberText(const DecimalValue& number) { return number.normalized().toString(); }

DecimalValue Value::toNumber() const {
    if (kind_ == Kind::Number) return number_;
    DecimalValue n;
    return readNumber(text(), n) ? n : DecimalValue();
}

std::string Value::toText() const {
    if (kind_ == Kind::Number) return numberText(number_);
    return std::string(text());
}

bool Value::isTrue() const {
    if (kind_ == Kind::Number) return !number_.isZero();
    const std::string_view t = text();
    DecimalValue n;
    if (readNumber(t, n)) return !n.isZero();
    return !clip(t).empty();
}

int compareValues(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) return DecimalValue::compare(a.number(), b.number());
    if (a.isText() && b.isText()) return compareTrimmed(a.text(), b.text());
    DecimalValue n;
    if (a.isNumber()) {
        if (readNumber(b.text(), n)) return DecimalValue::compare(a.number(), n);
        return compareTrimmed(numberText(a.number()), b.text());
    }
    if (readNumber(a.text(), n)) return DecimalValue::compare(n, b.number());
    return compareTrimmed(a.text(), numberText(b.number()));
}

}  // namespace rt
