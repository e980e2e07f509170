// Orders of views and queues: "+CUBK:CubeName,-CUBK:ID".
//
// Keys are separated by commas (commas inside parentheses or quotes do not separate); each key is
// an optional "+" (ascending, the default) or "-" (descending) and an expression, usually a name.
// Blank text is the empty order; a blank key between commas is left out (a trailing comma is
// harmless). Keys compare by the rules of compareValues (value.h).
#pragma once

#include "runtime/expr/expression.h"

#include <string>
#include <string_view>
#include <vector>

namespace rt {

struct SortKey {
    std::string expression;  // trimmed, without its sign: "CUBK:CubeName"
    bool descending = false;
    bool isName = false;       // the expression is a single name (the table layer may map it to a field)
    std::size_t position = 0;  // 1-based character position of the key in the order text
};

// The keys without compiling them; an error for a sign without an expression.
ExprResult<std::vector<SortKey>> parseOrder(std::string_view text);

class Order {
public:
    Order() = default;
    // Every key's names must be bound now; errors carry positions in the whole order text.
    static ExprResult<Order> compile(std::string_view text, const Bindings& bindings = threadBindings());

    bool isEmpty() const noexcept { return keys_.empty(); }
    const std::string& text() const noexcept { return text_; }
    const std::vector<SortKey>& keys() const noexcept { return keys_; }

    // The keys' values for the current record (texts are the vector's own).
    ExprResult<std::vector<Value>> keyValues(const Bindings& bindings = threadBindings()) const;
    // <0 when the record with key values a sorts before the one with b, 0 when equal, >0 after.
    int compare(const std::vector<Value>& a, const std::vector<Value>& b) const;

private:
    std::string text_;
    std::vector<SortKey> keys_;
    std::vector<Expression> expressions_;
};

}  // namespace rt
