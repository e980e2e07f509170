#pragma once
// The pivot table printed through the runtime's report engine: pages down and, when the columns
// do not fit, across; the header caption and the column headings on every page; the footer
// caption with "&PP" (the page count) and "&P" (the page); colours only when asked for.

#include <functional>

#include "pivot/pivot_control.h"
#include "runtime/report/report.h"

namespace pivot {

// The footer text of one page: the caption with its page numbers, blanks in a row as one.
std::string footerText(const std::string& caption, int page, int pages);

// Lays the table out into `report` (opened and ended here); each column as wide as its widest
// heading or value.
void buildPrintReport(const PivotTable& table, const Look& look, rt::Report& report);

// Builds the report and shows it in the program's print preview.
void printPreview(PivotControl& control);

}  // namespace pivot
