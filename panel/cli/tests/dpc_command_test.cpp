#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "protocol/vendor_requests.h"
#include "sim/sim_firmware.h"

namespace TVR::Cli {
namespace {

using Firmwares = std::vector<std::shared_ptr<Sim::SimCameraFirmware>>;

TEST(DpcCalibrateCommand, SearchEndsByItselfWithOneLinePerStep) {
    Firmwares cams;
    const CliRun r = runCliKeeping({"--simulate", "dpc-calibrate"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto lines = outputLines(r.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "Threshold 128: 1099 pixels (range 0..128)");
    EXPECT_EQ(lines.back(), "The threshold is now set at 86 with 4083 detected pixels");
    // Bisection over 0..255: a handful of steps.
    EXPECT_LE(lines.size(), 11u);
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kDpcThresholdLow), 86);
}

TEST(DpcCalibrateCommand, OnlyTheHighestThresholdFits) {
    Firmwares cams;
    const CliRun r = runCliKeeping({"--simulate", "dpc-calibrate"}, "dpc_fit=255", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "Threshold 255: 4094 pixels (range 255..255)");
    EXPECT_EQ(lines.back(), "The threshold is now set at 255 with 4094 detected pixels");
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kDpcThresholdLow), 255);
}

TEST(DpcCalibrateCommand, NoFittingThresholdFailsAndLeaves255) {
    Firmwares cams;
    const CliRun r = runCliKeeping({"--simulate", "dpc-calibrate"}, "dpc_fit=256", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("No threshold gives fewer than 4095 detected pixels"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("The threshold is now set"), std::string::npos);
    EXPECT_EQ(outputLines(r.out).back(), "Threshold 255: 4095 pixels (range 255..255)");
    // Never wrapped round to 0.
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kDpcThresholdLow), 255);
}

TEST(DpcCalibrateCommand, ManualRunReportsTheCount) {
    Firmwares cams;
    const CliRun r =
        runCliKeeping({"--simulate", "dpc-calibrate", "--manual", "120"}, "dpc_fit=100", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "The threshold is now set at 120 with 3774 detected pixels\n");
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kDpcThresholdLow), 120);
    EXPECT_EQ(cams[0]->dpcRuns(), 1u);
}

TEST(DpcCalibrateCommand, ManualRunWithoutACountEndsOnItsTimeOut) {
    const CliRun r =
        runCliWith({"--simulate", "dpc-calibrate", "--manual", "100"}, "dpc_ms=600000");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("no pixel count for the threshold 100"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST(DpcCalibrateCommand, BadArgumentsAndMissingCameras) {
    EXPECT_EQ(runCliWith({"--simulate", "dpc-calibrate", "--manual", "256"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "dpc-calibrate", "--manual"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "dpc-calibrate", "fast"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "dpc-calibrate"}, "cameras=0").rc, kExitCamera);
}

}  // namespace
}  // namespace TVR::Cli
