// The SQL statement the pivot viewer hands its control: a cube's query with its parameter
// answered, and the evaluation period added.
//
//   CubeParameterAsk ask{askText, askNumber, askDate};
//   CubeStatement s = PrepareCubeStatement(CUBK, GLO.StartParameter.get().clipped(), 2026, ask);
//   pivot.oleSet("GNRecordSource", s.recordSource());
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/dictionary/records.h"
#include "core/helpers/text_helpers.h"

// How the viewer asks for the answer to a placeholder: the message it shows goes in, the
// answer as typed comes back ("" when cancelled).
struct CubeParameterAsk {
    std::function<std::string(const std::string& message)> text;    // "#cParameter#"
    std::function<std::string(const std::string& message)> number;  // "#nParameter#"
    std::function<std::string(const std::string& message)> date;    // "#dParameter#": date or from;to
};

struct CubeStatement {
    std::string statement;      // from the short query
    std::string longStatement;  // from the long query
    bool useLong = false;       // the cube has a long query
    std::string clipboard;      // what the statement run puts on the clipboard

    const std::string& recordSource() const { return useLong ? longStatement : statement; }
};

// Prepares the cube's statement: from the start parameter when one is given, else from the long
// query when the cube has one, else from the short query. currentYear feeds the evaluation period;
// connect, the connect string the statement runs on, decides how dates are written.
CubeStatement PrepareCubeStatement(const VOQCubeKopfRecord& cube, std::string_view startParameter, int currentYear,
                                   const CubeParameterAsk& ask, std::string_view connect = {});

// The value an answer puts in place of placeholder: quoted with its quotes doubled, or, when it
// holds ";", " BETWEEN 'from' AND 'to'" replacing the comparison in front of the placeholder.
// With dates, each date in the system's short form is written as the back end behind connect
// reads it alike (other text stays as typed).
PlaceholderValue CubeAnswerValue(std::string_view placeholder, std::string_view answer, bool dates,
                                 std::string_view connect);

// The statement with the clause of the evaluation period (CUBK:Zeitraum) added.
std::string AddEvaluationPeriod(std::string_view statement, int zeitraum, int currentYear);

// Every occurrence of placeholder (any case) replaced in one pass, however long the result grows.
std::string ReplacePlaceholder(std::string_view statement, std::string_view placeholder, std::string_view value);

// Text between single quotes, its own quotes doubled.
std::string SqlQuoted(std::string_view text);
