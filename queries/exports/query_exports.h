#pragma once
// The query result written to a file as CSV, HTML or fixed-width text (in the ANSI code page,
// Windows-1252) and opened with the program the desktop associates with it.
#include <string>
#include <string_view>
#include <vector>

#include "queries/results/result_queues.h"

// What an export writes: the rows in their current order, the layout (its widths), the number
// of columns written and their current headings (with the sort mark where the list has one).
struct QueryExportData {
    QueryExportData(const QueryResultQueue& rows, const ColumnListQueue& columns) : rows(rows), columns(columns) {}
    const QueryResultQueue& rows;
    const ColumnListQueue& columns;
    int columnCount = 0;
    std::vector<std::string> headings;  // column 1 first
    std::string cubeName;
    std::string folder;  // the export folder (GLO:Excelpfad)
    std::string userId;  // the logged-in user, named in the HTML heading
};

// Writes the file of the kind ("CSV", "HTML", "TXT") and opens it. The full name of the file
// written; empty when it could not be created or written whole (the user was told, and an
// older export of that name is left as it was). Characters the ANSI code page lacks are
// written as "?", and the user is told how many values lost some.
std::string ExportQueryResult(std::string_view kind, const QueryExportData& data);

// One cell of a line: kinds "CSV", "CSVHeader", "HTML", "HTMLHeader", "TXT", "TXTHeader".
std::string FormatExportCell(std::string_view value, std::string_view kind, int width);
