#include "clock.h"

#include <chrono>

namespace TVR {
namespace {

std::chrono::steady_clock::time_point programStart() {
    static const auto start = std::chrono::steady_clock::now();
    return start;
}

// Pins the start to static initialisation, so "seconds since program start" does not depend on
// when the first log record is written.
const auto kPinnedStart = programStart();

}  // namespace

uint64_t monotonicNs() {
    const auto elapsed = std::chrono::steady_clock::now() - programStart();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

}  // namespace TVR
