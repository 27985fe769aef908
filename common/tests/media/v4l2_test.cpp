#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "media/capture_backend.h"
#include "media/media_type.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/v4l2/v4l2_formats.h"

namespace OLK {
namespace {

TEST(V4l2Formats, PixelFormatsMapToSubtypesAndBack) {
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_YUYV), MFVideoFormat_YUY2);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_NV12), MFVideoFormat_NV12);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_MJPEG), MFVideoFormat_MJPG);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_H264), MFVideoFormat_H264);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_BGR24), MFVideoFormat_RGB24);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_XBGR32), MFVideoFormat_RGB32);
    EXPECT_EQ(subtypeFromV4l2(V4L2_PIX_FMT_Y41P), MFVideoFormat_Y41P);
    EXPECT_EQ(v4l2FromSubtype(MFVideoFormat_YUY2), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(v4l2FromSubtype(MFVideoFormat_RGB32), V4L2_PIX_FMT_XBGR32);
    EXPECT_EQ(v4l2FromSubtype(MFVideoFormat_MJPG), V4L2_PIX_FMT_MJPEG);
    EXPECT_EQ(v4l2FromSubtype(MFVideoFormat_RGB8), 0u);
    EXPECT_EQ(v4l2FromSubtype(FORMAT_VideoInfo), 0u);
}

TEST(V4l2Formats, HostileSizeAndRateSaturateTheBitRate) {
    V4l2ModeFacts f;
    f.pixelFormat = V4L2_PIX_FMT_YUYV;
    f.width = 640;
    f.height = 480;
    f.sizeImage = 0x80000000u;
    f.rateNum = 0x40000000u;  // the product of size, 8 and rate overflows 64 bits
    EXPECT_EQ(MediaTypeVideo(v4l2ModeAttributes(f)).bitRate(), UINT32_MAX);
    f.sizeImage = 614400;
    f.rateNum = 30;
    EXPECT_EQ(MediaTypeVideo(v4l2ModeAttributes(f)).bitRate(), 614400u * 8 * 30);
}

TEST(V4l2Formats, ModeAttributes) {
    V4l2ModeFacts f;
    f.pixelFormat = V4L2_PIX_FMT_YUYV;
    f.width = 1280;
    f.height = 720;
    f.bytesPerLine = 2560;
    f.sizeImage = 1843200;
    f.field = V4L2_FIELD_NONE;
    f.rateNum = f.maxRateNum = 240;
    f.minRateNum = 30;
    MediaTypeVideo mode(v4l2ModeAttributes(f));
    EXPECT_TRUE(mode.is(MFVideoFormat_YUY2));
    EXPECT_EQ(mode.frameSize().width, 1280u);
    EXPECT_EQ(mode.defaultStride(), 2560);
    EXPECT_EQ(mode.sampleSize(), 1843200u);
    EXPECT_FALSE(mode.isInterlaced());
    EXPECT_FALSE(mode.isDiscardable());
    EXPECT_EQ(static_cast<int>(mode.frameRateMax()), 240);
    EXPECT_EQ(static_cast<int>(mode.frameRateMin()), 30);

    f.field = V4L2_FIELD_INTERLACED_BT;
    f.bytesPerLine = 0;
    f.sizeImage = 0;
    MediaTypeVideo interlaced(v4l2ModeAttributes(f));
    EXPECT_TRUE(interlaced.isInterlaced());
    EXPECT_EQ(interlaced.defaultStride(), 2560);
    EXPECT_EQ(interlaced.sampleSize(), 1843200u);
}

TEST(V4l2Formats, CompressedFormatsCarryNoStride) {
    for (uint32_t fourcc : {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_H264}) {
        V4l2ModeFacts f;
        f.pixelFormat = fourcc;
        f.width = 1920;
        f.height = 1080;
        f.sizeImage = 4147200;
        f.rateNum = 30;
        auto mt = v4l2ModeAttributes(f);
        uint32_t compressed = 0;
        EXPECT_EQ(mt->getUINT32(MF_MT_COMPRESSED, &compressed), S_OK);
        EXPECT_EQ(compressed, 1u);
        EXPECT_FALSE(mt->hasItem(MF_MT_DEFAULT_STRIDE));
        EXPECT_EQ(MediaTypeVideo(mt).sampleSize(), 4147200u);
    }
    EXPECT_EQ(interlaceFromV4l2Field(V4L2_FIELD_ANY), 0u);
    EXPECT_EQ(interlaceFromV4l2Field(V4L2_FIELD_TOP), 5u);
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/olk-v4l2-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

TEST(V4l2Backend, FolderWithoutCaptureNodesListsNothing) {
    TempDir dir;
    // Plain files named like nodes are not capture devices.
    std::ofstream(dir.path() + "/video0") << "x";
    std::ofstream(dir.path() + "/videoX") << "x";
    auto backend = makeV4l2Backend(dir.path());
    std::vector<std::shared_ptr<Activate>> devices;
    EXPECT_EQ(backend->enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices), S_OK);
    EXPECT_TRUE(devices.empty());
    EXPECT_EQ(backend->enumDevices(GUID_NULL, &devices), E_INVALIDARG);
}

TEST(V4l2Backend, WatcherReportsNodesComingAndGoing) {
    TempDir dir;
    auto backend = makeV4l2Backend(dir.path());
    std::mutex lock;
    std::condition_variable changed;
    std::vector<DeviceChangeEvent> events;
    backend->setDeviceChangeListener([&](const DeviceChangeEvent& e) {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(e);
        changed.notify_all();
    });
    std::ofstream(dir.path() + "/media0") << "x";  // not a video node: ignored
    std::ofstream(dir.path() + "/video3") << "x";
    std::filesystem::remove(dir.path() + "/video3");
    std::unique_lock<std::mutex> guard(lock);
    // The bound only keeps a broken watcher from hanging the test.
    ASSERT_TRUE(
        changed.wait_for(guard, std::chrono::seconds(10), [&] { return events.size() >= 2; }));
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].eventType, kDbtDeviceArrival);
    EXPECT_EQ(events[0].deviceName, dir.path() + "/video3");
    EXPECT_EQ(events[1].eventType, kDbtDeviceRemoveComplete);
    EXPECT_EQ(events[1].deviceType, kDbtDevTypDeviceInterface);
    guard.unlock();
    backend->setDeviceChangeListener(nullptr);
}

}  // namespace
}  // namespace OLK
