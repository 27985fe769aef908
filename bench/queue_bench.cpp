// Hand-over of slots between a producer and a consumer thread through one WorkQueue.

#include <benchmark/benchmark.h>

#include <cstring>
#include <thread>

#include "pool/fast_mem.h"
#include "pool/work_queue.h"

namespace {

void queueHandOver(benchmark::State& state) {
    OLK::FastMem pool(static_cast<size_t>(state.range(0)), 16 + 64);
    OLK::WorkQueue queue;
    queue.assignMemoryPool(&pool);
    queue.start();
    std::thread producer([&] {
        uint64_t n = 0;
        while (queue.open()) {
            if (OLK::WorkSlot* s = queue.grabEmpty()) {
                std::memcpy(s->data(), &n, sizeof(n));
                ++n;
                queue.add(s);
            } else {
                std::this_thread::yield();
            }
        }
    });
    for (auto _ : state) {
        OLK::WorkSlot* s = queue.grab();
        benchmark::DoNotOptimize(s->data()[0]);
        queue.release(s);
    }
    queue.stop();
    producer.join();
    queue.flush();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

BENCHMARK(queueHandOver)->ArgName("blocks")->Arg(4)->Arg(64)->UseRealTime();

BENCHMARK_MAIN();
