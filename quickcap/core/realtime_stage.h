#pragma once

// The real-time display thread: takes each captured slot from the capture queue, has the
// real-time presenter draw it (unless frozen) and passes it on to the replay queue. Started
// once when the dialog opens, ended when it closes.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/frame_renderer.h"
#include "core/sequence_tracker.h"
#include "timing/perf_counter.h"

namespace OLK {

class WorkQueue;

class RealTimeStage {
public:
    RealTimeStage(WorkQueue& input, WorkQueue& output, FrameRenderer* renderer);
    RealTimeStage(const RealTimeStage&) = delete;
    RealTimeStage& operator=(const RealTimeStage&) = delete;
    ~RealTimeStage();

    // Stops the input queue, ends a previous thread, starts the queue and the thread.
    bool start();
    // Wakes the thread after the input queue was started again.
    void inputRestarted();
    // Returns once the thread holds no slot; the input queue must be stopped first.
    void waitIdle();
    // Ends the thread (dialog close); the input queue must be stopped first.
    void finish();

    void setFreeze(bool freeze) { m_freeze.store(freeze, std::memory_order_relaxed); }
    bool freeze() const { return m_freeze.load(std::memory_order_relaxed); }
    uint64_t frames() const { return m_frames.load(std::memory_order_relaxed); }
    // Frames missing between consecutive shown frames, by their numbers.
    const SequenceTracker& shown() const { return m_shown; }
    SequenceTracker& shown() { return m_shown; }
    CounterSnapshot totalTime() const;
    CounterSnapshot renderTime() const;

private:
    void run();

    WorkQueue& m_input;
    WorkQueue& m_output;
    FrameRenderer* m_renderer;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_closing = false;
    bool m_holding = false;
    std::atomic<bool> m_freeze{false};
    std::atomic<uint64_t> m_frames{0};
    SequenceTracker m_shown;
    mutable std::mutex m_statsLock;
    PerfCounter m_total{"RT frame total time"};
    PerfCounter m_render{"RT frame render time"};
};

}  // namespace OLK
