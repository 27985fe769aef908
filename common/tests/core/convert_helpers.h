#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace olk_test {

// The documented integer BT.601 formula, written out independently of the library.
std::array<uint8_t, 3> referenceBgr(int y, int u, int v);

struct Frame {
    std::vector<uint8_t> bytes;
    int32_t stride = 0;
};

Frame randomFrame(std::mt19937& rng, int32_t stride, uint32_t rows);
// Rows of dstStride bytes filled with a marker so untouched bytes can be recognised.
Frame markedFrame(int32_t stride, uint32_t rows, uint8_t marker = 0xA5);

// Reference conversions over whole frames (B,G,R,alpha; alpha as documented per format).
void referenceYuy2(Frame& dst, const Frame& src, uint32_t width, uint32_t height);
void referenceNv12(Frame& dst, const Frame& src, uint32_t width, uint32_t height);
void referenceRgb24(Frame& dst, const Frame& src, uint32_t width, uint32_t height);

}  // namespace olk_test
