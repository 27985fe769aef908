#pragma once

// How a window reaches the UVC properties of the selected camera: the capture device at the
// camera's USB location, obtained on use and shut down again (closing the device node or
// releasing the simulated one). User-interface thread.

#include <memory>

#include "video/uvc_properties.h"

namespace TVR {

class CameraMediaSource {
public:
    virtual ~CameraMediaSource() = default;
    // The properties of the open camera's capture device; null when it has none.
    virtual std::unique_ptr<UvcPropertySource> open() = 0;
};

}  // namespace TVR
