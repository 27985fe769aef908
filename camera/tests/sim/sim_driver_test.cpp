#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "protocol/vendor_requests.h"
#include "sim/sim_driver.h"
#include "sim/sim_options.h"
#include "test_support.h"
#include "usb/request_record.h"

namespace TVR::Sim {
namespace {

using Bytes = std::vector<uint8_t>;

// Stores vendor OUT data and serves it back on IN; bulk likewise.
class StoreFirmware : public SimFirmware {
public:
    bool controlRequest(const SetupPacket& s, std::span<uint8_t> data, uint32_t& actual) override {
        std::lock_guard lock(m);
        if (s.bRequest == 0xEE) return false;  // an unsupported request stalls
        if (s.isIn()) {
            actual = static_cast<uint32_t>(std::min(data.size(), stored.size()));
            std::copy_n(stored.begin(), actual, data.begin());
        } else {
            stored.assign(data.begin(), data.end());
        }
        return true;
    }
    bool bulkOut(uint8_t, std::span<const uint8_t> data) override {
        std::lock_guard lock(m);
        bulk.assign(data.begin(), data.end());
        return true;
    }
    bool bulkIn(uint8_t, std::span<uint8_t> data, uint32_t& actual) override {
        std::lock_guard lock(m);
        actual = static_cast<uint32_t>(std::min(data.size(), bulk.size()));
        std::copy_n(bulk.begin(), actual, data.begin());
        return true;
    }
    std::mutex m;
    Bytes stored;
    Bytes bulk;
};

Bytes controlRecord(uint8_t type, uint8_t req, uint16_t value, uint16_t index, uint16_t len,
                    uint32_t timeoutSec = 1) {
    return makeControlRecord(type, req, value, index, len, timeoutSec);
}

Bytes descriptor(UsbDriverHandle& h, uint8_t type, uint8_t index, uint16_t len) {
    Bytes rec = controlRecord(0x80, 6, static_cast<uint16_t>(type << 8 | index), 0x0409, len);
    uint32_t got = 0;
    if (h.ioControl(Ioctl::query(Ioctl::kQueryControl), rec, rec, nullptr, &got) !=
        IoSubmit::Done) {
        return {};
    }
    EXPECT_EQ(got, rec.size());
    return Bytes(rec.begin() + Rec::kHeaderSize, rec.end());
}

struct Walk {
    int interfaces = 0, endpoints = 0, companions = 0, classSpecific = 0;
    bool companionAfterEveryEndpoint = true;
};

Walk walk(const Bytes& cfg) {
    Walk w;
    size_t off = 0;
    uint8_t prev = 0;
    while (off + 2 <= cfg.size()) {
        const uint8_t len = cfg[off];
        const uint8_t type = cfg[off + 1];
        EXPECT_GE(len, 2) << "at " << off;
        if (len < 2) break;
        if (type == 4) ++w.interfaces;
        if (type == 5) ++w.endpoints;
        if (type == 0x30) {
            ++w.companions;
            EXPECT_EQ(prev, 5) << "companion must follow its endpoint";
        }
        if (prev == 5 && type != 0x30) w.companionAfterEveryEndpoint = false;
        if (type == 0x24 || type == 0x25) ++w.classSpecific;
        prev = type;
        off += len;
    }
    EXPECT_EQ(off, cfg.size()) << "descriptor lengths must add up to wTotalLength";
    return w;
}

TEST(SimDescriptors, Usb3AndUsb2ConfigurationsAreWellFormed) {
    for (int usb : {2, 3}) {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.usbVersion = usb;
        auto cam = drv.addCamera(cfg);
        auto h = drv.open(drv.pathOf(*cam));
        ASSERT_TRUE(h);
        const Bytes dev = descriptor(*h, 1, 0, 18);
        ASSERT_EQ(dev.size(), 18u);
        EXPECT_EQ(dev[3], usb == 3 ? 0x03 : 0x02);  // bcdUSB major
        EXPECT_EQ(dev[7], usb == 3 ? 9 : 64);       // bMaxPacketSize0
        EXPECT_EQ(dev[8] | dev[9] << 8, 0x04B4);

        const Bytes head = descriptor(*h, 2, 0, 9);
        const uint16_t total = static_cast<uint16_t>(head[2] | head[3] << 8);
        const Bytes whole = descriptor(*h, 2, 0, total);
        ASSERT_EQ(whole.size(), total);
        const Walk w = walk(whole);
        EXPECT_EQ(w.interfaces, 4);  // vendor, VideoControl, VideoStreaming alt 0 and 1
        EXPECT_EQ(w.endpoints, 5);   // 3 bulk, interrupt, isochronous
        EXPECT_GE(w.classSpecific, 5);
        EXPECT_EQ(w.companions, usb == 3 ? 5 : 0);
        if (usb == 3) {
            EXPECT_TRUE(w.companionAfterEveryEndpoint);
        }
        // The vendor interface comes first with the firmware's bulk endpoints.
        EXPECT_EQ(whole[9 + 5], 0xFF);
        EXPECT_EQ(whole[9 + 9 + 2], 0x04);

        const Bytes bosHead = descriptor(*h, 15, 0, 5);
        if (usb == 2) {
            EXPECT_TRUE(bosHead.empty()) << "USB 2 devices have no BOS";
        } else {
            ASSERT_EQ(bosHead.size(), 5u);
            EXPECT_EQ(bosHead[1], 15);
            EXPECT_EQ(bosHead[4], 3);
            const Bytes bos = descriptor(*h, 15, 0, bosHead[2] | bosHead[3] << 8);
            EXPECT_EQ(bos.size(), 5u + 7 + 10 + 20);
        }
    }
}

TEST(SimDescriptors, StringsAndDriverQueries) {
    SimDriver drv;
    SimCameraConfig cfg;
    cfg.languages = {0x0407, 0x0409};
    cfg.product = "Brisco µ";
    auto cam = drv.addCamera(cfg);
    auto h = drv.open(drv.pathOf(*cam));
    ASSERT_TRUE(h);
    const Bytes langs = descriptor(*h, 3, 0, 6);
    EXPECT_EQ(langs, (Bytes{6, 3, 0x07, 0x04, 0x09, 0x04}));
    const Bytes product = descriptor(*h, 3, 2, 255);
    ASSERT_GE(product.size(), 2u);
    EXPECT_EQ(product[0], 2 + 2 * 8);
    EXPECT_EQ(product[2 + 2 * 7], 0xB5);  // µ as one UTF-16 unit
    EXPECT_TRUE(descriptor(*h, 3, 9, 255).empty()) << "a missing string stalls";

    Bytes name(256);
    uint32_t got = 0;
    ASSERT_EQ(h->ioControl(Ioctl::query(Ioctl::kQueryFriendlyName), name, name, nullptr, &got),
              IoSubmit::Done);
    EXPECT_EQ(got, 256u);
    EXPECT_STREQ(reinterpret_cast<const char*>(name.data()), "Tavro Brisco camera");
    Bytes speed(4);
    ASSERT_EQ(h->ioControl(Ioctl::query(Ioctl::kQuerySpeed), speed, speed, nullptr, &got),
              IoSubmit::Done);
    EXPECT_EQ(speed[0], kSpeedSuper);
    Bytes addr(1);
    ASSERT_EQ(h->ioControl(Ioctl::query(Ioctl::kQueryAddress), addr, addr, nullptr, &got),
              IoSubmit::Done);
    EXPECT_EQ(addr[0], 1);
    Bytes tooSmall(2);
    EXPECT_EQ(
        h->ioControl(Ioctl::query(Ioctl::kQueryDriverVersion), tooSmall, tooSmall, nullptr, &got),
        IoSubmit::Failed);
    EXPECT_EQ(h->ioControl(Ioctl::query(99), speed, speed, nullptr, &got), IoSubmit::Failed);
}

TEST(SimTransfers, VendorRequestsReachTheFirmwareWithLatency) {
    SimDriver drv;
    auto cam = drv.addCamera();
    auto fw = std::make_shared<StoreFirmware>();
    cam->setFirmware(fw);
    SimFaults f;
    f.latencyUs = 2000;
    cam->setFaults(f);
    auto h = drv.open(drv.pathOf(*cam));

    Bytes out = controlRecord(0x40, 0xA4, 7, 8, 3);
    out[38] = 1;
    out[39] = 2;
    out[40] = 3;
    {
        UsbOverlapped ov;
        ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, out, out, &ov, nullptr), IoSubmit::Pending);
        ASSERT_TRUE(ov.wait(2000));
        uint32_t bytes = 0;
        EXPECT_TRUE(ov.result(bytes));
        EXPECT_EQ(bytes, 38u + 3);
    }
    Bytes in = controlRecord(0xC0, 0xA4, 7, 8, 4);
    UsbOverlapped ov;
    ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, in, in, &ov, nullptr), IoSubmit::Pending);
    ASSERT_TRUE(ov.wait(2000));
    uint32_t bytes = 0;
    EXPECT_TRUE(ov.result(bytes));
    EXPECT_EQ(bytes, 38u + 3);
    EXPECT_EQ(Bytes(in.begin() + 38, in.begin() + 41), (Bytes{1, 2, 3}));
    EXPECT_EQ(getLe32(in, Rec::kNtStatus), 0u);

    const auto reqs = cam->requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[1].setup.bRequest, 0xA4);
    EXPECT_EQ(reqs[1].setup.wValue, 7);
    EXPECT_EQ(reqs[1].setup.wIndex, 8);
    EXPECT_EQ(reqs[1].length, 4u);
    EXPECT_TRUE(reqs[1].completed);

    // An unsupported request stalls and reports it in the record.
    Bytes bad = controlRecord(0xC0, 0xEE, 0, 0, 4);
    UsbOverlapped ov2;
    h->ioControl(Ioctl::kControlTransfer, bad, bad, &ov2, nullptr);
    ASSERT_TRUE(ov2.wait(2000));
    EXPECT_FALSE(ov2.result(bytes));
    EXPECT_NE(getLe32(bad, Rec::kUsbStatus), 0u);
}

TEST(SimTransfers, StalledRequestCompletesOnlyWhenAborted) {
    SimDriver drv;
    auto cam = drv.addCamera();
    cam->setFirmware(std::make_shared<StoreFirmware>());
    SimFaults f;
    f.stallNext = 1;
    cam->setFaults(f);
    auto h = drv.open(drv.pathOf(*cam));
    Bytes rec = controlRecord(0xC0, 0xAB, 0, 0, 4);
    UsbOverlapped ov;
    ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr), IoSubmit::Pending);
    EXPECT_FALSE(ov.wait(20));
    Bytes ep{0x84};  // aborting another endpoint leaves it alone
    EXPECT_EQ(h->ioControl(Ioctl::kAbortPipe, ep, {}, nullptr, nullptr), IoSubmit::Done);
    EXPECT_FALSE(ov.wait(20));
    ep[0] = 0;
    EXPECT_EQ(h->ioControl(Ioctl::kAbortPipe, ep, {}, nullptr, nullptr), IoSubmit::Done);
    ASSERT_TRUE(ov.wait(1000));
    uint32_t bytes = 0;
    EXPECT_FALSE(ov.result(bytes));
    EXPECT_NE(getLe32(rec, Rec::kNtStatus), 0u);

    Bytes next = controlRecord(0xC0, 0xAB, 0, 0, 4);
    UsbOverlapped ov2;
    EXPECT_EQ(h->ioControl(Ioctl::kControlTransfer, next, next, &ov2, nullptr), IoSubmit::Done);
    EXPECT_TRUE(ov2.result(bytes));
}

TEST(SimTransfers, AbandonedRequestNeverWritesTheCallersBuffer) {
    SimDriver drv;
    auto cam = drv.addCamera();
    cam->setFirmware(std::make_shared<StoreFirmware>());
    SimFaults f;
    f.latencyUs = 20000;
    cam->setFaults(f);
    auto h = drv.open(drv.pathOf(*cam));
    {
        auto rec = std::make_unique<Bytes>(controlRecord(0xC0, 0xAB, 0, 0, 64));
        UsbOverlapped ov;
        ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, *rec, *rec, &ov, nullptr),
                  IoSubmit::Pending);
        // ov goes first, then the buffer: under ASan a late write would be caught here.
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    SUCCEED();
}

TEST(SimTransfers, BulkTrafficAndCorruptReplies) {
    SimDriver drv;
    auto cam = drv.addCamera();
    auto fw = std::make_shared<StoreFirmware>();
    cam->setFirmware(fw);
    auto h = drv.open(drv.pathOf(*cam));
    Bytes header = makeRequestRecord(0);
    header[Rec::kEndpoint] = 0x05;
    putLe32(header, Rec::kBufferOffset, 0);
    Bytes data{9, 8, 7, 6};
    uint32_t bytes = 0;
    {
        UsbOverlapped ov;
        ASSERT_EQ(h->ioControl(Ioctl::kBulkTransfer, header, data, &ov, nullptr), IoSubmit::Done);
        EXPECT_TRUE(ov.result(bytes));
        EXPECT_EQ(bytes, 4u);
    }
    EXPECT_EQ(fw->bulk, data);

    SimFaults f;
    f.corruptNext = 1;
    cam->setFaults(f);
    header[Rec::kEndpoint] = 0x84;
    Bytes back(4);
    {
        UsbOverlapped ov;
        ASSERT_EQ(h->ioControl(Ioctl::kBulkTransfer, header, back, &ov, nullptr), IoSubmit::Done);
        EXPECT_TRUE(ov.result(bytes));
    }
    EXPECT_EQ(back, (Bytes{0xF6, 0xF7, 0xF8, 0xF9}));
    {
        UsbOverlapped ov;
        h->ioControl(Ioctl::kBulkTransfer, header, back, &ov, nullptr);
        EXPECT_TRUE(ov.result(bytes));
    }
    EXPECT_EQ(back, data) << "only the next reply is corrupted";

    header[Rec::kEndpoint] = 0x02;  // no such endpoint
    UsbOverlapped ov;
    EXPECT_EQ(h->ioControl(Ioctl::kBulkTransfer, header, back, &ov, nullptr), IoSubmit::Failed);
}

TEST(SimTransfers, FailAfterAndUnplugAfter) {
    SimDriver drv;
    auto cam = drv.addCamera();
    cam->setFirmware(std::make_shared<StoreFirmware>());
    std::vector<std::pair<PlugEvent, std::string>> events;
    std::mutex m;
    const int token = drv.subscribe([&](PlugEvent e, const std::string& p) {
        std::lock_guard lock(m);
        events.emplace_back(e, p);
    });
    auto h = drv.open(drv.pathOf(*cam));
    auto send = [&] {
        Bytes rec = controlRecord(0xC0, 0xAB, 0, 0, 4);
        UsbOverlapped ov;
        return h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
    };
    SimFaults f;
    f.failAfter = 2;
    cam->setFaults(f);
    EXPECT_EQ(send(), IoSubmit::Done);
    EXPECT_EQ(send(), IoSubmit::Done);
    EXPECT_EQ(send(), IoSubmit::Failed);
    EXPECT_EQ(send(), IoSubmit::Failed);

    f = {};
    f.unplugAfter = 1;
    cam->setFaults(f);
    EXPECT_EQ(send(), IoSubmit::Done);
    EXPECT_EQ(send(), IoSubmit::Failed);
    EXPECT_TRUE(drv.interfacePaths(kCyUsbDriverGuid).empty());
    EXPECT_EQ(send(), IoSubmit::Failed) << "a gone camera fails every request";
    EXPECT_EQ(drv.open(drv.pathOf(*cam)), nullptr);

    drv.plug(cam);
    EXPECT_EQ(drv.interfacePaths(kCyUsbDriverGuid).size(), 1u);
    EXPECT_EQ(send(), IoSubmit::Done) << "the handle works again once the camera is back";
    drv.unsubscribe(token);
    drv.unplug(cam);
    std::lock_guard lock(m);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, PlugEvent::Left);
    EXPECT_EQ(events[0].second, "sim:1-1:04b4:00f1");
    EXPECT_EQ(events[1].first, PlugEvent::Arrived);
}

TEST(SimOptions, TimedPlugsBringCamerasInAndBack) {
    std::string err;
    // Plugged in after start: none at first, then the two.
    auto late = simDriverFromOptions("cameras=2;arrive_ms=20", {}, err);
    ASSERT_TRUE(late) << err;
    EXPECT_TRUE(late->interfacePaths(kCyUsbDriverGuid).empty());
    EXPECT_TRUE(TestSupport::eventually(
        [&] { return late->interfacePaths(kCyUsbDriverGuid).size() == 2; }));

    // Left after one transfer, back 20 ms later, and then it stays.
    auto drv = simDriverFromOptions("unplug_after=1;replug_ms=20", {}, err);
    ASSERT_TRUE(drv) << err;
    auto cam = drv->cameras().at(0);
    auto h = drv->open(drv->pathOf(*cam));
    ASSERT_TRUE(h);
    auto send = [&] {
        Bytes rec = controlRecord(0xC0, VR_FX3_VERSION, 0, 0, 4);
        UsbOverlapped ov;
        return h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
    };
    EXPECT_EQ(send(), IoSubmit::Done);
    EXPECT_EQ(send(), IoSubmit::Failed);
    EXPECT_TRUE(drv->interfacePaths(kCyUsbDriverGuid).empty());
    EXPECT_TRUE(TestSupport::eventually(
        [&] { return drv->interfacePaths(kCyUsbDriverGuid).size() == 1; }));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(send(), IoSubmit::Done);
}

TEST(SimTransfers, UnplugFailsWhatIsInFlight) {
    SimDriver drv;
    auto cam = drv.addCamera();
    cam->setFirmware(std::make_shared<StoreFirmware>());
    SimFaults f;
    f.stallNext = 1;
    cam->setFaults(f);
    auto h = drv.open(drv.pathOf(*cam));
    Bytes rec = controlRecord(0xC0, 0xAB, 0, 0, 4);
    UsbOverlapped ov;
    ASSERT_EQ(h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr), IoSubmit::Pending);
    drv.unplug(cam);
    ASSERT_TRUE(ov.wait(1000));
    uint32_t bytes = 0;
    EXPECT_FALSE(ov.result(bytes));
}

TEST(SimDriverPaths, CamerasGetPathsLocationsAndAddresses) {
    SimDriver drv;
    SimCameraConfig second;
    second.location = "3-2.4";
    second.productId = 0x00F3;
    auto a = drv.addCamera();
    auto b = drv.addCamera(second);
    EXPECT_EQ(drv.pathOf(*a), "sim:1-1:04b4:00f1");
    EXPECT_EQ(drv.pathOf(*b), "sim:3-2.4:04b4:00f3");
    EXPECT_EQ(drv.location(drv.pathOf(*b)), "3-2.4");
    EXPECT_EQ(drv.location("sim:9-9:04b4:00f1"), "");
    EXPECT_TRUE(drv.interfacePaths(Guid{}).empty()) << "only the FX3 driver's class lists";
    const uint64_t opens = drv.openCount();
    SimCameraConfig broken;
    broken.openFails = true;
    auto c = drv.addCamera(broken);
    EXPECT_EQ(drv.open(drv.pathOf(*c)), nullptr);
    EXPECT_EQ(drv.openCount(), opens + 1);
    EXPECT_EQ(drv.cameras().size(), 3u);
}

TEST(SimOptions, ParsesKeysAndRejectsBadOnesByName) {
    std::string err;
    auto drv = simDriverFromOptions(" cameras = 2 ; usb=2;latency_us=120;serial=X9; ", {}, err);
    ASSERT_TRUE(drv) << err;
    const auto cams = drv->cameras();
    ASSERT_EQ(cams.size(), 2u);
    EXPECT_EQ(cams[1]->config().usbVersion, 2);
    EXPECT_EQ(cams[1]->config().serial, "X9");
    EXPECT_EQ(cams[0]->faults().latencyUs, 120u);

    ASSERT_TRUE(simDriverFromOptions("", {}, err));
    EXPECT_EQ(simDriverFromOptions("", {}, err)->cameras().size(), 1u);
    EXPECT_TRUE(simDriverFromOptions("cameras=0", {}, err)->cameras().empty());

    const std::vector<std::pair<std::string, std::string>> bad{
        {"bogus=1", "unknown key 'bogus'"},    {"cameras=17", "bad value '17' for cameras"},
        {"cameras=-1", "for cameras"},         {"usb=4", "bad value '4' for usb"},
        {"latency_us=fast", "for latency_us"}, {"cameras", "'cameras' needs a value"},
    };
    for (const auto& [simOptions, text] : bad) {
        EXPECT_EQ(simDriverFromOptions(simOptions, {}, err), nullptr) << simOptions;
        EXPECT_NE(err.find(text), std::string::npos) << simOptions << ": " << err;
        EXPECT_EQ(err.rfind("TAVRO_SIM: ", 0), 0u);
    }
    simDriverFromOptions("bogus=1", {}, err);
    EXPECT_NE(err.find("(known: cameras, usb, latency_us"), std::string::npos) << err;
}

TEST(SimOptions, LaterLayersAddTheirOwnKeys) {
    const std::vector<SimOptionKey> extra{
        {"spare", "0-8191", [](const std::string& v, SimSetup& s, std::string& e) {
             if (v.empty()) {
                 e = "empty";
                 return false;
             }
             s.perCamera.push_back([v](SimCamera& cam) {
                 SimFaults f = cam.faults();
                 f.corruptNext = static_cast<uint32_t>(std::stoul(v));
                 cam.setFaults(f);
             });
             return true;
         }}};
    std::string err;
    auto drv = simDriverFromOptions("cameras=2;spare=7", extra, err);
    ASSERT_TRUE(drv) << err;
    for (const auto& cam : drv->cameras()) EXPECT_EQ(cam->faults().corruptNext, 7u);
    EXPECT_EQ(simDriverFromOptions("spare=", extra, err), nullptr);
    EXPECT_NE(err.find("for spare (empty"), std::string::npos) << err;
    EXPECT_EQ(simDriverFromOptions("spare=1", {}, err), nullptr) << "unknown without its layer";
}

TEST(SimConcurrency, TwoThreadsSubmitWhileTheCameraLeaves) {
    SimDriver drv;
    auto cam = drv.addCamera();
    cam->setFirmware(std::make_shared<StoreFirmware>());
    SimFaults f;
    f.latencyUs = 100;
    cam->setFaults(f);
    std::atomic<int> done{0};
    auto worker = [&] {
        auto h = drv.open(drv.pathOf(*cam));
        if (!h) return;
        for (int i = 0; i < 200; ++i) {
            Bytes rec = controlRecord(0xC0, 0xAB, 0, 0, 4);
            UsbOverlapped ov;
            const IoSubmit r = h->ioControl(Ioctl::kControlTransfer, rec, rec, &ov, nullptr);
            if (r == IoSubmit::Pending) ov.wait(1000);
            uint32_t bytes = 0;
            if (ov.result(bytes)) done++;
        }
    };
    std::thread t1(worker), t2(worker);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    drv.unplug(cam);
    drv.plug(cam);
    t1.join();
    t2.join();
    EXPECT_GT(done.load(), 0);
    EXPECT_LE(done.load(), 400);
}

}  // namespace
}  // namespace TVR::Sim
