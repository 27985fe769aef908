#include "shell/tab_led.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

#include "gui_test_helpers.h"
#include "protocol/vendor_requests.h"
#include "shell/tab_led_model.h"

namespace TVR::GuiTest {
namespace {

using L = TabLedModel;
constexpr uint8_t kFanMask = 1u << FpgaReg::kControlChannel1Bit;

size_t ledWritesTo(const Sim::SimCamera& camera) {
    const auto requests = camera.requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& r) {
        return r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn();
    }));
}

struct LedPage {
    explicit LedPage(const std::string& simOptions = "")
        : rig(simOptions), model(rig.store, *rig.sensor) {
        page = std::make_unique<CTabLED>(model, &rig.geometry, nullptr);
    }
    ~LedPage() { page.reset(); }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    template <typename W>
    W* get(int id) {
        W* w = control<W>(*page, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    void type(int id, const QString& text) {
        QLineEdit* box = get<QLineEdit>(id);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    CameraRig rig;
    TabLedModel model;
    std::unique_ptr<CTabLED> page;
};

TEST(CTabLED, ShowingThePageFillsTheLevelsInHexadecimalWithoutAWrite) {
    LedPage p;
    p.fw().setFpgaRegister(FpgaReg::kLedRedLow, 0xAB);
    p.fw().setFpgaRegister(FpgaReg::kLedBlueLow, 0x05);
    p.fw().setFpgaRegister(FpgaReg::kControl, kFanMask);
    p.page->show();
    EXPECT_EQ(ledWritesTo(*p.rig.simCamera), 0u);
    EXPECT_EQ(p.page->windowTitle(), "Peripherals");

    EXPECT_EQ(p.get<QLineEdit>(L::kRedNumber)->text(), "0xAB");
    EXPECT_EQ(p.get<QLineEdit>(L::kBlueNumber)->text(), "0x5");
    EXPECT_EQ(p.get<QSlider>(L::kRedSlider)->value(), 0xAB);
    EXPECT_EQ(p.get<QSpinBox>(L::kRedSpin)->value(), 0xAB);
    for (int id : {L::kRedSlider, L::kGreenSlider, L::kBlueSlider}) {
        QSlider* s = p.get<QSlider>(id);
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), 255);
        EXPECT_EQ(s->pageStep(), 32);
    }
    EXPECT_EQ(p.get<QSpinBox>(L::kGreenSpin)->maximum(), 255);
    QCheckBox* fan = p.get<QCheckBox>(L::kFanCheck);
    EXPECT_EQ(fan->text(), "Onboard-fan");
    EXPECT_TRUE(fan->isVisible());
    EXPECT_TRUE(fan->isChecked());

    // The temperature line exists but stays hidden.
    bool found = false;
    for (QLabel* label : p.page->findChildren<QLabel*>()) {
        if (label->text() != "FPGA core temperature:") continue;
        found = true;
        EXPECT_FALSE(label->isVisible());
    }
    EXPECT_TRUE(found);
}

TEST(CTabLED, LevelsTypedOrMovedReachTheFpgaAndTheStore) {
    LedPage p;
    p.page->show();
    p.type(L::kRedNumber, "0x40");
    EXPECT_EQ(p.rig.store.value("LED_R"), (SettingValue{SettingType::Hex, "0x40"}));
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedRedLow), 0x40);
    EXPECT_EQ(p.get<QSlider>(L::kRedSlider)->value(), 0x40);
    EXPECT_EQ(p.get<QSpinBox>(L::kRedSpin)->value(), 0x40);

    // A number without the prefix is decimal.
    p.type(L::kGreenNumber, "200");
    EXPECT_EQ(p.rig.store.value("LED_G"), (SettingValue{SettingType::Hex, "0xC8"}));
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedGreenLow), 200);

    p.get<QSlider>(L::kBlueSlider)->setValue(0x33);
    EXPECT_EQ(p.get<QLineEdit>(L::kBlueNumber)->text(), "0x33");
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedBlueLow), 0x33);

    QSpinBox* spin = p.get<QSpinBox>(L::kBlueSpin);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(p.get<QLineEdit>(L::kBlueNumber)->text(), "0x34");
    EXPECT_EQ(p.get<QSlider>(L::kBlueSlider)->value(), 0x34);
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kLedBlueLow), 0x34);
}

TEST(CTabLED, FanBoxSwitchesTheFanAndIsHiddenWhereTheFirmwareHasNone) {
    LedPage p;
    p.page->show();
    QCheckBox* fan = p.get<QCheckBox>(L::kFanCheck);
    ASSERT_TRUE(fan->isVisible());
    clickBox(fan);
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kControl) & kFanMask, kFanMask);
    EXPECT_EQ(p.rig.store.value("FAN"), (SettingValue{SettingType::Bool, "true"}));
    clickBox(fan);
    EXPECT_EQ(p.fw().fpgaRegister(FpgaReg::kControl) & kFanMask, 0);

    LedPage old("fpga=71");
    old.page->show();
    EXPECT_FALSE(old.get<QCheckBox>(L::kFanCheck)->isVisible());

    LedPage none("cameras=0");
    none.page->show();
    EXPECT_FALSE(none.get<QCheckBox>(L::kFanCheck)->isVisible());
}

TEST(CTabLED, AFailingCameraGreysAndEmptiesThePageUntilItAnswersAgain) {
    LedPage p;
    p.page->show();
    Sim::SimFaults faults;
    faults.failAfter = 0;
    p.rig.simCamera->setFaults(faults);
    p.type(L::kRedNumber, "0x21");
    p.page->refresh();
    EXPECT_FALSE(p.page->isEnabled());
    for (const ShownNumber& n : p.model.update().numbers) {
        EXPECT_TRUE(p.get<QLineEdit>(n.controlId)->text().isEmpty()) << n.controlId;
    }

    p.rig.simCamera->setFaults({});
    p.page->refresh();
    EXPECT_TRUE(p.page->isEnabled());
    const TabLedModel::View view = p.model.update();
    for (const ShownNumber& n : view.numbers) {
        EXPECT_EQ(p.get<QLineEdit>(n.controlId)->text(),
                  QStringLiteral("0x") + QString::number(n.value, 16).toUpper());
    }
    for (const ShownNumber& s : view.sliders) {
        EXPECT_EQ(p.get<QSlider>(s.controlId)->value(), s.value);
    }
    EXPECT_EQ(p.get<QCheckBox>(L::kFanCheck)->isVisible(), view.fanVisible);
    EXPECT_EQ(p.get<QCheckBox>(L::kFanCheck)->isChecked(), view.fanChecked);
}

}  // namespace
}  // namespace TVR::GuiTest
