#pragma once

// CGInfo: one colour-grading curve of the FPGA as the panel edits it: 64 slider positions on the
// variant's 0..R scale, the response curve between position and adjusted value, the deviation in
// the user's units that the store and the camera hold, the default curve, and the pictures the
// editor draws (background and swatches) as plain pixel data. Toolkit-free; the positions belong
// to the thread that edits the curve (the window thread, or a batch worker while it waits).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

inline constexpr int kCurveSliders = 64;
// hoverIndex of no slider.
inline constexpr int64_t kNoSlider = 2147483647;

// One pixel, 0xRRGGBB.
using CGPixel = uint32_t;

constexpr CGPixel cgRgb(int r, int g, int b) {
    return (static_cast<CGPixel>(r & 0xFF) << 16) | (static_cast<CGPixel>(g & 0xFF) << 8) |
           static_cast<CGPixel>(b & 0xFF);
}
constexpr int cgRed(CGPixel p) { return static_cast<int>((p >> 16) & 0xFF); }
constexpr int cgGreen(CGPixel p) { return static_cast<int>((p >> 8) & 0xFF); }
constexpr int cgBlue(CGPixel p) { return static_cast<int>(p & 0xFF); }

// A hue in whole degrees (any integer) with saturation and value 0..255, in integer arithmetic.
CGPixel cgHsvToRgb(int hue, int saturation, int value);

// The editor's background picture, rows from the top.
struct CGBitmap {
    int width = 0;
    int height = 0;
    std::vector<CGPixel> pixels;

    CGPixel at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// The side bar's two colours: input on the left, output on the right.
struct CGSwatches {
    CGPixel input = 0;
    CGPixel output = 0;
    bool operator==(const CGSwatches&) const = default;
};

// The three-letter code of a curve type; empty for an unknown type.
std::string_view curveCode(int type);

class CGInfo {
public:
    using Positions = std::array<uint32_t, kCurveSliders>;

    CGInfo(std::string title, uint8_t type, int32_t range);
    virtual ~CGInfo();
    CGInfo(const CGInfo&) = delete;
    CGInfo& operator=(const CGInfo&) = delete;

    virtual std::string describeSlider(int index) const = 0;
    virtual uint32_t neutralPos(int index) const;
    virtual uint32_t defaultPos(int index) const;
    virtual double deviation(int index) const;
    // Sets positions[index] from a deviation; the new position.
    virtual uint32_t setDeviation(int index, double x);
    // The side bar's colours for the hovered slider; empty when the variant paints none.
    virtual std::optional<CGSwatches> paintSwatches() const;
    // The background picture of w x h pixels; `band` is the half height of the neutral band.
    virtual CGBitmap prepareBackground(int width, int height, int band) const;
    virtual uint32_t adjToPos(uint32_t adjusted) const;
    virtual uint32_t posToAdj(uint32_t position) const;
    virtual uint32_t devToAdj(double x) const = 0;
    virtual double adjToDev(uint32_t adjusted) const = 0;

    // The deviation a slider's position stands for, as the store and the camera take it.
    double shownDeviation(int index) const { return adjToDev(posToAdj(position(index))); }

    int64_t hoverIndex() const { return m_hoverIndex; }
    void setHoverIndex(int64_t index) { m_hoverIndex = index; }
    uint8_t type() const { return m_type; }
    const std::string& title() const { return m_title; }
    int32_t range() const { return m_range; }
    std::string_view code() const { return m_code; }
    const Positions& positions() const { return m_positions; }
    uint32_t position(int index) const { return m_positions.at(static_cast<size_t>(index)); }
    // Clamped to 0..R.
    void setPosition(int index, int64_t position);

    // The settings-store key of a slider ("CG_HVH_0007"), and its older form ("GC_...").
    std::string key(int index) const;
    std::string legacyKey(int index) const;

    // The background picture, made once by the editor and kept.
    const std::optional<CGBitmap>& bitmap() const { return m_bitmap; }
    void setBitmap(CGBitmap bitmap) { m_bitmap = std::move(bitmap); }

protected:
    int32_t centre() const { return m_range / 2; }
    // An adjusted value from a real one: truncated and kept on the 0..R scale.
    uint32_t adjustedOf(double value) const;
    std::string describeHue(int index) const;
    std::string describeLuma(int index) const;

    // Response curve used by hue vs. hue and saturation vs. saturation.
    uint32_t responseCurve(uint32_t position) const;
    uint32_t inverseResponseCurve(uint32_t adjusted) const;

private:
    std::optional<CGBitmap> m_bitmap;
    int64_t m_hoverIndex = kNoSlider;
    uint8_t m_type;
    std::string m_title;
    int32_t m_range;
    std::string m_code;
    Positions m_positions{};
};

}  // namespace TVR
