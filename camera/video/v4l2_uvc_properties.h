#pragma once

// The UVC properties of a V4L2 capture node: the platform's camera-control and
// processing-amplifier property numbers mapped onto V4L2 controls, the automatic flag taken from
// each property's companion auto control. Exposure is shown in the platform's unit, log2
// seconds (n means 2^n s), over V4L2's absolute exposure in 100 µs units.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "video/uvc_properties.h"

namespace TVR {

enum class UvcPropertySet { CameraControl, ProcAmp };

// How a property's automatic mode is switched.
enum class V4l2AutoKind {
    None,          // the property has no automatic mode
    Boolean,       // a boolean control: 1 automatic
    ExposureMenu,  // the exposure-auto menu: every item but manual is automatic
};

struct V4l2ControlMapping {
    uint32_t control = 0;
    uint32_t autoControl = 0;  // 0 with V4l2AutoKind::None
    V4l2AutoKind autoKind = V4l2AutoKind::None;
    bool log2Exposure = false;  // values converted between log2 seconds and 100 µs units
};

// The V4L2 control behind a property; empty when V4L2 has none.
std::optional<V4l2ControlMapping> v4l2ControlFor(UvcPropertySet set, int32_t property);

// Absolute exposure (100 µs units) to the nearest whole log2 seconds; zero and below count as
// the shortest exposure of one unit.
int32_t exposureLog2FromV4l2(int64_t units);
// Log2 seconds to absolute exposure, at least one unit and at most what a control value holds.
int32_t exposureV4l2FromLog2(int32_t log2Seconds);
// A control's range (min, max, default) in log2 seconds; step 1.
UvcRange exposureRangeFromV4l2(int32_t min, int32_t max, int32_t defaultValue, int32_t caps);

// The properties of the node at `nodePath`. A path that does not open or is no V4L2 device
// gives a source with no property set. A set is offered when at least one of its properties
// exists. Not thread-safe: used from the thread that uses the capture device.
class V4l2UvcProperties : public UvcPropertySource {
public:
    explicit V4l2UvcProperties(const std::string& nodePath);
    ~V4l2UvcProperties() override;
    V4l2UvcProperties(const V4l2UvcProperties&) = delete;
    V4l2UvcProperties& operator=(const V4l2UvcProperties&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    UvcProperties* cameraControl() override;
    UvcProperties* procAmp() override;

    class Set;

private:
    int m_fd = -1;
    std::unique_ptr<Set> m_cameraControl;
    std::unique_ptr<Set> m_procAmp;
};

}  // namespace TVR
