#include "tab_led_model.h"

#include <iterator>

#include "protocol/fx3_channels.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {
namespace {

constexpr const char* kKeyFan = "FAN";

}  // namespace

TabLedModel::TabLedModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, tabLedControls()) {
    setUpdateCounter(1);
}

void TabLedModel::finishInitialisation() { setUpdateCounter(0); }

std::vector<ControlRange> TabLedModel::ranges() {
    std::vector<ControlRange> out;
    out.reserve(std::size(kSliderPairs) + std::size(kSpinPairs));
    for (const SliderPair& pair : kSliderPairs) {
        out.push_back({pair.sliderId, kLevelMinimum, kLevelMaximum});
    }
    for (const SliderPair& pair : kSpinPairs) {
        out.push_back({pair.sliderId, kLevelMinimum, kLevelMaximum});
    }
    return out;
}

bool TabLedModel::fanVisible() {
    return camera().connected() && camera().cameraValueAvailable(Fx3Channel::kFan);
}

TabLedModel::View TabLedModel::update() {
    UpdateHold hold(*this);
    View view;
    view.ranges = ranges();
    for (const SliderPair& pair : kSliderPairs) {
        const NamedControl* row = rowOfControl(pair.numberId);
        const int value = row != nullptr ? settings().getInt(row->key) : 0;
        view.numbers.push_back({pair.numberId, value});
        view.sliders.push_back({pair.sliderId, value});
    }
    view.fanChecked = settings().getBool(kKeyFan);
    view.fanVisible = fanVisible();
    return view;
}

TabLedModel::NumberResult TabLedModel::onNumberChanged(int controlId, int value) {
    for (const SliderPair& pair : kSliderPairs) {
        if (pair.numberId != controlId) continue;
        const ControlEdit edit = editNumber(controlId, value);
        return {edit.stored, edit.pushed, pair.numberId, pair.sliderId, value};
    }
    return {};
}

TabLedModel::NumberResult TabLedModel::onSliderMoved(int controlId, int position) {
    for (const auto& pairs : {kSliderPairs, kSpinPairs}) {
        for (const SliderPair& pair : pairs) {
            if (pair.sliderId == controlId) return onNumberChanged(pair.numberId, position);
        }
    }
    return {};
}

ControlEdit TabLedModel::onFan(bool checked) { return editCheck(kFanCheck, checked); }

}  // namespace TVR
