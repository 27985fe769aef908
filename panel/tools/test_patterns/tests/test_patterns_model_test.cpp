#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>

#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/test_patterns/test_patterns_model.h"

namespace TVR::PanelTest {

namespace {

constexpr uint16_t kRegPattern = 0x5080;
constexpr uint16_t kRegSeed = 0x5081;

constexpr PreviewPixel kWhite{255, 255, 255};
constexpr PreviewPixel kBlack{0, 0, 0};

PreviewPixel grey(uint8_t v) { return {v, v, v}; }

bool sentNothing(const CameraRig& rig) { return rig.simCamera->requests().empty(); }

}  // namespace

TEST(TestPatternPreviews, BarsChangeColourAtTheirBoundaries) {
    const PreviewBitmap bars = drawTestPatternPreview(1, 1);
    for (int y : {0, 39}) {
        EXPECT_EQ(bars.pixel(0, y), kWhite);
        EXPECT_EQ(bars.pixel(5, y), kWhite);
        EXPECT_EQ(bars.pixel(6, y), (PreviewPixel{255, 255, 0}));
        EXPECT_EQ(bars.pixel(12, y), (PreviewPixel{0, 255, 255}));
        EXPECT_EQ(bars.pixel(18, y), (PreviewPixel{0, 255, 0}));
        EXPECT_EQ(bars.pixel(24, y), (PreviewPixel{255, 0, 255}));
        EXPECT_EQ(bars.pixel(35, y), (PreviewPixel{255, 0, 0}));
        EXPECT_EQ(bars.pixel(36, y), (PreviewPixel{0, 0, 255}));
        EXPECT_EQ(bars.pixel(40, y), (PreviewPixel{0, 0, 255}));
        EXPECT_EQ(bars.pixel(41, y), kBlack);
        EXPECT_EQ(bars.pixel(45, y), kBlack);
    }
}

TEST(TestPatternPreviews, GradedBarsUseTheirLevelRules) {
    const PreviewBitmap byRow = drawTestPatternPreview(2, 1);
    EXPECT_EQ(byRow.pixel(0, 0), grey(250));
    EXPECT_EQ(byRow.pixel(5, 39), grey(172));
    EXPECT_EQ(byRow.pixel(6, 10), (PreviewPixel{230, 230, 0}));
    EXPECT_EQ(byRow.pixel(41, 10), kBlack);

    const PreviewBitmap byColumn = drawTestPatternPreview(3, 1);
    EXPECT_EQ(byColumn.pixel(0, 7), grey(50));
    EXPECT_EQ(byColumn.pixel(35, 7), (PreviewPixel{155, 0, 0}));
    EXPECT_EQ(byColumn.pixel(40, 7), (PreviewPixel{0, 0, 170}));
    EXPECT_EQ(byColumn.pixel(41, 7), kBlack);

    // Every level of this one is negative before the modulo.
    const PreviewBitmap diagonal = drawTestPatternPreview(4, 1);
    EXPECT_EQ(diagonal.pixel(0, 0), grey(150));
    EXPECT_EQ(diagonal.pixel(45, 0), kBlack);
    EXPECT_EQ(diagonal.pixel(30, 20), (PreviewPixel{130, 0, 0}));
    EXPECT_EQ(diagonal.pixel(36, 39), (PreviewPixel{0, 0, 156}));
    EXPECT_EQ(diagonal.pixel(40, 0), (PreviewPixel{0, 0, 70}));
}

TEST(TestPatternPreviews, CheckerboardsAndBlack) {
    const PreviewBitmap squares = drawTestPatternPreview(5, 1);
    EXPECT_EQ(squares.pixel(0, 0), kBlack);
    EXPECT_EQ(squares.pixel(6, 0), (PreviewPixel{0, 0, 255}));
    EXPECT_EQ(squares.pixel(12, 0), (PreviewPixel{255, 0, 0}));
    EXPECT_EQ(squares.pixel(24, 0), (PreviewPixel{0, 255, 0}));
    EXPECT_EQ(squares.pixel(30, 0), (PreviewPixel{0, 255, 255}));
    EXPECT_EQ(squares.pixel(12, 12), kBlack);
    EXPECT_EQ(squares.pixel(0, 24), (PreviewPixel{0, 255, 0}));

    const PreviewBitmap checks = drawTestPatternPreview(6, 1);
    EXPECT_EQ(checks.pixel(0, 0), kBlack);
    EXPECT_EQ(checks.pixel(6, 7), kBlack);
    EXPECT_EQ(checks.pixel(7, 0), kWhite);
    EXPECT_EQ(checks.pixel(13, 0), kWhite);
    EXPECT_EQ(checks.pixel(14, 0), kBlack);
    EXPECT_EQ(checks.pixel(0, 8), kWhite);
    EXPECT_EQ(checks.pixel(7, 8), kBlack);

    const PreviewBitmap black = drawTestPatternPreview(7, 1);
    EXPECT_TRUE(std::all_of(black.rgb.begin(), black.rgb.end(), [](uint8_t b) { return b == 0; }));
}

TEST(TestPatternPreviews, RandomPreviewFollowsItsSeed) {
    const PreviewBitmap a = drawTestPatternPreview(8, kInitialTestPatternSeed);
    EXPECT_EQ(a.rgb, drawTestPatternPreview(8, kInitialTestPatternSeed).rgb);
    EXPECT_NE(a.rgb, drawTestPatternPreview(8, kInitialTestPatternSeed + 1).rgb);
    // The standard generator's first number for its default seed is 0xD091BB5C.
    EXPECT_EQ(drawTestPatternPreview(8, 5489).pixel(0, 0).r, 0x5C);
    const size_t distinct = [&] {
        std::array<bool, 256> seen{};
        for (uint8_t b : a.rgb) seen[b] = true;
        return static_cast<size_t>(std::count(seen.begin(), seen.end(), true));
    }();
    EXPECT_GT(distinct, 200u);

    const auto all = drawTestPatternPreviews(kInitialTestPatternSeed);
    EXPECT_EQ(all[7].rgb, a.rgb);
    EXPECT_EQ(all[0].rgb, drawTestPatternPreview(1, 0).rgb);
}

TEST(TestPatternChoices, ButtonsAndSettingsMatch) {
    const auto choices = testPatternChoices();
    ASSERT_EQ(choices.size(), 8u);
    const int buttons[] = {1049, 1050, 1052, 1056, 1057, 1058, 1059, 1060};
    for (size_t i = 0; i < choices.size(); ++i) {
        EXPECT_EQ(choices[i].buttonId, buttons[i]);
        EXPECT_EQ(choices[i].choice, static_cast<int>(i) + 1);
        ASSERT_NE(testPatternChoiceOfButton(buttons[i]), nullptr);
        EXPECT_EQ(testPatternChoiceOfButton(buttons[i])->choice, static_cast<int>(i) + 1);
    }
    EXPECT_EQ(testPatternChoiceOfButton(1051), nullptr);

    TestPatternSettings s;
    s.bit5 = true;
    ASSERT_TRUE(applyTestPatternChoice(s, 6));
    EXPECT_EQ(s.type, 2);
    EXPECT_TRUE(s.alternative);
    EXPECT_TRUE(s.bit5);
    EXPECT_FALSE(applyTestPatternChoice(s, 9));
    EXPECT_FALSE(applyTestPatternChoice(s, 0));
    EXPECT_EQ(testPatternChoiceOf(s), 6);

    TestPatternSettings none;  // type -1: a chip without a pattern
    EXPECT_EQ(testPatternChoiceOf(none), kNoTestPatternChoice);
}

TEST(TestPatternsModel, EveryChoiceRoundTripsThroughTheSensor) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    // Choices 1-8 as the sensor encodes them, with the rolling bar kept on.
    const uint8_t bytes[] = {0x00, 0x04, 0x08, 0x0C, 0x02, 0x12, 0x03, 0x01};
    rig.firmware->setSensorRegister(kRegPattern, 0x40);
    for (int choice = 1; choice <= 8; ++choice) {
        SCOPED_TRACE(choice);
        ASSERT_TRUE(model.choose(choice));
        EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), bytes[choice - 1] | 0x40);
        EXPECT_EQ(rig.store.value(kKeyTpChoice),
                  (SettingValue{SettingType::Hex, fmt::format("0x{:X}", choice)}));
        rig.store.clear();
        model.readState();
        EXPECT_EQ(rig.store.value(kKeyTpChoice),
                  (SettingValue{SettingType::Decimal, std::to_string(choice)}));
        EXPECT_TRUE(rig.store.getBool(kKeyTpRolling));
    }
    EXPECT_TRUE(model.chooseButton(1058));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0x52);
    EXPECT_FALSE(model.chooseButton(1051));
    EXPECT_FALSE(model.choose(255));
}

TEST(TestPatternsModel, ReadStateStoresTheDocumentedKeys) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegPattern, 0x80 | 0x40 | 0x08);
    rig.firmware->setSensorRegister(kRegSeed, 0x10 | 0x0B);
    rig.markLog();
    model.readState();
    EXPECT_EQ(rig.store.value(kKeyTpSeed), (SettingValue{SettingType::Hex, "0xB"}));
    EXPECT_TRUE(rig.store.getBool(kKeyTpEnableSeed));
    EXPECT_TRUE(rig.store.getBool(kKeyTpOn));
    EXPECT_FALSE(rig.store.getBool(kKeyTpTransparent));
    EXPECT_TRUE(rig.store.has(kKeyTpTransparent));
    EXPECT_TRUE(rig.store.getBool(kKeyTpRolling));
    EXPECT_EQ(rig.store.value(kKeyTpChoice), (SettingValue{SettingType::Decimal, "3"}));
    const auto messages = rig.newMessages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Reading the status of Test Patterns"),
              messages.end());

    // A seed of 0 is not stored.
    rig.store.clear();
    rig.firmware->setSensorRegister(kRegSeed, 0x00);
    model.readState();
    EXPECT_FALSE(rig.store.has(kKeyTpSeed));
    EXPECT_FALSE(rig.store.getBool(kKeyTpEnableSeed));
}

TEST(TestPatternsModel, ChipWithoutPatternReadsAsNoChoice) {
    CameraRig rig("sensor=OV13850");
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    model.readState();
    EXPECT_EQ(rig.store.getInt(kKeyTpChoice), kNoTestPatternChoice);
    EXPECT_FALSE(rig.store.has(kKeyTpSeed));
    EXPECT_FALSE(model.setFlag(TestPatternFlag::On, true));
    EXPECT_FALSE(model.choose(1));
    EXPECT_FALSE(rig.store.getBool(kKeyTpOn));
}

TEST(TestPatternsModel, FlagHandlersChangeOnlyTheirFlag) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegPattern, 0x0C | 0x20);

    ASSERT_TRUE(model.setFlag(TestPatternFlag::On, true));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0xAC);
    EXPECT_TRUE(rig.store.getBool(kKeyTpOn));
    EXPECT_FALSE(rig.store.has(kKeyTpTransparent));
    EXPECT_FALSE(rig.store.has(kKeyTpRolling));
    EXPECT_FALSE(rig.store.has(kKeyTpChoice));

    ASSERT_TRUE(model.setFlag(TestPatternFlag::Transparent, false));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0x8C);
    EXPECT_EQ(rig.store.value(kKeyTpTransparent), (SettingValue{SettingType::Bool, "false"}));

    ASSERT_TRUE(model.setFlag(TestPatternFlag::Rolling, true));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0xCC);
    EXPECT_TRUE(rig.store.getBool(kKeyTpRolling));
    EXPECT_TRUE(rig.store.getBool(kKeyTpOn));

    // A pattern button keeps the three flags.
    ASSERT_TRUE(model.choose(7));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0xC3);
}

TEST(TestPatternsModel, SeedBoxAndFixedSeed) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    EXPECT_EQ(model.seedBox(), 20170727);

    // Without the fixed seed the box only keeps its number.
    EXPECT_FALSE(model.setSeedBox(5));
    EXPECT_FALSE(rig.store.has(kKeyTpSeed));
    EXPECT_TRUE(rig.firmware->i2cWrites().empty());

    model.setSeedBox(20170727);
    ASSERT_TRUE(model.setFixedSeed(true));
    EXPECT_TRUE(rig.store.getBool(kKeyTpEnableSeed));
    EXPECT_TRUE(model.seedBoxEnabled());
    // The start-up number does not fit the four seed bits and is not sent.
    EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x10);

    ASSERT_TRUE(model.setSeedBox(9));
    EXPECT_EQ(rig.store.value(kKeyTpSeed), (SettingValue{SettingType::Decimal, "9"}));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x19);

    for (int32_t bad : {16, -1, 200}) {
        EXPECT_FALSE(model.setSeedBox(bad));
        EXPECT_EQ(rig.store.getInt(kKeyTpSeed), 9);
        EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x19);
    }

    ASSERT_TRUE(model.setFixedSeed(false));
    EXPECT_FALSE(model.seedBoxEnabled());
    EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x09);
    EXPECT_FALSE(model.setSeedBox(4));
    EXPECT_EQ(rig.store.getInt(kKeyTpSeed), 9);

    // Turning it on again sends the box's number with it.
    model.setSeedBox(12);
    ASSERT_TRUE(model.setFixedSeed(true));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x1C);

    // Filling the box from the store sends nothing.
    rig.simCamera->clearRequests();
    model.setUpdateCounter(1);
    EXPECT_FALSE(model.setSeedBox(3));
    EXPECT_FALSE(model.setFixedSeed(false));
    EXPECT_TRUE(sentNothing(rig));
    EXPECT_EQ(model.seedBox(), 3);
}

TEST(TestPatternsModel, ViewFollowsTheStore) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    TestPatternsView v = model.view();
    EXPECT_EQ(v.seed, kInitialTestPatternSeed);
    EXPECT_EQ(v.checkedButton, 0);
    EXPECT_FALSE(v.seedEnabled);

    rig.store.setBool(kKeyTpOn, true);
    rig.store.setBool(kKeyTpRolling, true);
    rig.store.setBool(kKeyTpEnableSeed, true);
    rig.store.setHex(kKeyTpSeed, 7);
    rig.store.setDecimal(kKeyTpChoice, 6);
    v = model.view();
    EXPECT_TRUE(v.on);
    EXPECT_FALSE(v.transparent);
    EXPECT_TRUE(v.rolling);
    EXPECT_TRUE(v.fixedSeed);
    EXPECT_TRUE(v.seedEnabled);
    EXPECT_EQ(v.seed, 7);
    EXPECT_EQ(model.seedBox(), 7);
    EXPECT_EQ(v.checkedButton, 1058);

    rig.store.setDecimal(kKeyTpChoice, kNoTestPatternChoice);
    EXPECT_EQ(model.view().checkedButton, 0);
}

TEST(TestPatternsModel, NothingIsSentWithoutACamera) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.sensor->close();
    rig.simCamera->clearRequests();
    model.readState();
    model.loadFromStore();
    EXPECT_FALSE(model.setFlag(TestPatternFlag::On, true));
    EXPECT_FALSE(model.choose(3));
    EXPECT_FALSE(model.setFixedSeed(true));
    EXPECT_FALSE(model.setSeedBox(4));
    EXPECT_TRUE(sentNothing(rig));
    EXPECT_EQ(rig.store.size(), 0u);
}

TEST(TestPatternsModel, HandlersWaitForTheEndOfInitialisation) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    EXPECT_FALSE(model.setFlag(TestPatternFlag::On, true));
    EXPECT_FALSE(model.setFixedSeed(true));
    EXPECT_TRUE(sentNothing(rig));
    model.finishInitialisation();
    EXPECT_TRUE(model.setFlag(TestPatternFlag::On, true));
}

TEST(TestPatternsModel, FailingCameraStoresNothing) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplugged" : "failing");
        CameraRig rig;
        TestPatternsModel model(rig.store, *rig.sensor);
        model.finishInitialisation();
        rig.firmware->setSensorRegister(kRegPattern, 0x08);
        rig.store.setBool(kKeyTpOn, false);
        Sim::SimFaults faults;
        // The read of the setting still works; what follows does not.
        (unplug ? faults.unplugAfter : faults.failAfter) = 1;
        rig.simCamera->setFaults(faults);
        EXPECT_FALSE(model.setFlag(TestPatternFlag::On, true));
        EXPECT_FALSE(rig.store.getBool(kKeyTpOn));
        EXPECT_FALSE(model.choose(8));
        EXPECT_FALSE(rig.store.has(kKeyTpChoice));
        EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0x08);
    }
}

TEST(TestPatternsModel, LoadingAppliesStoredValuesAndReadsMissingOnes) {
    CameraRig rig;
    TestPatternsModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegPattern, 0x20 | 0x01);  // transparent, choice 8
    rig.store.setBool(kKeyTpOn, true);
    rig.store.setHex(kKeyTpChoice, 6);
    rig.store.setBool(kKeyTpEnableSeed, true);
    rig.store.setDecimal(kKeyTpSeed, 7);
    model.loadFromStore();
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0x80 | 0x20 | 0x12);
    EXPECT_EQ(rig.firmware->sensorRegister(kRegSeed), 0x17);
    EXPECT_TRUE(rig.store.getBool(kKeyTpTransparent));
    EXPECT_EQ(rig.store.value(kKeyTpRolling), (SettingValue{SettingType::Bool, "false"}));
    EXPECT_EQ(rig.store.getInt(kKeyTpChoice), 6);

    // An empty store is filled from the camera without a write.
    rig.store.clear();
    rig.firmware->clearI2cWrites();
    model.loadFromStore();
    EXPECT_TRUE(rig.firmware->i2cWrites().empty());
    EXPECT_TRUE(rig.store.getBool(kKeyTpOn));
    EXPECT_EQ(rig.store.value(kKeyTpChoice), (SettingValue{SettingType::Decimal, "6"}));
    EXPECT_TRUE(rig.store.getBool(kKeyTpEnableSeed));
    EXPECT_EQ(rig.store.getInt(kKeyTpSeed), 7);

    // A choice no button has leaves the camera's pattern alone.
    rig.store.setDecimal(kKeyTpChoice, kNoTestPatternChoice);
    model.loadFromStore();
    EXPECT_EQ(rig.firmware->sensorRegister(kRegPattern), 0xB2);
    EXPECT_EQ(rig.store.getInt(kKeyTpChoice), 6);
}

}  // namespace TVR::PanelTest
