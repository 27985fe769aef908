// The FX3 system information record as the camera returns it, in both layouts. The reply goes
// through the whole request path (FX3, control endpoint, simulated driver); the record handed
// on must be exactly the bytes the camera sent when they pass the record's checks, and the
// invalid record otherwise.
//
// Input: byte 0 chooses the camera (bits 0-1: FX3 build 60 with layout 2, 59 with layout 1, 56
// with neither, or the record check alone) and whether the request stalls (bit 2); byte 1 is
// the check flags; the rest is the reply.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "apilog.h"
#include "firmware_proxy.h"
#include "fuzz_check.h"
#include "fx3.h"
#include "protocol/vendor_requests.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kControlTimeoutMs = 100;
constexpr size_t kInvalidMarkOffset = 8;

class SysInfoFirmware : public TavroFuzz::FirmwareProxy {
public:
    using FirmwareProxy::FirmwareProxy;

    bool controlRequest(const TVR::Sim::SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override {
        if (setup.bRequest != TVR::VR_SYSINFO) {
            return FirmwareProxy::controlRequest(setup, data, actual);
        }
        std::lock_guard lock(m_mutex);
        m_requests.push_back(setup);
        if (m_stall) return false;
        const size_t n = std::min(m_reply.size(), data.size());
        std::copy_n(m_reply.begin(), n, data.begin());
        m_served.insert(m_served.end(), m_reply.begin(),
                        m_reply.begin() + static_cast<std::ptrdiff_t>(n));
        actual = static_cast<uint32_t>(n);
        return true;
    }

    void script(Bytes reply, bool stall) {
        std::lock_guard lock(m_mutex);
        m_reply = std::move(reply);
        m_stall = stall;
        m_requests.clear();
        m_served.clear();
    }
    std::vector<TVR::Sim::SetupPacket> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // Every byte handed out, in order: a short reply is asked for again for the rest.
    Bytes served() const {
        std::lock_guard lock(m_mutex);
        return m_served;
    }

private:
    mutable std::mutex m_mutex;
    Bytes m_reply;
    bool m_stall = false;
    std::vector<TVR::Sim::SetupPacket> m_requests;
    Bytes m_served;
};

struct Camera {
    explicit Camera(uint32_t fx3Build)
        : firmware(std::make_shared<SysInfoFirmware>(TavroFuzz::firmwareWithBuild(fx3Build))) {
        driver.addCamera()->setFirmware(firmware);
        FUZZ_CHECK(fx3.selectDevice(0));
    }
    TVR::ApiLog log;
    TVR::Sim::SimDriver driver;
    std::shared_ptr<SysInfoFirmware> firmware;
    TVR::FX3 fx3{driver, log, false, kControlTimeoutMs};
};

// The record's checks, written out apart from FX3's own.
bool acceptable(std::span<const uint8_t> r, uint16_t layout) {
    size_t length = 0;
    if (layout == TVR::kSysInfoLayout1) length = TVR::kSysInfoLength1;
    if (layout == TVR::kSysInfoLayout2) length = TVR::kSysInfoLength2;
    if (length == 0 || r.size() < length) return false;
    if (static_cast<size_t>(r[0] + 256 * r[1]) != length) return false;
    if ((r[2] & 0x3F) != layout) return false;
    return layout == TVR::kSysInfoLayout2 ? (r[2] >> 6) == 0 : (r[2] >> 6) <= 1;
}

bool isInvalidRecord(const Bytes& r, size_t length) {
    if (r.size() != length) return false;
    for (size_t i = 0; i < r.size(); ++i) {
        if (r[i] != (i == kInvalidMarkOffset ? 0xFF : 0)) return false;
    }
    return true;
}

void checkCamera(Camera& cam, uint16_t layout, uint8_t flags, const Bytes& reply, bool stall) {
    cam.firmware->script(reply, stall);
    const Bytes record = cam.fx3.systemInfo(flags);
    const size_t length =
        layout == TVR::kSysInfoLayout1 ? TVR::kSysInfoLength1 : TVR::kSysInfoLength2;
    FUZZ_CHECK(record.size() == length);

    const auto requests = cam.firmware->requests();
    if (layout == 0) {
        FUZZ_CHECK(requests.empty());
        FUZZ_CHECK(isInvalidRecord(record, length));
        return;
    }
    FUZZ_CHECK(!requests.empty());
    for (const auto& r : requests) {
        FUZZ_CHECK(r.isIn() && r.wValue == flags && r.wIndex == layout);
    }
    const Bytes served = cam.firmware->served();
    // Whatever went wrong, the host never keeps part of a reply.
    if (stall || served.size() != length || !acceptable(served, layout)) {
        FUZZ_CHECK(isInvalidRecord(record, length));
        return;
    }
    // A record that came in pieces may be taken whole or refused, never mixed up.
    FUZZ_CHECK(record == served || (requests.size() > 1 && isInvalidRecord(record, length)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static Camera layout2(60);
    static Camera layout1(59);
    static Camera neither(56);

    const uint8_t flags = data[1];
    const Bytes reply(data + 2, data + size);
    const bool stall = (data[0] & 4) != 0;
    switch (data[0] & 3) {
        case 0:
            checkCamera(layout2, TVR::kSysInfoLayout2, flags, reply, stall);
            break;
        case 1:
            checkCamera(layout1, TVR::kSysInfoLayout1, flags, reply, stall);
            break;
        case 2:
            checkCamera(neither, 0, flags, reply, stall);
            break;
        default: {
            const uint16_t layout = flags & 3;
            FUZZ_CHECK(TVR::FX3::validSystemInfo(reply, layout) == acceptable(reply, layout));
            break;
        }
    }
    return 0;
}
