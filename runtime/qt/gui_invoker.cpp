#include "runtime/qt/gui_invoker.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <future>
#include <memory>
#include <mutex>

namespace rt::qt {

namespace {

std::mutex gMutex;
QObject* gReceiver = nullptr;  // lives on the GUI thread; deleting it drops what was not run
std::atomic<bool> gRunning{false};
QThread* gGuiThread = nullptr;

}  // namespace

void GuiInvoker::install() {
    std::lock_guard lock(gMutex);
    if (gReceiver) return;
    gReceiver = new QObject;
    gGuiThread = QThread::currentThread();
    gRunning = true;
}

void GuiInvoker::shutdown() {
    QObject* receiver;
    {
        std::lock_guard lock(gMutex);
        gRunning = false;
        receiver = gReceiver;
        gReceiver = nullptr;
    }
    // Pending work is destroyed unrun; waiting callers see a broken promise and go on.
    delete receiver;
}

bool GuiInvoker::onGuiThread() { return gGuiThread && QThread::currentThread() == gGuiThread; }

bool GuiInvoker::running() { return gRunning; }

void GuiInvoker::post(std::function<void()> fn) {
    std::lock_guard lock(gMutex);
    if (!gReceiver) return;
    QMetaObject::invokeMethod(gReceiver, std::move(fn), Qt::QueuedConnection);
}

bool GuiInvoker::call(const std::function<void()>& fn) {
    if (onGuiThread()) {
        if (!gRunning) return false;
        fn();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard lock(gMutex);
        if (!gReceiver) return false;
        // fn is referenced, not copied: the caller waits below until it has run or was dropped.
        const std::function<void()>* work = &fn;
        QMetaObject::invokeMethod(
            gReceiver,
            [done, work] {
                (*work)();
                done->set_value();
            },
            Qt::QueuedConnection);
    }
    done.reset();
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

}  // namespace rt::qt
