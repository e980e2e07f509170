// Filling the placeholders of a SQL statement or of a cross tab's from expression with the
// user's answers, and the EXECUTE statement of a cross tab. Statements sent through the ODBC
// data sets are never parameterised, so every answer is quoted here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kNumberParameter = "#nParameter#";
inline constexpr std::string_view kTextParameter = "#cParameter#";
inline constexpr std::string_view kDateParameter = "#dParameter#";

// Widths the filled-in texts are cut to: the query box, a cross tab's from expression.
inline constexpr std::size_t kQueryWidth = 8000;
inline constexpr std::size_t kFromExpressionWidth = 100;

// True when text holds placeholder, compared in upper case.
bool HasPlaceholder(std::string_view text, std::string_view placeholder);

// The answers given to the placeholders of a target text; a placeholder without one stays.
struct SqlAnswers {
    std::optional<std::string> number = {};  // "#nParameter#"
    std::optional<std::string> text = {};    // "#cParameter#"
    std::optional<std::string> date = {};    // "#dParameter#": a date or from;to in the system's short form
    // The target itself stands inside a quoted text (a cross tab's from expression): a text
    // answer's quotes are doubled once more, ''answer'', the answer's own quotes as ''''.
    bool nested = false;
};

// The target cut before its first "WHERE" (searched in upper case), as an empty text or date
// answer leaves it.
std::string WithoutCondition(std::string_view target);

// Every answer put into target in one pass over it as written, so that no answer is searched
// again, whatever it holds:
// - number: the answer as a whole number (0 when it is none);
// - text or date, empty: target is cut before its first "WHERE" and the placeholder removed;
// - "from;to": " BETWEEN from AND to", the comparison operator directly in front of each
//   placeholder going;
// - anything else: the answer quoted, its single quotes doubled.
// Dates (in the system's short form) are written as the back end behind connect reads them
// alike. The result is cut to width characters, trailing blanks removed.
std::string FillAnswers(std::string_view target, const SqlAnswers& answers, std::size_t width,
                        std::string_view connect);

// A number answer as it goes into SQL: the answer as a whole number, 0 when it is none.
std::string NumberAnswerText(std::string_view answer);

// The cross tab's call of the server procedure: six lines with the five parts, each between the
// quotes of its text parameter as the definition stores it (its quotes already doubled).
std::string CrossTabStatement(std::string_view rowValue, std::string_view colValue, std::string_view aggregate,
                              std::string_view fromExpression, std::string_view title);

// Text with every single quote doubled.
std::string DoubleQuotes(std::string_view text);
