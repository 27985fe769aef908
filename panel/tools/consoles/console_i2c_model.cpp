#include "tools/consoles/console_i2c_model.h"

#include <array>
#include <optional>

#include <fmt/format.h>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"

namespace TVR {

namespace {

constexpr uint16_t kEightBitRegisters = 0x100;

constexpr std::array<I2cTarget, 14> kTargets{{
    {"Manual I\u00b2C device, 8-bit", 0x00, true},
    {"Manual I\u00b2C device, 16-bit", 0x00, false},
    {"FPGA", 0x06, true},
    {"(Kavor) I\u00b2C Expander", 0x40, true},
    {"(Kavor) OV48C40", 0x6C, false},
    {"(Kavor) Si5344", 0xD0, true},
    {"(Kavor) EMC2101", 0x98, true},
    {"(Kavor) MAX98091ETM+", 0x20, true},
    {"(Kavor) SDI", 0x5A, true},
    {"(Kavor) SFP+", 0xA0, true},
    {"(Brisco) I\u00b2C Expander", 0x42, true},
    {"(Brisco) OV10823", 0x20, false},
    {"(Brisco) ADAU1761", 0x76, false},
    {"(Brisco) Si570", 0xAA, true},
}};

}  // namespace

std::span<const I2cTarget> i2cTargets() { return kTargets; }

I2cRunResult runI2cPairs(FX3& camera, uint8_t address, const std::vector<ConsolePair>& pairs,
                         bool eightBit, bool stopOnFirstError) {
    I2cRunResult r;
    for (const ConsolePair& p : pairs) {
        if (eightBit && p.reg >= kEightBitRegisters) {
            r.text += fmt::format("Address 0x{:04X} outside 8-bit range", p.reg);
            ++r.failed;
        } else {
            const bool ok = eightBit
                                ? camera.i2cWrite8(address, static_cast<uint8_t>(p.reg), p.value)
                                : camera.i2cWrite16(address, p.reg, p.value);
            if (ok) {
                ++r.sent;
            } else {
                r.text += fmt::format("Write 0x{:02X} to 0x{:02X} failed\n", p.value, p.reg);
                ++r.failed;
            }
        }
        if (stopOnFirstError && !r.text.empty()) break;
    }
    if (r.text.empty()) r.text = kI2cSuccess;
    return r;
}

ConsoleI2cModel::ConsoleI2cModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}) {}

I2cRunResult ConsoleI2cModel::execute(std::string_view addressText, std::string_view script,
                                      bool eightBit, bool stopOnFirstError, int32_t base) {
    // Only the low byte reaches the request's wValue; an address that is 0 there names no
    // device.
    const auto address = static_cast<uint8_t>(parseConsoleNumber(addressText, base));
    if (address == 0) return {std::string(kI2cInvalidAddress), 0, 1};
    const std::vector<ConsolePair> pairs = parseConsoleScript(script, base);
    if (pairs.empty()) return {std::string(kI2cEmptyScript), 0, 1};
    std::optional<CameraWork::Batch> batch;
    if (work() != nullptr) batch.emplace(work()->batch());
    return runI2cPairs(camera(), address, pairs, eightBit, stopOnFirstError);
}

}  // namespace TVR
