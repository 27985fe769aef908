#include "timing/averager.h"

#include <cmath>

namespace OLK {

template <typename T, typename S>
Averager<T, S>& Averager<T, S>::operator+=(T v) {
    const int64_t n = count();
    bool keep = false;
    if (n != 0) {
        // The average is taken unsigned, as the counter always was.
        const uint64_t a = static_cast<uint64_t>(total()) / static_cast<uint64_t>(n);
        const double dv = static_cast<double>(v);
        const double diff = std::fabs(dv - static_cast<double>(a));
        // diff == 0 is an infinite ratio: a restart like any other outlier.
        if (diff != 0.0) {
            const double q = dv / diff;
            keep = q > 0.001 && q < 1000.0;
        }
    }
    if (keep) {
        append(v);
    } else {
        m_sum.store(static_cast<S>(v), std::memory_order_relaxed);
        m_count.store(1, std::memory_order_relaxed);
    }
    return *this;
}

template class Averager<int64_t, int64_t>;

}  // namespace OLK
