#include "uvc_backend.h"

namespace TVR {

std::unique_ptr<UvcPropertySource> openUvcProperties(Backends& backends,
                                                     const CaptureDevice& device) {
    if (!backends.capture) return nullptr;
    return backends.capture->openUvcProperties(device);
}

}  // namespace TVR
