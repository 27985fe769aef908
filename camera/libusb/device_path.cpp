#include "device_path.h"

#include <fmt/format.h>

namespace TVR::Libusb {

namespace {

constexpr std::string_view kPathPrefix = "usb:";

// A decimal 1-255 as the kernel writes bus and port numbers.
std::optional<uint8_t> parseSmallNumber(std::string_view s) {
    if (s.empty() || s.size() > 3 || s[0] == '0') return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 255) return std::nullopt;
    return static_cast<uint8_t>(v);
}

std::optional<uint16_t> parseHex4(std::string_view s) {
    if (s.size() != 4) return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        unsigned d = 0;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        v = v * 16 + d;
    }
    return static_cast<uint16_t>(v);
}

bool validLocation(const PortLocation& loc) {
    if (loc.bus == 0 || loc.ports.empty() || loc.ports.size() > kMaxPortDepth) return false;
    for (uint8_t p : loc.ports) {
        if (p == 0) return false;
    }
    return true;
}

}  // namespace

std::string formatLocation(const PortLocation& loc) {
    if (!validLocation(loc)) return {};
    std::string s = fmt::format("{}-", loc.bus);
    for (size_t i = 0; i < loc.ports.size(); ++i) {
        if (i > 0) s += '.';
        s += fmt::format("{}", loc.ports[i]);
    }
    return s;
}

std::string formatDevicePath(const DevicePath& path) {
    const std::string loc = formatLocation(path.location);
    if (loc.empty()) return {};
    return fmt::format("{}{}:{:04x}:{:04x}", kPathPrefix, loc, path.vendorId, path.productId);
}

std::optional<PortLocation> parseLocation(std::string_view text) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    PortLocation loc;
    const auto bus = parseSmallNumber(text.substr(0, dash));
    if (!bus) return std::nullopt;
    loc.bus = *bus;
    std::string_view rest = text.substr(dash + 1);
    while (true) {
        const size_t dot = rest.find('.');
        const auto port = parseSmallNumber(rest.substr(0, dot));
        if (!port || loc.ports.size() == kMaxPortDepth) return std::nullopt;
        loc.ports.push_back(*port);
        if (dot == std::string_view::npos) break;
        rest = rest.substr(dot + 1);
    }
    return loc;
}

std::optional<DevicePath> parseDevicePath(std::string_view text) {
    if (!text.starts_with(kPathPrefix)) return std::nullopt;
    text.remove_prefix(kPathPrefix.size());
    // Exactly ":vvvv:pppp" follows the location.
    constexpr size_t kIdsLength = 10;
    if (text.size() <= kIdsLength) return std::nullopt;
    const std::string_view ids = text.substr(text.size() - kIdsLength);
    if (ids[0] != ':' || ids[5] != ':') return std::nullopt;
    const auto loc = parseLocation(text.substr(0, text.size() - kIdsLength));
    const auto vid = parseHex4(ids.substr(1, 4));
    const auto pid = parseHex4(ids.substr(6, 4));
    if (!loc || !vid || !pid) return std::nullopt;
    return DevicePath{*loc, *vid, *pid};
}

}  // namespace TVR::Libusb
