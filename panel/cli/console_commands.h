#pragma once

// brisco-cli sysinfo, i2c-script and sensor-script: the camera's system information as the
// technical report lists it, and the register scripts of the I²C and sensor consoles run from a
// file. A script is read whole before anything is sent; one it cannot take names the line and
// column and sends nothing.

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kSysinfoHelp;
extern const char* const kI2cScriptHelp;
extern const char* const kSensorScriptHelp;

int runSysinfo(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
               std::ostream& err);
int runI2cScript(const std::vector<std::string>& args, const CameraChoice& camera,
                 std::ostream& out, std::ostream& err);
int runSensorScript(const std::vector<std::string>& args, const CameraChoice& camera,
                    std::ostream& out, std::ostream& err);

}  // namespace TVR::Cli
