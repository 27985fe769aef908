#include <gtest/gtest.h>

#include <fmt/format.h>

#include "apilog.h"
#include "kernel_rig.h"
#include "libusb/device_path.h"
#include "libusb/libusb_driver.h"
#include "protocol/vendor_requests.h"
#include "sensor/img_sensor.h"
#include "usb/guid.h"
#include "usb/request_record.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace TVR::KernelTests {
namespace {

std::vector<std::string> cameraPaths(Libusb::LibusbDriver& usb) {
    return usb.interfacePaths(kCyUsbDriverGuid);
}

// One vendor read through the driver interface, as the command channel does it.
std::optional<std::vector<uint8_t>> vendorRead(UsbDriverHandle& h, uint8_t request,
                                               uint16_t length) {
    auto rec = makeControlRecord(kVendorRead, request, 0, 0, length, 2);
    UsbOverlapped ov;
    const auto r = h.ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
    if (r == IoSubmit::Failed || !ov.wait(5000)) return std::nullopt;
    uint32_t bytes = 0;
    if (!ov.result(bytes) || bytes < Rec::kHeaderSize) return std::nullopt;
    return std::vector<uint8_t>(rec.begin() + Rec::kHeaderSize, rec.begin() + bytes);
}

TEST(LibusbOverVhci, ListsTheCameraAtTheKernelsPortName) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    ASSERT_TRUE(usb.available());
    const std::string location = kernelLocationOf(0x04B4, 0x00F1);
    std::vector<std::string> paths;
    ASSERT_TRUE(waitFor([&] {
        paths = cameraPaths(usb);
        return !paths.empty();
    }));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], fmt::format("usb:{}:04b4:00f1", location));
    EXPECT_EQ(usb.location(paths[0]), location);
}

TEST(LibusbOverVhci, VendorRequestsReachTheFirmware) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    std::vector<std::string> paths;
    ASSERT_TRUE(waitFor([&] {
        paths = cameraPaths(usb);
        return !paths.empty();
    }));
    auto h = usb.open(paths[0]);
    ASSERT_TRUE(h);
    auto v = vendorRead(*h, VR_FX3_VERSION, 4);
    ASSERT_TRUE(v);
    ASSERT_EQ(v->size(), 4u);
    const uint32_t word = (*v)[0] | (*v)[1] << 8 | (*v)[2] << 16 | uint32_t{(*v)[3]} << 24;
    EXPECT_EQ(word, k.firmware->fx3Version());

    // The round trip through the kernel, for the record: the panel gives a request 50 ms.
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(vendorRead(*h, VR_FX3_VERSION, 4));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("vendor request round trip: median %.2f ms, 99%% %.2f ms, max %.2f ms\n",
                ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
}

std::string waitForPath(Libusb::LibusbDriver& usb, const std::string& suffix = ":04b4:00f1") {
    std::string found;
    waitFor([&] {
        for (const auto& p : cameraPaths(usb)) {
            if (p.ends_with(suffix)) found = p;
        }
        return !found.empty();
    });
    return found;
}

TEST(LibusbOverVhci, OldFirmwareReachesTheSensorThroughEndpoint4) {
    KernelCamera k(45);
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    ASSERT_FALSE(waitForPath(usb).empty());
    ApiLog log;
    ImgSensor sensor(usb, log, false, kEmulatedControlTimeoutMs);
    ASSERT_TRUE(sensor.selectDevice(0));
    EXPECT_FALSE(sensor.bridge()) << "build 45 has no sensor bridge request";
    EXPECT_EQ(sensor.chipName(), "OV9750");
    k.cam->clearRequests();
    k.firmware->setSensorRegister(0x5000, 0xA5);
    EXPECT_EQ(sensor.writeRegister(0x5000, 0x10, 0x30), 0xA5);
    EXPECT_EQ(k.firmware->sensorRegister(0x5000), 0x95);
    EXPECT_EQ(sensor.readRegister(0x5000), 0x95);
    size_t out = 0, in = 0;
    for (const auto& r : k.cam->requests()) {
        if (r.kind != Sim::SimRequestRecord::Kind::Bulk) continue;
        out += r.endpoint == 0x04;
        in += r.endpoint == 0x84;
    }
    EXPECT_GT(out, 0u);
    EXPECT_GT(in, 0u);
}

// Opens the attached camera through libusb and makes its next request stall.
std::unique_ptr<UsbDriverHandle> openWithNextRequestStalled(KernelCamera& k,
                                                            Libusb::LibusbDriver& usb) {
    const std::string path = waitForPath(usb);
    if (path.empty()) return nullptr;
    auto h = usb.open(path);
    Sim::SimFaults f;
    f.stallNext = 1;
    k.cam->setFaults(f);
    return h;
}

TEST(LibusbOverVhci, StalledRequestIsAbortedWithinItsTimeOut) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    auto h = openWithNextRequestStalled(k, usb);
    ASSERT_TRUE(h);

    auto rec = makeControlRecord(kVendorRead, VR_FX3_VERSION, 0, 0, 4, 1);
    UsbOverlapped ov;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr), IoSubmit::Pending);
    EXPECT_FALSE(ov.wait(500));
    uint8_t ep = 0;
    h->ioControl(Ioctl::kAbortPipe, std::span<uint8_t>(&ep, 1), {}, nullptr, nullptr);
    ASSERT_TRUE(ov.wait(5000)) << "the abort completes the request";
    uint32_t bytes = 0;
    EXPECT_FALSE(ov.result(bytes));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    // The camera answers again afterwards.
    auto v = vendorRead(*h, VR_FX3_VERSION, 4);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->size(), 4u);
}

TEST(LibusbOverVhci, PlugEventsFollowTheCamera) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    const std::string path = waitForPath(usb);
    ASSERT_FALSE(path.empty());
    std::mutex m;
    std::vector<std::pair<PlugEvent, std::string>> events;
    const int token = usb.subscribe([&](PlugEvent e, const std::string& p) {
        std::lock_guard lock(m);
        events.emplace_back(e, p);
    });
    auto count = [&](PlugEvent e) {
        std::lock_guard lock(m);
        return std::count_if(events.begin(), events.end(),
                             [&](const auto& x) { return x.first == e && x.second == path; });
    };
    k.driver.unplug(k.cam);
    EXPECT_TRUE(waitFor([&] { return count(PlugEvent::Left) == 1; }));
    EXPECT_TRUE(cameraPaths(usb).empty());
    k.driver.plug(k.cam);
    EXPECT_TRUE(waitFor([&] { return count(PlugEvent::Arrived) == 1; }));
    EXPECT_EQ(cameraPaths(usb), std::vector<std::string>{path}) << "same port, same path";
    usb.unsubscribe(token);
}

TEST(LibusbOverVhci, UnplugDuringATransferFailsIt) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    Libusb::LibusbDriver usb;
    auto h = openWithNextRequestStalled(k, usb);
    ASSERT_TRUE(h);
    auto rec = makeRequestRecord(0);
    RequestHeader hdr;
    decodeRequestHeader(rec, hdr);
    hdr.endpoint = 0x84;
    hdr.timeoutSec = 30;
    encodeRequestHeader(hdr, rec);
    std::vector<uint8_t> buffer(512);
    UsbOverlapped ov;
    ASSERT_EQ(h->ioControl(Ioctl::kBulkTransfer, rec, buffer, &ov, nullptr), IoSubmit::Pending);
    ASSERT_TRUE(waitFor([&] { return !k.cam->requests().empty(); }));
    k.driver.unplug(k.cam);
    ASSERT_TRUE(ov.wait(10000)) << "the transfer ends with the device";
    uint32_t bytes = 0;
    EXPECT_FALSE(ov.result(bytes));
    EXPECT_TRUE(waitFor([&] { return cameraPaths(usb).empty(); }));
    k.driver.plug(k.cam);
}

}  // namespace
}  // namespace TVR::KernelTests
