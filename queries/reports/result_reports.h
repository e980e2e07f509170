#pragma once
// The list reports of a result: up to 15 columns laid out by a column layout, printed through
// the report engine with its progress window and print preview.
//
//   PrintReportQueryQ("Umsatz je Monat", rows, columns);      // portrait
//   PrintReportQueryQ_LS("Umsatz je Monat", rows, columns);   // landscape
//   PrintReportQuery("Umsatz je Monat", rows, columns);       // landscape when the columns need it
#include <functional>
#include <string_view>

#include "queries/results/result_queues.h"

namespace rt {
class Report;
}

// Each runs on the caller's thread and returns when the report is done or cancelled; the
// caller's queues are only read.
void PrintReportQueryQ_LS(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns);
void PrintReportQueryQ(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns);
void PrintReportQuery(std::string_view title, const QueryResultQueue& rows, const ColumnListQueue& columns);

// Called with every report of these three before it runs, and again after its last page, so a
// caller can send the pages to a file or look at them; empty removes it.
enum class ReportStage { Laid, Done };
void SetResultReportHook(std::function<void(rt::Report&, ReportStage)> hook);
