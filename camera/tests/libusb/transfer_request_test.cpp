#include <gtest/gtest.h>
#include <libusb.h>

#include "driver_status.h"
#include "request_record.h"
#include "transfer_request.h"

namespace TVR::Libusb {
namespace {

std::vector<uint8_t> controlRecord(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                                   uint16_t length, uint32_t timeoutSec) {
    return makeControlRecord(type, request, value, index, length, timeoutSec);
}

TEST(ControlRequest, DecodesSetupPacketInWireOrder) {
    const auto rec = controlRecord(0xC0, 0xB5, 0x1234, 0xBEEF, 300, 2);
    std::string error;
    const auto r = decodeControlRequest(rec, error);
    ASSERT_TRUE(r) << error;
    const std::array<uint8_t, kSetupSize> wire{0xC0, 0xB5, 0x34, 0x12, 0xEF, 0xBE, 0x2C, 0x01};
    EXPECT_EQ(r->setup, wire);
    EXPECT_TRUE(r->in());
    EXPECT_EQ(r->wLength, 300);
    EXPECT_EQ(r->dataOffset, 38u);
    EXPECT_EQ(r->timeoutMs, 2000u);

    // The standard descriptor read of the USB layer: device-to-host, no data length field.
    auto desc = makeRequestRecord(18);
    desc[Rec::kRequestType] = 0x80;
    desc[Rec::kRequest] = 6;
    putLe16(desc, Rec::kValue, 0x0100);
    putLe16(desc, Rec::kLength, 18);
    const auto d = decodeControlRequest(desc, error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->setup[3], 0x01);
    EXPECT_EQ(d->setup[6], 18);
    EXPECT_EQ(d->timeoutMs, 0u);

    const auto out = decodeControlRequest(controlRecord(0x40, 0xA0, 1, 2, 0, 1), error);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->in());
}

TEST(ControlRequest, RejectsDataAreasOutsideTheRecord) {
    std::string error;
    std::vector<uint8_t> shortRec(37, 0);
    EXPECT_FALSE(decodeControlRequest(shortRec, error));
    EXPECT_FALSE(error.empty());

    auto rec = controlRecord(0xC0, 1, 0, 0, 16, 1);
    putLe16(rec, Rec::kLength, 17);  // one byte past the end
    EXPECT_FALSE(decodeControlRequest(rec, error));
    putLe16(rec, Rec::kLength, 16);
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
    EXPECT_EQ(in->timeoutMs, 5000u);
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

TEST(IsochRequest, PacketLengthsCoverTheBuffer) {
    EXPECT_EQ(isoPacketLengths(10000, 4, 3072), (std::vector<uint32_t>{3072, 3072, 3072, 784}));
    EXPECT_EQ(isoPacketLengths(10000, 4, 0), (std::vector<uint32_t>{2500, 2500, 2500, 2500}));
    EXPECT_EQ(isoPacketLengths(100, 3, 1024), (std::vector<uint32_t>{100, 0, 0}));
    EXPECT_EQ(isoPacketLengths(10, 3, 0), (std::vector<uint32_t>{4, 4, 2}));
    EXPECT_TRUE(isoPacketLengths(100, 0, 1024).empty());
}

TEST(IsochRequest, ServiceIntervalBytesFromDescriptors) {
    EXPECT_EQ(isoServiceIntervalBytes(1024, false, 0, 0), 1024u);
    EXPECT_EQ(isoServiceIntervalBytes(0x1400, false, 0, 0), 3072u);  // high bandwidth: 3 x 1024
    EXPECT_EQ(isoServiceIntervalBytes(0x1C00, false, 0, 0), 4096u);  // reserved bits 11-12 = 3
    EXPECT_EQ(isoServiceIntervalBytes(1024, true, 15, 2), 1024u * 16 * 3);
    EXPECT_EQ(isoServiceIntervalBytes(1024, true, 0, 0), 1024u);
    EXPECT_EQ(isoServiceIntervalBytes(0xFFFF, true, 0, 0), 0x7FFu);
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

TEST(DriverStatus, MapsLibusbOutcomes) {
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_COMPLETED), TransferOutcome::Completed);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_CANCELLED), TransferOutcome::Cancelled);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_TIMED_OUT), TransferOutcome::TimedOut);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_STALL), TransferOutcome::Stalled);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_NO_DEVICE), TransferOutcome::NoDevice);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_OVERFLOW), TransferOutcome::Overflow);
    EXPECT_EQ(outcomeOfTransferStatus(LIBUSB_TRANSFER_ERROR), TransferOutcome::Failed);
    EXPECT_EQ(outcomeOfTransferStatus(12345), TransferOutcome::Failed);
    EXPECT_EQ(outcomeOfError(LIBUSB_SUCCESS), TransferOutcome::Completed);
    EXPECT_EQ(outcomeOfError(LIBUSB_ERROR_PIPE), TransferOutcome::Stalled);
    EXPECT_EQ(outcomeOfError(LIBUSB_ERROR_TIMEOUT), TransferOutcome::TimedOut);
    EXPECT_EQ(outcomeOfError(LIBUSB_ERROR_NO_DEVICE), TransferOutcome::NoDevice);
    EXPECT_EQ(outcomeOfError(LIBUSB_ERROR_IO), TransferOutcome::Failed);

    // Only a completed transfer reports clean statuses; every failure sets both.
    EXPECT_EQ(driverStatus(TransferOutcome::Completed).ntStatus, 0u);
    EXPECT_EQ(driverStatus(TransferOutcome::Completed).usbStatus, 0u);
    for (auto o : {TransferOutcome::Failed, TransferOutcome::TimedOut, TransferOutcome::Cancelled,
                   TransferOutcome::Stalled, TransferOutcome::NoDevice, TransferOutcome::Overflow,
                   TransferOutcome::InvalidRequest}) {
        EXPECT_NE(driverStatus(o).ntStatus, 0u);
        EXPECT_NE(driverStatus(o).usbStatus, 0u);
    }
    EXPECT_EQ(driverStatus(TransferOutcome::Cancelled).ntStatus, NtStatus::kCancelled);
    EXPECT_EQ(driverStatus(TransferOutcome::Cancelled).usbStatus, UsbdStatus::kCanceled);
    EXPECT_EQ(driverStatus(TransferOutcome::Stalled).usbStatus, UsbdStatus::kStallPid);
    EXPECT_EQ(driverStatus(TransferOutcome::TimedOut).ntStatus, NtStatus::kIoTimeout);
}

}  // namespace
}  // namespace TVR::Libusb
