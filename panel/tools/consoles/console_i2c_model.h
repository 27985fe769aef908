#pragma once

// The I²C console without its widgets: the table of known bus devices and the run of a register
// script against one of them. It holds no camera values, so it takes no part in the
// whole-camera transfers. Window thread (or brisco-cli's main thread), holding the camera's
// work for a run.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/table_value_owner.h"
#include "tools/consoles/console_script.h"

namespace TVR {

class FX3;

struct I2cTarget {
    std::string_view name;
    uint8_t address;  // 8-bit form; 0 for the rows whose address the user types
    bool eightBit;    // 8-bit register addresses, else 16-bit

    bool manual() const { return address == 0; }
    // The row as the target list keeps it: address in the low byte, 1 in the high byte for
    // 8-bit register addresses.
    uint16_t stored() const { return static_cast<uint16_t>((eightBit ? 0x100 : 0) | address); }
};

// The 14 rows of the target list in order.
std::span<const I2cTarget> i2cTargets();

inline constexpr std::string_view kI2cInvalidAddress = "Invalid I\u00b2C address";
inline constexpr std::string_view kI2cEmptyScript = "Empty script";
inline constexpr std::string_view kI2cSuccess = "Success";

// What a run sent and said.
struct I2cRunResult {
    std::string text;   // the console's result text
    size_t sent = 0;    // pairs written successfully
    size_t failed = 0;  // pairs refused or not written
    bool ok() const { return failed == 0; }
};

// Writes the pairs in order to the device at `address` (8-bit form); registers of 256 or more
// are refused in 8-bit mode. With `stopOnFirstError` the run ends at the first message.
I2cRunResult runI2cPairs(FX3& camera, uint8_t address, const std::vector<ConsolePair>& pairs,
                         bool eightBit, bool stopOnFirstError);

class ConsoleI2cModel : public TableValueOwner {
public:
    static constexpr std::string_view kInitialAddress = "0x20";

    ConsoleI2cModel(SettingsStore& store, ImgSensor& camera);

    // "Execute script": the address and script texts as typed, read with the console number
    // rule under `base`. Takes the camera's work for the run.
    I2cRunResult execute(std::string_view addressText, std::string_view script, bool eightBit,
                         bool stopOnFirstError, int32_t base);
};

}  // namespace TVR
