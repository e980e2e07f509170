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

std::string connectValue(std::string_view value) {
    if (value.find('}') != std::string_view::npos) return {};
    if (value.find(';') != std::string_view::npos || (!value.empty() && value.front() == '{'))
        return "{" + std::string(value) + "}";
    return std::string(value);
}

std::vector<std::string> connectStringParts(std::string_view connectString) {
    std::vector<std::string> parts(1);
    bool braced = false;
    for (const char c : connectString) {
        std::string& part = parts.back();
        if (braced) {
            if (c == '}')
                braced = false;
            else
                part += c;
        } else if (c == ';') {
            parts.emplace_back();
        } else if (c == '{' && !part.empty() && part.back() == '=' && part.find('=') == part.size() - 1) {
            braced = true;
        } else {
            part += c;
        }
    }
    return parts;
}

namespace {

bool serverTakesPort(std::string_view driver) {
    const std::string up = upper(driver);
    for (const char* native : {"SQL SERVER", "SQL NATIVE CLIENT", "FREETDS", "TDS"})
        if (up.find(native) != std::string::npos) return false;
    return true;
}

}  // namespace

std::string connectServer(std::string_view driver, std::string_view server) {
    const auto comma = server.rfind(',');
    if (comma != std::string_view::npos && comma + 1 < server.size() && serverTakesPort(driver) &&
        server.find_first_not_of("0123456789 ", comma + 1) == std::string_view::npos) {
        const std::string host(clip(server.substr(0, comma)));
        const std::string port(trimBlanks(server.substr(comma + 1)));
        return ";SERVER=" + connectValue(host) + ";Port=" + port;
    }
    return ";SERVER=" + connectValue(server);
}

}  // namespace rt
