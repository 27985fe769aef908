#include "tab_gains_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "apilog.h"
#include "protocol/fx3_channels.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {
namespace {

constexpr const char* kKeyWbGainR = "OV_WB_GAIN_R";
constexpr const char* kKeyWbGainG = "OV_WB_GAIN_G";
constexpr const char* kKeyWbGainB = "OV_WB_GAIN_B";
constexpr const char* kKeyGlobalGain = "OV_GLOBAL_GAIN";
constexpr const char* kKeyExposure = "OV_EXPOSURE";
constexpr const char* kKeyBlackLevel = "OV_BLACK_LEVEL";
constexpr const char* kKeyManualWb = "OV_MANUAL_WB_ON";
constexpr const char* kKeyManualGain = "OV_MANUAL_GAIN_ON";
constexpr const char* kKeyManualExposure = "OV_MANUAL_EXP_ON";
constexpr const char* kKeyVideoFps = "OV_VIDEO_FPS";

constexpr std::string_view kWbAlwaysOnChip = "OV48C40";
constexpr std::string_view kNoFrameRate = "---";

struct NumberKey {
    int controlId;
    const char* key;
};
constexpr std::array<NumberKey, 6> kNumbers = {{
    {TabGainsModel::kWbRedNumber, kKeyWbGainR},
    {TabGainsModel::kWbGreenNumber, kKeyWbGainG},
    {TabGainsModel::kWbBlueNumber, kKeyWbGainB},
    {TabGainsModel::kGainNumber, kKeyGlobalGain},
    {TabGainsModel::kExposureNumber, kKeyExposure},
    {TabGainsModel::kBlackLevelNumber, kKeyBlackLevel},
}};
constexpr std::array<NumberKey, 3> kChecks = {{
    {TabGainsModel::kManualWbCheck, kKeyManualWb},
    {TabGainsModel::kManualGainCheck, kKeyManualGain},
    {TabGainsModel::kManualExposureCheck, kKeyManualExposure},
}};

// Which sensor value's maximum spans which sliders and spins.
struct MaximumRange {
    int controlId;
    int value;
};
constexpr std::array<MaximumRange, 11> kMaximumRanges = {{
    {TabGainsModel::kWbRedSlider, kValueWbGainR},
    {TabGainsModel::kWbGreenSlider, kValueWbGainR},
    {TabGainsModel::kWbBlueSlider, kValueWbGainR},
    {TabGainsModel::kWbRedSpin, kValueWbGainR},
    {TabGainsModel::kWbGreenSpin, kValueWbGainR},
    {TabGainsModel::kWbBlueSpin, kValueWbGainR},
    {TabGainsModel::kGainSlider, kValueGlobalGain},
    {TabGainsModel::kGainSpin, kValueGlobalGain},
    {TabGainsModel::kExposureSpin, kValueExposure},
    {TabGainsModel::kBlackLevelSlider, kValueBlackLevel},
    {TabGainsModel::kBlackLevelSpin, kValueBlackLevel},
}};

TabGainsModel::ExposureSlider sliderForRow(size_t index, int position) {
    const ExposureRange& row = kExposureRanges.at(index);
    return {index, row.lowest, row.highest, std::clamp(position, row.lowest, row.highest)};
}

// The text of a rate as typed: surrounding blanks allowed, nothing else.
std::optional<double> parseRate(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

int sliderOfRate(double rate) { return static_cast<int>(std::lround(rate * 1000.0)); }

}  // namespace

TabGainsModel::TabGainsModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, tabGainsControls()),
      m_exposure(sliderForRow(kInitialExposureRange, 0)) {
    setUpdateCounter(1);
}

void TabGainsModel::finishInitialisation() { setUpdateCounter(0); }

void TabGainsModel::readState() {
    TableValueOwner::readState();
    if (!camera().connected()) return;
    settings().log().appendMessage(false, "Reading binning configuration");
    // Binning modes 2-4 are the list's entries 1-3; anything else shows the first entry.
    const int mode = camera().chip().binning(0);
    settings().setDecimal(kKeyBinning, mode >= 2 && mode <= 4 ? mode - 1 : 0);
}

std::vector<ControlRange> TabGainsModel::ranges() {
    std::vector<ControlRange> out;
    out.reserve(std::size(kMaximumRanges));
    IImgSensorChip& chip = camera().chip();
    for (const MaximumRange& r : kMaximumRanges) {
        out.push_back({r.controlId, 0, std::max(0, chip.maxValue(r.value))});
    }
    return out;
}

bool TabGainsModel::frameRateAvailable() {
    return camera().connected() && camera().cameraRealAvailable(Fx3RealChannel::kVideoFrameRate);
}

bool TabGainsModel::manualWbEnabled() {
    return settings().getBool(kKeyManualWb) || camera().chip().name() == kWbAlwaysOnChip;
}

std::vector<ShownEnabled> TabGainsModel::enabledControls() {
    const bool wb = manualWbEnabled();
    const bool gain = settings().getBool(kKeyManualGain);
    const bool exposure = settings().getBool(kKeyManualExposure);
    const bool frameRate = frameRateAvailable();
    std::vector<ShownEnabled> out;
    for (const Enabling& e : kEnabling) {
        bool on = false;
        switch (e.rule) {
            case EnableRule::ManualWb:
                on = wb;
                break;
            case EnableRule::ManualGain:
                on = gain;
                break;
            case EnableRule::ManualExposure:
                on = exposure;
                break;
            case EnableRule::FrameRate:
                on = frameRate;
                break;
        }
        out.push_back({e.controlId, on});
    }
    return out;
}

std::optional<TabGainsModel::ExposureSlider> TabGainsModel::followExposure(int value) {
    if (value >= m_exposure.minimum && value <= m_exposure.maximum) {
        m_exposure.position = value;
        return std::nullopt;
    }
    for (size_t i = 0; i < kExposureRanges.size(); ++i) {
        if (value >= kExposureRanges[i].lowest && value <= kExposureRanges[i].highest) {
            m_exposure = sliderForRow(i, value);
            return m_exposure;
        }
    }
    // No row holds it: the slider stays and shows its nearest end.
    m_exposure.position = std::clamp(value, m_exposure.minimum, m_exposure.maximum);
    return std::nullopt;
}

TabGainsModel::View TabGainsModel::update() {
    UpdateHold hold(*this);
    SettingsStore& store = settings();
    View view;
    view.ranges = ranges();
    for (const NumberKey& n : kNumbers) {
        const int value = store.getInt(n.key);
        view.numbers.push_back({n.controlId, value});
        if (n.controlId == kExposureNumber) followExposure(value);
    }
    for (const SliderPair& pair : kSliderPairs) {
        const auto number =
            std::find_if(view.numbers.begin(), view.numbers.end(),
                         [&](const ShownNumber& s) { return s.controlId == pair.numberId; });
        const int position = pair.sliderId == kExposureSlider ? m_exposure.position : number->value;
        view.sliders.push_back({pair.sliderId, position});
    }
    for (const NumberKey& c : kChecks) view.checks.push_back({c.controlId, store.getBool(c.key)});
    const int binning = store.getInt(kKeyBinning);
    if (binning >= 0 && binning < static_cast<int>(kBinningItems.size())) {
        view.binningIndex = binning;
    }
    view.frameRateEnabled = frameRateAvailable();
    if (view.frameRateEnabled) {
        view.frameRateText = fmt::format("{:6.3f}", store.getReal(kKeyVideoFps, 0.0));
        // The box takes its own text as typed: only a rate within the limits moves the slider.
        const std::optional<double> shown = parseRate(view.frameRateText);
        if (shown && *shown >= kFrameRateLowest && *shown <= kFrameRateHighest) {
            view.sliders.push_back({kFrameRateSliderId, sliderOfRate(*shown)});
        }
    } else {
        view.frameRateText = std::string(kNoFrameRate);
    }
    view.exposure = m_exposure;
    view.enabled = enabledControls();
    return view;
}

TabGainsModel::NumberResult TabGainsModel::onNumberChanged(int controlId, int value) {
    NumberResult result;
    const auto number = std::find_if(kNumbers.begin(), kNumbers.end(),
                                     [&](const NumberKey& n) { return n.controlId == controlId; });
    if (number == kNumbers.end()) return result;
    const ControlEdit edit = editNumber(controlId, value);
    result.stored = edit.stored;
    result.pushed = edit.pushed;
    for (const SliderPair& pair : kSliderPairs) {
        if (pair.numberId == controlId) result.sliderId = pair.sliderId;
    }
    if (controlId == kExposureNumber) {
        result.exposure = followExposure(value);
        result.sliderPosition = m_exposure.position;
    } else {
        result.sliderPosition = value;
    }
    return result;
}

TabGainsModel::NumberResult TabGainsModel::onSliderMoved(int sliderId, int position) {
    for (const SliderPair& pair : kSliderPairs) {
        if (pair.sliderId == sliderId) return onNumberChanged(pair.numberId, position);
    }
    return {};
}

TabGainsModel::SwitchResult TabGainsModel::onSwitch(int controlId, bool checked) {
    SwitchResult result;
    const auto check = std::find_if(kChecks.begin(), kChecks.end(),
                                    [&](const NumberKey& c) { return c.controlId == controlId; });
    if (check == kChecks.end()) return result;
    const ControlEdit edit = editCheck(controlId, checked);
    result.stored = edit.stored;
    result.pushed = edit.pushed;
    if (controlId == kManualGainCheck && checked && edit.pushed) {
        // A sensor switch reports no failure of its own; the switch read back tells whether the
        // camera took it, so a gain is never written to a sensor still in automatic gain.
        IImgSensorChip& chip = camera().chip();
        if (!chip.sensorSwitch(kSwitchManualGain, -1)) {
            result.pushed = false;
            settings().log().appendMessage(true, "Error pushing a value for %s", kKeyManualGain);
        } else if (settings().has(kKeyGlobalGain)) {
            const int gain = settings().getInt(kKeyGlobalGain);
            if (gain >= 0) {
                chip.sensorValue(kValueGlobalGain, gain);
                result.gainWritten = true;
            }
        }
    }
    result.enabled = enabledControls();
    return result;
}

TabGainsModel::RangeResult TabGainsModel::onExposureRangeChosen(size_t index, int shownNumber) {
    RangeResult result;
    if (index >= kExposureRanges.size() || kExposureRanges[index].lowest == m_exposure.minimum) {
        result.exposure = m_exposure;
        return result;
    }
    m_exposure = sliderForRow(index, m_exposure.position);
    result.changed = true;
    if (m_exposure.position != shownNumber) {
        const ControlEdit edit = editNumber(kExposureNumber, m_exposure.position);
        result.number = m_exposure.position;
        result.pushed = edit.pushed;
    }
    result.exposure = m_exposure;
    return result;
}

std::string TabGainsModel::frameRateSliderText(int position) {
    return fmt::format("{:.3f}", position / 1000.0);
}

TabGainsModel::FrameRateResult TabGainsModel::onFrameRateSlider(int position) {
    return onFrameRateText(frameRateSliderText(position));
}

TabGainsModel::FrameRateResult TabGainsModel::onFrameRateText(std::string_view text) {
    FrameRateResult result;
    // The controls are disabled without the channel; a write there would only time out.
    if (!frameRateAvailable()) return result;
    const std::optional<double> rate = parseRate(text);
    if (!rate || *rate < kFrameRateLowest || *rate > kFrameRateHighest) return result;
    settings().setReal(kKeyVideoFps, *rate);
    result.accepted = true;
    result.text = std::string(text);
    result.sliderPosition = sliderOfRate(*rate);
    result.pushed = pushControlByKey(*this, kKeyVideoFps);
    return result;
}

TabGainsModel::FrameRateResult TabGainsModel::onFrameRateSpin(int direction) {
    if (!frameRateAvailable() || direction == 0) return {};
    const double step = direction > 0 ? kFrameRateSpinStep : -kFrameRateSpinStep;
    const double rate = settings().getReal(kKeyVideoFps, 0.0) + step;
    // The shown text is what the box takes, so the limits apply to it, not to the sum.
    return onFrameRateText(fmt::format("{:.3f}", rate));
}

TabGainsModel::BinningResult TabGainsModel::onBinningChosen(std::optional<int> index) {
    BinningResult result;
    const int i = index.value_or(-1);
    if (i < -1 || i >= static_cast<int>(kBinningItems.size())) return result;
    settings().setHex(kKeyBinning, i);
    result.stored = true;
    result.mode = i + 1;
    // Filling the box from the store must not reach the camera, as for every other control.
    if (camera().connected() && updateCounter() == 0) {
        camera().chip().binning(result.mode);
        result.sent = true;
    }
    return result;
}

TabGainsModel::AutoRefresh TabGainsModel::onAutoRefresh(bool checked, int refreshPreferenceMs) {
    m_autoRefresh = checked;
    if (!checked) return {};
    return {true, std::max(refreshPreferenceMs, kAutoRefreshMinimumMs)};
}

TabGainsModel::View TabGainsModel::refreshTick() {
    if (camera().connected()) readState();
    return update();
}

}  // namespace TVR
