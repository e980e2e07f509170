#pragma once
// The query runner: a cube's SQL query run into a list of up to 15 text columns, sortable by any
// column, exported to CSV, HTML and text, and printed.
//
//   RunQuery(CUBK.ID);   // on the caller's thread (its dictionary built); returns when closed
#include <string>
#include <string_view>

#include "runtime/data/record.h"

// Control numbers of the window "Query =>" (for tests through the display).
enum RunQueryControl { RUNQUERY_LIST = 1, RUNQUERY_CLOSE, RUNQUERY_PRINTTEST };

// The popup menu of the list, item by item (position from 1).
inline constexpr std::string_view kRunQueryPopup =
    "Print|Export To CSV (opens with Excel)|Export to HMTL|Export To Text|Set Original Sorting Order";

// Opens the window on the cube and returns when it closes.
void RunQuery(rt::Long cubeId);

// One value of the result as the list shows it, by the field's value format (the cube field's
// picture column): "Date", "Time", "UpperCase", "1MapToY0ToBlank", "Money", "PhoneNumber",
// "RecordID"; any other leaves the value as it is. Blanks at both ends go.
std::string FormatValue(std::string_view value, std::string_view fieldType);
