// The cells of the query exports (CSV, HTML and text), and their Windows-1252 form, for any
// value and width.
#include <cstddef>
#include <cstdint>
#include <string>

#include "queries/exports/query_exports.h"
#include "runtime/text/strings.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const char* const kinds[] = {"CSV", "CSVHeader", "HTML", "HTMLHeader", "TXT", "TXTHeader"};
    const char* kind = kinds[data[0] % 6];
    const int width = static_cast<int>(data[1] % 200) - 20;
    const std::string value(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string cell = FormatExportCell(value, kind, width);
    rt::toCp1252(cell);
    fuzz::require(rt::fromCp1252(rt::toCp1252(cell)).size() >= rt::toCp1252(cell).size());
    rt::textFromFile(value);
    return 0;
}
