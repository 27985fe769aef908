#include "cg_info.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "shell/hsv_colour.h"

namespace TVR {

namespace {

constexpr std::string_view kCurveCodes[] = {"HVH", "HVS", "LVS", "SVS", "LVL", "HVL"};
constexpr double kCurveExponent = -1.7000000000000002;
constexpr double kCurvePower = 2.7;
constexpr double kInversePower = 0.37037037037037035;
constexpr double kTruncTolerance = 0.01;

}  // namespace

CGPixel cgHsvToRgb(int hue, int saturation, int value) {
    const Rgb c = hsvToRgb(hue, saturation, value);
    return cgRgb(c.r, c.g, c.b);
}

std::string_view curveCode(int type) {
    if (type < 0 || type >= static_cast<int>(std::size(kCurveCodes))) return {};
    return kCurveCodes[type];
}

CGInfo::CGInfo(std::string title, uint8_t type, int32_t range)
    : m_type(type), m_title(std::move(title)), m_range(range), m_code(curveCode(type)) {
    m_positions.fill(static_cast<uint32_t>(range / 2));
}

CGInfo::~CGInfo() = default;

uint32_t CGInfo::neutralPos(int /*index*/) const { return static_cast<uint32_t>(centre()); }

uint32_t CGInfo::defaultPos(int index) const { return neutralPos(index); }

double CGInfo::deviation(int index) const { return shownDeviation(index); }

uint32_t CGInfo::setDeviation(int index, double x) {
    setPosition(index, adjToPos(devToAdj(x)));
    return position(index);
}

std::optional<CGSwatches> CGInfo::paintSwatches() const { return std::nullopt; }

CGBitmap CGInfo::prepareBackground(int width, int height, int /*band*/) const {
    CGBitmap b;
    b.width = std::max(width, 0);
    b.height = std::max(height, 0);
    b.pixels.assign(static_cast<size_t>(b.width) * static_cast<size_t>(b.height), 0);
    return b;
}

uint32_t CGInfo::adjToPos(uint32_t adjusted) const { return adjusted; }

uint32_t CGInfo::posToAdj(uint32_t position) const { return position; }

void CGInfo::setPosition(int index, int64_t position) {
    m_positions.at(static_cast<size_t>(index)) =
        static_cast<uint32_t>(std::clamp<int64_t>(position, 0, m_range));
}

std::string CGInfo::key(int index) const { return fmt::format("{}{}_{:04}", "CG_", m_code, index); }

std::string CGInfo::legacyKey(int index) const {
    return fmt::format("{}{}_{:04}", "GC_", m_code, index);
}

uint32_t CGInfo::adjustedOf(double value) const {
    // Out-of-range deviations (a hand-edited settings file) stay on the slider's scale.
    if (std::isnan(value)) return static_cast<uint32_t>(centre());
    // A deviation that went through the store's four decimals, or a single-precision default,
    // may land a hair below the whole number it stands for; truncating that would move the
    // slider by one step on every load.
    const double t = std::trunc(value + kTruncTolerance);
    return static_cast<uint32_t>(std::clamp(t, 0.0, static_cast<double>(m_range)));
}

std::string CGInfo::describeHue(int index) const {
    const uint32_t adj = posToAdj(position(index));
    return fmt::format("Slider #{} (hue: {}\u00B0), adj. slider: {}, dev {:.2f}", index,
                       index * 360 / kCurveSliders, adj, adjToDev(adj));
}

std::string CGInfo::describeLuma(int index) const {
    const uint32_t adj = posToAdj(position(index));
    return fmt::format("Slider #{} (luma: {}), adj. slider: {}, dev {:.2f}", index,
                       index * 256 / kCurveSliders, adj, adjToDev(adj));
}

uint32_t CGInfo::responseCurve(uint32_t position) const {
    const auto c = static_cast<uint32_t>(centre());
    const auto r = static_cast<uint32_t>(m_range);
    if (position == c) return c;
    if (position == 0) return 0;
    if (position >= r) return position;
    const double cd = c;
    double adjusted = 0.0;
    if (position < c) {
        adjusted = cd - std::pow(cd, kCurveExponent) * std::pow(cd - position, kCurvePower);
    } else {
        adjusted = cd + std::pow(position - cd, kCurvePower) * std::pow(r - cd, kCurveExponent);
    }
    return static_cast<uint32_t>(std::max(adjusted, 0.0));
}

uint32_t CGInfo::inverseResponseCurve(uint32_t adjusted) const {
    const auto c = static_cast<uint32_t>(centre());
    const auto r = static_cast<uint32_t>(m_range);
    if (adjusted == c) return c;
    if (adjusted == 0) return 0;
    if (adjusted >= r) return r;
    const double cd = c;
    double position = 0.0;
    if (adjusted < c) {
        position = cd - std::pow((cd - adjusted) / std::pow(cd, kCurveExponent), kInversePower);
    } else {
        position = cd + std::pow((adjusted - cd) / std::pow(r - cd, kCurveExponent), kInversePower);
    }
    auto p = static_cast<uint32_t>(std::clamp(position, 0.0, static_cast<double>(r)));
    // The truncations of both directions leave the formula a step short now and then; the first
    // position whose adjusted value reaches `adjusted` makes position -> adjusted -> position
    // stable, so a curve saved and loaded again comes back unchanged.
    while (p < r && responseCurve(p) < adjusted) ++p;
    while (p > 0 && responseCurve(p - 1) >= adjusted) --p;
    return p;
}

}  // namespace TVR
