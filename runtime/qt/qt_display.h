// The Qt 6 Widgets display: windows of the model as Qt widgets on the process main thread.
// The frame is a QMainWindow with a QMdiArea; every other window is a QMainWindow of its own,
// inside the frame's MDI area when it is an MDI child. The GUI thread never waits on a program
// thread: program threads hand their work over and, for dialogs, wait for the answer.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "runtime/ui/display.h"

class QApplication;

namespace rt::qt {

// Sets up a QApplication created on the process main thread: style, default font, icon theme,
// the GUI invoker and the crash report. Call once, before the display is made.
void setUpApplication(QApplication& app);

// Runs a whole program: QApplication and the Qt display on the calling (process main) thread,
// `program` on program thread 1. Returns the exit code when thread 1 has returned and the other
// threads have ended (they are told to close down first). `started` runs on the GUI thread just
// before the event loop (for checks that watch the windows). Without a display to show on, the
// program is not started: a message on standard error and exit code 1.
class QtDisplay;
int runDisplay(int& argc, char** argv, std::function<void()> program, std::function<void(QtDisplay&)> started = {});

// Reports a failure of program code to the user (a message box while the GUI runs, always
// standard error) and ends the process with the given exit code.
[[noreturn]] void reportFatal(const std::string& what, int exitCode = 70);

// Views of hosted controls by ProgID (the pivot control registers its own); the factory runs on
// the GUI thread. A ProgID without a view shows an empty sunken area.
using OleViewFactory = std::function<QWidget*(std::shared_ptr<AutomationObject> object, QWidget* parent)>;
void registerOleView(const std::string& progId, OleViewFactory factory);

// A nested event loop that a widget runs without a popup or a modal dialog of its own (a drag):
// while it lives, the widget's window is not destroyed. A close of the window calls `end`, which
// makes the loop return; the window goes after that. GUI thread only; on the stack around the loop.
class NestedLoop {
public:
    NestedLoop(QWidget* owner, std::function<void()> end);
    ~NestedLoop();
    NestedLoop(const NestedLoop&) = delete;
    NestedLoop& operator=(const NestedLoop&) = delete;
    // Ends every loop run by `top` or a widget inside it; false when none runs.
    static bool endWithin(QWidget* top);

private:
    QPointer<QWidget> owner_;
    std::function<void()> end_;
    bool ended_ = false;
};

class QtDisplay : public Display {
public:
    QtDisplay();  // on the GUI thread, after setUpApplication
    ~QtDisplay() override;

    void openWindow(const WindowSnapshot& window) override;
    void updateWindow(const WindowUpdate& update) override;
    void closeWindow(WindowId id) override;

    int messageBox(const MessageBoxRequest& request) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;
    ColorDialogResult colorDialog(const ColorDialogRequest& request) override;
    PrinterDialogResult printerDialog(const PrinterDialogRequest& request) override;
    int popupMenu(const PopupMenuRequest& request) override;

    void setClipboard(const std::string& text) override;
    std::string clipboard() override;
    void beep(Beep kind) override;
    void setPointer(Pointer pointer) override;
    void arrangeWindows(WindowId frame, Arrangement how) override;
    void runOnDisplayThread(std::function<void()> f) override;
    DialogUnits dialogUnits() const override;
    std::uint64_t frameNativeId() const override;

    // GUI thread only: the top widget of an open window (the frame's QMainWindow, an MDI
    // child's sub-window), null when it is not shown.
    QWidget* windowWidget(WindowId id) const;
    QWidget* frameWidget() const;
    // GUI thread only, when the program ends: closes every open message box, dialog and popup
    // menu, so that the threads waiting in them go on (with "cancelled") and can end.
    void dismissPrompts();
    // GUI thread only: the widget of a control, null when none.
    QWidget* controlWidget(WindowId id, int control) const;

    class Core;

private:
    // Lives on the GUI thread. Work posted there holds it weakly: what is still queued when the
    // display goes away finds it gone and does nothing.
    std::shared_ptr<Core> core_;
};

}  // namespace rt::qt
