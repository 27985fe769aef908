#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include <fmt/format.h>

#include "kernel_rig.h"
#include "libusb/libusb_driver.h"
#include "protocol/uvc_property_ids.h"
#include "sim/sim_uvc.h"

namespace TVR::KernelTests {
namespace {

uint32_t buildOf(uint32_t versionWord) { return versionWord >> 19; }

// brisco-cli with the emulated machine's control time-out: these tests are about what the
// commands do, not about how fast the camera answers.
ProgramRun cli(const std::vector<std::string>& args) {
    return runProgram("brisco-cli", args,
                      fmt::format("TAVRO_CONTROL_TIMEOUT_MS={}", kEmulatedControlTimeoutMs));
}

TEST(BriscoCliOnUsb, ListInfoReadAndLoadWithoutSimulate) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const std::string location = kernelLocationOf(0x04B4, 0x00F1);

    const auto list = cli({"list"});
    ASSERT_EQ(list.exitCode, 0) << list.output;
    EXPECT_NE(list.output.find(fmt::format("usb:{}:04b4:00f1\t{}", location, location)),
              std::string::npos)
        << list.output;

    const auto info = cli({"info"});
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("Location:       " + location), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("FX3 firmware:   1.1.4.5.105"), std::string::npos) << info.output;

    // The settings file carries the UVC properties, read from and pushed to uvcvideo's node.
    auto& uvc = k.cam->uvc();
    ASSERT_TRUE(uvc.set(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness, 12, Sim::kSimUvcManual));
    const std::string file = "/tmp/kernel-settings.qcf";
    std::filesystem::remove(file);
    const auto read = cli({"read", "-o", file});
    ASSERT_EQ(read.exitCode, 0) << read.output;
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("UVC_BRIGHTNESS=12"), std::string::npos);

    ASSERT_TRUE(uvc.set(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness, 0, Sim::kSimUvcManual));
    const auto load = cli({"load", file, "--yes"});
    EXPECT_EQ(load.exitCode, 0) << load.output;
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness)->value, 12);
}

TEST(BriscoCliOnUsb, UpgradesFx3AndFpgaThroughReEnumeration) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    std::mutex m;
    std::vector<std::pair<PlugEvent, std::string>> events;
    const int token = usb.subscribe([&](PlugEvent e, const std::string& path) {
        std::lock_guard lock(m);
        events.emplace_back(e, path);
    });
    auto seen = [&](PlugEvent e, const std::string& suffix) {
        std::lock_guard lock(m);
        return std::count_if(events.begin(), events.end(), [&](const auto& x) {
            return x.first == e && x.second.ends_with(suffix);
        });
    };
    auto image = [](const std::string& kind, int build) {
        const std::string file = fmt::format("/tmp/kernel-{}-{}.img", kind, build);
        const auto r = cli({"sim-image", kind, "--build", std::to_string(build), "-o", file});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return file;
    };

    // Into RAM: the camera restarts in its boot loader (0x00F3), takes the program and comes
    // back under its own product id.
    const auto ram = cli({"upgrade", "fx3", image("fx3", 61), "--ram"});
    ASSERT_EQ(ram.exitCode, 0) << ram.output;
    EXPECT_EQ(buildOf(k.firmware->fx3Version()), 61u);
    EXPECT_GE(seen(PlugEvent::Arrived, ":04b4:00f3"), 1);
    EXPECT_TRUE(waitFor([&] { return seen(PlugEvent::Arrived, ":04b4:00f1") >= 1; }));

    // Into the flash: a reset brings the new program up.
    const auto leftBefore = seen(PlugEvent::Left, ":04b4:00f1");
    const auto flash = cli({"upgrade", "fx3", image("fx3", 62)});
    ASSERT_EQ(flash.exitCode, 0) << flash.output;
    EXPECT_EQ(buildOf(k.firmware->fx3Version()), 62u);
    EXPECT_GT(seen(PlugEvent::Left, ":04b4:00f1"), leftBefore);

    // The bitstream goes over bulk endpoint 0x05.
    const auto fpga = cli({"upgrade", "fpga", image("fpga", 93)});
    ASSERT_EQ(fpga.exitCode, 0) << fpga.output;
    EXPECT_EQ(buildOf(k.firmware->fpgaVersion()), 93u);
    usb.unsubscribe(token);
}

}  // namespace
}  // namespace TVR::KernelTests
