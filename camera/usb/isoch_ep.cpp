#include "isoch_ep.h"

#include <algorithm>
#include <limits>

#include "usb/request_record.h"

namespace TVR {

uint64_t IsochEP::packetCount(uint64_t length, uint32_t unit) {
    if (unit == 0) return 0;
    return (length + unit - 1) / unit;
}

UsbRequest IsochEP::startTransfer(std::span<uint8_t> data, UsbOverlapped& ov) {
    const uint64_t packets = packetCount(data.size(), transferUnit());
    const uint64_t listBytes = packets * Rec::kIsoPacketSize;
    if (packets == 0 || listBytes > std::numeric_limits<uint32_t>::max() - Rec::kHeaderSize) {
        return {};
    }
    auto record = makeRecord(listBytes);
    putLe32(record, Rec::kIsoPacketOffset, static_cast<uint32_t>(Rec::kHeaderSize));
    putLe32(record, Rec::kIsoPacketLength, static_cast<uint32_t>(listBytes));
    putLe32(record, Rec::kBufferOffset, 0);
    putLe32(record, Rec::kBufferLength, 0);
    return submit(Ioctl::kIsochTransfer, std::move(record), data, ov);
}

bool IsochEP::finishTransfer(std::span<uint8_t> data, uint32_t& bytes, UsbOverlapped& ov,
                             UsbRequest& request, std::span<IsoPacketResult> packets) {
    const bool ok = UsbEP::finishTransfer(data, bytes, ov, request);
    const size_t listOffset = getLe32(request.record, Rec::kIsoPacketOffset);
    const size_t listCount = getLe32(request.record, Rec::kIsoPacketLength) / Rec::kIsoPacketSize;
    const size_t n = std::min(listCount, packets.size());
    for (size_t i = 0; i < n; ++i) {
        const size_t entry = listOffset + i * Rec::kIsoPacketSize;
        packets[i].length = getLe32(request.record, entry);
        packets[i].status = getLe32(request.record, entry + 4);
    }
    return ok;
}

bool IsochEP::transfer(std::span<uint8_t> data, uint32_t& bytes,
                       std::span<IsoPacketResult> packets) {
    bytes = 0;
    UsbRequest request;
    UsbOverlapped ov;  // after the record: see UsbEP::transfer
    request = startTransfer(data, ov);
    const bool waited = wait(request, ov);
    const bool finished = finishTransfer(data, bytes, ov, request, packets);
    return waited && finished;
}

}  // namespace TVR
