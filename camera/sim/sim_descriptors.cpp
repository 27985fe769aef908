#include "sim_descriptors.h"

#include <initializer_list>

#include "sim/sim_bytes.h"
#include "sim/sim_camera.h"
#include "usb/usb_descriptors.h"

namespace TVR::Sim {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kClassVendor = 0xFF;

// Byte by byte: GCC 12 at -O3 misreads a vector insert of a braced list as out of bounds.
void append(Bytes& b, std::initializer_list<uint8_t> bytes) {
    for (const uint8_t x : bytes) b.push_back(x);
}

bool super(const SimCameraConfig& cfg) { return cfg.usbVersion >= 3; }

void interfaceDesc(Bytes& b, uint8_t number, uint8_t alt, uint8_t endpoints, uint8_t cls,
                   uint8_t subclass) {
    append(b, {9, DescType::kInterface, number, alt, endpoints, cls, subclass, 0, 0});
}

void endpointDesc(Bytes& b, const SimCameraConfig& cfg, uint8_t address, uint8_t attributes,
                  uint16_t maxPacket, uint8_t interval, uint8_t burst, uint8_t companionAttr,
                  uint16_t bytesPerInterval) {
    append(b, {7, DescType::kEndpoint, address, attributes});
    appendLe16(b, maxPacket);
    b.push_back(interval);
    if (super(cfg)) {
        append(b, {6, DescType::kSsEndpointCompanion, burst, companionAttr});
        appendLe16(b, bytesPerInterval);
    }
}

// The YUY2 GUID of the UVC uncompressed format descriptor.
constexpr uint8_t kGuidYuy2[16] = {'Y',  'U',  'Y',  '2',  0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void videoFunction(Bytes& b, const SimCameraConfig& cfg) {
    // Interface association: interfaces 1 and 2 form the camera's UVC function.
    append(b, {8, DescType::kInterfaceAssociation, 1, 2, kClassVideo, 3, 0, 0});

    // VideoControl, with its class-specific header and terminals before its endpoint.
    interfaceDesc(b, 1, 0, 1, kClassVideo, 1);
    const size_t vcHeader = b.size();
    append(b, {13, DescType::kClassInterface, 1});
    appendLe16(b, 0x0110);
    appendLe16(b, 0);  // total length, patched below
    appendLe32(b, 48000000);
    append(b, {1, 2});
    // Camera input terminal.
    append(b, {18, DescType::kClassInterface, 2, 1});
    appendLe16(b, 0x0201);
    append(b, {0, 0});
    appendLe16(b, 0);
    appendLe16(b, 0);
    appendLe16(b, 0);
    append(b, {3, 0x0A, 0x00, 0x00});
    // Output terminal (USB streaming), fed by the camera terminal.
    append(b, {9, DescType::kClassInterface, 3, 2});
    appendLe16(b, 0x0101);
    append(b, {0, 1, 0});
    const uint16_t vcTotal = static_cast<uint16_t>(b.size() - vcHeader);
    b[vcHeader + 5] = static_cast<uint8_t>(vcTotal);
    b[vcHeader + 6] = static_cast<uint8_t>(vcTotal >> 8);
    endpointDesc(b, cfg, 0x83, 0x03, 64, 8, 0, 0, 64);
    append(b, {5, DescType::kClassEndpoint, 3});
    appendLe16(b, 64);

    // VideoStreaming alternate 0: no bandwidth, the format descriptors.
    interfaceDesc(b, 2, 0, 0, kClassVideo, 2);
    const size_t vsHeader = b.size();
    append(b, {14, DescType::kClassInterface, 1, 1});
    appendLe16(b, 0);  // total length, patched below
    append(b, {0x81, 0, 2, 0, 0, 0, 1, 0});
    append(b, {27, DescType::kClassInterface, 4, 1, 1});
    b.insert(b.end(), std::begin(kGuidYuy2), std::end(kGuidYuy2));
    append(b, {16, 1, 0, 0, 0, 0});
    append(b, {30, DescType::kClassInterface, 5, 1, 0});
    appendLe16(b, 1920);
    appendLe16(b, 1080);
    appendLe32(b, 1920u * 1080u * 16u * 30u);
    appendLe32(b, 1920u * 1080u * 16u * 60u);
    appendLe32(b, 1920u * 1080u * 2u);
    appendLe32(b, 166666);  // 60 fps in 100 ns units
    b.push_back(1);
    appendLe32(b, 166666);
    const uint16_t vsTotal = static_cast<uint16_t>(b.size() - vsHeader);
    b[vsHeader + 4] = static_cast<uint8_t>(vsTotal);
    b[vsHeader + 5] = static_cast<uint8_t>(vsTotal >> 8);

    // VideoStreaming alternate 1: the isochronous video endpoint.
    interfaceDesc(b, 2, 1, 1, kClassVideo, 2);
    if (super(cfg)) {
        // 1024-byte packets, bursts of 4, two bursts per service interval.
        endpointDesc(b, cfg, 0x81, 0x05, 1024, 1, 3, 1, 1024 * 4 * 2);
    } else {
        // 1024-byte packets with two additional transactions per microframe.
        endpointDesc(b, cfg, 0x81, 0x05, 0x1400, 1, 0, 0, 0);
    }
}

}  // namespace

std::vector<uint8_t> utf16leBytes(const std::string& text) {
    Bytes out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    auto unit = [&](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    while (i < n) {
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        const unsigned char c = s[i];
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
                   (s[i + 2] & 0xC0) == 0x80) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 &&
                   (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3Fu);
            len = 4;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp > 0xFFFF ? 0xFFFD : cp);
        }
        i += len;
    }
    return out;
}

std::vector<uint8_t> buildDeviceDescriptor(const SimCameraConfig& cfg) {
    Bytes b{18, DescType::kDevice};
    appendLe16(b, super(cfg) ? 0x0300 : 0x0210);
    // Miscellaneous class with interface associations, as a UVC composite device declares.
    append(b, {0xEF, 0x02, 0x01, static_cast<uint8_t>(super(cfg) ? 9 : 64)});
    appendLe16(b, cfg.vendorId);
    appendLe16(b, cfg.productId);
    appendLe16(b, cfg.bcdDevice);
    append(b, {1, 2, 3, 1});
    return b;
}

std::vector<uint8_t> buildConfigDescriptor(const SimCameraConfig& cfg) {
    Bytes b{9, DescType::kConfiguration, 0, 0, 3, 1, 0, 0x80,
            // 400 mA on USB 3 (8 mA units), 500 mA on USB 2 (2 mA units).
            static_cast<uint8_t>(super(cfg) ? 50 : 250)};
    interfaceDesc(b, 0, 0, 3, kClassVendor, 0);
    const uint16_t bulk = super(cfg) ? 1024 : 512;
    endpointDesc(b, cfg, 0x04, 0x02, bulk, 0, 15, 0, 0);
    endpointDesc(b, cfg, 0x84, 0x02, bulk, 0, 15, 0, 0);
    endpointDesc(b, cfg, 0x05, 0x02, bulk, 0, 15, 0, 0);
    videoFunction(b, cfg);
    b[2] = static_cast<uint8_t>(b.size());
    b[3] = static_cast<uint8_t>(b.size() >> 8);
    return b;
}

std::vector<uint8_t> buildBosDescriptor(const SimCameraConfig& cfg) {
    if (!super(cfg)) return {};
    Bytes b{5, DescType::kBos, 0, 0, 3};
    append(b, {7, DescType::kDeviceCapability, 2});
    appendLe32(b, 0x00000002);  // link power management
    append(b, {10, DescType::kDeviceCapability, 3, 0});
    appendLe16(b, 0x000E);  // full, high and super speed
    append(b, {1, 10});
    appendLe16(b, 0x07FF);
    append(b, {20, DescType::kDeviceCapability, 4, 0});
    for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(0x5A ^ (i * 17) ^ cfg.address));
    b[2] = static_cast<uint8_t>(b.size());
    b[3] = static_cast<uint8_t>(b.size() >> 8);
    return b;
}

std::vector<uint8_t> buildStringDescriptor(const SimCameraConfig& cfg, uint8_t index) {
    Bytes body;
    if (index == 0) {
        for (uint16_t lang : cfg.languages) appendLe16(body, lang);
    } else if (index == 1) {
        body = utf16leBytes(cfg.manufacturer);
    } else if (index == 2) {
        body = utf16leBytes(cfg.product);
    } else if (index == 3) {
        body = utf16leBytes(cfg.serial);
    } else {
        return {};
    }
    if (body.size() > 252) body.resize(252);
    Bytes b{static_cast<uint8_t>(body.size() + 2), DescType::kString};
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

}  // namespace TVR::Sim
