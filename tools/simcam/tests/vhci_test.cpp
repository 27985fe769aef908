#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "vhci.h"

namespace TVR::Simcam {
namespace {

constexpr const char* kStatus =
    "hub port sta spd dev      sockfd local_busid\n"
    "hs  0000 006 003 00010002 000004 1-1\n"
    "hs  0001 004 000 00000000 000000 0-0\n"
    "ss  0015 004 000 00000000 000000 0-0\n"
    "ss  0016 004 000 00000000 000000 0-0\n"
    "garbage line\n"
    "ss  00x7 004 000 00000000 000000 0-0\n";

TEST(Vhci, StatusFileGivesPortsBySpeedAndState) {
    const auto ports = parseVhciStatus(kStatus);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_FALSE(ports[0].free);
    EXPECT_FALSE(ports[0].superSpeed);
    EXPECT_TRUE(ports[1].free);
    EXPECT_EQ(ports[2].port, 15u);
    EXPECT_TRUE(ports[2].superSpeed);
}

TEST(Vhci, AttachWritesTheKernelsFormatToAFreePortOfTheSpeed) {
    const auto dir = std::filesystem::temp_directory_path() / "tvr-vhci-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "status") << kStatus;
    std::ofstream(dir / "attach");
    std::ofstream(dir / "detach");
    Vhci vhci(dir.string());
    ASSERT_TRUE(vhci.present());
    std::string error;
    EXPECT_EQ(vhci.freePort(kSpeedSuper, std::nullopt, error), 15u);
    EXPECT_EQ(vhci.freePort(kSpeedSuper, 16u, error), 16u) << "a returning camera's own port";
    EXPECT_EQ(vhci.freePort(kSpeedHigh, 0u, error), 1u) << "port 0 is taken";
    ASSERT_TRUE(vhci.attach(15, 7, 0x10002, kSpeedSuper, error)) << error;
    std::string line;
    std::getline(std::ifstream(dir / "attach"), line);
    EXPECT_EQ(line, "15 7 65538 5");
    ASSERT_TRUE(vhci.detach(15, error));
    std::getline(std::ifstream(dir / "detach"), line);
    EXPECT_EQ(line, "15");

    Vhci missing((dir / "nothing").string());
    EXPECT_FALSE(missing.present());
    EXPECT_FALSE(missing.freePort(kSpeedHigh, std::nullopt, error));
    EXPECT_NE(error.find("vhci-hcd"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace TVR::Simcam
