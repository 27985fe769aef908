// Arbitrary text as a console number: the lenient reading of the consoles and the exact one of
// brisco-cli's register arguments. Neither reads outside the text; an exact number is within its
// maximum and is what the lenient reading gives for the same text.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "settings/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte picks the maximum and the lenient reading's base.
    const uint32_t maxima[] = {0xFF, 0xFFFF, 0xFFFFFFFF, 0};
    const uint32_t maximum = maxima[data[0] & 3];
    const int32_t base = data[0] >> 2;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    static_cast<void>(TVR::parseConsoleNumber(text, base));
    const auto exact = TVR::parseConsoleNumberExact(text, maximum);
    if (exact) {
        FUZZ_CHECK(*exact <= maximum);
        FUZZ_CHECK(TVR::parseConsoleNumber(text, 10) == static_cast<int32_t>(*exact));
    }
    return 0;
}
