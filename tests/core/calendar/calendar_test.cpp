// The month calendar through the headless display: the month grid, the keys and their limits,
// choosing and cancelling.
#include "core/calendar/calendar.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"

namespace {

using namespace calendar;
namespace keys = rt::keys;

class CalendarTest : public ::testing::Test {
protected:
    void TearDown() override {
        rt::clearTestClock();
        display_.shutdown();
    }
    // Opens the calendar on `date` and waits for it.
    rt::WindowId open(rt::DateNumber date) {
        date_ = date;
        thread_ = rt::startThread([this] { CalendarWindow(date_, 0); });
        return user_.waitWindow(kProcedure);
    }
    rt::DateNumber result() {
        user_.waitThreadEnd(thread_);
        return date_;
    }
    std::string title(rt::WindowId w) const { return user_.window(w).title; }
    std::vector<std::string> cells(rt::WindowId w) const {
        std::vector<std::string> out;
        for (int k = 0; k < kCells; ++k) out.push_back(user_.text(w, CellText + k));
        return out;
    }
    int framed(rt::WindowId w) const {
        int found = -1;
        for (int k = 0; k < kCells; ++k)
            if (user_.control(w, CellArea + k).borderColor != rt::ColorNone) {
                EXPECT_EQ(found, -1) << "two frames";
                found = k;
            }
        return found;
    }

    rt::HeadlessDisplay display_;
    rt::TestDriver user_{display_};
    rt::DateNumber date_ = 0;
    int thread_ = 0;
};

rt::DateNumber day(int d, int m, int y) { return rt::dateFromYmd(y, m, d); }

TEST_F(CalendarTest, TheMonthGridStartsOnMondayWithTheMonthsDays) {
    const struct {
        int month, year;
        const char* title;
        int firstCell, days;
    } cases[] = {
        {2, 1900, "Februar 1900", 3, 28},    // 1 Feb 1900 was a Thursday
        {2, 2000, "Februar 2000", 1, 29},    // a Tuesday
        {2, 2023, "Februar 2023", 2, 28},    // a Wednesday
        {2, 2024, "Februar 2024", 3, 29},    // a Thursday
        {12, 2024, "Dezember 2024", 6, 31},  // a Sunday: the 31st lies in the 37th cell
        {1, 2024, "Januar 2024", 0, 31},     // a Monday
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        auto w = open(day(15, c.month, c.year));
        EXPECT_EQ(title(w), c.title);
        const auto grid = cells(w);
        for (int k = 0; k < kCells; ++k) {
            const int d = k - c.firstCell + 1;
            EXPECT_EQ(grid[k], d >= 1 && d <= c.days ? std::to_string(d) : "") << "cell " << k;
        }
        EXPECT_EQ(framed(w), c.firstCell + 14);
        user_.key(w, 0, keys::Esc);
        EXPECT_EQ(result(), day(15, c.month, c.year));
    }
}

TEST_F(CalendarTest, TheKeysMoveTheDateAndTheShownMonth) {
    const struct {
        rt::DateNumber start;
        std::vector<int> keys;
        const char* title;
        rt::DateNumber chosen;
    } cases[] = {
        {day(15, 1, 2024), {keys::Up}, "Dezember 2023", day(1, 12, 2023)},
        {day(15, 12, 2024), {keys::Down}, "Januar 2025", day(1, 1, 2025)},
        {day(15, 3, 2024), {keys::PgDn}, "März 2025", day(1, 3, 2025)},
        {day(15, 3, 2024), {keys::PgUp}, "März 2023", day(1, 3, 2023)},
        {day(1, 1, 2024), {keys::Left}, "Dezember 2023", day(31, 12, 2023)},
        {day(31, 1, 2024), {keys::Right}, "Februar 2024", day(1, 2, 2024)},
        {day(10, 1, 2024), {keys::Right, keys::Right, keys::Left}, "Januar 2024", day(11, 1, 2024)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        auto w = open(c.start);
        for (int k : c.keys) user_.key(w, 0, k);
        EXPECT_EQ(title(w), c.title);
        const rt::Ymd d = rt::ymdFromDate(c.chosen);
        EXPECT_EQ(user_.text(w, CellText + framed(w)), std::to_string(d.day));
        user_.key(w, 0, keys::Enter);
        EXPECT_EQ(result(), c.chosen);
    }
}

TEST_F(CalendarTest, EscAndTheRightButtonRestoreTheGivenDate) {
    for (int cancel : {keys::Esc, keys::MouseRight}) {
        auto w = open(day(15, 1, 2024));
        user_.key(w, 0, keys::Up);
        user_.key(w, 0, keys::PgUp);
        EXPECT_EQ(title(w), "Dezember 2022");
        user_.key(w, 0, cancel);
        EXPECT_EQ(result(), day(15, 1, 2024));
    }
}

TEST_F(CalendarTest, AClickedDayIsChosenAndTheStartingDayIsMarked) {
    auto w = open(day(15, 1, 2024));
    const auto marked = user_.control(w, CellText + 14);
    EXPECT_EQ(marked.fontColor, rt::rgb(0, 0, 255));
    EXPECT_EQ(marked.font.weight, 700);
    EXPECT_EQ(user_.control(w, CellText + 15).font.weight, 400);
    user_.key(w, 0, keys::Down);  // February: the 15th is no longer marked
    EXPECT_EQ(user_.control(w, CellText + 17).font.weight, 400);
    user_.press(w, CellArea + 0);  // blank before Thursday the 1st: nothing happens
    EXPECT_TRUE(user_.isOpen(w));
    user_.press(w, CellArea + 3 + 9);
    EXPECT_EQ(result(), day(10, 2, 2024));
}

TEST_F(CalendarTest, TheSpinsAndTheTodayButtonShowTheirMonth) {
    rt::setTestClock(day(24, 12, 2026), 1);
    auto w = open(day(15, 1, 2024));
    EXPECT_EQ(user_.value(w, MonthSpin), "1");
    user_.setValue(w, MonthSpin, "0");
    EXPECT_EQ(title(w), "Dezember 2023");
    user_.setValue(w, MonthSpin, "13");
    EXPECT_EQ(title(w), "Januar 2024");
    user_.setValue(w, YearSpin, "1999");
    EXPECT_EQ(title(w), "Januar 1999");
    EXPECT_EQ(user_.value(w, YearSpin), "1999");
    user_.press(w, Today);
    EXPECT_EQ(title(w), "Dezember 2026");
    user_.key(w, 0, keys::Enter);
    EXPECT_EQ(result(), day(24, 12, 2026));
}

TEST_F(CalendarTest, AnEmptyDateOpensOnTodayAndStaysEmptyOnEsc) {
    rt::setTestClock(day(5, 3, 2025), 1);
    auto w = open(0);
    EXPECT_EQ(title(w), "März 2025");
    EXPECT_EQ(user_.text(w, CellText + framed(w)), "5");
    user_.key(w, 0, keys::Esc);
    EXPECT_EQ(result(), 0);

    w = open(0);
    user_.key(w, 0, keys::Enter);
    EXPECT_EQ(result(), day(5, 3, 2025));
}

TEST_F(CalendarTest, YearsOutsideTheCalendarAreRefused) {
    const struct {
        rt::DateNumber start;
        int key;
        const char* text;
        const char* title;
        rt::DateNumber kept;
    } cases[] = {
        {day(15, 1, 1801), keys::PgUp, "You can not use the calendar for\ndates before the year 1801", "Januar 1801",
         day(1, 1, 1801)},
        {day(1, 1, 1801), keys::Left, "You can not use the calendar for\ndates before the year 1801", "Januar 1801",
         day(1, 1, 1801)},
        {day(15, 12, 9999), keys::Down, "You can not use the calendar for\ndates after the year 9999", "Dezember 9999",
         day(31, 12, 9999)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        user_.queueMessageBoxAnswer(rt::button::Ok);
        auto w = open(c.start);
        user_.key(w, 0, c.key);
        const auto box = user_.lastMessageBox();
        EXPECT_EQ(box.title, "Ilegal date");
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.icon, rt::MessageIcon::Information);
        EXPECT_EQ(title(w), c.title);
        user_.key(w, 0, keys::Enter);
        EXPECT_EQ(result(), c.kept);
    }
}

}  // namespace
