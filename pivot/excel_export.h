#pragma once
// The pivot table as a spreadsheet (xlsx, whatever the file's extension).

#include <string>
#include <vector>

#include "pivot/pivot_control.h"

namespace pivot {

// A page field as the sheet shows it above the table: its caption and the items it lets through.
struct PageSelection {
    std::string caption;
    std::vector<std::string> shown;  // the items not filtered out
    bool all = true;                 // nothing filtered out
};

// The sheet is named after the file (the cube's name); the page fields stand above the table.
bool writeExcel(const std::string& file, const PivotTable& table, const Look& look, const ExcelOptions& options,
                const std::vector<PageSelection>& pages, std::string& error);

}  // namespace pivot
