#pragma once

// A simulated camera with its firmware for the command-channel and sensor tests, and helpers to
// look at what reached it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "apilog.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "usb/debugger_output.h"

namespace TVR::CameraTest {

Sim::SimFirmwareConfig firmwareConfig(uint32_t fx3Build, uint32_t fpgaBuild,
                                      Sim::SimSensorChip chip = Sim::SimSensorChip::OV9750,
                                      uint8_t sensorAddress = 0x20);

struct SimRig {
    explicit SimRig(Sim::SimFirmwareConfig config = {});

    // Vendor control requests the camera received since the last clear.
    std::vector<Sim::SetupPacket> vendorRequests() const;
    std::vector<Sim::SimRequestRecord> bulkRequests() const;
    void clear() const { camera->clearRequests(); }

    // The log the test's camera objects record into.
    ApiLog log;
    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> camera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
};

// Collects debugger-output texts while alive.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::vector<std::string> texts() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    DebugSink m_previous;
};

}  // namespace TVR::CameraTest
