#include "core/security/halt.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "runtime/os/trace.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/display.h"

namespace {
std::mutex endMutex;
std::function<void(int)> programEnd;

// Other threads may hold windows and tables: the process ends at once, as the halt of the
// system's design does; every change of the local files is committed already.
[[noreturn]] void endProcess(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
}  // namespace

void setProgramEnd(std::function<void(int)> end) {
    std::lock_guard lock(endMutex);
    programEnd = std::move(end);
}

void HaltProgram(std::string_view text, int exitCode) {
    if (rt::hasDisplay()) {
        rt::message(text, "Halt");
    } else {
        rt::trace("Halt: " + std::string(text));
    }
    std::function<void(int)> end;
    {
        std::lock_guard lock(endMutex);
        end = programEnd;
    }
    if (end) {
        end(exitCode);
        return;
    }
    endProcess(exitCode);
}
