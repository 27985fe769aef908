#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "gui_test_helpers.h"
#include "protocol/uvc_property_ids.h"
#include "shell/media_source.h"
#include "shell/video_proc_amp.h"
#include "sim/video/sim_capture_devices.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR::GuiTest {

namespace {

using UvcProcAmp::kBrightness;
using UvcProcAmp::kGain;
using UvcProcAmp::kHue;

// The simulated camera's capture device, counting how often it was obtained.
class SimMediaSource : public CameraMediaSource {
public:
    explicit SimMediaSource(CameraRig& rig) : m_rig(rig) {}
    std::unique_ptr<UvcPropertySource> open() override {
        ++opens;
        return SimUvcProperties::find(*m_rig.driver,
                                      simCaptureLocation(*m_rig.driver, *m_rig.simCamera));
    }
    int opens = 0;

private:
    CameraRig& m_rig;
};

struct ProcAmpRig {
    explicit ProcAmpRig(const std::string& simOptions = "")
        : rig(simOptions), source(rig), page(source, nullptr) {
        page.show();
    }
    Sim::SimUvcProperty sim(int32_t property) {
        return *rig.simCamera->uvc().property(Sim::SimUvcSet::ProcAmp, property);
    }
    template <typename W>
    W* c(int id) {
        return control<W>(page, id);
    }
    CameraRig rig;
    SimMediaSource source;
    CDlgAMVideoProcAmp page;
};

}  // namespace

TEST(CDlgAMVideoProcAmp, ShowsTheRangesAndSettingsOfTheCaptureDevice) {
    ProcAmpRig p;
    ASSERT_NE(p.c<QSlider>(3038), nullptr);
    EXPECT_EQ(p.c<QLabel>(3037)->text(), QStringLiteral("Brightness"));
    EXPECT_EQ(p.c<QSlider>(3038)->minimum(), 0);
    EXPECT_EQ(p.c<QSlider>(3038)->maximum(), 128);
    EXPECT_EQ(p.c<QSlider>(3038)->value(), 64);
    EXPECT_EQ(p.c<QLineEdit>(3039)->text(), QStringLiteral("0"));
    EXPECT_EQ(p.c<QSpinBox>(3040)->minimum(), -64);
    EXPECT_EQ(p.c<QSpinBox>(3040)->maximum(), 64);
    EXPECT_FALSE(p.c<QCheckBox>(3041)->isEnabled());  // manual only
    // White balance runs automatically: its manual controls are off.
    EXPECT_TRUE(p.c<QCheckBox>(3066)->isEnabled());
    EXPECT_TRUE(p.c<QCheckBox>(3066)->isChecked());
    EXPECT_FALSE(p.c<QSlider>(3063)->isEnabled());
    EXPECT_FALSE(p.c<QLabel>(3062)->isEnabled());
    EXPECT_EQ(p.c<QCheckBox>(3081)->text(), QStringLiteral("Auto"));
    EXPECT_EQ(p.c<QPushButton>(3082)->text(), QStringLiteral("Default"));
}

TEST(CDlgAMVideoProcAmp, UserChangesReachTheDeviceAndDefaultRestoresIt) {
    ProcAmpRig p;
    p.c<QLineEdit>(3039)->clear();
    QTest::keyClicks(p.c<QLineEdit>(3039), QStringLiteral("-20"));
    EXPECT_EQ(p.sim(kBrightness).value, -20);
    EXPECT_EQ(p.c<QSlider>(3038)->value(), 44);

    p.c<QSlider>(3038)->setValue(100);
    EXPECT_EQ(p.sim(kBrightness).value, 36);
    EXPECT_EQ(p.c<QLineEdit>(3039)->text(), QStringLiteral("36"));

    // Hue moves in steps of 100.
    ASSERT_FALSE(p.c<QCheckBox>(3051)->isChecked());
    p.c<QSpinBox>(3050)->stepUp();
    EXPECT_EQ(p.sim(kHue).value, 100);
    EXPECT_EQ(p.sim(kHue).flags, Sim::kSimUvcManual);

    p.c<QCheckBox>(3081)->click();
    EXPECT_EQ(p.sim(kGain).flags, Sim::kSimUvcAuto);
    EXPECT_FALSE(p.c<QSlider>(3078)->isEnabled());
    EXPECT_FALSE(p.c<QLineEdit>(3079)->isEnabled());

    p.c<QPushButton>(3082)->click();
    EXPECT_EQ(p.sim(kBrightness).value, 0);
    EXPECT_EQ(p.sim(kHue).value, 0);
    EXPECT_EQ(p.c<QSlider>(3038)->value(), 64);
    EXPECT_EQ(p.c<QLineEdit>(3039)->text(), QStringLiteral("0"));
}

TEST(CDlgAMVideoProcAmp, TheCaptureDeviceIsReleasedAfterUse) {
    ProcAmpRig p;
    EXPECT_EQ(p.source.opens, 1);
    EXPECT_TRUE(p.page.holdingSource());
    p.page.refresh();
    EXPECT_EQ(p.source.opens, 1);
    for (int i = 0; i < 200 && p.page.holdingSource(); ++i) QTest::qWait(10);
    EXPECT_FALSE(p.page.holdingSource());
    p.c<QLineEdit>(3039)->clear();
    QTest::keyClicks(p.c<QLineEdit>(3039), QStringLiteral("5"));
    EXPECT_EQ(p.source.opens, 2);
    EXPECT_EQ(p.sim(kBrightness).value, 5);
}

TEST(CDlgAMVideoProcAmp, FailingPropertiesOrAnUnpluggedCameraDisableTheRows) {
    ProcAmpRig p("uvc_fail=1");
    for (int id : {3037, 3038, 3039, 3040, 3041, 3078, 3081}) {
        EXPECT_FALSE(control<QWidget>(p.page, id)->isEnabled()) << id;
    }

    ProcAmpRig gone;
    EXPECT_TRUE(gone.c<QSlider>(3038)->isEnabled());
    gone.rig.driver->unplug(gone.rig.simCamera);
    gone.page.releaseSource();
    gone.page.refresh();
    EXPECT_FALSE(gone.c<QSlider>(3038)->isEnabled());
    EXPECT_FALSE(gone.c<QCheckBox>(3081)->isEnabled());
}

}  // namespace TVR::GuiTest
