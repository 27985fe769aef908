#include "convert/img_xform.h"

#include <cstring>

#include "convert/kernels_internal.h"
#include "convert/pixel_kernels.h"

namespace OLK {

using kernels::rowAt;

const std::array<ImgXform::FormatConversion, 5> ImgXform::g_FormatConversions{{
    {MFVideoFormat_RGB32, &ImgXform::TransformImage_RGB32, &ImgXform::TransformImage_rev26_NONE},
    {MFVideoFormat_RGB24, &ImgXform::TransformImage_RGB24, &ImgXform::TransformImage_rev26_NONE},
    {MFVideoFormat_YUY2, &ImgXform::TransformImage_YUY2, &ImgXform::TransformImage_rev26_YUY2},
    {MFVideoFormat_NV12, &ImgXform::TransformImage_NV12, &ImgXform::TransformImage_rev26_NONE},
    {GUID_NULL, &ImgXform::TransformImage_NONE, &ImgXform::TransformImage_rev26_NONE},
}};

namespace {
const ImgXform::FormatConversion* findRow(const GUID& subtype) {
    for (const auto& row : ImgXform::g_FormatConversions) {
        if (row.subtype == subtype) {
            return &row;
        }
    }
    return nullptr;
}
}  // namespace

int ImgXform::isFormatSupported(const GUID& subtype) { return findRow(subtype) ? 1 : 0; }

ImgXform::Function ImgXform::getConversionFunction(const GUID& subtype) {
    const FormatConversion* row = findRow(subtype);
    return row ? row->plain : &TransformImage_NONE;
}

ImgXform::FunctionRev26 ImgXform::getConversionFunctionRev26(const GUID& subtype) {
    const FormatConversion* row = findRow(subtype);
    return row ? row->rev26 : &TransformImage_rev26_NONE;
}

void ImgXform::TransformImage_RGB32(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                    int32_t srcStride, uint32_t width, uint32_t height) {
    const size_t bytes = static_cast<size_t>(width) * 4;
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(rowAt(dst, dstStride, y), rowAt(src, srcStride, y), bytes);
    }
}

void ImgXform::TransformImage_RGB24(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                    int32_t srcStride, uint32_t width, uint32_t height) {
    const auto& k = kernels::activeKernels();
    for (uint32_t y = 0; y < height; ++y) {
        k.rgb24(rowAt(dst, dstStride, y), rowAt(src, srcStride, y), width);
    }
}

void ImgXform::TransformImage_YUY2(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                   int32_t srcStride, uint32_t width, uint32_t height) {
    const auto& k = kernels::activeKernels();
    for (uint32_t y = 0; y < height; ++y) {
        k.yuy2(rowAt(dst, dstStride, y), rowAt(src, srcStride, y), width);
    }
}

void ImgXform::TransformImage_NV12(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                   int32_t srcStride, uint32_t width, uint32_t height) {
    kernels::convertNv12Rows(dst, dstStride, src, srcStride, width, height, 0, height);
}

void ImgXform::TransformImage_NONE(uint8_t*, int32_t, const uint8_t*, int32_t, uint32_t, uint32_t) {
}

void ImgXform::TransformImage_rev26_NONE(uint8_t*, int32_t, const uint8_t*, int32_t, uint32_t,
                                         uint32_t, const Rev26Params&) {}

}  // namespace OLK
