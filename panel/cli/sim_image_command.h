#pragma once

// brisco-cli sim-image: writes a firmware image the simulated camera accepts (or, corrupt, one
// it rejects), for tests and demonstrations without a release server.

#include <ostream>
#include <string>
#include <vector>

namespace TVR::Cli {

extern const char* const kSimImageHelp;

// `args` are the command's own arguments (after "sim-image"); returns the exit code.
int runSimImage(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace TVR::Cli
