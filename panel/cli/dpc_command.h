#pragma once

// brisco-cli dpc-calibrate: the automatic DPC threshold search, one line per step, or one
// calibration run with a given threshold (--manual N), both driven by the same models and
// timer periods as the panel's windows.

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kDpcCalibrateHelp;

// Exit code 0 with the threshold and count found; 1 when no threshold fits, the run got no
// count, or the camera failed; 2 for a usage error.
int runDpcCalibrate(const std::vector<std::string>& args, const CameraChoice& camera,
                    std::ostream& out, std::ostream& err);

}  // namespace TVR::Cli
