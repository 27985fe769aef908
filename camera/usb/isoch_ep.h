#pragma once

// An isochronous endpoint: the buffer is split into packets of the endpoint's transfer unit, and
// the driver reports each packet's length and status in the record's packet list.

#include <cstdint>
#include <span>

#include "usb/usb_ep.h"

namespace TVR {

struct IsoPacketResult {
    uint32_t length = 0;
    uint32_t status = 0;
};

class IsochEP : public UsbEP {
public:
    using UsbEP::UsbEP;

    // No request (a failed one) when the transfer unit is 0 or the buffer is empty.
    UsbRequest startTransfer(std::span<uint8_t> data, UsbOverlapped& ov) override;

    using UsbEP::finishTransfer;
    using UsbEP::transfer;
    // As the base, and copies the packet results into `packets` (as many as fit).
    bool finishTransfer(std::span<uint8_t> data, uint32_t& bytes, UsbOverlapped& ov,
                        UsbRequest& request, std::span<IsoPacketResult> packets);
    bool transfer(std::span<uint8_t> data, uint32_t& bytes, std::span<IsoPacketResult> packets);

    // ceil(length / unit); 0 when the unit is 0.
    static uint64_t packetCount(uint64_t length, uint32_t unit);
};

}  // namespace TVR
