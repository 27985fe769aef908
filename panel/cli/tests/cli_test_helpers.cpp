#include "cli_test_helpers.h"

#include <stdlib.h>

#include <algorithm>
#include <sstream>

#include "cli/cli_app.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "sim/video/sim_capture_devices.h"

namespace TVR::Cli {

CliRun runCliWith(const std::vector<std::string>& args, const char* sim) {
    setenv("TAVRO_SIM", sim, 1);
    setenv("TAVRO_DOWNLOAD_SERVER", "http://127.0.0.1:1/", 1);
    std::ostringstream out, err;
    CliRun r;
    r.rc = runCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

CliRun runCliKeeping(const std::vector<std::string>& args, const std::string& sim,
                     std::vector<std::shared_ptr<Sim::SimCameraFirmware>>& kept) {
    setenv("TAVRO_DOWNLOAD_SERVER", "http://127.0.0.1:1/", 1);
    kept.clear();
    const BackendOpener open = [&](bool, std::string& error) {
        Backends b;
        auto driver = Sim::simDriverFromOptions(sim, {}, error);
        if (!driver) return b;
        for (const auto& cam : driver->cameras()) {
            kept.push_back(std::dynamic_pointer_cast<Sim::SimCameraFirmware>(cam->firmware()));
        }
        b.capture = std::make_unique<SimCaptureDevices>(*driver);
        b.usb = std::move(driver);
        return b;
    };
    std::ostringstream out, err;
    CliRun r;
    r.rc = runCli(args, out, err, open);
    r.out = out.str();
    r.err = err.str();
    return r;
}

ControlTimeoutVariable::ControlTimeoutVariable(const char* value) {
    setenv(kControlTimeoutVariable, value, 1);
}

ControlTimeoutVariable::~ControlTimeoutVariable() { unsetenv(kControlTimeoutVariable); }

std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}

size_t lineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace TVR::Cli
