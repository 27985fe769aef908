#include <gtest/gtest.h>

#include "protocol/uvc_property_ids.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "sim/sim_uvc.h"

namespace TVR::Sim {
namespace {

using UvcCameraControl::kExposure;
using UvcProcAmp::kBrightness;
using UvcProcAmp::kHue;
using UvcProcAmp::kWhiteBalance;

constexpr int32_t kBoth = kSimUvcAuto | kSimUvcManual;

TEST(SimUvcState, RefusesValuesOffTheRangeOrStepAndFlagsBeyondTheCapabilities) {
    SimUvcState uvc;
    const auto hue = uvc.property(SimUvcSet::ProcAmp, kHue);
    ASSERT_TRUE(hue);
    EXPECT_EQ(hue->min, -2000);
    EXPECT_EQ(hue->step, 100);
    EXPECT_EQ(hue->caps, kBoth);

    EXPECT_TRUE(uvc.set(SimUvcSet::ProcAmp, kHue, -1900, kSimUvcManual));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kHue, -1950, kSimUvcManual));  // off the step
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kHue, 2100, kSimUvcManual));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kHue, 0, 0));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kHue, 0, -1));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kBrightness, 0, kSimUvcAuto));  // manual only
    EXPECT_TRUE(uvc.set(SimUvcSet::ProcAmp, kHue, 0, kBoth));
    EXPECT_EQ(uvc.property(SimUvcSet::ProcAmp, kHue)->flags, kBoth);
    // A step that does not divide the span from zero still counts from the minimum.
    EXPECT_TRUE(uvc.set(SimUvcSet::ProcAmp, kWhiteBalance, 2810, kSimUvcManual));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kWhiteBalance, 2815, kSimUvcManual));

    uvc.restoreDefaults();
    EXPECT_EQ(uvc.property(SimUvcSet::ProcAmp, kHue)->value, 0);
    EXPECT_EQ(uvc.property(SimUvcSet::ProcAmp, kHue)->flags, kSimUvcManual);
    EXPECT_EQ(uvc.property(SimUvcSet::ProcAmp, kWhiteBalance)->flags, kSimUvcAuto);
}

TEST(SimUvcState, FailureFaultCountsEveryCallFromItsSetting) {
    SimUvcState uvc(SimUvcConfig{SimUvcSets::Full, 3});
    EXPECT_TRUE(uvc.property(SimUvcSet::ProcAmp, kBrightness));
    EXPECT_TRUE(uvc.set(SimUvcSet::ProcAmp, kBrightness, 5, kSimUvcManual));
    EXPECT_FALSE(uvc.property(SimUvcSet::ProcAmp, kBrightness));
    EXPECT_FALSE(uvc.set(SimUvcSet::ProcAmp, kBrightness, 6, kSimUvcManual));
    EXPECT_EQ(uvc.calls(), 4u);

    uvc.setFailFrom(0);
    EXPECT_EQ(uvc.property(SimUvcSet::ProcAmp, kBrightness)->value, 5);
    uvc.setFailFrom(2);
    EXPECT_TRUE(uvc.property(SimUvcSet::CameraControl, kExposure));
    EXPECT_FALSE(uvc.property(SimUvcSet::CameraControl, kExposure));
}

TEST(SimOptions, UvcKeysShapeTheCaptureDevice) {
    std::string err;
    auto drv = simDriverFromOptions("cameras=2;uvc=procamp;uvc_fail=2", {}, err);
    ASSERT_TRUE(drv) << err;
    for (const auto& cam : drv->cameras()) {
        EXPECT_EQ(cam->config().uvc.sets, SimUvcSets::ProcAmpOnly);
        EXPECT_FALSE(cam->uvc().offers(SimUvcSet::CameraControl));
        EXPECT_TRUE(cam->uvc().offers(SimUvcSet::ProcAmp));
        EXPECT_TRUE(cam->uvc().property(SimUvcSet::ProcAmp, kBrightness));
        EXPECT_FALSE(cam->uvc().property(SimUvcSet::ProcAmp, kBrightness));
    }
    drv = simDriverFromOptions("uvc=none", {}, err);
    ASSERT_TRUE(drv) << err;
    EXPECT_FALSE(drv->cameras()[0]->uvc().offers(SimUvcSet::ProcAmp));
    drv = simDriverFromOptions("uvc=full", {}, err);
    ASSERT_TRUE(drv) << err;
    EXPECT_TRUE(drv->cameras()[0]->uvc().offers(SimUvcSet::CameraControl));

    const std::vector<std::pair<std::string, std::string>> bad{
        {"uvc=some", "bad value 'some' for uvc (expected full, procamp or none"},
        {"uvc_fail=0", "bad value '0' for uvc_fail"},
        {"uvc_fail=x", "for uvc_fail"},
    };
    for (const auto& [simOptions, text] : bad) {
        EXPECT_EQ(simDriverFromOptions(simOptions, {}, err), nullptr) << simOptions;
        EXPECT_NE(err.find(text), std::string::npos) << simOptions << ": " << err;
    }
    simDriverFromOptions("bogus=1", {}, err);
    EXPECT_NE(err.find("uvc, uvc_fail"), std::string::npos) << err;
}

}  // namespace
}  // namespace TVR::Sim
