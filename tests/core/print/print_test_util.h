#pragma once
// Shared pieces of the print window tests: a report of n one-page records, a printer that
// notes which page pictures it got, a headless display.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/report/report.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/headless_display.h"

namespace printtest {

using namespace std::chrono_literals;

// What the recording printer received: one inner list per print job.
struct PrintLog {
    std::mutex mutex;
    std::vector<std::vector<std::string>> jobs;
    int begun = 0;
    int ended = 0;

    std::vector<std::string> all() {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (auto& j : jobs) out.insert(out.end(), j.begin(), j.end());
        return out;
    }
};

class RecordingPrinter : public rt::ReportPrinter {
public:
    explicit RecordingPrinter(std::shared_ptr<PrintLog> log) : log_(std::move(log)) {}
    bool begin(const rt::PrintJobOptions&) override {
        std::lock_guard lock(log_->mutex);
        log_->jobs.emplace_back();
        ++log_->begun;
        return true;
    }
    bool printPage(const std::string& file) override {
        std::lock_guard lock(log_->mutex);
        log_->jobs.back().push_back(file);
        return true;
    }
    bool end() override {
        std::lock_guard lock(log_->mutex);
        ++log_->ended;
        return true;
    }

private:
    std::shared_ptr<PrintLog> log_;
};

// A report whose every record makes one page.
class PagesReport {
public:
    explicit PagesReport(int n) {
        report.setUnit(rt::ReportUnit::Points).setPaper(595, 842).setBody(40, 40, 500, 12);
        auto& d = report.addBand(1, rt::BandKind::Detail).setSize(500, 12);
        d.addString(2, 0, 0, 200, 12).setUse([this] { return "Seite " + std::to_string(record); });
        report.open();
        for (record = 1; record <= n; ++record) report.print(1);
        // The last page stays open: the set-up closes it.
    }

    // Page numbers (1-based, in the order made) of printed files.
    std::vector<int> pageNumbers(const std::vector<std::string>& files) const {
        std::vector<int> out;
        const auto& made = report.pageFiles();
        for (const auto& f : files) {
            auto it = std::find(made.begin(), made.end(), f);
            out.push_back(it == made.end() ? 0 : static_cast<int>(it - made.begin()) + 1);
        }
        return out;
    }
    std::vector<int> pageNumbers(const rt::PreviewQueue& list) const {
        std::vector<std::string> files;
        for (const auto& e : list) files.push_back(e.PREVIEWFILENAME);
        return pageNumbers(files);
    }

    rt::Report report{"Pages"};
    int record = 0;
};

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        rt::setReportPrinter([log = log] { return std::make_unique<RecordingPrinter>(log); },
                             [](const rt::PrintJobOptions&) {
                                 return rt::PrinterInfo{"Testdrucker", "cups:/test"};
                             });
    }
    void TearDown() override {
        display.shutdown();
        EXPECT_EQ(rt::runningThreadCount(), 0);
        rt::setReportPrinter({});
    }

    std::shared_ptr<PrintLog> log = std::make_shared<PrintLog>();
    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 5s};
};

}  // namespace printtest
