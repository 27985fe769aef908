#include <gtest/gtest.h>

#include <cstdlib>

#include "backend/uvc_backend.h"
#include "protocol/uvc_property_ids.h"

namespace TVR {
namespace {

TEST(UvcBackend, SimulatedDevicesGetTheirCameraAndOtherDevicesNothingWrong) {
    setenv("TAVRO_SIM", "cameras=2;uvc=procamp", 1);
    std::string error;
    Backends sim = openBackends(true, error);
    ASSERT_TRUE(sim.usb) << error;
    const auto devices = sim.capture->videoCaptureDevices();
    ASSERT_EQ(devices.size(), 2u);
    for (const CaptureDevice& d : devices) {
        auto source = openUvcProperties(sim, d);
        ASSERT_TRUE(source) << d.symbolicLink;
        EXPECT_EQ(source->cameraControl(), nullptr);
        ASSERT_NE(source->procAmp(), nullptr);
        EXPECT_TRUE(source->procAmp()->get(UvcProcAmp::kBrightness));
    }

    // A V4L2 node is not the simulated backends' device, and an audio device has no properties.
    const CaptureDevice node{"x", "/nonexistent/video0", "1-1", CaptureKind::Video, false};
    EXPECT_EQ(openUvcProperties(sim, node), nullptr);
    CaptureDevice audio = devices[0];
    audio.kind = CaptureKind::Audio;
    EXPECT_EQ(openUvcProperties(sim, audio), nullptr);

    // The real backends give a V4L2 source: without a node it offers no property set.
    Backends real = openBackends(false, error);
    auto v4l2 = openUvcProperties(real, node);
    ASSERT_TRUE(v4l2);
    EXPECT_EQ(v4l2->procAmp(), nullptr);
    EXPECT_EQ(v4l2->cameraControl(), nullptr);
    EXPECT_EQ(openUvcProperties(real, devices[0]), nullptr);
    unsetenv("TAVRO_SIM");
}

}  // namespace
}  // namespace TVR
