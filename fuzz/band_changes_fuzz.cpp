// Arbitrary text as brisco-cli's band --set changes: a refusal always says why, and an accepted
// text holds only values a band can take.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cli/band_command.h"
#include "fuzz_check.h"
#include "tools/greenscreen/green_screen_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = TVR::Cli::parseBandChanges(text);
    if (!parsed.changes) {
        FUZZ_CHECK(!parsed.error.empty());
        return 0;
    }
    const TVR::Cli::BandChanges& c = *parsed.changes;
    if (c.hue) FUZZ_CHECK(*c.hue >= 0 && *c.hue <= TVR::kMaxHue);
    if (c.tolerance) FUZZ_CHECK(*c.tolerance >= 0 && *c.tolerance <= TVR::kMaxHueTolerance);
    for (const auto& range : {c.saturation, c.luminance}) {
        if (range)
            FUZZ_CHECK(range->first >= 0 && range->first <= 255 && range->second >= 0 &&
                       range->second <= 255);
    }
    if (c.rgb) FUZZ_CHECK(*c.rgb <= 0xFFFFFF);
    TVR::ColorSubsInfo band;
    TVR::Cli::applyBandChanges(c, band);
    return 0;
}
