#include "backend_media_source.h"

#include "sensor/img_sensor.h"
#include "usb_device.h"
#include "uvc_backend.h"

namespace TVR {

BackendMediaSource::BackendMediaSource(Backends& backends, ImgSensor& camera)
    : m_backends(backends), m_camera(camera) {}

std::unique_ptr<UvcPropertySource> BackendMediaSource::open() {
    if (!m_backends.capture || !m_camera.connected()) return nullptr;
    const auto device = findCaptureDevice(*m_backends.capture, m_camera.device().location());
    if (!device) return nullptr;
    return openUvcProperties(m_backends, *device);
}

}  // namespace TVR
