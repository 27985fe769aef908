#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

namespace fs = std::filesystem;

// A camera that stops answering fails every command that needs it with one line, and a read
// writes no file.
TEST(CliFailures, ACameraThatFailsStallsOrLeavesIsNeverASuccess) {
    TestSupport::TempFolder dir;
    const std::string good = dir.file("good.qcf");
    ASSERT_EQ(runCliWith({"--simulate", "read", "-o", good}).rc, kExitOk);
    const std::string kept = dir.file("kept.qcf");
    TestSupport::writeBytes(kept, "old contents\r\n");

    for (const char* sim : {"unplug_after=0", "fail_after=12", "stall=1000"}) {
        const std::string fresh = dir.file("fresh.qcf");
        CliRun r = runCliWith({"--simulate", "read", "-o", fresh}, sim);
        EXPECT_EQ(r.rc, kExitCamera) << sim;
        EXPECT_FALSE(fs::exists(fresh)) << sim;
        EXPECT_EQ(lineCount(r.err), 1u) << sim << ": " << r.err;
        // A camera gone or stalled from the start does not even give its versions.
        EXPECT_TRUE(
            r.err.starts_with(std::string_view(sim) == "fail_after=12"
                                  ? "brisco-cli: Reading all values from the camera failed: "
                                  : "brisco-cli: the camera does not answer its firmware "
                                    "version request"))
            << sim << ": " << r.err;

        r = runCliWith({"--simulate", "read", "-o", kept}, sim);
        EXPECT_EQ(r.rc, kExitCamera) << sim;
        EXPECT_EQ(TestSupport::readBytes(kept), "old contents\r\n") << sim;

        r = runCliWith({"--simulate", "read"}, sim);
        EXPECT_EQ(r.rc, kExitCamera) << sim;
        EXPECT_EQ(r.out, "") << sim << ": no page of zeros";

        // A single value takes few requests: the failures start sooner for it.
        const char* soon = std::string_view(sim) == "fail_after=12" ? "fail_after=5" : sim;
        for (const std::vector<std::string>& args : {std::vector<std::string>{"load", good},
                                                     {"push", good},
                                                     {"get", "OV_EXPOSURE"},
                                                     {"get", "LED_R"},
                                                     {"set", "LED_R", "0x10"},
                                                     {"set", "FLIP_H", "true"}}) {
            std::vector<std::string> full{"--simulate"};
            full.insert(full.end(), args.begin(), args.end());
            r = runCliWith(full, args[0] == "get" || args[0] == "set" ? soon : sim);
            EXPECT_EQ(r.rc, kExitCamera) << sim << " " << args[0] << " " << args[1];
            EXPECT_EQ(lineCount(r.err), 1u) << sim << " " << args[0] << ": " << r.err;
        }
    }
}

TEST(CliInfo, ShowsBothVersionRecordsInDetailAndTheSensor) {
    const CliRun r = runCliWith({"--simulate", "info"}, "sensor=OV10823");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "line ends for the terminal";
    EXPECT_NE(r.out.find("FX3 firmware:   1.1.4.5.105\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Product:\tGen. 3: Brisco\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Release:\t"), std::string::npos);
    EXPECT_NE(r.out.find("Build#:\t105\n"), std::string::npos);
    EXPECT_NE(r.out.find("Build#:\t90\n"), std::string::npos) << "the FPGA record too";
    EXPECT_NE(r.out.find("Sensor:         OV10823 ("), std::string::npos);
}

TEST(CliReg, ReadsAndWritesOneRegister) {
    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    CliRun r = runCliKeeping({"--simulate", "reg", "sensor", "0x300A"}, "sensor=OV10823", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(r.out, fmt::format("0x{:02X}\n", cams[0]->sensorRegister(0x300A)));

    r = runCliKeeping({"--simulate", "reg", "fpga", "0x30", "0b1011010"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(cams[0]->fpgaRegister(0x30), 0x5A);

    // Only the bits of the mask change.
    r = runCliKeeping({"--simulate", "reg", "sensor", "0x3820", "0xFF", "0x06"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const uint8_t before = cams[0]->sensorDefault(0x3820);
    EXPECT_EQ(cams[0]->sensorRegister(0x3820), (before & ~0x06) | 0x06);

    r = runCliKeeping({"--simulate", "reg", "i2c8", "0x42", "0x03", "017"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->i2cRegister(0x42, 0x03), 15);
    r = runCliKeeping({"--simulate", "reg", "i2c16", "0x76", "0x4000", "0x2A"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->i2cRegister(0x76, 0x4000), 0x2A);
    r = runCliWith({"--simulate", "reg", "i2c16", "0x76", "0x4000"});
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out.size(), 5u) << r.out;

    // A device that is not on the bus does not answer.
    r = runCliWith({"--simulate", "reg", "i2c8", "0x10", "0x00"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: reading register 0x00 of I2C device 0x10 failed\n");
    r = runCliWith({"--simulate", "reg", "fpga", "0x30"}, "fail_after=5");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: reading FPGA register 0x30 failed\n");

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"reg"},
                                                {"reg", "flash", "0"},
                                                {"reg", "fpga"},
                                                {"reg", "fpga", "0x100"},
                                                {"reg", "fpga", "12x"},
                                                {"reg", "fpga", "-1"},
                                                {"reg", "fpga", "0x"},
                                                {"reg", "fpga", "09"},
                                                {"reg", "fpga", "1", "2", "3"},
                                                {"reg", "sensor", "0x10000"},
                                                {"reg", "sensor", "0x3820", "1", "0"},
                                                {"reg", "i2c8", "0x42"},
                                                {"reg", "i2c8", "0x42", "0x100"},
                                                {"reg", "i2c16", "0x76", "0x4000", "256"}}) {
        std::vector<std::string> full{"--simulate"};
        full.insert(full.end(), bad.begin(), bad.end());
        r = runCliWith(full);
        EXPECT_EQ(r.rc, kExitUsage) << fmt::format("{}", fmt::join(bad, " "));
    }
}

TEST(CliLogApi, PrintsTheMergedSummaryLinesAtExit) {
    const CliRun r =
        runCliWith({"--simulate", "--log-api", "reg", "sensor", "0x300A"}, "sensor=OV10823;fx3=45");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "0xA8\n");
    // Old firmware reaches the sensor through the 8-byte packets of endpoint 4.
    const auto lines = outputLines(r.err);
    const auto access = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.starts_with("I²C: success (") && l.find("read 0x300A") != std::string::npos;
    });
    ASSERT_NE(access, lines.end()) << r.err;
    const size_t open = access->find('(');
    const size_t close = access->find("ms)");
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(*access,
              "I²C: success " + access->substr(open, close + 3 - open) + "read 0x300A 0xA8");
    EXPECT_NE(r.err.find("FX3: success ("), std::string::npos) << "the version requests";
    EXPECT_EQ(r.err.find("API call# "), std::string::npos) << "no details unless asked";

    const CliRun detail = runCliWith({"--simulate", "--log-api=detail", "reg", "sensor", "0x300A"},
                                     "sensor=OV10823;fx3=45");
    ASSERT_EQ(detail.rc, kExitOk);
    EXPECT_NE(detail.err.find("I²C sensor access via EP4"), std::string::npos) << detail.err;
    EXPECT_NE(detail.err.find("API call# "), std::string::npos);

    const CliRun quiet =
        runCliWith({"--simulate", "reg", "sensor", "0x300A"}, "sensor=OV10823;fx3=45");
    EXPECT_EQ(quiet.err, "");
}

TEST(CliLogApi, EachRunListsOnlyItsOwnRecords) {
    const char* const sim = "sensor=OV10823;fx3=45";
    const CliRun first = runCliWith({"--simulate", "--log-api", "reg", "sensor", "0x3820"}, sim);
    ASSERT_EQ(first.rc, kExitOk) << first.err;
    EXPECT_NE(first.err.find("read 0x3820 "), std::string::npos) << first.err;

    // A run without --log-api in between still records its messages, into its own log.
    EXPECT_EQ(runCliWith({"--simulate", "set", "LED_R", "0x1f"}).rc, kExitOk);

    const CliRun second = runCliWith({"--simulate", "--log-api", "reg", "sensor", "0x3821"}, sim);
    ASSERT_EQ(second.rc, kExitOk) << second.err;
    EXPECT_NE(second.err.find("read 0x3821 "), std::string::npos) << second.err;
    EXPECT_EQ(second.err.find("read 0x3820 "), std::string::npos) << second.err;
    EXPECT_EQ(second.err.find("LED_R"), std::string::npos) << second.err;
    // Both runs sent the same vendor requests, so the second lists no more of them.
    const auto vendorLines = [](const std::string& err) {
        size_t n = 0;
        for (const std::string& line : outputLines(err)) {
            if (line.starts_with("FX3: ")) ++n;
        }
        return n;
    };
    EXPECT_EQ(vendorLines(second.err), vendorLines(first.err));
    EXPECT_GT(vendorLines(first.err), 0u);
}

TEST(CliGetSet, EveryKeyOfAReadIsTakenAndRangesAreKept) {
    const CliRun read = runCliWith({"--simulate", "read"});
    ASSERT_EQ(read.rc, kExitOk);
    for (const char* key : {"OV_BINNING", "TP_CHOICE", "TP_ON", "FLIP_H", "FLIP_V", "SENSOR_MODEL",
                            "AFN_SETPOINT_WB", "FAKE_RAW_VIDEO"}) {
        const CliRun r = runCliWith({"--simulate", "get", key});
        ASSERT_EQ(r.rc, kExitOk) << key << ": " << r.err;
        const size_t at = read.out.find(std::string(".") + key + "=");
        ASSERT_NE(at, std::string::npos) << key;
        const size_t from = read.out.find('=', at) + 1;
        EXPECT_EQ(r.out, read.out.substr(from, read.out.find('\r', from) - from) + "\n") << key;
    }

    // The camera cannot report its noise reduction; get does not make a number up.
    const CliRun nr = runCliWith({"--simulate", "get", "VNR_LUMA"});
    EXPECT_EQ(nr.rc, kExitCamera);
    EXPECT_EQ(nr.err, "brisco-cli: VNR_LUMA could not be read\n");

    struct Refusal {
        std::vector<std::string> args;
        const char* message;
    };
    const Refusal refusals[] = {
        {{"LED_R", "0x1FFFF"},
         "brisco-cli: '0x1FFFF' is not a value for LED_R: it takes 0x0 to 0xFF\n"},
        {{"AFN_SETPOINT_WB", "70000"},
         "brisco-cli: '70000' is not a value for AFN_SETPOINT_WB: it takes 0 to 2047\n"},
        {{"OV_EXPOSURE", "-5"},
         "brisco-cli: '-5' is not a value for OV_EXPOSURE: it takes 0 and up\n"},
        {{"OV_VIDEO_FPS", "1e40"},
         "brisco-cli: '1e40' is not a value for OV_VIDEO_FPS: it takes 5.309 to 70\n"},
        {{"OV_BINNING", "4"}, "brisco-cli: '4' is not a value for OV_BINNING: it takes 0 to 3\n"},
        {{"TP_CHOICE", "0"}, "brisco-cli: '0' is not a value for TP_CHOICE: it takes 1 to 8\n"},
    };
    for (const Refusal& refusal : refusals) {
        const CliRun r = runCliWith({"--simulate", "set", refusal.args[0], refusal.args[1]});
        EXPECT_EQ(r.rc, kExitUsage) << refusal.args[0];
        EXPECT_TRUE(r.err.starts_with(refusal.message)) << r.err;
    }
    CliRun r = runCliWith({"--simulate", "set", "OV_VIDEO_FPS", "nan"});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_TRUE(r.err.starts_with(
        "brisco-cli: 'nan' is not a value for OV_VIDEO_FPS: it takes 5.309 to 70\n"))
        << r.err;
    r = runCliWith({"--simulate", "set", "SENSOR_MODEL", "OV9714"});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find("SENSOR_MODEL is read-only"), std::string::npos) << r.err;
    // The sensor's own maximum is checked once the camera is open.
    r = runCliWith({"--simulate", "set", "OV_EXPOSURE", "99999999"});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find("is not a value for OV_EXPOSURE: it takes 0 to "), std::string::npos)
        << r.err;

    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    r = runCliKeeping({"--simulate", "set", "AFN_SETPOINT_WB", "2047"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->params().awbSetpoint, 2047);
    r = runCliKeeping({"--simulate", "set", "FLIP_H", "true"}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(runCliWith({"--simulate", "get", "FLIP_H"}).out, "false\n")
        << "each run a fresh camera";
}

TEST(CliLoad, TheAutoFunctionsAndNoiseReductionOfAFileReachTheCamera) {
    TestSupport::TempFolder dir;
    const std::string file = dir.file("a.qcf");
    ASSERT_EQ(runCliWith({"--simulate", "read", "-o", file}).rc, kExitOk);
    std::string text = TestSupport::readBytes(file);
    const size_t at = text.find("D.AFN_SETPOINT_EXP=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find("\r\n", at) - at, "D.AFN_SETPOINT_EXP=77");
    TestSupport::writeBytes(file, text);

    std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
    const CliRun r = runCliKeeping({"--simulate", "load", file}, "cameras=1", cams);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(cams[0]->params().aeSetpoint, 77);
}

}  // namespace
}  // namespace TVR::Cli
