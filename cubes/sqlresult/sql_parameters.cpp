#include "cubes/sqlresult/sql_parameters.h"

#include <cstdlib>

#include "core/helpers/text_helpers.h"
#include "runtime/text/strings.h"

namespace {

// Byte positions of placeholder in text, compared in upper case (upper() keeps byte lengths).
std::size_t findUpper(const std::string& text, std::string_view placeholder, std::size_t from) {
    return rt::upper(text).find(rt::upper(placeholder), from);
}

std::string finish(std::string text, std::size_t width) { return std::string(rt::clip(rt::cutChars(text, width))); }

std::string quoted(std::string_view value, bool nested) {
    if (nested) return "''" + DoubleQuotes(DoubleQuotes(rt::clip(value))) + "''";
    return "'" + DoubleQuotes(rt::clip(value)) + "'";
}

// Removes the comparison operator (and the blanks after it) directly in front of every
// occurrence of placeholder, so that a BETWEEN can take its place.
std::string dropComparisons(std::string text, std::string_view placeholder) {
    std::size_t p = findUpper(text, placeholder, 0);
    while (p != std::string::npos) {
        std::size_t end = p;
        while (end > 0 && text[end - 1] == ' ') --end;
        std::size_t begin = end;
        while (begin > 0 && (text[begin - 1] == '=' || text[begin - 1] == '<' || text[begin - 1] == '>')) --begin;
        if (begin < end) {
            text.erase(begin, p - begin);
            p = begin;
        }
        p = findUpper(text, placeholder, p + placeholder.size());
    }
    return text;
}

}  // namespace

std::string DoubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

bool HasPlaceholder(std::string_view text, std::string_view placeholder) {
    return findUpper(std::string(text), placeholder, 0) != std::string::npos;
}

std::optional<std::string> FillTextAnswer(std::string_view target, std::string_view placeholder,
                                          std::string_view answer, std::size_t width, bool nested) {
    std::string text(rt::clip(target));
    if (!HasPlaceholder(text, placeholder)) return finish(text, width);
    const std::string_view given = rt::clip(answer);
    std::string value;
    if (given.empty()) {
        const std::size_t where = rt::upper(text).find("WHERE");
        if (where != std::string::npos) text.erase(where);
    } else if (const std::size_t semicolon = given.find(';'); semicolon != std::string_view::npos) {
        const std::string from(rt::clip(rt::cutChars(given.substr(0, semicolon), 30)));
        const std::string to(rt::clip(rt::cutChars(given.substr(semicolon + 1), 30)));
        value = " BETWEEN " + quoted(from, nested) + " AND " + quoted(to, nested);
        text = dropComparisons(text, placeholder);
    } else {
        value = quoted(given, nested);
    }
    // At the full width, as the box holds it; the replacement pads and cuts to it.
    const std::optional<std::string> filled = ReplaceString(value, placeholder, rt::padChars(text, width));
    if (!filled) return std::nullopt;
    return finish(*filled, width);
}

std::string FillNumberAnswer(std::string_view target, std::string_view placeholder, std::string_view answer,
                             std::size_t width) {
    const std::string given(rt::clip(rt::trimBlanks(answer)));
    char* end = nullptr;
    long long number = given.empty() ? 0 : std::strtoll(given.c_str(), &end, 10);
    // A fraction is cut off; anything else that is not a number counts as 0.
    if (end && *end != '\0' && *end != '.' && *end != ',') number = 0;
    // A number never holds the placeholder, so the replacement always ends.
    return finish(ReplaceString(std::to_string(number), placeholder, rt::padChars(target, width)).value_or(""), width);
}

std::string CrossTabStatement(std::string_view rowValue, std::string_view colValue, std::string_view aggregate,
                              std::string_view fromExpression, std::string_view title) {
    auto part = [](std::string_view value) { return std::string(rt::clip(value)); };
    return "EXECUTE spVOQDynamicCrossTab \r\n@RowValue='" + part(rowValue) + "', \r\n@ColValue='" + part(colValue) +
           "', \r\n@Aggregate='" + part(aggregate) + "', \r\n@FromExpression='" + part(fromExpression) +
           "', \r\n@Title='" + part(title) + "'";
}
