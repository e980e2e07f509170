// Values of the expression language: a number (exact decimal) or a text.
//
// Rules shared by every comparison the language makes:
//  - two numbers compare numerically;
//  - two texts compare byte by byte, case-sensitive, ignoring trailing blanks (always as texts,
//    even when both look numeric: '10' < '9');
//  - a text and a number compare numerically when the text reads as a number (blanks around it,
//    an optional sign, digits with at most one "."), otherwise as texts, the number written as
//    its plain decimal text ("12.5", "-3", "0");
//  - a value is true when it is non-zero: a number other than 0, a numeric text other than 0, or
//    any other text that is not blank.
#pragma once

#include "runtime/text/decimal.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

class Value {
public:
    enum class Kind : std::uint8_t { Number, Text };

    Value() = default;

    static Value ofNumber(const DecimalValue& number) {
        Value v;
        v.setNumber(number);
        return v;
    }
    static Value ofInt(std::int64_t number) {
        Value v;
        v.setInt(number);
        return v;
    }
    static Value ofText(std::string text) {
        Value v;
        v.setOwnedText(std::move(text));
        return v;
    }

    Kind kind() const noexcept { return kind_; }
    bool isNumber() const noexcept { return kind_ == Kind::Number; }
    bool isText() const noexcept { return kind_ == Kind::Text; }

    // The number (0 for a text: use toNumber() to read a text).
    const DecimalValue& number() const noexcept { return number_; }
    // The text (empty for a number: use toText() to write a number).
    std::string_view text() const noexcept { return owned_ ? std::string_view(own_) : view_; }

    void setNumber(const DecimalValue& number) noexcept {
        kind_ = Kind::Number;
        number_ = number;
        owned_ = false;
        view_ = {};
    }
    void setInt(std::int64_t number) noexcept { setNumber(DecimalValue(number)); }
    // Rounded to 10 decimals; NaN and infinities give 0.
    void setReal(double number);
    // Borrows the text: it must stay valid as long as this value is used (a record buffer's field
    // during one evaluation). Use setOwnedText() or detach() to keep a copy.
    void setText(std::string_view text) noexcept {
        kind_ = Kind::Text;
        view_ = text;
        owned_ = false;
    }
    void setOwnedText(std::string text) {
        kind_ = Kind::Text;
        own_ = std::move(text);
        owned_ = true;
        view_ = {};
    }
    // Makes a borrowed text the value's own copy.
    Value& detach();

    // The text read as a number (0 when it is none); a number as it is.
    DecimalValue toNumber() const;
    // A number as its plain decimal text without trailing zero decimals; a text as it is.
    std::string toText() const;
    bool isTrue() const;

private:
    Kind kind_ = Kind::Number;
    bool owned_ = false;
    DecimalValue number_;
    std::string_view view_;
    std::string own_;
};

// The number a text stands for when it is numeric (see the rules above).
bool readNumber(std::string_view text, DecimalValue& out);

// The plain decimal text of a number: "12.5", "-3", "0".
std::string numberText(const DecimalValue& number);

// <0, 0, >0 by the rules above.
int compareValues(const Value& a, const Value& b);

}  // namespace rt
