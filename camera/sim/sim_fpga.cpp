#include "sim_fpga.h"

#include <algorithm>
#include <cmath>

#include "protocol/vendor_requests.h"

namespace TVR::Sim {

namespace {

constexpr unsigned kKinds = SimCameraFirmware::kTableKinds;
constexpr unsigned kEntries = SimCameraFirmware::kTableEntries;

// A colour-substitution band after power-up: off, green, hue 120 with a tolerance of 10
// (8192 steps per 180 degrees).
constexpr uint16_t kBandHue = 5461;
constexpr uint16_t kBandTolerance = 455;

}  // namespace

SimFpga::SimFpga(uint32_t version, uint32_t dpcDelayMs, SimClock clock, int dpcFit)
    : m_version(version),
      m_dpcDelayMs(dpcDelayMs),
      m_dpcFit(dpcFit),
      m_clock(std::move(clock)),
      m_tables(size_t{kKinds} * kEntries) {
    powerCycle();
}

void SimFpga::powerCycle() {
    using namespace FpgaReg;
    m_regs.fill(0);
    std::fill(m_tables.begin(), m_tables.end(), 0);
    m_dataLowLatch = 0;
    m_dpcRunning = false;
    m_regs[kNoiseReductionChroma] = 0x10;
    m_regs[kNoiseReductionLuma] = 0x10;
    for (unsigned b = 0; b < kColourSubstBands; ++b) {
        const unsigned base = kColourSubstBase + kColourSubstStride * b;
        m_regs[base + kBandEnable] = 0;
        m_regs[base + kBandSatMin] = 20;
        m_regs[base + kBandSatMax] = 255;
        m_regs[base + kBandLumMin] = 10;
        m_regs[base + kBandLumMax] = 245;
        m_regs[base + kBandHueLow] = kBandHue & 0xFF;
        m_regs[base + kBandHueLow + 1] = kBandHue >> 8;
        m_regs[base + kBandToleranceLow] = kBandTolerance & 0xFF;
        m_regs[base + kBandToleranceLow + 1] = kBandTolerance >> 8;
        m_regs[base + kBandGreenLow] = 255;
    }
    // Identity colour matrix: entries are (fraction / 256 + integer) / 2.
    for (unsigned i = 0; i < 9; i += 4) m_regs[kColourMatrixBase + 2 * i + 1] = 2;
}

std::chrono::steady_clock::time_point SimFpga::now() const {
    return m_clock ? m_clock() : std::chrono::steady_clock::now();
}

unsigned SimFpga::selectedKind() const { return m_regs[FpgaReg::kTableSelectHigh] >> 5; }

unsigned SimFpga::selectedEntry() const {
    return ((m_regs[FpgaReg::kTableSelectHigh] >> 1) & 0x0F) << 8 |
           m_regs[FpgaReg::kTableSelectLow];
}

bool SimFpga::hasTable(unsigned kind) const {
    const uint32_t build = simVersionBuild(m_version);
    switch (kind) {
        case 0:
        case 1:
            return build >= 61;
        case 2:
        case 4:
            return build >= 70;
        case 3:
        case 5:
            return build >= 73;
        default:
            return false;
    }
}

uint16_t SimFpga::entry(unsigned kind, unsigned index) const {
    if (kind >= kKinds || index >= kEntries) return 0;
    return m_tables[size_t{kind} * kEntries + index];
}

void SimFpga::setEntry(unsigned kind, unsigned index, uint16_t value) {
    if (kind >= kKinds || index >= kEntries) return;
    m_tables[size_t{kind} * kEntries + index] = value;
}

uint16_t SimFpga::dpcCount(unsigned threshold) {
    const double n = std::round(60000.0 * std::exp(-double(std::min(threshold, 255u)) / 32.0));
    return static_cast<uint16_t>(std::max(1.0, n));
}

uint16_t SimFpga::countFor(unsigned threshold) const {
    if (m_dpcFit < 0) return dpcCount(threshold);
    const int t = static_cast<int>(std::min(threshold, 255u));
    if (t >= m_dpcFit) return static_cast<uint16_t>(std::max(1, 4094 - 16 * (t - m_dpcFit)));
    return static_cast<uint16_t>(4095 + 16 * (m_dpcFit - 1 - t));
}

uint16_t SimFpga::currentDpcCount() const {
    if (!m_dpcRunning) return 0;
    if (now() - m_dpcStart < std::chrono::milliseconds(m_dpcDelayMs)) return 0;
    return countFor(m_regs[FpgaReg::kDpcThresholdLow] | m_regs[FpgaReg::kDpcThresholdHigh] << 8);
}

void SimFpga::calibrate(unsigned threshold) {
    threshold = std::min(threshold, 255u);
    m_regs[FpgaReg::kDpcThresholdLow] = static_cast<uint8_t>(threshold);
    m_regs[FpgaReg::kDpcThresholdHigh] = 0;
    m_dpcRunning = true;
    m_dpcStart = now();
    ++m_dpcRuns;
}

uint8_t SimFpga::read(uint8_t reg) const {
    using namespace FpgaReg;
    switch (reg) {
        case kDpcCountLow:
            return static_cast<uint8_t>(currentDpcCount() & 0xFF);
        case kDpcCountHigh:
            return static_cast<uint8_t>(currentDpcCount() >> 8);
        case kTableDataLow:
        case kTableDataHigh: {
            const unsigned kind = selectedKind();
            if (!hasTable(kind)) return 0;
            const uint16_t v = entry(kind, selectedEntry());
            return static_cast<uint8_t>(reg == kTableDataLow ? v & 0xFF : v >> 8);
        }
        default:
            return m_regs[reg];
    }
}

void SimFpga::write(uint8_t reg, uint8_t value) {
    using namespace FpgaReg;
    switch (reg) {
        case kDpcCountLow:
        case kDpcCountHigh:
            return;
        case kTableDataLow:
            m_dataLowLatch = value;
            m_regs[reg] = value;
            return;
        case kTableDataHigh: {
            m_regs[reg] = value;
            const unsigned kind = selectedKind();
            if (hasTable(kind)) {
                setEntry(kind, selectedEntry(), static_cast<uint16_t>(value << 8 | m_dataLowLatch));
            }
            return;
        }
        default:
            m_regs[reg] = value;
    }
}

}  // namespace TVR::Sim
