#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "olk_export.h"
#include "pool/ring_queue.h"
#include "pool/work_slot.h"

namespace OLK {

class FastMem;

// First-in first-out hand-over of pool slots from producer threads to consumer threads.
// Slots added while the queue is not open go straight back to the pool. Lock order: the
// queue's lock, then the pool's. The queue has room for every block of its pool, so handing
// frames over never allocates.
class OLK_EXPORT WorkQueue {
public:
    enum State : int32_t { kIdle = 0, kOpen = 1, kStopped = 2 };

    WorkQueue() = default;
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Flushes, then takes the pool (not owned) and makes room for all of its blocks.
    void assignMemoryPool(FastMem* pool);
    FastMem* memoryPool() const { return m_pool.load(std::memory_order_acquire); }

    void start();
    // Also wakes every consumer waiting in grab(), which then returns null.
    void stop();
    bool open() const { return m_state.load(std::memory_order_acquire) == kOpen; }
    State state() const { return static_cast<State>(m_state.load(std::memory_order_acquire)); }

    void add(WorkSlot* slot);
    // Blocks until a slot arrives on an open queue; null once the queue is stopped.
    WorkSlot* grab();
    WorkSlot* grabNoBlocking();
    // A free pool block as an empty slot; null when not open or the pool is exhausted.
    WorkSlot* grabEmpty();
    void release(WorkSlot* slot);
    void flush();

    // Read without the lock: for statistics and heuristics only.
    size_t size() const { return m_size.load(std::memory_order_relaxed); }
    // Consumers blocked in grab() right now.
    size_t countWaiting() const { return m_waiting.load(std::memory_order_relaxed); }

private:
    WorkSlot* takeFirstLocked();
    void recycleLocked(WorkSlot* slot);

    RingQueue<WorkSlot*> m_queue;
    std::atomic<FastMem*> m_pool{nullptr};
    std::atomic<int32_t> m_state{kIdle};
    std::condition_variable m_wake;
    std::mutex m_lock;
    std::atomic<size_t> m_size{0};
    std::atomic<size_t> m_waiting{0};
};

}  // namespace OLK
