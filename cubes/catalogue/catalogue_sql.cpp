#include "cubes/catalogue/catalogue_sql.h"

#include <cctype>
#include <cstdlib>

#include "core/dictionary/dictionary.h"
#include "core/dictionary/globals.h"
#include "runtime/data/back_end.h"
#include "runtime/data/errors.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"

namespace {

bool plainName(std::string_view name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

}  // namespace

std::string BackEndSql(std::string_view statement, std::string_view connectString) {
    const std::string backEnd = rt::detectBackEnd(connectString);
    if (backEnd == "SQLSERVER" || backEnd == "SQLITE") return std::string(statement);
    std::string out;
    out.reserve(statement.size());
    bool literal = false;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const char c = statement[i];
        if (c == '\'') literal = !literal;  // a doubled quote toggles twice
        if (literal || c != '[') {
            out += c;
            continue;
        }
        const std::size_t end = statement.find(']', i + 1);
        if (end == std::string_view::npos) {
            out += statement.substr(i);
            break;
        }
        const std::string_view name = statement.substr(i + 1, end - i - 1);
        if (plainName(name)) {
            out += name;
        } else {
            out += '"';
            for (char n : name) out += n == '"' ? std::string("\"\"") : std::string(1, n);
            out += '"';
        }
        i = end;
    }
    return out;
}

std::string BackEndSql(std::string_view statement) { return BackEndSql(statement, GLO.ConnectString.get().str()); }

bool CatalogueCount(std::string_view statement, long& count) {
    rt::FileManager& sql = *Access.VOQSQLTBL;
    int rc = sql.open();
    if (rc == 0) {
        rc = sql.setSql(BackEndSql(statement));
        if (rc == 0) rc = sql.next();
        if (rc == 0) count = std::atol(std::string(SQL.f1.clipped()).c_str());
        // The error text before the close can clear it.
        const std::string text = rc == rt::ErrFileSystem ? rt::fileErrorText() : rt::errorText();
        sql.close();
        if (rc == 0 || rc == rt::ErrRecordNotAvailable) return true;  // no row: nothing counted
        rt::message(text, "DB-Check", rt::MessageIcon::Exclamation);
        return false;
    }
    rt::message(rc == rt::ErrFileSystem ? rt::fileErrorText() : rt::errorText(), "DB-Check",
                rt::MessageIcon::Exclamation);
    return false;
}
