#pragma once
// The one way the program ends: at once, from any thread, with an exit code.
#include <functional>

namespace rt {

using ProgramEndHandler = std::function<void(int exitCode)>;

// Ends the whole process with exitCode. Standard output and error are flushed; destructors and
// exit handlers do not run, because other program threads may still hold windows, locks and
// tables (every change of the local files is committed already).
// The handler, when one is set, runs first on the calling thread: a test's handler throws to get
// its thread back, a display's handler may take its windows down. When it returns, the process
// ends as above. Once a thread has begun the end, other callers wait for it: the first code wins.
[[noreturn]] void endProgram(int exitCode);

// Installs the handler (tests, the display); an empty one restores the plain end. Gives the
// handler set before.
ProgramEndHandler setProgramEndHandler(ProgramEndHandler handler);

}  // namespace rt
