#pragma once

// Runs brisco-cli in-process over string streams, with TAVRO_SIM set for the run.

#include <string>
#include <vector>

namespace TVR::Cli {

struct CliRun {
    int rc = -1;
    std::string out;
    std::string err;
};

// The download server defaults to a closed local port, so no test reaches a real server.
CliRun runCliWith(const std::vector<std::string>& args, const char* sim = "cameras=1");

}  // namespace TVR::Cli
