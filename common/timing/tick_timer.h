#pragma once

#include <cstdint>

#include "olk_export.h"

namespace OLK {

// A stopwatch on the monotonic clock, started at construction. No lock: one thread times.
class OLK_EXPORT TickTimer {
public:
    // Counts per second of the clock behind the timer.
    static const int64_t m_frequency;

    TickTimer();

    // Elapsed counts.
    operator int64_t() const;
    // Elapsed microseconds.
    int64_t us() const { return us(static_cast<int64_t>(*this)); }
    static int64_t us(int64_t counts);

private:
    static int64_t now();

    int64_t m_start;
};

}  // namespace OLK
