#include "cubes/catalogue/catalogue_calls.h"

#include <algorithm>

#include "core/helpers/text_helpers.h"
#include "cubes/display/viewer_link.h"
#include "cubes/exportfile/export_file.h"
#include "queries/builder/qbe_window.h"
#include "queries/qbe/query_by_example.h"
#include "queries/reports/result_reports.h"
#include "queries/results/result_queues.h"
#include "queries/runner/query_runner.h"

// Each window's owner enables its call here when the window joins the program.

// The viewer the program names at start (the cube lists and the cockpit share it).
bool PivotViewerAvailable() { return CubeViewerAvailable(); }
void OpenPivotViewer(long cubeId) { ShowCubeInViewer(cubeId); }

bool QueryRunnerAvailable() { return true; }
void OpenQueryRunner(long cubeId) { RunQuery(static_cast<rt::Long>(cubeId)); }

bool CubeExportAvailable() { return true; }
void ExportCube() { cubeexport::ExportCube(); }
void ImportCube() { cubeexport::ImportCube(); }

bool QueryBuilderAvailable() { return true; }
void OpenQueryBuilder() { QBEWindow(); }

bool QueryByExampleAvailable() { return true; }
void OpenQueryByExample(std::string_view tableLabel) { QueryByExample(std::string(tableLabel)); }

long ListReportWidth(const std::vector<ListReportColumn>& columns) {
    long width = 0;
    for (const auto& c : columns) {
        width += std::max<long>(c.maxLength, ClippedLength(c.heading)) * 5 + 2;
    }
    return width;
}

bool ListReportsAvailable() { return true; }

void PrintListReport(std::string_view title, const std::vector<ListReportColumn>& columns,
                     const std::vector<ListReportRow>& rows) {
    ColumnListQueue columnQueue;
    for (const auto& c : columns) {
        ColumnListEntry entry;
        entry.COLUMNNUMBER = static_cast<rt::Byte>(c.number);
        entry.COLUMNHEADER = c.heading;
        entry.MAXIMUMLENGTHDATA = static_cast<rt::Byte>(c.maxLength);
        entry.LENGTHHEADER = static_cast<rt::Byte>(c.headingLength);
        entry.COLUMNSWIDTH = c.width;
        entry.JUSTIFICATION = c.justification;
        entry.EXTRACTVALUEOPTION = c.option;
        columnQueue.add(entry);
    }
    QueryResultQueue rowQueue;
    rt::Long counter = 0;
    for (const auto& r : rows) {
        QueryResultEntry entry;
        for (std::size_t c = 0; c < r.size() && c < static_cast<std::size_t>(kResultColumns); ++c)
            resultColumn(entry, static_cast<int>(c) + 1) = r[c];
        entry.RECORDID = ++counter;
        rowQueue.add(entry);
    }
    if (ListReportWidth(columns) < kLandscapeWidth)
        PrintReportQueryQ(title, rowQueue, columnQueue);
    else
        PrintReportQueryQ_LS(title, rowQueue, columnQueue);
}
