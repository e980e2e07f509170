#include "core/security/halt.h"

#include <string>

#include "runtime/os/program_end.h"
#include "runtime/os/trace.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/display.h"

namespace {
// Thrown by a replacement end that returned, so that HaltProgram returns to its caller.
struct HaltReturned {};
}  // namespace

void setProgramEnd(std::function<void(int)> end) {
    if (!end) {
        rt::setProgramEndHandler({});
        return;
    }
    rt::setProgramEndHandler([end = std::move(end)](int exitCode) {
        end(exitCode);
        throw HaltReturned{};
    });
}

void HaltProgram(std::string_view text, int exitCode) {
    if (rt::hasDisplay()) {
        rt::message(text, "Halt");
    } else {
        rt::trace("Halt: " + std::string(text));
    }
    // Other threads may hold windows and tables: the process ends at once, as the halt of the
    // system's design does; every change of the local files is committed already.
    try {
        rt::endProgram(exitCode);
    } catch (const HaltReturned&) {
    }
}
