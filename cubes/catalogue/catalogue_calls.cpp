#include "cubes/catalogue/catalogue_calls.h"

#include <algorithm>

#include "core/helpers/text_helpers.h"

// Each window's owner enables its call here when the window joins the program.

bool PivotViewerAvailable() { return false; }
void OpenPivotViewer(long) {}

bool QueryRunnerAvailable() { return false; }
void OpenQueryRunner(long) {}

bool CubeExportAvailable() { return false; }
void ExportCube() {}
void ImportCube() {}

bool QueryBuilderAvailable() { return false; }
void OpenQueryBuilder() {}

bool QueryByExampleAvailable() { return false; }
void OpenQueryByExample(std::string_view) {}

long ListReportWidth(const std::vector<ListReportColumn>& columns) {
    long width = 0;
    for (const auto& c : columns) {
        width += std::max<long>(c.maxLength, ClippedLength(c.heading)) * 5 + 2;
    }
    return width;
}

bool ListReportsAvailable() { return false; }
void PrintListReport(std::string_view, const std::vector<ListReportColumn>&, const std::vector<ListReportRow>&) {}
