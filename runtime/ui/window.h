#pragma once
// A window as its procedure sees it: owned by the program thread that creates it, with numbered
// controls (the equates), and an event loop:
//
//   rt::Window w("BrowseWerte", "Werteliste");
//   w.add(LIST, rt::ControlKind::List).setPosition(4, 4, 200, 120);
//   w.add(CLOSE, rt::ControlKind::Button).setText("&Schließen");
//   while (auto e = w.accept()) {
//     if (e.event == rt::Event::Accepted && e.control == CLOSE) w.post(rt::Event::CloseWindow);
//   }
//   // the window is closed; the procedure goes on here
//
// accept() opens the window on the first call (returning OpenWindow), publishes pending property
// changes to the display and blocks until the next event. After it returned CloseWindow or
// CloseDown, the next call closes the window and returns Event::None, unless keepOpen() was
// called. A window opened on a thread that already shows one is modal to it: the lower window
// takes no input until the upper one closes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/automation.h"
#include "runtime/ui/event.h"
#include "runtime/ui/model.h"

namespace rt {

class Window;
struct WindowCore;

// Handle on one control of a window; cheap to copy, valid while the control exists. Setters mark
// the control for the next publication and return the handle for chaining.
class ControlRef {
public:
    ControlRef(Window* window, int id) : window_(window), id_(id) {}

    int id() const { return id_; }
    bool exists() const;
    const ControlState& state() const;
    // Any property; the control is published again.
    ControlState& edit();

    ControlRef& setText(std::string text);
    const std::string& text() const;
    // A value that differs puts the text cursor at its end, nothing selected.
    ControlRef& setValue(std::string value);
    const std::string& value() const;
    // Entry, Text, Spin, DropCombo: the text cursor and selection shown (kept within the value).
    ControlRef& setTextSelection(TextSelection selection);
    ControlRef& setEnabled(bool enabled);
    ControlRef& enable() { return setEnabled(true); }
    ControlRef& disable() { return setEnabled(false); }
    bool enabled() const;
    ControlRef& setHidden(bool hidden);
    ControlRef& hide() { return setHidden(true); }
    ControlRef& unhide() { return setHidden(false); }
    bool hidden() const;
    ControlRef& setReadOnly(bool readOnly);
    ControlRef& setPosition(int x, int y, int width, int height);
    ControlRef& setPosition(int x, int y);
    ControlRef& setSize(int width, int height);
    ControlRef& setPicture(std::string picture);
    ControlRef& setIcon(std::string icon);
    ControlRef& setTip(std::string tip);
    ControlRef& setHelp(std::string help);
    ControlRef& setCursor(std::string cursor);
    ControlRef& setFontColor(Color color);
    ControlRef& setBackground(Color color);
    ControlRef& setFont(Font font);
    ControlRef& setRange(int low, int high);
    ControlRef& setImmediate(bool immediate);
    ControlRef& setRadioValue(std::string value);

    // List, Tree, DropList, DropCombo, Sheet: 1-based row or tab, 0 none.
    ControlRef& setSelected(int row);
    int selected() const;
    // Entries from a text "a|b|c" (one column each).
    ControlRef& setFrom(std::string_view items);
    ControlRef& setColumns(std::vector<ListColumn> columns);
    ControlRef& setRows(std::vector<ListRow> rows);
    ControlRef& setListData(ListData data);
    // Copy-on-write access to the whole list (columns, rows, icons, line height).
    ListData& editList();
    const ListData& list() const;
    std::size_t rowCount() const;  // the snapshot's rows when there is one
    // Rows from a source read on this thread at publication; null detaches it (rows stay).
    // A source that gives a snapshot (ListSource::virtualRows) is published as that snapshot.
    ControlRef& setListSource(const ListSource* source);
    // List: its rows from a snapshot that the display reads by range (very long lists); null goes
    // back to rows of the list's own (setRows), which setRows, setFrom and setListData do too.
    ControlRef& setVirtualRows(std::shared_ptr<const VirtualRows> rows);
    const std::shared_ptr<const VirtualRows>& virtualRows() const;
    // Reads the source again at the next publication even when its revision is unchanged.
    ControlRef& refreshList();
    // List: takes part in drag and drop (see ControlState::dragIds); empty: no longer.
    ControlRef& setDragIds(std::vector<std::string> ids);
    ControlRef& setDropIds(std::vector<std::string> ids);

    // Image: shows the file and learns its natural size (PNG, SVG); false when it cannot be read
    // (the control then shows nothing and its size is 0 x 0).
    bool loadImage(std::string file);
    // Natural size in dialog units of the display (0 when unknown).
    int naturalWidth() const;
    int naturalHeight() const;

    // Ole: creates the hosted control by ProgID; null when the ProgID is unknown.
    std::shared_ptr<AutomationObject> createObject(std::string progId);
    std::shared_ptr<AutomationObject> object() const;
    // Failing member calls show a message box while error reporting is on; otherwise they are
    // ignored and give an empty value.
    ControlRef& setReportErrors(bool on);
    bool reportErrors() const;
    AutoValue oleGet(std::string_view path, const std::vector<AutoValue>& args = {});
    bool oleSet(std::string_view path, const AutoValue& value, const std::vector<AutoValue>& args = {});
    AutoValue oleCall(std::string_view path, const std::vector<AutoValue>& args = {});

private:
    ListData& editListWithoutRows();  // for rows that replace all there are

    Window* window_;
    int id_;
};

class Window {
public:
    explicit Window(std::string procedure = {}, std::string title = {});
    ~Window();  // closes the window when it is still open
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowId id() const;
    int thread() const;
    const std::string& procedure() const;

    // Window properties.
    const WindowProps& props() const;
    WindowProps& edit();  // any property; the window is published again
    Window& setTitle(std::string title);
    const std::string& title() const;
    Window& setIcon(std::string icon);
    Window& setPosition(int x, int y, int width, int height);
    Window& setPosition(int x, int y);
    Window& setSize(int width, int height);
    Window& setMinSize(int width, int height);
    Window& setFrame(bool frame);
    Window& setMdiChild(bool mdiChild);
    Window& setModal(bool modal);
    Window& setCaption(bool caption);
    Window& setPopup(PopupKind popup);
    // Shows the window at x, y dialog units from the mouse pointer.
    Window& setAtMouse(int x, int y);
    Window& setMaximized(bool maximized);
    Window& setMinimized(bool minimized);
    Window& setHidden(bool hidden);
    Window& setImmediate(bool immediate);
    // The window and every control on it report events at once.
    Window& setImmediateAll(bool immediate);
    // Timer in hundredths of a second, 0 off. Timer events come while the queue is empty.
    Window& setTimer(int hundredths);
    int timer() const;
    // Status bar zones (dialog units; the last may be 0 for the rest), texts by zone from 1.
    Window& setStatusZones(std::vector<int> widths);
    Window& setStatusText(int zone, std::string text);
    std::string statusText(int zone) const;
    // Keys that give AlertKey events.
    Window& alert(int keyCode);
    Window& removeAlert(int keyCode);
    bool alerted(int keyCode) const;
    // A handler that sees every `event` of `control` (0: of any control) before accept() returns
    // it, so a helper object works whether or not the procedure passes events on. Gives its
    // number for unregisterEvent.
    int registerEvent(Event event, int control, std::function<void(const EventInfo&)> handler);
    void unregisterEvent(int registration);
    // Moves the focus to a control.
    Window& select(int control);
    int focus() const;

    // Controls. Equates are positive. Run-time controls get the next number above all others.
    ControlRef add(int id, ControlKind kind, int parent = 0);
    int create(ControlKind kind, int parent = 0);
    void destroy(int id);  // with every control inside it
    bool has(int id) const;
    ControlRef control(int id);
    ControlRef operator[](int id) { return control(id); }
    std::vector<int> controlIds() const;  // creation order
    // Every control whose parent chain leads to `id`.
    std::vector<int> childrenOf(int id) const;

    // The event loop.
    void open();  // publishes the window; accept() does it when needed
    bool isOpen() const;
    bool wasOpened() const;  // opened at some time (window state is saved only then)
    EventInfo accept();
    const EventInfo& current() const;
    Event event() const { return current().event; }
    int field() const { return current().control; }
    // Queues an event for this window (owner thread).
    void post(Event event, int control = 0);
    // After CloseWindow or CloseDown: the window stays open and the loop goes on.
    void keepOpen();
    // Closes at once; the next accept() returns Event::None.
    void close();
    // Publishes pending changes now (accept() and modal calls do it too).
    void flush();

    // For the implementation.
    WindowCore& core() { return *core_; }
    struct ControlEntry;

private:
    friend class ControlRef;
    ControlEntry& entry(int id);
    const ControlEntry& entry(int id) const;
    void markChanged(int id);
    void applyInput(const UserInput& input, EventInfo& info);
    void publishOpen();
    void publishChanges();
    void readSources(bool all);
    void closeNow(bool notifyDisplay);

    std::shared_ptr<WindowCore> core_;
    WindowProps props_;
    bool propsChanged_ = false;
    std::map<int, std::unique_ptr<ControlEntry>> controls_;
    std::vector<int> order_;
    std::uint64_t sequence_ = 0;
    std::vector<int> removed_;
    std::vector<int> changed_;
    bool opened_ = false;
    bool closed_ = false;
    bool closeRequested_ = false;
    bool keepOpen_ = false;
    // The last input given before the procedure moved the focus: the user's focus changes up to
    // it are past (the screen shows the procedure's choice).
    std::uint64_t focusMovedAt_ = 0;
    EventInfo current_;
    struct Registration {
        int number;
        Event event;
        int control;
        std::function<void(const EventInfo&)> handler;
    };
    std::vector<Registration> registered_;
    int nextRegistration_ = 1;
    void runRegistered(const EventInfo& info);
    std::chrono::steady_clock::time_point nextTimer_;
};

// Events across threads; false when there is no such window or thread window.
bool post(Event event, int control, WindowId window);
// To the top window of a program thread (the one currently taking input there).
bool postToThread(Event event, int control, int threadNumber);
// Top window of a program thread, 0 when it shows none.
WindowId topWindow(int threadNumber);
// The window the user last activated (display's GainFocus), and its thread; 0 when none.
WindowId activeWindow();
int activeWindowThread();
// Every open window, in opening order.
std::vector<WindowProps> openWindows();
// For the frame's close: posts CloseDown to the top window of every other program thread, and
// again to each window that comes on top there, until no window of another thread is open.
// False when some are still open after `timeout`.
bool closeOtherThreads(std::chrono::milliseconds timeout);

}  // namespace rt
