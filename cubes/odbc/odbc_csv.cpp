// CSV export of a data set's result: ";" separated, a header line of column names, CR LF.
#include <vector>

#include "cubes/odbc/odbc_class.h"
#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/text/strings.h"

namespace {

constexpr std::size_t kMaxLineChars = 65520;

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void showMessage(const std::string& text, const std::string& title, OdbcIcon icon) {
    OdbcMessage box;
    box.text = text;
    box.title = title;
    box.icon = icon;
    odbcShowMessage(box);
}

// The cells joined by ";" within the line's room: a cell that no longer fits is written empty,
// so that no quoted value is cut open and the row keeps all its columns.
std::string csvLine(std::vector<std::string>& cells) {
    std::size_t room = cells.empty() ? kMaxLineChars : kMaxLineChars - (cells.size() - 1);
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const std::size_t chars = rt::charLength(cells[c]);
        if (chars <= room)
            room -= chars;
        else
            cells[c].clear();
        if (c > 0) line.push_back(';');
        line += cells[c];
    }
    return line + "\r\n";
}

// A value that would split its cell or its row (";", a quote, CR, LF) between quotes, its own
// quotes doubled, as CSV readers expect.
std::string quotedWhole(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        out.push_back(c);
        if (c == '"') out.push_back('"');
    }
    return out + "\"";
}

bool splitsCell(std::string_view value) { return value.find_first_of(";\"\r\n") != std::string_view::npos; }

// A value as it stands in its cell without the cleaning of letter texts: a text a spreadsheet
// would run as a formula gets its guard, and the whole is quoted when it would split the cell.
std::string plainCell(std::string_view value) {
    const std::string guarded = rt::formulaGuarded(value);
    return splitsCell(guarded) ? quotedWhole(guarded) : guarded;
}

}  // namespace

std::string odbcCsvValue(std::string_view value) {
    if (value.empty() || !isAsciiLetter(value[0]) || value == "Y" || value == "N") return plainCell(value);
    std::string cleaned;
    cleaned.reserve(value.size() + 2);
    for (std::size_t i = 0; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        // U+0081 and U+00A0 (no-break space) are written as two bytes in UTF-8.
        if (c == 0xC2 && i + 1 < value.size()) {
            unsigned char next = static_cast<unsigned char>(value[i + 1]);
            if (next == 0x81 || next == 0xA0) {
                cleaned.push_back(' ');
                ++i;
                continue;
            }
        }
        // Bytes of other letters (à is C3 A0, Š is C5 A0) stay as they are.
        if (c <= 32 || c == '"')
            cleaned.push_back(' ');
        else if (c == '{')
            cleaned.push_back('[');
        else if (c == '}')
            cleaned.push_back(']');
        else if (c == '\\')
            cleaned.push_back('/');
        else
            cleaned.push_back(static_cast<char>(c));
    }
    return "\"" + std::string(rt::trimBlanks(cleaned)) + "\"";
}

void OdbcDataSet::ExportCsv(std::string_view fileName) {
    auto r = snapshot();
    if (r->rowCount() == 0) {
        if (fileName.empty()) showMessage("Keine Daten zum Kopieren vorhanden", "Kopieren", OdbcIcon::Information);
        return;
    }
    std::string file(fileName);
    if (file.empty()) {
        file = odbcAskSaveFile("Geben Sie den Dateinamen ein", "CSV-Dateien|*.CSV|Alle Dateien|*.*");
        if (file.empty()) return;
        file = rt::withDefaultExtension(file, ".csv");
    }
    // Written whole or not at all: an older file of the name stays until every line is written.
    rt::ReplacingFile out;
    if (!out.open(file)) {
        showMessage("Fehler beim Erstellen der Datei: " + out.errorText(), "CSV-Export", OdbcIcon::Question);
        return;
    }

    std::unique_ptr<OdbcProgress> progress = odbcOpenProgress("CSV-Daten exportieren", r->rowCount());

    std::vector<std::string> cells;
    for (const OdbcColumn& col : r->columns()) {
        std::string_view name = rt::clip(col.NAME);
        cells.push_back(plainCell(name));
    }
    bool ok = out.write(csvLine(cells));
    const int rows = r->rowCount();
    const int cols = r->colCount();
    for (int row = 1; row <= rows && ok; ++row) {
        SetRow(row);
        if (progress && row % 100 == 0) progress->move(row);
        cells.clear();
        for (int c = 1; c <= cols; ++c) cells.push_back(odbcCsvValue(rt::clip(r->cell(row, c))));
        ok = out.write(csvLine(cells));
    }
    ok = out.commit() && ok;
    progress.reset();
    if (!ok) showMessage("Fehler beim Schreiben der Datei: " + out.errorText(), "CSV-Export", OdbcIcon::Question);
}
