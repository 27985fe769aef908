#pragma once

// brisco-cli reg: one register of the FPGA, the sensor or a device on the camera's I²C bus,
// read or written. Numbers take the consoles' syntax (0x.. hexadecimal, 0b.. binary, a leading
// 0 octal, otherwise decimal).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kRegHelp;

int runReg(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
           std::ostream& err);

}  // namespace TVR::Cli
