#pragma once

// Sends vendor requests straight to a SimCameraFirmware, as the driver hands them over.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/vendor_requests.h"
#include "sim/sim_firmware.h"

namespace TVR::Sim::Test {

using Bytes = std::vector<uint8_t>;

inline std::optional<Bytes> vendorRead(SimFirmware& fw, uint8_t code, uint16_t value,
                                       uint16_t index, uint16_t length) {
    SetupPacket s{kVendorRead, code, value, index, length};
    Bytes data(length);
    uint32_t actual = 0;
    if (!fw.controlRequest(s, data, actual)) return std::nullopt;
    data.resize(actual);
    return data;
}

inline bool vendorWrite(SimFirmware& fw, uint8_t code, uint16_t value, uint16_t index,
                        Bytes data = {}) {
    SetupPacket s{kVendorWrite, code, value, index, static_cast<uint16_t>(data.size())};
    uint32_t actual = 0;
    return fw.controlRequest(s, data, actual);
}

inline int fpgaRead(SimFirmware& fw, uint8_t reg) {
    const auto r = vendorRead(fw, VR_FPGA_REG, 0, reg, 1);
    return r && r->size() == 1 ? (*r)[0] : -1;
}

inline bool fpgaWrite(SimFirmware& fw, uint8_t reg, uint8_t value) {
    return vendorWrite(fw, VR_FPGA_REG, value, reg);
}

inline int sensorRead(SimFirmware& fw, uint16_t reg) {
    const auto r = vendorRead(fw, VR_SENSOR_REG, 0, reg, 1);
    return r && r->size() == 1 ? (*r)[0] : -1;
}

inline bool sensorWrite(SimFirmware& fw, uint16_t reg, uint8_t value, uint8_t mask = 0xFF) {
    return vendorWrite(fw, VR_SENSOR_REG, static_cast<uint16_t>(mask << 8 | value), reg);
}

// A clock the test moves by hand.
struct ManualClock {
    std::atomic<int64_t> ms{1000};
    SimClock clock() {
        return [this] {
            return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load()));
        };
    }
};

inline SimFirmwareConfig withBuilds(uint32_t fx3, uint32_t fpga) {
    SimFirmwareConfig c;
    c.fx3Version = simVersionWithBuild(c.fx3Version, fx3);
    c.fpgaVersion = simVersionWithBuild(c.fpgaVersion, fpga);
    return c;
}

}  // namespace TVR::Sim::Test
