#include <gtest/gtest.h>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

std::string script(const TestSupport::TempFolder& dir, const std::string& name,
                   const std::string& text) {
    const std::string path = dir.file(name);
    TestSupport::writeBytes(path, text);
    return path;
}

TEST(CliSysinfo, PrintsTheReportForBothLayouts) {
    CliRun r = runCliWith({"--simulate", "sysinfo"});
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto lines = outputLines(r.out);
    ASSERT_GT(lines.size(), 40u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "==============================");
    EXPECT_EQ(lines[2], "System Information and peripheral status report");
    EXPECT_EQ(lines[4], "Signature (size/maj/min): 54/2/0");
    EXPECT_EQ(lines[6], "Cypress part#: USB3014");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_NE(r.out.find("  Image sensor: 0x20\n"), std::string::npos);

    r = runCliWith({"--simulate", "sysinfo"}, "fx3=59");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Signature (size/maj/min): 39/1/1\n"), std::string::npos);
    EXPECT_EQ(r.out.find("PLL clock"), std::string::npos);
}

TEST(CliSysinfo, OldFirmwareAndLostCamerasAreErrors) {
    CliRun r = runCliWith({"--simulate", "sysinfo"}, "fx3=52");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "brisco-cli: SysInfo() is not implemented in this version of FX3 firmware\n");

    // The camera answers while it is opened, then stops.
    r = runCliWith({"--simulate", "sysinfo"}, "fail_after=5");
    EXPECT_EQ(r.err,
              "brisco-cli: the camera's system information record could not be read (rejected "
              "or damaged reply)\n");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "") << "no page of zeros";

    r = runCliWith({"--simulate", "sysinfo", "extra"});
    EXPECT_EQ(r.rc, kExitUsage);
}

TEST(CliI2cScript, RunsAScriptOnABusDevice) {
    TestSupport::TempFolder dir;
    const std::string path =
        script(dir, "leds.txt", "; expander\r\n{0x01, 0x0F}, {0x02, 0xF0}\r\n");
    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    CliRun r =
        runCliKeeping({"--simulate", "i2c-script", "--address", "0x42", path}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Success (2 pairs written)\n");
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0]->i2cRegister(0x42, 0x01), 0x0F);
    EXPECT_EQ(cams[0]->i2cRegister(0x42, 0x02), 0xF0);

    const std::string wide = script(dir, "audio.txt", "0x4000 0x2A");
    r = runCliKeeping({"--simulate", "i2c-script", "--16", "--address", "0x76", wide}, "cameras=1",
                      cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->i2cRegister(0x76, 0x4000), 0x2A);
}

TEST(CliI2cScript, BrokenScriptsSendNothingAndFailuresAreErrors) {
    TestSupport::TempFolder dir;
    const std::string broken = script(dir, "broken.txt", "0x01 0x0F\n  0x02 0xZZ\n");
    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    CliRun r =
        runCliKeeping({"--simulate", "i2c-script", "--address", "0x42", broken}, "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_EQ(r.err, fmt::format("brisco-cli: i2c-script: {}: line 2, column 8: '0xZZ' is not a "
                                 "value (0 to 0xFF)\n",
                                 broken));
    EXPECT_EQ(r.out, "");
    // Not even the camera was opened.
    EXPECT_TRUE(cams.empty() || cams[0]->i2cRegister(0x42, 0x01) != 0x0F);

    r = runCliWith({"--simulate", "i2c-script", script(dir, "empty.txt", "; nothing\n")});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find("Empty script"), std::string::npos);
    r = runCliWith({"--simulate", "i2c-script", dir.file("missing.txt")});
    EXPECT_EQ(r.rc, kExitUsage);
    r = runCliWith({"--simulate", "i2c-script", "--address", "0", broken});
    EXPECT_EQ(r.rc, kExitUsage);

    // In 8-bit mode a wide register is refused; nobody answers at 0x10.
    const std::string wide = script(dir, "wide.txt", "0x100 1 0x05 0x06");
    r = runCliKeeping({"--simulate", "i2c-script", "--address", "0x42", "--keep-going", wide},
                      "cameras=1", cams);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "Address 0x0100 outside 8-bit range\n");
    EXPECT_EQ(r.err, "brisco-cli: 1 of 2 pairs written to I2C device 0x42\n");
    EXPECT_EQ(cams[0]->i2cRegister(0x42, 0x05), 0x06);
    r = runCliWith({"--simulate", "i2c-script", "--address", "0x10", wide});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "Address 0x0100 outside 8-bit range\n");
    const std::string one = script(dir, "one.txt", "0x05 0x06 0x07 0x08");
    r = runCliWith({"--simulate", "i2c-script", "--address", "0x10", one});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "Write 0x06 to 0x05 failed\n");
}

TEST(CliSensorScript, WritesAndCompares) {
    TestSupport::TempFolder dir;
    const std::string path = script(dir, "exp.txt", "0x3500 0x01\n0x3501 0x02\n");
    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    CliRun r = runCliKeeping({"--simulate", "sensor-script", path}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "2 pairs written to the sensor\n");
    EXPECT_EQ(cams[0]->sensorRegister(0x3500), 0x01);
    EXPECT_EQ(cams[0]->sensorRegister(0x3501), 0x02);

    // A fresh camera holds its defaults: the pairs that differ from them are listed.
    r = runCliKeeping({"--simulate", "sensor-script", path, "--compare"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    std::string expected;
    if (cams[0]->sensorRegister(0x3500) != 0x01) expected += "0x3500 0x01\n";
    if (cams[0]->sensorRegister(0x3501) != 0x02) expected += "0x3501 0x02\n";
    EXPECT_EQ(r.out, expected);

    r = runCliWith({"--simulate", "sensor-script", script(dir, "bad.txt", "0x3500")});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find("line 1, column 1: register '0x3500' has no value"), std::string::npos);
    r = runCliWith({"--simulate", "sensor-script", path, "--defaults"});
    EXPECT_EQ(r.rc, kExitUsage);
    r = runCliWith({"--simulate", "sensor-script", path}, "fail_after=5");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: writing the script to the sensor failed\n");
    r = runCliWith({"--simulate", "sensor-script", path, "--compare"}, "fail_after=5");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "") << "a register that cannot be read is no difference";
}

}  // namespace
}  // namespace TVR::Cli
