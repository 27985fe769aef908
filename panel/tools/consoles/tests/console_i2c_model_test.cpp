#include <gtest/gtest.h>

#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/consoles/console_i2c_model.h"

namespace TVR::PanelTest {

namespace {

constexpr uint8_t kExpander = 0x42;  // 8-bit registers on the simulated bus
constexpr uint8_t kAudio = 0x76;     // 16-bit registers
constexpr uint8_t kNobody = 0x3A;    // no device answers there

}  // namespace

TEST(ConsoleI2cModel, TargetTableRows) {
    const auto targets = i2cTargets();
    ASSERT_EQ(targets.size(), 14u);
    EXPECT_EQ(targets[0].name, "Manual I\u00b2C device, 8-bit");
    EXPECT_TRUE(targets[0].manual());
    EXPECT_EQ(targets[0].stored(), 0x100);
    EXPECT_EQ(targets[1].stored(), 0x000);
    EXPECT_EQ(targets[4].name, "(Kavor) OV48C40");
    EXPECT_EQ(targets[4].stored(), 0x006C);
    EXPECT_EQ(targets[13].name, "(Brisco) Si570");
    EXPECT_EQ(targets[13].stored(), 0x01AA);
    for (size_t i = 2; i < targets.size(); ++i) EXPECT_FALSE(targets[i].manual()) << i;
}

TEST(ConsoleI2cModel, ScriptWritesEachPairToTheDevice) {
    CameraRig rig;
    ConsoleI2cModel model(rig.store, *rig.sensor);
    rig.firmware->clearI2cWrites();
    I2cRunResult r = model.execute("0x42", "{0x01, 0x0F}, {0x02, 0xF0} ; leds", true, true, 10);
    EXPECT_EQ(r.text, "Success");
    EXPECT_EQ(r.sent, 2u);
    EXPECT_EQ(rig.firmware->i2cRegister(kExpander, 0x01), 0x0F);
    EXPECT_EQ(rig.firmware->i2cRegister(kExpander, 0x02), 0xF0);
    EXPECT_EQ(rig.firmware->i2cWrites(),
              (std::vector<Sim::SimI2cWrite>{{kExpander, 0x01, 0x0F}, {kExpander, 0x02, 0xF0}}));

    // 16-bit registers, numbers in the preferred base.
    r = model.execute("76", "4000 5A", false, true, 16);
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(rig.firmware->i2cRegister(kAudio, 0x4000), 0x5A);
}

TEST(ConsoleI2cModel, RefusalsAndFailuresAreTheResultText) {
    CameraRig rig;
    ConsoleI2cModel model(rig.store, *rig.sensor);
    rig.simCamera->clearRequests();
    EXPECT_EQ(model.execute("0", "1 2", true, true, 10).text, "Invalid I\u00b2C address");
    EXPECT_EQ(model.execute("0x100", "1 2", true, true, 10).text, "Invalid I\u00b2C address");
    EXPECT_EQ(model.execute("0x42", " ; 0x10 0x20\n0x30", true, true, 10).text, "Empty script");
    EXPECT_TRUE(rig.simCamera->requests().empty());

    // In 8-bit mode a wide register is refused without a line break; the run goes on when told.
    I2cRunResult r = model.execute("0x42", "0x100 0x01 0x200 0x02 0x03 0x04", true, false, 10);
    EXPECT_EQ(r.text,
              "Address 0x0100 outside 8-bit range"
              "Address 0x0200 outside 8-bit range");
    EXPECT_EQ(r.sent, 1u);
    EXPECT_EQ(r.failed, 2u);
    EXPECT_EQ(rig.firmware->i2cRegister(kExpander, 0x03), 0x04);

    // Stop on first error: nothing after the first message.
    rig.firmware->clearI2cWrites();
    r = model.execute("0x42", "0x100 0x01 0x05 0x06", true, true, 10);
    EXPECT_EQ(r.text, "Address 0x0100 outside 8-bit range");
    EXPECT_TRUE(rig.firmware->i2cWrites().empty());

    // No device at the address: each write fails with its own line.
    r = runI2cPairs(*rig.sensor, kNobody, {{0x01, 0xAA}, {0x02, 0xBB}}, true, false);
    EXPECT_EQ(r.text, "Write 0xAA to 0x01 failed\nWrite 0xBB to 0x02 failed\n");
    EXPECT_EQ(r.failed, 2u);
    EXPECT_FALSE(r.ok());

    // A camera that stops answering mid-run.
    Sim::SimFaults faults;
    faults.failAfter = 1;
    rig.simCamera->setFaults(faults);
    r = model.execute("0x42", "1 1 2 2 3 3", true, true, 10);
    EXPECT_EQ(r.text, "Write 0x02 to 0x02 failed\n");
    EXPECT_EQ(r.sent, 1u);
}

}  // namespace TVR::PanelTest
