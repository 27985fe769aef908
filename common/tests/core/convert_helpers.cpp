#include "convert_helpers.h"

#include <algorithm>

namespace olk_test {

namespace {
uint8_t clampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

void put(Frame& dst, uint32_t x, uint32_t y, std::array<uint8_t, 3> bgr, uint8_t alpha) {
    uint8_t* p = dst.bytes.data() + static_cast<size_t>(y) * dst.stride + 4 * x;
    p[0] = bgr[0];
    p[1] = bgr[1];
    p[2] = bgr[2];
    p[3] = alpha;
}
}  // namespace

std::array<uint8_t, 3> referenceBgr(int y, int u, int v) {
    const int c = y - 16;
    const int d = u - 128;
    const int e = v - 128;
    return {clampByte((298 * c + 516 * d + 128) >> 8),
            clampByte((298 * c - 100 * d - 208 * e + 128) >> 8),
            clampByte((298 * c + 409 * e + 128) >> 8)};
}

Frame randomFrame(std::mt19937& rng, int32_t stride, uint32_t rows) {
    Frame f;
    f.stride = stride;
    f.bytes.resize(static_cast<size_t>(stride) * rows);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : f.bytes) {
        b = static_cast<uint8_t>(byte(rng));
    }
    return f;
}

Frame markedFrame(int32_t stride, uint32_t rows, uint8_t marker) {
    Frame f;
    f.stride = stride;
    f.bytes.assign(static_cast<size_t>(stride) * rows, marker);
    return f;
}

void referenceYuy2(Frame& dst, const Frame& src, uint32_t width, uint32_t height) {
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = src.bytes.data() + static_cast<size_t>(y) * src.stride;
        for (uint32_t x = 0; x + 1 < width; x += 2) {
            const uint8_t* g = s + 2 * x;
            put(dst, x, y, referenceBgr(g[0], g[1], g[3]), 0xFF);
            put(dst, x + 1, y, referenceBgr(g[2], g[1], g[3]), 0xFF);
        }
    }
}

void referenceNv12(Frame& dst, const Frame& src, uint32_t width, uint32_t height) {
    const uint8_t* chroma = src.bytes.data() + static_cast<size_t>(height) * src.stride;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = src.bytes.data() + static_cast<size_t>(y) * src.stride;
        const uint8_t* uv = chroma + static_cast<size_t>(y / 2) * src.stride;
        for (uint32_t x = 0; x < (width & ~1u); ++x) {
            const uint32_t pair = x & ~1u;
            put(dst, x, y, referenceBgr(s[x], uv[pair], uv[pair + 1]), 0);
        }
    }
}

void referenceRgb24(Frame& dst, const Frame& src, uint32_t width, uint32_t height) {
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = src.bytes.data() + static_cast<size_t>(y) * src.stride;
        for (uint32_t x = 0; x < width; ++x) {
            put(dst, x, y, {s[3 * x], s[3 * x + 1], s[3 * x + 2]}, 0xFF);
        }
    }
}

}  // namespace olk_test
