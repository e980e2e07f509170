#include "runtime/qt/display_core.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/fonts.h"

namespace rt::qt {

UserInput inputOf(Event event, int control) {
    UserInput input;
    input.event = event;
    input.control = control;
    return input;
}

QtDisplay::Core::Core() { qApp->installEventFilter(this); }

QtDisplay::Core::~Core() {
    qApp->removeEventFilter(this);
    for (auto& [id, w] : windows_)
        if (w->top() && !w->props.frame) delete w->top();
    if (QtWindow* f = frame()) delete f->main;
    windows_.clear();
}

QtWindow* QtDisplay::Core::find(WindowId id) {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

QtWindow* QtDisplay::Core::frame() { return frameId_ ? find(frameId_) : nullptr; }

QtControl* QtDisplay::Core::controlOf(QtWindow& w, int id) {
    auto it = w.controls.find(id);
    return it == w.controls.end() ? nullptr : &it->second;
}

QtWindow* QtDisplay::Core::inputWindow(WindowId id) { return applying_ ? nullptr : find(id); }

QtWindow* QtDisplay::Core::inputTarget(WindowId id, int control, QtControl*& c) {
    QtWindow* w = inputWindow(id);
    c = w ? controlOf(*w, control) : nullptr;
    return c ? w : nullptr;
}

QWidget* QtDisplay::Core::dialogParent(WindowId owner) {
    if (QtWindow* w = find(owner))
        if (w->main) return w->main->window();
    if (QtWindow* f = frame()) return f->main;
    return nullptr;
}

void QtDisplay::Core::beginThreadModal(int thread) {
    ++threadModal_[thread];
    refreshBlocking();
}

void QtDisplay::Core::endThreadModal(int thread) {
    if (--threadModal_[thread] <= 0) threadModal_.erase(thread);
    refreshBlocking();
}

void QtDisplay::Core::watchControlWidget(QWidget* widget, int control) {
    widget->setProperty("rtControl", control);
    widget->installEventFilter(this);
}

void QtDisplay::Core::makeFocusable(QtControl& c, QWidget* widget) {
    c.focusWidget = widget;
    watchControlWidget(widget, c.state.id);
}

QWidget* QtDisplay::Core::parentWidgetFor(QtWindow& w, const ControlState& state) {
    if (state.toolbar) {
        if (!w.toolbar) {
            w.toolbar = new QToolBar;
            w.toolbar->setMovable(false);
            w.toolbar->setFloatable(false);
            w.toolCanvas = new Canvas;
            w.toolbar->addWidget(w.toolCanvas);
            w.main->addToolBar(Qt::TopToolBarArea, w.toolbar);
        }
        return w.toolCanvas;
    }
    if (state.parent != 0)
        if (QtControl* area = controlOf(w, state.parent); area && area->content) return area->content;
    return w.canvas;
}

void QtDisplay::Core::applyControl(QtWindow& w, const ControlState& state) {
    auto [it, added] = w.controls.try_emplace(state.id);
    QtControl& c = it->second;
    if (added) w.order.push_back(state.id);
    const ControlState old = c.state;
    const bool kindChanged = c.created && old.kind != state.kind;
    if (kindChanged) {
        removeControl(w, state.id);
        applyControl(w, state);
        return;
    }
    c.state = state;
    if (!c.created) createControl(w, c);
    applyLook(w, c);
    placeControl(w, c);
    if (c.listSerial != state.listSerial) applyList(w, c);
    if (c.valueSerial != state.valueSerial) applyValue(w, c);
    // A hosted control belongs to its procedure's thread: the display keeps no reference to it
    // (its view, when there is one, was given it at creation).
    c.state.object.reset();
}

void QtDisplay::Core::removeControl(QtWindow& w, int id) {
    auto it = w.controls.find(id);
    if (it == w.controls.end()) return;
    QtControl& c = it->second;
    if (const auto remove = controlKindOps(c.state.kind).remove) remove(c);
    if (c.action && !c.menu) delete c.action;
    delete c.menu;
    if (c.widget) {
        c.widget->deleteLater();
        c.widget->hide();
    }
    delete c.buttons;
    w.controls.erase(it);
    w.order.erase(std::remove(w.order.begin(), w.order.end(), id), w.order.end());
}

void QtDisplay::Core::createControl(QtWindow& w, QtControl& c) {
    c.created = true;
    if (const auto create = controlKindOps(c.state.kind).create) create(*this, w, c, parentWidgetFor(w, c.state));
    if (c.widget) {
        c.widget->setProperty("rtControl", c.state.id);
        c.widget->raise();
        if (w.shown && !c.state.hidden) c.widget->show();
    }
}

void QtDisplay::Core::applyValue(QtWindow& w, QtControl& c) {
    c.valueSerial = c.state.valueSerial;
    c.sentValue = c.state.value;
    if (const auto value = controlKindOps(c.state.kind).value) value(*this, w, c);
    if (takesText(c.state.kind)) {
        c.sentSelection = c.state.textSelection;
        showTextSelection(c);
    }
}

void QtDisplay::Core::applyList(QtWindow& w, QtControl& c) {
    c.listSerial = c.state.listSerial;
    const auto list = controlKindOps(c.state.kind).list;
    if (!list) return;
    list(*this, w, c);
    c.valueSerial = ~0ull;  // the entry shown is chosen again
    applyValue(w, c);
}

void QtDisplay::Core::applyLook(QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    if (const auto look = controlKindOps(s.kind).look) look(*this, w, c);
    if (c.action) {
        c.action->setEnabled(s.enabled);
        c.action->setVisible(!s.hidden);
    }
    if (!c.widget) return;
    c.widget->setToolTip(qs(s.tip));
    c.widget->setStatusTip(qs(s.help));
    applyFontAndColours(w, c);
    if (!s.cursor.empty()) {
        const QString cursor = qs(s.cursor).toLower();
        if (cursor.contains(QLatin1String("cross")))
            c.widget->setCursor(Qt::CrossCursor);
        else if (cursor.contains(QLatin1String("hand")) || cursor.contains(QLatin1String("zoom")))
            c.widget->setCursor(Qt::PointingHandCursor);
        else if (cursor.contains(QLatin1String("wait")) || cursor.contains(QLatin1String("busy")))
            c.widget->setCursor(Qt::WaitCursor);
        else
            c.widget->setCursor(Qt::ArrowCursor);
    } else {
        c.widget->unsetCursor();
    }
}

void QtDisplay::Core::applyFontAndColours(QtWindow& w, QtControl& c) {
    // The window's unless the control has its own.
    const ControlState& s = c.state;
    QFont font = w.font;
    if (!s.font.face.empty()) font.setFamily(mapFontFamily(qs(s.font.face)));
    if (s.font.size > 0) font.setPointSize(s.font.size);
    if (s.font.weight > 0) font.setBold(s.font.weight >= 600);
    font.setItalic(s.font.italic || (s.font.face.empty() && w.font.italic()));
    font.setUnderline(s.font.underline);
    c.widget->setFont(font);
    QPalette pal = w.main->palette();
    const Color fore = s.fontColor != ColorNone ? s.fontColor : s.font.color;
    if (fore != ColorNone) {
        const QColor color = toQColor(fore);
        pal.setColor(QPalette::WindowText, color);
        pal.setColor(QPalette::Text, color);
        pal.setColor(QPalette::ButtonText, color);
    }
    // A field the user cannot change looks so: the window's colour instead of the input white.
    const bool input = s.kind == ControlKind::Entry || s.kind == ControlKind::Text || s.kind == ControlKind::Spin;
    if (input && s.readOnly && s.background == ColorNone) pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    if (s.background != ColorNone && !controlKindOps(s.kind).paintsOwnFill) {
        const QColor color = toQColor(s.background);
        pal.setColor(QPalette::Window, color);
        pal.setColor(QPalette::Base, color);
        pal.setColor(QPalette::Button, color);
        c.widget->setAutoFillBackground(!s.transparent);
    }
    if (s.selectedBack != ColorNone) pal.setColor(QPalette::Highlight, toQColor(s.selectedBack));
    if (s.selectedFore != ColorNone) pal.setColor(QPalette::HighlightedText, toQColor(s.selectedFore));
    c.widget->setPalette(pal);
}

namespace {

// The width a button needs for its text (as shown: "&&" is one "&", a single "&" marks the
// mnemonic) and its icon inside its frame, with a little room on either side.
int contentWidth(const QAbstractButton& button) {
    QString text = button.text();
    text.replace(QLatin1String("&&"), QChar(0xE000)).remove(QLatin1Char('&')).replace(QChar(0xE000), QLatin1Char('&'));
    int width = text.isEmpty() ? 0 : button.fontMetrics().horizontalAdvance(text);
    if (!button.icon().isNull()) width += button.iconSize().width() + (text.isEmpty() ? 0 : 4);
    QStyleOption option;
    option.initFrom(&button);
    QStyle* style = button.style();
    width += 2 * (style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &button) + 2);
    return width;
}

}  // namespace

void QtDisplay::Core::placeControl(QtWindow& w, QtControl& c) {
    if (!c.widget) return;
    const ControlState& s = c.state;
    const auto& u = w.units;
    int x = s.x, y = s.y, width = s.width, height = s.height;
    if (s.kind == ControlKind::Line) {
        if (width < 0) {
            x += width;
            width = -width;
        }
        if (height < 0) {
            y += height;
            height = -height;
        }
        c.widget->setGeometry(u.x(x), u.y(y), std::max(1, u.x(width) + 1), std::max(1, u.y(height) + 1));
        return;
    }
    QSize natural = c.widget->sizeHint();
    if (s.kind == ControlKind::Image && (width == 0 || height == 0))
        if (const QSize picture = pictureSize(c.widget); picture.isValid()) natural = picture;
    int pw = width > 0 ? u.x(width) : std::max(natural.width(), 1);
    // A check box, radio or button shows its whole text in the font it uses, also where the
    // procedure's width was measured for another font. A button grows by what its text and icon
    // need only: the style's minimum width of a push button would let a narrow one ("...")
    // cover its neighbours or reach past the window's edge.
    if (s.kind == ControlKind::Check || s.kind == ControlKind::Radio)
        pw = std::max(pw, natural.width());
    else if (s.kind == ControlKind::Button)
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) pw = std::max(pw, contentWidth(*button));
    const int ph = height > 0 ? u.y(height) : std::max(natural.height(), 1);
    c.widget->setGeometry(u.x(x), u.y(y), pw, ph);
    // A scrolling area's content takes what stands on it, unless the procedure gave its size.
    if (s.parent != 0)
        if (QtControl* area = controlOf(w, s.parent);
            area && area->content && area->state.virtualWidth <= 0 && area->state.virtualHeight <= 0) {
            const QRect r = c.widget->geometry();
            area->content->resize(std::max(area->content->width(), r.right() + 1),
                                  std::max(area->content->height(), r.bottom() + 1));
        }
    if (s.toolbar && w.toolCanvas) {
        QRect used;
        for (auto& [id, other] : w.controls)
            if (other.widget && other.state.toolbar) used |= other.widget->geometry();
        w.toolCanvas->wanted = QSize(used.right() + 4, used.bottom() + 3);
        // Only its height is a minimum: a control placed by the window's width (at its right edge)
        // would otherwise hold the window at its width, so that it could neither shrink nor be
        // maximised.
        w.toolCanvas->setMinimumHeight(w.toolCanvas->wanted.height());
        w.toolCanvas->updateGeometry();
    }
}

void QtDisplay::Core::refreshVisibility(QtWindow& w) {
    Applying applying(*this);
    std::map<int, bool> visible;
    std::map<int, bool> enabled;
    // Parents come before their children, so one pass in creation order settles both.
    for (int id : w.order) {
        QtControl& c = w.controls[id];
        const ControlState& s = c.state;
        bool v = !s.hidden;
        bool e = s.enabled;
        if (s.parent) {
            auto pv = visible.find(s.parent);
            if (pv != visible.end()) v = v && pv->second;
            auto pe = enabled.find(s.parent);
            if (pe != enabled.end() && s.kind != ControlKind::Item && s.kind != ControlKind::Menu) e = e && pe->second;
            // Controls on a tab show while their tab is the current one.
            if (QtControl* parent = controlOf(w, s.parent);
                parent && parent->state.kind == ControlKind::Tab && parent->sheet && s.kind != ControlKind::Tab) {
                const QWidget* page = parent->sheet->currentWidget();
                v = v && page && page->property("rtTab").toInt() == s.parent;
            }
        }
        visible[id] = v;
        enabled[id] = e;
        if (s.kind == ControlKind::Menu || s.kind == ControlKind::Item) continue;
        if (c.widget) {
            // The user's text goes to the procedure before its field goes out of reach.
            if ((!v || !e) && c.focusWidget && c.focusWidget->hasFocus()) flushTyped(w, c);
            if (w.shown || !v) c.widget->setVisible(v);
            c.widget->setEnabled(e);
        }
    }
}

void QtDisplay::Core::setBuddies(QtWindow& w) {
    // A prompt's mnemonic moves the focus to the control that follows it.
    for (std::size_t i = 0; i < w.order.size(); ++i) {
        QtControl& c = w.controls[w.order[i]];
        if (c.state.kind != ControlKind::Prompt || !c.widget) continue;
        auto* label = static_cast<QLabel*>(c.widget);
        QWidget* buddy = nullptr;
        for (std::size_t j = i + 1; j < w.order.size() && !buddy; ++j) {
            QtControl& next = w.controls[w.order[j]];
            if (next.focusWidget && next.state.kind != ControlKind::Button)
                buddy = next.focusWidget;
            else if (next.state.kind == ControlKind::Prompt)
                break;
        }
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(buddy);
        QString text = qs(c.state.text);
        if (!buddy) {
            // Without a field to jump to, the marks are not shown.
            static const QRegularExpression single(QStringLiteral("&(?!&)"));
            text.replace(single, QString());
            text.replace(QLatin1String("&&"), QLatin1String("&"));
        }
        label->setText(text);
    }
}

}  // namespace rt::qt
