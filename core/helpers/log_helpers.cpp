#include "core/helpers/log_helpers.h"

#include "runtime/os/path.h"
#include "runtime/os/trace.h"
#include "runtime/text/strings.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex logMutex;  // one writer at a time, so lines of two threads never mix
std::mutex traceSwitchMutex;
std::function<bool()> traceSwitch;
}  // namespace

int AppendLogLine(std::string_view file, std::string_view line, int deviceFlag, int endFlag, int lineEndFlag) {
    if (deviceFlag != 0) return 1;  // no print device to write to
    std::string target(rt::clip(rt::cutChars(file, 143)));
    std::string text(rt::cutChars(line, 5000));
    if ((lineEndFlag != 0 || endFlag == 1) && rt::clip(line) != "\f") {
        text = std::string(rt::clip(text)) + "\r\n";
    } else {
        text = std::string(rt::clip(text));
    }
    std::lock_guard lock(logMutex);
    std::FILE* f = std::fopen(rt::resolvePath(target).c_str(), "ab");
    if (!f) return 1;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
        std::fclose(f);
        return 2;
    }
    if (std::fclose(f) != 0) return 3;
    return 0;
}

void SetDebugTraceSwitch(std::function<bool()> isOn) {
    std::lock_guard lock(traceSwitchMutex);
    traceSwitch = std::move(isOn);
}

void DebugTrace(std::string_view text) {
    {
        std::lock_guard lock(traceSwitchMutex);
        if (!traceSwitch || !traceSwitch()) return;
    }
    std::string out = "[VOQKivorant]- " + std::string(rt::clip(text));
    rt::trace(rt::cutChars(out, 1023));
}
