#include "sim_i2c_bus.h"

#include <algorithm>

namespace TVR::Sim {

namespace {
// The lowest bit of an 8-bit address is the bus's read/write bit, not part of the address.
uint8_t busAddress(uint8_t address) { return static_cast<uint8_t>(address & 0xFE); }
}  // namespace

SimRegisterFile::SimRegisterFile(unsigned registerBits)
    : m_bits(registerBits == 16 ? 16 : 8), m_regs(size_t{1} << m_bits) {}

void SimRegisterFile::powerCycle() { std::fill(m_regs.begin(), m_regs.end(), 0); }

void SimI2cBus::attach(uint8_t address, std::shared_ptr<SimI2cDevice> device) {
    m_devices[busAddress(address)] = std::move(device);
}

SimI2cDevice* SimI2cBus::device(uint8_t address) const {
    const auto it = m_devices.find(busAddress(address));
    return it == m_devices.end() ? nullptr : it->second.get();
}

SimI2cDevice* SimI2cBus::reachable(uint8_t address, uint16_t reg) const {
    SimI2cDevice* dev = device(address);
    if (!dev || (dev->registerBits() == 8 && reg > 0xFF)) return nullptr;
    return dev;
}

std::optional<uint8_t> SimI2cBus::read(uint8_t address, uint16_t reg) const {
    const SimI2cDevice* dev = reachable(address, reg);
    if (!dev) return std::nullopt;
    return dev->read(reg);
}

bool SimI2cBus::write(uint8_t address, uint16_t reg, uint8_t value) {
    SimI2cDevice* dev = reachable(address, reg);
    if (!dev) return false;
    dev->write(reg, value);
    if (m_log.size() >= kMaxLog) m_log.pop_front();
    m_log.push_back({busAddress(address), reg, value});
    return true;
}

std::vector<uint8_t> SimI2cBus::addresses() const {
    std::vector<uint8_t> out;
    for (const auto& [a, d] : m_devices) out.push_back(a);
    return out;
}

void SimI2cBus::powerCycle() {
    for (auto& [a, d] : m_devices) d->powerCycle();
}

}  // namespace TVR::Sim
