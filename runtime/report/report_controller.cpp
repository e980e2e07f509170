#include "runtime/report/report_controller.h"

#include <algorithm>
#include <mutex>

#include "runtime/report/print_previewer.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace rt {

RecordProcessor::RecordProcessor(std::function<RecordStep()> take, std::int64_t total)
    : take_(std::move(take)), total_(total) {}

RecordStep RecordProcessor::next() {
    RecordStep s = take_ ? take_() : RecordStep::End;
    if (s == RecordStep::Record) ++done_;
    return s;
}

int RecordProcessor::percent() const {
    if (total_ <= 0) return 100;
    return static_cast<int>(std::min<std::int64_t>(100, done_ * 100 / total_));
}

ReportController::ReportController(Report& report, ProgressWindowOptions options)
    : report_(report), options_(std::move(options)) {}

ReportController& ReportController::setDetail(int detailBand) {
    detail_ = detailBand;
    return *this;
}

ReportController& ReportController::setOnRecord(std::function<void()> onRecord) {
    onRecord_ = std::move(onRecord);
    return *this;
}

ReportController& ReportController::setOnOpen(std::function<void()> onOpen) {
    onOpen_ = std::move(onOpen);
    return *this;
}

int ReportController::run(RecordProcessor& records) {
    Window w(options_.procedure, options_.title);
    w.setPosition(0, 0, 150, 58).edit().centered = true;
    w.edit().resizable = false;
    w.add(progress::Bar, ControlKind::Progress).setPosition(15, 8, 120, 12).setRange(0, 100).setValue("0");
    w.add(progress::Text, ControlKind::String).setPosition(0, 22, 150, 10).setText("");
    w.add(progress::Percent, ControlKind::String).setPosition(0, 32, 150, 10).setText("");
    auto cancel = w.add(progress::Cancel, ControlKind::Button).setPosition(55, 42, 40, 12).setText("Cancel");
    if (!options_.cancelIcon.empty()) cancel.setIcon(options_.cancelIcon);
    if (!options_.cancelTip.empty()) cancel.setTip(options_.cancelTip);
    w.setTimer(options_.timer);

    report_.open();
    if (onOpen_) onOpen_();
    int shown = -1;
    int response = 0;  // 0 running, 1 completed, 2 cancelled
    while (auto e = w.accept()) {
        if (e.event == Event::Timer && response == 0) {
            for (int i = 0; i < std::max(1, options_.recordsPerTick) && response == 0; ++i) {
                RecordStep s = records.next();
                if (s == RecordStep::Record) {
                    if (onRecord_)
                        onRecord_();
                    else if (detail_)
                        report_.print(detail_);
                } else {
                    response = s == RecordStep::End ? 1 : 2;
                }
            }
            int pct = records.percent();
            if (pct != shown) {
                shown = pct;
                w[progress::Bar].setValue(std::to_string(pct));
                w[progress::Percent].setText(std::to_string(pct) + "% Completed");
            }
            if (response != 0) w.post(Event::CloseWindow);
        } else if (e.event == Event::Accepted && e.control == progress::Cancel) {
            response = 2;
            w.post(Event::CloseWindow);
        } else if (e.event == Event::CloseWindow || e.event == Event::CloseDown) {
            if (response == 0) response = 2;
        }
    }
    if (response == 1) {
        report_.endReport();
        PrintPreviewer(report_).setPreview(options_.preview).display();
    }
    report_.close();
    ThreadResponse = static_cast<std::uint8_t>(response == 1 ? 1 : 2);
    return response == 1 ? 1 : 2;
}

// ---- Print previewer -------------------------------------------------------------------------

namespace {
std::mutex previewMutex;
PreviewProcedure previewProcedure;
}  // namespace

void setPreviewProcedure(PreviewProcedure preview) {
    std::lock_guard lock(previewMutex);
    previewProcedure = std::move(preview);
}

bool hasPreviewProcedure() {
    std::lock_guard lock(previewMutex);
    return static_cast<bool>(previewProcedure);
}

bool PrintPreviewer::display() {
    report_.endPage();
    PreviewProcedure preview;
    {
        std::lock_guard lock(previewMutex);
        preview = previewProcedure;
    }
    PreviewQueue& pages = report_.pages();
    if (pages.empty()) {
        // Nothing printed a page: an empty preview would only show a grey window.
        message("Keine Daten", report_.title(), MessageIcon::Information);
        return false;
    }
    if (preview_ && preview && !preview(pages)) return false;
    if (pages.empty()) return false;
    bool ok = report_.printPages(pages);
    return report_.flush() && ok;
}

}  // namespace rt
