#pragma once

// One USB/IP connection: reads the host's commands from a stream socket, hands URBs to a
// UsbipDevice and writes the replies. The reader runs on its own thread; completions may
// arrive on any thread and are written under one lock, so replies never interleave. A URB
// the host unlinks before it completes gets RET_UNLINK with -ECONNRESET and no RET_SUBMIT.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "usbip/usbip_device.h"

namespace TVR::Usbip {

class UsbipConnection {
public:
    // Takes ownership of `fd`.
    UsbipConnection(int fd, std::shared_ptr<UsbipDevice> device);
    ~UsbipConnection();
    UsbipConnection(const UsbipConnection&) = delete;
    UsbipConnection& operator=(const UsbipConnection&) = delete;

    // Called once on the reader thread when the host closes the stream or sends garbage.
    void setClosedHandler(std::function<void(const std::string& reason)> handler);
    void start();
    // Shuts the socket down, waits for the reader and disconnects the device. Idempotent; not
    // to be called from the closed handler.
    void stop();
    // Sends nothing more: the host reads every reply written so far, then sees the end of the
    // stream and drops the device itself.
    void finishSending();
    bool closed() const { return m_closed; }
    uint64_t submitted() const { return m_submitted; }

private:
    void readLoop();
    bool readFully(uint8_t* data, size_t size);
    bool writeAll(const std::vector<uint8_t>& bytes);  // call with m_writeMutex held
    void complete(const Submit& urb, const SubmitReply& reply);
    void unlink(const Unlink& u);

    int m_fd;
    std::shared_ptr<UsbipDevice> m_device;
    std::function<void(const std::string&)> m_onClosed;
    std::thread m_reader;
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<uint64_t> m_submitted{0};
    std::mutex m_writeMutex;           // replies and the outstanding set
    std::set<uint32_t> m_outstanding;  // seqnums submitted and not yet answered
    std::mutex m_stopMutex;
    bool m_stopped = false;
};

}  // namespace TVR::Usbip
