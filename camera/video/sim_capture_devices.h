#pragma once

// The capture side of the simulated cameras: each plugged camera offers a video capture device
// (and an audio one when its configuration names it) at the camera's location, or at the
// location its configuration gives the capture side.

#include "capture_device.h"

namespace TVR::Sim {
class SimDriver;
}

namespace TVR {

class SimCaptureDevices : public CaptureDeviceSource {
  public:
    // The driver must outlive this source.
    explicit SimCaptureDevices(Sim::SimDriver& driver) : m_driver(driver) {}

    std::vector<CaptureDevice> audioCaptureDevices() override;
    std::vector<CaptureDevice> videoCaptureDevices() override;

  private:
    std::vector<CaptureDevice> list(CaptureKind kind);
    Sim::SimDriver& m_driver;
};

}  // namespace TVR
