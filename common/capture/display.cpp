#include "capture/display.h"

#include <cstdlib>

#include "capture/display_source.h"

namespace OLK {

Display::Display(uint32_t index, uintptr_t monitor, DisplayDevice device, DisplayMode mode,
                 MonitorInfo info)
    : m_index(index),
      m_monitor(monitor),
      m_device(std::move(device)),
      m_mode(mode),
      m_info(std::move(info)) {}

std::string Display::toString() const {
    return m_device.deviceName + "@" + m_device.deviceString + " (" + std::to_string(m_mode.width) +
           "x" + std::to_string(m_mode.height) + ")";
}

std::vector<Display> selectDisplays(const std::vector<DisplayCandidate>& candidates, bool all) {
    std::vector<Display> out;
    for (size_t i = 0; i < candidates.size() && i < kMaxDisplayDevices; ++i) {
        const DisplayCandidate& c = candidates[i];
        if (!all && ((c.device.stateFlags & kDisplayDeviceMirroringDriver) != 0 ||
                     (c.device.stateFlags & kDisplayDeviceAttachedToDesktop) == 0)) {
            continue;
        }
        if (!c.hasMode || c.monitor == 0 || !c.hasInfo) continue;
        out.emplace_back(static_cast<uint32_t>(i), c.monitor, c.device, c.mode, c.info);
    }
    return out;
}

std::vector<Display> enumDisplays(bool all) {
    std::vector<DisplayCandidate> candidates;
    const char* x = std::getenv("DISPLAY");
    if (x == nullptr || *x == 0 || !xrandrCandidates(&candidates)) {
        candidates = drmCandidates("/sys/class/drm");
    }
    return selectDisplays(candidates, all);
}

std::vector<Display> enumDrmDisplays(const std::string& drmDir, bool all) {
    return selectDisplays(drmCandidates(drmDir), all);
}

}  // namespace OLK
