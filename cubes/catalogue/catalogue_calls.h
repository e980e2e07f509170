// The windows of other parts of the program that the cube catalogue opens: each is reached
// through one call here. A window that is not yet part of the program answers false to its
// Available() and the buttons that would open it stay disabled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// AnzeigeCube: the pivot viewer on a cube, on the caller's thread.
bool PivotViewerAvailable();
void OpenPivotViewer(long cubeId);

// RunQuery: a cube's query into a result list, on the caller's thread.
bool QueryRunnerAvailable();
void OpenQueryRunner(long cubeId);

// The cube export file: export of the current cube header, import of a file.
bool CubeExportAvailable();
void ExportCube();
void ImportCube();

// QBEWindow: the query builder over QueryString and the QBE field list.
bool QueryBuilderAvailable();
void OpenQueryBuilder();

// QueryByExample on a dictionary table.
bool QueryByExampleAvailable();
void OpenQueryByExample(std::string_view tableLabel);

// The 15-column list reports (portrait below a width of 420, else landscape).
struct ListReportColumn {
    int number = 0;
    std::string heading;
    int maxLength = 0;      // longest value
    int headingLength = 0;  // length of the heading
    std::string width;
    std::string justification;
    std::string option;
};
using ListReportRow = std::vector<std::string>;  // C1, C2, ... as texts; numbered as they come
// The sum over the columns of the larger of longest value and clipped heading, times 5, plus 2.
long ListReportWidth(const std::vector<ListReportColumn>& columns);
inline constexpr long kLandscapeWidth = 420;
bool ListReportsAvailable();
void PrintListReport(std::string_view title, const std::vector<ListReportColumn>& columns,
                     const std::vector<ListReportRow>& rows);
