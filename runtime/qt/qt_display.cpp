#include "runtime/qt/qt_display.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "runtime/qt/dialogs_qt.h"
#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"
#include "runtime/qt/icons.h"
#include "runtime/qt/keys_qt.h"
#include "runtime/qt/list_model.h"
#include "runtime/qt/widgets.h"

namespace rt::qt {

namespace {

std::mutex gOleMutex;
std::map<std::string, OleViewFactory>& oleViews()
{
    static std::map<std::string, OleViewFactory> views;
    return views;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// "@s20", "s100", "@S255": the longest text an entry takes; 0 when the picture gives none.
int pictureLength(const std::string& picture)
{
    static const QRegularExpression re(QStringLiteral("^@?[sS](\\d+)"));
    const auto m = re.match(qs(picture).trimmed());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

bool numericPicture(const std::string& picture)
{
    const QString p = qs(picture).trimmed();
    return p.startsWith(QLatin1String("@n"), Qt::CaseInsensitive) ||
           (p.size() > 1 && (p[0] == 'n' || p[0] == 'N') && (p[1].isDigit() || p[1] == '-' || p[1] == '_'));
}

}  // namespace

void registerOleView(const std::string& progId, OleViewFactory factory)
{
    std::lock_guard lock(gOleMutex);
    oleViews()[lowerAscii(progId)] = std::move(factory);
}

// ---------------------------------------------------------------------------------------------
// The GUI side: every member runs on the GUI thread.

struct QtControl {
    ControlState state;
    bool created = false;
    QWidget* widget = nullptr;      // the control's widget (null for tabs, menus, items)
    QWidget* focusWidget = nullptr; // the part that takes the focus and reports keys
    QAction* action = nullptr;      // menu item or sub-menu entry
    QMenu* menu = nullptr;
    QButtonGroup* buttons = nullptr; // option group
    RowsModel* model = nullptr;
    QTreeView* view = nullptr;
    QTabWidget* sheet = nullptr;    // tab: its sheet's widget
    std::uint64_t valueSerial = ~0ull;
    std::uint64_t listSerial = ~0ull;
    std::string sentValue;          // the value last reported to the procedure
    bool inside = false;            // region: mouse inside
};

struct QtWindow {
    WindowProps props;
    bool applied = false;
    QMainWindow* main = nullptr;
    QMdiSubWindow* sub = nullptr;
    QMdiArea* mdi = nullptr;        // frame only
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

class QtDisplay::Core : public QObject {
public:
    Core();
    ~Core() override;

    void open(const WindowSnapshot& snapshot);
    void update(const WindowUpdate& update);
    void close(WindowId id);
    void arrange(WindowId frame, Arrangement how);

    QtWindow* find(WindowId id);
    QtWindow* frame();
    QWidget* dialogParent(WindowId owner);
    // Dialog bookkeeping: while a thread waits in a dialog, its windows take no input.
    void beginThreadModal(int thread);
    void endThreadModal(int thread);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyWindow(QtWindow& w, const WindowProps& props, bool first);
    void applyGeometry(QtWindow& w);
    void applyControl(QtWindow& w, const ControlState& state);
    void createControl(QtWindow& w, QtControl& c);
    void removeControl(QtWindow& w, int id);
    void placeControl(QtWindow& w, QtControl& c);
    void applyValue(QtWindow& w, QtControl& c);
    void applyList(QtWindow& w, QtControl& c);
    void applyLook(QtWindow& w, QtControl& c);
    void refreshVisibility(QtWindow& w);
    void refreshBlocking();
    void buildStatus(QtWindow& w);
    void setBuddies(QtWindow& w);
    void showWindow(QtWindow& w);
    QWidget* parentWidgetFor(QtWindow& w, const ControlState& state);
    QtControl* controlOf(QtWindow& w, int id);
    QtWindow* windowOfWidget(QObject* object, int* control);
    QtWindow* inputWindowOf(QObject* object);

    void send(QtWindow& w, UserInput input);
    void sendValue(QtWindow& w, QtControl& c, Event event, const std::string& value, int row = 0);
    void flushFocused(QtWindow& w);
    void sendGeometry(QtWindow& w);
    void activate(QtWindow& now);

    std::map<WindowId, std::unique_ptr<QtWindow>> windows_;
    std::map<int, int> threadModal_;
    WindowId frameId_ = 0;
    WindowId active_ = 0;
    WindowId dragWindow_ = 0;  // a list row pressed: where a drag may start
    int dragControl_ = 0;
    int dragRow_ = 0;
    QPoint dragFrom_;
    int applying_ = 0;  // >0 while the procedure's state is applied: Qt signals are not input
    friend class QtDisplay;
};

namespace {

UserInput in(Event event, int control = 0)
{
    UserInput input;
    input.event = event;
    input.control = control;
    return input;
}

struct Applying {
    explicit Applying(int& counter) : counter_(counter) { ++counter_; }
    ~Applying() { --counter_; }
    int& counter_;
};

}  // namespace

QtDisplay::Core::Core()
{
    qApp->installEventFilter(this);
}

QtDisplay::Core::~Core()
{
    qApp->removeEventFilter(this);
    for (auto& [id, w] : windows_)
        if (w->top() && !w->props.frame)
            delete w->top();
    if (QtWindow* f = frame())
        delete f->main;
    windows_.clear();
}

QtWindow* QtDisplay::Core::find(WindowId id)
{
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

QtWindow* QtDisplay::Core::frame()
{
    return frameId_ ? find(frameId_) : nullptr;
}

QtControl* QtDisplay::Core::controlOf(QtWindow& w, int id)
{
    auto it = w.controls.find(id);
    return it == w.controls.end() ? nullptr : &it->second;
}

QWidget* QtDisplay::Core::dialogParent(WindowId owner)
{
    if (QtWindow* w = find(owner))
        if (w->main)
            return w->main->window();
    if (QtWindow* f = frame())
        return f->main;
    return nullptr;
}

void QtDisplay::Core::beginThreadModal(int thread)
{
    ++threadModal_[thread];
    refreshBlocking();
}

void QtDisplay::Core::endThreadModal(int thread)
{
    if (--threadModal_[thread] <= 0)
        threadModal_.erase(thread);
    refreshBlocking();
}

// --- windows ---------------------------------------------------------------------------------

void QtDisplay::Core::open(const WindowSnapshot& snapshot)
{
    const WindowProps& props = snapshot.window;
    if (find(props.id))
        return;
    auto owned = std::make_unique<QtWindow>();
    QtWindow& w = *owned;
    windows_[props.id] = std::move(owned);
    Applying applying(applying_);

    w.font = windowFont(qs(props.font.face), props.font.size, props.font.weight >= 600, props.font.italic,
                        props.font.underline);
    w.units = rt::qt::FontUnits(w.font);

    QtWindow* f = frame();
    if (props.frame && !f) {
        frameId_ = props.id;
        f = nullptr;
    }
    // A hidden frame (a cube opened from the command line) shows its children as windows.
    const bool inFrame = props.mdiChild && f && !f->props.hidden && !props.frame;
    QWidget* topParent = nullptr;
    if (!props.frame && !inFrame) {
        if (QtWindow* owner = find(props.owner))
            topParent = owner->main ? owner->main->window() : nullptr;
        else if (f)
            topParent = f->main;
    }
    w.main = new QMainWindow(topParent, topParent ? Qt::Window : Qt::WindowFlags());
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
        // Also when the program opens or closes a child: the runtime must know the active one.
        QObject::connect(w.mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
            for (auto& [id, other] : windows_)
                if (sub && other->sub == sub) {
                    activate(*other);
                    break;
                }
        });
    } else {
        w.main->setCentralWidget(w.canvas);
    }
    w.canvas->onResized = [this, id = props.id] {
        if (QtWindow* win = find(id))
            sendGeometry(*win);
    };

    if (inFrame) {
        w.sub = new QMdiSubWindow;
        w.sub->setWidget(w.main);
        w.sub->setAttribute(Qt::WA_DeleteOnClose, false);
        w.sub->setProperty("rtWindow", QVariant::fromValue<qulonglong>(props.id));
        w.sub->installEventFilter(this);
        f->mdi->addSubWindow(w.sub);
        QObject::connect(w.sub, &QMdiSubWindow::windowStateChanged, this,
                         [this, id = props.id](Qt::WindowStates, Qt::WindowStates now) {
                             QtWindow* win = find(id);
                             if (!win || applying_ || !win->shown)
                                 return;
                             if (now & Qt::WindowMinimized)
                                 send(*win, in(Event::Iconized));
                             else if (now & Qt::WindowMaximized)
                                 send(*win, in(Event::Maximized));
                             else
                                 send(*win, in(Event::Restored));
                         });
    }

    applyWindow(w, props, true);
    for (const auto& state : snapshot.controls)
        applyControl(w, state);
    applyGeometry(w);
    setBuddies(w);
    refreshVisibility(w);
    showWindow(w);
    refreshBlocking();
}

void QtDisplay::Core::showWindow(QtWindow& w)
{
    const WindowProps& props = w.props;
    QWidget* top = w.top();
    if (props.hidden) {
        top->hide();
        return;
    }
    w.main->adjustSize();
    if (w.sub)
        w.sub->adjustSize();
    if (props.frame && props.width == 0) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        top->resize(std::min(1200, screen.width()), std::min(800, screen.height()));
    }
    if (props.x == 0 && props.y == 0 && !w.sub) {
        // The middle of the window below it, or of the screen.
        QWidget* below = top->parentWidget() ? top->parentWidget()->window() : nullptr;
        const QRect area = below ? below->geometry() : QGuiApplication::primaryScreen()->availableGeometry();
        top->move(area.center() - QPoint(top->width() / 2, top->height() / 2));
    } else if (props.x == 0 && props.y == 0 && props.centered && w.sub && w.sub->mdiArea()) {
        const QRect area = w.sub->mdiArea()->viewport()->rect();
        top->move(std::max(0, area.center().x() - top->width() / 2), std::max(0, area.center().y() - top->height() / 2));
    }
    if (props.modal)
        top->setWindowModality(Qt::ApplicationModal);
    if (props.maximized)
        top->showMaximized();
    else if (props.minimized)
        top->showMinimized();
    else
        top->show();
    w.shown = true;
    if (props.focus)
        if (QtControl* c = controlOf(w, props.focus))
            if (c->focusWidget)
                c->focusWidget->setFocus();
    if (w.sub && w.sub->mdiArea())
        w.sub->mdiArea()->setActiveSubWindow(w.sub);
    else
        top->activateWindow();
}

void QtDisplay::Core::applyWindow(QtWindow& w, const WindowProps& props, bool first)
{
    const WindowProps old = w.props;
    w.props = props;
    QWidget* top = w.top();
    if (first || old.title != props.title) {
        w.main->setWindowTitle(qs(props.title));
        if (w.sub)
            w.sub->setWindowTitle(qs(props.title));
    }
    if (first || old.icon != props.icon) {
        QIcon icon = iconFor(qs(props.icon));
        if (icon.isNull() && props.frame)
            icon = iconFor(QStringLiteral("WWS.ICO"));
        if (!icon.isNull()) {
            w.main->setWindowIcon(icon);
            if (w.sub)
                w.sub->setWindowIcon(icon);
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
            Applying applying(applying_);
            if (props.maximized)
                top->showMaximized();
            else if (props.minimized)
                top->showMinimized();
            else
                top->showNormal();
        }
        if (old.hidden != props.hidden)
            top->setVisible(!props.hidden);
    } else if (!first && old.hidden && !props.hidden) {
        // Opened hidden: shown for the first time now.
        showWindow(w);
        refreshVisibility(w);
    }
    if (first || old.status != props.status)
        buildStatus(w);
    if (!first && props.focusSerial != old.focusSerial && props.focus)
        if (QtControl* c = controlOf(w, props.focus))
            if (c->focusWidget)
                c->focusWidget->setFocus();
}

void QtDisplay::Core::applyGeometry(QtWindow& w)
{
    const WindowProps& props = w.props;
    QWidget* top = w.top();
    QSize size(w.units.x(props.width), w.units.y(props.height));
    if (props.width <= 0 || props.height <= 0) {
        // As large as the controls need.
        QRect used;
        for (auto& [id, c] : w.controls)
            if (c.widget && c.widget->parentWidget() == w.canvas)
                used |= c.widget->geometry();
        if (!used.isValid())
            used = QRect(0, 0, w.units.x(200), w.units.y(100));
        size = QSize(props.width > 0 ? size.width() : used.right() + w.units.x(6),
                     props.height > 0 ? size.height() : used.bottom() + w.units.y(6));
    }
    w.canvas->wanted = size;
    w.canvas->updateGeometry();
    w.sizeSent = QSize(w.units.toX(size.width()), w.units.toY(size.height()));
    if (!props.resizable && !props.frame)
        w.canvas->setFixedSize(size);
    if (w.shown) {
        Applying applying(applying_);
        w.main->adjustSize();
        if (w.sub)
            w.sub->adjustSize();
    }
    if (props.x != 0 || props.y != 0) {
        Applying applying(applying_);
        top->move(w.units.x(props.x), w.units.y(props.y));
        w.posSent = QPoint(props.x, props.y);
    }
}

void QtDisplay::Core::buildStatus(QtWindow& w)
{
    const auto& zones = w.props.status;
    if (zones.empty()) {
        if (w.main->statusBar(); !w.zones.empty()) {
            for (QLabel* label : w.zones)
                delete label;
            w.zones.clear();
        }
        if (w.main->findChild<QStatusBar*>())
            w.main->statusBar()->hide();
        return;
    }
    QStatusBar* bar = w.main->statusBar();
    bar->show();
    bar->setSizeGripEnabled(w.props.resizable);
    if (w.zones.size() != zones.size()) {
        for (QLabel* label : w.zones)
            delete label;
        w.zones.clear();
        for (std::size_t i = 0; i < zones.size(); ++i) {
            auto* label = new QLabel;
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            const bool rest = zones[i].width <= 0;
            if (rest)
                bar->addWidget(label, 1);
            else
                bar->addWidget(label);
            w.zones.push_back(label);
        }
    }
    for (std::size_t i = 0; i < zones.size(); ++i) {
        QLabel* label = w.zones[i];
        if (zones[i].width > 0)
            label->setFixedWidth(w.units.x(zones[i].width));
        label->setText(qs(zones[i].text));
    }
}

void QtDisplay::Core::update(const WindowUpdate& update)
{
    QtWindow* w = find(update.id);
    if (!w)
        return;
    Applying applying(applying_);
    for (int id : update.removed)
        removeControl(*w, id);
    if (update.windowChanged)
        applyWindow(*w, update.window, false);
    for (const auto& state : update.changed)
        applyControl(*w, state);
    setBuddies(*w);
    refreshVisibility(*w);
    refreshBlocking();
}

void QtDisplay::Core::close(WindowId id)
{
    auto it = windows_.find(id);
    if (it == windows_.end())
        return;
    std::unique_ptr<QtWindow> w = std::move(it->second);
    windows_.erase(it);
    Applying applying(applying_);
    if (active_ == id)
        active_ = 0;
    QWidget* top = w->top();
    if (id == frameId_) {
        // Children still shown lose their frame: they close with it.
        frameId_ = 0;
        std::vector<WindowId> orphans;
        for (auto& [other, win] : windows_)
            if (win->sub)
                orphans.push_back(other);
        for (WindowId other : orphans)
            close(other);
    }
    // Windows of other procedures standing above this one must not go down with its widgets.
    for (auto& [other, win] : windows_) {
        QWidget* otherTop = win->top();
        bool below = false;
        for (QWidget* p = otherTop ? otherTop->parentWidget() : nullptr; p && !below; p = p->parentWidget())
            below = p == top;
        if (!below || win->sub)
            continue;
        QWidget* newParent = frame() && frame()->main != top ? frame()->main : nullptr;
        const bool visible = otherTop->isVisible();
        otherTop->setParent(newParent, otherTop->windowFlags() | Qt::Window);
        otherTop->setVisible(visible);
    }
    if (w->sub && w->sub->mdiArea())
        w->sub->mdiArea()->removeSubWindow(w->sub);
    top->hide();
    top->deleteLater();
    refreshBlocking();
}

void QtDisplay::Core::arrange(WindowId frameId, Arrangement how)
{
    QtWindow* f = find(frameId);
    if (!f || !f->mdi)
        f = frame();
    if (!f || !f->mdi)
        return;
    switch (how) {
    case Arrangement::Tile:
        f->mdi->tileSubWindows();
        break;
    case Arrangement::Cascade:
        f->mdi->cascadeSubWindows();
        break;
    case Arrangement::ArrangeIcons: {
        // Minimised children in a row along the bottom edge.
        int x = 0;
        const int bottom = f->mdi->viewport()->height();
        for (QMdiSubWindow* sub : f->mdi->subWindowList()) {
            if (!sub->isMinimized())
                continue;
            sub->move(x, bottom - sub->height());
            x += sub->width();
        }
        break;
    }
    }
}

void QtDisplay::Core::refreshBlocking()
{
    // A window takes no input while a window of its thread stands above it or its thread waits
    // in a dialog. Its widgets stay enabled (children and dialogs inherit a disabled state);
    // the event filter swallows the input instead.
    std::set<WindowId> covered;
    for (auto& [id, w] : windows_)
        if (w->props.owner)
            covered.insert(w->props.owner);
    for (auto& [id, w] : windows_)
        w->blocked = covered.count(id) || threadModal_.count(w->props.thread);
}

QtWindow* QtDisplay::Core::inputWindowOf(QObject* object)
{
    // The innermost window of the model the object belongs to; none inside a dialog or menu.
    for (QObject* o = object; o; o = o->parent()) {
        const QVariant wv = o->property("rtWindow");
        if (wv.isValid())
            return find(WindowId(wv.toULongLong()));
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow())
            return nullptr;
    }
    return nullptr;
}

// --- controls --------------------------------------------------------------------------------

QWidget* QtDisplay::Core::parentWidgetFor(QtWindow& w, const ControlState& state)
{
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
    return w.canvas;
}

void QtDisplay::Core::applyControl(QtWindow& w, const ControlState& state)
{
    auto [it, added] = w.controls.try_emplace(state.id);
    QtControl& c = it->second;
    if (added)
        w.order.push_back(state.id);
    const ControlState old = c.state;
    const bool kindChanged = c.created && old.kind != state.kind;
    if (kindChanged) {
        removeControl(w, state.id);
        applyControl(w, state);
        return;
    }
    c.state = state;
    if (!c.created)
        createControl(w, c);
    applyLook(w, c);
    placeControl(w, c);
    if (c.listSerial != state.listSerial)
        applyList(w, c);
    if (c.valueSerial != state.valueSerial)
        applyValue(w, c);
    // A hosted control belongs to its procedure's thread: the display keeps no reference to it
    // (its view, when there is one, was given it at creation).
    c.state.object.reset();
}

void QtDisplay::Core::removeControl(QtWindow& w, int id)
{
    auto it = w.controls.find(id);
    if (it == w.controls.end())
        return;
    QtControl& c = it->second;
    if (c.state.kind == ControlKind::Tab && c.sheet) {
        // Its page goes; the sheet keeps the other tabs.
        for (int i = 0; i < c.sheet->count(); ++i)
            if (c.sheet->widget(i)->property("rtTab").toInt() == id) {
                QWidget* page = c.sheet->widget(i);
                c.sheet->removeTab(i);
                delete page;
                break;
            }
    }
    if (c.action) {
        if (!c.menu) {
            delete c.action;
        }
    }
    delete c.menu;
    if (c.widget)
        c.widget->deleteLater();
    if (c.widget)
        c.widget->hide();
    delete c.buttons;
    w.controls.erase(it);
    w.order.erase(std::remove(w.order.begin(), w.order.end(), id), w.order.end());
}

void QtDisplay::Core::createControl(QtWindow& w, QtControl& c)
{
    c.created = true;
    const ControlState& s = c.state;
    const int id = s.id;
    const WindowId wid = w.props.id;
    QWidget* parent = parentWidgetFor(w, s);
    auto* self = this;

    auto focusable = [&](QWidget* widget) {
        c.focusWidget = widget;
        widget->setProperty("rtControl", id);
        widget->installEventFilter(this);
    };

    switch (s.kind) {
    case ControlKind::Prompt:
    case ControlKind::String: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        c.widget = label;
        break;
    }
    case ControlKind::Entry: {
        auto* edit = new QLineEdit(parent);
        c.widget = edit;
        focusable(edit);
        QObject::connect(edit, &QLineEdit::editingFinished, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id))
                if (auto* e = qobject_cast<QLineEdit*>(ctl->widget); e && !e->isReadOnly())
                    self->sendValue(*win, *ctl, Event::Accepted, e->text().toStdString());
        });
        QObject::connect(edit, &QLineEdit::textEdited, this, [self, wid, id](const QString& text) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id); ctl && (ctl->state.immediate || win->props.immediate))
                self->sendValue(*win, *ctl, Event::NewSelection, text.toStdString());
        });
        break;
    }
    case ControlKind::Text: {
        auto* edit = new QPlainTextEdit(parent);
        c.widget = edit;
        focusable(edit);
        QObject::connect(edit, &QPlainTextEdit::textChanged, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            if (ctl && (ctl->state.immediate || win->props.immediate))
                if (auto* e = qobject_cast<QPlainTextEdit*>(ctl->widget))
                    self->sendValue(*win, *ctl, Event::NewSelection, e->toPlainText().toStdString());
        });
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(parent);
        c.widget = button;
        focusable(button);
        QObject::connect(button, &QPushButton::clicked, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            self->flushFocused(*win);
            UserInput input = in(Event::Accepted, id);
            self->send(*win, input);
        });
        break;
    }
    case ControlKind::Check: {
        auto* box = new QCheckBox(parent);
        c.widget = box;
        focusable(box);
        QObject::connect(box, &QCheckBox::clicked, this, [self, wid, id](bool checked) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id))
                self->sendValue(*win, *ctl, Event::Accepted, checked ? "1" : "0");
        });
        break;
    }
    case ControlKind::Option:
    case ControlKind::Group: {
        auto* box = new QGroupBox(parent);
        c.widget = box;
        if (s.kind == ControlKind::Option) {
            c.buttons = new QButtonGroup;
            c.buttons->setExclusive(true);
        }
        break;
    }
    case ControlKind::Radio: {
        auto* radio = new QRadioButton(parent);
        c.widget = radio;
        focusable(radio);
        radio->setAutoExclusive(false);
        if (QtControl* option = controlOf(w, s.parent); option && option->buttons)
            option->buttons->addButton(radio);
        QObject::connect(radio, &QRadioButton::clicked, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            if (!ctl)
                return;
            if (auto* r = qobject_cast<QRadioButton*>(ctl->widget))
                r->setChecked(true);
            // The option takes the value the radio gives it.
            QtControl* option = self->controlOf(*win, ctl->state.parent);
            if (option && option->state.kind == ControlKind::Option)
                self->sendValue(*win, *option, Event::Accepted, ctl->state.radioValue);
            else
                self->sendValue(*win, *ctl, Event::Accepted, "1");
        });
        break;
    }
    case ControlKind::DropList:
    case ControlKind::DropCombo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(s.kind == ControlKind::DropCombo);
        combo->setInsertPolicy(QComboBox::NoInsert);
        c.widget = combo;
        focusable(combo);
        QObject::connect(combo, &QComboBox::activated, this, [self, wid, id](int index) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id))
                if (auto* cb = qobject_cast<QComboBox*>(ctl->widget)) {
                    self->sendValue(*win, *ctl, Event::NewSelection, cb->itemText(index).toStdString(), index + 1);
                    self->sendValue(*win, *ctl, Event::Accepted, cb->itemText(index).toStdString(), index + 1);
                }
        });
        if (combo->lineEdit()) {
            combo->lineEdit()->setProperty("rtControl", id);
            combo->lineEdit()->installEventFilter(this);
            QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [self, wid, id] {
                QtWindow* win = self->find(wid);
                if (!win || self->applying_)
                    return;
                if (QtControl* ctl = self->controlOf(*win, id))
                    if (auto* cb = qobject_cast<QComboBox*>(ctl->widget)) {
                        const std::string text = cb->currentText().toStdString();
                        if (text != ctl->sentValue)
                            self->sendValue(*win, *ctl, Event::Accepted, text, cb->findText(cb->currentText()) + 1);
                    }
            });
        }
        break;
    }
    case ControlKind::Spin: {
        auto* spin = new QSpinBox(parent);
        c.widget = spin;
        focusable(spin);
        QObject::connect(spin, &QSpinBox::valueChanged, this, [self, wid, id](int value) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id))
                self->sendValue(*win, *ctl, Event::NewSelection, std::to_string(value));
        });
        QObject::connect(spin, &QSpinBox::editingFinished, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            if (QtControl* ctl = self->controlOf(*win, id))
                if (auto* sp = qobject_cast<QSpinBox*>(ctl->widget))
                    self->sendValue(*win, *ctl, Event::Accepted, std::to_string(sp->value()));
        });
        break;
    }
    case ControlKind::List:
    case ControlKind::Tree: {
        const bool tree = s.kind == ControlKind::Tree;
        auto* view = new QTreeView(parent);
        c.widget = view;
        c.view = view;
        c.model = new RowsModel(tree, view);
        view->setModel(c.model);
        view->setItemDelegate(new CellDelegate(view));
        view->setRootIsDecorated(tree);
        view->setItemsExpandable(tree);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->header()->setStretchLastSection(false);
        view->header()->setSectionsClickable(true);
        view->header()->setSectionsMovable(false);
        view->setTextElideMode(Qt::ElideRight);
        focusable(view);
        view->viewport()->setProperty("rtControl", id);
        view->viewport()->installEventFilter(this);
        QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                         [self, wid, id](const QModelIndex& now, const QModelIndex&) {
                             QtWindow* win = self->find(wid);
                             if (!win || self->applying_)
                                 return;
                             QtControl* ctl = self->controlOf(*win, id);
                             if (!ctl || !now.isValid())
                                 return;
                             const int row = ctl->model->rowOf(now);
                             UserInput input = in(Event::NewSelection, id);
                             input.row = row;
                             self->send(*win, input);
                         });
        QObject::connect(view, &QTreeView::activated, this, [self, wid, id](const QModelIndex& index) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            if (!ctl)
                return;
            UserInput input = in(Event::Accepted, id);
            input.row = ctl->model->rowOf(index);
            input.column = index.column() + 1;
            input.keyCode = keys::MouseLeft2;
            self->send(*win, input);
        });
        QObject::connect(view->header(), &QHeaderView::sectionClicked, this, [self, wid, id](int section) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            UserInput input = in(Event::HeaderPressed, id);
            input.column = section + 1;
            self->send(*win, input);
        });
        if (tree) {
            QObject::connect(view, &QTreeView::expanded, this, [self, wid, id](const QModelIndex& index) {
                QtWindow* win = self->find(wid);
                if (!win || self->applying_)
                    return;
                QtControl* ctl = self->controlOf(*win, id);
                if (!ctl)
                    return;
                UserInput input = in(Event::Expanded, id);
                input.row = ctl->model->rowOf(index);
                self->send(*win, input);
            });
            QObject::connect(view, &QTreeView::collapsed, this, [self, wid, id](const QModelIndex& index) {
                QtWindow* win = self->find(wid);
                if (!win || self->applying_)
                    return;
                QtControl* ctl = self->controlOf(*win, id);
                if (!ctl)
                    return;
                UserInput input = in(Event::Contracted, id);
                input.row = ctl->model->rowOf(index);
                self->send(*win, input);
            });
        }
        break;
    }
    case ControlKind::Sheet: {
        auto* tabs = new QTabWidget(parent);
        c.widget = tabs;
        c.sheet = tabs;
        focusable(tabs);
        QObject::connect(tabs, &QTabWidget::currentChanged, this, [self, wid, id](int index) {
            QtWindow* win = self->find(wid);
            if (!win)
                return;
            self->refreshVisibility(*win);
            if (self->applying_ || index < 0)
                return;
            UserInput input = in(Event::NewSelection, id);
            input.row = index + 1;
            input.value = std::to_string(index + 1);
            self->send(*win, input);
        });
        break;
    }
    case ControlKind::Tab: {
        QtControl* sheet = controlOf(w, s.parent);
        if (sheet && sheet->sheet) {
            c.sheet = sheet->sheet;
            auto* page = new QWidget;
            page->setProperty("rtTab", id);
            Applying applying(applying_);
            c.sheet->addTab(page, QString());
        }
        break;
    }
    case ControlKind::Box:
        c.widget = new BoxWidget(parent);
        break;
    case ControlKind::Line:
        c.widget = new LineWidget(parent);
        c.widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        break;
    case ControlKind::Panel: {
        auto* panel = new QFrame(parent);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        c.widget = panel;
        break;
    }
    case ControlKind::Image: {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        c.widget = label;
        break;
    }
    case ControlKind::Region: {
        auto* region = new RegionWidget(parent);
        c.widget = region;
        region->onMouse = [self, wid, id](int what, QMouseEvent* event) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            if (!ctl || !ctl->state.enabled)
                return;
            const bool immediate = ctl->state.immediate || win->props.immediate;
            UserInput input = in(Event::None, id);
            if (event) {
                const QPoint at = event->position().toPoint() + ctl->widget->pos();
                input.x = win->units.toX(at.x());
                input.y = win->units.toY(at.y());
                input.keyCode = event->button() == Qt::RightButton ? keys::MouseRight : keys::MouseLeft;
            }
            switch (what) {
            case RegionWidget::Enter:
                if (!immediate)
                    return;
                input.event = Event::MouseIn;
                break;
            case RegionWidget::Leave:
                if (!immediate)
                    return;
                input.event = Event::MouseOut;
                break;
            case RegionWidget::Down:
                if (!immediate)
                    return;
                input.event = Event::MouseDown;
                break;
            case RegionWidget::Up:
                if (!immediate)
                    return;
                input.event = Event::MouseUp;
                input.keyCode = event && event->button() == Qt::RightButton ? keys::MouseRightUp : keys::MouseLeftUp;
                break;
            case RegionWidget::Click:
                input.event = Event::Accepted;
                break;
            case RegionWidget::Double:
                input.event = Event::Accepted;
                input.keyCode = keys::MouseLeft2;
                break;
            }
            self->send(*win, input);
        };
        break;
    }
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        c.widget = bar;
        break;
    }
    case ControlKind::Ole: {
        QWidget* view = nullptr;
        OleViewFactory factory;
        {
            std::lock_guard lock(gOleMutex);
            auto it = oleViews().find(lowerAscii(s.progId));
            if (it != oleViews().end())
                factory = it->second;
        }
        if (factory && s.object)
            view = factory(s.object, parent);
        if (!view) {
            // No view for this control here: a sunken area naming what it would host.
            auto* frame = new QLabel(QString::fromStdString(s.progId), parent);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setAlignment(Qt::AlignCenter);
            frame->setEnabled(false);
            view = frame;
        }
        c.widget = view;
        break;
    }
    case ControlKind::Menu: {
        c.menu = new QMenu;
        QtControl* parentMenu = s.parent ? controlOf(w, s.parent) : nullptr;
        if (parentMenu && parentMenu->menu)
            c.action = parentMenu->menu->addMenu(c.menu);
        else
            c.action = w.main->menuBar()->addMenu(c.menu);
        QObject::connect(c.menu, &QMenu::aboutToShow, this, [self, wid] {
            if (QtWindow* win = self->find(wid))
                self->flushFocused(*win);
        });
        break;
    }
    case ControlKind::Item: {
        QtControl* parentMenu = s.parent ? controlOf(w, s.parent) : nullptr;
        QMenu* menu = parentMenu ? parentMenu->menu : nullptr;
        c.action = new QAction(menu ? static_cast<QObject*>(menu) : w.main);
        if (menu)
            menu->addAction(c.action);
        else
            w.main->menuBar()->addAction(c.action);
        QObject::connect(c.action, &QAction::triggered, this, [self, wid, id](bool checked) {
            QtWindow* win = self->find(wid);
            if (!win || self->applying_)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            if (!ctl)
                return;
            self->flushFocused(*win);
            if (ctl->state.checkItem)
                self->sendValue(*win, *ctl, Event::Accepted, checked ? "1" : "0");
            else
                self->send(*win, in(Event::Accepted, id));
        });
        QObject::connect(c.action, &QAction::hovered, this, [self, wid, id] {
            QtWindow* win = self->find(wid);
            if (!win)
                return;
            QtControl* ctl = self->controlOf(*win, id);
            // Zone 1 of the window's status bar (or the frame's) shows the help line.
            QtWindow* shown = !win->zones.empty() ? win : self->frame();
            if (ctl && shown && !shown->zones.empty())
                shown->zones[0]->setText(qs(ctl->state.help));
        });
        break;
    }
    }
    if (c.widget) {
        c.widget->setProperty("rtControl", id);
        c.widget->raise();
        if (w.shown && !s.hidden)
            c.widget->show();
    }
}

void QtDisplay::Core::applyLook(QtWindow& w, QtControl& c)
{
    const ControlState& s = c.state;
    const QString text = qs(s.text);
    switch (s.kind) {
    case ControlKind::Prompt:
        if (auto* label = static_cast<QLabel*>(c.widget)) {
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
        }
        break;
    case ControlKind::String:
        if (auto* label = static_cast<QLabel*>(c.widget)) {
            QString shown = text.isEmpty() ? qs(s.value) : text;
            // A "&&" shows one ampersand; a lone one marks nothing in a string.
            shown.replace(QLatin1String("&&"), QLatin1String("&"));
            label->setText(shown);
            if (s.picture.size() > 1 && numericPicture(s.picture))
                label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        break;
    case ControlKind::Entry:
        if (auto* edit = static_cast<QLineEdit*>(c.widget)) {
            edit->setReadOnly(s.readOnly);
            edit->setEchoMode(s.password ? QLineEdit::Password : QLineEdit::Normal);
            const int length = pictureLength(s.picture);
            edit->setMaxLength(length > 0 ? length : 32767);
            edit->setAlignment(numericPicture(s.picture) ? Qt::AlignRight : Qt::AlignLeft);
        }
        break;
    case ControlKind::Text:
        if (auto* edit = static_cast<QPlainTextEdit*>(c.widget)) {
            edit->setReadOnly(s.readOnly);
            edit->setLineWrapMode(s.wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        }
        break;
    case ControlKind::Button:
        if (auto* button = static_cast<QPushButton*>(c.widget)) {
            button->setText(text);
            const QIcon icon = iconFor(qs(s.icon));
            button->setIcon(icon);
            if (!icon.isNull() && text.isEmpty())
                button->setIconSize(QSize(16, 16));
            button->setDefault(s.defaultButton);
            button->setAutoDefault(false);
            button->setFlat(s.flat);
        }
        break;
    case ControlKind::Check:
        static_cast<QCheckBox*>(c.widget)->setText(text);
        break;
    case ControlKind::Radio:
        static_cast<QRadioButton*>(c.widget)->setText(text);
        break;
    case ControlKind::Option:
    case ControlKind::Group:
        if (auto* box = static_cast<QGroupBox*>(c.widget)) {
            box->setTitle(text);
            // An option without a caption is only a holder of its radios.
            box->setFlat(text.isEmpty() && s.kind == ControlKind::Option);
            if (text.isEmpty() && s.kind == ControlKind::Option)
                box->setStyleSheet(QStringLiteral("QGroupBox{border:0;margin:0;padding:0}"));
        }
        break;
    case ControlKind::Spin:
        if (auto* spin = static_cast<QSpinBox*>(c.widget)) {
            spin->setRange(std::min(s.rangeLow, s.rangeHigh), std::max(s.rangeLow, s.rangeHigh));
            spin->setSingleStep(std::max(1, s.step));
            spin->setReadOnly(s.readOnly);
        }
        break;
    case ControlKind::Progress:
        if (auto* bar = static_cast<QProgressBar*>(c.widget))
            bar->setRange(std::min(s.rangeLow, s.rangeHigh), std::max(s.rangeLow, s.rangeHigh));
        break;
    case ControlKind::Tab:
        if (c.sheet)
            for (int i = 0; i < c.sheet->count(); ++i)
                if (c.sheet->widget(i)->property("rtTab").toInt() == s.id) {
                    c.sheet->setTabText(i, text);
                    c.sheet->setTabToolTip(i, qs(s.tip));
                    c.sheet->setTabEnabled(i, s.enabled);
                    if (!s.icon.empty())
                        c.sheet->setTabIcon(i, iconFor(qs(s.icon)));
                }
        break;
    case ControlKind::Box:
        if (auto* box = static_cast<BoxWidget*>(c.widget)) {
            box->fill = toQColor(s.background);
            box->border = toQColor(s.borderColor, toQColor(s.fontColor));
            box->update();
        }
        break;
    case ControlKind::Line:
        if (auto* line = static_cast<LineWidget*>(c.widget)) {
            line->color = toQColor(s.fontColor, toQColor(s.borderColor));
            line->rising = (s.width < 0) != (s.height < 0);
            line->update();
        }
        break;
    case ControlKind::Region:
        if (auto* region = static_cast<RegionWidget*>(c.widget)) {
            region->fill = s.transparent ? QColor() : toQColor(s.background);
            region->border = toQColor(s.borderColor);
            region->update();
        }
        break;
    case ControlKind::Image:
        if (auto* label = static_cast<QLabel*>(c.widget)) {
            // The shown size: the virtual size, else the control's size unless it scrolls,
            // else the picture's own. Pictures are read at that size (page pictures are SVG
            // and stay sharp at every zoom).
            QSize shown;
            if (s.virtualWidth > 0 || s.virtualHeight > 0)
                shown = QSize(s.virtualWidth > 0 ? w.units.x(s.virtualWidth) : 0,
                              s.virtualHeight > 0 ? w.units.y(s.virtualHeight) : 0);
            else if (s.width > 0 && s.height > 0 && !s.hscroll && !s.vscroll)
                shown = QSize(w.units.x(s.width), w.units.y(s.height));
            const QString key = qs(s.icon) + QLatin1Char('|') + QString::number(shown.width()) + QLatin1Char('x') +
                                QString::number(shown.height()) + QLatin1Char('|') + QString::number(s.scrollX) +
                                QLatin1Char(',') + QString::number(s.scrollY);
            if (label->property("rtImage").toString() == key)
                break;
            label->setProperty("rtImage", key);
            QPixmap pixmap;
            if (!s.icon.empty()) {
                QString file = qs(s.icon);
                file.replace(QLatin1Char('\\'), QLatin1Char('/'));
                QImageReader reader(file);
                if (reader.canRead()) {
                    QSize natural = reader.size();
                    if (shown.isValid() || shown.width() > 0 || shown.height() > 0) {
                        QSize target = shown;
                        if (target.width() <= 0)
                            target.setWidth(natural.width());
                        if (target.height() <= 0)
                            target.setHeight(natural.height());
                        reader.setScaledSize(target);
                    }
                    pixmap = QPixmap::fromImage(reader.read());
                } else {
                    const QIcon icon = iconFor(qs(s.icon));
                    if (!icon.isNull())
                        pixmap = icon.pixmap(shown.isValid() && !shown.isEmpty() ? shown : QSize(32, 32));
                }
            }
            if (!pixmap.isNull() && (s.scrollX || s.scrollY))
                pixmap = pixmap.copy(w.units.x(s.scrollX), w.units.y(s.scrollY), pixmap.width(), pixmap.height());
            label->setPixmap(pixmap);
        }
        break;
    case ControlKind::Menu:
        if (c.menu) {
            c.menu->setTitle(text);
            c.action->setStatusTip(QString());
        }
        break;
    case ControlKind::Item:
        if (c.action) {
            c.action->setSeparator(s.separator);
            c.action->setText(text);
            c.action->setCheckable(s.checkItem);
            c.action->setIcon(iconFor(qs(s.icon)));
            c.action->setToolTip(qs(s.tip));
        }
        break;
    default:
        break;
    }

    if (c.action) {
        c.action->setEnabled(s.enabled);
        c.action->setVisible(!s.hidden);
    }
    if (!c.widget)
        return;
    c.widget->setToolTip(qs(s.tip));
    c.widget->setStatusTip(qs(s.help));

    // Font and colours: the window's unless the control has its own.
    QFont font = w.font;
    if (!s.font.face.empty())
        font.setFamily(mapFontFamily(qs(s.font.face)));
    if (s.font.size > 0)
        font.setPointSize(s.font.size);
    if (s.font.weight > 0)
        font.setBold(s.font.weight >= 600);
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
    const bool fills = s.kind != ControlKind::Box && s.kind != ControlKind::Region && s.kind != ControlKind::Line;
    if (s.background != ColorNone && fills) {
        const QColor color = toQColor(s.background);
        pal.setColor(QPalette::Window, color);
        pal.setColor(QPalette::Base, color);
        pal.setColor(QPalette::Button, color);
        c.widget->setAutoFillBackground(!s.transparent);
    }
    if (s.selectedBack != ColorNone)
        pal.setColor(QPalette::Highlight, toQColor(s.selectedBack));
    if (s.selectedFore != ColorNone)
        pal.setColor(QPalette::HighlightedText, toQColor(s.selectedFore));
    c.widget->setPalette(pal);
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

void QtDisplay::Core::placeControl(QtWindow& w, QtControl& c)
{
    if (!c.widget)
        return;
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
        if (auto* label = static_cast<QLabel*>(c.widget); !label->pixmap().isNull())
            natural = label->pixmap().size();
    const int pw = width > 0 ? u.x(width) : std::max(natural.width(), 1);
    const int ph = height > 0 ? u.y(height) : std::max(natural.height(), 1);
    c.widget->setGeometry(u.x(x), u.y(y), pw, ph);
    if (s.toolbar && w.toolCanvas) {
        QRect used;
        for (auto& [id, other] : w.controls)
            if (other.widget && other.state.toolbar)
                used |= other.widget->geometry();
        w.toolCanvas->wanted = QSize(used.right() + 4, used.bottom() + 3);
        w.toolCanvas->setMinimumSize(w.toolCanvas->wanted);
        w.toolCanvas->updateGeometry();
    }
}

void QtDisplay::Core::applyValue(QtWindow& w, QtControl& c)
{
    c.valueSerial = c.state.valueSerial;
    const ControlState& s = c.state;
    const QString value = qs(s.value);
    c.sentValue = s.value;
    switch (s.kind) {
    case ControlKind::String:
        applyLook(w, c);
        break;
    case ControlKind::Entry:
        if (auto* edit = static_cast<QLineEdit*>(c.widget); edit->text() != value)
            edit->setText(value);
        break;
    case ControlKind::Text:
        if (auto* edit = static_cast<QPlainTextEdit*>(c.widget); edit->toPlainText() != value)
            edit->setPlainText(value);
        break;
    case ControlKind::Check:
        static_cast<QCheckBox*>(c.widget)->setChecked(s.value == "1" || s.value == "true");
        break;
    case ControlKind::Option:
        // An exclusive group cannot lose its checked button: a value no radio gives clears all.
        if (c.buttons)
            c.buttons->setExclusive(false);
        for (auto& [id, other] : w.controls)
            if (other.state.kind == ControlKind::Radio && other.state.parent == s.id && other.widget)
                static_cast<QRadioButton*>(other.widget)->setChecked(other.state.radioValue == s.value);
        if (c.buttons)
            c.buttons->setExclusive(true);
        break;
    case ControlKind::Radio:
        if (QtControl* option = controlOf(w, s.parent); option && option->state.kind == ControlKind::Option) {
            if (option->buttons)
                option->buttons->setExclusive(false);
            static_cast<QRadioButton*>(c.widget)->setChecked(option->state.value == s.radioValue);
            if (option->buttons)
                option->buttons->setExclusive(true);
        }
        break;
    case ControlKind::DropList:
    case ControlKind::DropCombo: {
        auto* combo = static_cast<QComboBox*>(c.widget);
        int index = s.selected - 1;
        if (index < 0 || index >= combo->count())
            index = combo->findText(value.trimmed());
        combo->setCurrentIndex(index);
        if (s.kind == ControlKind::DropCombo && combo->currentText() != value)
            combo->setEditText(value);
        break;
    }
    case ControlKind::Spin:
        static_cast<QSpinBox*>(c.widget)->setValue(value.trimmed().toInt());
        break;
    case ControlKind::Progress:
        static_cast<QProgressBar*>(c.widget)->setValue(value.trimmed().toInt());
        break;
    case ControlKind::List:
    case ControlKind::Tree: {
        const QModelIndex index = c.model->indexOfRow(s.selected);
        if (index.isValid()) {
            c.view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
            c.view->scrollTo(index);
        } else {
            c.view->selectionModel()->clearSelection();
        }
        break;
    }
    case ControlKind::Item:
        if (c.action && s.checkItem)
            c.action->setChecked(s.value == "1");
        break;
    case ControlKind::Sheet:
        if (s.selected >= 1 && s.selected <= c.sheet->count())
            c.sheet->setCurrentIndex(s.selected - 1);
        break;
    default:
        break;
    }
}

void QtDisplay::Core::applyList(QtWindow& w, QtControl& c)
{
    c.listSerial = c.state.listSerial;
    const ControlState& s = c.state;
    auto data = s.list ? s.list : std::make_shared<const ListData>();
    switch (s.kind) {
    case ControlKind::DropList:
    case ControlKind::DropCombo: {
        auto* combo = static_cast<QComboBox*>(c.widget);
        const QString edit = combo->currentText();
        combo->clear();
        std::vector<QIcon> icons;
        for (const auto& file : data->icons)
            icons.push_back(iconFor(qs(file)));
        for (const auto& row : data->rows) {
            const QString text = row.cells.empty() ? QString() : qs(row.cells[0].text);
            int icon = 0;
            for (const auto& cell : row.cells)
                if (cell.icon > 0) {
                    icon = cell.icon;
                    break;
                }
            if (icon > 0 && icon <= int(icons.size()))
                combo->addItem(icons[icon - 1], text);
            else
                combo->addItem(text);
        }
        c.valueSerial = ~0ull;  // the entry shown is chosen again
        applyValue(w, c);
        break;
    }
    case ControlKind::List:
    case ControlKind::Tree: {
        const int scroll = c.view->verticalScrollBar()->value();
        if (s.virtualRows && !c.model->isTree())
            c.model->setVirtualRows(data, s.virtualRows);
        else
            c.model->setRows(data);
        const auto& u = w.units;
        QHeaderView* header = c.view->header();
        header->setStretchLastSection(false);
        int last = -1;
        for (int i = 0; i < int(data->columns.size()); ++i)
            if (data->columns[i].width > 0)
                last = i;
        for (int i = 0; i < int(data->columns.size()); ++i) {
            const auto& column = data->columns[i];
            c.view->setColumnHidden(i, column.width <= 0);
            // A stretched last section never shrinks below the width it had: start it small.
            if (column.width > 0)
                c.view->setColumnWidth(i, i == last ? header->minimumSectionSize() : u.x(column.width));
        }
        c.view->header()->setVisible(!data->columns.empty() &&
                                     std::any_of(data->columns.begin(), data->columns.end(),
                                                 [](const ListColumn& col) { return !col.heading.empty(); }));
        for (int i = 0; i < int(data->columns.size()); ++i)
            c.view->header()->setSectionResizeMode(i, data->columns[i].resizable ? QHeaderView::Interactive
                                                                                 : QHeaderView::Fixed);
        // The last column takes what is left, so a list as wide as its columns needs no scrolling.
        c.view->header()->setStretchLastSection(true);
        c.view->setStyleSheet(data->grid ? QStringLiteral("QTreeView::item{border-right:1px solid palette(mid);"
                                                          "border-bottom:1px solid palette(mid);}")
                                         : QString());
        static_cast<CellDelegate*>(c.view->itemDelegate())->setLineHeight(data->lineHeight > 0 ? u.y(data->lineHeight) : 0);
        if (c.model->isTree())
            for (int row = 1; row <= c.model->flatCount(); ++row) {
                const QModelIndex index = c.model->indexOfRow(row);
                if (c.model->rowCount(index) > 0)
                    c.view->setExpanded(index, !c.model->contracted(row));
            }
        c.view->verticalScrollBar()->setValue(scroll);
        c.valueSerial = ~0ull;
        applyValue(w, c);
        break;
    }
    default:
        break;
    }
}

void QtDisplay::Core::refreshVisibility(QtWindow& w)
{
    Applying applying(applying_);
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
            if (pv != visible.end())
                v = v && pv->second;
            auto pe = enabled.find(s.parent);
            if (pe != enabled.end() && s.kind != ControlKind::Item && s.kind != ControlKind::Menu)
                e = e && pe->second;
            // Controls on a tab show while their tab is the current one.
            if (QtControl* parent = controlOf(w, s.parent); parent && parent->state.kind == ControlKind::Tab &&
                                                            parent->sheet && s.kind != ControlKind::Tab) {
                const QWidget* page = parent->sheet->currentWidget();
                v = v && page && page->property("rtTab").toInt() == s.parent;
            }
        }
        if (s.kind == ControlKind::Menu || s.kind == ControlKind::Item) {
            visible[id] = v;
            enabled[id] = e;
            continue;
        }
        visible[id] = v;
        enabled[id] = e;
        if (c.widget) {
            if (w.shown || !v)
                c.widget->setVisible(v);
            c.widget->setEnabled(e);
        }
    }
}

void QtDisplay::Core::setBuddies(QtWindow& w)
{
    // A prompt's mnemonic moves the focus to the control that follows it.
    for (std::size_t i = 0; i < w.order.size(); ++i) {
        QtControl& c = w.controls[w.order[i]];
        if (c.state.kind != ControlKind::Prompt || !c.widget)
            continue;
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

// --- input -----------------------------------------------------------------------------------

void QtDisplay::Core::send(QtWindow& w, UserInput input)
{
    rt::sendInput(w.props.id, input);
}

void QtDisplay::Core::sendValue(QtWindow& w, QtControl& c, Event event, const std::string& value, int row)
{
    UserInput input = in(event, c.state.id);
    input.value = value;
    input.row = row;
    c.sentValue = value;
    send(w, input);
}

void QtDisplay::Core::flushFocused(QtWindow& w)
{
    // A field being typed in gives its value before a menu item or toolbar acts on it.
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    for (auto& [id, c] : w.controls) {
        if (c.focusWidget != focus)
            continue;
        if (c.state.kind == ControlKind::Entry) {
            const std::string text = static_cast<QLineEdit*>(c.widget)->text().toStdString();
            if (text != c.sentValue && !c.state.readOnly)
                sendValue(w, c, Event::Accepted, text);
        } else if (c.state.kind == ControlKind::Text) {
            const std::string text = static_cast<QPlainTextEdit*>(c.widget)->toPlainText().toStdString();
            if (text != c.sentValue && !c.state.readOnly)
                sendValue(w, c, Event::Accepted, text);
        }
        return;
    }
}

void QtDisplay::Core::activate(QtWindow& now)
{
    if (active_ == now.props.id)
        return;
    if (QtWindow* old = find(active_))
        send(*old, in(Event::LoseFocus));
    active_ = now.props.id;
    send(now, in(Event::GainFocus));
}

void QtDisplay::Core::sendGeometry(QtWindow& w)
{
    if (!w.shown || applying_)
        return;
    UserInput input = in(Event::Sized);
    const QPoint at = w.top()->pos();
    input.x = w.units.toX(at.x());
    input.y = w.units.toY(at.y());
    input.width = w.units.toX(w.canvas->width());
    input.height = w.units.toY(w.canvas->height());
    // Only what the user changed: the size the procedure gave comes back as no event.
    if (input.width == w.sizeSent.width() && input.height == w.sizeSent.height())
        return;
    w.sizeSent = QSize(input.width, input.height);
    send(w, input);
}

QtWindow* QtDisplay::Core::windowOfWidget(QObject* object, int* control)
{
    *control = 0;
    for (QObject* o = object; o; o = o->parent()) {
        if (!*control) {
            const QVariant c = o->property("rtControl");
            if (c.isValid())
                *control = c.toInt();
        }
        const QVariant wv = o->property("rtWindow");
        if (wv.isValid())
            return find(WindowId(wv.toULongLong()));
    }
    return nullptr;
}

bool QtDisplay::Core::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        if (QtWindow* w = inputWindowOf(watched); w && w->blocked) {
            if (type == QEvent::MouseButtonPress)
                QApplication::beep();
            return true;
        }
        break;
    default:
        break;
    }
    switch (type) {
    case QEvent::StatusTip: {
        // Help lines of controls go to zone 1 (the window's, else the frame's), not over the zones.
        const QVariant wv = watched->property("rtWindow");
        if (!wv.isValid() || !qobject_cast<QMainWindow*>(watched))
            break;
        QtWindow* w = find(WindowId(wv.toULongLong()));
        if (!w)
            break;
        QtWindow* shown = !w->zones.empty() ? w : frame();
        if (shown && !shown->zones.empty())
            shown->zones[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    case QEvent::Close: {
        // The user asks a window to close; its procedure decides.
        const QVariant wv = watched->property("rtWindow");
        if (!wv.isValid() || applying_)
            break;
        QtWindow* w = find(WindowId(wv.toULongLong()));
        if (!w || (watched != w->top() && !(w->props.frame && watched == w->main)))
            break;
        event->ignore();
        if (!w->blocked)
            send(*w, in(Event::CloseWindow));
        return true;
    }
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
        const QVariant wv = watched->property("rtWindow");
        if (!wv.isValid() || applying_)
            break;
        QtWindow* w = find(WindowId(wv.toULongLong()));
        if (!w || w->sub || watched != w->main)
            break;
        if (type == QEvent::WindowActivate) {
            // The frame coming back to the front brings its active child with it: the child
            // stays the active window (the toolbar acts on it).
            QtWindow* now = w;
            if (w->mdi && w->mdi->activeSubWindow())
                for (auto& [id, other] : windows_)
                    if (other->sub == w->mdi->activeSubWindow())
                        now = other.get();
            activate(*now);
        }
        break;
    }
    case QEvent::Move: {
        // Where the user put the window: saved with its state when it closes.
        const QVariant wv = watched->property("rtWindow");
        if (!wv.isValid() || applying_)
            break;
        QtWindow* w = find(WindowId(wv.toULongLong()));
        if (!w || watched != w->top() || !w->shown || w->top()->isMaximized() || w->top()->isMinimized())
            break;
        const QPoint at = w->top()->pos();
        const QPoint units(w->units.toX(at.x()), w->units.toY(at.y()));
        if (units == w->posSent)
            break;
        w->posSent = units;
        UserInput input = in(Event::Moved);
        input.x = units.x();
        input.y = units.y();
        send(*w, input);
        break;
    }
    case QEvent::WindowStateChange: {
        const QVariant wv = watched->property("rtWindow");
        if (!wv.isValid() || applying_)
            break;
        QtWindow* w = find(WindowId(wv.toULongLong()));
        if (!w || w->sub || watched != w->main || !w->shown)
            break;
        const Qt::WindowStates now = w->main->windowState();
        send(*w, in(now & Qt::WindowMinimized   ? Event::Iconized
                           : now & Qt::WindowMaximized ? Event::Maximized
                                                       : Event::Restored));
        break;
    }
    case QEvent::FocusIn: {
        int control = 0;
        QtWindow* w = windowOfWidget(watched, &control);
        if (!w || !control || applying_ || watched->property("rtControl").toInt() != control)
            break;
        if (QtControl* c = controlOf(*w, control); c && c->focusWidget == watched)
            send(*w, in(Event::Selected, control));
        break;
    }
    case QEvent::KeyPress: {
        if (!watched->isWidgetType())
            break;
        auto* key = static_cast<QKeyEvent*>(event);
        int control = 0;
        // Keys reach the control first; what it leaves travels up through the window's widgets.
        QtWindow* w = windowOfWidget(watched, &control);
        if (!w)
            break;
        const int code = keyCodeOf(key);
        if (code && std::find(w->props.alertKeys.begin(), w->props.alertKeys.end(), code) != w->props.alertKeys.end()) {
            flushFocused(*w);
            UserInput input = in(Event::AlertKey, control);
            input.keyCode = code;
            if (QtControl* c = controlOf(*w, control); c && c->model)
                input.row = c->model->rowOf(c->view->currentIndex());
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
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (!watched->isWidgetType())
            break;
        int control = 0;
        QtWindow* w = windowOfWidget(watched, &control);
        if (!w || !control || watched->property("rtControl").toInt() != control)
            break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool twice = type == QEvent::MouseButtonDblClick;
        if (QtControl* c = controlOf(*w, control);
            c && c->view && c->state.kind == ControlKind::List && !c->state.dragIds.empty() &&
            mouse->button() == Qt::LeftButton && !twice) {
            dragWindow_ = w->props.id;
            dragControl_ = control;
            dragRow_ = c->model->rowOf(c->view->indexAt(mouse->position().toPoint()));
            dragFrom_ = mouse->globalPosition().toPoint();
        }
        int code = mouse->button() == Qt::RightButton    ? (twice ? keys::MouseRight2 : keys::MouseRight)
                   : mouse->button() == Qt::MiddleButton ? keys::MouseCenter
                                                         : (twice ? keys::MouseLeft2 : keys::MouseLeft);
        code |= modifierBits(mouse->modifiers());
        if (std::find(w->props.alertKeys.begin(), w->props.alertKeys.end(), code) == w->props.alertKeys.end())
            break;
        UserInput input = in(Event::AlertKey, control);
        input.keyCode = code;
        QtControl* c = controlOf(*w, control);
        if (c && c->view) {
            const QModelIndex index = c->view->indexAt(mouse->position().toPoint());
            if (index.isValid()) {
                Applying applying(applying_);
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
    case QEvent::MouseButtonRelease: {
        // A row dragged onto another row of the same list: Drag, then Drop.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!dragControl_ || mouse->button() != Qt::LeftButton || watched->property("rtControl").toInt() != dragControl_)
            break;
        const int control = dragControl_;
        const int from = dragRow_;
        dragControl_ = 0;
        QtWindow* w = find(dragWindow_);
        QtControl* c = w ? controlOf(*w, control) : nullptr;
        if (!c || !c->view || from == 0 || !dropAccepted(c->state, c->state) ||
            (mouse->globalPosition().toPoint() - dragFrom_).manhattanLength() < QApplication::startDragDistance())
            break;
        const int to = c->model->rowOf(c->view->indexAt(mouse->position().toPoint()));
        if (to == 0 || to == from)
            break;
        UserInput drag = in(Event::Drag, control);
        drag.row = from;
        send(*w, drag);
        UserInput drop = in(Event::Drop, control);
        drop.row = from;
        drop.dropRow = to;
        send(*w, drop);
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The program side: hands work to the GUI thread.

QtDisplay::QtDisplay() : core_(new Core) {}

QtDisplay::~QtDisplay()
{
    delete core_;
}

void QtDisplay::openWindow(const WindowSnapshot& window)
{
    GuiInvoker::post([core = core_, window] { core->open(window); });
}

void QtDisplay::updateWindow(const WindowUpdate& update)
{
    GuiInvoker::post([core = core_, update] { core->update(update); });
}

void QtDisplay::closeWindow(WindowId id)
{
    GuiInvoker::post([core = core_, id] { core->close(id); });
}

void QtDisplay::arrangeWindows(WindowId frame, Arrangement how)
{
    GuiInvoker::post([core = core_, frame, how] { core->arrange(frame, how); });
}

void QtDisplay::runOnDisplayThread(std::function<void()> f)
{
    GuiInvoker::post(std::move(f));
}

DialogUnits QtDisplay::dialogUnits() const
{
    const rt::qt::FontUnits units(defaultWindowFont());
    return {units.baseX() / 4.0, units.baseY() / 8.0};
}

int QtDisplay::messageBox(const MessageBoxRequest& request)
{
    return askOnGui<int>(
        request.thread, [core = core_, request](std::function<void(int)> answer) {
            core->beginThreadModal(request.thread);
            showMessageBox(core->dialogParent(request.owner), request, [core, request, answer](int result) {
                core->endThreadModal(request.thread);
                answer(result);
            });
        },
        request.buttonTexts.empty() ? button::Cancel : 0);
}

FileDialogResult QtDisplay::fileDialog(const FileDialogRequest& request)
{
    return askOnGui<FileDialogResult>(
        request.thread, [core = core_, request](std::function<void(FileDialogResult)> answer) {
            core->beginThreadModal(request.thread);
            showFileDialog(core->dialogParent(request.owner), request, [core, request, answer](FileDialogResult r) {
                core->endThreadModal(request.thread);
                answer(std::move(r));
            });
        },
        FileDialogResult{});
}

ColorDialogResult QtDisplay::colorDialog(const ColorDialogRequest& request)
{
    return askOnGui<ColorDialogResult>(
        request.thread, [core = core_, request](std::function<void(ColorDialogResult)> answer) {
            core->beginThreadModal(request.thread);
            showColorDialog(core->dialogParent(request.owner), request, [core, request, answer](ColorDialogResult r) {
                core->endThreadModal(request.thread);
                answer(r);
            });
        },
        ColorDialogResult{});
}

PrinterDialogResult QtDisplay::printerDialog(const PrinterDialogRequest& request)
{
    return askOnGui<PrinterDialogResult>(
        request.thread, [core = core_, request](std::function<void(PrinterDialogResult)> answer) {
            core->beginThreadModal(request.thread);
            showPrinterDialog(core->dialogParent(request.owner), request,
                              [core, request, answer](PrinterDialogResult r) {
                                  core->endThreadModal(request.thread);
                                  answer(std::move(r));
                              });
        },
        PrinterDialogResult{});
}

int QtDisplay::popupMenu(const PopupMenuRequest& request)
{
    return askOnGui<int>(
        request.thread, [core = core_, request](std::function<void(int)> answer) {
            QPoint at = QCursor::pos();
            QtWindow* w = core->find(request.owner);
            if (w && request.x >= 0 && request.y >= 0)
                at = w->canvas->mapToGlobal(QPoint(w->units.x(request.x), w->units.y(request.y)));
            showPopupMenu(w ? w->main : core->dialogParent(0), at, request, answer);
        },
        0);
}

void QtDisplay::setClipboard(const std::string& text)
{
    GuiInvoker::post([text] { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); });
}

std::string QtDisplay::clipboard()
{
    return GuiInvoker::callValue<std::string>(
        [] { return QGuiApplication::clipboard()->text().toStdString(); });
}

void QtDisplay::beep(Beep)
{
    GuiInvoker::post([] { QApplication::beep(); });
}

void QtDisplay::setPointer(Pointer pointer)
{
    GuiInvoker::post([pointer] {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        switch (pointer) {
        case Pointer::Arrow:
            break;
        case Pointer::Busy:
            QApplication::setOverrideCursor(Qt::WaitCursor);
            break;
        case Pointer::Cross:
            QApplication::setOverrideCursor(Qt::CrossCursor);
            break;
        case Pointer::IBeam:
            QApplication::setOverrideCursor(Qt::IBeamCursor);
            break;
        case Pointer::Hand:
        case Pointer::Zoom:
            QApplication::setOverrideCursor(Qt::PointingHandCursor);
            break;
        case Pointer::SizeAll:
            QApplication::setOverrideCursor(Qt::SizeAllCursor);
            break;
        }
    });
}

QWidget* QtDisplay::windowWidget(WindowId id) const
{
    QtWindow* w = core_->find(id);
    return w && w->shown ? w->top() : nullptr;
}

void QtDisplay::dismissPrompts()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->property("rtPrompt").toBool())
            delete top;
}

QWidget* QtDisplay::frameWidget() const
{
    QtWindow* f = core_->frame();
    return f ? f->main : nullptr;
}

QWidget* QtDisplay::controlWidget(WindowId id, int control) const
{
    QtWindow* w = core_->find(id);
    if (!w)
        return nullptr;
    QtControl* c = core_->controlOf(*w, control);
    return c ? c->widget : nullptr;
}

}  // namespace rt::qt
