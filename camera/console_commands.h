#pragma once

// The FPGA console's catalogue of vendor requests and its rule for turning the console's fields
// into one request. Plain data and pure functions; any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace TVR {

constexpr uint8_t kConsoleRead = 1;
constexpr uint8_t kConsoleWrite = 2;

inline constexpr std::string_view kConsoleRangeError =
    "Specified value is outside accepted range for this command";
inline constexpr std::string_view kConsoleErrorTitle = "Error";

struct ConsoleCommand {
    std::string_view name;
    uint16_t code;  // request code times 256, plus 1 when the default direction is write
    uint32_t minValue;
    uint32_t maxValue;   // equal to minValue: no range check
    uint32_t length;     // default data length in bytes
    uint8_t directions;  // kConsoleRead | kConsoleWrite
    std::string_view description;

    uint8_t requestCode() const { return static_cast<uint8_t>(code >> 8); }
    // The write mark also marks the command as dangerous in the console.
    bool dangerous() const { return (code & 0xFF) != 0; }
    bool hasRange() const { return minValue != maxValue; }
    bool readOnly() const { return directions == kConsoleRead; }
};

// The 13 catalogue rows in console order.
std::span<const ConsoleCommand> consoleCommands();

// One vendor request as the console sends it.
struct ConsoleRequest {
    uint8_t code = 0;
    bool write = false;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint32_t readLength = 0;  // bytes to read; writes carry no data
};

// Either the request to send, or the refusal text and title to show.
struct ConsolePlan {
    bool accepted = false;
    ConsoleRequest request;
    std::string_view errorText;
    std::string_view errorTitle;
};

// Lengths beyond one control transfer's wLength are cut to it; negative lengths count as 0.
constexpr uint32_t kConsoleMaxLength = 0xFFFF;

// The console's rule: no value reads max(length, 1) bytes; a value outside the row's range is
// refused; otherwise a write without data, or a read of `length` bytes for a read-only row.
ConsolePlan planConsoleCommand(const ConsoleCommand& row, uint8_t code,
                               std::optional<uint32_t> value, uint16_t index, int64_t length);

// "true (success)\r\n" or "false (failure)\r\n", then "0x{:02X} " for each returned byte.
std::string consoleOutcomeText(bool success, std::span<const uint8_t> bytes);

}  // namespace TVR
