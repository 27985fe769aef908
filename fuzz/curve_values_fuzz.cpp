// Arbitrary text as brisco-cli's curve --set file: either exactly 64 numbers within the range
// or an error message, never both.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/curve_command.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto r = TVR::Cli::parseCurveValues(text, -180.0, 180.0);
    if (r.error.empty()) {
        FUZZ_CHECK(r.values.size() == 64);
        for (double v : r.values) FUZZ_CHECK(v >= -180.0 && v <= 180.0);
    } else {
        FUZZ_CHECK(r.values.empty());
    }
    return 0;
}
