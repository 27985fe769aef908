#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <string>

#include "panel_test_helpers.h"
#include "protocol/uvc_property_ids.h"
#include "shell/panel_models.h"
#include "shell/tab_gains_model.h"
#include "sim/sim_camera.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR::PanelTest {

TEST(PanelModels, RegistersEveryBuiltPageForTheTransfers) {
    CameraRig rig;
    ASSERT_TRUE(rig.sensor->connected());
    PanelModels models(rig.store, *rig.sensor);
    for (OwnerId id : {OwnerId::TabBasic, OwnerId::TabGains, OwnerId::TestPatterns,
                       OwnerId::ConsoleSensor, OwnerId::TabLed, OwnerId::GreenScreen}) {
        ValueOwner* owner = models.owners().find(id);
        ASSERT_NE(owner, nullptr) << ownerName(id);
        EXPECT_EQ(owner->updateCounter(), 0) << ownerName(id);
    }

    PanelModels windowed(rig.store, *rig.sensor, PanelModels::Windows::Attached);
    EXPECT_EQ(windowed.gains().updateCounter(), 1);
}

// Every question is answered Yes; nothing is shown.
class YesPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    void showError(std::string_view, std::string_view text) override {
        ADD_FAILURE() << "unexpected error: " << text;
    }
};

// One camera with every built page, its capture side and the transfers, as brisco-cli has it.
struct PanelCamera {
    PanelCamera() : uvc(*rig.driver, rig.simCamera) { transfer.setUvcSource(&uvc); }
    CameraRig rig;
    SimUvcProperties uvc;
    PanelModels models{rig.store, *rig.sensor};
    YesPrompter prompter;
    CameraTransfer transfer{rig.store, *rig.sensor, models.owners(), prompter};
};

TEST(PanelModels, ASettingsFileCopiesEveryPageAndTheCaptureSideToAnotherCamera) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tvr-panel-copy-" + std::to_string(::getpid()) + ".qcf"))
                                 .string();
    PanelCamera a;
    ImgSensor& sa = *a.rig.sensor;
    sa.chip().sensorValue(kValueExposure, 0x1234);
    sa.chip().sensorValue(kValueWbGainR, 0x456);
    sa.chip().sensorSwitch(kSwitchMirror, 1);
    sa.chip().sensorSwitch(kSwitchFlip, 1);
    TestPatternSettings tp;
    tp.type = 2;
    tp.alternative = true;
    tp.bit7 = true;
    sa.chip().testPattern(tp);
    ASSERT_TRUE(a.uvc.procAmp()->set(UvcProcAmp::kGain, 40, kUvcFlagManual));
    ASSERT_TRUE(a.uvc.cameraControl()->set(UvcCameraControl::kExposure, -9, kUvcFlagManual));
    ASSERT_TRUE(a.transfer.readAll());
    ASSERT_TRUE(a.transfer.saveFileAs(path));

    PanelCamera b;
    ASSERT_EQ(b.transfer.loadSettingsAndPush(path), LoadOutcome::Pushed);
    std::remove(path.c_str());

    std::vector<std::string> differences;
    for (uint32_t reg = 0; reg <= 0x5FFF; ++reg) {
        const auto r = static_cast<uint16_t>(reg);
        if (a.rig.firmware->sensorRegister(r) != b.rig.firmware->sensorRegister(r)) {
            differences.push_back(std::to_string(reg));
        }
    }
    // The noise reduction strengths cannot be read back: the file carries 0 for both, and the
    // load writes that.
    constexpr uint8_t kNrChroma = 14;
    constexpr uint8_t kNrLuma = 15;
    EXPECT_EQ(b.rig.firmware->fpgaRegister(kNrChroma), 0);
    EXPECT_EQ(b.rig.firmware->fpgaRegister(kNrLuma), 0);
    for (unsigned reg = 0; reg < 256; ++reg) {
        const auto r = static_cast<uint8_t>(reg);
        if (r == kNrChroma || r == kNrLuma) continue;
        if (a.rig.firmware->fpgaRegister(r) != b.rig.firmware->fpgaRegister(r)) {
            differences.push_back("fpga " + std::to_string(reg));
        }
    }
    EXPECT_EQ(differences, std::vector<std::string>{});
    EXPECT_TRUE(b.rig.sensor->chip().sensorSwitch(kSwitchMirror, -1));
    EXPECT_TRUE(b.rig.sensor->chip().sensorSwitch(kSwitchFlip, -1));
    const auto gain = b.uvc.procAmp()->get(UvcProcAmp::kGain);
    ASSERT_TRUE(gain);
    EXPECT_EQ(gain->value, 40);
    EXPECT_EQ(gain->flags, kUvcFlagManual);
    EXPECT_EQ(b.uvc.cameraControl()->get(UvcCameraControl::kExposure)->value, -9);
}

}  // namespace TVR::PanelTest
