#pragma once

// A simulated camera whose detection runs follow a hand-moved clock, with a settings store, for
// the DPC models: a test moves the clock by the window's timer period and calls the tick itself.

#include <chrono>
#include <memory>
#include <string>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"

namespace TVR::DpcTest {

struct DpcRig {
    // `simOptions` as in TAVRO_SIM (dpc_ms, dpc_fit, ...).
    explicit DpcRig(const std::string& simOptions);

    void advance(std::chrono::milliseconds ms) { now += ms; }
    std::vector<std::string> messages() const;

    std::chrono::steady_clock::time_point now{};
    ApiLog log;
    std::unique_ptr<Sim::SimDriver> driver;
    std::shared_ptr<Sim::SimCamera> simCamera;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::unique_ptr<ImgSensor> sensor;
    SettingsStore store{log};
};

// The thresholds a request log shows written with VR_DPC_CALIBRATE, in order.
std::vector<int> writtenThresholds(const Sim::SimCamera& camera);

}  // namespace TVR::DpcTest
