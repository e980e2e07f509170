// Number formats: the pivot control's number formats and the pictures of the picture engine,
// both ways, with any format text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "pivot/number_format.h"
#include "runtime/text/picture.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    const auto p = fuzz::parts(data, size, 3);
    if (pivot::validNumberFormat(p[0])) pivot::formatNumber(value, p[0]);
    pivot::spreadsheetFormat(p[0]);
    const std::int64_t whole = static_cast<std::int64_t>(size) * 7919 - 40000;
    const std::string shown = rt::formatPicture(whole, p[1]);
    rt::deformatPicture(shown, p[1]);
    rt::formatPicture(p[2], p[1]);
    rt::deformatPicture(p[2], p[1]);
    rt::pictureWidth(p[1]);
    return 0;
}
