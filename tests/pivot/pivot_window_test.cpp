// The control's view in a window of the Qt front end, on the minimal platform, whose drags run
// a loop of their own as on a desktop: the window closed while a field button is dragged.
#include <QApplication>
#include <QDrag>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "pivot/qt/pivot_view.h"
#include "runtime/qt/qt_display.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/window.h"
#include "tests/pivot/pivot_fixture.h"

using namespace std::chrono_literals;

namespace {

class PivotWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "minimal");
        static int argc = 1;
        static char name[] = "pivot_window_test";
        static char* argv[] = {name, nullptr};
        auto* app = new QApplication(argc, argv);
        rt::qt::setUpApplication(*app);
        display_ = new rt::qt::QtDisplay;
        rt::setDisplay(display_);
        pivot::setEngineLibrary(NOVA_ENGINE_PATH);
        pivot::registerPivotControl();
        pivot::qt::registerPivotView();
    }
    void TearDown() override {
        for (const auto& w : rt::openWindows()) rt::post(rt::Event::CloseDown, 0, w.id);
        pumpUntil([] { return rt::runningThreadCount() == 0; }, 10s);
    }
    static bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    voq::test::TempDir dir_;
    static inline rt::qt::QtDisplay* display_ = nullptr;
};

// A pivot of the sales table in a window, until the window is closed.
void pivotProcedure(std::string connect) {
    rt::Window w("PivotWindow", "Pivot");
    w.setPosition(0, 0, 320, 200);
    auto ole = w.add(1, rt::ControlKind::Ole).setPosition(2, 2, 316, 196);
    ole.createObject(pivot::kProgId);
    ole.oleSet("GNConnectType", 3);
    ole.oleSet("GNConnect", connect);
    ole.oleSet("GNRecordSource", "SELECT * FROM Verkauf");
    ole.oleCall("Fields.Add", {"Region", "Region", 2});
    ole.oleCall("Fields.Add", {"Umsatz", "Umsatz", 3});
    ole.oleCall("RefreshData");
    while (w.accept()) {
    }
}

TEST_F(PivotWindowTest, AWindowClosedWhileAFieldIsDraggedEndsTheDragAndGoesAfterIt) {
    const std::string connect = voq::test::sqliteConnectString((dir_.path() / "sales.db").string());
    pivottest::writeSales(connect);
    rt::startThread([connect] { pivotProcedure(connect); });
    rt::WindowId id = 0;
    QPointer<pivot::qt::FieldButton> button;
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& w : rt::openWindows())
            if (w.procedure == "PivotWindow") id = w.id;
        QWidget* view = id ? display_->controlWidget(id, 1) : nullptr;
        for (auto* b : view ? view->findChildren<pivot::qt::FieldButton*>() : QList<pivot::qt::FieldButton*>{})
            if (b->field() == 0 && b->isVisible()) button = b;
        return !button.isNull();
    }));

    // The user drags the region; meanwhile the program closes the window. Should the close not
    // end the drag, it is cancelled after a while.
    std::atomic<bool> returned{false};
    bool buttonAfterDrag = false, cancelledLate = false;
    QTimer::singleShot(0, button, [&, id] {
        QTimer::singleShot(50, [id] { rt::post(rt::Event::CloseDown, 0, id); });
        QTimer::singleShot(3000, [&] {
            cancelledLate = true;
            QDrag::cancel();
        });
        const QPoint from(4, 4), to(40, 4);
        QMouseEvent press(QEvent::MouseButtonPress, from, button->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &press);
        QMouseEvent move(QEvent::MouseMove, to, button->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &move);  // returns when the drag has ended
        buttonAfterDrag = !button.isNull();
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    EXPECT_TRUE(buttonAfterDrag);
    EXPECT_FALSE(cancelledLate);
    EXPECT_TRUE(pumpUntil([&] { return button.isNull() && display_->windowWidget(id) == nullptr; }));
}

}  // namespace
