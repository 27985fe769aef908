#pragma once

// A simulated camera with a settings store and a private log, for the page and tool models.

#include <memory>
#include <string>
#include <vector>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "test_support.h"

namespace TVR::PanelTest {

// One simulated camera, connected (unless the options say otherwise), with a store whose
// messages go to a private log.
struct CameraRig : TestSupport::SimCameraRig {
    // `simOptions` as in TAVRO_SIM, for example "sensor=OV10823".
    explicit CameraRig(const std::string& simOptions = "");
    std::vector<std::string> newMessages() const { return messagesSince(log, mark); }
    void markLog() { mark = log.firstMessageIndex() + log.messageCount(); }

    SettingsStore store{log};
    size_t mark = 0;
};

}  // namespace TVR::PanelTest
