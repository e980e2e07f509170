#include "runtime/text/date_time.h"

namespace rt {

bool isLeapYear(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
int daysInMonth(int, int) noexcept { return 0; }
DateNumber dateFromYmd(int, int, int) noexcept { return 0; }
Ymd ymdFromDate(DateNumber) noexcept { return {}; }
bool isValidDate(DateNumber) noexcept { return false; }
int weekday(DateNumber date) noexcept { return date > 0 ? date % 7 : -1; }
TimeNumber timeFromHms(int, int, int, int) noexcept { return 0; }
Hms hmsFromTime(TimeNumber) noexcept { return {}; }
bool isValidTime(TimeNumber) noexcept { return false; }
DateNumber today() { return 0; }
TimeNumber clockTime() { return 0; }
void setTestClock(DateNumber, TimeNumber) {}
void clearTestClock() {}

}  // namespace rt
