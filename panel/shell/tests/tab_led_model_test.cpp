#include "shell/tab_led_model.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/vendor_requests.h"
#include "panel_test_helpers.h"

namespace TVR::PanelTest {
namespace {

using L = TabLedModel;
constexpr uint8_t kFanMask = 1u << FpgaReg::kControlChannel1Bit;

struct LedPage {
    explicit LedPage(const std::string& simOptions = "")
        : rig(simOptions), model(rig.store, *rig.sensor) {
        model.finishInitialisation();
    }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }

    CameraRig rig;
    TabLedModel model;
};

TEST(TabLedModel, LevelsAreStoredAsHexAndReachTheirRegisters) {
    LedPage p;
    auto r = p.model.onNumberChanged(L::kRedNumber, 0xAB);
    EXPECT_TRUE(r.stored);
    EXPECT_TRUE(r.pushed);
    EXPECT_EQ(r.sliderId, L::kRedSlider);
    EXPECT_EQ(r.value, 0xAB);
    EXPECT_EQ(p.rig.store.value("LED_R"), (SettingValue{SettingType::Hex, "0xAB"}));
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedRedLow), 0xAB);

    // A slider or a spin sets its buddy's number, which is stored and pushed the same way.
    r = p.model.onSliderMoved(L::kGreenSlider, 0x12);
    EXPECT_EQ(r.numberId, L::kGreenNumber);
    EXPECT_EQ(p.rig.store.value("LED_G"), (SettingValue{SettingType::Hex, "0x12"}));
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedGreenLow), 0x12);
    r = p.model.onSliderMoved(L::kBlueSpin, 255);
    EXPECT_EQ(r.numberId, L::kBlueNumber);
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedBlueLow), 0xFF);
    EXPECT_FALSE(p.model.onNumberChanged(L::kFanCheck, 1).stored);

    const auto view = p.model.update();
    EXPECT_EQ(view.numbers,
              (std::vector<ShownNumber>{
                  {L::kRedNumber, 0xAB}, {L::kGreenNumber, 0x12}, {L::kBlueNumber, 255}}));
    EXPECT_EQ(view.sliders[0], (ShownNumber{L::kRedSlider, 0xAB}));
    for (const ControlRange& range : view.ranges) {
        EXPECT_EQ(range.minimum, 0);
        EXPECT_EQ(range.maximum, 255);
    }
    EXPECT_EQ(view.ranges.size(), 6u);

    // What the camera holds is read back through the table.
    p.fw().setFpgaRegister(FpgaReg::kLedGreenLow, 0x40);
    p.model.readState();
    EXPECT_EQ(p.rig.store.value("LED_G"), (SettingValue{SettingType::Hex, "0x40"}));
    EXPECT_EQ(p.model.update().numbers[1], (ShownNumber{L::kGreenNumber, 0x40}));
}

TEST(TabLedModel, FanIsABooleanOnBitSixAndShownOnlyWhereTheFirmwareHasIt) {
    LedPage p;
    EXPECT_TRUE(p.model.fanVisible());
    auto e = p.model.onFan(true);
    EXPECT_TRUE(e.pushed);
    EXPECT_EQ(p.rig.store.value("FAN"), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kControl) & kFanMask, kFanMask);
    EXPECT_TRUE(p.model.update().fanChecked);
    e = p.model.onFan(false);
    EXPECT_TRUE(e.pushed);
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kControl) & kFanMask, 0);
    EXPECT_FALSE(p.model.update().fanChecked);

    // FPGA build 71 has no fan channel.
    LedPage old("fpga=71");
    EXPECT_FALSE(old.model.fanVisible());
    EXPECT_FALSE(old.model.update().fanVisible);

    p.rig.sensor->close();
    EXPECT_FALSE(p.model.update().fanVisible);
    EXPECT_FALSE(p.model.onFan(true).pushed);
}

TEST(TabLedModel, FillingTheControlsSendsNothing) {
    CameraRig rig;
    TabLedModel model(rig.store, *rig.sensor);
    EXPECT_FALSE(model.onNumberChanged(L::kRedNumber, 0x10).pushed);
    EXPECT_FALSE(model.onFan(true).pushed);
    model.finishInitialisation();
    rig.store.setHex("LED_B", 0x33);
    const auto view = model.update();
    EXPECT_EQ(view.numbers[2], (ShownNumber{L::kBlueNumber, 0x33}));
    EXPECT_TRUE(view.fanChecked);
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_EQ(rig.store.getInt("LED_R"), 0x10);
}

TEST(TabLedModel, APushTheCameraRefusesIsReportedAndTheNumberKept) {
    Sim::SimFaults failing, unplugged;
    failing.failAfter = 0;
    unplugged.unplugAfter = 0;
    int n = 0;
    for (const Sim::SimFaults& faults : {failing, unplugged}) {
        SCOPED_TRACE(n++);
        LedPage p;
        p.fw().setFpgaRegister(FpgaReg::kLedRedLow, 0x11);
        p.rig.simCamera->setFaults(faults);
        p.rig.markLog();
        const auto r = p.model.onNumberChanged(L::kRedNumber, 0x7E);
        EXPECT_TRUE(r.stored);
        EXPECT_FALSE(r.pushed);
        EXPECT_EQ(p.rig.store.getInt("LED_R"), 0x7E);
        EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedRedLow), 0x11);
        const auto messages = p.rig.newMessages();
        EXPECT_NE(std::find(messages.begin(), messages.end(), "Error pushing a value for LED_R"),
                  messages.end());
    }
}

}  // namespace
}  // namespace TVR::PanelTest
