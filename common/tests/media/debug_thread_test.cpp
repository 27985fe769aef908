#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/debug_out.h"
#include "capture/thread_handle.h"

namespace OLK {
namespace {

void collect(const char* text, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(text);
}

TEST(Dbgmsg, WritesOnlyTextsThatFitWhole) {
    std::vector<std::string> seen;
    setDebugSink(&collect, &seen);
    DBGMSG("frame %d of %s\n", 7, "cam");
    DBGMSG("%s", std::string(259, 'a').c_str());
    DBGMSG("%s", std::string(260, 'b').c_str());
    DBGMSG("%s", std::string(300, 'c').c_str());
    setDebugSink(nullptr, nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "frame 7 of cam\n");
    EXPECT_EQ(seen[1].size(), 259u);
    EXPECT_EQ(nMyolmekcommon, 0);
}

TEST(EnsureThreadFinished, NullHandleDoesNothing) {
    ensureThreadFinished(nullptr, 0, 10);
    ThreadHandle* none = nullptr;
    ensureThreadFinished(&none, 0, 10);
    EXPECT_EQ(none, nullptr);
}

TEST(EnsureThreadFinished, EndedThreadIsJoined) {
    auto* thread = new ThreadHandle([](std::stop_token) { return 42u; });
    ASSERT_TRUE(thread->waitFor(60000));
    EXPECT_EQ(thread->exitCode(), 42u);
    ensureThreadFinished(&thread, 1, 0);
    EXPECT_EQ(thread, nullptr);
}

TEST(EnsureThreadFinished, StopRequestEndsACooperativeThread) {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto* thread = new ThreadHandle([ran](std::stop_token stop) {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock<std::mutex> guard(m);
        cv.wait(guard, stop, [] { return false; });
        *ran = true;
        return 0u;
    });
    ThreadHandle* handle = thread;
    EXPECT_TRUE(handle->finishWithin(60000));
    EXPECT_TRUE(*ran);
    ensureThreadFinished(&thread, 1, 10);
    EXPECT_EQ(thread, nullptr);
}

// A thread that ignores the stop request is let go after the time-out, not killed: it still
// finishes its work afterwards.
TEST(EnsureThreadFinished, StuckThreadIsDetachedAndLivesOn) {
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool finished = false;
    };
    auto gate = std::make_shared<Gate>();
    auto* thread = new ThreadHandle([gate](std::stop_token) {
        std::unique_lock<std::mutex> guard(gate->m);
        gate->cv.wait(guard, [&] { return gate->open; });
        gate->finished = true;
        gate->cv.notify_all();
        return 0u;
    });
    ensureThreadFinished(&thread, 3, 5);
    EXPECT_EQ(thread, nullptr);
    std::unique_lock<std::mutex> guard(gate->m);
    EXPECT_FALSE(gate->finished);
    gate->open = true;
    gate->cv.notify_all();
    gate->cv.wait(guard, [&] { return gate->finished; });
    EXPECT_TRUE(gate->finished);
}

}  // namespace
}  // namespace OLK
