#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "protocol/vendor_requests.h"
#include "tools/dpc/auto_dpc_calibration_model.h"
#include "tools/dpc/tests/dpc_test_helpers.h"

namespace TVR::DpcTest {
namespace {

constexpr std::chrono::milliseconds kPeriod{AutoDpcCalibrationModel::kTimerPeriodMs};

// The step curve of dpc_fit: 4094 at the fitting threshold, 16 fewer per step above it.
int fitCount(int threshold, int fit) { return std::max(1, 4094 - 16 * (threshold - fit)); }

struct AutoRig {
    explicit AutoRig(const std::string& sim) : rig(sim), model(rig.store, *rig.sensor) {
        model.finishInitialisation();
        model.readState();
        model.opened();
    }
    // Moves the clock one timer period per tick until the run ends; the ticks it took.
    int runToEnd(int tickLimit = 20000) {
        int ticks = 0;
        while (model.timerActive() && ticks < tickLimit) {
            rig.advance(kPeriod);
            model.tick();
            ++ticks;
        }
        return ticks;
    }
    bool logged(const std::string& text) const {
        const auto m = rig.messages();
        return std::find(m.begin(), m.end(), text) != m.end();
    }

    DpcRig rig;
    AutoDpcCalibrationModel model;
};

TEST(AutoDpcCalibration, SearchEndsAtTheFittingThresholdOfSeveralCurves) {
    for (int fit : {100, 0, 1, 200, 255}) {
        SCOPED_TRACE(fit);
        AutoRig a(fmt::format("dpc_ms=600;dpc_fit={}", fit));
        a.model.pressButton();
        EXPECT_TRUE(a.model.running());
        EXPECT_EQ(a.model.buttonText(), "Stop calibration");
        a.runToEnd();
        ASSERT_FALSE(a.model.timerActive());
        const auto message = a.model.takeMessage();
        ASSERT_TRUE(message);
        EXPECT_TRUE(message->fits);
        EXPECT_EQ(message->title, "Automagical DPC calibration finished");
        EXPECT_EQ(message->text,
                  fmt::format("The threshold is now set at {} with {} detected pixels", fit,
                              fitCount(fit, fit)));
        EXPECT_FALSE(a.model.takeMessage());
        EXPECT_EQ(a.model.buttonText(), "Begin calibration");
        EXPECT_EQ(a.model.progress(), 100);
        EXPECT_EQ(a.model.shownThreshold(), fit);
        // The camera keeps the threshold found, and the store names it for the next save.
        const auto written = writtenThresholds(*a.rig.simCamera);
        ASSERT_FALSE(written.empty());
        EXPECT_EQ(written.front(), 128);
        EXPECT_EQ(written.back(), fit);
        EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](int t) { return t <= 255; }));
        EXPECT_EQ(a.rig.store.getInt(kKeyDpcThreshold), fit);
    }
}

TEST(AutoDpcCalibration, EachStepLogsItsTrialAndResult) {
    AutoRig a("dpc_ms=600;dpc_fit=100");
    EXPECT_EQ(a.model.rangeText(), "Threshold range is 0..255");
    a.model.pressButton();
    EXPECT_TRUE(a.logged("Trying DPC calibration with the threshold value at 128"));
    // 600 ms of detection: the count arrives on the third 250 ms tick.
    a.rig.advance(kPeriod);
    a.model.tick();
    a.rig.advance(kPeriod);
    a.model.tick();
    EXPECT_EQ(a.model.progress(), 2 * 100 / 16);
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera), std::vector<int>{128});
    a.rig.advance(kPeriod);
    a.model.tick();
    EXPECT_TRUE(a.logged(
        fmt::format("DPC calibration for 128 resulted in {} pixels reported", fitCount(128, 100))));
    EXPECT_EQ(a.model.shownCount(), static_cast<uint32_t>(fitCount(128, 100)));
    EXPECT_EQ(a.model.rangeText(), "Threshold range is 0..128");
    EXPECT_TRUE(a.logged("Trying DPC calibration with the threshold value at 64"));
    EXPECT_EQ(a.model.ticks(), 0);
    EXPECT_GT(a.model.timerStarts(), 1u);
}

TEST(AutoDpcCalibration, TheSimulatorsOwnCurveEndsAt86) {
    AutoRig a("dpc_ms=300");
    a.model.pressButton();
    a.runToEnd();
    const auto message = a.model.takeMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera).back(), 86);
    EXPECT_NE(message->text.find("set at 86 with"), std::string::npos) << message->text;
}

TEST(AutoDpcCalibration, NoFittingThresholdIsReportedAndNeverWrapsToZero) {
    AutoRig a("dpc_ms=300;dpc_fit=256");
    a.model.pressButton();
    a.runToEnd();
    ASSERT_FALSE(a.model.timerActive());
    const auto message = a.model.takeMessage();
    ASSERT_TRUE(message);
    EXPECT_FALSE(message->fits);
    EXPECT_NE(message->text.find("No threshold gives fewer than 4095"), std::string::npos);
    const auto written = writtenThresholds(*a.rig.simCamera);
    EXPECT_EQ(written, (std::vector<int>{128, 192, 224, 240, 248, 252, 254, 255}));
    EXPECT_EQ(a.model.buttonText(), "Begin calibration");
    const auto m = a.rig.messages();
    EXPECT_TRUE(std::any_of(m.begin(), m.end(), [](const std::string& s) {
        return s.find("No DPC threshold up to 255") != std::string::npos;
    }));
}

TEST(AutoDpcCalibration, StopMidRunClimbsFromTheLowerBound) {
    AutoRig a("dpc_ms=600;dpc_fit=100");
    a.model.pressButton();
    // 128 fits, 64 and 96 give too many; stop while 112 is being detected.
    while (writtenThresholds(*a.rig.simCamera).size() < 4) {
        a.rig.advance(kPeriod);
        a.model.tick();
    }
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera).back(), 112);
    EXPECT_EQ(a.model.rangeText(), "Threshold range is 96..128");
    a.model.pressButton();
    EXPECT_TRUE(a.logged("DPC calibration for 96 resulted in 4096 pixels reported"));
    EXPECT_EQ(a.model.shownCount(), 4096u);
    EXPECT_TRUE(a.model.running());
    a.runToEnd();
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera),
              (std::vector<int>{128, 64, 96, 112, 97, 98, 99, 100}));
    const auto message = a.model.takeMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "The threshold is now set at 100 with 4094 detected pixels");
}

TEST(AutoDpcCalibration, AStepWithoutACountGivesUpAfter17TicksAsFitting) {
    AutoRig a("dpc_ms=600000");
    a.model.pressButton();
    for (int i = 0; i < 16; ++i) {
        a.rig.advance(kPeriod);
        a.model.tick();
    }
    EXPECT_EQ(a.model.progress(), 100);
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera), std::vector<int>{128});
    a.rig.advance(kPeriod);
    a.model.tick();
    EXPECT_TRUE(a.logged("DPC calibration for 128 resulted in 0 pixels reported"));
    EXPECT_EQ(writtenThresholds(*a.rig.simCamera), (std::vector<int>{128, 64}));
    a.runToEnd();
    const auto message = a.model.takeMessage();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "The threshold is now set at 0 with 0 detected pixels");
}

TEST(AutoDpcCalibration, WithoutACameraTheButtonIsOffAndTheErrorLogged) {
    AutoRig a("cameras=0");
    EXPECT_FALSE(a.model.connected());
    EXPECT_FALSE(a.model.buttonEnabled());
    EXPECT_TRUE(a.logged("Error reading Tavro camera's DPC config"));
    a.model.pressButton();
    EXPECT_FALSE(a.model.running());
    EXPECT_FALSE(a.model.timerActive());
}

TEST(AutoDpcCalibration, OpeningShowsWhatTheCameraHolds) {
    DpcRig rig("dpc_ms=0;dpc_fit=50");
    rig.sensor->dpcCalibrate(70);
    AutoDpcCalibrationModel model(rig.store, *rig.sensor);
    EXPECT_EQ(model.rangeText(), "Calibration progress");
    model.readState();
    model.opened();
    EXPECT_TRUE(model.buttonEnabled());
    EXPECT_EQ(model.shownThreshold(), 70);
    EXPECT_EQ(model.shownCount(), static_cast<uint32_t>(fitCount(70, 50)));
    // A tick with no step running reads nothing.
    rig.simCamera->clearRequests();
    model.tick();
    EXPECT_TRUE(rig.simCamera->requests().empty());
}

}  // namespace
}  // namespace TVR::DpcTest

namespace TVR::DpcTest {
namespace {

TEST(AutoDpcCalibration, ACameraThatStopsAnsweringEndsTheRunAsAFailure) {
    DpcRig rig("dpc_ms=600;dpc_fit=100");
    AutoDpcCalibrationModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    model.readState();
    model.opened();
    model.pressButton();
    rig.driver->unplug(rig.simCamera);
    // The step waits out its 17 ticks, then gives up rather than take the failed reads as 0.
    for (int i = 0; i < 40 && model.timerActive(); ++i) {
        rig.advance(kPeriod);
        model.tick();
    }
    EXPECT_FALSE(model.timerActive());
    EXPECT_FALSE(model.running());
    const auto message = model.takeMessage();
    ASSERT_TRUE(message);
    EXPECT_FALSE(message->fits);
    EXPECT_EQ(message->text,
              "The camera did not answer during the calibration; no threshold was found");
    EXPECT_FALSE(rig.store.has(kKeyDpcThreshold));
}

}  // namespace
}  // namespace TVR::DpcTest
