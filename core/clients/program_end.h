// Ending the running program at once (no closing steps), and starting it anew.
#pragma once

// Ends the process at once with the exit code; nothing of the main routine's closing steps runs.
[[noreturn]] void EndProgramNow(int exitCode);

// Starts the running program again by its full path, without waiting, and ends this process
// once the new one has started. When it cannot be started, the reason is shown and false
// returned; this process goes on.
bool RestartProgram();
