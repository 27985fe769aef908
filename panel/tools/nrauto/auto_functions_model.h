#pragma once

// The auto-functions window's values without its widgets: the exposure and white-balance set
// points and the update interval of both.

#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kKeyAfnSetpointExposure = "AFN_SETPOINT_EXP";
inline constexpr std::string_view kKeyAfnSetpointWb = "AFN_SETPOINT_WB";
inline constexpr std::string_view kKeyAfnUpdateInterval = "AFN_UPDATE_INTERVAL";

class AutoFunctionsModel : public TableValueOwner {
public:
    static constexpr int kExposureMaximum = 255;
    static constexpr int kWhiteBalanceMaximum = 2047;
    // The interval is counted in frames from this FX3 build on, in a finer unit before.
    static constexpr int kIntervalFramesBuild = 52;
    static constexpr int kIntervalFramesMaximum = 120;
    static constexpr int kIntervalFineMaximum = 65535;

    AutoFunctionsModel(SettingsStore& store, ImgSensor& camera);

    // The interval slider's maximum for the connected firmware.
    int intervalMaximum();
};

}  // namespace TVR
