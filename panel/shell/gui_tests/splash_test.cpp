#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "apilog.h"
#include "shell/splash.h"

namespace TVR {
namespace {

TEST(CSplash, AQuickBatchShowsNoWindowAndDelayZeroNeverDoes) {
    std::atomic<int> ran{0};
    ApiLog log;
    CSplash quick(nullptr, log, 400);
    const BatchResult r = quick.run({{"one", [&] { ++ran; }}, {"two", [&] { ++ran; }}});
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(r.shown);
    EXPECT_TRUE(quick.statusText().startsWith(QStringLiteral("Batch end, took ")));
    // The progress lines went to the log the box was given.
    ASSERT_GT(log.messageCount(), 0u);
    const auto first = log.message(log.firstMessageIndex());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->text, "Batch of 2 operation(s)");

    // However long the batch runs, delay 0 shows nothing.
    CSplash never(nullptr, log, 0);
    const BatchResult slow =
        never.run({{"wait", [] { std::this_thread::sleep_for(std::chrono::milliseconds(60)); }}});
    EXPECT_FALSE(slow.shown);
    EXPECT_FALSE(never.isVisible());
}

TEST(CSplash, ALongBatchShowsTheBoxUntilItEndsAndEnterCannotCloseItEarly) {
    std::atomic<bool> release{false};
    std::atomic<bool> wasVisible{false};
    ApiLog log;
    CSplash splash(nullptr, log, 10);
    // Runs inside the box's modal loop: the box is up, Enter is refused, then the task ends.
    QTimer::singleShot(50, [&] {
        wasVisible = splash.isVisible();
        splash.accept();
        EXPECT_TRUE(splash.isVisible());
        release = true;
    });
    const BatchResult r =
        splash.run({{"held", [&] {
                         while (!release) {
                             std::this_thread::sleep_for(std::chrono::milliseconds(1));
                         }
                     }}});
    EXPECT_TRUE(r.shown);
    EXPECT_TRUE(wasVisible);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_TRUE(splash.batchDone());
}

}  // namespace
}  // namespace TVR
