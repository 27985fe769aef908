#pragma once

// The driver interface at the I/O-control level. A backend (libusb, the simulated camera, a
// future Windows driver) lists interface paths, opens one, and carries out request records
// submitted with the FX3 driver's I/O-control codes (request_record.h). Completion is
// overlapped: the caller waits on a UsbOverlapped with a time-out and may abort the endpoint.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "usb/guid.h"

namespace TVR {

// Outcome of submitting an I/O-control request.
enum class IoSubmit {
    Done,     // completed synchronously; the overlapped (if any) is signalled too
    Pending,  // in flight; wait on the overlapped
    Failed,   // rejected; nothing is in flight
};

// Shared completion state between a caller's UsbOverlapped and the backend. The backend finishes
// a request through complete(), which runs its copy-out step under the lock only while the caller
// is still there, so an abandoned (timed-out, destroyed) request never writes freed memory.
class OverlappedState {
public:
    // Called by the backend once. fill() copies results into the caller's buffers; it is skipped
    // when the caller has already detached.
    void complete(bool ok, uint32_t bytes, const std::function<void()>& fill);
    // Caller side.
    bool wait(uint32_t timeoutMs);
    bool signalled() const;
    bool result(uint32_t& bytes) const;  // false while pending or when the request failed
    void reset();
    void detach();
    bool detached() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
    bool m_detached = false;
    bool m_ok = false;
    uint32_t m_bytes = 0;
};

// The caller's event + overlapped structure. Destruction detaches it from the backend: declare
// it after the buffers it covers so it is destroyed first.
class UsbOverlapped {
public:
    UsbOverlapped();
    ~UsbOverlapped();
    UsbOverlapped(const UsbOverlapped&) = delete;
    UsbOverlapped& operator=(const UsbOverlapped&) = delete;

    // True when signalled within timeoutMs.
    bool wait(uint32_t timeoutMs) { return m_state->wait(timeoutMs); }
    bool signalled() const { return m_state->signalled(); }
    // The overlapped result: success flag and transferred byte count.
    bool result(uint32_t& bytes) const { return m_state->result(bytes); }
    void reset() { m_state->reset(); }
    const std::shared_ptr<OverlappedState>& state() const { return m_state; }

private:
    std::shared_ptr<OverlappedState> m_state;
};

// One open device path.
class UsbDriverHandle {
public:
    virtual ~UsbDriverHandle() = default;

    // Submits one I/O-control request. For the transfer codes, `in` is the request record
    // (header, and for control transfers the data area; the backend writes NT and USB status and,
    // for isochronous transfers, the packet results back into it) and `out` the buffer that
    // receives data (for control transfers the same record). Both must stay valid until the
    // overlapped completes or is destroyed. With ov == nullptr the call is synchronous and
    // `bytesReturned` is filled (driver queries). A backend reads `in` only inside this call
    // and writes either buffer only inside OverlappedState::complete()'s fill step.
    virtual IoSubmit ioControl(uint32_t code, std::span<uint8_t> in, std::span<uint8_t> out,
                               UsbOverlapped* ov, uint32_t* bytesReturned) = 0;
    // Closing may fail on a broken connection; the handle is unusable either way.
    virtual bool close() = 0;
};

enum class PlugEvent { Arrived, Left };

// A transport that reaches FX3 devices.
class UsbDriver {
public:
    virtual ~UsbDriver() = default;

    // Interface paths of present devices of the class, in member-index order.
    virtual std::vector<std::string> interfacePaths(const Guid& interfaceClass) = 0;
    // Opens a path for overlapped I/O; null when it cannot be opened.
    virtual std::unique_ptr<UsbDriverHandle> open(const std::string& path) = 0;
    // The port location of a path ("<bus>-<port.port…>"); empty when unknown.
    virtual std::string location(const std::string& path) = 0;

    // Plug notifications, called on a backend thread. Returns a token for unsubscribe.
    using PlugCallback = std::function<void(PlugEvent, const std::string& path)>;
    virtual int subscribe(PlugCallback cb) = 0;
    virtual void unsubscribe(int token) = 0;
};

}  // namespace TVR
