#include "core/clients/program_end.h"

#include <string>

#include "core/startup/startup.h"
#include "runtime/os/process.h"
#include "runtime/os/program_end.h"
#include "runtime/ui/dialogs.h"

void EndProgramNow(int exitCode) { rt::endProgram(exitCode); }

bool RestartProgram() {
    // The full path: a bare file name would be looked for along PATH, not where we run from.
    const std::string program = ProgramFilePath();
    rt::ProcessResult started = rt::startProcess(program, {}, false);
    if (!started.started) {
        rt::message("Das Programm " + program + " konnte nicht neu gestartet werden.||" + started.errorText, "Fehler",
                    rt::MessageIcon::Hand);
        return false;
    }
    EndProgramNow(0);
}
