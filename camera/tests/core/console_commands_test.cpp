#include "console_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace TVR {
namespace {

const ConsoleCommand& row(std::string_view name) {
    for (const auto& command : consoleCommands()) {
        if (command.name == name) {
            return command;
        }
    }
    ADD_FAILURE() << "no row " << name;
    return consoleCommands().front();
}

TEST(ConsoleCommands, CatalogueRowsInOrder) {
    std::vector<std::string_view> names;
    std::vector<uint16_t> codes;
    for (const auto& command : consoleCommands()) {
        names.push_back(command.name);
        codes.push_back(command.code);
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{
                         "Check if BL is running", "Switch to Bootloader mode", "FX3 Version",
                         "FPGA Version", "I²C bridge to FPGA", "I²C bridge to sensor",
                         "Direct I²C read (8-bit address)", "Direct I²C write (8-bit address)",
                         "Direct I²C read (16-bit address)", "Direct I²C write (16-bit address)",
                         "Run DPC Calibration", "Manual read", "Manual write"}));
    EXPECT_EQ(codes, (std::vector<uint16_t>{0xA000, 0xAA01, 0xAB00, 0xAC00, 0xA401, 0xA501, 0xF800,
                                            0xF801, 0xF900, 0xF901, 0xA200, 0x0000, 0xFF01}));

    const ConsoleCommand& bootloader = row("Switch to Bootloader mode");
    EXPECT_EQ(bootloader.description,
              "Any write to this location invalidates the FX3 SPI flash and causes FX3 to reset to "
              "a Bootloader mode for reprogramming.\nYou'd have to use Cypress CC to load code if "
              "you run this command!");
    EXPECT_TRUE(bootloader.dangerous());
    EXPECT_EQ(bootloader.requestCode(), 0xAA);
    EXPECT_EQ(row("I²C bridge to sensor").description,
              "FPGA's access to sensor via I²C\r\n\r\n\"Index\" specifies the sensor's register "
              "and \"Value\" - command's argument");
    const ConsoleCommand& dpc = row("Run DPC Calibration");
    EXPECT_EQ(dpc.maxValue, 255u);
    EXPECT_EQ(dpc.directions, kConsoleWrite);
    EXPECT_FALSE(row("FX3 Version").hasRange());
    EXPECT_EQ(row("FX3 Version").length, 4u);
    EXPECT_EQ(row("Check if BL is running").directions, kConsoleRead | kConsoleWrite);
}

TEST(ConsoleCommands, EmptyValueReadsAtLeastOneByte) {
    const ConsoleCommand& bridge = row("I²C bridge to FPGA");
    ConsolePlan plan = planConsoleCommand(bridge, 0xA4, std::nullopt, 0x06, 0);
    ASSERT_TRUE(plan.accepted);
    EXPECT_FALSE(plan.request.write);
    EXPECT_EQ(plan.request.readLength, 1u);
    EXPECT_EQ(plan.request.wIndex, 0x06);
    EXPECT_EQ(plan.request.wValue, 0);

    plan = planConsoleCommand(row("Manual write"), 0x55, std::nullopt, 0, 6);
    ASSERT_TRUE(plan.accepted);
    EXPECT_FALSE(plan.request.write);
    EXPECT_EQ(plan.request.readLength, 6u);
    EXPECT_EQ(plan.request.code, 0x55);

    // Lengths from the edit field are bounded by one control transfer.
    EXPECT_EQ(planConsoleCommand(bridge, 0xA4, std::nullopt, 0, -5).request.readLength, 1u);
    EXPECT_EQ(planConsoleCommand(bridge, 0xA4, std::nullopt, 0, 1 << 30).request.readLength,
              kConsoleMaxLength);
}

TEST(ConsoleCommands, ValueOutsideRangeIsRefused) {
    const ConsoleCommand& dpc = row("Run DPC Calibration");
    ConsolePlan plan = planConsoleCommand(dpc, 0xA2, 256u, 0, 0);
    EXPECT_FALSE(plan.accepted);
    EXPECT_EQ(plan.errorText, "Specified value is outside accepted range for this command");
    EXPECT_EQ(plan.errorTitle, "Error");

    plan = planConsoleCommand(dpc, 0xA2, 255u, 0, 0);
    ASSERT_TRUE(plan.accepted);
    EXPECT_TRUE(plan.request.write);
    EXPECT_EQ(plan.request.wValue, 255);
    EXPECT_EQ(plan.request.readLength, 0u);
}

TEST(ConsoleCommands, ValueGivenWritesUnlessReadOnly) {
    ConsolePlan plan = planConsoleCommand(row("Manual write"), 0xC4, 0x12345u, 3, 8);
    ASSERT_TRUE(plan.accepted);
    EXPECT_TRUE(plan.request.write);
    EXPECT_EQ(plan.request.wValue, 0x2345);
    EXPECT_EQ(plan.request.readLength, 0u);

    // No range: any value passes; a read-only row reads its length, possibly nothing.
    plan = planConsoleCommand(row("FX3 Version"), 0xAB, 0xFFFFFFFFu, 0, 4);
    ASSERT_TRUE(plan.accepted);
    EXPECT_FALSE(plan.request.write);
    EXPECT_EQ(plan.request.readLength, 4u);
    plan = planConsoleCommand(row("Direct I²C read (8-bit address)"), 0xF8, 0x4200u, 0x0A, 0);
    ASSERT_TRUE(plan.accepted);
    EXPECT_FALSE(plan.request.write);
    EXPECT_EQ(plan.request.readLength, 0u);
    EXPECT_EQ(plan.request.wValue, 0x4200);
}

TEST(ConsoleCommands, OutcomeText) {
    const std::array<uint8_t, 2> bytes = {0x0A, 0xFF};
    EXPECT_EQ(consoleOutcomeText(true, bytes), "true (success)\r\n0x0A 0xFF ");
    EXPECT_EQ(consoleOutcomeText(false, {}), "false (failure)\r\n");
}

}  // namespace
}  // namespace TVR
