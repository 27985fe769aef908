#pragma once

// Internal to the libusb backend: one open camera. Transfers are submitted asynchronously and
// completed on the context's event thread; close cancels whatever is in flight and waits for
// every completion before the device handle goes.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>

#include <libusb.h>

#include "libusb/device_path.h"
#include "usb/usb_driver.h"

namespace TVR::Libusb {

class Context;

class LibusbHandle : public UsbDriverHandle {
public:
    // Null when the device cannot be opened (permissions, gone).
    static std::unique_ptr<LibusbHandle> open(std::shared_ptr<Context> context, libusb_device* dev,
                                              const DevicePath& path);
    ~LibusbHandle() override;
    LibusbHandle(const LibusbHandle&) = delete;
    LibusbHandle& operator=(const LibusbHandle&) = delete;

    IoSubmit ioControl(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                       UsbOverlapped* ov, uint32_t* bytesReturned) override;
    bool close() override;

private:
    struct Transfer;
    struct EndpointHome {
        int interfaceNumber = 0;
        int altSetting = 0;
        uint32_t isoPacketBytes = 0;  // isochronous endpoints only
    };

    LibusbHandle(std::shared_ptr<Context> context, libusb_device_handle* dev, DevicePath path);
    void mapEndpoints();

    IoSubmit submitControl(std::span<uint8_t> in, std::span<uint8_t> out, UsbOverlapped* ov);
    IoSubmit submitStream(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                          UsbOverlapped* ov);
    IoSubmit abortEndpoint(std::span<const uint8_t> in, UsbOverlapped* ov);
    IoSubmit query(uint32_t n, std::span<uint8_t> out, uint32_t* bytesReturned);
    IoSubmit syncControl(std::span<uint8_t> in, std::span<uint8_t> out, uint32_t* bytesReturned);
    IoSubmit submit(std::unique_ptr<Transfer> t);
    bool prepareEndpoint(uint8_t endpoint);

    static void LIBUSB_CALL onTransferDone(libusb_transfer* x);
    void finished(Transfer* t);

    std::shared_ptr<Context> m_context;
    libusb_device_handle* m_dev = nullptr;
    DevicePath m_path;
    int m_vendorInterface = -1;
    std::map<uint8_t, EndpointHome> m_endpoints;  // fixed after open

    // Guards the in-flight set and the closed flag; the event thread takes it on completion,
    // so no synchronous libusb call may run under it.
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::set<Transfer*> m_inFlight;
    bool m_closed = false;

    // Interface claims; may be held across synchronous libusb calls.
    std::mutex m_claimMutex;
    std::set<int> m_claimed;
    std::set<int> m_detached;
};

}  // namespace TVR::Libusb
