#pragma once
// Program threads. Each procedure started "on a thread of its own" runs on a program thread with a
// number from 1 to 64: the lowest free one, so the first thread started (the main routine) is 1
// and numbers come back into use when their thread ends. The process main thread is not a program
// thread: it belongs to the display.

#include <chrono>
#include <functional>
#include <string>

namespace rt {

inline constexpr int MaxProgramThreads = 64;

using ThreadProcedure = std::function<void(const std::string& handOver)>;
using ThreadHook = std::function<void()>;

// Starts proc on a new program thread, handing it handOver. Returns the thread's number, or 0
// when all 64 numbers are in use (nothing is started then).
int startThread(ThreadProcedure proc, std::string handOver = {});
int startThread(std::function<void()> proc);

// Number of the calling program thread; 0 on any other thread (the display thread, a test body).
int threadNumber();

// True while thread `number` runs (from startThread until its end hooks have finished).
bool threadRunning(int number);
// Waits until thread `number` has ended; returns at once when it is not running. A thread must
// not wait for itself.
void waitThread(int number);
// As above with a time limit; false when the thread still runs after `timeout`.
bool waitThread(int number, std::chrono::milliseconds timeout);
// Number of program threads that run now.
int runningThreadCount();
// Waits until no program thread runs; false on time-out.
bool waitAllThreads(std::chrono::milliseconds timeout);

// What happens when an exception ends a procedure: the handler runs on the failing thread, with
// its number and the exception's text (empty for exceptions that are not std::exception), after
// the procedure was left and before the thread's end hooks. Without a handler the failure is
// written to standard error and the program goes on. The display's start-up installs one that
// reports the failure to the user and ends the program. Returns the handler set before.
using ProcedureFailureHandler = std::function<void(int thread, const std::string& what)>;
ProcedureFailureHandler setProcedureFailureHandler(ProcedureFailureHandler handler);

// Hooks run on every new program thread, on that thread: start hooks after its per-thread state
// was built and before its procedure (in the order added), end hooks after the procedure
// returned (in reverse order). The data dictionary is built and released through them.
int addThreadStartHook(ThreadHook hook);
int addThreadEndHook(ThreadHook hook);
void removeThreadHook(int hookId);

// The runtime's process-wide thread lock (recursive): brackets work that must not interleave
// with another program thread, such as calls into a hosted control.
void lockThread();
void unlockThread();

class ThreadLockGuard {
public:
    ThreadLockGuard() { lockThread(); }
    ~ThreadLockGuard() { unlockThread(); }
    ThreadLockGuard(const ThreadLockGuard&) = delete;
    ThreadLockGuard& operator=(const ThreadLockGuard&) = delete;
};

}  // namespace rt
