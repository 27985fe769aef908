#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "apilog.h"
#include "settings/batch_runner.h"
#include "settings_test_helpers.h"

namespace TVR {
namespace {

using namespace std::chrono_literals;

// A modal window that stays up until the runner closes it, however the two calls interleave.
class FakeWindow : public BatchProgressWindow {
public:
    void showModal(const std::string& status) override {
        std::unique_lock lock(m_mutex);
        ++m_shows;
        m_statusAtShow = status;
        m_shownPromise.set_value();
        m_cv.wait(lock, [this] { return m_closed; });
    }
    void close() override {
        std::lock_guard lock(m_mutex);
        ++m_closes;
        m_closed = true;
        m_cv.notify_all();
    }
    void busy(bool on) override {
        std::lock_guard lock(m_mutex);
        m_busy.push_back(on);
    }

    std::future<void> shownFuture() { return m_shownPromise.get_future(); }
    int shows() const {
        std::lock_guard lock(m_mutex);
        return m_shows;
    }
    int closes() const {
        std::lock_guard lock(m_mutex);
        return m_closes;
    }
    std::string statusAtShow() const {
        std::lock_guard lock(m_mutex);
        return m_statusAtShow;
    }
    std::vector<bool> busyCalls() const {
        std::lock_guard lock(m_mutex);
        return m_busy;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::promise<void> m_shownPromise;
    bool m_closed = false;
    int m_shows = 0;
    int m_closes = 0;
    std::string m_statusAtShow;
    std::vector<bool> m_busy;
};

// The delay runs out at once: the batch is always still running when the wait returns.
bool delayElapses(std::condition_variable&, std::unique_lock<std::mutex>&,
                  std::chrono::milliseconds, const std::function<bool()>&) {
    return false;
}

struct BatchRunnerTest : ::testing::Test {
    BatchRunner::Options options(int32_t delayMs) {
        BatchRunner::Options o;
        o.delayMs = delayMs;
        o.window = &window;
        // Two clock reads per batch: start and end, 1.5 s apart.
        o.clock = [this] { return clockReads++ == 0 ? 1'000'000'000ull : 2'500'000'000ull; };
        return o;
    }

    ApiLog log;
    FakeWindow window;
    std::atomic<int> clockReads{0};
};

TEST_F(BatchRunnerTest, FastBatchLogsEveryLineAndShowsNoWindow) {
    auto o = options(400);
    std::chrono::milliseconds asked{0};
    // The batch ends before the delay: the wait sees it done.
    o.wait = [&](std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 std::chrono::milliseconds timeout, const std::function<bool()>& done) {
        asked = timeout;
        cv.wait(lock, done);
        return true;
    };
    BatchRunner runner(log, o);

    std::vector<std::string> order;
    std::thread::id worker;
    const auto caller = std::this_thread::get_id();
    Batch batch = {
        {"Read gains",
         [&] {
             order.push_back("gains 1");
             worker = std::this_thread::get_id();
         }},
        {"Read gains", [&] { order.push_back("gains 2"); }},
        {"Read LED", [&] { order.push_back("led"); }},
    };
    const BatchResult result = runner.run(batch);

    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.tasks, 3u);
    EXPECT_FALSE(result.shown);
    EXPECT_TRUE(runner.done());
    EXPECT_EQ(asked, 400ms);
    EXPECT_EQ(order, (std::vector<std::string>{"gains 1", "gains 2", "led"}));
    EXPECT_NE(worker, caller);
    EXPECT_EQ(messagesSince(log, 0),
              (std::vector<std::string>{"Batch of 3 operation(s)", "Batch start", "Read gains",
                                        "Read LED", "Batch end, took 1.500s"}));
    EXPECT_EQ(runner.status(), "Batch end, took 1.500s");
    EXPECT_EQ(window.shows(), 0);
    EXPECT_EQ(window.closes(), 0);
    EXPECT_EQ(window.busyCalls(), (std::vector<bool>{true, false}));
}

TEST_F(BatchRunnerTest, RealWaitWithLongDelayShowsNoWindowForFastBatch) {
    // A delay no test machine reaches; the default wait must return as soon as the batch ends.
    auto o = options(600'000);
    BatchRunner runner(log, o);
    int runs = 0;
    const BatchResult result = runner.run({{"Only", [&] { ++runs; }}});
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(result.shown);
    EXPECT_EQ(window.shows(), 0);
    EXPECT_EQ(messagesSince(log, 0).back(), "Batch end, took 1.500s");
}

TEST_F(BatchRunnerTest, DelayZeroNeverShowsWindow) {
    auto o = options(0);
    std::chrono::milliseconds asked{0};
    o.wait = [&](std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 std::chrono::milliseconds timeout, const std::function<bool()>& done) {
        asked = timeout;
        return delayElapses(cv, lock, timeout, done);
    };
    BatchRunner runner(log, o);
    std::atomic<int> runs{0};
    Batch batch(5, BatchTask{"Push row", [&] {
                                 std::this_thread::sleep_for(1ms);
                                 ++runs;
                             }});
    const BatchResult result = runner.run(batch);

    EXPECT_EQ(asked, 10ms);  // the wait is never shorter than 10 ms
    EXPECT_EQ(runs.load(), 5);
    EXPECT_FALSE(result.shown);
    EXPECT_EQ(window.shows(), 0);
    EXPECT_EQ(window.closes(), 0);
    EXPECT_EQ(messagesSince(log, 0),
              (std::vector<std::string>{"Batch of 5 operation(s)", "Batch start", "Push row",
                                        "Batch end, took 1.500s"}));
}

TEST_F(BatchRunnerTest, SlowBatchShowsWindowUntilDone) {
    auto o = options(400);
    std::promise<void> started;
    // The delay runs out while the first task is under way.
    o.wait = [&](std::condition_variable&, std::unique_lock<std::mutex>& lock,
                 std::chrono::milliseconds, const std::function<bool()>&) {
        // The worker needs the runner's lock to report its progress meanwhile.
        lock.unlock();
        started.get_future().wait();
        lock.lock();
        return false;
    };
    BatchRunner runner(log, o);
    auto shown = window.shownFuture();
    bool doneWhileShown = true;
    Batch batch = {
        {"Reading Color Grading configuration",
         [&] {
             started.set_value();
             // Stay busy until the window is up, so the batch outlasts the delay.
             shown.wait();
             doneWhileShown = runner.done();
         }},
        {"Pushing values", [] {}},
    };
    const BatchResult result = runner.run(batch);

    EXPECT_TRUE(result.shown);
    EXPECT_TRUE(result.ok());
    EXPECT_FALSE(doneWhileShown);
    EXPECT_EQ(window.shows(), 1);
    EXPECT_EQ(window.closes(), 1);
    EXPECT_EQ(window.statusAtShow(), "Reading Color Grading configuration");
    EXPECT_TRUE(runner.done());
    EXPECT_EQ(messagesSince(log, 0).back(), "Batch end, took 1.500s");
}

TEST_F(BatchRunnerTest, TaskFailuresAreLoggedAndTheBatchGoesOn) {
    auto o = options(400);
    o.window = nullptr;
    BatchRunner runner(log, o);
    int after = 0;
    Batch batch = {
        {"No operation", {}},
        {"Throws", [] { throw std::runtime_error("camera gone"); }},
        {"After", [&] { ++after; }},
    };
    const BatchResult result = runner.run(batch);

    EXPECT_EQ(result.failed, 2u);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(after, 1);
    const auto lines = messagesSince(log, 0);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "Batch task \"No operation\" has nothing to run"),
        lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Batch task \"Throws\" failed: camera gone"),
              lines.end());
    ASSERT_TRUE(log.message(log.firstMessageIndex() + 3));
    EXPECT_TRUE(log.message(log.firstMessageIndex() + 3)->error);
    EXPECT_EQ(lines.back(), "Batch end, took 1.500s");

    // A second batch on the same runner starts from a clean state.
    clockReads = 0;
    const BatchResult again = runner.run({{"After", [&] { ++after; }}});
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(after, 2);
}

}  // namespace
}  // namespace TVR
