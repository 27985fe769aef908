#include "realtime_stage.h"

#include "core/frame_stamp.h"
#include "pool/work_queue.h"
#include "timing/tick_timer.h"

namespace OLK {

RealTimeStage::RealTimeStage(WorkQueue& input, WorkQueue& output, FrameRenderer* renderer)
    : m_input(input), m_output(output), m_renderer(renderer) {}

RealTimeStage::~RealTimeStage() {
    m_input.stop();
    finish();
}

bool RealTimeStage::start() {
    m_input.stop();
    finish();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closing = false;
    }
    m_input.start();
    try {
        m_thread = std::thread(&RealTimeStage::run, this);
    } catch (const std::system_error&) {
        m_input.stop();
        return false;
    }
    return true;
}

void RealTimeStage::inputRestarted() {
    { std::lock_guard<std::mutex> guard(m_lock); }
    m_wake.notify_all();
}

void RealTimeStage::waitIdle() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_wake.wait(guard, [&] { return !m_holding; });
}

void RealTimeStage::finish() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closing = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void RealTimeStage::run() {
    for (;;) {
        // Marked busy before grabbing, so that a stop followed by waitIdle() cannot miss a slot
        // taken just before the stop.
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_holding = true;
        }
        WorkSlot* slot = m_input.grab();
        if (slot == nullptr) {
            // The capture queue is stopped between captures: wait until it opens again.
            std::unique_lock<std::mutex> guard(m_lock);
            m_holding = false;
            m_wake.notify_all();
            m_wake.wait(guard, [&] { return m_closing || m_input.open(); });
            if (m_closing) return;
            continue;
        }
        TickTimer timer;
        m_shown.onFrame(readStamp(slot).sequence);
        const bool frozen = m_freeze.load(std::memory_order_relaxed);
        if (!frozen && m_renderer != nullptr) m_renderer->render(slot);
        {
            std::lock_guard<std::mutex> guard(m_statsLock);
            if (!frozen) m_render += timer;
        }
        m_output.add(slot);
        m_frames.fetch_add(1, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> guard(m_statsLock);
            m_total += timer;
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_holding = false;
        }
        m_wake.notify_all();
    }
}

CounterSnapshot RealTimeStage::totalTime() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return {m_total.descr(), m_total.avg()};
}

CounterSnapshot RealTimeStage::renderTime() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return {m_render.descr(), m_render.avg()};
}

}  // namespace OLK
