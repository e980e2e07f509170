#pragma once
// Helpers the ODBC cube tests share.
#include <chrono>
#include <string>
#include <thread>

#include "runtime/os/files.h"
#include "tests/support/command_output.h"

namespace odbctest {

// Answers to prompts reach the program thread a little later than the test's next step.
template <class Pred>
bool eventually(Pred pred) {
    for (int i = 0; i < 500 && !pred(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pred();
}

// A file's whole content; empty when it cannot be read.
inline std::string readAll(const std::string& file) { return rt::readFile(file).value_or(std::string()); }

// The rows of a CSV file as Python's csv module reads them, one JSON list a line.
inline std::string csvRows(const std::string& file) {
    return voq::test::commandOutput(
        "python3 -c \"import csv,json,sys\n"
        "for r in csv.reader(open(sys.argv[1], encoding='utf-8', newline=''), "
        "delimiter=';'): print(json.dumps(r, ensure_ascii=False))\" '" +
        file + "' 2>&1");
}

}  // namespace odbctest
