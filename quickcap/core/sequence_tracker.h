#pragma once

// Counts the frames missing from a stream by their device frame numbers: a jump from n to
// n + k means k - 1 frames were lost on the way. Fed by one thread, read by any.

#include <atomic>
#include <cstdint>

namespace OLK {

class SequenceTracker {
public:
    void onFrame(int64_t sequence) {
        if (sequence < 0) return;
        const int64_t last = m_last.load(std::memory_order_relaxed);
        if (last >= 0 && sequence > last + 1) {
            m_missing.fetch_add(static_cast<uint64_t>(sequence - last - 1),
                                std::memory_order_relaxed);
        }
        // A number going backwards is a device that restarted its count; start over from it.
        m_last.store(sequence, std::memory_order_relaxed);
        m_frames.fetch_add(1, std::memory_order_relaxed);
    }
    // Next frame starts a new run (after a restart or a flush that dropped frames on purpose).
    void restart() { m_last.store(-1, std::memory_order_relaxed); }
    void reset() {
        restart();
        m_missing.store(0, std::memory_order_relaxed);
        m_frames.store(0, std::memory_order_relaxed);
    }
    uint64_t missing() const { return m_missing.load(std::memory_order_relaxed); }
    uint64_t frames() const { return m_frames.load(std::memory_order_relaxed); }
    int64_t last() const { return m_last.load(std::memory_order_relaxed); }

private:
    std::atomic<int64_t> m_last{-1};
    std::atomic<uint64_t> m_missing{0};
    std::atomic<uint64_t> m_frames{0};
};

}  // namespace OLK
