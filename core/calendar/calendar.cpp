#include "core/calendar/calendar.h"

#include <cstdlib>
#include <string>

#include "runtime/text/picture.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

using namespace calendar;

namespace {

constexpr int kCellWidth = 12;
constexpr int kCellHeight = 11;
// The window is wide enough for its title, the longest month and the year; the controls stand
// in its middle.
constexpr int kInset = 14;
constexpr int kGridX = 18 + kInset;
constexpr int kGridY = 16;
constexpr int kWindowWidth = 120 + 2 * kInset;
constexpr int kWindowHeight = 104;

constexpr rt::Color kNavy = rt::rgb(0, 0, 128);
constexpr rt::Color kGreen = rt::rgb(0, 128, 0);
constexpr rt::Color kRed = rt::rgb(255, 0, 0);
constexpr rt::Color kBlue = rt::rgb(0, 0, 255);
constexpr rt::Color kBlack = rt::rgb(0, 0, 0);

const rt::DateNumber kFirstDay = rt::dateFromYmd(rt::kFirstYear, 1, 1);
const rt::DateNumber kLastDay = rt::dateFromYmd(rt::kLastYear, 12, 31);

long packed(const rt::Ymd& d) { return d.year * 65536L + d.month * 256L + d.day; }

// The top edge of the window that opens the calendar (the window on top of this thread): the
// calendar's place counts from it.
int callerY() {
    const rt::WindowId caller = rt::topWindow(rt::threadNumber());
    for (const auto& p : rt::openWindows())
        if (p.id == caller) return p.y;
    return 0;
}

class Calendar {
public:
    Calendar(rt::DateNumber& date, long verticalPosition);
    void run();

private:
    void build(long verticalPosition);
    // Shown month and year after a step of the month or year: 13 and 0 wrap, the years outside
    // the calendar are refused; the date goes to the first of the shown month.
    void showMonth(int month, int year);
    // The date moved by days: the shown month follows it.
    void moveDate(rt::DateNumber date);
    bool refuseYear(int year);
    void fill();
    void frameCurrent();
    void close(bool cancelled);

    rt::DateNumber& date_;
    rt::DateNumber given_;
    long start_ = 0;
    int month_ = 0;
    int year_ = 0;
    int callerY_ = callerY();  // before the calendar's own window is on top
    rt::Window w_;
    bool closing_ = false;
};

Calendar::Calendar(rt::DateNumber& date, long verticalPosition)
    : date_(date), given_(date), w_(kProcedure, "Kalender") {
    if (date_ < kFirstDay || date_ > kLastDay) date_ = rt::today();
    const rt::Ymd d = rt::ymdFromDate(date_);
    start_ = packed(d);
    month_ = d.month;
    year_ = d.year;
    build(verticalPosition);
}

void Calendar::build(long verticalPosition) {
    w_.setSize(kWindowWidth, kWindowHeight);
    if (verticalPosition != 0) {
        // Beside the caller, wherever it stands on the screen: its left edge, above or below the
        // given line.
        const long y = verticalPosition > 0 ? verticalPosition + 30 : -verticalPosition - kWindowHeight - 5;
        w_.setPosition(0, static_cast<int>(y - callerY_));
        w_.edit().nearOwner = true;
    } else {
        w_.edit().centered = true;
    }
    w_.edit().resizable = false;

    static const char* const heads[] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
    for (int c = 0; c < 7; ++c)
        w_.add(HeadFirst + c, rt::ControlKind::String)
            .setText(heads[c])
            .setFontColor(c == 5   ? kGreen
                          : c == 6 ? kRed
                                   : kNavy)
            .setPosition(kGridX + c * kCellWidth, 4, kCellWidth, 10);
    for (int k = 0; k < kCells; ++k) {
        const int x = kGridX + (k % 7) * kCellWidth;
        const int y = kGridY + (k / 7) * kCellHeight;
        w_.add(CellText + k, rt::ControlKind::String).setPosition(x + 1, y + 1, kCellWidth - 2, kCellHeight - 2);
        w_.add(CellArea + k, rt::ControlKind::Region).setPosition(x, y, kCellWidth, kCellHeight);
    }
    const int bottom = kGridY + 6 * kCellHeight + 6;
    w_.add(Today, rt::ControlKind::Button)
        .setIcon("DATE.ICO")
        .setTip("zum Tag springen")
        .setPosition(kInset + 4, bottom, 14, 14);
    w_.add(MonthPrompt, rt::ControlKind::Prompt).setText("Monat").setPosition(kInset + 22, bottom + 2, 22, 10);
    w_.add(MonthSpin, rt::ControlKind::Spin)
        .setPicture("n2")
        .setTip("Monat ändern")
        .setRange(0, 13)
        .setPosition(kInset + 44, bottom + 1, 22, 12);
    w_.add(YearPrompt, rt::ControlKind::Prompt).setText("Jahr").setPosition(kInset + 70, bottom + 2, 16, 10);
    w_.add(YearSpin, rt::ControlKind::Spin)
        .setPicture("n4")
        .setTip("Jahr ändern")
        .setRange(rt::kFirstYear - 1, rt::kLastYear + 1)
        .setPosition(kInset + 86, bottom + 1, 30, 12);
    for (int key : {rt::keys::Left, rt::keys::Right, rt::keys::Up, rt::keys::Down, rt::keys::PgUp, rt::keys::PgDn,
                    rt::keys::Enter, rt::keys::Esc, rt::keys::MouseRight})
        w_.alert(key);
}

bool Calendar::refuseYear(int year) {
    if (year >= rt::kFirstYear && year <= rt::kLastYear) return false;
    const bool early = year < rt::kFirstYear;
    date_ = early ? kFirstDay : kLastDay;
    const rt::Ymd d = rt::ymdFromDate(date_);
    month_ = d.month;
    year_ = d.year;
    fill();
    rt::beep(rt::Beep::Asterisk);
    rt::message(early ? "You can not use the calendar for|dates before the year 1801"
                      : "You can not use the calendar for|dates after the year 9999",
                "Ilegal date", rt::MessageIcon::Information);
    return true;
}

void Calendar::showMonth(int month, int year) {
    if (month > 12) {
        month = 1;
        ++year;
    } else if (month < 1) {
        month = 12;
        --year;
    }
    if (refuseYear(year)) return;
    month_ = month;
    year_ = year;
    date_ = rt::dateFromYmd(year_, month_, 1);
    fill();
}

void Calendar::moveDate(rt::DateNumber date) {
    if (date < kFirstDay || date > kLastDay) {
        refuseYear(date < kFirstDay ? rt::kFirstYear - 1 : rt::kLastYear + 1);
        return;
    }
    date_ = date;
    const rt::Ymd d = rt::ymdFromDate(date_);
    if (d.month != month_ || d.year != year_) {
        month_ = d.month;
        year_ = d.year;
        fill();
    } else {
        frameCurrent();
    }
}

void Calendar::fill() {
    const rt::DateNumber first = rt::dateFromYmd(year_, month_, 1);
    w_.setTitle(rt::formatDatePattern(first, "MMMM") + " " + std::to_string(year_));
    w_[MonthSpin].setValue(std::to_string(month_));
    w_[YearSpin].setValue(std::to_string(year_));
    const int column = first % 7 == 0 ? 7 : first % 7;  // 1 Monday .. 7 Sunday
    const int days = rt::daysInMonth(year_, month_);
    const bool startMonth = start_ / 65536 == year_ && (start_ / 256) % 256 == month_;
    for (int k = 0; k < kCells; ++k) {
        const int day = k + 2 - column;
        rt::ControlRef cell = w_[CellText + k];
        if (day < 1 || day > days) {
            cell.setText("");
            continue;
        }
        const bool marked = startMonth && start_ % 256 == day;
        rt::Font font;
        font.weight = marked ? 700 : 400;
        cell.setText(std::to_string(day)).setFontColor(marked ? kBlue : kBlack).setFont(font);
    }
    frameCurrent();
}

void Calendar::frameCurrent() {
    const rt::Ymd d = rt::ymdFromDate(date_);
    const rt::DateNumber first = rt::dateFromYmd(year_, month_, 1);
    const int column = first % 7 == 0 ? 7 : first % 7;
    const int current = d.month == month_ && d.year == year_ ? d.day + column - 2 : -1;
    for (int k = 0; k < kCells; ++k) w_[CellArea + k].edit().borderColor = k == current ? kRed : rt::ColorNone;
}

void Calendar::close(bool cancelled) {
    if (cancelled) date_ = given_;
    closing_ = true;
    w_.post(rt::Event::CloseWindow);
}

void Calendar::run() {
    fill();
    while (auto e = w_.accept()) {
        switch (e.event) {
        case rt::Event::CloseWindow:
            // The close box cancels like Esc.
            if (!closing_) date_ = given_;
            break;
        case rt::Event::AlertKey:
            switch (rt::keys::baseKey(e.keyCode)) {
            case rt::keys::Left: moveDate(date_ - 1); break;
            case rt::keys::Right: moveDate(date_ + 1); break;
            case rt::keys::Up: showMonth(month_ - 1, year_); break;
            case rt::keys::Down: showMonth(month_ + 1, year_); break;
            case rt::keys::PgUp: showMonth(month_, year_ - 1); break;
            case rt::keys::PgDn: showMonth(month_, year_ + 1); break;
            case rt::keys::Enter: close(false); break;
            case rt::keys::Esc:
            case rt::keys::MouseRight: close(true); break;
            default: break;
            }
            break;
        case rt::Event::Accepted:
        case rt::Event::NewSelection:
            if (e.control == MonthSpin) {
                showMonth(std::atoi(e.value.c_str()), year_);
            } else if (e.control == YearSpin) {
                showMonth(month_, std::atoi(e.value.c_str()));
            } else if (e.control == Today && e.event == rt::Event::Accepted) {
                date_ = rt::today();
                const rt::Ymd d = rt::ymdFromDate(date_);
                month_ = d.month;
                year_ = d.year;
                fill();
            } else if (e.control >= CellArea && e.control < CellArea + kCells && e.event == rt::Event::Accepted) {
                const std::string day = w_[CellText + (e.control - CellArea)].text();
                if (day.empty()) break;
                if (e.keyCode == rt::keys::MouseRight) {
                    close(true);
                    break;
                }
                date_ = rt::dateFromYmd(year_, month_, std::atoi(day.c_str()));
                close(false);
            }
            break;
        default: break;
        }
    }
}

}  // namespace

void CalendarWindow(rt::DateNumber& date, long verticalPosition) {
    Calendar calendar(date, verticalPosition);
    calendar.run();
}
