#pragma once
// The print set-up between a finished report and the printer: closes the report's last page,
// shows the preview, lets the user choose the pages, copies and collation, and prints the
// chosen pages one by one (or copies the page pictures into ".\View_NNN.WMF" files).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/report/report.h"

// state: does anything only when it is 1, and is 2 on return. The flags are 0 or 1.
// ThreadResponse afterwards: 1 when the pages were printed at once without the window, 2 when
// the window was shown or the preview was left without printing.
void PrintSetupWindow(rt::PreviewQueue& pages, rt::Report& report, std::uint8_t& state, std::uint8_t offerWindow,
                      std::string_view iniSection, std::string_view iniFile, std::uint8_t useIni,
                      std::uint8_t keepPosition, std::uint8_t preview, std::uint8_t copiesAllowed,
                      std::uint8_t fileAllowed);

namespace printsetup {

enum : int {
    PRINTER_NAME = 1,
    PRINTER_PORT,
    GROUP_RANGE,
    OPTION,
    RADIO_ALL,
    RADIO_CURRENT,
    RADIO_RANGE,
    PROMPT_FROM,
    SPIN_FROM,
    PROMPT_TO,
    SPIN_TO,
    GROUP_COPIES,
    PROMPT_COPIES,
    SPIN_COPIES,
    CHECK_COLLATE,
    PAGE_LABEL = 20,  // nine labels: PAGE_LABEL + 0 .. 8, three stacks of three
    GROUP_FILE = 30,
    CHECK_FILE,
    PRINT_PICTURE,
    PROGRESS,
    OK_BUTTON,
    CANCEL_BUTTON,
};

// Cuts the list to the pages from .. to (1-based, both included; from > to counts as to .. to).
void cutToRange(rt::PreviewQueue& pages, long from, long to);
// Adds copies 2 .. copies: collated as whole runs (1 2 3 1 2 3), else each page repeated in a
// row (1 1 2 2 3 3).
void addCopies(rt::PreviewQueue& pages, int copies, bool collate);
// The nine page labels, stack by stack.
std::array<std::string, 9> pageLabels(bool collate);
// ".\View_001.WMF" for page 1.
std::string viewFileName(int page);

}  // namespace printsetup
