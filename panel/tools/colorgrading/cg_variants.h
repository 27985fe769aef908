#pragma once

// The seven colour-grading curves: hue vs. hue, hue vs. saturation, luma vs. saturation,
// saturation vs. saturation, the two luma vs. luma tables (before and from FPGA build 73) and
// hue vs. luma, each with its range, conversions, default curve and pictures.

#include <memory>

#include "tools/colorgrading/cg_info.h"

namespace TVR {

// Curve types as the FPGA numbers its tables.
enum class CurveType : uint8_t {
    HueVsHue = 0,
    HueVsSat = 1,
    LumaVsSat = 2,
    SatVsSat = 3,
    LumaVsLuma = 4,
    HueVsLuma = 5,
};

class CGInfoHvH : public CGInfo {
public:
    static constexpr int32_t kRange = 3600;
    CGInfoHvH();
    std::string describeSlider(int index) const override;
    uint32_t defaultPos(int index) const override;
    // The absolute output hue of the slider's input hue, not the shift.
    double deviation(int index) const override;
    uint32_t setDeviation(int index, double x) override;
    std::optional<CGSwatches> paintSwatches() const override;
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t adjToPos(uint32_t adjusted) const override { return inverseResponseCurve(adjusted); }
    uint32_t posToAdj(uint32_t position) const override { return responseCurve(position); }
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

class CGInfoHvS : public CGInfo {
public:
    static constexpr int32_t kRange = 300;
    CGInfoHvS();
    std::string describeSlider(int index) const override { return describeHue(index); }
    uint32_t defaultPos(int index) const override;
    std::optional<CGSwatches> paintSwatches() const override;
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

class CGInfoLvS : public CGInfo {
public:
    static constexpr int32_t kRange = 300;
    CGInfoLvS();
    std::string describeSlider(int index) const override { return describeLuma(index); }
    uint32_t defaultPos(int index) const override;
    std::optional<CGSwatches> paintSwatches() const override;
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

class CGInfoSvS : public CGInfo {
public:
    static constexpr int32_t kRange = 511;
    CGInfoSvS();
    std::string describeSlider(int index) const override { return describeLuma(index); }
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t adjToPos(uint32_t adjusted) const override { return inverseResponseCurve(adjusted); }
    uint32_t posToAdj(uint32_t position) const override { return responseCurve(position); }
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

// The luma vs. luma table of FPGA firmware before build 73: output luma per input luma.
class CGInfoLvL : public CGInfo {
public:
    static constexpr int32_t kRange = 255;
    CGInfoLvL();
    std::string describeSlider(int index) const override { return describeLuma(index); }
    uint32_t neutralPos(int index) const override;
    uint32_t defaultPos(int index) const override;
    std::optional<CGSwatches> paintSwatches() const override;
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

class CGInfoLvL73 : public CGInfo {
public:
    static constexpr int32_t kRange = 511;
    CGInfoLvL73();
    std::string describeSlider(int index) const override { return describeLuma(index); }
    uint32_t defaultPos(int index) const override;
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

class CGInfoHvL : public CGInfo {
public:
    static constexpr int32_t kRange = 70;
    CGInfoHvL();
    std::string describeSlider(int index) const override { return describeHue(index); }
    CGBitmap prepareBackground(int width, int height, int band) const override;
    uint32_t devToAdj(double x) const override;
    double adjToDev(uint32_t adjusted) const override;
};

}  // namespace TVR
