#pragma once

// The replay side: each timer tick takes the oldest slot of the replay queue, has the replay
// presenter draw it and gives it back to the pool. Paused, the stage holds the buffered frames
// so that they can be stepped through and saved while capture goes on. All calls come from
// one thread (the dialog's, whose timer drives the ticks).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/frame_renderer.h"
#include "core/frame_stamp.h"
#include "timing/perf_counter.h"

namespace OLK {

class WorkQueue;

class ReplayStage {
public:
    ReplayStage(WorkQueue& queue, FrameRenderer* renderer);
    ReplayStage(const ReplayStage&) = delete;
    ReplayStage& operator=(const ReplayStage&) = delete;
    ~ReplayStage();

    // One timer tick. True when the statistics should be refreshed (every 4th frame).
    bool tick();

    // Pausing takes every frame buffered for replay out of the queue and shows the first.
    void pause();
    // Frames not yet stepped past are replayed first; the ones before go back to the pool.
    void resume();
    bool paused() const { return m_paused; }
    // Moves the shown frame by delta within the held frames (clamped); returns the index.
    size_t step(int64_t delta);
    size_t home();
    size_t end();
    size_t heldCount() const { return m_held.size(); }
    size_t position() const { return m_position; }
    const std::vector<WorkSlot*>& held() const { return m_held; }
    // The shown held frame's number and time relative to the first held frame (100-ns units).
    FrameStamp shownStamp() const;
    int64_t shownRelativeTime() const;
    // Gives every held frame back to the pool (before the pool goes away).
    void releaseHeld();

    // Read from any thread.
    uint64_t frames() const { return m_frames.load(std::memory_order_relaxed); }
    CounterSnapshot totalTime() const;
    CounterSnapshot renderTime() const;

private:
    void show(WorkSlot* slot);

    WorkQueue& m_queue;
    FrameRenderer* m_renderer;
    std::atomic<uint64_t> m_frames{0};
    bool m_paused = false;
    std::vector<WorkSlot*> m_held;
    size_t m_position = 0;
    // Frames left over from a pause, replayed before the queue.
    size_t m_resumeFrom = 0;
    mutable std::mutex m_statsLock;
    PerfCounter m_total{"Slow-mo frame total time"};
    PerfCounter m_render{"Slow-mo frame render time"};
};

}  // namespace OLK
