#include "core/print/print_setup.h"

#include <algorithm>

#include "core/print/report_preview.h"
#include "runtime/ini/ini_manager.h"
#include "runtime/os/files.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using rt::ControlKind;
using rt::Event;
using namespace printsetup;

namespace printsetup {

void cutToRange(rt::PreviewQueue& pages, long from, long to) {
    if (pages.empty()) return;
    const long n = static_cast<long>(pages.size());
    to = std::clamp(to, 1L, n);
    from = std::clamp(from, 1L, n);
    if (from > to) from = to;
    pages.erase(pages.begin(), pages.begin() + (from - 1));
    to -= from - 1;
    if (static_cast<long>(pages.size()) > to) pages.resize(static_cast<std::size_t>(to));
}

void addCopies(rt::PreviewQueue& pages, int copies, bool collate) {
    const std::size_t n = pages.size();
    if (n == 0 || copies < 2) return;
    if (collate) {
        for (int k = 2; k <= copies; ++k)
            for (std::size_t p = 0; p < n; ++p) pages.push_back(pages[p]);
        return;
    }
    // Copy k of page p goes right behind its k - 1 earlier copies: the entry at position
    // k × p − 1 is duplicated at k × p.
    for (std::size_t k = 2; k <= static_cast<std::size_t>(copies); ++k)
        for (std::size_t p = 1; p <= n; ++p) {
            std::size_t from = k * p - 1;  // 1-based
            rt::PreviewEntry copy = pages[from - 1];
            pages.insert(pages.begin() + static_cast<std::ptrdiff_t>(from), std::move(copy));
        }
}

std::array<std::string, 9> pageLabels(bool collate) {
    std::array<std::string, 9> out;
    for (int stack = 0; stack < 3; ++stack)
        for (int i = 0; i < 3; ++i)
            out[static_cast<std::size_t>(stack * 3 + i)] = "  " + std::to_string(collate ? 3 - i : stack + 1);
    return out;
}

std::string viewFileName(int page) { return ".\\View_" + rt::formatPicture(page, "N03") + ".WMF"; }

}  // namespace printsetup

namespace {

int numberOf(const std::string& text) { return static_cast<int>(rt::deformatInt64(rt::trimBlanks(text), "@n-9")); }

struct Choices {
    int option = 1;
    int from = 1, to = 1;
    int copies = 1;
    bool collate = true;
    bool toFile = false;
};

}  // namespace

void PrintSetupWindow(rt::PreviewQueue& pages, rt::Report& report, std::uint8_t& state, std::uint8_t offerWindow,
                      std::string_view iniSection, std::string_view iniFile, std::uint8_t useIni,
                      std::uint8_t keepPosition, std::uint8_t preview, std::uint8_t copiesAllowed,
                      std::uint8_t fileAllowed) {
    if (state != 1) return;
    state = 2;
    rt::pushProcedureName("PrintSetupWindow");
    report.endPage();
    std::int32_t currentPage = 0;
    if (preview) {
        currentPage = ReportPreview(pages);
    } else {
        rt::ThreadResponse = 1;
    }
    if (rt::ThreadResponse != 1 || pages.empty()) {
        rt::popProcedureName();
        return;
    }
    if (!offerWindow) {
        report.printPages(pages);
        rt::ThreadResponse = 1;
        rt::popProcedureName();
        return;
    }
    rt::ThreadResponse = 2;

    const int n = static_cast<int>(pages.size());
    rt::IniManager ini;
    if (useIni || keepPosition) ini.setFileName(iniFile);

    Choices ch;
    ch.to = n;
    if (useIni) {
        // Whatever the file says, the choices stay inside what this report can print.
        ch.option = std::clamp(static_cast<int>(ini.fetchNumber(iniSection, "PrintOption", 1)), 1, 3);
        if (ch.option == 2 && currentPage <= 0) ch.option = 1;
        ch.from = std::clamp(static_cast<int>(ini.fetchNumber(iniSection, "FromPage", 1)), 1, n);
        ch.to = std::clamp(static_cast<int>(ini.fetchNumber(iniSection, "ToPage", n)), 1, n);
        if (ch.from > ch.to) ch.from = ch.to;
        ch.copies = std::clamp(static_cast<int>(ini.fetchNumber(iniSection, "Copies", 1)), 1, 99);
        ch.collate = ini.fetchNumber(iniSection, "Collate", 1) != 0;
        ch.toFile = ini.fetchNumber(iniSection, "PrintToFile", 0) != 0;
    }

    rt::Window w("PrintSetupWindow", "Print");
    w.setPosition(0, 0, 220, 190).edit().centered = true;
    w.add(PRINTER_NAME, ControlKind::String).setText(report.printerName()).setPosition(8, 6, 200, 10);
    w.add(PRINTER_PORT, ControlKind::String).setText("on " + report.printerPort()).setPosition(8, 16, 200, 10);
    w.add(GROUP_RANGE, ControlKind::Group).setText("Page Range").setPosition(6, 28, 100, 92);
    w.add(OPTION, ControlKind::Option, GROUP_RANGE).setPosition(10, 36, 90, 40).setValue(std::to_string(ch.option));
    w.add(RADIO_ALL, ControlKind::Radio, OPTION)
        .setText("&All Pages")
        .setTip("All pages will be printet")
        .setRadioValue("1")
        .setPosition(12, 38, 86, 10);
    w.add(RADIO_CURRENT, ControlKind::Radio, OPTION)
        .setText("&Current Page")
        .setTip("Only the current page will be printet")
        .setRadioValue("2")
        .setPosition(12, 50, 86, 10);
    w.add(RADIO_RANGE, ControlKind::Radio, OPTION)
        .setText("&Range of Pages")
        .setTip("Range of pages will be printet")
        .setRadioValue("3")
        .setPosition(12, 62, 86, 10);
    w.add(PROMPT_FROM, ControlKind::Prompt, GROUP_RANGE).setText("&From page").setPosition(12, 80, 40, 10);
    w.add(SPIN_FROM, ControlKind::Spin, GROUP_RANGE)
        .setPicture("n3")
        .setRange(1, n)
        .setTip("Start page to be printet")
        .setValue(std::to_string(ch.from))
        .setPosition(56, 78, 40, 12);
    w.add(PROMPT_TO, ControlKind::Prompt, GROUP_RANGE).setText("&To page").setPosition(12, 96, 40, 10);
    w.add(SPIN_TO, ControlKind::Spin, GROUP_RANGE)
        .setPicture("n3")
        .setRange(1, n)
        .setTip("End page to be printet")
        .setValue(std::to_string(ch.to))
        .setPosition(56, 94, 40, 12);
    w.add(GROUP_COPIES, ControlKind::Group).setText("Page Copies").setPosition(112, 28, 100, 92);
    w.add(PROMPT_COPIES, ControlKind::Prompt, GROUP_COPIES).setText("C&opies").setPosition(116, 40, 30, 10);
    w.add(SPIN_COPIES, ControlKind::Spin, GROUP_COPIES)
        .setPicture("n2")
        .setRange(1, 99)
        .setTip("In how many copies do you want")
        .setValue(std::to_string(ch.copies))
        .setPosition(150, 38, 30, 12);
    w.add(CHECK_COLLATE, ControlKind::Check, GROUP_COPIES)
        .setText("Co&llate")
        .setTip("Are the pages to be collated")
        .setValue(ch.collate ? "1" : "0")
        .setPosition(116, 56, 60, 10)
        .disable();
    auto labels = pageLabels(ch.collate);
    for (int i = 0; i < 9; ++i)
        w.add(PAGE_LABEL + i, ControlKind::String, GROUP_COPIES)
            .setText(labels[static_cast<std::size_t>(i)])
            .setPosition(118 + (i / 3) * 30 + (i % 3) * 3, 72 + (i % 3) * 3, 14, 10);
    w.add(GROUP_FILE, ControlKind::Group).setText("Page to File").setPosition(6, 124, 206, 24);
    w.add(CHECK_FILE, ControlKind::Check, GROUP_FILE)
        .setText("Print &to file (windows meta file)")
        .setTip("Send the print to af file")
        .setValue(ch.toFile ? "1" : "0")
        .setPosition(12, 134, 190, 10);
    w.add(PRINT_PICTURE, ControlKind::Image).setIcon("PRINT.ICO").setPosition(8, 154, 16, 16).hide();
    w.add(PROGRESS, ControlKind::Progress).setPosition(28, 156, 120, 10).setRange(0, n).setValue("0").hide();
    w.add(OK_BUTTON, ControlKind::Button)
        .setText("OK")
        .setTip("Start printing")
        .setPosition(120, 172, 44, 14)
        .edit()
        .defaultButton = true;
    w.add(CANCEL_BUTTON, ControlKind::Button)
        .setText("Cancel")
        .setTip("Return without printing")
        .setPosition(168, 172, 44, 14);

    if (!copiesAllowed)
        for (int id : w.childrenOf(GROUP_COPIES)) w[id].disable();
    if (!copiesAllowed) w[GROUP_COPIES].disable();
    if (!fileAllowed) {
        w[GROUP_FILE].disable();
        w[CHECK_FILE].disable();
    }
    if (currentPage <= 0) w[RADIO_CURRENT].disable();
    if (copiesAllowed && ch.copies > 1) w[CHECK_COLLATE].enable();

    if (keepPosition) {
        long long x = ini.fetchNumber(iniSection, "XPos", 0), y = ini.fetchNumber(iniSection, "YPos", 0);
        long long width = ini.fetchNumber(iniSection, "Width", 0), height = ini.fetchNumber(iniSection, "Height", 0);
        if (width > 0 && height > 0)
            w.setPosition(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width), static_cast<int>(height));
    }

    auto setRangeEnabled = [&](bool on) {
        for (int id : {PROMPT_FROM, SPIN_FROM, PROMPT_TO, SPIN_TO}) w[id].setEnabled(on);
    };
    auto showLabels = [&](bool collate) {
        auto l = pageLabels(collate);
        for (int i = 0; i < 9; ++i) w[PAGE_LABEL + i].setText(l[static_cast<std::size_t>(i)]);
    };

    auto printChosen = [&] {
        if (keepPosition) {
            const auto& p = w.props();
            ini.update(iniSection, "XPos", p.x);
            ini.update(iniSection, "YPos", p.y);
            ini.update(iniSection, "Width", p.width);
            ini.update(iniSection, "Height", p.height);
        }
        if (useIni) {
            ini.update(iniSection, "PrintOption", ch.option);
            ini.update(iniSection, "FromPage", ch.from);
            ini.update(iniSection, "ToPage", ch.to);
            ini.update(iniSection, "Copies", ch.copies);
            ini.update(iniSection, "Collate", ch.collate ? 1 : 0);
            ini.update(iniSection, "PrintToFile", ch.toFile ? 1 : 0);
        }
        addCopies(pages, copiesAllowed ? ch.copies : 1, ch.collate);
        const int entries = static_cast<int>(pages.size());
        // The window stays up with its progress bar, taking no input, while the pages go out.
        w[PROGRESS].setRange(0, entries).setValue("0").unhide();
        w[PRINT_PICTURE].unhide();
        w.flush();
        if (fileAllowed && ch.toFile) {
            for (int i = 1; i <= entries; ++i) {
                w[PROGRESS].setValue(std::to_string(i));
                w.flush();
                // A page that cannot be copied is left out without a word.
                rt::copyFile(rt::trimBlanks(pages[static_cast<std::size_t>(i - 1)].PREVIEWFILENAME), viewFileName(i));
            }
        } else {
            rt::PreviewQueue printList = pages;
            for (int i = 1; i <= entries; ++i) {
                w[PROGRESS].setValue(std::to_string(i));
                w.flush();
                pages.assign(1, printList[static_cast<std::size_t>(i - 1)]);
                report.printPages(pages);
            }
            // All pages are one print job; it goes out now.
            report.flush();
        }
    };

    while (auto e = w.accept()) {
        if (e.event != Event::Accepted && e.event != Event::NewSelection) continue;
        switch (e.control) {
        case SPIN_FROM: {
            int typed = numberOf(e.value);
            ch.from = std::clamp(typed, 1, n);
            if (typed != ch.from || ch.from > ch.to) {
                rt::beep();
                if (ch.from > ch.to) ch.to = ch.from;
            }
            w[SPIN_FROM].setValue(std::to_string(ch.from));
            w[SPIN_TO].setValue(std::to_string(ch.to));
            break;
        }
        case SPIN_TO: {
            int typed = numberOf(e.value);
            ch.to = std::clamp(typed, 1, n);
            if (typed != ch.to || ch.from > ch.to) {
                rt::beep();
                if (ch.from > ch.to) ch.from = ch.to;
            }
            w[SPIN_FROM].setValue(std::to_string(ch.from));
            w[SPIN_TO].setValue(std::to_string(ch.to));
            break;
        }
        case OPTION:
            ch.option = std::clamp(numberOf(e.value), 1, 3);
            setRangeEnabled(ch.option == 3);
            break;
        case SPIN_COPIES:
            ch.copies = std::clamp(numberOf(e.value), 1, 99);
            w[SPIN_COPIES].setValue(std::to_string(ch.copies));
            w[CHECK_COLLATE].setEnabled(ch.copies > 1);
            break;
        case CHECK_COLLATE:
            ch.collate = e.value == "1";
            showLabels(ch.collate);
            break;
        case CHECK_FILE: ch.toFile = e.value == "1"; break;
        case OK_BUTTON: {
            if (e.event != Event::Accepted) break;
            long from = ch.from, to = ch.to;
            if (ch.option == 1) {
                from = 1;
                to = n;
            } else if (ch.option == 2) {
                from = to = currentPage;
            }
            if (from > to) from = to;
            cutToRange(pages, from, to);
            printChosen();
            w.post(Event::CloseWindow);
            break;
        }
        case CANCEL_BUTTON:
            if (e.event == Event::Accepted) w.post(Event::CloseWindow);
            break;
        }
    }

    state = 2;
    rt::popProcedureName();
}
