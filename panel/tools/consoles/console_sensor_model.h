#pragma once

// The sensor console without its widgets: its stored values (the two flip switches and the
// register script, its part in the whole-camera transfers) and its commands: run a script, peek
// at a register, compare a script with the sensor, the standby switch and the sensor's actions.
// Window thread (or brisco-cli's main thread); the commands take the camera's work.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/table_value_owner.h"
#include "tools/consoles/console_script.h"

namespace TVR {

inline constexpr std::string_view kKeyFlipH = "FLIP_H";
inline constexpr std::string_view kKeyFlipV = "FLIP_V";
inline constexpr std::string_view kKeyConsoleText = "CONSOLE_TEXT";

// The sensor's actions offered by the console's buttons.
enum class SensorConsoleAction : int { Reset = 0, CorrectPixelOffset = 1, SendFsin = 2 };

// A peeked register as the console shows it.
struct SensorPeek {
    uint8_t value = 0;
    std::string hex;     // "0x{:02X}"
    std::string binary;  // "{:08b}"
};

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

    // "Run the commands": each pair written with mask 0xFF; with `groupWrite` and 1 to 15 pairs
    // inside the chip's group hold 0 (launch mode 3). False when a request failed; the console
    // itself reports nothing.
    bool runScript(const std::vector<ConsolePair>& pairs, bool groupWrite);
    // Empty when the read failed.
    std::optional<SensorPeek> peek(uint16_t reg);
    // "Sensor standby": sensor switch 0. True when sent without a failed request.
    bool setStandby(bool on);
    // True when the chip has the action and it was sent without a failed request.
    bool runAction(SensorConsoleAction action);
    // "Compare to current": adjacent duplicates dropped, then every pair the sensor already
    // holds; a register that cannot be read stays. "Compare to defaults" resets the sensor
    // first. Empty when `toDefaults` and the reset could not be sent.
    std::optional<std::vector<ConsolePair>> compare(const std::vector<ConsolePair>& pairs,
                                                    bool toDefaults);

    static constexpr size_t kMaxGroupWritePairs = 15;
    static constexpr uint16_t kRegSoftwareReset = 0x0103;
    static constexpr int kGroupHold = 0;
    static constexpr int kGroupLaunchMode = 3;

private:
    bool setFlip(std::string_view key, int sensorSwitch, bool on);
};

}  // namespace TVR
