#pragma once

// The UVC properties of a capture device: one property set (camera control or processing
// amplifier), numbered by the platform's own property enumeration (UvcCameraControl,
// UvcProcAmp). Backends: V4L2 controls, the simulated capture side. Called from the thread that
// uses the capture device.

#include <cstdint>
#include <optional>

#include "protocol/uvc_property_ids.h"

namespace TVR {

// Flag bits of a property's flags word.
inline constexpr int32_t kUvcFlagAuto = 0x1;
inline constexpr int32_t kUvcFlagManual = 0x2;

struct UvcRange {
    int32_t min = 0;
    int32_t max = 0;
    int32_t step = 0;
    int32_t defaultValue = 0;
    int32_t caps = 0;  // flag bits the property supports
};

struct UvcSetting {
    int32_t value = 0;
    int32_t flags = 0;
};

class UvcProperties {
public:
    virtual ~UvcProperties() = default;
    // Empty when the device has no such property or the query failed.
    virtual std::optional<UvcRange> range(int32_t property) = 0;
    virtual std::optional<UvcSetting> get(int32_t property) = 0;
    virtual bool set(int32_t property, int32_t value, int32_t flags) = 0;
};

// A capture device asked for its two property sets; null when it has none.
class UvcPropertySource {
public:
    virtual ~UvcPropertySource() = default;
    virtual UvcProperties* cameraControl() = 0;
    virtual UvcProperties* procAmp() = 0;
};

}  // namespace TVR
