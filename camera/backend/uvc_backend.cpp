#include "uvc_backend.h"

#include <string_view>

#include "sim_capture_devices.h"
#include "sim_driver.h"
#include "sim_uvc_properties.h"
#include "v4l2_uvc_properties.h"

namespace TVR {

std::unique_ptr<UvcPropertySource> openUvcProperties(Backends& backends,
                                                     const CaptureDevice& device) {
    if (device.kind != CaptureKind::Video || device.symbolicLink.empty()) return nullptr;
    const std::string_view link = device.symbolicLink;
    const std::string_view simPrefix = kSimVideoLinkPrefix;
    auto* sim = dynamic_cast<Sim::SimDriver*>(backends.usb.get());
    if (sim != nullptr) {
        if (link.substr(0, simPrefix.size()) != simPrefix) return nullptr;
        return SimUvcProperties::find(*sim, std::string(link.substr(simPrefix.size())));
    }
    if (link.substr(0, simPrefix.size()) == simPrefix) return nullptr;
    return std::make_unique<V4l2UvcProperties>(device.symbolicLink);
}

}  // namespace TVR
