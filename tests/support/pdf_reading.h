#pragma once
// Reports printed into a PDF file as the user does it without a printer ("In PDF-Datei drucken"
// and a file chosen), then read back with the poppler tools: the text, the words with their
// boxes, the page count, and the first page kept as a picture in the build tree.
#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "runtime/report/qt/report_printer_qt.h"
#include "runtime/report/report_printer.h"
#include "runtime/ui/headless_display.h"
#include "tests/support/command_output.h"

namespace voq::test {

// The Qt application that Qt printing needs (offscreen), made once per test program.
inline QGuiApplication& pdfApplication() {
    static int argc = 1;
    static char name[] = "pdf_report_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(argc, argv);
    return app;
}

// Makes the next report that finds no printer go into `pdf`, as the user answers the engine's
// offer. The machine has no printer; the Qt printer is the engine's.
inline void printNextReportInto(rt::TestDriver& user, const std::string& pdf) {
    pdfApplication();
    rt::qt::installReportPrinter();
    user.queueMessageBoxAnswer("In &PDF-Datei drucken");
    rt::FileDialogResult file;
    file.ok = true;
    file.path = pdf;
    user.queueFileDialogAnswer(file);
}

inline std::string quoted(const std::string& s) { return "'" + s + "'"; }

// The text of pages first..last (0: all), laid out as on paper or in reading order.
inline std::string pdfText(const std::string& pdf, int first = 0, int last = 0, bool layout = true) {
    std::string range;
    if (first > 0) range += " -f " + std::to_string(first);
    if (last > 0) range += " -l " + std::to_string(last);
    return commandOutput("pdftotext" + std::string(layout ? " -layout" : "") + range + " " + quoted(pdf) +
                         " - 2>/dev/null");
}

inline int pdfPageCount(const std::string& pdf) {
    std::smatch m;
    const std::string info = commandOutput("pdfinfo " + quoted(pdf) + " 2>/dev/null");
    return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : 0;
}

// One word of a page with its box in points.
struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};

inline std::string unescapeXml(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::string_view(from).size(), to);
    return s;
}

inline std::vector<PdfWord> pdfWords(const std::string& pdf) {
    const std::string html = commandOutput("pdftotext -bbox " + quoted(pdf) + " - 2>/dev/null");
    std::vector<PdfWord> words;
    int page = 0;
    const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::size_t pos = 0;
    while (pos < html.size()) {
        std::size_t nextPage = html.find("<page ", pos);
        std::size_t nextWord = html.find("<word ", pos);
        if (nextWord == std::string::npos) break;
        if (nextPage != std::string::npos && nextPage < nextWord) {
            ++page;
            pos = nextPage + 1;
            continue;
        }
        std::size_t end = html.find("</word>", nextWord);
        std::smatch m;
        const std::string one = html.substr(nextWord, end + 7 - nextWord);
        if (std::regex_match(one, m, word))
            words.push_back(
                {page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), unescapeXml(m[5])});
        pos = end + 7;
    }
    return words;
}

// Keeps the first page as a PNG picture under the build tree's folder of report pictures
// (REPORT_PICTURES), for looking at; the file's path, empty when it could not be made.
inline std::string keepFirstPage(const std::string& pdf, const std::string& name) {
#ifdef REPORT_PICTURES
    const std::filesystem::path folder(REPORT_PICTURES);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string base = (folder / name).string();
    commandOutput("pdftoppm -png -r 80 -f 1 -l 1 -singlefile " + quoted(pdf) + " " + quoted(base) + " 2>&1");
    return std::filesystem::exists(base + ".png") ? base + ".png" : std::string();
#else
    (void)pdf;
    (void)name;
    return {};
#endif
}

}  // namespace voq::test
