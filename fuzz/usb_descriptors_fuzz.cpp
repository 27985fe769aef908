// Feeds device replies to the USB descriptor parsers. The first byte chooses the parser, the
// rest is the reply as a device would return it.
//
// Each parse is written back and parsed again: the records must survive the trip, and a reply
// made only of what the parser keeps must come back byte for byte. A parser that reads a field
// from the wrong place, or a record it loses, shows up here and not only as a memory fault.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "usb/usb_descriptors.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool sameBytes(const Bytes& a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// The walked part of a reply: up to wTotalLength.
std::span<const uint8_t> walked(std::span<const uint8_t> reply, uint16_t totalLength) {
    return reply.first(std::min<size_t>(totalLength, reply.size()));
}

// spanBytes counts what the parser stepped over; the written form has none of that.
TVR::UsbConfigDescriptor withoutSpans(TVR::UsbConfigDescriptor c) {
    for (auto& itf : c.interfaces) itf.spanBytes = 0;
    return c;
}

size_t writtenSize(const TVR::UsbInterfaceDescriptor& itf) {
    size_t n = itf.bLength;
    for (const auto& ep : itf.endpoints) {
        n += ep.endpoint.bLength;
        if (ep.companion) n += ep.companion->bLength;
    }
    return n;
}

bool oneByteCompanion(const TVR::UsbConfigDescriptor& c) {
    for (const auto& itf : c.interfaces) {
        for (const auto& ep : itf.endpoints) {
            if (ep.companion && ep.companion->bLength < 2) return true;
        }
    }
    return false;
}

void checkConfig(std::span<const uint8_t> reply, bool superSpeed) {
    const TVR::UsbConfigDescriptor parsed = TVR::parseConfigDescriptor(reply, superSpeed);
    FUZZ_CHECK(parsed.interfaces.size() <= TVR::kMaxInterfaceRecords);
    for (const auto& itf : parsed.interfaces) {
        FUZZ_CHECK(itf.valid() && itf.bLength >= TVR::DescSize::kInterface);
        FUZZ_CHECK(itf.endpoints.size() <= itf.bNumEndpoints);
        FUZZ_CHECK(itf.spanBytes >= writtenSize(itf));
        for (const auto& ep : itf.endpoints) {
            FUZZ_CHECK(ep.endpoint.bDescriptorType == TVR::DescType::kEndpoint);
            FUZZ_CHECK(ep.endpoint.bLength >= TVR::DescSize::kEndpoint);
            FUZZ_CHECK(superSpeed || !ep.companion);
        }
    }

    const Bytes written = TVR::serialiseConfigDescriptor(parsed);
    const TVR::UsbConfigDescriptor again = TVR::parseConfigDescriptor(written, superSpeed);
    // The header's fields sit at fixed offsets whatever its bLength says.
    FUZZ_CHECK(again.bLength == parsed.bLength && again.wTotalLength == parsed.wTotalLength &&
               again.bNumInterfaces == parsed.bNumInterfaces &&
               again.bConfigurationValue == parsed.bConfigurationValue &&
               again.iConfiguration == parsed.iConfiguration &&
               again.bmAttributes == parsed.bmAttributes && again.bMaxPower == parsed.bMaxPower &&
               again.bDescriptorType == parsed.bDescriptorType);
    // A header shorter than its fields overlaps the first descriptor, and a one-byte companion
    // has no room for its type: neither can be written back.
    if (parsed.bLength < TVR::DescSize::kConfiguration || oneByteCompanion(parsed)) return;
    FUZZ_CHECK(withoutSpans(again) == withoutSpans(parsed));
    for (const auto& itf : again.interfaces) FUZZ_CHECK(itf.spanBytes == writtenSize(itf));
    FUZZ_CHECK(TVR::serialiseConfigDescriptor(again) == written);

    // Nothing stepped over and every descriptor of its standard size: the reply itself.
    bool standard = parsed.bLength == TVR::DescSize::kConfiguration;
    for (const auto& itf : parsed.interfaces) {
        standard = standard && itf.bLength == TVR::DescSize::kInterface;
        for (const auto& ep : itf.endpoints) {
            standard =
                standard && ep.endpoint.bLength == TVR::DescSize::kEndpoint &&
                (!ep.companion || ep.companion->bLength == TVR::DescSize::kSsEndpointCompanion);
        }
    }
    const auto walk = walked(reply, parsed.wTotalLength);
    if (standard && written.size() == walk.size()) FUZZ_CHECK(sameBytes(written, walk));
}

template <size_t N>
bool filled(const std::array<uint8_t, N>& record, uint8_t type) {
    return record[2] == type;
}

// A record shorter than its kind keeps its default bytes beyond its length, unless a second
// record of the same kind overwrote only part of the first.
template <size_t N>
bool writable(const std::array<uint8_t, N>& record, uint8_t type) {
    if (!filled(record, type) || record[0] >= N) return true;
    return std::all_of(record.begin() + record[0], record.end(), [](uint8_t b) { return b == 0; });
}

void checkBos(std::span<const uint8_t> reply) {
    const TVR::UsbBosDescriptor parsed = TVR::parseBosDescriptor(reply);
    const Bytes written = TVR::serialiseBosDescriptor(parsed);
    const TVR::UsbBosDescriptor again = TVR::parseBosDescriptor(written);
    FUZZ_CHECK(again.bLength == parsed.bLength && again.wTotalLength == parsed.wTotalLength &&
               again.bNumDeviceCaps == parsed.bNumDeviceCaps &&
               again.bDescriptorType == parsed.bDescriptorType);
    if (parsed.bLength < TVR::DescSize::kBosHeader ||
        !writable(parsed.usb20Extension, TVR::DevCap::kUsb20Extension) ||
        !writable(parsed.superSpeedUsb, TVR::DevCap::kSuperSpeedUsb) ||
        !writable(parsed.containerId, TVR::DevCap::kContainerId)) {
        return;
    }
    FUZZ_CHECK(again == parsed);
    FUZZ_CHECK(TVR::serialiseBosDescriptor(again) == written);

    // Every byte of the reply is a full-size record in type order: the reply itself.
    const bool fullSize = parsed.bLength == TVR::DescSize::kBosHeader &&
                          (!filled(parsed.usb20Extension, TVR::DevCap::kUsb20Extension) ||
                           parsed.usb20Extension[0] == TVR::DevCap::kUsb20ExtensionSize) &&
                          (!filled(parsed.superSpeedUsb, TVR::DevCap::kSuperSpeedUsb) ||
                           parsed.superSpeedUsb[0] == TVR::DevCap::kSuperSpeedUsbSize) &&
                          (!filled(parsed.containerId, TVR::DevCap::kContainerId) ||
                           parsed.containerId[0] == TVR::DevCap::kContainerIdSize);
    const auto walk = walked(reply, parsed.wTotalLength);
    if (!fullSize || written.size() != walk.size()) return;
    bool inOrder = true;
    for (size_t pos = TVR::DescSize::kBosHeader; pos + 2 < written.size(); pos += written[pos]) {
        inOrder = inOrder && walk[pos + 2] == written[pos + 2];
    }
    if (inOrder) FUZZ_CHECK(sameBytes(written, walk));
}

void checkString(std::span<const uint8_t> reply) {
    const std::u16string text = TVR::parseStringDescriptor(reply);
    FUZZ_CHECK(text.size() <= 126);
    const Bytes written = TVR::serialiseStringDescriptor(text);
    FUZZ_CHECK(TVR::parseStringDescriptor(written) == text);
    FUZZ_CHECK(written.size() == 2 + 2 * text.size());
    if (!text.empty()) {
        FUZZ_CHECK(std::equal(written.begin() + 2, written.end(), reply.begin() + 2));
    }
    // A whole descriptor of even length is written back as it came.
    if (reply.size() > 2 && reply[0] == reply.size() && reply.size() % 2 == 0 &&
        reply[1] == TVR::DescType::kString) {
        FUZZ_CHECK(sameBytes(written, reply));
    }

    const auto languages = TVR::parseLanguageIds(reply);
    FUZZ_CHECK(languages.size() == text.size());
    const uint16_t chosen = TVR::chooseLanguageId(reply);
    FUZZ_CHECK(languages.empty()
                   ? chosen == 0
                   : std::find(languages.begin(), languages.end(), chosen) != languages.end());
}

void checkDevice(std::span<const uint8_t> reply) {
    const TVR::UsbDeviceDescriptor parsed = TVR::parseDeviceDescriptor(reply);
    const Bytes written = TVR::serialiseDeviceDescriptor(parsed);
    // All 18 bytes are fields: the reply comes back, cut or padded with zeros to 18.
    Bytes expected(reply.begin(), reply.begin() + std::min(reply.size(), TVR::DescSize::kDevice));
    expected.resize(TVR::DescSize::kDevice);
    FUZZ_CHECK(written == expected);
    FUZZ_CHECK(TVR::parseDeviceDescriptor(written) == parsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> reply(data + 1, size - 1);
    switch (data[0] % 5) {
        case 0:
            checkConfig(reply, false);
            break;
        case 1:
            checkConfig(reply, true);
            break;
        case 2:
            checkBos(reply);
            break;
        case 3:
            checkString(reply);
            break;
        default:
            checkDevice(reply);
            break;
    }
    return 0;
}
