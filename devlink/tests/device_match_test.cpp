#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <fmt/format.h>

#include "device_match.h"
#include "sim/sim_driver.h"
#include "sim/video/sim_capture_devices.h"
#include "usb/usb_device.h"
#include "video/sysfs_capture_devices.h"

namespace TVR::Devlink {
namespace {

constexpr const char* kAudioHeader = "--- IMFActivate-based list of audio capturing devices ---\n";
constexpr const char* kVideoHeader = "--- IMFActivate-based list of video capturing devices ---\n";
constexpr const char* kFx3Header = "--- List of Cypress devices ---\n";
constexpr const char* kMatchHeader =
    "\n--- Found these matches based on \"location\" information ---\n";

std::string report(Sim::SimDriver& drv, CaptureDeviceSource& capture) {
    std::ostringstream out;
    ConsoleWriter w(out, false);
    writeReport(drv, capture, w);
    return out.str();
}

std::string report(Sim::SimDriver& drv, bool colour = false) {
    SimCaptureDevices capture(drv);
    std::ostringstream out;
    ConsoleWriter w(out, colour);
    writeReport(drv, capture, w);
    return out.str();
}

std::string nameOf(Sim::SimDriver& drv, const Sim::SimCamera& cam, bool several) {
    std::string name = cam.config().friendlyName;
    if (several) name += fmt::format(" @{}", pathSuffixNumber(drv.pathOf(cam)));
    return name;
}

std::string videoRecord(const std::string& name, const std::string& location) {
    return name + "\nSymbolic link: sim-video:" + location + "\nLocation: " + location + "\n";
}

std::string fx3Record(const std::string& name, int index, const std::string& location) {
    return fmt::format("{}\nDev#: {}\nLocation: {}\n\n", name, index, location);
}

TEST(DevlinkReport, OneCameraMatchesItsCaptureDevice) {
    Sim::SimDriver drv;
    auto cam = drv.addCamera();
    const std::string name = nameOf(drv, *cam, false);
    const std::string expected =
        std::string(kAudioHeader) + kVideoHeader + videoRecord("Tavro Brisco camera", "1-1") +
        "\n" + kFx3Header + fx3Record(name, 0, "1-1") + kMatchHeader + "FX3 device#: 0 - " + name +
        "\n\rIMF device: " + videoRecord("Tavro Brisco camera", "1-1") + "\n";
    EXPECT_EQ(report(drv), expected);
}

TEST(DevlinkReport, TwoCamerasGiveTwoMatchBlocksInFx3Order) {
    Sim::SimDriver drv;
    Sim::SimCameraConfig a;
    a.videoName = "Camera A";
    Sim::SimCameraConfig b;
    b.videoName = "Camera B";
    auto camA = drv.addCamera(a);
    auto camB = drv.addCamera(b);
    const std::string nameA = nameOf(drv, *camA, true);
    const std::string nameB = nameOf(drv, *camB, true);
    ASSERT_NE(nameA, nameB);
    const std::string expected =
        std::string(kAudioHeader) + kVideoHeader + videoRecord("Camera A", "1-1") + "\n" +
        videoRecord("Camera B", "1-2") + "\n" + kFx3Header + fx3Record(nameA, 0, "1-1") +
        fx3Record(nameB, 1, "1-2") + kMatchHeader + "FX3 device#: 0 - " + nameA +
        "\n\rIMF device: " + videoRecord("Camera A", "1-1") + "FX3 device#: 1 - " + nameB +
        "\n\rIMF device: " + videoRecord("Camera B", "1-2") + "\n";
    EXPECT_EQ(report(drv), expected);
}

TEST(DevlinkReport, CompositeCameraMatchesItsAudioDeviceFirst) {
    Sim::SimDriver drv;
    Sim::SimCameraConfig cfg;
    cfg.audioName = "Tavro camera microphone";
    auto cam = drv.addCamera(cfg);
    const std::string name = nameOf(drv, *cam, false);
    const std::string audio =
        "Tavro camera microphone\nSymbolic link: sim-audio:1-1\nLocation: 1-1\n";
    const std::string expected = std::string(kAudioHeader) + audio + "\n" + kVideoHeader +
                                 videoRecord("Tavro Brisco camera", "1-1") + "\n" + kFx3Header +
                                 fx3Record(name, 0, "1-1") + kMatchHeader + "FX3 device#: 0 - " +
                                 name + "\n\rIMF device: " + audio + "\n";
    EXPECT_EQ(report(drv), expected);
}

TEST(DevlinkReport, LocationsDifferingInCaseDoNotMatch) {
    Sim::SimDriver drv;
    Sim::SimCameraConfig cfg;
    cfg.location = "1-a";
    cfg.captureLocation = "1-A";
    drv.addCamera(cfg);
    const std::string out = report(drv);
    EXPECT_NE(out.find("Location: 1-A\n"), std::string::npos);
    EXPECT_NE(out.find("Location: 1-a\n"), std::string::npos);
    const std::string tail = std::string(kMatchHeader) + "No matches found\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(DevlinkReport, UnopenableDeviceIsListedWithoutNameAndStillMatched) {
    Sim::SimDriver drv;
    Sim::SimCameraConfig cfg;
    cfg.openFails = true;
    drv.addCamera(cfg);
    const std::string out = report(drv);
    EXPECT_NE(out.find(std::string(kFx3Header) + "\nDev#: 0\nLocation: 1-1\n\n"),
              std::string::npos);
    EXPECT_NE(out.find("FX3 device#: 0 - \n\rIMF device: Tavro Brisco camera\n"),
              std::string::npos);
}

TEST(DevlinkReport, NoDevicesPrintsHeadersOnly) {
    Sim::SimDriver drv;
    const std::string expected =
        std::string(kAudioHeader) + kVideoHeader + kFx3Header + kMatchHeader + "No matches found\n";
    EXPECT_EQ(report(drv), expected);
}

TEST(DevlinkReport, ColoursAreAnsiSequencesForTheirRoles) {
    Sim::SimDriver drv;
    drv.addCamera();
    const std::string out = report(drv, true);
    EXPECT_EQ(out.rfind("\x1b[96m--- IMFActivate-based list of audio", 0), 0u);
    EXPECT_NE(out.find("\x1b[32mTavro Brisco camera\x1b[0m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[36msim-video:1-1\x1b[0m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[33m1-1\x1b[0m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[95m0 - "), std::string::npos);
}

// What follows the match header: the matches, or that there are none.
std::string matchSection(const std::string& out) {
    const size_t at = out.find(kMatchHeader);
    return at == std::string::npos ? std::string()
                                   : out.substr(at + std::string(kMatchHeader).size());
}

// A port and a port of a hub plugged into it ("1-2" and "1-2.1") share a prefix, nothing else.
TEST(DevlinkReport, APortDoesNotMatchThePortsBelowIt) {
    for (const auto& [fx3, capture] :
         {std::pair{"1-2", "1-2.1"}, std::pair{"1-2.1", "1-2"}, std::pair{"1-2", "1-21"}}) {
        Sim::SimDriver drv;
        Sim::SimCameraConfig cfg;
        cfg.location = fx3;
        cfg.captureLocation = capture;
        drv.addCamera(cfg);
        EXPECT_EQ(matchSection(report(drv)), "No matches found\n")
            << "FX3 at " << fx3 << ", capture device at " << capture;
    }

    // Each capture device is listed before the FX3 device it would wrongly pair with.
    Sim::SimDriver drv;
    Sim::SimCameraConfig below;
    below.location = "1-2.1";
    below.videoName = "Camera below the hub";
    below.captureLocation = "1-2";
    Sim::SimCameraConfig hub;
    hub.location = "1-2";
    hub.videoName = "Camera at the hub";
    hub.captureLocation = "1-2.1";
    auto camBelow = drv.addCamera(below);
    auto camHub = drv.addCamera(hub);
    const std::string expected = "FX3 device#: 0 - " + nameOf(drv, *camBelow, true) +
                                 "\n\rIMF device: " + videoRecord("Camera at the hub", "1-2.1") +
                                 "FX3 device#: 1 - " + nameOf(drv, *camHub, true) +
                                 "\n\rIMF device: " + videoRecord("Camera below the hub", "1-2") +
                                 "\n";
    EXPECT_EQ(matchSection(report(drv)), expected);
}

// A sysfs-like tree in a temporary folder, removed afterwards.
class SysfsFolder {
public:
    SysfsFolder() {
        std::random_device rd;
        m_root = std::filesystem::temp_directory_path() / ("tvr-devlink-" + std::to_string(rd()));
        std::filesystem::create_directories(m_root);
    }
    ~SysfsFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    SysfsRoots roots() const { return {(m_root / "sys").string(), (m_root / "dev").string()}; }

    // A UVC capture node below the USB interface directory `itf`, listed in class/video4linux.
    void videoNode(const std::string& itf, unsigned n, const std::string& name) {
        namespace fs = std::filesystem;
        const std::string entry = "video" + std::to_string(n);
        const fs::path node = m_root / itf / "video4linux" / entry;
        fs::create_directories(node);
        std::ofstream(node / "name") << name << "\n";
        std::ofstream(node / "index") << "0\n";
        fs::create_directory_symlink(fs::relative(m_root / itf, node), node / "device");
        const fs::path cls = m_root / "sys/class/video4linux";
        fs::create_directories(cls);
        fs::create_directory_symlink(fs::relative(node, cls), cls / entry);
        fs::create_directories(m_root / "dev");
        std::ofstream(m_root / "dev" / entry) << "";
    }

private:
    std::filesystem::path m_root;
};

TEST(DevlinkReport, SysfsCaptureDeviceBehindAHubPairsWithItsOwnPortOnly) {
    SysfsFolder sys;
    const std::string usb1 = "sys/devices/pci0000:00/0000:00:14.0/usb1";
    sys.videoNode(usb1 + "/1-2/1-2.1/1-2.1:1.0", 0, "Tavro Brisco camera");
    sys.videoNode(usb1 + "/1-3/1-3:1.0", 1, "Other camera");
    SysfsCaptureDevices capture(sys.roots());

    Sim::SimDriver drv;
    Sim::SimCameraConfig hub;
    hub.location = "1-2";
    Sim::SimCameraConfig below;
    below.location = "1-2.1";
    auto camHub = drv.addCamera(hub);
    auto camBelow = drv.addCamera(below);
    const std::string out = report(drv, capture);
    const std::string node = (std::filesystem::path(sys.roots().dev) / "video0").string();
    EXPECT_NE(out.find("Tavro Brisco camera\nSymbolic link: " + node + "\nLocation: 1-2.1\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(matchSection(out), "FX3 device#: 1 - " + nameOf(drv, *camBelow, true) +
                                     "\n\rIMF device: Tavro Brisco camera\nSymbolic link: " + node +
                                     "\nLocation: 1-2.1\n\n")
        << "the FX3 device at " << drv.location(drv.pathOf(*camHub)) << " has no capture device";
}

}  // namespace
}  // namespace TVR::Devlink
