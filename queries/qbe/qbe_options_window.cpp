#include "queries/qbe/qbe_options_window.h"

#include <array>
#include <string>

#include "core/common/common_window.h"
#include "queries/qbe/qbe_options.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace qbeoptions;

namespace {

struct NumberField {
    const char* label;
    long QBEOptionValues::*value;
    int low, high, tab, x, y;
};
const std::array<NumberField, 12> kNumbers = {{
    {"&Width:", &QBEOptionValues::reportWidth, 100, 1000, SizeTab, 10, 30},
    {"&Height:", &QBEOptionValues::reportHeight, 100, 1000, SizeTab, 10, 44},
    {"&Left:", &QBEOptionValues::reportLeft, 0, 50, SizeTab, 150, 30},
    {"&Right:", &QBEOptionValues::reportRight, 0, 50, SizeTab, 150, 44},
    {"T&op:", &QBEOptionValues::reportTop, 0, 50, SizeTab, 150, 58},
    {"&Buttom:", &QBEOptionValues::reportBottom, 0, 50, SizeTab, 150, 72},
    {"Mi&nimum column width:", &QBEOptionValues::reportMinColumn, 0, 100, SizeTab, 10, 90},
    {"Ma&ximum column width:", &QBEOptionValues::reportMaxColumn, 10, 200, SizeTab, 10, 104},
    {"Report &font size:", &QBEOptionValues::reportFontSize, 5, 25, TextTab, 150, 30},
    {"Column &width:", &QBEOptionValues::viewColumnWidth, 10, 200, ViewTab, 10, 30},
    {"Column &height:", &QBEOptionValues::viewColumnHeight, 5, 20, ViewTab, 10, 44},
    {"Font &size:", &QBEOptionValues::viewFontSize, 5, 20, ViewTab, 10, 58},
}};
const std::array<const char*, 8> kTextLabels = {
    "&Header:", "Ti&me:", "&Page:", "&Sum:", "C&ount:", "&Average:", "Mi&nimum:", "Ma&ximum:"};
const std::array<const char*, 14> kColorLabels = {"Text:",
                                                  "Report title:",
                                                  "Column title:",
                                                  "Break title:",
                                                  "Break value:",
                                                  "Calculation title:",
                                                  "Calculation value:",
                                                  "Lines:",
                                                  "Date and Time:",
                                                  "Page number:",
                                                  "Default b&ack color:",
                                                  "Default te&xt color:",
                                                  "Locate &back color:",
                                                  "Locate t&ext color:"};

long& colorOf(QBEOptionValues& o, int i) {
    return i < 10 ? o.reportColor[static_cast<std::size_t>(i)] : o.viewColor[static_cast<std::size_t>(i - 10)];
}

}  // namespace

void QBEOptions() {
    rt::Window w("QBEOptions", kTitle);
    w.setPosition(0, 0, 330, 220).edit().centered = true;
    w.add(Sheet, rt::ControlKind::Sheet).setPosition(4, 4, 322, 190);
    w.add(SizeTab, rt::ControlKind::Tab, Sheet).setText("Report &Size");
    w.add(ColorTab, rt::ControlKind::Tab, Sheet).setText("Report &Color");
    w.add(TextTab, rt::ControlKind::Tab, Sheet).setText("Report &Text");
    w.add(ViewTab, rt::ControlKind::Tab, Sheet).setText("&View Setup");
    w.add(Number + 90, rt::ControlKind::Prompt, SizeTab)
        .setText("(all values are in millimeters)")
        .setPosition(10, 20, 140, 10);
    for (std::size_t i = 0; i < kNumbers.size(); ++i) {
        const auto& n = kNumbers[i];
        const int id = Number + static_cast<int>(i);
        w.add(id + 50, rt::ControlKind::Prompt, n.tab).setText(n.label).setPosition(n.x, n.y + 1, 80, 10);
        w.add(id, rt::ControlKind::Spin, n.tab)
            .setPicture("@n5")
            .setRange(n.low, n.high)
            .setPosition(n.x + 82, n.y, 40, 12);
    }
    w.add(Check, rt::ControlKind::Check, SizeTab)
        .setText(" S&how QBE source at report print")
        .setPosition(10, 124, 200, 10);
    w.add(Check + 1, rt::ControlKind::Check, SizeTab)
        .setText(" &Force new page on report break")
        .setPosition(10, 138, 200, 10);
    for (int i = 0; i < 8; ++i) {
        w.add(Text + 20 + i, rt::ControlKind::Prompt, TextTab)
            .setText(kTextLabels[static_cast<std::size_t>(i)])
            .setPosition(10, 50 + i * 14, 50, 10);
        w.add(Text + i, rt::ControlKind::Entry, TextTab).setPicture("@s255").setPosition(62, 49 + i * 14, 120, 12);
    }
    for (int i = 0; i < 14; ++i) {
        const int tab = i < 10 ? ColorTab : ViewTab;
        const int y = i < 10 ? 22 + i * 16 : 80 + (i - 10) * 16;
        w.add(ColorPrompt + i, rt::ControlKind::Prompt, tab)
            .setText(kColorLabels[static_cast<std::size_t>(i)])
            .setPosition(10, y + 2, 80, 10);
        w.add(ColorRegion + i, rt::ControlKind::Box, tab).setPosition(92, y, 40, 12);
        w.add(ColorButton + i, rt::ControlKind::Button, tab).setText("...").setPosition(136, y, 16, 12);
    }
    const struct {
        int id;
        const char* text;
        int x;
    } buttons[] = {{Ok, "OK", 4},
                   {Cancel, "Cancel", 42},
                   {DefaultSize, "Set Default Size", 80},
                   {DefaultColor, "Set Default Color", 142},
                   {DefaultText, "Set Default Text", 204},
                   {DefaultView, "Set Default View", 266}};
    for (const auto& b : buttons)
        w.add(b.id, rt::ControlKind::Button).setText(b.text).setPosition(b.x, 200, b.id <= Cancel ? 36 : 60, 14);
    w.setImmediateAll(true);

    std::array<long, 14> regions{};
    auto show = [&] {
        QBEOptionValues o = CurrentQBEOptions();
        for (std::size_t i = 0; i < kNumbers.size(); ++i)
            w[Number + static_cast<int>(i)].setValue(std::to_string(o.*kNumbers[i].value));
        w[Check].setValue(o.reportSource ? "1" : "0");
        w[Check + 1].setValue(o.reportBreak ? "1" : "0");
        for (int i = 0; i < 8; ++i) w[Text + i].setValue(o.reportText[static_cast<std::size_t>(i)]);
        for (int i = 0; i < 14; ++i)
            w[ColorRegion + i].edit().background = static_cast<rt::Color>(regions[static_cast<std::size_t>(i)]);
    };
    auto colorsFromValues = [&] {
        QBEOptionValues o = CurrentQBEOptions();
        for (int i = 0; i < 14; ++i) regions[static_cast<std::size_t>(i)] = colorOf(o, i);
    };
    colorsFromValues();

    // What the window changes is in effect at once; anything but OK puts the values back.
    const QBEOptionValues before = CurrentQBEOptions();
    bool saved = false;
    rt::WindowController wc(w, "QBEOptions");
    CommonWindow common(wc);
    wc.onInit = [&] {
        show();
        return 0;
    };
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        QBEOptionValues o = CurrentQBEOptions();
        const int id = e.control;
        if (id >= Number && id < Number + static_cast<int>(kNumbers.size())) {
            o.*kNumbers[static_cast<std::size_t>(id - Number)].value = std::atol(w[id].value().c_str());
        } else if (id == Check || id == Check + 1) {
            (id == Check ? o.reportSource : o.reportBreak) = w[id].value() == "1" ? 1 : 0;
        } else if (id >= Text && id < Text + 8) {
            o.reportText[static_cast<std::size_t>(id - Text)] = w[id].value();
        } else if (id >= ColorButton && id < ColorButton + 14) {
            long& c = regions[static_cast<std::size_t>(id - ColorButton)];
            const rt::ColorDialogResult chosen = rt::colorDialog("Select Color", static_cast<rt::Color>(c));
            if (chosen.ok) c = static_cast<long>(chosen.color);
            show();
            return true;
        } else if (id == DefaultSize || id == DefaultText || id == DefaultView || id == DefaultColor) {
            if (id == DefaultSize) o.defaultSize();
            if (id == DefaultText) o.defaultTexts();
            if (id == DefaultView) o.defaultView();
            if (id == DefaultColor) o.defaultColors();
            SetQBEOptions(o);
            if (id == DefaultColor || id == DefaultView) {
                for (int i = id == DefaultColor ? 0 : 10; i < (id == DefaultColor ? 10 : 14); ++i)
                    regions[static_cast<std::size_t>(i)] = colorOf(o, i);
            }
            show();
            return true;
        } else if (id == Ok) {
            for (int i = 0; i < 14; ++i) colorOf(o, i) = regions[static_cast<std::size_t>(i)];
            SetQBEOptions(o);
            SaveQBEOptions();
            saved = true;
            wc.close(rt::response::Completed);
            return true;
        } else if (id == Cancel) {
            wc.close(rt::response::Cancelled);
            return true;
        } else {
            return false;
        }
        SetQBEOptions(o);
        return true;
    };
    wc.run();
    if (!saved) SetQBEOptions(before);
}
