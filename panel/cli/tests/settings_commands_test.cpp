#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> v;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            v.push_back(text.substr(at));
            break;
        }
        v.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return v;
}

TEST(CliSettings, ReadWritesASortedFileThatLoadsBackOnlyOnTheSameSensor) {
    TestSupport::TempFolder dir;
    const std::string a = dir.file("a.qcf");
    const CliRun read = runCliWith({"--simulate", "read", "-o", a});
    ASSERT_EQ(read.rc, kExitOk) << read.err;
    const auto lines = crlfLines(TestSupport::readBytes(a));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "; Camera configuration for Brisco Tuner (Tavro control center)");
    EXPECT_EQ(lines[1].substr(0, 1), ";");
    EXPECT_EQ(lines[2], "; File format version 1.0");
    EXPECT_EQ(lines[3], "");
    std::vector<std::string> keys;
    bool exposure = false, model = false, wb = false;
    for (size_t i = 4; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        keys.push_back(l.substr(2, l.find('=') - 2));
        exposure = exposure || l.starts_with("D.OV_EXPOSURE=");
        model = model || l == "S.SENSOR_MODEL=OV9750";
        wb = wb || l.starts_with("B.OV_MANUAL_WB_ON=");
    }
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_TRUE(exposure);
    EXPECT_TRUE(model);
    EXPECT_TRUE(wb);

    // Without -o the same file goes to standard output.
    const CliRun printed = runCliWith({"--simulate", "read"});
    ASSERT_EQ(printed.rc, kExitOk) << printed.err;
    EXPECT_EQ(printed.out, TestSupport::readBytes(a));

    const CliRun load = runCliWith({"--simulate", "load", a});
    EXPECT_EQ(load.rc, kExitOk) << load.err;
    EXPECT_EQ(load.err, "");

    const CliRun refused = runCliWith({"--simulate", "load", a}, "sensor=OV10823");
    EXPECT_EQ(refused.rc, kExitCamera);
    EXPECT_NE(refused.err.find("The settings you are loading were saved for a different sensor "
                               "and are not 100% compatible. Are you sure you want to load "
                               "these settings?"),
              std::string::npos)
        << refused.err;
    const CliRun confirmed = runCliWith({"--simulate", "load", a, "--yes"}, "sensor=OV10823");
    EXPECT_EQ(confirmed.rc, kExitOk) << confirmed.err;

    const CliRun pushed = runCliWith({"--simulate", "push", a}, "sensor=OV10823");
    EXPECT_EQ(pushed.rc, kExitOk) << pushed.err;
}

// A load pushes the sensor pages with the sensor streaming and leaves it as it found it.
TEST(CliSettings, LoadLeavesTheSensorStreaming) {
    TestSupport::TempFolder dir;
    const std::string a = dir.file("a.qcf");
    for (const char* chip : {"OV9714", "OV9750", "OV48C40", "OV10823"}) {
        const std::string sim = std::string("sensor=") + chip;
        std::vector<std::shared_ptr<Sim::SimCameraFirmware>> cams;
        CliRun r = runCliKeeping({"--simulate", "read", "-o", a}, sim, cams);
        ASSERT_EQ(r.rc, kExitOk) << r.err;
        ASSERT_EQ(cams.size(), 1u);
        EXPECT_EQ(cams[0]->sensorRegister(0x0100) & 1, 1) << chip << ": a read stopped the video";
        r = runCliKeeping({"--simulate", "load", a}, sim, cams);
        ASSERT_EQ(r.rc, kExitOk) << r.err;
        ASSERT_EQ(cams.size(), 1u);
        EXPECT_EQ(cams[0]->sensorRegister(0x0100) & 1, 1) << chip << ": a load stopped the video";
    }
}

TEST(CliSettings, LoadAndPushRefuseMissingFilesAndBadArguments) {
    TestSupport::TempFolder dir;
    const std::string missing = dir.file("missing.qcf");
    const CliRun load = runCliWith({"--simulate", "load", missing});
    EXPECT_EQ(load.rc, kExitCamera);
    EXPECT_NE(load.err.find("Can't open the file [" + missing + "]"), std::string::npos);
    EXPECT_EQ(runCliWith({"--simulate", "push", missing}).rc, kExitCamera);
    EXPECT_EQ(runCliWith({"--simulate", "load"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "read", "-o"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "load", "a", "b"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "read"}, "cameras=0").rc, kExitCamera);
}

TEST(CliSettings, SetPushesThroughTheKeysTableAndGetReadsItBack) {
    // Each run opens a fresh simulated camera; the run's log, printed by --log-api, shows what
    // reached it.
    const CliRun led = runCliWith({"--simulate", "--log-api", "set", "LED_R", "0x1f"});
    EXPECT_EQ(led.rc, kExitOk);
    EXPECT_NE(led.err.find("s Pushing [LED_R] to camera\n"), std::string::npos) << led.err;
    EXPECT_EQ(led.err.find("Error pushing a value for LED_R"), std::string::npos);
    EXPECT_EQ(runCliWith({"--simulate", "set", "FAN", "true"}).rc, kExitOk);
    EXPECT_EQ(runCliWith({"--simulate", "set", "OV_VIDEO_FPS", "29.5"}).rc, kExitOk);
    EXPECT_EQ(runCliWith({"--simulate", "set", "OV_EXPOSURE", "-"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "set", "FAN", "True"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "set", "OV_VIDEO_FPS", "nan"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "set", "NO_SUCH_KEY", "1"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "get", "NO_SUCH_KEY"}).rc, kExitUsage);

    const CliRun fps = runCliWith({"--simulate", "get", "OV_VIDEO_FPS"});
    ASSERT_EQ(fps.rc, kExitOk) << fps.err;
    EXPECT_EQ(fps.out, "30.0000\n");
    const CliRun exposure = runCliWith({"--simulate", "get", "OV_EXPOSURE"});
    ASSERT_EQ(exposure.rc, kExitOk) << exposure.err;
    const CliRun read = runCliWith({"--simulate", "read"});
    EXPECT_NE(
        read.out.find("D.OV_EXPOSURE=" + exposure.out.substr(0, exposure.out.size() - 1) + "\r\n"),
        std::string::npos);
}

TEST(CliSettings, ReadTakesTheUvcValuesFromTheCamerasCaptureSide) {
    const CliRun full = runCliWith({"--simulate", "read"});
    ASSERT_EQ(full.rc, kExitOk) << full.err;
    EXPECT_NE(full.out.find("D.UVC_WHITE_BALANCE=4600\r\nD.UVC_WHITE_BALANCE_AUTO=1\r\n"),
              std::string::npos)
        << full.out;
    EXPECT_NE(full.out.find("D.UVC_EXP_AUTO=1\r\n"), std::string::npos);

    // Without camera-control properties the amplifier is not read either; a failing capture
    // side costs the UVC keys, not the read.
    for (const char* sim : {"cameras=1;uvc=procamp", "cameras=1;uvc_fail=1"}) {
        const CliRun r = runCliWith({"--simulate", "read"}, sim);
        ASSERT_EQ(r.rc, kExitOk) << sim << r.err;
        EXPECT_EQ(r.out.find("UVC_"), std::string::npos) << sim;
        EXPECT_NE(r.out.find("D.OV_EXPOSURE="), std::string::npos) << sim;
    }
}

TEST(CliSettings, GetAndSetReachTheUvcPropertiesOfTheCaptureSide) {
    EXPECT_EQ(runCliWith({"--simulate", "get", "UVC_WHITE_BALANCE"}).out, "4600\n");
    EXPECT_EQ(runCliWith({"--simulate", "get", "UVC_WHITE_BALANCE_AUTO"}).out, "1\n");
    EXPECT_EQ(runCliWith({"--simulate", "get", "UVC_EXP"}).out, "-6\n");
    EXPECT_EQ(runCliWith({"--simulate", "set", "UVC_WHITE_BALANCE", "5000"}).rc, kExitOk);
    EXPECT_EQ(runCliWith({"--simulate", "set", "UVC_GAIN_AUTO", "1"}).rc, kExitOk);
    // The camera refuses what is off its steps, its range or its capabilities.
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"UVC_WHITE_BALANCE", "5001"},
          {"UVC_GAMMA", "301"},
          {"UVC_BRIGHTNESS_AUTO", "1"}}) {
        const CliRun r = runCliWith({"--simulate", "set", refused[0], refused[1]});
        EXPECT_EQ(r.rc, kExitCamera) << refused[0];
        EXPECT_NE(r.err.find(refused[0] + " could not be pushed"), std::string::npos) << r.err;
    }
    const CliRun pan = runCliWith({"--simulate", "set", "UVC_PAN", "1"});
    EXPECT_EQ(pan.rc, kExitCamera);
    EXPECT_NE(pan.err.find("the camera has no UVC_PAN"), std::string::npos) << pan.err;
    EXPECT_EQ(runCliWith({"--simulate", "set", "UVC_GAIN", "1.5"}).rc, kExitUsage);
    EXPECT_EQ(runCliWith({"--simulate", "get", "UVC_GAIN"}, "cameras=1;uvc_fail=1").rc,
              kExitCamera);
    EXPECT_EQ(runCliWith({"--simulate", "get", "UVC_GAIN"}, "cameras=1;uvc=none").rc, kExitCamera);
}

TEST(CliSettings, ALongBatchDrawsOneProgressLineOnlyWhenAskedOffATerminal) {
    // Reading every value takes some 30 requests; at 25 ms each it outlasts the 400 ms delay.
    // The time-out is the point of other tests: here a loaded machine must not reach it.
    const char* slow = "cameras=1;latency_us=25000";
    const ControlTimeoutVariable patient("2000");
    const CliRun drawn = runCliWith({"--simulate", "--progress", "read"}, slow);
    ASSERT_EQ(drawn.rc, kExitOk) << drawn.err;
    EXPECT_NE(drawn.err.find("\r\x1b[KReading all values from the camera"), std::string::npos)
        << drawn.err;
    const size_t end = drawn.err.rfind("\r\x1b[KBatch end, took ");
    ASSERT_NE(end, std::string::npos) << drawn.err;
    EXPECT_EQ(drawn.err.back(), '\n');
    EXPECT_EQ(drawn.err.find('\n'), drawn.err.size() - 1) << "one line only";
    EXPECT_NE(drawn.out.find("S.SENSOR_MODEL=OV9750\r\n"), std::string::npos);

    // Not asked for and not a terminal: the same batch runs silently.
    const CliRun silent = runCliWith({"--simulate", "read"}, slow);
    ASSERT_EQ(silent.rc, kExitOk);
    EXPECT_TRUE(silent.err.empty()) << silent.err;
}

}  // namespace
}  // namespace TVR::Cli
