#include <gtest/gtest.h>

#include "usb/usb_descriptors.h"
#include "usb/usb_device.h"
#include "usb/utf_text.h"
#include "usb_helpers.h"

namespace TVR {
namespace {

using UsbTest::Bytes;
using UsbTest::classSpecific;
using UsbTest::companionDescriptor;
using UsbTest::concat;
using UsbTest::configHeader;
using UsbTest::endpointDescriptor;
using UsbTest::interfaceDescriptor;

TEST(ConfigParsing, ClassSpecificDescriptorsDoNotReduceEndpoints) {
    // A video-class interface: class-specific headers before and between its endpoints.
    const Bytes cfg = concat(
        {configHeader(2), interfaceDescriptor(0, 0, 1, 0x0E), classSpecific(13), classSpecific(9),
         classSpecific(11), endpointDescriptor(0x83, 3, 16), classSpecific(5, 0x25),
         interfaceDescriptor(1, 0, 3), endpointDescriptor(0x04, 2, 512), classSpecific(4),
         endpointDescriptor(0x84, 2, 512), endpointDescriptor(0x05, 2, 512)});
    const auto c = parseConfigDescriptor(cfg, false);
    ASSERT_EQ(c.interfaces.size(), 2u);
    ASSERT_EQ(c.interfaces[0].endpoints.size(), 1u);
    EXPECT_EQ(c.interfaces[0].endpoints[0].endpoint.bEndpointAddress, 0x83);
    EXPECT_EQ(c.interfaces[0].spanBytes, 9u + 13 + 9 + 11 + 7);
    ASSERT_EQ(c.interfaces[1].endpoints.size(), 3u);
    EXPECT_EQ(c.interfaces[1].endpoints[1].endpoint.bEndpointAddress, 0x84);
    EXPECT_EQ(c.interfaces[1].endpoints[2].endpoint.bEndpointAddress, 0x05);
    EXPECT_EQ(c.interfaces[1].bInterfaceClass, 0xFF);
    EXPECT_EQ(c.wTotalLength, cfg.size());
}

TEST(ConfigParsing, SkipLimitAndAlternateSettings) {
    // Twelve foreign descriptors: eleven are stepped over, the twelfth counts as an endpoint,
    // so only one real endpoint is taken.
    Bytes cfg = concat({configHeader(1), interfaceDescriptor(0, 0, 2)});
    for (int i = 0; i < 12; ++i) {
        const auto cs = classSpecific(3);
        cfg.insert(cfg.end(), cs.begin(), cs.end());
    }
    for (const auto& part : {endpointDescriptor(0x81, 2, 512), endpointDescriptor(0x02, 2, 512),
                             interfaceDescriptor(0, 1, 0), interfaceDescriptor(1, 0, 0)}) {
        cfg.insert(cfg.end(), part.begin(), part.end());
    }
    cfg[2] = static_cast<uint8_t>(cfg.size());
    const auto c = parseConfigDescriptor(cfg, false);
    ASSERT_EQ(c.interfaces.size(), 3u);
    ASSERT_EQ(c.interfaces[0].endpoints.size(), 1u);
    EXPECT_EQ(c.interfaces[0].endpoints[0].endpoint.bEndpointAddress, 0x81);
    EXPECT_EQ(c.interfaces[0].altSettingCount, 2u);
    EXPECT_EQ(c.interfaces[1].bAlternateSetting, 1);
    EXPECT_EQ(c.interfaces[1].altSettingCount, 2u);
    EXPECT_EQ(c.interfaces[2].altSettingCount, 1u);
}

TEST(ConfigParsing, AtMostEightInterfaceRecords) {
    Bytes cfg = configHeader(10);
    for (uint8_t i = 0; i < 10; ++i) {
        const auto itf = interfaceDescriptor(i, 0, 0);
        cfg.insert(cfg.end(), itf.begin(), itf.end());
    }
    cfg[2] = static_cast<uint8_t>(cfg.size());
    EXPECT_EQ(parseConfigDescriptor(cfg, false).interfaces.size(), kMaxInterfaceRecords);
}

TEST(ConfigParsing, InterfaceWithTooFewEndpointsDoesNotSwallowTheNext) {
    const Bytes cfg =
        concat({configHeader(2), interfaceDescriptor(0, 0, 3), endpointDescriptor(0x81, 2, 512),
                interfaceDescriptor(1, 0, 1), endpointDescriptor(0x02, 2, 512)});
    const auto c = parseConfigDescriptor(cfg, false);
    ASSERT_EQ(c.interfaces.size(), 2u);
    EXPECT_EQ(c.interfaces[0].endpoints.size(), 1u);
    ASSERT_EQ(c.interfaces[1].endpoints.size(), 1u);
    EXPECT_EQ(c.interfaces[1].endpoints[0].endpoint.bEndpointAddress, 0x02);
}

TEST(ConfigParsing, CompanionsOnlyOnSuperSpeed) {
    const Bytes cfg = concat({configHeader(1), interfaceDescriptor(0, 0, 2),
                              endpointDescriptor(0x81, 2, 1024), companionDescriptor(15, 0),
                              endpointDescriptor(0x82, 1, 1024), companionDescriptor(3, 2)});
    const auto ss = parseConfigDescriptor(cfg, true);
    ASSERT_EQ(ss.interfaces.size(), 1u);
    const auto& eps = ss.interfaces[0].endpoints;
    ASSERT_EQ(eps.size(), 2u);
    ASSERT_TRUE(eps[0].companion);
    EXPECT_EQ(eps[0].companion->bMaxBurst, 15);
    ASSERT_TRUE(eps[1].companion);
    EXPECT_EQ(eps[1].companion->bmAttributes, 2);
    EXPECT_EQ(ss.interfaces[0].spanBytes, cfg.size() - 9);

    // On USB 2 the companions are foreign descriptors and are stepped over.
    const auto hs = parseConfigDescriptor(cfg, false);
    ASSERT_EQ(hs.interfaces[0].endpoints.size(), 2u);
    EXPECT_FALSE(hs.interfaces[0].endpoints[0].companion);
    EXPECT_FALSE(hs.interfaces[0].endpoints[1].companion);
}

TEST(ConfigParsing, MaxTransferUnit) {
    EXPECT_EQ(maxTransferUnit(512), 512u);
    EXPECT_EQ(maxTransferUnit(0x1400), 3u * 1024);  // high-bandwidth: 3 transactions
    EXPECT_EQ(maxTransferUnit(0xFFFF), 4u * 2047);
}

TEST(ConfigParsing, HostileBytesStopTheWalk) {
    // A zero-length descriptor where an endpoint should be, and another in the walk.
    const Bytes zeroInItf = concat({configHeader(1), interfaceDescriptor(0, 0, 2),
                                    endpointDescriptor(0x81, 2, 512), Bytes{0, 5, 0, 0}});
    auto c = parseConfigDescriptor(zeroInItf, true);
    ASSERT_EQ(c.interfaces.size(), 1u);
    EXPECT_EQ(c.interfaces[0].endpoints.size(), 1u);

    const Bytes zeroInWalk =
        concat({configHeader(1), classSpecific(4), Bytes{0, 0, 0}, interfaceDescriptor(0, 0, 0)});
    EXPECT_TRUE(parseConfigDescriptor(zeroInWalk, false).interfaces.empty());

    // wTotalLength beyond the bytes, a descriptor running past the end, a truncated endpoint.
    Bytes longTotal = concat({configHeader(1), interfaceDescriptor(0, 0, 1)});
    longTotal.push_back(7);
    longTotal.push_back(5);
    longTotal[2] = 0xFF;
    longTotal[3] = 0xFF;
    c = parseConfigDescriptor(longTotal, false);
    ASSERT_EQ(c.interfaces.size(), 1u);
    EXPECT_TRUE(c.interfaces[0].endpoints.empty());

    // An interface descriptor that is shorter than one is not an interface record.
    const Bytes shortItf = concat({configHeader(1), Bytes{5, 4, 0, 0, 1}});
    EXPECT_TRUE(parseConfigDescriptor(shortItf, false).interfaces.empty());

    // A configuration whose own length is 0 or past the end.
    EXPECT_TRUE(parseConfigDescriptor(Bytes{0, 2, 0xFF, 0xFF}, false).interfaces.empty());
    EXPECT_TRUE(parseConfigDescriptor(Bytes{0xFF, 2, 0xFF, 0xFF}, false).interfaces.empty());
    EXPECT_TRUE(parseConfigDescriptor({}, true).interfaces.empty());

    // Only the bytes up to wTotalLength are walked.
    Bytes cut = concat({configHeader(1), interfaceDescriptor(0, 0, 0)});
    cut[2] = 9;
    EXPECT_TRUE(parseConfigDescriptor(cut, false).interfaces.empty());
}

TEST(BosParsing, CapabilitiesAndHostileLengths) {
    const Bytes usb2ext{7, 16, 2, 0x1E, 0xF4, 0, 0};
    const Bytes ss{10, 16, 3, 0, 0x0E, 0, 1, 0x0A, 0xFF, 0x07};
    const Bytes platform{8, 16, 5, 1, 2, 3, 4, 5};
    Bytes container{20, 16, 4, 0};
    for (uint8_t i = 0; i < 16; ++i) container.push_back(i);
    const auto bos = parseBosDescriptor(UsbTest::bosDescriptor({usb2ext, platform, ss, container}));
    EXPECT_TRUE(bos.valid());
    EXPECT_EQ(bos.bNumDeviceCaps, 4);
    EXPECT_EQ(Bytes(bos.usb20Extension.begin(), bos.usb20Extension.end()), usb2ext);
    EXPECT_EQ(Bytes(bos.superSpeedUsb.begin(), bos.superSpeedUsb.end()), ss);
    EXPECT_EQ(Bytes(bos.containerId.begin(), bos.containerId.end()), container);

    // Missing capabilities keep their default size in the length byte.
    const auto bare = parseBosDescriptor(UsbTest::bosDescriptor({}));
    EXPECT_TRUE(bare.valid());
    EXPECT_EQ(bare.superSpeedUsb[0], 10);
    EXPECT_EQ(bare.containerId[0], 20);

    // A capability claiming more bytes than remain stops the walk; a zero length too.
    Bytes overlong = UsbTest::bosDescriptor({usb2ext, ss});
    overlong[5 + 7] = 200;
    EXPECT_EQ(parseBosDescriptor(overlong).superSpeedUsb[4], 0);
    Bytes zero = UsbTest::bosDescriptor({Bytes{0, 16, 3}, ss});
    zero[4] = 255;
    EXPECT_EQ(parseBosDescriptor(zero).superSpeedUsb[4], 0);

    Bytes wrongType = UsbTest::bosDescriptor({ss});
    wrongType[1] = 14;
    EXPECT_FALSE(parseBosDescriptor(wrongType).valid());
    EXPECT_FALSE(parseBosDescriptor({}).valid());
}

TEST(StringParsing, LengthTypeAndLanguage) {
    EXPECT_EQ(parseStringDescriptor(UsbTest::stringDescriptor(u"Tavro")), u"Tavro");
    EXPECT_TRUE(parseStringDescriptor(Bytes{2, 3}).empty());
    EXPECT_TRUE(parseStringDescriptor(Bytes{1, 3, 'A', 0}).empty());
    EXPECT_TRUE(parseStringDescriptor(Bytes{6, 4, 'A', 0, 'B', 0}).empty());
    EXPECT_TRUE(parseStringDescriptor(Bytes{6}).empty());
    // An odd length drops the half character; a length past the reply takes what is there.
    EXPECT_EQ(parseStringDescriptor(Bytes{5, 3, 'A', 0, 'B'}), u"A");
    EXPECT_EQ(parseStringDescriptor(Bytes{200, 3, 'A', 0, 'B', 0}), u"AB");

    EXPECT_EQ(chooseLanguageId(Bytes{6, 3, 0x07, 0x04, 0x09, 0x04}), 0x0409);
    EXPECT_EQ(chooseLanguageId(Bytes{6, 3, 0x07, 0x04, 0x0C, 0x04}), 0x0407);
    EXPECT_EQ(chooseLanguageId(Bytes{2, 3}), 0);
    EXPECT_EQ(chooseLanguageId(Bytes{4, 1, 0x09, 0x04}), 0);
    EXPECT_EQ(chooseLanguageId({}), 0);
}

TEST(DeviceParsing, ShortRepliesAreInvalid) {
    const auto d = parseDeviceDescriptor(UsbTest::deviceDescriptor(0x0320, 9));
    EXPECT_TRUE(d.valid());
    EXPECT_EQ(d.bcdUSBMajor, 3);
    EXPECT_EQ(d.bcdUSBMinor, 0x20);
    EXPECT_EQ(d.idProduct, 0x00F1);
    EXPECT_EQ(d.iSerialNumber, 3);
    EXPECT_FALSE(parseDeviceDescriptor(Bytes{0, 1, 0x20, 0x03}).valid());
    EXPECT_FALSE(parseDeviceDescriptor({}).valid());
    const auto shortOne = parseDeviceDescriptor(Bytes{18, 1, 0x00, 0x02});
    EXPECT_EQ(shortOne.bcdUSBMajor, 2);
    EXPECT_EQ(shortOne.idVendor, 0);
}

TEST(PathSuffix, FnvOfUtf16LeDigits) {
    // Values computed independently over the UTF-16LE encoding.
    EXPECT_EQ(pathSuffixNumber("usb:1-2:04b4:00f1"), 87u);
    EXPECT_EQ(pathSuffixNumber("usb:1-3:04b4:00f1"), 85u);
    EXPECT_EQ(pathSuffixNumber("kamera-\xC3\xA4\xF0\x9F\x93\xB7"), 96u);
    const Bytes empty;
    EXPECT_EQ(fnv1a64(empty), 0xCBF29CE484222325ull);
}

TEST(Utf, RoundTripAndMalformedInput) {
    const std::string text = "Kamera \xC3\xA4 \xF0\x9F\x93\xB7";
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(widenDriverText("CYUSB3"), "CYUSB3");
    EXPECT_EQ(widenDriverText("caf\xE9"), "caf\xC3\xA9");
}

}  // namespace
}  // namespace TVR
