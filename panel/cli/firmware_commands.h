#pragma once

// brisco-cli's firmware commands: the releases the download server publishes for the camera's
// FX3 or FPGA, the control-panel installer check, and the firmware upgrade from a file or a
// release.

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_app.h"
#include "fx3.h"

namespace TVR {
class ApiLog;
}  // namespace TVR

namespace TVR::Cli {

struct FirmwareSettings {
    bool simulate = false;
    int device = 0;
    std::string server;  // --server; empty: TAVRO_DOWNLOAD_SERVER or the built-in address
    BackendOpener open;
    ApiLog& log;  // the run's log: the camera, the upgrade and the installer check record here
    uint32_t controlTimeoutMs = kControlTimeoutMs;
};

extern const char* const kReleasesHelp;
extern const char* const kCheckUpdateHelp;
extern const char* const kUpgradeHelp;

// An http:// or https:// address with a host, or a file:// address with a path; no white space
// or control characters.
bool validServerAddress(std::string_view url);

// `args` are the command's own arguments; each returns the exit code.
int runReleases(const std::vector<std::string>& args, const FirmwareSettings& settings,
                std::ostream& out, std::ostream& err);
int runCheckUpdate(const FirmwareSettings& settings, std::ostream& out, std::ostream& err);
// The step log goes to `out` as the procedure runs; 0 only when the procedure succeeded.
int runUpgrade(const std::vector<std::string>& args, const FirmwareSettings& settings,
               std::ostream& out, std::ostream& err);

}  // namespace TVR::Cli
