#include "dpc_test_helpers.h"

#include <gtest/gtest.h>

#include "protocol/vendor_requests.h"
#include "sim/sim_options.h"
#include "test_support.h"

namespace TVR::DpcTest {

DpcRig::DpcRig(const std::string& simOptions) {
    Sim::SimSetup setup;
    std::string error;
    EXPECT_TRUE(Sim::parseSimOptions(simOptions, {}, setup, error)) << error;
    setup.firmware.clock = [this] { return now; };
    driver = Sim::simDriverFromSetup(std::move(setup));
    if (!driver->cameras().empty()) {
        simCamera = driver->cameras().at(0);
        firmware = std::dynamic_pointer_cast<Sim::SimCameraFirmware>(simCamera->firmware());
    }
    sensor = std::make_unique<ImgSensor>(*driver, log, false, kControlTimeoutMs);
    sensor->setWaitFunction([](uint32_t) {});
    if (simCamera) {
        EXPECT_TRUE(sensor->selectDevice(0));
        simCamera->clearRequests();
    }
}

std::vector<std::string> DpcRig::messages() const { return messagesSince(log, 0); }

std::vector<int> writtenThresholds(const Sim::SimCamera& camera) {
    std::vector<int> thresholds;
    for (const Sim::SimRequestRecord& r : camera.requests()) {
        if (r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn() &&
            r.setup.bRequest == VR_DPC_CALIBRATE) {
            thresholds.push_back(r.setup.wValue);
        }
    }
    return thresholds;
}

}  // namespace TVR::DpcTest
