#include "sim_uvc_properties.h"

#include "sim/sim_driver.h"
#include "sim/video/sim_capture_devices.h"

namespace TVR {

namespace {

// The capture device is there while the camera is plugged and has a video side.
bool capturePresent(Sim::SimDriver& driver, const Sim::SimCamera& camera) {
    if (camera.config().videoName.empty()) return false;
    for (const auto& cam : driver.cameras()) {
        if (cam.get() == &camera) return true;
    }
    return false;
}

}  // namespace

class SimUvcProperties::Set : public UvcProperties {
public:
    Set(Sim::SimDriver& driver, std::shared_ptr<Sim::SimCamera> camera, Sim::SimUvcSet set)
        : m_driver(driver), m_camera(std::move(camera)), m_set(set) {}

    bool available() {
        return m_camera->uvc().offers(m_set) && capturePresent(m_driver, *m_camera);
    }

    std::optional<UvcRange> range(int32_t property) override {
        if (!capturePresent(m_driver, *m_camera)) return std::nullopt;
        const auto p = m_camera->uvc().property(m_set, property);
        if (!p) return std::nullopt;
        return UvcRange{p->min, p->max, p->step, p->defaultValue, p->caps};
    }

    std::optional<UvcSetting> get(int32_t property) override {
        if (!capturePresent(m_driver, *m_camera)) return std::nullopt;
        const auto p = m_camera->uvc().property(m_set, property);
        if (!p) return std::nullopt;
        return UvcSetting{p->value, p->flags};
    }

    bool set(int32_t property, int32_t value, int32_t flags) override {
        return capturePresent(m_driver, *m_camera) &&
               m_camera->uvc().set(m_set, property, value, flags);
    }

private:
    Sim::SimDriver& m_driver;
    std::shared_ptr<Sim::SimCamera> m_camera;
    Sim::SimUvcSet m_set;
};

SimUvcProperties::SimUvcProperties(Sim::SimDriver& driver,
                                   const std::shared_ptr<Sim::SimCamera>& camera)
    : m_cameraControl(std::make_unique<Set>(driver, camera, Sim::SimUvcSet::CameraControl)),
      m_procAmp(std::make_unique<Set>(driver, camera, Sim::SimUvcSet::ProcAmp)) {}

SimUvcProperties::~SimUvcProperties() = default;

std::unique_ptr<SimUvcProperties> SimUvcProperties::find(Sim::SimDriver& driver,
                                                         const std::string& location) {
    if (location.empty()) return nullptr;
    for (const auto& cam : driver.cameras()) {
        if (cam->config().videoName.empty()) continue;
        if (simCaptureLocation(driver, *cam) == location) {
            return std::make_unique<SimUvcProperties>(driver, cam);
        }
    }
    return nullptr;
}

UvcProperties* SimUvcProperties::cameraControl() {
    return m_cameraControl->available() ? m_cameraControl.get() : nullptr;
}

UvcProperties* SimUvcProperties::procAmp() {
    return m_procAmp->available() ? m_procAmp.get() : nullptr;
}

}  // namespace TVR
