#pragma once

// The UVC properties of a simulated camera's capture device. The device exists while the
// camera is plugged and offers a video capture device; at other times no set is offered and
// every call on a set obtained before fails, as on a capture device that has gone.

#include <memory>
#include <string>

#include "video/uvc_properties.h"

namespace TVR::Sim {
class SimCamera;
class SimDriver;
}  // namespace TVR::Sim

namespace TVR {

class SimUvcProperties : public UvcPropertySource {
public:
    // The driver must outlive this source.
    SimUvcProperties(Sim::SimDriver& driver, const std::shared_ptr<Sim::SimCamera>& camera);
    ~SimUvcProperties() override;
    SimUvcProperties(const SimUvcProperties&) = delete;
    SimUvcProperties& operator=(const SimUvcProperties&) = delete;

    // The properties of the plugged camera whose capture device sits at `location`; null when
    // there is none.
    static std::unique_ptr<SimUvcProperties> find(Sim::SimDriver& driver,
                                                  const std::string& location);

    UvcProperties* cameraControl() override;
    UvcProperties* procAmp() override;

    class Set;

private:
    std::unique_ptr<Set> m_cameraControl;
    std::unique_ptr<Set> m_procAmp;
};

}  // namespace TVR
