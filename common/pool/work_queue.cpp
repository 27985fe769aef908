#include "pool/work_queue.h"

#include "pool/fast_mem.h"

namespace OLK {

WorkQueue::~WorkQueue() {
    std::lock_guard lock(m_lock);
    m_state.store(kStopped, std::memory_order_release);
    // Blocks stay marked in use: the pool is normally destroyed by its owner.
    m_queue.clear();
    m_size.store(0, std::memory_order_relaxed);
}

void WorkQueue::assignMemoryPool(FastMem* pool) {
    std::lock_guard lock(m_lock);
    while (!m_queue.empty()) {
        recycleLocked(takeFirstLocked());
    }
    // Each queued slot is a distinct block of the pool: this is the most the queue can hold.
    if (pool != nullptr) m_queue.reserve(pool->countTotalBlocks());
    m_pool.store(pool, std::memory_order_release);
}

void WorkQueue::start() {
    {
        std::lock_guard lock(m_lock);
        m_state.store(kOpen, std::memory_order_release);
        if (m_queue.empty()) {
            return;
        }
    }
    m_wake.notify_all();
}

void WorkQueue::stop() {
    {
        std::lock_guard lock(m_lock);
        m_state.store(kStopped, std::memory_order_release);
    }
    // A consumer must not sleep on a queue that will never deliver again.
    m_wake.notify_all();
}

void WorkQueue::add(WorkSlot* slot) {
    if (slot == nullptr) {
        return;
    }
    {
        std::lock_guard lock(m_lock);
        if (m_state.load(std::memory_order_relaxed) != kOpen) {
            recycleLocked(slot);
            return;
        }
        m_queue.push_back(slot);
        m_size.store(m_queue.size(), std::memory_order_relaxed);
    }
    m_wake.notify_one();
}

WorkSlot* WorkQueue::takeFirstLocked() {
    WorkSlot* slot = m_queue.front();
    m_queue.pop_front();
    m_size.store(m_queue.size(), std::memory_order_relaxed);
    return slot;
}

void WorkQueue::recycleLocked(WorkSlot* slot) {
    if (FastMem* pool = m_pool.load(std::memory_order_relaxed)) {
        pool->release(slot);
    }
}

WorkSlot* WorkQueue::grab() {
    std::unique_lock lock(m_lock);
    for (;;) {
        const int32_t state = m_state.load(std::memory_order_relaxed);
        if (state == kOpen && !m_queue.empty()) {
            WorkSlot* slot = takeFirstLocked();
            const bool more = !m_queue.empty();
            lock.unlock();
            // Pass the wake-up on so that another waiting consumer takes the rest.
            if (more) {
                m_wake.notify_one();
            }
            return slot;
        }
        if (state == kStopped) {
            return nullptr;
        }
        m_waiting.fetch_add(1, std::memory_order_relaxed);
        m_wake.wait(lock);
        m_waiting.fetch_sub(1, std::memory_order_relaxed);
    }
}

WorkSlot* WorkQueue::grabNoBlocking() {
    WorkSlot* slot = nullptr;
    bool more = false;
    {
        std::lock_guard lock(m_lock);
        if (m_state.load(std::memory_order_relaxed) != kOpen || m_queue.empty()) {
            return nullptr;
        }
        slot = takeFirstLocked();
        more = !m_queue.empty();
    }
    if (more) {
        m_wake.notify_one();
    }
    return slot;
}

WorkSlot* WorkQueue::grabEmpty() {
    std::lock_guard lock(m_lock);
    FastMem* pool = m_pool.load(std::memory_order_relaxed);
    if (m_state.load(std::memory_order_relaxed) != kOpen || pool == nullptr) {
        return nullptr;
    }
    return WorkSlot::fromBlock(pool->get());
}

void WorkQueue::release(WorkSlot* slot) {
    if (FastMem* pool = m_pool.load(std::memory_order_acquire); pool != nullptr && slot) {
        pool->release(slot);
    }
}

void WorkQueue::flush() {
    std::lock_guard lock(m_lock);
    while (!m_queue.empty()) {
        recycleLocked(takeFirstLocked());
    }
}

}  // namespace OLK
