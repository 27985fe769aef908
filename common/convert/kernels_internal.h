#pragma once

// Library-internal pieces shared by the conversion files.

#include <cstddef>
#include <cstdint>

namespace OLK::kernels {

void yuy2Scalar(uint8_t* dst, const uint8_t* src, uint32_t width);
void nv12Scalar(uint8_t* dst0, uint8_t* dst1, const uint8_t* y0, const uint8_t* y1,
                const uint8_t* uv, uint32_t width);
void rgb24Scalar(uint8_t* dst, const uint8_t* src, uint32_t width);

// Rows [firstRow, firstRow + rowCount) of an NV12 frame of height rows; firstRow is even.
void convertNv12Rows(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride,
                     uint32_t width, uint32_t height, uint32_t firstRow, uint32_t rowCount);

inline const uint8_t* rowAt(const uint8_t* base, int32_t stride, uint32_t row) {
    return base + static_cast<ptrdiff_t>(row) * stride;
}
inline uint8_t* rowAt(uint8_t* base, int32_t stride, uint32_t row) {
    return base + static_cast<ptrdiff_t>(row) * stride;
}

}  // namespace OLK::kernels
