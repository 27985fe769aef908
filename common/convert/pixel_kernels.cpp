#include "convert/pixel_kernels.h"

#include "convert/kernels_internal.h"

namespace OLK::kernels {

namespace {

constexpr uint8_t kOpaque = 0xFF;

inline uint8_t clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Integer BT.601 studio range; every vector path must give exactly these values.
inline void yuvToBgra(uint8_t* out, int32_t y, int32_t u, int32_t v, uint8_t alpha) {
    const int32_t c = y - 16;
    const int32_t d = u - 128;
    const int32_t e = v - 128;
    out[0] = clamp255((298 * c + 516 * d + 128) >> 8);
    out[1] = clamp255((298 * c - 100 * d - 208 * e + 128) >> 8);
    out[2] = clamp255((298 * c + 409 * e + 128) >> 8);
    out[3] = alpha;
}

}  // namespace

void yuy2Scalar(uint8_t* dst, const uint8_t* src, uint32_t width) {
    for (uint32_t x = 0; x + 1 < width; x += 2, src += 4, dst += 8) {
        yuvToBgra(dst, src[0], src[1], src[3], kOpaque);
        yuvToBgra(dst + 4, src[2], src[1], src[3], kOpaque);
    }
}

void nv12Scalar(uint8_t* dst0, uint8_t* dst1, const uint8_t* y0, const uint8_t* y1,
                const uint8_t* uv, uint32_t width) {
    for (uint32_t x = 0; x + 1 < width; x += 2) {
        const int32_t u = uv[x];
        const int32_t v = uv[x + 1];
        yuvToBgra(dst0 + 4 * x, y0[x], u, v, 0);
        yuvToBgra(dst0 + 4 * x + 4, y0[x + 1], u, v, 0);
        if (dst1 != nullptr) {
            yuvToBgra(dst1 + 4 * x, y1[x], u, v, 0);
            yuvToBgra(dst1 + 4 * x + 4, y1[x + 1], u, v, 0);
        }
    }
}

void rgb24Scalar(uint8_t* dst, const uint8_t* src, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = kOpaque;
    }
}

void convertNv12Rows(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride,
                     uint32_t width, uint32_t height, uint32_t firstRow, uint32_t rowCount) {
    const RowKernels& k = activeKernels();
    const uint8_t* chroma = rowAt(src, srcStride, height);
    const uint32_t end = firstRow + rowCount;
    for (uint32_t y = firstRow; y < end; y += 2) {
        const bool pair = y + 1 < end;
        k.nv12(rowAt(dst, dstStride, y), pair ? rowAt(dst, dstStride, y + 1) : nullptr,
               rowAt(src, srcStride, y), pair ? rowAt(src, srcStride, y + 1) : nullptr,
               rowAt(chroma, srcStride, y / 2), width);
    }
}

const RowKernels& scalarKernels() {
    static const RowKernels kScalar{&yuy2Scalar, &nv12Scalar, &rgb24Scalar, "scalar"};
    return kScalar;
}

const RowKernels& activeKernels() {
    static const RowKernels& kActive = avx512Kernels() ? *avx512Kernels()
                                       : avx2Kernels() ? *avx2Kernels()
                                                       : scalarKernels();
    return kActive;
}

}  // namespace OLK::kernels
