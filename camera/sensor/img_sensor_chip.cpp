#include "img_sensor_chip.h"

#include <array>

#include "protocol/sensor_registers.h"
#include "sensor/img_sensor.h"
#include "sensor/ov10823.h"
#include "sensor/ov48c40.h"
#include "sensor/ov9714.h"
#include "usb/debugger_output.h"

namespace TVR {

namespace {

constexpr uint32_t kResetWaitMs = 50;
constexpr uint32_t kExposureMask = 0xFFFF0;
constexpr uint8_t kTpAlternative = 0x10;

enum class ChipClass { Ov9714, Ov9750, Ov9755, Ov10823, Ov13850, Ov48c40 };

struct ChipId {
    uint8_t high;
    uint8_t low;
    uint8_t revision;  // 0 matches anything, as in the other columns
    ChipClass cls;
    int kind;
};

constexpr std::array<ChipId, 8> kChipIds = {{
    {0x97, 0x13, 0, ChipClass::Ov9714, 2},
    {0x97, 0x14, 0, ChipClass::Ov9714, 2},
    {0x97, 0x50, 0, ChipClass::Ov9750, 3},
    {0x97, 0x55, 0, ChipClass::Ov9755, 4},
    {0xA8, 0x20, 0x20, ChipClass::Ov10823, 5},
    {0xD8, 0x50, 0, ChipClass::Ov13850, 6},
    {0x56, 0x48, 0, ChipClass::Ov48c40, 7},
    {0x56, 0x48, 0x43, ChipClass::Ov48c40, 7},
}};

bool fieldMatches(uint8_t table, int value) { return table == 0 || table == value; }

// The nibble of the group-hold launch per launch mode.
int launchNibble(int launchMode) {
    switch (launchMode) {
        case 1:
            return 15;
        case 2:
            return 7;
        case 3:
            return 11;
        default:
            return 1;
    }
}

}  // namespace

std::unique_ptr<IImgSensorChip> IImgSensorChip::create(ImgSensor& sensor) {
    const int high = sensor.readRegister(SensorReg::kChipIdHigh) & 0xFF;
    const int low = sensor.readRegister(SensorReg::kChipIdLow) & 0xFF;
    const int revision = sensor.readRegister(SensorReg::kChipIdRevision) & 0xFF;
    for (const ChipId& id : kChipIds) {
        if (!fieldMatches(id.high, high) || !fieldMatches(id.low, low) ||
            !fieldMatches(id.revision, revision)) {
            continue;
        }
        switch (id.cls) {
            case ChipClass::Ov9714:
                return std::make_unique<OV9714>(sensor, id.kind);
            case ChipClass::Ov9750:
                return std::make_unique<OV9750>(sensor, id.kind);
            case ChipClass::Ov9755:
                return std::make_unique<OV9755>(sensor, id.kind);
            case ChipClass::Ov10823:
                return std::make_unique<OV10823>(sensor, id.kind);
            case ChipClass::Ov13850:
                return std::make_unique<OV13850>(sensor, id.kind);
            case ChipClass::Ov48c40:
                return std::make_unique<OV48C40>(sensor, id.kind);
        }
    }
    return std::make_unique<IImgSensorBase>(sensor, 0);
}

std::string_view IImgSensorChip::kindName(int kind) {
    switch (kind) {
        case 1:
            return "OV9713";
        case 2:
            return "OV9714";
        case 3:
            return "OV9750";
        case 4:
            return "OV9755";
        case 5:
            return "OV10823";
        case 6:
            return "OV13850";
        case 7:
            return "OV48C40";
        default:
            return "--- UNKNOWN ---";
    }
}

void IImgSensorChip::notImplemented() const {
    debugOut(std::string("This function is not implemented for the chipset ") +
             std::string(name()) + "\n");
}

bool IImgSensorChip::matchesName(std::string_view name) const {
    return name.empty() || name == this->name();
}

bool IImgSensorChip::action(int /*n*/) {
    notImplemented();
    return false;
}

bool IImgSensorChip::sensorSwitch(int /*n*/, int /*value*/) {
    notImplemented();
    return false;
}

uint32_t IImgSensorChip::sensorValue(int n, int value) { return layoutValue(n, value); }

int IImgSensorChip::binning(int /*mode*/) {
    notImplemented();
    return -1;
}

TestPatternSettings IImgSensorChip::testPattern(const TestPatternSettings& settings) {
    notImplemented();
    return settings;
}

void IImgSensorChip::groupHoldBegin(int /*group*/) { notImplemented(); }

void IImgSensorChip::groupHoldEnd(int /*group*/, int /*launchMode*/) { notImplemented(); }

SensorRegisterLayout IImgSensorChip::registerLayout(int /*n*/) const { return {}; }

bool IImgSensorChip::readBit(uint16_t reg, int bit) {
    return ((m_sensor.readRegister(reg) >> bit) & 1) != 0;
}

void IImgSensorChip::writeBitMasked(uint16_t reg, int bit, bool on) {
    const auto mask = static_cast<uint16_t>(1u << bit);
    m_sensor.writeRegister(reg, on ? mask : 0, mask);
}

void IImgSensorChip::writeBitRmw(uint16_t reg, int bit, bool on) {
    uint16_t old = 0;
    // A failed read would clear every other bit of the register.
    if (!m_sensor.readRegister(reg, old)) return;
    const auto mask = static_cast<uint16_t>(1u << bit);
    const auto next = static_cast<uint16_t>(on ? (old | mask) : (old & ~mask));
    m_sensor.writeRegister(reg, next & 0xFF, 0xFF);
}

uint32_t IImgSensorChip::layoutValue(int n, int value) {
    const SensorRegisterLayout layout = registerLayout(n);
    if (!layout.present()) {
        notImplemented();
        return kUnavailable;
    }
    if (value < 0) return m_sensor.readMultiRegister(layout);
    uint32_t v = static_cast<uint32_t>(value);
    if (n == kValueExposure) v &= kExposureMask;
    m_sensor.writeMultiRegister(layout, v);
    return v;
}

uint8_t IImgSensorChip::encodeTestPattern(const TestPatternSettings& s) {
    uint8_t v = 0;
    switch (s.type) {
        case 0:
            v = static_cast<uint8_t>((s.variant & 3) << 2);
            break;
        case 1:
            v = 1;
            break;
        case 2:
            v = s.alternative ? 0x12 : 0x02;
            break;
        case 3:
            v = 3;
            break;
        default:
            break;
    }
    if (s.bit5) v |= 0x20;
    if (s.bit6) v |= 0x40;
    if (s.bit7) v |= 0x80;
    return v;
}

TestPatternSettings IImgSensorChip::decodeTestPattern(uint8_t v) {
    TestPatternSettings s;
    s.type = v & 3;
    s.variant = s.type == 0 ? (v >> 2) & 3 : 0;
    s.alternative = s.type == 2 && (v & kTpAlternative) != 0;
    s.bit5 = (v & 0x20) != 0;
    s.bit6 = (v & 0x40) != 0;
    s.bit7 = (v & 0x80) != 0;
    return s;
}

TestPatternSettings IImgSensorChip::testPatternAt(uint16_t reg,
                                                  const TestPatternSettings& settings) {
    if (settings.type < 0) {
        return decodeTestPattern(static_cast<uint8_t>(m_sensor.readRegister(reg) & 0xFF));
    }
    if (settings.type > 3) return settings;
    const uint8_t byte = encodeTestPattern(settings);
    m_sensor.writeRegister(reg, byte, 0xFF);
    // What is now in force; the write itself reports nothing over the bridge.
    return decodeTestPattern(byte);
}

void IImgSensorChip::softwareReset() {
    m_sensor.writeRegister(SensorReg::kSoftwareReset, 1, 1);
    m_sensor.wait(kResetWaitMs);
    m_sensor.writeRegister(SensorReg::kSoftwareReset, 0, 1);
}

void IImgSensorChip::groupHoldBeginAt(int group) {
    if (m_groupHold == 0) {
        m_sensor.writeRegister(SensorReg::kGroupHold, static_cast<uint16_t>(group & 3), 0xFF);
    }
    ++m_groupHold;
}

bool IImgSensorChip::leaveGroupHold() {
    if (m_groupHold == 0) return false;
    return --m_groupHold == 0;
}

void IImgSensorChip::groupHoldEndAt(int group, int launchMode) {
    if (!leaveGroupHold()) return;
    m_sensor.writeRegister(SensorReg::kGroupHold,
                           static_cast<uint16_t>((group & 3) | (launchNibble(launchMode) << 4)),
                           0xFF);
}

void IImgSensorChip::writeFormat3() {
    constexpr uint8_t kFormat3Value = 0x60;
    m_sensor.writeRegister(SensorReg::kFormat3, kFormat3Value, 0xFF);
}

bool IImgSensorChip::switchBitMasked(uint16_t reg, int bit, int value) {
    if (value == -1) return readBit(reg, bit);
    writeBitMasked(reg, bit, value != 0);
    return value != 0;
}

bool IImgSensorChip::switchBitRmw(uint16_t reg, int bit, int value) {
    if (value == -1) return readBit(reg, bit);
    writeBitRmw(reg, bit, value != 0);
    return value != 0;
}

bool IImgSensorChip::standbySwitch(int value) {
    // Asking must not change the sensor: a write here would stop the video of every caller
    // that only wants to know, such as a settings load.
    if (value == -1) return !readBit(SensorReg::kModeSelect, 0);
    const bool on = value != 0;
    writeBitMasked(SensorReg::kModeSelect, 0, !on);
    return on;
}

int IImgSensorBase::maxValue(int n) const {
    static constexpr MaxTable kMax{4095, 4095, 4095, 1023, 0x3F00, 1023, -1};
    return maxFromTable(kMax, n);
}

}  // namespace TVR
