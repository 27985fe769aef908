#include "settings/control_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace TVR {
namespace {

struct Row {
    std::string key;
    AddressKind kind;
    uint32_t number;
    ControlFormat format;
    int32_t controlId;
    bool operator==(const Row&) const = default;
};

std::vector<Row> rows(std::span<const NamedControl> table) {
    std::vector<Row> out;
    for (const NamedControl& c : table) {
        out.push_back({c.key, c.address.kind, c.address.number, c.format, c.controlId});
    }
    return out;
}

using K = AddressKind;
using F = ControlFormat;

TEST(ControlCatalogue, TablesHoldTheirRowsInOrder) {
    EXPECT_EQ(rows(tabGainsControls()),
              (std::vector<Row>{
                  {"OV_MANUAL_WB_ON", K::SensorSwitch, 3, F::Bool, 1064},
                  {"OV_MANUAL_GAIN_ON", K::SensorSwitch, 4, F::Bool, 1065},
                  {"OV_MANUAL_EXP_ON", K::SensorSwitch, 5, F::Bool, 1067},
                  {"OV_WB_GAIN_R", K::SensorValue, 0, F::Decimal, 1040},
                  {"OV_WB_GAIN_G", K::SensorValue, 1, F::Decimal, 1042},
                  {"OV_WB_GAIN_B", K::SensorValue, 2, F::Decimal, 1044},
                  {"OV_GLOBAL_GAIN", K::SensorValue, 3, F::Decimal, 1045},
                  {"OV_EXPOSURE", K::SensorValue, 4, F::Decimal, 1046},
                  {"OV_BLACK_LEVEL", K::SensorValue, 5, F::Decimal, 1047},
                  {"OV_VIDEO_FPS", K::Fx3FloatParam, 0, F::Real, 1289},
              }));
    EXPECT_EQ(rows(tabLedControls()), (std::vector<Row>{
                                          {"LED_R", K::Fx3Param, 5, F::Hex, 1093},
                                          {"LED_G", K::Fx3Param, 6, F::Hex, 1096},
                                          {"LED_B", K::Fx3Param, 7, F::Hex, 1101},
                                          {"FAN", K::Fx3Param, 1, F::Bool, 1320},
                                      }));
    EXPECT_EQ(rows(nrVideoControls()), (std::vector<Row>{
                                           {"VNR_CHROMA", K::Fx3Param, 8, F::Hex, 1276},
                                           {"VNR_LUMA", K::Fx3Param, 9, F::Hex, 1274},
                                       }));
    EXPECT_EQ(rows(autoFunctionsControls()),
              (std::vector<Row>{
                  {"AFN_SETPOINT_EXP", K::Fx3Param, 10, F::Decimal, 1280},
                  {"AFN_SETPOINT_WB", K::Fx3Param, 11, F::Decimal, 1282},
                  {"AFN_UPDATE_INTERVAL", K::Fx3Param, 12, F::Decimal, 1283},
              }));
    EXPECT_EQ(rows(consoleFpgaControls()),
              (std::vector<Row>{{"FAKE_RAW_VIDEO", K::Fx3Param, 0, F::Bool, 1245}}));
}

TEST(ControlCatalogue, KeysAreUniqueAndEveryRowHasAValidFormat) {
    std::set<std::string> keys;
    size_t count = 0;
    for (auto table : {tabGainsControls(), tabLedControls(), nrVideoControls(),
                       autoFunctionsControls(), consoleFpgaControls()}) {
        for (const NamedControl& c : table) {
            keys.insert(c.key);
            ++count;
            switch (c.address.kind) {
                case K::SensorSwitch:
                    break;
                case K::SensorValue:
                    EXPECT_TRUE(c.format == F::Decimal || c.format == F::Hex) << c.key;
                    break;
                case K::Fx3Param:
                    EXPECT_NE(c.format, F::Real) << c.key;
                    break;
                case K::Fx3FloatParam:
                    EXPECT_EQ(c.format, F::Real) << c.key;
                    break;
            }
        }
    }
    EXPECT_EQ(keys.size(), count);
    EXPECT_EQ(count, 20u);
    EXPECT_EQ(findControl(tabLedControls(), "FAN"), &tabLedControls()[3]);
    EXPECT_EQ(findControl(tabLedControls(), "fan"), nullptr);
}

TEST(ControlCatalogue, UvcListsAndCompanions) {
    std::vector<std::pair<int32_t, std::string>> camera;
    for (const auto& c : uvcCameraControlList()) camera.emplace_back(c.property, c.key);
    EXPECT_EQ(camera, (std::vector<std::pair<int32_t, std::string>>{{0, "UVC_PAN"},
                                                                    {1, "UVC_TILT"},
                                                                    {2, "UVC_ROLL"},
                                                                    {3, "UVC_ZOOM"},
                                                                    {4, "UVC_EXP"},
                                                                    {5, "UVC_IRIS"},
                                                                    {6, "UVC_FOCUS"}}));
    std::vector<std::pair<int32_t, std::string>> amp;
    for (const auto& c : uvcProcAmpList()) amp.emplace_back(c.property, c.key);
    EXPECT_EQ(amp, (std::vector<std::pair<int32_t, std::string>>{{0, "UVC_BRIGHTNESS"},
                                                                 {1, "UVC_CONTRAST"},
                                                                 {2, "UVC_HUE"},
                                                                 {3, "UVC_SATURATION"},
                                                                 {4, "UVC_SHARPNESS"},
                                                                 {5, "UVC_GAMMA"},
                                                                 {7, "UVC_WHITE_BALANCE"},
                                                                 {8, "UVC_BACKLIGHT_COMP"},
                                                                 {9, "UVC_GAIN"}}));
    EXPECT_EQ(uvcAutoKey("UVC_PAN"), "UVC_PAN_AUTO");
}

}  // namespace
}  // namespace TVR
