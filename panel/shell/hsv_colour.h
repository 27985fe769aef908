#pragma once

// The panel's integer HSV colour, shared by the colour tools: a hue in whole degrees (any
// integer), saturation and value 0..255, converted to red, green and blue with truncating integer
// arithmetic, so previews are the same on every platform. Any thread.

#include <cstdint>

namespace TVR {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// Saturation and value outside 0..255 are clamped.
Rgb hsvToRgb(int hue, int saturation, int value);

// The colour as the camera's band record packs it: red in bits 0-7, green 8-15, blue 16-23.
inline uint32_t packRgb(Rgb c) { return uint32_t{c.r} | uint32_t{c.g} << 8 | uint32_t{c.b} << 16; }
inline Rgb unpackRgb(uint32_t rgb) {
    return {static_cast<uint8_t>(rgb & 0xFF), static_cast<uint8_t>((rgb >> 8) & 0xFF),
            static_cast<uint8_t>((rgb >> 16) & 0xFF)};
}

}  // namespace TVR
