#pragma once

// A simulated camera with a store and log inspection for the settings tests; temporary
// folders come from the shared test support.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/control_transfer.h"
#include "settings/settings_store.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "test_support.h"

namespace TVR::SettingsTest {

// One simulated camera, connected, with a store whose messages go to a private log.
struct CameraRig : TestSupport::SimCameraRig, ControlHost {
    // `simOptions` as in TAVRO_SIM, for example "sensor=OV10823".
    explicit CameraRig(const std::string& simOptions = "");
    SettingsStore& settings() override { return store; }
    ImgSensor& camera() override { return *sensor; }
    int updateCounter() const override { return updating; }
    std::span<const NamedControl> controls() const override { return table; }
    std::vector<std::string> newMessages() const { return messagesSince(log, mark); }
    void markLog() { mark = log.firstMessageIndex() + log.messageCount(); }

    SettingsStore store{log};
    std::span<const NamedControl> table;
    int updating = 0;
    size_t mark = 0;
};

}  // namespace TVR::SettingsTest
