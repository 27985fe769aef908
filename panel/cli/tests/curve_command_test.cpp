#include <gtest/gtest.h>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli/curve_command.h"
#include "cli_test_helpers.h"
#include "sim/sim_firmware.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

using Firmwares = std::vector<std::shared_ptr<Sim::SimCameraFirmware>>;

std::string numbers(int count, const std::function<std::string(int)>& value) {
    std::string text;
    for (int i = 0; i < count; ++i) text += value(i) + "\n";
    return text;
}

}  // namespace

TEST(CurveValues, SixtyFourNumbersWithinTheRange) {
    const std::string good = "# hue shifts\n" + numbers(64, [](int i) {
                                 return fmt::format("{} # slider {}", i - 32, i);
                             });
    const auto r = parseCurveValues(good, -180, 180);
    ASSERT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.values.size(), 64u);
    EXPECT_EQ(r.values[0], -32.0);
    EXPECT_EQ(r.values[63], 31.0);
    EXPECT_EQ(parseCurveValues("1.5, 2\t+3\r\n" + numbers(61, [](int) { return "0"; }), 0, 3)
                  .values.size(),
              64u);

    struct Bad {
        std::string text;
        std::string error;
    };
    const Bad bad[] = {
        {numbers(63, [](int) { return "1"; }), "63 values, not 64"},
        {numbers(65, [](int) { return "1"; }), "line 65: more than 64 values"},
        {"1\n2\nabc\n", "line 3: 'abc' is not a number"},
        {"1\n3.01\n", "line 2: 3.01 is outside 0 to 3"},
        {"-0.5\n", "line 1: -0.5 is outside 0 to 3"},
        {"nan\n", "line 1: 'nan' is not a number"},
        {"inf\n", "line 1: 'inf' is not a number"},
        {"1e999\n", "line 1: '1e999' is not a number"},
        {"", "0 values, not 64"},
    };
    for (const Bad& b : bad) {
        const auto p = parseCurveValues(b.text, 0, 3);
        EXPECT_EQ(p.error, b.error) << b.text;
        EXPECT_TRUE(p.values.empty());
    }
}

TEST(CurveCommand, PrintsTheCurvesShownValues) {
    Firmwares cams;
    const CliRun r = runCliKeeping({"--simulate", "curve", "HvH"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto lines = outputLines(r.out);
    ASSERT_EQ(lines.size(), 64u);
    for (const std::string& l : lines) EXPECT_EQ(l, "0.00");
    // An empty saturation table is a factor of 0 everywhere.
    const CliRun s = runCliKeeping({"--simulate", "curve", "hvs"}, "cameras=1", cams);
    ASSERT_EQ(s.rc, kExitOk) << s.err;
    EXPECT_EQ(outputLines(s.out), std::vector<std::string>(64, "0.00"));
}

TEST(CurveCommand, SetWritesTheTable) {
    TestSupport::TempFolder folder;
    const std::string file = folder.file("hvs.txt");
    TestSupport::writeBytes(file,
                            numbers(64, [](int i) { return fmt::format("{}", (i % 4) * 0.75); }));
    Firmwares cams;
    const CliRun r =
        runCliKeeping({"--simulate", "curve", "HvS", "--set", file}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_TRUE(r.out.empty());
    for (unsigned i = 0; i < 64; ++i) {
        EXPECT_EQ(cams[0]->tableEntry(1, i), (i % 4) * 192) << i;
    }

    const std::string hue = folder.file("hvh.txt");
    TestSupport::writeBytes(hue, numbers(64, [](int i) { return i == 5 ? "-90" : "0"; }));
    const CliRun h = runCliKeeping({"--simulate", "curve", "HvH", "--set", hue}, "cameras=1", cams);
    ASSERT_EQ(h.rc, kExitOk) << h.err;
    EXPECT_EQ(cams[0]->tableEntry(0, 5), static_cast<uint16_t>(-4096));
    EXPECT_EQ(cams[0]->tableEntry(0, 6), 0);
}

TEST(CurveCommand, LumaVsLumaFollowsTheFirmware) {
    TestSupport::TempFolder folder;
    const std::string file = folder.file("lvl.txt");
    TestSupport::writeBytes(file, numbers(64, [](int i) { return i == 0 ? "-10" : "100"; }));
    Firmwares cams;
    // From FX3 build 73 the table takes -256 to 255.
    CliRun r = runCliKeeping({"--simulate", "curve", "LvL", "--set", file}, "fx3=105", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_NE(cams[0]->tableEntry(4, 1), 0);
    // Before it, output luma 0 to 255.
    r = runCliKeeping({"--simulate", "curve", "LvL", "--set", file}, "fx3=72;fpga=72", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("line 1: -10 is outside 0 to 255"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Luma vs. Luma (pre-73)"), std::string::npos) << r.err;
    EXPECT_EQ(cams[0]->tableEntry(4, 1), 0);
    r = runCliKeeping({"--simulate", "curve", "LvL"}, "fx3=72;fpga=72", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(outputLines(r.out), std::vector<std::string>(64, "0.00"));
}

TEST(CurveCommand, Refusals) {
    Firmwares cams;
    CliRun r = runCliKeeping({"--simulate", "curve", "XYZ"}, "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find("HvH, HvS, LvS, SvS, LvL or HvL"), std::string::npos);
    r = runCliKeeping({"--simulate", "curve"}, "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitUsage);
    r = runCliKeeping({"--simulate", "curve", "HvH", "--set"}, "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitUsage);
    r = runCliKeeping({"--simulate", "curve", "HvH", "--set", "/nonexistent/curve.txt"},
                      "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
    // Hue vs. luma needs FPGA build 73.
    r = runCliKeeping({"--simulate", "curve", "HvL"}, "fpga=72", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("has no Hue vs. Luma curve"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    r = runCliKeeping({"--simulate", "curve", "HvH"}, "cameras=0", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_TRUE(r.out.empty());
}

}  // namespace TVR::Cli
