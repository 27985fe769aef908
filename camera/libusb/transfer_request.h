#pragma once

// What a libusb transfer is built from. The request record is decoded by the driver layer's
// decoder, the one every backend uses; this adds the libusb side: the wire buffer of a control
// transfer, the time-out in milliseconds and the split of an isochronous buffer into packets.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "usb/request_decoder.h"

namespace TVR::Libusb {

// A control transfer: the setup packet followed by wLength bytes, the record's data for a
// host-to-device request and zeros to receive into for a read.
struct ControlTransfer {
    ControlRequest request;
    std::vector<uint8_t> buffer;
    uint32_t timeoutMs = 0;  // 0: no time-out
};

// A bulk, interrupt or isochronous transfer over the caller's buffer.
struct StreamTransfer {
    StreamRequest request;
    std::vector<uint8_t> buffer;  // at least one byte: libusb wants a real pointer
    bool isoch = false;
    size_t packetListOffset = 0;  // isochronous: the packet list in the record
    uint32_t packetCount = 0;
    uint32_t timeoutMs = 0;
};

std::optional<ControlTransfer> buildControlTransfer(std::span<const uint8_t> record,
                                                    std::string& error);
// `code` chooses bulk/interrupt or isochronous; `data` is the caller's buffer (copied for an OUT
// endpoint).
std::optional<StreamTransfer> buildStreamTransfer(uint32_t code, std::span<const uint8_t> record,
                                                  std::span<const uint8_t> data,
                                                  std::string& error);

// Lengths of the isochronous packets that cover `total` bytes: packets of maxPacket bytes (when
// unknown, the total spread evenly), the last one shorter, none beyond the total.
std::vector<uint32_t> isoPacketLengths(size_t total, uint32_t packetCount, uint32_t maxPacket);

// Bytes an isochronous endpoint moves per service interval: wMaxPacketSize with its
// additional-transaction bits, or with a SuperSpeed companion, the packet size times
// (bMaxBurst + 1) times (Mult + 1).
uint32_t isoServiceIntervalBytes(uint16_t wMaxPacketSize, bool hasCompanion, uint8_t bMaxBurst,
                                 uint8_t companionAttributes);

}  // namespace TVR::Libusb
