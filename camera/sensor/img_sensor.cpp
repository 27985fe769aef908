#include "img_sensor.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "apilog.h"
#include "protocol/sensor_registers.h"
#include "protocol/vendor_requests.h"
#include "usb/usb_device.h"
#include "usb/usb_ep.h"

namespace TVR {

namespace {

constexpr int kFx3SensorBridge = 46;
constexpr uint8_t kPacketReplyLimit = 32;
constexpr size_t kMaxLayoutRegisters = 4;

uint32_t bitMask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

// Bits of a layout's register i that carry the value.
int usedBits(const SensorRegisterLayout& layout, size_t i) {
    const int position = static_cast<int>(layout.registers.size() - 1 - i) * 8;
    return std::clamp(layout.width - position, 0, 8);
}

}  // namespace

ImgSensor::ImgSensor(UsbDriver& driver, ApiLog& log, bool openFirst, uint32_t controlTimeoutMs)
    : FX3(driver, log, openFirst, controlTimeoutMs),
      m_address(kSensorAddressPrimary),
      m_chip(std::make_unique<IImgSensorBase>(*this, 0)),
      m_wait([](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

ImgSensor::~ImgSensor() { m_chip.reset(); }

void ImgSensor::close() { FX3::close(); }

bool ImgSensor::recomputeBridge() const {
    return (m_address == kSensorAddressPrimary || m_address == kSensorAddressSecondary) &&
           versionFX3().buildAtLeast(kFx3SensorBridge);
}

bool ImgSensor::readVersions() {
    if (!FX3::readVersions()) {
        close();
        return false;
    }
    m_bridge = recomputeBridge();
    detect();
    for (const uint8_t address : {kSensorAddressPrimary, kSensorAddressSecondary}) {
        if (m_chip->kind() == 0) setI2cAddress(address);
    }
    return connected();
}

void ImgSensor::detect() {
    // A camera that is gone would only log a row of failed requests.
    m_chip =
        connected() ? IImgSensorChip::create(*this) : std::make_unique<IImgSensorBase>(*this, 0);
}

void ImgSensor::setI2cAddress(uint8_t address) {
    if (address == m_address) return;
    m_address = address;
    m_bridge = recomputeBridge();
    detect();
}

std::string ImgSensor::chipName() const { return std::string(m_chip->name()); }

std::string ImgSensor::chipIdText() {
    const auto byte = [this](uint16_t reg) { return readRegister(reg) & 0xFF; };
    const int high = byte(SensorReg::kChipIdHigh);
    const int low = byte(SensorReg::kChipIdLow);
    const int revision = byte(SensorReg::kChipIdRevision);
    const int sub = byte(SensorReg::kChipSubRevision);
    return fmt::format("{:02X}:{:02X}:{:02X}-{:02X}", high, low, revision, sub);
}

bool ImgSensor::readRegister(uint16_t reg, uint16_t& value) {
    value = 0;
    if (m_bridge) {
        std::array<uint8_t, 1> b{};
        const bool ok = vendorRequest(VR_SENSOR_REG, false, 0, reg, b);
        value = b[0];
        return ok;
    }
    bool ok = false;
    value = packetAccess(reg, 0, 0, &ok);
    return ok;
}

uint16_t ImgSensor::readRegister(uint16_t reg) {
    uint16_t value = 0;
    readRegister(reg, value);
    return value;
}

uint16_t ImgSensor::writeRegister(uint16_t reg, uint16_t value, uint16_t mask) {
    if (mask == 0) return readRegister(reg);
    if (m_bridge) {
        const auto setup = static_cast<uint16_t>(((mask & 0xFF) << 8) | (value & 0xFF));
        vendorRequest(VR_SENSOR_REG, true, setup, reg);
        return 0;
    }
    return packetAccess(reg, value, mask, nullptr);
}

uint16_t ImgSensor::packetAccess(uint16_t reg, uint16_t value, uint16_t mask, bool* ok) {
    ApiLog& log = apiLog();
    const size_t record = log.recordSensorAccess(reg, value, mask);
    uint16_t old = 0;
    bool good = false;
    {
        std::lock_guard lock(m_packetMutex);
        good = packetExchange(false, reg, 0, old);
        if (good && mask != 0) {
            const auto merged = static_cast<uint16_t>((value & mask) | (old & ~mask));
            uint16_t ignored = 0;
            good = packetExchange(true, reg, merged, ignored);
            log.setWrittenValue(record, merged);
        }
    }
    if (!good) {
        old = 0;
        countFailedRequest();
    }
    log.setReadValue(record, old);
    log.setResult(record, good);
    log.finish(record);
    if (ok != nullptr) *ok = good;
    return old;
}

bool ImgSensor::packetExchange(bool write, uint16_t reg, uint16_t value, uint16_t& reply) {
    reply = 0;
    if (!connected()) return false;
    UsbEP* out = device().endpoint(kEpSensorOut);
    UsbEP* in = device().endpoint(kEpSensorIn);
    if (out == nullptr || in == nullptr) return false;
    std::array<uint8_t, kSensorPacketSize> packet = {write ? kSensorPacketWrite : kSensorPacketRead,
                                                     static_cast<uint8_t>(reg >> 8),
                                                     static_cast<uint8_t>(reg & 0xFF),
                                                     0,
                                                     0,
                                                     static_cast<uint8_t>(value & 0xFF),
                                                     static_cast<uint8_t>(value >> 8),
                                                     m_address};
    uint32_t moved = 0;
    if (!out->transfer(packet, moved) || moved != kSensorPacketSize) return false;
    std::array<uint8_t, kSensorPacketSize> answer{};
    if (!in->transfer(answer, moved) || moved != kSensorPacketSize) return false;
    if (answer[0] >= kPacketReplyLimit) return false;
    reply = static_cast<uint16_t>(answer[3] | (answer[4] << 8));
    return true;
}

uint32_t ImgSensor::readMultiRegister(const SensorRegisterLayout& layout) {
    if (!layout.present() || layout.registers.size() > kMaxLayoutRegisters) {
        return IImgSensorChip::kUnavailable;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < layout.registers.size(); ++i) {
        const int bits = usedBits(layout, i);
        const uint32_t part = readRegister(layout.registers[i]) & bitMask(bits);
        value = (value << 8) | part;
    }
    return value;
}

bool ImgSensor::writeMultiRegister(const SensorRegisterLayout& layout, uint32_t value) {
    if (!layout.present() || layout.registers.size() > kMaxLayoutRegisters) return false;
    const size_t n = layout.registers.size();
    std::array<uint8_t, kMaxLayoutRegisters> bytes{};
    for (size_t i = 0; i < n; ++i) {
        const int bits = usedBits(layout, i);
        const int position = static_cast<int>(n - 1 - i) * 8;
        uint32_t byte = (value >> position) & bitMask(bits);
        if (bits < 8) {
            // The register's other bits belong to other settings: without them, write nothing.
            uint16_t old = 0;
            if (!readRegister(layout.registers[i], old)) return false;
            byte |= old & ~bitMask(bits) & 0xFF;
        }
        bytes[i] = static_cast<uint8_t>(byte);
    }
    for (size_t i = 0; i < n; ++i) writeRegister(layout.registers[i], bytes[i], 0xFF);
    return true;
}

void ImgSensor::setWaitFunction(WaitFunction wait) {
    if (wait) m_wait = std::move(wait);
}

void ImgSensor::wait(uint32_t ms) { m_wait(ms); }

}  // namespace TVR
