#include "runtime/os/trace.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

namespace rt {
namespace {

std::recursive_mutex& sinkMutex() {
    static std::recursive_mutex m;
    return m;
}

std::function<void(std::string_view)>& capture() {
    static std::function<void(std::string_view)> c;
    return c;
}

}  // namespace

void trace(std::string_view line) {
    std::lock_guard lock(sinkMutex());
    if (auto& c = capture()) {
        c(line);
        return;
    }
    std::string out(line);
    out += '\n';
    const char* p = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void setTraceCapture(std::function<void(std::string_view)> c) {
    std::lock_guard lock(sinkMutex());
    capture() = std::move(c);
}

}  // namespace rt
