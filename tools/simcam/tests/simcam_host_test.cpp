#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "simcam_cameras.h"
#include "simcam_host.h"
#include "test_support.h"
#include "usb/usb_ids.h"

namespace TVR::Simcam {
namespace {

std::string firstLine(const std::filesystem::path& p) {
    std::string line;
    std::getline(std::ifstream(p), line);
    return line;
}

TEST(SimcamHost, ReEnumerationDetachesAndAttachesAgain) {
    const auto dir = std::filesystem::temp_directory_path() / "tvr-simcam-host-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "status") << "hub port sta spd dev sockfd local_busid\n"
                                     "hs  0000 004 000 00000000 000000 0-0\n"
                                     "ss  0015 006 005 00010001 000004 2-1\n"
                                     "ss  0016 004 000 00000000 000000 0-0\n";
    std::ofstream(dir / "attach");
    std::ofstream(dir / "detach");

    std::string error;
    auto driver = simcamDriverFromOptions("cameras=2;usb=3", error);
    ASSERT_TRUE(driver) << error;
    const auto cams = driver->cameras();
    ASSERT_EQ(cams.size(), 2u);
    // This kernel never frees a port by itself: the host falls back to the sysfs detach.
    SimcamHost host(*driver, Vhci(dir.string()), std::chrono::milliseconds(0));
    ASSERT_TRUE(host.start(error)) << error;
    auto attached = host.attached();
    ASSERT_EQ(attached.size(), 2u);
    // The status file does not change here, so both get the free SuperSpeed port 16.
    EXPECT_EQ(attached[0].port, 16u);
    const std::string first = firstLine(dir / "attach");
    EXPECT_EQ(first.substr(0, 3), "16 ");
    EXPECT_EQ(first.substr(first.size() - 2), " 5") << "SuperSpeed";

    // As the kernel would show it now: port 16 in use, 15 free.
    std::ofstream(dir / "status") << "hub port sta spd dev sockfd local_busid\n"
                                     "ss  0015 004 000 00000000 000000 0-0\n"
                                     "ss  0016 006 005 00010001 000004 2-1\n";
    driver->reenumerate(cams[0], std::chrono::milliseconds(0), [] { return kBootLoaderProductId; });
    ASSERT_TRUE(TestSupport::eventually([&] { return host.eventsHandled() >= 2; }));
    EXPECT_EQ(firstLine(dir / "detach"), "16");
    attached = host.attached();
    ASSERT_EQ(attached.size(), 2u);
    EXPECT_EQ(attached.back().path, "sim:1-1:04b4:00f3");
    EXPECT_EQ(attached.back().port, 15u) << "its old port is still taken";

    // Unplugged: detached and not attached again.
    driver->unplug(cams[1]);
    ASSERT_TRUE(TestSupport::eventually([&] { return host.eventsHandled() >= 3; }));
    EXPECT_EQ(host.attached().size(), 1u);
    host.stop();
    EXPECT_TRUE(host.attached().empty());
    std::filesystem::remove_all(dir);
}

TEST(SimcamHost, RefusesToStartWithoutTheVirtualHostController) {
    std::string error;
    auto driver = simcamDriverFromOptions("", error);
    ASSERT_TRUE(driver);
    SimcamHost host(*driver, Vhci("/nonexistent/vhci_hcd.0"));
    EXPECT_FALSE(host.start(error));
    EXPECT_NE(error.find("vhci-hcd"), std::string::npos);
    auto bad = simcamDriverFromOptions("cameras=x", error);
    EXPECT_FALSE(bad);
    EXPECT_NE(error.find("cameras"), std::string::npos);
}

}  // namespace
}  // namespace TVR::Simcam
