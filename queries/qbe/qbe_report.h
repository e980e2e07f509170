// Query by example: the printed report of the records of one source that pass the built filter,
// in the built order, with the displayed columns, one break level and the calculations; read
// behind a progress window, then through print set-up and preview.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "queries/qbe/qbe_grid.h"
#include "queries/qbe/qbe_reading.h"
#include "runtime/report/report.h"

// On a filter or order the source rejects (error 46) the message is shown and nothing runs.
void QBEReport(const std::vector<std::string>& sources, std::vector<QBEColumn> columns, const std::string& filter,
               const std::string& order, int rows, int sourceNumber);

// The column width: the detail width shared by the displayed columns, limited to the maximum
// and then the minimum; and how many of them fit.
int QBEColumnWidth(double detailWidth, int displayed, long minimum, long maximum);
int QBEColumnsThatFit(double width, int columnWidth);

// Sees the report once it is laid out and once it is read (before print set-up); tests.
enum class QBEReportStage { Laid, Read };
void SetQBEReportHook(std::function<void(rt::Report&, QBEReportStage)> hook);

namespace qbereport {
enum Band { Form = 1, Header, GroupHeader, Detail, GroupFooter, Footer };
enum Control {
    Title = 10,
    Time,
    HeaderLine,
    Page,
    FooterLine,
    Heading = 100,  // + column place (0..49)
    Value = 200,
    BreakTitle = 300,
    BreakValue = 400,
    CalcTitle = 500,
    CalcValue = 600,
    ProgressBar = qbeprogress::Bar,
    ProgressText = qbeprogress::Text,
    ProgressCancel = qbeprogress::Cancel,
};
inline constexpr const char* kProgressTitle = "Generation Report";
}  // namespace qbereport
