#pragma once

// The simulated camera's firmware: the FX3 program, the FPGA behind it and the I²C bus with the
// image sensor, answering the vendor requests, the legacy sensor packets on bulk 0x04/0x84 and
// (through the upgrade handler) the firmware-upgrade requests exactly as a camera would.
// Thread-safe: one lock guards the whole model, so the driver's threads and tests may call
// every member concurrently.
//
// Behaviour a host can rely on (the documented interface leaves these to the firmware):
// - Requests newer than the FX3 build stall, as on that firmware: VR_RAW_VIDEO needs build 38,
//   VR_SENSOR_REG 46, VR_REAL0 52, VR_SYSINFO 53 (layout 1; layout 2 from 60), VR_TABLE 55,
//   VR_PARAM_BA 103. Unknown requests stall.
// - FPGA tables: kinds 0-5, 4096 16-bit entries each (the 12-bit entry space of the select
//   registers), all 0 at start. Reading 0xC2/0xC3 gives the low/high byte of the selected entry;
//   writing 0xC2 latches the low byte and writing 0xC3 commits (latched low | high << 8). Nothing
//   auto-increments; VR_TABLE leaves the select registers alone. A kind older than the FPGA
//   build (0-1: 61, 2 and 4: 70, 3 and 5: 73) has no table: it reads 0 and ignores writes.
// - DPC: VR_DPC_CALIBRATE (threshold clamped to 255) sets registers 32/33 and starts a
//   detection run; registers 34/35 read 0 for dpcDelayMs, then
//   count = max(1, round(60000 * exp(-threshold / 32))), so thresholds from 86 up give fewer
//   than 4095 pixels. With dpcFit set the curve is a step around that threshold instead: from
//   dpcFit up the count is 4094 - 16 * (threshold - dpcFit) (at least 1), below it
//   4095 + 16 * (dpcFit - 1 - threshold), so dpcFit 256 fits nowhere. Registers 34/35 are
//   status registers: writes to them are ignored.
//   Writing 32/33 directly stores the threshold without a run.
// - Set-points: VR_AWB_SETPOINT and VR_AFN_PERIOD reads are big-endian before FX3 build 59,
//   little-endian from 59. LEDs are FPGA registers 8-13 (R, G, B as low/high pairs), noise
//   reduction 14 (chroma) and 15 (luma), the fan bit 6 of register 6.
// - I²C: addresses are in 8-bit form; a missing device or a register number wider than the
//   device's register address stalls the request (the NAK). VR_SENSOR_REG reaches the sensor
//   wherever it sits. The FPGA is on the bus at 0x06 with its register file.
// - Sensor: software reset is register 0x0103 bit 0 (self-clearing; the map returns to its
//   defaults and pending groups are dropped); the chip ID registers 0x300A-0x300C and 0x302A
//   are read-only. Group hold at 0x3208: bits 4-7 zero start recording group (bits 0-3),
//   writes to other registers are then buffered; 0x1g stops recording; any value with bit 5
//   set launches group g (applies its buffered writes in order; with bit 4 clear, as the
//   two-step launches send it, recording has stopped already).
// - EP4 packets: a reply of 8 bytes is queued per packet (bytes 3-4 the register value low
//   first, byte 0 = 0 on success, 0x21 when no device answered, 0xFF for an unknown command);
//   a packet that is not 8 bytes stalls, and so does a bulk IN with no reply queued.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_camera.h"

namespace TVR::Sim {

// Version words: bits 0-2 vendor, 3-7 hardware, 8-15 product, 16-18 release kind, 19-31 build.
constexpr uint32_t simVersionWord(uint32_t vendor, uint32_t hardware, uint32_t product,
                                  uint32_t release, uint32_t build) {
    return (vendor & 7) | (hardware & 0x1F) << 3 | (product & 0xFF) << 8 | (release & 7) << 16 |
           (build & 0x1FFF) << 19;
}
constexpr uint32_t simVersionBuild(uint32_t word) { return word >> 19; }
constexpr uint32_t simVersionWithBuild(uint32_t word, uint32_t build) {
    return (word & 0x7FFFF) | (build & 0x1FFF) << 19;
}
inline constexpr uint32_t kMaxSimBuild = 8191;

enum class SimSensorChip { None, OV9713, OV9714, OV9750, OV9755, OV10823, OV13850, OV48C40 };

const char* simSensorChipName(SimSensorChip chip);  // "OV9750", "none"
// Case-insensitive; "none" gives SimSensorChip::None.
std::optional<SimSensorChip> simSensorChipFromName(std::string_view name);

// A plain register-file device on the I²C bus.
struct SimI2cDeviceConfig {
    uint8_t address = 0;       // 8-bit form, even
    uint8_t registerBits = 8;  // register address width: 8 or 16
    std::string name;
};

// The other devices of a Brisco camera's bus: I²C expander 0x42, ADAU1761 audio codec 0x76
// (16-bit registers), Si570 clock 0xAA.
std::vector<SimI2cDeviceConfig> defaultSimI2cDevices();

using SimClock = std::function<std::chrono::steady_clock::time_point()>;

struct SimFirmwareConfig {
    uint32_t fx3Version = simVersionWord(1, 1, 4, 5, 105);
    uint32_t fpgaVersion = simVersionWord(1, 1, 4, 5, 90);
    SimSensorChip sensor = SimSensorChip::OV9750;
    uint8_t sensorAddress = 0x20;
    int usbVersion = 3;  // what the system information record reports
    uint32_t dpcDelayMs = 20;
    int dpcFit = -1;  // -1: the exponential count curve; 0-256: the step curve
    std::vector<SimI2cDeviceConfig> i2cDevices = defaultSimI2cDevices();
    SimClock clock;  // empty: std::chrono::steady_clock::now
};

// The FX3-side values the vendor requests read and write.
struct SimFx3Params {
    uint8_t rawVideo = 0;         // VR_RAW_VIDEO
    uint8_t paramBA = 0;          // VR_PARAM_BA (SDI output)
    uint8_t aeSetpoint = 112;     // VR_AE_SETPOINT
    uint16_t awbSetpoint = 1024;  // VR_AWB_SETPOINT
    uint16_t afnPeriod = 8;       // VR_AFN_PERIOD
    float real0 = 30.0f;          // VR_REAL0: video frame rate
    float real1 = 47.5f;          // VR_REAL1: FPGA core temperature
};

// One write that reached a device on the I²C bus, by any path.
struct SimI2cWrite {
    uint8_t address = 0;
    uint16_t reg = 0;
    uint8_t value = 0;
    bool operator==(const SimI2cWrite&) const = default;
};

// The firmware-upgrade side (boot loader, SPI flash, FPGA configuration, reset, the bitstream
// on 0x05). The firmware hands every such request to its handler without holding its own
// lock, so a handler may call back into SimCameraFirmware (versions, reset).
class SimUpgradeHandler {
public:
    virtual ~SimUpgradeHandler() = default;
    virtual bool controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                                uint32_t& actual) = 0;
    virtual bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) = 0;
    // The camera got power again: boots and names the product id it enumerates under.
    virtual uint16_t powerOn(uint16_t productId) { return productId; }
};

// The handler of a camera without upgrade support: the boot-loader status reads 0 (the
// normal program runs), everything else stalls.
class SimNoUpgrade : public SimUpgradeHandler {
public:
    bool controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override;
    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
};

// True for the request codes that belong to the upgrade handler.
bool isSimUpgradeRequest(uint8_t bRequest);

class SimCameraFirmware : public SimFirmware {
public:
    explicit SimCameraFirmware(SimFirmwareConfig config = {});
    ~SimCameraFirmware() override;
    SimCameraFirmware(const SimCameraFirmware&) = delete;
    SimCameraFirmware& operator=(const SimCameraFirmware&) = delete;

    // SimFirmware
    bool controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override;
    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
    bool bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) override;
    uint16_t powerOn(uint16_t productId) override;  // the upgrade handler decides

    SimFirmwareConfig config() const;  // as built; the versions may have changed since
    void setUpgradeHandler(std::shared_ptr<SimUpgradeHandler> handler);  // null: SimNoUpgrade

    uint32_t fx3Version() const;
    void setFx3Version(uint32_t word);
    uint32_t fpgaVersion() const;
    void setFpgaVersion(uint32_t word);
    // Back to the state after power-up: registers, tables, sensor, set-points, queued replies.
    void powerCycle();

    SimFx3Params params() const;
    void setParams(const SimFx3Params& p);

    // FPGA register as a VR_FPGA_REG read gives it (table data and DPC count included), and a
    // raw poke without side effects.
    uint8_t fpgaRegister(uint8_t reg) const;
    void setFpgaRegister(uint8_t reg, uint8_t value);
    static constexpr unsigned kTableKinds = 6;
    static constexpr unsigned kTableEntries = 4096;
    // Entries outside a table read 0 and are not written.
    uint16_t tableEntry(unsigned kind, unsigned entry) const;
    void setTableEntry(unsigned kind, unsigned entry, uint16_t value);
    uint32_t dpcRuns() const;

    SimSensorChip sensorChip() const;
    uint8_t sensorAddress() const;
    // Sensor register as the chip holds it now, and a poke that bypasses group hold and the
    // read-only chip ID (0 / ignored without a sensor).
    uint8_t sensorRegister(uint16_t reg) const;
    void setSensorRegister(uint16_t reg, uint8_t value);
    uint8_t sensorDefault(uint16_t reg) const;

    // Any bus device (sensor and FPGA included); empty when nothing answers there.
    std::optional<uint8_t> i2cRegister(uint8_t address, uint16_t reg) const;
    std::vector<uint8_t> i2cAddresses() const;  // ascending
    // The last writes on the bus (oldest first; the oldest are dropped beyond 65536).
    std::vector<SimI2cWrite> i2cWrites() const;
    void clearI2cWrites();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace TVR::Sim
