#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string_view>

#include <fmt/format.h>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"

namespace TVR::Cli {
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> v;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) v.push_back(f);
    return v;
}

TEST(CliList, TwoIdenticalCamerasDifferOnlyInTheirSuffix) {
    const CliRun r = runCliWith({"--simulate", "list"}, "cameras=2");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto ls = outputLines(r.out);
    ASSERT_EQ(ls.size(), 2u);
    const auto a = fields(ls[0]);
    const auto b = fields(ls[1]);
    ASSERT_EQ(a.size(), 6u);
    ASSERT_EQ(b.size(), 6u);
    EXPECT_EQ(a[0], "0");
    EXPECT_EQ(b[0], "1");
    const std::string base = "Tavro Brisco camera @";
    EXPECT_EQ(a[1].rfind(base, 0), 0u) << a[1];
    EXPECT_EQ(b[1].rfind(base, 0), 0u) << b[1];
    EXPECT_NE(a[1], b[1]);
    EXPECT_EQ(a[2], "sim:1-1:04b4:00f1");
    EXPECT_EQ(a[3], "1-1");
    EXPECT_EQ(b[3], "1-2");
    EXPECT_EQ(a[4], "super-speed");
    EXPECT_EQ(a[5], "04b4:00f1");
}

TEST(CliList, OneCameraHasNoSuffixAndUsb2IsHighSpeed) {
    const CliRun r = runCliWith({"list", "--simulate"}, "cameras=1;usb=2");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    const auto f = fields(outputLines(r.out).at(0));
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[1], "Tavro Brisco camera");
    EXPECT_EQ(f[4], "high-speed");
}

TEST(CliErrors, NoCameraAndBadSimulationAreCameraErrors) {
    // An empty bus is an answer for list; a command that needs a camera fails.
    CliRun r = runCliWith({"--simulate", "list"}, "cameras=0");
    EXPECT_EQ(r.rc, kExitOk);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.empty());

    for (const char* command : {"info", "read", "get", "reg"}) {
        std::vector<std::string> args{"--simulate", command};
        if (std::string_view(command) == "get") args.push_back("OV_EXPOSURE");
        if (std::string_view(command) == "reg") args.insert(args.end(), {"fpga", "0"});
        r = runCliWith(args, "cameras=0");
        EXPECT_EQ(r.rc, kExitCamera) << command;
        EXPECT_EQ(r.err, "brisco-cli: no camera found\n") << command;
    }

    r = runCliWith({"--simulate", "--device", "2", "info"}, "cameras=2");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("no camera 2"), std::string::npos);

    r = runCliWith({"--simulate", "list"}, "bogus=1");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_NE(r.err.find("bogus"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(CliErrors, UsageErrorsExitWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"--simulate", "--frob", "list"},
                                                                  {"list", "extra"},
                                                                  {"--device"},
                                                                  {"--device", "x", "info"},
                                                                  {"--device", "256", "info"}}) {
        const CliRun r = runCliWith(args);
        EXPECT_EQ(r.rc, kExitUsage) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(CliHelp, GlobalAndPerCommandHelp) {
    CliRun r = runCliWith({"--help"});
    EXPECT_EQ(r.rc, kExitOk);
    EXPECT_NE(r.out.find("Commands:"), std::string::npos);
    for (const char* cmd : {"list", "info"}) {
        r = runCliWith({cmd, "--help"});
        EXPECT_EQ(r.rc, kExitOk);
        EXPECT_NE(r.out.find(std::string("brisco-cli [--simulate]")), std::string::npos) << cmd;
        EXPECT_NE(r.out.find(cmd), std::string::npos);
    }
}

TEST(CliInfo, ShowsTheUsbFactsOfTheChosenCamera) {
    const CliRun r = runCliWith({"info", "--simulate", "--device", "1"}, "cameras=2;usb=3");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Path:           sim:1-2:04b4:00f1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Location:       1-2\n"), std::string::npos);
    EXPECT_NE(r.out.find("USB ids:        04b4:00f1\n"), std::string::npos);
    EXPECT_NE(r.out.find("Speed:          super-speed\n"), std::string::npos);
    EXPECT_NE(r.out.find("USB version:    3.00\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Manufacturer:   Tavro\n"), std::string::npos);
    // A USB 2.1 device (bcdUSB 0x0210).
    const CliRun usb2 = runCliWith({"info", "--simulate"}, "usb=2");
    ASSERT_EQ(usb2.rc, kExitOk) << usb2.err;
    EXPECT_NE(usb2.out.find("USB version:    2.10\n"), std::string::npos) << usb2.out;
    EXPECT_NE(r.out.find("FX3 firmware:   1.1.4.5.105\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FPGA firmware:  1.1.4.5.90\n"), std::string::npos);
    EXPECT_NE(r.out.find("Sensor:         OV9750 (97:50:"), std::string::npos);
}

TEST(CliInfo, FirmwareOptionsOfTheSimulatedCameraShow) {
    const CliRun r = runCliWith({"--simulate", "info"}, "fx3=58;fpga=70;sensor=OV10823");
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_NE(r.out.find("FX3 firmware:   1.1.4.5.58\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FPGA firmware:  1.1.4.5.70\n"), std::string::npos);
    EXPECT_NE(r.out.find("Sensor:         OV10823"), std::string::npos);
}

TEST(CliInfo, CameraThatStopsAnsweringIsACameraError) {
    for (const char* sim : {"fail_after=0", "stall=100", "unplug_after=0"}) {
        const CliRun r = runCliWith({"--simulate", "info"}, sim);
        EXPECT_EQ(r.rc, kExitCamera) << sim << "\n" << r.out;
        EXPECT_NE(r.out.find("FX3 firmware:   UNKNOWN\n"), std::string::npos) << sim;
        EXPECT_EQ(r.err, "brisco-cli: the camera does not answer its firmware version request\n")
            << sim;
    }
}

TEST(CliControlTimeout, TheVariableLetsASlowCameraAnswer) {
    // 80 ms a transfer: longer than the 50 ms a control request gets by default.
    const char* slow = "latency_us=80000";
    CliRun r = runCliWith({"--simulate", "info"}, slow);
    EXPECT_EQ(r.rc, kExitCamera) << r.out;
    EXPECT_NE(r.out.find("FX3 firmware:   UNKNOWN\n"), std::string::npos) << r.out;

    {
        const ControlTimeoutVariable longer("1000");
        r = runCliWith({"--simulate", "info"}, slow);
        EXPECT_EQ(r.rc, kExitOk) << r.err;
        EXPECT_NE(r.out.find("FX3 firmware:   1.1.4.5.105\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Sensor:         OV9750"), std::string::npos) << r.out;
    }
    {
        // A time-out shorter than the camera's delay fails as the default does.
        const ControlTimeoutVariable shorter("20");
        r = runCliWith({"--simulate", "get", "OV_EXPOSURE"}, "latency_us=40000");
        EXPECT_EQ(r.rc, kExitCamera) << r.out;
    }
}

TEST(CliControlTimeout, AnythingButAPositiveNumberIsRefusedBeforeTheCommandRuns) {
    for (const char* bad :
         {"", "0", "-5", "abc", "12ms", " 100", "1.5", "3600001", "99999999999"}) {
        const ControlTimeoutVariable variable(bad);
        const CliRun r = runCliWith({"--simulate", "list"});
        EXPECT_EQ(r.rc, kExitUsage) << "'" << bad << "'";
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_EQ(r.err, fmt::format("brisco-cli: TAVRO_CONTROL_TIMEOUT_MS takes a time-out of 1 "
                                     "to 3600000 ms, not '{}'\nTry 'brisco-cli --help'.\n",
                                     bad));
    }
    const ControlTimeoutVariable largest("3600000");
    EXPECT_EQ(runCliWith({"--simulate", "list"}).rc, kExitOk);
}

}  // namespace
}  // namespace TVR::Cli
