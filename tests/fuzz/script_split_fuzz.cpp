// Script texts: the GO batches of a script and its CREATE words turned into ALTER.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/scripts/sql_scripts.h"
#include "core/updater/updater.h"
#include "runtime/text/strings.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    std::size_t kept = 0;
    for (const std::string& batch : SplitGoBatches(script)) {
        fuzz::require(batch.find_first_not_of(" \t\r\n") != std::string::npos);
        kept += batch.size();
    }
    fuzz::require(kept <= script.size());
    const std::string altered = CreateWordsToAlter(script);
    // Each CREATE (six letters) becomes ALTER (five): never longer, and none is left standing
    // on its own.
    fuzz::require(altered.size() <= script.size());
    fuzz::require((script.size() - altered.size()) * 6 <= script.size());
    KRUUpdater::Q(script);
    KRUUpdater::bracketed(script);
    KRUUpdater::dropSql("Function", script);
    return 0;
}
