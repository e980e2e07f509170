// The back end behind a connect string, as the schema synchroniser decides it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// A value for a connect string: braced where it holds ";" (or starts with "{"), so that the
// driver reads it as one value and nothing of it as a keyword of its own. A "}" cannot be braced
// safely (the drivers end the value at the first one): such a value gives an empty text.
std::string connectValue(std::string_view value);

// The "key=value" parts of a connect string between its ";", in order: a value braced as
// connectValue braces it ("PWD={a;b}") is one part, its braces gone.
std::vector<std::string> connectStringParts(std::string_view connectString);

// ";SERVER=" and the server; "host,port" becomes the host and the driver's own "Port" for the
// drivers that take it so (SQL Server's drivers read "host,port" themselves).
std::string connectServer(std::string_view driver, std::string_view server);

}  // namespace rt
