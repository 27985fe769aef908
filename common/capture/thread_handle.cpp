#include "capture/thread_handle.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace OLK {

struct ThreadHandle::State {
    mutable std::mutex lock;
    mutable std::condition_variable done;
    bool finished = false;
    uint32_t exitCode = 0;
    std::stop_source stop;
};

ThreadHandle::ThreadHandle(std::function<uint32_t(std::stop_token)> body)
    : m_state(std::make_shared<State>()) {
    // The thread holds the state itself so that a detached thread never outlives it.
    m_thread = std::thread([state = m_state, body = std::move(body)] {
        uint32_t code = body ? body(state->stop.get_token()) : 0;
        std::lock_guard<std::mutex> guard(state->lock);
        state->finished = true;
        state->exitCode = code;
        state->done.notify_all();
    });
}

ThreadHandle::~ThreadHandle() {
    if (m_thread.joinable()) {
        requestStop();
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
}

void ThreadHandle::requestStop() { m_state->stop.request_stop(); }

bool ThreadHandle::finished() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->finished;
}

bool ThreadHandle::waitFor(uint32_t ms) const {
    std::unique_lock<std::mutex> guard(m_state->lock);
    return m_state->done.wait_for(guard, std::chrono::milliseconds(ms),
                                  [&] { return m_state->finished; });
}

uint32_t ThreadHandle::exitCode() const {
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->exitCode;
}

bool ThreadHandle::finishWithin(uint32_t ms) {
    if (!m_thread.joinable()) return true;
    requestStop();
    // A thread cannot join itself; from inside, or after the time-out, it is let go.
    if (m_thread.get_id() != std::this_thread::get_id() && waitFor(ms)) {
        m_thread.join();
        return true;
    }
    m_thread.detach();
    return false;
}

void ensureThreadFinished(ThreadHandle** handle, uint32_t /*exitCode*/, uint32_t timeoutMs) {
    if (handle == nullptr || *handle == nullptr) return;
    (*handle)->finishWithin(timeoutMs);
    delete *handle;
    *handle = nullptr;
}

}  // namespace OLK
