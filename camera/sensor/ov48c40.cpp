#include "ov48c40.h"

#include <array>

#include "protocol/sensor_registers.h"
#include "sensor/img_sensor.h"

namespace TVR {

namespace {

constexpr uint16_t kGainBits = 0x7FF;
constexpr uint16_t kGainReadMask = 0x3FFF;

// White-balance gain pairs (high, low) of the three banks.
constexpr std::array<uint16_t, 3> kBanks = {0x5000, 0x5300, 0x5600};
constexpr uint16_t kRedPair = 0xFF;
constexpr uint16_t kGreenPairA = 0xFB;
constexpr uint16_t kGreenPairB = 0xFD;
constexpr uint16_t kBluePair = 0xF9;

SensorRegisterLayout gainPair(uint16_t bank, uint16_t high) {
    return {16, {static_cast<uint16_t>(bank + high), static_cast<uint16_t>(bank + high - 1)}};
}

uint8_t launchBits(int launchMode) {
    switch (launchMode) {
        case 1:
            return 0xE0;
        case 2:
            return 0x60;
        case 3:
            return 0xA0;
        default:
            return 0x00;
    }
}

}  // namespace

int OV48C40::maxValue(int n) const {
    static constexpr MaxTable kMax{4095, 4095, 4095, 2047, 0x3F00, 1023, 15};
    return maxFromTable(kMax, n);
}

bool OV48C40::action(int n) {
    switch (n) {
        case 0:
            softwareReset();
            return true;
        case 2:
            writeFormat3();
            return true;
        default:
            return IImgSensorChip::action(n);
    }
}

bool OV48C40::sensorSwitch(int n, int value) {
    switch (n) {
        case kSwitchStandby:
            return standbySwitch(value);
        case kSwitchMirror:
            return switchBitRmw(SensorReg::kFormat2, 2, value);
        case kSwitchFlip:
            return switchBitRmw(SensorReg::kFormat1, 2, value);
        case kSwitchManualWb:
            return switchBitRmw(SensorReg::kIspControl0, 4, value);
        case kSwitchManualGain:
            return switchBitRmw(SensorReg::kManualControl, 7, value);
        case kSwitchManualExposure:
            return switchBitRmw(SensorReg::kManualControl, 3, value);
        case kSwitchTestPatternSeed:
            return switchBitMasked(SensorReg::kTestPatternSeed, 4, value);
        default:
            return IImgSensorChip::sensorSwitch(n, value);
    }
}

uint32_t OV48C40::sensorValue(int n, int value) {
    const bool read = value < 0;
    const auto v = static_cast<uint32_t>(value);
    switch (n) {
        case kValueWbGainR:
        case kValueWbGainB: {
            const uint16_t pair = n == kValueWbGainR ? kRedPair : kBluePair;
            if (read) return m_sensor.readMultiRegister(gainPair(kBanks[0], pair));
            for (uint16_t bank : kBanks) m_sensor.writeMultiRegister(gainPair(bank, pair), v);
            return v & 0xFFFF;
        }
        case kValueWbGainG:
            if (read) {
                m_sensor.readMultiRegister(gainPair(kBanks[0], kGreenPairA));
                return m_sensor.readMultiRegister(gainPair(kBanks[0], kGreenPairB));
            }
            for (uint16_t bank : kBanks) {
                m_sensor.writeMultiRegister(gainPair(bank, kGreenPairA), v);
                m_sensor.writeMultiRegister(gainPair(bank, kGreenPairB), v);
            }
            return v & 0xFFFF;
        case kValueGlobalGain: {
            if (read) {
                const uint32_t high = m_sensor.readRegister(SensorReg::kGainSplitHigh);
                const uint32_t low = m_sensor.readRegister(SensorReg::kGainSplitLow);
                return (((high & 0xF) << 7) & kGainReadMask) | (low >> 1);
            }
            m_sensor.writeRegister(SensorReg::kGainSplitHigh, static_cast<uint16_t>((v >> 7) & 0xF),
                                   0xFF);
            m_sensor.writeRegister(SensorReg::kGainSplitLow, static_cast<uint16_t>((v & 0x7F) * 2),
                                   0xFF);
            return v & kGainBits;
        }
        default:
            return layoutValue(n, value);
    }
}

TestPatternSettings OV48C40::testPattern(const TestPatternSettings& settings) {
    return testPatternAt(SensorReg::kTestPattern, settings);
}

void OV48C40::groupHoldBegin(int group) { groupHoldBeginAt(group); }

void OV48C40::groupHoldEnd(int group, int launchMode) {
    if (group >= 4 && group <= 9) return;
    if (!leaveGroupHold()) return;
    const auto g = static_cast<uint16_t>(group & 0xF);
    m_sensor.writeRegister(SensorReg::kGroupHold, g | 0x10, 0xFF);
    m_sensor.writeRegister(SensorReg::kGroupHold, g | launchBits(launchMode), 0xFF);
}

SensorRegisterLayout OV48C40::registerLayout(int n) const {
    switch (n) {
        case kValueWbGainR:
            return gainPair(kBanks[0], kRedPair);
        case kValueWbGainG:
            return gainPair(kBanks[0], kGreenPairA);
        case kValueWbGainB:
            return gainPair(kBanks[0], kBluePair);
        case kValueGlobalGain:
            return {11, {SensorReg::kGainSplitHigh, SensorReg::kGainSplitLow}};
        case kValueExposure:
            return {20,
                    {SensorReg::kExposureHigh, SensorReg::kExposureMid, SensorReg::kExposureLow}};
        case kValueBlackLevel:
            return {10, {SensorReg::kBlackLevelOv48c40, SensorReg::kBlackLevelOv48c40 + 1}};
        default:
            return {};
    }
}

}  // namespace TVR
