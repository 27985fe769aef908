#include <gtest/gtest.h>

#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/consoles/console_sensor_model.h"
#include "tools/consoles/registers_overview_model.h"

namespace TVR::PanelTest {

TEST(RegistersOverviewModel, SnapshotThenScriptMarksTheChanges) {
    CameraRig rig;
    RegistersOverviewModel overview(rig.store, *rig.sensor);
    ConsoleSensorModel console(rig.store, *rig.sensor);
    console.finishInitialisation();
    rig.firmware->setSensorRegister(0x5001, 0x10);
    rig.firmware->setSensorRegister(0x5002, 0x20);

    const OverviewRead snap = overview.fullSnapshot();
    EXPECT_EQ(snap.read, RegistersOverviewModel::kRegisterCount);
    EXPECT_EQ(snap.failed, 0u);
    EXPECT_EQ(overview.listText(true), "");
    EXPECT_EQ(overview.saved(0x5001), 0x10);
    const std::string full = overview.listText(false);
    EXPECT_NE(full.find("0x5002\t0x20\t0x20\r\n"), std::string::npos);
    EXPECT_EQ(full.find("CHANGED"), std::string::npos);

    ASSERT_TRUE(
        console.runScript(parseConsoleScript("0x5001 0x11 0x5002 0x20 0x6000 0x77", 10), false));
    EXPECT_EQ(overview.refreshRange("0x5000", "0x500F", 10).read, 16u);
    EXPECT_EQ(overview.listText(true), "0x5001\t0x10\t0x11\t<-- +++CHANGED+++\r\n");
    // 0x6000 lies outside the refreshed range: not seen yet.
    EXPECT_FALSE(overview.changed(0x6000));
    overview.refreshLines(0x6000, 1);
    EXPECT_TRUE(overview.changed(0x6000));
    EXPECT_EQ(overview.listText(true),
              "0x5001\t0x10\t0x11\t<-- +++CHANGED+++\r\n"
              "0x6000\t0x00\t0x77\t<-- +++CHANGED+++\r\n");

    // A new snapshot takes the changes in.
    overview.fullSnapshot();
    EXPECT_EQ(overview.listText(true), "");
}

TEST(RegistersOverviewModel, RangesEndAndUnreadRegistersShowAsSuch) {
    CameraRig rig;
    RegistersOverviewModel overview(rig.store, *rig.sensor);
    rig.firmware->setSensorRegister(0x7FFF, 0x42);
    EXPECT_TRUE(overview.complete());
    EXPECT_EQ(overview.current(0), RegistersOverviewModel::kUnread);
    // An end of 0xFFFF ends; addresses from 0x8000 on are read but kept nowhere.
    EXPECT_EQ(overview.refreshRange("0xFFFE", "0xFFFF", 10).read, 2u);
    EXPECT_EQ(overview.refreshRange("0x7FFF", "0x8001", 10).read, 3u);
    EXPECT_EQ(overview.current(0x7FFF), 0x42);
    EXPECT_EQ(overview.listText(true), "0x7FFF\t--\t0x42\t<-- +++CHANGED+++\r\n");
    // The first above the last reads nothing.
    rig.simCamera->clearRequests();
    EXPECT_EQ(overview.refreshRange(0x10, 0x0F).read, 0u);
    EXPECT_TRUE(rig.simCamera->requests().empty());
    EXPECT_EQ(overview.refreshLines(0x7FFF, 50).read, 1u);

    // A failed read is shown as unread, never as a value.
    Sim::SimFaults faults;
    faults.failAfter = 0;
    rig.simCamera->setFaults(faults);
    const OverviewRead r = overview.refreshRange(0x7FFF, 0x7FFF);
    EXPECT_EQ(r.failed, 1u);
    EXPECT_EQ(overview.current(0x7FFF), RegistersOverviewModel::kUnread);
    EXPECT_EQ(overview.listText(true), "");

    EXPECT_EQ(RegistersOverviewModel::visibleLines(6 + 13 * 10 + 5), 10u);
    EXPECT_EQ(RegistersOverviewModel::visibleLines(3), 0u);
}

}  // namespace TVR::PanelTest
