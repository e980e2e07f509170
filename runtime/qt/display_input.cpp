#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <algorithm>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/display_core.h"
#include "runtime/qt/keys_qt.h"

namespace rt::qt {

QtWindow* QtDisplay::Core::inputWindowOf(QObject* object) {
    // The innermost window of the model the object belongs to; none inside a dialog or menu.
    for (QObject* o = object; o; o = o->parent()) {
        const QVariant wv = o->property("rtWindow");
        if (wv.isValid()) return find(WindowId(wv.toULongLong()));
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) return nullptr;
    }
    return nullptr;
}

void QtDisplay::Core::send(QtWindow& w, UserInput input) { rt::sendInput(w.props.id, input); }

void QtDisplay::Core::sendValue(QtWindow& w, QtControl& c, Event event, const std::string& value, int row) {
    UserInput input = inputOf(event, c.state.id);
    input.value = value;
    input.row = row;
    c.sentValue = value;
    if (TextSelection selection; takesText(c.state.kind) && shownTextSelection(c, selection)) {
        input.textSelection = selection;
        c.sentSelection = selection;
    }
    send(w, input);
}

void QtDisplay::Core::sendTextSelection(QtWindow& w, QtControl& c) {
    TextSelection selection;
    if (!takesText(c.state.kind) || !shownTextSelection(c, selection) || selection == c.sentSelection) return;
    UserInput input = inputOf(Event::None, c.state.id);
    input.textSelection = selection;
    // A window that takes no input now hears of it with the next move.
    if (rt::sendInput(w.props.id, input)) c.sentSelection = selection;
}

void QtDisplay::Core::flushFocused(QtWindow& w) {
    // A field being typed in gives its value (and its text cursor) before a menu item, a button,
    // a page turn or a close acts on it.
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    for (auto& [id, c] : w.controls) {
        if (c.focusWidget != focus) continue;
        flushTyped(w, c);
        // The Edit menu's commands act on where the cursor stands now.
        sendTextSelection(w, c);
        return;
    }
}

void QtDisplay::Core::flushTyped(QtWindow& w, QtControl& c) {
    // Also while the procedure's state is applied: a field hidden or disabled then loses the
    // focus, and what the user typed in it must not go with it.
    std::string text;
    if (const auto typed = controlKindOps(c.state.kind).typed; typed && typed(c, text))
        if (text != c.sentValue && !c.state.readOnly) sendValue(w, c, Event::Accepted, text);
}

void QtDisplay::Core::activate(QtWindow& now) {
    if (active_ == now.props.id) return;
    if (QtWindow* old = find(active_)) send(*old, inputOf(Event::LoseFocus));
    active_ = now.props.id;
    send(now, inputOf(Event::GainFocus));
}

void QtDisplay::Core::sendGeometry(QtWindow& w) {
    if (!w.shown || applying_) return;
    UserInput input = inputOf(Event::Sized);
    const QPoint at = w.top()->pos();
    input.x = w.units.toX(at.x());
    input.y = w.units.toY(at.y());
    // A frame's canvas is hidden: its size is the window's own.
    const QSize px = w.props.frame ? w.top()->size() : w.canvas->size();
    if (w.props.frame && (w.top()->isMaximized() || w.top()->isMinimized())) return;
    input.width = w.units.toX(px.width());
    input.height = w.units.toY(px.height());
    // Only what the user changed: the size the procedure gave comes back as no event.
    if (input.width == w.sizeSent.width() && input.height == w.sizeSent.height()) return;
    w.sizeSent = QSize(input.width, input.height);
    send(w, input);
}

QtWindow* QtDisplay::Core::windowOfWidget(QObject* object, int* control) {
    // Only widgets standing in the window itself: keys and clicks in a popup menu, a drop list's
    // open list or a dialog above the window belong to them, even where Qt makes the window
    // their parent.
    *control = 0;
    for (QObject* o = object; o; o = o->parent()) {
        if (!*control) {
            const QVariant c = o->property("rtControl");
            if (c.isValid()) *control = c.toInt();
        }
        const QVariant wv = o->property("rtWindow");
        if (wv.isValid()) return find(WindowId(wv.toULongLong()));
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) return nullptr;
    }
    return nullptr;
}

QtWindow* QtDisplay::Core::watchedWindow(QObject* watched) {
    // Window events of the model's own widgets, not those the procedure's state causes.
    const QVariant wv = watched->property("rtWindow");
    return wv.isValid() ? inputWindow(WindowId(wv.toULongLong())) : nullptr;
}

bool QtDisplay::Core::eventFilter(QObject* watched, QEvent* event) {
    if (swallowBlocked(watched, event)) return true;
    switch (event->type()) {
    case QEvent::StatusTip: return onStatusTip(watched, event);
    case QEvent::Close: return onClose(watched, event);
    case QEvent::WindowActivate: onActivate(watched); break;
    case QEvent::Move: onMove(watched); break;
    case QEvent::Resize:
        if (QtWindow* w = watchedWindow(watched); w && w->props.frame && watched == w->main) sendGeometry(*w);
        break;
    case QEvent::WindowStateChange: onStateChange(watched); break;
    case QEvent::FocusIn: onFocusIn(watched); break;
    case QEvent::KeyPress:
        if (onKeyPress(watched, event)) return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: return onMousePress(watched, event);
    case QEvent::MouseButtonRelease: onMouseRelease(watched, event); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

bool QtDisplay::Core::swallowBlocked(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        if (QtWindow* w = inputWindowOf(watched); w && w->blocked) {
            if (event->type() == QEvent::MouseButtonPress) QApplication::beep();
            return true;
        }
        return false;
    default: return false;
    }
}

bool QtDisplay::Core::onStatusTip(QObject* watched, QEvent* event) {
    // Help lines of controls go to zone 1 (the window's, else the frame's), not over the zones.
    const QVariant wv = watched->property("rtWindow");
    if (!wv.isValid() || !qobject_cast<QMainWindow*>(watched)) return false;
    QtWindow* w = find(WindowId(wv.toULongLong()));
    if (!w) return false;
    QtWindow* shown = !w->zones.empty() ? w : frame();
    if (shown && !shown->zones.empty()) shown->zones[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
}

bool QtDisplay::Core::onClose(QObject* watched, QEvent* event) {
    // The user asks a window to close; its procedure decides.
    QtWindow* w = watchedWindow(watched);
    if (!w || (watched != w->top() && !(w->props.frame && watched == w->main))) return false;
    event->ignore();
    if (w->blocked) return true;
    flushFocused(*w);
    send(*w, inputOf(Event::CloseWindow));
    return true;
}

void QtDisplay::Core::onActivate(QObject* watched) {
    QtWindow* w = watchedWindow(watched);
    if (!w || w->sub || watched != w->main) return;
    // The frame coming back to the front brings its active child with it: the child stays the
    // active window (the toolbar acts on it).
    QtWindow* now = w;
    if (w->mdi && w->mdi->activeSubWindow())
        for (auto& [id, other] : windows_)
            if (other->sub == w->mdi->activeSubWindow()) now = other.get();
    activate(*now);
}

void QtDisplay::Core::onMove(QObject* watched) {
    // Where the user put the window: saved with its state when it closes.
    QtWindow* w = watchedWindow(watched);
    if (!w || watched != w->top() || !w->shown || w->top()->isMaximized() || w->top()->isMinimized()) return;
    const QPoint at = w->top()->pos();
    const QPoint units(w->units.toX(at.x()), w->units.toY(at.y()));
    if (units == w->posSent) return;
    w->posSent = units;
    UserInput input = inputOf(Event::Moved);
    input.x = units.x();
    input.y = units.y();
    send(*w, input);
}

void QtDisplay::Core::onStateChange(QObject* watched) {
    QtWindow* w = watchedWindow(watched);
    if (!w || w->sub || watched != w->main || !w->shown) return;
    const Qt::WindowStates now = w->main->windowState();
    sendState(*w, now);
}

void QtDisplay::Core::onFocusIn(QObject* watched) {
    int control = 0;
    QtWindow* w = windowOfWidget(watched, &control);
    if (!w || !control || applying_ || watched->property("rtControl").toInt() != control) return;
    if (QtControl* c = controlOf(*w, control); c && c->focusWidget == watched)
        send(*w, inputOf(Event::Selected, control));
}

void QtDisplay::Core::sendState(QtWindow& w, Qt::WindowStates now) {
    // What the screen shows now is what the procedure knows: its next own change of the state
    // is then seen as a change (a minimised window it restores is restored).
    w.props.minimized = now & Qt::WindowMinimized;
    w.props.maximized = !w.props.minimized && (now & Qt::WindowMaximized);
    send(w, inputOf(w.props.minimized ? Event::Iconized : w.props.maximized ? Event::Maximized : Event::Restored));
}

bool QtDisplay::Core::onKeyPress(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int control = 0;
    // Keys reach the control first; what it leaves travels up through the window's widgets.
    QtWindow* w = windowOfWidget(watched, &control);
    if (!w) return false;
    const int code = keyCodeOf(key);
    if (code && std::find(w->props.alertKeys.begin(), w->props.alertKeys.end(), code) != w->props.alertKeys.end()) {
        flushFocused(*w);
        UserInput input = inputOf(Event::AlertKey, control);
        input.keyCode = code;
        if (QtControl* c = controlOf(*w, control); c && c->model) input.row = c->model->rowOf(c->view->currentIndex());
        send(*w, input);
        return true;
    }
    // Esc acts as the window's cancel button, or asks the window to close; the frame keeps it.
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !w->props.frame) {
        flushFocused(*w);
        std::vector<ControlState> states;
        for (int id : w->order) states.push_back(w->controls[id].state);
        const UserInput input = escapeInput(states, [&](const ControlState& s) {
            const QtControl* c = controlOf(*w, s.id);
            return c && c->widget && c->widget->isVisibleTo(w->main) && c->widget->isEnabled();
        });
        if (input.event == Event::Accepted)
            static_cast<QPushButton*>(controlOf(*w, input.control)->widget)->click();
        else
            send(*w, input);
        return true;
    }
    // Enter presses the window's default button, except in multi-line text and on buttons.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier &&
        !qobject_cast<QPlainTextEdit*>(watched) && !qobject_cast<QPushButton*>(watched) &&
        !qobject_cast<QTreeView*>(watched)) {
        for (int id : w->order) {
            QtControl& c = w->controls[id];
            if (c.state.kind == ControlKind::Button && c.state.defaultButton && c.widget &&
                c.widget->isVisibleTo(w->main) && c.widget->isEnabled()) {
                static_cast<QPushButton*>(c.widget)->click();
                return true;
            }
        }
    }
    return false;
}

bool QtDisplay::Core::onMousePress(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    int control = 0;
    QtWindow* w = windowOfWidget(watched, &control);
    if (!w || !control || watched->property("rtControl").toInt() != control) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool twice = event->type() == QEvent::MouseButtonDblClick;
    if (QtControl* c = controlOf(*w, control); c && c->view && c->state.kind == ControlKind::List &&
                                               !c->state.dragIds.empty() && mouse->button() == Qt::LeftButton &&
                                               !twice) {
        dragWindow_ = w->props.id;
        dragControl_ = control;
        dragRow_ = c->model->rowOf(c->view->indexAt(mouse->position().toPoint()));
        dragFrom_ = mouse->globalPosition().toPoint();
    }
    int code = mouse->button() == Qt::RightButton    ? (twice ? keys::MouseRight2 : keys::MouseRight)
               : mouse->button() == Qt::MiddleButton ? keys::MouseCenter
                                                     : (twice ? keys::MouseLeft2 : keys::MouseLeft);
    code |= modifierBits(mouse->modifiers());
    if (std::find(w->props.alertKeys.begin(), w->props.alertKeys.end(), code) == w->props.alertKeys.end()) return false;
    UserInput input = inputOf(Event::AlertKey, control);
    input.keyCode = code;
    QtControl* c = controlOf(*w, control);
    if (c && c->view) {
        const QModelIndex index = c->view->indexAt(mouse->position().toPoint());
        if (index.isValid()) {
            Applying applying(*this);
            c->view->setCurrentIndex(index);
        }
        input.row = c->model->rowOf(index);
        input.column = index.isValid() ? index.column() + 1 : 0;
    }
    const QPoint at = static_cast<QWidget*>(watched)->mapTo(w->main, mouse->position().toPoint());
    const QPoint onCanvas = w->canvas->mapFrom(w->main, at);
    input.x = w->units.toX(onCanvas.x());
    input.y = w->units.toY(onCanvas.y());
    flushFocused(*w);
    send(*w, input);
    return mouse->button() == Qt::RightButton;
}

void QtDisplay::Core::onMouseRelease(QObject* watched, QEvent* event) {
    // A row dragged onto another row of the same list: Drag, then Drop.
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (!dragControl_ || mouse->button() != Qt::LeftButton || watched->property("rtControl").toInt() != dragControl_)
        return;
    const int control = dragControl_;
    const int from = dragRow_;
    dragControl_ = 0;
    QtWindow* w = find(dragWindow_);
    QtControl* c = w ? controlOf(*w, control) : nullptr;
    if (!c || !c->view || from == 0 || !dropAccepted(c->state, c->state) ||
        (mouse->globalPosition().toPoint() - dragFrom_).manhattanLength() < QApplication::startDragDistance())
        return;
    // Below the last row of the list: a negative target (the end).
    const QPoint at = mouse->position().toPoint();
    const QModelIndex index = c->view->indexAt(at);
    const int to = index.isValid() ? c->model->rowOf(index) : c->view->viewport()->rect().contains(at) ? -1 : 0;
    if (to == 0 || to == from) return;
    UserInput drag = inputOf(Event::Drag, control);
    drag.row = from;
    send(*w, drag);
    UserInput drop = inputOf(Event::Drop, control);
    drop.row = from;
    drop.dropRow = to;
    send(*w, drop);
}

}  // namespace rt::qt
