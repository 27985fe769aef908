#pragma once

// The capture side of the simulated cameras: each plugged camera offers a video capture device
// (and an audio one when its configuration names it) at the camera's location, or at the
// location its configuration gives the capture side.

#include "video/capture_device.h"

#include <string>

namespace TVR::Sim {
class SimCamera;
class SimDriver;
}  // namespace TVR::Sim

namespace TVR {

// What a simulated video capture device's symbolic link starts with; its location follows.
inline constexpr const char* kSimVideoLinkPrefix = "sim-video:";

// Where a simulated camera's capture side sits.
std::string simCaptureLocation(Sim::SimDriver& driver, const Sim::SimCamera& camera);

class SimCaptureDevices : public CaptureDeviceSource {
public:
    // The driver must outlive this source.
    explicit SimCaptureDevices(Sim::SimDriver& driver) : m_driver(driver) {}

    std::vector<CaptureDevice> audioCaptureDevices() override;
    std::vector<CaptureDevice> videoCaptureDevices() override;
    // The simulated properties of the camera behind one of this source's video devices.
    std::unique_ptr<UvcPropertySource> openUvcProperties(const CaptureDevice& device) override;

private:
    std::vector<CaptureDevice> list(CaptureKind kind);
    Sim::SimDriver& m_driver;
};

}  // namespace TVR
