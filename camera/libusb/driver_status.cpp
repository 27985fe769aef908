#include "driver_status.h"

#include <libusb.h>

namespace TVR::Libusb {

DriverStatus driverStatus(TransferOutcome outcome) {
    switch (outcome) {
        case TransferOutcome::Completed:
            return {NtStatus::kSuccess, UsbdStatus::kSuccess};
        case TransferOutcome::Failed:
            return {NtStatus::kUnsuccessful, UsbdStatus::kRequestFailed};
        case TransferOutcome::TimedOut:
            return {NtStatus::kIoTimeout, UsbdStatus::kTimeout};
        case TransferOutcome::Cancelled:
            return {NtStatus::kCancelled, UsbdStatus::kCanceled};
        case TransferOutcome::Stalled:
            return {NtStatus::kUnsuccessful, UsbdStatus::kStallPid};
        case TransferOutcome::NoDevice:
            return {NtStatus::kDeviceNotConnected, UsbdStatus::kDeviceGone};
        case TransferOutcome::Overflow:
            return {NtStatus::kDataOverrun, UsbdStatus::kBabbleDetected};
        case TransferOutcome::InvalidRequest:
            return {NtStatus::kInvalidParameter, UsbdStatus::kInvalidParameter};
    }
    return {NtStatus::kUnsuccessful, UsbdStatus::kRequestFailed};
}

TransferOutcome outcomeOfTransferStatus(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return TransferOutcome::Completed;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return TransferOutcome::TimedOut;
        case LIBUSB_TRANSFER_CANCELLED:
            return TransferOutcome::Cancelled;
        case LIBUSB_TRANSFER_STALL:
            return TransferOutcome::Stalled;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return TransferOutcome::NoDevice;
        case LIBUSB_TRANSFER_OVERFLOW:
            return TransferOutcome::Overflow;
        default:
            return TransferOutcome::Failed;
    }
}

TransferOutcome outcomeOfError(int error) {
    switch (error) {
        case LIBUSB_SUCCESS:
            return TransferOutcome::Completed;
        case LIBUSB_ERROR_TIMEOUT:
            return TransferOutcome::TimedOut;
        case LIBUSB_ERROR_PIPE:
            return TransferOutcome::Stalled;
        case LIBUSB_ERROR_NO_DEVICE:
            return TransferOutcome::NoDevice;
        case LIBUSB_ERROR_OVERFLOW:
            return TransferOutcome::Overflow;
        case LIBUSB_ERROR_INVALID_PARAM:
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return TransferOutcome::InvalidRequest;
        case LIBUSB_ERROR_INTERRUPTED:
            return TransferOutcome::Cancelled;
        default:
            return TransferOutcome::Failed;
    }
}

}  // namespace TVR::Libusb
