#pragma once

// The driver request record: a 38-byte little-endian header followed by the data area (control
// transfers) or, for isochronous transfers, by the 8-byte-per-packet list. Every backend decodes
// the same bytes, so the layout is exercised for real in every test.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace TVR {

namespace Ioctl {
inline constexpr uint32_t kControlTransfer = 0x220020;  // record in, same buffer out
inline constexpr uint32_t kBulkTransfer = 0x22004B;     // header in, caller's buffer out
inline constexpr uint32_t kIsochTransfer = 0x220048;    // header + packet list in, buffer out
inline constexpr uint32_t kAbortPipe = 0x220044;        // 1 byte: endpoint address
inline constexpr uint32_t kQueryBase = 0x220000;
constexpr uint32_t query(uint32_t n) { return kQueryBase | (n * 4); }
// Driver queries by number.
inline constexpr uint32_t kQueryDriverVersion = 1;  // 4 bytes
inline constexpr uint32_t kQueryAddress = 4;        // 1 byte
inline constexpr uint32_t kQueryControl = 8;        // a request record (standard requests)
inline constexpr uint32_t kQueryDeviceName = 15;    // 256 bytes, zero-terminated
inline constexpr uint32_t kQueryFriendlyName = 16;  // 256 bytes, zero-terminated
inline constexpr uint32_t kQuerySpeed = 19;         // 4 bytes: 2 high, 4 super
}  // namespace Ioctl

inline constexpr uint32_t kSpeedHigh = 2;
inline constexpr uint32_t kSpeedSuper = 4;

// Header field offsets.
namespace Rec {
inline constexpr size_t kRequestType = 0;
inline constexpr size_t kRequest = 1;
inline constexpr size_t kValue = 2;
inline constexpr size_t kIndex = 4;
inline constexpr size_t kLength = 6;
inline constexpr size_t kTimeout = 8;
inline constexpr size_t kReserved = 12;
inline constexpr size_t kEndpoint = 13;
inline constexpr size_t kNtStatus = 14;
inline constexpr size_t kUsbStatus = 18;
inline constexpr size_t kIsoPacketOffset = 22;
inline constexpr size_t kIsoPacketLength = 26;
inline constexpr size_t kBufferOffset = 30;
inline constexpr size_t kBufferLength = 34;
inline constexpr size_t kHeaderSize = 38;
inline constexpr size_t kIsoPacketSize = 8;  // length (4), status (4)
}  // namespace Rec

// Decoded view of a request header.
struct RequestHeader {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    uint32_t timeoutSec = 0;
    uint8_t reserved = 0;
    uint8_t endpoint = 0xFF;
    uint32_t ntStatus = 0;
    uint32_t usbStatus = 0;
    uint32_t isoPacketOffset = 0;
    uint32_t isoPacketLength = 0;
    uint32_t bufferOffset = Rec::kHeaderSize;
    uint32_t bufferLength = 0;
};

// Little-endian field access; reads past the end give 0 and writes past it are dropped, so a
// short record never takes a backend out of bounds.
uint16_t getLe16(std::span<const uint8_t> b, size_t off);
uint32_t getLe32(std::span<const uint8_t> b, size_t off);
void putLe16(std::span<uint8_t> b, size_t off, uint16_t v);
void putLe32(std::span<uint8_t> b, size_t off, uint32_t v);

// A fresh record: all zero except endpoint 0xFF and data offset 38, with room for dataLength
// bytes after the header.
std::vector<uint8_t> makeRequestRecord(size_t dataLength);

// A control-transfer record: the setup fields, the time-out in whole seconds, endpoint 0 and a
// data area of wLength bytes.
std::vector<uint8_t> makeControlRecord(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                       uint16_t wIndex, uint16_t wLength, uint32_t timeoutSec);

// Decodes the first 38 bytes; false when the buffer is shorter than a header.
bool decodeRequestHeader(std::span<const uint8_t> rec, RequestHeader& out);
void encodeRequestHeader(const RequestHeader& h, std::span<uint8_t> rec);

// Endpoint time-out in milliseconds to the record's whole seconds, rounded up, saturated.
uint32_t timeoutSeconds(uint64_t ms);

}  // namespace TVR
