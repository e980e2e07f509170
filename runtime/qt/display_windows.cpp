#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <set>
#include <vector>

#include "runtime/qt/display_core.h"
#include "runtime/qt/fonts.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

std::atomic<std::uint64_t> shownFrameNativeId{0};

namespace {

// Where a window at `place` stands within `area`, as far as it fits (else at the area's top left).
QPoint within(const QRect& area, const QRect& place) {
    return {std::clamp(place.x(), area.left(), std::max(area.left(), area.right() + 1 - place.width())),
            std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() + 1 - place.height()))};
}

// A pop-up is placed by the program, not by the window manager: it must not leave the screen.
void keepOnScreen(QWidget& top) {
    QScreen* screen = QGuiApplication::screenAt(top.geometry().center());
    if (!screen) screen = QGuiApplication::screenAt(top.pos());
    const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->geometry();
    top.move(within(area, QRect(top.pos(), top.frameGeometry().size())));
}

// A child the frame's area placed itself is moved to where it is seen whole, as far as it fits:
// with no free space left, the area may put it past its right or bottom edge.
void keepInMdiArea(QMdiSubWindow& sub) {
    QMdiArea* area = sub.mdiArea();
    if (!area) return;
    const QPoint to = within(area->viewport()->rect(), sub.geometry());
    if (to != sub.pos()) sub.move(to);
}

// A child no larger than the frame's area, and within it as far as it fits.
void fitInMdiArea(QMdiSubWindow& sub) {
    QMdiArea* area = sub.mdiArea();
    if (!area || sub.isMaximized() || sub.isMinimized()) return;
    const QRect room = area->viewport()->rect();
    if (room.width() < 50 || room.height() < 50) return;  // not laid out yet
    const QSize size = sub.size().boundedTo(room.size());
    if (size != sub.size()) sub.resize(size);
    keepInMdiArea(sub);
}

// The window around its client area. Qt gives a window no smaller than 200 x 100 pixels when
// it adjusts its size; one of a fixed size (a small chooser) is exactly as large as its controls.
// A frame keeps the size it is given: adjusting would cut it to two thirds of the screen.
void fitToSize(QtWindow& w) {
    if (w.props.frame) return;
    w.main->adjustSize();
    if (w.sub) {
        w.sub->adjustSize();
        fitInMdiArea(*w.sub);
    }
    if (!w.props.resizable && !w.props.frame && !w.sub) w.main->resize(w.main->sizeHint());
}

}  // namespace

void QtDisplay::Core::open(const WindowSnapshot& snapshot) {
    const WindowProps& props = snapshot.window;
    if (find(props.id)) return;
    auto owned = std::make_unique<QtWindow>();
    QtWindow& w = *owned;
    windows_[props.id] = std::move(owned);
    Applying applying(*this);

    w.font = windowFont(qs(props.font.face), props.font.size, props.font.weight >= 600, props.font.italic,
                        props.font.underline);
    w.units = rt::qt::FontUnits(w.font);

    QtWindow* f = frame();
    if (props.frame && !f) {
        frameId_ = props.id;
        f = nullptr;
    }
    // A hidden frame (a cube opened from the command line) shows its children as windows. A
    // child that a window of its own on the screen opens stands in front of it, not in the
    // frame behind it.
    QtWindow* owner = find(props.owner);
    const bool ownerInFrame = !owner || owner->props.frame || owner->sub;
    const bool inFrame =
        props.mdiChild && f && !f->props.hidden && !props.frame && props.popup == PopupKind::None && ownerInFrame;
    QWidget* topParent = nullptr;
    if (!props.frame && !inFrame) {
        if (owner)
            topParent = owner->main ? owner->main->window() : nullptr;
        else if (f)
            topParent = f->main;
    }
    // A window with an owner is transient for it (the caller's window, or the frame for a caller
    // in the frame): the window manager keeps it above its owner, and a click on the owner
    // never buries it. Only a dialog's type carries that to the window manager.
    Qt::WindowFlags flags = topParent ? Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                            Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint
                                      : Qt::WindowFlags();
    // Pop-ups bypass the window manager: no decoration, placed where the program puts them.
    if (props.popup == PopupKind::Shown)
        flags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    else if (props.popup == PopupKind::Chooser)
        flags = Qt::Popup | Qt::FramelessWindowHint;
    w.main = new QMainWindow(topParent, flags);
    if (props.popup == PopupKind::Shown) w.main->setAttribute(Qt::WA_ShowWithoutActivating);
    w.main->setAttribute(Qt::WA_DeleteOnClose, false);
    w.main->setFont(w.font);
    w.main->setProperty("rtWindow", QVariant::fromValue<qulonglong>(props.id));
    w.main->installEventFilter(this);
    w.canvas = new Canvas;
    w.canvas->setProperty("rtWindow", QVariant::fromValue<qulonglong>(props.id));
    if (props.frame && frameId_ == props.id) {
        w.mdi = new QMdiArea;
        w.mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        w.mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        w.main->setCentralWidget(w.mdi);
        w.canvas->setParent(w.main);
        w.canvas->hide();  // a frame's own controls stand on its toolbar
        connectFrame(w);
    } else if (inFrame) {
        // A child may be smaller than its controls (the frame's area, a tiling): then it scrolls.
        auto* host = new CanvasHost;
        host->setFrameShape(QFrame::NoFrame);
        host->setWidgetResizable(true);
        host->setWidget(w.canvas);
        w.main->setCentralWidget(host);
    } else {
        w.main->setCentralWidget(w.canvas);
    }
    w.canvas->onResized = [this, id = props.id] {
        if (QtWindow* win = find(id)) sendGeometry(*win);
    };

    if (inFrame) {
        w.sub = new QMdiSubWindow;
        w.sub->setWidget(w.main);
        w.sub->setAttribute(Qt::WA_DeleteOnClose, false);
        w.sub->setProperty("rtWindow", QVariant::fromValue<qulonglong>(props.id));
        w.sub->installEventFilter(this);
        f->mdi->addSubWindow(w.sub);
    }

    applyWindow(w, props, true);
    // Once the window knows its id: the user's minimising and restoring reach its procedure.
    if (w.sub) connectSubWindow(w);
    for (const auto& state : snapshot.controls) applyControl(w, state);
    applyGeometry(w);
    setBuddies(w);
    refreshVisibility(w);
    showWindow(w);
    refreshBlocking();
}

void QtDisplay::Core::connectFrame(QtWindow& w) {
    // Also when the program opens or closes a child: the runtime must know the active one.
    QObject::connect(w.mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        for (auto& [id, other] : windows_)
            if (sub && other->sub == sub) {
                activate(*other);
                break;
            }
    });
}

void QtDisplay::Core::connectSubWindow(QtWindow& w) {
    QObject::connect(w.sub, &QMdiSubWindow::windowStateChanged, this,
                     [this, id = w.props.id](Qt::WindowStates, Qt::WindowStates now) {
                         if (QtWindow* win = inputWindow(id); win && win->shown) sendState(*win, now);
                     });
}

void QtDisplay::Core::showWindow(QtWindow& w) {
    const WindowProps& props = w.props;
    QWidget* top = w.top();
    if (props.hidden) {
        top->hide();
        return;
    }
    fitToSize(w);
    if (props.frame && (props.width <= 0 || props.height <= 0)) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        top->resize(std::min(1200, screen.width()), std::min(800, screen.height()));
    }
    if (props.atMouse && !w.sub) {
        top->move(QCursor::pos() + QPoint(w.units.x(props.x), w.units.y(props.y)));
        keepOnScreen(*top);
    } else if (props.nearOwner && find(props.owner) && !w.sub) {
        applyGeometry(w);  // placed by its owner
    } else if (props.x == 0 && props.y == 0 && !w.sub) {
        // The middle of the window below it, or of the screen (also when the one below is hidden,
        // as the frame is while a cube opened from the command line shows).
        QWidget* below = top->parentWidget() ? top->parentWidget()->window() : nullptr;
        if (below && !below->isVisible()) below = nullptr;
        const QRect area = below ? below->geometry() : QGuiApplication::primaryScreen()->availableGeometry();
        top->move(area.center() - QPoint(top->width() / 2, top->height() / 2));
    } else if (props.x == 0 && props.y == 0 && props.centered && w.sub && w.sub->mdiArea()) {
        const QRect area = w.sub->mdiArea()->viewport()->rect();
        top->move(std::max(0, area.center().x() - top->width() / 2),
                  std::max(0, area.center().y() - top->height() / 2));
    }
    if (!props.caption && !w.sub) top->setWindowFlag(Qt::FramelessWindowHint, true);
    if (props.maximized)
        top->showMaximized();
    else if (props.minimized)
        top->showMinimized();
    else
        top->show();
    if (w.sub && !props.maximized && !props.minimized) fitInMdiArea(*w.sub);
    w.shown = true;
    if (props.popup != PopupKind::None) return;  // the window below keeps the focus
    if (props.frame) {
        shownFrameNativeId = static_cast<std::uint64_t>(top->winId());
        // The size it got, once the procedure's state is applied, so that it is kept when it closes.
        QTimer::singleShot(0, this, [this, id = props.id] {
            if (QtWindow* win = find(id)) sendGeometry(*win);
        });
    }
    if (props.focus)
        if (QtControl* c = controlOf(w, props.focus))
            if (c->focusWidget) c->focusWidget->setFocus();
    if (w.sub && w.sub->mdiArea())
        w.sub->mdiArea()->setActiveSubWindow(w.sub);
    else
        top->activateWindow();
}

void QtDisplay::Core::applyWindow(QtWindow& w, const WindowProps& props, bool first) {
    const WindowProps old = w.props;
    w.props = props;
    QWidget* top = w.top();
    if (first || old.title != props.title) {
        w.main->setWindowTitle(qs(props.title));
        if (w.sub) w.sub->setWindowTitle(qs(props.title));
    }
    if (first || old.icon != props.icon) {
        QIcon icon = iconFor(qs(props.icon));
        if (icon.isNull() && props.frame) icon = iconFor(QStringLiteral("WWS.ICO"));
        if (!icon.isNull()) {
            w.main->setWindowIcon(icon);
            if (w.sub) w.sub->setWindowIcon(icon);
        }
    }
    if (first || old.background != props.background) {
        if (props.background != ColorNone) {
            QPalette pal = w.canvas->palette();
            pal.setColor(QPalette::Window, toQColor(props.background));
            w.canvas->setPalette(pal);
            w.canvas->setAutoFillBackground(true);
        }
    }
    if (first || old.minWidth != props.minWidth || old.minHeight != props.minHeight)
        w.canvas->setMinimumSize(w.units.x(props.minWidth), w.units.y(props.minHeight));
    if (!first && (old.width != props.width || old.height != props.height || old.x != props.x || old.y != props.y))
        applyGeometry(w);
    if (!first && w.shown) {
        if (old.maximized != props.maximized || old.minimized != props.minimized) {
            Applying applying(*this);
            if (props.maximized)
                top->showMaximized();
            else if (props.minimized)
                top->showMinimized();
            else
                top->showNormal();
        }
        if (old.hidden != props.hidden) top->setVisible(!props.hidden);
    } else if (!first && old.hidden && !props.hidden) {
        // Opened hidden: shown for the first time now.
        showWindow(w);
        refreshVisibility(w);
    }
    if (first || old.status != props.status) buildStatus(w);
    if (!first && props.focusSerial != old.focusSerial && props.focus)
        if (QtControl* c = controlOf(w, props.focus))
            if (c->focusWidget) c->focusWidget->setFocus();
}

void QtDisplay::Core::applyGeometry(QtWindow& w) {
    const WindowProps& props = w.props;
    QWidget* top = w.top();
    // The size the display itself reported (the user or the window manager resized it, or
    // maximised it) is taken as it stands: fitting the window to it again would undo that.
    const bool echo = w.shown && props.width == w.sizeSent.width() && props.height == w.sizeSent.height();
    const bool managed = top->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen);
    QSize size(w.units.x(props.width), w.units.y(props.height));
    if (props.width <= 0 || props.height <= 0) {
        // As large as the controls need.
        QRect used;
        for (auto& [id, c] : w.controls)
            if (c.widget && c.widget->parentWidget() == w.canvas) used |= c.widget->geometry();
        if (!used.isValid()) used = QRect(0, 0, w.units.x(200), w.units.y(100));
        size = QSize(props.width > 0 ? size.width() : used.right() + w.units.x(6),
                     props.height > 0 ? size.height() : used.bottom() + w.units.y(6));
    }
    if (props.frame && props.width > 0 && props.height > 0) {
        // A frame's canvas is hidden: the size is the window's own.
        Applying applying(*this);
        top->resize(size);
    }
    w.canvas->wanted = size;
    w.canvas->updateGeometry();
    // A scrolling host passes no change of its canvas on to the window's layout.
    if (auto* host = qobject_cast<CanvasHost*>(w.main->centralWidget())) host->updateGeometry();
    w.sizeSent = QSize(w.units.toX(size.width()), w.units.toY(size.height()));
    if (!props.resizable && !props.frame) w.canvas->setFixedSize(size);
    if (w.shown && !echo && !managed) {
        Applying applying(*this);
        fitToSize(w);
    }
    QtWindow* owner = props.nearOwner && !w.sub ? find(props.owner) : nullptr;
    if (owner && owner->canvas && !managed) {
        // Beside its owner on the screen, wherever the owner stands (an MDI child included).
        Applying applying(*this);
        top->move(owner->canvas->mapToGlobal(QPoint(w.units.x(props.x), w.units.y(props.y))));
        keepOnScreen(*top);
        w.posSent = QPoint(props.x, props.y);
    } else if ((props.x != 0 || props.y != 0) && !managed && !props.atMouse) {
        Applying applying(*this);
        top->move(w.units.x(props.x), w.units.y(props.y));
        if (props.popup != PopupKind::None) keepOnScreen(*top);
        w.posSent = QPoint(props.x, props.y);
    }
}

void QtDisplay::Core::buildStatus(QtWindow& w) {
    const auto& zones = w.props.status;
    if (zones.empty()) {
        if (w.main->statusBar(); !w.zones.empty()) {
            for (QLabel* label : w.zones) delete label;
            w.zones.clear();
        }
        if (w.main->findChild<QStatusBar*>()) w.main->statusBar()->hide();
        return;
    }
    QStatusBar* bar = w.main->statusBar();
    bar->show();
    bar->setSizeGripEnabled(w.props.resizable);
    if (w.zones.size() != zones.size()) {
        for (QLabel* label : w.zones) delete label;
        w.zones.clear();
        for (std::size_t i = 0; i < zones.size(); ++i) {
            auto* label = new QLabel;
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            // Zone 1 shows help lines: it grows with the bar, so that they are not cut.
            const bool rest = zones[i].width <= 0 || i == 0;
            if (rest)
                bar->addWidget(label, 1);
            else
                bar->addWidget(label);
            w.zones.push_back(label);
        }
    }
    for (std::size_t i = 0; i < zones.size(); ++i) {
        QLabel* label = w.zones[i];
        if (zones[i].width > 0 && i == 0)
            label->setMinimumWidth(w.units.x(zones[i].width));
        else if (zones[i].width > 0)
            label->setFixedWidth(w.units.x(zones[i].width));
        label->setText(qs(zones[i].text));
    }
}

void QtDisplay::Core::update(const WindowUpdate& update) {
    QtWindow* w = find(update.id);
    if (!w) return;
    Applying applying(*this);
    for (int id : update.removed) removeControl(*w, id);
    if (update.windowChanged) applyWindow(*w, update.window, false);
    for (const auto& state : update.changed) applyControl(*w, state);
    setBuddies(*w);
    refreshVisibility(*w);
    refreshBlocking();
}

void QtDisplay::Core::close(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    std::unique_ptr<QtWindow> w = std::move(it->second);
    windows_.erase(it);
    Applying applying(*this);
    if (active_ == id) active_ = 0;
    QWidget* top = w->top();
    if (id == frameId_) {
        // Children still shown lose their frame: they close with it.
        frameId_ = 0;
        shownFrameNativeId = 0;
        std::vector<WindowId> orphans;
        for (auto& [other, win] : windows_)
            if (win->sub) orphans.push_back(other);
        for (WindowId other : orphans) close(other);
    }
    reparentAbove(top);
    if (w->sub && w->sub->mdiArea()) w->sub->mdiArea()->removeSubWindow(w->sub);
    top->hide();
    dispose(top);
    refreshBlocking();
}

namespace {

bool standsIn(QWidget* widget, QWidget* top) {
    for (QWidget* p = widget; p; p = p->parentWidget())
        if (p == top) return true;
    return false;
}

std::vector<NestedLoop*>& nestedLoops() {
    static std::vector<NestedLoop*> loops;
    return loops;
}

}  // namespace

NestedLoop::NestedLoop(QWidget* owner, std::function<void()> end) : owner_(owner), end_(std::move(end)) {
    nestedLoops().push_back(this);
}

NestedLoop::~NestedLoop() { std::erase(nestedLoops(), this); }

bool NestedLoop::endWithin(QWidget* top) {
    bool any = false;
    for (NestedLoop* loop : std::vector<NestedLoop*>(nestedLoops())) {
        if (!loop->owner_ || !standsIn(loop->owner_, top)) continue;
        any = true;
        if (!loop->ended_ && loop->end_) {
            loop->ended_ = true;
            loop->end_();
        }
    }
    return any;
}

void QtDisplay::Core::dispose(QWidget* top) {
    // A popup menu or a dialog of one of the window's widgets runs its own event loop with that
    // widget's code waiting below it, and so does a drag: they close first, and the widgets go
    // once those loops have returned, never from inside them.
    bool waiting = NestedLoop::endWithin(top);
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* nested = QApplication::activePopupWidget();
        if (!nested || !standsIn(nested, top)) nested = QApplication::activeModalWidget();
        if (!nested || !standsIn(nested, top)) break;
        if (auto* dialog = qobject_cast<QDialog*>(nested))
            dialog->reject();
        else
            nested->close();
        waiting = true;
    }
    if (!waiting) {
        top->deleteLater();
        return;
    }
    QTimer::singleShot(0, this, [this, later = QPointer<QWidget>(top)] {
        if (later) dispose(later);
    });
}

void QtDisplay::Core::reparentAbove(QWidget* top) {
    // Windows of other procedures standing above this one must not go down with its widgets.
    for (auto& [other, win] : windows_) {
        QWidget* otherTop = win->top();
        bool below = false;
        for (QWidget* p = otherTop ? otherTop->parentWidget() : nullptr; p && !below; p = p->parentWidget())
            below = p == top;
        if (!below || win->sub) continue;
        QWidget* newParent = frame() && frame()->main != top ? frame()->main : nullptr;
        const bool visible = otherTop->isVisible();
        otherTop->setParent(newParent, otherTop->windowFlags() | Qt::Window);
        otherTop->setVisible(visible);
    }
}

void QtDisplay::Core::arrange(WindowId frameId, Arrangement how) {
    QtWindow* f = find(frameId);
    if (!f || !f->mdi) f = frame();
    if (!f || !f->mdi) return;
    switch (how) {
    case Arrangement::Tile: f->mdi->tileSubWindows(); break;
    case Arrangement::Cascade: f->mdi->cascadeSubWindows(); break;
    case Arrangement::ArrangeIcons: {
        // Minimised children in a row along the bottom edge.
        int x = 0;
        const int bottom = f->mdi->viewport()->height();
        for (QMdiSubWindow* sub : f->mdi->subWindowList()) {
            if (!sub->isMinimized()) continue;
            sub->move(x, bottom - sub->height());
            x += sub->width();
        }
        break;
    }
    }
}

void QtDisplay::Core::refreshBlocking() {
    // A window takes no input while a window of its thread stands above it or its thread waits
    // in a dialog. Its widgets stay enabled (children and dialogs inherit a disabled state);
    // the event filter swallows the input instead.
    std::set<WindowId> covered;
    for (auto& [id, w] : windows_)
        if (w->props.owner) covered.insert(w->props.owner);
    for (auto& [id, w] : windows_) w->blocked = covered.count(id) || threadModal_.count(w->props.thread);
}

}  // namespace rt::qt
