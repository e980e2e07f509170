// CSV export of a data set's result: ";" separated, a header line of column names, CR LF.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "cubes/odbc/odbc_class.h"
#include "runtime/os/path.h"

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

bool writeLine(std::FILE* f, std::string& line) {
    std::string_view cut = rt::cutChars(line, kMaxLineChars);
    line.resize(cut.size());
    line += "\r\n";
    return std::fwrite(line.data(), 1, line.size(), f) == line.size();
}

}  // namespace

std::string odbcCsvValue(std::string_view value) {
    if (value.empty() || !isAsciiLetter(value[0]) || value == "Y" || value == "N") return std::string(value);
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
    const std::string path = rt::resolvePath(file);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        showMessage("Fehler beim Erstellen der Datei: " + std::string(std::strerror(errno)), "CSV-Export",
                    OdbcIcon::Question);
        return;
    }
    ::close(fd);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        showMessage("Fehler beim Öffnen der Datei: " + std::string(std::strerror(errno)), "CSV-Export",
                    OdbcIcon::Question);
        return;
    }

    std::unique_ptr<OdbcProgress> progress = odbcOpenProgress("CSV-Daten exportieren", r->rowCount());

    std::string line;
    for (const OdbcColumn& col : r->columns()) {
        if (!line.empty()) line.push_back(';');
        line += col.NAME;
    }
    bool ok = writeLine(out, line);
    const int rows = r->rowCount();
    const int cols = r->colCount();
    for (int row = 1; row <= rows && ok; ++row) {
        SetRow(row);
        if (progress && row % 100 == 0) progress->move(row);
        line.clear();
        for (int c = 1; c <= cols; ++c) {
            if (c > 1) line.push_back(';');
            line += odbcCsvValue(rt::clip(r->cell(row, c)));
        }
        ok = writeLine(out, line);
    }
    std::fclose(out);
    progress.reset();
}
