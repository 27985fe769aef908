#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "video/v4l2_uvc_properties.h"

namespace TVR {
namespace {

namespace fs = std::filesystem;

TEST(V4l2UvcMapping, PropertiesMapOntoTheirControlsAndAutoCompanions) {
    struct Row {
        UvcPropertySet set;
        int32_t property;
        uint32_t control;
        uint32_t autoControl;
        V4l2AutoKind kind;
    };
    using S = UvcPropertySet;
    using K = V4l2AutoKind;
    const Row rows[] = {
        {S::ProcAmp, 0, V4L2_CID_BRIGHTNESS, 0, K::None},
        {S::ProcAmp, 1, V4L2_CID_CONTRAST, 0, K::None},
        {S::ProcAmp, 2, V4L2_CID_HUE, V4L2_CID_HUE_AUTO, K::Boolean},
        {S::ProcAmp, 3, V4L2_CID_SATURATION, 0, K::None},
        {S::ProcAmp, 4, V4L2_CID_SHARPNESS, 0, K::None},
        {S::ProcAmp, 5, V4L2_CID_GAMMA, 0, K::None},
        {S::ProcAmp, 7, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE,
         K::Boolean},
        {S::ProcAmp, 8, V4L2_CID_BACKLIGHT_COMPENSATION, 0, K::None},
        {S::ProcAmp, 9, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, K::Boolean},
        {S::CameraControl, 0, V4L2_CID_PAN_ABSOLUTE, 0, K::None},
        {S::CameraControl, 1, V4L2_CID_TILT_ABSOLUTE, 0, K::None},
        {S::CameraControl, 3, V4L2_CID_ZOOM_ABSOLUTE, 0, K::None},
        {S::CameraControl, 4, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, K::ExposureMenu},
        {S::CameraControl, 5, V4L2_CID_IRIS_ABSOLUTE, 0, K::None},
        {S::CameraControl, 6, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, K::Boolean},
    };
    for (const Row& r : rows) {
        const auto m = v4l2ControlFor(r.set, r.property);
        ASSERT_TRUE(m) << r.property;
        EXPECT_EQ(m->control, r.control) << r.property;
        EXPECT_EQ(m->autoControl, r.autoControl) << r.property;
        EXPECT_EQ(m->autoKind, r.kind) << r.property;
        EXPECT_EQ(m->log2Exposure, r.control == V4L2_CID_EXPOSURE_ABSOLUTE) << r.property;
    }
    // Colour enable and roll have no V4L2 control; numbers beyond the enumerations neither.
    EXPECT_FALSE(v4l2ControlFor(S::ProcAmp, 6));
    EXPECT_FALSE(v4l2ControlFor(S::CameraControl, 2));
    EXPECT_FALSE(v4l2ControlFor(S::ProcAmp, 10));
    EXPECT_FALSE(v4l2ControlFor(S::CameraControl, 7));
    EXPECT_FALSE(v4l2ControlFor(S::CameraControl, -1));
}

TEST(V4l2UvcMapping, ExposureConvertsBetweenLog2SecondsAndHundredMicroseconds) {
    EXPECT_EQ(exposureV4l2FromLog2(0), 10000);
    EXPECT_EQ(exposureV4l2FromLog2(-1), 5000);
    EXPECT_EQ(exposureV4l2FromLog2(-6), 156);  // 15.625 ms
    EXPECT_EQ(exposureV4l2FromLog2(-13), 1);   // 122 µs
    EXPECT_EQ(exposureV4l2FromLog2(-20), 1);   // never zero
    EXPECT_EQ(exposureV4l2FromLog2(3), 80000);
    EXPECT_EQ(exposureV4l2FromLog2(20), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(exposureV4l2FromLog2(std::numeric_limits<int32_t>::min()), 1);

    EXPECT_EQ(exposureLog2FromV4l2(10000), 0);
    EXPECT_EQ(exposureLog2FromV4l2(5000), -1);
    EXPECT_EQ(exposureLog2FromV4l2(333), -5);  // 33.3 ms is nearest 1/32 s
    EXPECT_EQ(exposureLog2FromV4l2(1), -13);
    EXPECT_EQ(exposureLog2FromV4l2(0), -13);
    EXPECT_EQ(exposureLog2FromV4l2(-7), -13);
    EXPECT_EQ(exposureLog2FromV4l2(std::numeric_limits<int32_t>::max()), 18);
    for (int32_t n = -13; n <= 17; ++n) {
        EXPECT_EQ(exposureLog2FromV4l2(exposureV4l2FromLog2(n)), n) << n;
    }

    // A typical UVC camera: 3..2047 units (0.3 ms .. 205 ms), default 156.
    const UvcRange r = exposureRangeFromV4l2(3, 2047, 156, kUvcFlagManual | kUvcFlagAuto);
    EXPECT_EQ(r.min, -12);
    EXPECT_EQ(r.max, -2);
    EXPECT_EQ(r.step, 1);
    EXPECT_EQ(r.defaultValue, -6);
    EXPECT_EQ(r.caps, kUvcFlagManual | kUvcFlagAuto);
    // A default the driver puts outside its own range is pulled into it.
    const UvcRange odd = exposureRangeFromV4l2(100, 200, 0, kUvcFlagManual);
    EXPECT_EQ(odd.min, -7);
    EXPECT_EQ(odd.max, -6);
    EXPECT_EQ(odd.defaultValue, -7);
    const UvcRange inverted = exposureRangeFromV4l2(5000, 1, 5000, kUvcFlagManual);
    EXPECT_EQ(inverted.min, -1);
    EXPECT_EQ(inverted.max, -1);
}

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("tvr-v4l2-" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void expectNoProperties(const std::string& path) {
    V4l2UvcProperties node(path);
    EXPECT_FALSE(node.isOpen()) << path;
    EXPECT_EQ(node.cameraControl(), nullptr) << path;
    EXPECT_EQ(node.procAmp(), nullptr) << path;
}

TEST(V4l2UvcProperties, NodesThatAreNoV4l2DeviceHaveNoProperties) {
    TempFolder folder;
    expectNoProperties((folder.path() / "video0").string());
    expectNoProperties("");

    const fs::path file = folder.path() / "video1";
    std::ofstream(file, std::ios::binary) << std::string(4096, '\xff');
    expectNoProperties(file.string());
    expectNoProperties(folder.path().string());

    const fs::path fifo = folder.path() / "video2";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectNoProperties(fifo.string());

    // A character device that is not V4L2.
    expectNoProperties("/dev/null");
}

}  // namespace
}  // namespace TVR
