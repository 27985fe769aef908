#pragma once

// Decoding of request records into what a libusb transfer needs. The records come from the
// layer above and are checked like outside data: every offset and length must lie inside the
// buffers it was submitted with.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace TVR::Libusb {

inline constexpr size_t kSetupSize = 8;

struct ControlRequest {
    std::array<uint8_t, kSetupSize> setup{};  // the setup packet as it goes on the wire
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    size_t dataOffset = 0;   // where the data area starts in the record
    uint32_t timeoutMs = 0;  // 0: no time-out
    bool in() const { return (bmRequestType & 0x80) != 0; }
};

struct StreamRequest {
    uint8_t endpoint = 0;
    uint32_t timeoutMs = 0;
    size_t length = 0;  // the caller's buffer
    bool in() const { return (endpoint & 0x80) != 0; }
};

struct IsochRequest {
    StreamRequest stream;
    size_t packetListOffset = 0;
    uint32_t packetCount = 0;
};

// Largest single transfer handed to libusb (its lengths are int).
inline constexpr size_t kMaxTransferLength = 0x7FFFFFFF;
// libusb allocates per-packet state; a record asking for more is refused.
inline constexpr uint32_t kMaxIsoPackets = 4096;

// A control request: the setup fields of the header, the data area at the record's data offset
// with wLength bytes, which must fit in the record.
std::optional<ControlRequest> decodeControlRequest(std::span<const uint8_t> record,
                                                   std::string& error);
// A bulk or interrupt request: the endpoint of the header, the data in the caller's buffer.
std::optional<StreamRequest> decodeStreamRequest(std::span<const uint8_t> record,
                                                 size_t bufferLength, std::string& error);
// An isochronous request: as a stream request plus the packet list of the header.
std::optional<IsochRequest> decodeIsochRequest(std::span<const uint8_t> record, size_t bufferLength,
                                               std::string& error);
// The endpoint of an abort request; none when the input is empty.
std::optional<uint8_t> decodeAbortRequest(std::span<const uint8_t> input);

// True for an address that names a data endpoint (1-15, either direction).
bool isDataEndpoint(uint8_t address);

// Lengths of the isochronous packets that cover `total` bytes: packets of maxPacket bytes (when
// unknown, the total spread evenly), the last one shorter, none beyond the total.
std::vector<uint32_t> isoPacketLengths(size_t total, uint32_t packetCount, uint32_t maxPacket);

// Bytes an isochronous endpoint moves per service interval: wMaxPacketSize with its
// additional-transaction bits, or with a SuperSpeed companion, the packet size times
// (bMaxBurst + 1) times (Mult + 1).
uint32_t isoServiceIntervalBytes(uint16_t wMaxPacketSize, bool hasCompanion, uint8_t bMaxBurst,
                                 uint8_t companionAttributes);

// Time-out of the record in milliseconds for libusb, saturated.
uint32_t recordTimeoutMs(uint32_t timeoutSec);

}  // namespace TVR::Libusb
