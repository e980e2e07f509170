#pragma once
// Report procedures: the record processor walks the records, the report controller runs it
// on the progress window's timer ("Progress...", bar, text line, percent line, "Cancel"), hands
// each record to the procedure, ends the report and passes the pages to the print previewer.
//
//   rt::Report report("Report der Tabelle Scripte");
//   ... layout ...
//   std::size_t row = 0;
//   rt::RecordProcessor records([&] { return row < rows.size() ? (current = rows[row++], rt::RecordStep::Record)
//                                                              : rt::RecordStep::End; }, rows.size());
//   rt::ReportController controller(report, {.procedure = "DruckeScripte"});
//   controller.setDetail(DETAIL);              // or setOnRecord([&] { ...; report.print(DETAIL); })
//   int response = controller.run(records);    // 1 completed, 2 cancelled

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/report/report.h"

namespace rt {

enum class RecordStep { Record, End, Failed };

class RecordProcessor {
public:
    // take: reads the next record into the procedure's buffers.
    RecordProcessor(std::function<RecordStep()> take, std::int64_t total);

    RecordStep next();
    std::int64_t done() const { return done_; }
    std::int64_t total() const { return total_; }
    // done ÷ total × 100, capped at 100 (100 when there is nothing to do).
    int percent() const;

private:
    std::function<RecordStep()> take_;
    std::int64_t total_;
    std::int64_t done_ = 0;
};

// The progress window's controls.
namespace progress {
inline constexpr int Bar = 1;
inline constexpr int Text = 2;     // the text line (empty)
inline constexpr int Percent = 3;  // "<n>% Completed"
inline constexpr int Cancel = 4;
}  // namespace progress

struct ProgressWindowOptions {
    std::string procedure;  // names the window (and its saved state)
    std::string title = "Progress...";
    std::string cancelIcon{};  // "WACANCEL.ICO"
    std::string cancelTip{};   // "Cancel Report"
    int timer = 10;            // hundredths of a second
    int recordsPerTick = 50;
    bool preview = true;  // through the print previewer (else straight to the printer)
};

class ReportController {
public:
    explicit ReportController(Report& report, ProgressWindowOptions options = {});

    // Printed for every record (when no onRecord is set).
    ReportController& setDetail(int detailBand);
    // Called for every record instead: fills and prints bands itself.
    ReportController& setOnRecord(std::function<void()> onRecord);
    // Called once the report was opened, before the first record (run-time layout changes).
    ReportController& setOnOpen(std::function<void()> onOpen);

    // Runs the report on the calling thread. Returns 1 completed, 2 cancelled (also in
    // ThreadResponse). Cancelled (by "Cancel" or a failing read) prints nothing.
    int run(RecordProcessor& records);

private:
    Report& report_;
    ProgressWindowOptions options_;
    int detail_ = 0;
    std::function<void()> onRecord_;
    std::function<void()> onOpen_;
};

}  // namespace rt
