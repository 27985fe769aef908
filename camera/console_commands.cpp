#include "console_commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace TVR {
namespace {

constexpr uint32_t kAnyValue = 0xFFFFFFFF;
constexpr uint8_t kBoth = kConsoleRead | kConsoleWrite;

constexpr std::array<ConsoleCommand, 13> kCommands = {{
    {"Check if BL is running", 0xA000, 0, kAnyValue, 1, kBoth,
     "Check if the Bootloader is currently running"},
    {"Switch to Bootloader mode", 0xAA01, 0, kAnyValue, 0, kConsoleWrite,
     "Any write to this location invalidates the FX3 SPI flash and causes FX3 to reset to a "
     "Bootloader mode for reprogramming.\nYou'd have to use Cypress CC to load code if you run "
     "this command!"},
    {"FX3 Version", 0xAB00, 0, 0, 4, kConsoleRead, "Detailed version info for FX3"},
    {"FPGA Version", 0xAC00, 0, 0, 4, kConsoleRead, "Detailed version info for FPGA"},
    {"I²C bridge to FPGA", 0xA401, 0, kAnyValue, 1, kBoth,
     "FPGA's access to I²C\r\n\r\n\"Index\" specifies FPGA register and \"Value\" - command's "
     "argument"},
    {"I²C bridge to sensor", 0xA501, 0, kAnyValue, 1, kBoth,
     "FPGA's access to sensor via I²C\r\n\r\n\"Index\" specifies the sensor's register and "
     "\"Value\" - command's argument"},
    {"Direct I²C read (8-bit address)", 0xF800, 0, kAnyValue, 1, kConsoleRead,
     "Read an 8-bit value of an 8-bit-addressed register from an I²C bus.\r\nIndex is the "
     "register's 8-bit address\r\nValue's MSB is I²C address and LSB is `00`"},
    {"Direct I²C write (8-bit address)", 0xF801, 0, kAnyValue, 0, kConsoleWrite,
     "Write an 8-bit value into an 8-bit-addressed register on I²C bus.\r\nIndex is the "
     "register's 8-bit address\r\nValue's MSB is I²C address and LSB is the 8-bit value to be "
     "written"},
    {"Direct I²C read (16-bit address)", 0xF900, 0, kAnyValue, 1, kConsoleRead,
     "Read an 8-bit value of a 16-bit-addressed register from an I²C bus.\r\nIndex is the "
     "register's 16-bit address\r\nValue's MSB is I²C address and LSB is `00`"},
    {"Direct I²C write (16-bit address)", 0xF901, 0, kAnyValue, 0, kConsoleWrite,
     "Write an 8-bit value into a 16-bit-addressed register on I²C bus.\r\nIndex is the "
     "register's 16-bit address\r\nValue's MSB is I²C address and LSB is the 8-bit value to be "
     "written"},
    {"Run DPC Calibration", 0xA200, 0, 255, 0, kConsoleWrite,
     "Run dynamic DPC (defective pixel cancellation) calibration.\r\n\r\nYou must specify the DPC "
     "Threshold in range 0..255 into \"Value\" field"},
    {"Manual read", 0x0000, 0, 0, 4, kConsoleRead,
     "This allows you to enter all the parameters manually and run *ANY* command. At your own "
     "risk.\r\nThis command is always a READ command"},
    {"Manual write", 0xFF01, 0, kAnyValue, 0, kConsoleWrite,
     "This allows you to enter all the parameters manually and run *ANY* command. At your own "
     "risk.\r\nThis command is always a WRITE command"},
}};

uint32_t clampLength(int64_t length) {
    return static_cast<uint32_t>(std::clamp<int64_t>(length, 0, kConsoleMaxLength));
}

}  // namespace

std::span<const ConsoleCommand> consoleCommands() { return kCommands; }

ConsolePlan planConsoleCommand(const ConsoleCommand& row, uint8_t code,
                               std::optional<uint32_t> value, uint16_t index, int64_t length) {
    ConsolePlan plan;
    plan.request.code = code;
    plan.request.wIndex = index;
    const uint32_t bytes = clampLength(length);
    if (!value) {
        plan.accepted = true;
        plan.request.readLength = std::max<uint32_t>(bytes, 1);
        return plan;
    }
    if (row.hasRange() && (*value < row.minValue || *value > row.maxValue)) {
        plan.errorText = kConsoleRangeError;
        plan.errorTitle = kConsoleErrorTitle;
        return plan;
    }
    plan.accepted = true;
    plan.request.wValue = static_cast<uint16_t>(*value);
    if (row.readOnly()) {
        plan.request.readLength = bytes;
    } else {
        plan.request.write = true;
    }
    return plan;
}

std::string consoleOutcomeText(bool success, std::span<const uint8_t> bytes) {
    std::string text = success ? "true (success)\r\n" : "false (failure)\r\n";
    for (uint8_t byte : bytes) {
        fmt::format_to(std::back_inserter(text), "0x{:02X} ", byte);
    }
    return text;
}

}  // namespace TVR
