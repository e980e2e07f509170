// Reading expression text into the compiled form.
#include "runtime/expr/program.h"

#include "runtime/text/strings.h"

#include <fmt/core.h>

#include <algorithm>
#include <optional>

namespace rt::expr_detail {

namespace {

// Deeper nesting is refused, so that neither parsing nor evaluation can run out of stack.
constexpr int kMaxDepth = 200;

enum class Tok : std::uint8_t {
    End,
    Number,
    String,
    Name,
    Picture,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Plus,
    Minus,
    Star,
    Slash,
    LParen,
    RParen,
    Comma,
    And,
    Or
};

struct Token {
    Tok kind = Tok::End;
    std::uint32_t pos = 0;  // byte offset
    std::string_view raw;   // as written
    std::string text;       // a string's contents (quotes undone)
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == ':'; }

class Parser {
public:
    Parser(std::string_view text, Program& program, ExprError& error) : text_(text), p_(program), error_(error) {}

    bool run() {
        if (!next()) return false;
        if (tok_.kind == Tok::End) return fail(0, "Expression is empty");
        std::uint32_t root;
        if (!parseOr(root)) return false;
        if (tok_.kind != Tok::End) return unexpected();
        p_.root = fold(root);
        return true;
    }

private:
    // ---- Tokens ----

    bool fail(std::size_t byteOffset, std::string message) {
        error_.position = charPosition(text_, byteOffset);
        error_.message = std::move(message);
        return false;
    }

    bool unexpected() {
        switch (tok_.kind) {
        case Tok::End: return fail(tok_.pos, "Unexpected end of expression");
        case Tok::Name: return fail(tok_.pos, fmt::format("Unexpected name '{}'", tok_.raw));
        case Tok::Number: return fail(tok_.pos, fmt::format("Unexpected number {}", tok_.raw));
        case Tok::String: return fail(tok_.pos, fmt::format("Unexpected text {}", tok_.raw));
        default: return fail(tok_.pos, fmt::format("Unexpected '{}'", tok_.raw));
        }
    }

    bool next() {
        std::size_t i = at_;
        while (i < text_.size() && isSpace(text_[i])) ++i;
        tok_ = Token{};
        tok_.pos = static_cast<std::uint32_t>(i);
        if (i == text_.size()) {
            at_ = i;
            return true;
        }
        const char c = text_[i];
        std::size_t end = i + 1;
        auto two = [&](char second) { return i + 1 < text_.size() && text_[i + 1] == second; };
        if (c == '\'') {
            std::string s;
            std::size_t j = i + 1;
            for (;;) {
                if (j >= text_.size()) return fail(i, "Missing closing quote");
                if (text_[j] == '\'') {
                    if (j + 1 < text_.size() && text_[j + 1] == '\'') {
                        s.push_back('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                s.push_back(text_[j++]);
            }
            tok_.kind = Tok::String;
            tok_.text = std::move(s);
            end = j + 1;
        } else if (isDigit(c) || (c == '.' && i + 1 < text_.size() && isDigit(text_[i + 1]))) {
            std::size_t j = i;
            while (j < text_.size() && isDigit(text_[j])) ++j;
            if (j < text_.size() && text_[j] == '.') {
                ++j;
                while (j < text_.size() && isDigit(text_[j])) ++j;
            }
            tok_.kind = Tok::Number;
            end = j;
        } else if (isNameStart(c)) {
            std::size_t j = i;
            while (j < text_.size() && isNameChar(text_[j])) ++j;
            const std::string_view word = text_.substr(i, j - i);
            if (equalsNoCase(word, "AND"))
                tok_.kind = Tok::And;
            else if (equalsNoCase(word, "OR"))
                tok_.kind = Tok::Or;
            else
                tok_.kind = Tok::Name;
            end = j;
        } else if (c == '@') {
            end = pictureEnd(i);
            tok_.kind = Tok::Picture;
            if (end == i + 1) return fail(i, "Picture expected after '@'");
        } else if (c == '<' && two('>')) {
            tok_.kind = Tok::Ne;
            end = i + 2;
        } else if (c == '<' && two('=')) {
            tok_.kind = Tok::Le;
            end = i + 2;
        } else if (c == '>' && two('=')) {
            tok_.kind = Tok::Ge;
            end = i + 2;
        } else {
            switch (c) {
            case '=': tok_.kind = Tok::Eq; break;
            case '<': tok_.kind = Tok::Lt; break;
            case '>': tok_.kind = Tok::Gt; break;
            case '+': tok_.kind = Tok::Plus; break;
            case '-': tok_.kind = Tok::Minus; break;
            case '*': tok_.kind = Tok::Star; break;
            case '/': tok_.kind = Tok::Slash; break;
            case '(': tok_.kind = Tok::LParen; break;
            case ')': tok_.kind = Tok::RParen; break;
            case ',': tok_.kind = Tok::Comma; break;
            default: {
                const std::size_t len = std::max<std::size_t>(1, byteOffsetOfChar(text_.substr(i), 1));
                return fail(i, fmt::format("Unexpected character '{}'", text_.substr(i, len)));
            }
            }
        }
        tok_.raw = text_.substr(i, end - i);
        at_ = end;
        return true;
    }

    // A picture runs to a blank, a comma or an unmatched ")"; a pattern "@p...p" to its closing p.
    std::size_t pictureEnd(std::size_t i) const {
        std::size_t j = i + 1;
        if (j < text_.size() && (text_[j] == 'p' || text_[j] == 'P')) {
            const std::size_t close = text_.find_first_of("pP", j + 1);
            if (close != std::string_view::npos) return close + 1;
        }
        int depth = 0;
        while (j < text_.size()) {
            const char c = text_[j];
            if (isSpace(c) || c == ',') break;
            if (c == '(') ++depth;
            if (c == ')') {
                if (depth == 0) break;
                --depth;
            }
            ++j;
        }
        return j;
    }

    // ---- Nodes ----

    std::uint32_t add(Op op, std::uint32_t pos, std::initializer_list<std::uint32_t> operands) {
        return add(op, pos, std::vector<std::uint32_t>(operands));
    }

    std::uint32_t add(Op op, std::uint32_t pos, const std::vector<std::uint32_t>& operands) {
        Node n;
        n.op = op;
        n.pos = pos;
        n.first = static_cast<std::uint32_t>(p_.kids.size());
        n.count = static_cast<std::uint32_t>(operands.size());
        int d = 0;
        for (auto k : operands) {
            p_.kids.push_back(k);
            d = std::max(d, depth_[k]);
        }
        p_.nodes.push_back(std::move(n));
        depth_.push_back(d + 1);
        return static_cast<std::uint32_t>(p_.nodes.size() - 1);
    }

    std::uint32_t addLiteral(Value v, std::uint32_t pos) {
        Node n;
        n.op = Op::Literal;
        n.pos = pos;
        n.literal = std::move(v.detach());
        p_.nodes.push_back(std::move(n));
        depth_.push_back(1);
        return static_cast<std::uint32_t>(p_.nodes.size() - 1);
    }

    bool tooDeep(std::uint32_t node) {
        if (depth_[node] <= kMaxDepth) return false;
        fail(p_.nodes[node].pos, "Expression too deeply nested");
        return true;
    }

    // ---- Grammar ----

    bool parseOr(std::uint32_t& out) { return parseChain(Tok::Or, Op::Or, out); }
    bool parseAnd(std::uint32_t& out) { return parseChain(Tok::And, Op::And, out); }

    bool parseChain(Tok tok, Op op, std::uint32_t& out) {
        const std::uint32_t pos = tok_.pos;
        std::uint32_t first;
        if (!(tok == Tok::Or ? parseAnd(first) : parseCompare(first))) return false;
        if (tok_.kind != tok) {
            out = first;
            return true;
        }
        std::vector<std::uint32_t> terms{first};
        while (tok_.kind == tok) {
            if (!next()) return false;
            std::uint32_t term;
            if (!(tok == Tok::Or ? parseAnd(term) : parseCompare(term))) return false;
            terms.push_back(term);
        }
        out = add(op, pos, terms);
        return !tooDeep(out);
    }

    static std::optional<Op> compareOp(Tok t) {
        switch (t) {
        case Tok::Eq: return Op::Eq;
        case Tok::Ne: return Op::Ne;
        case Tok::Lt: return Op::Lt;
        case Tok::Gt: return Op::Gt;
        case Tok::Le: return Op::Le;
        case Tok::Ge: return Op::Ge;
        default: return std::nullopt;
        }
    }

    bool parseCompare(std::uint32_t& out) {
        if (!parseSum(out)) return false;
        while (auto op = compareOp(tok_.kind)) {
            const std::uint32_t pos = tok_.pos;
            if (!next()) return false;
            std::uint32_t right;
            if (!parseSum(right)) return false;
            out = add(*op, pos, {out, right});
            if (tooDeep(out)) return false;
        }
        return true;
    }

    bool parseSum(std::uint32_t& out) {
        if (!parseProduct(out)) return false;
        while (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus) {
            const Op op = tok_.kind == Tok::Plus ? Op::Add : Op::Sub;
            const std::uint32_t pos = tok_.pos;
            if (!next()) return false;
            std::uint32_t right;
            if (!parseProduct(right)) return false;
            out = add(op, pos, {out, right});
            if (tooDeep(out)) return false;
        }
        return true;
    }

    bool parseProduct(std::uint32_t& out) {
        if (!parseUnary(out)) return false;
        while (tok_.kind == Tok::Star || tok_.kind == Tok::Slash) {
            const Op op = tok_.kind == Tok::Star ? Op::Mul : Op::Div;
            const std::uint32_t pos = tok_.pos;
            if (!next()) return false;
            std::uint32_t right;
            if (!parseUnary(right)) return false;
            out = add(op, pos, {out, right});
            if (tooDeep(out)) return false;
        }
        return true;
    }

    bool parseUnary(std::uint32_t& out) {
        if (tok_.kind != Tok::Minus && tok_.kind != Tok::Plus) return parsePrimary(out);
        const bool negate = tok_.kind == Tok::Minus;
        const std::uint32_t pos = tok_.pos;
        if (++nesting_ > kMaxDepth) return fail(pos, "Expression too deeply nested");
        if (!next()) return false;
        std::uint32_t operand;
        if (!parseUnary(operand)) return false;
        --nesting_;
        if (!negate) {
            // A plus sign only makes the operand a number.
            out = add(Op::Add, pos, {addLiteral(Value::ofInt(0), pos), operand});
        } else {
            out = add(Op::Neg, pos, {operand});
        }
        return !tooDeep(out);
    }

    bool parsePrimary(std::uint32_t& out) {
        const Token t = tok_;
        switch (t.kind) {
        case Tok::Number: {
            DecimalValue n;
            if (!readNumber(t.raw, n)) return fail(t.pos, fmt::format("Number out of range: {}", t.raw));
            out = addLiteral(Value::ofNumber(n), t.pos);
            return next();
        }
        case Tok::String: out = addLiteral(Value::ofText(t.text), t.pos); return next();
        case Tok::Name: {
            if (!next()) return false;
            if (tok_.kind == Tok::LParen) return parseCall(t, out);
            out = addName(t);
            return true;
        }
        case Tok::LParen: {
            if (++nesting_ > kMaxDepth) return fail(t.pos, "Expression too deeply nested");
            if (!next()) return false;
            if (!parseOr(out)) return false;
            if (tok_.kind == Tok::End) return fail(t.pos, "Missing closing parenthesis");
            if (tok_.kind != Tok::RParen) return unexpected();
            --nesting_;
            return next();
        }
        case Tok::Picture: return fail(t.pos, fmt::format("A picture ({}) stands only as a function argument", t.raw));
        case Tok::End: return fail(t.pos, "Operand missing at the end of the expression");
        default: return unexpected();
        }
    }

    std::uint32_t addName(const Token& t) {
        std::uint32_t index = 0;
        for (; index < p_.names.size(); ++index)
            if (equalsNoCase(p_.names[index].name, t.raw)) break;
        if (index == p_.names.size()) p_.names.push_back(NameRef{std::string(t.raw), t.pos});
        Node n;
        n.op = Op::Name;
        n.pos = t.pos;
        n.name = index;
        p_.nodes.push_back(std::move(n));
        depth_.push_back(1);
        return static_cast<std::uint32_t>(p_.nodes.size() - 1);
    }

    bool parseCall(const Token& name, std::uint32_t& out) {
        struct Function {
            std::string_view name;
            Op op;
            std::uint32_t minArgs, maxArgs;
        };
        static constexpr Function kFunctions[] = {
            {"UPPER", Op::Upper, 1, 1},
            {"INSTRING", Op::Instring, 2, 4},
            {"DEFORMAT", Op::Deformat, 2, 2},
        };
        const Function* f = nullptr;
        for (const auto& candidate : kFunctions)
            if (equalsNoCase(candidate.name, name.raw)) f = &candidate;
        if (!f) return fail(name.pos, fmt::format("Unknown function '{}'", name.raw));

        const std::uint32_t open = tok_.pos;
        if (++nesting_ > kMaxDepth) return fail(open, "Expression too deeply nested");
        if (!next()) return false;
        std::vector<std::uint32_t> args;
        if (tok_.kind != Tok::RParen) {
            for (;;) {
                std::uint32_t arg;
                if (tok_.kind == Tok::Picture) {
                    arg = addLiteral(Value::ofText(std::string(tok_.raw)), tok_.pos);
                    if (!next()) return false;
                } else if (!parseOr(arg)) {
                    return false;
                }
                args.push_back(arg);
                if (tok_.kind == Tok::Comma) {
                    if (!next()) return false;
                    continue;
                }
                if (tok_.kind == Tok::RParen) break;
                if (tok_.kind == Tok::End) return fail(open, "Missing closing parenthesis");
                return unexpected();
            }
        }
        --nesting_;
        if (args.size() < f->minArgs || args.size() > f->maxArgs) {
            const std::string expected = f->minArgs == f->maxArgs ? fmt::format("{}", f->minArgs)
                                                                  : fmt::format("{} to {}", f->minArgs, f->maxArgs);
            return fail(name.pos, fmt::format("{} takes {} arguments, not {}", f->name, expected, args.size()));
        }
        out = add(f->op, name.pos, args);
        if (tooDeep(out)) return false;
        return next();
    }

    // ---- Constant parts ----

    // Works out every node whose operands are all literals; returns the node to use.
    std::uint32_t fold(std::uint32_t index) {
        Node& n = p_.nodes[index];
        if (n.op == Op::Literal || n.op == Op::Name) return index;
        bool allLiteral = true;
        for (std::uint32_t k = 0; k < n.count; ++k) {
            std::uint32_t& kid = p_.kids[n.first + k];
            kid = fold(kid);
            if (p_.nodes[kid].op != Op::Literal) allLiteral = false;
        }
        if (!allLiteral) return index;
        Value v;
        p_.eval(index, v);
        Node& folded = p_.nodes[index];  // eval did not grow nodes; the reference is still good
        folded.op = Op::Literal;
        folded.count = 0;
        folded.literal = std::move(v.detach());
        return index;
    }

    std::string_view text_;
    Program& p_;
    ExprError& error_;
    Token tok_;
    std::size_t at_ = 0;
    int nesting_ = 0;
    std::vector<int> depth_;
};

}  // namespace

std::size_t charPosition(std::string_view text, std::size_t byteOffset) {
    return charLength(text.substr(0, std::min(byteOffset, text.size()))) + 1;
}

bool parse(std::string_view text, Program& program, ExprError& error) {
    program = Program{};
    program.text = std::string(text);
    // Token views point into the program's own copy of the text.
    Parser parser(program.text, program, error);
    return parser.run();
}

bool Program::resolve(const Bindings& bindings, ExprError& error) const {
    targets.assign(names.size(), Bindings::Target{});
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!bindings.resolve(names[i].name, targets[i])) {
            error.position = charPosition(text, names[i].pos);
            error.message = fmt::format("Unknown name '{}'", names[i].name);
            generation = 0;
            return false;
        }
    }
    generation = bindings.generation();
    return true;
}

}  // namespace rt::expr_detail
