#pragma once

#include <atomic>
#include <cstdint>

#include "olk_export.h"

namespace OLK {

// A running average that restarts when a sample is an outlier (+=) or simply accumulates
// (append). One thread updates; others may read for display, seeing at worst a momentarily
// inconsistent average.
template <typename T, typename S>
class Averager {
public:
    Averager() : Averager(T{}) {}
    explicit Averager(T defaultValue) : m_default(defaultValue) {}
    Averager(const Averager& other)
        : m_default(other.m_default), m_sum(other.total()), m_count(other.count()) {}
    Averager& operator=(const Averager& other) {
        m_default = other.m_default;
        m_sum.store(other.total(), std::memory_order_relaxed);
        m_count.store(other.count(), std::memory_order_relaxed);
        return *this;
    }

    // Adds v unless it lies too far from the current average, in which case the average
    // restarts with v.
    Averager& operator+=(T v);
    Averager& append(T v) {
        m_sum.store(total() + static_cast<S>(v), std::memory_order_relaxed);
        m_count.store(count() + 1, std::memory_order_relaxed);
        return *this;
    }

    T avg() const {
        const int64_t n = count();
        return n == 0 ? m_default : static_cast<T>(total() / static_cast<S>(n));
    }
    operator T() const { return avg(); }
    int64_t count() const { return m_count.load(std::memory_order_relaxed); }
    S total() const { return m_sum.load(std::memory_order_relaxed); }
    void reset() {
        m_sum.store(S{}, std::memory_order_relaxed);
        m_count.store(0, std::memory_order_relaxed);
    }

private:
    T m_default;
    std::atomic<S> m_sum{};
    std::atomic<int64_t> m_count{0};
};

extern template class OLK_EXPORT Averager<int64_t, int64_t>;

}  // namespace OLK
