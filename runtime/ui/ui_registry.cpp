#include "runtime/ui/ui_registry.h"

#include <atomic>
#include <set>

#include "runtime/thread/thread.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

namespace rt {

UiRegistry& uiRegistry() {
    // Never destroyed: program threads may still touch it while the process exits.
    static UiRegistry* r = new UiRegistry;
    return *r;
}

std::uint64_t UiRegistry::push(WindowCore& core, QueuedEvent ev) {
    ev.serial = ++lastInput;
    std::uint64_t serial = ev.serial;
    core.queue.push_back(std::move(ev));
    if (top(core.thread) == core.id) endWait(core.thread);
    changed.notify_all();
    return serial;
}

ModalCall::ModalCall() {
    int number = threadNumber();
    owner_ = topWindow(number);
    if (owner_ != 0) {
        // The user sees the window as the procedure left it before answering.
        Window* w = nullptr;
        {
            auto& r = uiRegistry();
            std::lock_guard lock(r.mutex);
            auto it = r.windows.find(owner_);
            if (it != r.windows.end()) w = it->second->window;
        }
        if (w) w->flush();
    }
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    ++r.thread(number).modalCalls;
    r.changed.notify_all();
}

void promptShown(int thread) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.threads.find(thread);
    // A prompt answered before it was reported shown is over: nothing waits any more.
    if (it == r.threads.end() || it->second.modalCalls == 0 || it->second.waiting) return;
    r.beginWait(thread);
}

ModalCall::~ModalCall() {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    int number = threadNumber();
    --r.thread(number).modalCalls;
    r.endWait(number);
    r.changed.notify_all();
}

std::uint64_t threadWaitSerial(int thread) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    return r.thread(thread).waitSerial;
}

bool waitThreadIdle(int thread, std::uint64_t after, std::chrono::milliseconds timeout) {
    auto& r = uiRegistry();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(r.mutex);
    for (;;) {
        auto& t = r.thread(thread);
        if (t.waiting && t.waitSerial > after) return true;
        if (!threadRunning(thread)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Thread ends are not signalled here: look again in short steps.
        r.changed.wait_for(lock, std::chrono::milliseconds(5));
    }
}

std::string inputRefusal(WindowId id) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(id);
    if (it == r.windows.end() || !it->second->open) return "the window is not open";
    WindowCore& core = *it->second;
    if (r.thread(core.thread).modalCalls > 0) return "its thread waits for the answer to a message box or dialog";
    WindowId top = r.top(core.thread);
    if (top != id) {
        auto t = r.windows.find(top);
        return "window \"" + (t == r.windows.end() ? std::string("?") : t->second->props.title) +
               "\" of its thread is open above it";
    }
    return {};
}

namespace {
std::atomic<std::chrono::steady_clock::rep> lastUserInput{0};

bool isFocusChange(Event e) { return e == Event::GainFocus || e == Event::LoseFocus || e == Event::Selected; }
}  // namespace

std::chrono::steady_clock::time_point lastUserInputTime() {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastUserInput.load()));
}

std::uint64_t sendInputSerial(WindowId id, const UserInput& input) {
    if (!isFocusChange(input.event)) lastUserInput.store(std::chrono::steady_clock::now().time_since_epoch().count());
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(id);
    if (it == r.windows.end() || !it->second->open) return 0;
    WindowCore& core = *it->second;
    auto& t = r.thread(core.thread);
    // Where the window stands and how large it is are facts, not commands: they reach a window
    // under a modal one too (the frame under the login), so that its state is kept as it is.
    const bool geometry = input.event == Event::Sized || input.event == Event::Moved ||
                          input.event == Event::Maximized || input.event == Event::Iconized ||
                          input.event == Event::Restored;
    if (!geometry) {
        if (t.modalCalls > 0) return 0;
        // A window above it on its thread (a form, a modal window) takes the input; the
        // windows of other threads go on taking theirs.
        if (r.top(core.thread) != id) return 0;
    }
    if (input.event == Event::GainFocus) r.active = id;
    return r.push(core, QueuedEvent{input, true});
}

bool sendInput(WindowId id, const UserInput& input) { return sendInputSerial(id, input) != 0; }

bool waitInputHandled(WindowId window, int thread, std::uint64_t serial, std::chrono::milliseconds timeout) {
    auto& r = uiRegistry();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(r.mutex);
    for (;;) {
        auto it = r.windows.find(window);
        bool taken = it == r.windows.end() || !it->second->open || it->second->taken >= serial;
        // Every wait begun after the thread's latest take comes after this input was taken.
        auto& t = r.thread(thread);
        if (taken && t.waiting && t.waitSerial > t.takenAtWait) return true;
        // The thread put a window or a prompt over this one before it took the input: the input
        // waits for what the user does there.
        bool covered = r.top(thread) != window || t.modalCalls > 0;
        if (!taken && covered && t.waiting) return true;
        if (!threadRunning(thread)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        r.changed.wait_for(lock, std::chrono::milliseconds(5));
    }
}

bool post(Event event, int control, WindowId window) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end() || !it->second->open) return false;
    UserInput in;
    in.event = event;
    in.control = control;
    r.push(*it->second, QueuedEvent{in, false});
    return true;
}

bool postToThread(Event event, int control, int threadNumber) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    WindowId id = r.top(threadNumber);
    if (id == 0) return false;
    UserInput in;
    in.event = event;
    in.control = control;
    r.push(*r.windows.at(id), QueuedEvent{in, false});
    return true;
}

WindowId topWindow(int threadNumber) {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    return r.top(threadNumber);
}

WindowId activeWindow() {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    return r.active;
}

int activeWindowThread() {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(r.active);
    return it == r.windows.end() ? 0 : it->second->thread;
}

std::vector<WindowProps> openWindows() {
    auto& r = uiRegistry();
    std::lock_guard lock(r.mutex);
    std::vector<WindowProps> out;
    for (WindowId id : r.openOrder) out.push_back(r.windows.at(id)->props);
    return out;
}

bool closeOtherThreads(std::chrono::milliseconds timeout) {
    auto& r = uiRegistry();
    int own = threadNumber();
    std::set<WindowId> asked;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(r.mutex);
    for (;;) {
        bool any = false;
        for (auto& [number, t] : r.threads) {
            if (number == own || t.stack.empty()) continue;
            any = true;
            WindowId top = t.stack.back();
            if (asked.insert(top).second) {
                UserInput in(Event::CloseDown);
                r.push(*r.windows.at(top), QueuedEvent{in, false});
            }
        }
        if (!any) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        r.changed.wait_for(lock, std::chrono::milliseconds(10));
    }
}

}  // namespace rt
