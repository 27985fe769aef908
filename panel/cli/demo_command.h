#pragma once

// brisco-cli demo: the panel's demo mode without its window. Loads the settings files one after
// another into the camera, each for its duration, and starts again after the last, until
// interrupted (or until the list was played a given number of times). A file that fails to
// load is reported and skipped.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace TVR::Cli {

extern const char* const kDemoHelp;

// Set from a signal handler: the loop ends at its next tick.
std::atomic<bool>& demoStopRequested();

// Exit code 0 when every load came through, 1 when one failed (the loop went on) or the camera
// could not be opened, 2 for a usage error.
int runDemo(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
            std::ostream& err);

}  // namespace TVR::Cli
