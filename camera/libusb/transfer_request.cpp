#include "transfer_request.h"

#include <algorithm>

#include <fmt/format.h>

#include "usb/request_record.h"

namespace TVR::Libusb {

std::optional<ControlTransfer> buildControlTransfer(std::span<const uint8_t> record,
                                                    std::string& error) {
    const auto req = decodeControlRequest(record, error);
    if (!req) return std::nullopt;
    ControlTransfer t;
    t.request = *req;
    t.timeoutMs = recordTimeoutMs(req->timeoutSec);
    t.buffer.assign(kSetupSize + req->wLength, 0);
    std::copy(req->setup.begin(), req->setup.end(), t.buffer.begin());
    if (!req->in()) {
        const auto data = record.subspan(req->dataOffset, req->wLength);
        std::copy(data.begin(), data.end(), t.buffer.begin() + kSetupSize);
    }
    return t;
}

std::optional<StreamTransfer> buildStreamTransfer(uint32_t code, std::span<const uint8_t> record,
                                                  std::span<const uint8_t> data,
                                                  std::string& error) {
    StreamTransfer t;
    if (code == Ioctl::kIsochTransfer) {
        const auto iso = decodeIsochRequest(record, data.size(), error);
        if (!iso) return std::nullopt;
        t.request = iso->stream;
        t.isoch = true;
        t.packetListOffset = iso->packetListOffset;
        t.packetCount = iso->packetCount;
    } else if (code == Ioctl::kBulkTransfer) {
        const auto req = decodeStreamRequest(record, data.size(), error);
        if (!req) return std::nullopt;
        t.request = *req;
    } else {
        error = fmt::format("I/O-control code 0x{:06X} is no stream transfer", code);
        return std::nullopt;
    }
    t.timeoutMs = recordTimeoutMs(t.request.timeoutSec);
    t.buffer.assign(std::max<size_t>(data.size(), 1), 0);
    if (!t.request.in()) std::copy(data.begin(), data.end(), t.buffer.begin());
    return t;
}

uint32_t isoServiceIntervalBytes(uint16_t wMaxPacketSize, bool hasCompanion, uint8_t bMaxBurst,
                                 uint8_t companionAttributes) {
    const uint32_t size = wMaxPacketSize & 0x7FF;
    if (hasCompanion) {
        return size * (static_cast<uint32_t>(bMaxBurst) + 1) * ((companionAttributes & 3u) + 1);
    }
    return size * (((wMaxPacketSize >> 11) & 3u) + 1);
}

std::vector<uint32_t> isoPacketLengths(size_t total, uint32_t packetCount, uint32_t maxPacket) {
    std::vector<uint32_t> lengths;
    if (packetCount == 0) return lengths;
    uint64_t unit = maxPacket;
    if (unit == 0) unit = (total + packetCount - 1) / packetCount;
    lengths.reserve(packetCount);
    uint64_t remaining = total;
    for (uint32_t i = 0; i < packetCount; ++i) {
        const uint64_t n = std::min(unit, remaining);
        lengths.push_back(static_cast<uint32_t>(n));
        remaining -= n;
    }
    return lengths;
}

}  // namespace TVR::Libusb
