#pragma once

// What a display system reports per display-device index, before enumDisplays filters it.

#include <cstdint>
#include <string>
#include <vector>

#include "capture/display.h"

namespace OLK {

struct DisplayCandidate {
    DisplayDevice device;
    bool hasMode = false;
    DisplayMode mode;
    uintptr_t monitor = 0;  // 0: no monitor at the mode's position
    bool hasInfo = false;
    MonitorInfo info;
};

std::vector<Display> selectDisplays(const std::vector<DisplayCandidate>& candidates, bool all);
// False when no X display can be opened; then out is untouched.
bool xrandrCandidates(std::vector<DisplayCandidate>* out);
std::vector<DisplayCandidate> drmCandidates(const std::string& drmDir);

}  // namespace OLK
