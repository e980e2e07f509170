// The month calendar in which the user picks a day for a date field.
//
//   rt::DateNumber date = record.Datum;     // 0: the calendar opens on today
//   CalendarWindow(date, windowY + buttonY); // modal, on the caller's thread
//   record.Datum = date;                    // the chosen day, or the given one when cancelled
#pragma once

#include "runtime/text/date_time.h"

// Modal month calendar on the calling thread. Left/Right move one day, Up/Down one month,
// Page Up/Page Down one year, Enter accepts, Esc or the right mouse button cancels, a click on a
// day chooses it. On return `date` holds the chosen day, or on cancel the date given (an empty
// date stays empty). Years before 1801 and after 9999 are refused with a message.
//
// verticalPosition > 0: the window's top lies 30 dialog units below it; < 0: its bottom lies 5
// dialog units above the absolute value; 0: where the display puts it.
void CalendarWindow(rt::DateNumber& date, long verticalPosition = 0);

// Controls of the calendar (for tests through the display).
namespace calendar {
enum Control {
    HeadFirst = 1,  // "Mo" .. "So": HeadFirst .. HeadFirst + 6
    Today = 10,
    MonthPrompt,
    MonthSpin,
    YearPrompt,
    YearSpin,
    CellText = 100,  // day text of cell k (0 .. 36): CellText + k
    CellArea = 200,  // the clickable area over it, framed on the current day: CellArea + k
};
inline constexpr int kCells = 37;
inline constexpr const char* kProcedure = "CalendarWindow";
}  // namespace calendar
