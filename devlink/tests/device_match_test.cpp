#include <gtest/gtest.h>

#include <sstream>

#include <fmt/format.h>

#include "device_match.h"
#include "sim_capture_devices.h"
#include "sim_driver.h"
#include "usb_device.h"

namespace TVR::Devlink {
namespace {

constexpr const char* kAudioHeader = "--- IMFActivate-based list of audio capturing devices ---\n";
constexpr const char* kVideoHeader = "--- IMFActivate-based list of video capturing devices ---\n";
constexpr const char* kFx3Header = "--- List of Cypress devices ---\n";
constexpr const char* kMatchHeader =
    "\n--- Found these matches based on \"location\" information ---\n";

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
    const std::string expected = std::string(kAudioHeader) + kVideoHeader +
                                 videoRecord("Tavro Brisco camera", "1-1") + "\n" + kFx3Header +
                                 fx3Record(name, 0, "1-1") + kMatchHeader + "FX3 device#: 0 - " +
                                 name + "\n\rIMF device: " + videoRecord("Tavro Brisco camera", "1-1") +
                                 "\n";
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
    const std::string expected = std::string(kAudioHeader) + kVideoHeader + kFx3Header +
                                 kMatchHeader + "No matches found\n";
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

}  // namespace
}  // namespace TVR::Devlink
