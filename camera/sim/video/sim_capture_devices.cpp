#include "sim_capture_devices.h"

#include <string_view>

#include "sim/sim_driver.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR {

std::string simCaptureLocation(Sim::SimDriver& driver, const Sim::SimCamera& camera) {
    const auto& captureLocation = camera.config().captureLocation;
    return captureLocation ? *captureLocation : driver.location(driver.pathOf(camera));
}

std::vector<CaptureDevice> SimCaptureDevices::audioCaptureDevices() {
    return list(CaptureKind::Audio);
}

std::vector<CaptureDevice> SimCaptureDevices::videoCaptureDevices() {
    return list(CaptureKind::Video);
}

std::unique_ptr<UvcPropertySource> SimCaptureDevices::openUvcProperties(
    const CaptureDevice& device) {
    if (device.kind != CaptureKind::Video) return nullptr;
    const std::string_view link = device.symbolicLink;
    const std::string_view prefix = kSimVideoLinkPrefix;
    if (link.substr(0, prefix.size()) != prefix) return nullptr;
    return SimUvcProperties::find(m_driver, std::string(link.substr(prefix.size())));
}

std::vector<CaptureDevice> SimCaptureDevices::list(CaptureKind kind) {
    std::vector<CaptureDevice> devices;
    for (const auto& cam : m_driver.cameras()) {
        const Sim::SimCameraConfig& config = cam->config();
        const std::string& name = kind == CaptureKind::Video ? config.videoName : config.audioName;
        if (name.empty()) continue;
        CaptureDevice dev;
        dev.name = name;
        dev.location = simCaptureLocation(m_driver, *cam);
        dev.symbolicLink =
            (kind == CaptureKind::Video ? kSimVideoLinkPrefix : "sim-audio:") + dev.location;
        dev.kind = kind;
        // The simulated capture device stands for the camera's own UVC hardware.
        dev.softwareDevice = false;
        devices.push_back(std::move(dev));
    }
    return devices;
}

}  // namespace TVR
