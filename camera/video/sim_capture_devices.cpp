#include "sim_capture_devices.h"

#include "sim_driver.h"

namespace TVR {

std::vector<CaptureDevice> SimCaptureDevices::audioCaptureDevices() {
    return list(CaptureKind::Audio);
}

std::vector<CaptureDevice> SimCaptureDevices::videoCaptureDevices() {
    return list(CaptureKind::Video);
}

std::vector<CaptureDevice> SimCaptureDevices::list(CaptureKind kind) {
    std::vector<CaptureDevice> devices;
    for (const auto& cam : m_driver.cameras()) {
        const Sim::SimCameraConfig& config = cam->config();
        const std::string& name = kind == CaptureKind::Video ? config.videoName : config.audioName;
        if (name.empty()) continue;
        CaptureDevice dev;
        dev.name = name;
        dev.location = config.captureLocation ? *config.captureLocation
                                              : m_driver.location(m_driver.pathOf(*cam));
        dev.symbolicLink =
            (kind == CaptureKind::Video ? "sim-video:" : "sim-audio:") + dev.location;
        dev.kind = kind;
        // The simulated capture device stands for the camera's own UVC hardware.
        dev.softwareDevice = false;
        devices.push_back(std::move(dev));
    }
    return devices;
}

}  // namespace TVR
