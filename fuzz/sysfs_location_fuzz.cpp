// The USB location the capture side reads from a resolved sysfs path, compared with a plain
// reading of its rule (the deepest "<bus>-<ports>" component below "usb<bus>"), and with the
// libusb backend's text of the same port: both sides must name a port alike.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "libusb/device_path.h"
#include "video/sysfs_capture_devices.h"

namespace {

// A decimal as the kernel writes it in names: no sign, no leading zero, nonzero.
bool kernelNumber(std::string_view s) {
    if (s.empty() || s.size() > 9 || s[0] == '0') return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The bus text of a "<bus>-<port>(.<port>)*" name; empty when the name is not one.
std::string_view busOf(std::string_view name) {
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos || !kernelNumber(name.substr(0, dash))) return {};
    std::string_view ports = name.substr(dash + 1);
    size_t start = 0;
    while (true) {
        const size_t dot = ports.find('.', start);
        const size_t end = dot == std::string_view::npos ? ports.size() : dot;
        if (!kernelNumber(ports.substr(start, end - start))) return {};
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return name.substr(0, dash);
}

std::string referenceLocation(const std::string& path) {
    std::set<std::string> above;
    std::string found;
    for (const auto& part : std::filesystem::path(path)) {
        const std::string name = part.string();
        const std::string_view bus = busOf(name);
        if (!bus.empty() && above.count("usb" + std::string(bus)) != 0) found = name;
        above.insert(name);
    }
    return found;
}

void checkPath(const std::string& path) {
    const std::string location = TVR::usbLocationInSysfsPath(path);
    FUZZ_CHECK(location == referenceLocation(path));
    if (const auto loc = TVR::Libusb::parseLocation(location)) {
        FUZZ_CHECK(TVR::Libusb::formatLocation(*loc) == location);
    }
}

// A device path as the kernel lays it out: root hub, one directory per hub tier, the device,
// its interface and the class node, plus a last component of the input's choosing.
void checkBuilt(FuzzedDataProvider& in) {
    TVR::Libusb::PortLocation loc;
    loc.bus = in.ConsumeIntegralInRange<uint8_t>(1, 255);
    const size_t depth = in.ConsumeIntegralInRange<size_t>(1, TVR::Libusb::kMaxPortDepth);
    for (size_t i = 0; i < depth; ++i)
        loc.ports.push_back(in.ConsumeIntegralInRange<uint8_t>(1, 255));
    std::string tail = in.ConsumeRandomLengthString(32);
    for (char& c : tail) {
        if (c == '/' || c == '\0') c = '_';
    }

    const std::string bus = std::to_string(loc.bus);
    std::string path = "/sys/devices/pci0000:00/0000:00:14.0/usb" + bus;
    std::string hub = bus + "-";
    for (size_t i = 0; i < loc.ports.size(); ++i) {
        hub += (i > 0 ? "." : "") + std::to_string(loc.ports[i]);
        path += "/" + hub;
    }
    path += "/" + hub + ":1.0/video4linux/video0";
    if (!tail.empty()) path += "/" + tail;

    const std::string expected = TVR::Libusb::formatLocation(loc);
    FUZZ_CHECK(expected == hub);
    const std::string location = TVR::usbLocationInSysfsPath(path);
    const std::string_view tailBus = busOf(tail);
    if (tailBus.empty() || tailBus != bus) FUZZ_CHECK(location == expected);
    checkPath(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        FuzzedDataProvider in(data + 1, size - 1);
        checkBuilt(in);
    } else {
        checkPath(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    return 0;
}
