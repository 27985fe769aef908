#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <thread>
#include <vector>

#include "convert/convert_img2rgb32.h"
#include "convert_helpers.h"

namespace {

using olk_test::Frame;
using TVR::ConvertImg2RGB32;

std::vector<uint32_t> bandSizes(uint32_t height, uint32_t n) {
    ConvertImg2RGB32::WorkSlot frame;
    frame.height = height;
    std::deque<ConvertImg2RGB32::WorkSlot> bands;
    ConvertImg2RGB32::splitBands(frame, n, bands);
    std::vector<uint32_t> sizes;
    uint32_t next = 0;
    for (const auto& b : bands) {
        EXPECT_EQ(b.firstRow, next);
        EXPECT_EQ(b.firstRow % 2, 0u);
        next += b.rowCount;
        sizes.push_back(b.rowCount);
    }
    EXPECT_EQ(next, height);
    return sizes;
}

TEST(ConvertImg2RGB32Test, BandSplit) {
    EXPECT_EQ(bandSizes(1080, 4), (std::vector<uint32_t>{270, 270, 270, 270}));
    EXPECT_EQ(bandSizes(1080, 7), (std::vector<uint32_t>{154, 154, 154, 154, 154, 154, 154, 2}));
    EXPECT_EQ(bandSizes(1080, 1), (std::vector<uint32_t>{1080}));
    EXPECT_EQ(bandSizes(3, 8), (std::vector<uint32_t>{3}));
    EXPECT_EQ(bandSizes(5, 2), (std::vector<uint32_t>{2, 2, 1}));
    EXPECT_EQ(bandSizes(1080, 0), (std::vector<uint32_t>{1080}));
}

TEST(ConvertImg2RGB32Test, SupportedFormats) {
    EXPECT_TRUE(ConvertImg2RGB32::isFormatSupported(OLK::MFVideoFormat_RGB32));
    EXPECT_TRUE(ConvertImg2RGB32::isFormatSupported(OLK::MFVideoFormat_RGB24));
    EXPECT_TRUE(ConvertImg2RGB32::isFormatSupported(OLK::MFVideoFormat_YUY2));
    EXPECT_TRUE(ConvertImg2RGB32::isFormatSupported(OLK::MFVideoFormat_NV12));
    EXPECT_FALSE(ConvertImg2RGB32::isFormatSupported(OLK::GUID_NULL));
    EXPECT_FALSE(ConvertImg2RGB32::isFormatSupported(OLK::MFVideoFormat_MJPG));
}

TEST(ConvertImg2RGB32Test, WorkersAreRaisedButNeverStopped) {
    ConvertImg2RGB32 conv;
    EXPECT_EQ(conv.workerThreads(), 1u);
    EXPECT_EQ(conv.maxWorkers(), 1u);
    conv.setMaxWorkers(4);
    EXPECT_EQ(conv.workerThreads(), 4u);
    conv.setMaxWorkers(8);
    EXPECT_EQ(conv.workerThreads(), 8u);
    conv.setMaxWorkers(2);
    EXPECT_EQ(conv.workerThreads(), 8u);
    EXPECT_EQ(conv.maxWorkers(), 2u);
    conv.setMaxWorkers(0);
    EXPECT_EQ(conv.maxWorkers(), 1u);
}

struct FrameCase {
    OLK::GUID subtype;
    uint32_t width;
    uint32_t height;
};

// Frames converted by several workers must equal the single-threaded reference.
TEST(ConvertImg2RGB32Test, BandsReproduceTheWholeFrame) {
    std::mt19937 rng(11);
    ConvertImg2RGB32 conv;
    for (uint32_t workers : {1u, 2u, 3u, 7u}) {
        conv.setMaxWorkers(workers);
        for (const FrameCase& fc : {FrameCase{OLK::MFVideoFormat_YUY2, 64, 37},
                                    FrameCase{OLK::MFVideoFormat_NV12, 66, 41},
                                    FrameCase{OLK::MFVideoFormat_RGB24, 35, 29},
                                    FrameCase{OLK::MFVideoFormat_RGB32, 20, 13}}) {
            int32_t srcStride = 0;
            uint32_t srcRows = fc.height;
            if (fc.subtype == OLK::MFVideoFormat_YUY2) {
                srcStride = static_cast<int32_t>(2 * fc.width) + 3;
            } else if (fc.subtype == OLK::MFVideoFormat_NV12) {
                srcStride = static_cast<int32_t>(fc.width) + 5;
                srcRows += (fc.height + 1) / 2;
            } else if (fc.subtype == OLK::MFVideoFormat_RGB24) {
                srcStride = static_cast<int32_t>(3 * fc.width) + 1;
            } else {
                srcStride = static_cast<int32_t>(4 * fc.width);
            }
            Frame src = olk_test::randomFrame(rng, srcStride, srcRows);
            const int32_t dstStride = static_cast<int32_t>(4 * fc.width) + 4;
            Frame want = olk_test::markedFrame(dstStride, fc.height);
            if (fc.subtype == OLK::MFVideoFormat_YUY2) {
                olk_test::referenceYuy2(want, src, fc.width, fc.height);
            } else if (fc.subtype == OLK::MFVideoFormat_NV12) {
                olk_test::referenceNv12(want, src, fc.width, fc.height);
            } else if (fc.subtype == OLK::MFVideoFormat_RGB24) {
                olk_test::referenceRgb24(want, src, fc.width, fc.height);
            } else {
                for (uint32_t y = 0; y < fc.height; ++y) {
                    std::copy_n(src.bytes.begin() + y * srcStride, 4 * fc.width,
                                want.bytes.begin() + y * dstStride);
                }
            }
            Frame got = olk_test::markedFrame(dstStride, fc.height);
            conv.setConversionFunction(fc.subtype);
            conv(got.bytes.data(), dstStride, src.bytes.data(), srcStride, fc.width, fc.height);
            ASSERT_EQ(got.bytes, want.bytes) << workers << " workers, " << fc.width;
        }
    }
}

TEST(ConvertImg2RGB32Test, UnsupportedSubtypeLeavesDestinationAndCountsFrames) {
    ConvertImg2RGB32 conv;
    conv.setMaxWorkers(3);
    std::vector<uint8_t> src(8 * 2 * 6, 0x40);
    Frame dst = olk_test::markedFrame(32, 6);
    const auto before = dst.bytes;
    conv.setConversionFunction(OLK::MFVideoFormat_MJPG);
    conv(dst.bytes.data(), 32, src.data(), 16, 8, 6);
    EXPECT_EQ(dst.bytes, before);
    conv(dst.bytes.data(), 32, src.data(), 16, 8, 6);
    EXPECT_EQ(conv.perfCounter().descr(), "convert to RGBA32");
    EXPECT_GE(conv.perfCounter().count(), 1);
}

TEST(ConvertImg2RGB32Test, TwoConvertersRunSideBySide) {
    std::mt19937 rng(5);
    const uint32_t w = 64;
    const uint32_t h = 48;
    Frame src = olk_test::randomFrame(rng, 2 * w, h);
    Frame want = olk_test::markedFrame(4 * w, h);
    olk_test::referenceYuy2(want, src, w, h);
    auto run = [&](Frame& out) {
        ConvertImg2RGB32 conv;
        conv.setMaxWorkers(3);
        conv.setConversionFunction(OLK::MFVideoFormat_YUY2);
        for (int i = 0; i < 50; ++i) {
            conv(out.bytes.data(), out.stride, src.bytes.data(), src.stride, w, h);
        }
    };
    Frame a = olk_test::markedFrame(4 * w, h);
    Frame b = olk_test::markedFrame(4 * w, h);
    std::thread t([&] { run(a); });
    run(b);
    t.join();
    EXPECT_EQ(a.bytes, want.bytes);
    EXPECT_EQ(b.bytes, want.bytes);
}

}  // namespace
