#include "cubes/sqlresult/sql_parameters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/helpers/text_helpers.h"
#include "runtime/text/strings.h"

namespace {

std::string finish(std::string text, std::size_t width) { return std::string(rt::clip(rt::cutChars(text, width))); }

std::string quoted(std::string_view value, bool nested = false) {
    if (nested) return "''" + DoubleQuotes(DoubleQuotes(rt::clip(value))) + "''";
    return "'" + DoubleQuotes(rt::clip(value)) + "'";
}

// The value of a text or date answer that is not empty.
PlaceholderValue answerValue(std::string_view placeholder, std::string_view given, bool dates, bool nested,
                             std::string_view connect) {
    auto literal = [&](std::string_view text) {
        if (dates && !nested) {
            if (std::optional<std::string> date = DateAnswerLiteral(text, connect)) return *date;
        }
        return quoted(text, nested);
    };
    const std::size_t semicolon = given.find(';');
    if (semicolon == std::string_view::npos) return {placeholder, literal(given)};
    const std::string from(rt::clip(rt::cutChars(given.substr(0, semicolon), 30)));
    const std::string to(rt::clip(rt::cutChars(given.substr(semicolon + 1), 30)));
    return {placeholder, " BETWEEN " + literal(from) + " AND " + literal(to), true};
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
    return rt::upper(text).find(rt::upper(placeholder)) != std::string::npos;
}

std::string WithoutCondition(std::string_view target) {
    std::string text(rt::clip(target));
    const std::size_t where = rt::upper(text).find("WHERE");
    if (where != std::string::npos) text.erase(where);
    return text;
}

std::string FillAnswers(std::string_view target, const SqlAnswers& answers, std::size_t width,
                        std::string_view connect) {
    std::string text(rt::clip(target));
    std::vector<PlaceholderValue> values;
    if (answers.number) values.push_back({kNumberParameter, NumberAnswerText(*answers.number)});
    auto textOrDate = [&](std::string_view placeholder, const std::optional<std::string>& answer, bool dates) {
        if (!answer || !HasPlaceholder(text, placeholder)) return;
        const std::string_view given = rt::clip(*answer);
        if (given.empty()) {
            text = WithoutCondition(text);
            values.push_back({placeholder, ""});
        } else {
            values.push_back(answerValue(placeholder, given, dates, answers.nested, connect));
        }
    };
    textOrDate(kTextParameter, answers.text, false);
    textOrDate(kDateParameter, answers.date, true);
    return finish(FillPlaceholders(text, values), width);
}

std::string NumberAnswerText(std::string_view answer) {
    // Read as every number box reads it ("3,9" is 3.9, "12abc" no number and 0), then written as a
    // whole number: the fraction is cut off.
    double number = std::trunc(ReadNumberAnswer(answer));
    if (number == 0) number = 0;  // no "-0"
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", number);
    return text;
}

std::string CrossTabStatement(std::string_view rowValue, std::string_view colValue, std::string_view aggregate,
                              std::string_view fromExpression, std::string_view title) {
    auto part = [](std::string_view value) { return std::string(rt::clip(value)); };
    return "EXECUTE spVOQDynamicCrossTab \r\n@RowValue='" + part(rowValue) + "', \r\n@ColValue='" + part(colValue) +
           "', \r\n@Aggregate='" + part(aggregate) + "', \r\n@FromExpression='" + part(fromExpression) +
           "', \r\n@Title='" + part(title) + "'";
}
