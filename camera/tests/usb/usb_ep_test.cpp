#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "sim/sim_driver.h"
#include "usb/control_ep.h"
#include "usb/isoch_ep.h"
#include "usb/request_record.h"
#include "usb/usb_device.h"
#include "usb_helpers.h"

namespace TVR {
namespace {

using Sim::SimRequestRecord;
using UsbTest::Bytes;

constexpr uint8_t kTestRequest = 0xB5;
constexpr uint16_t kTestValue = 0x1234;
constexpr uint16_t kTestIndex = 0xBEEF;

std::vector<SimRequestRecord> vendorRequests(const Sim::SimCamera& cam) {
    std::vector<SimRequestRecord> out;
    for (const auto& r : cam.requests()) {
        if (r.kind == SimRequestRecord::Kind::Control && (r.setup.bmRequestType & 0x60) == 0x40) {
            out.push_back(r);
        }
    }
    return out;
}

Bytes pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return b;
}

class UsbEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cam = m_drv.addCamera();
        m_fw = std::make_shared<UsbTest::EchoFirmware>();
        m_cam->setFirmware(m_fw);
        m_dev = std::make_unique<UsbDevice>(m_drv);
        ASSERT_TRUE(m_dev->open(0));
        m_cam->clearRequests();
    }

    ControlEP& control() { return *m_dev->controlEndpoint(); }

    Sim::SimDriver m_drv;
    std::shared_ptr<Sim::SimCamera> m_cam;
    std::shared_ptr<UsbTest::EchoFirmware> m_fw;
    std::unique_ptr<UsbDevice> m_dev;
};

TEST_F(UsbEndpointTest, LongControlTransfersGoInPieces) {
    const Bytes sent = pattern(10000);
    ASSERT_TRUE(control().vendorTransfer(kTestRequest, true, kTestValue, kTestIndex, {}, sent));
    EXPECT_EQ(m_fw->stored(), sent);

    Bytes back(10000, 0);
    ASSERT_TRUE(control().vendorTransfer(kTestRequest, false, kTestValue, kTestIndex, back, {}));
    EXPECT_EQ(back, sent);

    const auto reqs = vendorRequests(*m_cam);
    ASSERT_EQ(reqs.size(), 6u);
    const uint32_t lengths[] = {4096, 4096, 1808};
    for (size_t i = 0; i < reqs.size(); ++i) {
        EXPECT_EQ(reqs[i].setup.bmRequestType, i < 3 ? 0x40 : 0xC0) << i;
        EXPECT_EQ(reqs[i].setup.bRequest, kTestRequest) << i;
        EXPECT_EQ(reqs[i].setup.wValue, kTestValue) << i;
        EXPECT_EQ(reqs[i].setup.wIndex, kTestIndex) << i;
        EXPECT_EQ(reqs[i].setup.wLength, lengths[i % 3]) << i;
        EXPECT_EQ(reqs[i].timeoutSec, 2u) << i;  // the 2000 ms default
    }
    EXPECT_TRUE(control().isIn());
    EXPECT_EQ(control().ntStatus(), 0u);
}

TEST_F(UsbEndpointTest, ZeroLengthRequestIsOneTransfer) {
    ASSERT_TRUE(control().vendorTransfer(kTestRequest, true, 1, 2, {}, {}));
    const auto reqs = vendorRequests(*m_cam);
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].setup.wLength, 0);
    EXPECT_EQ(reqs[0].setup.bmRequestType, 0x40);
}

TEST_F(UsbEndpointTest, StalledRequestIsAbortedAndTheNextWorks) {
    control().setTimeout(50);
    Sim::SimFaults faults;
    faults.stallNext = 1;
    m_cam->setFaults(faults);
    m_fw->setStored(pattern(16));

    Bytes buf(16, 0);
    EXPECT_FALSE(control().vendorTransfer(kTestRequest, false, 0, 0, buf, {}));
    auto reqs = m_cam->requests();
    ASSERT_FALSE(reqs.empty());
    EXPECT_EQ(reqs.front().kind, SimRequestRecord::Kind::Control);
    EXPECT_EQ(reqs.front().timeoutSec, 1u);  // 50 ms rounds up to a whole second
    const bool aborted = std::any_of(reqs.begin(), reqs.end(), [](const SimRequestRecord& r) {
        return r.kind == SimRequestRecord::Kind::Abort && r.endpoint == 0;
    });
    EXPECT_TRUE(aborted);

    ASSERT_TRUE(control().vendorTransfer(kTestRequest, false, 0, 0, buf, {}));
    EXPECT_EQ(buf, pattern(16));
}

TEST_F(UsbEndpointTest, StallsAndSilentDevicesFail) {
    m_fw->setStallRequest(kTestRequest);
    Bytes buf(8, 0);
    EXPECT_FALSE(control().vendorTransfer(kTestRequest, false, 0, 0, buf, {}));
    EXPECT_TRUE(control().ntStatus() != 0 || control().usbStatus() != 0);

    // A device that answers a read with nothing must not be asked again forever.
    m_fw->setStallRequest(-1);
    m_fw->setSilent(true);
    m_cam->clearRequests();
    EXPECT_FALSE(control().vendorTransfer(kTestRequest, false, 0, 0, buf, {}));
    EXPECT_EQ(vendorRequests(*m_cam).size(), 1u);
}

TEST_F(UsbEndpointTest, FailingCameraFailsEveryRequest) {
    Sim::SimFaults faults;
    faults.failAfter = 1;
    m_cam->setFaults(faults);
    Bytes data = pattern(64);
    EXPECT_TRUE(control().vendorTransfer(kTestRequest, true, 0, 0, {}, data));
    EXPECT_FALSE(control().vendorTransfer(kTestRequest, true, 0, 0, {}, data));
    uint32_t moved = 99;
    UsbEP* bulk = m_dev->endpoint(0x04);
    ASSERT_NE(bulk, nullptr);
    EXPECT_FALSE(bulk->transfer(data, moved));
    EXPECT_EQ(moved, 0u);
}

TEST_F(UsbEndpointTest, BulkTransfersGoStraightToTheBuffer) {
    UsbEP* out = m_dev->endpoint(0x04);
    UsbEP* in = m_dev->endpoint(0x84);
    ASSERT_NE(out, nullptr);
    ASSERT_NE(in, nullptr);
    Bytes sent = pattern(3000);
    uint32_t moved = 0;
    ASSERT_TRUE(out->transfer(sent, moved));
    EXPECT_EQ(moved, 3000u);
    EXPECT_EQ(m_fw->stored(), sent);

    Bytes back(3000, 0);
    ASSERT_TRUE(in->transfer(back, moved));
    EXPECT_EQ(moved, 3000u);
    EXPECT_EQ(back, sent);

    const auto reqs = m_cam->requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].kind, SimRequestRecord::Kind::Bulk);
    EXPECT_EQ(reqs[0].endpoint, 0x04);
    EXPECT_EQ(reqs[1].endpoint, 0x84);
    EXPECT_EQ(reqs[1].length, 3000u);
}

TEST_F(UsbEndpointTest, StartWaitFinishByHand) {
    UsbEP* in = m_dev->endpoint(0x84);
    ASSERT_NE(in, nullptr);
    m_fw->setStored(pattern(100));
    Bytes buf(100, 0);
    UsbRequest request;
    UsbOverlapped ov;
    request = in->startTransfer(buf, ov);
    RequestHeader h;
    ASSERT_TRUE(decodeRequestHeader(request.record, h));
    EXPECT_EQ(request.record.size(), Rec::kHeaderSize);
    EXPECT_EQ(h.endpoint, 0x84);
    EXPECT_EQ(h.bufferOffset, 0u);
    EXPECT_EQ(h.bufferLength, 0u);
    ASSERT_TRUE(in->wait(request, ov));
    uint32_t moved = 0;
    ASSERT_TRUE(in->finishTransfer(buf, moved, ov, request));
    EXPECT_EQ(moved, 100u);
    EXPECT_EQ(buf, pattern(100));
}

TEST(UsbEndpoint, DirectionAndDefaults) {
    UsbTest::DebugCapture debug;
    UsbEndpointDescriptor controlDesc;
    controlDesc.bmAttributes = EpType::kControl;
    controlDesc.bEndpointAddress = 0x80;
    UsbEP base(nullptr, controlDesc);
    EXPECT_FALSE(base.isIn());
    EXPECT_TRUE(debug.contains(
        "Control EP is bi-directional so using its address to figure out direction is wrong!"));

    ControlEP control(nullptr, 3, 9);
    control.setDirectionIn(true);
    EXPECT_TRUE(control.isIn());
    EXPECT_FALSE(control.UsbEP::isIn());
    EXPECT_EQ(control.transferUnit(), 512u);
    EXPECT_EQ(ControlEP(nullptr, 2, 64).transferUnit(), 64u);
    EXPECT_EQ(ControlEP(nullptr, 3, 200).transferUnit(), 0u);  // broken exponent

    // Without a driver nothing is sent and nothing succeeds.
    uint32_t moved = 5;
    EXPECT_FALSE(control.transfer({}, moved));
    EXPECT_FALSE(control.abort());

    ControlEP shorter(nullptr, 3, 9, 50);
    EXPECT_EQ(shorter.timeout(), 50u);
    EXPECT_EQ(control.timeout(), UsbEP::kDefaultTimeoutMs);
}

TEST(UsbEndpoint, EveryEndpointOfADeviceGetsThatDevicesTimeout) {
    Sim::SimDriver drv;
    drv.addCamera();
    UsbDevice dev(drv, kCyUsbDriverGuid, true, 500);
    UsbDevice plain(drv, kCyUsbDriverGuid, true);
    ASSERT_TRUE(dev.isOpen());
    ASSERT_TRUE(plain.isOpen());
    EXPECT_EQ(dev.endpointTimeout(), 500u);
    EXPECT_EQ(dev.controlEndpoint()->timeout(), 500u);
    EXPECT_EQ(dev.endpoint(0x84)->timeout(), 500u);
    // The other device of the same camera keeps the default.
    EXPECT_EQ(plain.controlEndpoint()->timeout(), UsbEP::kDefaultTimeoutMs);
    EXPECT_EQ(plain.endpoint(0x84)->timeout(), UsbEP::kDefaultTimeoutMs);

    // A reopen builds the endpoints again with the device's time-out.
    dev.controlEndpoint()->setTimeout(20);
    ASSERT_TRUE(dev.open(0));
    EXPECT_EQ(dev.controlEndpoint()->timeout(), 500u);
    for (size_t i = 0; i < dev.configuration().interfaces.size(); ++i) {
        for (const auto& ep : dev.interfaceEndpoints(i)) EXPECT_EQ(ep->timeout(), 500u);
    }
}

TEST(UsbEndpoint, IsochronousPacketList) {
    EXPECT_EQ(IsochEP::packetCount(10000, 3072), 4u);
    EXPECT_EQ(IsochEP::packetCount(3072, 3072), 1u);
    EXPECT_EQ(IsochEP::packetCount(0, 3072), 0u);
    EXPECT_EQ(IsochEP::packetCount(100, 0), 0u);

    Sim::SimDriver drv;
    drv.addCamera();
    UsbDevice dev(drv, kCyUsbDriverGuid, true);
    ASSERT_TRUE(dev.isOpen());
    IsochEP* iso = nullptr;
    for (size_t i = 0; i < dev.configuration().interfaces.size() && !iso; ++i) {
        for (const auto& ep : dev.interfaceEndpoints(i)) {
            if (auto* p = dynamic_cast<IsochEP*>(ep.get())) iso = p;
        }
    }
    ASSERT_NE(iso, nullptr);
    ASSERT_GT(iso->transferUnit(), 0u);
    Bytes buf(iso->transferUnit() * 2 + 1, 0);
    UsbRequest request;
    UsbOverlapped ov;
    request = iso->startTransfer(buf, ov);
    RequestHeader h;
    ASSERT_TRUE(decodeRequestHeader(request.record, h));
    EXPECT_EQ(h.isoPacketOffset, 38u);
    EXPECT_EQ(h.isoPacketLength, 3u * 8);
    EXPECT_EQ(h.bufferOffset, 0u);
    EXPECT_EQ(h.endpoint, iso->address());
    EXPECT_EQ(request.record.size(), 38u + 24);
    ASSERT_TRUE(iso->wait(request, ov));
    IsoPacketResult packets[2];  // room for fewer than were sent: the first ones are copied
    uint32_t moved = 0;
    ASSERT_TRUE(iso->finishTransfer(buf, moved, ov, request, packets));
    EXPECT_EQ(moved, buf.size());
    EXPECT_GT(packets[0].length, 0u);
    EXPECT_GT(packets[1].length, 0u);
    EXPECT_EQ(packets[0].status, 0u);

    IsoPacketResult all[3];
    ASSERT_TRUE(iso->transfer(buf, moved, all));
    EXPECT_EQ(all[0].length + all[1].length + all[2].length, buf.size());

    // An empty buffer never reaches the driver.
    const auto before = drv.callCount();
    UsbOverlapped ov2;
    EXPECT_EQ(iso->startTransfer({}, ov2).submit, IoSubmit::Failed);
    EXPECT_EQ(drv.callCount(), before);
}

}  // namespace
}  // namespace TVR
