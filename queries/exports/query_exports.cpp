#include "queries/exports/query_exports.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/helpers/shell_helpers.h"
#include "core/helpers/text_helpers.h"
#include "runtime/os/path.h"
#include "runtime/text/date_time.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"

namespace {

constexpr std::size_t kLineChars = 6000;

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

class ExportFile {
public:
    explicit ExportFile(std::FILE* file) : file_(file) {}
    ~ExportFile() {
        if (file_) std::fclose(file_);
    }
    // The line as the program holds it, cut to the line's room, in the ANSI code page.
    void line(std::string_view text) {
        std::string bytes = rt::toCp1252(rt::cutChars(text, kLineChars));
        bytes += "\r\n";
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    }
    bool close() {
        bool ok = std::fclose(file_) == 0 && !failed_;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_;
    bool failed_ = false;
};

int columnWidth(const ColumnListQueue& columns, int c) {
    const ColumnListEntry* e = columns.column(c);
    return e ? columnChars(*e) : 0;
}

// One line of cells: CSV and HTML cells follow each other, TXT lines lose their leading blanks.
template <class Cell>
std::string composeLine(std::string_view kind, int count, Cell cell) {
    std::string line = kind == "HTML" ? "<tr>" : "";
    for (int c = 1; c <= count; ++c) line += cell(c);
    if (kind == "HTML") line += "</tr>";
    if (kind == "TXT")
        line.erase(0, line.find_first_not_of(' ') == std::string::npos ? line.size() : line.find_first_not_of(' '));
    return line;
}

}  // namespace

std::string FormatExportCell(std::string_view value, std::string_view kind, int width) {
    std::string_view v = value.substr(std::min(value.size(), value.find_first_not_of(' ')));
    if (kind == "CSV" || kind == "CSVHeader") {
        // A quote inside the value is doubled, so that a reader gets the value back as it was.
        std::string out = "\"";
        for (char c : rt::clip(v)) {
            out += c;
            if (c == '"') out += '"';
        }
        return out + "\";";
    }
    if (kind == "HTML") return "<td>" + escapeHtml(rt::clip(v)) + "</td>";
    if (kind == "HTMLHeader") return "<th>" + escapeHtml(rt::clip(v)) + "</th>";
    if (kind == "TXT" || kind == "TXTHeader")
        return " " + rt::padChars(v, static_cast<std::size_t>(std::max(width, 0)));
    return std::string(v);
}

std::string ExportQueryResult(std::string_view kind, const QueryExportData& data) {
    // Without an export folder the file goes into the working folder, not the root.
    std::string folder(rt::clip(data.folder));
    if (folder.empty()) folder = ".";
    std::string name = folder + "\\" + std::string(rt::clip(CleanFileName(data.cubeName))) + "." + std::string(kind);
    std::string full(rt::cutChars(rt::absolutePath(name), 255));

    std::FILE* raw = std::fopen(full.c_str(), "w+b");
    if (!raw) {
        int code = errno;
        rt::message("open of export file failed: " + std::string(std::strerror(code)) + " " + std::to_string(code));
        return {};
    }
    ExportFile file(raw);
    const std::string cube(rt::clip(data.cubeName));
    const int n = data.columnCount;
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
        file.line("<P>" + escapeHtml(cube) + nbsp9 + "GLO:UserID&nbsp;&nbsp;&nbsp;" +
                  rt::formatPicture(static_cast<std::int64_t>(rt::today()), "@d2") + "&nbsp;" +
                  rt::formatPicture(static_cast<std::int64_t>(rt::clockTime()), "@t4") + "</P>");
        file.line("<table Border COLS=" + std::to_string(n) + " WIDTH=\"100%\" >");
    } else if (kind == "TXT") {
        file.line(" ");
        file.line("     " + cube);
        file.line(" ");
    }
    const std::string headerKind = std::string(kind) + "Header";
    file.line(composeLine(kind, n, [&](int c) {
        std::string heading = c <= static_cast<int>(data.headings.size()) ? data.headings[c - 1] : std::string();
        return FormatExportCell(heading, headerKind, columnWidth(data.columns, c));
    }));
    std::vector<int> widths(n + 1);
    for (int c = 1; c <= n; ++c) widths[c] = columnWidth(data.columns, c);
    for (const QueryResultEntry& row : data.rows)
        file.line(
            composeLine(kind, n, [&](int c) { return FormatExportCell(resultColumn(row, c).str(), kind, widths[c]); }));
    if (kind == "HTML") {
        file.line("</table>");
        file.line("</body>");
        file.line("</html>");
    }
    if (!file.close()) {
        rt::message("open of export file failed: " + std::string(std::strerror(errno)) + " " + std::to_string(errno));
        return {};
    }
    ShellOpenFile(full);
    return full;
}
