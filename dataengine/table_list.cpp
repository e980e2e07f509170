#include "dataengine/table_list.h"

namespace novaodbc {

namespace {

char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return char16_t(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);  // ä -> Ä and the like
    return c;
}

bool identifierChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'#' ||
           c == u'@' || c == u'$' || c >= 0x80;
}

// A keyword counts only as a word of its own, not inside a name such as FROMDATE or CONTACTS.
size_t findWord(std::u16string_view upperText, std::u16string_view word, size_t from = 0) {
    for (size_t p = upperText.find(word, from); p != std::u16string_view::npos; p = upperText.find(word, p + 1)) {
        const bool before = p == 0 || !identifierChar(upperText[p - 1]);
        const size_t end = p + word.size();
        const bool after = end >= upperText.size() || !identifierChar(upperText[end]);
        if (before && after) return p;
    }
    return std::u16string_view::npos;
}

std::u16string trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t' || s[b] == u'\r' || s[b] == u'\n')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t' || s[e - 1] == u'\r' || s[e - 1] == u'\n')) --e;
    return std::u16string(s.substr(b, e - b));
}

// Replaces every whole-word occurrence of word in text (and its upper-case twin) by repl.
void replaceWord(std::u16string& text, std::u16string& upperText, std::u16string_view word, std::u16string_view repl) {
    size_t p = 0;
    while ((p = findWord(upperText, word, p)) != std::u16string::npos) {
        text.replace(p, word.size(), repl);
        upperText.replace(p, word.size(), repl);
        p += repl.size();
    }
}

}  // namespace

std::optional<std::vector<std::u16string>> tableList(std::u16string_view sql) {
    std::u16string text(sql);
    std::u16string up(sql);
    for (auto& c : up) c = upper(c);

    const size_t from = findWord(up, u"FROM");
    if (from == std::u16string::npos) return std::nullopt;
    const size_t start = std::min(text.size(), from + 5);
    text.erase(0, start);
    up.erase(0, start);

    size_t end = std::u16string::npos;
    for (std::u16string_view word : {u"ORDER", u"WITH", u"HAVING", u"WHERE", u"ON"}) {
        end = findWord(up, word);
        if (end != std::u16string::npos) break;
    }
    if (end != std::u16string::npos) {
        text.erase(end);
        up.erase(end);
    }
    replaceWord(text, up, u"JOIN", u"");
    replaceWord(text, up, u"INNER", u",");
    replaceWord(text, up, u"OUTER", u",");

    // Each part is a table followed by its alias (or by LEFT, RIGHT ... before the next join):
    // the table is the part's first word.
    std::vector<std::u16string> tables;
    size_t pos = 0;
    for (;;) {
        const size_t comma = text.find(u',', pos);
        std::u16string part = trim(
            std::u16string_view(text).substr(pos, comma == std::u16string::npos ? std::u16string::npos : comma - pos));
        const size_t blank = part.find_first_of(u" \t\r\n");
        if (blank != std::u16string::npos) part = trim(std::u16string_view(part).substr(0, blank));
        if (!part.empty()) tables.push_back(std::move(part));
        if (comma == std::u16string::npos) break;
        pos = comma + 1;
    }
    return tables;
}

}  // namespace novaodbc
