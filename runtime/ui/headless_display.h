#pragma once
// The display for tests: keeps what a screen would show (the published windows), and lets a test
// act as the user through the same input path the GUI uses. Every wait has a time-out that throws
// TestDriverError, which fails the test instead of hanging it.
//
//   rt::HeadlessDisplay display;            // installs itself as rt::display()
//   rt::TestDriver user(display);
//   int t = rt::startThread([] { BrowseWerte(); });
//   auto w = user.waitWindow("Werteliste"); // title or procedure name
//   user.setValue(w, ENTRY, "abc");
//   user.queueMessageBoxAnswer(rt::button::Yes);
//   user.press(w, DELETE_BUTTON);
//   EXPECT_EQ(user.lastMessageBox().text, "Wirklich löschen?");
//   user.closeWindow(w);
//   user.waitThreadEnd(t);

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/ui/display.h"

namespace rt {

class TestDriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HeadlessDisplay : public Display {
public:
    // install: makes itself the process's display (and restores none when destroyed).
    explicit HeadlessDisplay(bool install = true);
    ~HeadlessDisplay() override;  // shutdown() first

    // Display
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

    // Ends every pending prompt (cancelled), posts CloseDown to every open window and waits for
    // the program threads, so a failed test does not leave threads hanging.
    void shutdown(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // What the screen shows.
    struct Shown {
        WindowProps window;
        std::vector<ControlState> controls;  // creation order
        bool open = true;
        int updates = 0;
    };
    std::optional<Shown> shown(WindowId id) const;
    std::vector<Shown> shownWindows() const;  // open ones, in opening order
    // The newest open window that matches, waiting up to timeout; 0 when none came.
    WindowId waitForWindow(const std::function<bool(const Shown&)>& match, std::chrono::milliseconds timeout);
    // True when the window is not (or no longer) shown within timeout.
    bool waitForClosed(WindowId id, std::chrono::milliseconds timeout);
    std::vector<Beep> beeps() const;
    Pointer pointer() const;
    std::vector<std::pair<WindowId, Arrangement>> arrangements() const;

    // Prompts (message boxes, dialogs, popup menus).
    enum class PromptKind { MessageBox, FileDialog, ColorDialog, PrinterDialog, PopupMenu };
    struct Prompt {
        PromptKind kind = PromptKind::MessageBox;
        MessageBoxRequest messageBox;
        FileDialogRequest fileDialog;
        ColorDialogRequest colorDialog;
        PrinterDialogRequest printerDialog;
        PopupMenuRequest popupMenu;
        // the answer
        bool answered = false;
        int result = 0;          // message box button, popup position
        std::string buttonText;  // queued message box answer by button text (instead of result)
        FileDialogResult fileResult;
        ColorDialogResult colorResult;
        PrinterDialogResult printerResult;
    };
    // Answers used at once by the next prompt of that kind, in order.
    void queueAnswer(Prompt answer);
    // Oldest pending (unanswered) prompt of that kind; waits up to timeout.
    std::optional<Prompt> waitPrompt(PromptKind kind, std::chrono::milliseconds timeout);
    // Answers the oldest pending prompt of answer.kind; false when there is none.
    bool answer(const Prompt& answer);
    // Every prompt shown so far, answered ones included, oldest first.
    std::vector<Prompt> history() const;
    void clearHistory();

    // The screen shows what the user put into a control before the program hears of it, as a
    // real control does: its value and chosen row. Gives back the control as it was, so an input
    // the window refuses can be taken back.
    std::optional<ControlState> showInput(WindowId window, const UserInput& input);
    void restoreControl(WindowId window, const ControlState& was);

    // Called by the state machinery when something changed (windows, prompts).
    void notifyAll();
    template <class Pred>
    bool waitUntil(Pred pred, std::chrono::milliseconds timeout);

private:
    int ask(Prompt& prompt);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool installed_ = false;
    bool shuttingDown_ = false;
    std::map<WindowId, Shown> windows_;
    std::vector<WindowId> openOrder_;
    std::deque<Prompt> queued_;
    std::deque<std::shared_ptr<Prompt>> pending_;
    std::vector<std::shared_ptr<Prompt>> history_;
    std::string clipboard_;
    std::vector<Beep> beeps_;
    Pointer pointer_ = Pointer::Arrow;
    std::vector<std::pair<WindowId, Arrangement>> arrangements_;

    // The display thread for runOnDisplayThread.
    std::thread worker_;
    std::deque<std::function<void()>> work_;
    bool stopWorker_ = false;
    std::condition_variable workChanged_;
};

template <class Pred>
bool HeadlessDisplay::waitUntil(Pred pred, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(); });
}

// The test's user. Actions go through rt::sendInput like the GUI's and then wait until the
// window's thread has handled them: it has taken that very input and waits for the user again
// afterwards (in accept(), or in a message box or dialog that is shown), or it has ended. An
// action on a window that takes no input (closed, or below a modal window) throws
// TestDriverError.
class TestDriver {
public:
    explicit TestDriver(HeadlessDisplay& display, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::chrono::milliseconds timeout() const { return timeout_; }

    // Windows. waitWindow matches the title or the procedure name, exactly, among open windows
    // (the newest first) and returns once the window's thread waits for the user.
    WindowId waitWindow(const std::string& titleOrProcedure);
    void waitClosed(WindowId window);
    bool isOpen(WindowId window) const;
    WindowProps window(WindowId window) const;
    // The top window of a thread once it waits for the user.
    WindowId waitTopWindow(int thread);

    // What the screen shows of a control.
    ControlState control(WindowId window, int id) const;
    std::string text(WindowId window, int id) const;
    std::string value(WindowId window, int id) const;
    bool enabled(WindowId window, int id) const;
    bool hidden(WindowId window, int id) const;
    int selected(WindowId window, int id) const;
    std::vector<ListRow> rows(WindowId window, int id) const;  // a snapshot's rows too, all of them
    std::size_t rowCount(WindowId window, int id) const;
    // Rows first .. first + count - 1 (from 1), as a display reads the part of a list it shows.
    std::vector<ListRow> rows(WindowId window, int id, std::size_t first, std::size_t count) const;
    // Cell text, row and column from 1.
    std::string cell(WindowId window, int id, int row, int column = 1) const;
    std::string statusText(WindowId window, int zone) const;

    // Actions.
    void press(WindowId window, int id);  // button, menu item, region: Accepted
    // A mouse click on a region (keys::MouseRight for the right button): Accepted with the key.
    void click(WindowId window, int id, int keyCode = keys::MouseLeft);
    // The user scrolls an area (scrolling Panel or Image) to the offset x, y: NewSelection.
    void scroll(WindowId window, int id, int x, int y);
    void setValue(WindowId window, int id, const std::string& value);  // entry, text, spin, combo: Accepted
    // The user puts the text cursor at `cursor` and selects from `anchor` to it (characters from
    // 0) in an entry, text, spin or combo box; the procedure hears nothing of it.
    void select(WindowId window, int id, int anchor, int cursor);
    // NewSelection with the value; an entry or text box reports typing only when it or its window
    // reports at once (setImmediate), as on screen: otherwise nothing is sent.
    void type(WindowId window, int id, const std::string& value);
    void check(WindowId window, int id, bool on);           // check box, check item
    void choose(WindowId window, int radioId);              // radio: its option group accepted
    void selectRow(WindowId window, int id, int row);       // list, tree: NewSelection
    void activateRow(WindowId window, int id, int row);     // double click: Accepted
    void chooseEntry(WindowId window, int id, int row);     // drop list/combo entry: Accepted
    void selectTab(WindowId window, int sheetId, int tab);  // TabChanging (the page left), NewSelection
    void headerClick(WindowId window, int id, int column);  // HeaderPressed
    void expand(WindowId window, int id, int row);
    void contract(WindowId window, int id, int row);
    void key(WindowId window, int id, int keyCode, int row = 0, int column = 0);
    // Esc as the screen handles it: an AlertKey where the window alerts it, else the window's
    // cancel button, else CloseWindow (see escapeInput); the frame ignores it.
    void escape(WindowId window);
    // A region reports the mouse entering, leaving, going down and up only when it or its window
    // reports at once; otherwise these send nothing (a press still reports Accepted).
    void mouseIn(WindowId window, int id);
    void mouseOut(WindowId window, int id);
    void mouseDown(WindowId window, int id, int keyCode = keys::MouseLeft);
    void mouseUp(WindowId window, int id, int keyCode = keys::MouseLeft);
    void drag(WindowId window, int id, int fromRow, int toRow);  // Drag, then Drop (drag ids needed)
    void focus(WindowId window, int id);                         // Selected
    void activate(WindowId window);                              // GainFocus
    void closeWindow(WindowId window);                           // the close box: CloseWindow
    void resize(WindowId window, int width, int height);         // Sized
    void move(WindowId window, int x, int y);                    // Moved
    void maximize(WindowId window);                              // Maximized
    // True when the screen keeps that event of the control to itself because neither the control
    // nor its window reports at once (typing into an entry or text box, the mouse over a region).
    bool heldBack(WindowId window, int id, Event event) const;
    // Any input as it stands (nothing held back); false when the window took none (nothing waits then).
    bool send(WindowId window, const UserInput& input);
    // Waits until the thread waits for the user (or has ended).
    void settle(int thread);

    // Prompts.
    void queueMessageBoxAnswer(int result);
    void queueMessageBoxAnswer(const std::string& buttonText);  // one of the button list's texts
    void queueFileDialogAnswer(FileDialogResult result);
    void queueColorDialogAnswer(ColorDialogResult result);
    void queuePrinterDialogAnswer(PrinterDialogResult result);
    void queuePopupAnswer(int position);
    MessageBoxRequest waitMessageBox();
    void answerMessageBox(int result);
    void answerMessageBox(const std::string& buttonText);
    FileDialogRequest waitFileDialog();
    void answerFileDialog(FileDialogResult result);
    PopupMenuRequest waitPopup();
    void answerPopup(int position);
    std::vector<MessageBoxRequest> messageBoxes() const;  // every message box shown, oldest first
    MessageBoxRequest lastMessageBox() const;             // throws when none was shown
    std::vector<FileDialogRequest> fileDialogs() const;
    std::string clipboard() const;

    void waitThreadEnd(int thread);

private:
    const HeadlessDisplay::Shown& mustBeShown(const std::optional<HeadlessDisplay::Shown>& shown,
                                              WindowId window) const;
    void act(WindowId window, const UserInput& input);

    HeadlessDisplay& display_;
    std::chrono::milliseconds timeout_;
};

}  // namespace rt
