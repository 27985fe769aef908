#include "control_ep.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "usb/request_record.h"

namespace TVR {

namespace {

// The exponent of a USB 3 bMaxPacketSize0 is 9; anything that would not fit a 16-bit packet
// size is a broken descriptor and gives no packet size.
constexpr uint8_t kMaxPacketExponent = 15;

UsbEndpointDescriptor controlDescriptor(uint8_t bcdUsbMajor, uint8_t bMaxPacketSize0) {
    UsbEndpointDescriptor d;
    d.bLength = static_cast<uint8_t>(DescSize::kEndpoint);
    d.bDescriptorType = DescType::kEndpoint;
    d.bEndpointAddress = 0;
    d.bmAttributes = EpType::kControl;
    d.wMaxPacketSize = bMaxPacketSize0;
    if (bcdUsbMajor < 3) {
        d.maxTransferUnit = bMaxPacketSize0;
    } else {
        d.maxTransferUnit = bMaxPacketSize0 <= kMaxPacketExponent ? 1u << bMaxPacketSize0 : 0;
    }
    return d;
}

}  // namespace

ControlEP::ControlEP(UsbDriverHandle* handle, uint8_t bcdUsbMajor, uint8_t bMaxPacketSize0,
                     uint32_t timeoutMs)
    : UsbEP(handle, controlDescriptor(bcdUsbMajor, bMaxPacketSize0), std::nullopt, timeoutMs) {}

UsbRequest ControlEP::startTransfer(std::span<uint8_t> data, UsbOverlapped& ov) {
    if (data.size() > std::numeric_limits<uint16_t>::max()) return {};
    const auto length = static_cast<uint16_t>(data.size());
    auto record = makeRecord(length);
    record[Rec::kRequestType] =
        static_cast<uint8_t>(kRequestTypeVendor | (m_directionIn ? kDirectionIn : 0));
    record[Rec::kRequest] = m_request;
    putLe16(record, Rec::kValue, m_value);
    putLe16(record, Rec::kIndex, m_index);
    putLe16(record, Rec::kLength, length);
    putLe32(record, Rec::kBufferLength, length);
    if (!m_directionIn && length > 0) {
        std::memcpy(record.data() + Rec::kHeaderSize, data.data(), length);
    }
    return submit(Ioctl::kControlTransfer, std::move(record), {}, ov, true);
}

void ControlEP::copyOut(std::span<uint8_t> data, uint32_t bytes, const UsbRequest& request) {
    if (!m_directionIn) return;
    const size_t offset = getLe32(request.record, Rec::kBufferOffset);
    if (offset >= request.record.size()) return;
    const size_t n =
        std::min({static_cast<size_t>(bytes), data.size(), request.record.size() - offset});
    if (n > 0) std::memcpy(data.data(), request.record.data() + offset, n);
}

bool ControlEP::vendorTransfer(uint8_t request, bool write, uint16_t value, uint16_t index,
                               std::span<uint8_t> readBuffer, std::span<const uint8_t> writeData) {
    m_directionIn = !write;
    m_request = request;
    m_value = value;
    m_index = index;
    const size_t total = write ? writeData.size() : readBuffer.size();
    uint32_t moved = 0;
    if (total == 0) return transfer({}, moved);

    std::vector<uint8_t> piece;
    size_t done = 0;
    while (done < total) {
        const size_t n = std::min(kMaxPieceBytes, total - done);
        bool ok = false;
        if (write) {
            piece.assign(writeData.begin() + static_cast<std::ptrdiff_t>(done),
                         writeData.begin() + static_cast<std::ptrdiff_t>(done + n));
            ok = transfer(piece, moved);
        } else {
            ok = transfer(readBuffer.subspan(done, n), moved);
        }
        // A piece that moves nothing would be asked for again forever.
        if (!ok || moved == 0) return false;
        done += std::min<size_t>(moved, n);
    }
    return true;
}

}  // namespace TVR
