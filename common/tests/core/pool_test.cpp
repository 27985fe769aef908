#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "pool/fast_mem.h"
#include "pool/ring_queue.h"
#include "pool/work_queue.h"
#include "pool/work_slot.h"

namespace {

using OLK::FastMem;
using OLK::RingQueue;
using OLK::WorkQueue;
using OLK::WorkSlot;

void waitUntilWaiting(const WorkQueue& q, size_t n) {
    while (q.countWaiting() < n) {
        std::this_thread::yield();
    }
}

TEST(FastMemTest, RoundsBlocksAndRunsOutAfterCount) {
    FastMem pool(3, 100);
    EXPECT_EQ(pool.getBlockSize(), 112u);
    EXPECT_EQ(pool.countTotalBlocks(), 3u);
    auto* a = static_cast<uint8_t*>(pool.get());
    auto* b = static_cast<uint8_t*>(pool.get());
    auto* c = static_cast<uint8_t*>(pool.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(b - a, 112);
    EXPECT_EQ(c - b, 112);
    EXPECT_EQ(pool.get(), nullptr);
    EXPECT_EQ(pool.countFreeBlocks(), 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
    // Writing whole blocks must stay inside the allocation.
    std::memset(a, 1, 3 * 112);

    pool.release(b);
    EXPECT_EQ(pool.countFreeBlocks(), 1u);
    EXPECT_EQ(pool.get(), b);
}

TEST(FastMemTest, ReleaseInsideABlockFreesItAndForeignPointersAreIgnored) {
    FastMem pool(2, 64);
    auto* a = static_cast<uint8_t*>(pool.get());
    auto* b = static_cast<uint8_t*>(pool.get());
    pool.release(b + 37);
    EXPECT_EQ(pool.countFreeBlocks(), 1u);
    int outside = 0;
    pool.release(&outside);
    pool.release(a - 1);
    pool.release(a + 2 * 64);
    EXPECT_EQ(pool.countFreeBlocks(), 1u);
    // First fit from the start: once both are free the low block comes first.
    pool.release(a);
    EXPECT_EQ(pool.get(), a);
    EXPECT_EQ(pool.get(), b);
}

TEST(FastMemTest, ImpossibleSizeGivesAnEmptyPool) {
    FastMem huge(SIZE_MAX / 8, 1024);
    EXPECT_EQ(huge.countTotalBlocks(), 0u);
    EXPECT_EQ(huge.get(), nullptr);
    huge.release(&huge);
    FastMem none(0, 16);
    EXPECT_EQ(none.get(), nullptr);
}

TEST(WorkSlotTest, HeaderIsSixteenBytes) {
    EXPECT_EQ(WorkSlot::m_sizeOfThisAligned, 16u);
    EXPECT_EQ(WorkSlot::sizeInBytes(), 16u);
    FastMem pool(1, 48);
    WorkSlot* slot = WorkSlot::fromBlock(pool.get());
    EXPECT_EQ(slot->data(), reinterpret_cast<uint8_t*>(slot) + 16);
}

TEST(RingQueueTest, KeepsOrderAndItsArrayAcrossWrapAroundAndGrowsInOrder) {
    RingQueue<int> q;
    q.reserve(4);
    int next = 0;
    int expected = 0;
    // Three in, two out, many times: the head walks round the array again and again.
    for (int round = 0; round < 50; ++round) {
        while (q.size() < 3) q.push_back(next++);
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(q.front(), expected++);
            q.pop_front();
        }
    }
    EXPECT_EQ(q.capacity(), 4u);
    // Filling it while the head sits mid-array makes it grow; the order must survive the move.
    q.push_back(next++);
    ASSERT_EQ(q.front(), expected++);
    q.pop_front();
    while (q.size() < 9) q.push_back(next++);
    EXPECT_GE(q.capacity(), 9u);
    while (!q.empty()) {
        ASSERT_EQ(q.front(), expected++);
        q.pop_front();
    }
    EXPECT_EQ(expected, next);
    q.reserve(2);  // never shrinks
    EXPECT_GE(q.capacity(), 9u);
}

TEST(WorkQueueTest, EveryBlockQueuedAtOnceComesBackInOrderWhereverTheRingStarts) {
    // Every block queued at once, then drained, round after round: the queue must never lose
    // or reorder a slot where its ring wraps.
    FastMem pool(5, 16);
    WorkQueue queue;
    queue.assignMemoryPool(&pool);
    queue.start();
    for (int round = 0; round < 7; ++round) {
        std::vector<WorkSlot*> added;
        // Start each round at a different place in the ring.
        for (int i = 0; i <= round % 5; ++i) {
            queue.add(queue.grabEmpty());
            queue.release(queue.grabNoBlocking());
        }
        while (WorkSlot* s = queue.grabEmpty()) {
            added.push_back(s);
            queue.add(s);
        }
        ASSERT_EQ(added.size(), 5u);
        EXPECT_EQ(queue.size(), 5u);
        for (WorkSlot* s : added) {
            ASSERT_EQ(queue.grabNoBlocking(), s);
            queue.release(s);
        }
    }
    EXPECT_EQ(pool.countFreeBlocks(), 5u);
}

struct QueueFixture : ::testing::Test {
    FastMem pool{4, 64};
    WorkQueue queue;
    void SetUp() override { queue.assignMemoryPool(&pool); }
};

TEST_F(QueueFixture, StatesGateEmptySlotsAndOrder) {
    EXPECT_EQ(queue.state(), WorkQueue::kIdle);
    EXPECT_EQ(queue.grabEmpty(), nullptr);
    queue.start();
    EXPECT_TRUE(queue.open());
    WorkSlot* a = queue.grabEmpty();
    WorkSlot* b = queue.grabEmpty();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    a->data()[0] = 'a';
    queue.add(a);
    queue.add(b);
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue.grabNoBlocking(), a);
    EXPECT_EQ(queue.grab(), b);
    EXPECT_EQ(queue.grabNoBlocking(), nullptr);
    queue.release(a);
    queue.release(b);
    EXPECT_EQ(pool.countFreeBlocks(), 4u);
}

TEST_F(QueueFixture, AddWhenNotOpenRecyclesIntoThePool) {
    queue.start();
    WorkSlot* a = queue.grabEmpty();
    WorkSlot* b = queue.grabEmpty();
    queue.add(a);
    queue.stop();
    EXPECT_EQ(pool.countFreeBlocks(), 2u);
    queue.add(b);
    EXPECT_EQ(queue.size(), 1u);  // a stays queued, b went back
    EXPECT_EQ(pool.countFreeBlocks(), 3u);
    EXPECT_EQ(queue.grabNoBlocking(), nullptr);
    EXPECT_EQ(queue.grabEmpty(), nullptr);
    EXPECT_EQ(queue.grab(), nullptr);
    // Restarting delivers what was queued before the stop.
    queue.start();
    EXPECT_EQ(queue.grab(), a);
}

TEST_F(QueueFixture, FlushReturnsEveryQueuedBlock) {
    queue.start();
    for (int i = 0; i < 3; ++i) {
        queue.add(queue.grabEmpty());
    }
    EXPECT_EQ(pool.countFreeBlocks(), 1u);
    queue.flush();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(pool.countFreeBlocks(), 4u);
    EXPECT_EQ(queue.grabNoBlocking(), nullptr);

    // After a flush a consumer blocks again until the next add.
    WorkSlot* got = nullptr;
    std::thread consumer([&] { got = queue.grab(); });
    waitUntilWaiting(queue, 1);
    WorkSlot* s = queue.grabEmpty();
    queue.add(s);
    consumer.join();
    EXPECT_EQ(got, s);
}

TEST_F(QueueFixture, ReassigningThePoolFlushesIntoTheOldOne) {
    queue.start();
    queue.add(queue.grabEmpty());
    FastMem other(1, 16);
    queue.assignMemoryPool(&other);
    EXPECT_EQ(pool.countFreeBlocks(), 4u);
    EXPECT_EQ(queue.memoryPool(), &other);
}

TEST_F(QueueFixture, IdleConsumerWaitsForStartAndAdd) {
    WorkSlot* got = nullptr;
    std::thread consumer([&] { got = queue.grab(); });
    waitUntilWaiting(queue, 1);
    queue.start();
    WorkSlot* s = queue.grabEmpty();
    queue.add(s);
    consumer.join();
    EXPECT_EQ(got, s);
}

TEST_F(QueueFixture, StopWakesEveryBlockedConsumer) {
    queue.start();
    std::atomic<int> nulls{0};
    std::vector<std::thread> consumers;
    for (int i = 0; i < 2; ++i) {
        consumers.emplace_back([&] {
            if (queue.grab() == nullptr) {
                ++nulls;
            }
        });
    }
    waitUntilWaiting(queue, 2);
    queue.stop();
    for (auto& t : consumers) {
        t.join();
    }
    EXPECT_EQ(nulls.load(), 2);
}

TEST_F(QueueFixture, TwoBlockedConsumersGetOneSlotEach) {
    queue.start();
    WorkSlot* got[2] = {nullptr, nullptr};
    std::thread c0([&] { got[0] = queue.grab(); });
    std::thread c1([&] { got[1] = queue.grab(); });
    waitUntilWaiting(queue, 2);
    WorkSlot* a = queue.grabEmpty();
    WorkSlot* b = queue.grabEmpty();
    queue.add(a);
    queue.add(b);
    c0.join();
    c1.join();
    EXPECT_EQ((std::set<WorkSlot*>{got[0], got[1]}), (std::set<WorkSlot*>{a, b}));
}

TEST(WorkQueueTest, ProducerConsumerChainKeepsEveryFrameAndBlock) {
    // Capture queue -> display -> replay queue -> back to the pool, as the viewer chains them.
    FastMem pool(8, 16 + sizeof(uint32_t));
    WorkQueue capture;
    WorkQueue replay;
    capture.assignMemoryPool(&pool);
    replay.assignMemoryPool(&pool);
    capture.start();
    replay.start();
    constexpr uint32_t kFrames = 2000;
    std::atomic<uint32_t> dropped{0};
    std::vector<uint32_t> seen;

    std::thread producer([&] {
        for (uint32_t i = 0; i < kFrames; ++i) {
            WorkSlot* s = capture.grabEmpty();
            if (s == nullptr) {
                ++dropped;
                std::this_thread::yield();
                continue;
            }
            std::memcpy(s->data(), &i, sizeof(i));
            capture.add(s);
        }
        capture.stop();
    });
    std::thread display([&] {
        while (WorkSlot* s = capture.grab()) {
            replay.add(s);
        }
        replay.stop();
    });
    while (WorkSlot* s = replay.grab()) {
        uint32_t v = 0;
        std::memcpy(&v, s->data(), sizeof(v));
        seen.push_back(v);
        replay.release(s);
    }
    producer.join();
    display.join();
    capture.flush();
    replay.flush();
    EXPECT_EQ(pool.countFreeBlocks(), 8u);
    EXPECT_LE(seen.size() + dropped.load(), kFrames);
    for (size_t i = 1; i < seen.size(); ++i) {
        ASSERT_LT(seen[i - 1], seen[i]);
    }
}

}  // namespace
