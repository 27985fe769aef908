#include "usbip_protocol.h"

#include <fmt/format.h>

namespace TVR::Usbip {

namespace {

uint32_t be32(std::span<const uint8_t> b, size_t off) {
    return (uint32_t{b[off]} << 24) | (uint32_t{b[off + 1]} << 16) | (uint32_t{b[off + 2]} << 8) |
           uint32_t{b[off + 3]};
}

void putBe32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    b[off] = static_cast<uint8_t>(v >> 24);
    b[off + 1] = static_cast<uint8_t>(v >> 16);
    b[off + 2] = static_cast<uint8_t>(v >> 8);
    b[off + 3] = static_cast<uint8_t>(v);
}

// Header layout: the basic part, then the command-specific part at offset 20.
constexpr size_t kOffCommand = 0;
constexpr size_t kOffSeqnum = 4;
constexpr size_t kOffDevid = 8;
constexpr size_t kOffDirection = 12;
constexpr size_t kOffEndpoint = 16;
constexpr size_t kOffFlags = 20;         // RET: status
constexpr size_t kOffLength = 24;        // RET: actual length
constexpr size_t kOffStartFrame = 28;
constexpr size_t kOffPackets = 32;
constexpr size_t kOffInterval = 36;      // RET: error count
constexpr size_t kOffSetup = 40;
constexpr size_t kOffUnlinkSeqnum = 20;  // CMD_UNLINK; RET_UNLINK: status

void putIso(std::vector<uint8_t>& out, const IsoPacket& p) {
    const size_t at = out.size();
    out.resize(at + kIsoDescriptorSize);
    putBe32(out, at, p.offset);
    putBe32(out, at + 4, p.length);
    putBe32(out, at + 8, p.actualLength);
    putBe32(out, at + 12, static_cast<uint32_t>(p.status));
}

std::vector<uint8_t> basic(uint32_t command, uint32_t seqnum, uint32_t devid, uint32_t direction,
                           uint32_t endpoint) {
    std::vector<uint8_t> out(kHeaderSize, 0);
    putBe32(out, kOffCommand, command);
    putBe32(out, kOffSeqnum, seqnum);
    putBe32(out, kOffDevid, devid);
    putBe32(out, kOffDirection, direction);
    putBe32(out, kOffEndpoint, endpoint);
    return out;
}

}  // namespace

std::optional<CommandHeader> decodeCommandHeader(std::span<const uint8_t, kHeaderSize> bytes,
                                                 size_t& followingBytes, std::string& error) {
    CommandHeader h;
    h.command = be32(bytes, kOffCommand);
    h.seqnum = be32(bytes, kOffSeqnum);
    h.devid = be32(bytes, kOffDevid);
    h.direction = be32(bytes, kOffDirection);
    h.endpoint = be32(bytes, kOffEndpoint);
    followingBytes = 0;
    if (h.command == kCmdUnlink) {
        h.unlinkSeqnum = be32(bytes, kOffUnlinkSeqnum);
        return h;
    }
    if (h.command != kCmdSubmit) {
        error = fmt::format("unknown USB/IP command {:#x}", h.command);
        return std::nullopt;
    }
    if (h.direction != kDirIn && h.direction != kDirOut) {
        error = fmt::format("bad direction {}", h.direction);
        return std::nullopt;
    }
    if (h.endpoint > 15) {
        error = fmt::format("bad endpoint {}", h.endpoint);
        return std::nullopt;
    }
    h.transferFlags = be32(bytes, kOffFlags);
    h.transferLength = be32(bytes, kOffLength);
    h.startFrame = static_cast<int32_t>(be32(bytes, kOffStartFrame));
    h.numberOfPackets = static_cast<int32_t>(be32(bytes, kOffPackets));
    h.interval = static_cast<int32_t>(be32(bytes, kOffInterval));
    // Some hosts mark non-isochronous URBs with -1 packets.
    if (h.numberOfPackets == -1) h.numberOfPackets = 0;
    if (h.transferLength > kMaxTransferLength || h.numberOfPackets < 0 ||
        h.numberOfPackets > kMaxIsoPackets) {
        error = fmt::format("transfer of {} bytes in {} packets out of range", h.transferLength,
                            h.numberOfPackets);
        return std::nullopt;
    }
    const auto* s = bytes.data() + kOffSetup;
    h.setup = {s[0], s[1], static_cast<uint16_t>(s[2] | s[3] << 8),
               static_cast<uint16_t>(s[4] | s[5] << 8), static_cast<uint16_t>(s[6] | s[7] << 8)};
    if (h.direction == kDirOut) followingBytes += h.transferLength;
    followingBytes += static_cast<size_t>(h.numberOfPackets) * kIsoDescriptorSize;
    return h;
}

bool completeSubmit(const CommandHeader& h, std::span<const uint8_t> following, Submit& out,
                    std::string& error) {
    const size_t dataBytes = h.direction == kDirOut ? h.transferLength : 0;
    const size_t isoBytes = static_cast<size_t>(h.numberOfPackets) * kIsoDescriptorSize;
    if (following.size() != dataBytes + isoBytes) {
        error = "submit body size mismatch";
        return false;
    }
    out = {};
    out.seqnum = h.seqnum;
    out.devid = h.devid;
    out.direction = h.direction;
    out.endpoint = h.endpoint;
    out.transferFlags = h.transferFlags;
    out.transferLength = h.transferLength;
    out.startFrame = h.startFrame;
    out.numberOfPackets = h.numberOfPackets;
    out.interval = h.interval;
    out.setup = h.setup;
    out.data.assign(following.begin(), following.begin() + static_cast<ptrdiff_t>(dataBytes));
    for (int32_t i = 0; i < h.numberOfPackets; ++i) {
        const size_t at = dataBytes + static_cast<size_t>(i) * kIsoDescriptorSize;
        IsoPacket p{be32(following, at), be32(following, at + 4), be32(following, at + 8),
                    static_cast<int32_t>(be32(following, at + 12))};
        if (p.offset > h.transferLength || p.length > h.transferLength - p.offset) {
            error = fmt::format("isochronous packet {} outside the transfer", i);
            return false;
        }
        out.packets.push_back(p);
    }
    return true;
}

std::vector<uint8_t> encodeSubmit(const Submit& s) {
    auto out = basic(kCmdSubmit, s.seqnum, s.devid, s.direction, s.endpoint);
    putBe32(out, kOffFlags, s.transferFlags);
    putBe32(out, kOffLength, s.transferLength);
    putBe32(out, kOffStartFrame, static_cast<uint32_t>(s.startFrame));
    putBe32(out, kOffPackets, static_cast<uint32_t>(s.numberOfPackets));
    putBe32(out, kOffInterval, static_cast<uint32_t>(s.interval));
    const SetupBytes& st = s.setup;
    const uint8_t setup[8] = {st.bmRequestType,
                              st.bRequest,
                              static_cast<uint8_t>(st.wValue),
                              static_cast<uint8_t>(st.wValue >> 8),
                              static_cast<uint8_t>(st.wIndex),
                              static_cast<uint8_t>(st.wIndex >> 8),
                              static_cast<uint8_t>(st.wLength),
                              static_cast<uint8_t>(st.wLength >> 8)};
    std::copy(std::begin(setup), std::end(setup), out.begin() + kOffSetup);
    if (!s.isIn()) out.insert(out.end(), s.data.begin(), s.data.end());
    for (const auto& p : s.packets) putIso(out, p);
    return out;
}

std::vector<uint8_t> encodeUnlink(const Unlink& u) {
    auto out = basic(kCmdUnlink, u.seqnum, u.devid, kDirOut, 0);
    putBe32(out, kOffUnlinkSeqnum, u.target);
    return out;
}

std::vector<uint8_t> encodeRetSubmit(const Submit& s, const SubmitReply& r) {
    auto out = basic(kRetSubmit, s.seqnum, 0, 0, 0);
    uint32_t actual = 0;
    if (s.isIn()) {
        actual = static_cast<uint32_t>(r.data.size());
    } else if (r.status == kStatusOk) {
        actual = s.transferLength;
    }
    putBe32(out, kOffFlags, static_cast<uint32_t>(r.status));
    putBe32(out, kOffLength, actual);
    putBe32(out, kOffStartFrame, static_cast<uint32_t>(r.startFrame));
    putBe32(out, kOffPackets, static_cast<uint32_t>(s.numberOfPackets));
    putBe32(out, kOffInterval, static_cast<uint32_t>(r.errorCount));
    if (s.isIn()) out.insert(out.end(), r.data.begin(), r.data.end());
    if (s.isIso()) {
        for (int32_t i = 0; i < s.numberOfPackets; ++i) {
            const auto idx = static_cast<size_t>(i);
            if (idx >= s.packets.size()) break;
            IsoPacket p = idx < r.packets.size() ? r.packets[idx] : IsoPacket{};
            p.offset = s.packets[idx].offset;
            p.length = s.packets[idx].length;
            putIso(out, p);
        }
    }
    return out;
}

std::vector<uint8_t> encodeRetUnlink(uint32_t seqnum, int32_t status) {
    auto out = basic(kRetUnlink, seqnum, 0, 0, 0);
    putBe32(out, kOffUnlinkSeqnum, static_cast<uint32_t>(status));
    return out;
}

ReplyHeader decodeReplyHeader(std::span<const uint8_t, kHeaderSize> bytes) {
    ReplyHeader h;
    h.command = be32(bytes, kOffCommand);
    h.seqnum = be32(bytes, kOffSeqnum);
    h.status = static_cast<int32_t>(be32(bytes, kOffFlags));
    h.actualLength = static_cast<int32_t>(be32(bytes, kOffLength));
    h.startFrame = static_cast<int32_t>(be32(bytes, kOffStartFrame));
    h.numberOfPackets = static_cast<int32_t>(be32(bytes, kOffPackets));
    h.errorCount = static_cast<int32_t>(be32(bytes, kOffInterval));
    return h;
}

}  // namespace TVR::Usbip
