#include "tools/test_patterns/test_patterns.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>

#include "gui_test_helpers.h"
#include "tools/test_patterns/test_patterns_model.h"

namespace TVR::GuiTest {
namespace {

constexpr uint16_t kRegPattern = 0x5080;
constexpr uint16_t kRegSeed = 0x5081;
constexpr uint8_t kPatternOn = 0x80;
constexpr uint8_t kPatternRolling = 0x40;
constexpr uint8_t kPatternTransparent = 0x20;
constexpr int kOnOff = 1008;
constexpr int kTransparent = 1010;
constexpr int kRolling = 1013;
constexpr int kFixedSeed = 1061;
constexpr int kSeedBox = 1063;

size_t patternWritesTo(const Sim::SimCamera& camera) {
    const auto requests = camera.requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& r) {
        return r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn();
    }));
}

struct PatternWindow {
    explicit PatternWindow(const std::string& simOptions = "")
        : rig(simOptions), model(rig.store, *rig.sensor) {
        window = std::make_unique<CTestPatterns>(model, &rig.geometry, nullptr);
    }
    ~PatternWindow() { window.reset(); }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    template <typename W>
    W* get(int id) {
        W* w = control<W>(*window, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }

    CameraRig rig;
    TestPatternsModel model;
    std::unique_ptr<CTestPatterns> window;
};

TEST(CTestPatterns, PreviewsAreTheModelsBitmaps) {
    PatternWindow w;
    EXPECT_EQ(w.window->windowTitle(), "Test patterns");
    EXPECT_TRUE(w.window->isWindow());
    EXPECT_EQ(w.get<QLineEdit>(kSeedBox)->text(), "20170727");
    EXPECT_EQ(w.get<QCheckBox>(kFixedSeed)->text(), "Fixed seed (0-15):");
    for (const TestPatternChoice& c : testPatternChoices()) {
        SCOPED_TRACE(c.choice);
        QRadioButton* button = w.get<QRadioButton>(c.buttonId);
        ASSERT_NE(button, nullptr);
        const QSize size(PreviewBitmap::kWidth, PreviewBitmap::kHeight);
        EXPECT_EQ(button->iconSize(), size);
        const QImage shown =
            button->icon().pixmap(size).toImage().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(shown.size(), size);
        const PreviewBitmap expected =
            drawTestPatternPreview(c.choice, CTestPatterns::kPreviewSeed);
        int differing = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb px = shown.pixel(x, y);
                const PreviewPixel want = expected.pixel(x, y);
                if (qRed(px) != want.r || qGreen(px) != want.g || qBlue(px) != want.b) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST(CTestPatterns, ShowingReadsTheSensorAndSendsNoWrite) {
    PatternWindow w;
    // Choice 6 (kind 2 with the alternative), on and rolling; seed 9, fixed.
    w.fw().setSensorRegister(kRegPattern, 0x12 | kPatternOn | kPatternRolling);
    w.fw().setSensorRegister(kRegSeed, 0x10 | 9);
    w.window->show();
    EXPECT_EQ(patternWritesTo(*w.rig.simCamera), 0u);
    EXPECT_TRUE(w.fw().i2cWrites().empty());
    EXPECT_TRUE(w.get<QCheckBox>(kOnOff)->isChecked());
    EXPECT_TRUE(w.get<QCheckBox>(kRolling)->isChecked());
    EXPECT_FALSE(w.get<QCheckBox>(kTransparent)->isChecked());
    EXPECT_TRUE(w.get<QRadioButton>(1058)->isChecked());
    EXPECT_FALSE(w.get<QRadioButton>(1049)->isChecked());
    EXPECT_TRUE(w.get<QCheckBox>(kFixedSeed)->isChecked());
    EXPECT_EQ(w.get<QLineEdit>(kSeedBox)->text(), "9");
    EXPECT_TRUE(w.get<QLineEdit>(kSeedBox)->isEnabled());
    EXPECT_EQ(w.rig.store.getInt(kKeyTpChoice), 6);

    // Another setting moves the check to its button.
    w.fw().setSensorRegister(kRegPattern, 0x04);
    w.window->hide();
    w.window->show();
    EXPECT_TRUE(w.get<QRadioButton>(1050)->isChecked());
    EXPECT_FALSE(w.get<QRadioButton>(1058)->isChecked());
    EXPECT_FALSE(w.get<QCheckBox>(kOnOff)->isChecked());

    // A choice no button has clears them all.
    w.rig.store.setDecimal(kKeyTpChoice, kNoTestPatternChoice);
    w.window->updateHeld();
    for (const TestPatternChoice& c : testPatternChoices()) {
        EXPECT_FALSE(w.get<QRadioButton>(c.buttonId)->isChecked()) << c.buttonId;
    }
}

TEST(CTestPatterns, ButtonsChangeTheSensorPatternAndTheStore) {
    PatternWindow w;
    w.window->show();
    clickBox(w.get<QCheckBox>(kOnOff));
    EXPECT_EQ(w.fw().sensorRegister(kRegPattern) & kPatternOn, kPatternOn);
    EXPECT_EQ(w.rig.store.value(kKeyTpOn), (SettingValue{SettingType::Bool, "true"}));
    clickBox(w.get<QCheckBox>(kTransparent));
    EXPECT_EQ(w.fw().sensorRegister(kRegPattern) & kPatternTransparent, kPatternTransparent);

    // Choice 5: kind 2 without the alternative; the flags stay.
    QTest::mouseClick(w.get<QRadioButton>(1057), Qt::LeftButton);
    EXPECT_EQ(w.fw().sensorRegister(kRegPattern), 0x02 | kPatternOn | kPatternTransparent);
    EXPECT_EQ(w.rig.store.value(kKeyTpChoice), (SettingValue{SettingType::Hex, "0x5"}));
    EXPECT_TRUE(w.get<QRadioButton>(1057)->isChecked());
    // Choice 8: kind 1.
    QTest::mouseClick(w.get<QRadioButton>(1060), Qt::LeftButton);
    EXPECT_EQ(w.fw().sensorRegister(kRegPattern) & 0x1F, 0x01);
    EXPECT_EQ(w.rig.store.getInt(kKeyTpChoice), 8);

    // Fixed seed on enables the seed box, whose numbers then reach the sensor; the initial
    // 20170727 does not fit the four bits and is not written.
    clickBox(w.get<QCheckBox>(kFixedSeed));
    EXPECT_EQ(w.fw().sensorRegister(kRegSeed), 0x10);
    EXPECT_TRUE(w.rig.store.getBool(kKeyTpEnableSeed));
    ASSERT_TRUE(w.get<QLineEdit>(kSeedBox)->isEnabled());
    w.get<QLineEdit>(kSeedBox)->setFocus();
    w.get<QLineEdit>(kSeedBox)->selectAll();
    QTest::keyClicks(w.get<QLineEdit>(kSeedBox), "7");
    EXPECT_EQ(w.fw().sensorRegister(kRegSeed), 0x10 | 7);
    w.get<QLineEdit>(kSeedBox)->selectAll();
    QTest::keyClicks(w.get<QLineEdit>(kSeedBox), "12");
    EXPECT_EQ(w.fw().sensorRegister(kRegSeed) & 0x0F, 12);
    EXPECT_EQ(w.rig.store.value(kKeyTpSeed), (SettingValue{SettingType::Decimal, "12"}));
}

TEST(CTestPatterns, AFailingCameraLeavesTheBoxesAsTheStoreHasThem) {
    PatternWindow w;
    w.window->show();
    QTest::mouseClick(w.get<QRadioButton>(1050), Qt::LeftButton);
    ASSERT_EQ(w.rig.store.getInt(kKeyTpChoice), 2);
    Sim::SimFaults faults;
    faults.failAfter = 0;
    w.rig.simCamera->setFaults(faults);

    clickBox(w.get<QCheckBox>(kRolling));
    EXPECT_FALSE(w.get<QCheckBox>(kRolling)->isChecked());
    EXPECT_FALSE(w.rig.store.getBool(kKeyTpRolling));
    QTest::mouseClick(w.get<QRadioButton>(1059), Qt::LeftButton);
    EXPECT_TRUE(w.get<QRadioButton>(1050)->isChecked());
    EXPECT_FALSE(w.get<QRadioButton>(1059)->isChecked());
    EXPECT_EQ(w.rig.store.getInt(kKeyTpChoice), 2);

    // Without a camera the handlers do nothing and the boxes do not pretend otherwise.
    PatternWindow none("cameras=0");
    none.window->show();
    clickBox(none.get<QCheckBox>(kOnOff));
    EXPECT_FALSE(none.get<QCheckBox>(kOnOff)->isChecked());
    QTest::mouseClick(none.get<QRadioButton>(1049), Qt::LeftButton);
    EXPECT_FALSE(none.get<QRadioButton>(1049)->isChecked());
    EXPECT_FALSE(none.rig.store.has(kKeyTpChoice));
}

}  // namespace
}  // namespace TVR::GuiTest
