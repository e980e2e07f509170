#pragma once
// Shared bookkeeping of open windows, their queues and the user-wait state of each thread.
// Internal to runtime/ui.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/ui/event.h"
#include "runtime/ui/model.h"

namespace rt {

class Window;

struct QueuedEvent {
    UserInput input;
    bool fromUser = false;
    std::uint64_t serial = 0;  // number of the input, rising across all windows
};

struct WindowCore {
    WindowId id = 0;
    int thread = 0;
    Window* window = nullptr;  // used on the owning thread only
    std::deque<QueuedEvent> queue;
    bool open = false;
    bool modal = false;
    WindowProps props;        // copy for look-ups from other threads, refreshed at publication
    std::uint64_t taken = 0;  // serial of the last input accept() took from the queue
};

struct ThreadUi {
    std::vector<WindowId> stack;    // open windows of the thread, top last
    int modalCalls = 0;             // message boxes and dialogs in progress
    bool waiting = false;           // blocked until the user acts: in accept(), or its prompt is shown
    std::uint64_t waitSerial = 0;   // counts the times the thread began waiting
    std::uint64_t takenAtWait = 0;  // waitSerial when accept() last took an input
    bool releasePending = false;    // the display gave back hosted controls the thread is to let go
};

struct UiRegistry {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<WindowId, std::shared_ptr<WindowCore>> windows;
    std::vector<WindowId> openOrder;
    std::map<int, ThreadUi> threads;
    WindowId nextId = 1;
    WindowId active = 0;
    std::uint64_t lastInput = 0;  // serial of the newest queued input

    // With the mutex held.
    ThreadUi& thread(int number) { return threads[number]; }
    WindowId top(int number) {
        auto it = threads.find(number);
        return it == threads.end() || it->second.stack.empty() ? 0 : it->second.stack.back();
    }
    void beginWait(int number) {
        auto& t = threads[number];
        t.waiting = true;
        ++t.waitSerial;
        changed.notify_all();
    }
    void endWait(int number) { threads[number].waiting = false; }
    // Queues an event; wakes the thread when the window is its top one. Returns its serial.
    std::uint64_t push(WindowCore& core, QueuedEvent ev);
};

UiRegistry& uiRegistry();

// Brackets a modal call of the calling thread: its windows take no input meanwhile. The thread
// counts as waiting for the user only once the display reports the prompt shown (promptShown).
class ModalCall {
public:
    ModalCall();
    ~ModalCall();
    WindowId owner() const { return owner_; }
    ModalCall(const ModalCall&) = delete;
    ModalCall& operator=(const ModalCall&) = delete;

private:
    WindowId owner_ = 0;
};

// For the test driver: the wait serial of a thread, and waiting until it waits for the user
// again (serial above `after`) or has ended.
std::uint64_t threadWaitSerial(int thread);
// Why a window takes no input now, for test failures; empty when it does.
std::string inputRefusal(WindowId id);
bool waitThreadIdle(int thread, std::uint64_t after, std::chrono::milliseconds timeout);

// sendInput that tells which input it queued: its serial, 0 when the window took none.
std::uint64_t sendInputSerial(WindowId id, const UserInput& input);
// Waits until accept() has taken input `serial` of `window` (or the window has closed, which
// drops what was queued) and its thread waits for the user again after that, or has ended;
// or until the thread, before taking it, waits for the user in a window or prompt it put over
// that window.
bool waitInputHandled(WindowId window, int thread, std::uint64_t serial, std::chrono::milliseconds timeout);

}  // namespace rt
