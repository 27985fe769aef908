// One table of request records fed to both backends: the libusb transfer builder and the
// simulated camera's driver. A record one of them takes and the other refuses would let a test on
// the simulated camera pass with a request a real camera's backend never sends.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "libusb/transfer_request.h"
#include "sim/sim_driver.h"
#include "usb/request_record.h"

namespace TVR::Libusb {
namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
    const char* name;
    uint32_t code;
    std::function<Bytes()> record;
    size_t bufferLength;  // the caller's buffer (stream transfers)
    bool accepted;
};

Bytes control(uint8_t type, uint16_t length, const std::function<void(Bytes&)>& edit = {}) {
    Bytes rec = makeControlRecord(type, 0xB0, 0, 0, length, 1);
    if (edit) edit(rec);
    return rec;
}

Bytes stream(uint8_t endpoint, const std::function<void(Bytes&)>& edit = {}) {
    Bytes rec = makeRequestRecord(0);
    rec[Rec::kEndpoint] = endpoint;
    putLe32(rec, Rec::kTimeout, 1);
    putLe32(rec, Rec::kBufferOffset, 0);
    if (edit) edit(rec);
    return rec;
}

Bytes isoch(uint32_t packets, const std::function<void(Bytes&)>& edit = {}) {
    Bytes rec = makeRequestRecord(size_t{packets} * Rec::kIsoPacketSize);
    rec[Rec::kEndpoint] = 0x83;
    putLe32(rec, Rec::kTimeout, 1);
    putLe32(rec, Rec::kIsoPacketOffset, static_cast<uint32_t>(Rec::kHeaderSize));
    putLe32(rec, Rec::kIsoPacketLength, packets * static_cast<uint32_t>(Rec::kIsoPacketSize));
    putLe32(rec, Rec::kBufferOffset, 0);
    if (edit) edit(rec);
    return rec;
}

const std::vector<Case>& table() {
    static const std::vector<Case> cases = {
        {"vendor read", Ioctl::kControlTransfer, [] { return control(0xC0, 4); }, 0, true},
        {"vendor write", Ioctl::kControlTransfer, [] { return control(0x40, 16); }, 0, true},
        {"zero-length write", Ioctl::kControlTransfer, [] { return control(0x40, 0); }, 0, true},
        {"data area after a gap", Ioctl::kControlTransfer,
         [] {
             return control(0xC0, 4, [](Bytes& r) {
                 r.resize(r.size() + 8);
                 putLe32(r, Rec::kBufferOffset, 46);
             });
         },
         0, true},
        {"short header", Ioctl::kControlTransfer, [] { return Bytes(37, 0); }, 0, false},
        {"data length below wLength", Ioctl::kControlTransfer,
         [] { return control(0xC0, 8, [](Bytes& r) { putLe32(r, Rec::kBufferLength, 4); }); }, 0,
         false},
        {"data length above wLength", Ioctl::kControlTransfer,
         [] {
             return control(0x40, 4, [](Bytes& r) {
                 r.resize(r.size() + 4);
                 putLe32(r, Rec::kBufferLength, 8);
             });
         },
         0, false},
        {"no data length", Ioctl::kControlTransfer,
         [] { return control(0xC0, 18, [](Bytes& r) { putLe32(r, Rec::kBufferLength, 0); }); }, 0,
         false},
        {"data area past the end", Ioctl::kControlTransfer,
         [] {
             return control(0xC0, 16, [](Bytes& r) {
                 putLe16(r, Rec::kLength, 17);
                 putLe32(r, Rec::kBufferLength, 17);
             });
         },
         0, false},
        {"data area over the header", Ioctl::kControlTransfer,
         [] { return control(0xC0, 4, [](Bytes& r) { putLe32(r, Rec::kBufferOffset, 10); }); }, 0,
         false},
        {"data offset that wraps", Ioctl::kControlTransfer,
         [] {
             return control(0xC0, 4, [](Bytes& r) { putLe32(r, Rec::kBufferOffset, 0xFFFFFFF0); });
         },
         0, false},

        {"bulk in", Ioctl::kBulkTransfer, [] { return stream(0x84); }, 64, true},
        {"bulk out", Ioctl::kBulkTransfer, [] { return stream(0x04); }, 8, true},
        {"bulk with the fresh endpoint", Ioctl::kBulkTransfer, [] { return stream(0xFF); }, 8,
         false},
        {"bulk on the control endpoint", Ioctl::kBulkTransfer, [] { return stream(0x80); }, 8,
         false},
        {"bulk header with a data length", Ioctl::kBulkTransfer,
         [] { return stream(0x84, [](Bytes& r) { putLe32(r, Rec::kBufferLength, 64); }); }, 64,
         false},
        {"short bulk header", Ioctl::kBulkTransfer, [] { return Bytes(20, 0x84); }, 8, false},

        {"isochronous in", Ioctl::kIsochTransfer, [] { return isoch(4); }, 4096, true},
        {"no packets", Ioctl::kIsochTransfer, [] { return isoch(0); }, 4096, false},
        {"packet list of part packets", Ioctl::kIsochTransfer,
         [] { return isoch(4, [](Bytes& r) { putLe32(r, Rec::kIsoPacketLength, 33); }); }, 4096,
         false},
        {"packet list past the end", Ioctl::kIsochTransfer,
         [] { return isoch(4, [](Bytes& r) { putLe32(r, Rec::kIsoPacketLength, 40); }); }, 4096,
         false},
        {"packet list offset that wraps", Ioctl::kIsochTransfer,
         [] { return isoch(1, [](Bytes& r) { putLe32(r, Rec::kIsoPacketOffset, 0xFFFFFFFC); }); },
         4096, false},
        {"more packets than a backend keeps", Ioctl::kIsochTransfer,
         [] { return isoch(kMaxIsoPackets + 1); }, 4096, false},
        {"isochronous header with a data length", Ioctl::kIsochTransfer,
         [] { return isoch(4, [](Bytes& r) { putLe32(r, Rec::kBufferLength, 4096); }); }, 4096,
         false},
    };
    return cases;
}

// The libusb side: the function that turns a submitted record into a transfer. An accepted
// record moves as many bytes as it announces.
bool libusbAccepts(const Case& c, Bytes rec) {
    std::string error;
    if (c.code == Ioctl::kControlTransfer) {
        const auto t = buildControlTransfer(rec, error);
        if (!t) return false;
        EXPECT_EQ(t->buffer.size(), kSetupSize + getLe16(rec, Rec::kLength)) << c.name;
        return true;
    }
    const Bytes buffer(c.bufferLength);
    const auto t = buildStreamTransfer(c.code, rec, buffer, error);
    if (!t) {
        EXPECT_FALSE(error.empty()) << c.name;
        return false;
    }
    EXPECT_EQ(t->request.length, c.bufferLength) << c.name;
    return true;
}

// The simulated side: the driver handle itself. A refused record fails at once and never reaches
// the camera's request log; an accepted one is logged with the length it announced.
bool simAccepts(const Case& c, Bytes rec, Sim::SimCamera& cam, UsbDriverHandle& h) {
    cam.clearRequests();
    Bytes buffer(c.bufferLength);
    UsbOverlapped ov;
    const std::span<uint8_t> out =
        c.code == Ioctl::kControlTransfer ? std::span<uint8_t>(rec) : std::span<uint8_t>(buffer);
    const IoSubmit submitted = h.ioControl(c.code, rec, out, &ov, nullptr);
    const auto log = cam.requests();
    if (log.empty()) {
        EXPECT_EQ(submitted, IoSubmit::Failed) << c.name;
        return false;
    }
    const uint32_t expected = c.code == Ioctl::kControlTransfer
                                  ? getLe16(rec, Rec::kLength)
                                  : static_cast<uint32_t>(c.bufferLength);
    EXPECT_EQ(log.back().length, expected) << c.name;
    return true;
}

TEST(RequestTable, BothBackendsTakeAndRefuseTheSameRecords) {
    Sim::SimDriver drv;
    auto cam = drv.addCamera();
    auto h = drv.open(drv.pathOf(*cam));
    ASSERT_TRUE(h);
    int accepted = 0;
    for (const Case& c : table()) {
        const bool lu = libusbAccepts(c, c.record());
        const bool sim = simAccepts(c, c.record(), *cam, *h);
        EXPECT_EQ(lu, c.accepted) << "libusb: " << c.name;
        EXPECT_EQ(sim, c.accepted) << "simulated: " << c.name;
        accepted += c.accepted;
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace TVR::Libusb
