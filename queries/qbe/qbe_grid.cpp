#include "queries/qbe/qbe_grid.h"

#include <cctype>

#include "runtime/text/strings.h"

namespace {

bool isOperator(char c) { return c == '<' || c == '>' || c == '='; }

// True when the byte at pos lies inside a quoted literal (a quote itself counts as inside).
bool inLiteral(const std::string& text, std::size_t pos) {
    bool open = false;
    for (std::size_t i = 0; i < pos && i < text.size(); ++i)
        if (text[i] == '\'') open = !open;
    return open || (pos < text.size() && text[pos] == '\'');
}

std::string asciiUpper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Puts the field's name after each connector; a connector inside a literal is part of the
// value and stays as typed.
void insertAfter(std::string& text, const std::string& connector, const std::string& field, const char* equals) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = asciiUpper(text).find(connector, from);
        if (at == std::string::npos) return;
        const std::size_t after = at + connector.size();
        if (inLiteral(text, at) || inLiteral(text, after - 1)) {
            from = at + 1;
            continue;
        }
        const std::string name = after < text.size() && isOperator(text[after]) ? field : field + equals;
        text.insert(after, name);
        from = after + name.size();
    }
}

}  // namespace

QBEColumn QBESetAllColumn() {
    QBEColumn c;
    c.HEADER = kQBESetAll;
    return c;
}

QBEBuild BuildQBEFilter(std::vector<QBEColumn>& columns, int rows, bool runForm, std::string& filter) {
    filter.clear();
    std::vector<std::string> rowTexts;
    bool earlier = false;
    for (int r = 1; r <= rows && r < kQBESlots; ++r) {
        std::string R;
        for (std::size_t i = 1; i < columns.size(); ++i) {
            QBEColumn& col = columns[i];
            const std::string T(rt::clip(rt::trimBlanks(col.source(r))));
            if (T.empty()) continue;
            const std::string& FN = runForm ? col.NAME : col.HEADER;
            const bool dated = runForm && asciiUpper(col.PICTURE).rfind("@D", 0) == 0;

            // Blanks outside literals shrink to one; a dated literal is read in the column's picture.
            const std::string in = " " + T + " ";
            std::string text, literal, last;
            bool open = false;
            for (char c : in) {
                if (c == '\'') {
                    literal += c;
                    if (open)
                        last = literal;
                    else
                        literal = "'";
                    open = !open;
                    text += c;
                    continue;
                }
                if (open) {
                    literal += c;
                    text += c;
                    continue;
                }
                if (c == ' ') {
                    if (dated && last.size() > 6 && text.size() >= last.size() &&
                        text.compare(text.size() - last.size(), last.size(), last) == 0) {
                        text.resize(text.size() - last.size());
                        text += "DEFORMAT(" + last + "," + col.PICTURE + ") ";
                    }
                    last.clear();
                    if (!text.empty() && text.back() == ' ') continue;
                }
                text += c;
            }
            if (open) {
                filter.clear();
                return {false, "Error Filter", "Error in filter at " + col.HEADER + " row number " + std::to_string(r)};
            }
            insertAfter(text, " AND ", FN, " = ");
            insertAfter(text, " OR ", FN, " =");
            if (text.size() < 2 || !isOperator(text[1])) text = " =" + text;
            text = std::string(rt::clip(text));
            if (R.empty())
                R = std::string(earlier ? "OR ((" : "((") + FN + text + ")";
            else
                R += " AND (" + FN + text + ")";
        }
        if (!R.empty()) {
            R += ")";
            earlier = true;
            rowTexts.push_back(R);
        }
        if (!columns.empty()) columns[0].source(r) = R;
    }
    for (const auto& R : rowTexts) filter += runForm ? R + " " : R + "\r\n ";
    if (!runForm && rowTexts.size() > 1) filter = "    " + filter;
    return {};
}

QBEBuild BuildQBEOrder(std::vector<QBEColumn>& columns, int rows, bool runForm, std::string& order) {
    order.clear();
    bool displayed = false;
    for (std::size_t i = 1; i < columns.size(); ++i) {
        QBEColumn& col = columns[i];
        col.FILTERBREAK = 0;
        int& s = col.type(kQBESlots);
        s = 0;
        for (int r = 1; r <= rows && r < kQBESlots; ++r) {
            const int c = col.type(r);
            const bool up = c == qbecode::OffUp || c == qbecode::OnUp;
            const bool down = c == qbecode::OffDown || c == qbecode::OnDown;
            if ((up && (s == qbecode::OffDown || s == qbecode::OnDown)) ||
                (down && (s == qbecode::OffUp || s == qbecode::OnUp))) {
                order.clear();
                return {false, "Order Error",
                        "    The order of '" + col.HEADER + "' in row " + std::to_string(r) + " has an error."};
            }
            if (c >= qbecode::On && c <= qbecode::Maximum) displayed = true;
            if (c > s && c <= qbecode::Maximum) s = c;
            if (c == qbecode::Break) col.FILTERBREAK = 1;
        }
    }
    if (!displayed) return {false, "Order Error", "    You havn't selectet any columns to display."};
    for (std::size_t i = 1; i < columns.size(); ++i) {
        QBEColumn& col = columns[i];
        // The highest sorting code of the column decides its direction.
        int sort = 0;
        for (int r = 1; r <= rows && r < kQBESlots; ++r) {
            const int c = col.type(r);
            if (c >= 1 && c <= qbecode::OnDown && c > sort) sort = c;
        }
        const bool up = sort == qbecode::OffUp || sort == qbecode::OnUp;
        const bool down = sort == qbecode::OffDown || sort == qbecode::OnDown;
        if (!up && !down) continue;
        if (runForm)
            order += (up ? "+" : "-") + col.NAME + ",";
        else
            order += (up ? " + " : " - ") + col.HEADER + "\r\n";
    }
    if (runForm && !order.empty()) order.pop_back();
    return {};
}
