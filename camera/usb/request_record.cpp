#include "request_record.h"

#include <limits>

namespace TVR {

uint16_t getLe16(std::span<const uint8_t> b, size_t off) {
    if (off > b.size() || b.size() - off < 2) return 0;
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}

uint32_t getLe32(std::span<const uint8_t> b, size_t off) {
    if (off > b.size() || b.size() - off < 4) return 0;
    return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
           (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}

void putLe16(std::span<uint8_t> b, size_t off, uint16_t v) {
    if (off > b.size() || b.size() - off < 2) return;
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(std::span<uint8_t> b, size_t off, uint32_t v) {
    if (off > b.size() || b.size() - off < 4) return;
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> makeRequestRecord(size_t dataLength) {
    std::vector<uint8_t> rec(Rec::kHeaderSize + dataLength, 0);
    rec[Rec::kEndpoint] = 0xFF;
    putLe32(rec, Rec::kBufferOffset, static_cast<uint32_t>(Rec::kHeaderSize));
    return rec;
}

std::vector<uint8_t> makeControlRecord(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                       uint16_t wIndex, uint16_t wLength, uint32_t timeoutSec) {
    auto rec = makeRequestRecord(wLength);
    RequestHeader h;
    h.bmRequestType = bmRequestType;
    h.bRequest = bRequest;
    h.wValue = wValue;
    h.wIndex = wIndex;
    h.wLength = wLength;
    h.timeoutSec = timeoutSec;
    h.endpoint = 0;
    h.bufferLength = wLength;
    encodeRequestHeader(h, rec);
    return rec;
}

bool decodeRequestHeader(std::span<const uint8_t> rec, RequestHeader& h) {
    if (rec.size() < Rec::kHeaderSize) return false;
    h.bmRequestType = rec[Rec::kRequestType];
    h.bRequest = rec[Rec::kRequest];
    h.wValue = getLe16(rec, Rec::kValue);
    h.wIndex = getLe16(rec, Rec::kIndex);
    h.wLength = getLe16(rec, Rec::kLength);
    h.timeoutSec = getLe32(rec, Rec::kTimeout);
    h.reserved = rec[Rec::kReserved];
    h.endpoint = rec[Rec::kEndpoint];
    h.ntStatus = getLe32(rec, Rec::kNtStatus);
    h.usbStatus = getLe32(rec, Rec::kUsbStatus);
    h.isoPacketOffset = getLe32(rec, Rec::kIsoPacketOffset);
    h.isoPacketLength = getLe32(rec, Rec::kIsoPacketLength);
    h.bufferOffset = getLe32(rec, Rec::kBufferOffset);
    h.bufferLength = getLe32(rec, Rec::kBufferLength);
    return true;
}

void encodeRequestHeader(const RequestHeader& h, std::span<uint8_t> rec) {
    if (rec.size() < Rec::kHeaderSize) return;
    rec[Rec::kRequestType] = h.bmRequestType;
    rec[Rec::kRequest] = h.bRequest;
    putLe16(rec, Rec::kValue, h.wValue);
    putLe16(rec, Rec::kIndex, h.wIndex);
    putLe16(rec, Rec::kLength, h.wLength);
    putLe32(rec, Rec::kTimeout, h.timeoutSec);
    rec[Rec::kReserved] = h.reserved;
    rec[Rec::kEndpoint] = h.endpoint;
    putLe32(rec, Rec::kNtStatus, h.ntStatus);
    putLe32(rec, Rec::kUsbStatus, h.usbStatus);
    putLe32(rec, Rec::kIsoPacketOffset, h.isoPacketOffset);
    putLe32(rec, Rec::kIsoPacketLength, h.isoPacketLength);
    putLe32(rec, Rec::kBufferOffset, h.bufferOffset);
    putLe32(rec, Rec::kBufferLength, h.bufferLength);
}

uint32_t timeoutSeconds(uint64_t ms) {
    const uint64_t s = ms / 1000 + (ms % 1000 != 0 ? 1 : 0);  // no wrap near the top
    return s > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                    : static_cast<uint32_t>(s);
}

}  // namespace TVR
