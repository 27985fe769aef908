#include "request_decoder.h"

#include <limits>

#include <fmt/format.h>

#include "usb/request_record.h"

namespace TVR {

uint32_t recordTimeoutMs(uint32_t timeoutSec) {
    const uint64_t ms = static_cast<uint64_t>(timeoutSec) * 1000;
    return ms > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                     : static_cast<uint32_t>(ms);
}

bool isDataEndpoint(uint8_t address) {
    const uint8_t number = address & 0x0F;
    return number != 0 && (address & 0x70) == 0;
}

std::optional<ControlRequest> decodeControlRequest(std::span<const uint8_t> record,
                                                   std::string& error) {
    RequestHeader h;
    if (!decodeRequestHeader(record, h)) {
        error = fmt::format("request record of {} bytes is shorter than its header", record.size());
        return std::nullopt;
    }
    // A device sees only wLength; a backend that trusted the other field would move a different
    // number of bytes than the request announces.
    if (h.bufferLength != h.wLength) {
        error = fmt::format("data length {} disagrees with wLength {}", h.bufferLength, h.wLength);
        return std::nullopt;
    }
    if (h.bufferOffset < Rec::kHeaderSize || h.bufferOffset > record.size() ||
        record.size() - h.bufferOffset < h.wLength) {
        error = fmt::format("data area at {} with {} bytes lies outside the {}-byte record",
                            h.bufferOffset, h.wLength, record.size());
        return std::nullopt;
    }
    ControlRequest r;
    r.bmRequestType = h.bmRequestType;
    r.bRequest = h.bRequest;
    r.wValue = h.wValue;
    r.wIndex = h.wIndex;
    r.wLength = h.wLength;
    r.setup = {h.bmRequestType,
               h.bRequest,
               static_cast<uint8_t>(h.wValue),
               static_cast<uint8_t>(h.wValue >> 8),
               static_cast<uint8_t>(h.wIndex),
               static_cast<uint8_t>(h.wIndex >> 8),
               static_cast<uint8_t>(h.wLength),
               static_cast<uint8_t>(h.wLength >> 8)};
    r.dataOffset = h.bufferOffset;
    r.timeoutSec = h.timeoutSec;
    return r;
}

std::optional<StreamRequest> decodeStreamRequest(std::span<const uint8_t> record,
                                                 size_t bufferLength, std::string& error) {
    RequestHeader h;
    if (!decodeRequestHeader(record, h)) {
        error = fmt::format("request header of {} bytes is too short", record.size());
        return std::nullopt;
    }
    if (!isDataEndpoint(h.endpoint)) {
        error = fmt::format("endpoint 0x{:02X} is not a data endpoint", h.endpoint);
        return std::nullopt;
    }
    if (h.bufferLength != 0) {
        error = fmt::format("data length {} in a header whose data is the caller's buffer",
                            h.bufferLength);
        return std::nullopt;
    }
    if (bufferLength > kMaxTransferLength) {
        error = fmt::format("transfer of {} bytes is too long", bufferLength);
        return std::nullopt;
    }
    return StreamRequest{h.endpoint, h.timeoutSec, bufferLength};
}

std::optional<IsochRequest> decodeIsochRequest(std::span<const uint8_t> record, size_t bufferLength,
                                               std::string& error) {
    auto stream = decodeStreamRequest(record, bufferLength, error);
    if (!stream) return std::nullopt;
    const uint32_t offset = getLe32(record, Rec::kIsoPacketOffset);
    const uint32_t length = getLe32(record, Rec::kIsoPacketLength);
    if (length == 0 || length % Rec::kIsoPacketSize != 0) {
        error = fmt::format("packet list of {} bytes is not a whole number of packets", length);
        return std::nullopt;
    }
    if (offset < Rec::kHeaderSize || offset > record.size() || record.size() - offset < length) {
        error = fmt::format("packet list at {} with {} bytes lies outside the {}-byte record",
                            offset, length, record.size());
        return std::nullopt;
    }
    const uint32_t count = length / Rec::kIsoPacketSize;
    if (count > kMaxIsoPackets) {
        error = fmt::format("{} isochronous packets are more than {}", count, kMaxIsoPackets);
        return std::nullopt;
    }
    return IsochRequest{*stream, offset, count};
}

std::optional<uint8_t> decodeAbortRequest(std::span<const uint8_t> input) {
    if (input.empty()) return std::nullopt;
    return input[0];
}

}  // namespace TVR
