#pragma once

#include <cstdint>
#include <string>

#include "olk_export.h"
#include "timing/averager.h"
#include "timing/tick_timer.h"

namespace OLK {

// A named running average of timings in microseconds. Updated by one thread, read by any.
class OLK_EXPORT PerfCounter {
public:
    explicit PerfCounter(std::string description) : m_descr(std::move(description)) {}

    // Adds the timer's microseconds (truncated to 32 bits) with the outlier rule.
    PerfCounter& operator+=(const TickTimer& timer);
    PerfCounter& append(const TickTimer& timer);

    int64_t avg() const { return m_avg.avg(); }
    int64_t count() const { return m_avg.count(); }
    int64_t total() const { return m_avg.total(); }
    void reset() { m_avg.reset(); }
    const std::string& descr() const { return m_descr; }

private:
    Averager<int64_t, int64_t> m_avg{0};
    std::string m_descr;
};

}  // namespace OLK
