#include "bench_mode.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/capture_pipeline.h"
#include "core/pipeline_rules.h"
#include "ui/frame_presenter.h"

namespace OLK {

int runBench(const CommandLine& options, std::ostream& out, std::ostream& err,
             const std::function<uint64_t()>& allocations) {
    using Clock = std::chrono::steady_clock;
    FramePresenter realTime;
    FramePresenter replay;
    realTime.init(nullptr);
    replay.init(nullptr);
    realTime.setConversionThreads(options.threads);
    replay.setConversionThreads(options.threads);
    CapturePipeline pipeline(makeCaptureBackend(), memoryBudget(availablePhysicalMemory()),
                             &realTime, &replay);
    if (!pipeline.openDisplay() || pipeline.enumerate() == 0) {
        fmt::print(err, "quickcap: no video capture device\n");
        return 1;
    }
    const Selection selection{0, 0, 0};
    const std::vector<std::string> modes = pipeline.modeTexts(0, 0);
    const std::optional<int> top = pipeline.modeMaxRate(selection);
    if (!top) {
        fmt::print(err, "quickcap: the capture device has no mode quickcap can show\n");
        return 1;
    }
    const int replayFps = options.replayFps != 0 ? static_cast<int>(options.replayFps) : *top;
    pipeline.setSelection(selection);
    pipeline.setSynchronized(options.synchronized);
    pipeline.setMemoryPosition(options.memory);
    pipeline.setSlowMotion(replayFps < *top);
    pipeline.setPlaybackRate(replayFps);
    const Clock::time_point begin = Clock::now();
    if (pipeline.start() != CapturePipeline::StartResult::kStarted) {
        fmt::print(err, "quickcap: capture did not start\n");
        return 1;
    }
    const int32_t delay = pipeline.frameDelay();

    // The replay timer of the window, on a thread of its own here.
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        const auto period = std::chrono::milliseconds(delay > 0 ? delay : 1);
        Clock::time_point next = Clock::now();
        while (!stop.load(std::memory_order_relaxed)) {
            next += period;
            std::this_thread::sleep_until(next);
            pipeline.replayTick();
        }
    });

    const auto warmUp = std::chrono::seconds(options.seconds > 2 ? 1 : 0);
    std::this_thread::sleep_until(begin + warmUp);
    const uint64_t allocStart = allocations ? allocations() : 0;
    const PipelineCounters atStart = pipeline.counters();
    std::this_thread::sleep_until(begin + std::chrono::seconds(options.seconds));
    const uint64_t allocEnd = allocations ? allocations() : 0;
    const PipelineCounters c = pipeline.counters();
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    stop = true;
    ticker.join();
    const auto stats = pipeline.statistics();
    pipeline.close();

    const uint64_t measured = c.received - atStart.received;
    fmt::print(out, "mode {}\n", modes.empty() ? std::string() : modes.front());
    fmt::print(out, "captured {}\n", c.received);
    fmt::print(out, "shown {}\n", c.shown);
    fmt::print(out, "replayed {}\n", c.replayed);
    fmt::print(out, "dropped {}\n", c.dropped);
    fmt::print(out, "discarded {}\n", c.poolFull + c.flushed);
    fmt::print(out, "capture rate {:.1f} fps\n", static_cast<double>(c.received) / elapsed);
    fmt::print(out, "shown rate {:.1f} fps\n", static_cast<double>(c.shown) / elapsed);
    fmt::print(out, "replay rate {:.1f} fps\n", static_cast<double>(c.replayed) / elapsed);
    fmt::print(out, "converted {} real-time, {} replay\n", realTime.rendered(), replay.rendered());
    for (const CounterSnapshot& line : stats) {
        fmt::print(out, "{}\n", statisticsLine(line.description, line.averageUs));
    }
    if (allocations && measured > 0) {
        fmt::print(out, "allocations per frame {:.2f}\n",
                   static_cast<double>(allocEnd - allocStart) / static_cast<double>(measured));
    }
    return c.received > 0 ? 0 : 1;
}

}  // namespace OLK
