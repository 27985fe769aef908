#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "camera_helpers.h"
#include "sensor/img_sensor.h"

namespace TVR {
namespace {

using CameraTest::firmwareConfig;
using CameraTest::SimRig;
using Sim::SimSensorChip;

// A sensor value whose most significant register is shared with other settings: `width` bits
// over `registers`, most significant first.
struct WideValue {
    int n;
    int width;
    std::vector<uint16_t> registers;
};

// The register maps of the chip classes, as the sensors' data sheets lay them out.
const std::vector<WideValue> kOv9714Family = {
    {kValueWbGainR, 12, {0x5004, 0x5005}},          {kValueWbGainG, 12, {0x5006, 0x5007}},
    {kValueWbGainB, 12, {0x5008, 0x5009}},          {kValueGlobalGain, 10, {0x350A, 0x350B}},
    {kValueExposure, 20, {0x3500, 0x3501, 0x3502}}, {kValueTestPatternSeed, 4, {0x5081}},
};
const std::vector<WideValue> kOv10823 = {
    {kValueWbGainR, 12, {0x5056, 0x5057}},          {kValueWbGainG, 12, {0x5058, 0x5059}},
    {kValueWbGainB, 12, {0x505A, 0x505B}},          {kValueGlobalGain, 11, {0x350A, 0x350B}},
    {kValueExposure, 20, {0x3500, 0x3501, 0x3502}}, {kValueBlackLevel, 11, {0x4004, 0x4005}},
};
const std::vector<WideValue> kOv48c40 = {
    {kValueExposure, 20, {0x3500, 0x3501, 0x3502}},
    {kValueBlackLevel, 10, {0x4019, 0x401A}},
};

// A settings file hands its number to the chip as it stands, so every bit above the width may
// be set. Each case starts from a fresh camera whose registers hold a known pattern.
void checkOverWideWrites(SimSensorChip chip, uint32_t fx3Build,
                         const std::vector<WideValue>& values) {
    for (const WideValue& v : values) {
        for (const uint8_t neighbours : {uint8_t{0xA5}, uint8_t{0x5A}}) {
            for (const uint32_t written : {0x7FFFFFFFu, 0x7A5C3B69u}) {
                SimRig rig(firmwareConfig(fx3Build, 90, chip));
                ImgSensor sensor(rig.driver, rig.log, false, kControlTimeoutMs);
                ASSERT_TRUE(sensor.selectDevice(0));
                ASSERT_EQ(sensor.bridge(), fx3Build >= 46);
                for (const uint16_t reg : v.registers) {
                    rig.firmware->setSensorRegister(reg, neighbours);
                }

                const std::string what = std::string(Sim::simSensorChipName(chip)) + " value " +
                                         std::to_string(v.n) + " over " +
                                         (sensor.bridge() ? "the bridge" : "endpoint 4");
                sensor.chip().sensorValue(v.n, static_cast<int>(written));

                uint32_t expected = written & ((1u << v.width) - 1u);
                if (v.n == kValueExposure) expected &= 0xFFFF0u;
                const size_t count = v.registers.size();
                const int topBits = v.width - static_cast<int>(count - 1) * 8;
                const auto topMask = static_cast<uint8_t>((1u << topBits) - 1u);
                const auto top = static_cast<uint8_t>(expected >> ((count - 1) * 8));
                EXPECT_EQ(rig.firmware->sensorRegister(v.registers[0]),
                          (neighbours & ~topMask & 0xFF) | top)
                    << what << ": the bits above the width belong to other settings";
                for (size_t i = 1; i < count; ++i) {
                    EXPECT_EQ(rig.firmware->sensorRegister(v.registers[i]),
                              static_cast<uint8_t>(expected >> ((count - 1 - i) * 8)))
                        << what << ", register " << i;
                }
                EXPECT_EQ(sensor.chip().sensorValue(v.n, -1), expected) << what;
            }
        }
    }
}

TEST(SensorValueWidth, OverWideValuesKeepTheNeighbouringBitsOfTheTopRegister) {
    for (const uint32_t build : {105u, 45u}) {
        for (const SimSensorChip chip :
             {SimSensorChip::OV9714, SimSensorChip::OV9750, SimSensorChip::OV9755}) {
            checkOverWideWrites(chip, build, kOv9714Family);
        }
        checkOverWideWrites(SimSensorChip::OV10823, build, kOv10823);
        checkOverWideWrites(SimSensorChip::OV48C40, build, kOv48c40);
    }
}

}  // namespace
}  // namespace TVR
