#include <gtest/gtest.h>

#include <regex>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "protocol/vendor_requests.h"
#include "sim/sim_firmware.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

using Firmwares = std::vector<std::shared_ptr<Sim::SimCameraFirmware>>;

// Settings files read from the simulated camera, each with its own red LED level.
struct DemoFiles {
    DemoFiles() {
        const std::string saved = dir.file("saved.qcf");
        const CliRun r = runCliWith({"--simulate", "read", "-o", saved});
        EXPECT_EQ(r.rc, kExitOk) << r.err;
        const std::string text = TestSupport::readBytes(saved);
        EXPECT_NE(text.find("H.LED_R="), std::string::npos);
        const std::regex led("H\\.LED_R=[^\\r\\n]*");
        TestSupport::writeBytes(a, std::regex_replace(text, led, "H.LED_R=0x21"));
        TestSupport::writeBytes(b, std::regex_replace(text, led, "H.LED_R=0x42"));
    }
    TestSupport::TempFolder dir;
    std::string a = dir.file("a.qcf");
    std::string b = dir.file("b.qcf");
};

TEST(DemoCommand, PlaysTheFilesInTurnForTheGivenCycles) {
    DemoFiles f;
    Firmwares cams;
    const CliRun r = runCliKeeping(
        {"--simulate", "demo", f.a, f.b, "--seconds", "0.4", "--cycles", "2"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(outputLines(r.out),
              (std::vector<std::string>{f.a + ": loaded for 0.4s", f.b + ": loaded for 0.4s",
                                        f.a + ": loaded for 0.4s", f.b + ": loaded for 0.4s"}));
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kLedRedLow), 0x42);
}

TEST(DemoCommand, AMissingFileIsReportedAndSkipped) {
    DemoFiles f;
    Firmwares cams;
    const std::string missing = f.dir.file("gone.qcf");
    const CliRun r = runCliKeeping(
        {"--simulate", "demo", f.b, missing, f.a, "--seconds", "0.4", "--cycles", "1"}, "cameras=1",
        cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find(missing + ": not loaded:"), std::string::npos) << r.err;
    EXPECT_EQ(outputLines(r.out),
              (std::vector<std::string>{f.b + ": loaded for 0.4s", f.a + ": loaded for 0.4s"}));
    EXPECT_EQ(cams[0]->fpgaRegister(FpgaReg::kLedRedLow), 0x21);
}

TEST(DemoCommand, RefusesWhatCannotBePlayed) {
    DemoFiles f;
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a, f.b, "--seconds", "0.3"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a, f.b, "--seconds", "600.5"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a, f.b, "--cycles", "0"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a, "x|y.qcf"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "demo", f.a, f.b, "--cycles", "1"}, "cameras=0").rc,
              kExitCamera);
}

}  // namespace
}  // namespace TVR::Cli
