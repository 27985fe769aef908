#include "shell/tab_gains.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

#include "gui_test_helpers.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor_chip.h"
#include "settings/preferences.h"
#include "shell/tab_gains_model.h"

namespace TVR::GuiTest {
namespace {

using M = TabGainsModel;

constexpr uint16_t kExposureHigh = 0x3500;
constexpr uint16_t kExposureMid = 0x3501;
constexpr uint16_t kExposureLow = 0x3502;
constexpr uint16_t kManualControl = 0x3503;  // bit 1 gain, bit 0 exposure
constexpr uint8_t kManualGainBit = 0x02;
constexpr uint8_t kManualExposureBit = 0x01;
constexpr uint16_t kGainHigh = 0x350A;
constexpr uint16_t kGainLow = 0x350B;
constexpr uint16_t kBinning = 0x3663;  // OV10823

size_t writesTo(const Sim::SimCamera& camera) {
    const auto requests = camera.requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& r) {
        return r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn();
    }));
}

struct GainsPage {
    explicit GainsPage(const std::string& simOptions = "", int refreshMs = 500)
        : rig(simOptions), model(rig.store, *rig.sensor) {
        preferences.setNumber(PreferenceName::kRefresh, refreshMs);
        page = std::make_unique<CTabGains>(model, preferences, &rig.geometry, nullptr);
    }
    ~GainsPage() { page.reset(); }

    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    template <typename W>
    W* get(int id) {
        W* w = control<W>(*page, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QString text(int id) { return get<QLineEdit>(id)->text(); }
    void type(int id, const QString& text) {
        QLineEdit* box = get<QLineEdit>(id);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    int exposureRegisters() {
        return (fw().sensorRegister(kExposureHigh) & 0x0F) << 16 |
               fw().sensorRegister(kExposureMid) << 8 | fw().sensorRegister(kExposureLow);
    }
    int gainRegisters() {
        return (fw().sensorRegister(kGainHigh) & 0x03) << 8 | fw().sensorRegister(kGainLow);
    }
    void setCameraGain(int gain) {
        fw().setSensorRegister(kGainHigh, static_cast<uint8_t>(gain >> 8));
        fw().setSensorRegister(kGainLow, static_cast<uint8_t>(gain & 0xFF));
    }

    CameraRig rig;
    Preferences preferences;
    TabGainsModel model;
    std::unique_ptr<CTabGains> page;
};

TEST(CTabGains, ShowingThePageReadsTheCameraAndFillsEveryControlWithoutAWrite) {
    GainsPage p;
    p.setCameraGain(0x155);
    p.fw().setSensorRegister(kManualControl, kManualGainBit);
    auto params = p.fw().params();
    params.real0 = 25.0f;
    p.fw().setParams(params);

    EXPECT_EQ(p.page->windowTitle(), "Sensor");
    EXPECT_EQ(p.get<QCheckBox>(M::kManualWbCheck)->text(), "Red\n\nGreen\n\nBlue");
    EXPECT_FALSE(p.get<QCheckBox>(M::kAutoRefreshCheck)->isChecked());
    QComboBox* ranges = p.get<QComboBox>(M::kExposureRangeBox);
    ASSERT_EQ(ranges->count(), 4);
    EXPECT_EQ(ranges->itemText(3), "30K-max");
    EXPECT_EQ(ranges->currentText(), "14K-35K");
    QComboBox* binning = p.get<QComboBox>(M::kBinningBox);
    ASSERT_EQ(binning->count(), 4);
    EXPECT_EQ(binning->itemText(1), "V-sum, H-avg");

    p.page->show();
    EXPECT_EQ(writesTo(*p.rig.simCamera), 0u);
    EXPECT_TRUE(p.fw().i2cWrites().empty());
    EXPECT_FALSE(p.rig.simCamera->requests().empty());  // it did read

    EXPECT_EQ(p.text(M::kGainNumber), "341");
    EXPECT_EQ(p.get<QSlider>(M::kGainSlider)->value(), 0x155);
    EXPECT_EQ(p.get<QSpinBox>(M::kGainSpin)->value(), 0x155);
    EXPECT_TRUE(p.get<QCheckBox>(M::kManualGainCheck)->isChecked());
    EXPECT_FALSE(p.get<QCheckBox>(M::kManualExposureCheck)->isChecked());
    EXPECT_TRUE(p.get<QSlider>(M::kGainSlider)->isEnabled());
    EXPECT_FALSE(p.get<QSlider>(M::kExposureSlider)->isEnabled());
    EXPECT_FALSE(p.get<QComboBox>(M::kExposureRangeBox)->isEnabled());
    const IImgSensorChip& chip = p.rig.sensor->chip();
    EXPECT_EQ(p.get<QSlider>(M::kGainSlider)->maximum(), chip.maxValue(kValueGlobalGain));
    EXPECT_EQ(p.get<QSpinBox>(M::kExposureSpin)->maximum(), chip.maxValue(kValueExposure));
    EXPECT_EQ(p.get<QSlider>(M::kWbGreenSlider)->maximum(), chip.maxValue(kValueWbGainR));

    // Every number shows what the store now holds.
    for (const SliderPair& pair : M::kSliderPairs) {
        const NamedControl* row = p.model.rowOfControl(pair.numberId);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(p.text(pair.numberId), QString::number(p.rig.store.getInt(row->key)))
            << pair.numberId;
    }
    EXPECT_EQ(p.text(M::kFrameRateBox), "25.000");
    QSlider* rate = p.get<QSlider>(M::kFrameRateSliderId);
    EXPECT_EQ(rate->value(), 25000);
    EXPECT_EQ(rate->minimum(), 5309);
    EXPECT_EQ(rate->maximum(), 70000);
    EXPECT_EQ(rate->tickInterval(), 5000);
    EXPECT_EQ(rate->pageStep(), 500);
    EXPECT_EQ(rate->singleStep(), 1);
    EXPECT_TRUE(rate->isEnabled());
    EXPECT_EQ(p.rig.store.getInt(kKeyBinning), 0);
    EXPECT_EQ(binning->currentIndex(), 0);
}

TEST(CTabGains, TypedNumbersReachTheSensorAndExposureSwitchesItsRange) {
    GainsPage p;
    p.page->show();
    clickBox(p.get<QCheckBox>(M::kManualGainCheck));
    clickBox(p.get<QCheckBox>(M::kManualExposureCheck));
    EXPECT_EQ(p.fw().sensorRegister(kManualControl) & 0x03, kManualGainBit | kManualExposureBit);

    p.type(M::kGainNumber, "200");
    EXPECT_EQ(p.rig.store.value("OV_GLOBAL_GAIN"), (SettingValue{SettingType::Decimal, "200"}));
    EXPECT_EQ(p.gainRegisters(), 200);
    EXPECT_EQ(p.get<QSlider>(M::kGainSlider)->value(), 200);
    EXPECT_EQ(p.get<QSpinBox>(M::kGainSpin)->value(), 200);

    QComboBox* ranges = p.get<QComboBox>(M::kExposureRangeBox);
    p.type(M::kExposureNumber, "20000");
    ASSERT_EQ(ranges->currentText().toStdString(), "14K-35K");
    p.type(M::kExposureNumber, "8000");
    EXPECT_EQ(ranges->currentText(), "0-9K");
    QSlider* exposure = p.get<QSlider>(M::kExposureSlider);
    EXPECT_EQ(exposure->minimum(), 0);
    EXPECT_EQ(exposure->maximum(), 9000);
    EXPECT_EQ(exposure->value(), 8000);
    EXPECT_EQ(p.exposureRegisters(), 8000);
    EXPECT_EQ(p.rig.store.getInt("OV_EXPOSURE"), 8000);

    // Choosing "30K-max" clamps the slider and writes the clamped exposure.
    ranges->setFocus();
    QTest::keyClick(ranges, Qt::Key_End);
    EXPECT_EQ(ranges->currentText(), "30K-max");
    EXPECT_EQ(exposure->minimum(), 30000);
    EXPECT_EQ(exposure->maximum(), 65536);
    EXPECT_EQ(exposure->value(), 30000);
    EXPECT_EQ(p.text(M::kExposureNumber), "30000");
    EXPECT_EQ(p.rig.store.getInt("OV_EXPOSURE"), 30000);

    // Text that is not a number is not taken as 0.
    p.type(M::kGainNumber, "");
    QTest::keyClick(p.get<QLineEdit>(M::kGainNumber), Qt::Key_Backspace);
    EXPECT_EQ(p.rig.store.getInt("OV_GLOBAL_GAIN"), 200);
    EXPECT_EQ(p.gainRegisters(), 200);
}

TEST(CTabGains, SlidersAndSpinsWriteTheirNumberBoxes) {
    GainsPage p;
    p.page->show();
    QSlider* black = p.get<QSlider>(M::kBlackLevelSlider);
    ASSERT_TRUE(black->isEnabled());
    black->setValue(40);
    EXPECT_EQ(p.text(M::kBlackLevelNumber), "40");
    EXPECT_EQ(p.get<QSpinBox>(M::kBlackLevelSpin)->value(), 40);
    EXPECT_EQ(p.rig.store.getInt("OV_BLACK_LEVEL"), 40);
    EXPECT_EQ(p.rig.sensor->chip().sensorValue(kValueBlackLevel, -1), 40u);

    // A drag by mouse ends on a new position, which reaches the number box.
    black->setMaximumWidth(200);
    black->resize(200, 30);
    QTest::mousePress(black, Qt::LeftButton, {}, QPoint(4, 15));
    QTest::mouseMove(black, QPoint(150, 15));
    QTest::mouseRelease(black, Qt::LeftButton, {}, QPoint(150, 15));
    EXPECT_NE(black->value(), 40);
    EXPECT_EQ(p.text(M::kBlackLevelNumber), QString::number(black->value()));
    EXPECT_EQ(p.rig.store.getInt("OV_BLACK_LEVEL"), black->value());

    QSpinBox* spin = p.get<QSpinBox>(M::kBlackLevelSpin);
    const int before = black->value();
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(p.text(M::kBlackLevelNumber), QString::number(before + 1));
    EXPECT_EQ(black->value(), before + 1);
    EXPECT_EQ(p.rig.store.getInt("OV_BLACK_LEVEL"), before + 1);
}

TEST(CTabGains, GainSwitchEnablesTheGainAndWritesIt) {
    GainsPage p;
    p.page->show();
    QSlider* gain = p.get<QSlider>(M::kGainSlider);
    ASSERT_FALSE(gain->isEnabled());
    p.rig.store.setDecimal("OV_GLOBAL_GAIN", 0x123);
    p.page->refresh();  // reads the camera's gain back over the stored one
    p.rig.store.setDecimal("OV_GLOBAL_GAIN", 0x123);
    p.rig.simCamera->clearRequests();

    QCheckBox* check = p.get<QCheckBox>(M::kManualGainCheck);
    clickBox(check);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(p.fw().sensorRegister(kManualControl) & kManualGainBit, kManualGainBit);
    EXPECT_EQ(p.gainRegisters(), 0x123);
    EXPECT_TRUE(gain->isEnabled());
    EXPECT_TRUE(p.get<QLineEdit>(M::kGainNumber)->isEnabled());
    EXPECT_EQ(p.rig.store.getBool("OV_MANUAL_GAIN_ON"), true);

    clickBox(check);
    EXPECT_EQ(p.fw().sensorRegister(kManualControl) & kManualGainBit, 0);
    EXPECT_FALSE(gain->isEnabled());
    EXPECT_FALSE(p.get<QLineEdit>(M::kGainNumber)->isEnabled());
}

TEST(CTabGains, FrameRateOutsideTheLimitsIsIgnoredAndTheSpinStepsAQuarter) {
    GainsPage p;
    p.page->show();
    const double shown = p.rig.store.getReal("OV_VIDEO_FPS");
    QSlider* rate = p.get<QSlider>(M::kFrameRateSliderId);
    const int position = rate->value();
    p.rig.simCamera->clearRequests();
    p.type(M::kFrameRateBox, "5.3");
    EXPECT_EQ(writesTo(*p.rig.simCamera), 0u);
    EXPECT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), shown);
    EXPECT_EQ(rate->value(), position);

    p.type(M::kFrameRateBox, "5.309");
    EXPECT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), 5.309);
    EXPECT_FLOAT_EQ(p.fw().params().real0, 5.309f);
    EXPECT_EQ(rate->value(), 5309);

    rate->setValue(60000);
    EXPECT_EQ(p.text(M::kFrameRateBox), "60.000");
    EXPECT_FLOAT_EQ(p.fw().params().real0, 60.0f);

    QSpinBox* spin = p.get<QSpinBox>(M::kFrameRateSpin);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Down);
    EXPECT_EQ(p.text(M::kFrameRateBox), "59.750");
    EXPECT_EQ(rate->value(), 59750);
    EXPECT_FLOAT_EQ(p.fw().params().real0, 59.75f);

    // 69.9 + 0.25 is past the top: refused.
    p.type(M::kFrameRateBox, "69.9");
    ASSERT_DOUBLE_EQ(p.rig.store.getReal("OV_VIDEO_FPS"), 69.9);
    p.rig.simCamera->clearRequests();
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(p.text(M::kFrameRateBox), "69.9");
    EXPECT_EQ(writesTo(*p.rig.simCamera), 0u);
}

TEST(CTabGains, FrameRateControlsAreOffWithoutTheChannel) {
    GainsPage p("fx3=51");
    p.page->show();
    EXPECT_EQ(p.text(M::kFrameRateBox), "---");
    EXPECT_FALSE(p.get<QSlider>(M::kFrameRateSliderId)->isEnabled());
    EXPECT_FALSE(p.get<QLineEdit>(M::kFrameRateBox)->isEnabled());
    EXPECT_FALSE(p.get<QSpinBox>(M::kFrameRateSpin)->isEnabled());
}

TEST(CTabGains, BinningChoiceReachesTheSensorAndIsReadBack) {
    GainsPage p("sensor=OV10823");
    p.page->show();
    QComboBox* binning = p.get<QComboBox>(M::kBinningBox);
    ASSERT_EQ(binning->currentIndex(), 0);
    binning->setFocus();
    QTest::keyClick(binning, Qt::Key_Down);
    QTest::keyClick(binning, Qt::Key_Down);
    EXPECT_EQ(binning->currentIndex(), 2);
    EXPECT_EQ(p.rig.store.value(kKeyBinning), (SettingValue{SettingType::Hex, "0x2"}));
    EXPECT_EQ(p.fw().sensorRegister(kBinning) & 0x11, 0x10);

    p.fw().setSensorRegister(kBinning, 0x11);
    p.page->refresh();
    EXPECT_EQ(binning->currentIndex(), 3);
    EXPECT_EQ(p.rig.store.value(kKeyBinning), (SettingValue{SettingType::Decimal, "3"}));
}

TEST(CTabGains, AutoRefreshReadsTheCameraOnEveryTick) {
    GainsPage p("", 100);
    p.page->show();
    QCheckBox* autoRefresh = p.get<QCheckBox>(M::kAutoRefreshCheck);
    clickBox(autoRefresh);
    ASSERT_TRUE(p.page->autoRefreshActive());
    EXPECT_EQ(p.page->autoRefreshIntervalMs(), 100);

    p.setCameraGain(0x77);
    for (int i = 0; i < 100 && p.text(M::kGainNumber) != "119"; ++i) QTest::qWait(20);
    EXPECT_EQ(p.text(M::kGainNumber), "119");
    EXPECT_EQ(p.get<QSlider>(M::kGainSlider)->value(), 0x77);

    clickBox(autoRefresh);
    EXPECT_FALSE(p.page->autoRefreshActive());
}

TEST(CTabGains, AFailingCameraGreysAndEmptiesThePageUntilItAnswersAgain) {
    GainsPage p;
    p.page->show();
    Sim::SimFaults faults;
    faults.failAfter = 0;
    p.rig.simCamera->setFaults(faults);

    QCheckBox* check = p.get<QCheckBox>(M::kManualGainCheck);
    clickBox(check);
    p.type(M::kGainNumber, "99");
    p.page->refresh();

    // What the failed reads left in the store is no value of the camera's: nothing is shown.
    EXPECT_FALSE(p.page->isEnabled());
    const TabGainsModel::View failed = p.model.update();
    for (const ShownNumber& n : failed.numbers) EXPECT_TRUE(p.text(n.controlId).isEmpty());
    for (const ShownCheck& c : failed.checks) {
        EXPECT_FALSE(p.get<QCheckBox>(c.controlId)->isChecked()) << c.controlId;
    }
    EXPECT_TRUE(p.text(M::kFrameRateBox).isEmpty());

    p.rig.simCamera->setFaults({});
    p.page->refresh();
    EXPECT_TRUE(p.page->isEnabled());
    const TabGainsModel::View view = p.model.update();
    for (const ShownNumber& n : view.numbers) {
        EXPECT_EQ(p.text(n.controlId), QString::number(n.value)) << n.controlId;
    }
    for (const ShownNumber& s : view.sliders) {
        EXPECT_EQ(p.get<QSlider>(s.controlId)->value(), s.value) << s.controlId;
    }
    for (const ShownEnabled& e : view.enabled) {
        EXPECT_EQ(p.page->findChild<QWidget*>(controlName(e.controlId))->isEnabled(), e.enabled)
            << e.controlId;
    }
}

}  // namespace
}  // namespace TVR::GuiTest
