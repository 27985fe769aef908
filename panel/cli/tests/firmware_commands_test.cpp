#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli/firmware_commands.h"
#include "cli_test_helpers.h"
#include "reply_server.h"
#include "sim/sim_images.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

using PanelTest::ReplyServer;

std::string asText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The simulated camera: FX3 1.1.4.5.105, FPGA 1.1.4.5.90.
constexpr const char* kFpgaList =
    "fpga:5:88:fw/fpga-88.bin:3145728\n"
    "fx3:5:120:fw/fx3-120.img:245760\n"
    "fpga:5:93:fw/fpga-93.bin:3145800\r\n"
    "fpga:5:91:fw/fpga-91.bin:3145790 \n";

TEST(CliReleases, ListsTheCamerasReleasesNewestFirst) {
    ReplyServer server;
    server.reply("/cgi-bin/ver.php", kFpgaList);
    ASSERT_TRUE(server.start());

    CliRun r = runCliWith({"--simulate", "--server", server.url(), "releases", "fpga"});
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "93\t1.1.4.5.93\tRelease\t3145800\tfw/fpga-93.bin\n"
              "91\t1.1.4.5.91\tRelease\t3145790\tfw/fpga-91.bin\n"
              "88\t1.1.4.5.88\tRelease\t3145728\tfw/fpga-88.bin\n");
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(server.targets().size(), 1u);
    // The camera's own kind when none is given.
    EXPECT_EQ(server.targets()[0], "/cgi-bin/ver.php?type=fpga&vid=1&hwid=1&pid=4&rel=5");

    // The server option after the command, another kind, and the FX3 record.
    r = runCliWith({"releases", "fx3", "--kind", "3", "--simulate", "--server", server.url()});
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "120\t1.1.4.5.120\tRelease\t245760\tfw/fx3-120.img\n");
    EXPECT_EQ(server.targets().back(), "/cgi-bin/ver.php?type=fx3&vid=1&hwid=1&pid=4&rel=3");
}

TEST(CliReleases, ServerFromTheEnvironmentAndEmptyLists) {
    ReplyServer server;
    server.reply("/mirror/cgi-bin/ver.php", "fx3:5:1:x.img:10\n");
    ASSERT_TRUE(server.start());
    setenv("TAVRO_SIM", "cameras=1", 1);
    setenv("TAVRO_DOWNLOAD_SERVER", (server.url() + "mirror").c_str(), 1);
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"--simulate", "releases", "fpga"}, out, err), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "");  // only an FX3 piece: nothing for the FPGA
    ASSERT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(server.targets()[0].rfind("/mirror/cgi-bin/ver.php?type=fpga", 0), 0u);
    unsetenv("TAVRO_DOWNLOAD_SERVER");
}

TEST(CliReleases, FailedFetchesAreOneLineAndExitOne) {
    ReplyServer server;
    server.reply("/cgi-bin/ver.php", "fpga:5:9x:a.bin:1\n");  // a build that is not a number
    ASSERT_TRUE(server.start());
    const std::string base = server.url();

    CliRun r = runCliWith({"--simulate", "--server", base + "nowhere/", "releases", "fpga"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "brisco-cli: Failed to fetch hardware version info: [The server returned HTTP "
              "status 404]\n");

    r = runCliWith({"--simulate", "--server", base, "releases", "fpga"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;

    server.stop();
    r = runCliWith({"--simulate", "--server", base, "releases", "fx3"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Couldn't connect to server"), std::string::npos) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u);
}

TEST(CliReleases, CameraProblemsAskNothing) {
    ReplyServer server;
    server.reply("/cgi-bin/ver.php", kFpgaList);
    ASSERT_TRUE(server.start());

    CliRun r =
        runCliWith({"--simulate", "--server", server.url(), "releases", "fpga"}, "cameras=0");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: no camera found\n");

    r = runCliWith({"--simulate", "--server", server.url(), "releases", "fpga"}, "fail_after=0");
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: the camera does not answer its FPGA version request\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(server.targets().empty());
}

TEST(CliReleases, UsageErrors) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--simulate", "releases"},
                                               {"--simulate", "releases", "usb"},
                                               {"--simulate", "releases", "fx3", "fpga"},
                                               {"--simulate", "releases", "fx3", "--kind"},
                                               {"--simulate", "releases", "fx3", "--kind", "8"},
                                               {"--simulate", "releases", "fx3", "--kind", "0"},
                                               {"--simulate", "releases", "fx3", "--kind", "5x"},
                                               {"--simulate", "releases", "fx3", "--build", "5"}}) {
        const CliRun r = runCliWith(args);
        EXPECT_EQ(r.rc, kExitUsage) << args.back();
        EXPECT_NE(r.err.find("Try 'brisco-cli releases --help'"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliServerOption, BadAddressesAreUsageErrors) {
    for (const char* bad : {"", "downloads.example", "ftp://h/", "http://", "http:///x", "file://",
                            "http://h/a b", "https://h/\n"}) {
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"--server", bad, "check-update"}, {"check-update", "--server", bad}}) {
            const CliRun r = runCliWith(args);
            EXPECT_EQ(r.rc, kExitUsage) << "'" << bad << "'";
            EXPECT_NE(r.err.find("--server"), std::string::npos);
        }
    }
    EXPECT_EQ(runCliWith({"check-update", "--server"}).rc, kExitUsage);
    for (const char* good : {"http://h", "HTTPS://h.example:8443/x/", "file:///srv/mirror/"}) {
        EXPECT_TRUE(validServerAddress(good)) << good;
    }
}

TEST(CliCheckUpdate, NewerNotNewerAndFailures) {
    ReplyServer server;
    server.reply("/new/cgi-bin/ver.php", "2:6:1:0:installers/setup-2.6.1.exe:1000\r\n");
    server.reply("/same/cgi-bin/ver.php", "2:6:0:0:setup.exe:1000");
    server.reply("/bad/cgi-bin/ver.php", "9:x:1:0:setup.exe:1000");
    server.reply("/short/cgi-bin/ver.php", "2:7:0:setup.exe");
    server.reply("/html/cgi-bin/ver.php",
                 "<html><head><title>Service unavailable</title></head><body>Try again</body>"
                 "</html>");
    ASSERT_TRUE(server.start());
    const std::string base = server.url();

    CliRun r = runCliWith({"--server", base + "new/", "check-update"});
    EXPECT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "New version 2.6.1 is available: " + base + "new/installers/setup-2.6.1.exe\n");
    EXPECT_EQ(server.targets().back(), "/new/cgi-bin/ver.php?type=installer&os=win");

    r = runCliWith({"check-update", "--server", base + "same/"});
    EXPECT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.out, "You are current running the latest version of the software\n");

    // A reply without the record's fields (a short line, a web server's error page) is no
    // answer.
    for (const char* other : {"short/", "html/"}) {
        r = runCliWith({"check-update", "--server", base + other});
        EXPECT_EQ(r.rc, kExitCamera) << other;
        EXPECT_EQ(r.out, "") << other;
        EXPECT_EQ(r.err, "brisco-cli: the server's reply is not an installer record\n") << other;
    }

    // An answer that cannot be understood is not taken for "up to date".
    r = runCliWith({"check-update", "--server", base + "bad/"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "brisco-cli: Unexpected installer information!\n");

    r = runCliWith({"check-update", "--server", base + "missing/"});
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: The server returned HTTP status 404\n");

    EXPECT_EQ(runCliWith({"check-update", "extra"}).rc, kExitUsage);
}

TEST(CliFirmwareHelp, CommandsDescribeThemselves) {
    CliRun r = runCliWith({"--help"});
    ASSERT_EQ(r.rc, kExitOk);
    for (const char* text : {"releases", "check-update", "--server URL"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    r = runCliWith({"releases", "--help"});
    EXPECT_EQ(r.rc, kExitOk);
    EXPECT_EQ(r.out.rfind("Usage: brisco-cli [--simulate] [--device N] [--server URL] releases "
                          "fx3|fpga [--kind K]\n",
                          0),
              0u)
        << r.out;
    r = runCliWith({"--help", "check-update"});
    EXPECT_EQ(r.rc, kExitOk);
    EXPECT_EQ(r.out.rfind("Usage: brisco-cli [--server URL] check-update\n", 0), 0u) << r.out;
}

// The simulated camera's upgrade side at its quickest.
constexpr const char* kQuickSim = "cameras=1;config_ms=1;erase_ms=1;reset_ms=20";

TEST(CliUpgrade, FpgaFromFilesGoodAndCorrupt) {
    TestSupport::TempFolder dir;
    const std::string good = dir.write("good.bin", Sim::buildSimFpgaImage(95));
    CliRun r = runCliWith({"--simulate", "upgrade", "fpga", good}, kQuickSim);
    ASSERT_EQ(r.rc, kExitOk) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Firmware upgrade for FPGA\n", 0), 0u) << r.out;
    EXPECT_TRUE(
        contains(r.out, "Loading firmware file (3145728 bytes) from file://" + good + "... OK\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Switching FPGA into Update Mode... OK\n"));
    EXPECT_TRUE(contains(r.out, "Erasing FPGA SPI Flash... OK\n"));
    EXPECT_TRUE(contains(r.out, "Loading the firmware onto FPGA... OK\n"));
    EXPECT_TRUE(contains(r.out, "\nFirmware upgrade succeeded\n\nNew version is: 1.1.4.5.95\n"))
        << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "5\n");
    EXPECT_FALSE(contains(r.out, "auto-close"));
    EXPECT_FALSE(contains(r.out, "\r"));
    EXPECT_EQ(r.err, "");

    const std::string bad = dir.write("bad.bin", Sim::buildSimFpgaImage(96, true));
    r = runCliWith({"upgrade", "fpga", bad, "--simulate"}, kQuickSim);
    EXPECT_EQ(r.rc, kExitCamera) << r.out;
    EXPECT_TRUE(contains(r.out,
                         "Loading the firmware onto FPGA... Error\n"
                         "The upload returned a success but there were errors\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "\nFirmware upgrade failed\n"));
    EXPECT_FALSE(contains(r.out, "New version is"));
    EXPECT_TRUE(contains(r.out, "FPGA configuration status: ")) << r.out;
    EXPECT_TRUE(contains(r.out, "Config done, CRC error\n")) << r.out;
    EXPECT_EQ(r.err, "brisco-cli: the FPGA firmware upgrade failed\n");
}

// The README's own example: an image written by sim-image into the current folder, named
// relatively, also with characters a file URL would misread.
TEST(CliUpgrade, LocalFilesByRelativeNamesAndTheCrcFault) {
    TestSupport::TempFolder dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const std::string name : {"fpga.bin", "with space #1.bin", "50%.bin"}) {
        CliRun r = runCliWith({"sim-image", "fpga", "--build", "95", "-o", name}, kQuickSim);
        ASSERT_EQ(r.rc, kExitOk) << r.err;
        r = runCliWith({"--simulate", "upgrade", "fpga", name}, kQuickSim);
        EXPECT_EQ(r.rc, kExitOk) << name << "\n" << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "\nFirmware upgrade succeeded\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "from file://" + (dir.path() / name).string() + "... OK\n"))
            << r.out;
    }
    // "Config done" together with "CRC error": a success with errors is a failure.
    const CliRun r = runCliWith({"--simulate", "upgrade", "fpga", "fpga.bin"},
                                "cameras=1;config_ms=1;erase_ms=1;"
                                "reset_ms=20;fault=crc");
    std::filesystem::current_path(previous);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_TRUE(contains(r.out,
                         "Loading the firmware onto FPGA... Error\n"
                         "The upload returned a success but there were errors\n"
                         "Please check status indicators for extended information on the error\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Config done, CRC error\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nFirmware upgrade failed\n"));
}

TEST(CliUpgrade, Fx3RamLoadAndRefusedFiles) {
    TestSupport::TempFolder dir;
    const std::string image = dir.write("fx3.img", Sim::buildSimFx3Image(130));
    CliRun r = runCliWith({"--simulate", "upgrade", "fx3", image, "--ram"}, kQuickSim);
    ASSERT_EQ(r.rc, kExitOk) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Restore BootLoader... OK\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Programming FX3 RAM... OK\n"));
    EXPECT_TRUE(contains(r.out, "New version is: 1.1.4.5.130\n"));

    // Short or missing files are refused before the camera is touched.
    const std::string shortImage = dir.write("short.img", std::vector<uint8_t>(1000, 0xA5));
    for (const std::string& path : {shortImage, image + ".missing"}) {
        r = runCliWith({"--simulate", "upgrade", "fx3", path}, kQuickSim);
        EXPECT_EQ(r.rc, kExitCamera);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "brisco-cli: The FX3 image file is corrupt or inaccessible: '" + path + "'\n");
    }
    r = runCliWith({"--simulate", "upgrade", "fpga", image},
                   kQuickSim);  // too short for a bitstream
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_TRUE(contains(r.err, "The FPGA image file is corrupt or inaccessible"));
}

TEST(CliUpgrade, FromTheServerAskingBeforeDowngrades) {
    // The simulated camera runs FX3 build 105.
    const auto newer = Sim::buildSimFx3Image(120);
    const auto older = Sim::buildSimFx3Image(100);
    const auto same = Sim::buildSimFx3Image(105);
    ReplyServer server;
    server.reply("/cgi-bin/ver.php",
                 fmt::format("fx3:5:100:fw/fx3-100.img:{}\nfx3:5:120:fw/fx3-120.img:{}\n"
                             "fx3:5:105:fw/fx3-105.img:{}\nfpga:5:200:fw/x.bin:3145728\n",
                             older.size(), newer.size(), same.size()));
    server.reply("/fw/fx3-120.img", asText(newer));
    server.reply("/fw/fx3-100.img", asText(older));
    server.reply("/fw/fx3-105.img", asText(same));
    ASSERT_TRUE(server.start());
    const auto fetched = [&server](const std::string& path) {
        const auto t = server.targets();
        return std::count(t.begin(), t.end(), path);
    };

    CliRun r = runCliWith(
        {"--simulate", "--server", server.url(), "upgrade", "fx3", "--release", "5"}, kQuickSim);
    ASSERT_EQ(r.rc, kExitOk) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, fmt::format("Loading firmware file ({} bytes) from {}fw/fx3-120.img"
                                            "... OK\n",
                                            newer.size(), server.url())))
        << r.out;
    EXPECT_TRUE(contains(r.out, "Programming FX3 SPI Flash device... OK\n"));
    EXPECT_TRUE(contains(r.out, "New version is: 1.1.4.5.120\n"));
    EXPECT_FALSE(contains(r.out, "Downgrading"));
    EXPECT_EQ(server.targets().front(), "/cgi-bin/ver.php?type=fx3&vid=1&hwid=1&pid=4&rel=5");

    // A lower or the same build: the question, and nothing downloaded without --yes.
    for (const char* build : {"100", "105"}) {
        r = runCliWith({"--simulate", "upgrade", "fx3", "--release", "5", "--build", build,
                        "--server", server.url()},
                       kQuickSim);
        EXPECT_EQ(r.rc, kExitCamera) << build;
        EXPECT_EQ(r.out, fmt::format("Downgrading firmware to version {}.\nClick YES to proceed\n",
                                     build));
        EXPECT_EQ(r.err, "brisco-cli: the upgrade was not confirmed (--yes confirms it)\n");
        EXPECT_EQ(fetched(fmt::format("/fw/fx3-{}.img", build)), 0) << build;
    }
    r = runCliWith({"--simulate", "--server", server.url(), "upgrade", "fx3", "--release", "5",
                    "--build", "100", "--yes"},
                   kQuickSim);
    ASSERT_EQ(r.rc, kExitOk) << r.out << r.err;
    EXPECT_FALSE(contains(r.out, "Downgrading"));
    EXPECT_TRUE(contains(r.out, "New version is: 1.1.4.5.100\n"));
    EXPECT_EQ(fetched("/fw/fx3-100.img"), 1);

    r = runCliWith({"--simulate", "--server", server.url(), "upgrade", "fx3", "--release", "5",
                    "--build", "200"},
                   kQuickSim);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.err, "brisco-cli: the server has no build 200 of kind 5 (Release)\n");
    r = runCliWith(
        {"--simulate", "--server", server.url() + "gone/", "upgrade", "fx3", "--release", "5"},
        kQuickSim);
    EXPECT_EQ(r.rc, kExitCamera);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lineCount(r.err), 1u);
}

TEST(CliUpgrade, UsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"upgrade"},
             {"upgrade", "fpga"},
             {"upgrade", "usb", "f.img"},
             {"upgrade", "fpga", "f.bin", "--ram"},
             {"upgrade", "fx3", "--release", "5", "--ram"},
             {"upgrade", "fx3", "f.img", "--release", "5"},
             {"upgrade", "fx3", "f.img", "--yes"},
             {"upgrade", "fx3", "f.img", "--build", "3"},
             {"upgrade", "fx3", "--release", "0"},
             {"upgrade", "fx3", "--release"},
             {"upgrade", "fx3", "--release", "5", "--build", "-1"},
             {"upgrade", "fx3", "a.img", "b.img"}}) {
        const CliRun r = runCliWith(args);
        EXPECT_EQ(r.rc, kExitUsage) << args.back();
        EXPECT_TRUE(contains(r.err, "Try 'brisco-cli upgrade --help'")) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const CliRun r = runCliWith({"upgrade", "--help"});
    EXPECT_EQ(r.rc, kExitOk);
    EXPECT_TRUE(contains(r.out, "upgrade fx3|fpga FILE [--ram]"));
    EXPECT_TRUE(contains(r.out, "--release K"));
}

}  // namespace
}  // namespace TVR::Cli
