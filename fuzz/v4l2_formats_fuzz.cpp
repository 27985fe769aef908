// Maps what a V4L2 driver reports about a mode (pixel format, size, stride, image size, field,
// frame intervals) into media-type attributes. Every attribute must say what the driver said,
// derived values (stride, sample size, bit rate) must be exact or saturated, never wrapped, and
// subtypes must survive the trip to a V4L2 code and back.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "fuzz_check.h"
#include "media/attributes.h"
#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/v4l2/v4l2_formats.h"

namespace {

using OLK::Attributes;
using OLK::GUID;

// Common four-character codes, so the input reaches the table rows and not only the fallback.
constexpr uint32_t kCodes[] = {OLK::makeFourCC('Y', 'U', 'Y', 'V'),
                               OLK::makeFourCC('U', 'Y', 'V', 'Y'),
                               OLK::makeFourCC('Y', 'V', 'Y', 'U'),
                               OLK::makeFourCC('N', 'V', '1', '2'),
                               OLK::makeFourCC('Y', 'U', '1', '2'),
                               OLK::makeFourCC('Y', 'V', '1', '2'),
                               OLK::makeFourCC('M', 'J', 'P', 'G'),
                               OLK::makeFourCC('J', 'P', 'E', 'G'),
                               OLK::makeFourCC('H', '2', '6', '4'),
                               OLK::makeFourCC('B', 'G', 'R', '3'),
                               OLK::makeFourCC('X', 'R', '2', '4'),
                               OLK::makeFourCC('B', 'G', 'R', '4'),
                               OLK::makeFourCC('R', 'G', 'B', 'P'),
                               OLK::makeFourCC('P', '0', '1', '0'),
                               OLK::makeFourCC('Y', 'U', 'Y', '2'),
                               20,
                               22};

uint32_t pick(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.PickValueInArray(kCodes) : in.ConsumeIntegral<uint32_t>();
}

// Small, large and arbitrary numbers alike.
uint32_t number(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return in.ConsumeIntegralInRange<uint32_t>(0, 4096);
        case 1:
            return std::numeric_limits<uint32_t>::max() -
                   in.ConsumeIntegralInRange<uint32_t>(0, 4096);
        default:
            return in.ConsumeIntegral<uint32_t>();
    }
}

uint32_t u32(const Attributes& a, const GUID& key) {
    uint32_t v = 0;
    FUZZ_CHECK(a.getUINT32(key, &v) == OLK::S_OK);
    return v;
}

void checkPair(const Attributes& a, const GUID& key, uint32_t high, uint32_t low) {
    uint32_t h = 0;
    uint32_t l = 0;
    FUZZ_CHECK(a.getPair(key, &h, &l) == OLK::S_OK);
    FUZZ_CHECK(h == high && l == low);
}

void checkRate(const Attributes& a, const GUID& key, uint32_t num, uint32_t den) {
    if (num != 0 && den != 0) {
        checkPair(a, key, num, den);
    } else {
        FUZZ_CHECK(!a.hasItem(key));
    }
}

void checkSubtypes(uint32_t code) {
    const GUID subtype = OLK::subtypeFromV4l2(code);
    const uint32_t back = OLK::v4l2FromSubtype(subtype);
    if (back != 0) FUZZ_CHECK(OLK::subtypeFromV4l2(back) == subtype);
    if (code >= 0x100 && subtype == OLK::subtypeFromFourCC(code)) FUZZ_CHECK(back != 0);
}

void checkSizes(uint32_t code, uint32_t width, uint32_t height) {
    int32_t stride = -1;
    if (!OLK::strideForFourCC(code, width, &stride)) {
        FUZZ_CHECK(OLK::imageSizeForFourCC(code, width, height) == 0);
        return;
    }
    FUZZ_CHECK(stride >= 0);
    // At most eight bytes a pixel (64-bit formats), plus the padding of RGB rows.
    FUZZ_CHECK(uint64_t(stride) <= uint64_t{width} * 8 + 3);
    const uint32_t size = OLK::imageSizeForFourCC(code, width, height);
    const unsigned __int128 whole = static_cast<unsigned __int128>(stride) * height;
    if (size != 0) {
        FUZZ_CHECK(size >= whole);
        FUZZ_CHECK(size <= 2 * whole);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    OLK::V4l2ModeFacts f;
    f.pixelFormat = pick(in);
    f.compressed = in.ConsumeBool();
    f.width = number(in);
    f.height = number(in);
    f.bytesPerLine = number(in);
    f.sizeImage = number(in);
    f.field = in.ConsumeIntegralInRange<uint32_t>(0, 12);
    f.rateNum = number(in);
    f.rateDen = number(in);
    f.minRateNum = number(in);
    f.minRateDen = number(in);
    f.maxRateNum = number(in);
    f.maxRateDen = number(in);

    checkSubtypes(f.pixelFormat);
    checkSizes(OLK::subtypeFromV4l2(f.pixelFormat).Data1, f.width, f.height);

    const auto mt = OLK::v4l2ModeAttributes(f);
    FUZZ_CHECK(mt != nullptr);
    GUID g;
    FUZZ_CHECK(mt->getGUID(OLK::MF_MT_MAJOR_TYPE, &g) == OLK::S_OK && g == OLK::MFMediaType_Video);
    const GUID subtype = OLK::subtypeFromV4l2(f.pixelFormat);
    FUZZ_CHECK(mt->getGUID(OLK::MF_MT_SUBTYPE, &g) == OLK::S_OK && g == subtype);
    checkPair(*mt, OLK::MF_MT_FRAME_SIZE, f.width, f.height);
    checkRate(*mt, OLK::MF_MT_FRAME_RATE, f.rateNum, f.rateDen);
    checkRate(*mt, OLK::MF_MT_FRAME_RATE_RANGE_MIN, f.minRateNum, f.minRateDen);
    checkRate(*mt, OLK::MF_MT_FRAME_RATE_RANGE_MAX, f.maxRateNum, f.maxRateDen);
    const uint32_t interlace = u32(*mt, OLK::MF_MT_INTERLACE_MODE);
    FUZZ_CHECK(interlace == 0 || (interlace >= 2 && interlace <= 7));

    const bool compressed = f.compressed || OLK::isCompressedSubtype(subtype);
    FUZZ_CHECK(u32(*mt, OLK::MF_MT_ALL_SAMPLES_INDEPENDENT) == (compressed ? 0u : 1u));
    FUZZ_CHECK(mt->hasItem(OLK::MF_MT_COMPRESSED) == compressed);
    if (!compressed && f.bytesPerLine != 0 && f.bytesPerLine <= INT32_MAX) {
        FUZZ_CHECK(u32(*mt, OLK::MF_MT_DEFAULT_STRIDE) == f.bytesPerLine);
    }
    if (f.sizeImage != 0) FUZZ_CHECK(u32(*mt, OLK::MF_MT_SAMPLE_SIZE) == f.sizeImage);

    if (mt->hasItem(OLK::MF_MT_AVG_BITRATE)) {
        const uint32_t sampleSize = u32(*mt, OLK::MF_MT_SAMPLE_SIZE);
        FUZZ_CHECK(f.rateDen != 0);
        const unsigned __int128 bits =
            static_cast<unsigned __int128>(sampleSize) * 8 * f.rateNum / f.rateDen;
        const uint32_t expected = bits > std::numeric_limits<uint32_t>::max()
                                      ? std::numeric_limits<uint32_t>::max()
                                      : static_cast<uint32_t>(bits);
        const uint32_t bitrate = u32(*mt, OLK::MF_MT_AVG_BITRATE);
        if (bitrate != expected) {
            std::fprintf(stderr, "sample size %u, rate %u/%u: bit rate %u, expected %u\n",
                         sampleSize, f.rateNum, f.rateDen, bitrate, expected);
        }
        FUZZ_CHECK(bitrate == expected);
    }
    return 0;
}
