#include "settings/control_transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/sensor_registers.h"
#include "protocol/uvc_property_ids.h"
#include "protocol/vendor_requests.h"
#include "settings_test_helpers.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR {
namespace {

using SettingsTest::CameraRig;
using Strings = std::vector<std::string>;

const NamedControl& row(std::span<const NamedControl> table, const char* key) {
    const NamedControl* c = findControl(table, key);
    EXPECT_NE(c, nullptr) << key;
    return *c;
}

TEST(ControlTransfer, ReadOneStoresEachAddressKind) {
    CameraRig rig;
    rig.firmware->setSensorRegister(SensorReg::kExposureHigh, 0x01);
    rig.firmware->setSensorRegister(SensorReg::kExposureHigh + 1, 0x23);
    rig.firmware->setSensorRegister(SensorReg::kExposureHigh + 2, 0x40);
    rig.firmware->setSensorRegister(SensorReg::kIspControl0,
                                    rig.firmware->sensorRegister(SensorReg::kIspControl0) | 0x10);
    rig.firmware->setFpgaRegister(FpgaReg::kLedRedLow, 0xAB);
    rig.firmware->setFpgaRegister(FpgaReg::kControl, rig.firmware->fpgaRegister(FpgaReg::kControl) |
                                                         FpgaReg::kControlChannel1Mask);
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

    EXPECT_EQ(rig.firmware->sensorRegister(SensorReg::kExposureHigh), 0x01);
    EXPECT_EQ(rig.firmware->sensorRegister(SensorReg::kExposureHigh + 1), 0x23);
    EXPECT_EQ(rig.firmware->sensorRegister(SensorReg::kExposureHigh + 2), 0x40);
    EXPECT_NE(rig.firmware->sensorRegister(SensorReg::kIspControl0) & 0x10, 0);
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0xAB);
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow + 1), 0x00);
    EXPECT_NE(rig.firmware->fpgaRegister(FpgaReg::kControl) & FpgaReg::kControlChannel1Mask, 0);
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
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0x5C);
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kControl) & FpgaReg::kControlChannel1Mask, 0);

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
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0);
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
    rig.firmware->setFpgaRegister(FpgaReg::kLedRedLow, 0x42);
    const NamedControl& ledR = row(tabLedControls(), "LED_R");
    // Only looked up: not a value, so it is read.
    (void)rig.store.getInt("LED_R");
    EXPECT_TRUE(pushOrReadControl(rig, ledR));
    EXPECT_EQ(rig.store.getInt("LED_R"), 0x42);

    rig.store.setHex("LED_R", 0x17);
    EXPECT_TRUE(pushOrReadControl(rig, ledR));
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0x17);

    rig.table = tabLedControls();
    rig.store.setHex("LED_R", 0x29);
    rig.simCamera->clearRequests();
    EXPECT_FALSE(pushControlByKey(rig, "led_r"));
    EXPECT_FALSE(pushControlByKey(rig, "OV_EXPOSURE"));
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_TRUE(pushControlByKey(rig, "LED_R"));
    EXPECT_EQ(rig.firmware->fpgaRegister(FpgaReg::kLedRedLow), 0x29);
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

// The UVC transfers over the simulated camera's capture device.
TEST(ControlTransfer, UvcReadAndPush) {
    CameraRig rig;
    SimUvcProperties device(*rig.driver, rig.simCamera);
    ASSERT_TRUE(uvcRead(&device, rig.store));
    // The simulated camera has zoom, exposure and focus; no colour enable key exists.
    EXPECT_EQ(rig.store.value("UVC_EXP"), (SettingValue{SettingType::Decimal, "-6"}));
    EXPECT_EQ(rig.store.getInt("UVC_EXP_AUTO"), kUvcFlagAuto);
    EXPECT_EQ(rig.store.getInt("UVC_ZOOM"), 100);
    EXPECT_EQ(rig.store.getInt("UVC_BRIGHTNESS_AUTO"), kUvcFlagManual);
    EXPECT_EQ(rig.store.getInt("UVC_WHITE_BALANCE_AUTO"), kUvcFlagAuto);
    EXPECT_FALSE(rig.store.has("UVC_PAN"));
    EXPECT_EQ(rig.store.size(), 2u * (3 + 9));

    rig.store.setDecimal("UVC_EXP", -9);
    rig.store.setDecimal("UVC_EXP_AUTO", kUvcFlagManual);
    rig.store.setDecimal("UVC_GAIN", 7);
    rig.store.setDecimal("UVC_PAN", 1);  // the camera has no pan: that set fails, others go on
    ASSERT_TRUE(uvcPush(&device, rig.store));
    const auto exposure = device.cameraControl()->get(UvcCameraControl::kExposure);
    EXPECT_EQ(exposure->value, -9);
    EXPECT_EQ(exposure->flags, kUvcFlagManual);
    EXPECT_EQ(device.procAmp()->get(UvcProcAmp::kGain)->value, 7);

    // A missing flags companion is sent as -1, which the camera refuses.
    SettingsStore bare(rig.log);
    bare.setDecimal("UVC_ZOOM", 200);
    bare.setDecimal("UVC_BRIGHTNESS", 5);
    EXPECT_FALSE(uvcPush(&device, bare));
    EXPECT_EQ(device.cameraControl()->get(UvcCameraControl::kZoom)->value, 100);
    EXPECT_EQ(device.procAmp()->get(UvcProcAmp::kBrightness)->value, 0);
}

TEST(ControlTransfer, NoCameraControlMeansNoProcessingAmplifierEither) {
    CameraRig rig("uvc=procamp");
    SimUvcProperties device(*rig.driver, rig.simCamera);
    ASSERT_NE(device.procAmp(), nullptr);
    EXPECT_FALSE(uvcRead(&device, rig.store));
    EXPECT_EQ(rig.store.size(), 0u);

    rig.store.setDecimal("UVC_BRIGHTNESS", 5);
    rig.store.setDecimal("UVC_BRIGHTNESS_AUTO", kUvcFlagManual);
    EXPECT_FALSE(uvcPush(&device, rig.store));
    EXPECT_EQ(device.procAmp()->get(UvcProcAmp::kBrightness)->value, 0);

    // A camera that has gone answers neither list.
    CameraRig full;
    SimUvcProperties gone(*full.driver, full.simCamera);
    full.driver->unplug(full.simCamera);
    EXPECT_FALSE(uvcRead(&gone, full.store));
    EXPECT_FALSE(uvcRead(nullptr, full.store));
}

}  // namespace
}  // namespace TVR
