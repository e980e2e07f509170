// The window "SQL-Query-Ergebnis" / "CrossTab-Ergebnis": free or saved SQL statements, or a
// cross tab through the server's procedure, run on the client's database into a list.
#pragma once

#include <string>

// mode "1": the cross-tab mode; anything else the SQL query mode. The frame starts it on a
// thread of its own. Each window keeps its own connection and result.
void SQLQueryResult_N(const std::string& mode);

// Controls (for tests through the display).
namespace sqlresult {
enum Control {
    QueryPrompt = 1,
    QueryBox,
    Read,
    Run,
    Results,
    Csv,
    QueryText,
    Elapsed,
    ChooseFile,
    FileName,
    CrossTabData,
};
inline constexpr const char* kProcedure = "SQLQueryResult_N";
inline constexpr const char* kQueryTitle = "SQL-Query-Ergebnis";
inline constexpr const char* kCrossTabTitle = "CrossTab-Ergebnis";
}  // namespace sqlresult
