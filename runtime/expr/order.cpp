#include "runtime/expr/order.h"

#include "runtime/expr/program.h"

#include <cassert>

namespace rt {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isSingleName(std::string_view s) {
    if (s.empty()) return false;
    const auto c0 = static_cast<unsigned char>(s[0]);
    if (!((c0 >= 'A' && c0 <= 'Z') || (c0 >= 'a' && c0 <= 'z') || c0 == '_' || c0 >= 0x80)) return false;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
              c >= 0x80))
            return false;
    }
    return !equalsNoCase(s, "AND") && !equalsNoCase(s, "OR");
}

}  // namespace

namespace {

// The keys and the byte offset of each key's expression in the text.
ExprResult<std::vector<SortKey>> splitKeys(std::string_view text, std::vector<std::size_t>& starts) {
    std::vector<SortKey> keys;
    std::size_t i = 0;
    while (i <= text.size()) {
        // One key: up to a comma outside quotes and parentheses.
        std::size_t end = i;
        int depth = 0;
        bool quoted = false;
        while (end < text.size()) {
            const char c = text[end];
            if (c == '\'')
                quoted = !quoted;
            else if (!quoted && c == '(')
                ++depth;
            else if (!quoted && c == ')' && depth > 0)
                --depth;
            else if (!quoted && depth == 0 && c == ',')
                break;
            ++end;
        }
        std::size_t b = i, e = end;
        while (b < e && isSpace(text[b])) ++b;
        while (e > b && isSpace(text[e - 1])) --e;
        if (b < e) {
            SortKey key;
            key.position = expr_detail::charPosition(text, b);
            if (text[b] == '+' || text[b] == '-') {
                key.descending = text[b] == '-';
                ++b;
                while (b < e && isSpace(text[b])) ++b;
                if (b == e) return ExprError{key.position, "Sort key without a name"};
            }
            starts.push_back(b);
            key.expression = std::string(text.substr(b, e - b));
            key.isName = isSingleName(key.expression);
            keys.push_back(std::move(key));
        }
        i = end + 1;
    }
    return keys;
}

}  // namespace

ExprResult<std::vector<SortKey>> parseOrder(std::string_view text) {
    std::vector<std::size_t> starts;
    return splitKeys(text, starts);
}

ExprResult<Order> Order::compile(std::string_view text, const Bindings& bindings) {
    std::vector<std::size_t> starts;
    auto keys = splitKeys(text, starts);
    if (!keys) return keys.error();
    Order order;
    order.text_ = std::string(text);
    for (std::size_t k = 0; k < keys.value().size(); ++k) {
        auto e = Expression::compile(keys.value()[k].expression, bindings);
        if (!e) {
            // Positions within the key become positions within the whole order text.
            ExprError err = e.error();
            if (err.position > 0) err.position += expr_detail::charPosition(text, starts[k]) - 1;
            return err;
        }
        order.expressions_.push_back(std::move(e).value());
    }
    order.keys_ = std::move(keys).value();
    return order;
}

ExprResult<std::vector<Value>> Order::keyValues(const Bindings& bindings) const {
    std::vector<Value> values;
    values.reserve(expressions_.size());
    for (const Expression& e : expressions_) {
        auto v = e.evaluate(bindings);
        if (!v) return v.error();
        values.push_back(std::move(v).value());
    }
    return values;
}

int Order::compare(const std::vector<Value>& a, const std::vector<Value>& b) const {
    assert(a.size() == keys_.size() && b.size() == keys_.size());
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        const int c = compareValues(a[k], b[k]);
        if (c != 0) return keys_[k].descending ? -c : c;
    }
    return 0;
}

}  // namespace rt
