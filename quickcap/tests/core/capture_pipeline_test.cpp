#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/capture_pipeline.h"
#include "core/pipeline_rules.h"
#include "media/mf_result.h"
#include "media/synthetic/synthetic_backend.h"
#include "recording_renderer_helpers.h"

namespace OLK {
namespace {

using Test::consecutive;
using Test::RecordingRenderer;

std::shared_ptr<SyntheticBackend> camera(const std::string& text) {
    SyntheticConfig config;
    std::string error;
    EXPECT_TRUE(SyntheticConfig::parse(text, &config, &error)) << error;
    return std::make_shared<SyntheticBackend>(config);
}

struct Rig {
    explicit Rig(const std::string& text)
        : backend(camera(text)), pipeline(backend, kMinPoolBytes, &rt, &slow) {
        EXPECT_TRUE(pipeline.openDisplay());
        EXPECT_GE(pipeline.enumerate(), 1u);
    }
    void select(int mode = 0) { pipeline.setSelection({0, 0, mode}); }
    // Ticks the replay until n frames were replayed; the real-time window paces the wait.
    bool replayUntil(size_t n) {
        while (pipeline.replay().frames() < n) {
            const uint64_t before = pipeline.replay().frames();
            pipeline.replayTick();
            // Nothing buffered yet: wait for the real-time window's next frame.
            if (pipeline.replay().frames() == before && !rt.waitFor(rt.sequences().size() + 1)) {
                return false;
            }
        }
        return true;
    }

    RecordingRenderer rt;
    RecordingRenderer slow;
    std::shared_ptr<SyntheticBackend> backend;
    CapturePipeline pipeline;
};

TEST(CapturePipeline, CatalogueListsStreamsAndPrunedModes) {
    Rig one("modes=640x480@480:YUY2,320x240@1000:NV12,1280x720@30:MJPG");
    EXPECT_EQ(one.pipeline.deviceNames(), std::vector<std::string>{"Tavro synthetic camera"});
    EXPECT_EQ(one.pipeline.streamCount(0), 1u);
    const auto modes = one.pipeline.modeTexts(0, 0);
    // The VideoInfo duplicates and the MJPG mode are gone.
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_NE(modes[0].find("YUY2 640 x 480"), std::string::npos) << modes[0];
    EXPECT_EQ(one.pipeline.modeMaxRate({0, 0, 1}), 1000);
    EXPECT_EQ(one.pipeline.modeMaxRate({0, 0, -1}), std::nullopt);

    Rig two("modes=64x48@100:YUY2;streams=3");
    EXPECT_EQ(two.pipeline.streamCount(0), 3u);
    EXPECT_EQ(two.pipeline.modeTexts(0, 2).size(), 1u);
}

TEST(CapturePipeline, AnMjpgOnlyDeviceOffersNoModeAndCannotStart) {
    Rig rig("modes=1280x720@30:MJPG");
    EXPECT_TRUE(rig.pipeline.modeTexts(0, 0).empty());
    rig.select(0);
    EXPECT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kNoMode);
    rig.pipeline.setSelection({0, 0, -1});
    EXPECT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kNoSelection);
}

TEST(CapturePipeline, FramesPassBothQueuesInOrderWithoutGaps) {
    for (bool synchronous : {false, true}) {
        SCOPED_TRACE(synchronous ? "synchronized" : "asynchronous");
        Rig rig("modes=64x48@1000:YUY2");
        rig.select();
        rig.pipeline.setSynchronized(synchronous);
        ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
        EXPECT_EQ(rig.rt.mediaTypesSet(), 1u);
        EXPECT_EQ(rig.slow.mediaTypesSet(), 1u);
        // 100 MiB of 6 KiB frames: the pool never runs out in this test.
        EXPECT_GT(rig.pipeline.pool()->countTotalBlocks(), 10000u);
        ASSERT_TRUE(rig.replayUntil(300));
        const auto shown = rig.rt.sequences();
        const auto replayed = rig.slow.sequences();
        EXPECT_EQ(shown.front(), 0);
        EXPECT_TRUE(consecutive(shown));
        EXPECT_TRUE(consecutive(replayed));
        EXPECT_EQ(replayed.front(), 0);
        EXPECT_EQ(rig.rt.mismatches(), 0u);
        EXPECT_EQ(rig.slow.mismatches(), 0u);
        const PipelineCounters c = rig.pipeline.counters();
        EXPECT_GE(c.received, 300u);
        EXPECT_EQ(c.dropped, 0u);
        EXPECT_EQ(c.replayed, 300u);
    }
}

TEST(CapturePipeline, SynchronizedCaptureFlushesWhenFewerThanTwoBlocksAreFree) {
    // 100 MiB holds 170 frames of 640 x 480 YUY2; without replay ticks the pool fills up.
    Rig rig("modes=640x480@1000:YUY2");
    rig.select();
    rig.pipeline.setSynchronized(true);
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    const size_t blocks = rig.pipeline.pool()->countTotalBlocks();
    EXPECT_EQ(blocks, 170u);
    ASSERT_TRUE(rig.rt.waitFor(2 * blocks));
    const PipelineCounters c = rig.pipeline.counters();
    // Every block ended up in the replay queue, which was dropped at once; capture went on.
    EXPECT_GE(c.flushed, blocks - 2);
    EXPECT_EQ(c.dropped, 0u);
    // Frames still waiting for the real-time window go with the flush; the rest stay in order.
    const auto shown = rig.rt.sequences();
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end()), shown.end());
}

TEST(CapturePipeline, AsynchronousCaptureDropsNewFramesWhileThePoolIsFull) {
    Rig rig("modes=640x480@1000:YUY2");
    rig.select();
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    const size_t blocks = rig.pipeline.pool()->countTotalBlocks();
    ASSERT_TRUE(rig.rt.waitFor(blocks));
    // All blocks wait in the replay queue (one may still be on the real-time window): the
    // reader finds no empty slot.
    while (rig.pipeline.counters().poolFull == 0) {
        ASSERT_TRUE(rig.pipeline.counters().received < 100000u);
        std::this_thread::yield();
    }
    EXPECT_GE(rig.pipeline.replayQueue().size(), blocks - 1);
    // One replayed frame frees one block for the next delivered frame.
    const size_t before = rig.rt.sequences().size();
    rig.pipeline.replayTick();
    ASSERT_TRUE(rig.rt.waitFor(before + 1));
    EXPECT_EQ(rig.pipeline.counters().dropped, 0u);
}

TEST(CapturePipeline, PlaybackAndSlowMotionSetTheDelay) {
    Rig rig("modes=64x48@240:YUY2");
    rig.select();
    rig.pipeline.setSlowMotion(true);
    rig.pipeline.setPlaybackRate(30);
    EXPECT_EQ(rig.pipeline.frameDelay(), 32);
    rig.pipeline.setPlaybackRate(240);
    EXPECT_EQ(rig.pipeline.frameDelay(), 0);
    rig.pipeline.setPlaybackRate(5);
    EXPECT_EQ(rig.pipeline.frameDelay(), 200);
    rig.pipeline.setSlowMotion(false);
    EXPECT_EQ(rig.pipeline.frameDelay(), 0);
    // Freeze only with both boxes.
    rig.pipeline.setFreezeBox(true);
    EXPECT_FALSE(rig.pipeline.realTime().freeze());
    rig.pipeline.setSlowMotion(true);
    EXPECT_TRUE(rig.pipeline.realTime().freeze());
}

TEST(CapturePipeline, MovingThePlaybackSliderAndResyncDropTheBuffer) {
    Rig rig("modes=64x48@1000:YUY2");
    rig.select();
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    // Frame n + 1 is drawn only after frame n went on to the replay queue.
    ASSERT_TRUE(rig.rt.waitFor(21));
    rig.pipeline.playbackMoved(30);
    const uint64_t flushed = rig.pipeline.counters().flushed;
    EXPECT_GE(flushed, 20u);
    ASSERT_TRUE(rig.rt.waitFor(rig.rt.sequences().size() + 21));
    rig.pipeline.resync();
    EXPECT_GE(rig.pipeline.counters().flushed, flushed + 20);
    // Replay goes on with what arrives after the flush.
    ASSERT_TRUE(rig.replayUntil(5));
    EXPECT_GT(rig.slow.sequences().front(), 40);
}

TEST(CapturePipeline, APresenterThatRefusesTheModeStartsNothing) {
    Rig rig("modes=64x48@1000:YUY2");
    rig.select();
    rig.rt.failSetMediaType = E_FAIL;
    EXPECT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kPresenterFailed);
    EXPECT_FALSE(rig.pipeline.capturing());
}

TEST(CapturePipeline, DeviceLossClosesTheReaderOnceAndLaunchRestartsIt) {
    for (bool synchronous : {false, true}) {
        SCOPED_TRACE(synchronous ? "synchronized" : "asynchronous");
        Rig rig("modes=64x48@1000:YUY2");
        rig.select();
        rig.pipeline.setSynchronized(synchronous);
        ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
        ASSERT_TRUE(rig.rt.waitFor(10));
        const DeviceChangeEvent other{kDbtDevTypDeviceInterface, kDbtDeviceRemoveComplete,
                                      "synthetic:video7"};
        EXPECT_FALSE(rig.pipeline.handleDeviceChange(other));
        auto cam = rig.backend->camera(0);
        cam->unplug();
        DeviceChangeEvent gone{kDbtDevTypDeviceInterface, kDbtDeviceRemoveComplete,
                               "SYNTHETIC:VIDEO0"};
        EXPECT_TRUE(rig.pipeline.handleDeviceChange(gone));
        EXPECT_FALSE(rig.pipeline.handleDeviceChange(gone));  // reported once
        cam->replug();
        const size_t before = rig.rt.sequences().size();
        ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
        ASSERT_TRUE(rig.rt.waitFor(before + 10));
        EXPECT_TRUE(rig.pipeline.capturing());
    }
}

TEST(CapturePipeline, RestartRebuildsThePoolForTheNewMode) {
    Rig rig("modes=64x48@1000:YUY2,640x480@1000:YUY2");
    rig.select(0);
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    ASSERT_TRUE(rig.rt.waitFor(20));
    rig.select(1);
    rig.pipeline.setMemoryPosition(0);
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    EXPECT_EQ(rig.pipeline.pool()->getBlockSize(), 16u + 640u * 480u * 2u);
    const size_t before = rig.rt.sequences().size();
    ASSERT_TRUE(rig.rt.waitFor(before + 20));
    EXPECT_EQ(rig.rt.mismatches(), 0u);
}

TEST(ReplayStage, PauseHoldsTheBufferForSteppingAndResumeContinuesFromTheShownFrame) {
    Rig rig("modes=64x48@1000:YUY2");
    rig.select();
    ASSERT_EQ(rig.pipeline.start(), CapturePipeline::StartResult::kStarted);
    // Frame n + 1 is drawn only after frame n went on to the replay queue.
    ASSERT_TRUE(rig.rt.waitFor(51));
    ReplayStage& replay = rig.pipeline.replay();
    replay.pause();
    const size_t held = replay.heldCount();
    ASSERT_GE(held, 50u);
    EXPECT_FALSE(rig.pipeline.replayTick());  // paused: ticks do nothing
    EXPECT_EQ(replay.shownStamp().sequence, 0);
    EXPECT_EQ(replay.step(3), 3u);
    EXPECT_EQ(replay.shownStamp().sequence, 3);
    EXPECT_EQ(replay.shownRelativeTime(), 3 * 10000);  // 1 ms per frame, 100-ns units
    EXPECT_EQ(replay.step(-10), 0u);
    EXPECT_EQ(replay.end(), held - 1);
    EXPECT_EQ(replay.shownStamp().sequence, static_cast<int64_t>(held - 1));
    replay.home();
    replay.step(5);
    replay.resume();
    // Replay goes on from frame 5, then into the queue without a gap.
    const size_t before = rig.slow.sequences().size();
    ASSERT_TRUE(rig.replayUntil(held + 10));
    auto seen = rig.slow.sequences();
    std::vector<int64_t> after(seen.begin() + static_cast<std::ptrdiff_t>(before), seen.end());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), 5);
    EXPECT_TRUE(consecutive(after));
}

}  // namespace
}  // namespace OLK
