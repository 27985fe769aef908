#pragma once

// The noise reduction window's values without its widgets: the luma and chroma strengths.

#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kKeyNrLuma = "VNR_LUMA";
inline constexpr std::string_view kKeyNrChroma = "VNR_CHROMA";

class NrVideoModel : public TableValueOwner {
public:
    static constexpr int kStrengthMaximum = 127;

    NrVideoModel(SettingsStore& store, ImgSensor& camera);

    // A strength of 0 shows its group greyed.
    bool groupEnabled(std::string_view key);
};

}  // namespace TVR
