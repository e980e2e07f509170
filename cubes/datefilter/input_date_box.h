// The date filter: one date or a date range for a "#dParameter#" placeholder.
//
//   std::string answer = InputDateBox("Lieferdatum");   // modal, on the caller's thread
//   // "" (no date, or cancelled), "31.01.2024", or "01.01.2024;31.01.2024"
#pragma once

#include <string>
#include <string_view>

// Window "Datumfilter" with the message, a "von" and a "bis" date entry, each with a calendar
// button. The answer (at most 21 characters): empty when no from-date was given or the window
// was cancelled; one date in the system's short date format when both dates are equal; from-date
// ";" to-date when the from-date is earlier. A to-date earlier than the from-date, or only one of
// the two dates, is refused with "Datumfehler": both entries are cleared and the window stays.
// A date that cannot be read is refused with "Datumfehler" naming its entry; the entries stay
// as typed and the window stays.
std::string InputDateBox(std::string_view message);

// Controls of the date filter (for tests through the display).
namespace datefilter {
enum Control { Message = 1, FromPrompt, FromDate, FromCalendar, ToPrompt, ToDate, ToCalendar, Ok, Cancel };
inline constexpr const char* kProcedure = "InputDateBox";
inline constexpr const char* kTitle = "Datumfilter";
inline constexpr const char* kErrorTitle = "Datumfehler";
inline constexpr const char* kErrorText = "\"Bis Datum\" muss größer als \"von Datum\" sein";
// Followed by the entry's name in quotes, ": " and the text given.
inline constexpr const char* kUnreadableText = "Kein gültiges Datum in";
}  // namespace datefilter
