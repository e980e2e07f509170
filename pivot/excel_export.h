#pragma once
// The pivot table as a spreadsheet (xlsx, whatever the file's extension).

#include <string>

#include "pivot/pivot_control.h"

namespace pivot {

bool writeExcel(const std::string& file, const PivotTable& table, const Look& look, const ExcelOptions& options,
                std::string& error);

}  // namespace pivot
