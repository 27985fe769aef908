#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>

namespace TVR {

// A device-interface class identifier, laid out as the platform's GUID.
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

// "{AE18AA60-7F6A-11D4-97DD-00010229B959}"
std::string toString(const Guid& g);

// The FX3 driver's device-interface class: every enumeration and open uses it.
inline constexpr Guid kCyUsbDriverGuid{
    0xAE18AA60, 0x7F6A, 0x11D4, {0x97, 0xDD, 0x00, 0x01, 0x02, 0x29, 0xB9, 0x59}};

}  // namespace TVR
