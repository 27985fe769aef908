#pragma once

// The sensor console's stored values: the two flip switches and the register script. The
// console's commands themselves live elsewhere; this is what the whole-camera transfers and the
// console's boxes share.

#include <string>
#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

inline constexpr std::string_view kKeyFlipH = "FLIP_H";
inline constexpr std::string_view kKeyFlipV = "FLIP_V";
inline constexpr std::string_view kKeyConsoleText = "CONSOLE_TEXT";

struct ConsoleSensorView {
    bool flipH = false;
    bool flipV = false;
    std::string script;
};

class ConsoleSensorModel : public TableValueOwner {
public:
    ConsoleSensorModel(SettingsStore& store, ImgSensor& camera);

    // Initialisation ends: the boxes act from now on. The counter is 1 until then.
    void finishInitialisation() { setUpdateCounter(0); }

    void readState() override;
    // Connected and not updating: a stored flip goes to the sensor, a missing one is read.
    void loadFromStore() override;

    ConsoleSensorView view();

    // "Horizontal flip" / "Vertical flip": stored, and sent when a camera is connected. True
    // when sent; a fill from the store (update counter raised) changes nothing.
    bool setFlipH(bool on);
    bool setFlipV(bool on);
    // Every edit of the script box; the script is only stored.
    void setScript(std::string_view text);

private:
    bool setFlip(std::string_view key, int sensorSwitch, bool on);
};

}  // namespace TVR
