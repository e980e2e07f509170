#include "cubes/datefilter/input_date_box.h"

#include <utility>

#include "core/calendar/calendar.h"
#include "core/common/common_window.h"
#include "runtime/classlib/request.h"
#include "runtime/classlib/window_controller.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace datefilter;

namespace {

constexpr std::string_view kDatePicture = "@d17";

rt::DateNumber entryDate(rt::Window& w, int entry) { return rt::deformatDate(w[entry].value(), kDatePicture); }

// A text that is there but reads as no date ("32.13.2024", "31.02.2024", "abc") is refused: taken
// as no date it would open the cube over every date, or blame the order of the dates.
bool unreadableDate(rt::Window& w, int entry) {
    return !rt::trimBlanks(w[entry].value()).empty() && entryDate(w, entry) == 0;
}

}  // namespace

std::string InputDateBox(std::string_view message) {
    rt::Window w(kProcedure, kTitle);
    w.setSize(190, 76);
    w.edit().centered = true;
    w.add(Message, rt::ControlKind::String).setText(std::string(message)).setPosition(6, 6, 178, 12);
    auto dateRow = [&](int prompt, int entry, int button, const char* label, int y) {
        w.add(prompt, rt::ControlKind::Prompt).setText(label).setPosition(6, y + 2, 20, 10);
        w.add(entry, rt::ControlKind::Entry).setPicture("@d17b").setPosition(28, y + 1, 60, 12);
        w.add(button, rt::ControlKind::Button).setIcon("DATEPOP.ICO").setTip("Select date").setPosition(90, y, 14, 14);
    };
    dateRow(FromPrompt, FromDate, FromCalendar, "von", 22);
    dateRow(ToPrompt, ToDate, ToCalendar, "bis", 40);
    w.add(Ok, rt::ControlKind::Button)
        .setText("&OK")
        .setIcon("WAOk.ico")
        .setPosition(80, 58, 50, 14)
        .edit()
        .defaultButton = true;
    w.add(Cancel, rt::ControlKind::Button).setText("&Abbrechen").setIcon("WACancel.ico").setPosition(134, 58, 50, 14);

    std::string answer;
    rt::WindowController wc(w, kProcedure);
    CommonWindow common(wc);
    wc.setFirstField(FromDate);
    wc.addCloseButton(Cancel, rt::response::Cancelled);
    wc.onEvent = [&](const rt::EventInfo& e) {
        if (e.event != rt::Event::Accepted) return false;
        if (e.control == FromCalendar || e.control == ToCalendar) {
            const int entry = e.control == FromCalendar ? FromDate : ToDate;
            rt::DateNumber date = entryDate(w, entry);
            CalendarWindow(date, w.props().y + w[e.control].state().y);
            w[entry].setValue(rt::formatPicture(date, "@d17b"));
            return true;
        }
        if (e.control != Ok) return false;
        for (const auto& [entry, name] : {std::pair{FromDate, "von Datum"}, std::pair{ToDate, "Bis Datum"}}) {
            if (!unreadableDate(w, entry)) continue;
            rt::message(
                std::string(kUnreadableText) + " \"" + name + "\": " + std::string(rt::trimBlanks(w[entry].value())),
                kErrorTitle);
            w.select(entry);
            return true;
        }
        const rt::DateNumber from = entryDate(w, FromDate);
        const rt::DateNumber to = entryDate(w, ToDate);
        // A to-date alone is as incomplete as a from-date alone.
        if (from > to || (from == 0 && to != 0)) {
            rt::message(kErrorText, kErrorTitle);
            w[FromDate].setValue("");
            w[ToDate].setValue("");
            w.select(FromDate);
            return true;
        }
        if (from == 0)
            answer.clear();
        else if (from == to)
            answer = rt::formatPicture(from, kDatePicture);
        else
            answer = rt::formatPicture(from, kDatePicture) + ";" + rt::formatPicture(to, kDatePicture);
        answer = std::string(rt::cutChars(answer, 21));
        wc.close(rt::response::Completed);
        return true;
    };
    wc.run();
    return answer;
}
