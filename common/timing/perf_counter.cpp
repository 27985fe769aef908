#include "timing/perf_counter.h"

namespace OLK {

namespace {
int64_t micros32(const TickTimer& timer) { return static_cast<int32_t>(timer.us()); }
}  // namespace

PerfCounter& PerfCounter::operator+=(const TickTimer& timer) {
    m_avg += micros32(timer);
    return *this;
}

PerfCounter& PerfCounter::append(const TickTimer& timer) {
    m_avg.append(micros32(timer));
    return *this;
}

}  // namespace OLK
