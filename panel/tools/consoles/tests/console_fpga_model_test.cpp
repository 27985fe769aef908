#include <fmt/format.h>
#include <gtest/gtest.h>

#include "console_commands.h"
#include "protocol/vendor_requests.h"
#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/consoles/console_fpga_model.h"

namespace TVR::PanelTest {

namespace {

constexpr size_t kRowBootLoaderCheck = 0;
constexpr size_t kRowSwitchToBootLoader = 1;
constexpr size_t kRowFx3Version = 2;
constexpr size_t kRowFpgaBridge = 4;
constexpr size_t kRowDpc = 10;
constexpr size_t kRowManualRead = 11;

const Sim::SimRequestRecord* lastControl(const Sim::SimCamera& camera,
                                         std::vector<Sim::SimRequestRecord>& keep) {
    keep = camera.requests();
    for (auto it = keep.rbegin(); it != keep.rend(); ++it) {
        if (it->kind == Sim::SimRequestRecord::Kind::Control) return &*it;
    }
    return nullptr;
}

}  // namespace

TEST(ConsoleFpgaModel, RowsFillTheFields) {
    const FpgaConsoleRow danger = ConsoleFpgaModel::row(kRowSwitchToBootLoader);
    EXPECT_TRUE(danger.dangerous);
    EXPECT_EQ(danger.description.rfind("  ----- DANGER ZONE! -----\r\n\r\nAny write", 0), 0u);
    EXPECT_EQ(danger.request, "0xAA");
    EXPECT_EQ(danger.length, "0");
    EXPECT_FALSE(danger.freeRequest);

    const FpgaConsoleRow version = ConsoleFpgaModel::row(kRowFx3Version);
    EXPECT_FALSE(version.dangerous);
    EXPECT_EQ(version.description, "Detailed version info for FX3");
    EXPECT_EQ(version.length, "4");
    EXPECT_TRUE(ConsoleFpgaModel::row(kRowManualRead).freeRequest);
    EXPECT_TRUE(ConsoleFpgaModel::row(12).freeRequest);
    EXPECT_EQ(ConsoleFpgaModel::row(999).request, "0xFF");  // clamped to the last row

    EXPECT_TRUE(ConsoleFpgaModel::asksBeforeRun(kRowSwitchToBootLoader, true));
    EXPECT_FALSE(ConsoleFpgaModel::asksBeforeRun(kRowSwitchToBootLoader, false));
    EXPECT_FALSE(ConsoleFpgaModel::asksBeforeRun(kRowFx3Version, true));
}

TEST(ConsoleFpgaModel, RunSendsTheRequestAndShowsTheBytes) {
    CameraRig rig;
    ConsoleFpgaModel model(rig.store, *rig.sensor);
    std::vector<Sim::SimRequestRecord> keep;

    // Empty value with length 0: a read of one byte.
    rig.firmware->setFpgaRegister(0x21, 0x5C);
    FpgaConsoleRun r = model.run(kRowFpgaBridge, "0xA4", "", "0x21", "0", 10);
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(r.output, "true (success)\r\n0x5C ");
    const auto* req = lastControl(*rig.simCamera, keep);
    ASSERT_NE(req, nullptr);
    EXPECT_TRUE(req->setup.isIn());
    EXPECT_EQ(req->setup.wLength, 1);

    // A value makes it a write of the value to the index.
    r = model.run(kRowFpgaBridge, "0xA4", "0x33", "0x21", "1", 10);
    EXPECT_EQ(r.output, "true (success)\r\n");
    EXPECT_EQ(rig.firmware->fpgaRegister(0x21), 0x33);

    // The FX3 version, four bytes.
    r = model.run(kRowFx3Version, "0xAB", "", "0", "4", 10);
    const uint32_t word = rig.firmware->fx3Version();
    EXPECT_EQ(r.output,
              fmt::format("true (success)\r\n0x{:02X} 0x{:02X} 0x{:02X} 0x{:02X} ", word & 0xFF,
                          (word >> 8) & 0xFF, (word >> 16) & 0xFF, word >> 24));
}

TEST(ConsoleFpgaModel, OutOfRangeIsRefusedAndFailuresShowNoBytes) {
    CameraRig rig;
    ConsoleFpgaModel model(rig.store, *rig.sensor);
    rig.simCamera->clearRequests();
    FpgaConsoleRun r = model.run(kRowDpc, "0xA2", "256", "0", "0", 10);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(r.errorText, "Specified value is outside accepted range for this command");
    EXPECT_EQ(r.errorTitle, "Error");
    EXPECT_TRUE(rig.simCamera->requests().empty());

    // An unknown request is stalled by the camera; the zeroed buffer is not shown.
    r = model.run(kRowManualRead, "0x77", "", "0", "4", 10);
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(r.output, "false (failure)\r\n");

    rig.sensor->close();
    r = model.run(kRowBootLoaderCheck, "0xA0", "", "0", "1", 10);
    EXPECT_EQ(r.output, "false (failure)\r\n");
}

}  // namespace TVR::PanelTest
