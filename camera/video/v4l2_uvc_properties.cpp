#include "v4l2_uvc_properties.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <limits>

namespace TVR {

namespace {

// 100 µs units per second.
constexpr double kExposureUnitsPerSecond = 10000.0;
// Beyond these, 2^n s does not fit a control value either way.
constexpr int32_t kLog2Lowest = -40;
constexpr int32_t kLog2Highest = 40;

// Automatic exposure modes, most fitting first: the exposure time follows the light.
constexpr int32_t kAutoExposureModes[] = {V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_EXPOSURE_AUTO,
                                          V4L2_EXPOSURE_SHUTTER_PRIORITY};

V4l2ControlMapping plain(uint32_t control) { return {control, 0, V4l2AutoKind::None, false}; }

V4l2ControlMapping withAuto(uint32_t control, uint32_t autoControl) {
    return {control, autoControl, V4l2AutoKind::Boolean, false};
}

int xioctl(int fd, unsigned long request, void* arg) {
    int r = 0;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

std::optional<v4l2_queryctrl> queryControl(int fd, uint32_t id) {
    v4l2_queryctrl qc{};
    qc.id = id;
    if (xioctl(fd, VIDIOC_QUERYCTRL, &qc) < 0 || qc.id != id) return std::nullopt;
    if ((qc.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return std::nullopt;
    return qc;
}

std::optional<v4l2_queryctrl> queryTyped(int fd, uint32_t id, uint32_t type) {
    auto qc = queryControl(fd, id);
    if (!qc || qc->type != type) return std::nullopt;
    return qc;
}

std::optional<int32_t> readControl(int fd, uint32_t id) {
    v4l2_control c{};
    c.id = id;
    if (xioctl(fd, VIDIOC_G_CTRL, &c) < 0) return std::nullopt;
    return c.value;
}

bool writeControl(int fd, uint32_t id, int32_t value) {
    v4l2_control c{};
    c.id = id;
    c.value = value;
    return xioctl(fd, VIDIOC_S_CTRL, &c) == 0;
}

bool menuHasItem(int fd, const v4l2_queryctrl& qc, int32_t index) {
    if (index < qc.minimum || index > qc.maximum) return false;
    v4l2_querymenu qm{};
    qm.id = qc.id;
    qm.index = static_cast<uint32_t>(index);
    return xioctl(fd, VIDIOC_QUERYMENU, &qm) == 0;
}

}  // namespace

std::optional<V4l2ControlMapping> v4l2ControlFor(UvcPropertySet set, int32_t property) {
    if (set == UvcPropertySet::CameraControl) {
        using namespace UvcCameraControl;
        switch (property) {
            case kPan:
                return plain(V4L2_CID_PAN_ABSOLUTE);
            case kTilt:
                return plain(V4L2_CID_TILT_ABSOLUTE);
            case kZoom:
                return plain(V4L2_CID_ZOOM_ABSOLUTE);
            case kExposure:
                return V4l2ControlMapping{V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO,
                                          V4l2AutoKind::ExposureMenu, true};
            case kIris:
                return plain(V4L2_CID_IRIS_ABSOLUTE);
            case kFocus:
                return withAuto(V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO);
            default:  // roll has no V4L2 control
                return std::nullopt;
        }
    }
    using namespace UvcProcAmp;
    switch (property) {
        case kBrightness:
            return plain(V4L2_CID_BRIGHTNESS);
        case kContrast:
            return plain(V4L2_CID_CONTRAST);
        case kHue:
            return withAuto(V4L2_CID_HUE, V4L2_CID_HUE_AUTO);
        case kSaturation:
            return plain(V4L2_CID_SATURATION);
        case kSharpness:
            return plain(V4L2_CID_SHARPNESS);
        case kGamma:
            return plain(V4L2_CID_GAMMA);
        case kWhiteBalance:
            return withAuto(V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE);
        case kBacklightCompensation:
            return plain(V4L2_CID_BACKLIGHT_COMPENSATION);
        case kGain:
            return withAuto(V4L2_CID_GAIN, V4L2_CID_AUTOGAIN);
        default:  // colour enable has no V4L2 control
            return std::nullopt;
    }
}

int32_t exposureLog2FromV4l2(int64_t units) {
    const double seconds = static_cast<double>(units < 1 ? 1 : units) / kExposureUnitsPerSecond;
    return static_cast<int32_t>(std::lround(std::log2(seconds)));
}

int32_t exposureV4l2FromLog2(int32_t log2Seconds) {
    if (log2Seconds < kLog2Lowest) log2Seconds = kLog2Lowest;
    if (log2Seconds > kLog2Highest) log2Seconds = kLog2Highest;
    const double units = std::ldexp(kExposureUnitsPerSecond, log2Seconds);
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    if (units >= kMax) return std::numeric_limits<int32_t>::max();
    const auto rounded = static_cast<int32_t>(std::llround(units));
    return rounded < 1 ? 1 : rounded;
}

UvcRange exposureRangeFromV4l2(int32_t min, int32_t max, int32_t defaultValue, int32_t caps) {
    UvcRange r;
    r.min = exposureLog2FromV4l2(min);
    r.max = exposureLog2FromV4l2(max < min ? min : max);
    r.step = 1;
    r.defaultValue = exposureLog2FromV4l2(defaultValue);
    if (r.defaultValue < r.min) r.defaultValue = r.min;
    if (r.defaultValue > r.max) r.defaultValue = r.max;
    r.caps = caps;
    return r;
}

class V4l2UvcProperties::Set : public UvcProperties {
public:
    Set(int fd, UvcPropertySet set) : m_fd(fd), m_set(set) {}

    bool has(int32_t property) {
        const auto m = v4l2ControlFor(m_set, property);
        return m && queryTyped(m_fd, m->control, V4L2_CTRL_TYPE_INTEGER);
    }

    std::optional<UvcRange> range(int32_t property) override {
        const auto m = v4l2ControlFor(m_set, property);
        if (!m) return std::nullopt;
        const auto qc = queryTyped(m_fd, m->control, V4L2_CTRL_TYPE_INTEGER);
        if (!qc) return std::nullopt;
        const int32_t caps = capsOf(*m);
        if (m->log2Exposure) {
            return exposureRangeFromV4l2(qc->minimum, qc->maximum, qc->default_value, caps);
        }
        // The page steps its controls by this; a driver's zero would stall them.
        const int32_t step = qc->step > 0 ? qc->step : 1;
        return UvcRange{qc->minimum, qc->maximum, step, qc->default_value, caps};
    }

    std::optional<UvcSetting> get(int32_t property) override {
        const auto m = v4l2ControlFor(m_set, property);
        if (!m || !queryTyped(m_fd, m->control, V4L2_CTRL_TYPE_INTEGER)) return std::nullopt;
        const auto value = readControl(m_fd, m->control);
        if (!value) return std::nullopt;
        int32_t flags = kUvcFlagManual;
        if ((capsOf(*m) & kUvcFlagAuto) != 0) {
            const auto automatic = readControl(m_fd, m->autoControl);
            if (!automatic) return std::nullopt;
            const bool on = m->autoKind == V4l2AutoKind::ExposureMenu
                                ? *automatic != V4L2_EXPOSURE_MANUAL
                                : *automatic != 0;
            flags = on ? kUvcFlagAuto : kUvcFlagManual;
        }
        return UvcSetting{m->log2Exposure ? exposureLog2FromV4l2(*value) : *value, flags};
    }

    bool set(int32_t property, int32_t value, int32_t flags) override {
        const auto m = v4l2ControlFor(m_set, property);
        if (!m) return false;
        const auto qc = queryTyped(m_fd, m->control, V4L2_CTRL_TYPE_INTEGER);
        if (!qc || (qc->flags & V4L2_CTRL_FLAG_READ_ONLY) != 0) return false;
        const int32_t caps = capsOf(*m);
        if (flags == 0 || (flags & ~caps) != 0) return false;

        int32_t raw = value;
        if (m->log2Exposure) {
            const UvcRange r = exposureRangeFromV4l2(qc->minimum, qc->maximum, 0, caps);
            if (value < r.min || value > r.max) return false;
            raw = exposureV4l2FromLog2(value);
            if (raw < qc->minimum) raw = qc->minimum;
            if (raw > qc->maximum) raw = qc->maximum;
        } else if (value < qc->minimum || value > qc->maximum) {
            return false;
        }

        // In automatic mode the camera chooses the value itself.
        if ((flags & kUvcFlagAuto) != 0) return switchAuto(*m, true);
        if ((caps & kUvcFlagAuto) != 0 && !switchAuto(*m, false)) return false;
        return writeControl(m_fd, m->control, raw);
    }

private:
    std::optional<int32_t> autoExposureMode(const v4l2_queryctrl& menu) {
        for (int32_t mode : kAutoExposureModes) {
            if (menuHasItem(m_fd, menu, mode)) return mode;
        }
        return std::nullopt;
    }

    int32_t capsOf(const V4l2ControlMapping& m) {
        switch (m.autoKind) {
            case V4l2AutoKind::Boolean:
                if (queryTyped(m_fd, m.autoControl, V4L2_CTRL_TYPE_BOOLEAN)) {
                    return kUvcFlagManual | kUvcFlagAuto;
                }
                break;
            case V4l2AutoKind::ExposureMenu:
                if (const auto qc = queryTyped(m_fd, m.autoControl, V4L2_CTRL_TYPE_MENU)) {
                    if (autoExposureMode(*qc)) return kUvcFlagManual | kUvcFlagAuto;
                }
                break;
            case V4l2AutoKind::None:
                break;
        }
        return kUvcFlagManual;
    }

    bool switchAuto(const V4l2ControlMapping& m, bool on) {
        if (m.autoKind == V4l2AutoKind::Boolean) return writeControl(m_fd, m.autoControl, on);
        if (!on) return writeControl(m_fd, m.autoControl, V4L2_EXPOSURE_MANUAL);
        const auto qc = queryTyped(m_fd, m.autoControl, V4L2_CTRL_TYPE_MENU);
        if (!qc) return false;
        const auto mode = autoExposureMode(*qc);
        return mode && writeControl(m_fd, m.autoControl, *mode);
    }

    int m_fd;
    UvcPropertySet m_set;
};

V4l2UvcProperties::V4l2UvcProperties(const std::string& nodePath) {
    int fd = ::open(nodePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) fd = ::open(nodePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return;
    struct stat st {};
    v4l2_capability cap{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || xioctl(fd, VIDIOC_QUERYCAP, &cap) < 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    const auto offered = [fd](UvcPropertySet set, int32_t count) -> std::unique_ptr<Set> {
        auto s = std::make_unique<Set>(fd, set);
        for (int32_t p = 0; p < count; ++p) {
            if (s->has(p)) return s;
        }
        return nullptr;
    };
    m_cameraControl = offered(UvcPropertySet::CameraControl, UvcCameraControl::kCount);
    m_procAmp = offered(UvcPropertySet::ProcAmp, UvcProcAmp::kCount);
}

UvcProperties* V4l2UvcProperties::cameraControl() { return m_cameraControl.get(); }

UvcProperties* V4l2UvcProperties::procAmp() { return m_procAmp.get(); }

V4l2UvcProperties::~V4l2UvcProperties() {
    m_cameraControl.reset();
    m_procAmp.reset();
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace TVR
