// The picture engine: formats values for display and reads displayed text back.
//
// A picture may start with "@" or not ("N3", "D17", "s160") and may end with a closing "@" as in
// list formats ("@S69@"); letters are case-blind.
//
//  @s<w>        text, cut to w characters (no padding).
//  @n / @N      numbers: [sign][fill]<width>[grouping][decimal mark<places>][trailing sign][b]
//               sign       "-" a leading minus, "(" parentheses (closed by a trailing ")").
//               fill       "0" zero fill to the width, "*" asterisk fill, "_" no fill; a picture
//                          with a fill has no grouping unless it names one.
//               grouping   "," (the default when no fill is given), "." point, "_" blank,
//                          "'" apostrophe; written before the decimal mark: "@n-16.`2".
//               decimal    "." point, "`" or "," comma, "v" implied (no mark); then the places.
//                          A lone "." before the places is the decimal point ("@n-6.1"), without
//                          places it is point grouping ("@N30." shows 1.234); grouping "." makes
//                          the comma the decimal mark and a comma grouping the point.
//               trailing   "-" a trailing minus instead of a leading one.
//               b          blank when zero.
//               Negative numbers always show their sign. Text that does not fit the width shows
//               width times "#". Numbers are not padded except by the "0" and "*" fills: a
//               right-aligned column pads to pictureWidth() itself.
//  @d<n>[b]     dates (day numbers): d1 mm/dd/yy, d2 mm/dd/yyyy, d6 dd.mm.yy, d17 the system short
//               date (default dd.mm.yyyy), d18 the system long date, any other number as d17;
//               day 0 shows blank. Read back in the picture's order of day, month and year with
//               any of . / - and blank between them, or as digits only (ddmmyy, ddmmyyyy); two-digit
//               years 00-49 are 2000-2049, 50-99 are 1950-1999.
//  @t<n>[b]     times (time numbers): t1 hh:mm, t3 hh:mmAM/PM, t4 hh:mm:ss, t7 the system short time
//               (default hh:mm), t8 the system long time (default hh:mm:ss), any other number as
//               t7; time 0 shows blank. Read back from h[:mm[:ss[:hh]]] (":" or "."), hhmm, hhmmss,
//               with an optional AM/PM.
//  @p...p       patterns: "#" a digit, "<" a digit shown blank while leading zeros last, every
//               other character literal: "@pSeite <<<#p", "@p(###) ###-####p".
//
// Reading back (deformat) never throws: text that does not fit the picture gives 0.
#pragma once

#include "runtime/text/date_time.h"
#include "runtime/text/decimal.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

enum class PictureKind { Invalid, Text, Number, Date, Time, Pattern };

// The kind of a picture; Invalid for anything the engine cannot read.
PictureKind pictureKind(std::string_view picture) noexcept;

// Display width in characters: @s20 -> 20, @n-14 -> 14, @d17 -> the system date's width, @p the
// pattern's length; 0 for an invalid picture.
int pictureWidth(std::string_view picture);

// ---- Formatting ------------------------------------------------------------------------------
// Every overload accepts every picture kind: a number under a date or time picture is a day or
// time number, a text under a number, date or time picture is read as a number first (0 when it
// is none), a number under "@s" is its plain decimal form. An invalid picture formats like "@s".

std::string formatPicture(std::string_view text, std::string_view picture);
std::string formatPicture(const char* text, std::string_view picture);
std::string formatPicture(const std::string& text, std::string_view picture);
std::string formatPicture(std::int64_t value, std::string_view picture);
template <std::integral T>
requires(!std::same_as<T, bool> && !std::same_as<T, std::int64_t>) std::string
    formatPicture(T value, std::string_view picture) {
    return formatPicture(static_cast<std::int64_t>(value), picture);
}
std::string formatPicture(double value, std::string_view picture);
std::string formatPicture(const DecimalValue& value, std::string_view picture);

// ---- Reading back ----------------------------------------------------------------------------

struct PictureValue {
    bool isText = false;  // "@s" (and invalid pictures): the text itself
    std::string text;     // the text, when isText
    DecimalValue number;  // otherwise: the number, day number or time number (0 when unreadable)
};

// The value that the displayed text stands for.
PictureValue deformatPicture(std::string_view text, std::string_view picture);

// Typed forms; 0 when the text is not readable under the picture.
DecimalValue deformatNumber(std::string_view text, std::string_view picture);
std::int64_t deformatInt64(std::string_view text, std::string_view picture);  // rounded
DateNumber deformatDate(std::string_view text, std::string_view picture);
TimeNumber deformatTime(std::string_view text, std::string_view picture);

// ---- The "system" (short and long) date and time formats --------------------------------------
// Patterns: dates d, dd, M, MM (m and mm also mean the month), yy, yyyy, MMMM (month name),
// dddd (day name); times H, HH, h, hh (12-hour), m, mm, s, ss, tt (AM/PM). Other characters are
// literal. Defaults: "dd.MM.yyyy", "dddd, d. MMMM yyyy", "HH:mm", "HH:mm:ss". Process-wide,
// thread-safe.

void setSystemDateFormat(std::string_view shortPattern);
void setSystemLongDateFormat(std::string_view longPattern);
void setSystemTimeFormat(std::string_view shortPattern, std::string_view longPattern);
void resetSystemFormats();
std::string systemDateFormat();
std::string systemTimeFormat();  // short
std::string systemLongTimeFormat();

// Format and read back with an explicit pattern (as above).
std::string formatDatePattern(DateNumber date, std::string_view pattern);
std::string formatTimePattern(TimeNumber time, std::string_view pattern);
DateNumber parseDatePattern(std::string_view text, std::string_view pattern);
TimeNumber parseTimePattern(std::string_view text, std::string_view pattern);

}  // namespace rt
