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

// The print set-up window of one report: the choices, what each control does with them, and the
// printing of the chosen pages.
class PrintSetup {
public:
    PrintSetup(rt::PreviewQueue& pages, rt::Report& report, int currentPage, std::string_view iniSection,
               std::string_view iniFile, bool useIni, bool keepPosition, bool copiesAllowed, bool fileAllowed)
        : pages_(pages),
          report_(report),
          n_(static_cast<int>(pages.size())),
          currentPage_(currentPage),
          iniSection_(iniSection),
          useIni_(useIni),
          keepPosition_(keepPosition),
          copiesAllowed_(copiesAllowed),
          fileAllowed_(fileAllowed),
          w_("PrintSetupWindow", "Print") {
        if (useIni || keepPosition) ini_.setFileName(iniFile);
        ch_.to = n_;
        if (useIni) readChoices();
    }

    void run() {
        build();
        while (auto e = w_.accept()) {
            if (e.event != Event::Accepted && e.event != Event::NewSelection) continue;
            switch (e.control) {
            case SPIN_FROM: rangeTyped(ch_.from, ch_.to, numberOf(e.value)); break;
            case SPIN_TO: rangeTyped(ch_.to, ch_.from, numberOf(e.value)); break;
            case OPTION: optionChosen(numberOf(e.value)); break;
            case SPIN_COPIES: copiesTyped(numberOf(e.value)); break;
            case CHECK_COLLATE: collateChosen(e.value == "1"); break;
            case CHECK_FILE: ch_.toFile = e.value == "1"; break;
            case OK_BUTTON:
                if (e.event == Event::Accepted) okPressed();
                break;
            case CANCEL_BUTTON:
                if (e.event == Event::Accepted) w_.post(Event::CloseWindow);
                break;
            }
        }
    }

private:
    // Whatever the file says, the choices stay inside what this report can print.
    void readChoices() {
        ch_.option = std::clamp(static_cast<int>(ini_.fetchNumber(iniSection_, "PrintOption", 1)), 1, 3);
        if (ch_.option == 2 && currentPage_ <= 0) ch_.option = 1;
        ch_.from = std::clamp(static_cast<int>(ini_.fetchNumber(iniSection_, "FromPage", 1)), 1, n_);
        ch_.to = std::clamp(static_cast<int>(ini_.fetchNumber(iniSection_, "ToPage", n_)), 1, n_);
        if (ch_.from > ch_.to) ch_.from = ch_.to;
        ch_.copies = std::clamp(static_cast<int>(ini_.fetchNumber(iniSection_, "Copies", 1)), 1, 99);
        ch_.collate = ini_.fetchNumber(iniSection_, "Collate", 1) != 0;
        ch_.toFile = ini_.fetchNumber(iniSection_, "PrintToFile", 0) != 0;
    }

    void build() {
        auto& w = w_;
        const int n = n_;
        w.setPosition(0, 0, 220, 190).edit().centered = true;
        w.add(PRINTER_NAME, ControlKind::String).setText(report_.printerName()).setPosition(8, 6, 200, 10);
        w.add(PRINTER_PORT, ControlKind::String).setText("on " + report_.printerPort()).setPosition(8, 16, 200, 10);
        w.add(GROUP_RANGE, ControlKind::Group).setText("Page Range").setPosition(6, 28, 100, 92);
        w.add(OPTION, ControlKind::Option, GROUP_RANGE)
            .setPosition(10, 36, 90, 40)
            .setValue(std::to_string(ch_.option));
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
            .setValue(std::to_string(ch_.from))
            .setPosition(56, 78, 40, 12);
        w.add(PROMPT_TO, ControlKind::Prompt, GROUP_RANGE).setText("&To page").setPosition(12, 96, 40, 10);
        w.add(SPIN_TO, ControlKind::Spin, GROUP_RANGE)
            .setPicture("n3")
            .setRange(1, n)
            .setTip("End page to be printet")
            .setValue(std::to_string(ch_.to))
            .setPosition(56, 94, 40, 12);
        w.add(GROUP_COPIES, ControlKind::Group).setText("Page Copies").setPosition(112, 28, 100, 92);
        w.add(PROMPT_COPIES, ControlKind::Prompt, GROUP_COPIES).setText("C&opies").setPosition(116, 40, 30, 10);
        w.add(SPIN_COPIES, ControlKind::Spin, GROUP_COPIES)
            .setPicture("n2")
            .setRange(1, 99)
            .setTip("In how many copies do you want")
            .setValue(std::to_string(ch_.copies))
            .setPosition(150, 38, 30, 12);
        w.add(CHECK_COLLATE, ControlKind::Check, GROUP_COPIES)
            .setText("Co&llate")
            .setTip("Are the pages to be collated")
            .setValue(ch_.collate ? "1" : "0")
            .setPosition(116, 56, 60, 10)
            .disable();
        auto labels = pageLabels(ch_.collate);
        // Three stacks of three sheets, each fanned out so that every sheet's number shows.
        for (int i = 0; i < 9; ++i) {
            auto label = w.add(PAGE_LABEL + i, ControlKind::String, GROUP_COPIES)
                             .setText(labels[static_cast<std::size_t>(i)])
                             .setBackground(rt::rgb(255, 255, 255))
                             .setPosition(118 + (i / 3) * 31 + (i % 3) * 5, 70 + (i % 3) * 12, 16, 11);
            label.edit().borderColor = rt::rgb(0, 0, 0);
        }
        w.add(GROUP_FILE, ControlKind::Group).setText("Page to File").setPosition(6, 124, 206, 24);
        w.add(CHECK_FILE, ControlKind::Check, GROUP_FILE)
            .setText("Print &to file (windows meta file)")
            .setTip("Send the print to af file")
            .setValue(ch_.toFile ? "1" : "0")
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

        if (!copiesAllowed_)
            for (int id : w.childrenOf(GROUP_COPIES)) w[id].disable();
        if (!copiesAllowed_) w[GROUP_COPIES].disable();
        if (!fileAllowed_) {
            w[GROUP_FILE].disable();
            w[CHECK_FILE].disable();
        }
        if (currentPage_ <= 0) w[RADIO_CURRENT].disable();
        if (copiesAllowed_ && ch_.copies > 1) w[CHECK_COLLATE].enable();

        if (keepPosition_) {
            long long x = ini_.fetchNumber(iniSection_, "XPos", 0), y = ini_.fetchNumber(iniSection_, "YPos", 0);
            long long width = ini_.fetchNumber(iniSection_, "Width", 0);
            long long height = ini_.fetchNumber(iniSection_, "Height", 0);
            if (width > 0 && height > 0)
                w.setPosition(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                              static_cast<int>(height));
        }
    }

    // A page typed into one end of the range: kept inside the report, the other end follows it
    // past; a page out of range beeps.
    void rangeTyped(int& end, int& other, int typed) {
        end = std::clamp(typed, 1, n_);
        const bool crossed = ch_.from > ch_.to;
        if (typed != end || crossed) {
            rt::beep();
            if (crossed) other = end;
        }
        w_[SPIN_FROM].setValue(std::to_string(ch_.from));
        w_[SPIN_TO].setValue(std::to_string(ch_.to));
    }

    void optionChosen(int option) {
        ch_.option = std::clamp(option, 1, 3);
        for (int id : {PROMPT_FROM, SPIN_FROM, PROMPT_TO, SPIN_TO}) w_[id].setEnabled(ch_.option == 3);
    }

    void copiesTyped(int copies) {
        ch_.copies = std::clamp(copies, 1, 99);
        w_[SPIN_COPIES].setValue(std::to_string(ch_.copies));
        w_[CHECK_COLLATE].setEnabled(ch_.copies > 1);
    }

    void collateChosen(bool collate) {
        ch_.collate = collate;
        auto l = pageLabels(collate);
        for (int i = 0; i < 9; ++i) w_[PAGE_LABEL + i].setText(l[static_cast<std::size_t>(i)]);
    }

    void okPressed() {
        long from = ch_.from, to = ch_.to;
        if (ch_.option == 1) {
            from = 1;
            to = n_;
        } else if (ch_.option == 2) {
            from = to = currentPage_;
        }
        if (from > to) from = to;
        cutToRange(pages_, from, to);
        printChosen();
        w_.post(Event::CloseWindow);
    }

    void saveChoices() {
        if (keepPosition_) {
            const auto& p = w_.props();
            ini_.update(iniSection_, "XPos", p.x);
            ini_.update(iniSection_, "YPos", p.y);
            ini_.update(iniSection_, "Width", p.width);
            ini_.update(iniSection_, "Height", p.height);
        }
        if (useIni_) {
            ini_.update(iniSection_, "PrintOption", ch_.option);
            ini_.update(iniSection_, "FromPage", ch_.from);
            ini_.update(iniSection_, "ToPage", ch_.to);
            ini_.update(iniSection_, "Copies", ch_.copies);
            ini_.update(iniSection_, "Collate", ch_.collate ? 1 : 0);
            ini_.update(iniSection_, "PrintToFile", ch_.toFile ? 1 : 0);
        }
    }

    void printChosen() {
        saveChoices();
        addCopies(pages_, copiesAllowed_ ? ch_.copies : 1, ch_.collate);
        const int entries = static_cast<int>(pages_.size());
        // The window stays up with its progress bar, taking no input, while the pages go out.
        w_[PROGRESS].setRange(0, entries).setValue("0").unhide();
        w_[PRINT_PICTURE].unhide();
        w_.flush();
        if (fileAllowed_ && ch_.toFile) {
            for (int i = 1; i <= entries; ++i) {
                w_[PROGRESS].setValue(std::to_string(i));
                w_.flush();
                // A page that cannot be copied is left out without a word.
                rt::copyFile(rt::trimBlanks(pages_[static_cast<std::size_t>(i - 1)].PREVIEWFILENAME), viewFileName(i));
            }
            return;
        }
        rt::PreviewQueue printList = pages_;
        for (int i = 1; i <= entries; ++i) {
            w_[PROGRESS].setValue(std::to_string(i));
            w_.flush();
            pages_.assign(1, printList[static_cast<std::size_t>(i - 1)]);
            // Refused by the printer and by every file offered instead: the other pages would
            // only ask again.
            if (!report_.printPages(pages_) && !report_.printing()) break;
        }
        // All pages are one print job; it goes out now.
        report_.flush();
    }

    rt::PreviewQueue& pages_;
    rt::Report& report_;
    const int n_;
    const int currentPage_;
    const std::string_view iniSection_;
    const bool useIni_, keepPosition_, copiesAllowed_, fileAllowed_;
    rt::IniManager ini_;
    Choices ch_;
    rt::Window w_;
};

}  // namespace

void PrintSetupWindow(rt::PreviewQueue& pages, rt::Report& report, std::uint8_t& state, std::uint8_t offerWindow,
                      std::string_view iniSection, std::string_view iniFile, std::uint8_t useIni,
                      std::uint8_t keepPosition, std::uint8_t preview, std::uint8_t copiesAllowed,
                      std::uint8_t fileAllowed) {
    if (state != 1) return;
    state = 2;
    rt::ProcedureName procedure("PrintSetupWindow");
    report.endPage();
    if (pages.empty()) {
        // An empty report prints nothing and shows no window.
        rt::ThreadResponse = 2;
        return;
    }
    std::int32_t currentPage = 0;
    if (preview) {
        currentPage = ReportPreview(pages);
    } else {
        rt::ThreadResponse = 1;
    }
    if (rt::ThreadResponse != 1 || pages.empty()) return;
    if (!offerWindow) {
        report.printPages(pages);
        rt::ThreadResponse = 1;
        return;
    }
    rt::ThreadResponse = 2;
    PrintSetup(pages, report, currentPage, iniSection, iniFile, useIni, keepPosition, copiesAllowed, fileAllowed).run();
    state = 2;
}
