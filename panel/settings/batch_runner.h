#pragma once

// Long camera operations as a batch of named tasks on a worker thread. The caller waits; when
// the batch is still running after the splash delay, a progress window (the Qt layer's splash
// or the console's progress line) is shown until the batch ends. Progress lines go to the log
// the runner was given.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TVR {

class ApiLog;

struct BatchTask {
    std::string name;
    std::function<void()> run;
};

using Batch = std::vector<BatchTask>;

// The window side of a batch.
class BatchProgressWindow {
public:
    virtual ~BatchProgressWindow() = default;
    // Called on the worker thread whenever the status text is set.
    virtual void statusChanged(const std::string& text) { (void)text; }
    // Called on the worker thread around the tasks (the wait cursor).
    virtual void busy(bool on) { (void)on; }
    // Called on the waiting thread; shows the window and returns once close() was called.
    // close() may come before this call has started its loop; it must then return promptly.
    virtual void showModal(const std::string& status) = 0;
    // Called on the worker thread, once, when the runner has decided to show the window; that
    // showModal() call may not have begun yet.
    virtual void close() = 0;
};

struct BatchResult {
    size_t tasks = 0;
    size_t failed = 0;   // tasks without an operation or whose operation threw
    bool shown = false;  // the progress window was shown
    bool ok() const { return failed == 0; }
};

class BatchRunner {
public:
    using Clock = std::function<uint64_t()>;
    // Waits on `cv` with `lock` held until `done()` or until `timeout` passed; returns done().
    using Wait =
        std::function<bool(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           std::chrono::milliseconds timeout, const std::function<bool()>& done)>;

    struct Options {
        // The `Splash` preference: ms before the window is shown, 0 never shows one.
        int32_t delayMs = 400;
        BatchProgressWindow* window = nullptr;
        Clock clock;  // ns; monotonicNs() when empty
        Wait wait;    // condition_variable::wait_for when empty
    };

    // Progress lines and task failures go to `log`, which outlives the runner.
    BatchRunner(ApiLog& log, Options options);
    // Joins a worker that is still ending.
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Runs the batch on a worker thread and returns when every task has finished and the
    // worker has ended. Tasks run in order; one that fails is logged and the batch goes on.
    BatchResult run(Batch tasks);

    // For the window: whether the batch has finished (OK and Cancel close only then) and the
    // current status text. Any thread.
    bool done() const;
    std::string status() const;

private:
    void work(const Batch& tasks);
    void setStatus(const std::string& text);

    Options m_options;
    ApiLog& m_log;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    bool m_shown = false;
    size_t m_failed = 0;
    std::string m_status;
    std::thread m_worker;
};

}  // namespace TVR
