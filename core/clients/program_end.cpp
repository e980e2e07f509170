#include "core/clients/program_end.h"

#include <cstdio>
#include <cstdlib>

#include "core/startup/startup.h"
#include "runtime/os/process.h"
#include "runtime/thread/shared.h"
#include "runtime/ui/dialogs.h"

namespace {
rt::Shared<std::function<void(int)>> haltHandler;
}

void HaltProgram(int exitCode) {
    if (auto handler = haltHandler.get()) handler(exitCode);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

void setHaltHandler(std::function<void(int)> handler) { haltHandler.set(std::move(handler)); }

bool RestartProgram() {
    // The full path: a bare file name would be looked for along PATH, not where we run from.
    const std::string program = ProgramFilePath();
    rt::ProcessResult started = rt::startProcess(program, {}, false);
    if (!started.started) {
        rt::message("Das Programm " + program + " konnte nicht neu gestartet werden.||" + started.errorText,
                    "Fehler", rt::MessageIcon::Hand);
        return false;
    }
    HaltProgram(0);
}
