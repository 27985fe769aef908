#pragma once

// Free helpers of the media catalogue.

#include <cstdint>
#include <memory>
#include <string>

#include "media/attributes.h"
#include "media/media_objects.h"
#include "olk_export.h"

namespace OLK {

// A string attribute; empty when missing or empty, "ERROR" when it cannot be read.
OLK_EXPORT std::string prop2str(const Attributes* attributes, const GUID& key);
// n in human units: "12.5 M", "3.0 K" or "512".
OLK_EXPORT std::string outputLargeInt(uint64_t n);
// S_OK for a media type, kLogMediaTypeNullResult for null; logs nothing.
OLK_EXPORT int32_t LogMediaType(const Attributes* mediaType);
// The device's presentation descriptor with stream (when 0 or more) selected; null on failure.
OLK_EXPORT std::shared_ptr<PresentationDescriptor> pdFromActivate(Activate* activate, int stream);
// The row stride of an uncompressed four-character format at a width; false when the format
// is compressed or unknown.
OLK_EXPORT bool strideForFourCC(uint32_t fourcc, uint32_t width, int32_t* stride);
// The bytes of one uncompressed frame; 0 when the format is compressed or unknown.
OLK_EXPORT uint32_t imageSizeForFourCC(uint32_t fourcc, uint32_t width, uint32_t height);

}  // namespace OLK
