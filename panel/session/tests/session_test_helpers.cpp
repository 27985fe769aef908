#include "session_test_helpers.h"

#include <gtest/gtest.h>

#include "sim/sim_options.h"
#include "sim/video/sim_capture_devices.h"

namespace TVR::SessionTest {

SessionRig::SessionRig(const std::string& simOptions) {
    std::string error;
    auto sim = Sim::simDriverFromOptions(simOptions, {}, error);
    EXPECT_TRUE(sim) << error;
    if (!sim) sim = std::make_unique<Sim::SimDriver>();
    driver = sim.get();
    cameras = sim->cameras();
    Backends backends;
    backends.capture = std::make_unique<SimCaptureDevices>(*sim);
    backends.usb = std::move(sim);
    CameraSession::Options options;
    options.openFirst = true;
    session = std::make_unique<CameraSession>(std::move(backends), log, prompter, options);
}

Sim::SimCameraFirmware& SessionRig::firmware(size_t camera) {
    return dynamic_cast<Sim::SimCameraFirmware&>(*cameras.at(camera)->firmware());
}

}  // namespace TVR::SessionTest
