#include "capture_device.h"

namespace TVR {

std::optional<CaptureDevice> findCaptureDevice(CaptureDeviceSource& source,
                                               const std::string& location) {
    if (location.empty()) return std::nullopt;
    for (CaptureDevice& dev : source.videoCaptureDevices()) {
        if (dev.location != location) continue;
        if (dev.softwareDevice) dev.name += kSoftwareDeviceSuffix;
        return std::move(dev);
    }
    return std::nullopt;
}

}  // namespace TVR
