#pragma once
// Running an outside checker (pdftotext, python3, ...) from a test and reading what it printed.
#include <cstdio>
#include <memory>
#include <string>

namespace voq::test {

// Everything the command wrote to standard output (add " 2>&1" for its errors too).
inline std::string commandOutput(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
    return out;
}

// Runs of blanks as one blank (text laid out in columns, compared by its words).
inline std::string squeezeBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || out.empty() || out.back() != ' ') out += c;
    return out;
}

}  // namespace voq::test
