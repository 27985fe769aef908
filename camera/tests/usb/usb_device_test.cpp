#include <gtest/gtest.h>

#include <algorithm>

#include <fmt/format.h>

#include "sim/sim_descriptors.h"
#include "sim/sim_driver.h"
#include "usb/control_ep.h"
#include "usb/isoch_ep.h"
#include "usb/request_record.h"
#include "usb/usb_device.h"
#include "usb_helpers.h"

namespace TVR {
namespace {

using Sim::SimCameraConfig;
using Sim::SimDriver;
using Sim::SimRequestRecord;
using UsbTest::Bytes;
using UsbTest::concat;

// Standard descriptor reads that reached the camera, as (descriptor type, wLength, wIndex).
struct DescriptorRead {
    uint8_t type;
    uint16_t length;
    uint16_t langId;
};

std::vector<DescriptorRead> descriptorReads(const Sim::SimCamera& cam) {
    std::vector<DescriptorRead> reads;
    for (const SimRequestRecord& r : cam.requests()) {
        if (r.setup.bmRequestType == 0x80 && r.setup.bRequest == 6) {
            reads.push_back(
                {static_cast<uint8_t>(r.setup.wValue >> 8), r.setup.wLength, r.setup.wIndex});
        }
    }
    return reads;
}

TEST(UsbDeviceEnumeration, CountPathsAndIndexBeyondCount) {
    SimDriver drv;
    EXPECT_EQ(usbDeviceCount(drv), 0);
    drv.addCamera();
    drv.addCamera();
    EXPECT_EQ(usbDeviceCount(drv), 2);
    EXPECT_EQ(usbDevicePath(drv, 1), drv.pathOf(*drv.cameras()[1]));
    EXPECT_TRUE(usbDevicePath(drv, 2).empty());

    UsbDevice dev(drv);
    EXPECT_FALSE(dev.open(3));
    EXPECT_FALSE(dev.open(2));
    EXPECT_EQ(drv.openCount(), 0u);
    EXPECT_FALSE(dev.isOpen());
}

// bcdUSB is binary-coded decimal: the minor byte holds both digits after the point.
TEST(UsbDeviceOpen, UsbVersionPairKeepsBothMinorDigits) {
    struct Case {
        int usb;
        uint16_t bcd;
        std::pair<int, int> pair;
    };
    for (const Case& c : {Case{2, 0x0210, {2, 0x10}}, Case{3, 0x0320, {3, 0x20}},
                          Case{3, 0x0300, {3, 0x00}}, Case{2, 0x0201, {2, 0x01}}}) {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.usbVersion = c.usb;
        std::vector<uint8_t> desc = Sim::buildDeviceDescriptor(cfg);
        desc[2] = static_cast<uint8_t>(c.bcd & 0xFF);
        desc[3] = static_cast<uint8_t>(c.bcd >> 8);
        cfg.deviceDescriptor = desc;
        drv.addCamera(cfg);
        UsbDevice dev(drv, kCyUsbDriverGuid, true);
        ASSERT_TRUE(dev.isOpen()) << std::hex << c.bcd;
        EXPECT_EQ(dev.infoPair(UsbDevice::kPairUsbVersion), c.pair) << std::hex << c.bcd;
    }
}

TEST(UsbDeviceOpen, SuperSpeedCameraRecordsAndAccessors) {
    SimDriver drv;
    SimCameraConfig cfg;
    cfg.driverVersion = 0x00010203;
    auto cam = drv.addCamera(cfg);
    UsbDevice dev(drv, kCyUsbDriverGuid, true);
    ASSERT_TRUE(dev.isOpen());
    EXPECT_EQ(drv.openCount(), 1u);
    EXPECT_EQ(dev.path(), drv.pathOf(*cam));
    EXPECT_EQ(dev.deviceName(), "CYUSB3");
    EXPECT_EQ(dev.friendlyName(), "Tavro Brisco camera");  // a single camera: no suffix
    EXPECT_EQ(dev.languageId(), 0x0409);
    EXPECT_TRUE(dev.isSuperSpeed());
    EXPECT_FALSE(dev.isHighSpeed());
    EXPECT_TRUE(dev.bos().valid());
    EXPECT_EQ(dev.location(), drv.location(dev.path()));

    EXPECT_EQ(dev.infoPair(UsbDevice::kPairDriverVersion), std::make_pair(0x102, 3));
    EXPECT_EQ(dev.infoPair(UsbDevice::kPairUsbVersion).first, 3);
    EXPECT_EQ(dev.infoPair(3), std::make_pair(-1, -1));
    EXPECT_EQ(dev.infoText(UsbDevice::kTextManufacturer), "Tavro");
    EXPECT_EQ(dev.infoText(UsbDevice::kTextProduct), "Brisco USB3 camera");
    EXPECT_EQ(dev.infoText(UsbDevice::kTextPath), dev.path());
    EXPECT_EQ(dev.infoText(7), "{UNKNOWN}");
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberVendorId), 0x04B4u);
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberProductId), 0x00F1u);
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberSerial), static_cast<uint32_t>(u'T'));
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberMaxPower), dev.configuration().bMaxPower * 8u);
    EXPECT_EQ(dev.infoNumber(9), 0u);
    EXPECT_TRUE(dev.infoFlag(UsbDevice::kFlagSuperSpeed));
    EXPECT_FALSE(dev.infoFlag(5));
    EXPECT_EQ(dev.protocolText(), fmt::format("0x{:02X}", dev.deviceDescriptor().bDeviceProtocol));
    EXPECT_EQ(dev.protocolText(true), "{UNKNOWN}");

    // Every interface keeps all its endpoints, whatever class-specific descriptors it has.
    ASSERT_FALSE(dev.configuration().interfaces.empty());
    for (size_t i = 0; i < dev.configuration().interfaces.size(); ++i) {
        const auto& itf = dev.configuration().interfaces[i];
        EXPECT_EQ(itf.endpoints.size(), itf.bNumEndpoints) << "interface record " << i;
    }
    ASSERT_NE(dev.endpoint(0x84), nullptr);
    EXPECT_TRUE(dev.endpoint(0x84)->isIn());
    ASSERT_NE(dev.endpoint(0x04), nullptr);
    EXPECT_FALSE(dev.endpoint(0x04)->isIn());
    EXPECT_EQ(dev.endpoint(0), dev.controlEndpoint());
    EXPECT_EQ(dev.controlEndpoint()->transferUnit(), 512u);

    UsbTest::DebugCapture debug;
    EXPECT_EQ(dev.endpoint(0x8F), nullptr);
    EXPECT_TRUE(debug.contains("Failed to find endpoint."));

    dev.close();
    EXPECT_FALSE(dev.isOpen());
    EXPECT_TRUE(dev.path().empty());
    EXPECT_TRUE(dev.friendlyName().empty());
    EXPECT_EQ(dev.languageId(), 0);
    EXPECT_EQ(dev.controlEndpoint(), nullptr);
    EXPECT_TRUE(dev.configuration().interfaces.empty());
    EXPECT_FALSE(dev.deviceDescriptor().valid());
    dev.close();
    EXPECT_TRUE(debug.lines().size() == 1u);
}

TEST(UsbDeviceOpen, HighSpeedCameraReadsNoBos) {
    SimDriver drv;
    SimCameraConfig cfg;
    cfg.usbVersion = 2;
    auto cam = drv.addCamera(cfg);
    UsbDevice dev(drv);
    ASSERT_TRUE(dev.open(0));
    EXPECT_TRUE(dev.isHighSpeed());
    EXPECT_FALSE(dev.bos().valid());
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberMaxPower), dev.configuration().bMaxPower * 2u);
    EXPECT_EQ(dev.controlEndpoint()->transferUnit(), dev.deviceDescriptor().bMaxPacketSize0);
    for (const auto& r : descriptorReads(*cam)) EXPECT_NE(r.type, 15);
}

TEST(UsbDeviceOpen, DescriptorReadsFollowTheSteps) {
    SimDriver drv;
    auto cam = drv.addCamera();
    UsbDevice dev(drv);
    ASSERT_TRUE(dev.open(0));
    const auto reads = descriptorReads(*cam);
    ASSERT_GE(reads.size(), 7u);
    const auto bos = cam->bosDescriptor();
    const auto config = cam->configDescriptor();
    EXPECT_EQ(reads[0].type, 1);
    EXPECT_EQ(reads[0].length, 18);
    EXPECT_EQ(reads[1].type, 3);
    EXPECT_EQ(reads[1].length, 2);
    EXPECT_EQ(reads[2].type, 3);
    EXPECT_EQ(reads[3].type, 15);
    EXPECT_EQ(reads[3].length, 5);
    EXPECT_EQ(reads[4].type, 15);
    EXPECT_EQ(reads[4].length, bos.size());
    EXPECT_EQ(reads[5].type, 2);
    EXPECT_EQ(reads[5].length, 9);
    EXPECT_EQ(reads[6].type, 2);
    EXPECT_EQ(reads[6].length, config.size());
    for (const SimRequestRecord& r : cam->requests()) {
        if (r.setup.bmRequestType == 0x80 && r.setup.bRequest == 6) {
            EXPECT_EQ(r.timeoutSec, 1u);
        }
    }
}

TEST(UsbDeviceOpen, WrongBosTypeLeavesTheDeviceClosed) {
    SimDriver drv;
    SimCameraConfig cfg;
    Bytes bos = UsbTest::bosDescriptor({Bytes{10, 16, 3, 0, 0x0E, 0, 1, 0x0A, 0xFF, 0x07}});
    bos[1] = 0x0E;
    cfg.bosDescriptor = bos;
    drv.addCamera(cfg);
    UsbTest::DebugCapture debug;
    UsbDevice dev(drv);
    EXPECT_FALSE(dev.open(0));
    EXPECT_FALSE(dev.isOpen());
    EXPECT_TRUE(dev.path().empty());
    EXPECT_EQ(dev.controlEndpoint(), nullptr);
    EXPECT_TRUE(debug.contains("Wrong (empty?) BOS Descriptor"));
    EXPECT_EQ(drv.openCount(), 1u);
}

TEST(UsbDeviceOpen, BrokenDescriptorsLeaveTheDeviceClosed) {
    struct Case {
        const char* name;
        SimCameraConfig cfg;
    };
    std::vector<Case> cases;
    SimCameraConfig noInterface;
    noInterface.configDescriptor = concat({UsbTest::configHeader(0), UsbTest::classSpecific(6)});
    cases.push_back({"no interface", noInterface});
    SimCameraConfig zeroDevice;
    zeroDevice.deviceDescriptor = Bytes(18, 0);
    cases.push_back({"zero device descriptor", zeroDevice});
    SimCameraConfig shortDevice;
    shortDevice.deviceDescriptor = Bytes{4, 2, 0x00, 0x03};  // wrong type, cut short
    cases.push_back({"truncated device descriptor", shortDevice});
    SimCameraConfig emptyConfig;
    emptyConfig.configDescriptor = Bytes{};
    cases.push_back({"empty configuration", emptyConfig});
    SimCameraConfig emptyBos;
    emptyBos.bosDescriptor = Bytes{};
    cases.push_back({"empty BOS", emptyBos});
    SimCameraConfig zeroConfig;
    zeroConfig.configDescriptor = Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0};
    cases.push_back({"zero-length configuration", zeroConfig});

    for (auto& c : cases) {
        SimDriver drv;
        drv.addCamera(c.cfg);
        UsbDevice dev(drv);
        EXPECT_FALSE(dev.open(0)) << c.name;
        EXPECT_FALSE(dev.isOpen()) << c.name;
        EXPECT_TRUE(dev.configuration().interfaces.empty()) << c.name;
        EXPECT_EQ(dev.controlEndpoint(), nullptr) << c.name;
    }
}

TEST(UsbDeviceOpen, HostileConfigurations) {
    // A zero-length descriptor after the first interface: the walk stops there instead of
    // spinning, and the device opens with what came before.
    const Bytes zeroInside =
        concat({UsbTest::configHeader(2), UsbTest::interfaceDescriptor(0, 0, 1),
                UsbTest::endpointDescriptor(0x84, 2, 1024), UsbTest::companionDescriptor(0, 0),
                Bytes{0, 0x24, 1, 2}, UsbTest::interfaceDescriptor(1, 0, 0)});
    {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.configDescriptor = zeroInside;
        drv.addCamera(cfg);
        UsbDevice dev(drv);
        ASSERT_TRUE(dev.open(0));
        ASSERT_EQ(dev.configuration().interfaces.size(), 1u);
        EXPECT_NE(dev.endpoint(0x84), nullptr);
    }
    // A total length past what the device returns: the driver leaves the rest of the data area
    // zero, and the walk ends at the first zero length byte.
    {
        Bytes claimsMore = concat({UsbTest::configHeader(1), UsbTest::interfaceDescriptor(0, 0, 2),
                                   UsbTest::endpointDescriptor(0x84, 2, 1024),
                                   UsbTest::companionDescriptor(0, 0)});
        claimsMore[2] = 0x00;
        claimsMore[3] = 0x04;
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.configDescriptor = claimsMore;
        auto cam = drv.addCamera(cfg);
        UsbDevice dev(drv);
        ASSERT_TRUE(dev.open(0));
        EXPECT_EQ(dev.configuration().wTotalLength, 1024);
        ASSERT_EQ(dev.configuration().interfaces.size(), 1u);
        EXPECT_EQ(dev.interfaceEndpoints(0).size(), 1u);
        const auto reads = descriptorReads(*cam);
        ASSERT_FALSE(reads.empty());
        EXPECT_EQ(reads.back().length, 1024);
    }
}

TEST(UsbDeviceOpen, CompanionsGiveTheTransferUnits) {
    const Bytes config = concat(
        {UsbTest::configHeader(1), UsbTest::interfaceDescriptor(0, 0, 4),
         UsbTest::endpointDescriptor(0x81, 2, 1024), UsbTest::companionDescriptor(15, 0),
         UsbTest::endpointDescriptor(0x82, 1, 1024), UsbTest::companionDescriptor(3, 2),
         UsbTest::endpointDescriptor(0x83, 3, 64), UsbTest::endpointDescriptor(0x00, 0, 64)});
    {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.configDescriptor = config;
        drv.addCamera(cfg);
        UsbDevice dev(drv);
        ASSERT_TRUE(dev.open(0));
        EXPECT_EQ(dev.endpoint(0x81)->transferUnit(), 1024u * 16);
        EXPECT_EQ(dev.endpoint(0x82)->transferUnit(), 1024u * 4 * 3);
        EXPECT_NE(dynamic_cast<IsochEP*>(dev.endpoint(0x82)), nullptr);
        EXPECT_EQ(dev.endpoint(0x83)->transferUnit(), 64u);  // no companion
        // The control-type endpoint descriptor gets no object.
        EXPECT_EQ(dev.interfaceEndpoints(0).size(), 3u);
        EXPECT_EQ(dev.currentInterface()->endpoints.size(), 4u);
    }
    {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.usbVersion = 2;
        cfg.configDescriptor = config;
        drv.addCamera(cfg);
        UsbDevice dev(drv);
        ASSERT_TRUE(dev.open(0));
        EXPECT_EQ(dev.endpoint(0x81)->transferUnit(), 1024u);
        EXPECT_FALSE(dev.endpoint(0x82)->companion());
    }
}

TEST(UsbDeviceStrings, DescriptorRulesAndLanguage) {
    SimDriver drv;
    SimCameraConfig cfg;
    cfg.languages = {0x0407, 0x0409};
    cfg.stringDescriptors[1] = Bytes{2, 3};                          // iManufacturer: nothing
    cfg.stringDescriptors[2] = Bytes{8, 4, 'A', 0, 'B', 0, 'C', 0};  // iProduct: wrong type
    cfg.stringDescriptors[3] = UsbTest::stringDescriptor(u"\u00C4X");
    cfg.stringDescriptors[4] = Bytes{7, 3, 'O', 0, 'K', 0, '!'};
    auto cam = drv.addCamera(cfg);
    UsbDevice dev(drv);
    ASSERT_TRUE(dev.open(0));
    EXPECT_EQ(dev.languageId(), 0x0409);
    EXPECT_TRUE(dev.readStringDescriptor(1).empty());
    EXPECT_TRUE(dev.readStringDescriptor(2).empty());
    EXPECT_EQ(dev.readStringDescriptor(3), u"\u00C4X");
    EXPECT_EQ(dev.readStringDescriptor(4), u"OK");
    EXPECT_EQ(dev.infoNumber(UsbDevice::kNumberSerial), 0xC4u);
    EXPECT_EQ(dev.infoText(UsbDevice::kTextManufacturer), "");

    cam->clearRequests();
    dev.readStringDescriptor(4);
    const auto reads = descriptorReads(*cam);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].length, 2);
    EXPECT_EQ(reads[1].length, 7);
    EXPECT_EQ(reads[1].langId, 0x0409);

    // A string the device does not answer with a header reads as empty, without a second read.
    cam->clearRequests();
    EXPECT_TRUE(dev.readStringDescriptor(1).empty());
    EXPECT_EQ(descriptorReads(*cam).size(), 1u);
}

TEST(UsbDeviceStrings, LanguageChoice) {
    for (const auto& [languages, expected] :
         std::vector<std::pair<std::vector<uint16_t>, uint16_t>>{
             {{0x0407, 0x040C}, 0x0407}, {{0x0409}, 0x0409}, {{}, 0}}) {
        SimDriver drv;
        SimCameraConfig cfg;
        cfg.languages = languages;
        auto cam = drv.addCamera(cfg);
        UsbDevice dev(drv);
        ASSERT_TRUE(dev.open(0));
        EXPECT_EQ(dev.languageId(), expected);
        cam->clearRequests();
        dev.readStringDescriptor(dev.deviceDescriptor().iProduct);
        const auto reads = descriptorReads(*cam);
        ASSERT_FALSE(reads.empty());
        EXPECT_EQ(reads[0].langId, expected);
    }
}

TEST(UsbDeviceNames, IdenticalCamerasDifferOnlyInSuffix) {
    SimDriver drv;
    drv.addCamera();
    drv.addCamera();
    UsbDevice first(drv);
    UsbDevice second(drv);
    ASSERT_TRUE(first.open(0));
    ASSERT_TRUE(second.open(1));
    const std::string base = "Tavro Brisco camera";
    EXPECT_EQ(first.friendlyName(), fmt::format("{} @{}", base, pathSuffixNumber(first.path())));
    EXPECT_EQ(second.friendlyName(), fmt::format("{} @{}", base, pathSuffixNumber(second.path())));
    EXPECT_NE(first.friendlyName(), second.friendlyName());

    // Reopening gives the same name: the number belongs to the path.
    const std::string name = second.friendlyName();
    second.close();
    ASSERT_TRUE(second.open(1));
    EXPECT_EQ(second.friendlyName(), name);
}

TEST(UsbDeviceNames, FailedDriverQueriesGiveTheDefault) {
    SimDriver drv;
    drv.addCamera();
    UsbDevice dev(drv);
    EXPECT_EQ(dev.driverString(Ioctl::kQueryDeviceName, "closed"), "closed");
    ASSERT_TRUE(dev.open(0));
    constexpr uint32_t kNoSuchQuery = 99;
    EXPECT_EQ(dev.driverString(kNoSuchQuery, "fallback"), "fallback");
    EXPECT_EQ(dev.driverValue(kNoSuchQuery, 77), 77u);
    EXPECT_EQ(dev.driverValue(Ioctl::kQuerySpeed, 0), kSpeedSuper);
}

}  // namespace
}  // namespace TVR
