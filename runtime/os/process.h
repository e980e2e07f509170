#pragma once
// Starting outside programs (argument vector, never a shell) and opening files with the
// desktop's associated program.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

struct ProcessResult {
    bool started = false;
    // After waiting: the program's exit code; 128 + the signal number when a signal ended it.
    int exitCode = 0;
    // When not started: the system's error number and its text.
    int startError = 0;
    std::string errorText;
};

// Starts a program with its arguments (args do not include the program itself). A program
// given with a separator is a path (resolvePath); a bare name is looked for beside the running
// program first (whatever its case), then along PATH. A name ending in ".EXE" (any case) that
// is not found as it stands is looked for without that extension. With wait, returns when it has ended;
// without, the program runs on and is reaped in the background.
ProcessResult startProcess(std::string_view program, const std::vector<std::string>& args, bool wait);
// The same, telling `started` the process id as soon as it runs (before the wait).
ProcessResult startProcess(std::string_view program, const std::vector<std::string>& args, bool wait,
                           const std::function<void(int pid)>& started);

// Shell-open codes: above 32 success; the others as the shell gives them.
inline constexpr int kShellOpenOk = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellPathNotFound = 3;
inline constexpr int kShellNoAssociation = 31;

struct ShellOpenResult {
    bool started = false;
    int code = 0;
};

// Opens a file (or a URL such as "https://..." or "mailto:...") with its default action
// through the desktop opener. A missing file gives kShellFileNotFound (its folder missing:
// kShellPathNotFound); an opener that cannot be started, or that ends with an error within a
// moment (no program opens the file), kShellNoAssociation. The opened program is not waited for.
// An opener still running after the moment is waited for in the background: when it ends with an
// error within kShellOpenerAnswerTime of its start, `lateFailure` hears kShellNoAssociation (on
// that background thread).
inline constexpr std::chrono::seconds kShellOpenerAnswerTime{30};
ShellOpenResult shellOpen(std::string_view path, std::function<void(int code)> lateFailure = {});

// The opener program, "xdg-open" unless set (tests set a stand-in). Empty restores it.
void setShellOpenProgram(std::string program);

}  // namespace rt
