#include "ov9714.h"

#include "protocol/sensor_registers.h"
#include "sensor/img_sensor.h"

namespace TVR {

namespace {}  // namespace

bool OV9714::matchesName(std::string_view name) const {
    return IImgSensorChip::matchesName(name) || name == "OV9714" || name == "OV9750";
}

int OV9714::maxValue(int n) const {
    static constexpr MaxTable kMax{4095, 4095, 4095, 1023, 0x3F00, 1023, 15};
    return maxFromTable(kMax, n);
}

bool OV9714::action(int n) {
    switch (n) {
        case 0:
            softwareReset();
            return true;
        case 1: {
            // The window offsets follow mirror and flip.
            const uint16_t orientation = m_sensor.readRegister(SensorReg::kOrientation);
            m_sensor.writeRegister(SensorReg::kWindowOffsetX, (orientation & 1) == 0 ? 1 : 0, 0xFF);
            m_sensor.writeRegister(SensorReg::kWindowOffsetY, (orientation & 2) == 0 ? 1 : 0, 0xFF);
            return true;
        }
        case 2:
            writeFormat3();
            return true;
        default:
            return IImgSensorChip::action(n);
    }
}

bool OV9714::sensorSwitch(int n, int value) {
    switch (n) {
        case kSwitchStandby:
            return standbySwitch(value);
        case kSwitchMirror:
        case kSwitchFlip:
            return switchBitRmw(SensorReg::kOrientation, n == 1 ? 0 : 1, value);
        case kSwitchManualWb:
            return switchBitRmw(SensorReg::kIspControl0, 4, value);
        case kSwitchManualGain:
        case kSwitchManualExposure:
            return switchBitRmw(SensorReg::kManualControl, n == 4 ? 1 : 0, value);
        case kSwitchTestPatternSeed:
            return switchBitMasked(SensorReg::kTestPatternSeed, 4, value);
        default:
            return IImgSensorChip::sensorSwitch(n, value);
    }
}

TestPatternSettings OV9714::testPattern(const TestPatternSettings& settings) {
    return testPatternAt(SensorReg::kTestPattern, settings);
}

void OV9714::groupHoldBegin(int group) { groupHoldBeginAt(group); }

void OV9714::groupHoldEnd(int group, int launchMode) { groupHoldEndAt(group, launchMode); }

SensorRegisterLayout OV9714::registerLayout(int n) const {
    switch (n) {
        case kValueWbGainR:
            return {12, {0x5004, 0x5005}};
        case kValueWbGainG:
            return {12, {0x5006, 0x5007}};
        case kValueWbGainB:
            return {12, {0x5008, 0x5009}};
        case kValueGlobalGain:
            return {10, {SensorReg::kGainHigh, SensorReg::kGainLow}};
        case kValueExposure:
            return {20,
                    {SensorReg::kExposureHigh, SensorReg::kExposureMid, SensorReg::kExposureLow}};
        case kValueBlackLevel:
            return {16, {SensorReg::kBlackLevelOv9714, SensorReg::kBlackLevelOv9714 + 1}};
        case kValueTestPatternSeed:
            return {4, {SensorReg::kTestPatternSeed}};
        default:
            return {};
    }
}

}  // namespace TVR
