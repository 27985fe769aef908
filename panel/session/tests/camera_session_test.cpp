#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sensor/img_sensor.h"
#include "session_test_helpers.h"
#include "settings/control_catalogue.h"
#include "settings/settings_store.h"
#include "shell/tab_gains_model.h"
#include "sim/sim_camera.h"
#include "sim/sim_uvc.h"
#include "test_support.h"
#include "usb/usb_device.h"
#include "video/uvc_properties.h"

namespace TVR::SessionTest {
namespace {

std::string locationOf(SessionRig& rig, size_t camera) {
    return rig.driver->location(rig.driver->pathOf(*rig.cameras.at(camera)));
}

TEST(CameraSession, SelectionByLocationSurvivesUnplugAndReplug) {
    SessionRig rig("cameras=3");
    CameraSession& s = *rig.session;
    const std::string second = locationOf(rig, 1);
    ASSERT_TRUE(s.selectLocation(second));
    EXPECT_EQ(s.camera().device().location(), second);

    // Another camera leaving moves the indices, not the selection.
    rig.driver->unplug(rig.cameras[0]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::None);
    EXPECT_TRUE(s.connected());

    rig.driver->unplug(rig.cameras[1]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::Lost);
    EXPECT_FALSE(s.connected());
    EXPECT_EQ(s.checkPlugged(), PlugChange::None) << "lost once";

    rig.driver->plug(rig.cameras[0]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::None) << "another port came back";
    rig.driver->plug(rig.cameras[1]);
    EXPECT_EQ(s.checkPlugged(), PlugChange::Back);
    ASSERT_TRUE(s.connected());
    EXPECT_EQ(s.selectedLocation(), second);
    EXPECT_EQ(s.camera().device().location(), second);
    EXPECT_TRUE(s.readAll()) << "the camera that came back answers";

    EXPECT_FALSE(s.selectLocation("9-9.9"));
    EXPECT_FALSE(s.selectDevice(3));
}

struct MenuCase {
    const char* sim;
    CameraMenuState expected;
};

TEST(CameraSession, MenuStateFollowsTheCameraItsFirmwareAndItsCaptureSide) {
    const MenuItemState off{false, false};
    const MenuItemState automatic{true, true};
    const MenuItemState manual{true, false};
    const MenuCase cases[] = {
        {"cameras=0", {}},
        // Before build 53 no system information, before 57 no colour matrix, before 103 no SDI;
        // no firmware offers the noise reduction channels.
        {"fx3=45", {true, false, false, false, false, off, automatic, automatic}},
        {"fx3=52", {true, false, false, false, false, off, automatic, automatic}},
        {"fx3=56", {true, true, false, false, false, off, automatic, automatic}},
        {"fx3=105", {true, true, true, false, true, manual, automatic, automatic}},
        {"fx3=105;fpga=80", {true, true, true, false, true, off, automatic, automatic}},
        {"uvc=none", {true, true, true, false, true, manual, off, off}},
        {"uvc=procamp", {true, true, true, false, true, manual, off, automatic}},
    };
    for (const MenuCase& c : cases) {
        SessionRig rig(c.sim);
        const CameraMenuState m = rig.session->menuState();
        EXPECT_EQ(m.connected, c.expected.connected) << c.sim;
        EXPECT_EQ(m.sysInternals, c.expected.sysInternals) << c.sim;
        EXPECT_EQ(m.cmx, c.expected.cmx) << c.sim;
        EXPECT_EQ(m.noiseReduction, c.expected.noiseReduction) << c.sim;
        EXPECT_EQ(m.lumaVsLumaCurrent, c.expected.lumaVsLumaCurrent) << c.sim;
        EXPECT_EQ(m.sdiOutput, c.expected.sdiOutput) << c.sim;
        EXPECT_EQ(m.autoExposure, c.expected.autoExposure) << c.sim;
        EXPECT_EQ(m.autoWhiteBalance, c.expected.autoWhiteBalance) << c.sim;
    }
}

TEST(CameraSession, SdiOutputFixesTheSensorExposureWhenSwitchedOn) {
    SessionRig rig;
    CameraSession& s = *rig.session;
    IImgSensorChip& chip = s.camera().chip();
    chip.sensorValue(kValueExposure, 700);
    chip.sensorValue(kValueBlackLevel, 64);
    const uint32_t lowExposure = chip.sensorValue(kValueExposure, -1);
    Sim::SimUvcState& uvc = rig.cameras[0]->uvc();
    const uint64_t uvcCalls = uvc.calls();

    ASSERT_TRUE(s.toggleSdi(false));
    EXPECT_EQ(rig.firmware().params().paramBA, 1);
    EXPECT_EQ(s.menuState().sdiOutput, (MenuItemState{true, true}));
    // The sensor keeps its exposure in steps; 1500 lands on the step below it.
    const uint32_t exposure = chip.sensorValue(kValueExposure, -1);
    EXPECT_GT(exposure, 1400u);
    EXPECT_LE(exposure, 1500u);
    EXPECT_EQ(chip.sensorValue(kValueBlackLevel, -1), 0u);
    // The exposure and gamma properties were asked for (the simulated ranges refuse them).
    EXPECT_GE(uvc.calls(), uvcCalls + 2);

    // Switching off touches nothing else.
    chip.sensorValue(kValueExposure, 700);
    ASSERT_TRUE(s.toggleSdi(true));
    EXPECT_EQ(rig.firmware().params().paramBA, 0);
    EXPECT_EQ(s.menuState().sdiOutput, (MenuItemState{true, false}));
    EXPECT_EQ(chip.sensorValue(kValueExposure, -1), lowExposure);

    SessionRig old("fx3=56");
    const SessionResult refused = old.session->toggleSdi(false);
    EXPECT_FALSE(refused) << "firmware without the SDI channel";
    EXPECT_EQ(refused.message, "Failed to switch the SDI output");
}

TEST(CameraSession, AutomaticTogglesFlipTheUvcFlags) {
    SessionRig rig;
    CameraSession& s = *rig.session;
    ASSERT_TRUE(s.toggleAutoExposure(true));
    EXPECT_EQ(s.menuState().autoExposure, (MenuItemState{true, false}));
    ASSERT_TRUE(s.toggleAutoExposure(false));
    EXPECT_EQ(s.menuState().autoExposure, (MenuItemState{true, true}));

    // Manual white balance takes the setting nearest 2000 the property allows (see
    // CameraSessionToggles).
    ASSERT_TRUE(s.toggleAutoWhiteBalance(true));
    EXPECT_EQ(s.menuState().autoWhiteBalance, (MenuItemState{true, false}));
    ASSERT_TRUE(s.toggleAutoWhiteBalance(false));
    EXPECT_EQ(s.menuState().autoWhiteBalance, (MenuItemState{true, true}));

    SessionRig none("uvc=none");
    EXPECT_FALSE(none.session->toggleAutoExposure(false));
    EXPECT_FALSE(none.session->toggleAutoWhiteBalance(false));
}

TEST(CameraSession, HealthyCamerasReadWithoutAFailure) {
    for (const char* sim : {"sensor=OV9714", "sensor=OV9750", "sensor=OV48C40", "sensor=OV10823",
                            "fx3=45", "fx3=52;fpga=40", "uvc=none"}) {
        SessionRig rig(sim);
        const SessionResult read = rig.session->readAll();
        EXPECT_TRUE(read) << sim << ": " << read.message;
        EXPECT_TRUE(rig.session->pushAll()) << sim;
    }
}

TEST(CameraSession, EveryOwnedKeyIsReadAndLoaded) {
    TestSupport::TempFolder dir;
    SessionRig rig;
    CameraSession& s = *rig.session;
    ASSERT_TRUE(s.readAll());
    for (const char* key : {"FAKE_RAW_VIDEO", "VNR_LUMA", "VNR_CHROMA", "AFN_SETPOINT_EXP",
                            "AFN_SETPOINT_WB", "AFN_UPDATE_INTERVAL"}) {
        EXPECT_TRUE(s.store().has(key)) << key;
    }
    EXPECT_EQ(s.store().getInt("AFN_SETPOINT_EXP"), 112);

    const std::string file = dir.file("a.qcf");
    ASSERT_TRUE(s.readAndSave(file));
    const std::string text = TestSupport::readBytes(file);
    EXPECT_NE(text.find("D.AFN_SETPOINT_WB=1024\r\n"), std::string::npos) << text;

    std::string edited = text;
    edited.replace(edited.find("D.AFN_SETPOINT_EXP=112"), 22, "D.AFN_SETPOINT_EXP=77");
    edited.replace(edited.find("D.AFN_UPDATE_INTERVAL=8"), 23, "D.AFN_UPDATE_INTERVAL=30");
    TestSupport::writeBytes(file, edited);
    const LoadResult loaded = s.loadSettingsAndPush(file);
    ASSERT_EQ(loaded.outcome, LoadOutcome::Pushed) << loaded.result.message;
    EXPECT_TRUE(loaded.result) << loaded.result.message;
    EXPECT_EQ(rig.firmware().params().aeSetpoint, 77);
    EXPECT_EQ(rig.firmware().params().afnPeriod, 30);
}

// A transfer that lost its camera or whose requests failed says so, and a read writes no file.
TEST(CameraSession, EveryTransferReportsACameraThatFailsStallsOrLeaves) {
    TestSupport::TempFolder dir;
    const std::string good = dir.file("good.qcf");
    {
        SessionRig rig;
        ASSERT_TRUE(rig.session->readAndSave(good));
    }
    Sim::SimFaults fail;
    fail.failAfter = 0;
    Sim::SimFaults stall;
    stall.stallNext = 3;
    Sim::SimFaults unplug;
    unplug.unplugAfter = 0;
    for (const Sim::SimFaults& faults : {fail, stall, unplug}) {
        const std::string which = faults.failAfter == 0  ? "fail"
                                  : faults.stallNext > 0 ? "stall"
                                                         : "unplug";
        {
            SessionRig rig;
            rig.cameras[0]->setFaults(faults);
            const std::string file = dir.file(which + ".qcf");
            const SessionResult read = rig.session->readAndSave(file);
            EXPECT_FALSE(read) << which;
            EXPECT_TRUE(read.message.starts_with("Reading all values from the camera failed: "))
                << which << ": " << read.message;
            EXPECT_FALSE(std::filesystem::exists(file)) << which;
            EXPECT_EQ(read.message.find('\n'), std::string::npos);
        }
        {
            SessionRig rig;
            ASSERT_TRUE(rig.session->readAll());
            rig.cameras[0]->setFaults(faults);
            const SessionResult pushed = rig.session->pushAll();
            EXPECT_FALSE(pushed) << which;
            EXPECT_TRUE(pushed.message.starts_with("Pushing all values to the camera failed: "))
                << which << ": " << pushed.message;
        }
        {
            SessionRig rig;
            rig.cameras[0]->setFaults(faults);
            const LoadResult loaded = rig.session->loadSettingsAndPush(good);
            EXPECT_FALSE(loaded.result) << which;
        }
    }
    SessionRig rig;
    rig.cameras[0]->setFaults(unplug);
    const SessionResult read = rig.session->readAll();
    EXPECT_EQ(read.message, "Reading all values from the camera failed: the camera was lost");
}

TEST(CameraSession, ASecondBatchWaitsOrIsRefused) {
    SessionRig rig;
    CameraSession& s = *rig.session;
    EXPECT_FALSE(s.work().busy());
    std::atomic<bool> entered{false};
    std::thread other;
    {
        auto held = s.batch();
        EXPECT_TRUE(s.work().busy()) << "also for the holder: its timers must not wait for it";
        EXPECT_TRUE(s.tryBatch()) << "the holding thread may nest";
        bool refused = false;
        std::thread probe([&] { refused = !s.tryBatch(); });
        probe.join();
        EXPECT_TRUE(refused);
        other = std::thread([&] {
            auto mine = s.batch();
            entered = true;
        });
        EXPECT_FALSE(entered) << "a waiting batch does not start while the first runs";
    }
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_FALSE(s.work().busy());
}

// The "Sensor" page's auto-refresh ticks on the window thread while a batch re-opens the
// camera (which replaces its sensor chip object) on a worker. The tick runs only between
// batches, never inside one. ThreadSanitizer runs this in CI.
TEST(CameraSession, AutoRefreshDuringAReopenNeverInterleaves) {
    SessionRig rig("cameras=2");
    CameraSession& s = *rig.session;
    TabGainsModel& gains = s.models().gains();
    std::atomic<bool> done{false};
    std::atomic<int> reopened{0};
    std::thread reopen([&] {
        for (int i = 0; i < 40; ++i) {
            if (s.selectDevice(static_cast<uint8_t>(i % 2))) ++reopened;
        }
        done = true;
    });
    while (!done) {
        // The tick as the page runs it: skipped while a batch holds the camera.
        if (s.work().busy()) continue;
        if (auto batch = s.tryBatch()) gains.readState();
    }
    reopen.join();
    EXPECT_EQ(reopened, 40);
    gains.readState();
    EXPECT_TRUE(s.store().has("OV_EXPOSURE"));
    EXPECT_TRUE(s.store().has("OV_BINNING"));
}
}  // namespace
}  // namespace TVR::SessionTest
