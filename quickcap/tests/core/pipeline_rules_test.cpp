#include <gtest/gtest.h>

#include "core/pipeline_rules.h"

namespace OLK {
namespace {

TEST(PipelineRules, PoolForTwoGigabytesAtHalfMemoryHolds271FullHdFrames) {
    const uint64_t budget = 2147483648ull;
    EXPECT_EQ(poolBytes(budget, 0), kMinPoolBytes);
    EXPECT_EQ(poolBytes(budget, 8), 1126170624ull);
    const size_t frame = 1920u * 1080u * 2u;
    EXPECT_EQ(poolBlocks(poolBytes(budget, 8), frame), 271u);
    EXPECT_EQ(16 + frame, 4147216u);
    EXPECT_EQ(poolBytes(budget, 16), budget - (budget - kMinPoolBytes) % 16);
    EXPECT_EQ(poolBlocks(kMinPoolBytes, 0), 0u);
}

TEST(PipelineRules, BudgetIsScaledAvailableMemoryWithAFloorAndAFallback) {
    EXPECT_EQ(memoryBudget(std::nullopt), kFallbackBudgetBytes);
    EXPECT_EQ(memoryBudget(uint64_t{1000}), kMinPoolBytes);
    EXPECT_EQ(memoryBudget(uint64_t{1} << 30), static_cast<uint64_t>(1073741824.0f * 1.1f));
    EXPECT_TRUE(availablePhysicalMemory().has_value());
}

TEST(PipelineRules, FrameDelayFollowsPlaybackRateSlowMotionAndTheModesTopRate) {
    EXPECT_EQ(frameDelay(30, true, 240), 32);  // 1000 / 30 = 33, minus 1
    EXPECT_EQ(frameDelay(240, true, 240), 0);  // no slow motion at the capture rate
    EXPECT_EQ(frameDelay(5, true, 240), 200);  // no minus 1 at 100 ms or more
    EXPECT_EQ(frameDelay(10, true, 240), 100);
    EXPECT_EQ(frameDelay(30, false, 240), 0);
    EXPECT_EQ(frameDelay(30, true, std::nullopt), 32);  // no full selection: plain d
    EXPECT_EQ(frameDelay(30, true, 0), 0);              // a zero-denominator mode
}

TEST(PipelineRules, FreezeNeedsBothBoxes) {
    EXPECT_TRUE(freezeFlag(true, true));
    EXPECT_FALSE(freezeFlag(false, true));
    EXPECT_FALSE(freezeFlag(true, false));
}

TEST(PipelineRules, PlaybackSliderTicksByOneUpToThirtyAndByFiveAbove) {
    EXPECT_EQ(playbackRange(30).maximum, 30);
    EXPECT_EQ(playbackRange(30).tick, 1);
    EXPECT_EQ(playbackRange(240).maximum, 240);
    EXPECT_EQ(playbackRange(240).tick, 5);
}

TEST(PipelineRules, LetterboxCentresTheFrameKeepingItsShape) {
    EXPECT_EQ(computeRect(800, 600, 1280, 720), (Rect{0, 75, 800, 450}));
    EXPECT_EQ(computeRect(800, 600, 600, 800), (Rect{175, 0, 450, 600}));
    EXPECT_EQ(computeRect(800, 600, 800, 600), (Rect{0, 0, 800, 600}));
    // Rounded multiply-divide (333 x 9 / 16 = 187.3), leftover halved downwards.
    EXPECT_EQ(computeRect(333, 400, 1920, 1080), (Rect{0, 106, 333, 187}));
    EXPECT_EQ(mulDiv(5, 3, 2), 8);
    EXPECT_EQ(mulDiv(-5, 3, 2), -8);
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
}

TEST(PipelineRules, LabelAndStatisticsTexts) {
    EXPECT_EQ(statisticsLine("RT frame total time", 16667), "RT frame total time: 16.667ms");
    EXPECT_EQ(statisticsLine("convert to RGBA32", 5), "convert to RGBA32: 0.005ms");
    EXPECT_EQ(memoryLabel(kMinPoolBytes), "0.10GB");
    EXPECT_EQ(playbackLabel(1), "1 FPS");
    EXPECT_EQ(delayLabel(66), "66ms");
    EXPECT_EQ(bufferedLine(2, 100, 271, 32), "2 (RT) + 100 (SlowMo) / 271 (3.20 secs)");
}

}  // namespace
}  // namespace OLK
