// The USB/IP command stream a host sends: headers, then submit bodies.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "usbip/usbip_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace TVR::Usbip;
    std::span<const uint8_t> in(data, size);
    while (in.size() >= kHeaderSize) {
        size_t following = 0;
        std::string error;
        auto h = decodeCommandHeader(in.first<kHeaderSize>(), following, error);
        in = in.subspan(kHeaderSize);
        if (!h) break;
        if (h->command == kCmdUnlink) continue;
        if (following > in.size()) break;
        Submit s;
        if (completeSubmit(*h, in.first(following), s, error)) {
            SubmitReply r;
            r.data.resize(s.isIn() ? s.transferLength % 4096 : 0);
            r.packets = s.packets;
            (void)encodeRetSubmit(s, r);
        }
        in = in.subspan(following);
    }
    return 0;
}
