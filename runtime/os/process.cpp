#include "runtime/os/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/os/path.h"

extern char** environ;

namespace rt {
namespace {

std::mutex& openerMutex() {
    static std::mutex m;
    return m;
}

std::string& opener() {
    static std::string o = "xdg-open";
    return o;
}

bool isExecutableFile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

int codeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return codeOf(status);
}

// Children nobody waits for, reaped by one thread that lives as long as the program. A thread
// per child ended whenever its child did, the program's own end among those moments, where a
// thread half gone trips whatever inspects the threads then (a leak check).
class Reaper {
public:
    static Reaper& shared() {
        static Reaper* reaper = new Reaper;  // never destroyed: its thread outlives main
        return *reaper;
    }
    void add(pid_t pid, std::function<void(int exitCode)> then) {
        std::lock_guard<std::mutex> lock(m_);
        children_.push_back({pid, std::move(then)});
        if (!started_) {
            std::thread([this] { loop(); }).detach();
            started_ = true;
        }
        more_.notify_one();
    }

private:
    struct Child {
        pid_t pid;
        std::function<void(int)> then;
    };
    void loop() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            more_.wait(lock, [&] { return !children_.empty(); });
            // Only this thread takes children out: a place stays valid while others add.
            for (std::size_t i = 0; i < children_.size();) {
                int status = 0;
                const pid_t done = ::waitpid(children_[i].pid, &status, WNOHANG);
                if (done == 0 || (done < 0 && errno == EINTR)) {
                    ++i;
                    continue;
                }
                const int code = done == children_[i].pid ? codeOf(status) : -1;
                std::function<void(int)> then = std::move(children_[i].then);
                children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
                if (then) {
                    lock.unlock();
                    then(code);
                    lock.lock();
                }
            }
            if (!children_.empty()) more_.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    std::mutex m_;
    std::condition_variable more_;
    std::vector<Child> children_;
    bool started_ = false;
};

}  // namespace

namespace {

// Starts the program and gives its process id; waits for nothing.
ProcessResult launch(std::string_view program, const std::vector<std::string>& args, pid_t& pid) {
    ProcessResult result;
    if (program.empty()) {
        result.startError = ENOENT;
        result.errorText = std::strerror(ENOENT);
        return result;
    }

    // A Windows program name ("VOQSECURE.EXE") also finds its stand-in without the extension.
    std::vector<std::string> names{std::string(program)};
    if (program.size() > 4 && namesEqualNoCase(program.substr(program.size() - 4), ".exe"))
        names.emplace_back(program.substr(0, program.size() - 4));

    std::string file;
    bool searchPath = false;
    if (program.find_first_of("/\\") != std::string_view::npos) {
        file = resolvePath(program);
        for (const auto& name : names) {
            const std::string candidate = resolvePath(name);
            if (isExecutableFile(candidate)) {
                file = candidate;
                break;
            }
        }
    } else {
        // Windows finds a program beside the running one before it looks along the path.
        const std::string folder = programFolder();
        for (const auto& name : names) {
            const std::string beside = resolvePath(folder + "/" + name);
            if (isExecutableFile(beside)) {
                file = beside;
                break;
            }
        }
        if (file.empty()) {
            const char* pathVar = std::getenv("PATH");
            std::string_view dirs = pathVar ? pathVar : "/usr/local/bin:/usr/bin:/bin";
            for (const auto& name : names) {
                for (std::string_view rest = dirs; file.empty();) {
                    const auto cut = rest.find(':');
                    const std::string dir(rest.substr(0, cut));
                    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
                    if (isExecutableFile(candidate)) file = candidate;
                    if (cut == std::string_view::npos) break;
                    rest.remove_prefix(cut + 1);
                }
                if (!file.empty()) break;
            }
        }
        if (file.empty()) {
            file = std::string(program);
            searchPath = true;  // gives the system's own reason why it cannot start
        }
    }

    std::vector<std::string> argStore;
    argStore.reserve(args.size() + 1);
    argStore.emplace_back(program);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid = 0;
    const int rc = searchPath ? ::posix_spawnp(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ)
                              : ::posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        result.startError = rc;
        result.errorText = std::strerror(rc);
        return result;
    }
    result.started = true;
    return result;
}

// The exit code once the process has ended within `limit`; -2 while it still runs (it is then
// reaped in the background, and `lateExit` hears of its exit code when it ends).
int exitWithin(pid_t pid, std::chrono::milliseconds limit, std::function<void(int exitCode)> lateExit = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return codeOf(status);
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Reaper::shared().add(pid, std::move(lateExit));
    return -2;
}

}  // namespace

ProcessResult startProcess(std::string_view program, const std::vector<std::string>& args, bool wait) {
    return startProcess(program, args, wait, {});
}

ProcessResult startProcess(std::string_view program, const std::vector<std::string>& args, bool wait,
                           const std::function<void(int pid)>& started) {
    pid_t pid = 0;
    ProcessResult result = launch(program, args, pid);
    if (!result.started) return result;
    if (started) started(static_cast<int>(pid));
    if (wait) {
        result.exitCode = waitFor(pid);
    } else {
        Reaper::shared().add(pid, {});
    }
    return result;
}

ShellOpenResult shellOpen(std::string_view path, std::function<void(int code)> lateFailure) {
    ShellOpenResult result;
    const std::string given(path);
    const bool isUrl = given.find("://") != std::string::npos || given.rfind("mailto:", 0) == 0;
    std::string target = given;
    if (!isUrl) {
        target = resolvePath(given);
        if (target.empty() || (!fileExists(target) && !folderExists(target))) {
            const auto cut = target.rfind('/');
            const bool folderThere = cut == std::string::npos || cut == 0 || folderExists(target.substr(0, cut));
            result.code = folderThere ? kShellFileNotFound : kShellPathNotFound;
            return result;
        }
    }
    std::string program;
    {
        std::lock_guard lock(openerMutex());
        program = opener();
    }
    // The opener hands the file on and ends; when it ends with an error no program could open
    // the file. One still running after a moment runs the program itself: that is success.
    // On a busy machine the opener may take longer than that moment to find that nothing takes
    // the file: an error exit within a longer while is still its answer, told afterwards. Later
    // than that, the exit is the opened program's own.
    pid_t pid = 0;
    const ProcessResult started = launch(program, {target}, pid);
    std::function<void(int)> lateExit;
    if (lateFailure) {
        const auto launched = std::chrono::steady_clock::now();
        lateExit = [launched, lateFailure = std::move(lateFailure)](int exitCode) {
            if (exitCode != 0 && std::chrono::steady_clock::now() - launched < kShellOpenerAnswerTime)
                lateFailure(kShellNoAssociation);
        };
    }
    const int exit = started.started ? exitWithin(pid, std::chrono::seconds(2), std::move(lateExit)) : -1;
    if (exit != 0 && exit != -2) {
        result.code = kShellNoAssociation;
        return result;
    }
    result.started = true;
    result.code = kShellOpenOk;
    return result;
}

void setShellOpenProgram(std::string program) {
    std::lock_guard lock(openerMutex());
    opener() = program.empty() ? std::string("xdg-open") : std::move(program);
}

}  // namespace rt
