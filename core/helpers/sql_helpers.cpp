#include "core/helpers/sql_helpers.h"

#include <cassert>
#include <cstdlib>
#include <vector>

#include "core/dictionary/dictionary.h"
#include "runtime/data/view_manager.h"
#include "runtime/text/date_time.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"

namespace {

constexpr std::size_t kMaxVariables = 24;
constexpr std::size_t kMaxStatement = 8192;
constexpr std::size_t kMaxBoundName = 18;

std::string errorPart() { return "Error : " + rt::errorText() + " [" + std::to_string(rt::errorCode()) + "]"; }

std::string driverPart(const char* label) {
    return std::string(label) + rt::fileErrorText() + " [" + rt::fileErrorCode() + "]";
}

std::string fileName(const rt::FileManager& fm) {
    const std::string& f = rt::errorStatus().fileName;
    return f.empty() ? fm.name() : f;
}

std::string sqlLiteral(const SqlVariable& v) {
    if (v.numeric()) return v.get();
    const std::string value = v.get();  // the loop below views it, so it must outlive the loop
    std::string out = "'";
    for (char c : rt::clip(value)) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

struct BoundName {
    std::size_t number;
    std::string name;
};

// Finds the "&name" references of a server call. False when the scan had to stop.
bool scanBoundNames(std::string_view text, std::vector<BoundName>& names) {
    std::size_t i = 0;
    while ((i = text.find('&', i)) != std::string_view::npos) {
        std::size_t start = i + 1;
        std::size_t end = start;
        while (end < text.size() && text[end] != ')' && text[end] != ' ' && text[end] != ',') {
            if (text[end] == '&') {
                rt::beep();
                rt::message("Improper Use of BINDED Variables");
                return false;
            }
            ++end;
        }
        std::string name(text.substr(start, end - start));
        if (!name.empty()) names.push_back({names.size() + 1, name.substr(0, kMaxBoundName)});
        i = end;
    }
    return true;
}

// The statement with each bound name replaced by its variable's value.
std::string substituteBound(std::string_view text, const std::vector<BoundName>& names,
                            const std::vector<const SqlVariable*>& vars, bool& anyBound) {
    std::string out;
    std::size_t n = 0;
    std::size_t i = 0;
    anyBound = false;
    while (i < text.size()) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && text[end] != ')' && text[end] != ' ' && text[end] != ',') ++end;
        if (end == i + 1 || n >= names.size()) {
            out += text.substr(i, end - i);
        } else {
            std::size_t k = names[n++].number;
            if (k <= vars.size()) {
                out += sqlLiteral(*vars[k - 1]);
                anyBound = true;
            } else {
                out += text.substr(i, end - i);  // no variable given: left unbound
            }
        }
        i = end;
    }
    return out;
}

void setColumns(const std::vector<const SqlVariable*>& vars) {
    const rt::CString<256>* cols[kMaxVariables] = {&AQRY.C01, &AQRY.C02, &AQRY.C03, &AQRY.C04, &AQRY.C05, &AQRY.C06,
                                                   &AQRY.C07, &AQRY.C08, &AQRY.C09, &AQRY.C10, &AQRY.C11, &AQRY.C12,
                                                   &AQRY.C13, &AQRY.C14, &AQRY.C15, &AQRY.C16, &AQRY.C17, &AQRY.C18,
                                                   &AQRY.C19, &AQRY.C20, &AQRY.C21, &AQRY.C22, &AQRY.C23, &AQRY.C24};
    for (std::size_t k = 0; k < vars.size(); ++k) vars[k]->set(cols[k]->clipped());
}

}  // namespace

long long SqlVariable::leadingNumber(std::string_view text) {
    std::string s(rt::trimBlanks(text));
    return std::strtoll(s.c_str(), nullptr, 10);
}

double SqlVariable::leadingReal(std::string_view text) {
    std::string s(rt::trimBlanks(text));
    return std::strtod(s.c_str(), nullptr);
}

rt::DateNumber SqlVariable::dateFromServerText(std::string_view text) {
    std::string s(rt::trimBlanks(text));
    int y = 0, m = 0, d = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%d", &y, &m, &d) == 3) return rt::dateFromYmd(y, m, d);
    return static_cast<rt::DateNumber>(leadingNumber(s));
}

rt::TimeNumber SqlVariable::timeFromServerText(std::string_view text) {
    std::string s(rt::trimBlanks(text));
    auto blank = s.find(' ');
    if (blank != std::string::npos) s = s.substr(blank + 1);
    int h = 0, m = 0, sec = 0;
    int n = std::sscanf(s.c_str(), "%d:%d:%d", &h, &m, &sec);
    if (n >= 2) return rt::timeFromHms(h, m, n == 3 ? sec : 0);
    return static_cast<rt::TimeNumber>(leadingNumber(s));
}

rt::Byte SqlToQueue(std::string_view statement, const SqlQueueTarget* queue,
                    std::initializer_list<SqlVariable> variables) {
    assert(variables.size() <= kMaxVariables && "SqlToQueue takes at most 24 variables");
    assert(DictionaryBuilt() && "SqlToQueue needs the calling thread's dictionary");
    std::vector<const SqlVariable*> vars;
    for (const auto& v : variables) vars.push_back(&v);

    std::string text(rt::clip(statement));
    if (text.empty()) {
        rt::beep();
        rt::message("Missing Query Statement");
        return 0;
    }

    bool bound = false;
    if (rt::upper(text).find("CALL ") != std::string::npos) {
        std::string scanned(rt::cutChars(text, kMaxStatement));
        std::vector<BoundName> names;
        scanBoundNames(scanned, names);
        text = substituteBound(text, names, vars, bound);
    }

    rt::FileManager& table = *Access.ACQTBL;
    rt::clearError();
    if (table.open() != 0) {
        rt::message(errorPart() + "|" + driverPart("File Error: "), "OPEN TABLE");
        return 0;
    }

    rt::ViewManager view(table);
    rt::Byte result = 0;
    auto finish = [&](rt::Byte r) {
        view.close();
        table.close();
        return r;
    };

    if (view.open() != 0) {
        if (rt::errorCode() == rt::ErrFileSystem) {
            if (!rt::fileErrorCode().empty()) rt::message(errorPart() + "|" + driverPart("File Error : "), "OPEN VIEW");
        } else {
            rt::message(errorPart() + "|File : " + fileName(table), "OPEN VIEW");
        }
        return finish(0);
    }

    if (view.setSql(text) != 0) {
        bool success = false;
        if (rt::errorCode() == rt::ErrFileSystem) {
            if (rt::fileErrorCode() == "37000") {
                success = true;
            } else if (!rt::fileErrorCode().empty()) {
                rt::message(errorPart() + "|" + driverPart("File Error : ") + "|" + text, "EXECUTE QUERY");
            }
        } else {
            rt::message(errorPart() + "|File: " + fileName(table) + "|" + text, "EXECUTE QUERY");
        }
        if (!success) return finish(0);
    }

    if (bound || (!queue && vars.empty())) return finish(1);

    for (;;) {
        AQRY = ACQTBLRecord{};
        int rc = view.next();
        if (rc != 0) {
            if (!queue && rc != rt::ErrRecordNotAvailable) {
                if (rc == rt::ErrFileSystem) {
                    const std::string& code = rt::fileErrorCode();
                    if (!code.empty() && code != "24000" && code != "S1010")
                        rt::message(errorPart() + "|" + driverPart("File Error : "), "NEXT VIEW");
                } else {
                    rt::message(errorPart() + "|File : " + fileName(table), "NEXT VIEW");
                }
            }
            break;
        }
        if (queue) queue->clear();
        setColumns(vars);
        result = 1;
        if (!queue) break;
        if (int add = queue->add(); add != 0) {
            rt::setError(add, rt::dataErrorText(add));
            rt::message(errorPart(), "ADD TO QUEUE");
        }
    }
    return finish(result);
}
