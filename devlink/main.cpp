#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "backend/usb_backend.h"
#include "device_match.h"

namespace {

constexpr const char* kUsage =
    "Usage: devlink [--simulate] [--no-wait] [--help]\n"
    "Lists the audio and video capture devices and the FX3 devices, and pairs them by the USB\n"
    "port they sit on.\n"
    "  --simulate  use the simulated cameras (configured by TAVRO_SIM)\n"
    "  --no-wait   do not wait for Enter before exiting\n";

}  // namespace

int main(int argc, char** argv) {
    bool simulate = false;
    bool noWait = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--simulate") {
            simulate = true;
        } else if (a == "--no-wait") {
            noWait = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "devlink: unknown option '" << a << "'\n" << kUsage;
            return 2;
        }
    }

    std::string error;
    TVR::Backends backends = TVR::openBackends(simulate, error);
    if (backends.usb && backends.capture) {
        TVR::Devlink::ConsoleWriter w(std::cout, isatty(STDOUT_FILENO) != 0);
        TVR::Devlink::writeReport(*backends.usb, *backends.capture, w);
    } else {
        std::cerr << "devlink: " << error << '\n';
    }

    std::cout << "Press [Enter] to exit" << std::flush;
    // Only a person at a terminal is waited for, so the tool also runs in scripts.
    if (!noWait && isatty(STDIN_FILENO)) std::getchar();
    std::cout << '\n';
    return 0;
}
