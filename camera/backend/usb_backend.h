#pragma once

// Chooses the backends of a program: the simulated cameras (configured by TAVRO_SIM) when asked
// to simulate, otherwise the libusb backend for the FX3 side and sysfs for the capture side.

#include <memory>
#include <string>

#include "usb/usb_driver.h"
#include "video/capture_device.h"

namespace TVR {

struct Backends {
    std::unique_ptr<UsbDriver> usb;
    std::unique_ptr<CaptureDeviceSource> capture;  // refers to `usb` when simulated
};

// Empty backends with a one-line reason when they cannot be set up (for example a bad
// TAVRO_SIM).
Backends openBackends(bool simulate, std::string& error);

}  // namespace TVR
