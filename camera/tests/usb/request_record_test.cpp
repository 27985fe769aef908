#include <gtest/gtest.h>

#include "usb/request_record.h"

namespace TVR {
namespace {

TEST(RequestRecord, FreshRecordAndRoundTrip) {
    auto rec = makeRequestRecord(10);
    ASSERT_EQ(rec.size(), 48u);
    RequestHeader h;
    ASSERT_TRUE(decodeRequestHeader(rec, h));
    EXPECT_EQ(h.endpoint, 0xFF);
    EXPECT_EQ(h.bufferOffset, 38u);
    EXPECT_EQ(h.bufferLength, 0u);
    EXPECT_EQ(h.timeoutSec, 0u);
    for (size_t i = 0; i < rec.size(); ++i) {
        if (i != Rec::kEndpoint && i != Rec::kBufferOffset) {
            EXPECT_EQ(rec[i], 0) << i;
        }
    }

    h.bmRequestType = 0xC0;
    h.bRequest = 0xAB;
    h.wValue = 0x1234;
    h.wIndex = 0xBEEF;
    h.wLength = 4;
    h.timeoutSec = 0xA1B2C3D4;
    h.bufferLength = 4;
    encodeRequestHeader(h, rec);
    EXPECT_EQ(rec[2], 0x34);
    EXPECT_EQ(rec[3], 0x12);
    EXPECT_EQ(rec[8], 0xD4);
    EXPECT_EQ(rec[11], 0xA1);
    EXPECT_EQ(rec[34], 4);
    RequestHeader back;
    ASSERT_TRUE(decodeRequestHeader(rec, back));
    EXPECT_EQ(back.wIndex, 0xBEEF);
    EXPECT_EQ(back.timeoutSec, 0xA1B2C3D4u);
}

TEST(RequestRecord, ShortBuffersAreSafe) {
    std::vector<uint8_t> tiny(5, 0xAA);
    RequestHeader h;
    EXPECT_FALSE(decodeRequestHeader(tiny, h));
    EXPECT_EQ(getLe32(tiny, 3), 0u);
    putLe32(tiny, 3, 0);  // dropped, not written past the end
    EXPECT_EQ(tiny[3], 0xAA);
    // Offsets near the top of the range must not wrap into a "fits" answer.
    const size_t huge = SIZE_MAX - 1;
    EXPECT_EQ(getLe16(tiny, huge), 0u);
    EXPECT_EQ(getLe32(tiny, SIZE_MAX - 2), 0u);
    putLe16(tiny, huge, 0);
    putLe32(tiny, SIZE_MAX - 2, 0);
    EXPECT_EQ(tiny, std::vector<uint8_t>(5, 0xAA));
}

TEST(RequestRecord, TimeoutRoundsUpAndSaturates) {
    EXPECT_EQ(timeoutSeconds(0), 0u);
    EXPECT_EQ(timeoutSeconds(50), 1u);
    EXPECT_EQ(timeoutSeconds(1000), 1u);
    EXPECT_EQ(timeoutSeconds(1001), 2u);
    EXPECT_EQ(timeoutSeconds(UINT64_C(0xFFFFFFFF) * 1000 + 5000), 0xFFFFFFFFu);
    EXPECT_EQ(timeoutSeconds(UINT64_MAX), 0xFFFFFFFFu) << "must not wrap to no time-out";
}

TEST(RequestRecord, ControlRecordCarriesTheSetupFields) {
    const auto rec = makeControlRecord(0xC0, 0xAB, 0x1234, 0x0410, 4, 1);
    ASSERT_EQ(rec.size(), 38u + 4);
    RequestHeader h;
    ASSERT_TRUE(decodeRequestHeader(rec, h));
    EXPECT_EQ(h.bmRequestType, 0xC0);
    EXPECT_EQ(h.bRequest, 0xAB);
    EXPECT_EQ(h.wValue, 0x1234);
    EXPECT_EQ(h.wIndex, 0x0410);
    EXPECT_EQ(h.wLength, 4);
    EXPECT_EQ(h.timeoutSec, 1u);
    EXPECT_EQ(h.endpoint, 0) << "the control endpoint, not a fresh record's 0xFF";
    EXPECT_EQ(h.bufferOffset, 38u);
    EXPECT_EQ(h.bufferLength, 4u);
}

}  // namespace
}  // namespace TVR
