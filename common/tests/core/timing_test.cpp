#include <gtest/gtest.h>

#include "timing/averager.h"
#include "timing/perf_counter.h"
#include "timing/tick_timer.h"

namespace {

using Avg = OLK::Averager<int64_t, int64_t>;

TEST(AveragerTest, DocumentedSequences) {
    Avg a;
    a += 100;
    a += 200;
    a += 300;
    EXPECT_EQ(a.avg(), 200);
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(a.total(), 600);

    Avg same;
    same += 100;
    same += 100;  // equal to the average: an infinite ratio restarts
    EXPECT_EQ(same.count(), 1);
    EXPECT_EQ(same.avg(), 100);

    Avg zero;
    zero += 100;
    zero += 0;
    EXPECT_EQ(zero.count(), 1);
    EXPECT_EQ(zero.avg(), 0);
}

TEST(AveragerTest, OutliersRestartAppendDoesNot) {
    Avg a(-1);
    EXPECT_EQ(a.avg(), -1);  // the default while empty
    a += 1000;
    a += 1001;  // q = 1001: too close to call, restarts
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(static_cast<int64_t>(a), 1001);
    a += 2000;
    EXPECT_EQ(a.count(), 2);
    a.append(1500);
    a.append(1500);
    EXPECT_EQ(a.count(), 4);
    EXPECT_EQ(a.total(), 1001 + 2000 + 3000);
    a.reset();
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.avg(), -1);
    Avg copy = a;
    EXPECT_EQ(copy.avg(), -1);
}

TEST(TickTimerTest, ConversionsAndCounter) {
    EXPECT_EQ(OLK::TickTimer::us(OLK::TickTimer::m_frequency), 1'000'000);
    EXPECT_EQ(OLK::TickTimer::us(0), 0);
    // A day of counts converts without overflow.
    const int64_t day = OLK::TickTimer::m_frequency * 86'400;
    EXPECT_EQ(OLK::TickTimer::us(day), 86'400'000'000);
    OLK::TickTimer t;
    EXPECT_GE(t.us(), 0);
    EXPECT_GE(static_cast<int64_t>(t), 0);

    OLK::PerfCounter pc("Get frame (sync mode)");
    EXPECT_EQ(pc.avg(), 0);
    EXPECT_EQ(pc.descr(), "Get frame (sync mode)");
    pc.append(t);
    pc.append(t);
    EXPECT_EQ(pc.count(), 2);
    pc += t;
    EXPECT_GE(pc.count(), 1);
    pc.reset();
    EXPECT_EQ(pc.count(), 0);
}

}  // namespace
