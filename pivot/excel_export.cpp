#include "pivot/excel_export.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>
#include <xlsxwriter.h>

#include "pivot/number_format.h"
#include "runtime/text/strings.h"

namespace pivot {

namespace {

// Formats are made once per combination of role, number format and colour use.
class Formats {
public:
    Formats(lxw_workbook* wb, const Look& look, const ExcelOptions& o) : wb_(wb), look_(look), o_(o) {}
    enum Role { Heading, Item, Total, Value, TotalValue };
    lxw_format* get(Role role, const std::string& numberFormat = {}) {
        std::string key = std::to_string(int(role)) + '\x1f' + numberFormat;
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        lxw_format* f = workbook_add_format(wb_);
        if (o_.formats && !numberFormat.empty()) format_set_num_format(f, numberFormat.c_str());
        if (role == Heading || role == Total || role == TotalValue) format_set_bold(f);
        if (o_.colors) {
            uint32_t back = 0, fore = 0;
            bool set = true;
            switch (role) {
            case Heading:
                back = look_.headingsBack;
                fore = look_.headingsFore;
                break;
            case Total:
            case TotalValue:
                back = look_.totalsBack;
                fore = look_.totalsFore;
                break;
            default: set = false; break;
            }
            if (set) {
                format_set_bg_color(f, resolveOleColor(back));
                format_set_pattern(f, LXW_PATTERN_SOLID);
                format_set_font_color(f, resolveOleColor(fore));
            }
        }
        cache_[key] = f;
        return f;
    }

private:
    lxw_workbook* wb_;
    const Look& look_;
    const ExcelOptions& o_;
    std::map<std::string, lxw_format*> cache_;
};

// The sheet's name: the file's (the cube's) name without what a sheet name may not hold.
std::string sheetName(const std::string& file) {
    const size_t slash = file.find_last_of("/\\");
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    if (auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.erase(dot);
    std::string name;
    for (char c : base)
        if (!std::strchr("[]:*?/\\", c)) name += c;
    name = std::string(rt::trimBlanks(rt::cutChars(name, 31)));
    while (!name.empty() && name.front() == '\'') name.erase(0, 1);
    while (!name.empty() && name.back() == '\'') name.pop_back();
    return name.empty() ? "Pivot" : name;
}

// The item a heading stands for when it is a number: a numeric field's own item, not a total.
std::optional<double> itemNumber(const Axis& axis, const Axis::Line& line, int level) {
    if (line.kind == LineKind::Total || level < 0 || size_t(level) >= axis.fields.size()) return std::nullopt;
    const Axis::Node& n = axis.nodes[size_t(line.node)];
    if (level > n.level || (line.kind == LineKind::Subtotal && level == n.level)) return std::nullopt;
    const Item& item = axis.items[size_t(level)][n.path[size_t(level)]];
    if (item.null || isNull(item.number)) return std::nullopt;
    return item.number;
}

void writeText(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const std::string& text, std::optional<double> number,
               lxw_format* f) {
    if (number)
        worksheet_write_number(ws, row, col, *number, f);
    else if (text.empty())
        worksheet_write_blank(ws, row, col, f);
    else
        worksheet_write_string(ws, row, col, text.c_str(), f);
}

}  // namespace

bool writeExcel(const std::string& file, const PivotTable& t, const Look& look, const ExcelOptions& o,
                const std::vector<PageSelection>& pages, std::string& error) {
    lxw_workbook* wb = workbook_new(file.c_str());
    if (!wb) {
        error = file + ": Datei kann nicht angelegt werden";
        return false;
    }
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName(file).c_str());
    if (!ws) ws = workbook_add_worksheet(wb, "Pivot");
    Formats formats(wb, look, o);

    // The page fields above the table, so that a filtered sheet never passes for the whole.
    lxw_row_t top = 0;
    for (const PageSelection& p : pages) {
        worksheet_write_string(ws, top, 0, p.caption.c_str(), formats.get(Formats::Heading));
        std::string shown = p.all ? "(Alle)" : p.shown.empty() ? "(keine)" : "";
        if (!p.all)
            for (size_t i = 0; i < p.shown.size(); ++i) shown += (i ? ", " : "") + p.shown[i];
        worksheet_write_string(ws, top, 1, shown.c_str(), formats.get(Formats::Item));
        ++top;
    }
    if (top > 0) ++top;  // a blank row before the table

    const int rowLevels = std::max<int>(1, int(t.rows().fields.size()));
    const int colLevels = std::max(1, t.columnLevels());
    std::vector<size_t> cols, lines;
    for (size_t c = 0; c < t.columnCount(); ++c)
        if (o.totals || !t.isTotalColumn(c)) cols.push_back(c);
    for (size_t l = 0; l < t.lineCount(); ++l)
        if (o.totals || !t.isTotalLine(l)) lines.push_back(l);

    // Headings: the row fields' captions in the last heading row, the column headings above the values.
    for (int level = 0; level < colLevels; ++level) {
        for (int rl = 0; rl < rowLevels; ++rl)
            worksheet_write_blank(ws, top + lxw_row_t(level), lxw_col_t(rl), formats.get(Formats::Heading));
        for (size_t i = 0; i < cols.size(); ++i) {
            std::optional<double> number;
            if (level < int(t.cols().fields.size())) number = itemNumber(t.cols(), t.columnLine(cols[i]), level);
            writeText(ws, top + lxw_row_t(level), lxw_col_t(rowLevels + int(i)), t.columnHeading(cols[i], level),
                      number, formats.get(Formats::Heading));
        }
    }
    for (size_t rl = 0; rl < t.rows().fields.size(); ++rl) {
        const FieldDef& f = t.fields()[size_t(t.rows().fields[rl])];
        std::string cap = f.caption.empty() ? f.name : f.caption;
        worksheet_write_string(ws, top + lxw_row_t(colLevels - 1), lxw_col_t(rl), cap.c_str(),
                               formats.get(Formats::Heading));
    }

    std::vector<std::string> previous(static_cast<size_t>(rowLevels));
    lxw_row_t row = top + lxw_row_t(colLevels);
    for (size_t l : lines) {
        bool total = t.isTotalLine(l);
        bool outerChanged = false;
        for (int level = 0; level < rowLevels; ++level) {
            std::string h = t.rowHeading(l, level);
            // Without repetitions an item is written on the first line of its group only.
            bool same = !outerChanged && h == previous[size_t(level)] && !total;
            if (!same) outerChanged = true;
            previous[size_t(level)] = h;
            auto* f = formats.get(total ? Formats::Total : Formats::Item);
            if (o.noRepeatedNames && same)
                worksheet_write_blank(ws, row, lxw_col_t(level), f);
            else
                writeText(ws, row, lxw_col_t(level), h, itemNumber(t.rows(), t.rows().lines[l], level), f);
        }
        if (total) std::fill(previous.begin(), previous.end(), std::string());
        for (size_t i = 0; i < cols.size(); ++i) {
            size_t c = cols[i];
            bool totalCell = total || t.isTotalColumn(c);
            int d = t.dataFieldOf(c);
            std::string nf = d >= 0 ? spreadsheetFormat(t.fields()[size_t(d)].numberFormat) : std::string();
            auto* f = formats.get(totalCell ? Formats::TotalValue : Formats::Value, nf);
            auto v = t.value(l, c);
            if (v)
                worksheet_write_number(ws, row, lxw_col_t(rowLevels + int(i)), *v, f);
            else if (totalCell && o.colors)
                worksheet_write_blank(ws, row, lxw_col_t(rowLevels + int(i)), f);
        }
        ++row;
    }
    worksheet_set_column(ws, 0, lxw_col_t(rowLevels - 1), 22, nullptr);
    if (!cols.empty())
        worksheet_set_column(ws, lxw_col_t(rowLevels), lxw_col_t(rowLevels + int(cols.size()) - 1), 14, nullptr);

    lxw_error e = workbook_close(wb);
    if (e != LXW_NO_ERROR) {
        error = file + ": " + lxw_strerror(e);
        return false;
    }
    return true;
}

}  // namespace pivot
