#pragma once

// brisco-cli band: one band of the camera's colour substitution (chroma-key enhancer), printed
// as the camera holds it, or changed by a --set text and uploaded the way the panel does.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_session.h"

namespace TVR {
struct ColorSubsInfo;
}

namespace TVR::Cli {

extern const char* const kBandHelp;

// What a --set text changes; unset fields keep the camera's value.
struct BandChanges {
    std::optional<bool> on;
    std::optional<int> hue;
    std::optional<int> tolerance;
    std::optional<std::pair<int, int>> saturation;
    std::optional<std::pair<int, int>> luminance;
    std::optional<uint32_t> rgb;  // red bits 0-7, green 8-15, blue 16-23
};

struct BandChangesParse {
    std::optional<BandChanges> changes;
    std::string error;  // why the text was refused
};

// "on", "off", "hue=H[/T]", "tol=T", "sat=A-B", "luma=A-B", "colour=#RRGGBB" (or "color="),
// separated by commas; each at most once. Hostile text gives an error, never a partial result.
BandChangesParse parseBandChanges(std::string_view text);
void applyBandChanges(const BandChanges& changes, ColorSubsInfo& band);

int runBand(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err);

}  // namespace TVR::Cli
