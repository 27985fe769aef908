#pragma once

// The control catalogue: how each named camera value reaches the camera, the tables of the
// pages and tools that transfer their values generically, and the UVC keys. Constant data,
// safe from any thread.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

enum class AddressKind : uint8_t {
    SensorSwitch = 0,   // sensor switch N
    SensorValue = 1,    // sensor value N
    Fx3Param = 2,       // camera value channel N
    Fx3FloatParam = 3,  // camera real channel N
};

struct ControlAddress {
    AddressKind kind = AddressKind::SensorSwitch;
    uint32_t number = 0;
};

enum class ControlFormat : int32_t {
    Bool = 0,
    Decimal = 1,
    Hex = 2,
    Real = 3,
};

struct NamedControl {
    const char* key = "";
    ControlAddress address;
    ControlFormat format = ControlFormat::Decimal;
    int32_t controlId = 0;
};

// The tables, each in its owner's order. The other pages and tools have empty tables.
std::span<const NamedControl> tabGainsControls();
std::span<const NamedControl> tabLedControls();
std::span<const NamedControl> nrVideoControls();
std::span<const NamedControl> autoFunctionsControls();
std::span<const NamedControl> consoleFpgaControls();

// The first row with exactly this key; null when there is none.
const NamedControl* findControl(std::span<const NamedControl> table, std::string_view key);

struct UvcControl {
    int32_t property = 0;
    std::string key;
};

// Camera control (pan ... focus) and processing amplifier (brightness ... gain), in order.
const std::vector<UvcControl>& uvcCameraControlList();
const std::vector<UvcControl>& uvcProcAmpList();
// The key holding a UVC property's flags word: the key with "_AUTO" appended.
std::string uvcAutoKey(std::string_view key);

// Keys that identify the sensor a settings file was saved for.
inline constexpr std::string_view kKeySensorModel = "SENSOR_MODEL";
inline constexpr std::string_view kKeySensorIdStr = "SENSOR_ID_STR";

}  // namespace TVR
