#pragma once

// The USB/IP wire protocol between the kernel's virtual host controller (vhci_hcd) and a
// device server: 48-byte big-endian headers for URB submission and unlinking, each followed
// by the OUT data (commands) or IN data (replies) and, for isochronous URBs, 16-byte packet
// descriptors. Headers come from the kernel; decoding is bounds-checked all the same.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace TVR::Usbip {

inline constexpr uint32_t kCmdSubmit = 1;
inline constexpr uint32_t kCmdUnlink = 2;
inline constexpr uint32_t kRetSubmit = 3;
inline constexpr uint32_t kRetUnlink = 4;

inline constexpr uint32_t kDirOut = 0;
inline constexpr uint32_t kDirIn = 1;

inline constexpr size_t kHeaderSize = 48;
inline constexpr size_t kIsoDescriptorSize = 16;
// Larger transfers than this are refused as corrupt streams: nothing a camera driver submits
// comes near it.
inline constexpr uint32_t kMaxTransferLength = 64u << 20;
inline constexpr int32_t kMaxIsoPackets = 1024;

// Linux error numbers as the kernel expects them in a reply's status.
inline constexpr int32_t kStatusOk = 0;
inline constexpr int32_t kStatusStall = -32;        // -EPIPE
inline constexpr int32_t kStatusUnlinked = -104;    // -ECONNRESET
inline constexpr int32_t kStatusNoDevice = -19;     // -ENODEV
inline constexpr int32_t kStatusShutdown = -108;    // -ESHUTDOWN

struct IsoPacket {
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t actualLength = 0;
    int32_t status = 0;
};

struct SetupBytes {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
};

// One URB submitted by the host.
struct Submit {
    uint32_t seqnum = 0;
    uint32_t devid = 0;
    uint32_t direction = kDirOut;
    uint32_t endpoint = 0;  // number without the direction bit
    uint32_t transferFlags = 0;
    uint32_t transferLength = 0;
    int32_t startFrame = 0;
    int32_t numberOfPackets = 0;  // 0 for non-isochronous URBs
    int32_t interval = 0;
    SetupBytes setup;
    std::vector<uint8_t> data;  // OUT data (transferLength bytes); empty for IN
    std::vector<IsoPacket> packets;

    bool isIn() const { return direction == kDirIn; }
    bool isIso() const { return numberOfPackets > 0; }
    // The endpoint address with the direction bit, 0 for the control endpoint.
    uint8_t address() const {
        return static_cast<uint8_t>((endpoint & 0x0F) | (endpoint != 0 && isIn() ? 0x80 : 0));
    }
};

struct Unlink {
    uint32_t seqnum = 0;
    uint32_t devid = 0;
    uint32_t target = 0;  // seqnum of the URB to unlink
};

// The server's answer to a Submit. For IN transfers `data` holds what was read; for
// isochronous IN the packets' actual lengths say how it splits (the data is sent packed).
struct SubmitReply {
    int32_t status = kStatusOk;
    std::vector<uint8_t> data;
    std::vector<IsoPacket> packets;
    int32_t startFrame = 0;
    int32_t errorCount = 0;
};

// The 48-byte header of an incoming command, decoded.
struct CommandHeader {
    uint32_t command = 0;
    uint32_t seqnum = 0;
    uint32_t devid = 0;
    uint32_t direction = 0;
    uint32_t endpoint = 0;
    // CMD_SUBMIT
    uint32_t transferFlags = 0;
    uint32_t transferLength = 0;
    int32_t startFrame = 0;
    int32_t numberOfPackets = 0;
    int32_t interval = 0;
    SetupBytes setup;
    // CMD_UNLINK
    uint32_t unlinkSeqnum = 0;
};

// Decodes a command header; empty with `error` set when the command is unknown or its sizes
// are out of range. `followingBytes` tells how many bytes of data and packet descriptors the
// stream carries after the header.
std::optional<CommandHeader> decodeCommandHeader(std::span<const uint8_t, kHeaderSize> bytes,
                                                 size_t& followingBytes, std::string& error);
// Fills a Submit from a decoded header and the bytes that followed it.
bool completeSubmit(const CommandHeader& h, std::span<const uint8_t> following, Submit& out,
                    std::string& error);

std::vector<uint8_t> encodeSubmit(const Submit& s);  // what the host sends
std::vector<uint8_t> encodeUnlink(const Unlink& u);
// A RET_SUBMIT for `s` with the reply's status and data; IN data only for IN transfers.
std::vector<uint8_t> encodeRetSubmit(const Submit& s, const SubmitReply& r);
std::vector<uint8_t> encodeRetUnlink(uint32_t seqnum, int32_t status);

// Reply side decoding for the host end of tests: header fields of RET_SUBMIT / RET_UNLINK.
struct ReplyHeader {
    uint32_t command = 0;
    uint32_t seqnum = 0;
    int32_t status = 0;
    int32_t actualLength = 0;
    int32_t startFrame = 0;
    int32_t numberOfPackets = 0;
    int32_t errorCount = 0;
};
ReplyHeader decodeReplyHeader(std::span<const uint8_t, kHeaderSize> bytes);

}  // namespace TVR::Usbip
