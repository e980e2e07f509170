#include "runtime/data/back_end.h"

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

}  // namespace rt
