#pragma once

// The host end of a USB/IP socket pair for tests: what vhci_hcd would send and read.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "sim_usbip_device.h"
#include "usbip/usbip_connection.h"
#include "usbip/usbip_protocol.h"

namespace TVR::Simcam::Testing {

struct Reply {
    Usbip::ReplyHeader header;
    std::vector<uint8_t> data;
    std::vector<Usbip::IsoPacket> packets;
};

class HostEnd {
public:
    explicit HostEnd(int fd) : m_fd(fd) {}
    ~HostEnd();
    HostEnd(const HostEnd&) = delete;
    HostEnd& operator=(const HostEnd&) = delete;

    uint32_t submit(Usbip::Submit s);  // returns the seqnum
    uint32_t unlink(uint32_t target);
    // The next reply; empty when none arrives within a generous guard time or the stream ends.
    std::optional<Reply> read();
    // Control transfers and their replies in one step.
    std::optional<Reply> control(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                 uint16_t wIndex, uint16_t wLength, std::vector<uint8_t> out = {});
    std::optional<Reply> bulk(uint8_t address, uint32_t length, std::vector<uint8_t> out = {});
    void close();

private:
    bool readFully(uint8_t* p, size_t n);
    int m_fd;
    uint32_t m_seq = 1;
    std::map<uint32_t, Usbip::Submit> m_sent;
};

// A simulated camera (FX3 build 45, the kernel's UVC function) served over a socket pair, the
// test holding the host's end.
struct ServedCamera {
    explicit ServedCamera(std::function<void(const std::string&)> onClosed = {});
    ~ServedCamera();
    ServedCamera(const ServedCamera&) = delete;
    ServedCamera& operator=(const ServedCamera&) = delete;

    Sim::SimDriver driver;
    std::shared_ptr<Sim::SimCamera> cam;
    std::shared_ptr<Sim::SimCameraFirmware> firmware;
    std::shared_ptr<SimUsbipDevice> device;
    std::unique_ptr<Usbip::UsbipConnection> connection;
    std::unique_ptr<HostEnd> host;
};

}  // namespace TVR::Simcam::Testing
