// The libusb backend's device paths and port locations, both ways. Text that parses must be the
// canonical form of what it parsed to (ids may be upper case); locations and paths built from
// arbitrary numbers format to empty exactly when invalid, and otherwise parse back unchanged.

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "libusb/device_path.h"

namespace {

using TVR::Libusb::DevicePath;
using TVR::Libusb::PortLocation;

bool validLocation(const PortLocation& loc) {
    if (loc.bus == 0 || loc.ports.empty() || loc.ports.size() > TVR::Libusb::kMaxPortDepth) {
        return false;
    }
    for (uint8_t p : loc.ports) {
        if (p == 0) return false;
    }
    return true;
}

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void checkText(const std::string& text) {
    if (const auto loc = TVR::Libusb::parseLocation(text)) {
        FUZZ_CHECK(validLocation(*loc));
        FUZZ_CHECK(TVR::Libusb::formatLocation(*loc) == text);
    }
    if (const auto path = TVR::Libusb::parseDevicePath(text)) {
        FUZZ_CHECK(validLocation(path->location));
        const std::string formatted = TVR::Libusb::formatDevicePath(*path);
        // Only the ids may differ, and only in the case of their hex digits.
        FUZZ_CHECK(formatted.size() == text.size());
        const size_t ids = text.size() - 10;
        FUZZ_CHECK(formatted.compare(0, ids, text, 0, ids) == 0);
        FUZZ_CHECK(formatted.substr(ids) == lowerCase(text.substr(ids)));
        FUZZ_CHECK(TVR::Libusb::parseDevicePath(formatted) == path);
    }
}

void checkBuilt(FuzzedDataProvider& in) {
    DevicePath path;
    path.location.bus = in.ConsumeIntegral<uint8_t>();
    const size_t depth = in.ConsumeIntegralInRange<size_t>(0, TVR::Libusb::kMaxPortDepth + 2);
    for (size_t i = 0; i < depth; ++i) path.location.ports.push_back(in.ConsumeIntegral<uint8_t>());
    path.vendorId = in.ConsumeIntegral<uint16_t>();
    path.productId = in.ConsumeIntegral<uint16_t>();

    const bool valid = validLocation(path.location);
    const std::string loc = TVR::Libusb::formatLocation(path.location);
    const std::string text = TVR::Libusb::formatDevicePath(path);
    FUZZ_CHECK(loc.empty() == !valid);
    FUZZ_CHECK(text.empty() == !valid);
    if (!valid) return;
    FUZZ_CHECK(TVR::Libusb::parseLocation(loc) == path.location);
    FUZZ_CHECK(TVR::Libusb::parseDevicePath(text) == path);
    FUZZ_CHECK(text == "usb:" + loc + text.substr(text.size() - 10));
    // A location is never taken for a path, nor a path for a location.
    FUZZ_CHECK(!TVR::Libusb::parseDevicePath(loc));
    FUZZ_CHECK(!TVR::Libusb::parseLocation(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        FuzzedDataProvider in(data + 1, size - 1);
        checkBuilt(in);
    } else {
        checkText(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    return 0;
}
