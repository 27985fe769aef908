#include "batch_runner.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "apilog.h"
#include "clock.h"

namespace TVR {

BatchRunner::BatchRunner(ApiLog& log, Options options) : m_options(std::move(options)), m_log(log) {
    if (!m_options.clock) m_options.clock = monotonicNs;
    if (!m_options.wait) {
        m_options.wait = [](std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                            std::chrono::milliseconds timeout, const std::function<bool()>& done) {
            return cv.wait_for(lock, timeout, done);
        };
    }
}

BatchRunner::~BatchRunner() {
    if (m_worker.joinable()) m_worker.join();
}

BatchResult BatchRunner::run(Batch tasks) {
    if (m_worker.joinable()) m_worker.join();
    {
        std::lock_guard lock(m_mutex);
        m_done = false;
        m_shown = false;
        m_failed = 0;
        m_status.clear();
    }
    BatchResult result;
    result.tasks = tasks.size();
    m_worker = std::thread([this, batch = std::move(tasks)] { work(batch); });

    const int32_t delay = m_options.delayMs;
    const std::function<bool()> isDone = [this] { return m_done; };
    std::unique_lock lock(m_mutex);
    const bool finished =
        m_options.wait(m_cv, lock, std::chrono::milliseconds(std::max(delay, 10)), isDone);
    if (!finished && !m_done) {
        if (delay != 0 && m_options.window) {
            m_shown = true;
            const std::string status = m_status;
            lock.unlock();
            m_options.window->showModal(status);
            lock.lock();
        }
        m_cv.wait(lock, isDone);
    }
    result.shown = m_shown;
    lock.unlock();

    // After the done flag the worker only reports the end; the caller sees that line too.
    m_worker.join();
    result.failed = m_failed;
    return result;
}

bool BatchRunner::done() const {
    std::lock_guard lock(m_mutex);
    return m_done;
}

std::string BatchRunner::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

void BatchRunner::setStatus(const std::string& text) {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = text != m_status;
        m_status = text;
    }
    if (changed) m_log.appendText(false, text);
    if (m_options.window) m_options.window->statusChanged(text);
}

void BatchRunner::work(const Batch& tasks) {
    m_log.appendMessage(false, "Batch of %llu operation(s)",
                        static_cast<unsigned long long>(tasks.size()));
    const uint64_t start = m_options.clock();
    BatchProgressWindow* window = m_options.window;
    if (window) window->busy(true);
    setStatus("Batch start");

    size_t failed = 0;
    for (const BatchTask& task : tasks) {
        setStatus(task.name);
        // A task that cannot run must not take the application down with the worker.
        if (!task.run) {
            m_log.appendMessage(true, "Batch task \"%s\" has nothing to run", task.name.c_str());
            ++failed;
            continue;
        }
        try {
            task.run();
        } catch (const std::exception& e) {
            m_log.appendMessage(true, "Batch task \"%s\" failed: %s", task.name.c_str(), e.what());
            ++failed;
        } catch (...) {
            m_log.appendMessage(true, "Batch task \"%s\" failed", task.name.c_str());
            ++failed;
        }
    }

    if (window) window->busy(false);
    bool shown = false;
    {
        std::lock_guard lock(m_mutex);
        m_failed = failed;
        m_done = true;
        shown = m_shown;
    }
    m_cv.notify_all();

    const uint64_t end = m_options.clock();
    setStatus(fmt::format("Batch end, took {:.3f}s", nsToSeconds(end >= start ? end - start : 0)));
    if (shown && window) window->close();
}

}  // namespace TVR
