#include "core/helpers/text_helpers.h"

#include <string_view>

#include "runtime/data/back_end.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"

namespace {

// Character positions work on code points so that umlauts count as one.
std::vector<std::string_view> chars(std::string_view text) {
    std::vector<std::string_view> out;
    const std::size_t n = rt::charLength(text);
    out.reserve(n);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t next = rt::byteOffsetOfChar(text.substr(pos), 1) + pos;
        out.push_back(text.substr(pos, next - pos));
        pos = next;
    }
    return out;
}

}  // namespace

std::string CleanFileName(std::string_view name) {
    std::string out;
    for (char c : rt::cutChars(name, 255)) {
        switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|': out += ' '; break;
        default: out += c;
        }
    }
    return std::string(rt::clip(out));
}

long ClippedLength(std::string_view text) { return static_cast<long>(rt::charLength(rt::clip(text))); }

namespace {

// Position of find in text ignoring case, from byte from; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view find, const std::string& findUp) {
    // upper() keeps the byte length of every letter it folds, so positions carry over.
    const std::string textUp = rt::upper(text);
    return textUp.size() == text.size() ? textUp.find(findUp) : text.find(find);
}

}  // namespace

std::optional<std::string> ReplaceString(std::string_view replacement, std::string_view find, std::string_view text) {
    const std::size_t width = rt::charLength(text);
    if (find.empty()) return std::string(text);
    const std::string_view repl = rt::clip(replacement);
    const std::string findUp = rt::upper(find);
    // Every search starts again at the beginning, so a replacement holding find would be found
    // again after each insertion: such a pair can never end.
    if (findNoCase(repl, find, findUp) != std::string::npos) return std::nullopt;
    std::string work(rt::clip(text));
    for (std::size_t p; (p = findNoCase(work, find, findUp)) != std::string::npos;)
        work = work.substr(0, p) + std::string(repl) + work.substr(p + find.size());
    return rt::padChars(work, width);
}

namespace {

bool matchesAt(std::string_view text, std::size_t at, std::string_view placeholder) {
    if (placeholder.empty() || text.size() - at < placeholder.size()) return false;
    for (std::size_t k = 0; k < placeholder.size(); ++k) {
        char a = text[at + k], b = placeholder[k];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != b) return false;
    }
    return true;
}

// Takes the comparison operator (and the blanks after it) off the end of out, not reaching
// before keep: what was inserted earlier is never touched.
void dropComparison(std::string& out, std::size_t keep) {
    std::size_t end = out.size();
    while (end > keep && out[end - 1] == ' ') --end;
    std::size_t start = end;
    while (start > keep && end - start < 2 && (out[start - 1] == '=' || out[start - 1] == '<' || out[start - 1] == '>'))
        --start;
    if (start < end) out.erase(start);
}

}  // namespace

std::string FillPlaceholders(std::string_view statement, const std::vector<PlaceholderValue>& values) {
    std::string out;
    out.reserve(statement.size());
    std::size_t keep = 0;  // out up to here holds inserted values
    for (std::size_t i = 0; i < statement.size();) {
        const PlaceholderValue* hit = nullptr;
        for (const PlaceholderValue& v : values) {
            if (matchesAt(statement, i, v.placeholder)) {
                hit = &v;
                break;
            }
        }
        if (!hit) {
            out += statement[i++];
            continue;
        }
        if (hit->replacesComparison) dropComparison(out, keep);
        out += hit->value;
        keep = out.size();
        i += hit->placeholder.size();
    }
    return out;
}

std::optional<std::string> DateAnswerLiteral(std::string_view answer, std::string_view connect) {
    const std::string_view text = rt::trimBlanks(answer);
    const rt::DateNumber date = rt::deformatDate(text, "@d17");
    // Only what the picture writes back alike is taken for a date: "7" or "1.2." stay text.
    if (date == 0 || rt::formatPicture(std::int64_t(date), "@d17") != text) return std::nullopt;
    return rt::sqlDateLiteral(connect, date);
}

std::string ReplaceConnectDatabase(std::string_view connect, std::string_view currentDatabase) {
    std::string work(rt::cutChars(connect, 250));
    std::string_view oldName;
    const std::size_t at = connect.find("Database=");
    // Without "Database=" the text after its eighth character counts as the old name, as before.
    oldName = at != std::string_view::npos ? connect.substr(at + 9) : rt::subChars(connect, 8, std::string_view::npos);
    oldName = rt::cutChars(oldName, 50);
    if (rt::equalsTrimmed(currentDatabase, oldName)) return std::string(rt::clip(work));
    const std::string_view oldClipped = rt::clip(oldName);
    if (!oldClipped.empty()) work = *ReplaceString("", oldClipped, work);  // removing always ends
    work = std::string(rt::clip(work)) + std::string(rt::clip(currentDatabase));
    return std::string(rt::clip(rt::cutChars(work, 250)));
}

std::vector<std::string> SplitToQueue(std::string_view separator, std::string_view text) {
    std::vector<std::string> out;
    const std::string_view sep = rt::clip(separator);
    std::string_view rest = text;
    while (!rt::clip(rest).empty()) {
        const std::size_t p = sep.empty() ? std::string_view::npos : rest.find(sep);
        if (p == std::string_view::npos) {
            out.emplace_back(rest);
            break;
        }
        out.emplace_back(rest.substr(0, p));
        rest = rest.substr(p + sep.size());
    }
    return out;
}

std::string DigitsOnly(std::string_view text) {
    std::string out;
    for (std::string_view c : chars(rt::cutChars(text, 255)))
        out += (c.size() == 1 && c[0] >= '0' && c[0] <= '9') ? c[0] : ' ';
    return std::string(rt::clip(out));
}

std::string SplitPath(std::string_view path, int mode, int nameFlag) {
    const std::string_view p = rt::clip(path);
    const std::size_t slash = p.find_last_of("\\/");
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : p.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? p : p.substr(slash + 1);
    const std::size_t dot = file.find('.');
    const std::string_view name = file.substr(0, dot);
    std::string_view ext;
    if (dot != std::string_view::npos) {
        ext = file.substr(dot + 1);
        ext = ext.substr(0, ext.find('.'));
    }
    std::string out;
    if (nameFlag != 0)
        out = std::string(name) + "." + std::string(ext);
    else if (mode == 1)
        out = name;
    else if (mode == 2)
        out = ext;
    else if (mode == 3)
        out = folder;
    return std::string(rt::clip(out));
}
