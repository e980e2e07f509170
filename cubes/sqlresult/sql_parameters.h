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

// A text or date answer for every occurrence of placeholder in target:
// - empty: target is cut before its first "WHERE" (when it has one), the placeholder removed;
// - "from;to": " BETWEEN 'from' AND 'to'", and the comparison operator directly in front of
//   each placeholder goes;
// - anything else: the answer quoted.
// Single quotes inside the answer are doubled. The result is cut to width characters, trailing
// blanks removed. No result when the answer holds the placeholder itself: it would come back
// with every replacement. A target that itself stands inside a quoted text (a cross tab's from
// expression, `nested`) gets its quotes doubled once more: ''answer'', the answer's own ''''.
std::optional<std::string> FillTextAnswer(std::string_view target, std::string_view placeholder,
                                          std::string_view answer, std::size_t width, bool nested = false);

// A number answer: the answer as a whole number (0 when it is none) for every occurrence.
std::string FillNumberAnswer(std::string_view target, std::string_view placeholder, std::string_view answer,
                             std::size_t width);

// The cross tab's call of the server procedure: six lines with the five parts, each between the
// quotes of its text parameter as the definition stores it (its quotes already doubled).
std::string CrossTabStatement(std::string_view rowValue, std::string_view colValue, std::string_view aggregate,
                              std::string_view fromExpression, std::string_view title);

// Text with every single quote doubled.
std::string DoubleQuotes(std::string_view text);
