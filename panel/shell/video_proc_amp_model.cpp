#include "video_proc_amp_model.h"

#include <algorithm>
#include <limits>

#include "video/uvc_properties.h"

namespace TVR {

namespace {

constexpr int32_t kBothFlags = kUvcFlagAuto | kUvcFlagManual;
constexpr int32_t kPageDivisor = 7;

// The processing amplifier's properties in the order of the platform's enumeration.
constexpr std::array<UvcPropertyRow, UvcProcAmp::kCount> kRows{{
    {"VideoProcAmp_Brightness", UvcProcAmp::kBrightness, 3037, 3038, 3039, 3040, 3041,
     "Brightness"},
    {"VideoProcAmp_Contrast", UvcProcAmp::kContrast, 3042, 3043, 3044, 3045, 3046, "Contrast"},
    {"VideoProcAmp_Hue", UvcProcAmp::kHue, 3047, 3048, 3049, 3050, 3051, "Hue"},
    {"VideoProcAmp_Saturation", UvcProcAmp::kSaturation, 3052, 3053, 3054, 3055, 3056,
     "Saturation"},
    {"VideoProcAmp_Sharpness", UvcProcAmp::kSharpness, 3057, 3058, 3059, 3060, 3061, "Sharpness"},
    {"VideoProcAmp_Gamma", UvcProcAmp::kGamma, 3067, 3068, 3069, 3070, 3071, "Gamma"},
    {"VideoProcAmp_ColorEnable", UvcProcAmp::kColorEnable, 0, 0, 0, 0, 0, "Color enable"},
    {"VideoProcAmp_WhiteBalance", UvcProcAmp::kWhiteBalance, 3062, 3063, 3064, 3065, 3066,
     "White balance"},
    {"VideoProcAmp_BacklightCompensation", UvcProcAmp::kBacklightCompensation, 3072, 3073, 3074,
     3075, 3076, "Backlight compensation"},
    {"VideoProcAmp_Gain", UvcProcAmp::kGain, 3077, 3078, 3079, 3080, 3081, "Gain"},
}};

bool isAuto(int32_t flags) { return flags == kUvcFlagAuto || flags == kBothFlags; }

int32_t clampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::span<const UvcPropertyRow> VideoProcAmpModel::rows() { return kRows; }

std::optional<size_t> VideoProcAmpModel::rowOfControl(int controlId) {
    for (size_t i = 0; i < kRows.size(); ++i) {
        const UvcPropertyRow& r = kRows[i];
        if (r.hasControls() && controlId >= r.labelId && controlId <= r.autoId) return i;
    }
    return std::nullopt;
}

int32_t VideoProcAmpModel::pageSize(int32_t min, int32_t max, int32_t step) {
    const int64_t unit = std::max<int64_t>(step, 1);
    const int64_t span = std::max<int64_t>(int64_t{max} - min, 0);
    const int64_t page = (span / kPageDivisor + unit - 1) / unit * unit;
    return clampToInt32(std::max(page, unit));
}

void VideoProcAmpModel::refresh(UvcProperties* props) {
    for (size_t i = 0; i < kRows.size(); ++i) {
        const UvcPropertyRow& row = kRows[i];
        UvcRowView& v = m_views[i];
        v = UvcRowView{};
        if (!row.hasControls() || props == nullptr) continue;
        const std::optional<UvcRange> range = props->range(row.property);
        // A device that reports an inverted range has nothing usable to offer.
        if (!range || range->max < range->min) continue;

        RowRange& r = m_ranges[i];
        r.min = range->min;
        r.max = range->max;
        r.step = std::max(range->step, 1);
        r.defaultValue = range->defaultValue;
        r.caps = range->caps;
        r.offset = r.min < 0 ? -r.min : 0;

        v.available = true;
        v.autoEnabled = r.caps == kBothFlags;
        v.spinMin = r.min;
        v.spinMax = r.max;
        v.spinStep = r.step;
        v.sliderMin = clampToInt32(int64_t{r.min} + r.offset);
        v.sliderMax = clampToInt32(int64_t{r.max} + r.offset);
        v.sliderEnabled = r.min != r.max;
        v.pageSize = pageSize(r.min, r.max, r.step);
        v.manualEnabled = true;

        const std::optional<UvcSetting> current = props->get(row.property);
        if (current) {
            show(i, current->value, current->flags);
        } else {
            show(i, r.defaultValue, kUvcFlagManual);
        }
    }
}

void VideoProcAmpModel::show(size_t row, int32_t value, int32_t flags) {
    UvcRowView& v = m_views[row];
    v.value = value;
    v.sliderPos = clampToInt32(int64_t{value} + m_ranges[row].offset);
    v.autoChecked = isAuto(flags);
    v.manualEnabled = !v.autoChecked;
}

bool VideoProcAmpModel::userChange(size_t row, UvcChange source, int32_t sliderPos, int32_t number,
                                   bool autoChecked, UvcProperties* props) {
    if (row >= kRows.size() || !m_views[row].available) return false;
    const int32_t flags = autoChecked ? kUvcFlagAuto : kUvcFlagManual;
    const int32_t value = source == UvcChange::Slider
                              ? clampToInt32(int64_t{sliderPos} - m_ranges[row].offset)
                              : number;
    show(row, value, flags);
    if (source == UvcChange::Slider) return true;
    return props != nullptr && props->set(kRows[row].property, value, flags);
}

void VideoProcAmpModel::setDefaults(UvcProperties* props) {
    if (props == nullptr) return;
    for (size_t i = 0; i < kRows.size(); ++i) {
        if (!m_views[i].available) continue;
        const RowRange& r = m_ranges[i];
        props->set(kRows[i].property, r.defaultValue, r.caps);
        show(i, r.defaultValue, r.caps);
    }
    refresh(props);
}

}  // namespace TVR
