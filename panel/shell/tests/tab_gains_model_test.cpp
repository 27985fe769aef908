#include "shell/tab_gains_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "protocol/vendor_requests.h"
#include "panel_test_helpers.h"

namespace TVR::PanelTest {
namespace {

constexpr uint16_t kExposureHigh = 0x3500;
constexpr uint16_t kExposureMid = 0x3501;
constexpr uint16_t kExposureLow = 0x3502;
constexpr uint16_t kManualControl = 0x3503;  // OV9714 family: bit 1 gain, bit 0 exposure
constexpr uint8_t kManualGainBit = 0x02;
constexpr uint16_t kGainHigh = 0x350A;
constexpr uint16_t kGainLow = 0x350B;
constexpr uint16_t kBinning = 0x3663;  // OV10823

using M = TabGainsModel;

struct GainsPage {
    explicit GainsPage(const std::string& simOptions = "")
        : rig(simOptions), model(rig.store, *rig.sensor) {
        model.finishInitialisation();
    }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    std::vector<Sim::SimRequestRecord> requests() const { return rig.simCamera->requests(); }

    CameraRig rig;
    TabGainsModel model;
};

// The sensor register writes the camera received, by register.
std::vector<uint16_t> sensorWrites(const std::vector<Sim::SimRequestRecord>& requests) {
    std::vector<uint16_t> out;
    for (const auto& r : requests) {
        if (r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn() &&
            r.setup.bRequest == VR_SENSOR_REG) {
            out.push_back(r.setup.wIndex);
        }
    }
    return out;
}

bool contains(const std::vector<uint16_t>& v, uint16_t x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

int exposureRegisters(Sim::SimCameraFirmware& fw) {
    return (fw.sensorRegister(kExposureHigh) & 0x0F) << 16 | fw.sensorRegister(kExposureMid) << 8 |
           fw.sensorRegister(kExposureLow);
}

bool enabled(const std::vector<ShownEnabled>& list, int id) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const ShownEnabled& e) { return e.controlId == id; });
    EXPECT_NE(it, list.end()) << id;
    return it != list.end() && it->enabled;
}

std::optional<int> shown(const std::vector<ShownNumber>& list, int id) {
    for (const ShownNumber& n : list) {
        if (n.controlId == id) return n.value;
    }
    return std::nullopt;
}

TEST(TabGainsModel, ExposureNumberPicksTheLowestRangeHoldingItAndRangeChoicesClamp) {
    GainsPage p;
    EXPECT_EQ(p.model.exposureSlider(), (M::ExposureSlider{2, 14000, 35000, 14000}));

    auto r = p.model.onNumberChanged(M::kExposureNumber, 8000);
    EXPECT_TRUE(r.stored);
    EXPECT_TRUE(r.pushed);
    ASSERT_TRUE(r.exposure.has_value());
    EXPECT_EQ(*r.exposure, (M::ExposureSlider{0, 0, 9000, 8000}));
    EXPECT_EQ(r.sliderId, M::kExposureSlider);
    EXPECT_EQ(r.sliderPosition, 8000);
    EXPECT_EQ(p.rig.store.value("OV_EXPOSURE"), (SettingValue{SettingType::Decimal, "8000"}));
    EXPECT_EQ(exposureRegisters(p.fw()), 8000);

    // Inside the current range nothing is rescaled; 7000 is also in "6K-18K" but stays.
    r = p.model.onNumberChanged(M::kExposureNumber, 7000);
    EXPECT_FALSE(r.exposure.has_value());
    EXPECT_EQ(p.model.exposureSlider().rangeIndex, 0u);
    r = p.model.onNumberChanged(M::kExposureNumber, 20000);
    ASSERT_TRUE(r.exposure.has_value());
    EXPECT_EQ(r.exposure->rangeIndex, 2u);
    // Beyond every row the slider keeps its range and shows its end.
    r = p.model.onNumberChanged(M::kExposureNumber, 70000);
    EXPECT_FALSE(r.exposure.has_value());
    EXPECT_EQ(r.sliderPosition, 35000);

    // A row choice clamps the position and writes it to the number when it differs.
    p.model.onNumberChanged(M::kExposureNumber, 16000);
    auto c = p.model.onExposureRangeChosen(3, 16000);
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(c.exposure, (M::ExposureSlider{3, 30000, 65536, 30000}));
    EXPECT_EQ(c.number, 30000);
    EXPECT_TRUE(c.pushed);
    EXPECT_EQ(p.rig.store.getInt("OV_EXPOSURE"), 30000);
    EXPECT_EQ(exposureRegisters(p.fw()), 30000 & 0xFFFF0);

    // The same row again changes nothing and sends nothing.
    p.rig.simCamera->clearRequests();
    c = p.model.onExposureRangeChosen(3, 30000);
    EXPECT_FALSE(c.changed);
    EXPECT_FALSE(c.number.has_value());
    EXPECT_TRUE(p.requests().empty());
    // A clamped position equal to the shown number is not written again.
    c = p.model.onExposureRangeChosen(1, 18000);
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(c.exposure.position, 18000);
    EXPECT_FALSE(c.number.has_value());
    EXPECT_TRUE(p.requests().empty());
}

TEST(TabGainsModel, FrameRateTextsOutsideTheLimitsOrUnreadableAreIgnored) {
    GainsPage p;
    p.rig.store.setReal("OV_VIDEO_FPS", 30.0);
    for (const char* text : {"5.3", "70.001", "", "abc", "12abc", "nan", "inf", "-30", "1e1"}) {
        const auto r = p.model.onFrameRateText(text);
        EXPECT_FALSE(r.accepted) << text;
    }
    EXPECT_TRUE(p.requests().empty());
    EXPECT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), 30.0);

    auto r = p.model.onFrameRateText("5.309");
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.pushed);
    EXPECT_EQ(r.sliderPosition, 5309);
    EXPECT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), 5.309);
    EXPECT_FLOAT_EQ(p.fw().params().real0, 5.309f);
    // The box's own padded text is taken back.
    r = p.model.onFrameRateText(" 7.500");
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.sliderPosition, 7500);
    EXPECT_TRUE(p.model.onFrameRateText("70").accepted);

    EXPECT_EQ(M::frameRateSliderText(12345), "12.345");
    r = p.model.onFrameRateSlider(60000);
    EXPECT_EQ(r.text, "60.000");
    EXPECT_FLOAT_EQ(p.fw().params().real0, 60.0f);
}

TEST(TabGainsModel, FrameRateSpinStepsAQuarterWithinTheLimits) {
    GainsPage p;
    p.rig.store.setReal("OV_VIDEO_FPS", 69.9);
    auto r = p.model.onFrameRateSpin(+1);
    EXPECT_FALSE(r.accepted);
    EXPECT_TRUE(p.requests().empty());
    EXPECT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), 69.9);

    r = p.model.onFrameRateSpin(-1);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.text, "69.650");
    EXPECT_EQ(r.sliderPosition, 69650);
    EXPECT_FLOAT_EQ(p.fw().params().real0, 69.65f);

    // The lowest rate is reachable exactly; one more step down is refused.
    p.rig.store.setReal("OV_VIDEO_FPS", 5.559);
    r = p.model.onFrameRateSpin(-1);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.text, "5.309");
    EXPECT_FALSE(p.model.onFrameRateSpin(-1).accepted);
}

TEST(TabGainsModel, FrameRateFollowsRealChannelZeroOfTheFirmware) {
    GainsPage p;
    auto params = p.fw().params();
    params.real0 = 25.0f;
    p.fw().setParams(params);
    p.model.readState();
    auto view = p.model.update();
    EXPECT_TRUE(view.frameRateEnabled);
    EXPECT_EQ(view.frameRateText, "25.000");
    EXPECT_EQ(shown(view.sliders, M::kFrameRateSliderId), 25000);
    EXPECT_TRUE(enabled(view.enabled, M::kFrameRateBox));
    p.rig.store.setReal("OV_VIDEO_FPS", 5.5);
    EXPECT_EQ(p.model.update().frameRateText, " 5.500");
    // A stored rate outside the limits is shown but leaves the slider alone.
    p.rig.store.setReal("OV_VIDEO_FPS", 0.0);
    view = p.model.update();
    EXPECT_EQ(view.frameRateText, " 0.000");
    EXPECT_FALSE(shown(view.sliders, M::kFrameRateSliderId).has_value());

    // Build 51 has no real channel 0: "---", disabled, and edits send nothing.
    GainsPage old("fx3=51");
    old.model.readState();
    view = old.model.update();
    EXPECT_FALSE(view.frameRateEnabled);
    EXPECT_EQ(view.frameRateText, "---");
    for (int id : {M::kFrameRateSliderId, M::kFrameRateBox, M::kFrameRateSpin}) {
        EXPECT_FALSE(enabled(view.enabled, id)) << id;
    }
    old.rig.simCamera->clearRequests();
    old.rig.store.setReal("OV_VIDEO_FPS", 30.0);
    EXPECT_FALSE(old.model.onFrameRateText("30").accepted);
    EXPECT_FALSE(old.model.onFrameRateSpin(1).accepted);
    EXPECT_TRUE(old.requests().empty());
}

TEST(TabGainsModel, NothingIsSentWhileTheUpdateCounterIsUp) {
    CameraRig rig;
    TabGainsModel model(rig.store, *rig.sensor);
    // Until initialisation ends the counter is 1.
    EXPECT_EQ(model.updateCounter(), 1);
    auto n = model.onNumberChanged(M::kGainNumber, 100);
    EXPECT_TRUE(n.stored);
    EXPECT_FALSE(n.pushed);
    EXPECT_FALSE(model.onSwitch(M::kManualGainCheck, true).pushed);
    EXPECT_FALSE(model.onFrameRateText("30").pushed);
    const auto b = model.onBinningChosen(1);
    EXPECT_TRUE(b.stored);
    EXPECT_FALSE(b.sent);
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_EQ(rig.store.getInt("OV_GLOBAL_GAIN"), 100);

    model.finishInitialisation();
    {
        UpdateHold hold(model);
        EXPECT_FALSE(model.onNumberChanged(M::kWbRedNumber, 5).pushed);
    }
    // The update step raises the counter itself and restores it.
    rig.store.setDecimal("OV_EXPOSURE", 8000);
    const auto view = model.update();
    EXPECT_EQ(model.updateCounter(), 0);
    EXPECT_EQ(view.exposure.rangeIndex, 0u);
    EXPECT_EQ(shown(view.numbers, M::kExposureNumber), 8000);
    EXPECT_EQ(shown(view.sliders, M::kExposureSlider), 8000);
    EXPECT_EQ(shown(view.numbers, M::kGainNumber), 100);
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_TRUE(model.onNumberChanged(M::kWbRedNumber, 5).pushed);
}

TEST(TabGainsModel, GainSwitchWritesTheGainOnlyAfterTheSwitchReachedTheSensor) {
    GainsPage p;
    p.rig.store.setDecimal("OV_GLOBAL_GAIN", 0x155);
    auto r = p.model.onSwitch(M::kManualGainCheck, true);
    EXPECT_TRUE(r.pushed);
    EXPECT_TRUE(r.gainWritten);
    EXPECT_EQ(p.fw().sensorRegister(kManualControl) & kManualGainBit, kManualGainBit);
    EXPECT_EQ(p.fw().sensorRegister(kGainHigh) & 0x03, 0x01);
    EXPECT_EQ(p.fw().sensorRegister(kGainLow), 0x55);
    EXPECT_TRUE(enabled(r.enabled, M::kGainSlider));
    EXPECT_TRUE(enabled(r.enabled, M::kGainNumber));

    // Switching off only stores and pushes the switch.
    p.rig.store.setDecimal("OV_GLOBAL_GAIN", 0x2AA);
    p.rig.simCamera->clearRequests();
    r = p.model.onSwitch(M::kManualGainCheck, false);
    EXPECT_TRUE(r.pushed);
    EXPECT_FALSE(r.gainWritten);
    EXPECT_EQ(p.fw().sensorRegister(kManualControl) & kManualGainBit, 0);
    const auto writes = sensorWrites(p.requests());
    EXPECT_TRUE(contains(writes, kManualControl));
    EXPECT_FALSE(contains(writes, kGainHigh));
    EXPECT_FALSE(contains(writes, kGainLow));
    EXPECT_FALSE(enabled(r.enabled, M::kGainSlider));

    // The other switches store and push their key only.
    p.rig.simCamera->clearRequests();
    r = p.model.onSwitch(M::kManualExposureCheck, true);
    EXPECT_TRUE(r.pushed);
    EXPECT_FALSE(r.gainWritten);
    EXPECT_EQ(p.rig.store.value("OV_MANUAL_EXP_ON"), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_EQ(sensorWrites(p.requests()), std::vector<uint16_t>{kManualControl});
    EXPECT_TRUE(enabled(r.enabled, M::kExposureRangeBox));
}

TEST(TabGainsModel, AGainSwitchThatFailsLeavesTheGainUnwritten) {
    enum class Fault { Failing, Unplugged, Stalled };
    for (const Fault fault : {Fault::Failing, Fault::Unplugged, Fault::Stalled}) {
        SCOPED_TRACE(static_cast<int>(fault));
        GainsPage p;
        p.rig.store.setDecimal("OV_GLOBAL_GAIN", 0x155);
        const uint8_t gainLow = p.fw().sensorRegister(kGainLow);
        Sim::SimFaults faults;
        switch (fault) {
            case Fault::Failing:
                faults.failAfter = 0;
                break;
            case Fault::Unplugged:
                faults.unplugAfter = 1;  // after the switch's register read
                break;
            case Fault::Stalled:
                // Only the switch's register read is lost; the camera answers again after it.
                faults.stallNext = 1;
                break;
        }
        p.rig.simCamera->setFaults(faults);
        p.rig.markLog();
        const auto r = p.model.onSwitch(M::kManualGainCheck, true);
        EXPECT_TRUE(r.stored);
        EXPECT_FALSE(r.pushed);
        EXPECT_FALSE(r.gainWritten);
        const auto writes = sensorWrites(p.requests());
        EXPECT_FALSE(contains(writes, kGainHigh));
        EXPECT_FALSE(contains(writes, kGainLow));
        EXPECT_EQ(p.fw().sensorRegister(kGainLow), gainLow);
        const auto log = p.rig.newMessages();
        EXPECT_NE(std::find(log.begin(), log.end(), "Error pushing a value for OV_MANUAL_GAIN_ON"),
                  log.end());
    }
}

TEST(TabGainsModel, BinningIsReadAsDecimalAndChosenAsHex) {
    GainsPage p("sensor=OV10823");
    auto b = p.model.onBinningChosen(2);
    EXPECT_TRUE(b.sent);
    EXPECT_EQ(b.mode, 3);
    EXPECT_EQ(p.rig.store.value("OV_BINNING"), (SettingValue{SettingType::Hex, "0x2"}));
    EXPECT_EQ(p.fw().sensorRegister(kBinning) & 0x11, 0x10);

    // Another camera state is read back as the list index, decimal.
    p.fw().setSensorRegister(kBinning, 0x11);
    p.rig.markLog();
    p.model.readState();
    EXPECT_EQ(p.rig.store.value("OV_BINNING"), (SettingValue{SettingType::Decimal, "3"}));
    const auto log = p.rig.newMessages();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Reading binning configuration");
    EXPECT_EQ(p.model.update().binningIndex, 3);
    p.fw().setSensorRegister(kBinning, 0x00);
    p.model.readState();
    EXPECT_EQ(p.rig.store.getInt("OV_BINNING"), 0);

    // Nothing selected: stored as -1 and shown as no selection.
    b = p.model.onBinningChosen(std::nullopt);
    EXPECT_EQ(b.mode, 0);
    EXPECT_EQ(p.rig.store.getInt("OV_BINNING"), -1);
    EXPECT_FALSE(p.model.update().binningIndex.has_value());
    // A stored index beyond the list selects nothing; a chosen one is refused.
    p.rig.store.setDecimal("OV_BINNING", 7);
    EXPECT_FALSE(p.model.update().binningIndex.has_value());
    EXPECT_FALSE(p.model.onBinningChosen(4).stored);

    // A chip without binning reads as the first entry.
    GainsPage ov9750;
    ov9750.model.readState();
    EXPECT_EQ(ov9750.rig.store.getInt("OV_BINNING"), 0);
}

TEST(TabGainsModel, RangesAndEnablingFollowTheSensor) {
    GainsPage p("sensor=OV10823");
    const auto ranges = p.model.ranges();
    for (const ControlRange& expected :
         {ControlRange{M::kWbRedSlider, 0, 4095}, ControlRange{M::kWbBlueSpin, 0, 4095},
          ControlRange{M::kGainSlider, 0, 239}, ControlRange{M::kGainSpin, 0, 239},
          ControlRange{M::kExposureSpin, 0, 24000}, ControlRange{M::kBlackLevelSlider, 0, 1023}}) {
        EXPECT_NE(std::find(ranges.begin(), ranges.end(), expected), ranges.end())
            << expected.controlId;
    }
    GainsPage ov9750;
    const auto r9750 = ov9750.model.ranges();
    EXPECT_NE(std::find(r9750.begin(), r9750.end(), ControlRange{M::kGainSpin, 0, 1023}),
              r9750.end());
    EXPECT_NE(std::find(r9750.begin(), r9750.end(), ControlRange{M::kExposureSpin, 0, 0x3F00}),
              r9750.end());

    // White balance follows its switch, except on the OV48C40.
    ov9750.rig.store.setBool("OV_MANUAL_WB_ON", false);
    auto e = ov9750.model.enabledControls();
    for (int id : {M::kWbRedSlider, M::kWbGreenSlider, M::kWbBlueSlider, M::kWbRedNumber,
                   M::kWbGreenNumber, M::kWbBlueNumber}) {
        EXPECT_FALSE(enabled(e, id)) << id;
    }
    ov9750.model.onSwitch(M::kManualWbCheck, true);
    EXPECT_TRUE(enabled(ov9750.model.enabledControls(), M::kWbGreenNumber));

    GainsPage ov48("sensor=OV48C40");
    ov48.rig.store.setBool("OV_MANUAL_WB_ON", false);
    e = ov48.model.update().enabled;
    EXPECT_TRUE(enabled(e, M::kWbRedSlider));
    EXPECT_TRUE(enabled(e, M::kWbBlueNumber));
    EXPECT_FALSE(enabled(e, M::kGainNumber));
}

TEST(TabGainsModel, AutoRefreshReadsTheCameraOnEachTick) {
    GainsPage p;
    auto a = p.model.onAutoRefresh(true, 500);
    EXPECT_TRUE(a.running);
    EXPECT_EQ(a.intervalMs, 500);
    EXPECT_TRUE(p.model.autoRefreshRunning());
    // A zero interval would refresh without pause.
    EXPECT_EQ(p.model.onAutoRefresh(true, 0).intervalMs, kAutoRefreshMinimumMs);

    p.fw().setSensorRegister(kGainHigh, 0x01);
    p.fw().setSensorRegister(kGainLow, 0x23);
    const auto view = p.model.refreshTick();
    EXPECT_EQ(shown(view.numbers, M::kGainNumber), 0x123);
    EXPECT_EQ(shown(view.sliders, M::kGainSlider), 0x123);

    a = p.model.onAutoRefresh(false, 500);
    EXPECT_FALSE(a.running);
    EXPECT_FALSE(p.model.autoRefreshRunning());
}

}  // namespace
}  // namespace TVR::PanelTest
