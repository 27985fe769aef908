#pragma once

// What a USB/IP connection serves: a device that takes URBs and completes them, possibly
// later and on another thread.

#include <cstdint>
#include <functional>

#include "usbip/usbip_protocol.h"

namespace TVR::Usbip {

class UsbipDevice {
public:
    using Completion = std::function<void(SubmitReply)>;
    virtual ~UsbipDevice() = default;
    // Takes one URB; `done` runs once, on any thread (inside this call too), unless the
    // connection ends first. The connection drops completions of URBs it has unlinked.
    virtual void submit(Submit urb, Completion done) = 0;
    // The host gave up on a URB: stop working on it if it is still in progress.
    virtual void cancel(uint32_t seqnum) = 0;
    // The connection ended: cancel everything; no completion may run after this returns.
    virtual void disconnect() = 0;
};

}  // namespace TVR::Usbip
