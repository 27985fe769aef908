#include "ov10823.h"

#include "protocol/sensor_registers.h"
#include "sensor/img_sensor.h"

namespace TVR {

namespace {
constexpr uint16_t kMirrorBits = 0x06;
constexpr uint16_t kBinningMask = 0x11;
constexpr int kSystemControlBit = 3;
}  // namespace

int OV10823::maxValue(int n) const {
    static constexpr MaxTable kMax{4095, 4095, 4095, 239, 24000, 1023, -1};
    return maxFromTable(kMax, n);
}

bool OV10823::action(int n) {
    switch (n) {
        case 0:
            softwareReset();
            return true;
        case 2:
            writeBitMasked(SensorReg::kSystemControl, kSystemControlBit, true);
            return true;
        default:
            return IImgSensorChip::action(n);
    }
}

bool OV10823::sensorSwitch(int n, int value) {
    const bool on = value != 0;
    const bool read = value == -1;
    switch (n) {
        case kSwitchStandby:
            if (read) return !readBit(SensorReg::kModeSelect, 0);
            m_sensor.readRegister(SensorReg::kModeStatus);
            writeBitMasked(SensorReg::kModeSelect, 0, !on);
            return on;
        case kSwitchMirror:
            if (read) {
                return (m_sensor.readRegister(SensorReg::kFormat2) & kMirrorBits) == kMirrorBits;
            }
            m_sensor.writeRegister(SensorReg::kFormat2, on ? kMirrorBits : 0, kMirrorBits);
            return on;
        case kSwitchFlip:
            return switchBitMasked(SensorReg::kFormat1, 2, value);
        case kSwitchManualWb:
            return switchBitMasked(SensorReg::kIspControl1, 1, value);
        case kSwitchManualGain:
        case kSwitchManualExposure:
            return true;
        case kSwitchTestPatternSeed:
            return false;
        default:
            return IImgSensorChip::sensorSwitch(n, value);
    }
}

int OV10823::binning(int mode) {
    if (mode != 0) {
        uint16_t bits = 0x00;
        switch (mode) {
            case 2:
                bits = 0x01;
                break;
            case 3:
                bits = 0x10;
                break;
            case 4:
                bits = 0x11;
                break;
            default:
                break;
        }
        m_sensor.writeRegister(SensorReg::kBinning, bits, kBinningMask);
    }
    // Only the two binning bits: the register's other bits are not a mode.
    switch (m_sensor.readRegister(SensorReg::kBinning) & kBinningMask) {
        case 0x00:
            return 1;
        case 0x01:
            return 2;
        case 0x10:
            return 3;
        case 0x11:
            return 4;
        default:
            return 0;
    }
}

TestPatternSettings OV10823::testPattern(const TestPatternSettings& settings) {
    return testPatternAt(SensorReg::kTestPatternOv10823, settings);
}

void OV10823::groupHoldBegin(int group) { groupHoldBeginAt(group); }

void OV10823::groupHoldEnd(int group, int launchMode) { groupHoldEndAt(group, launchMode); }

SensorRegisterLayout OV10823::registerLayout(int n) const {
    switch (n) {
        case kValueWbGainR:
            return {12, {0x5056, 0x5057}};
        case kValueWbGainG:
            return {12, {0x5058, 0x5059}};
        case kValueWbGainB:
            return {12, {0x505A, 0x505B}};
        case kValueGlobalGain:
            return {11, {SensorReg::kGainHigh, SensorReg::kGainLow}};
        case kValueExposure:
            return {20,
                    {SensorReg::kExposureHigh, SensorReg::kExposureMid, SensorReg::kExposureLow}};
        case kValueBlackLevel:
            return {11, {SensorReg::kBlackLevelOv10823, SensorReg::kBlackLevelOv10823 + 1}};
        default:
            return {};
    }
}

}  // namespace TVR
