#include "core/helpers/shell_helpers.h"

#include "runtime/os/process.h"
#include "runtime/text/strings.h"
#include "runtime/thread/shared.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {
rt::Shared<std::string> lastFile;
}  // namespace

std::string ShellErrorText(int code) {
    switch (code) {
    case 0: return "Out of memory or file is corrupt when running program";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 5: return "Sharing violation";
    case 6: return "Data segment error";
    case 8: return "Not enough memory to run program";
    case 10: return "Incorrect Windows version";
    case 11: return "Invalid program file.  Non Windows or corrupt .exe file";
    case 12: return "Not a Windows program";
    case 13: return "MS-DOS 4.0 program";
    case 14: return "Unknown program type";
    case 15: return "Can not run a real mode program";
    case 16: return "This program is already running and can only have one instance running";
    case 19: return "This is a compressed program file";
    case 20: return "One or more run time libraries are missing or corrupt";
    case 21: return "This program requires 32bit extension for Windows";
    case 31: return "No program associated with this file";
    default: return {};
    }
}

void RunShellExecute(long /*windowHandle: the box belongs to the calling thread's window*/, std::string_view file) {
    std::string name(rt::clip(rt::cutChars(file, 255)));
    // A real line break, not the "|" of other message texts.
    auto textOf = [name](int code) {
        const std::string text = ShellErrorText(code);
        return text.empty() ? text : text + "\r\n" + name;
    };
    // The opener may find only after a while that no program takes the file: the caller has gone
    // on by then, so the box comes on a thread of its own.
    rt::ShellOpenResult r = rt::shellOpen(name, [textOf](int code) {
        const std::string text = textOf(code);
        if (!text.empty()) rt::startThread([text] { rt::message(text); });
    });
    if (r.code > 32) return;
    const std::string text = textOf(r.code);
    if (!text.empty()) rt::message(text);
}

void ShellOpenFile(std::string_view file) {
    std::string name(rt::clip(rt::cutChars(file, 255)));
    lastFile.set(name);
    RunShellExecute(static_cast<long>(rt::topWindow(rt::threadNumber())), name);
}

std::string LastShellOpenFile() { return lastFile.get(); }
