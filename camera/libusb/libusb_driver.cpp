#include "libusb_driver.h"

#include <algorithm>

#include "libusb/device_path.h"
#include "libusb/libusb_context.h"
#include "libusb/libusb_handle.h"

namespace TVR::Libusb {

namespace {

// Port order: bus, then ports, so numbering follows the wiring and not the plug order.
bool portOrder(const std::string& a, const std::string& b) {
    const auto pa = parseDevicePath(a);
    const auto pb = parseDevicePath(b);
    if (!pa || !pb) return a < b;
    if (pa->location.bus != pb->location.bus) return pa->location.bus < pb->location.bus;
    if (pa->location.ports != pb->location.ports) return pa->location.ports < pb->location.ports;
    return a < b;
}

}  // namespace

LibusbDriver::LibusbDriver() : m_context(std::make_shared<Context>()) {}

LibusbDriver::~LibusbDriver() { m_context->stopPlugEvents(); }

bool LibusbDriver::available() const { return m_context->ctx() != nullptr; }

std::vector<std::string> LibusbDriver::interfacePaths(const Guid& interfaceClass) {
    std::vector<std::string> paths;
    if (!m_context->ctx() || interfaceClass != kCyUsbDriverGuid) return paths;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(m_context->ctx(), &list);
    if (n < 0) return paths;
    for (ssize_t i = 0; i < n; ++i) {
        std::string path = cameraPathOf(list[i], true);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    libusb_free_device_list(list, 1);
    std::sort(paths.begin(), paths.end(), portOrder);
    return paths;
}

std::unique_ptr<UsbDriverHandle> LibusbDriver::open(const std::string& path) {
    const auto parsed = parseDevicePath(path);
    if (!parsed || !m_context->ctx()) return nullptr;
    const std::string wanted = formatDevicePath(*parsed);
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(m_context->ctx(), &list);
    if (n < 0) return nullptr;
    std::unique_ptr<UsbDriverHandle> handle;
    for (ssize_t i = 0; i < n && !handle; ++i) {
        if (cameraPathOf(list[i], true) != wanted) continue;
        handle = LibusbHandle::open(m_context, list[i], *parsed);
    }
    libusb_free_device_list(list, 1);
    return handle;
}

std::string LibusbDriver::location(const std::string& path) {
    const auto parsed = parseDevicePath(path);
    return parsed ? formatLocation(parsed->location) : std::string();
}

int LibusbDriver::subscribe(PlugCallback cb) { return m_context->subscribe(std::move(cb)); }

void LibusbDriver::unsubscribe(int token) { m_context->unsubscribe(token); }

}  // namespace TVR::Libusb
