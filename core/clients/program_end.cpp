#include "core/clients/program_end.h"

#include <cstdio>
#include <cstdlib>

#include "core/startup/startup.h"
#include "runtime/os/process.h"
#include "runtime/thread/shared.h"
#include "runtime/ui/dialogs.h"

namespace {
rt::Shared<std::function<void(int)>> endHandler;
}

void EndProgramNow(int exitCode) {
    if (auto handler = endHandler.get()) handler(exitCode);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

void setEndProgramHandler(std::function<void(int)> handler) { endHandler.set(std::move(handler)); }

bool RestartProgram() {
    // The full path: a bare file name would be looked for along PATH, not where we run from.
    const std::string program = ProgramFilePath();
    rt::ProcessResult started = rt::startProcess(program, {}, false);
    if (!started.started) {
        rt::message("Das Programm " + program + " konnte nicht neu gestartet werden.||" + started.errorText,
                    "Fehler", rt::MessageIcon::Hand);
        return false;
    }
    EndProgramNow(0);
}
