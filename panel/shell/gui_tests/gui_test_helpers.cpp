#include "gui_test_helpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "sim_options.h"

namespace TVR::GuiTest {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tvr-gui-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
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
    }
}

}  // namespace TVR::GuiTest
