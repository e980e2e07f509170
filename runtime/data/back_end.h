// The back end behind a connect string, as the schema synchroniser decides it.
#pragma once

#include <string>
#include <string_view>

#include "runtime/text/date_time.h"

namespace rt {

// Rules on the upper-cased connect string, in this order, a later match replacing an earlier
// one: "MICROSOFT ACCESS" -> "ACCESS"; "SQL SERVER" or "SQL NATIVE CLIENT", or driver name
// "MSSQL" -> "SQLSERVER"; "SQLITE" or ":MEMORY:" -> "SQLITE"; "FIREBIRD" -> "FIREBIRD";
// "POSTGRES" -> "POSTGRESQL".
// Without a match the previous value is kept.
std::string detectBackEnd(std::string_view connectString, std::string_view driverName = {},
                          std::string_view previous = {});

// The value of one key of a connect string ("Database" in "DRIVER=x;Database=y"), case-blind;
// empty when missing.
std::string connectStringValue(std::string_view connectString, std::string_view key);

// A date as an SQL literal that the back end behind connectString reads alike whatever its
// language or date style: '20240201' for SQL Server, '2024-02-01' for the others.
std::string sqlDateLiteral(std::string_view connectString, DateNumber date);

}  // namespace rt
