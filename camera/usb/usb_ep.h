#pragma once

// Endpoints of an opened device. UsbEP drives a bulk or interrupt endpoint and is the base of
// ControlEP (endpoint 0) and IsochEP. An endpoint is used from one thread at a time; different
// endpoints of a device may be driven from different threads, since every transfer has its own
// overlapped and request record.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "usb/usb_descriptors.h"
#include "usb/usb_driver.h"

namespace TVR {

// A submitted transfer: the request record the driver reads and writes, and how the submission
// went. It must outlive the transfer's overlapped (declare the overlapped after it).
struct UsbRequest {
    std::vector<uint8_t> record;
    IoSubmit submit = IoSubmit::Failed;
};

class UsbEP {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 2000;

    // The handle is not owned; it outlives the endpoint.
    UsbEP(UsbDriverHandle* handle, const UsbEndpointDescriptor& desc,
          const std::optional<UsbSsCompanionDescriptor>& companion = std::nullopt,
          uint32_t timeoutMs = kDefaultTimeoutMs);
    virtual ~UsbEP();
    UsbEP(const UsbEP&) = delete;
    UsbEP& operator=(const UsbEP&) = delete;

    // Bit 7 of the endpoint address. A control endpoint is bidirectional and answers false.
    virtual bool isIn() const;
    // Builds the driver request for `data` and submits it overlapped on `ov`. The data span and
    // the returned record must stay valid until finishTransfer() or until `ov` is destroyed.
    virtual UsbRequest startTransfer(std::span<uint8_t> data, UsbOverlapped& ov);
    // Waits for the submitted request up to the endpoint time-out; a request that does not
    // complete in time is aborted and reported as failed.
    bool wait(const UsbRequest& request, UsbOverlapped& ov);
    // Reads the result and the driver statuses; true only when the driver reported success and
    // both statuses are 0. `bytes` is the data moved.
    bool finishTransfer(std::span<uint8_t> data, uint32_t& bytes, UsbOverlapped& ov,
                        UsbRequest& request);
    // start, wait and finish with an overlapped of its own.
    bool transfer(std::span<uint8_t> data, uint32_t& bytes);
    // Aborts every transfer on the endpoint; waits at most 100 ms for the driver to confirm.
    bool abort();

    uint8_t address() const { return m_desc.bEndpointAddress; }
    const UsbEndpointDescriptor& descriptor() const { return m_desc; }
    const std::optional<UsbSsCompanionDescriptor>& companion() const { return m_companion; }
    // Bytes the endpoint moves per service interval.
    uint32_t transferUnit() const { return m_transferUnit; }

    uint32_t timeout() const { return m_timeoutMs; }
    void setTimeout(uint32_t ms) { m_timeoutMs = ms; }
    // Statuses of the last finished transfer.
    uint32_t ntStatus() const { return m_ntStatus; }
    uint32_t usbStatus() const { return m_usbStatus; }

protected:
    UsbDriverHandle* handle() const { return m_handle; }
    void setTransferUnit(uint32_t unit) { m_transferUnit = unit; }
    // A fresh record with the endpoint's address and time-out filled in.
    std::vector<uint8_t> makeRecord(size_t extraBytes) const;
    // Submits the record with `code`; the driver's output goes to `out`, or back into the
    // record itself.
    UsbRequest submit(uint32_t code, std::vector<uint8_t> record, std::span<uint8_t> out,
                      UsbOverlapped& ov, bool recordIsOutput = false) const;
    // Copies what the transfer produced from the record to the caller; nothing for endpoints
    // whose data goes straight to the caller's buffer.
    virtual void copyOut(std::span<uint8_t> data, uint32_t bytes, const UsbRequest& request);

private:
    UsbDriverHandle* m_handle;
    UsbEndpointDescriptor m_desc;
    std::optional<UsbSsCompanionDescriptor> m_companion;
    uint32_t m_transferUnit = 0;
    uint32_t m_timeoutMs;
    uint32_t m_ntStatus = 0;
    uint32_t m_usbStatus = 0;
};

}  // namespace TVR
