#pragma once

// Runs brisco-cli in-process over string streams, with TAVRO_SIM set for the run.

#include <memory>
#include <string>
#include <vector>

#include "sim/sim_firmware.h"

namespace TVR::Cli {

struct CliRun {
    int rc = -1;
    std::string out;
    std::string err;
};

// The download server defaults to a closed local port, so no test reaches a real server.
CliRun runCliWith(const std::vector<std::string>& args, const char* sim = "cameras=1");

// TAVRO_CONTROL_TIMEOUT_MS for one scope.
class ControlTimeoutVariable {
public:
    explicit ControlTimeoutVariable(const char* value);
    ~ControlTimeoutVariable();
    ControlTimeoutVariable(const ControlTimeoutVariable&) = delete;
    ControlTimeoutVariable& operator=(const ControlTimeoutVariable&) = delete;
};

// The lines of a program's output, without their line ends; a last line without one counts.
std::vector<std::string> outputLines(const std::string& text);
size_t lineCount(const std::string& text);

// The same with --simulate's cameras built from `sim` here, so that their firmware can be looked
// at after the run; `kept` gets one firmware model per camera.
CliRun runCliKeeping(const std::vector<std::string>& args, const std::string& sim,
                     std::vector<std::shared_ptr<Sim::SimCameraFirmware>>& kept);

}  // namespace TVR::Cli
