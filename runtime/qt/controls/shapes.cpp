// Boxes, lines, panels and regions: drawn shapes; a region reports the mouse.
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/keys_qt.h"

namespace rt::qt {

namespace {

void createBox(Core&, QtWindow&, QtControl& c, QWidget* parent) { c.widget = new BoxWidget(parent); }

void boxLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* box = static_cast<BoxWidget*>(c.widget)) {
        box->fill = toQColor(s.background);
        box->border = toQColor(s.borderColor, toQColor(s.fontColor));
        box->update();
    }
}

void createLine(Core&, QtWindow&, QtControl& c, QWidget* parent) {
    c.widget = new LineWidget(parent);
    c.widget->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void lineLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* line = static_cast<LineWidget*>(c.widget)) {
        line->color = toQColor(s.fontColor, toQColor(s.borderColor));
        line->rising = (s.width < 0) != (s.height < 0);
        line->update();
    }
}

void createPanel(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    if (!scrollsControls(c.state)) {
        auto* panel = new QFrame(parent);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        c.widget = panel;
        return;
    }
    auto* area = new QScrollArea(parent);
    area->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    area->setWidgetResizable(false);
    area->setHorizontalScrollBarPolicy(c.state.hscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(c.state.vscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    c.content = new Canvas;
    c.content->setProperty("rtControl", c.state.id);
    area->setWidget(c.content);
    c.widget = area;
    connectScrolling(core, w, c, area);
}

void panelLook(Core&, QtWindow& w, QtControl& c) {
    auto* area = qobject_cast<QScrollArea*>(c.widget);
    if (!area || !c.content) return;
    const ControlState& s = c.state;
    if (s.virtualWidth > 0 || s.virtualHeight > 0) {
        QRect used;
        for (QWidget* child : c.content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) used |= child->geometry();
        c.content->resize(s.virtualWidth > 0 ? w.units.x(s.virtualWidth) : used.right() + 1,
                          s.virtualHeight > 0 ? w.units.y(s.virtualHeight) : used.bottom() + 1);
    }
    showScrollOffset(w, c, *area);
}

// The region's input for a mouse event; Event::None when the region does not report it.
UserInput regionInput(QtWindow& win, QtControl& ctl, int what, QMouseEvent* event) {
    const bool immediate = ctl.state.immediate || win.props.immediate;
    UserInput input = inputOf(Event::None, ctl.state.id);
    if (event) {
        // From the window's client area, also where the region stands on a scrolling area.
        const QPoint at = win.canvas->mapFromGlobal(event->globalPosition().toPoint());
        input.x = win.units.toX(at.x());
        input.y = win.units.toY(at.y());
        input.keyCode = event->button() == Qt::RightButton ? keys::MouseRight : keys::MouseLeft;
    }
    switch (what) {
    case RegionWidget::Enter:
        if (immediate) input.event = Event::MouseIn;
        break;
    case RegionWidget::Leave:
        if (immediate) input.event = Event::MouseOut;
        break;
    case RegionWidget::Down:
        if (immediate) input.event = Event::MouseDown;
        break;
    case RegionWidget::Up:
        if (!immediate) break;
        input.event = Event::MouseUp;
        input.keyCode = event && event->button() == Qt::RightButton ? keys::MouseRightUp : keys::MouseLeftUp;
        break;
    case RegionWidget::Click: input.event = Event::Accepted; break;
    case RegionWidget::Double:
        input.event = Event::Accepted;
        input.keyCode = keys::MouseLeft2;
        break;
    }
    return input;
}

void createRegion(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    auto* region = new RegionWidget(parent);
    c.widget = region;
    region->onMouse = [&core, wid = w.props.id, id = c.state.id](int what, QMouseEvent* event) {
        QtControl* ctl = nullptr;
        QtWindow* win = core.inputTarget(wid, id, ctl);
        if (!win || !ctl->state.enabled) return;
        const UserInput input = regionInput(*win, *ctl, what, event);
        if (input.event != Event::None) core.send(*win, input);
    };
}

void regionLook(Core&, QtWindow&, QtControl& c) {
    const ControlState& s = c.state;
    if (auto* region = static_cast<RegionWidget*>(c.widget)) {
        region->fill = s.transparent ? QColor() : toQColor(s.background);
        region->border = toQColor(s.borderColor);
        region->update();
    }
}

}  // namespace

void connectScrolling(Core& core, QtWindow& w, QtControl& c, QScrollArea* area) {
    // The user's scrolling, whichever bar moved, as the offset in dialog units.
    auto report = [area](Core& core, QtWindow& win, QtControl& ctl, int) {
        ctl.scrolled = QPoint(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value());
        UserInput input = inputOf(Event::NewSelection, ctl.state.id);
        input.x = win.units.toX(ctl.scrolled.x());
        input.y = win.units.toY(ctl.scrolled.y());
        core.send(win, input);
    };
    core.onInput(w, c, area->horizontalScrollBar(), &QScrollBar::valueChanged, report);
    core.onInput(w, c, area->verticalScrollBar(), &QScrollBar::valueChanged, report);
}

void showScrollOffset(QtWindow& w, QtControl& c, QScrollArea& area) {
    const QPoint wanted(w.units.x(c.state.scrollX), w.units.y(c.state.scrollY));
    if (wanted != c.scrolled) {
        c.scrolled = wanted;
        area.horizontalScrollBar()->setValue(wanted.x());
        area.verticalScrollBar()->setValue(wanted.y());
    }
}

const ControlKindOps kBoxOps{.create = createBox, .look = boxLook, .paintsOwnFill = true};
const ControlKindOps kLineOps{.create = createLine, .look = lineLook, .paintsOwnFill = true};
const ControlKindOps kPanelOps{.create = createPanel, .look = panelLook};
const ControlKindOps kRegionOps{.create = createRegion, .look = regionLook, .paintsOwnFill = true};

}  // namespace rt::qt
