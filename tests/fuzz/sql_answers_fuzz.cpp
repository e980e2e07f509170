// The answers put into SQL: the one-pass placeholder filling of the SQL results window and of
// the cube statement, with any bytes in statement and answers.
#include <cstddef>
#include <cstdint>

#include "core/helpers/text_helpers.h"
#include "cubes/sqlresult/sql_parameters.h"
#include "cubes/viewer/cube_statement.h"
#include "runtime/text/strings.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto p = fuzz::parts(data, size, 5);
    const std::string& statement = p[0];
    const char* connects[] = {"DRIVER=SQLite3;Database=x.db", "DRIVER=PostgreSQL Unicode;Database=x",
                              "DRIVER=SQL Server;SERVER=s;Database=x"};
    const char* connect = connects[p[4].empty() ? 0 : static_cast<unsigned char>(p[4][0]) % 3];

    // Case folding keeps every byte in its place, for any bytes.
    fuzz::require(rt::upper(statement).size() == statement.size());
    fuzz::require(rt::lower(statement).size() == statement.size());

    SqlAnswers answers;
    answers.text = p[1];
    answers.number = p[2];
    answers.date = p[3];
    const std::string filled = FillAnswers(statement, answers, kQueryWidth, connect);
    fuzz::require(rt::charLength(filled) <= kQueryWidth);
    FillAnswers(statement, {.text = p[1]}, kFromExpressionWidth, connect);

    // An answer is never searched again: a statement that is one placeholder becomes the value.
    fuzz::require(FillPlaceholders("#cParameter#", {{"#cParameter#", p[1]}, {"#dParameter#", "x"}}) == p[1]);

    VOQCubeKopfRecord cube;
    cube.Query = statement;
    cube.QueryParameter = p[1];
    cube.BigQuery = p[2].size() % 2 ? statement : std::string();
    cube.Zeitraum = static_cast<rt::Short>(size % 5);
    auto answer = [&](const std::string&) { return p[3]; };
    PrepareCubeStatement(cube, p[4].size() > 1 ? std::string_view(p[4]).substr(1) : std::string_view(), 2026,
                         {answer, answer, answer}, connect);
    return 0;
}
