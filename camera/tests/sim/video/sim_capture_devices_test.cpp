#include <gtest/gtest.h>

#include "protocol/uvc_property_ids.h"
#include "sim/sim_driver.h"
#include "sim/video/sim_capture_devices.h"
#include "video/capture_device.h"

namespace TVR {
namespace {

std::string locationOf(Sim::SimDriver& driver, const Sim::SimCamera& cam) {
    return driver.location(driver.pathOf(cam));
}

TEST(SimCaptureDevices, EachPluggedCameraOffersItsCaptureSide) {
    Sim::SimDriver driver;
    Sim::SimCameraConfig withMic;
    withMic.audioName = "Brisco microphone";
    const auto first = driver.addCamera(withMic);
    Sim::SimCameraConfig elsewhere;
    elsewhere.videoName = "Second camera";
    elsewhere.captureLocation = "Port-A";
    const auto second = driver.addCamera(elsewhere);
    Sim::SimCameraConfig headless;
    headless.videoName.clear();
    driver.addCamera(headless);

    SimCaptureDevices source(driver);
    const std::string loc1 = locationOf(driver, *first);
    ASSERT_FALSE(loc1.empty());

    const auto video = source.videoCaptureDevices();
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[0].name, Sim::SimCameraConfig{}.videoName);
    EXPECT_EQ(video[0].location, loc1);
    EXPECT_EQ(video[0].symbolicLink, "sim-video:" + loc1);
    EXPECT_EQ(video[0].kind, CaptureKind::Video);
    EXPECT_FALSE(video[0].softwareDevice);
    EXPECT_EQ(video[1].name, "Second camera");
    EXPECT_EQ(video[1].location, "Port-A");

    const auto audio = source.audioCaptureDevices();
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].name, "Brisco microphone");
    EXPECT_EQ(audio[0].location, loc1);
    EXPECT_EQ(audio[0].kind, CaptureKind::Audio);
    EXPECT_NE(audio[0].symbolicLink, video[0].symbolicLink);
}

TEST(SimCaptureDevices, CameraFindsItsCaptureDeviceByLocation) {
    Sim::SimDriver driver;
    const auto first = driver.addCamera();
    Sim::SimCameraConfig elsewhere;
    elsewhere.videoName = "Second camera";
    elsewhere.captureLocation = "Port-A";
    const auto second = driver.addCamera(elsewhere);
    SimCaptureDevices source(driver);

    const auto cam = findCaptureDevice(source, locationOf(driver, *first));
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->name, Sim::SimCameraConfig{}.videoName);  // hardware: no suffix

    // The second camera's capture side sits at another location, so it has none of its own.
    EXPECT_FALSE(findCaptureDevice(source, locationOf(driver, *second)));
    EXPECT_TRUE(findCaptureDevice(source, "Port-A"));
    EXPECT_FALSE(findCaptureDevice(source, "port-a"));

    // Unplugged cameras take their capture side with them.
    const std::string loc1 = locationOf(driver, *first);
    driver.unplug(first);
    EXPECT_FALSE(findCaptureDevice(source, loc1));
    EXPECT_EQ(source.videoCaptureDevices().size(), 1u);
    driver.plug(first);
    EXPECT_TRUE(findCaptureDevice(source, loc1));
}

TEST(SimCaptureDevices, OpensThePropertiesOfItsOwnDevicesOnly) {
    Sim::SimDriver driver;
    Sim::SimCameraConfig withMic;
    withMic.audioName = "Brisco microphone";
    const auto cam = driver.addCamera(withMic);
    SimCaptureDevices source(driver);
    const auto video = source.videoCaptureDevices();
    ASSERT_EQ(video.size(), 1u);

    const auto uvc = source.openUvcProperties(video[0]);
    ASSERT_TRUE(uvc);
    ASSERT_NE(uvc->procAmp(), nullptr);
    EXPECT_TRUE(uvc->procAmp()->get(UvcProcAmp::kBrightness));

    // Its audio device, a V4L2 node at the same location and a gone camera have none.
    EXPECT_EQ(source.openUvcProperties(source.audioCaptureDevices().at(0)), nullptr);
    CaptureDevice node = video[0];
    node.symbolicLink = "/dev/video0";
    EXPECT_EQ(source.openUvcProperties(node), nullptr);
    driver.unplug(cam);
    EXPECT_EQ(source.openUvcProperties(video[0]), nullptr);
    driver.plug(cam);
    EXPECT_TRUE(source.openUvcProperties(video[0]));
}

}  // namespace
}  // namespace TVR
