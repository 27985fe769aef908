#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "sensor/img_sensor.h"
#include "session_test_helpers.h"
#include "sim/sim_camera.h"
#include "sim/sim_driver.h"
#include "usb/usb_device.h"

namespace TVR::SessionTest {
namespace {

TEST(CameraSessionDevices, ChangesReachSubscribersUntilTheyUnsubscribe) {
    SessionRig rig("cameras=2");
    CameraSession& s = *rig.session;
    std::atomic<int> calls{0};
    const int token = s.subscribeDeviceChanges([&] { ++calls; });
    ASSERT_GE(token, 0);
    rig.driver->unplug(rig.cameras[1]);
    rig.driver->plug(rig.cameras[1]);
    EXPECT_EQ(calls.load(), 2);

    s.unsubscribeDeviceChanges(token);
    rig.driver->unplug(rig.cameras[1]);
    EXPECT_EQ(calls.load(), 2);
    s.unsubscribeDeviceChanges(token);  // a second time changes nothing
}

TEST(CameraSessionDevices, NoChangeArrivesOnceUnsubscribeReturned) {
    SessionRig rig("cameras=2");
    CameraSession& s = *rig.session;
    std::atomic<bool> unsubscribed{false};
    std::atomic<int> late{0};
    std::atomic<int> calls{0};
    const int token = s.subscribeDeviceChanges([&] {
        ++calls;
        if (unsubscribed.load()) ++late;
    });
    ASSERT_GE(token, 0);
    // The driver calls from the plugging thread; the window unsubscribes meanwhile.
    std::atomic<bool> stop{false};
    std::thread plugging([&] {
        while (!stop.load()) {
            rig.driver->unplug(rig.cameras[1]);
            rig.driver->plug(rig.cameras[1]);
        }
    });
    while (calls.load() < 20) std::this_thread::yield();
    s.unsubscribeDeviceChanges(token);
    unsubscribed = true;
    const int before = calls.load();
    for (int i = 0; i < 20; ++i) std::this_thread::yield();
    stop = true;
    plugging.join();
    EXPECT_EQ(late.load(), 0);
    EXPECT_EQ(calls.load(), before);
}

TEST(CameraSessionDevices, ASessionGoneCallsNoSubscriberOfABorrowedDriver) {
    auto sim = std::make_unique<Sim::SimDriver>();
    const auto cam = sim->addCamera();
    Backends backends;
    backends.usb = std::move(sim);
    auto& driver = static_cast<Sim::SimDriver&>(*backends.usb);
    ApiLog log;
    RecordingPrompter prompter;
    int calls = 0;
    {
        CameraSession s(backends, log, prompter);
        ASSERT_GE(s.subscribeDeviceChanges([&] { ++calls; }), 0);
        driver.unplug(cam);
        EXPECT_EQ(calls, 1);
    }
    driver.plug(cam);
    EXPECT_EQ(calls, 1);
}

TEST(CameraSessionDevices, TheListDescribesTheOpenCameraWithoutOpeningItAgain) {
    SessionRig rig("cameras=2");
    CameraSession& s = *rig.session;
    ASSERT_TRUE(s.connected());
    rig.cameras[0]->clearRequests();
    rig.cameras[1]->clearRequests();
    const size_t before = rig.log.firstMessageIndex() + rig.log.messageCount();

    const std::vector<DeviceEntry> entries = s.listDevices();
    ASSERT_EQ(entries.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const std::string path = rig.driver->pathOf(*rig.cameras[i]);
        EXPECT_EQ(entries[i], (DeviceEntry{static_cast<uint8_t>(i), true,
                                           fmt::format("Device #{} (Tavro Brisco camera @{})", i,
                                                       pathSuffixNumber(path)),
                                           path}));
    }
    // The open camera stays open and untouched; the other was opened to be described.
    EXPECT_TRUE(s.connected());
    EXPECT_EQ(s.openIdentity(), rig.driver->pathOf(*rig.cameras[0]));
    EXPECT_TRUE(rig.cameras[0]->requests().empty());
    EXPECT_FALSE(rig.cameras[1]->requests().empty());
    std::vector<std::string> lines;
    for (size_t i = before; i < rig.log.firstMessageIndex() + rig.log.messageCount(); ++i) {
        if (auto m = rig.log.message(i)) lines.push_back(m->text);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"Reading device# 0's status",
                                               "Reading device# 1's status"}));

    // One camera is named by its description alone, also when it is not open.
    SessionRig single("");
    single.session->camera().close();
    EXPECT_EQ(single.session->openIdentity(), "");
    const auto alone = single.session->listDevices();
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0].text, "Tavro Brisco camera");
    EXPECT_TRUE(alone[0].online);
}

TEST(CameraSessionDevices, AChosenCameraThatDoesNotOpenIsNotSwappedForTheOneBefore) {
    SessionRig rig("");
    Sim::SimCameraConfig broken;
    broken.openFails = true;
    rig.driver->addCamera(broken);
    CameraSession& s = *rig.session;
    ASSERT_TRUE(s.connected());

    const auto entries = s.listDevices();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(entries[1].online);
    EXPECT_EQ(entries[1].text, "Offline/malfunctioning (expect long timeouts if selected!)");

    EXPECT_FALSE(s.selectDevice(1));
    // Plug tracking looks for the chosen camera, which still does not open.
    EXPECT_EQ(s.checkPlugged(), PlugChange::None);
    EXPECT_FALSE(s.connected());
    EXPECT_EQ(s.openIdentity(), "");
}

}  // namespace
}  // namespace TVR::SessionTest
