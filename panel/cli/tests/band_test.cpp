#include <gtest/gtest.h>

#include <fmt/format.h>

#include "cli/band_command.h"
#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "sim/sim_firmware.h"
#include "tools/greenscreen/green_screen_model.h"

namespace TVR::Cli {
namespace {

constexpr uint8_t kCliBand0 = 128;
constexpr uint8_t kCliBand2 = 160;

using BandFirmwares = std::vector<std::shared_ptr<Sim::SimCameraFirmware>>;

}  // namespace

TEST(BandChanges, EveryChangeAndTheRefusals) {
    const auto all = parseBandChanges("on,hue=350/20,sat=10-200,luma=0-255,colour=#102030");
    ASSERT_TRUE(all.changes.has_value()) << all.error;
    const BandChanges& c = *all.changes;
    EXPECT_EQ(c.on, true);
    EXPECT_EQ(c.hue, 350);
    EXPECT_EQ(c.tolerance, 20);
    EXPECT_EQ(c.saturation, (std::pair{10, 200}));
    EXPECT_EQ(c.luminance, (std::pair{0, 255}));
    EXPECT_EQ(c.rgb, 0x302010u);  // red in the low byte

    ColorSubsInfo band;
    applyBandChanges(c, band);
    EXPECT_EQ(band.enabled, 1);
    EXPECT_EQ(band.satMin, 10);
    EXPECT_EQ(band.lumMax, 255);
    EXPECT_EQ(band.rgb, 0x302010u);

    const auto some = parseBandChanges("off,tol=0,color=#ffffff");
    ASSERT_TRUE(some.changes.has_value()) << some.error;
    EXPECT_EQ(some.changes->on, false);
    EXPECT_EQ(some.changes->tolerance, 0);
    EXPECT_FALSE(some.changes->hue.has_value());
    EXPECT_EQ(some.changes->rgb, 0xFFFFFFu);

    for (const char* bad : {"",
                            ",",
                            "on,",
                            "on,,off",
                            "on,off",
                            "hue=360",
                            "hue=-1",
                            "hue=12/181",
                            "hue=",
                            "hue=10/5,tol=5",
                            "sat=10",
                            "sat=1-256",
                            "sat=a-b",
                            "luma=5-",
                            "colour=00FF00",
                            "colour=#00FF0",
                            "colour=#00FF00F",
                            "colour=#GG0000",
                            "colour=#-1FF00",
                            "bright=5",
                            "on=1",
                            "hue",
                            "sat=1-2-3"}) {
        const auto r = parseBandChanges(bad);
        EXPECT_FALSE(r.changes.has_value()) << bad;
        EXPECT_FALSE(r.error.empty()) << bad;
    }
}

TEST(BandCommand, PrintsWhatTheCameraHolds) {
    BandFirmwares cams;
    CliRun r = runCliKeeping({"--simulate", "band", "2"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "band 2: off\nhue: 120 (tolerance 10)\nsaturation: 20-255\nluminance: 10-245\n"
              "colour: #00FF00\n");
}

TEST(BandCommand, SetChangesTheRegistersOfThatBandOnly) {
    BandFirmwares cams;
    CliRun r =
        runCliKeeping({"--simulate", "band", "0", "--set", "on,colour=#00FF00"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliBand0), 1);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliBand0 + 12), 0xFF);
    EXPECT_EQ(cams[0]->fpgaRegister(kCliBand0 + 10), 0);
    EXPECT_EQ(r.out.substr(0, 12), "band 0: on\nh");

    r = runCliKeeping(
        {"--simulate", "band", "2", "--set=hue=181/0,sat=200-100,luma=0-255,colour=#FF8000"},
        "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto& fw = *cams[0];
    EXPECT_EQ(
        static_cast<int16_t>(fw.fpgaRegister(kCliBand2 + 6) | fw.fpgaRegister(kCliBand2 + 7) << 8),
        -8146);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 8), 0);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 2), 200);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 3), 100);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 10), 0xFF);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 12), 0x80);
    EXPECT_EQ(fw.fpgaRegister(kCliBand2 + 14), 0);
    EXPECT_EQ(fw.fpgaRegister(kCliBand0), 0) << "band 0 keeps its power-up state";
    EXPECT_EQ(r.out,
              "band 2: off\nhue: 181 (tolerance 0)\nsaturation: 200-100\nluminance: 0-255\n"
              "colour: #FF8000\n");
}

TEST(BandCommand, UsageErrorsReachNoCamera) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"band"},
                                               {"band", "4"},
                                               {"band", "x"},
                                               {"band", "0", "--set"},
                                               {"band", "0", "--set", "purple"},
                                               {"band", "0", "--set", "on", "--set", "off"},
                                               {"band", "0", "1"}}) {
        std::vector<std::string> full{"--simulate"};
        full.insert(full.end(), args.begin(), args.end());
        // No camera at all: a usage error is found before one is looked for.
        const CliRun r = runCliWith(full, "cameras=0");
        EXPECT_EQ(r.rc, kExitUsage) << fmt::format("{}", fmt::join(args, " "));
        EXPECT_NE(r.err.find("band"), std::string::npos) << r.err;
    }
}

TEST(BandCommand, AFailingCameraIsNeverReportedAsChanged) {
    // Wherever the camera stops answering, the command either fails or the camera holds the
    // change it printed.
    for (const char* fault : {"fail_after", "unplug_after"}) {
        int failures = 0;
        for (int n = 0; n <= 260; n += 13) {
            SCOPED_TRACE(fmt::format("{}={}", fault, n));
            BandFirmwares cams;
            const CliRun r = runCliKeeping({"--simulate", "band", "1", "--set", "on,luma=33-44"},
                                           fmt::format("cameras=1;{}={}", fault, n), cams);
            if (r.rc == kExitOk) {
                ASSERT_EQ(cams.size(), 1u);
                EXPECT_EQ(cams[0]->fpgaRegister(144), 1);
                EXPECT_EQ(cams[0]->fpgaRegister(148), 33);
                EXPECT_EQ(cams[0]->fpgaRegister(149), 44);
                EXPECT_NE(r.out.find("luminance: 33-44"), std::string::npos);
            } else {
                ++failures;
                EXPECT_EQ(r.rc, kExitCamera);
                EXPECT_TRUE(r.out.empty()) << r.out;
                EXPECT_TRUE(r.err.starts_with("brisco-cli: ")) << r.err;
            }
        }
        EXPECT_GT(failures, 3) << fault;
    }
}

}  // namespace TVR::Cli
