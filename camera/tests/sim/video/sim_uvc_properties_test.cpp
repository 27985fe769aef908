#include <gtest/gtest.h>

#include <thread>

#include "protocol/uvc_property_ids.h"
#include "sim/sim_driver.h"
#include "sim/video/sim_capture_devices.h"
#include "sim/video/sim_uvc_properties.h"

namespace TVR {
namespace {

constexpr int32_t kBoth = kUvcFlagAuto | kUvcFlagManual;

using UvcCameraControl::kExposure;
using UvcCameraControl::kFocus;
using UvcCameraControl::kPan;
using UvcProcAmp::kBrightness;
using UvcProcAmp::kColorEnable;
using UvcProcAmp::kGain;
using UvcProcAmp::kHue;
using UvcProcAmp::kWhiteBalance;

std::unique_ptr<SimUvcProperties> propertiesOf(Sim::SimDriver& driver, const Sim::SimCamera& cam) {
    SimCaptureDevices devices(driver);
    for (const auto& dev : devices.videoCaptureDevices()) {
        if (dev.location == simCaptureLocation(driver, cam)) {
            return SimUvcProperties::find(driver, dev.location);
        }
    }
    return nullptr;
}

TEST(SimUvcProperties, RangesAndDefaultsOfTheSimulatedCamera) {
    Sim::SimDriver driver;
    const auto cam = driver.addCamera();
    const auto uvc = propertiesOf(driver, *cam);
    ASSERT_TRUE(uvc);
    UvcProperties* amp = uvc->procAmp();
    UvcProperties* ctrl = uvc->cameraControl();
    ASSERT_TRUE(amp);
    ASSERT_TRUE(ctrl);

    const auto brightness = amp->range(kBrightness);
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->min, -64);  // a negative minimum the page shifts onto its slider
    EXPECT_EQ(brightness->max, 64);
    EXPECT_EQ(brightness->caps, kUvcFlagManual);
    EXPECT_EQ(amp->range(kHue)->caps, kBoth);
    EXPECT_EQ(amp->range(kHue)->step, 100);
    EXPECT_FALSE(amp->range(kColorEnable));
    EXPECT_FALSE(amp->get(kColorEnable));
    EXPECT_FALSE(amp->range(10));
    EXPECT_FALSE(amp->range(-1));

    const auto wb = amp->get(kWhiteBalance);
    ASSERT_TRUE(wb);
    EXPECT_EQ(wb->flags, kUvcFlagAuto);
    EXPECT_EQ(wb->value, amp->range(kWhiteBalance)->defaultValue);

    const auto exposure = ctrl->range(kExposure);
    ASSERT_TRUE(exposure);
    EXPECT_EQ(exposure->min, -13);
    EXPECT_EQ(exposure->max, -1);
    EXPECT_EQ(exposure->caps, kBoth);
    EXPECT_EQ(ctrl->get(kExposure)->flags, kUvcFlagAuto);
    EXPECT_FALSE(ctrl->range(kPan));
    EXPECT_FALSE(ctrl->set(kPan, 0, kUvcFlagManual));
}

TEST(SimUvcProperties, SetReadsBackAndRefusalsLeaveTheValue) {
    Sim::SimDriver driver;
    const auto cam = driver.addCamera();
    SimUvcProperties uvc(driver, cam);
    UvcProperties* amp = uvc.procAmp();
    UvcProperties* ctrl = uvc.cameraControl();
    ASSERT_TRUE(amp && ctrl);

    EXPECT_TRUE(amp->set(kBrightness, -10, kUvcFlagManual));
    EXPECT_EQ(amp->get(kBrightness)->value, -10);
    EXPECT_FALSE(amp->set(kBrightness, 65, kUvcFlagManual));
    EXPECT_FALSE(amp->set(kBrightness, 10, kUvcFlagAuto));
    EXPECT_FALSE(amp->set(kBrightness, 10, -1));  // a settings file without its _AUTO entry
    EXPECT_FALSE(amp->set(kHue, 150, kUvcFlagManual));
    EXPECT_EQ(amp->get(kBrightness)->value, -10);

    EXPECT_TRUE(amp->set(kGain, 40, kUvcFlagAuto));
    EXPECT_EQ(amp->get(kGain)->flags, kUvcFlagAuto);
    EXPECT_TRUE(ctrl->set(kExposure, -8, kUvcFlagManual));
    EXPECT_EQ(ctrl->get(kExposure)->value, -8);
    EXPECT_EQ(ctrl->get(kExposure)->flags, kUvcFlagManual);
    EXPECT_FALSE(ctrl->set(kExposure, 0, kUvcFlagManual));
    EXPECT_TRUE(ctrl->set(kFocus, 1023, kBoth));  // "Default" sends the capability flags

    // The two sets are separate tables: focus 6 is not colour enable 6.
    EXPECT_FALSE(amp->get(kColorEnable));
}

TEST(SimUvcProperties, CapturesWithoutPropertySets) {
    Sim::SimDriver driver;
    Sim::SimCameraConfig bare;
    bare.uvc.sets = Sim::SimUvcSets::None;
    Sim::SimCameraConfig ampOnly;
    ampOnly.uvc.sets = Sim::SimUvcSets::ProcAmpOnly;
    Sim::SimCameraConfig headless;
    headless.videoName.clear();
    const auto none = driver.addCamera(bare);
    const auto procamp = driver.addCamera(ampOnly);
    const auto noVideo = driver.addCamera(headless);

    const auto a = propertiesOf(driver, *none);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->cameraControl(), nullptr);
    EXPECT_EQ(a->procAmp(), nullptr);

    const auto b = propertiesOf(driver, *procamp);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->cameraControl(), nullptr);
    ASSERT_NE(b->procAmp(), nullptr);
    EXPECT_TRUE(b->procAmp()->get(kBrightness));

    EXPECT_EQ(SimUvcProperties::find(driver, simCaptureLocation(driver, *noVideo)), nullptr);
    EXPECT_EQ(SimUvcProperties::find(driver, ""), nullptr);
    EXPECT_EQ(SimUvcProperties::find(driver, "9-9"), nullptr);
}

TEST(SimUvcProperties, CaptureSideElsewhereIsFoundAtItsOwnLocation) {
    Sim::SimDriver driver;
    Sim::SimCameraConfig elsewhere;
    elsewhere.captureLocation = "Port-A";
    const auto cam = driver.addCamera(elsewhere);
    const auto uvc = SimUvcProperties::find(driver, "Port-A");
    ASSERT_TRUE(uvc);
    ASSERT_TRUE(uvc->procAmp());
    EXPECT_TRUE(uvc->procAmp()->set(kBrightness, 3, kUvcFlagManual));
    EXPECT_EQ(cam->uvc().property(Sim::SimUvcSet::ProcAmp, kBrightness)->value, 3);
    EXPECT_EQ(SimUvcProperties::find(driver, driver.location(driver.pathOf(*cam))), nullptr);
}

TEST(SimUvcProperties, FailureFaultStrikesTheNthCallAndLater) {
    Sim::SimDriver driver;
    Sim::SimCameraConfig config;
    config.uvc.failFrom = 3;
    const auto cam = driver.addCamera(config);
    SimUvcProperties uvc(driver, cam);
    UvcProperties* amp = uvc.procAmp();
    ASSERT_TRUE(amp);
    EXPECT_TRUE(amp->range(kBrightness));
    EXPECT_TRUE(amp->get(kBrightness));
    EXPECT_FALSE(amp->set(kBrightness, 1, kUvcFlagManual));
    EXPECT_FALSE(amp->get(kBrightness));
    EXPECT_FALSE(uvc.cameraControl()->range(kExposure));

    cam->uvc().setFailFrom(0);
    EXPECT_EQ(amp->get(kBrightness)->value, 0);  // the refused set changed nothing
}

TEST(SimUvcProperties, UnpluggedCameraAnswersNothingUntilItReturns) {
    Sim::SimDriver driver;
    const auto cam = driver.addCamera();
    const std::string location = simCaptureLocation(driver, *cam);
    const auto uvc = SimUvcProperties::find(driver, location);
    ASSERT_TRUE(uvc);
    UvcProperties* amp = uvc->procAmp();
    ASSERT_TRUE(amp);
    ASSERT_TRUE(amp->set(kBrightness, 12, kUvcFlagManual));

    driver.unplug(cam);
    EXPECT_EQ(uvc->procAmp(), nullptr);
    EXPECT_EQ(uvc->cameraControl(), nullptr);
    EXPECT_FALSE(amp->range(kBrightness));
    EXPECT_FALSE(amp->get(kBrightness));
    EXPECT_FALSE(amp->set(kBrightness, 13, kUvcFlagManual));
    EXPECT_EQ(SimUvcProperties::find(driver, location), nullptr);

    driver.plug(cam);
    ASSERT_EQ(uvc->procAmp(), amp);
    EXPECT_EQ(amp->get(kBrightness)->value, 12);
    EXPECT_TRUE(amp->set(kBrightness, 13, kUvcFlagManual));
    EXPECT_TRUE(SimUvcProperties::find(driver, location));
}

TEST(SimUvcProperties, TwoThreadsShareOneCamera) {
    Sim::SimDriver driver;
    const auto cam = driver.addCamera();
    SimUvcProperties first(driver, cam);
    SimUvcProperties second(driver, cam);
    constexpr int kRounds = 400;
    int refused = 0;
    std::thread writer([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!first.procAmp()->set(kBrightness, i % 129 - 64, kUvcFlagManual)) ++refused;
            if (!first.cameraControl()->set(kExposure, -1 - i % 13, kUvcFlagManual)) ++refused;
        }
    });
    int outOfRange = 0;
    for (int i = 0; i < kRounds; ++i) {
        const auto b = second.procAmp()->get(kBrightness);
        const auto e = second.cameraControl()->get(kExposure);
        if (!b || b->value < -64 || b->value > 64) ++outOfRange;
        if (!e || e->value < -13 || e->value > -1) ++outOfRange;
        if (!second.procAmp()->set(kGain, i % 101, kUvcFlagManual)) ++outOfRange;
    }
    writer.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(second.procAmp()->get(kBrightness)->value, (kRounds - 1) % 129 - 64);
    EXPECT_EQ(first.procAmp()->get(kGain)->value, (kRounds - 1) % 101);
    EXPECT_EQ(cam->uvc().calls(), 5u * kRounds + 2);
}

}  // namespace
}  // namespace TVR
