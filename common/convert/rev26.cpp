#include "convert/img_xform.h"
#include "convert/kernels_internal.h"

namespace OLK {

using kernels::rowAt;

namespace {

constexpr uint8_t kOpaque = 0xFF;

inline void put(uint8_t* px, uint32_t b, uint32_t g, uint32_t r) {
    px[0] = static_cast<uint8_t>(b);
    px[1] = static_cast<uint8_t>(g);
    px[2] = static_cast<uint8_t>(r);
    px[3] = kOpaque;
}

// A site's own sample in its colour, or as grey.
enum class Channel { kBlue, kGreen, kRed };
inline void putSite(uint8_t* px, uint32_t s, Channel ch, bool colour) {
    if (!colour) {
        put(px, s, s, s);
    } else if (ch == Channel::kBlue) {
        put(px, s, 0, 0);
    } else if (ch == Channel::kGreen) {
        put(px, 0, s, 0);
    } else {
        put(px, 0, 0, s);
    }
}

void sitesView(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride,
               uint32_t width, uint32_t height, const Rev26Params& p) {
    const uint32_t colPhase = p.columnPhase & 1;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = rowAt(src, srcStride, y);
        uint8_t* d = rowAt(dst, dstStride, y);
        const bool blueRow = ((y + p.rowPhase) & 1) == 0;
        for (uint32_t x = 0; x + 1 < width; x += 2) {
            uint8_t* first = d + 4 * (x + colPhase);
            uint8_t* second = d + 4 * (x + 1 - colPhase);
            if (blueRow) {
                putSite(first, s[2 * x], Channel::kBlue, p.showBlue != 0);
                putSite(second, s[2 * x + 2], Channel::kGreen, p.showGreenBlue != 0);
            } else {
                putSite(first, s[2 * x], Channel::kGreen, p.showGreenRed != 0);
                putSite(second, s[2 * x + 2], Channel::kRed, p.showRed != 0);
            }
        }
    }
}

void demosaicView(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride,
                  uint32_t width, uint32_t height, const Rev26Params& p) {
    if (width < 3 || height < 3) {
        return;
    }
    for (uint32_t y = 1; y + 1 < height; ++y) {
        const uint8_t* up = rowAt(src, srcStride, y - 1);
        const uint8_t* mid = rowAt(src, srcStride, y);
        const uint8_t* down = rowAt(src, srcStride, y + 1);
        uint8_t* d = rowAt(dst, dstStride, y);
        const uint32_t rowSite = (p.rowPhase + y) & 1;
        for (uint32_t x = 1; x + 1 < width; ++x) {
            const uint32_t l = mid[2 * (x - 1)];
            const uint32_t r = mid[2 * (x + 1)];
            const uint32_t u = up[2 * x];
            const uint32_t dn = down[2 * x];
            const uint32_t c = mid[2 * x];
            const uint32_t n = l + r + u + dn;
            const uint32_t dg =
                up[2 * (x - 1)] + up[2 * (x + 1)] + down[2 * (x - 1)] + down[2 * (x + 1)];
            const uint32_t k = ((p.columnPhase + x) & 1) + rowSite;
            uint8_t* px = d + 4 * x;
            if (k == 0) {
                put(px, c, n / 4, dg / 4);
            } else if (k == 2) {
                put(px, dg / 4, n / 4, c);
            } else if ((y & 1) == 0) {
                put(px, (l + r) / 2, c, (u + dn) / 2);
            } else {
                put(px, (u + dn) / 2, c, (l + r) / 2);
            }
        }
    }
}

}  // namespace

void ImgXform::TransformImage_rev26_YUY2(uint8_t* dst, int32_t dstStride, const uint8_t* src,
                                         int32_t srcStride, uint32_t width, uint32_t height,
                                         const Rev26Params& params) {
    if (params.demosaic != 0) {
        demosaicView(dst, dstStride, src, srcStride, width, height, params);
    } else {
        sitesView(dst, dstStride, src, srcStride, width, height, params);
    }
}

}  // namespace OLK
