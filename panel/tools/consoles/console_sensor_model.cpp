#include "tools/consoles/console_sensor_model.h"

#include <array>
#include <string>
#include <utility>

#include "apilog.h"
#include "sensor/img_sensor.h"
#include "settings/settings_store.h"

namespace TVR {

namespace {

constexpr std::array<std::pair<std::string_view, int>, 2> kFlips{{
    {kKeyFlipH, kSwitchMirror},
    {kKeyFlipV, kSwitchFlip},
}};

}  // namespace

ConsoleSensorModel::ConsoleSensorModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {
    setUpdateCounter(1);
}

void ConsoleSensorModel::readState() {
    if (!camera().connected()) return;
    for (const auto& [key, sw] : kFlips) {
        settings().setBool(key, camera().chip().sensorSwitch(sw, -1));
    }
}

void ConsoleSensorModel::loadFromStore() {
    if (!camera().connected() || updateCounter() != 0) return;
    for (const auto& [key, sw] : kFlips) {
        if (settings().has(key)) {
            camera().chip().sensorSwitch(sw, settings().getBool(key) ? 1 : 0);
        } else {
            settings().setBool(key, camera().chip().sensorSwitch(sw, -1));
        }
    }
}

ConsoleSensorView ConsoleSensorModel::view() {
    return {settings().getBool(kKeyFlipH), settings().getBool(kKeyFlipV),
            settings().getString(kKeyConsoleText)};
}

bool ConsoleSensorModel::setFlipH(bool on) { return setFlip(kKeyFlipH, kSwitchMirror, on); }

bool ConsoleSensorModel::setFlipV(bool on) { return setFlip(kKeyFlipV, kSwitchFlip, on); }

bool ConsoleSensorModel::setFlip(std::string_view key, int sensorSwitch, bool on) {
    if (updateCounter() != 0) return false;
    settings().setBool(key, on);
    if (!camera().connected()) return false;
    camera().chip().sensorSwitch(sensorSwitch, on ? 1 : 0);
    // A switch write reports nothing; what the sensor holds afterwards tells whether it took it.
    if (camera().chip().sensorSwitch(sensorSwitch, -1) != on) {
        settings().log().appendMessage(true, "Error pushing a value for %s",
                                       std::string(key).c_str());
        return false;
    }
    return true;
}

void ConsoleSensorModel::setScript(std::string_view text) {
    if (updateCounter() != 0) return;
    settings().setString(kKeyConsoleText, text);
}

}  // namespace TVR
