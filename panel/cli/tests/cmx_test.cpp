#include <gtest/gtest.h>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli/cmx_command.h"
#include "cli_test_helpers.h"
#include "sim/sim_firmware.h"

namespace TVR::Cli {
namespace {

constexpr uint8_t kCliMatrixBase = 0xD0;
using CmxFirmwares = std::vector<std::shared_ptr<Sim::SimCameraFirmware>>;

}  // namespace

TEST(CmxSet, RowsOrNineNumbersWithinTheCamerasRange) {
    const auto rows = parseCmxSet("1 2 3; 4 5 6; 7 8 -9.5");
    ASSERT_TRUE(rows.matrix.has_value()) << rows.error;
    EXPECT_EQ(*rows.matrix, (CmxMatrix{1, 2, 3, 4, 5, 6, 7, 8, -9.5f}));
    const auto flat = parseCmxSet("1 0 0 0 1 0 0 0 1");
    ASSERT_TRUE(flat.matrix.has_value()) << flat.error;

    for (const char* bad : {"1 2 3; 4 5 6 7; 8 9", "1 2 3; 4 5 6", "1 2 3; 4 5 6; 7 8 9;",
                            "1 2 3; 4 5 6; 7 8 9; 1 2 3", "1 2 3 4 5 6 7 8", "1 2 3; 4 x 6; 7 8 9",
                            "1 0 0 0 1 0 0 0 64", "-64.5 0 0 0 1 0 0 0 1", "", ";;"}) {
        const auto r = parseCmxSet(bad);
        EXPECT_FALSE(r.matrix.has_value()) << bad;
        EXPECT_FALSE(r.error.empty()) << bad;
    }
}

TEST(CmxCommand, PrintsSetsAndPresets) {
    CmxFirmwares cams;
    CliRun r = runCliKeeping({"--simulate", "cmx"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "1.00000\t0.00000\t0.00000\n0.00000\t1.00000\t0.00000\n0.00000\t0.00000\t1.00000\n");

    r = runCliKeeping({"--simulate", "cmx", "--set", "1.25390625 -0.25 0; 0 1 0; 0 0 1"},
                      "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase), 130);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 1), 2);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 2), 128);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 3), 0xFF);
    EXPECT_EQ(r.out.substr(0, 25), "1.25391\t-0.25000\t0.00000\n");

    r = runCliKeeping({"--simulate", "cmx", "--preset=default"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 2), 97);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 3), 0xFF);
    EXPECT_EQ(r.out.substr(0, 26), "1.25195\t-0.31055\t-0.00586\n");
}

TEST(CmxCommand, RefusalsSendNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"cmx", "--set", "1 0 0 0 1 0 0 0 100"},
             {"cmx", "--set", "1 2 3"},
             {"cmx", "--preset", "Vivid"},
             {"cmx", "--preset"},
             {"cmx", "--preset", "Sepia", "--set", "1 0 0 0 1 0 0 0 1"},
             {"cmx", "identity"}}) {
        CmxFirmwares cams;
        const CliRun r = runCliKeeping(
            [&] {
                std::vector<std::string> full{"--simulate"};
                full.insert(full.end(), args.begin(), args.end());
                return full;
            }(),
            "cameras=1", cams);
        EXPECT_EQ(r.rc, kExitUsage) << fmt::format("{}", fmt::join(args, " "));
        EXPECT_TRUE(r.out.empty());
        // Refused before the simulated cameras were even made.
        EXPECT_TRUE(cams.empty());
    }
}

TEST(CmxCommand, OldFirmwareAndFailingCamerasFail) {
    CmxFirmwares cams;
    CliRun r = runCliKeeping({"--simulate", "cmx", "--preset", "Sepia"}, "cameras=1;fx3=56", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("needs build 57"), std::string::npos) << r.err;
    EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase + 1), 2);

    for (const char* fault : {"fail_after", "unplug_after"}) {
        int failures = 0;
        for (int n = 0; n <= 120; n += 6) {
            SCOPED_TRACE(fmt::format("{}={}", fault, n));
            r = runCliKeeping({"--simulate", "cmx", "--preset", "Greyscale"},
                              fmt::format("cameras=1;{}={}", fault, n), cams);
            if (r.rc == kExitOk) {
                // 0.289 is held as 147 / 512.
                EXPECT_EQ(cams[0]->fpgaRegister(kCliMatrixBase), 0x93);
                EXPECT_EQ(r.out.substr(0, 7), "0.28711");
            } else {
                ++failures;
                EXPECT_EQ(r.rc, kExitCamera);
                EXPECT_TRUE(r.out.empty()) << r.out;
            }
        }
        EXPECT_GT(failures, 3) << fault;
    }
}

}  // namespace TVR::Cli
