#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "device_list_model.h"
#include "panel_test_helpers.h"
#include "sim_camera.h"
#include "usb_device.h"

namespace TVR::PanelTest {

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::string numberedText(Sim::SimDriver& driver, const Sim::SimCamera& cam, int index) {
    return fmt::format("Device #{} (Tavro Brisco camera @{})", index,
                       pathSuffixNumber(driver.pathOf(cam)));
}

}  // namespace

TEST(DeviceListModel, EntriesNameSeveralCamerasByNumberAndOneByItsDescription) {
    CameraRig rig("cameras=2");
    const auto cams = rig.driver->cameras();
    UsbDevice device(*rig.driver);
    rig.markLog();
    const auto entries = DeviceListModel::enumerate(device, rig.log);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (DeviceEntry{0, true, numberedText(*rig.driver, *cams[0], 0),
                                       rig.driver->pathOf(*cams[0])}));
    EXPECT_EQ(entries[1], (DeviceEntry{1, true, numberedText(*rig.driver, *cams[1], 1),
                                       rig.driver->pathOf(*cams[1])}));
    EXPECT_FALSE(device.isOpen());
    const auto lines = rig.newMessages();
    EXPECT_TRUE(contains(lines, "Reading device# 0's status"));
    EXPECT_TRUE(contains(lines, "Reading device# 1's status"));

    CameraRig single;
    UsbDevice one(*single.driver);
    const auto alone = DeviceListModel::enumerate(one, single.log);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0].text, "Tavro Brisco camera");
}

TEST(DeviceListModel, ACameraThatDoesNotOpenIsListedOfflineAndCannotBeUsed) {
    CameraRig rig;
    Sim::SimCameraConfig broken;
    broken.openFails = true;
    rig.driver->addCamera(broken);
    rig.sensor->close();

    DeviceListModel list(rig.log);
    UsbDevice device(*rig.driver);
    const DeviceListRebuild r = list.setupDeviceList(device);
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_TRUE(list.entries()[0].online);
    EXPECT_FALSE(list.entries()[1].online);
    EXPECT_EQ(list.entries()[1].text, "Offline/malfunctioning (expect long timeouts if selected!)");
    EXPECT_TRUE(list.entries()[1].identity.empty());
    EXPECT_EQ(r.selection, 0u);

    rig.markLog();
    list.select(1);
    EXPECT_FALSE(list.openSelection(*rig.sensor));
    EXPECT_FALSE(rig.sensor->connected());
    const auto lines = rig.newMessages();
    EXPECT_TRUE(contains(lines, "Opening device# 1 and reading its status"));
    EXPECT_TRUE(contains(lines,
                         "That device is offline/mulfunctioning (or the control port is "
                         "wrong?), you can't use it"));

    list.select(0);
    EXPECT_TRUE(list.openSelection(*rig.sensor));
    EXPECT_TRUE(rig.sensor->connected());
}

TEST(DeviceListModel, RebuildKeepsTheSelectedCameraOrReportsItsLoss) {
    CameraRig rig("cameras=3");
    const auto cams = rig.driver->cameras();
    DeviceListModel list(rig.log);

    std::vector<std::string> steps;
    UsbDevice device(*rig.driver);
    DeviceListRebuild r =
        list.setupDeviceList(device, [&](std::string_view name, const std::function<void()>& step) {
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
    r = list.setupDeviceList(device);
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(r.selection, 1u);
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_TRUE(r.lostWarning.empty());

    // Unplugging it while another camera stays selects the first online one and says so.
    const std::string lostText = list.entries()[1].text;
    rig.driver->unplug(cams[2]);
    rig.markLog();
    r = list.setupDeviceList(device);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries()[0].text, "Tavro Brisco camera");
    EXPECT_EQ(r.selection, 0u);
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_EQ(r.lostWarning, "Lost currently selected device named\n[" + lostText + "]");
    EXPECT_TRUE(contains(rig.newMessages(), r.lostWarning));
    EXPECT_EQ(list.entries()[0].identity, rig.driver->pathOf(*cams[1]));
}

TEST(DeviceListModel, NoCameraSelectsNothingAndLogsIt) {
    CameraRig rig("cameras=0");
    DeviceListModel list(rig.log);
    UsbDevice device(*rig.driver);
    rig.markLog();
    const DeviceListRebuild r = list.setupDeviceList(device);
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(r.selection.has_value());
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_TRUE(r.lostWarning.empty());
    EXPECT_TRUE(contains(rig.newMessages(), "No cameras are currently available"));
    EXPECT_FALSE(list.openSelection(*rig.sensor));

    // Out-of-list choices select nothing.
    list.select(4);
    EXPECT_FALSE(list.selection().has_value());
}

TEST(DeviceListModel, ASecondRebuildWhileOneRunsIsDropped) {
    CameraRig rig("cameras=2");
    DeviceListModel list(rig.log);
    UsbDevice device(*rig.driver);
    {
        DeviceListModel::RebuildGuard running;
        ASSERT_TRUE(running.owns());
        EXPECT_TRUE(DeviceListModel::rebuildUnderWay());
        DeviceListModel::RebuildGuard second;
        EXPECT_FALSE(second.owns());
        const DeviceListRebuild r = list.setupDeviceList(device);
        EXPECT_FALSE(r.ran);
        EXPECT_TRUE(list.entries().empty());
    }
    EXPECT_FALSE(DeviceListModel::rebuildUnderWay());
    EXPECT_TRUE(list.setupDeviceList(device).ran);
    EXPECT_EQ(list.entries().size(), 2u);
    EXPECT_FALSE(DeviceListModel::rebuildUnderWay());
}

TEST(DeviceListModel, DeviceChangesCountOnlyWhileTrackingAndNotSuspended) {
    CameraRig rig;
    DeviceListModel list(rig.log);
    UsbDevice device(*rig.driver);
    list.setupDeviceList(device);
    EXPECT_FALSE(list.deviceChangeStartsTimer());
    list.setTracking(true);
    EXPECT_TRUE(list.deviceChangeStartsTimer());
    list.setSuspended(true);
    EXPECT_FALSE(list.deviceChangeStartsTimer());
    list.setSuspended(false);

    EXPECT_FALSE(list.countChanged(*rig.driver));
    const auto second = rig.driver->addCamera();
    EXPECT_TRUE(list.countChanged(*rig.driver));
    rig.driver->unplug(second);
    EXPECT_FALSE(list.countChanged(*rig.driver));
}

}  // namespace TVR::PanelTest
