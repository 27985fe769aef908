#pragma once

// Parsers for the USB descriptors a device returns: device, configuration (interfaces,
// endpoints, SuperSpeed companions), BOS and string descriptors. Device replies are outside
// data: every parser stays inside the bytes it is given and stops at a zero-length descriptor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

namespace DescType {
inline constexpr uint8_t kDevice = 1;
inline constexpr uint8_t kConfiguration = 2;
inline constexpr uint8_t kString = 3;
inline constexpr uint8_t kInterface = 4;
inline constexpr uint8_t kEndpoint = 5;
inline constexpr uint8_t kInterfaceAssociation = 11;
inline constexpr uint8_t kBos = 15;
inline constexpr uint8_t kDeviceCapability = 16;
inline constexpr uint8_t kClassInterface = 0x24;  // class-specific (video control and streaming)
inline constexpr uint8_t kClassEndpoint = 0x25;
inline constexpr uint8_t kSsEndpointCompanion = 0x30;
}  // namespace DescType

namespace DescSize {
inline constexpr size_t kDevice = 18;
inline constexpr size_t kConfiguration = 9;
inline constexpr size_t kInterface = 9;
inline constexpr size_t kEndpoint = 7;
inline constexpr size_t kSsEndpointCompanion = 6;
inline constexpr size_t kBosHeader = 5;
inline constexpr size_t kStringHeader = 2;
}  // namespace DescSize

// Device capability types kept from the BOS descriptor and the sizes of their records.
namespace DevCap {
inline constexpr uint8_t kUsb20Extension = 2;
inline constexpr uint8_t kSuperSpeedUsb = 3;
inline constexpr uint8_t kContainerId = 4;
inline constexpr size_t kUsb20ExtensionSize = 7;
inline constexpr size_t kSuperSpeedUsbSize = 10;
inline constexpr size_t kContainerIdSize = 20;
}  // namespace DevCap

// Limits of the configuration walk.
inline constexpr size_t kMaxInterfaceRecords = 8;
inline constexpr size_t kMaxSkippedPerInterface = 11;

inline constexpr uint16_t kLangIdEnglishUs = 0x0409;

namespace EpType {
inline constexpr uint8_t kControl = 0;
inline constexpr uint8_t kIsochronous = 1;
inline constexpr uint8_t kBulk = 2;
inline constexpr uint8_t kInterrupt = 3;
}  // namespace EpType

struct UsbDeviceDescriptor {
    uint8_t bLength = 0;
    uint8_t bDescriptorType = 0;
    uint8_t bcdUSBMajor = 0;
    uint8_t bcdUSBMinor = 0;
    uint16_t bcdDevice = 0;
    uint8_t bDeviceClass = 0;
    uint8_t bDeviceSubClass = 0;
    uint8_t bDeviceProtocol = 0;
    uint8_t bMaxPacketSize0 = 0;
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    uint8_t iManufacturer = 0;
    uint8_t iProduct = 0;
    uint8_t iSerialNumber = 0;
    uint8_t bNumConfigurations = 0;

    bool valid() const { return bLength != 0 && bDescriptorType == DescType::kDevice; }
    bool operator==(const UsbDeviceDescriptor&) const = default;
};

struct UsbEndpointDescriptor {
    uint8_t bLength = 0;
    uint8_t bEndpointAddress = 0;
    uint8_t bmAttributes = 0;
    uint32_t maxTransferUnit = 0;  // packets per microframe times the packet size
    uint8_t bInterval = 0;
    uint8_t bDescriptorType = 0;
    uint16_t wMaxPacketSize = 0;

    uint8_t transferType() const { return bmAttributes & 3; }
    bool operator==(const UsbEndpointDescriptor&) const = default;
};

struct UsbSsCompanionDescriptor {
    uint8_t bLength = 0;
    uint8_t bMaxBurst = 0;
    uint8_t bmAttributes = 0;
    uint16_t wBytesPerInterval = 0;
    uint8_t bDescriptorType = 0;

    bool operator==(const UsbSsCompanionDescriptor&) const = default;
};

struct UsbEndpointInfo {
    UsbEndpointDescriptor endpoint;
    std::optional<UsbSsCompanionDescriptor> companion;

    bool operator==(const UsbEndpointInfo&) const = default;
};

struct UsbInterfaceDescriptor {
    uint8_t bLength = 0;
    uint8_t bInterfaceNumber = 0;
    uint8_t bAlternateSetting = 0;
    uint8_t bNumEndpoints = 0;
    uint8_t bInterfaceClass = 0;
    uint8_t bInterfaceSubClass = 0;
    uint8_t bInterfaceProtocol = 0;
    uint8_t iInterface = 0;
    uint8_t bDescriptorType = 0;
    std::vector<UsbEndpointInfo> endpoints;  // every endpoint descriptor, control ones included
    size_t spanBytes = 0;                    // interface descriptor plus all parsed with it
    uint32_t altSettingCount = 0;            // records with this bInterfaceNumber, itself included

    bool valid() const { return bLength != 0 && bDescriptorType == DescType::kInterface; }
    bool operator==(const UsbInterfaceDescriptor&) const = default;
};

struct UsbConfigDescriptor {
    uint8_t bLength = 0;
    uint16_t wTotalLength = 0;
    uint8_t bNumInterfaces = 0;
    uint8_t bConfigurationValue = 0;
    uint8_t iConfiguration = 0;
    uint8_t bMaxPower = 0;
    uint8_t bDescriptorType = 0;
    uint8_t bmAttributes = 0;  // kept so that the descriptor can be written back
    std::vector<UsbInterfaceDescriptor> interfaces;  // at most kMaxInterfaceRecords

    bool operator==(const UsbConfigDescriptor&) const = default;
};

struct UsbBosDescriptor {
    uint8_t bLength = 0;
    uint16_t wTotalLength = 0;
    uint8_t bNumDeviceCaps = 0;
    uint8_t bDescriptorType = 0;
    // Raw capability records; each length byte holds the record's size until the device's
    // capability replaces it.
    std::array<uint8_t, DevCap::kUsb20ExtensionSize> usb20Extension{DevCap::kUsb20ExtensionSize};
    std::array<uint8_t, DevCap::kSuperSpeedUsbSize> superSpeedUsb{DevCap::kSuperSpeedUsbSize};
    std::array<uint8_t, DevCap::kContainerIdSize> containerId{DevCap::kContainerIdSize};

    bool valid() const { return bLength != 0 && bDescriptorType == DescType::kBos; }
    bool operator==(const UsbBosDescriptor&) const = default;
};

// (bits 11-12 + 1) times bits 0-10 of wMaxPacketSize.
uint32_t maxTransferUnit(uint16_t wMaxPacketSize);

// Copies the fields that lie within the bytes given; missing bytes read as 0, so a short or
// empty reply gives a record that is not valid().
UsbDeviceDescriptor parseDeviceDescriptor(std::span<const uint8_t> bytes);

// The interface descriptor at the start of `bytes` with the endpoint (and, on a super-speed
// device, companion) descriptors that follow it. Returns the bytes consumed (0 when the
// interface descriptor itself is missing or truncated).
size_t parseInterfaceDescriptor(std::span<const uint8_t> bytes, bool superSpeed,
                                UsbInterfaceDescriptor& out);

// A whole configuration descriptor, walked up to wTotalLength (or the bytes given, when fewer).
UsbConfigDescriptor parseConfigDescriptor(std::span<const uint8_t> bytes, bool superSpeed);

UsbBosDescriptor parseBosDescriptor(std::span<const uint8_t> bytes);

// The UTF-16 text of a string descriptor; empty unless bLength is above 2 and the type is 3.
// Only characters inside both bLength and the bytes given are taken.
std::u16string parseStringDescriptor(std::span<const uint8_t> bytes);

// The bytes of parsed descriptors as a device sends them: each field at its offset, each
// descriptor as long as its bLength, cut short or padded with zeros. The device descriptor and
// the configuration and BOS headers keep all their fields, which the parsers read whatever
// bLength says. Only what the parsers keep is written: descriptors they step over
// (class-specific ones, unknown capabilities) are left out, so parsing the result gives the
// same records.
std::vector<uint8_t> serialiseDeviceDescriptor(const UsbDeviceDescriptor& d);
std::vector<uint8_t> serialiseConfigDescriptor(const UsbConfigDescriptor& c);
// Capability records that were filled from a device (their type byte set), in type order.
std::vector<uint8_t> serialiseBosDescriptor(const UsbBosDescriptor& bos);
// At most 126 characters, what a length byte can describe.
std::vector<uint8_t> serialiseStringDescriptor(std::u16string_view text);

// The language list of string descriptor 0.
std::vector<uint16_t> parseLanguageIds(std::span<const uint8_t> bytes);
// 0x0409 when offered, else the first language, else 0.
uint16_t chooseLanguageId(std::span<const uint8_t> stringZero);

}  // namespace TVR
