#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "sensor/img_sensor.h"
#include "session/camera_session.h"
#include "session/tests/session_test_helpers.h"
#include "shell/device_list_model.h"
#include "sim/sim_camera.h"
#include "usb/usb_device.h"

namespace TVR::PanelTest {

namespace {

using SessionTest::SessionRig;

// The session's log from a mark on.
struct LogMark {
    explicit LogMark(const ApiLog& log)
        : log(log), mark(log.firstMessageIndex() + log.messageCount()) {}
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (size_t i = mark; i < log.firstMessageIndex() + log.messageCount(); ++i) {
            if (auto m = log.message(i)) out.push_back(m->text);
        }
        return out;
    }
    const ApiLog& log;
    size_t mark;
};

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::string numberedText(Sim::SimDriver& driver, const Sim::SimCamera& cam, int index) {
    return fmt::format("Device #{} (Tavro Brisco camera @{})", index,
                       pathSuffixNumber(driver.pathOf(cam)));
}

}  // namespace

TEST(DeviceListModel, EntriesNameSeveralCamerasByNumberAndOneByItsDescription) {
    SessionRig rig("cameras=2");
    const auto& cams = rig.cameras;
    DeviceListModel list(*rig.session);
    const LogMark mark(rig.log);
    list.setupDeviceList();
    const auto& entries = list.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (DeviceEntry{0, true, numberedText(*rig.driver, *cams[0], 0),
                                       rig.driver->pathOf(*cams[0])}));
    EXPECT_EQ(entries[1], (DeviceEntry{1, true, numberedText(*rig.driver, *cams[1], 1),
                                       rig.driver->pathOf(*cams[1])}));
    const auto lines = mark.lines();
    EXPECT_TRUE(contains(lines, "Reading device# 0's status"));
    EXPECT_TRUE(contains(lines, "Reading device# 1's status"));

    SessionRig single("");
    DeviceListModel one(*single.session);
    one.setupDeviceList();
    ASSERT_EQ(one.entries().size(), 1u);
    EXPECT_EQ(one.entries()[0].text, "Tavro Brisco camera");
}

TEST(DeviceListModel, ACameraThatDoesNotOpenIsListedOfflineAndCannotBeUsed) {
    SessionRig rig("");
    Sim::SimCameraConfig broken;
    broken.openFails = true;
    rig.driver->addCamera(broken);
    CameraSession& session = *rig.session;

    DeviceListModel list(session);
    const DeviceListRebuild r = list.setupDeviceList();
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_TRUE(list.entries()[0].online);
    EXPECT_FALSE(list.entries()[1].online);
    EXPECT_EQ(list.entries()[1].text, "Offline/malfunctioning (expect long timeouts if selected!)");
    EXPECT_TRUE(list.entries()[1].identity.empty());
    EXPECT_EQ(r.selection, 0u);

    const LogMark mark(rig.log);
    list.select(1);
    EXPECT_FALSE(list.openSelection());
    EXPECT_FALSE(session.connected());
    const auto lines = mark.lines();
    EXPECT_TRUE(contains(lines, "Opening device# 1 and reading its status"));
    EXPECT_TRUE(contains(lines,
                         "That device is offline/mulfunctioning (or the control port is "
                         "wrong?), you can't use it"));

    list.select(0);
    EXPECT_TRUE(list.openSelection());
    EXPECT_TRUE(session.connected());
    EXPECT_EQ(session.openIdentity(), list.entries()[0].identity);
}

TEST(DeviceListModel, RebuildKeepsTheSelectedCameraOrReportsItsLoss) {
    SessionRig rig("cameras=3");
    const auto& cams = rig.cameras;
    DeviceListModel list(*rig.session);

    std::vector<std::string> steps;
    DeviceListRebuild r =
        list.setupDeviceList([&](std::string_view name, const std::function<void()>& step) {
            steps.emplace_back(name);
            step();
        });
    EXPECT_EQ(steps, std::vector<std::string>{"Enumerating system devices..."});
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.selection, 0u);
    EXPECT_TRUE(r.selectionChanged);  // the first build always opens a camera
    EXPECT_TRUE(r.lostWarning.empty());

    // The selected camera moves from index 2 to 1 when the first one leaves: still selected.
    list.select(2);
    rig.driver->unplug(cams[0]);
    r = list.setupDeviceList();
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(r.selection, 1u);
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_TRUE(r.lostWarning.empty());

    // Unplugging it while another camera stays selects the first online one and says so.
    const std::string lostText = list.entries()[1].text;
    rig.driver->unplug(cams[2]);
    const LogMark mark(rig.log);
    r = list.setupDeviceList();
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries()[0].text, "Tavro Brisco camera");
    EXPECT_EQ(r.selection, 0u);
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_EQ(r.lostWarning, "Lost currently selected device named\n[" + lostText + "]");
    EXPECT_TRUE(contains(mark.lines(), r.lostWarning));
    EXPECT_EQ(list.entries()[0].identity, rig.driver->pathOf(*cams[1]));
}

TEST(DeviceListModel, WithNothingSelectedTheCameraTheSessionHasOpenStaysSelected) {
    SessionRig rig("cameras=3");
    ASSERT_TRUE(rig.session->selectDevice(2));
    DeviceListModel list(*rig.session);
    const DeviceListRebuild r = list.setupDeviceList();
    EXPECT_EQ(r.selection, 2u);
    EXPECT_TRUE(r.selectionChanged);  // the page still opens it and reads it
    EXPECT_TRUE(r.lostWarning.empty());

    // Without an open camera the first online one is chosen.
    rig.session->camera().close();
    DeviceListModel fresh(*rig.session);
    EXPECT_EQ(fresh.setupDeviceList().selection, 0u);
}

TEST(DeviceListModel, NoCameraSelectsNothingAndLogsIt) {
    SessionRig rig("cameras=0");
    DeviceListModel list(*rig.session);
    const LogMark mark(rig.log);
    const DeviceListRebuild r = list.setupDeviceList();
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(r.selection.has_value());
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_TRUE(r.lostWarning.empty());
    EXPECT_TRUE(contains(mark.lines(), "No cameras are currently available"));
    EXPECT_FALSE(list.openSelection());

    // Out-of-list choices select nothing.
    list.select(4);
    EXPECT_FALSE(list.selection().has_value());
}

TEST(DeviceListModel, ASecondRebuildWhileOneRunsIsDropped) {
    SessionRig rig("cameras=2");
    DeviceListModel list(*rig.session);
    {
        DeviceListModel::RebuildGuard running;
        ASSERT_TRUE(running.owns());
        EXPECT_TRUE(DeviceListModel::rebuildUnderWay());
        DeviceListModel::RebuildGuard second;
        EXPECT_FALSE(second.owns());
        const DeviceListRebuild r = list.setupDeviceList();
        EXPECT_FALSE(r.ran);
        EXPECT_TRUE(list.entries().empty());
    }
    EXPECT_FALSE(DeviceListModel::rebuildUnderWay());
    EXPECT_TRUE(list.setupDeviceList().ran);
    EXPECT_EQ(list.entries().size(), 2u);
    EXPECT_FALSE(DeviceListModel::rebuildUnderWay());
}

TEST(DeviceListModel, DeviceChangesCountOnlyWhileTrackingAndNotSuspended) {
    SessionRig rig("");
    DeviceListModel list(*rig.session);
    list.setupDeviceList();
    EXPECT_FALSE(list.deviceChangeStartsTimer());
    list.setTracking(true);
    EXPECT_TRUE(list.deviceChangeStartsTimer());
    list.setSuspended(true);
    EXPECT_FALSE(list.deviceChangeStartsTimer());
    list.setSuspended(false);

    EXPECT_FALSE(list.countChanged());
    const auto second = rig.driver->addCamera();
    EXPECT_TRUE(list.countChanged());
    rig.driver->unplug(second);
    EXPECT_FALSE(list.countChanged());
}

}  // namespace TVR::PanelTest
