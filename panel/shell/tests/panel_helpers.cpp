#include <gtest/gtest.h>

#include "panel_test_helpers.h"
#include "sim_options.h"

namespace TVR::PanelTest {

std::vector<std::string> messagesSince(const ApiLog& log, size_t from) {
    std::vector<std::string> out;
    const size_t first = log.firstMessageIndex();
    for (size_t i = std::max(from, first); i < first + log.messageCount(); ++i) {
        if (auto m = log.message(i)) out.push_back(m->text);
    }
    return out;
}

CameraRig::CameraRig(const std::string& spec) {
    std::string error;
    driver = Sim::simDriverFromSpec(spec, {}, error);
    EXPECT_TRUE(driver) << error;
    if (!driver) return;
    if (!driver->cameras().empty()) {
        simCamera = driver->cameras().at(0);
        firmware = std::dynamic_pointer_cast<Sim::SimCameraFirmware>(simCamera->firmware());
    }
    sensor = std::make_unique<ImgSensor>(*driver, false, 50);
    sensor->setWaitFunction([](uint32_t) {});
    if (simCamera) {
        EXPECT_TRUE(sensor->selectDevice(0));
        simCamera->clearRequests();
        if (firmware) firmware->clearI2cWrites();
    }
}

}  // namespace TVR::PanelTest
