#include <gtest/gtest.h>

#include "usbip/usbip_protocol.h"

namespace TVR::Usbip {
namespace {

std::optional<Submit> roundTrip(const Submit& s, std::string& error) {
    const auto bytes = encodeSubmit(s);
    size_t following = 0;
    auto h = decodeCommandHeader(std::span<const uint8_t, kHeaderSize>(bytes.data(), kHeaderSize),
                                 following, error);
    if (!h) return std::nullopt;
    if (following != bytes.size() - kHeaderSize) {
        error = "following size";
        return std::nullopt;
    }
    Submit out;
    if (!completeSubmit(*h, std::span<const uint8_t>(bytes).subspan(kHeaderSize), out, error)) {
        return std::nullopt;
    }
    return out;
}

TEST(UsbipProtocol, SubmitsRoundTripWithSetupDataAndPackets) {
    std::string error;
    Submit control;
    control.seqnum = 7;
    control.devid = 0x10002;
    control.direction = kDirIn;
    control.transferLength = 18;
    control.setup = {0x80, 6, 0x0100, 0, 18};
    auto c = roundTrip(control, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->seqnum, 7u);
    EXPECT_EQ(c->devid, 0x10002u);
    EXPECT_EQ(c->setup.wValue, 0x0100);
    EXPECT_EQ(c->setup.wLength, 18);
    EXPECT_TRUE(c->data.empty());
    EXPECT_EQ(c->address(), 0);

    Submit bulk;
    bulk.direction = kDirOut;
    bulk.endpoint = 5;
    bulk.data = {1, 2, 3, 4, 5};
    bulk.transferLength = 5;
    auto b = roundTrip(bulk, error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->data, bulk.data);
    EXPECT_EQ(b->address(), 0x05);

    Submit iso;
    iso.direction = kDirIn;
    iso.endpoint = 1;
    iso.transferLength = 3000;
    iso.numberOfPackets = 3;
    iso.packets = {{0, 1000, 0, 0}, {1000, 1000, 0, 0}, {2000, 1000, 0, 0}};
    auto i = roundTrip(iso, error);
    ASSERT_TRUE(i) << error;
    ASSERT_EQ(i->packets.size(), 3u);
    EXPECT_EQ(i->packets[2].offset, 2000u);
    EXPECT_EQ(i->address(), 0x81);
}

TEST(UsbipProtocol, HostileHeadersAreRefused) {
    std::string error;
    size_t following = 0;
    Submit s;
    s.direction = kDirOut;
    s.transferLength = kMaxTransferLength + 1;
    auto bytes = encodeSubmit(s);
    EXPECT_FALSE(decodeCommandHeader(
        std::span<const uint8_t, kHeaderSize>(bytes.data(), kHeaderSize), following, error));

    bytes[3] = 9;  // no such command
    EXPECT_FALSE(decodeCommandHeader(
        std::span<const uint8_t, kHeaderSize>(bytes.data(), kHeaderSize), following, error));
    EXPECT_NE(error.find("unknown"), std::string::npos);

    // A packet reaching past the transfer buffer.
    Submit iso;
    iso.direction = kDirIn;
    iso.endpoint = 1;
    iso.transferLength = 100;
    iso.numberOfPackets = 1;
    iso.packets = {{50, 60, 0, 0}};
    EXPECT_FALSE(roundTrip(iso, error));
}

TEST(UsbipProtocol, MinusOnePacketsMeansNotIsochronous) {
    Submit s;
    s.direction = kDirIn;
    s.endpoint = 4;
    s.transferLength = 512;
    s.numberOfPackets = -1;
    std::string error;
    auto out = roundTrip(s, error);
    ASSERT_TRUE(out) << error;
    EXPECT_FALSE(out->isIso());
}

TEST(UsbipProtocol, IsochronousReplyCarriesPackedDataThenDescriptors) {
    Submit iso;
    iso.seqnum = 3;
    iso.direction = kDirIn;
    iso.endpoint = 1;
    iso.transferLength = 2048;
    iso.numberOfPackets = 2;
    iso.packets = {{0, 1024, 0, 0}, {1024, 1024, 0, 0}};
    SubmitReply r;
    r.data = {9, 9, 9, 8, 8};
    r.packets = {{0, 1024, 3, 0}, {1024, 1024, 2, 0}};
    const auto bytes = encodeRetSubmit(iso, r);
    ASSERT_EQ(bytes.size(), kHeaderSize + 5 + 2 * kIsoDescriptorSize);
    const auto h =
        decodeReplyHeader(std::span<const uint8_t, kHeaderSize>(bytes.data(), kHeaderSize));
    EXPECT_EQ(h.command, kRetSubmit);
    EXPECT_EQ(h.seqnum, 3u);
    EXPECT_EQ(h.actualLength, 5);
    EXPECT_EQ(h.numberOfPackets, 2);
    // Second descriptor: offset 1024, length 1024, actual 2.
    const uint8_t* d = bytes.data() + kHeaderSize + 5 + kIsoDescriptorSize;
    EXPECT_EQ(d[2], 0x04);
    EXPECT_EQ(d[11], 2);

    const auto unlink = encodeRetUnlink(9, kStatusUnlinked);
    const auto u =
        decodeReplyHeader(std::span<const uint8_t, kHeaderSize>(unlink.data(), kHeaderSize));
    EXPECT_EQ(u.command, kRetUnlink);
    EXPECT_EQ(u.status, -104);
}

}  // namespace
}  // namespace TVR::Usbip
