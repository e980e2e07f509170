// Query by example: the options that set the look of its report and view (".\QBESetup.INI",
// section "QBE Setup") and the source text that lists each source's fields (".\VOQKivorant.qbe").
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "queries/qbe/qbe_grid.h"

inline constexpr std::string_view kQBESetupFile = ".\\QBESetup.INI";
inline constexpr std::string_view kQBESetupSection = "QBE Setup";
inline constexpr std::string_view kQBESourceFile = ".\\VOQKivorant.qbe";

// Colours are 0x00BBGGRR; -1 is the control's default colour. Lengths in millimetres.
struct QBEOptionValues {
    std::array<long, 10> reportColor{0, 8421376, 8388608, 32896, 0, 0, 255, 32768, 0, 0};
    std::array<std::string, 8> reportText{"Query on", "Time:",   "Page:",   "Sum",
                                          "Count",    "Average", "Minimum", "Maximum"};
    long reportFontSize = 8;
    long reportWidth = 297, reportHeight = 210;
    long reportLeft = 15, reportRight = 15, reportTop = 15, reportBottom = 15;
    long reportMinColumn = 20, reportMaxColumn = 50;
    long reportSource = 0, reportBreak = 0;
    std::array<long, 4> viewColor{-1, -1, 8454143, 0};
    long viewColumnWidth = 60, viewColumnHeight = 10, viewFontSize = 8;

    // The defaults of one tab of the options window each.
    void defaultSize();
    void defaultColors();
    void defaultTexts();
    void defaultView();
};

// The process-wide options, as the component and the options window share them.
QBEOptionValues CurrentQBEOptions();
void SetQBEOptions(const QBEOptionValues& values);

// Reads the options file into the process-wide options (a missing key gives its default), and
// writes all 36 keys back as decimal text and the texts as they are.
void LoadQBEOptions(std::string_view file = kQBESetupFile);
bool SaveQBEOptions(std::string_view file = kQBESetupFile);

// The three sources, in the order the component offers them (numbered from 1).
inline constexpr std::array<std::string_view, 3> kQBESources = {"CrossTab", "VOQCubeGruppe", "VOQCubeKopf"};
bool IsQBESource(std::string_view name);

// The fields a source offers, one column each with NUMBER its place in the record and NAME,
// HEADER, PICTURE, JUSTIFY from the comma-separated parts of "FIELDi" (trimmed; missing parts
// empty). The program never writes this file.
std::vector<QBEColumn> QBESourceFields(std::string_view source, std::string_view file = kQBESourceFile);
