#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "media/device_info.h"
#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/synthetic/synthetic_backend.h"

namespace OLK {
namespace {

SyntheticConfig configFrom(const std::string& text) {
    SyntheticConfig config;
    std::string error;
    EXPECT_TRUE(SyntheticConfig::parse(text, &config, &error)) << error;
    return config;
}

std::shared_ptr<Activate> firstDevice(
    SyntheticBackend& backend, const GUID& type = MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID) {
    std::vector<std::shared_ptr<Activate>> devices;
    EXPECT_EQ(backend.enumDevices(type, &devices), S_OK);
    return devices.empty() ? nullptr : devices.front();
}

TEST(DeviceInfo, DefaultCameraAdvertisesEveryModeTwiceAndPruneKeepsOne) {
    SyntheticBackend backend;
    auto activate = firstDevice(backend);
    ASSERT_TRUE(activate);
    auto info = DeviceInfo::create(activate.get());
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isVideo());
    EXPECT_FALSE(info->isAudio());
    EXPECT_EQ(info->friendlyName(), "Tavro synthetic camera");
    EXPECT_EQ(info->deviceLink(), "synthetic:video0");
    const size_t modes = SyntheticConfig::defaultModes().size();
    ASSERT_EQ(info->getModesCount(), 2 * modes);
    EXPECT_FALSE(static_cast<const MediaTypeVideo*>(info->getOlkMT(0))->isDiscardable());
    EXPECT_TRUE(static_cast<const MediaTypeVideo*>(info->getOlkMT(1))->isDiscardable());

    info->prune();
    ASSERT_EQ(info->getModesCount(), modes);
    for (uint32_t i = 0; i < info->getModesCount(); ++i) {
        const auto* mode = static_cast<const MediaTypeVideo*>(info->getOlkMT(i));
        EXPECT_FALSE(mode->isDiscardable()) << i;
        EXPECT_EQ(info->getMT(i).get(), mode->accessMT());
    }
    // Advertised order survives pruning: 640x480 YUY2 first, the MJPG mode last.
    EXPECT_EQ(info->getOlkMT(0)->subtype(), MFVideoFormat_YUY2);
    EXPECT_EQ(static_cast<const MediaTypeVideo*>(info->getOlkMT(0))->frameSize().width, 640u);
    EXPECT_EQ(info->getOlkMT(info->getModesCount() - 1)->subtype(), MFVideoFormat_MJPG);

    info->pruneCompressedFormats();
    EXPECT_EQ(info->getModesCount(), modes - 1);
    info->prune(MFVideoFormat_RGB24);
    EXPECT_EQ(info->getModesCount(), modes - 5);
}

TEST(DeviceInfo, ModeOnlyAdvertisedWithVideoInfoIsKept) {
    SyntheticBackend backend(configFrom("videoinfo=0;modes=640x480@60:YUY2"));
    auto info = DeviceInfo::create(firstDevice(backend).get());
    ASSERT_TRUE(info);
    ASSERT_EQ(info->getModesCount(), 1u);
    info->prune();
    EXPECT_EQ(info->getModesCount(), 1u);
}

TEST(DeviceInfo, MjpgOnlyDeviceHasNoModesAfterPruningMjpg) {
    SyntheticBackend backend(configFrom("modes=1280x720@60:MJPG,640x480@120:MJPG"));
    auto info = DeviceInfo::create(firstDevice(backend).get());
    ASSERT_TRUE(info);
    info->prune();
    EXPECT_EQ(info->getModesCount(), 2u);
    info->prune(MFVideoFormat_MJPG);
    EXPECT_EQ(info->getModesCount(), 0u);
}

TEST(DeviceInfo, TextOfASingleStreamCamera) {
    SyntheticBackend backend(configFrom("videoinfo=0;modes=640x480@480:NV12"));
    auto info = DeviceInfo::create(firstDevice(backend).get());
    ASSERT_TRUE(info);
    EXPECT_EQ(std::string(*info),
              "Tavro synthetic camera\n"
              "Device: synthetic:video0\n"
              "Major media type: Video\n"
              "Advertised media formats: 1\n"
              "  0.31 MP  @ 480 (480-480) FPS NV12 640 x 480, AR 1x1, 210.9 MB/s\n");
    EXPECT_EQ(info->getDescription(0),
              "0.31 MP  @ 480 (480-480) FPS NV12 640 x 480, AR 1x1, 210.9 MB/s\n");
}

TEST(DeviceInfo, StreamSelection) {
    SyntheticBackend backend(configFrom("streams=2;videoinfo=0;modes=640x480@30:YUY2"));
    auto info = DeviceInfo::create(firstDevice(backend).get());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->getStreamCount(), 2u);
    EXPECT_NE(std::string(*info).find("Stream[0] (selected): \n"), std::string::npos);
    info->selectStream(1);
    EXPECT_EQ(info->selectedStream(), 1u);
    EXPECT_NE(std::string(*info).find("Stream[1] (inactive): \n"), std::string::npos);
    EXPECT_EQ(info->getModesCount(), 1u);
    // A stream that does not exist leaves the selection as it was.
    info->redoStream(5);
    EXPECT_EQ(info->selectedStream(), 1u);
}

TEST(DeviceInfo, AudioDevice) {
    SyntheticBackend backend(configFrom("cameras=0;mics=1"));
    auto info = DeviceInfo::create(
        firstDevice(backend, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_AUDCAP_GUID).get());
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isAudio());
    EXPECT_EQ(std::string(*info),
              "Tavro synthetic microphone 0\n"
              "Audio endpoint: synthetic-mic:0\n"
              "Major media type: Audio\n"
              "Advertised media formats: 3\n"
              " MFAudioFormat_PCM format, Audio channels: 1\n"
              " MFAudioFormat_PCM format, Audio channels: 2\n"
              " IEEE-FLOAT format, Audio channels: 2\n");
    info->prune();
    info->pruneCompressedFormats();
    EXPECT_EQ(info->getModesCount(), 3u);
}

TEST(DeviceInfo, CreateRefusesUnknownAndUnpluggedDevices) {
    EXPECT_EQ(DeviceInfo::create(nullptr), nullptr);
    SyntheticBackend backend;
    auto activate = firstDevice(backend);
    ASSERT_TRUE(activate);
    activate->setGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MFMediaType_Video);
    EXPECT_EQ(DeviceInfo::create(activate.get()), nullptr);
    activate->deleteItem(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE);
    EXPECT_EQ(DeviceInfo::create(activate.get()), nullptr);

    activate->setGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                      MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    backend.camera(0)->unplug();
    EXPECT_EQ(DeviceInfo::create(activate.get()), nullptr);
    std::vector<std::shared_ptr<Activate>> devices;
    backend.enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices);
    EXPECT_TRUE(devices.empty());
}

TEST(PdFromActivate, SelectsTheStream) {
    SyntheticBackend backend(configFrom("streams=3;modes=640x480@30:YUY2"));
    auto activate = firstDevice(backend);
    auto pd = pdFromActivate(activate.get(), 2);
    ASSERT_TRUE(pd);
    bool selected = false;
    std::shared_ptr<StreamDescriptor> sd;
    ASSERT_EQ(pd->getStreamDescriptorByIndex(2, &selected, &sd), S_OK);
    EXPECT_TRUE(selected);
    EXPECT_TRUE(pdFromActivate(activate.get(), -1));
    EXPECT_FALSE(pdFromActivate(activate.get(), 3));
    EXPECT_FALSE(pdFromActivate(nullptr, 0));
}

}  // namespace
}  // namespace OLK
