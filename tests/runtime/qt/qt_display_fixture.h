// The Qt display with real widgets on the offscreen platform, shared by its tests: procedures
// run on program threads, the test acts as the user on the widgets and sees what the procedures
// receive.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/qt/qt_display.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/window.h"

namespace qt_test {

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
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rt_qt_test";
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
    inline static QApplication* app_ = nullptr;
    inline static rt::qt::QtDisplay* display_ = nullptr;
};

}  // namespace qt_test
