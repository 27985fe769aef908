#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/sim_camera.h"
#include "usb/usb_descriptors.h"
#include "usb_helpers.h"

namespace TVR {
namespace {

using UsbTest::Bytes;
using UsbTest::concat;
using UsbTest::configHeader;
using UsbTest::interfaceDescriptor;

// The descriptors of a configuration whose type is one of `types`, in order.
Bytes keepTypes(const Bytes& config, std::initializer_list<uint8_t> types) {
    Bytes kept;
    for (size_t pos = 0; pos + 1 < config.size() && config[pos] != 0; pos += config[pos]) {
        if (std::find(types.begin(), types.end(), config[pos + 1]) == types.end()) continue;
        kept.insert(kept.end(), config.begin() + static_cast<std::ptrdiff_t>(pos),
                    config.begin() + static_cast<std::ptrdiff_t>(pos + config[pos]));
    }
    return kept;
}

TEST(DescriptorWriting, SimulatedCameraDescriptorsComeBackAsServed) {
    for (const int usbVersion : {2, 3}) {
        SCOPED_TRACE(usbVersion);
        Sim::SimCameraConfig config;
        config.usbVersion = usbVersion;
        const Sim::SimCamera cam(config);
        const bool superSpeed = usbVersion == 3;

        const Bytes device = cam.deviceDescriptor();
        EXPECT_EQ(serialiseDeviceDescriptor(parseDeviceDescriptor(device)), device);
        for (uint8_t index = 0; index <= 3; ++index) {
            const Bytes text = cam.stringDescriptor(index);
            EXPECT_EQ(serialiseStringDescriptor(parseStringDescriptor(text)), text) << +index;
        }
        if (superSpeed) {
            const Bytes bos = cam.bosDescriptor();
            EXPECT_EQ(serialiseBosDescriptor(parseBosDescriptor(bos)), bos);
        }

        // The video function's class-specific descriptors and its interface association are
        // not part of the records; everything else is written as served.
        const Bytes served = cam.configDescriptor();
        const UsbConfigDescriptor parsed = parseConfigDescriptor(served, superSpeed);
        const Bytes written = serialiseConfigDescriptor(parsed);
        EXPECT_EQ(written,
                  keepTypes(served, {DescType::kConfiguration, DescType::kInterface,
                                     DescType::kEndpoint, DescType::kSsEndpointCompanion}));
        UsbConfigDescriptor again = parseConfigDescriptor(written, superSpeed);
        ASSERT_EQ(again.interfaces.size(), parsed.interfaces.size());
        for (size_t i = 0; i < again.interfaces.size(); ++i) {
            again.interfaces[i].spanBytes = parsed.interfaces[i].spanBytes;
        }
        EXPECT_EQ(again, parsed);
    }
}

TEST(DescriptorWriting, DescriptorsKeepTheLengthTheDeviceGaveThem) {
    // A 12-byte configuration header, an audio-style 9-byte endpoint and a companion cut to
    // four bytes: the written form has the same lengths, padded with zeros.
    Bytes header = configHeader(1);
    header[0] = 12;
    header.insert(header.end(), {0xAA, 0xBB, 0xCC});
    const Bytes endpoint{9, DescType::kEndpoint, 0x81, 0x01, 0xC0, 0x00, 0x04, 0xEE, 0xEE};
    const Bytes companion{4, DescType::kSsEndpointCompanion, 0x02, 0x01};
    Bytes config = concat({header, interfaceDescriptor(0, 0, 1, 0x01), endpoint, companion});
    config[2] = static_cast<uint8_t>(config.size());

    const UsbConfigDescriptor parsed = parseConfigDescriptor(config, true);
    ASSERT_EQ(parsed.interfaces.size(), 1u);
    ASSERT_TRUE(parsed.interfaces[0].endpoints[0].companion.has_value());
    Bytes expected = config;
    for (const size_t pad : {9, 10, 11, 9 + 3 + 9 + 7, 9 + 3 + 9 + 8}) expected[pad] = 0;
    EXPECT_EQ(serialiseConfigDescriptor(parsed), expected);

    // A BOS record longer than its kind keeps its length; only its own bytes are copied.
    const Bytes bos{5, DescType::kBos, 15,   0,   1, 10, 0x10, DevCap::kUsb20Extension, 2, 0, 0,
                    0, 0x77,           0x77, 0x77};
    const Bytes writtenBos = serialiseBosDescriptor(parseBosDescriptor(bos));
    EXPECT_EQ(writtenBos, (Bytes{5, DescType::kBos, 15, 0, 1, 10, 0x10, DevCap::kUsb20Extension, 2,
                                 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(parseBosDescriptor(writtenBos), parseBosDescriptor(bos));

    // 126 characters fill a string descriptor's length byte; more are not written.
    const std::u16string longText(130, u'x');
    const Bytes text = serialiseStringDescriptor(longText);
    EXPECT_EQ(text.size(), 254u);
    EXPECT_EQ(text[0], 254);
    EXPECT_EQ(parseStringDescriptor(text), std::u16string(126, u'x'));
}

}  // namespace
}  // namespace TVR
