#pragma once

// The capture side of a camera: the audio and video capture devices the system offers, each
// with the USB port location of the hardware behind it, so a camera's FX3 device and its
// capture device can be paired by the same "<bus>-<port…>" text.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "video/uvc_properties.h"

namespace TVR {

enum class CaptureKind { Audio, Video };

struct CaptureDevice {
    std::string name;
    std::string symbolicLink;  // what opens the device: a device node, a stable link, a sim id
    std::string location;      // "<bus>-<port…>" of the USB device; empty when not on USB
    CaptureKind kind = CaptureKind::Video;
    bool softwareDevice = false;  // no hardware behind it (loopback, test-pattern drivers)
};

// A listing of capture devices. Each call enumerates afresh; callers on any thread.
class CaptureDeviceSource {
public:
    virtual ~CaptureDeviceSource() = default;
    virtual std::vector<CaptureDevice> audioCaptureDevices() = 0;
    virtual std::vector<CaptureDevice> videoCaptureDevices() = 0;
    // The UVC properties of one of this source's video capture devices. Null for an audio
    // device, a device this source does not list, or one that has gone.
    virtual std::unique_ptr<UvcPropertySource> openUvcProperties(const CaptureDevice& device) = 0;
};

// The capture device of the USB camera at `location` (UsbDriver::location of its path): the
// first video capture device whose location is exactly the same text, its name marked
// " - software device" when no hardware is behind it. None for an empty location.
std::optional<CaptureDevice> findCaptureDevice(CaptureDeviceSource& source,
                                               const std::string& location);

inline constexpr const char* kSoftwareDeviceSuffix = " - software device";

}  // namespace TVR
