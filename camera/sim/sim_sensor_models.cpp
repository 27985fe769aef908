#include "sim_sensor_models.h"

#include <initializer_list>
#include <utility>

#include "protocol/vendor_requests.h"

namespace TVR::Sim {

namespace {

using Defaults = std::initializer_list<std::pair<uint16_t, uint8_t>>;

// Registers every OmniVision chip of the camera family keeps in the same place.
const Defaults kCommon{
    {SensorReg::kModeSelect, 0x01},  // the camera firmware leaves the sensor streaming
    {SensorReg::kOrientation, 0x00},
    {SensorReg::kSoftwareReset, 0x00},
    {SensorReg::kGroupHold, 0x00},
    {0x3820, 0x00},
    {0x3821, 0x00},
};

// OV9713/OV9714/OV9750/OV9755: 10-bit gain at 0x350A/B, 16-bit black level at 0x4008/9,
// 12-bit white-balance gains at 0x5004-0x5009 (1.0 = 0x400).
const Defaults kOv9714Family{
    {0x3500, 0x00}, {0x3501, 0x2E}, {0x3502, 0x00}, {0x3503, 0x00}, {0x350A, 0x00},
    {0x350B, 0x80}, {0x3811, 0x08}, {0x3813, 0x08}, {0x3823, 0x00}, {0x4008, 0x00},
    {0x4009, 0x40}, {0x5000, 0x06}, {0x5004, 0x04}, {0x5005, 0x00}, {0x5006, 0x04},
    {0x5007, 0x00}, {0x5008, 0x04}, {0x5009, 0x00}, {0x5080, 0x00}, {0x5081, 0x00},
};

// OV10823: 11-bit gain, black level at 0x4004/5, white balance at 0x5056-0x505B, binning
// at 0x3663, test pattern at 0x5E00.
const Defaults kOv10823{
    {0x0102, 0x00}, {0x3002, 0x00}, {0x3500, 0x00}, {0x3501, 0x3E}, {0x3502, 0x80},
    {0x3503, 0x00}, {0x350A, 0x00}, {0x350B, 0x10}, {0x3663, 0x00}, {0x4004, 0x00},
    {0x4005, 0x40}, {0x5001, 0x00}, {0x5056, 0x04}, {0x5057, 0x00}, {0x5058, 0x04},
    {0x5059, 0x00}, {0x505A, 0x04}, {0x505B, 0x00}, {0x5E00, 0x00},
};

const Defaults kOv13850{
    {0x3500, 0x00}, {0x3501, 0x40}, {0x3502, 0x00}, {0x3503, 0x00},
    {0x350A, 0x00}, {0x350B, 0x80}, {0x5000, 0x06}, {0x5E00, 0x00},
};

// OV48C40: gain split over 0x3508/0x3509 (1.0 = 128), 10-bit black level at 0x4019/0x401A,
// three banks of 16-bit white-balance gains (high byte at the odd address).
const Defaults kOv48c40{
    {0x3500, 0x00}, {0x3501, 0x2E}, {0x3502, 0x00}, {0x3503, 0x00}, {0x3508, 0x01}, {0x3509, 0x00},
    {0x3823, 0x00}, {0x4019, 0x00}, {0x401A, 0x40}, {0x5000, 0x06}, {0x5080, 0x00}, {0x5081, 0x00},
};

struct ChipId {
    uint8_t high, low, revision, chipRevision;
};

ChipId chipId(SimSensorChip chip) {
    switch (chip) {
        case SimSensorChip::OV9713:
            return {0x97, 0x13, 0x00, 0xB1};
        case SimSensorChip::OV9714:
            return {0x97, 0x14, 0x00, 0xB1};
        case SimSensorChip::OV9750:
            return {0x97, 0x50, 0x00, 0xB2};
        case SimSensorChip::OV9755:
            return {0x97, 0x55, 0x00, 0xB1};
        case SimSensorChip::OV10823:
            return {0xA8, 0x20, 0x20, 0xB2};
        case SimSensorChip::OV13850:
            return {0xD8, 0x50, 0x00, 0xB2};
        case SimSensorChip::OV48C40:
            return {0x56, 0x48, 0x43, 0xA1};
        case SimSensorChip::None:
            break;
    }
    return {0, 0, 0, 0};
}

void fill(std::vector<uint8_t>& regs, const Defaults& d) {
    for (const auto& [reg, value] : d) regs[reg] = value;
}

// Group-hold commands in bits 4-7 of 0x3208.
constexpr uint8_t kHoldStart = 0x00;
constexpr uint8_t kHoldEnd = 0x10;
constexpr uint8_t kHoldLaunchBit = 0x20;

}  // namespace

SimSensor::SimSensor(SimSensorChip chip) : m_chip(chip), m_defaults(65536), m_regs(65536) {
    fill(m_defaults, kCommon);
    switch (chip) {
        case SimSensorChip::OV9713:
        case SimSensorChip::OV9714:
        case SimSensorChip::OV9750:
        case SimSensorChip::OV9755:
            fill(m_defaults, kOv9714Family);
            break;
        case SimSensorChip::OV10823:
            fill(m_defaults, kOv10823);
            break;
        case SimSensorChip::OV13850:
            fill(m_defaults, kOv13850);
            break;
        case SimSensorChip::OV48C40:
            fill(m_defaults, kOv48c40);
            for (const uint16_t bank : {0x5000, 0x5300, 0x5600}) {
                for (const uint16_t hi : {0xFF, 0xFD, 0xFB, 0xF9}) m_defaults[bank + hi] = 0x04;
            }
            break;
        case SimSensorChip::None:
            break;
    }
    const ChipId id = chipId(chip);
    m_defaults[SensorReg::kChipIdHigh] = id.high;
    m_defaults[SensorReg::kChipIdLow] = id.low;
    m_defaults[SensorReg::kChipIdRevision] = id.revision;
    m_defaults[SensorReg::kChipSubRevision] = id.chipRevision;
    powerCycle();
}

void SimSensor::powerCycle() {
    m_regs = m_defaults;
    for (auto& g : m_groups) g.clear();
    m_recording = -1;
}

bool SimSensor::readOnly(uint16_t reg) const {
    return reg == SensorReg::kChipIdHigh || reg == SensorReg::kChipIdLow ||
           reg == SensorReg::kChipIdRevision || reg == SensorReg::kChipSubRevision;
}

void SimSensor::write(uint16_t reg, uint8_t value) {
    if (reg == SensorReg::kGroupHold) {
        groupHold(value);
        return;
    }
    if (m_recording >= 0) {
        auto& group = m_groups[static_cast<size_t>(m_recording)];
        if (group.size() < kGroupCapacity) group.push_back({reg, value});
        return;
    }
    apply(reg, value);
}

void SimSensor::apply(uint16_t reg, uint8_t value) {
    if (readOnly(reg)) return;
    if (reg == SensorReg::kSoftwareReset) {
        if (value & 0x01) powerCycle();
        m_regs[reg] = 0;  // self-clearing
        return;
    }
    m_regs[reg] = value;
}

void SimSensor::groupHold(uint8_t value) {
    m_regs[SensorReg::kGroupHold] = value;
    const unsigned group = value & 0x0F;
    if (value & kHoldLaunchBit) {
        m_recording = -1;
        // Launching applies the group once; it must be recorded again for the next launch.
        const std::vector<Write> writes = std::move(m_groups[group]);
        m_groups[group].clear();
        for (const auto& w : writes) apply(w.reg, w.value);
        return;
    }
    switch (value & 0xF0) {
        case kHoldStart:
            m_groups[group].clear();
            m_recording = static_cast<int>(group);
            break;
        case kHoldEnd:
            m_recording = -1;
            break;
        default:
            break;
    }
}

}  // namespace TVR::Sim
