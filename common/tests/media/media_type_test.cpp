#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "media/media_type.h"
#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {
namespace {

std::shared_ptr<Attributes> videoMode(const GUID& subtype, uint32_t w, uint32_t h, uint32_t fpsNum,
                                      uint32_t fpsDen) {
    auto mt = std::make_shared<Attributes>();
    mt->setGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    mt->setGUID(MF_MT_SUBTYPE, subtype);
    mt->setPair(MF_MT_FRAME_SIZE, w, h);
    mt->setPair(MF_MT_FRAME_RATE, fpsNum, fpsDen);
    return mt;
}

TEST(Ratio, TextForms) {
    EXPECT_EQ(std::string(Ratio(30000, 1001)), "30.0");
    EXPECT_EQ(std::string(Ratio(60, 1)), "60");
    EXPECT_EQ(std::string(Ratio(15, 2)), "15x2");
    EXPECT_EQ(std::string(Ratio()), "0");
}

TEST(Ratio, ComparesQuotientsWithTolerance) {
    EXPECT_TRUE(Ratio(30000, 1001) == Ratio(2997, 100));
    EXPECT_TRUE(Ratio(60, 1) == Ratio(120, 2));
    EXPECT_TRUE(Ratio(30, 1) < Ratio(60, 1));
    EXPECT_TRUE(Ratio(60, 1) > Ratio(30, 1));
    EXPECT_FALSE(Ratio(60, 1) > Ratio(120, 2));
    EXPECT_TRUE(Ratio(25, 1) != Ratio(30, 1));
    // A zero denominator reads as 0, never as a division by zero.
    EXPECT_EQ(static_cast<float>(Ratio(5, 0)), 0.0f);
    EXPECT_EQ(static_cast<int>(Ratio(5, 0)), 0);
    EXPECT_EQ(static_cast<int>(Ratio(30000, 1001)), 29);
}

TEST(Ratio, LayoutMatchesThePackedAttribute) {
    static_assert(sizeof(Ratio) == 8);
    auto mt = std::make_shared<Attributes>();
    mt->setUINT64(MF_MT_FRAME_RATE, (uint64_t{240} << 32) | 1);
    Ratio r(mt.get(), MF_MT_FRAME_RATE);
    EXPECT_EQ(r.numerator, 240u);
    EXPECT_EQ(r.denominator, 1u);
    Ratio missing(mt.get(), MF_MT_FRAME_RATE_RANGE_MIN);
    EXPECT_EQ(missing.numerator, 0u);
    EXPECT_EQ(missing.denominator, 1u);
}

TEST(FrameSize, EqualityAndAreaOrder) {
    EXPECT_TRUE(FrameSize(640, 480) == FrameSize(640, 480));
    EXPECT_FALSE(FrameSize(640, 480) == FrameSize(480, 640));
    EXPECT_TRUE(FrameSize(640, 480) < FrameSize(1280, 720));
    EXPECT_FALSE(FrameSize(480, 640) < FrameSize(640, 480));
    auto mt = std::make_shared<Attributes>();
    FrameSize none(mt.get(), MF_MT_FRAME_SIZE);
    EXPECT_EQ(none.width, 0u);
    EXPECT_EQ(none.height, 0u);
}

TEST(OutputLargeInt, HumanUnits) {
    EXPECT_EQ(outputLargeInt(512), "512");
    EXPECT_EQ(outputLargeInt(513), "0.5 K");
    EXPECT_EQ(outputLargeInt(524288), "512.0 K");
    EXPECT_EQ(outputLargeInt(13107200), "12.5 M");
}

TEST(MediaTypeVideo, MissingAttributesTakeTheDefaults) {
    MediaTypeVideo mode(videoMode(MFVideoFormat_YUY2, 640, 480, 30, 1));
    EXPECT_EQ(mode.sampleSize(), 640u * 480u * 3u);
    // No MF_MT_DEFAULT_STRIDE: the stride of the four-character code.
    EXPECT_EQ(mode.defaultStride(), 1280);
    EXPECT_FALSE(mode.isDiscardable());
    EXPECT_FALSE(mode.isInterlaced());
    EXPECT_EQ(mode.bitRate(), 0u);
    EXPECT_EQ(mode.frameRateMin().numerator, 0u);
    EXPECT_EQ(mode.pixelAspect().denominator, 1u);

    MediaTypeVideo compressed(videoMode(MFVideoFormat_MJPG, 1280, 720, 30, 1));
    EXPECT_EQ(compressed.defaultStride(), 0);

    MediaTypeVideo empty(std::make_shared<Attributes>());
    EXPECT_TRUE(empty.is(GUID_NULL));
    EXPECT_EQ(empty.frameSize().width, 0u);
    EXPECT_EQ(std::string(MediaType(nullptr)), "");
}

TEST(MediaTypeVideo, ReadsInterlaceStrideAndFormatBlock) {
    auto mt = videoMode(MFVideoFormat_RGB24, 642, 480, 60, 1);
    mt->setUINT32(MF_MT_INTERLACE_MODE, 3);
    mt->setGUID(MF_MT_AM_FORMAT_TYPE, FORMAT_VideoInfo);
    MediaTypeVideo mode(mt);
    EXPECT_TRUE(mode.isInterlaced());
    EXPECT_TRUE(mode.isDiscardable());
    EXPECT_EQ(mode.defaultStride(), 1928);  // 642 x 3 rounded up to whole words

    mt->setUINT32(MF_MT_INTERLACE_MODE, 2);
    mt->setUINT32(MF_MT_DEFAULT_STRIDE, static_cast<uint32_t>(-1926));
    EXPECT_FALSE(MediaTypeVideo(mt).isInterlaced());
    EXPECT_EQ(MediaTypeVideo(mt).defaultStride(), -1926);
    mt->setUINT32(MF_MT_INTERLACE_MODE, 9);
    EXPECT_FALSE(MediaTypeVideo(mt).isInterlaced());
}

TEST(MediaTypeVideo, ModeLineText) {
    auto mt = videoMode(MFVideoFormat_YUY2, 1920, 1080, 240, 1);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MIN, 15, 2);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MAX, 240, 1);
    mt->setPair(MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
    mt->setUINT32(MF_MT_AVG_BITRATE, 104857600);
    EXPECT_EQ(std::string(MediaTypeVideo(mt)),
              "2.07 MP  @ 240 (15x2-240) FPS YUY2 1920 x 1080, AR 1x1, 12.5 MB/s\n");
    mt->setUINT32(MF_MT_INTERLACE_MODE, 4);
    mt->setPair(MF_MT_FRAME_RATE, 30000, 1001);
    EXPECT_EQ(std::string(MediaTypeVideo(mt)),
              "2.07 MP  @ 30.0 (15x2-240) FPS YUY2 1920 x 1080, AR 1x1, 12.5 MB/s "
              "---INTERLACED---\n");
}

TEST(MediaTypeVideo, EqualityAndOrder) {
    MediaTypeVideo a(videoMode(MFVideoFormat_NV12, 1280, 720, 60, 1));
    MediaTypeVideo b(videoMode(MFVideoFormat_NV12, 1280, 720, 120, 2));
    MediaTypeVideo faster(videoMode(MFVideoFormat_NV12, 1280, 720, 120, 1));
    MediaTypeVideo bigger(videoMode(MFVideoFormat_NV12, 1920, 1080, 30, 1));
    MediaTypeVideo other(videoMode(MFVideoFormat_YUY2, 1280, 720, 60, 1));
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == faster);
    EXPECT_FALSE(a == other);
    EXPECT_TRUE(a < faster);
    EXPECT_TRUE(a < bigger);
    EXPECT_FALSE(bigger < a);

    auto audioType = std::make_shared<Attributes>();
    audioType->setGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12);
    MediaTypeAudio audio(audioType);
    // Same subtype, different kind of media type.
    EXPECT_FALSE(a == static_cast<const MediaType&>(audio));
    EXPECT_FALSE(a < audio);
    EXPECT_FALSE(audio == static_cast<const MediaType&>(a));
}

TEST(MediaTypeVideo, LimitClampsIntoTheRange) {
    auto mt = videoMode(MFVideoFormat_YUY2, 640, 480, 120, 1);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MIN, 30, 1);
    mt->setPair(MF_MT_FRAME_RATE_RANGE_MAX, 120, 1);
    MediaTypeVideo mode(mt);
    EXPECT_EQ(static_cast<int>(mode.limit(Ratio(10, 1))), 30);
    EXPECT_EQ(static_cast<int>(mode.limit(Ratio(60, 1))), 60);
    EXPECT_EQ(static_cast<int>(mode.limit(Ratio(500, 1))), 120);
}

TEST(MediaTypeAudio, TextAndComparisons) {
    auto mono = std::make_shared<Attributes>();
    mono->setGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    mono->setUINT32(MF_MT_AUDIO_NUM_CHANNELS, 1);
    auto stereo = std::make_shared<Attributes>(*mono);
    stereo->setUINT32(MF_MT_AUDIO_NUM_CHANNELS, 2);
    MediaTypeAudio a(mono);
    MediaTypeAudio b(stereo);
    EXPECT_EQ(std::string(a), "MFAudioFormat_PCM format, Audio channels: 1\n");
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == MediaTypeAudio(mono));
    EXPECT_EQ(MediaTypeAudio(std::make_shared<Attributes>()).channels(), 0u);
}

TEST(MediaUtil, Prop2strAndLogMediaType) {
    Attributes attrs;
    attrs.setString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, "Camera Ü");
    attrs.setString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, "");
    attrs.setUINT32(MF_MT_SAMPLE_SIZE, 5);
    EXPECT_EQ(prop2str(&attrs, MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME), "Camera Ü");
    EXPECT_EQ(prop2str(&attrs, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK), "");
    EXPECT_EQ(prop2str(&attrs, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE), "");
    EXPECT_EQ(prop2str(&attrs, MF_MT_SAMPLE_SIZE), "");  // not a string
    EXPECT_EQ(prop2str(nullptr, MF_MT_SAMPLE_SIZE), "");

    EXPECT_EQ(LogMediaType(&attrs), S_OK);
    EXPECT_EQ(static_cast<uint32_t>(LogMediaType(nullptr)), 0xC00D36E9u);
}

TEST(Attributes, KindsAreKeptApart) {
    Attributes attrs;
    attrs.setUINT32(MF_MT_SAMPLE_SIZE, 7);
    uint64_t wide = 0;
    EXPECT_EQ(attrs.getUINT64(MF_MT_SAMPLE_SIZE, &wide), MF_E_INVALIDTYPE);
    EXPECT_EQ(attrs.getUINT64(MF_MT_FRAME_SIZE, &wide), MF_E_ATTRIBUTENOTFOUND);
    attrs.setString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, "abcdef");
    char small[4];
    EXPECT_EQ(attrs.getString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, small, sizeof(small), nullptr),
              E_NOT_SUFFICIENT_BUFFER);
}

}  // namespace
}  // namespace OLK
