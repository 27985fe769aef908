#pragma once

// The "Peripherals" page without its widgets: the LED table, the ranges of its sliders and
// spins, the update step as a view, and the page's edits (the generic ones: LED levels stored
// as hexadecimal entries, the fan as a boolean). Window thread only, except readState(), which
// the transfers run on their worker while the window waits.

#include <array>
#include <vector>

#include "settings/table_value_owner.h"

namespace TVR {

class TabLedModel : public TableValueOwner {
public:
    // Control ids of the page (the widgets are named c<id>).
    enum ControlId : int {
        kRedSlider = 1092,
        kRedNumber = 1093,
        kRedSpin = 1094,
        kGreenSlider = 1095,
        kGreenNumber = 1096,
        kGreenSpin = 1098,
        kBlueSlider = 1100,
        kBlueNumber = 1101,
        kBlueSpin = 1103,
        kFanCheck = 1320,
    };

    static constexpr int kLevelMinimum = 0;
    static constexpr int kLevelMaximum = 255;
    static constexpr int kLevelPage = 32;

    static constexpr std::array<SliderPair, 3> kSliderPairs = {{
        {kRedSlider, kRedNumber},
        {kGreenSlider, kGreenNumber},
        {kBlueSlider, kBlueNumber},
    }};
    // Each spin sets its buddy's number.
    static constexpr std::array<SliderPair, 3> kSpinPairs = {{
        {kRedSpin, kRedNumber},
        {kGreenSpin, kGreenNumber},
        {kBlueSpin, kBlueNumber},
    }};

    struct View {
        std::vector<ControlRange> ranges;  // sliders and spins
        std::vector<ShownNumber> numbers;
        std::vector<ShownNumber> sliders;
        bool fanChecked = false;
        bool fanVisible = false;
    };

    struct NumberResult {
        bool stored = false;
        bool pushed = false;
        int numberId = 0;
        int sliderId = 0;
        int value = 0;  // the number shown and the slider position
    };

    TabLedModel(SettingsStore& store, ImgSensor& camera);

    // Initialisation ends: edits are pushed from now on. The counter is 1 until then.
    void finishInitialisation();

    static std::vector<ControlRange> ranges();
    // The update step: the view of the store, the counter raised meanwhile.
    View update();
    // "Onboard-fan" is shown only for a connected camera whose firmware has the fan channel.
    bool fanVisible();

    // A number box changed (1093, 1096, 1101).
    NumberResult onNumberChanged(int controlId, int value);
    // A slider moved or a spin set its buddy: the number box takes the position.
    NumberResult onSliderMoved(int controlId, int position);
    ControlEdit onFan(bool checked);
};

}  // namespace TVR
