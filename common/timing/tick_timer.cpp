#include "timing/tick_timer.h"

#include <chrono>

namespace OLK {

const int64_t TickTimer::m_frequency = static_cast<int64_t>(std::chrono::steady_clock::period::den /
                                                            std::chrono::steady_clock::period::num);

TickTimer::TickTimer() : m_start(now()) {}

int64_t TickTimer::now() {
    return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

TickTimer::operator int64_t() const { return now() - m_start; }

int64_t TickTimer::us(int64_t counts) {
    // Split so that counts x 1,000,000 cannot overflow on a nanosecond clock.
    constexpr int64_t kMicro = 1'000'000;
    return counts / m_frequency * kMicro + counts % m_frequency * kMicro / m_frequency;
}

}  // namespace OLK
