#pragma once

// The image sensor on the simulated camera's I²C bus: one register map per chip class with the
// chip's power-up values, read-only chip ID, software reset and group hold. Not locked: the
// firmware's lock guards it.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/sim_firmware.h"
#include "sim/sim_i2c_bus.h"

namespace TVR::Sim {

class SimSensor : public SimI2cDevice {
public:
    explicit SimSensor(SimSensorChip chip);

    SimSensorChip chip() const { return m_chip; }
    unsigned registerBits() const override { return 16; }
    uint8_t read(uint16_t reg) const override { return m_regs[reg]; }
    void write(uint16_t reg, uint8_t value) override;
    void powerCycle() override;

    void poke(uint16_t reg, uint8_t value) { m_regs[reg] = value; }
    uint8_t defaultValue(uint16_t reg) const { return m_defaults[reg]; }
    int recordingGroup() const { return m_recording; }  // -1: none

    static constexpr unsigned kGroups = 16;
    static constexpr size_t kGroupCapacity = 4096;  // writes a group keeps; later ones are lost

private:
    struct Write {
        uint16_t reg;
        uint8_t value;
    };
    void groupHold(uint8_t value);
    void apply(uint16_t reg, uint8_t value);
    bool readOnly(uint16_t reg) const;

    SimSensorChip m_chip;
    std::vector<uint8_t> m_defaults;
    std::vector<uint8_t> m_regs;
    std::array<std::vector<Write>, kGroups> m_groups;
    int m_recording = -1;
};

}  // namespace TVR::Sim
