#pragma once

// A simulated camera whose firmware answers as the simulator does, except where a fuzz target
// takes over a request to hand the host its own reply. The camera is opened once per process:
// every input then costs only the requests it is about.

#include <cstdint>
#include <memory>
#include <span>
#include <utility>

#include "sim/sim_camera.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"

namespace TavroFuzz {

class FirmwareProxy : public TVR::Sim::SimFirmware {
public:
    explicit FirmwareProxy(TVR::Sim::SimFirmwareConfig config)
        : m_inner(std::make_shared<TVR::Sim::SimCameraFirmware>(std::move(config))) {}

    bool controlRequest(const TVR::Sim::SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override {
        return m_inner->controlRequest(setup, data, actual);
    }
    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override {
        return m_inner->bulkOut(endpoint, data);
    }
    bool bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) override {
        return m_inner->bulkIn(endpoint, data, actual);
    }
    uint16_t powerOn(uint16_t productId) override { return m_inner->powerOn(productId); }

protected:
    std::shared_ptr<TVR::Sim::SimCameraFirmware> m_inner;
};

// The FX3 version word of a simulated camera with the given build.
inline TVR::Sim::SimFirmwareConfig firmwareWithBuild(uint32_t fx3Build) {
    TVR::Sim::SimFirmwareConfig config;
    config.fx3Version = TVR::Sim::simVersionWithBuild(config.fx3Version, fx3Build);
    return config;
}

}  // namespace TavroFuzz
