#include <gtest/gtest.h>

#include <map>

#include "panel_test_helpers.h"
#include "shell/video_proc_amp_model.h"
#include "sim/video/sim_capture_devices.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR::PanelTest {

namespace {

constexpr size_t kBrightnessRow = 0;
constexpr size_t kHueRow = 2;
constexpr size_t kSharpnessRow = 4;
constexpr size_t kColourEnableRow = 6;
constexpr size_t kWhiteBalanceRow = 7;
constexpr size_t kGainRow = 9;

// Properties whose ranges are test data, for ranges the simulated camera does not have.
class TableProperties : public UvcProperties {
public:
    std::optional<UvcRange> range(int32_t property) override {
        auto it = ranges.find(property);
        if (it == ranges.end()) return std::nullopt;
        return it->second;
    }
    std::optional<UvcSetting> get(int32_t property) override {
        auto it = values.find(property);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool set(int32_t property, int32_t value, int32_t flags) override {
        values[property] = {value, flags};
        return true;
    }
    std::map<int32_t, UvcRange> ranges;
    std::map<int32_t, UvcSetting> values;
};

struct UvcRig {
    explicit UvcRig(const std::string& simOptions = "") : rig(simOptions) {
        source =
            SimUvcProperties::find(*rig.driver, simCaptureLocation(*rig.driver, *rig.simCamera));
    }
    UvcProperties* procAmp() { return source ? source->procAmp() : nullptr; }
    int32_t simValue(int32_t property) {
        return rig.simCamera->uvc().property(Sim::SimUvcSet::ProcAmp, property)->value;
    }
    int32_t simFlags(int32_t property) {
        return rig.simCamera->uvc().property(Sim::SimUvcSet::ProcAmp, property)->flags;
    }
    CameraRig rig;
    std::unique_ptr<SimUvcProperties> source;
};

}  // namespace

TEST(VideoProcAmpModel, RowsFollowThePageOrderWithTheirControls) {
    const auto rows = VideoProcAmpModel::rows();
    ASSERT_EQ(rows.size(), 10u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].property, static_cast<int>(i));
    EXPECT_STREQ(rows[0].name, "VideoProcAmp_Brightness");
    EXPECT_EQ(rows[0].labelId, 3037);
    EXPECT_EQ(rows[0].autoId, 3041);
    EXPECT_EQ(rows[5].labelId, 3067);  // gamma's controls follow white balance's
    EXPECT_EQ(rows[7].labelId, 3062);
    EXPECT_EQ(rows[9].labelId, 3077);
    EXPECT_EQ(rows[9].autoId, 3081);
    EXPECT_FALSE(rows[kColourEnableRow].hasControls());
    EXPECT_EQ(VideoProcAmpModel::rowOfControl(3070), 5u);
    EXPECT_EQ(VideoProcAmpModel::rowOfControl(3064), 7u);
    EXPECT_FALSE(VideoProcAmpModel::rowOfControl(3082).has_value());
}

TEST(VideoProcAmpModel, ANegativeMinimumIsShiftedOntoTheSlider) {
    TableProperties props;
    props.ranges[0] = {-10, 10, 1, 0, kUvcFlagManual};
    props.values[0] = {-10, kUvcFlagManual};
    props.ranges[1] = {5, 5, 1, 5, kUvcFlagManual};
    props.values[1] = {5, kUvcFlagManual};
    props.ranges[2] = {-2000, 2000, 100, 0, kUvcFlagAuto | kUvcFlagManual};
    props.values[2] = {300, kUvcFlagAuto};

    VideoProcAmpModel model;
    model.refresh(&props);
    UvcRowView v = model.view(kBrightnessRow);
    EXPECT_TRUE(v.available);
    EXPECT_EQ(v.sliderMin, 0);
    EXPECT_EQ(v.sliderMax, 20);
    EXPECT_EQ(v.spinMin, -10);
    EXPECT_EQ(v.spinMax, 10);
    EXPECT_EQ(v.sliderPos, 0);
    EXPECT_EQ(v.value, -10);
    EXPECT_FALSE(v.autoEnabled);

    // Slider position 20 is the value 10; only the number box sets it on the device.
    EXPECT_TRUE(model.userChange(kBrightnessRow, UvcChange::Slider, 20, 0, false, &props));
    EXPECT_EQ(model.view(kBrightnessRow).value, 10);
    EXPECT_EQ(props.values[0].value, -10);
    EXPECT_TRUE(model.userChange(kBrightnessRow, UvcChange::Number, 0, -3, false, &props));
    EXPECT_EQ(model.view(kBrightnessRow).sliderPos, 7);
    EXPECT_EQ(props.values[0].value, -3);
    EXPECT_EQ(props.values[0].flags, kUvcFlagManual);

    // A range of one value leaves nothing to slide.
    EXPECT_FALSE(model.view(1).sliderEnabled);
    EXPECT_EQ(model.view(1).pageSize, 1);

    // Automatic: "Auto" may be used, and the manual controls are off.
    v = model.view(kHueRow);
    EXPECT_TRUE(v.autoEnabled);
    EXPECT_TRUE(v.autoChecked);
    EXPECT_FALSE(v.manualEnabled);
    EXPECT_EQ(v.spinStep, 100);
    EXPECT_EQ(v.pageSize, 600);

    // Properties the device lacks stay disabled.
    EXPECT_FALSE(model.view(3).available);
    EXPECT_FALSE(model.userChange(3, UvcChange::Number, 0, 1, false, &props));
}

TEST(VideoProcAmpModel, PageSizeIsASeventhInWholeSteps) {
    EXPECT_EQ(VideoProcAmpModel::pageSize(-64, 64, 1), 18);
    EXPECT_EQ(VideoProcAmpModel::pageSize(2800, 6500, 10), 530);
    EXPECT_EQ(VideoProcAmpModel::pageSize(0, 2, 1), 1);
    EXPECT_EQ(VideoProcAmpModel::pageSize(0, 6, 4), 4);
    EXPECT_EQ(VideoProcAmpModel::pageSize(0, 0, 0), 1);
}

TEST(VideoProcAmpModel, SimulatedCameraRowsReadAndSet) {
    UvcRig u;
    ASSERT_NE(u.procAmp(), nullptr);
    VideoProcAmpModel model;
    model.refresh(u.procAmp());

    const UvcRowView b = model.view(kBrightnessRow);
    EXPECT_EQ(b.sliderMin, 0);
    EXPECT_EQ(b.sliderMax, 128);
    EXPECT_EQ(b.spinMin, -64);
    EXPECT_EQ(b.sliderPos, 64);
    EXPECT_EQ(b.value, 0);
    EXPECT_FALSE(model.view(kColourEnableRow).available);
    EXPECT_FALSE(model.view(kSharpnessRow).autoEnabled);
    // White balance starts automatic on this camera.
    EXPECT_TRUE(model.view(kWhiteBalanceRow).autoChecked);
    EXPECT_FALSE(model.view(kWhiteBalanceRow).manualEnabled);

    EXPECT_TRUE(model.userChange(kBrightnessRow, UvcChange::Number, 0, -20, false, u.procAmp()));
    EXPECT_EQ(u.simValue(0), -20);
    EXPECT_TRUE(model.userChange(kGainRow, UvcChange::Auto, 0, 40, true, u.procAmp()));
    EXPECT_EQ(u.simValue(9), 40);
    EXPECT_EQ(u.simFlags(9), kUvcFlagAuto);
    EXPECT_TRUE(model.view(kGainRow).autoChecked);
    EXPECT_FALSE(model.view(kGainRow).manualEnabled);
    // A value the device refuses is reported.
    EXPECT_FALSE(model.userChange(kBrightnessRow, UvcChange::Number, 0, 65, false, u.procAmp()));
    EXPECT_EQ(u.simValue(0), -20);

    model.setDefaults(u.procAmp());
    EXPECT_EQ(u.simValue(0), 0);
    EXPECT_EQ(u.simValue(9), 0);
    EXPECT_EQ(u.simFlags(9), kUvcFlagAuto | kUvcFlagManual);
    EXPECT_EQ(model.view(kBrightnessRow).sliderPos, 64);
}

TEST(VideoProcAmpModel, FailingOrMissingPropertiesDisableTheRows) {
    UvcRig u("uvc_fail=1");
    VideoProcAmpModel model;
    model.refresh(u.procAmp());
    for (size_t i = 0; i < VideoProcAmpModel::rows().size(); ++i) {
        EXPECT_FALSE(model.view(i).available) << i;
    }

    UvcRig none("uvc=none");
    model.refresh(none.procAmp());
    EXPECT_FALSE(model.view(kBrightnessRow).available);
    model.refresh(nullptr);
    EXPECT_FALSE(model.view(kGainRow).available);
    model.setDefaults(nullptr);
    EXPECT_FALSE(model.view(kGainRow).available);
}

}  // namespace TVR::PanelTest
