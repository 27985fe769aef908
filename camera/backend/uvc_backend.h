#pragma once

// The UVC properties of a capture device listed by the program's backends.

#include <memory>

#include "backend/usb_backend.h"
#include "video/capture_device.h"
#include "video/uvc_properties.h"

namespace TVR {

// The properties the backends' capture source opens for one of its devices: the simulated
// camera's when simulating, the V4L2 node's otherwise (a source without property sets when the
// node does not open). Null when the device does not belong to the open backends or, simulated,
// is gone.
std::unique_ptr<UvcPropertySource> openUvcProperties(Backends& backends,
                                                     const CaptureDevice& device);

}  // namespace TVR
