#pragma once

// The "Sensor" page without its widgets: the gains table with the binning step, the ranges and
// enabling rules of the page's controls, the update step as a view for the window to show, and
// the page's edits. Every edit does its whole work (store, push, camera writes) and returns what
// the window shows; the window shows it without treating it as a new edit. Window thread only,
// except readState(), which the transfers run on their worker while the window waits.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kKeyBinning = "OV_BINNING";

struct ExposureRange {
    std::string_view label;
    int lowest = 0;
    int highest = 0;
};

// The rows of the exposure range box, in its order.
inline constexpr std::array<ExposureRange, 4> kExposureRanges = {{
    {"0-9K", 0, 9000},
    {"6K-18K", 6000, 18000},
    {"14K-35K", 14000, 35000},
    {"30K-max", 30000, 65536},
}};
inline constexpr size_t kInitialExposureRange = 2;

// The binning box's items; item i is the sensor's binning mode i + 1.
inline constexpr std::array<std::string_view, 4> kBinningItems = {"V-sum, H-sum", "V-sum, H-avg",
                                                                  "V-avg, H-sum", "V-avg, H-avg"};

// Frame rates in frames per second; the slider counts thousandths.
inline constexpr double kFrameRateLowest = 5.309;
inline constexpr double kFrameRateHighest = 70.0;
inline constexpr double kFrameRateSpinStep = 0.25;

struct SliderSetup {
    int minimum = 0;
    int maximum = 0;
    int tick = 0;  // 0: no ticks
    int page = 0;
    int line = 1;
    int bandLow = 0;  // highlighted band; equal ends: none
    int bandHigh = 0;
};
inline constexpr SliderSetup kFrameRateSlider{5309, 70000, 5000, 500, 1, 7500, 60000};
// The frame-rate spin only gives a direction.
inline constexpr int kFrameRateSpinMinimum = 1;
inline constexpr int kFrameRateSpinMaximum = 2;

// The shortest auto-refresh interval (the preferences dialog's least, 0.1 s); a smaller one
// would keep the window thread and the camera busy with nothing but refreshes.
inline constexpr int kAutoRefreshMinimumMs = 100;

class TabGainsModel : public TableValueOwner {
public:
    // Control ids of the page (the widgets are named c<id>).
    enum ControlId : int {
        kWbRedSlider = 1005,
        kWbGreenSlider = 1006,
        kWbBlueSlider = 1007,
        kGainSlider = 1011,
        kExposureSlider = 1012,
        kBlackLevelSlider = 1019,
        kFrameRateSliderId = 1020,
        kWbRedNumber = 1040,
        kWbGreenNumber = 1042,
        kWbBlueNumber = 1044,
        kGainNumber = 1045,
        kExposureNumber = 1046,
        kBlackLevelNumber = 1047,
        kManualWbCheck = 1064,
        kManualGainCheck = 1065,
        kManualExposureCheck = 1067,
        kExposureRangeBox = 1074,
        kAutoRefreshCheck = 1080,
        kWbRedSpin = 1263,
        kWbGreenSpin = 1264,
        kWbBlueSpin = 1265,
        kGainSpin = 1266,
        kExposureSpin = 1267,
        kBlackLevelSpin = 1268,
        kBinningBox = 1287,
        kFrameRateBox = 1289,
        kFrameRateSpin = 1290,
    };

    // What enables a control.
    enum class EnableRule {
        ManualWb,        // "Red\n\nGreen\n\nBlue" checked, or an OV48C40 sensor
        ManualGain,      // "Gain" checked
        ManualExposure,  // "Exposure" checked
        FrameRate,       // the camera has real channel 0
    };
    struct Enabling {
        int controlId = 0;
        EnableRule rule = EnableRule::ManualWb;
    };
    static constexpr std::array<Enabling, 14> kEnabling = {{
        {kWbRedSlider, EnableRule::ManualWb},
        {kWbGreenSlider, EnableRule::ManualWb},
        {kWbBlueSlider, EnableRule::ManualWb},
        {kWbRedNumber, EnableRule::ManualWb},
        {kWbGreenNumber, EnableRule::ManualWb},
        {kWbBlueNumber, EnableRule::ManualWb},
        {kGainSlider, EnableRule::ManualGain},
        {kGainNumber, EnableRule::ManualGain},
        {kExposureSlider, EnableRule::ManualExposure},
        {kExposureNumber, EnableRule::ManualExposure},
        {kExposureRangeBox, EnableRule::ManualExposure},
        {kFrameRateSliderId, EnableRule::FrameRate},
        {kFrameRateBox, EnableRule::FrameRate},
        {kFrameRateSpin, EnableRule::FrameRate},
    }};

    static constexpr std::array<SliderPair, 6> kSliderPairs = {{
        {kWbRedSlider, kWbRedNumber},
        {kWbGreenSlider, kWbGreenNumber},
        {kWbBlueSlider, kWbBlueNumber},
        {kGainSlider, kGainNumber},
        {kExposureSlider, kExposureNumber},
        {kBlackLevelSlider, kBlackLevelNumber},
    }};

    struct ExposureSlider {
        size_t rangeIndex = kInitialExposureRange;  // the row selected in the range box
        int minimum = 0;
        int maximum = 0;
        int position = 0;
        bool operator==(const ExposureSlider&) const = default;
    };

    // Everything the update step shows.
    struct View {
        std::vector<ControlRange> ranges;  // sliders and spins spanned by the sensor's maxima
        std::vector<ShownNumber> numbers;
        std::vector<ShownNumber> sliders;  // positions, exposure and frame rate included
        std::vector<ShownCheck> checks;
        std::optional<int> binningIndex;  // none selected when empty
        std::string frameRateText;        // "{:6.3f}" or "---"
        bool frameRateEnabled = false;
        ExposureSlider exposure;
        std::vector<ShownEnabled> enabled;
    };

    struct NumberResult {
        bool stored = false;
        bool pushed = false;
        int sliderId = 0;  // 0: the number has no slider
        int sliderPosition = 0;
        // Set when the exposure slider took another range.
        std::optional<ExposureSlider> exposure;
    };

    struct SwitchResult {
        bool stored = false;
        bool pushed = false;       // the switch reached the sensor
        bool gainWritten = false;  // "Gain" on: the gain number went to sensor value 3
        std::vector<ShownEnabled> enabled;
    };

    struct RangeResult {
        bool changed = false;  // the slider took the row's range
        ExposureSlider exposure;
        // The clamped position that went into the exposure number (stored and pushed).
        std::optional<int> number;
        bool pushed = false;
    };

    struct FrameRateResult {
        bool accepted = false;  // false: ignored, nothing changed
        bool pushed = false;
        std::string text;  // for the frame-rate box ("{:.3f}"); empty when not accepted
        int sliderPosition = 0;
    };

    struct BinningResult {
        bool stored = false;
        bool sent = false;  // the mode went to the sensor
        int mode = 0;       // the mode sent: index + 1, 0 for none
    };

    struct AutoRefresh {
        bool running = false;
        int intervalMs = 0;  // the timer's interval while running
    };

    TabGainsModel(SettingsStore& store, ImgSensor& camera);

    // The table, then "Reading binning configuration".
    void readState() override;

    // Initialisation ends: edits are pushed from now on. The counter is 1 until then.
    void finishInitialisation();

    // The ranges of the sliders and spins that follow the sensor's maxima.
    std::vector<ControlRange> ranges();
    // The update step: the view of the store. Raises the counter meanwhile, so nothing filled
    // is pushed; the exposure slider takes the range that holds the stored exposure.
    View update();
    std::vector<ShownEnabled> enabledControls();
    bool frameRateAvailable();
    const ExposureSlider& exposureSlider() const { return m_exposure; }

    // A number box changed (1040 ... 1047).
    NumberResult onNumberChanged(int controlId, int value);
    // A slider moved (not the frame rate's): its number box takes the position.
    NumberResult onSliderMoved(int sliderId, int position);
    // One of the three switches (1064, 1065, 1067).
    SwitchResult onSwitch(int controlId, bool checked);
    // A row of the range box was chosen; `shownNumber` is the exposure number on the page.
    RangeResult onExposureRangeChosen(size_t index, int shownNumber);

    // The frame-rate slider's text for a position: "{:.3f}" of position / 1000.
    static std::string frameRateSliderText(int position);
    // The frame-rate slider moved: its text goes into the box, which takes it as typed.
    FrameRateResult onFrameRateSlider(int position);
    // The frame-rate box's text changed; unparsable or out-of-range rates are ignored.
    FrameRateResult onFrameRateText(std::string_view text);
    // A click of the frame-rate spin: up for direction > 0.
    FrameRateResult onFrameRateSpin(int direction);

    // A binning item was chosen (none: empty).
    BinningResult onBinningChosen(std::optional<int> index);

    // "Auto-refresh" toggled; the interval comes from the Refresh preference.
    AutoRefresh onAutoRefresh(bool checked, int refreshPreferenceMs);
    bool autoRefreshRunning() const { return m_autoRefresh; }
    // One timer tick: readState, then the update step.
    View refreshTick();

private:
    std::optional<ExposureSlider> followExposure(int value);
    bool manualWbEnabled();

    ExposureSlider m_exposure;
    bool m_autoRefresh = false;
};

}  // namespace TVR
