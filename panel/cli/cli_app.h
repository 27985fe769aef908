#pragma once

// brisco-cli: the panel's camera work without a window. runCli() is the whole program over
// explicit streams so that tests drive it exactly as a user's shell does.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "backend/usb_backend.h"

namespace TVR::Cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCamera = 1;  // camera error, including no camera
inline constexpr int kExitUsage = 2;

// Overrides the control requests' time-out (kControlTimeoutMs) for the run; a value that is not
// 1 to kMaxControlTimeoutMs is a usage error.
inline constexpr const char* kControlTimeoutVariable = "TAVRO_CONTROL_TIMEOUT_MS";
inline constexpr uint32_t kMaxControlTimeoutMs = 3600000;

// Opens the backends of a run. Empty: openBackends(); tests pass one that keeps the simulated
// cameras in reach, so they can look at a camera after the command.
using BackendOpener = std::function<Backends(bool simulate, std::string& error)>;

inline Backends openCliBackends(const BackendOpener& open, bool simulate, std::string& error) {
    return open ? open(simulate, error) : openBackends(simulate, error);
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const BackendOpener& open = {});

}  // namespace TVR::Cli
