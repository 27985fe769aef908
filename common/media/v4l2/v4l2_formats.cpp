#include "media/v4l2/v4l2_formats.h"

#include <linux/videodev2.h>

#include <algorithm>

#include "media/media_util.h"
#include "media/mf_guids.h"

namespace OLK {
namespace {

struct FormatRow {
    uint32_t v4l2;
    GUID subtype;
};

// V4L2 names byte order in memory; the platform's RGB subtypes are little-endian words, so
// B,G,R in memory is RGB24 and B,G,R,X is RGB32.
const FormatRow kFormats[] = {
    {V4L2_PIX_FMT_YUYV, MFVideoFormat_YUY2},     {V4L2_PIX_FMT_UYVY, MFVideoFormat_UYVY},
    {V4L2_PIX_FMT_YVYU, MFVideoFormat_YVYU},     {V4L2_PIX_FMT_NV12, MFVideoFormat_NV12},
    {V4L2_PIX_FMT_YUV420, MFVideoFormat_I420},   {V4L2_PIX_FMT_YVU420, MFVideoFormat_YV12},
    {V4L2_PIX_FMT_MJPEG, MFVideoFormat_MJPG},    {V4L2_PIX_FMT_JPEG, MFVideoFormat_MJPG},
    {V4L2_PIX_FMT_H264, MFVideoFormat_H264},     {V4L2_PIX_FMT_HEVC, MFVideoFormat_H265},
    {V4L2_PIX_FMT_BGR24, MFVideoFormat_RGB24},   {V4L2_PIX_FMT_XBGR32, MFVideoFormat_RGB32},
    {V4L2_PIX_FMT_BGR32, MFVideoFormat_RGB32},   {V4L2_PIX_FMT_ABGR32, MFVideoFormat_ARGB32},
    {V4L2_PIX_FMT_RGB565, MFVideoFormat_RGB565}, {V4L2_PIX_FMT_XRGB555, MFVideoFormat_RGB555},
    {V4L2_PIX_FMT_P010, MFVideoFormat_P010},     {V4L2_PIX_FMT_MPEG1, MFVideoFormat_MPG1},
    {V4L2_PIX_FMT_MPEG2, MFVideoFormat_MPEG2},   {V4L2_PIX_FMT_H263, MFVideoFormat_H263},
};

bool hasStandardTail(const GUID& g) {
    const GUID tail = subtypeFromFourCC(0);
    return g.Data2 == tail.Data2 && g.Data3 == tail.Data3 && g.Data4 == tail.Data4;
}

}  // namespace

GUID subtypeFromV4l2(uint32_t pixelFormat) {
    for (const FormatRow& row : kFormats) {
        if (row.v4l2 == pixelFormat) return row.subtype;
    }
    // Most other codes are the same four characters on both sides.
    return subtypeFromFourCC(pixelFormat);
}

uint32_t v4l2FromSubtype(const GUID& subtype) {
    for (const FormatRow& row : kFormats) {
        if (row.subtype == subtype) return row.v4l2;
    }
    // D3D-numbered subtypes (below 0x100) have no four-character code.
    if (hasStandardTail(subtype) && subtype.Data1 >= 0x100) return subtype.Data1;
    return 0;
}

uint32_t interlaceFromV4l2Field(uint32_t field) {
    switch (field) {
        case V4L2_FIELD_NONE:
            return InterlaceMode::kProgressive;
        case V4L2_FIELD_INTERLACED:
        case V4L2_FIELD_INTERLACED_TB:
        case V4L2_FIELD_SEQ_TB:
            return InterlaceMode::kFieldInterleavedUpperFirst;
        case V4L2_FIELD_INTERLACED_BT:
        case V4L2_FIELD_SEQ_BT:
            return InterlaceMode::kFieldInterleavedLowerFirst;
        case V4L2_FIELD_TOP:
            return InterlaceMode::kFieldSingleUpper;
        case V4L2_FIELD_BOTTOM:
            return InterlaceMode::kFieldSingleLower;
        case V4L2_FIELD_ALTERNATE:
            return InterlaceMode::kMixedInterlaceOrProgressive;
        default:
            return InterlaceMode::kUnknown;
    }
}

bool isCompressedSubtype(const GUID& subtype) {
    const GUID compressed[] = {MFVideoFormat_MJPG,   MFVideoFormat_H264,  MFVideoFormat_H265,
                               MFVideoFormat_MPG1,   MFVideoFormat_MPEG2, MFVideoFormat_H263,
                               MFVideoFormat_H264_ES};
    return std::find(std::begin(compressed), std::end(compressed), subtype) != std::end(compressed);
}

std::shared_ptr<Attributes> v4l2ModeAttributes(const V4l2ModeFacts& f) {
    auto mt = std::make_shared<Attributes>();
    const GUID subtype = subtypeFromV4l2(f.pixelFormat);
    const bool compressed = f.compressed || isCompressedSubtype(subtype);
    mt->setGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    mt->setGUID(MF_MT_SUBTYPE, subtype);
    mt->setPair(MF_MT_FRAME_SIZE, f.width, f.height);
    if (f.rateNum != 0 && f.rateDen != 0) mt->setPair(MF_MT_FRAME_RATE, f.rateNum, f.rateDen);
    if (f.minRateNum != 0 && f.minRateDen != 0) {
        mt->setPair(MF_MT_FRAME_RATE_RANGE_MIN, f.minRateNum, f.minRateDen);
    }
    if (f.maxRateNum != 0 && f.maxRateDen != 0) {
        mt->setPair(MF_MT_FRAME_RATE_RANGE_MAX, f.maxRateNum, f.maxRateDen);
    }
    mt->setPair(MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
    mt->setUINT32(MF_MT_INTERLACE_MODE, interlaceFromV4l2Field(f.field));
    mt->setGUID(MF_MT_AM_FORMAT_TYPE, FORMAT_VideoInfo2);
    mt->setUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, compressed ? 0 : 1);
    uint32_t size = f.sizeImage;
    if (compressed) {
        mt->setUINT32(MF_MT_COMPRESSED, 1);
    } else {
        int32_t stride = static_cast<int32_t>(f.bytesPerLine);
        if (stride <= 0 && !strideForFourCC(subtype.Data1, f.width, &stride)) stride = 0;
        if (stride > 0) mt->setUINT32(MF_MT_DEFAULT_STRIDE, static_cast<uint32_t>(stride));
        if (size == 0) size = imageSizeForFourCC(subtype.Data1, f.width, f.height);
        mt->setUINT32(MF_MT_FIXED_SIZE_SAMPLES, 1);
    }
    if (size != 0) {
        mt->setUINT32(MF_MT_SAMPLE_SIZE, size);
        if (f.rateDen != 0) {
            // A hostile driver's size and rate must saturate, not wrap: when the product
            // overflows 64 bits, the quotient by a 32-bit denominator is above 32 bits anyway.
            const uint64_t sizeBits = static_cast<uint64_t>(size) * 8;
            const uint64_t bits = f.rateNum != 0 && sizeBits > UINT64_MAX / f.rateNum
                                      ? UINT64_MAX
                                      : sizeBits * f.rateNum / f.rateDen;
            mt->setUINT32(MF_MT_AVG_BITRATE,
                          static_cast<uint32_t>(std::min<uint64_t>(bits, UINT32_MAX)));
        }
    }
    return mt;
}

}  // namespace OLK
