#pragma once

// A camera session over simulated cameras, with the cameras kept in reach so that a test can
// look at them, unplug them or inject faults after the session opened them.

#include <memory>
#include <string>
#include <vector>

#include "apilog.h"
#include "session/camera_session.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"

namespace TVR::SessionTest {

// Keeps what the transfers said instead of asking anyone.
class RecordingPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view, std::string_view text) override {
        questions.emplace_back(text);
        return answer;
    }
    void showError(std::string_view, std::string_view text) override { errors.emplace_back(text); }
    void showStatus(std::string_view text) override { statuses.emplace_back(text); }

    bool answer = false;
    std::vector<std::string> questions;
    std::vector<std::string> errors;
    std::vector<std::string> statuses;
};

struct SessionRig {
    // `simOptions` as in TAVRO_SIM; the first camera is opened when there is one.
    explicit SessionRig(const std::string& simOptions = "");

    Sim::SimCameraFirmware& firmware(size_t camera = 0);

    ApiLog log;
    RecordingPrompter prompter;
    Sim::SimDriver* driver = nullptr;
    std::vector<std::shared_ptr<Sim::SimCamera>> cameras;
    std::unique_ptr<CameraSession> session;
};

}  // namespace TVR::SessionTest
