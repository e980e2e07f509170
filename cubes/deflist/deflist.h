// BrowseCubeKopf: the list of all cube definitions, from which cubes are created, changed,
// deleted, copied, printed, exported, imported and opened.
#pragma once

#include <string>
#include <vector>

#include "cubes/catalogue/catalogue_calls.h"

void BrowseCubeKopf();

// The rows and columns of the list's printout: every cube for which the query text (when not
// blank) evaluates to non-zero.
struct CubeListReport {
    std::vector<ListReportColumn> columns;
    std::vector<ListReportRow> rows;
};
CubeListReport CubeListReportData(const std::string& query);

// Window equates, for tests.
namespace cubeliste {
enum {
    List = 1,
    Sheet,
    TabName,
    TabId,
    LocatorName,
    Insert,
    Change,
    Delete,
    Show,
    Copy,
    Import,
    Export,
    Print,
    PrintScreen,
    Diagnose,
    QueryBuilder,
    QueryReset,
    QueryPrint,
    QueryOn,
    Close,
    Help,
};
}  // namespace cubeliste

inline constexpr const char* kCubeListTitle = "CubeKopf";
