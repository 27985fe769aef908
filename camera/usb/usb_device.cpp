#include "usb_device.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <fmt/format.h>

#include "usb/control_ep.h"
#include "usb/debugger_output.h"
#include "usb/isoch_ep.h"
#include "usb/request_record.h"
#include "usb/usb_ep.h"
#include "usb/utf_text.h"

namespace TVR {

namespace {

// Member indices the enumeration asks for.
constexpr size_t kMaxMemberIndex = 8192;
constexpr uint8_t kMaxDeviceCount = 255;

constexpr uint8_t kRequestTypeStandardIn = 0x80;
constexpr uint8_t kGetDescriptor = 6;

constexpr uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001B3ull;

// bMaxPower units in mA.
constexpr uint32_t kPowerUnitSuperSpeed = 8;
constexpr uint32_t kPowerUnitHighSpeed = 2;

}  // namespace

uint8_t usbDeviceCount(UsbDriver& driver, const Guid& guid) {
    const size_t present = std::min(driver.interfacePaths(guid).size(), kMaxMemberIndex);
    // Saturated rather than wrapped, so that 256 devices do not read as none.
    return static_cast<uint8_t>(std::min<size_t>(present, kMaxDeviceCount));
}

std::string usbDevicePath(UsbDriver& driver, uint8_t index, const Guid& guid) {
    const auto paths = driver.interfacePaths(guid);
    return index < paths.size() ? paths[index] : std::string();
}

uint64_t fnv1a64(std::span<const uint8_t> bytes) {
    uint64_t h = kFnvOffsetBasis;
    for (const uint8_t b : bytes) {
        h ^= b;
        h *= kFnvPrime;
    }
    return h;
}

unsigned pathSuffixNumber(std::string_view path) {
    const std::u16string wide = utf8ToUtf16(path);
    std::vector<uint8_t> bytes;
    bytes.reserve(wide.size() * 2);
    for (const char16_t u : wide) {
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    uint64_t h = fnv1a64(bytes);
    unsigned sum = 0;
    for (; h != 0; h /= 10) sum += static_cast<unsigned>(h % 10);
    return sum;
}

UsbDevice::UsbDevice(UsbDriver& driver, const Guid& guid, bool openFirst,
                     uint32_t endpointTimeoutMs)
    : m_driver(driver), m_guid(guid), m_endpointTimeoutMs(endpointTimeoutMs) {
    if (openFirst) open(0);
}

UsbDevice::~UsbDevice() { close(); }

bool UsbDevice::open(uint8_t index) {
    if (index >= usbDeviceCount(m_driver, m_guid)) return false;
    const std::string path = usbDevicePath(m_driver, index, m_guid);
    if (path.empty()) return false;
    return openPath(path);
}

bool UsbDevice::failOpen() {
    close();
    return false;
}

bool UsbDevice::openPath(const std::string& path) {
    close();
    m_handle = m_driver.open(path);
    if (!m_handle) return false;
    m_path = path;

    m_deviceDesc =
        parseDeviceDescriptor(readDescriptorData(DescType::kDevice, 0, DescSize::kDevice, 0));
    // Without a device descriptor nothing else about the device can be trusted.
    if (!m_deviceDesc.valid()) return failOpen();

    m_langId = chooseLanguageId(
        readWholeDescriptor(DescType::kString, 0, DescSize::kStringHeader, false, 0));

    const bool usb3 = m_deviceDesc.bcdUSBMajor >= 3;
    if (usb3) {
        m_bos = parseBosDescriptor(
            readWholeDescriptor(DescType::kBos, 0, DescSize::kBosHeader, true, 0));
        if (!m_bos.valid()) {
            debugOut("Wrong (empty?) BOS Descriptor");
            return failOpen();
        }
    }

    m_deviceName = driverString(Ioctl::kQueryDeviceName, kUnknownName);
    m_friendlyName = driverString(Ioctl::kQueryFriendlyName, kUnknownName);
    if (usbDeviceCount(m_driver, m_guid) > 1) {
        m_friendlyName += fmt::format(" @{}", pathSuffixNumber(m_path));
    }

    const uint32_t speed = driverValue(Ioctl::kQuerySpeed, 0);
    m_highSpeed = speed == kSpeedHigh;
    m_superSpeed = speed == kSpeedSuper;

    m_control = std::make_unique<ControlEP>(m_handle.get(), m_deviceDesc.bcdUSBMajor,
                                            m_deviceDesc.bMaxPacketSize0, m_endpointTimeoutMs);

    const auto config =
        readWholeDescriptor(DescType::kConfiguration, 0, DescSize::kConfiguration, true, 0);
    if (config.empty()) return failOpen();
    m_config = parseConfigDescriptor(config, usb3);
    const auto it = std::find_if(m_config.interfaces.begin(), m_config.interfaces.end(),
                                 [](const UsbInterfaceDescriptor& i) { return i.valid(); });
    if (it == m_config.interfaces.end()) return failOpen();
    m_currentInterface = static_cast<int>(it - m_config.interfaces.begin());
    buildEndpoints();
    return true;
}

void UsbDevice::buildEndpoints() {
    m_endpoints.clear();
    m_endpoints.resize(m_config.interfaces.size());
    for (size_t i = 0; i < m_config.interfaces.size(); ++i) {
        for (const UsbEndpointInfo& ep : m_config.interfaces[i].endpoints) {
            switch (ep.endpoint.transferType()) {
                case EpType::kBulk:
                case EpType::kInterrupt:
                    m_endpoints[i].push_back(std::make_unique<UsbEP>(
                        m_handle.get(), ep.endpoint, ep.companion, m_endpointTimeoutMs));
                    break;
                case EpType::kIsochronous:
                    m_endpoints[i].push_back(std::make_unique<IsochEP>(
                        m_handle.get(), ep.endpoint, ep.companion, m_endpointTimeoutMs));
                    break;
                default:
                    break;
            }
        }
    }
}

void UsbDevice::close() {
    if (!m_handle) return;
    // The endpoints refer to the handle; they go first.
    m_endpoints.clear();
    m_control.reset();
    if (!m_handle->close()) debugOut("Failed to close handle to driver");
    m_handle.reset();
    m_deviceDesc = {};
    m_config = {};
    m_bos = {};
    m_currentInterface = -1;
    m_path.clear();
    m_deviceName.clear();
    m_friendlyName.clear();
    m_langId = 0;
    m_highSpeed = false;
    m_superSpeed = false;
}

bool UsbDevice::query(uint32_t n, std::span<uint8_t> buffer) {
    if (!m_handle) return false;
    uint32_t returned = 0;
    const IoSubmit r = m_handle->ioControl(Ioctl::query(n), buffer, buffer, nullptr, &returned);
    return r == IoSubmit::Done && returned == buffer.size();
}

std::vector<uint8_t> UsbDevice::readDescriptor(uint8_t type, uint8_t index, uint16_t length,
                                               uint16_t langId) {
    auto record = makeControlRecord(kRequestTypeStandardIn, kGetDescriptor,
                                    static_cast<uint16_t>((type << 8) | index), langId, length,
                                    kDescriptorTimeoutSec);
    if (!query(Ioctl::kQueryControl, record)) return {};
    if (getLe32(record, Rec::kNtStatus) != 0 || getLe32(record, Rec::kUsbStatus) != 0) return {};
    return record;
}

std::vector<uint8_t> UsbDevice::readDescriptorData(uint8_t type, uint8_t index, uint16_t length,
                                                   uint16_t langId) {
    auto record = readDescriptor(type, index, length, langId);
    if (record.size() < Rec::kHeaderSize) return {};
    // The data offset is the one the request went out with; the driver may not move it.
    record.erase(record.begin(), record.begin() + Rec::kHeaderSize);
    return record;
}

std::vector<uint8_t> UsbDevice::readWholeDescriptor(uint8_t type, uint8_t index,
                                                    uint16_t headerBytes, bool totalLength,
                                                    uint16_t langId) {
    auto head = readDescriptorData(type, index, headerBytes, langId);
    if (head.size() < headerBytes) return {};
    const uint16_t whole = totalLength ? getLe16(head, 2) : static_cast<uint16_t>(head[0]);
    if (whole <= headerBytes) return head;
    return readDescriptorData(type, index, whole, langId);
}

std::u16string UsbDevice::readStringDescriptor(uint8_t index) {
    const auto head =
        readDescriptorData(DescType::kString, index, DescSize::kStringHeader, m_langId);
    if (head.size() < DescSize::kStringHeader || head[0] <= DescSize::kStringHeader ||
        head[1] != DescType::kString) {
        return {};
    }
    return parseStringDescriptor(readDescriptorData(DescType::kString, index, head[0], m_langId));
}

std::string UsbDevice::driverString(uint32_t n, const std::string& fallback) {
    std::vector<uint8_t> buffer(kDriverTextBytes, 0);
    if (!query(n, buffer)) return fallback;
    const auto end = std::find(buffer.begin(), buffer.end(), 0);
    return widenDriverText(std::string(buffer.begin(), end));
}

uint32_t UsbDevice::driverValue(uint32_t n, uint32_t fallback) {
    std::array<uint8_t, 4> buffer{};
    if (!query(n, buffer)) return fallback;
    return getLe32(buffer, 0);
}

uint8_t UsbDevice::driverValue8(uint32_t n, uint8_t fallback) {
    uint8_t value = 0;
    if (!query(n, std::span<uint8_t>(&value, 1))) return fallback;
    return value;
}

UsbEP* UsbDevice::endpoint(uint8_t address) {
    if (address == 0) return m_control.get();
    if (m_currentInterface >= 0) {
        for (const auto& ep : m_endpoints[static_cast<size_t>(m_currentInterface)]) {
            if (ep->address() == address) return ep.get();
        }
    }
    debugOut("Failed to find endpoint.");
    return nullptr;
}

const UsbInterfaceDescriptor* UsbDevice::currentInterface() const {
    if (m_currentInterface < 0) return nullptr;
    return &m_config.interfaces[static_cast<size_t>(m_currentInterface)];
}

std::span<const std::unique_ptr<UsbEP>> UsbDevice::interfaceEndpoints(size_t record) const {
    if (record >= m_endpoints.size()) return {};
    return m_endpoints[record];
}

std::string UsbDevice::location() const {
    return m_path.empty() ? std::string() : m_driver.location(m_path);
}

std::string UsbDevice::stringText(uint8_t index) {
    // Index 0 is the language table, not a text: the device has no such string.
    if (index == 0) return {};
    return utf16ToUtf8(readStringDescriptor(index));
}

std::pair<int, int> UsbDevice::infoPair(int which) {
    switch (which) {
        case kPairDriverVersion: {
            const uint32_t v = driverValue(Ioctl::kQueryDriverVersion, 0);
            return {static_cast<int>(v >> 8), static_cast<int>(v & 0xFF)};
        }
        case kPairUsbVersion:
            return {m_deviceDesc.bcdUSBMajor, m_deviceDesc.bcdUSBMinor};
        case kPairClass:
            return {m_deviceDesc.bDeviceClass, m_deviceDesc.bDeviceSubClass};
        default:
            return {-1, -1};
    }
}

std::string UsbDevice::infoText(int which) {
    switch (which) {
        case kTextDeviceName:
            return m_deviceName;
        case kTextFriendlyName:
            return m_friendlyName;
        case kTextPath:
            return m_path;
        case kTextManufacturer:
            return stringText(m_deviceDesc.iManufacturer);
        case kTextProduct:
            return stringText(m_deviceDesc.iProduct);
        default:
            return kUnknownText;
    }
}

uint32_t UsbDevice::maxPowerMilliamps() const {
    const uint32_t unit = m_superSpeed  ? kPowerUnitSuperSpeed
                          : m_highSpeed ? kPowerUnitHighSpeed
                                        : 1;
    return m_config.bMaxPower * unit;
}

uint32_t UsbDevice::infoNumber(int which) {
    switch (which) {
        case kNumberVendorId:
            return m_deviceDesc.idVendor;
        case kNumberProductId:
            return m_deviceDesc.idProduct;
        case kNumberAddress:
            return driverValue8(Ioctl::kQueryAddress, 0);
        case kNumberSerial: {
            if (m_deviceDesc.iSerialNumber == 0) return 0;
            const auto serial = readStringDescriptor(m_deviceDesc.iSerialNumber);
            return serial.empty() ? 0 : serial.front();
        }
        case kNumberMaxPower:
            return maxPowerMilliamps();
        default:
            return 0;
    }
}

bool UsbDevice::infoFlag(int which) const {
    switch (which) {
        case kFlagHighSpeed:
            return m_highSpeed;
        case kFlagSuperSpeed:
            return m_superSpeed;
        default:
            return false;
    }
}

std::string UsbDevice::protocolText(bool unknownForm) const {
    if (unknownForm) return kUnknownText;
    return fmt::format("0x{:02X}", m_deviceDesc.bDeviceProtocol);
}

}  // namespace TVR
