#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "protocol/vendor_requests.h"
#include "tools/dpc/auto_dpc_calibration_model.h"
#include "tools/dpc/calibrate_dpc_model.h"
#include "tools/dpc/tests/dpc_test_helpers.h"

namespace TVR::DpcTest {
namespace {

constexpr std::chrono::milliseconds kManualPeriod{CalibrateDpcModel::kTimerPeriodMs};

size_t countOf(const std::vector<std::string>& messages, const std::string& text) {
    return static_cast<size_t>(std::count(messages.begin(), messages.end(), text));
}

TEST(CalibrateDpc, SliderRangeFollowsExpertMode) {
    EXPECT_EQ(CalibrateDpcModel::sliderMinimum(true), 4);
    EXPECT_EQ(CalibrateDpcModel::sliderMinimum(false), 70);
    EXPECT_EQ(CalibrateDpcModel::kSliderMaximum, 254);
}

TEST(CalibrateDpc, AFreshCameraShows150AndSaysNoCalibrationWasDone) {
    DpcRig rig("dpc_ms=0");
    CalibrateDpcModel model(rig.store, *rig.sensor);
    model.readState();
    EXPECT_EQ(rig.store.getInt(kKeyDpcThreshold), 0);
    const auto view = model.view();
    EXPECT_EQ(view.sliderPosition, 150);
    EXPECT_EQ(view.pixelCount, 0u);
    EXPECT_EQ(countOf(rig.messages(),
                      "Error reading Tavro camera's DPC config or DPC has not been done yet"),
              1u);
}

TEST(CalibrateDpc, ReadStateStoresTheThresholdTheCameraHolds) {
    DpcRig rig("dpc_ms=0;dpc_fit=100");
    rig.sensor->dpcCalibrate(120);
    CalibrateDpcModel model(rig.store, *rig.sensor);
    model.readState();
    EXPECT_EQ(rig.store.getInt(kKeyDpcThreshold), 120);
    const auto view = model.view();
    EXPECT_EQ(view.sliderPosition, 120);
    EXPECT_EQ(view.pixelCount, 4094u - 16u * 20u);
    EXPECT_TRUE(rig.messages().empty());
}

TEST(CalibrateDpc, ARunStopsStreamingAndEndsWithTheCount) {
    DpcRig rig("dpc_ms=500;dpc_fit=100");
    ASSERT_TRUE(rig.sensor->writeFpgaReg(FpgaReg::kControl, 0x43));
    CalibrateDpcModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    ASSERT_TRUE(model.run(110));
    EXPECT_FALSE(model.buttonEnabled());
    EXPECT_TRUE(model.waitCursor());
    EXPECT_EQ(rig.sensor->readFpgaReg(FpgaReg::kControl), 0x40);
    EXPECT_EQ(writtenThresholds(*rig.simCamera), std::vector<int>{110});
    // A second press while waiting sends nothing.
    EXPECT_FALSE(model.run(120));

    rig.advance(kManualPeriod);
    model.tick();
    rig.advance(kManualPeriod);
    model.tick();
    EXPECT_EQ(model.progress(), 10);
    EXPECT_TRUE(model.timerActive());
    rig.advance(kManualPeriod);
    model.tick();
    EXPECT_FALSE(model.timerActive());
    EXPECT_TRUE(model.buttonEnabled());
    EXPECT_EQ(model.progress(), 100);
    EXPECT_EQ(model.pixelCount(), 4094u - 16u * 10u);
    EXPECT_FALSE(model.timedOut());
    EXPECT_EQ(rig.store.getInt(kKeyDpcThreshold), 110);
}

TEST(CalibrateDpc, ARunWithNoCountEndsOnItsTimeOut) {
    DpcRig rig("dpc_ms=600000");
    CalibrateDpcModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    ASSERT_TRUE(model.run(150));
    for (int i = 0; i < CalibrateDpcModel::kTimeoutTicks; ++i) {
        rig.advance(kManualPeriod);
        model.tick();
    }
    EXPECT_TRUE(model.timerActive());
    EXPECT_EQ(model.progress(), 100);
    rig.advance(kManualPeriod);
    model.tick();
    EXPECT_FALSE(model.timerActive());
    EXPECT_TRUE(model.timedOut());
    EXPECT_TRUE(model.buttonEnabled());
    EXPECT_EQ(model.progress(), 0);
    EXPECT_EQ(countOf(rig.messages(), "Error running DPC calibration"), 1u);
    // The store keeps no threshold the camera never confirmed.
    EXPECT_FALSE(rig.store.has(kKeyDpcThreshold));
    // Later ticks of a stray timer do nothing.
    model.tick();
    EXPECT_EQ(countOf(rig.messages(), "Error running DPC calibration"), 1u);
    // And the next run starts afresh.
    EXPECT_TRUE(model.run(150));
    EXPECT_FALSE(model.timedOut());
}

TEST(CalibrateDpc, NothingIsSentWithoutACamera) {
    DpcRig rig("cameras=0");
    CalibrateDpcModel model(rig.store, *rig.sensor);
    model.readState();
    EXPECT_FALSE(model.run(100));
    EXPECT_FALSE(rig.store.has(kKeyDpcThreshold));
}

}  // namespace
}  // namespace TVR::DpcTest
