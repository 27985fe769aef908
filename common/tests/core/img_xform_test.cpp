#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "convert/img_xform.h"
#include "convert/pixel_kernels.h"
#include "convert_helpers.h"

namespace {

using OLK::ImgXform;
using OLK::Rev26Params;
using olk_test::Frame;

std::array<uint8_t, 4> yuy2Pixel(uint8_t y, uint8_t u, uint8_t v) {
    const std::array<uint8_t, 4> src{y, u, y, v};
    std::array<uint8_t, 8> dst{};
    ImgXform::TransformImage_YUY2(dst.data(), 8, src.data(), 4, 2, 1);
    return {dst[0], dst[1], dst[2], dst[3]};
}

TEST(ImgXformTest, DocumentedColoursAreExact) {
    auto black = yuy2Pixel(16, 128, 128);
    auto white = yuy2Pixel(235, 128, 128);
    auto red = yuy2Pixel(81, 90, 240);
    EXPECT_EQ((std::array<uint8_t, 3>{black[0], black[1], black[2]}),
              (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ((std::array<uint8_t, 3>{white[0], white[1], white[2]}),
              (std::array<uint8_t, 3>{255, 255, 255}));
    EXPECT_EQ(red[2], 255);  // R
    EXPECT_EQ(red[1], 0);    // G
    EXPECT_EQ(red[0], 0);    // B
}

TEST(ImgXformTest, TableAndLookups) {
    EXPECT_EQ(ImgXform::g_FormatConversions.size(), 5u);
    for (const auto& g : {OLK::MFVideoFormat_RGB32, OLK::MFVideoFormat_RGB24,
                          OLK::MFVideoFormat_YUY2, OLK::MFVideoFormat_NV12, OLK::GUID_NULL}) {
        EXPECT_EQ(ImgXform::isFormatSupported(g), 1);
    }
    EXPECT_EQ(ImgXform::isFormatSupported(OLK::MFVideoFormat_MJPG), 0);
    EXPECT_EQ(ImgXform::getConversionFunction(OLK::MFVideoFormat_MJPG),
              &ImgXform::TransformImage_NONE);
    EXPECT_EQ(ImgXform::getConversionFunction(OLK::MFVideoFormat_NV12),
              &ImgXform::TransformImage_NV12);
    EXPECT_EQ(ImgXform::getConversionFunctionRev26(OLK::MFVideoFormat_YUY2),
              &ImgXform::TransformImage_rev26_YUY2);
    EXPECT_EQ(ImgXform::getConversionFunctionRev26(OLK::MFVideoFormat_RGB24),
              &ImgXform::TransformImage_rev26_NONE);
}

TEST(ImgXformTest, UnsupportedSubtypeLeavesDestinationUntouched) {
    std::vector<uint8_t> src(64, 0x40);
    Frame dst = olk_test::markedFrame(32, 2);
    const auto before = dst.bytes;
    ImgXform::getConversionFunction(OLK::MFVideoFormat_MJPG)(dst.bytes.data(), 32, src.data(), 32,
                                                             8, 2);
    Rev26Params p;
    p.demosaic = 1;
    ImgXform::getConversionFunctionRev26(OLK::MFVideoFormat_NV12)(dst.bytes.data(), 32, src.data(),
                                                                  32, 8, 2, p);
    EXPECT_EQ(dst.bytes, before);
}

TEST(ImgXformTest, Rgb24AndRgb32Layouts) {
    const std::array<uint8_t, 3> src{10, 20, 30};
    std::array<uint8_t, 4> dst{};
    ImgXform::TransformImage_RGB24(dst.data(), 4, src.data(), 3, 1, 1);
    EXPECT_EQ(dst, (std::array<uint8_t, 4>{10, 20, 30, 255}));

    // RGB32 copies width x 4 bytes per row and honours both strides.
    std::vector<uint8_t> s32 = {1, 2, 3, 4, 9, 9, 5, 6, 7, 8, 9, 9};
    Frame d32 = olk_test::markedFrame(6, 2);
    ImgXform::TransformImage_RGB32(d32.bytes.data(), 6, s32.data(), 6, 1, 2);
    EXPECT_EQ(d32.bytes, (std::vector<uint8_t>{1, 2, 3, 4, 0xA5, 0xA5, 5, 6, 7, 8, 0xA5, 0xA5}));
}

TEST(ImgXformTest, Nv12UsesOneChromaPairPerTwoByTwoBlock) {
    // 4 x 2 luma, then one chroma row with two U,V pairs.
    const std::vector<uint8_t> src{100, 110, 120, 130, 140, 150, 160, 170,
                                   60,  200, 180, 40,  0,   0,   0,   0};
    Frame dst = olk_test::markedFrame(16, 2);
    ImgXform::TransformImage_NV12(dst.bytes.data(), 16, src.data(), 4, 4, 2);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const uint8_t* chroma = &src[8 + (x / 2) * 2];
            const auto bgr = olk_test::referenceBgr(src[y * 4 + x], chroma[0], chroma[1]);
            const uint8_t* p = &dst.bytes[y * 16 + x * 4];
            EXPECT_EQ((std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]}),
                      (std::array<uint8_t, 4>{bgr[0], bgr[1], bgr[2], 0}))
                << x << "," << y;
        }
    }
}

TEST(ImgXformTest, Nv12OddHeightConvertsTheLastRowAlone) {
    std::mt19937 rng(7);
    const uint32_t w = 34;
    const uint32_t h = 5;
    Frame src = olk_test::randomFrame(rng, 40, h + (h + 1) / 2);
    Frame got = olk_test::markedFrame(w * 4, h);
    Frame want = olk_test::markedFrame(w * 4, h);
    ImgXform::TransformImage_NV12(got.bytes.data(), got.stride, src.bytes.data(), src.stride, w, h);
    olk_test::referenceNv12(want, src, w, h);
    EXPECT_EQ(got.bytes, want.bytes);
}

// Luma samples of a YUY2-sized raw frame; chroma bytes carry a marker the view must ignore.
Frame rawFrame(const std::vector<uint8_t>& samples, uint32_t width, uint32_t height) {
    Frame f = olk_test::markedFrame(static_cast<int32_t>(width * 2), height, 0x77);
    for (uint32_t i = 0; i < width * height; ++i) {
        f.bytes[2 * i] = samples[i];
    }
    return f;
}

std::array<uint8_t, 4> pixelAt(const Frame& f, uint32_t x, uint32_t y) {
    const uint8_t* p = f.bytes.data() + static_cast<size_t>(y) * f.stride + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

TEST(Rev26Test, GreyViewAndColouredSites) {
    const std::vector<uint8_t> samples{10, 20, 30, 40, 50, 60, 70, 80};  // 4 x 2
    Frame src = rawFrame(samples, 4, 2);
    Frame dst = olk_test::markedFrame(16, 2);
    Rev26Params p;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 2,
                                        p);
    for (uint32_t i = 0; i < 8; ++i) {
        const uint8_t s = samples[i];
        EXPECT_EQ(pixelAt(dst, i % 4, i / 4), (std::array<uint8_t, 4>{s, s, s, 255}));
    }

    p.showRed = p.showGreenRed = p.showBlue = p.showGreenBlue = 1;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 2,
                                        p);
    // Row 0 is a blue row (blue, green), row 1 a red row (green, red).
    EXPECT_EQ(pixelAt(dst, 0, 0), (std::array<uint8_t, 4>{10, 0, 0, 255}));
    EXPECT_EQ(pixelAt(dst, 1, 0), (std::array<uint8_t, 4>{0, 20, 0, 255}));
    EXPECT_EQ(pixelAt(dst, 0, 1), (std::array<uint8_t, 4>{0, 50, 0, 255}));
    EXPECT_EQ(pixelAt(dst, 1, 1), (std::array<uint8_t, 4>{0, 0, 60, 255}));

    // Row phase 1 makes row 0 a red row.
    p.rowPhase = 1;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 2,
                                        p);
    EXPECT_EQ(pixelAt(dst, 1, 0), (std::array<uint8_t, 4>{0, 0, 20, 255}));
}

TEST(Rev26Test, ColumnPhaseSwapsEachPair) {
    const std::vector<uint8_t> samples{10, 20, 30, 40};
    Frame src = rawFrame(samples, 4, 1);
    Frame dst = olk_test::markedFrame(16, 1);
    Rev26Params p;
    p.columnPhase = 1;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 1,
                                        p);
    EXPECT_EQ(pixelAt(dst, 0, 0)[0], 20);
    EXPECT_EQ(pixelAt(dst, 1, 0)[0], 10);
    EXPECT_EQ(pixelAt(dst, 2, 0)[0], 40);
    EXPECT_EQ(pixelAt(dst, 3, 0)[0], 30);
    // A phase beyond 1 uses its lowest bit instead of writing outside the row.
    p.columnPhase = 2;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 1,
                                        p);
    EXPECT_EQ(pixelAt(dst, 0, 0)[0], 10);
}

TEST(Rev26Test, DemosaicOfAKnownBayerFrame) {
    // 4 x 4 with distinct samples; the four interior pixels cover all site kinds.
    const std::vector<uint8_t> s{
        10,  20,  30,  40,   //
        50,  60,  70,  80,   //
        90,  100, 110, 120,  //
        130, 140, 150, 160,  //
    };
    Frame src = rawFrame(s, 4, 4);
    Frame dst = olk_test::markedFrame(16, 4);
    const auto before = dst.bytes;
    Rev26Params p;
    p.demosaic = 1;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 4,
                                        p);
    // (1,1): k = 1 + 1 = 2, red site: R = c, G = N/4, B = Dg/4.
    EXPECT_EQ(pixelAt(dst, 1, 1), (std::array<uint8_t, 4>{(10 + 30 + 90 + 110) / 4,
                                                          (50 + 70 + 20 + 100) / 4, 60, 255}));
    // (2,1): k = 0 + 1 = 1, green site on an odd row: R = H/2, B = V/2.
    EXPECT_EQ(pixelAt(dst, 2, 1), (std::array<uint8_t, 4>{(30 + 110) / 2, 70, (60 + 80) / 2, 255}));
    // (1,2): k = 1 + 0 = 1, green site on an even row: R = V/2, B = H/2.
    EXPECT_EQ(pixelAt(dst, 1, 2),
              (std::array<uint8_t, 4>{(90 + 110) / 2, 100, (60 + 140) / 2, 255}));
    // (2,2): k = 0, blue site: B = c, G = N/4, R = Dg/4.
    EXPECT_EQ(pixelAt(dst, 2, 2), (std::array<uint8_t, 4>{110, (100 + 120 + 70 + 150) / 4,
                                                          (60 + 80 + 140 + 160) / 4, 255}));
    // The border is left unchanged.
    for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(pixelAt(dst, x, 0), pixelAt(Frame{before, 16}, x, 0));
        EXPECT_EQ(pixelAt(dst, x, 3), pixelAt(Frame{before, 16}, x, 3));
    }
    EXPECT_EQ(pixelAt(dst, 0, 1), pixelAt(Frame{before, 16}, 0, 1));
    EXPECT_EQ(pixelAt(dst, 3, 2), pixelAt(Frame{before, 16}, 3, 2));

    // Swapping the column phase turns the red site into a green one.
    p.columnPhase = 1;
    ImgXform::TransformImage_rev26_YUY2(dst.bytes.data(), 16, src.bytes.data(), src.stride, 4, 4,
                                        p);
    EXPECT_EQ(pixelAt(dst, 1, 1)[1], 60);
}

}  // namespace
