#pragma once

// The camera object with its image sensor: FX3 plus sensor register access (through the FPGA's
// I²C bridge, or the legacy 8-byte packets on endpoints 0x04/0x84 of old firmware) and the
// detection of the sensor chip. Used like FX3, under the same thread rules; the chip object it
// hands out is replaced on every detection.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "fx3.h"
#include "sensor/img_sensor_chip.h"

namespace TVR {

class ImgSensor : public FX3 {
public:
    // Waits between the steps of a sensor reset; tests make it short.
    using WaitFunction = std::function<void(uint32_t ms)>;

    // Thread: the owner, with no batch running.
    ImgSensor(UsbDriver& driver, ApiLog& log, bool openFirst, uint32_t controlTimeoutMs);
    // Thread: the owner, with no batch running.
    ~ImgSensor() override;

    // Thread: the work holder.
    void close() override;
    // Reads the versions, then finds the sensor at 0x20, then at 0x6C. False when the version
    // step failed; otherwise whether the camera is connected.
    // Thread: the work holder.
    bool readVersions() override;

    // One sensor register: 8 bits over the bridge, 16 over endpoint 4; 0 on failure.
    // Thread: the work holder.
    uint16_t readRegister(uint16_t reg);
    // The bits of value selected by mask; mask 0 reads. Bridge: 0. Endpoint 4: the value before
    // the write, 0 on failure.
    // Thread: the work holder.
    uint16_t writeRegister(uint16_t reg, uint16_t value, uint16_t mask);
    // As readRegister, telling whether the exchange worked.
    // Thread: the work holder.
    bool readRegister(uint16_t reg, uint16_t& value);

    // Stores a new address (8-bit form) and re-detects the chip; nothing when unchanged.
    // Thread: the work holder.
    void setI2cAddress(uint8_t address);
    // Thread: the work holder.
    uint8_t i2cAddress() const { return m_address; }
    // Thread: the work holder.
    bool bridge() const { return m_bridge; }

    // Thread: the work holder; the object is replaced on every detection, so no reference
    // to it outlives the batch.
    IImgSensorChip& chip() { return *m_chip; }
    // Thread: the work holder.
    std::string chipName() const;
    // "{:02X}:{:02X}:{:02X}-{:02X}" of 0x300A, 0x300B, 0x300C and 0x302A.
    // Thread: the work holder.
    std::string chipIdText();

    // A value spread over a layout's registers; kUnavailable for a missing layout.
    // Thread: the work holder.
    uint32_t readMultiRegister(const SensorRegisterLayout& layout);
    // Keeps the unused high bits of a partly used register; all bytes are written in order.
    // Thread: the work holder.
    bool writeMultiRegister(const SensorRegisterLayout& layout, uint32_t value);

    // Thread: the owner, before any batch starts.
    void setWaitFunction(WaitFunction wait);
    // Thread: the work holder.
    void wait(uint32_t ms);

private:
    void detect();
    bool recomputeBridge() const;
    // One 8-byte exchange on endpoints 0x04/0x84; the register value of the reply.
    bool packetExchange(bool write, uint16_t reg, uint16_t value, uint16_t& reply);
    uint16_t packetAccess(uint16_t reg, uint16_t value, uint16_t mask, bool* ok);

    uint8_t m_address;
    bool m_bridge = false;
    std::unique_ptr<IImgSensorChip> m_chip;
    // The out and in halves of an endpoint-4 exchange belong together.
    std::mutex m_packetMutex;
    WaitFunction m_wait;
};

}  // namespace TVR
