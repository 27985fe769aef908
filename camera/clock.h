#pragma once

// The one time base of the camera logs: monotonic nanoseconds since program start.

#include <cstdint>

namespace TVR {

// Nanoseconds since program start on the steady clock. Any thread may call it.
uint64_t monotonicNs();

inline double nsToSeconds(uint64_t ns) { return static_cast<double>(ns) / 1e9; }
inline double nsToMilliseconds(uint64_t ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace TVR
