#include "cubes/viewer/cube_statement.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "runtime/text/strings.h"

namespace {

bool contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

std::string joined(std::string_view query, std::string_view parameterText) {
    return std::string(rt::clip(query)) + " " + std::string(rt::clip(parameterText));
}

// The message of the parameter prompt: the general one, or one naming the cube's parameter.
std::string askMessage(const VOQCubeKopfRecord& cube, std::string_view general, std::string_view named) {
    if (cube.ParameterName.empty()) return std::string(general);
    return std::string(named) + std::string(cube.ParameterName.clipped()) + " ein";
}

std::string textMessage(const VOQCubeKopfRecord& cube) {
    return askMessage(cube, "Character Parameter eingeben", "Geben Sie einen Wert für ");
}

std::string numberMessage(const VOQCubeKopfRecord& cube) {
    return askMessage(cube, "Nummerischen Parameter eingeben", "Geben Sie einen nummerischen Wert für ");
}

std::string dateMessage(const VOQCubeKopfRecord& cube) {
    return askMessage(cube, "Geben Sie ein Datum/Datumsbereich ein", "Geben Sie einen Wert für ");
}

// A typed number; text that is no number reads 0.
double readNumber(std::string_view answer) {
    answer = rt::trimBlanks(answer);
    if (!answer.empty() && answer.front() == '+') answer.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(answer.data(), answer.data() + answer.size(), value);
    return ec == std::errc() && end == answer.data() + answer.size() ? value : 0.0;
}

// Up to 15 significant digits, no trailing point.
std::string numberText(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

std::string ask(const std::function<std::string(const std::string&)>& how, const std::string& message) {
    return how ? how(message) : std::string();
}

}  // namespace

std::string SqlQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::string ReplacePlaceholder(std::string_view statement, std::string_view placeholder, std::string_view value) {
    return FillPlaceholders(statement, {{placeholder, std::string(rt::clip(value))}});
}

PlaceholderValue CubeAnswerValue(std::string_view placeholder, std::string_view answer, bool dates,
                                 std::string_view connect) {
    // A date the date window gave goes in the form the back end reads alike; anything else as typed.
    auto literal = [&](std::string_view text) {
        if (dates) {
            if (std::optional<std::string> date = DateAnswerLiteral(text, connect)) return *date;
        }
        return SqlQuoted(text);
    };
    const std::size_t semicolon = answer.find(';');
    if (semicolon == std::string_view::npos) return {placeholder, literal(rt::clip(answer))};
    const std::string_view from = rt::clip(rt::cutChars(answer.substr(0, semicolon), 30));
    const std::string_view to = rt::clip(rt::cutChars(answer.substr(semicolon + 1), 30));
    return {placeholder, " BETWEEN " + literal(from) + " AND " + literal(to), true};
}

std::string AddEvaluationPeriod(std::string_view statement, int zeitraum, int currentYear) {
    std::string clause;
    switch (zeitraum) {
    case 1: clause = " Jahr='" + std::to_string(currentYear) + "'"; break;
    case 2: clause = " Jahr='" + std::to_string(currentYear - 1) + "'"; break;
    case 3: clause = " Jahr>='" + std::to_string(currentYear - 1) + "'"; break;
    default: break;
    }
    std::string work(rt::trimBlanks(statement));
    if (clause.empty()) return work;
    return work + (contains(rt::upper(work), "WHERE") ? " AND" : " WHERE") + clause;
}

CubeStatement PrepareCubeStatement(const VOQCubeKopfRecord& cube, std::string_view startParameter, int currentYear,
                                   const CubeParameterAsk& asker, std::string_view connect) {
    CubeStatement out;
    const std::string_view query = cube.Query.clipped();
    const std::string_view bigQuery = cube.BigQuery.clipped();
    const std::string_view parameterText = cube.QueryParameter.clipped();
    out.useLong = !bigQuery.empty();

    if (!rt::clip(startParameter).empty()) {
        // A start without a user at hand: the start parameter answers the text placeholder; a
        // cube asking for another one runs on its bare query.
        const std::string answer = SqlQuoted(rt::clip(startParameter));
        if (out.useLong) {
            out.longStatement = std::string(bigQuery);
            if (contains(parameterText, "cParameter"))
                out.longStatement = ReplacePlaceholder(out.longStatement, "#cParameter#", answer);
            out.clipboard = rt::upper(out.longStatement);
            return out;
        }
        if (contains(parameterText, "cParameter"))
            out.statement = ReplacePlaceholder(joined(query, parameterText), "#cParameter#", answer);
        else if (parameterText.empty() || contains(parameterText, "nParameter") ||
                 contains(parameterText, "dParameter"))
            out.statement = std::string(query);
        else
            out.statement = joined(query, parameterText);
        out.statement = AddEvaluationPeriod(out.statement, cube.Zeitraum, currentYear);
        out.clipboard = out.statement;
        return out;
    }

    // Every answer is asked first and all go in at once, so that no answer is searched again.
    std::vector<PlaceholderValue> values;
    if (out.useLong) {
        // The long query carries its placeholders itself; the parameter text only says which.
        if (contains(parameterText, "cParameter")) {
            const std::string answer = ask(asker.text, textMessage(cube));
            values.push_back({"#cParameter#", SqlQuoted(rt::clip(answer))});
        }
        if (contains(parameterText, "nParameter")) {
            const double number = readNumber(ask(asker.number, numberMessage(cube)));
            values.push_back({"#nParameter#", numberText(number)});
        }
        if (contains(parameterText, "dParameter")) {
            const std::string answer = ask(asker.date, dateMessage(cube));
            values.push_back(answer.empty() ? PlaceholderValue{"#dParameter#", "''"}
                                            : CubeAnswerValue("#dParameter#", answer, true, connect));
        }
        out.longStatement = FillPlaceholders(bigQuery, values);
        out.clipboard = rt::upper(out.longStatement);
        return out;
    }

    // Short query: the parameter text follows the query; each placeholder it holds is asked in
    // turn, and an empty answer (or a number 0) leaves the query without its condition.
    std::string work = parameterText.empty() ? std::string(query) : joined(query, parameterText);
    bool dropped = false;
    // A text or date answer; an empty one drops the condition.
    auto answerText = [&](std::string_view name, const std::function<std::string(const std::string&)>& how,
                          const std::string& message, bool dates) {
        if (dropped || !contains(parameterText, name)) return;
        const std::string answer = ask(how, message);
        if (rt::clip(answer).empty()) {
            dropped = true;
        } else {
            values.push_back(
                CubeAnswerValue(name == "cParameter" ? "#cParameter#" : "#dParameter#", answer, dates, connect));
        }
    };
    answerText("cParameter", asker.text, textMessage(cube), false);
    if (!dropped && contains(parameterText, "nParameter")) {
        const double number = readNumber(ask(asker.number, numberMessage(cube)));
        if (number == 0) {
            dropped = true;
        } else {
            values.push_back({"#nParameter#", numberText(number)});
        }
    }
    answerText("dParameter", asker.date, dateMessage(cube), true);
    work = dropped ? std::string(query) : FillPlaceholders(work, values);
    out.statement = AddEvaluationPeriod(work, cube.Zeitraum, currentYear);
    out.clipboard = out.statement;
    return out;
}
