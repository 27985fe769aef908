#pragma once

// The monitor list: positions, sizes, work areas and the primary flag, from XRandR when an X
// display is reachable, otherwise from the DRM connectors in sysfs.

#include <cstdint>
#include <string>
#include <vector>

#include "olk_export.h"

namespace OLK {

inline constexpr uint32_t kDisplayDeviceAttachedToDesktop = 0x1;
inline constexpr uint32_t kDisplayDevicePrimaryDevice = 0x4;
inline constexpr uint32_t kDisplayDeviceMirroringDriver = 0x8;
inline constexpr uint32_t kMonitorInfoPrimary = 0x1;
inline constexpr uint32_t kMaxDisplayDevices = 16;

struct DisplayRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The display device: output name, description and state flags.
struct DisplayDevice {
    std::string deviceName;
    std::string deviceString;
    uint32_t stateFlags = 0;
};

// The current mode: position on the desktop, size, depth and refresh rate.
struct DisplayMode {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPel = 32;
    uint32_t frequency = 0;
};

struct MonitorInfo {
    DisplayRect monitor;
    DisplayRect work;
    uint32_t flags = 0;
    std::string deviceName;
};

class OLK_EXPORT Display {
public:
    Display(uint32_t index, uintptr_t monitor, DisplayDevice device, DisplayMode mode,
            MonitorInfo info);

    bool isPrimary() const { return (m_info.flags & kMonitorInfoPrimary) != 0; }
    DisplayRect rcMonitor() const { return m_info.monitor; }
    // The work area.
    DisplayRect rcWindow() const { return m_info.work; }
    // "<device>@<description> (<width>x<height>)"
    std::string toString() const;

    uint32_t index() const { return m_index; }
    uintptr_t monitor() const { return m_monitor; }
    const DisplayDevice& device() const { return m_device; }
    const DisplayMode& mode() const { return m_mode; }
    const MonitorInfo& monitorInfo() const { return m_info; }

private:
    uint32_t m_index;
    uintptr_t m_monitor;
    DisplayDevice m_device;
    DisplayMode m_mode;
    MonitorInfo m_info;
};

// Attached, non-mirroring displays (every known one with a mode when all is true).
OLK_EXPORT std::vector<Display> enumDisplays(bool all);
// The same from a DRM class folder (normally /sys/class/drm).
OLK_EXPORT std::vector<Display> enumDrmDisplays(const std::string& drmDir, bool all);

}  // namespace OLK
