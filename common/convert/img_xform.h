#pragma once

#include <array>
#include <cstdint>

#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

// Display options for YUY2 frames whose luma bytes carry raw Bayer samples.
struct Rev26Params {
    uint8_t reserved = 0;
    uint8_t showRed = 0;
    uint8_t showGreenRed = 0;  // green sites of red rows
    uint8_t showBlue = 0;
    uint8_t showGreenBlue = 0;  // green sites of blue rows
    uint8_t demosaic = 0;
    uint32_t columnPhase = 0;  // 0 or 1; other values use their lowest bit
    uint32_t rowPhase = 0;
};

// Single-threaded conversions of one frame into 32-bit B,G,R,A pixels. Strides are bytes
// and may be negative. YUY2 and NV12 convert pixel pairs; an odd last column is left as is.
class OLK_EXPORT ImgXform {
public:
    using Function = void (*)(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                              int32_t srcStride, uint32_t width, uint32_t height);
    using FunctionRev26 = void (*)(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                   int32_t srcStride, uint32_t width, uint32_t height,
                                   const Rev26Params& params);

    struct FormatConversion {
        GUID subtype;
        Function plain;
        FunctionRev26 rev26;
    };

    static const std::array<FormatConversion, 5> g_FormatConversions;

    // 1 when the subtype is in the table (GUID_NULL included), else 0.
    static int isFormatSupported(const GUID& subtype);
    static Function getConversionFunction(const GUID& subtype);
    static FunctionRev26 getConversionFunctionRev26(const GUID& subtype);

    static void TransformImage_RGB32(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                     int32_t srcStride, uint32_t width, uint32_t height);
    static void TransformImage_RGB24(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                     int32_t srcStride, uint32_t width, uint32_t height);
    static void TransformImage_YUY2(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                    int32_t srcStride, uint32_t width, uint32_t height);
    static void TransformImage_NV12(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                    int32_t srcStride, uint32_t width, uint32_t height);
    static void TransformImage_NONE(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                    int32_t srcStride, uint32_t width, uint32_t height);

    static void TransformImage_rev26_YUY2(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                          int32_t srcStride, uint32_t width, uint32_t height,
                                          const Rev26Params& params);
    static void TransformImage_rev26_NONE(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                          int32_t srcStride, uint32_t width, uint32_t height,
                                          const Rev26Params& params);
};

}  // namespace OLK
