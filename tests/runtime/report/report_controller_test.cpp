// Report procedures: records on the progress window's timer, cancel, preview and printing.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "runtime/report/print_previewer.h"
#include "runtime/report/report_controller.h"
#include "runtime/thread/thread.h"
#include "runtime/thread/thread_state.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/headless_display.h"
#include "runtime/ui/window.h"

namespace {

using namespace std::chrono_literals;

struct Log {
    std::mutex mutex;
    std::vector<std::string> printed;
    int jobs = 0;
    bool noPrinter = false;       // only a PDF file starts a job
    bool printerRefuses = false;  // a printer takes the job, then refuses its first page
    std::vector<std::string> files;
    std::vector<std::string> printers;
};

class Printer : public rt::ReportPrinter {
public:
    explicit Printer(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    bool begin(const rt::PrintJobOptions& options) override {
        std::lock_guard l(log_->mutex);
        if (log_->noPrinter && options.outputFile.empty()) return false;
        ++log_->jobs;
        toFile_ = !options.outputFile.empty();
        log_->files.push_back(options.outputFile);
        log_->printers.push_back(options.printer);
        return true;
    }
    bool printPage(const std::string& f) override {
        std::lock_guard l(log_->mutex);
        if (log_->printerRefuses && !toFile_) return false;
        log_->printed.push_back(f);
        return true;
    }
    bool end() override { return true; }
    bool refused() const override { return log_->printerRefuses && !toFile_; }

private:
    std::shared_ptr<Log> log_;
    bool toFile_ = false;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rt::waitAllThreads(5s));
        rt::setReportPrinter([l = log] { return std::make_unique<Printer>(l); });
        report.setBody(40, 40, 500, 120);
        report.addBand(1, rt::BandKind::Detail).setSize(500, 12).addString(2, 0, 0, 100, 12).setUse([this] {
            return std::to_string(row);
        });
    }
    void TearDown() override {
        display.shutdown();
        rt::setReportPrinter({});
        rt::setPreviewProcedure({});
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();
    rt::HeadlessDisplay display;
    rt::TestDriver user{display, 5s};
    rt::Report report{"Test"};
    int row = 0;
};

TEST_F(ControllerTest, RecordsRunOnTheTimerThenThePreviewAndThePrinterGetThePages) {
    std::atomic<int> previewed{0};
    rt::setPreviewProcedure([&](rt::PreviewQueue& pages) {
        previewed = static_cast<int>(pages.size());
        pages.erase(pages.begin());  // the user unmarked the first page
        return true;
    });
    std::atomic<int> response{0};
    std::atomic<int> onOpen{0};
    int t = rt::startThread([&] {
        int total = 25;
        rt::RecordProcessor records([&] { return row < total ? (++row, rt::RecordStep::Record) : rt::RecordStep::End; },
                                    total);
        rt::ProgressWindowOptions options;
        options.procedure = "DruckeScripte";
        options.recordsPerTick = 10;
        rt::ReportController controller(report, options);
        controller.setDetail(1).setOnOpen([&] { ++onOpen; });
        response = controller.run(records);
    });
    rt::waitThread(t);
    EXPECT_EQ(response, 1);
    EXPECT_EQ(onOpen, 1);
    EXPECT_EQ(previewed, 3);  // 25 lines of 12 in a body of 120
    EXPECT_EQ(log->printed.size(), 2u);
    EXPECT_EQ(log->jobs, 1);
    EXPECT_EQ(report.pageCount(), 0);             // closed: the page files are gone
    EXPECT_TRUE(display.shownWindows().empty());  // the progress window has gone
}

TEST_F(ControllerTest, AMissingPrinterIsToldAndAPdfFileMayTakeThePages) {
    log->noPrinter = true;
    report.open();
    for (row = 1; row <= 3; ++row) report.print(1);
    report.endPage();
    for (bool toFile : {false, true}) {
        SCOPED_TRACE(toFile);
        user.queueMessageBoxAnswer(toFile ? "In &PDF-Datei drucken" : "&Abbrechen");
        user.queueFileDialogAnswer({true, "/tmp/bericht", 1});
        const bool printed = report.printPages(report.pages());
        EXPECT_TRUE(report.flush());
        EXPECT_EQ(printed, toFile);
        const auto box = user.lastMessageBox();
        EXPECT_EQ(box.text,
                  "Der Drucker (Standarddrucker) ist nicht verfügbar.\nDie Seiten können stattdessen in eine "
                  "PDF-Datei gedruckt werden.");
        EXPECT_EQ(box.defaultButton, 2);
    }
    EXPECT_EQ(log->files, std::vector<std::string>{"/tmp/bericht.pdf"});
    EXPECT_EQ(user.fileDialogs().at(0).filters.at(0).patterns, "*.pdf");
    EXPECT_TRUE(report.printOptions().outputFile.empty());  // the next job looks for the printer again
}

TEST_F(ControllerTest, APrinterThatRefusesTheJobIsToldAndAPdfFileMayTakeThePages) {
    log->printerRefuses = true;
    report.open();
    for (row = 1; row <= 3; ++row) report.print(1);
    report.endPage();
    user.queueMessageBoxAnswer("In &PDF-Datei drucken");
    user.queueFileDialogAnswer({true, "/tmp/abgelehnt.pdf", 1});
    EXPECT_TRUE(report.printPages(report.pages()));
    EXPECT_TRUE(report.flush());
    EXPECT_EQ(user.lastMessageBox().text.rfind("Der Drucker (Standarddrucker) ist nicht verfügbar.", 0), 0u);
    EXPECT_EQ(log->files, (std::vector<std::string>{"", "/tmp/abgelehnt.pdf"}));
    EXPECT_EQ(log->printed.size(), 1u);  // the one page, into the file
}

TEST_F(ControllerTest, ThePrinterChosenInTheSetUpPrintsTheReportsThatNameNone) {
    report.open();
    for (row = 1; row <= 3; ++row) report.print(1);
    report.endPage();
    user.queuePrinterDialogAnswer({true, "Buero", 1, false});
    user.queuePrinterDialogAnswer({false, "", 1, false});  // cancelled: the choice stays
    int t = rt::startThread([&] {
        rt::printerDialog("Drucker einrichten", true);
        rt::printerDialog("Drucker einrichten", true);
        EXPECT_EQ(report.printerName(), "Buero");
        EXPECT_TRUE(report.printPages(report.pages()));
        EXPECT_TRUE(report.flush());
    });
    rt::waitThread(t);
    EXPECT_EQ(log->printers, std::vector<std::string>{"Buero"});
    EXPECT_EQ(display.history().at(1).printerDialog.printer, "Buero");  // offered again
}

TEST_F(ControllerTest, CancelEndsTheReportWithoutPrinting) {
    std::atomic<bool> previewed{false};
    rt::setPreviewProcedure([&](rt::PreviewQueue&) { return previewed = true; });
    std::atomic<int> response{0};
    int t = rt::startThread([&] {
        rt::RecordProcessor records(
            [&] {
                ++row;
                return rt::RecordStep::Record;
            },
            1000000);
        rt::ProgressWindowOptions options;
        options.procedure = "PrintReportQuery";
        options.title = "Report QueryFile";
        options.cancelIcon = "WACANCEL.ICO";
        options.cancelTip = "Cancel Report";
        options.recordsPerTick = 1;
        rt::ReportController controller(report, options);
        controller.setDetail(1);
        response = controller.run(records);
    });
    auto w = user.waitWindow("Report QueryFile");
    EXPECT_EQ(user.text(w, rt::progress::Cancel), "Cancel");
    EXPECT_EQ(user.control(w, rt::progress::Cancel).icon, "WACANCEL.ICO");
    EXPECT_EQ(user.control(w, rt::progress::Cancel).tip, "Cancel Report");
    EXPECT_EQ(user.control(w, rt::progress::Bar).rangeHigh, 100);
    EXPECT_EQ(user.window(w).timer, 10);
    user.press(w, rt::progress::Cancel);
    user.waitThreadEnd(t);
    EXPECT_EQ(response, 2);
    EXPECT_FALSE(previewed);
    EXPECT_TRUE(log->printed.empty());
}

TEST_F(ControllerTest, AFailingReadCancelsAndAnEmptyViewCompletesAtOnceSayingSo) {
    std::atomic<bool> previewed{false};
    rt::setPreviewProcedure([&](rt::PreviewQueue&) { return previewed = true; });
    std::atomic<int> failed{0}, empty{0};
    user.queueMessageBoxAnswer(rt::button::Ok);
    int t = rt::startThread([&] {
        rt::RecordProcessor bad([&] { return row++ < 3 ? rt::RecordStep::Record : rt::RecordStep::Failed; }, 10);
        failed = rt::ReportController(report).setDetail(1).run(bad);
        EXPECT_TRUE(user.messageBoxes().empty());  // cancelled: nothing to say
        rt::RecordProcessor none([] { return rt::RecordStep::End; }, 0);
        EXPECT_EQ(none.percent(), 100);
        empty = rt::ReportController(report).setDetail(1).run(none);
    });
    rt::waitThread(t);
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(empty, 1);
    // No pages: no empty preview, nothing to print, and the user is told.
    EXPECT_FALSE(previewed);
    EXPECT_TRUE(log->printed.empty());
    ASSERT_EQ(user.messageBoxes().size(), 1u);
    EXPECT_EQ(user.lastMessageBox().text, "Keine Daten");
    EXPECT_EQ(user.lastMessageBox().title, "Test");
}

TEST(RecordProcessor, PercentIsCappedAtAHundred) {
    int n = 0;
    rt::RecordProcessor p([&] { return ++n <= 7 ? rt::RecordStep::Record : rt::RecordStep::End; }, 4);
    EXPECT_EQ(p.percent(), 0);
    p.next();
    EXPECT_EQ(p.percent(), 25);
    for (int i = 0; i < 6; ++i) p.next();
    EXPECT_EQ(p.done(), 7);
    EXPECT_EQ(p.percent(), 100);
}

}  // namespace
