// Menus and menu items of a window's menu bar.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

namespace {

QMenu* parentMenuOf(Core& core, QtWindow& w, const QtControl& c) {
    QtControl* parentMenu = c.state.parent ? core.controlOf(w, c.state.parent) : nullptr;
    return parentMenu ? parentMenu->menu : nullptr;
}

// The frame's open children after the menu's own items, as "&1 Title", the active one checked:
// choosing one brings it to the front, also from behind others or minimised.
void listWindows(QtWindow& frame, QtControl& c) {
    for (QAction* old : c.menu->actions())
        if (old->property("rtWindowEntry").toBool()) {
            c.menu->removeAction(old);
            old->deleteLater();
        }
    if (!frame.mdi) return;
    const QList<QMdiSubWindow*> subs = frame.mdi->subWindowList();
    int n = 0;
    for (QMdiSubWindow* sub : subs) {
        if (!sub->isVisible() && !sub->isMinimized()) continue;
        if (n == 0) c.menu->addSeparator()->setProperty("rtWindowEntry", true);
        ++n;
        QString title = sub->windowTitle();
        title.replace('&', QStringLiteral("&&"));
        const QString text =
            n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title) : QStringLiteral("%1 %2").arg(n).arg(title);
        QAction* entry = c.menu->addAction(text);
        entry->setProperty("rtWindowEntry", true);
        entry->setCheckable(true);
        entry->setChecked(sub == frame.mdi->activeSubWindow());
        QObject::connect(entry, &QAction::triggered, sub, [sub] {
            if (sub->isMinimized()) sub->showNormal();
            if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
            sub->raise();
        });
    }
}

void createMenu(Core& core, QtWindow& w, QtControl& c, QWidget*) {
    c.menu = new QMenu(w.main);  // goes with its window
    if (QMenu* parentMenu = parentMenuOf(core, w, c))
        c.action = parentMenu->addMenu(c.menu);
    else
        c.action = w.main->menuBar()->addMenu(c.menu);
    QObject::connect(c.menu, &QMenu::aboutToShow, &core, [&core, wid = w.props.id, id = c.state.id] {
        QtWindow* win = core.find(wid);
        if (!win) return;
        core.flushFocused(*win);
        if (QtControl* menu = core.controlOf(*win, id); menu && menu->state.windowList) listWindows(*win, *menu);
    });
}

void menuLook(Core&, QtWindow&, QtControl& c) {
    if (c.menu) {
        c.menu->setTitle(qs(c.state.text));
        c.action->setStatusTip(QString());
    }
}

void createItem(Core& core, QtWindow& w, QtControl& c, QWidget*) {
    QMenu* menu = parentMenuOf(core, w, c);
    c.action = new QAction(menu ? static_cast<QObject*>(menu) : w.main);
    if (menu)
        menu->addAction(c.action);
    else
        w.main->menuBar()->addAction(c.action);
    core.onInput(w, c, c.action, &QAction::triggered, [](Core& core, QtWindow& win, QtControl& ctl, bool checked) {
        core.flushFocused(win);
        if (ctl.state.checkItem)
            core.sendValue(win, ctl, Event::Accepted, checked ? "1" : "0");
        else
            core.send(win, inputOf(Event::Accepted, ctl.state.id));
    });
}

void itemLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (c.action) {
        c.action->setSeparator(s.separator);
        c.action->setText(qs(s.text));
        c.action->setCheckable(s.checkItem);
        c.action->setIcon(iconFor(qs(s.icon)));
        c.action->setToolTip(qs(s.tip));
        // The menu sends it as the status tip of the item under the mouse; zone 1 shows it.
        c.action->setStatusTip(qs(s.help));
    }
}

void itemValue(Core&, QtWindow&, QtControl& c) {
    if (c.action && c.state.checkItem) c.action->setChecked(c.state.value == "1");
}

}  // namespace

const ControlKindOps kMenuOps{.create = createMenu, .look = menuLook};
const ControlKindOps kItemOps{.create = createItem, .look = itemLook, .value = itemValue};

}  // namespace rt::qt
