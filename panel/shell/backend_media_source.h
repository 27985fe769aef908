#pragma once

// The camera's media source over the program's backends: the capture device at the open
// camera's USB location, with its UVC properties. User-interface thread.

#include "media_source.h"

namespace TVR {

struct Backends;
class ImgSensor;

class BackendMediaSource : public CameraMediaSource {
public:
    // Both must outlive the source.
    BackendMediaSource(Backends& backends, ImgSensor& camera);
    // Null when no camera is connected, it has no capture device or that does not open.
    std::unique_ptr<UvcPropertySource> open() override;

private:
    Backends& m_backends;
    ImgSensor& m_camera;
};

}  // namespace TVR
