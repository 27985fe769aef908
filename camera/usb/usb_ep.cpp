#include "usb_ep.h"

#include "usb/debugger_output.h"
#include "usb/request_record.h"

namespace TVR {

namespace {

constexpr uint32_t kAbortWaitMs = 100;
// After a time-out the driver gets a short grace period to complete the aborted request, then
// a second abort and a longer one.
constexpr uint32_t kFirstAbortGraceMs = 50;
constexpr uint32_t kSecondAbortGraceMs = 500;

}  // namespace

UsbEP::UsbEP(UsbDriverHandle* handle, const UsbEndpointDescriptor& desc,
             const std::optional<UsbSsCompanionDescriptor>& companion, uint32_t timeoutMs)
    : m_handle(handle),
      m_desc(desc),
      m_companion(companion),
      m_transferUnit(desc.maxTransferUnit),
      m_timeoutMs(timeoutMs) {
    if (m_companion) {
        m_transferUnit *= m_companion->bMaxBurst + 1u;
        if (m_desc.transferType() == EpType::kIsochronous) {
            m_transferUnit *= (m_companion->bmAttributes & 3u) + 1;
        }
    }
}

UsbEP::~UsbEP() = default;

bool UsbEP::isIn() const {
    if (m_desc.transferType() == EpType::kControl) {
        debugOut(
            "Control EP is bi-directional so using its address to figure out direction is wrong!");
        return false;
    }
    return (m_desc.bEndpointAddress & 0x80) != 0;
}

std::vector<uint8_t> UsbEP::makeRecord(size_t extraBytes) const {
    auto record = makeRequestRecord(extraBytes);
    record[Rec::kEndpoint] = address();
    putLe32(record, Rec::kTimeout, timeoutSeconds(m_timeoutMs));
    return record;
}

UsbRequest UsbEP::submit(uint32_t code, std::vector<uint8_t> record, std::span<uint8_t> out,
                         UsbOverlapped& ov, bool recordIsOutput) const {
    UsbRequest request;
    request.record = std::move(record);
    if (!m_handle) return request;
    if (recordIsOutput) out = request.record;
    request.submit = m_handle->ioControl(code, request.record, out, &ov, nullptr);
    return request;
}

UsbRequest UsbEP::startTransfer(std::span<uint8_t> data, UsbOverlapped& ov) {
    auto record = makeRecord(0);
    putLe32(record, Rec::kBufferOffset, 0);
    putLe32(record, Rec::kBufferLength, 0);
    return submit(Ioctl::kBulkTransfer, std::move(record), data, ov);
}

bool UsbEP::wait(const UsbRequest& request, UsbOverlapped& ov) {
    switch (request.submit) {
        case IoSubmit::Done:
            return true;
        case IoSubmit::Failed:
            return false;
        case IoSubmit::Pending:
            break;
    }
    if (ov.wait(m_timeoutMs)) return true;
    abort();
    if (!ov.wait(kFirstAbortGraceMs)) {
        abort();
        ov.wait(kSecondAbortGraceMs);
    }
    // A request the driver still holds must not write the record while finish reads it.
    ov.state()->detach();
    return false;
}

bool UsbEP::finishTransfer(std::span<uint8_t> data, uint32_t& bytes, UsbOverlapped& ov,
                           UsbRequest& request) {
    uint32_t count = 0;
    const bool ok = ov.result(count);
    const uint32_t dataOffset = getLe32(request.record, Rec::kBufferOffset);
    if (dataOffset != 0) count = count > dataOffset ? count - dataOffset : 0;
    bytes = count;
    m_ntStatus = getLe32(request.record, Rec::kNtStatus);
    m_usbStatus = getLe32(request.record, Rec::kUsbStatus);
    if (ok) copyOut(data, count, request);
    return ok && m_ntStatus == 0 && m_usbStatus == 0;
}

void UsbEP::copyOut(std::span<uint8_t>, uint32_t, const UsbRequest&) {}

bool UsbEP::transfer(std::span<uint8_t> data, uint32_t& bytes) {
    bytes = 0;
    UsbRequest request;
    // Declared after the record and the caller's data: a request the driver never finished is
    // detached before they go.
    UsbOverlapped ov;
    request = startTransfer(data, ov);
    const bool waited = wait(request, ov);
    const bool finished = finishTransfer(data, bytes, ov, request);
    return waited && finished;
}

bool UsbEP::abort() {
    if (!m_handle) return false;
    uint8_t endpoint = address();
    UsbOverlapped ov;
    switch (m_handle->ioControl(Ioctl::kAbortPipe, std::span<uint8_t>(&endpoint, 1), {}, &ov,
                                nullptr)) {
        case IoSubmit::Done:
            return true;
        case IoSubmit::Failed:
            return false;
        case IoSubmit::Pending:
            break;
    }
    return ov.wait(kAbortWaitMs);
}

}  // namespace TVR
