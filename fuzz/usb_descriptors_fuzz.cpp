// Feeds device replies to the USB descriptor parsers. The first byte chooses the parser, the
// rest is the reply as a device would return it.

#include <cstddef>
#include <cstdint>
#include <span>

#include "usb_descriptors.h"

namespace {

// Touches every parsed field so that an out-of-bounds copy cannot hide behind unused results.
volatile uint64_t g_sink;

void consume(const TVR::UsbConfigDescriptor& c) {
    uint64_t sum = c.wTotalLength + c.bMaxPower;
    for (const auto& itf : c.interfaces) {
        sum += itf.spanBytes + itf.altSettingCount + itf.bNumEndpoints;
        for (const auto& ep : itf.endpoints) {
            sum += ep.endpoint.maxTransferUnit + ep.endpoint.bEndpointAddress;
            if (ep.companion) sum += ep.companion->bMaxBurst + ep.companion->wBytesPerInterval;
        }
    }
    g_sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> reply(data + 1, size - 1);
    switch (data[0] % 5) {
        case 0:
            consume(TVR::parseConfigDescriptor(reply, false));
            break;
        case 1:
            consume(TVR::parseConfigDescriptor(reply, true));
            break;
        case 2: {
            const auto bos = TVR::parseBosDescriptor(reply);
            g_sink =
                bos.valid() + bos.usb20Extension[6] + bos.superSpeedUsb[9] + bos.containerId[19];
            break;
        }
        case 3:
            g_sink = TVR::parseStringDescriptor(reply).size() + TVR::chooseLanguageId(reply);
            break;
        default:
            g_sink = TVR::parseDeviceDescriptor(reply).valid();
            break;
    }
    return 0;
}
