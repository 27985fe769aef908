#pragma once

// The NT and USB status pair a backend writes back into a request record, as the FX3 driver
// reports them, derived from how a libusb transfer ended.

#include <cstdint>

namespace TVR::Libusb {

enum class TransferOutcome {
    Completed,
    Failed,  // an I/O error without a more specific reason
    TimedOut,
    Cancelled,  // aborted by the caller or by closing the handle
    Stalled,
    NoDevice,        // unplugged
    Overflow,        // the device sent more than asked for
    InvalidRequest,  // refused before it reached the bus
};

namespace NtStatus {
inline constexpr uint32_t kSuccess = 0x00000000;
inline constexpr uint32_t kUnsuccessful = 0xC0000001;
inline constexpr uint32_t kInvalidParameter = 0xC000000D;
inline constexpr uint32_t kDataOverrun = 0xC000003C;
inline constexpr uint32_t kDeviceNotConnected = 0xC000009D;
inline constexpr uint32_t kIoTimeout = 0xC00000B5;
inline constexpr uint32_t kCancelled = 0xC0000120;
}  // namespace NtStatus

namespace UsbdStatus {
inline constexpr uint32_t kSuccess = 0x00000000;
inline constexpr uint32_t kStallPid = 0xC0000004;
inline constexpr uint32_t kBabbleDetected = 0xC0000012;
inline constexpr uint32_t kInvalidParameter = 0x80000300;
inline constexpr uint32_t kRequestFailed = 0x80000500;
inline constexpr uint32_t kTimeout = 0xC0006000;
inline constexpr uint32_t kDeviceGone = 0xC0007000;
inline constexpr uint32_t kCanceled = 0xC0010000;
}  // namespace UsbdStatus

struct DriverStatus {
    uint32_t ntStatus = NtStatus::kSuccess;
    uint32_t usbStatus = UsbdStatus::kSuccess;
};

DriverStatus driverStatus(TransferOutcome outcome);

// libusb's enum libusb_transfer_status of a completed transfer.
TransferOutcome outcomeOfTransferStatus(int libusbTransferStatus);
// libusb's negative enum libusb_error of a synchronous call or a failed submit.
TransferOutcome outcomeOfError(int libusbError);

}  // namespace TVR::Libusb
