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
};

struct WindowCore {
  WindowId id = 0;
  int thread = 0;
  Window* window = nullptr; // used on the owning thread only
  std::deque<QueuedEvent> queue;
  bool open = false;
  bool modal = false;
  WindowProps props; // copy for look-ups from other threads, refreshed at publication
};

struct ThreadUi {
  std::vector<WindowId> stack; // open windows of the thread, top last
  int modalCalls = 0;          // message boxes and dialogs in progress
  bool waiting = false;        // blocked until the user acts
  std::uint64_t waitSerial = 0; // counts the times the thread began waiting
};

struct UiRegistry {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<WindowId, std::shared_ptr<WindowCore>> windows;
  std::vector<WindowId> openOrder;
  std::map<int, ThreadUi> threads;
  WindowId nextId = 1;
  WindowId active = 0;

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
  // Queues an event; wakes the thread when the window is its top one.
  void push(WindowCore& core, QueuedEvent ev);
};

UiRegistry& uiRegistry();

// Marks the calling thread as waiting for the user during a modal call.
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

} // namespace rt
