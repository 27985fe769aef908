#pragma once

// How V4L2 formats, frame sizes and intervals read as media-type attributes.

#include <cstdint>
#include <memory>

#include "media/attributes.h"
#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

// What the driver told about one mode.
struct V4l2ModeFacts {
    uint32_t pixelFormat = 0;
    bool compressed = false;  // V4L2_FMT_FLAG_COMPRESSED
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bytesPerLine = 0;  // 0: unknown
    uint32_t sizeImage = 0;     // 0: unknown
    uint32_t field = 0;         // enum v4l2_field
    // Frames per second as num/den (the inverse of the driver's frame interval).
    uint32_t rateNum = 0, rateDen = 1;
    uint32_t minRateNum = 0, minRateDen = 1;
    uint32_t maxRateNum = 0, maxRateDen = 1;
};

OLK_EXPORT GUID subtypeFromV4l2(uint32_t pixelFormat);
// 0 when the subtype has no V4L2 pixel format.
OLK_EXPORT uint32_t v4l2FromSubtype(const GUID& subtype);
OLK_EXPORT uint32_t interlaceFromV4l2Field(uint32_t field);
OLK_EXPORT bool isCompressedSubtype(const GUID& subtype);
OLK_EXPORT std::shared_ptr<Attributes> v4l2ModeAttributes(const V4l2ModeFacts& facts);

}  // namespace OLK
