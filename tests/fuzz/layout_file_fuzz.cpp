// The pivot layout file "Cube.CUB": whatever a file holds, reading it ends cleanly, and what was
// read writes and reads back the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pivot/layout_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

std::string tempName(const char* what) { return "/tmp/voq-fuzz-" + std::to_string(::getpid()) + "-" + what + ".CUB"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string input = tempName("in"), again = tempName("again");
    if (std::FILE* f = std::fopen(input.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    pivot::Layout layout;
    std::string error;
    if (pivot::readLayout(input, layout, error)) {
        std::string writeError;
        fuzz::require(pivot::writeLayout(again, layout, writeError));
        pivot::Layout back;
        fuzz::require(pivot::readLayout(again, back, writeError));
        fuzz::require(back.fields.size() == layout.fields.size() && back.widths == layout.widths);
    }
    return 0;
}
