// Message boxes, file, folder, colour and printer dialogs and popup menus on the GUI thread.
// They never block the GUI thread: each shows itself and calls its answer when the user is done.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QPoint>
#include <QWidget>
#include <atomic>
#include <functional>
#include <future>
#include <memory>

#include "runtime/qt/gui_invoker.h"
#include "runtime/ui/display.h"

namespace rt::qt {

// The box is centred on `centreOn` (the window that asks) when given, else on its parent.
void showMessageBox(QWidget* parent, const MessageBoxRequest& request, std::function<void(int)> answer,
                    QWidget* centreOn = nullptr);
void showFileDialog(QWidget* parent, const FileDialogRequest& request, std::function<void(FileDialogResult)> answer);
void showColorDialog(QWidget* parent, const ColorDialogRequest& request, std::function<void(ColorDialogResult)> answer);
void showPrinterDialog(QWidget* parent, const PrinterDialogRequest& request,
                       std::function<void(PrinterDialogResult)> answer);
void showPopupMenu(QWidget* parent, QPoint at, const PopupMenuRequest& request, std::function<void(int)> answer);

// "Excel (*.XLS *.xls)": the name filter Qt shows for a filter of the program.
QString qtNameFilter(const FileFilter& filter);

// Starts a dialog on the GUI thread and waits, on the calling program thread, for its answer;
// the fallback when the GUI went away before the user answered. With a thread, the prompt is
// reported shown for it (rt::promptShown) once start() has put it up unanswered.
template <typename T>
T askOnGui(int thread, std::function<void(std::function<void(T)>)> start, T fallback);

template <typename T>
T askOnGui(std::function<void(std::function<void(T)>)> start, T fallback) {
    return askOnGui<T>(0, std::move(start), std::move(fallback));
}

template <typename T>
T askOnGui(int thread, std::function<void(std::function<void(T)>)> start, T fallback) {
    auto promise = std::make_shared<std::promise<T>>();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    std::future<T> future = promise->get_future();
    std::function<void(T)> answer = [promise, answered](T value) {
        if (!answered->exchange(true)) promise->set_value(std::move(value));
    };
    if (GuiInvoker::onGuiThread()) {
        // Only tests ask on the GUI thread itself: wait in a local loop.
        struct State {
            T result;
            bool done = false;
            QEventLoop* loop = nullptr;
        };
        auto state = std::make_shared<State>();
        state->result = fallback;
        start([state](T value) {
            if (state->done) return;
            state->result = std::move(value);
            state->done = true;
            if (state->loop) state->loop->quit();
        });
        if (!state->done) {
            QEventLoop loop;
            state->loop = &loop;
            loop.exec();
            state->loop = nullptr;
        }
        return state->result;
    }
    GuiInvoker::post([thread, answered, start = std::move(start), answer = std::move(answer)]() mutable {
        start(std::move(answer));
        // Answers come on the GUI thread too: none can slip in between.
        if (thread != 0 && !answered->load()) rt::promptShown(thread);
    });
    promise.reset();
    try {
        return future.get();
    } catch (const std::future_error&) {
        return fallback;
    }
}

}  // namespace rt::qt
