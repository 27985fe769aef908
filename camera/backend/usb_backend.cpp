#include "usb_backend.h"

#include "libusb/libusb_driver.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "sim/video/sim_capture_devices.h"
#include "video/sysfs_capture_devices.h"

namespace TVR {

Backends openBackends(bool simulate, std::string& error) {
    Backends b;
    if (simulate) {
        auto sim = Sim::simDriverFromEnvironment({}, error);
        if (!sim) return b;
        b.capture = std::make_unique<SimCaptureDevices>(*sim);
        b.usb = std::move(sim);
        return b;
    }
    // Without usbfs (containers) libusb cannot start; that simply lists no camera.
    b.usb = std::make_unique<Libusb::LibusbDriver>();
    b.capture = std::make_unique<SysfsCaptureDevices>();
    return b;
}

}  // namespace TVR
