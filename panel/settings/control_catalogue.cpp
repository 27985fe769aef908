#include "control_catalogue.h"

#include "protocol/fx3_channels.h"
#include "protocol/uvc_property_ids.h"
#include "sensor/img_sensor_chip.h"

namespace TVR {
namespace {

constexpr ControlAddress sensorSwitch(int n) {
    return {AddressKind::SensorSwitch, static_cast<uint32_t>(n)};
}
constexpr ControlAddress sensorValue(int n) {
    return {AddressKind::SensorValue, static_cast<uint32_t>(n)};
}
constexpr ControlAddress fx3Param(int channel) {
    return {AddressKind::Fx3Param, static_cast<uint32_t>(channel)};
}
constexpr ControlAddress fx3FloatParam(int channel) {
    return {AddressKind::Fx3FloatParam, static_cast<uint32_t>(channel)};
}

constexpr NamedControl kTabGains[] = {
    {"OV_MANUAL_WB_ON", sensorSwitch(kSwitchManualWb), ControlFormat::Bool, 1064},
    {"OV_MANUAL_GAIN_ON", sensorSwitch(kSwitchManualGain), ControlFormat::Bool, 1065},
    {"OV_MANUAL_EXP_ON", sensorSwitch(kSwitchManualExposure), ControlFormat::Bool, 1067},
    {"OV_WB_GAIN_R", sensorValue(kValueWbGainR), ControlFormat::Decimal, 1040},
    {"OV_WB_GAIN_G", sensorValue(kValueWbGainG), ControlFormat::Decimal, 1042},
    {"OV_WB_GAIN_B", sensorValue(kValueWbGainB), ControlFormat::Decimal, 1044},
    {"OV_GLOBAL_GAIN", sensorValue(kValueGlobalGain), ControlFormat::Decimal, 1045},
    {"OV_EXPOSURE", sensorValue(kValueExposure), ControlFormat::Decimal, 1046},
    {"OV_BLACK_LEVEL", sensorValue(kValueBlackLevel), ControlFormat::Decimal, 1047},
    {"OV_VIDEO_FPS", fx3FloatParam(Fx3RealChannel::kVideoFrameRate), ControlFormat::Real, 1289},
};

constexpr NamedControl kTabLed[] = {
    {"LED_R", fx3Param(Fx3Channel::kLedRed), ControlFormat::Hex, 1093},
    {"LED_G", fx3Param(Fx3Channel::kLedGreen), ControlFormat::Hex, 1096},
    {"LED_B", fx3Param(Fx3Channel::kLedBlue), ControlFormat::Hex, 1101},
    {"FAN", fx3Param(Fx3Channel::kFan), ControlFormat::Bool, 1320},
};

constexpr NamedControl kNrVideo[] = {
    {"VNR_CHROMA", fx3Param(Fx3Channel::kNrChroma), ControlFormat::Hex, 1276},
    {"VNR_LUMA", fx3Param(Fx3Channel::kNrLuma), ControlFormat::Hex, 1274},
};

constexpr NamedControl kAutoFunctions[] = {
    {"AFN_SETPOINT_EXP", fx3Param(Fx3Channel::kAeSetpoint), ControlFormat::Decimal, 1280},
    {"AFN_SETPOINT_WB", fx3Param(Fx3Channel::kAwbSetpoint), ControlFormat::Decimal, 1282},
    {"AFN_UPDATE_INTERVAL", fx3Param(Fx3Channel::kAutoFunctionInterval), ControlFormat::Decimal,
     1283},
};

constexpr NamedControl kConsoleFpga[] = {
    {"FAKE_RAW_VIDEO", fx3Param(Fx3Channel::kFakeRawVideo), ControlFormat::Bool, 1245},
};

}  // namespace

std::span<const NamedControl> tabGainsControls() { return kTabGains; }
std::span<const NamedControl> tabLedControls() { return kTabLed; }
std::span<const NamedControl> nrVideoControls() { return kNrVideo; }
std::span<const NamedControl> autoFunctionsControls() { return kAutoFunctions; }
std::span<const NamedControl> consoleFpgaControls() { return kConsoleFpga; }

const NamedControl* findControl(std::span<const NamedControl> table, std::string_view key) {
    for (const NamedControl& row : table) {
        if (key == row.key) return &row;
    }
    return nullptr;
}

const std::vector<UvcControl>& uvcCameraControlList() {
    using namespace UvcCameraControl;
    static const std::vector<UvcControl> list = {
        {kPan, "UVC_PAN"},      {kTilt, "UVC_TILT"}, {kRoll, "UVC_ROLL"},   {kZoom, "UVC_ZOOM"},
        {kExposure, "UVC_EXP"}, {kIris, "UVC_IRIS"}, {kFocus, "UVC_FOCUS"},
    };
    return list;
}

const std::vector<UvcControl>& uvcProcAmpList() {
    // Colour enable has no key.
    using namespace UvcProcAmp;
    static const std::vector<UvcControl> list = {
        {kBrightness, "UVC_BRIGHTNESS"},
        {kContrast, "UVC_CONTRAST"},
        {kHue, "UVC_HUE"},
        {kSaturation, "UVC_SATURATION"},
        {kSharpness, "UVC_SHARPNESS"},
        {kGamma, "UVC_GAMMA"},
        {kWhiteBalance, "UVC_WHITE_BALANCE"},
        {kBacklightCompensation, "UVC_BACKLIGHT_COMP"},
        {kGain, "UVC_GAIN"},
    };
    return list;
}

std::string uvcAutoKey(std::string_view key) { return std::string(key) + "_AUTO"; }

}  // namespace TVR
