#pragma once

// The real FX3 transport on Linux: cameras reached through libusb-1.0. Transfers are
// asynchronous libusb transfers completed by one event thread, so the layer above waits with
// its own time-out and aborts an endpoint exactly as with the FX3 driver. Any thread may call
// the driver and its handles; plug callbacks run on the driver's dispatch thread and must not
// destroy the driver.

#include <memory>
#include <string>
#include <vector>

#include "usb/usb_driver.h"

namespace TVR::Libusb {

class Context;

class LibusbDriver : public UsbDriver {
public:
    LibusbDriver();
    ~LibusbDriver() override;
    LibusbDriver(const LibusbDriver&) = delete;
    LibusbDriver& operator=(const LibusbDriver&) = delete;

    // False when libusb could not start (no usbfs, as in most containers): the driver then
    // lists no devices and opens nothing.
    bool available() const;

    // Paths ("usb:2-1.4:04b4:00f1") of the cameras and boot loaders present, in port order.
    // Only the FX3 driver's interface class lists anything.
    std::vector<std::string> interfacePaths(const Guid& interfaceClass) override;
    std::unique_ptr<UsbDriverHandle> open(const std::string& path) override;
    // The port part of a well-formed path, whether or not the device is present.
    std::string location(const std::string& path) override;
    int subscribe(PlugCallback cb) override;
    void unsubscribe(int token) override;

private:
    std::shared_ptr<Context> m_context;
};

}  // namespace TVR::Libusb
