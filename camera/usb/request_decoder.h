#pragma once

// Decoding of submitted request records into the transfer they ask for. Every backend decodes
// through here, so a record the simulated camera takes is one a real camera's backend takes too.
// Records are checked like outside data: every offset and length must lie inside the buffers they
// were submitted with, and the header's lengths must agree.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace TVR {

inline constexpr size_t kSetupSize = 8;

struct ControlRequest {
    std::array<uint8_t, kSetupSize> setup{};  // the setup packet as it goes on the wire
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    size_t dataOffset = 0;    // where the data area starts in the record
    uint32_t timeoutSec = 0;  // 0: no time-out
    bool in() const { return (bmRequestType & 0x80) != 0; }
};

struct StreamRequest {
    uint8_t endpoint = 0;
    uint32_t timeoutSec = 0;
    size_t length = 0;  // the caller's buffer
    bool in() const { return (endpoint & 0x80) != 0; }
};

struct IsochRequest {
    StreamRequest stream;
    size_t packetListOffset = 0;
    uint32_t packetCount = 0;
};

// Largest single transfer a record may ask for (a libusb length is an int).
inline constexpr size_t kMaxTransferLength = 0x7FFFFFFF;
// Backends keep per-packet state; a record asking for more is refused.
inline constexpr uint32_t kMaxIsoPackets = 4096;

// A control request: the setup fields of the header and the data area at the record's data offset.
// wLength and the data length must be equal and the area must fit in the record.
std::optional<ControlRequest> decodeControlRequest(std::span<const uint8_t> record,
                                                   std::string& error);
// A bulk or interrupt request: the endpoint of the header, the data in the caller's buffer. The
// header carries no data area of its own, so its data length must be 0.
std::optional<StreamRequest> decodeStreamRequest(std::span<const uint8_t> record,
                                                 size_t bufferLength, std::string& error);
// An isochronous request: as a stream request plus the packet list of the header.
std::optional<IsochRequest> decodeIsochRequest(std::span<const uint8_t> record, size_t bufferLength,
                                               std::string& error);
// The endpoint of an abort request; none when the input is empty.
std::optional<uint8_t> decodeAbortRequest(std::span<const uint8_t> input);

// True for an address that names a data endpoint (1-15, either direction).
bool isDataEndpoint(uint8_t address);

// Time-out of a record in milliseconds, saturated.
uint32_t recordTimeoutMs(uint32_t timeoutSec);

}  // namespace TVR
