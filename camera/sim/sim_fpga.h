#pragma once

// The FPGA inside the simulated firmware: its 256-byte register file with the side effects of
// the streaming bits, the table select/data registers over table memory, the colour matrix,
// the colour-substitution bands and the DPC detection run. Not locked: the firmware's lock
// guards it.

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/sim_firmware.h"

namespace TVR::Sim {

class SimFpga {
public:
    SimFpga(uint32_t version, uint32_t dpcDelayMs, SimClock clock, int dpcFit = -1);

    uint32_t version() const { return m_version; }
    void setVersion(uint32_t word) { m_version = word; }
    void powerCycle();

    uint8_t read(uint8_t reg) const;
    void write(uint8_t reg, uint8_t value);
    uint8_t raw(uint8_t reg) const { return m_regs[reg]; }
    void poke(uint8_t reg, uint8_t value) { m_regs[reg] = value; }

    // Starts a detection run with the threshold (clamped to 255).
    void calibrate(unsigned threshold);
    uint32_t dpcRuns() const { return m_dpcRuns; }
    static uint16_t dpcCount(unsigned threshold);
    // The count a finished run reports for the threshold, after the configured curve.
    uint16_t countFor(unsigned threshold) const;

    bool hasTable(unsigned kind) const;
    uint16_t entry(unsigned kind, unsigned index) const;
    void setEntry(unsigned kind, unsigned index, uint16_t value);

private:
    std::chrono::steady_clock::time_point now() const;
    unsigned selectedKind() const;
    unsigned selectedEntry() const;
    uint16_t currentDpcCount() const;

    uint32_t m_version;
    uint32_t m_dpcDelayMs;
    int m_dpcFit;
    SimClock m_clock;
    std::array<uint8_t, 256> m_regs{};
    std::vector<uint16_t> m_tables;  // kTableKinds * kTableEntries
    uint8_t m_dataLowLatch = 0;
    bool m_dpcRunning = false;
    std::chrono::steady_clock::time_point m_dpcStart{};
    uint32_t m_dpcRuns = 0;
};

}  // namespace TVR::Sim
