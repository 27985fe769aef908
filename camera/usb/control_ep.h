#pragma once

// Endpoint 0. Its data travels inside the request record; the setup fields of the next request
// (direction, bRequest, wValue, wIndex) are set before each transfer.

#include <cstdint>
#include <span>

#include "usb/usb_ep.h"

namespace TVR {

class ControlEP : public UsbEP {
public:
    // Largest data stage of one vendor request; longer transfers go in pieces.
    static constexpr size_t kMaxPieceBytes = 4096;
    static constexpr uint8_t kRequestTypeVendor = 0x40;  // vendor, device recipient
    static constexpr uint8_t kDirectionIn = 0x80;

    // The packet size is bMaxPacketSize0 on USB 2 and 2 to that power from USB 3 on.
    ControlEP(UsbDriverHandle* handle, uint8_t bcdUsbMajor, uint8_t bMaxPacketSize0,
              uint32_t timeoutMs = kDefaultTimeoutMs);

    bool isIn() const override { return m_directionIn; }
    // A vendor request with the current setup fields; wLength is the data size (at most
    // 65535 bytes, larger requests fail without reaching the driver).
    UsbRequest startTransfer(std::span<uint8_t> data, UsbOverlapped& ov) override;

    // One vendor request split into pieces of at most kMaxPieceBytes, each with the same setup
    // fields. Reads fill readBuffer, writes send writeData; with no data it is a single
    // zero-length request. A failed piece, or one that moves nothing, fails the whole.
    bool vendorTransfer(uint8_t request, bool write, uint16_t value, uint16_t index,
                        std::span<uint8_t> readBuffer, std::span<const uint8_t> writeData);

    void setDirectionIn(bool in) { m_directionIn = in; }
    void setRequest(uint8_t request) { m_request = request; }
    void setValue(uint16_t value) { m_value = value; }
    void setIndex(uint16_t index) { m_index = index; }
    uint8_t request() const { return m_request; }
    uint16_t value() const { return m_value; }
    uint16_t index() const { return m_index; }

protected:
    void copyOut(std::span<uint8_t> data, uint32_t bytes, const UsbRequest& request) override;

private:
    bool m_directionIn = false;
    uint8_t m_request = 0;
    uint16_t m_value = 0;
    uint16_t m_index = 0;
};

}  // namespace TVR
