#include "runtime/thread/thread.h"

#include <array>
#include <cassert>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/thread/thread_state.h"

namespace rt {
namespace {

struct Hook {
    int id;
    ThreadHook hook;
};

struct Threads {
    std::mutex mutex;
    std::condition_variable ended;
    std::array<bool, MaxProgramThreads + 1> used{};
    std::array<unsigned, MaxProgramThreads + 1> generation{};
    // The system threads behind the numbers. A thread that ended is joined when its number is
    // taken again or when someone waits for all: the process never ends while one of them is
    // still tearing itself down (its thread-local storage half gone).
    std::array<std::thread, MaxProgramThreads + 1> handle;
    int running = 0;
    std::vector<Hook> startHooks;
    std::vector<Hook> endHooks;
    int nextHookId = 1;
    ProcedureFailureHandler failureHandler;
};

// Never destroyed: a program thread may still finish while the process exits.
Threads& threads() {
    static Threads* t = new Threads;
    return *t;
}

std::recursive_mutex& programLock() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

thread_local int currentNumber = 0;

void runHooks(const std::vector<Hook>& hooks, bool reverse) {
    auto run = [](const Hook& h) {
        try {
            h.hook();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "thread %d: hook failed: %s\n", currentNumber, e.what());
        }
    };
    if (reverse) {
        for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) run(*it);
    } else {
        for (const auto& h : hooks) run(h);
    }
}

void reportFailure(int number, const std::string& what) {
    ProcedureFailureHandler handler;
    {
        auto& t = threads();
        std::lock_guard lock(t.mutex);
        handler = t.failureHandler;
    }
    if (handler) {
        try {
            handler(number, what);
            return;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "thread %d: failure handler failed: %s\n", number, e.what());
        } catch (...) {
            std::fprintf(stderr, "thread %d: failure handler failed\n", number);
        }
    }
    if (what.empty())
        std::fprintf(stderr, "thread %d: procedure ended by an exception\n", number);
    else
        std::fprintf(stderr, "thread %d: procedure ended by an exception: %s\n", number, what.c_str());
}

void threadMain(int number, ThreadProcedure proc, std::string handOver) {
    auto& t = threads();
    currentNumber = number;
    resetThreadState();
    std::vector<Hook> startHooks, endHooks;
    {
        std::lock_guard lock(t.mutex);
        startHooks = t.startHooks;
        endHooks = t.endHooks;
    }
    runHooks(startHooks, false);
    bool failed = false;
    std::string what;
    try {
        proc(handOver);
    } catch (const std::exception& e) {
        failed = true;
        what = e.what();
    } catch (...) {
        failed = true;
    }
    if (failed) reportFailure(number, what);
    proc = nullptr;  // what it captured goes before anyone learns that the thread ended
    runHooks(endHooks, true);
    resetThreadState();
    currentNumber = 0;
    std::lock_guard lock(t.mutex);
    t.used[number] = false;
    ++t.generation[number];
    --t.running;
    t.ended.notify_all();
}

}  // namespace

int startThread(ThreadProcedure proc, std::string handOver) {
    assert(proc);
    auto& t = threads();
    int number = 0;
    std::thread previous;
    {
        std::lock_guard lock(t.mutex);
        for (int n = 1; n <= MaxProgramThreads; ++n) {
            if (!t.used[n]) {
                number = n;
                break;
            }
        }
        if (number == 0) return 0;
        t.used[number] = true;
        ++t.running;
        previous = std::move(t.handle[number]);
        // Started under the lock, so that the handle is in its place before the thread can end
        // and its number be taken again (the new thread waits for the lock to read the hooks).
        try {
            t.handle[number] = std::thread(threadMain, number, std::move(proc), std::move(handOver));
        } catch (const std::system_error& e) {
            std::fprintf(stderr, "thread %d could not be started: %s\n", number, e.what());
            t.used[number] = false;
            ++t.generation[number];
            --t.running;
            t.ended.notify_all();
            number = 0;
        }
    }
    // The thread that had the number before has ended; only its last steps may still run.
    if (previous.joinable()) previous.join();
    return number;
}

int startThread(std::function<void()> proc) {
    assert(proc);
    return startThread([p = std::move(proc)](const std::string&) { p(); });
}

int threadNumber() { return currentNumber; }

bool threadRunning(int number) {
    if (number < 1 || number > MaxProgramThreads) return false;
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    return t.used[number];
}

void waitThread(int number) {
    if (number < 1 || number > MaxProgramThreads) return;
    assert(number != currentNumber && "a thread cannot wait for its own end");
    auto& t = threads();
    std::unique_lock lock(t.mutex);
    unsigned generation = t.generation[number];
    t.ended.wait(lock, [&] { return !t.used[number] || t.generation[number] != generation; });
}

bool waitThread(int number, std::chrono::milliseconds timeout) {
    if (number < 1 || number > MaxProgramThreads) return true;
    assert(number != currentNumber && "a thread cannot wait for its own end");
    auto& t = threads();
    std::unique_lock lock(t.mutex);
    unsigned generation = t.generation[number];
    return t.ended.wait_for(lock, timeout, [&] { return !t.used[number] || t.generation[number] != generation; });
}

int runningThreadCount() {
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    return t.running;
}

bool waitAllThreads(std::chrono::milliseconds timeout) {
    auto& t = threads();
    std::unique_lock lock(t.mutex);
    // A program thread waiting for all would wait for itself.
    int own = currentNumber != 0 ? 1 : 0;
    if (!t.ended.wait_for(lock, timeout, [&] { return t.running <= own; })) return false;
    // Every other thread has ended: see each one gone for good.
    std::vector<std::thread> ended;
    for (int n = 1; n <= MaxProgramThreads; ++n)
        if (!t.used[n] && t.handle[n].joinable()) ended.push_back(std::move(t.handle[n]));
    lock.unlock();
    for (auto& thread : ended) thread.join();
    return true;
}

ProcedureFailureHandler setProcedureFailureHandler(ProcedureFailureHandler handler) {
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    std::swap(t.failureHandler, handler);
    return handler;
}

int addThreadStartHook(ThreadHook hook) {
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    int id = t.nextHookId++;
    t.startHooks.push_back({id, std::move(hook)});
    return id;
}

int addThreadEndHook(ThreadHook hook) {
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    int id = t.nextHookId++;
    t.endHooks.push_back({id, std::move(hook)});
    return id;
}

void removeThreadHook(int hookId) {
    auto& t = threads();
    std::lock_guard lock(t.mutex);
    std::erase_if(t.startHooks, [&](const Hook& h) { return h.id == hookId; });
    std::erase_if(t.endHooks, [&](const Hook& h) { return h.id == hookId; });
}

void lockThread() { programLock().lock(); }
void unlockThread() { programLock().unlock(); }

}  // namespace rt
