#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "protocol/uvc_property_ids.h"
#include "sensor/img_sensor.h"
#include "session_test_helpers.h"
#include "settings/settings_store.h"
#include "sim/sim_camera.h"
#include "sim/sim_driver.h"
#include "sim/sim_uvc.h"
#include "test_support.h"
#include "video/uvc_properties.h"

namespace TVR::SessionTest {
namespace {

// Values a user changed away from the camera's power-up state, pushed to the camera.
constexpr int kExposure = 4321;
constexpr int kLedRed = 0x5A;

SettingsStore::Values pushUserValues(CameraSession& s) {
    EXPECT_TRUE(s.readAll());
    s.store().setDecimal("OV_EXPOSURE", kExposure);
    s.store().setHex("LED_R", kLedRed);
    EXPECT_TRUE(s.pushAll());
    EXPECT_TRUE(s.readAll());
    return s.store().values();
}

// What the camera holds now, read into the store.
SettingsStore::Values cameraValues(CameraSession& s) {
    EXPECT_TRUE(s.readAll());
    return s.store().values();
}

TEST(CameraSessionReapply, ACameraPluggedBackGetsTheStoreAgainOnce) {
    SessionRig rig("cameras=1");
    CameraSession& s = *rig.session;
    s.setReapplyOnReturn(true);
    const auto before = pushUserValues(s);
    const std::string port = s.selectedLocation();

    rig.driver->unplug(rig.cameras[0]);
    EXPECT_EQ(s.cameraState(), CameraState::Lost);
    EXPECT_EQ(s.checkPlugged(), PlugChange::Lost);
    EXPECT_EQ(s.cameraState(), CameraState::None);
    // A read while it is away fails and empties the store; what was kept is not lost with it.
    EXPECT_FALSE(s.readAll());
    EXPECT_EQ(s.checkPlugged(), PlugChange::None);

    rig.driver->plug(rig.cameras[0]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::Back);
    EXPECT_TRUE(s.lastReapply()) << s.lastReapply().message;
    EXPECT_EQ(s.lastReapply().message, fmt::format(kReappliedText, port));
    EXPECT_EQ(s.cameraState(), CameraState::Ready);
    EXPECT_EQ(cameraValues(s), before);
    // Once: a further check with the camera in place pushes nothing.
    const uint64_t requests = s.camera().failedRequests();
    EXPECT_EQ(s.checkPlugged(), PlugChange::None);
    EXPECT_EQ(s.camera().failedRequests(), requests);
}

TEST(CameraSessionReapply, WithoutThePreferenceTheCameraKeepsItsPowerUpValues) {
    SessionRig rig("cameras=1");
    CameraSession& s = *rig.session;
    const auto before = pushUserValues(s);
    rig.driver->unplug(rig.cameras[0]);
    rig.driver->plug(rig.cameras[0]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::Back);
    EXPECT_TRUE(s.lastReapply().message.empty());
    const auto after = cameraValues(s);
    // The camera came back with its own values: the re-apply above is what restores them.
    EXPECT_NE(after, before);
    EXPECT_NE(s.store().getInt("OV_EXPOSURE"), kExposure);
}

TEST(CameraSessionReapply, AResetCameraIsFollowedThroughItsReturnAndGetsTheStore) {
    SessionRig rig("cameras=1;reset_ms=5");
    CameraSession& s = *rig.session;
    s.setReapplyOnReturn(true);
    const auto before = pushUserValues(s);
    ASSERT_TRUE(s.resetDevice(false));
    // The camera leaves (the driver says so on its own thread) and stays lost until checked;
    // whether it is back by the time the check runs, the handle opened before is dead and the
    // camera is opened again at its port.
    ASSERT_TRUE(TestSupport::eventually([&] { return s.cameraState() == CameraState::Lost; }));
    ASSERT_TRUE(TestSupport::eventually([&] { return s.deviceCount() == 1; }));
    PlugChange change = s.checkPlugged();
    if (change == PlugChange::Lost) {
        ASSERT_TRUE(TestSupport::eventually([&] { return s.deviceCount() == 1; }));
        change = s.checkPlugged();
    }
    ASSERT_EQ(change, PlugChange::Back);
    EXPECT_TRUE(s.lastReapply()) << s.lastReapply().message;
    EXPECT_EQ(cameraValues(s), before);
}

TEST(CameraSessionReapply, AFailingCameraIsNotReadyUntilATransferComesThrough) {
    SessionRig rig("cameras=1");
    CameraSession& s = *rig.session;
    ASSERT_TRUE(s.readAll());
    EXPECT_EQ(s.cameraState(), CameraState::Ready);
    Sim::SimFaults failing;
    failing.failAfter = 0;
    rig.cameras[0]->setFaults(failing);
    EXPECT_FALSE(s.readAll());
    EXPECT_EQ(s.cameraState(), CameraState::Failing);
    EXPECT_FALSE(s.cameraUsable());
    rig.cameras[0]->setFaults({});
    EXPECT_TRUE(s.readAll());
    EXPECT_EQ(s.cameraState(), CameraState::Ready);
}

TEST(CameraSessionToggles, ManualWhiteBalanceTakesTheNearestSettingTheCameraAllows) {
    SessionRig rig("cameras=1");
    CameraSession& s = *rig.session;
    Sim::SimUvcState& uvc = rig.cameras[0]->uvc();
    // The camera's range starts above the documented 2000 K.
    const auto range = uvc.property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance);
    ASSERT_TRUE(range);
    ASSERT_GT(range->min, 2000);
    ASSERT_TRUE(s.menuState().autoWhiteBalance.checked);

    ASSERT_TRUE(s.toggleAutoWhiteBalance(true));
    auto now = uvc.property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance);
    ASSERT_TRUE(now);
    EXPECT_EQ(now->value, range->min);
    EXPECT_EQ(now->flags, kUvcFlagManual);
    EXPECT_FALSE(s.menuState().autoWhiteBalance.checked);

    ASSERT_TRUE(s.toggleAutoWhiteBalance(false));
    now = uvc.property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance);
    EXPECT_EQ(now->flags, kUvcFlagAuto);
    EXPECT_TRUE(s.menuState().autoWhiteBalance.checked);
}

}  // namespace
}  // namespace TVR::SessionTest
