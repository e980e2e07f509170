#include "runtime/ui/window.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "runtime/text/strings.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/display.h"
#include "runtime/ui/image.h"
#include "runtime/ui/ui_registry.h"
#include "runtime/ui/window_entry.h"

namespace rt {

namespace {

// Hosted controls belong to their procedure's thread and must end there. The display gets handles
// to them that hold no reference of their own: the owner thread holds the object for every
// handle out and lets it go, on itself, once the display has dropped them all. Should the owner
// end first, the last handle dropped lets it go.
struct HostedObjects {
    struct Held {
        std::shared_ptr<AutomationObject> object;
        int handles = 0;
    };
    int thread = 0;
    std::mutex mutex;
    std::condition_variable returned;
    std::map<AutomationObject*, Held> held;
    bool ownerEnded = false;
};

struct HostedHandleDeleter {
    std::shared_ptr<HostedObjects> owner;
    void operator()(AutomationObject* raw) const {
        std::shared_ptr<AutomationObject> orphan;
        {
            std::lock_guard lock(owner->mutex);
            auto it = owner->held.find(raw);
            assert(it != owner->held.end() && it->second.handles > 0);
            if (it == owner->held.end() || --it->second.handles > 0) return;
            if (owner->ownerEnded) {
                orphan = std::move(it->second.object);
                owner->held.erase(it);
            }
            owner->returned.notify_all();
        }
        if (orphan) return;  // released here, on leaving: its thread is gone
        // Wake the owner, so that it lets the object go without waiting for the user.
        auto& r = uiRegistry();
        std::lock_guard lock(r.mutex);
        r.thread(owner->thread).releasePending = true;
        r.changed.notify_all();
    }
};

struct OwnHostedObjects {
    std::shared_ptr<HostedObjects> objects;
    ~OwnHostedObjects();  // threads that are no program threads
};

thread_local OwnHostedObjects ownHosted;

std::shared_ptr<AutomationObject> hostedHandle(const std::shared_ptr<AutomationObject>& object) {
    if (!object) return nullptr;
    auto& own = ownHosted.objects;
    if (!own) {
        own = std::make_shared<HostedObjects>();
        own->thread = threadNumber();
    }
    {
        std::lock_guard lock(own->mutex);
        auto& h = own->held[object.get()];
        if (!h.object) h.object = object;
        ++h.handles;
    }
    return std::shared_ptr<AutomationObject>(object.get(), HostedHandleDeleter{own});
}

// On the owner thread: lets go of the objects the display no longer holds handles to.
// With the mutex held: takes out the objects no handle refers to any more.
std::vector<std::shared_ptr<AutomationObject>> takeReturned(HostedObjects& own) {
    std::vector<std::shared_ptr<AutomationObject>> out;
    for (auto it = own.held.begin(); it != own.held.end();) {
        if (it->second.handles == 0) {
            out.push_back(std::move(it->second.object));
            it = own.held.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

// On the owner thread: lets go of the objects the display no longer holds handles to (after
// the lock: a control's destructor must not run under it).
void releaseReturnedObjects() {
    auto& own = ownHosted.objects;
    if (!own) return;
    std::vector<std::shared_ptr<AutomationObject>> released;
    std::lock_guard lock(own->mutex);
    released = takeReturned(*own);
}

// At the owner's end: the display gets a moment to drop what it still holds of objects that
// nobody else keeps, so that they end here too.
void endHostedObjects(std::shared_ptr<HostedObjects> own, std::chrono::milliseconds grace) {
    if (!own) return;
    std::vector<std::shared_ptr<AutomationObject>> released;
    std::unique_lock lock(own->mutex);
    own->returned.wait_for(lock, grace, [&] {
        for (auto& [raw, h] : own->held)
            if (h.handles > 0 && h.object.use_count() == 1) return false;
        return true;
    });
    released = takeReturned(*own);
    own->ownerEnded = true;
}

OwnHostedObjects::~OwnHostedObjects() { endHostedObjects(std::move(objects), std::chrono::milliseconds(0)); }

[[maybe_unused]] const int hostedObjectsEndHook =
    addThreadEndHook([] { endHostedObjects(std::move(ownHosted.objects), std::chrono::seconds(1)); });

}  // namespace

// ---------------------------------------------------------------------------------------------
// Window

Window::Window(std::string procedure, std::string title) : core_(std::make_shared<WindowCore>()) {
    props_.procedure = std::move(procedure);
    props_.title = std::move(title);
    props_.thread = threadNumber();
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    core_->id = r.nextId++;
    core_->thread = props_.thread;
    core_->window = this;
    props_.id = core_->id;
    core_->props = props_;
    r.windows.emplace(core_->id, core_);
}

Window::~Window() {
    if (opened_ && !closed_) closeNow(true);
    {
        auto& r = uiRegistry();
        std::lock_guard lock(r.mutex);
        core_->window = nullptr;
        r.windows.erase(core_->id);
    }
    // The window's own references go with its controls; what the display gave back goes now.
    controls_.clear();
    releaseReturnedObjects();
}

WindowId Window::id() const { return props_.id; }
int Window::thread() const { return props_.thread; }
const std::string& Window::procedure() const { return props_.procedure; }

const WindowProps& Window::props() const { return props_; }
WindowProps& Window::edit() {
    propsChanged_ = true;
    return props_;
}

Window& Window::setTitle(std::string title) {
    if (props_.title != title) edit().title = std::move(title);
    return *this;
}
const std::string& Window::title() const { return props_.title; }
Window& Window::setIcon(std::string icon) {
    edit().icon = std::move(icon);
    return *this;
}
Window& Window::setPosition(int x, int y, int width, int height) {
    auto& p = edit();
    p.x = x;
    p.y = y;
    p.width = width;
    p.height = height;
    return *this;
}
Window& Window::setPosition(int x, int y) {
    auto& p = edit();
    p.x = x;
    p.y = y;
    return *this;
}
Window& Window::setSize(int width, int height) {
    auto& p = edit();
    p.width = width;
    p.height = height;
    return *this;
}
Window& Window::setMinSize(int width, int height) {
    auto& p = edit();
    p.minWidth = width;
    p.minHeight = height;
    return *this;
}
Window& Window::setFrame(bool frame) {
    edit().frame = frame;
    return *this;
}
Window& Window::setMdiChild(bool mdiChild) {
    edit().mdiChild = mdiChild;
    return *this;
}
Window& Window::setModal(bool modal) {
    edit().modal = modal;
    return *this;
}
Window& Window::setCaption(bool caption) {
    edit().caption = caption;
    return *this;
}
Window& Window::setPopup(PopupKind popup) {
    edit().popup = popup;
    return *this;
}
Window& Window::setAtMouse(int x, int y) {
    auto& p = edit();
    p.atMouse = true;
    p.x = x;
    p.y = y;
    return *this;
}
Window& Window::setMaximized(bool maximized) {
    auto& p = edit();
    p.maximized = maximized;
    if (maximized) p.minimized = false;
    return *this;
}
Window& Window::setMinimized(bool minimized) {
    auto& p = edit();
    p.minimized = minimized;
    if (minimized) p.maximized = false;
    return *this;
}
Window& Window::setHidden(bool hidden) {
    edit().hidden = hidden;
    return *this;
}
Window& Window::setImmediate(bool immediate) {
    edit().immediate = immediate;
    return *this;
}
Window& Window::setImmediateAll(bool immediate) {
    setImmediate(immediate);
    for (int id : order_) ControlRef(this, id).setImmediate(immediate);
    return *this;
}

Window& Window::setTimer(int hundredths) {
    edit().timer = std::max(0, hundredths);
    nextTimer_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(10 * props_.timer);
    return *this;
}
int Window::timer() const { return props_.timer; }

Window& Window::setStatusZones(std::vector<int> widths) {
    auto& p = edit();
    p.status.resize(widths.size());
    for (std::size_t i = 0; i < widths.size(); ++i) p.status[i].width = widths[i];
    return *this;
}

Window& Window::setStatusText(int zone, std::string text) {
    assert(zone >= 1);
    auto& p = edit();
    if (static_cast<std::size_t>(zone) > p.status.size()) p.status.resize(zone);
    p.status[zone - 1].text = std::move(text);
    return *this;
}

std::string Window::statusText(int zone) const {
    if (zone < 1 || static_cast<std::size_t>(zone) > props_.status.size()) return {};
    return props_.status[zone - 1].text;
}

Window& Window::alert(int keyCode) {
    if (!alerted(keyCode)) edit().alertKeys.push_back(keyCode);
    return *this;
}
Window& Window::removeAlert(int keyCode) {
    if (alerted(keyCode)) std::erase(edit().alertKeys, keyCode);
    return *this;
}
bool Window::alerted(int keyCode) const {
    return std::find(props_.alertKeys.begin(), props_.alertKeys.end(), keyCode) != props_.alertKeys.end();
}

Window& Window::select(int control) {
    auto& p = edit();
    p.focus = control;
    ++p.focusSerial;
    return *this;
}
int Window::focus() const { return props_.focus; }

ControlRef Window::add(int id, ControlKind kind, int parent) {
    assert(id > 0 && "equates are positive");
    assert(!has(id) && "equate used twice");
    assert((parent == 0 || has(parent)) && "parent control does not exist");
    auto e = std::make_unique<ControlEntry>();
    e->state.id = id;
    e->state.kind = kind;
    e->state.parent = parent;
    e->sequence = ++sequence_;
    if (parent != 0) e->state.toolbar = entry(parent).state.toolbar;
    if (kind == ControlKind::Progress) e->state.value = "0";
    if (kind == ControlKind::Check) e->state.value = "0";
    controls_.emplace(id, std::move(e));
    order_.push_back(id);
    // An equate destroyed and made again before the display heard of it stays in the removed
    // list: the display drops the old control and makes the new one fresh, with all its state.
    markChanged(id);
    return ControlRef(this, id);
}

int Window::create(ControlKind kind, int parent) {
    int id = controls_.empty() ? 1 : controls_.rbegin()->first + 1;
    add(id, kind, parent);
    return id;
}

std::vector<int> Window::childrenOf(int id) const {
    std::vector<int> out;
    for (int c : order_) {
        int p = entry(c).state.parent;
        while (p != 0 && p != id) p = entry(p).state.parent;
        if (p == id && c != id) out.push_back(c);
    }
    return out;
}

void Window::destroy(int id) {
    if (!has(id)) return;
    std::vector<int> gone = childrenOf(id);
    gone.push_back(id);
    for (int c : gone) {
        controls_.erase(c);
        std::erase(order_, c);
        std::erase(changed_, c);
        removed_.push_back(c);
    }
    if (props_.focus != 0 && !has(props_.focus)) props_.focus = 0;
}

bool Window::has(int id) const { return controls_.count(id) != 0; }

ControlRef Window::control(int id) {
    assert(has(id) && "no control with this equate");
    return ControlRef(this, id);
}

std::vector<int> Window::controlIds() const { return order_; }

Window::ControlEntry& Window::entry(int id) {
    auto it = controls_.find(id);
    assert(it != controls_.end() && "no control with this equate");
    return *it->second;
}

const Window::ControlEntry& Window::entry(int id) const {
    auto it = controls_.find(id);
    assert(it != controls_.end() && "no control with this equate");
    return *it->second;
}

void Window::markChanged(int id) {
    auto& e = entry(id);
    if (!e.queued) {
        e.queued = true;
        changed_.push_back(id);
    }
}

void Window::open() {
    if (opened_) return;
    assert(props_.thread == threadNumber() && "a window is opened on the thread that made it");
    opened_ = true;
    {
        auto& r = uiRegistry();
        std::lock_guard lock(r.mutex);
        auto& t = r.thread(props_.thread);
        props_.owner = t.stack.empty() ? 0 : t.stack.back();
        t.stack.push_back(props_.id);
        r.openOrder.push_back(props_.id);
        core_->open = true;
        core_->modal = props_.modal;
        core_->props = props_;
    }
    nextTimer_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(10 * props_.timer);
    publishOpen();
}

bool Window::isOpen() const { return opened_ && !closed_; }
bool Window::wasOpened() const { return opened_; }

void Window::readSources(bool all) {
    for (int id : order_) {
        auto& e = entry(id);
        if (!e.source || !(all || e.sourceDirty || e.source->revision() != e.sourceRevision)) continue;
        ControlRef c(this, id);
        // Only a List reads its rows by range; other controls get the rows themselves.
        auto snapshot = e.state.kind == ControlKind::List ? e.source->virtualRows() : nullptr;
        if (snapshot) {
            c.setVirtualRows(std::move(snapshot));
        } else {
            std::vector<ListRow> rows;
            rows.reserve(e.source->rowCount());
            for (std::size_t i = 0; i < e.source->rowCount(); ++i) rows.push_back(e.source->row(i));
            c.setRows(std::move(rows));
        }
        e.sourceRevision = e.source->revision();
        e.sourceDirty = false;
    }
}

void Window::publishOpen() {
    WindowSnapshot snap;
    // Read list sources first, so the snapshot carries their rows.
    readSources(true);
    snap.window = props_;
    for (int id : order_) {
        auto& e = entry(id);
        e.queued = false;
        snap.controls.push_back(e.state);
        snap.controls.back().object = hostedHandle(e.state.object);
    }
    changed_.clear();
    removed_.clear();
    propsChanged_ = false;
    display().openWindow(snap);
}

void Window::publishChanges() {
    if (!isOpen()) return;
    readSources(false);
    if (!propsChanged_ && changed_.empty() && removed_.empty()) return;
    WindowUpdate u;
    u.id = props_.id;
    if (propsChanged_) {
        u.windowChanged = true;
        u.window = props_;
        auto& r = uiRegistry();
        std::lock_guard lock(r.mutex);
        core_->props = props_;
        core_->modal = props_.modal;
    }
    // Creation order, so that a parent arrives before its children.
    std::sort(changed_.begin(), changed_.end(), [&](int a, int b) { return entry(a).sequence < entry(b).sequence; });
    for (int id : changed_) {
        auto& e = entry(id);
        e.queued = false;
        u.changed.push_back(e.state);
        u.changed.back().object = hostedHandle(e.state.object);
    }
    u.removed = removed_;
    changed_.clear();
    removed_.clear();
    propsChanged_ = false;
    display().updateWindow(u);
}

void Window::flush() { publishChanges(); }

const EventInfo& Window::current() const { return current_; }

void Window::post(Event event, int control) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    UserInput in;
    in.event = event;
    in.control = control;
    r.push(*core_, QueuedEvent{in, false});
}

void Window::keepOpen() { keepOpen_ = true; }

void Window::close() {
    if (!opened_) {
        opened_ = true;  // never shown: nothing to take back from the display
        closed_ = true;
        return;
    }
    if (!closed_) closeNow(true);
}

void Window::closeNow(bool notifyDisplay) {
    closed_ = true;
    {
        auto& r = uiRegistry();
        std::lock_guard lock(r.mutex);
        auto& t = r.thread(props_.thread);
        std::erase(t.stack, props_.id);
        std::erase(r.openOrder, props_.id);
        core_->open = false;
        core_->queue.clear();
        if (r.active == props_.id) r.active = 0;
        r.changed.notify_all();
    }
    if (notifyDisplay) display().closeWindow(props_.id);
}

void Window::applyInput(const UserInput& in, EventInfo& info) {
    info.event = in.event;
    info.control = in.control;
    info.keyCode = in.keyCode;
    info.row = in.row;
    info.column = in.column;
    info.dropRow = in.dropRow;
    info.x = in.x;
    info.y = in.y;
    info.width = in.width;
    info.height = in.height;
    switch (in.event) {
    case Event::Sized:
        if (in.width > 0) props_.width = in.width;
        if (in.height > 0) props_.height = in.height;
        [[fallthrough]];
    case Event::Moved:
        props_.x = in.x;
        props_.y = in.y;
        break;
    case Event::Maximized:
        props_.maximized = true;
        props_.minimized = false;
        break;
    case Event::Iconized:
        props_.minimized = true;
        props_.maximized = false;
        break;
    case Event::Restored: props_.minimized = props_.maximized = false; break;
    default: break;
    }
    if (in.control == 0 || !has(in.control)) return;
    auto& s = entry(in.control).state;  // the display shows it already: no publication
    if (in.event == Event::Selected) props_.focus = in.control;
    applyUserInput(s, in);
    info.value = s.value;
}

EventInfo Window::accept() {
    if (closed_) return current_ = EventInfo{};
    if (!opened_) {
        open();
        current_ = EventInfo{};
        current_.event = Event::OpenWindow;
        return current_;
    }
    if (closeRequested_ && !keepOpen_) {
        closeNow(true);
        return current_ = EventInfo{};
    }
    closeRequested_ = keepOpen_ = false;

    for (;;) {
        {
            auto& r = uiRegistry();
            std::lock_guard lock(r.mutex);
            r.thread(props_.thread).releasePending = false;
        }
        releaseReturnedObjects();
        publishChanges();
        QueuedEvent ev;
        bool timerDue = false;
        {
            auto& r = uiRegistry();
            std::unique_lock lock(r.mutex);
            auto ready = [&] {
                return !core_->queue.empty() || (props_.timer > 0 && std::chrono::steady_clock::now() >= nextTimer_);
            };
            if (!ready()) {
                r.beginWait(props_.thread);
                auto wake = [&] { return ready() || r.thread(props_.thread).releasePending; };
                if (props_.timer > 0)
                    r.changed.wait_until(lock, nextTimer_, wake);
                else
                    r.changed.wait(lock, wake);
                r.endWait(props_.thread);
                if (!ready()) continue;  // hosted controls to let go, or a timer changed while waiting
            }
            if (!core_->queue.empty()) {
                ev = std::move(core_->queue.front());
                core_->queue.pop_front();
                core_->taken = ev.serial;
                auto& t = r.thread(props_.thread);
                t.takenAtWait = t.waitSerial;
                r.changed.notify_all();
            } else {
                timerDue = true;
            }
        }
        EventInfo info;
        if (timerDue) {
            nextTimer_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(10 * props_.timer);
            info.event = Event::Timer;
        } else if (ev.fromUser) {
            if (ev.input.event == Event::AlertKey && !alerted(ev.input.keyCode)) continue;
            // Only lists with drag and drop ids take part in drag and drop.
            if (ev.input.event == Event::Drag || ev.input.event == Event::Drop) {
                if (!has(ev.input.control)) continue;
                const auto& s = entry(ev.input.control).state;
                if ((ev.input.event == Event::Drag ? s.dragIds : s.dropIds).empty()) continue;
            }
            // Where the text cursor stands is the control's state only: no event.
            if (ev.input.event == Event::None) {
                if (has(ev.input.control)) applyUserInput(entry(ev.input.control).state, ev.input);
                continue;
            }
            applyInput(ev.input, info);
        } else {
            info.event = ev.input.event;
            info.control = ev.input.control;
            if (info.control != 0 && has(info.control)) info.value = entry(info.control).state.value;
        }
        if (info.event == Event::CloseWindow || info.event == Event::CloseDown) closeRequested_ = true;
        current_ = std::move(info);
        runRegistered(current_);
        return current_;
    }
}

int Window::registerEvent(Event event, int control, std::function<void(const EventInfo&)> handler) {
    registered_.push_back({nextRegistration_, event, control, std::move(handler)});
    return nextRegistration_++;
}

void Window::unregisterEvent(int registration) {
    std::erase_if(registered_, [&](const Registration& r) { return r.number == registration; });
}

void Window::runRegistered(const EventInfo& info) {
    // A handler may register or unregister others: run the ones matching now from a copy.
    std::vector<std::function<void(const EventInfo&)>> due;
    for (const Registration& r : registered_)
        if (r.event == info.event && (r.control == 0 || r.control == info.control)) due.push_back(r.handler);
    for (auto& handler : due) handler(info);
}

}  // namespace rt
