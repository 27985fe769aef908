#include "cli_test_helpers.h"

#include <stdlib.h>
#include <sstream>

#include "cli_app.h"
#include "sim_capture_devices.h"
#include "sim_driver.h"
#include "sim_options.h"

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

}  // namespace TVR::Cli
