#include <sys/socket.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "protocol/vendor_requests.h"
#include "sim/sim_firmware.h"
#include "sim_usbip_device.h"
#include "simcam_cameras.h"
#include "usbip/usbip_connection.h"
#include "usbip_host_helpers.h"

namespace TVR::Simcam {
namespace {

using Testing::HostEnd;

constexpr uint8_t kStdIn = 0x80;
constexpr uint8_t kGetDescriptor = 6;

using Served = Testing::ServedCamera;

// The interface descriptors' endpoint addresses and the class-specific subtypes of interface 1.
struct ConfigSummary {
    std::vector<uint8_t> endpoints;
    std::vector<uint8_t> videoControlUnits;
};

ConfigSummary summarise(const std::vector<uint8_t>& c) {
    ConfigSummary s;
    int iface = -1;
    for (size_t at = 0; at + 2 <= c.size() && c[at] >= 2; at += c[at]) {
        if (c[at + 1] == 4) iface = c[at + 2];
        if (c[at + 1] == 5) s.endpoints.push_back(c[at + 2]);
        if (c[at + 1] == 0x24 && iface == 1) s.videoControlUnits.push_back(c[at + 2]);
    }
    return s;
}

TEST(SimUsbipDevice, ServesTheCamerasDescriptorsAndVendorRequests) {
    Served s;
    auto dev = s.host->control(kStdIn, kGetDescriptor, 0x0100, 0, 18);
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->header.status, 0);
    EXPECT_EQ(dev->data, s.cam->deviceDescriptor());

    auto head = s.host->control(kStdIn, kGetDescriptor, 0x0200, 0, 9);
    ASSERT_TRUE(head);
    const uint16_t total = static_cast<uint16_t>(head->data.at(2) | head->data.at(3) << 8);
    auto config = s.host->control(kStdIn, kGetDescriptor, 0x0200, 0, total);
    ASSERT_TRUE(config);
    ASSERT_EQ(config->data, s.cam->configDescriptor());
    const auto sum = summarise(config->data);
    EXPECT_EQ(sum.endpoints, (std::vector<uint8_t>{0x04, 0x84, 0x05, 0x83, 0x81}));
    // Header, camera terminal, processing unit, output terminal.
    EXPECT_EQ(sum.videoControlUnits, (std::vector<uint8_t>{1, 2, 5, 3}));

    auto version = s.host->control(kVendorRead, VR_FX3_VERSION, 0, 0, 4);
    ASSERT_TRUE(version);
    ASSERT_EQ(version->data.size(), 4u);
    const uint32_t word = version->data[0] | version->data[1] << 8 | version->data[2] << 16 |
                          uint32_t{version->data[3]} << 24;
    EXPECT_EQ(word, s.firmware->fx3Version());

    // An unknown vendor request stalls, as the firmware says.
    auto bad = s.host->control(kVendorRead, 0x01, 0, 0, 4);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->header.status, Usbip::kStatusStall);
}

TEST(SimUsbipDevice, FpgaRegisterWritesReachTheFirmware) {
    Served s;
    auto w = s.host->control(kVendorWrite, VR_FPGA_REG, 0x5A, 0x40, 0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->header.status, 0);
    EXPECT_EQ(s.firmware->fpgaRegister(0x40), 0x5A);
    auto r = s.host->control(kVendorRead, VR_FPGA_REG, 0, 0x40, 1);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->data, std::vector<uint8_t>{0x5A});
}

TEST(SimUsbipDevice, BulkTrafficGoesToTheFirmwareOnItsEndpoints) {
    Served s;
    auto out = s.host->bulk(0x04, 8, {0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(out);
    const auto requests = s.cam->requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().kind, Sim::SimRequestRecord::Kind::Bulk);
    EXPECT_EQ(requests.back().endpoint, 0x04);
    EXPECT_EQ(requests.back().length, 8u);
}

TEST(SimUsbipDevice, UnlinkedStalledRequestGetsNoReplyAndTheEndpointGoesOn) {
    Served s;
    Sim::SimFaults f;
    f.stallNext = 1;
    s.cam->setFaults(f);
    Usbip::Submit stalled;
    stalled.direction = Usbip::kDirIn;
    stalled.transferLength = 4;
    stalled.setup = {kVendorRead, VR_FX3_VERSION, 0, 0, 4};
    const uint32_t seq = s.host->submit(stalled);
    // Unlinked once the camera holds it; before that the fault would strike the next request.
    for (int i = 0; i < 100000 && s.cam->requests().empty(); ++i) std::this_thread::yield();
    ASSERT_EQ(s.cam->requests().size(), 1u);
    const uint32_t unlinkSeq = s.host->unlink(seq);
    auto u = s.host->read();
    ASSERT_TRUE(u);
    EXPECT_EQ(u->header.command, Usbip::kRetUnlink);
    EXPECT_EQ(u->header.seqnum, unlinkSeq);
    EXPECT_EQ(u->header.status, Usbip::kStatusUnlinked);

    // The next reply belongs to the next request: the stalled one is never answered.
    auto next = s.host->control(kVendorRead, VR_FX3_VERSION, 0, 0, 4);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->header.command, Usbip::kRetSubmit);
    EXPECT_EQ(next->header.status, 0);
    EXPECT_EQ(next->data.size(), 4u);
    const auto requests = s.cam->requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back().setup.bRequest, VR_FX3_VERSION);
}

TEST(SimUsbipDevice, UnlinkAfterCompletionReportsNothingCancelled) {
    Served s;
    auto done = s.host->control(kVendorRead, VR_FX3_VERSION, 0, 0, 4);
    ASSERT_TRUE(done);
    s.host->unlink(done->header.seqnum);
    auto u = s.host->read();
    ASSERT_TRUE(u);
    EXPECT_EQ(u->header.command, Usbip::kRetUnlink);
    EXPECT_EQ(u->header.status, 0);
}

TEST(SimUsbipDevice, UnpluggedCameraFailsItsRequests) {
    Served s;
    s.driver.unplug(s.cam);
    auto r = s.host->control(kVendorRead, VR_FX3_VERSION, 0, 0, 4);
    ASSERT_TRUE(r);
    EXPECT_NE(r->header.status, 0);
    EXPECT_TRUE(r->data.empty());
}

TEST(SimUsbipDevice, GarbageFromTheHostClosesTheConnection) {
    std::string reason;
    std::mutex m;
    Served s([&](const std::string& r) {
        std::lock_guard lock(m);
        reason = r;
    });
    Usbip::Submit bogus;
    bogus.direction = 7;
    s.host->submit(bogus);
    EXPECT_FALSE(s.host->read());  // the server closed its end
    std::lock_guard lock(m);
    EXPECT_NE(reason.find("direction"), std::string::npos);
}

}  // namespace
}  // namespace TVR::Simcam
