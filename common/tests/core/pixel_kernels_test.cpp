#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "convert/img_xform.h"
#include "convert/pixel_kernels.h"
#include "convert_helpers.h"

namespace {

using OLK::ImgXform;
using OLK::kernels::RowKernels;
using olk_test::Frame;

std::vector<const RowKernels*> kernelSets() {
    std::vector<const RowKernels*> sets{&OLK::kernels::scalarKernels()};
    if (const RowKernels* avx2 = OLK::kernels::avx2Kernels()) {
        sets.push_back(avx2);
    }
    if (const RowKernels* avx512 = OLK::kernels::avx512Kernels()) {
        sets.push_back(avx512);
    }
    return sets;
}

TEST(PixelKernelsTest, ActiveSetIsTheFastestTheCpuHas) {
    const RowKernels* avx2 = OLK::kernels::avx2Kernels();
    const RowKernels* avx512 = OLK::kernels::avx512Kernels();
    if (__builtin_cpu_supports("avx512bw")) {
        ASSERT_NE(avx512, nullptr);
        EXPECT_EQ(&OLK::kernels::activeKernels(), avx512);
    } else if (__builtin_cpu_supports("avx2")) {
        ASSERT_NE(avx2, nullptr);
        EXPECT_EQ(&OLK::kernels::activeKernels(), avx2);
    } else {
        EXPECT_EQ(&OLK::kernels::activeKernels(), &OLK::kernels::scalarKernels());
    }
}

// Random sizes (widths around the vector widths, odd strides with slack) against the
// formula; each kernel set and the dispatched whole-frame function must match bit for bit.
struct Case {
    uint32_t width;
    uint32_t height;
    int32_t slack;
};

std::vector<Case> randomCases(std::mt19937& rng, bool evenWidth) {
    std::vector<Case> cases{{2, 1, 1},  {16, 2, 3}, {18, 3, 0},   {30, 2, 5},
                            {64, 2, 1}, {98, 3, 3}, {1920, 3, 7}, {1922, 2, 1}};
    std::uniform_int_distribution<uint32_t> w(1, 300);
    std::uniform_int_distribution<uint32_t> h(1, 9);
    std::uniform_int_distribution<int32_t> slack(0, 9);
    for (int i = 0; i < 40; ++i) {
        uint32_t width = w(rng);
        if (evenWidth) {
            width &= ~1u;
            width = width == 0 ? 2 : width;
        }
        cases.push_back({width, h(rng), slack(rng) | 1});
    }
    return cases;
}

TEST(PixelKernelsTest, Yuy2MatchesTheFormula) {
    std::mt19937 rng(1);
    for (const Case& c : randomCases(rng, true)) {
        Frame src =
            olk_test::randomFrame(rng, static_cast<int32_t>(2 * c.width) + c.slack, c.height);
        const int32_t dstStride = static_cast<int32_t>(4 * c.width) + c.slack;
        Frame want = olk_test::markedFrame(dstStride, c.height);
        olk_test::referenceYuy2(want, src, c.width, c.height);
        for (const RowKernels* k : kernelSets()) {
            Frame got = olk_test::markedFrame(dstStride, c.height);
            for (uint32_t y = 0; y < c.height; ++y) {
                k->yuy2(got.bytes.data() + y * dstStride, src.bytes.data() + y * src.stride,
                        c.width);
            }
            ASSERT_EQ(got.bytes, want.bytes) << k->name << " " << c.width << "x" << c.height;
        }
        Frame got = olk_test::markedFrame(dstStride, c.height);
        ImgXform::TransformImage_YUY2(got.bytes.data(), dstStride, src.bytes.data(), src.stride,
                                      c.width, c.height);
        ASSERT_EQ(got.bytes, want.bytes) << c.width << "x" << c.height;
    }
}

TEST(PixelKernelsTest, Nv12MatchesTheFormula) {
    std::mt19937 rng(2);
    for (const Case& c : randomCases(rng, true)) {
        const int32_t srcStride = static_cast<int32_t>(c.width) + c.slack;
        const uint32_t chromaRows = (c.height + 1) / 2;
        Frame src = olk_test::randomFrame(rng, srcStride, c.height + chromaRows);
        const int32_t dstStride = static_cast<int32_t>(4 * c.width) + c.slack;
        Frame want = olk_test::markedFrame(dstStride, c.height);
        olk_test::referenceNv12(want, src, c.width, c.height);
        for (const RowKernels* k : kernelSets()) {
            Frame got = olk_test::markedFrame(dstStride, c.height);
            const uint8_t* chroma = src.bytes.data() + c.height * srcStride;
            for (uint32_t y = 0; y < c.height; y += 2) {
                const bool pair = y + 1 < c.height;
                k->nv12(got.bytes.data() + y * dstStride,
                        pair ? got.bytes.data() + (y + 1) * dstStride : nullptr,
                        src.bytes.data() + y * srcStride,
                        pair ? src.bytes.data() + (y + 1) * srcStride : nullptr,
                        chroma + (y / 2) * srcStride, c.width);
            }
            ASSERT_EQ(got.bytes, want.bytes) << k->name << " " << c.width << "x" << c.height;
        }
        Frame got = olk_test::markedFrame(dstStride, c.height);
        ImgXform::TransformImage_NV12(got.bytes.data(), dstStride, src.bytes.data(), srcStride,
                                      c.width, c.height);
        ASSERT_EQ(got.bytes, want.bytes) << c.width << "x" << c.height;
    }
}

TEST(PixelKernelsTest, Rgb24MatchesTheFormula) {
    std::mt19937 rng(3);
    for (const Case& c : randomCases(rng, false)) {
        Frame src =
            olk_test::randomFrame(rng, static_cast<int32_t>(3 * c.width) + c.slack, c.height);
        const int32_t dstStride = static_cast<int32_t>(4 * c.width) + c.slack;
        Frame want = olk_test::markedFrame(dstStride, c.height);
        olk_test::referenceRgb24(want, src, c.width, c.height);
        for (const RowKernels* k : kernelSets()) {
            Frame got = olk_test::markedFrame(dstStride, c.height);
            for (uint32_t y = 0; y < c.height; ++y) {
                k->rgb24(got.bytes.data() + y * dstStride, src.bytes.data() + y * src.stride,
                         c.width);
            }
            ASSERT_EQ(got.bytes, want.bytes) << k->name << " " << c.width << "x" << c.height;
        }
        Frame got = olk_test::markedFrame(dstStride, c.height);
        ImgXform::TransformImage_RGB24(got.bytes.data(), dstStride, src.bytes.data(), src.stride,
                                       c.width, c.height);
        ASSERT_EQ(got.bytes, want.bytes) << c.width << "x" << c.height;
    }
}

TEST(PixelKernelsTest, EveryYuvTripleMatchesTheFormula) {
    // All 2^24 inputs, 256 pixels per call so that the vector loop sees them.
    std::vector<uint8_t> src(2 * 256);
    std::vector<uint8_t> want(4 * 256);
    std::vector<uint8_t> got(4 * 256);
    for (int u = 0; u < 256; ++u) {
        for (int v = 0; v < 256; ++v) {
            for (int y = 0; y < 256; ++y) {
                src[2 * y] = static_cast<uint8_t>(y);
                src[2 * y + 1] = static_cast<uint8_t>(y % 2 == 0 ? u : v);
                const auto bgr = olk_test::referenceBgr(y, u, v);
                want[4 * y] = bgr[0];
                want[4 * y + 1] = bgr[1];
                want[4 * y + 2] = bgr[2];
                want[4 * y + 3] = 0xFF;
            }
            for (const RowKernels* k : kernelSets()) {
                k->yuy2(got.data(), src.data(), 256);
                ASSERT_EQ(got, want) << k->name << " u=" << u << " v=" << v;
            }
        }
    }
}

}  // namespace
