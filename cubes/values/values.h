// The value lists "GRUPPE", "AGGREGAT" and "TREIBER" in VOQGNEquates: the names of the codes a
// cube's fields and header carry for the pivot control. The list BrowseWerte (which fills an
// empty table with the standard rows), the form EditWerte, and the name of a code.
//
//   ValueName("AGGREGAT", 0)   // "GNSum" once the standard rows are there
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cubes/catalogue/catalogue_calls.h"

// The list "Werteliste"; ThreadRequest 4 selects an entry (left in the thread's GNE buffer).
void BrowseWerte();
// The form of one entry, in the request its caller set.
void EditWerte();

// The fifteen statements that fill an empty VOQGNEquates, in order.
const std::vector<std::string>& StandardValueStatements();
// Sends them, one at a time through the table itself, when the table holds no record; their
// outcome is not checked. True when they were sent.
bool SeedStandardValues();

// The name of a code in a value list (key GNE:KeyWert); empty when there is none. Leaves the
// thread's GNE buffer as it was.
std::string ValueName(std::string_view filter, long code);
// Code given as text (a field that stores the code written as digits): blank gives "".
std::string ValueName(std::string_view filter, std::string_view code);

// The rows and columns of the value list's printout, every record of the table in stored order.
struct ValueListReport {
    std::vector<ListReportColumn> columns;
    std::vector<ListReportRow> rows;
};
ValueListReport ValueListReportData();

// Window equates, for tests.
namespace werte {
enum {
    Sheet = 1,
    TabId,
    List,
    Insert,
    Change,
    Delete,
    Select,
    PrintScreen,
    Close,
    Help,
    // form
    FormSheet = 20,
    FormTab,
    PromptId,
    EntryId,
    PromptFilter,
    DropFilter,
    PromptWert,
    EntryWert,
    PromptName,
    EntryName,
    Ok,
    Cancel,
};
}  // namespace werte

inline constexpr const char* kWerteTitle = "Werteliste";
inline constexpr const char* kWerteFormTitle = "GNEquates bearbeiten";
