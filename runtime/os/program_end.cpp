#include "runtime/os/program_end.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace rt {

namespace {
std::mutex handlerMutex;
ProgramEndHandler& handlerSlot() {
    // Never destroyed: a thread may end the program while static objects are torn down.
    static auto* slot = new ProgramEndHandler;
    return *slot;
}
std::atomic<bool> ending{false};
}  // namespace

ProgramEndHandler setProgramEndHandler(ProgramEndHandler handler) {
    std::lock_guard lock(handlerMutex);
    return std::exchange(handlerSlot(), std::move(handler));
}

void endProgram(int exitCode) {
    ProgramEndHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = handlerSlot();
    }
    // Called outside the lock: the handler may install another one or end the program itself.
    if (handler) handler(exitCode);
    if (ending.exchange(true)) {
        // Another thread is ending the process already; its code is the one that counts.
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace rt
