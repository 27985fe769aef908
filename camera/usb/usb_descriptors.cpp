#include "usb_descriptors.h"

#include <algorithm>
#include <cstring>

namespace TVR {

namespace {

uint8_t byteAt(std::span<const uint8_t> b, size_t off) { return off < b.size() ? b[off] : 0; }

uint16_t le16At(std::span<const uint8_t> b, size_t off) {
    return static_cast<uint16_t>(byteAt(b, off) | (byteAt(b, off + 1) << 8));
}

// The descriptor at `pos` fits the walk's bytes.
bool fits(std::span<const uint8_t> b, size_t pos, size_t len) {
    return pos <= b.size() && len <= b.size() - pos;
}

UsbEndpointDescriptor parseEndpoint(std::span<const uint8_t> d) {
    UsbEndpointDescriptor e;
    e.bLength = byteAt(d, 0);
    e.bDescriptorType = byteAt(d, 1);
    e.bEndpointAddress = byteAt(d, 2);
    e.bmAttributes = byteAt(d, 3);
    e.wMaxPacketSize = le16At(d, 4);
    e.bInterval = byteAt(d, 6);
    e.maxTransferUnit = maxTransferUnit(e.wMaxPacketSize);
    return e;
}

// Only the descriptor's own bytes are read; fields beyond a short bLength stay 0.
UsbSsCompanionDescriptor parseCompanion(std::span<const uint8_t> d) {
    UsbSsCompanionDescriptor c;
    c.bLength = byteAt(d, 0);
    c.bDescriptorType = byteAt(d, 1);
    c.bMaxBurst = byteAt(d, 2);
    c.bmAttributes = byteAt(d, 3);
    c.wBytesPerInterval = le16At(d, 4);
    return c;
}

template <size_t N>
void copyCapability(std::span<const uint8_t> cap, std::array<uint8_t, N>& record) {
    const size_t n = std::min(cap.size(), N);
    std::memcpy(record.data(), cap.data(), n);
}

// The part of a string descriptor that both its bLength and the reply cover; empty when the
// descriptor is not a string descriptor with content.
std::span<const uint8_t> stringPayload(std::span<const uint8_t> b) {
    if (b.size() < DescSize::kStringHeader) return {};
    const size_t len = b[0];
    if (len <= DescSize::kStringHeader || b[1] != DescType::kString) return {};
    const size_t covered = std::min(len, b.size());
    const size_t units = (covered - DescSize::kStringHeader) / 2;
    return b.subspan(DescSize::kStringHeader, units * 2);
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// Appends a descriptor's fields as a descriptor of `length` bytes.
void appendDescriptor(std::vector<uint8_t>& out, std::vector<uint8_t> fields, size_t length) {
    fields.resize(length);
    out.insert(out.end(), fields.begin(), fields.end());
}

template <size_t N>
void appendCapability(std::vector<uint8_t>& out, const std::array<uint8_t, N>& record,
                      uint8_t type) {
    // A record the device did not fill still holds its default bytes.
    if (record[2] != type) return;
    appendDescriptor(out, {record.begin(), record.end()}, record[0]);
}

}  // namespace

uint32_t maxTransferUnit(uint16_t wMaxPacketSize) {
    return (((wMaxPacketSize >> 11) & 3u) + 1) * (wMaxPacketSize & 0x7FFu);
}

UsbDeviceDescriptor parseDeviceDescriptor(std::span<const uint8_t> b) {
    UsbDeviceDescriptor d;
    d.bLength = byteAt(b, 0);
    d.bDescriptorType = byteAt(b, 1);
    d.bcdUSBMinor = byteAt(b, 2);
    d.bcdUSBMajor = byteAt(b, 3);
    d.bDeviceClass = byteAt(b, 4);
    d.bDeviceSubClass = byteAt(b, 5);
    d.bDeviceProtocol = byteAt(b, 6);
    d.bMaxPacketSize0 = byteAt(b, 7);
    d.idVendor = le16At(b, 8);
    d.idProduct = le16At(b, 10);
    d.bcdDevice = le16At(b, 12);
    d.iManufacturer = byteAt(b, 14);
    d.iProduct = byteAt(b, 15);
    d.iSerialNumber = byteAt(b, 16);
    d.bNumConfigurations = byteAt(b, 17);
    return d;
}

size_t parseInterfaceDescriptor(std::span<const uint8_t> b, bool superSpeed,
                                UsbInterfaceDescriptor& out) {
    out = {};
    if (b.size() < DescSize::kInterface || b[0] < DescSize::kInterface || b[0] > b.size() ||
        b[1] != DescType::kInterface) {
        return 0;
    }
    out.bLength = b[0];
    out.bDescriptorType = b[1];
    out.bInterfaceNumber = b[2];
    out.bAlternateSetting = b[3];
    out.bNumEndpoints = b[4];
    out.bInterfaceClass = b[5];
    out.bInterfaceSubClass = b[6];
    out.bInterfaceProtocol = b[7];
    out.iInterface = b[8];

    size_t pos = b[0];
    size_t taken = 0;
    size_t skipped = 0;
    while (taken < out.bNumEndpoints && fits(b, pos, 2)) {
        const size_t len = b[pos];
        const uint8_t type = b[pos + 1];
        // A zero length would never advance, and nothing after it can be located; a truncated
        // descriptor lies partly outside the reply.
        if (len == 0 || !fits(b, pos, len)) break;
        // The device declared more endpoints than it has: the next interface is not ours.
        if (type == DescType::kInterface) break;
        if (type == DescType::kEndpoint && len >= DescSize::kEndpoint) {
            UsbEndpointInfo ep;
            ep.endpoint = parseEndpoint(b.subspan(pos, len));
            pos += len;
            if (superSpeed && fits(b, pos, 2) && b[pos] != 0 &&
                b[pos + 1] == DescType::kSsEndpointCompanion && fits(b, pos, b[pos])) {
                ep.companion = parseCompanion(b.subspan(pos, b[pos]));
                pos += b[pos];
            }
            out.endpoints.push_back(ep);
            ++taken;
            continue;
        }
        pos += len;
        if (skipped < kMaxSkippedPerInterface) {
            ++skipped;
        } else {
            ++taken;
        }
    }
    out.spanBytes = pos;
    return pos;
}

UsbConfigDescriptor parseConfigDescriptor(std::span<const uint8_t> b, bool superSpeed) {
    UsbConfigDescriptor c;
    c.bLength = byteAt(b, 0);
    c.bDescriptorType = byteAt(b, 1);
    c.wTotalLength = le16At(b, 2);
    c.bNumInterfaces = byteAt(b, 4);
    c.bConfigurationValue = byteAt(b, 5);
    c.iConfiguration = byteAt(b, 6);
    c.bmAttributes = byteAt(b, 7);
    c.bMaxPower = byteAt(b, 8);

    const auto walk = b.first(std::min<size_t>(c.wTotalLength, b.size()));
    size_t pos = c.bLength;
    while (fits(walk, pos, 2) && c.interfaces.size() < kMaxInterfaceRecords) {
        const size_t len = walk[pos];
        if (len == 0) break;
        if (walk[pos + 1] == DescType::kInterface) {
            UsbInterfaceDescriptor itf;
            const size_t used = parseInterfaceDescriptor(walk.subspan(pos), superSpeed, itf);
            if (used != 0) {
                c.interfaces.push_back(std::move(itf));
                pos += used;
                continue;
            }
        }
        pos += len;
    }
    for (auto& itf : c.interfaces) {
        itf.altSettingCount = static_cast<uint32_t>(std::count_if(
            c.interfaces.begin(), c.interfaces.end(),
            [&](const auto& other) { return other.bInterfaceNumber == itf.bInterfaceNumber; }));
    }
    return c;
}

UsbBosDescriptor parseBosDescriptor(std::span<const uint8_t> b) {
    UsbBosDescriptor bos;
    bos.bLength = byteAt(b, 0);
    bos.bDescriptorType = byteAt(b, 1);
    bos.wTotalLength = le16At(b, 2);
    bos.bNumDeviceCaps = byteAt(b, 4);

    const auto walk = b.first(std::min<size_t>(bos.wTotalLength, b.size()));
    size_t pos = bos.bLength;
    for (unsigned i = 0; i < bos.bNumDeviceCaps; ++i) {
        if (!fits(walk, pos, 2)) break;
        const size_t len = walk[pos];
        if (len == 0 || !fits(walk, pos, len)) break;
        const auto cap = walk.subspan(pos, len);
        if (len >= 3) {
            switch (cap[2]) {
                case DevCap::kUsb20Extension:
                    copyCapability(cap, bos.usb20Extension);
                    break;
                case DevCap::kSuperSpeedUsb:
                    copyCapability(cap, bos.superSpeedUsb);
                    break;
                case DevCap::kContainerId:
                    copyCapability(cap, bos.containerId);
                    break;
                default:
                    break;
            }
        }
        pos += len;
    }
    return bos;
}

std::u16string parseStringDescriptor(std::span<const uint8_t> b) {
    const auto payload = stringPayload(b);
    std::u16string text(payload.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(le16At(payload, 2 * i));
    return text;
}

std::vector<uint8_t> serialiseDeviceDescriptor(const UsbDeviceDescriptor& d) {
    std::vector<uint8_t> out{d.bLength,         d.bDescriptorType, d.bcdUSBMinor,
                             d.bcdUSBMajor,     d.bDeviceClass,    d.bDeviceSubClass,
                             d.bDeviceProtocol, d.bMaxPacketSize0};
    put16(out, d.idVendor);
    put16(out, d.idProduct);
    put16(out, d.bcdDevice);
    out.insert(out.end(), {d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations});
    return out;
}

std::vector<uint8_t> serialiseConfigDescriptor(const UsbConfigDescriptor& c) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> header{c.bLength, c.bDescriptorType};
    put16(header, c.wTotalLength);
    header.insert(header.end(), {c.bNumInterfaces, c.bConfigurationValue, c.iConfiguration,
                                 c.bmAttributes, c.bMaxPower});
    appendDescriptor(out, header, std::max<size_t>(c.bLength, DescSize::kConfiguration));
    for (const UsbInterfaceDescriptor& itf : c.interfaces) {
        appendDescriptor(out,
                         {itf.bLength, itf.bDescriptorType, itf.bInterfaceNumber,
                          itf.bAlternateSetting, itf.bNumEndpoints, itf.bInterfaceClass,
                          itf.bInterfaceSubClass, itf.bInterfaceProtocol, itf.iInterface},
                         itf.bLength);
        for (const UsbEndpointInfo& ep : itf.endpoints) {
            const UsbEndpointDescriptor& e = ep.endpoint;
            std::vector<uint8_t> fields{e.bLength, e.bDescriptorType, e.bEndpointAddress,
                                        e.bmAttributes};
            put16(fields, e.wMaxPacketSize);
            fields.push_back(e.bInterval);
            appendDescriptor(out, fields, e.bLength);
            if (!ep.companion) continue;
            const UsbSsCompanionDescriptor& k = *ep.companion;
            fields = {k.bLength, k.bDescriptorType, k.bMaxBurst, k.bmAttributes};
            put16(fields, k.wBytesPerInterval);
            appendDescriptor(out, fields, k.bLength);
        }
    }
    return out;
}

std::vector<uint8_t> serialiseBosDescriptor(const UsbBosDescriptor& bos) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> header{bos.bLength, bos.bDescriptorType};
    put16(header, bos.wTotalLength);
    header.push_back(bos.bNumDeviceCaps);
    appendDescriptor(out, header, std::max<size_t>(bos.bLength, DescSize::kBosHeader));
    appendCapability(out, bos.usb20Extension, DevCap::kUsb20Extension);
    appendCapability(out, bos.superSpeedUsb, DevCap::kSuperSpeedUsb);
    appendCapability(out, bos.containerId, DevCap::kContainerId);
    return out;
}

std::vector<uint8_t> serialiseStringDescriptor(std::u16string_view text) {
    constexpr size_t kMaxUnits = (0xFF - DescSize::kStringHeader) / 2;
    text = text.substr(0, kMaxUnits);
    std::vector<uint8_t> out{static_cast<uint8_t>(DescSize::kStringHeader + 2 * text.size()),
                             DescType::kString};
    for (const char16_t unit : text) put16(out, static_cast<uint16_t>(unit));
    return out;
}

std::vector<uint16_t> parseLanguageIds(std::span<const uint8_t> b) {
    const auto payload = stringPayload(b);
    std::vector<uint16_t> ids(payload.size() / 2);
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = le16At(payload, 2 * i);
    return ids;
}

uint16_t chooseLanguageId(std::span<const uint8_t> stringZero) {
    const auto ids = parseLanguageIds(stringZero);
    if (ids.empty()) return 0;
    if (std::find(ids.begin(), ids.end(), kLangIdEnglishUs) != ids.end()) return kLangIdEnglishUs;
    return ids.front();
}

}  // namespace TVR
