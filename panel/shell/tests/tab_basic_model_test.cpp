#include <gtest/gtest.h>

#include "settings/preferences.h"
#include "shell/tab_basic_model.h"
#include "panel_test_helpers.h"
#include "sim/sim_camera.h"

namespace TVR::PanelTest {

namespace {

struct BasicRig {
    explicit BasicRig(int32_t base = 10) {
        preferences.setNumber(PreferenceName::kBase, base);
        model.finishInitialisation();
    }
    CameraRig rig;
    Preferences preferences;
    TabBasicModel model{rig.store, *rig.sensor, preferences};
};

}  // namespace

TEST(TabBasicModel, ReadStateShowsChipAndFirmware) {
    BasicRig b;
    TabBasicTexts t = b.model.texts();
    EXPECT_EQ(t.chipset, "Cannot detect chipset type");
    b.model.readState();
    t = b.model.texts();
    EXPECT_EQ(t.chipset, "Detected chipset type: OV9750");
    EXPECT_EQ(t.fx3, "\tFX3:\t1.1.4.5.105");
    EXPECT_EQ(t.fpga, "\tFPGA:\t1.1.4.5.90");
    // The page's state keeps no values in the store.
    EXPECT_EQ(b.rig.store.size(), 0u);

    b.model.showNotDetected();
    t = b.model.texts();
    EXPECT_EQ(t.chipset, "Cannot detect chipset type");
    EXPECT_EQ(t.controlPort, "0x20");

    b.rig.sensor->close();
    b.model.readState();
    EXPECT_EQ(b.model.texts().chipset, "Cannot detect chipset type");
    EXPECT_EQ(b.model.texts().fx3, "\tFX3:\tUNKNOWN");
}

TEST(TabBasicModel, ControlPortChangeSetsPortAndRereads) {
    BasicRig b;
    b.model.readState();
    // Not an address of the sensor bridge: the sensor is asked at 0x30 and is not there.
    ASSERT_TRUE(b.model.setControlPortText("0x30"));
    EXPECT_EQ(b.rig.store.value(kKeyCtrlPort), (SettingValue{SettingType::Hex, "0x30"}));
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x30);
    EXPECT_EQ(b.model.texts().chipset, "Detected chipset type: --- UNKNOWN ---");

    ASSERT_TRUE(b.model.setControlPortText("32"));
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x20);
    EXPECT_EQ(b.rig.store.getInt(kKeyCtrlPort), 0x20);
    EXPECT_EQ(b.model.texts().chipset, "Detected chipset type: OV9750");

    // Without a camera the port is kept for the next one; nothing is asked.
    b.rig.sensor->close();
    b.rig.simCamera->clearRequests();
    ASSERT_TRUE(b.model.setControlPortText("0x6C"));
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x6C);
    EXPECT_EQ(b.rig.store.getInt(kKeyCtrlPort), 0x6C);
    EXPECT_TRUE(b.rig.simCamera->requests().empty());
    EXPECT_EQ(b.model.texts().chipset, "Detected chipset type: OV9750");
}

TEST(TabBasicModel, ControlPortUsesTheConsoleBase) {
    BasicRig b(16);
    ASSERT_TRUE(b.model.setControlPortText("6C"));
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x6C);
    ASSERT_TRUE(b.model.setControlPortText("040"));  // octal
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x20);
}

TEST(TabBasicModel, ControlPortRejectsNonAddresses) {
    BasicRig b;
    for (const char* text : {"0", "-5", "-0x20", "abc", "", "0x100", "4294967295"}) {
        SCOPED_TRACE(text);
        b.rig.simCamera->clearRequests();
        EXPECT_FALSE(b.model.setControlPortText(text));
        EXPECT_FALSE(b.rig.store.has(kKeyCtrlPort));
        EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x20);
        EXPECT_TRUE(b.rig.simCamera->requests().empty());
    }
}

TEST(TabBasicModel, LoadFromStoreSetsStoredPortOrStoresTheCamerasOwn) {
    BasicRig b;
    b.model.loadFromStore();
    EXPECT_EQ(b.rig.store.value(kKeyCtrlPort), (SettingValue{SettingType::Hex, "0x20"}));

    b.rig.store.setHex(kKeyCtrlPort, 0x6C);
    b.model.loadFromStore();
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x6C);
    EXPECT_EQ(b.model.texts().controlPort, "0x6C");

    // A damaged file's port is replaced by the camera's.
    b.rig.store.setHex(kKeyCtrlPort, 0x1234);
    b.model.loadFromStore();
    EXPECT_EQ(b.rig.sensor->i2cAddress(), 0x6C);
    EXPECT_EQ(b.rig.store.getInt(kKeyCtrlPort), 0x6C);

    b.rig.store.clear();
    b.rig.sensor->close();
    b.model.loadFromStore();
    EXPECT_FALSE(b.rig.store.has(kKeyCtrlPort));
}

}  // namespace TVR::PanelTest
