// Arbitrary text as a colour matrix: the window's text and brisco-cli's cmx --set. An accepted
// brisco-cli matrix is one the camera can hold, and the window's text formats back to nine
// numbers that parse again.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/cmx_command.h"
#include "fuzz_check.h"
#include "tools/cmx/cmx_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto set = TVR::Cli::parseCmxSet(text);
    if (set.matrix) {
        FUZZ_CHECK(TVR::cmxInRange(*set.matrix));
    } else {
        FUZZ_CHECK(!set.error.empty());
    }
    if (const auto m = TVR::parseCmxText(text)) {
        const auto again = TVR::parseCmxText(TVR::formatCmx(*m));
        FUZZ_CHECK(again.has_value());
    }
    return 0;
}
