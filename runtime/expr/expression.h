// The application's expression language (filters of lists and views, the query builder, query by
// example). Not SQL.
//
//   literals     'text' (a doubled '' is one quote), 12, 12.5, .5; -x for negatives
//   names        bound fields and variables (bindings.h): CUBK:CubeName, QueryName
//   operators    * /  then  + -  then  = <> < > <= >=  then  AND  then  OR (any case), ( )
//   functions    UPPER(x)                   upper case (German letters folded); a number gives
//                                           its decimal text
//                INSTRING(sub, text[, step[, start]])
//                                           the step number (1-based; with step 1 the character
//                                           position) at which sub is found in text, looking from
//                                           character start on in steps of `step` characters;
//                                           0 when absent, for an empty sub and for step < 1
//                DEFORMAT(text, picture)    the value the text stands for under the picture: a
//                                           day number for date pictures, 0 for invalid input
//   pictures     @d6, @D17, @n-14.2, @s20 ... stand as function arguments (or as 'text')
//
// Comparisons, AND and OR give 1 or 0; value rules in value.h. Arithmetic reads texts as numbers
// (0 when not numeric); an overflow or a division by zero gives 0. Parts whose operands are all
// literals are worked out once when compiling.
//
// An expression is compiled once against the names bound at that time, then evaluated per record.
// Nothing here throws: bad syntax, an unknown function or an unknown name gives an ExprError with
// the character position (1-based) where it was found. A compiled expression may be evaluated by
// one thread at a time (it keeps the looked-up names); copy it for another thread.
#pragma once

#include "runtime/expr/bindings.h"
#include "runtime/expr/value.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace rt {

struct ExprError {
    std::size_t position = 0;  // 1-based character position in the expression; 0 when none
    std::string message;       // "Unknown name 'CUBK:Foo'"

    // "Unknown name 'CUBK:Foo' at position 12"
    std::string describe() const;
};

template <class T>
class ExprResult {
public:
    ExprResult(T value) : state_(std::move(value)) {}          // NOLINT(implicit)
    ExprResult(ExprError error) : state_(std::move(error)) {}  // NOLINT(implicit)

    bool ok() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T valueOr(T fallback) const { return ok() ? std::get<0>(state_) : std::move(fallback); }

    const ExprError& error() const {
        assert(!ok());
        return std::get<1>(state_);
    }

private:
    std::variant<T, ExprError> state_;
};

namespace expr_detail {
struct Program;
}

class Expression {
public:
    Expression();
    ~Expression();
    Expression(const Expression& other);
    Expression& operator=(const Expression& other);
    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;

    // Every name must be bound in `bindings` now. Blank text is an error ("Expression is empty").
    static ExprResult<Expression> compile(std::string_view text, const Bindings& bindings = threadBindings());

    // The value for the bound names' current contents. A name unbound since compiling is an
    // error; texts in the result are the result's own.
    ExprResult<Value> evaluate(const Bindings& bindings = threadBindings()) const;
    // True when the value is non-zero.
    ExprResult<bool> test(const Bindings& bindings = threadBindings()) const;

    const std::string& text() const noexcept;
    // The names it uses, as first written.
    std::vector<std::string> names() const;
    bool isCompiled() const noexcept { return program_ != nullptr; }

private:
    bool refresh(const Bindings& bindings, ExprError& error) const;
    void run(Value& out) const;

    std::unique_ptr<expr_detail::Program> program_;
};

// A filter for views and lists: blank text lets every record pass.
class Filter {
public:
    Filter() = default;
    static ExprResult<Filter> compile(std::string_view text, const Bindings& bindings = threadBindings());

    bool isEmpty() const noexcept { return !expression_.isCompiled(); }
    const std::string& text() const noexcept { return text_; }
    // Whether the current record passes.
    ExprResult<bool> matches(const Bindings& bindings = threadBindings()) const;

private:
    std::string text_;
    Expression expression_;
};

// For views that take filter texts: a predicate over the calling thread's bindings, or an empty
// function and the error's text (ExprError::describe) when the text is rejected. A record whose
// evaluation fails (a name unbound since) does not pass. Blank text passes every record.
std::function<bool()> compileFilterPredicate(std::string_view text, std::string& error);

// Compiles and evaluates once.
ExprResult<Value> evaluateText(std::string_view text, const Bindings& bindings = threadBindings());

// A text as a literal of the language, its quotes doubled: O'Brien -> 'O''Brien'. For callers that
// put a user's text into a filter.
std::string quoteLiteral(std::string_view text);

}  // namespace rt
