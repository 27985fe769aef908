#include <fmt/format.h>
#include <gtest/gtest.h>

#include "protocol/sensor_registers.h"
#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/consoles/console_sensor_model.h"

namespace TVR::PanelTest {

namespace {

constexpr uint8_t kSensorAddress = 0x20;

std::vector<ConsolePair> script(std::string_view text) { return parseConsoleScript(text, 10); }

}  // namespace

TEST(ConsoleSensorCommands, ScriptWritesEveryPairAndGroupsShortOnes) {
    CameraRig rig;
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->clearI2cWrites();
    EXPECT_TRUE(model.runScript(script("0x3500 0x01 0x3501 0x02"), false));
    EXPECT_EQ(rig.firmware->i2cWrites(),
              (std::vector<Sim::SimI2cWrite>{{kSensorAddress, 0x3500, 0x01},
                                             {kSensorAddress, 0x3501, 0x02}}));

    // Group write: hold 0 around the pairs, launched with mode 3.
    rig.firmware->clearI2cWrites();
    EXPECT_TRUE(model.runScript(script("0x3500 0x07"), true));
    const auto writes = rig.firmware->i2cWrites();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], (Sim::SimI2cWrite{kSensorAddress, SensorReg::kGroupHold, 0x00}));
    EXPECT_EQ(writes[1], (Sim::SimI2cWrite{kSensorAddress, 0x3500, 0x07}));
    EXPECT_EQ(writes[2].reg, SensorReg::kGroupHold);
    EXPECT_NE(writes[2].value & 0xF0, 0);
    EXPECT_EQ(rig.sensor->chip().groupHoldDepth(), 0);

    // Sixteen pairs are too many for one group: written plainly.
    std::string sixteen;
    for (int i = 0; i < 16; ++i) sixteen += fmt::format("0x{:04X} {} ", 0x4000 + i, i);
    rig.firmware->clearI2cWrites();
    EXPECT_TRUE(model.runScript(script(sixteen), true));
    EXPECT_EQ(rig.firmware->i2cWrites().size(), 16u);

    // A camera that stops answering is told apart.
    Sim::SimFaults faults;
    faults.failAfter = 0;
    rig.simCamera->setFaults(faults);
    EXPECT_FALSE(model.runScript(script("0x3500 0x01"), false));
}

TEST(ConsoleSensorCommands, PeekStandbyAndActions) {
    CameraRig rig;
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(0x3501, 0xA5);
    const auto peek = model.peek(0x3501);
    ASSERT_TRUE(peek);
    EXPECT_EQ(peek->hex, "0xA5");
    EXPECT_EQ(peek->binary, "10100101");

    rig.firmware->setSensorRegister(SensorReg::kModeSelect, 0x01);
    EXPECT_TRUE(model.setStandby(true));
    EXPECT_EQ(rig.firmware->sensorRegister(SensorReg::kModeSelect) & 1, 0);
    EXPECT_TRUE(model.setStandby(false));
    EXPECT_EQ(rig.firmware->sensorRegister(SensorReg::kModeSelect) & 1, 1);

    rig.firmware->clearI2cWrites();
    EXPECT_TRUE(model.runAction(SensorConsoleAction::SendFsin));
    EXPECT_FALSE(rig.firmware->i2cWrites().empty());

    rig.sensor->close();
    EXPECT_FALSE(model.peek(0x3501));
    EXPECT_FALSE(model.runAction(SensorConsoleAction::Reset));
}

TEST(ConsoleSensorCommands, CompareKeepsOnlyWhatTheSensorDoesNotHold) {
    CameraRig rig;
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(0x3500, 0x01);
    rig.firmware->setSensorRegister(0x3501, 0x02);
    rig.firmware->clearI2cWrites();
    const auto left =
        model.compare(script("0x3500 0x01 0x3501 0x09 0x3501 0x09 0x3500 0x03 0x3500 0x01"), false);
    ASSERT_TRUE(left);
    EXPECT_EQ(consoleScriptText(*left), "0x3501 0x09\r\n0x3500 0x03\r\n");
    EXPECT_TRUE(rig.firmware->i2cWrites().empty());

    // Against the defaults: the software reset first, then the same comparison.
    rig.firmware->setSensorRegister(0x3501, 0x55);
    const uint8_t defaultValue = rig.firmware->sensorDefault(0x3501);
    const auto fromDefaults = model.compare(
        {{0x3501, defaultValue}, {0x3501, static_cast<uint8_t>(defaultValue ^ 0xFF)}}, true);
    ASSERT_TRUE(fromDefaults);
    ASSERT_EQ(fromDefaults->size(), 1u);
    EXPECT_EQ((*fromDefaults)[0].value, static_cast<uint8_t>(defaultValue ^ 0xFF));
    EXPECT_EQ(rig.firmware->i2cWrites().front(),
              (Sim::SimI2cWrite{kSensorAddress, ConsoleSensorModel::kRegSoftwareReset, 1}));

    // A reset that cannot be sent compares nothing.
    rig.sensor->close();
    EXPECT_FALSE(model.compare(script("1 2"), true));
}

}  // namespace TVR::PanelTest
