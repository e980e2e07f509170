#include "runtime/expr/expression.h"

#include "runtime/expr/program.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"

#include <fmt/core.h>

namespace rt {

namespace expr_detail {

namespace {

// ---- Functions ------------------------------------------------------------------------------

// Into the node's own buffer, so that a filter does not allocate per record. Plain ASCII is
// mapped here; any other text goes through the runtime's case rules.
void upperOf(const Value& v, std::string& buffer, Value& out) {
    if (v.isNumber()) {
        buffer = numberText(v.number());
    } else {
        const std::string_view t = v.text();
        buffer.resize(t.size());
        bool ascii = true;
        for (std::size_t i = 0; i < t.size(); ++i) {
            const char c = t[i];
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
            buffer[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        if (!ascii) buffer = upper(t);
    }
    out.setText(buffer);
}

std::int64_t positionOf(std::string_view sub, std::string_view text, std::int64_t step, std::int64_t start) {
    if (sub.empty() || step < 1) return 0;
    if (start < 1) start = 1;
    const std::size_t from = byteOffsetOfChar(text, static_cast<std::size_t>(start - 1));
    if (from >= text.size()) return 0;
    if (step == 1) {
        // UTF-8 cannot match in the middle of a character, so a byte search finds characters.
        const std::size_t at = text.find(sub, from);
        if (at == std::string_view::npos) return 0;
        return static_cast<std::int64_t>(charLength(text.substr(0, at))) + 1;
    }
    const std::size_t subChars = charLength(sub);
    const std::size_t textChars = charLength(text);
    for (auto p = static_cast<std::size_t>(start); p + subChars - 1 <= textChars; p += static_cast<std::size_t>(step)) {
        const std::size_t at = byteOffsetOfChar(text, p - 1);
        if (text.substr(at, sub.size()) == sub)
            return static_cast<std::int64_t>((p - 1) / static_cast<std::size_t>(step)) + 1;
    }
    return 0;
}

void deformatOf(const Value& text, const Value& picture, Value& out) {
    PictureValue v = deformatPicture(text.toText(), picture.toText());
    if (v.isText)
        out.setOwnedText(std::move(v.text));
    else
        out.setNumber(v.number);
}

bool compareHolds(Op op, int c) {
    switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    case Op::Ge: return c >= 0;
    default: return false;
    }
}

}  // namespace

// Literals are used in place; everything else is worked out into the scratch value.
const Value& Program::operand(std::uint32_t index, Value& scratch) const {
    const Node& n = nodes[index];
    if (n.op == Op::Literal) return n.literal;
    eval(index, scratch);
    return scratch;
}

void Program::eval(std::uint32_t index, Value& out) const {
    const Node& n = nodes[index];
    const std::uint32_t* kid = kids.data() + n.first;
    switch (n.op) {
    case Op::Literal:
        if (n.literal.isNumber())
            out.setNumber(n.literal.number());
        else
            out.setText(n.literal.text());
        return;
    case Op::Name: targets[n.name].readValue(out); return;
    case Op::Neg: {
        Value a;
        out.setNumber(-operand(kid[0], a).toNumber());
        return;
    }
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
    case Op::Div: {
        Value a, b;
        const DecimalValue x = operand(kid[0], a).toNumber();
        const DecimalValue y = operand(kid[1], b).toNumber();
        switch (n.op) {
        case Op::Add: out.setNumber(x + y); break;
        case Op::Sub: out.setNumber(x - y); break;
        case Op::Mul: out.setNumber(x * y); break;
        default: out.setNumber(y.isZero() ? DecimalValue() : (x / y).normalized()); break;
        }
        return;
    }
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Gt:
    case Op::Le:
    case Op::Ge: {
        Value a, b;
        const int c = compareValues(operand(kid[0], a), operand(kid[1], b));
        out.setInt(compareHolds(n.op, c) ? 1 : 0);
        return;
    }
    case Op::And:
    case Op::Or: {
        const bool isAnd = n.op == Op::And;
        Value a;
        for (std::uint32_t k = 0; k < n.count; ++k) {
            if (operand(kid[k], a).isTrue() != isAnd) {
                out.setInt(isAnd ? 0 : 1);
                return;
            }
        }
        out.setInt(isAnd ? 1 : 0);
        return;
    }
    case Op::Upper: {
        Value a;
        upperOf(operand(kid[0], a), n.scratch, out);
        return;
    }
    case Op::Instring: {
        Value s, t, st, from;
        const Value& sub = operand(kid[0], s);
        const Value& text = operand(kid[1], t);
        const std::int64_t step = n.count > 2 ? operand(kid[2], st).toNumber().toInt64() : 1;
        const std::int64_t start = n.count > 3 ? operand(kid[3], from).toNumber().toInt64() : 1;
        std::string subText, textText;
        const std::string_view subView = sub.isText() ? sub.text() : std::string_view(subText = sub.toText());
        const std::string_view textView = text.isText() ? text.text() : std::string_view(textText = text.toText());
        out.setInt(positionOf(subView, textView, step, start));
        return;
    }
    case Op::Deformat: {
        Value a, b;
        const Value& text = operand(kid[0], a);
        const Value& picture = operand(kid[1], b);
        deformatOf(text, picture, out);
        return;
    }
    }
}

}  // namespace expr_detail

using expr_detail::Program;

std::string ExprError::describe() const {
    if (position == 0) return message;
    return fmt::format("{} at position {}", message, position);
}

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Expression::Expression(const Expression& other)
    : program_(other.program_ ? std::make_unique<Program>(*other.program_) : nullptr) {}

Expression& Expression::operator=(const Expression& other) {
    if (this != &other) program_ = other.program_ ? std::make_unique<Program>(*other.program_) : nullptr;
    return *this;
}

ExprResult<Expression> Expression::compile(std::string_view text, const Bindings& bindings) {
    auto program = std::make_unique<Program>();
    ExprError error;
    if (!expr_detail::parse(text, *program, error)) return error;
    if (!program->resolve(bindings, error)) return error;
    Expression e;
    e.program_ = std::move(program);
    return e;
}

bool Expression::refresh(const Bindings& bindings, ExprError& error) const {
    if (program_->generation == bindings.generation()) return true;
    return program_->resolve(bindings, error);
}

void Expression::run(Value& out) const { program_->eval(program_->root, out); }

ExprResult<Value> Expression::evaluate(const Bindings& bindings) const {
    assert(program_ && "evaluate() on an expression that was never compiled");
    if (!program_) return ExprError{0, "Expression is empty"};
    ExprError error;
    if (!refresh(bindings, error)) return error;
    Value out;
    run(out);
    out.detach();
    return out;
}

ExprResult<bool> Expression::test(const Bindings& bindings) const {
    assert(program_ && "test() on an expression that was never compiled");
    if (!program_) return ExprError{0, "Expression is empty"};
    ExprError error;
    if (!refresh(bindings, error)) return error;
    Value out;
    run(out);
    return out.isTrue();
}

const std::string& Expression::text() const noexcept {
    static const std::string none;
    return program_ ? program_->text : none;
}

std::vector<std::string> Expression::names() const {
    std::vector<std::string> out;
    if (program_)
        for (const auto& n : program_->names) out.push_back(n.name);
    return out;
}

ExprResult<Filter> Filter::compile(std::string_view text, const Bindings& bindings) {
    Filter f;
    f.text_ = std::string(text);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return f;
    auto e = Expression::compile(text, bindings);
    if (!e) return e.error();
    f.expression_ = std::move(e).value();
    return f;
}

ExprResult<bool> Filter::matches(const Bindings& bindings) const {
    if (isEmpty()) return true;
    return expression_.test(bindings);
}

std::function<bool()> compileFilterPredicate(std::string_view text, std::string& error) {
    auto filter = Filter::compile(text);
    if (!filter) {
        error = filter.error().describe();
        return {};
    }
    return [f = std::move(filter).value()] {
        auto r = f.matches();
        return r.ok() && r.value();
    };
}

ExprResult<Value> evaluateText(std::string_view text, const Bindings& bindings) {
    auto e = Expression::compile(text, bindings);
    if (!e) return e.error();
    return e.value().evaluate(bindings);
}

std::string quoteLiteral(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    for (char c : text) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

}  // namespace rt
