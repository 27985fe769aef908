#include <gtest/gtest.h>

#include "video/capture_device.h"

namespace TVR {
namespace {

// A source with a fixed listing, to pin down the matching rules on exact inputs.
class ListedDevices : public CaptureDeviceSource {
public:
    std::vector<CaptureDevice> audio;
    std::vector<CaptureDevice> video;
    std::vector<CaptureDevice> audioCaptureDevices() override { return audio; }
    std::vector<CaptureDevice> videoCaptureDevices() override { return video; }
    std::unique_ptr<UvcPropertySource> openUvcProperties(const CaptureDevice&) override {
        return nullptr;
    }
};

CaptureDevice device(const std::string& name, const std::string& location, bool software,
                     CaptureKind kind = CaptureKind::Video) {
    return {name, "link:" + name, location, kind, software};
}

TEST(FindCaptureDevice, FirstExactVideoMatchWithSoftwareSuffix) {
    ListedDevices src;
    src.audio = {device("Mic", "1-2", false, CaptureKind::Audio)};
    src.video = {device("Other", "1-20", false), device("Loop", "1-2", true),
                 device("Camera", "1-2", false), device("Upper", "Port-A", false)};

    // Audio devices are not capture devices of the camera's video side.
    const auto found = findCaptureDevice(src, "1-2");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Loop - software device");
    EXPECT_EQ(found->symbolicLink, "link:Loop");
    EXPECT_TRUE(found->softwareDevice);

    const auto hw = findCaptureDevice(src, "1-20");
    ASSERT_TRUE(hw);
    EXPECT_EQ(hw->name, "Other");

    EXPECT_TRUE(findCaptureDevice(src, "Port-A"));
    EXPECT_FALSE(findCaptureDevice(src, "port-a"));
    EXPECT_FALSE(findCaptureDevice(src, "PORT-A"));
    EXPECT_FALSE(findCaptureDevice(src, "1"));
    EXPECT_FALSE(findCaptureDevice(src, ""));

    // A device without location never matches, not even an empty request.
    src.video = {device("Nowhere", "", false)};
    EXPECT_FALSE(findCaptureDevice(src, ""));
}

}  // namespace
}  // namespace TVR
