#include <gtest/gtest.h>
#include <libusb.h>

#include "libusb/driver_status.h"
#include "libusb/transfer_request.h"
#include "usb/request_record.h"

namespace TVR::Libusb {
namespace {

TEST(ControlTransfer, SetupPacketThenData) {
    std::string error;
    auto write = makeControlRecord(0x40, 0xB5, 0x1234, 0xBEEF, 3, 2);
    write[Rec::kHeaderSize] = 7;
    write[Rec::kHeaderSize + 2] = 9;
    const auto w = buildControlTransfer(write, error);
    ASSERT_TRUE(w) << error;
    EXPECT_EQ(w->buffer,
              (std::vector<uint8_t>{0x40, 0xB5, 0x34, 0x12, 0xEF, 0xBE, 0x03, 0x00, 7, 0, 9}));
    EXPECT_EQ(w->timeoutMs, 2000u);

    // A read leaves room for the reply and takes nothing from the record's data area.
    auto read = makeControlRecord(0xC0, 0xB5, 0, 0, 3, 0);
    read[Rec::kHeaderSize] = 0x55;
    const auto r = buildControlTransfer(read, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->buffer.size(), kSetupSize + 3);
    EXPECT_EQ(r->buffer[kSetupSize], 0);
    EXPECT_EQ(r->timeoutMs, 0u);
}

TEST(StreamTransfer, CopiesOutDataAndCountsPackets) {
    std::string error;
    auto bulk = makeRequestRecord(0);
    bulk[Rec::kEndpoint] = 0x05;
    putLe32(bulk, Rec::kTimeout, 0xFFFFFFFF);
    const std::vector<uint8_t> data{1, 2, 3};
    const auto out = buildStreamTransfer(Ioctl::kBulkTransfer, bulk, data, error);
    ASSERT_TRUE(out) << error;
    EXPECT_FALSE(out->isoch);
    EXPECT_EQ(out->buffer, data);
    EXPECT_EQ(out->timeoutMs, 0xFFFFFFFFu) << "saturated";
    bulk[Rec::kEndpoint] = 0x84;
    const auto in = buildStreamTransfer(Ioctl::kBulkTransfer, bulk, data, error);
    ASSERT_TRUE(in) << error;
    EXPECT_EQ(in->buffer, (std::vector<uint8_t>{0, 0, 0}));
    const auto empty = buildStreamTransfer(Ioctl::kBulkTransfer, bulk, {}, error);
    ASSERT_TRUE(empty) << error;
    EXPECT_EQ(empty->buffer.size(), 1u) << "libusb needs a real pointer";

    auto iso = makeRequestRecord(2 * Rec::kIsoPacketSize);
    iso[Rec::kEndpoint] = 0x83;
    putLe32(iso, Rec::kIsoPacketOffset, 38);
    putLe32(iso, Rec::kIsoPacketLength, 2 * Rec::kIsoPacketSize);
    putLe32(iso, Rec::kBufferOffset, 0);
    const auto i = buildStreamTransfer(Ioctl::kIsochTransfer, iso, data, error);
    ASSERT_TRUE(i) << error;
    EXPECT_TRUE(i->isoch);
    EXPECT_EQ(i->packetCount, 2u);
    EXPECT_EQ(i->packetListOffset, 38u);
    EXPECT_FALSE(buildStreamTransfer(Ioctl::kAbortPipe, bulk, data, error));
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
