// The GUI side of the Qt display: the windows and controls of the model as Qt widgets. Every
// member runs on the GUI thread. Control kinds create, style and fill their widgets in
// runtime/qt/controls; the window handling and the input that goes back to the procedures
// have files of their own.
#pragma once

#include <QButtonGroup>
#include <QFont>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/qt/fonts.h"
#include "runtime/qt/list_model.h"
#include "runtime/qt/qt_display.h"
#include "runtime/qt/widgets.h"

class QLabel;

namespace rt::qt {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }

struct QtControl {
    ControlState state;
    bool created = false;
    QWidget* widget = nullptr;       // the control's widget (null for tabs, menus, items)
    QWidget* focusWidget = nullptr;  // the part that takes the focus and reports keys
    QAction* action = nullptr;       // menu item or sub-menu entry
    QMenu* menu = nullptr;
    QButtonGroup* buttons = nullptr;  // option group
    RowsModel* model = nullptr;
    QTreeView* view = nullptr;
    QTabWidget* sheet = nullptr;  // tab: its sheet's widget
    std::uint64_t valueSerial = ~0ull;
    std::uint64_t listSerial = ~0ull;
    std::string sentValue;        // the value last reported to the procedure
    TextSelection sentSelection;  // the text cursor and selection the procedure knows
    bool inside = false;          // region: mouse inside
    QWidget* content = nullptr;   // scrolling panel: what its controls stand on
    QPoint scrolled{-1, -1};      // scrolling panel: the procedure's offset last shown (pixels)
};

struct QtWindow {
    WindowProps props;
    bool applied = false;
    QMainWindow* main = nullptr;
    QMdiSubWindow* sub = nullptr;
    QMdiArea* mdi = nullptr;  // frame only
    Canvas* canvas = nullptr;
    QToolBar* toolbar = nullptr;
    Canvas* toolCanvas = nullptr;
    std::vector<QLabel*> zones;
    std::map<int, QtControl> controls;
    std::vector<int> order;
    QFont font;
    rt::qt::FontUnits units{QFont()};
    bool shown = false;
    bool blocked = false;
    QSize sizeSent;  // dialog units the procedure knows
    QPoint posSent{-1, -1};
    QWidget* top() const { return sub ? static_cast<QWidget*>(sub) : main; }
};

// Input of the given event for a control (0: the window).
UserInput inputOf(Event event, int control = 0);

class QtDisplay::Core : public QObject {
public:
    Core();
    ~Core() override;

    // Windows (display_windows.cpp).
    void open(const WindowSnapshot& snapshot);
    void update(const WindowUpdate& update);
    void close(WindowId id);
    void arrange(WindowId frame, Arrangement how);

    QtWindow* find(WindowId id);
    QtWindow* frame();
    QtControl* controlOf(QtWindow& w, int id);
    QWidget* dialogParent(WindowId owner);
    // Dialog bookkeeping: while a thread waits in a dialog, its windows take no input.
    void beginThreadModal(int thread);
    void endThreadModal(int thread);

    // While one lives, the procedure's state is being applied: Qt signals are not user input.
    class Applying {
    public:
        explicit Applying(Core& core) : counter_(core.applying_) { ++counter_; }
        ~Applying() { --counter_; }
        Applying(const Applying&) = delete;
        Applying& operator=(const Applying&) = delete;

    private:
        int& counter_;
    };
    bool applying() const { return applying_ > 0; }

    // The window a signal speaks for when it is user input: null while the procedure's state is
    // applied or when the window has gone. With a control, also null when the control has gone.
    QtWindow* inputWindow(WindowId id);
    QtWindow* inputTarget(WindowId id, int control, QtControl*& c);

    // Connects a control widget's signal to `handler(window, control, signal arguments...)`, run
    // only for user input (see inputTarget).
    template <typename Sender, typename Signal, typename Handler>
    void onInput(const QtWindow& w, const QtControl& c, Sender* sender, Signal signal, Handler handler) {
        QObject::connect(sender, signal, this, [this, wid = w.props.id, id = c.state.id, handler](auto&&... args) {
            QtControl* ctl = nullptr;
            if (QtWindow* win = inputTarget(wid, id, ctl))
                handler(*this, *win, *ctl, std::forward<decltype(args)>(args)...);
        });
    }

    // The widget of a control takes the focus and reports its keys and mouse to the window.
    void makeFocusable(QtControl& c, QWidget* widget);
    void watchControlWidget(QWidget* widget, int control);

    // Input going back to the procedures (display_input.cpp).
    void send(QtWindow& w, UserInput input);
    void sendValue(QtWindow& w, QtControl& c, Event event, const std::string& value, int row = 0);
    void flushFocused(QtWindow& w);
    void flushTyped(QtWindow& w, QtControl& c);
    // The text cursor and selection of a control that takes text, when they moved.
    void sendTextSelection(QtWindow& w, QtControl& c);
    void refreshVisibility(QtWindow& w);
    // The control's look: what its kind shows, then its font, colours and pointer.
    void applyLook(QtWindow& w, QtControl& c);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Windows (display_windows.cpp).
    void applyWindow(QtWindow& w, const WindowProps& props, bool first);
    void applyGeometry(QtWindow& w);
    void refreshBlocking();
    void buildStatus(QtWindow& w);
    void showWindow(QtWindow& w);
    void connectFrame(QtWindow& w);
    void connectSubWindow(QtWindow& w);
    void reparentAbove(QWidget* top);
    void dispose(QWidget* top);

    // Controls (display_core.cpp).
    void applyControl(QtWindow& w, const ControlState& state);
    void createControl(QtWindow& w, QtControl& c);
    void removeControl(QtWindow& w, int id);
    void placeControl(QtWindow& w, QtControl& c);
    void applyValue(QtWindow& w, QtControl& c);
    void applyList(QtWindow& w, QtControl& c);
    void applyFontAndColours(QtWindow& w, QtControl& c);
    void setBuddies(QtWindow& w);
    QWidget* parentWidgetFor(QtWindow& w, const ControlState& state);

    // Input (display_input.cpp).
    QtWindow* windowOfWidget(QObject* object, int* control);
    QtWindow* inputWindowOf(QObject* object);
    QtWindow* watchedWindow(QObject* watched);
    void sendGeometry(QtWindow& w);
    void activate(QtWindow& now);
    bool swallowBlocked(QObject* watched, QEvent* event);
    bool onStatusTip(QObject* watched, QEvent* event);
    bool onClose(QObject* watched, QEvent* event);
    void onActivate(QObject* watched);
    void onMove(QObject* watched);
    void onStateChange(QObject* watched);
    void sendState(QtWindow& w, Qt::WindowStates now);
    void onFocusIn(QObject* watched);
    bool onKeyPress(QObject* watched, QEvent* event);
    bool onMousePress(QObject* watched, QEvent* event);
    void onMouseRelease(QObject* watched, QEvent* event);

    std::map<WindowId, std::unique_ptr<QtWindow>> windows_;
    std::map<int, int> threadModal_;
    WindowId frameId_ = 0;
    WindowId active_ = 0;
    WindowId dragWindow_ = 0;  // a list row pressed: where a drag may start
    int dragControl_ = 0;
    int dragRow_ = 0;
    QPoint dragFrom_;
    int applying_ = 0;  // >0 while the procedure's state is applied: Qt signals are not input
};

}  // namespace rt::qt
