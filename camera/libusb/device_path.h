#pragma once

// Device paths and port locations of the libusb backend. A path names the port a device sits on
// and the ids it enumerated with: "usb:2-1.4:04b4:00f1". It stays the same while the camera
// stays on its port and changes when the boot loader enumerates under its own product id, so a
// caller can tell the two apart. The location "2-1.4" is the kernel's own name of the port,
// which the capture side finds in sysfs as well.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TVR::Libusb {

// USB allows at most 7 tiers of hubs below the root port.
inline constexpr size_t kMaxPortDepth = 7;

struct PortLocation {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;  // root port first; never empty in a valid location

    friend bool operator==(const PortLocation&, const PortLocation&) = default;
};

struct DevicePath {
    PortLocation location;
    uint16_t vendorId = 0;
    uint16_t productId = 0;

    friend bool operator==(const DevicePath&, const DevicePath&) = default;
};

// "2-1.4"; empty when the location has no ports or too many.
std::string formatLocation(const PortLocation& loc);
// "usb:2-1.4:04b4:00f1" (hex in lower case); empty when the location is invalid.
std::string formatDevicePath(const DevicePath& path);

// Strict parsers: decimal numbers 1-255 without sign or leading zeros, 1 to 7 ports, exactly
// four hex digits per id. Anything else gives none.
std::optional<PortLocation> parseLocation(std::string_view text);
std::optional<DevicePath> parseDevicePath(std::string_view text);

}  // namespace TVR::Libusb
