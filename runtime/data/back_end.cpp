#include "runtime/data/back_end.h"

#include <cstdio>

#include "runtime/os/path.h"
#include "runtime/text/strings.h"

namespace rt {

std::string detectBackEnd(std::string_view connectString, std::string_view driverName, std::string_view previous) {
    std::string up = upper(connectString);
    std::string result(previous);
    auto has = [&](const char* s) { return up.find(s) != std::string::npos; };
    if (has("MICROSOFT ACCESS")) result = "ACCESS";
    if (has("SQL SERVER") || has("SQL NATIVE CLIENT") || upper(driverName) == "MSSQL") result = "SQLSERVER";
    if (has("SQLITE") || has(":MEMORY:")) result = "SQLITE";
    if (has("FIREBIRD")) result = "FIREBIRD";
    if (has("POSTGRES")) result = "POSTGRESQL";
    return result;
}

std::string connectStringValue(std::string_view connectString, std::string_view key) {
    std::size_t pos = 0;
    while (pos <= connectString.size()) {
        auto end = connectString.find(';', pos);
        if (end == std::string_view::npos) end = connectString.size();
        auto part = connectString.substr(pos, end - pos);
        auto eq = part.find('=');
        if (eq != std::string_view::npos && namesEqualNoCase(trimBlanks(part.substr(0, eq)), key))
            return std::string(trimBlanks(part.substr(eq + 1)));
        pos = end + 1;
    }
    return {};
}

std::string sqlDateLiteral(std::string_view connectString, DateNumber date) {
    const Ymd ymd = ymdFromDate(date);
    char text[48];
    const bool sqlServer = detectBackEnd(connectString) == "SQLSERVER";
    std::snprintf(text, sizeof text, sqlServer ? "'%04d%02d%02d'" : "'%04d-%02d-%02d'", ymd.year, ymd.month, ymd.day);
    return text;
}

}  // namespace rt
