#pragma once

// The FPGA console without its widgets: its stored value (the "fake" raw video switch, its part
// in the whole-camera transfers) and one vendor request from the console command catalogue with
// the arguments typed in the console's fields. Window thread (or brisco-cli's main thread).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/table_value_owner.h"

namespace TVR {

struct ConsoleCommand;

inline constexpr std::string_view kDangerZone = "  ----- DANGER ZONE! -----\r\n\r\n";
inline constexpr std::string_view kBrickWarningTitle = "Come to your senses!";
inline constexpr std::string_view kBrickWarningText =
    "This may potentially brick the device.\n\nIf you run this command the warranty is "
    "automatically voided.\n\nYou can disable this message in Tools->Preferences...";

// What selecting a catalogue row puts into the console's fields.
struct FpgaConsoleRow {
    std::string description;
    std::string request;  // "0x{:02X}"
    std::string length;
    bool freeRequest = false;  // the request and length fields are editable
    bool dangerous = false;
};

// What "Run" did: refused before sending (the message box's text and title), or sent with the
// output text.
struct FpgaConsoleRun {
    bool sent = false;
    bool success = false;
    std::string output;
    std::string errorText;
    std::string errorTitle;
};

class ConsoleFpgaModel : public TableValueOwner {
public:
    ConsoleFpgaModel(SettingsStore& store, ImgSensor& camera);

    // The switch is offered only by firmware that has its channel.
    bool fakeRawVideoAvailable();

    // The catalogue row `row` (clamped to the catalogue) as the fields show it.
    static FpgaConsoleRow row(size_t row);
    // Whether "Run" asks first: a dangerous row while the user wants warnings.
    static bool asksBeforeRun(size_t row, bool warnDangerous);

    // "Run" with the fields' texts, numbers read with the console number rule under `base`.
    // Takes the camera's work while the request is sent.
    FpgaConsoleRun run(size_t row, std::string_view request, std::string_view value,
                       std::string_view index, std::string_view length, int32_t base);
};

}  // namespace TVR
