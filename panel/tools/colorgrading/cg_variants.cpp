#include "cg_variants.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace TVR {

namespace {

using Table = std::array<float, kCurveSliders>;

constexpr Table kHvHDefaults = {
    -3.5f,  -4.9f,  0,      0,      0,      4,     1.9f, 0,     0,     0,      0,      0,     0,
    0,      0,      0,      0,      0,      0,     0,    -0.5f, -5.3f, -11.1f, -16.7f, -5.7f, -5.6f,
    -11.1f, -16.9f, -20.4f, -18.7f, -17.9f, -4.3f, 0,    0,     0,     0,      -0.7f,  -1.7f, -2.3f,
    -2.8f,  -3.6f,  -6.7f,  -16.8f, -1.1f,  0,     0,    0,     0,     0,      0,      0,     0,
    0,      0,      0,      0,      0,      0,     0,    0,     0,     0,      -0.9f,  -5.6f,
};

constexpr Table kHvSDefaults = {
    0.65f, 0.65f, 0.65f, 0.65f, 1,     1.22f, 1.41f, 1.56f, 1.71f, 2.05f, 2.28f, 2.78f, 2.78f,
    2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f, 2.78f,
    2.78f, 2.78f, 2.78f, 2.78f, 2.32f, 1.75f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f,
    1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f, 1.61f,
    2.21f, 2.21f, 2.21f, 2.21f, 2.17f, 2.17f, 2.17f, 2.21f, 1,     1,     0.65f, 0.65f,
};

constexpr Table kLvSDefaults = {
    1,     1.32f, 2.04f, 2.82f, 2.93f, 2.86f, 2.74f, 2.61f, 2.48f, 2.38f, 2.25f, 2.16f, 2.02f,
    1.93f, 1.9f,  1.82f, 1.76f, 1.67f, 1.62f, 1.59f, 1.56f, 1.53f, 1.5f,  1.47f, 1.45f, 1.45f,
    1.41f, 1.4f,  1.39f, 1.38f, 1.37f, 1.37f, 1.37f, 1.37f, 1.37f, 1.37f, 1.37f, 1.37f, 1.37f,
    1.37f, 1.37f, 1.41f, 1.41f, 1.45f, 1.48f, 1.53f, 1.58f, 1.5f,  1.34f, 1.13f, 1.01f, 1,
    1,     1,     1,     1,     1,     1,     1,     1,     1,     1,     1,     1,
};

constexpr Table kLvLDefaults = {
    0,   9,   19,  29,  40,  50,  59,  66,  73,  78,  82,  85,  89,  92,  95,  98,
    102, 105, 108, 110, 113, 116, 119, 121, 124, 127, 129, 132, 134, 137, 140, 142,
    145, 148, 151, 154, 157, 160, 163, 166, 169, 172, 175, 178, 181, 185, 188, 191,
    195, 199, 203, 207, 211, 215, 219, 223, 227, 231, 235, 238, 242, 246, 249, 252,
};

constexpr CGPixel kNoHoverGrey = cgRgb(128, 128, 128);
constexpr int kSwatchLevel = 192;
constexpr double kSliderHueStep = 360.0 / kCurveSliders;

CGPixel grey(int level) {
    const int v = std::clamp(level, 0, 255);
    return cgRgb(v, v, v);
}

// The hovered slider, if any.
std::optional<int> hovered(const CGInfo& info) {
    const int64_t i = info.hoverIndex();
    if (i < 0 || i >= kCurveSliders) return std::nullopt;
    return static_cast<int>(i);
}

int clampLevel(double level) { return static_cast<int>(std::clamp(level, 0.0, 255.0)); }

CGBitmap paint(int width, int height, const std::function<CGPixel(int x, int y)>& pixel) {
    CGBitmap b;
    b.width = std::max(width, 0);
    b.height = std::max(height, 0);
    b.pixels.resize(static_cast<size_t>(b.width) * static_cast<size_t>(b.height));
    size_t at = 0;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) b.pixels[at++] = pixel(x, y);
    }
    return b;
}

// The hue of column x across the full circle.
int columnHue(int x, int width) { return width > 1 ? x * 359 / (width - 1) : 0; }

bool inBand(int y, int height, int band) { return std::abs(y - height / 2) < band; }

// (1 - y/h) * 96: the darkening grey of the luma pictures.
int lumaGrey(int y, int height) {
    return static_cast<int>((1.0 - static_cast<double>(y) / height) * 96.0);
}

}  // namespace

// Hue vs. hue.

CGInfoHvH::CGInfoHvH() : CGInfo("Hue vs. Hue", 0, kRange) {}

std::string CGInfoHvH::describeSlider(int index) const { return describeHue(index); }

uint32_t CGInfoHvH::defaultPos(int index) const {
    return adjToPos(devToAdj(kHvHDefaults.at(static_cast<size_t>(index))));
}

double CGInfoHvH::deviation(int index) const {
    double hue = shownDeviation(index) + index * kSliderHueStep;
    while (hue > 360.0) hue -= 360.0;
    return hue;
}

uint32_t CGInfoHvH::setDeviation(int index, double x) {
    // A non-finite hue has no shift; the loops below would never end on one.
    if (!std::isfinite(x)) return position(index);
    x -= index * kSliderHueStep;
    x = std::fmod(x, 360.0);
    while (x < -180.0) x += 360.0;
    while (x > 180.0) x -= 360.0;
    setPosition(index, adjToPos(devToAdj(x)));
    return position(index);
}

uint32_t CGInfoHvH::devToAdj(double x) const { return adjustedOf((x + 180.0) * 10.0); }

double CGInfoHvH::adjToDev(uint32_t adjusted) const { return adjusted / 10.0 - 180.0; }

std::optional<CGSwatches> CGInfoHvH::paintSwatches() const {
    const auto n = hovered(*this);
    if (!n) return CGSwatches{kNoHoverGrey, kNoHoverGrey};
    const double shift = shownDeviation(*n);
    const int out = static_cast<int>(std::fmod(shift + *n * kSliderHueStep + 360.0, 360.0));
    return CGSwatches{cgHsvToRgb(*n * 360 / kCurveSliders, kSwatchLevel, kSwatchLevel),
                      cgHsvToRgb(out, kSwatchLevel, kSwatchLevel)};
}

CGBitmap CGInfoHvH::prepareBackground(int width, int height, int band) const {
    return paint(width, height, [&](int x, int y) {
        const int hue = columnHue(x, width);
        if (inBand(y, height, band)) return cgHsvToRgb(hue, 255, 200);
        const int64_t fromMiddle = y - height / 2;
        const int64_t pos = (height > 1 ? fromMiddle * range() / (height - 1) : 0) + range() / 2;
        const auto clamped = static_cast<uint32_t>(std::clamp<int64_t>(pos, 0, range()));
        const double shift = adjToDev(posToAdj(clamped));
        const int half = std::max(height / 2, 1);
        const int value = static_cast<int>(std::abs(fromMiddle) * 80 / half + 90);
        return cgHsvToRgb(hue + static_cast<int>(shift), 255, value);
    });
}

// Hue vs. saturation.

CGInfoHvS::CGInfoHvS() : CGInfo("Hue vs. Saturation", 1, kRange) {}

uint32_t CGInfoHvS::defaultPos(int index) const {
    return adjToPos(devToAdj(kHvSDefaults.at(static_cast<size_t>(index))));
}

uint32_t CGInfoHvS::devToAdj(double x) const { return adjustedOf((3.0 - x) * 100.0); }

double CGInfoHvS::adjToDev(uint32_t adjusted) const { return 3.0 - adjusted / 100.0; }

std::optional<CGSwatches> CGInfoHvS::paintSwatches() const {
    const auto n = hovered(*this);
    if (!n) return CGSwatches{kNoHoverGrey, kNoHoverGrey};
    const double v = deviation(*n);
    return CGSwatches{cgHsvToRgb(*n * 360 / kCurveSliders, kSwatchLevel, kSwatchLevel),
                      cgHsvToRgb(static_cast<int>(*n * kSliderHueStep),
                                 clampLevel(v * 255.0 / 10.0 * 2.3), kSwatchLevel)};
}

CGBitmap CGInfoHvS::prepareBackground(int width, int height, int /*band*/) const {
    return paint(width, height, [&](int x, int y) {
        const int level = (height - y) * 255 / height;
        return cgHsvToRgb(columnHue(x, width), level, level);
    });
}

// Luma vs. saturation.

CGInfoLvS::CGInfoLvS() : CGInfo("Luma vs. Saturation", 2, kRange) {}

uint32_t CGInfoLvS::defaultPos(int index) const {
    return adjToPos(devToAdj(kLvSDefaults.at(static_cast<size_t>(index))));
}

uint32_t CGInfoLvS::devToAdj(double x) const { return adjustedOf((3.0 - x) * 100.0); }

double CGInfoLvS::adjToDev(uint32_t adjusted) const { return 3.0 - adjusted / 100.0; }

std::optional<CGSwatches> CGInfoLvS::paintSwatches() const {
    const auto n = hovered(*this);
    if (!n) return CGSwatches{kNoHoverGrey, kNoHoverGrey};
    const double v = deviation(*n);
    return CGSwatches{cgHsvToRgb(0, 64, *n * 232 / 63 + 16),
                      cgHsvToRgb(0, clampLevel((v * 232.0 + 16.0) / 10.0 * 2.3), *n * 255 / 63)};
}

CGBitmap CGInfoLvS::prepareBackground(int width, int height, int /*band*/) const {
    return paint(width, height, [&](int x, int y) {
        const int hue = (x * 150 / width + 60) & 0xFF;
        return cgHsvToRgb(hue, (height - y) * 160 / height + 96, x * 232 / width + 16);
    });
}

// Saturation vs. saturation.

CGInfoSvS::CGInfoSvS() : CGInfo("Saturation vs. Saturation", 3, kRange) {}

uint32_t CGInfoSvS::devToAdj(double x) const {
    if (std::isnan(x)) return adjustedOf(x);
    return adjustedOf(255.0 - std::trunc(x));
}

double CGInfoSvS::adjToDev(uint32_t adjusted) const { return 255.0 - adjusted; }

CGBitmap CGInfoSvS::prepareBackground(int width, int height, int band) const {
    return paint(width, height, [&](int x, int y) {
        const int hue = x * 90 / width + 120;
        const int s = inBand(y, height, band)
                          ? 255
                          : static_cast<int>(std::lround((height - y) * 255.0 / height));
        return cgHsvToRgb(hue, s, 200);
    });
}

// Luma vs. luma, before FPGA build 73.

CGInfoLvL::CGInfoLvL() : CGInfo("Luma vs. Luma (pre-73)", 4, kRange) {}

uint32_t CGInfoLvL::neutralPos(int index) const {
    return static_cast<uint32_t>(254 * (63 - index) / 63);
}

uint32_t CGInfoLvL::defaultPos(int index) const {
    return adjToPos(devToAdj(kLvLDefaults.at(static_cast<size_t>(index))));
}

uint32_t CGInfoLvL::devToAdj(double x) const {
    if (std::isnan(x)) return adjustedOf(x);
    return adjustedOf(255.0 - std::trunc(x));
}

double CGInfoLvL::adjToDev(uint32_t adjusted) const { return 255.0 - adjusted; }

std::optional<CGSwatches> CGInfoLvL::paintSwatches() const {
    const auto n = hovered(*this);
    if (!n) return CGSwatches{kNoHoverGrey, kNoHoverGrey};
    const double out = (1.0 - static_cast<double>(position(*n)) / (range() - 1)) * 232.0;
    return CGSwatches{grey(*n * 232 / 63), grey(clampLevel(out))};
}

CGBitmap CGInfoLvL::prepareBackground(int width, int height, int /*band*/) const {
    return paint(width, height, [&](int, int y) { return grey(lumaGrey(y, height)); });
}

// Luma vs. luma, FPGA build 73 on.

CGInfoLvL73::CGInfoLvL73() : CGInfo("Luma vs. Luma", 4, kRange) {}

uint32_t CGInfoLvL73::defaultPos(int /*index*/) const { return adjToPos(devToAdj(0.0)); }

uint32_t CGInfoLvL73::devToAdj(double x) const { return adjustedOf(255.0 - x); }

double CGInfoLvL73::adjToDev(uint32_t adjusted) const { return 255.0 - adjusted; }

CGBitmap CGInfoLvL73::prepareBackground(int width, int height, int band) const {
    return paint(width, height, [&](int, int y) {
        return inBand(y, height, band) ? grey(70) : grey(lumaGrey(y, height));
    });
}

// Hue vs. luma.

CGInfoHvL::CGInfoHvL() : CGInfo("Hue vs. Luma", 5, kRange) {}

uint32_t CGInfoHvL::devToAdj(double x) const { return adjustedOf(35.0 - x); }

double CGInfoHvL::adjToDev(uint32_t adjusted) const { return 35.0 - adjusted; }

CGBitmap CGInfoHvL::prepareBackground(int width, int height, int band) const {
    return paint(width, height, [&](int x, int y) {
        const int hue = columnHue(x, width);
        if (inBand(y, height, band)) return cgHsvToRgb(hue, 255, 192);
        return cgHsvToRgb(hue, 127, (height - y) * 255 / height);
    });
}

}  // namespace TVR
