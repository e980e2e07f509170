#include "queries/exports/query_exports.h"

#include <algorithm>
#include <utility>

#include "core/helpers/shell_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"

namespace {

constexpr std::size_t kLineChars = 6000;

// Length of the UTF-8 character that starts with this byte (a stray byte counts as one).
std::size_t charBytes(unsigned char c) {
    if (c >= 0xF0) return 4;
    if (c >= 0xE0) return 3;
    if (c >= 0xC0) return 2;
    return 1;
}

std::string_view escapeHtmlChar(char c) {
    switch (c) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return {};
    }
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        std::string_view entity = escapeHtmlChar(c);
        if (entity.empty())
            out += c;
        else
            out += entity;
    }
    return out;
}

bool isCsv(std::string_view kind) { return kind == "CSV" || kind == "CSVHeader"; }
bool isHtml(std::string_view kind) { return kind == "HTML" || kind == "HTMLHeader"; }

// The markup around a CSV or HTML cell's value.
std::pair<std::string_view, std::string_view> cellMarkup(std::string_view kind) {
    if (isCsv(kind)) return {"\"", "\";"};
    if (kind == "HTMLHeader") return {"<th>", "</th>"};
    return {"<td>", "</td>"};
}

// The value as it stands between a CSV or HTML cell's markup, at most `room` characters of it:
// a value that does not fit loses its end, never part of a doubled quote or an entity.
std::string encodeValue(std::string_view v, std::string_view kind, std::size_t room) {
    std::string out;
    std::size_t used = 0;
    if (isCsv(kind) && rt::needsFormulaGuard(v)) {
        if (room == 0) return out;
        out += '\'';
        used = 1;
    }
    for (std::size_t i = 0; i < v.size();) {
        const std::size_t n = std::min(charBytes(static_cast<unsigned char>(v[i])), v.size() - i);
        std::string_view piece = v.substr(i, n);
        std::size_t chars = 1;
        if (n == 1 && isCsv(kind) && v[i] == '"') {
            piece = "\"\"";  // a quote inside the value is doubled, so a reader gets it back
            chars = 2;
        } else if (n == 1 && isHtml(kind) && !escapeHtmlChar(v[i]).empty()) {
            piece = escapeHtmlChar(v[i]);
            chars = piece.size();
        }
        if (used + chars > room) break;
        out += piece;
        used += chars;
        i += n;
    }
    return out;
}

// The value of a CSV or HTML cell: without the blanks at either end.
std::string_view cellValue(std::string_view value) {
    return rt::clip(value.substr(std::min(value.size(), value.find_first_not_of(' '))));
}

// A TXT cell's value: a line break in it would split the row, so CR and LF become blanks.
std::string txtValue(std::string_view value, int width) {
    std::string v(value.substr(std::min(value.size(), value.find_first_not_of(' '))));
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return " " + rt::padChars(v, static_cast<std::size_t>(std::max(width, 0)));
}

bool losesCharacters(std::string_view text) {
    // Plain ASCII is in every code page: only a text with other bytes is converted to see.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return false;
    std::size_t lost = 0;
    rt::toCp1252(text, lost);
    return lost > 0;
}

// The file being written: whole lines in the ANSI code page, in a part file that replaces the
// old export only once every line is written.
class ExportFile {
public:
    bool open(const std::string& name) { return file_.open(name); }
    void line(std::string_view text) {
        std::string bytes = rt::toCp1252(rt::cutChars(text, kLineChars));
        bytes += "\r\n";
        file_.write(bytes);
    }
    bool commit() { return file_.commit(); }
    std::string failure() const { return file_.errorText() + " " + std::to_string(file_.error()); }

private:
    rt::ReplacingFile file_;
};

int columnWidth(const ColumnListQueue& columns, int c) {
    const ColumnListEntry* e = columns.column(c);
    return e ? columnChars(*e) : 0;
}

// One line of cells. CSV and HTML cells follow each other within the line's room; when the
// values do not fit, the later values are cut (to nothing if need be) but every cell keeps its
// quotes or tags and the row its "</tr>". TXT lines lose their leading blanks.
std::string composeLine(std::string_view kind, const std::vector<std::string_view>& values,
                        const std::vector<int>& widths) {
    std::string line;
    if (kind == "TXT" || kind == "TXTHeader") {
        for (std::size_t c = 0; c < values.size(); ++c) line += txtValue(values[c], widths[c]);
        line.erase(0, std::min(line.size(), line.find_first_not_of(' ')));
        return line;
    }
    const bool html = isHtml(kind);
    const auto [open, close] = cellMarkup(kind);
    std::size_t fixed = (html ? 9 : 0) + values.size() * (open.size() + close.size());
    std::size_t room = fixed < kLineChars ? kLineChars - fixed : 0;
    if (html) line += "<tr>";
    for (std::string_view value : values) {
        std::string encoded = encodeValue(cellValue(value), kind, room);
        room -= rt::charLength(encoded);
        line += open;
        line += encoded;
        line += close;
    }
    if (html) line += "</tr>";
    return line;
}

}  // namespace

std::string FormatExportCell(std::string_view value, std::string_view kind, int width) {
    if (kind == "TXT" || kind == "TXTHeader") return txtValue(value, width);
    if (isCsv(kind) || isHtml(kind)) {
        const auto [open, close] = cellMarkup(kind);
        return std::string(open) + encodeValue(cellValue(value), kind, std::string::npos) + std::string(close);
    }
    return std::string(value.substr(std::min(value.size(), value.find_first_not_of(' '))));
}

std::string ExportQueryResult(std::string_view kind, const QueryExportData& data) {
    // Without an export folder the file goes into the working folder, not the root.
    std::string folder(rt::clip(data.folder));
    if (folder.empty()) folder = ".";
    std::string name = folder + "\\" + std::string(rt::clip(CleanFileName(data.cubeName))) + "." + std::string(kind);
    std::string full(rt::cutChars(rt::absolutePath(name), 255));

    ExportFile file;
    if (!file.open(full)) {
        rt::message("open of export file failed: " + file.failure());
        return {};
    }
    const std::string cube(rt::clip(data.cubeName));
    const int n = data.columnCount;
    std::size_t lostValues = 0;
    if (kind == "HTML") {
        file.line("<html>");
        file.line("<head>");
        file.line("<meta http-equiv=\"Content-Type\"");
        file.line("content=\"text/html; charset=iso-8859-1\">");
        file.line("<title>" + escapeHtml(cube) + "</title>");
        file.line("</head>");
        file.line("<body bgcolor=\"#FFFFFF\">");
        std::string nbsp9;
        for (int i = 0; i < 9; ++i) nbsp9 += "&nbsp;";
        file.line("<P>" + escapeHtml(cube) + nbsp9 + escapeHtml(rt::clip(data.userId)) + "&nbsp;&nbsp;&nbsp;" +
                  rt::formatPicture(static_cast<std::int64_t>(rt::today()), "@d2") + "&nbsp;" +
                  rt::formatPicture(static_cast<std::int64_t>(rt::clockTime()), "@t4") + "</P>");
        file.line("<table Border COLS=" + std::to_string(n) + " WIDTH=\"100%\" >");
        lostValues += losesCharacters(cube);
    } else if (kind == "TXT") {
        file.line(" ");
        file.line("     " + cube);
        file.line(" ");
        lostValues += losesCharacters(cube);
    }
    std::vector<int> widths(static_cast<std::size_t>(std::max(n, 0)));
    for (int c = 1; c <= n; ++c) widths[c - 1] = columnWidth(data.columns, c);
    std::vector<std::string_view> values(widths.size());
    auto writeRow = [&](std::string_view rowKind) {
        for (std::string_view v : values) lostValues += losesCharacters(v);
        file.line(composeLine(rowKind, values, widths));
    };
    for (int c = 1; c <= n; ++c)
        values[c - 1] =
            c <= static_cast<int>(data.headings.size()) ? std::string_view(data.headings[c - 1]) : std::string_view();
    writeRow(std::string(kind) + "Header");
    for (const QueryResultEntry& row : data.rows) {
        for (int c = 1; c <= n; ++c) values[c - 1] = resultColumn(row, c).str();
        writeRow(kind);
    }
    if (kind == "HTML") {
        file.line("</table>");
        file.line("</body>");
        file.line("</html>");
    }
    if (!file.commit()) {
        // The old export, if any, is still there: the part file is gone.
        rt::message("writing of export file failed: " + file.failure());
        return {};
    }
    if (lostValues > 0) {
        rt::message(std::to_string(lostValues) + (lostValues == 1 ? " Wert hat" : " Werte haben") +
                        " Zeichen, die der Zeichensatz Windows-1252 nicht kennt; sie stehen in der Datei als \"?\".",
                    "Export");
    }
    ShellOpenFile(full);
    return full;
}
