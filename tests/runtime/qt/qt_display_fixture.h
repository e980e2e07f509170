#pragma once
// The fixture of the Qt display tests: one application on the offscreen platform, procedures on
// program threads, the test acting as the user on the widgets and seeing what they receive.
#include "runtime/qt/qt_display.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"
#include "runtime/qt/list_model.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"
#include "tests/support/test_support.h"

namespace qttest {

using namespace std::chrono_literals;

// What a procedure received, shared with the test's GUI thread.
class Log {
public:
    void add(const rt::EventInfo& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
    }
    void note(std::string text) {
        std::lock_guard lock(mutex_);
        notes_.push_back(std::move(text));
    }
    std::vector<rt::EventInfo> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> notes() const {
        std::lock_guard lock(mutex_);
        return notes_;
    }
    bool has(const std::function<bool(const rt::EventInfo&)>& match) const {
        std::lock_guard lock(mutex_);
        for (const auto& e : events_)
            if (match(e)) return true;
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<rt::EventInfo> events_;
    std::vector<std::string> notes_;
};

inline rt::ListRow row(std::vector<std::string> texts, int level = 0) {
    rt::ListRow r;
    for (auto& t : texts) {
        rt::ListCell cell;
        cell.text = std::move(t);
        r.cells.push_back(std::move(cell));
    }
    r.level = level;
    return r;
}

inline rt::ListColumn column(const std::string& heading, int width) {
    rt::ListColumn c;
    c.heading = heading;
    c.width = width;
    return c;
}

class QtDisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (app_) return;  // one application for every suite of the program
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rt_qt_display_test";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        rt::qt::setUpApplication(*app_);
        display_ = new rt::qt::QtDisplay;
        rt::setDisplay(display_);
    }

    void TearDown() override {
        for (const auto& w : rt::openWindows()) rt::post(rt::Event::CloseDown, 0, w.id);
        pumpUntil([] { return rt::runningThreadCount() == 0; }, 10s);
    }

    static bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    static rt::WindowId waitWindow(const std::string& procedure) {
        rt::WindowId id = 0;
        pumpUntil([&] {
            for (const auto& w : rt::openWindows())
                if (w.procedure == procedure && display_->windowWidget(w.id)) id = w.id;
            return id != 0;
        });
        return id;
    }

    template <typename W>
    static W* widget(rt::WindowId id, int control) {
        return qobject_cast<W*>(display_->controlWidget(id, control));
    }

    static bool waitEvent(const Log& log, const std::function<bool(const rt::EventInfo&)>& match) {
        return pumpUntil([&] { return log.has(match); });
    }

    Log log_;  // outlives TearDown, which waits for the procedures that write it
    static inline QApplication* app_ = nullptr;
    static inline rt::qt::QtDisplay* display_ = nullptr;
};

}  // namespace qttest
