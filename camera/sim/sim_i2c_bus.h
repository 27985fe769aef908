#pragma once

// The camera's I²C bus inside the simulated firmware: devices by 8-bit address and a log of
// the writes that reached them. Not locked: the firmware's lock guards it.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "sim/sim_firmware.h"

namespace TVR::Sim {

class SimI2cDevice {
public:
    virtual ~SimI2cDevice() = default;
    virtual unsigned registerBits() const = 0;  // 8 or 16
    virtual uint8_t read(uint16_t reg) const = 0;
    virtual void write(uint16_t reg, uint8_t value) = 0;
    virtual void powerCycle() = 0;
};

// A device that is nothing but registers: they keep what is written, 0 at power-up.
class SimRegisterFile : public SimI2cDevice {
public:
    explicit SimRegisterFile(unsigned registerBits);
    unsigned registerBits() const override { return m_bits; }
    uint8_t read(uint16_t reg) const override { return m_regs[reg]; }
    void write(uint16_t reg, uint8_t value) override { m_regs[reg] = value; }
    void powerCycle() override;

private:
    unsigned m_bits;
    std::vector<uint8_t> m_regs;
};

class SimI2cBus {
public:
    static constexpr size_t kMaxLog = 65536;

    // A later device at the same address replaces the earlier one.
    void attach(uint8_t address, std::shared_ptr<SimI2cDevice> device);
    SimI2cDevice* device(uint8_t address) const;
    // Empty / false: no device acknowledged, or the register does not fit its address width.
    std::optional<uint8_t> read(uint8_t address, uint16_t reg) const;
    bool write(uint8_t address, uint16_t reg, uint8_t value);
    std::vector<uint8_t> addresses() const;
    void powerCycle();

    std::vector<SimI2cWrite> log() const { return {m_log.begin(), m_log.end()}; }
    void clearLog() { m_log.clear(); }

private:
    SimI2cDevice* reachable(uint8_t address, uint16_t reg) const;

    std::map<uint8_t, std::shared_ptr<SimI2cDevice>> m_devices;
    std::deque<SimI2cWrite> m_log;
};

}  // namespace TVR::Sim
