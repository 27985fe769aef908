#include "control_transfer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings_test_helpers.h"
#include "video/uvc_properties.h"

namespace TVR {
namespace {

using SettingsTest::CameraRig;
using Strings = std::vector<std::string>;

const NamedControl& row(std::span<const NamedControl> table, const char* key) {
    const NamedControl* c = findControl(table, key);
    EXPECT_NE(c, nullptr) << key;
    return *c;
}

constexpr uint8_t kFpgaLedRLow = 8;
constexpr uint8_t kFpgaLedRHigh = 9;
constexpr uint8_t kFpgaControl = 6;
constexpr uint8_t kFanBit = 0x40;
constexpr uint16_t kExposureHigh = 0x3500;
constexpr uint16_t kIspControl0 = 0x5000;

TEST(ControlTransfer, ReadOneStoresEachAddressKind) {
    CameraRig rig;
    rig.firmware->setSensorRegister(kExposureHigh, 0x01);
    rig.firmware->setSensorRegister(kExposureHigh + 1, 0x23);
    rig.firmware->setSensorRegister(kExposureHigh + 2, 0x40);
    rig.firmware->setSensorRegister(kIspControl0,
                                    rig.firmware->sensorRegister(kIspControl0) | 0x10);
    rig.firmware->setFpgaRegister(kFpgaLedRLow, 0xAB);
    rig.firmware->setFpgaRegister(kFpgaControl, rig.firmware->fpgaRegister(kFpgaControl) | kFanBit);
    auto params = rig.firmware->params();
    params.real0 = 25.0f;
    params.aeSetpoint = 99;
    rig.firmware->setParams(params);

    rig.markLog();
    EXPECT_TRUE(readControl(rig, row(tabGainsControls(), "OV_EXPOSURE")));
    EXPECT_TRUE(readControl(rig, row(tabGainsControls(), "OV_MANUAL_WB_ON")));
    EXPECT_TRUE(readControl(rig, row(tabGainsControls(), "OV_VIDEO_FPS")));
    EXPECT_TRUE(readControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_TRUE(readControl(rig, row(tabLedControls(), "FAN")));
    EXPECT_TRUE(readControl(rig, row(autoFunctionsControls(), "AFN_SETPOINT_EXP")));

    EXPECT_EQ(rig.store.value("OV_EXPOSURE"), (SettingValue{SettingType::Decimal, "74560"}));
    EXPECT_EQ(rig.store.value("OV_MANUAL_WB_ON"), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_EQ(rig.store.value("OV_VIDEO_FPS"), (SettingValue{SettingType::Real, "25.0000"}));
    EXPECT_EQ(rig.store.value("LED_R"), (SettingValue{SettingType::Hex, "0xAB"}));
    EXPECT_EQ(rig.store.value("FAN"), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_EQ(rig.store.value("AFN_SETPOINT_EXP"), (SettingValue{SettingType::Decimal, "99"}));
    EXPECT_EQ(rig.newMessages(),
              (Strings{"Reading [OV_EXPOSURE] from camera", "Reading [OV_MANUAL_WB_ON] from camera",
                       "Reading [OV_VIDEO_FPS] from camera", "Reading [LED_R] from camera",
                       "Reading [FAN] from camera", "Reading [AFN_SETPOINT_EXP] from camera"}));
}

TEST(ControlTransfer, ReadErrorIsLoggedAndTheValueStillStored) {
    CameraRig rig;
    rig.markLog();
    // The noise-reduction channels cannot be read back from the FPGA.
    EXPECT_FALSE(readControl(rig, row(nrVideoControls(), "VNR_CHROMA")));
    EXPECT_TRUE(rig.store.has("VNR_CHROMA"));
    EXPECT_EQ(rig.newMessages(), (Strings{"Reading [VNR_CHROMA] from camera",
                                          "Error reading a value for VNR_CHROMA"}));
}

TEST(ControlTransfer, PushOneChangesTheCamera) {
    CameraRig rig;
    rig.store.setDecimal("OV_EXPOSURE", 0x12340);
    rig.store.setBool("OV_MANUAL_WB_ON", true);
    rig.store.setHex("LED_R", 0xAB);
    rig.store.setBool("FAN", true);
    rig.markLog();
    EXPECT_TRUE(pushControl(rig, row(tabGainsControls(), "OV_EXPOSURE")));
    EXPECT_TRUE(pushControl(rig, row(tabGainsControls(), "OV_MANUAL_WB_ON")));
    EXPECT_TRUE(pushControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_TRUE(pushControl(rig, row(tabLedControls(), "FAN")));
    // No real entry: the frame rate is pushed as 0.
    EXPECT_TRUE(pushControl(rig, row(tabGainsControls(), "OV_VIDEO_FPS")));

    EXPECT_EQ(rig.firmware->sensorRegister(kExposureHigh), 0x01);
    EXPECT_EQ(rig.firmware->sensorRegister(kExposureHigh + 1), 0x23);
    EXPECT_EQ(rig.firmware->sensorRegister(kExposureHigh + 2), 0x40);
    EXPECT_NE(rig.firmware->sensorRegister(kIspControl0) & 0x10, 0);
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRLow), 0xAB);
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRHigh), 0x00);
    EXPECT_NE(rig.firmware->fpgaRegister(kFpgaControl) & kFanBit, 0);
    EXPECT_FLOAT_EQ(rig.firmware->params().real0, 0.0f);
    EXPECT_EQ(rig.newMessages(),
              (Strings{"Pushing [OV_EXPOSURE] to camera", "Pushing [OV_MANUAL_WB_ON] to camera",
                       "Pushing [LED_R] to camera", "Pushing [FAN] to camera",
                       "Pushing [OV_VIDEO_FPS] to camera"}));

    // A decimal entry pushes the same number as a hexadecimal one; "false" writes 0.
    rig.store.setDecimal("LED_R", 0x5C);
    rig.store.setBool("FAN", false);
    EXPECT_TRUE(pushControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_TRUE(pushControl(rig, row(tabLedControls(), "FAN")));
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRLow), 0x5C);
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaControl) & kFanBit, 0);

    rig.store.setReal("OV_VIDEO_FPS", 59.94);
    EXPECT_TRUE(pushControl(rig, row(tabGainsControls(), "OV_VIDEO_FPS")));
    EXPECT_FLOAT_EQ(rig.firmware->params().real0, 59.94f);
}

TEST(ControlTransfer, PushIsSkippedSilentlyWhileUpdatingOrDisconnected) {
    CameraRig rig;
    rig.store.setHex("LED_R", 0x11);
    rig.updating = 1;
    rig.markLog();
    EXPECT_FALSE(pushControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_TRUE(rig.newMessages().empty());

    rig.updating = 0;
    rig.sensor->close();
    EXPECT_FALSE(pushControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_FALSE(readControl(rig, row(tabLedControls(), "LED_R")));
    EXPECT_TRUE(rig.newMessages().empty());
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRLow), 0);
}

TEST(ControlTransfer, FailedWriteIsLogged) {
    CameraRig rig;
    rig.store.setHex("LED_R", 0x11);
    Sim::SimFaults faults;
    faults.failAfter = 0;
    rig.simCamera->setFaults(faults);
    rig.markLog();
    EXPECT_FALSE(pushControl(rig, row(tabLedControls(), "LED_R")));
    const Strings log = rig.newMessages();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "Pushing [LED_R] to camera");
    EXPECT_EQ(log.back(), "Error pushing a value for LED_R");
}

TEST(ControlTransfer, PushOrReadAndPushByKey) {
    CameraRig rig;
    rig.firmware->setFpgaRegister(kFpgaLedRLow, 0x42);
    const NamedControl& ledR = row(tabLedControls(), "LED_R");
    // Only looked up: not a value, so it is read.
    (void)rig.store.getInt("LED_R");
    EXPECT_TRUE(pushOrReadControl(rig, ledR));
    EXPECT_EQ(rig.store.getInt("LED_R"), 0x42);

    rig.store.setHex("LED_R", 0x17);
    EXPECT_TRUE(pushOrReadControl(rig, ledR));
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRLow), 0x17);

    rig.table = tabLedControls();
    rig.store.setHex("LED_R", 0x29);
    rig.simCamera->clearRequests();
    EXPECT_FALSE(pushControlByKey(rig, "led_r"));
    EXPECT_FALSE(pushControlByKey(rig, "OV_EXPOSURE"));
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_TRUE(pushControlByKey(rig, "LED_R"));
    EXPECT_EQ(rig.firmware->fpgaRegister(kFpgaLedRLow), 0x29);
}

TEST(ControlTransfer, MismatchedRowsAreRefusedWithTheirMessages) {
    CameraRig rig;
    const NamedControl valueAsBool{"X1", {AddressKind::SensorValue, 4}, ControlFormat::Bool, 0};
    const NamedControl paramAsReal{"X2", {AddressKind::Fx3Param, 5}, ControlFormat::Real, 0};
    const NamedControl realAsHex{"X3", {AddressKind::Fx3FloatParam, 0}, ControlFormat::Hex, 0};
    const NamedControl badKind{"X4", {static_cast<AddressKind>(9), 0}, ControlFormat::Hex, 0};
    rig.markLog();
    EXPECT_FALSE(readControl(rig, valueAsBool));
    EXPECT_FALSE(readControl(rig, paramAsReal));
    EXPECT_FALSE(readControl(rig, realAsHex));
    EXPECT_FALSE(readControl(rig, badKind));
    EXPECT_FALSE(pushControl(rig, badKind));
    const std::string mismatch = "Mismatch between variant data type and format!";
    const std::string unexpected = "Unexpected value type in the provided variant parameter!";
    EXPECT_EQ(rig.newMessages(),
              (Strings{"Reading [X1] from camera", mismatch, "Reading [X2] from camera", mismatch,
                       "Reading [X3] from camera", mismatch, "Reading [X4] from camera", unexpected,
                       "Pushing [X4] to camera", unexpected}));
    EXPECT_EQ(rig.store.size(), 0u);
}

TEST(ControlTransfer, SensorIdentity) {
    CameraRig rig;
    EXPECT_FALSE(settingsMatchSensor(rig.store, *rig.sensor));
    storeSensorIdentity(rig.store, *rig.sensor);
    EXPECT_EQ(rig.store.getString("SENSOR_MODEL"), "OV9750");
    EXPECT_EQ(rig.store.getString("SENSOR_ID_STR"), rig.sensor->chipIdText());
    EXPECT_EQ(rig.store.value("SENSOR_ID_STR").type, SettingType::String);
    EXPECT_TRUE(settingsMatchSensor(rig.store, *rig.sensor));
    rig.store.setString("SENSOR_MODEL", "OV5640");
    EXPECT_FALSE(settingsMatchSensor(rig.store, *rig.sensor));
}

// A property set as a capture device would hold it.
class PropertySet : public UvcProperties {
public:
    std::optional<UvcRange> range(int32_t property) override {
        if (!values.count(property)) return std::nullopt;
        return UvcRange{0, 255, 1, 128, kUvcFlagAuto | kUvcFlagManual};
    }
    std::optional<UvcSetting> get(int32_t property) override {
        const auto it = values.find(property);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool set(int32_t property, int32_t value, int32_t flags) override {
        if (!values.count(property)) return false;
        values[property] = {value, flags};
        return true;
    }
    std::map<int32_t, UvcSetting> values;
};

class Device : public UvcPropertySource {
public:
    UvcProperties* cameraControl() override { return hasCameraControl ? &camera : nullptr; }
    UvcProperties* procAmp() override { return &amp; }
    bool hasCameraControl = true;
    PropertySet camera;
    PropertySet amp;
};

TEST(ControlTransfer, UvcReadAndPush) {
    ApiLog log;
    SettingsStore store(&log);
    Device device;
    device.camera.values = {{0, {10, kUvcFlagManual}}, {4, {-6, kUvcFlagAuto}}};
    device.amp.values = {{0, {128, kUvcFlagManual}}, {9, {3, kUvcFlagManual}}};

    ASSERT_TRUE(uvcRead(&device, store));
    EXPECT_EQ(store.keys(),
              (Strings{"UVC_BRIGHTNESS", "UVC_BRIGHTNESS_AUTO", "UVC_EXP", "UVC_EXP_AUTO",
                       "UVC_GAIN", "UVC_GAIN_AUTO", "UVC_PAN", "UVC_PAN_AUTO"}));
    EXPECT_EQ(store.value("UVC_EXP"), (SettingValue{SettingType::Decimal, "-6"}));
    EXPECT_EQ(store.getInt("UVC_EXP_AUTO"), kUvcFlagAuto);

    store.setDecimal("UVC_PAN", 20);
    store.setDecimal("UVC_GAIN", 7);
    store.setDecimal("UVC_TILT", 1);  // the device has no tilt: that set fails, others go on
    ASSERT_TRUE(uvcPush(&device, store));
    EXPECT_EQ(device.camera.values[0].value, 20);
    EXPECT_EQ(device.amp.values[9].value, 7);

    // A missing flags companion is sent as -1.
    SettingsStore bare(&log);
    bare.setDecimal("UVC_PAN", 33);
    ASSERT_TRUE(uvcPush(&device, bare));
    EXPECT_EQ(device.camera.values[0].value, 33);
    EXPECT_EQ(device.camera.values[0].flags, -1);
}

TEST(ControlTransfer, NoCameraControlMeansNoProcessingAmplifierEither) {
    ApiLog log;
    SettingsStore store(&log);
    Device device;
    device.amp.values = {{0, {128, kUvcFlagManual}}};
    device.camera.values.clear();
    EXPECT_FALSE(uvcRead(&device, store));
    EXPECT_EQ(store.size(), 0u);

    store.setDecimal("UVC_BRIGHTNESS", 5);
    EXPECT_FALSE(uvcPush(&device, store));
    EXPECT_EQ(device.amp.values[0].value, 128);

    device.hasCameraControl = false;
    EXPECT_FALSE(uvcRead(&device, store));
    EXPECT_FALSE(uvcPush(&device, store));
    EXPECT_FALSE(uvcRead(nullptr, store));
}

}  // namespace
}  // namespace TVR
