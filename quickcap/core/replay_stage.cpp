#include "replay_stage.h"

#include <algorithm>

#include "pool/work_queue.h"
#include "timing/tick_timer.h"

namespace OLK {

ReplayStage::ReplayStage(WorkQueue& queue, FrameRenderer* renderer)
    : m_queue(queue), m_renderer(renderer) {}

ReplayStage::~ReplayStage() { releaseHeld(); }

bool ReplayStage::tick() {
    if (m_paused) return false;
    WorkSlot* slot = nullptr;
    if (m_resumeFrom < m_held.size()) {
        slot = m_held[m_resumeFrom++];
        if (m_resumeFrom == m_held.size()) {
            m_held.clear();
            m_resumeFrom = 0;
        }
    } else {
        slot = m_queue.grabNoBlocking();
    }
    if (slot == nullptr) return false;
    TickTimer timer;
    if (m_renderer != nullptr) m_renderer->render(slot);
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        m_render += timer;
    }
    m_queue.release(slot);
    const bool post = m_frames.fetch_add(1, std::memory_order_relaxed) % 4 == 0;
    {
        std::lock_guard<std::mutex> guard(m_statsLock);
        m_total += timer;
    }
    return post;
}

void ReplayStage::pause() {
    if (m_paused) return;
    m_paused = true;
    // Leftovers of an earlier pause come first, then what the queue holds now; frames that
    // arrive meanwhile stay queued.
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(m_resumeFrom));
    m_resumeFrom = 0;
    for (size_t n = m_queue.size(); n > 0; --n) {
        WorkSlot* slot = m_queue.grabNoBlocking();
        if (slot == nullptr) break;
        m_held.push_back(slot);
    }
    m_position = 0;
    if (!m_held.empty()) show(m_held.front());
}

void ReplayStage::resume() {
    if (!m_paused) return;
    m_paused = false;
    for (size_t i = 0; i < m_position && i < m_held.size(); ++i) m_queue.release(m_held[i]);
    m_resumeFrom = std::min(m_position, m_held.size());
    if (m_resumeFrom == m_held.size()) {
        m_held.clear();
        m_resumeFrom = 0;
    }
    m_position = 0;
}

size_t ReplayStage::step(int64_t delta) {
    if (!m_paused || m_held.empty()) return m_position;
    const auto last = static_cast<int64_t>(m_held.size()) - 1;
    const int64_t target = std::clamp(static_cast<int64_t>(m_position) + delta, int64_t{0}, last);
    m_position = static_cast<size_t>(target);
    show(m_held[m_position]);
    return m_position;
}

size_t ReplayStage::home() { return step(-static_cast<int64_t>(m_position)); }

size_t ReplayStage::end() { return step(static_cast<int64_t>(m_held.size())); }

FrameStamp ReplayStage::shownStamp() const {
    if (m_position >= m_held.size()) return {};
    return readStamp(m_held[m_position]);
}

int64_t ReplayStage::shownRelativeTime() const {
    if (m_position >= m_held.size()) return 0;
    return readStamp(m_held[m_position]).time - readStamp(m_held.front()).time;
}

void ReplayStage::releaseHeld() {
    // Frames before m_resumeFrom were replayed and went back already.
    for (size_t i = m_resumeFrom; i < m_held.size(); ++i) m_queue.release(m_held[i]);
    m_held.clear();
    m_position = 0;
    m_resumeFrom = 0;
    m_paused = false;
}

void ReplayStage::show(WorkSlot* slot) {
    if (m_renderer != nullptr) m_renderer->render(slot);
}

CounterSnapshot ReplayStage::totalTime() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return {m_total.descr(), m_total.avg()};
}

CounterSnapshot ReplayStage::renderTime() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return {m_render.descr(), m_render.avg()};
}

}  // namespace OLK
