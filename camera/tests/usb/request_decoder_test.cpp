#include <gtest/gtest.h>

#include "usb/request_decoder.h"
#include "usb/request_record.h"

namespace TVR {
namespace {

TEST(ControlRequest, DecodesSetupPacketInWireOrder) {
    const auto rec = makeControlRecord(0xC0, 0xB5, 0x1234, 0xBEEF, 300, 2);
    std::string error;
    const auto r = decodeControlRequest(rec, error);
    ASSERT_TRUE(r) << error;
    const std::array<uint8_t, kSetupSize> wire{0xC0, 0xB5, 0x34, 0x12, 0xEF, 0xBE, 0x2C, 0x01};
    EXPECT_EQ(r->setup, wire);
    EXPECT_TRUE(r->in());
    EXPECT_EQ(r->wLength, 300);
    EXPECT_EQ(r->dataOffset, 38u);
    EXPECT_EQ(r->timeoutSec, 2u);

    // A record with no time-out: the backend picks its own.
    auto desc = makeControlRecord(0x80, 6, 0x0100, 0, 18, 0);
    const auto d = decodeControlRequest(desc, error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->setup[3], 0x01);
    EXPECT_EQ(d->setup[6], 18);
    EXPECT_EQ(d->timeoutSec, 0u);

    const auto out = decodeControlRequest(makeControlRecord(0x40, 0xA0, 1, 2, 0, 1), error);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->in());
}

TEST(ControlRequest, RejectsDataAreasOutsideTheRecord) {
    std::string error;
    std::vector<uint8_t> shortRec(37, 0);
    EXPECT_FALSE(decodeControlRequest(shortRec, error));
    EXPECT_FALSE(error.empty());

    auto rec = makeControlRecord(0xC0, 1, 0, 0, 16, 1);
    putLe16(rec, Rec::kLength, 17);  // one byte past the end
    putLe32(rec, Rec::kBufferLength, 17);
    EXPECT_FALSE(decodeControlRequest(rec, error));
    putLe16(rec, Rec::kLength, 16);
    putLe32(rec, Rec::kBufferLength, 16);
    putLe32(rec, Rec::kBufferOffset, 10);  // data area over the header
    EXPECT_FALSE(decodeControlRequest(rec, error));
    putLe32(rec, Rec::kBufferOffset, 0xFFFFFFF0);  // wraps when added
    EXPECT_FALSE(decodeControlRequest(rec, error));
    putLe32(rec, Rec::kBufferOffset, 38);
    EXPECT_TRUE(decodeControlRequest(rec, error));
}

TEST(StreamRequest, TakesEndpointAndDirectionFromHeader) {
    auto rec = makeRequestRecord(0);
    std::string error;
    EXPECT_FALSE(decodeStreamRequest(rec, 64, error)) << "fresh record has endpoint 0xFF";
    rec[Rec::kEndpoint] = 0x84;
    putLe32(rec, Rec::kTimeout, 5);
    const auto in = decodeStreamRequest(rec, 512, error);
    ASSERT_TRUE(in) << error;
    EXPECT_TRUE(in->in());
    EXPECT_EQ(in->length, 512u);
    EXPECT_EQ(in->timeoutSec, 5u);
    rec[Rec::kEndpoint] = 0x05;
    const auto out = decodeStreamRequest(rec, 0, error);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->in());
    rec[Rec::kEndpoint] = 0x00;
    EXPECT_FALSE(decodeStreamRequest(rec, 8, error));
    rec[Rec::kEndpoint] = 0x80;
    EXPECT_FALSE(decodeStreamRequest(rec, 8, error));
    rec[Rec::kEndpoint] = 0x84;
    EXPECT_FALSE(decodeStreamRequest(rec, size_t{1} << 31, error));
    EXPECT_FALSE(decodeStreamRequest(std::vector<uint8_t>(20, 0x84), 8, error));
}

TEST(IsochRequest, ChecksThePacketList) {
    auto rec = makeRequestRecord(4 * Rec::kIsoPacketSize);
    rec[Rec::kEndpoint] = 0x83;
    putLe32(rec, Rec::kIsoPacketOffset, 38);
    putLe32(rec, Rec::kIsoPacketLength, 4 * Rec::kIsoPacketSize);
    std::string error;
    const auto r = decodeIsochRequest(rec, 4096, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->packetCount, 4u);
    EXPECT_EQ(r->packetListOffset, 38u);
    EXPECT_EQ(r->stream.endpoint, 0x83);

    putLe32(rec, Rec::kIsoPacketLength, 33);  // not whole packets
    EXPECT_FALSE(decodeIsochRequest(rec, 4096, error));
    putLe32(rec, Rec::kIsoPacketLength, 0);
    EXPECT_FALSE(decodeIsochRequest(rec, 4096, error));
    putLe32(rec, Rec::kIsoPacketLength, 5 * Rec::kIsoPacketSize);  // past the record
    EXPECT_FALSE(decodeIsochRequest(rec, 4096, error));
    putLe32(rec, Rec::kIsoPacketLength, 8);
    putLe32(rec, Rec::kIsoPacketOffset, 0xFFFFFFFC);
    EXPECT_FALSE(decodeIsochRequest(rec, 4096, error));

    auto big = makeRequestRecord((kMaxIsoPackets + 1) * Rec::kIsoPacketSize);
    big[Rec::kEndpoint] = 0x83;
    putLe32(big, Rec::kIsoPacketOffset, 38);
    putLe32(big, Rec::kIsoPacketLength, (kMaxIsoPackets + 1) * Rec::kIsoPacketSize);
    EXPECT_FALSE(decodeIsochRequest(big, 4096, error));
}

TEST(ControlRequest, RefusesLengthsThatDisagree) {
    // A device sees only wLength: a record whose data length says otherwise is refused rather
    // than trimmed to the shorter of the two.
    std::string error;
    auto rec = makeControlRecord(0xC0, 1, 0, 0, 8, 1);
    putLe32(rec, Rec::kBufferLength, 4);
    EXPECT_FALSE(decodeControlRequest(rec, error));
    EXPECT_NE(error.find("disagrees"), std::string::npos) << error;
    putLe32(rec, Rec::kBufferLength, 9);
    EXPECT_FALSE(decodeControlRequest(rec, error));
    putLe32(rec, Rec::kBufferLength, 8);
    EXPECT_TRUE(decodeControlRequest(rec, error));

    // Stream headers carry no data area: the caller's buffer is the data.
    auto bulk = makeRequestRecord(0);
    bulk[Rec::kEndpoint] = 0x84;
    EXPECT_TRUE(decodeStreamRequest(bulk, 64, error));
    putLe32(bulk, Rec::kBufferLength, 64);
    EXPECT_FALSE(decodeStreamRequest(bulk, 64, error));
}

TEST(AbortRequest, NeedsOneByte) {
    EXPECT_FALSE(decodeAbortRequest({}));
    const std::vector<uint8_t> in{0x84};
    EXPECT_EQ(decodeAbortRequest(in), 0x84);
}

TEST(RecordTimeout, SecondsToMillisecondsSaturated) {
    EXPECT_EQ(recordTimeoutMs(0), 0u);
    EXPECT_EQ(recordTimeoutMs(1), 1000u);
    EXPECT_EQ(recordTimeoutMs(0xFFFFFFFF), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace TVR
