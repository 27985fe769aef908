#pragma once

// brisco-cli: the panel's camera work without a window. runCli() is the whole program over
// explicit streams so that tests drive it exactly as a user's shell does.

#include <iosfwd>
#include <string>
#include <vector>

namespace TVR::Cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCamera = 1;  // camera error, including no camera
inline constexpr int kExitUsage = 2;

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace TVR::Cli
