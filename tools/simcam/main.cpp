// tavro-simcam: the simulated camera as a real USB device on the kernel's USB/IP virtual host
// controller, until interrupted.

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fmt/format.h>

#include "simcam_cameras.h"
#include "simcam_host.h"

namespace {

constexpr const char* kUsage =
    "Usage: tavro-simcam [--help]\n"
    "Serves the simulated cameras (configured by TAVRO_SIM, as for --simulate) over USB/IP to\n"
    "the kernel's virtual host controller, so every program sees them as USB cameras. Needs the\n"
    "vhci-hcd module and write access to /sys/devices/platform/vhci_hcd.0 (root). Runs until\n"
    "SIGINT or SIGTERM, then detaches the cameras.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            fmt::print("{}", kUsage);
            return 0;
        }
        fmt::print(stderr, "tavro-simcam: unknown argument \"{}\"\n{}", argv[i], kUsage);
        return 2;
    }
    // Blocked before any thread starts, so only sigwait below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const char* env = std::getenv("TAVRO_SIM");
    std::string error;
    auto driver = TVR::Simcam::simcamDriverFromOptions(env ? env : "", error);
    if (!driver) {
        fmt::print(stderr, "tavro-simcam: TAVRO_SIM: {}\n", error);
        return 2;
    }
    TVR::Simcam::SimcamHost host(*driver);
    host.setLog([](const std::string& line) {
        fmt::print("{}\n", line);
        std::fflush(stdout);
    });
    if (!host.start(error)) {
        fmt::print(stderr, "tavro-simcam: {}\n", error);
        return 1;
    }
    fmt::print("ready\n");
    std::fflush(stdout);
    int sig = 0;
    sigwait(&signals, &sig);
    host.stop();
    return 0;
}
