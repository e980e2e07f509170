// The compiled form of an expression (internal to rt_expr).
#pragma once

#include "runtime/expr/bindings.h"
#include "runtime/expr/expression.h"
#include "runtime/expr/value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rt::expr_detail {

enum class Op : std::uint8_t {
    Literal,
    Name,
    Neg,
    Add,
    Sub,
    Mul,
    Div,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    And,
    Or,
    Upper,
    Instring,
    Deformat
};

struct Node {
    Op op = Op::Literal;
    std::uint32_t first = 0;  // operands: kids[first .. first + count)
    std::uint32_t count = 0;
    std::uint32_t name = 0;       // Op::Name: index into names and targets
    std::uint32_t pos = 0;        // byte offset in the text
    Value literal;                // Op::Literal: always owns its text
    mutable std::string scratch;  // text results of this node, reused from record to record
};

struct NameRef {
    std::string name;
    std::uint32_t pos = 0;
};

struct Program {
    std::string text;
    std::vector<Node> nodes;
    std::vector<std::uint32_t> kids;
    std::uint32_t root = 0;
    std::vector<NameRef> names;

    // The names looked up for the bindings of `generation`.
    mutable std::vector<Bindings::Target> targets;
    mutable std::uint64_t generation = 0;

    bool resolve(const Bindings& bindings, ExprError& error) const;
    void eval(std::uint32_t index, Value& out) const;
    const Value& operand(std::uint32_t index, Value& scratch) const;
};

// 1-based character position of a byte offset.
std::size_t charPosition(std::string_view text, std::size_t byteOffset);

// Parses text into program (names recorded, not yet resolved; constant parts folded).
bool parse(std::string_view text, Program& program, ExprError& error);

}  // namespace rt::expr_detail
