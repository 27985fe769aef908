#pragma once

// A worker thread that can be asked to end and waited for with a time-out.

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "olk_export.h"

namespace OLK {

class OLK_EXPORT ThreadHandle {
public:
    // Starts body on a new thread; body should return soon after its stop token is signalled.
    explicit ThreadHandle(std::function<uint32_t(std::stop_token)> body);
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;
    // Asks the thread to end and joins it.
    ~ThreadHandle();

    void requestStop();
    bool finished() const;
    // True when the thread ended within ms milliseconds.
    bool waitFor(uint32_t ms) const;
    // The body's result once finished.
    uint32_t exitCode() const;
    std::thread::id id() const { return m_thread.get_id(); }
    // Asks the thread to end and joins it when it does within ms; otherwise detaches it.
    // Returns true when joined.
    bool finishWithin(uint32_t ms);

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

// Asks the thread to end and waits up to timeoutMs. A thread that does not end in time is
// detached, never killed (that would leave its locks and heap in an unknown state); it keeps
// running until it sees the stop request. The handle is deleted and set to null either way.
// exitCode is the code a forced end would have given; nothing is forced, so it goes unused.
OLK_EXPORT void ensureThreadFinished(ThreadHandle** handle, uint32_t exitCode, uint32_t timeoutMs);

}  // namespace OLK
