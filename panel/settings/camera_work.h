#pragma once

// One batch of camera work at a time for one camera. A batch holds the work for its duration;
// the thread that holds it may nest further batches, another thread waits for it to end (or,
// with tryBatch(), is refused). Timers of the window thread ask busy() first, because they may
// fire inside a modal loop of the very batch that holds the work. Any thread.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace TVR {

// Logged when window work is refused because a batch holds the camera.
inline constexpr std::string_view kCameraBusyText =
    "The camera is busy with another operation; try again when it has ended";

class CameraWork {
public:
    // Holds the work while it lives.
    class Batch {
    public:
        Batch(Batch&& other) noexcept : m_work(other.m_work) { other.m_work = nullptr; }
        Batch& operator=(Batch&&) = delete;
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        ~Batch() {
            if (m_work != nullptr) m_work->release();
        }

    private:
        friend class CameraWork;
        explicit Batch(CameraWork* work) : m_work(work) {}
        CameraWork* m_work;
    };

    CameraWork() = default;
    CameraWork(const CameraWork&) = delete;
    CameraWork& operator=(const CameraWork&) = delete;

    // Waits until no other thread holds the work.
    Batch batch();
    // Empty while another thread holds the work.
    std::optional<Batch> tryBatch();
    // Whether any thread, the caller's included, holds the work now.
    bool busy() const;

private:
    void release();

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::thread::id m_owner;
    int m_depth = 0;
};

}  // namespace TVR
