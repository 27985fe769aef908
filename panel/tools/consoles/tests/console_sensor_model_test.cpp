#include <gtest/gtest.h>

#include <algorithm>

#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/consoles/console_sensor_model.h"

namespace TVR::PanelTest {

namespace {

constexpr uint16_t kRegOrientation = 0x0101;  // OV9750: bit 0 mirror, bit 1 flip
constexpr uint16_t kRegFormat1 = 0x3820;      // OV48C40 flip, bit 2
constexpr uint16_t kRegFormat2 = 0x3821;      // OV48C40 mirror, bit 2

}  // namespace

TEST(ConsoleSensorModel, ReadStateStoresBothFlips) {
    CameraRig rig;
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegOrientation, 0x02);
    model.readState();
    EXPECT_EQ(rig.store.value(kKeyFlipH), (SettingValue{SettingType::Bool, "false"}));
    EXPECT_EQ(rig.store.value(kKeyFlipV), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_TRUE(rig.firmware->i2cWrites().empty());
}

TEST(ConsoleSensorModel, LoadPushesStoredFlipsAndReadsMissingOnes) {
    CameraRig rig("sensor=OV48C40");
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegFormat1, 0x04);
    rig.firmware->setSensorRegister(kRegFormat2, 0x00);
    rig.store.setBool(kKeyFlipH, true);
    model.loadFromStore();
    EXPECT_EQ(rig.firmware->sensorRegister(kRegFormat2) & 0x04, 0x04);
    EXPECT_TRUE(rig.store.getBool(kKeyFlipV));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegFormat1), 0x04);

    // While the console fills its boxes nothing is sent.
    rig.store.setBool(kKeyFlipH, false);
    rig.simCamera->clearRequests();
    model.setUpdateCounter(1);
    model.loadFromStore();
    EXPECT_FALSE(model.setFlipV(false));
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_TRUE(rig.store.getBool(kKeyFlipV));

    model.setUpdateCounter(0);
    rig.sensor->close();
    rig.simCamera->clearRequests();
    rig.store.clear();
    model.loadFromStore();
    model.readState();
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_EQ(rig.store.size(), 0u);
}

TEST(ConsoleSensorModel, BoxesStoreAndSend) {
    CameraRig rig;
    ConsoleSensorModel model(rig.store, *rig.sensor);
    model.finishInitialisation();
    rig.firmware->setSensorRegister(kRegOrientation, 0x00);
    EXPECT_TRUE(model.setFlipH(true));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegOrientation), 0x01);
    EXPECT_TRUE(model.setFlipV(true));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegOrientation), 0x03);
    EXPECT_TRUE(model.setFlipH(false));
    EXPECT_EQ(rig.firmware->sensorRegister(kRegOrientation), 0x02);

    const std::string script = "w 3500 01\r\nr 3500";
    model.setScript(script);
    EXPECT_EQ(rig.store.getString(kKeyConsoleText), script);
    const ConsoleSensorView v = model.view();
    EXPECT_FALSE(v.flipH);
    EXPECT_TRUE(v.flipV);
    EXPECT_EQ(v.script, script);

    // Without a camera the choice is kept for the next push.
    rig.sensor->close();
    rig.simCamera->clearRequests();
    EXPECT_FALSE(model.setFlipH(true));
    EXPECT_TRUE(rig.store.getBool(kKeyFlipH));
    EXPECT_TRUE(rig.simCamera->requests().empty());
}

TEST(ConsoleSensorModel, AFlipTheCameraDoesNotTakeIsReportedAndLogged) {
    Sim::SimFaults failing, unplugged, stalled;
    failing.failAfter = 0;
    unplugged.unplugAfter = 0;
    stalled.stallNext = 1;  // the switch's register read; the camera answers again after it
    int n = 0;
    for (const Sim::SimFaults& faults : {failing, unplugged, stalled}) {
        SCOPED_TRACE(n++);
        CameraRig rig;
        ConsoleSensorModel model(rig.store, *rig.sensor);
        model.finishInitialisation();
        rig.firmware->setSensorRegister(kRegOrientation, 0x00);
        rig.simCamera->setFaults(faults);
        rig.markLog();
        EXPECT_FALSE(model.setFlipH(true));
        EXPECT_EQ(rig.firmware->sensorRegister(kRegOrientation), 0x00);
        const auto messages = rig.newMessages();
        EXPECT_NE(std::find(messages.begin(), messages.end(), "Error pushing a value for FLIP_H"),
                  messages.end());
    }
}

}  // namespace TVR::PanelTest
