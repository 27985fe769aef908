#pragma once

// One FX3 device opened through the driver: its descriptors, names and endpoints. A device is
// used from one thread at a time; the callers serialise.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "usb/guid.h"
#include "usb/usb_descriptors.h"
#include "usb/usb_driver.h"
#include "usb/usb_ep.h"

namespace TVR {

class ControlEP;

// Devices of the interface class that are present; at most 255.
uint8_t usbDeviceCount(UsbDriver& driver, const Guid& guid = kCyUsbDriverGuid);
// The interface path of a member index; empty when there is none.
std::string usbDevicePath(UsbDriver& driver, uint8_t index, const Guid& guid = kCyUsbDriverGuid);

// 64-bit FNV-1a.
uint64_t fnv1a64(std::span<const uint8_t> bytes);
// The number of the " @" suffix that tells identical devices apart: the sum of the decimal
// digits of the FNV-1a hash of the path's UTF-16LE bytes, stable for a port.
unsigned pathSuffixNumber(std::string_view path);

class UsbDevice {
public:
    // Selectors of the information accessors.
    enum PairInfo { kPairDriverVersion = 0, kPairUsbVersion = 1, kPairClass = 2 };
    enum TextInfo {
        kTextDeviceName = 0,
        kTextFriendlyName = 1,
        kTextPath = 2,
        kTextManufacturer = 3,
        kTextProduct = 4
    };
    enum NumberInfo {
        kNumberVendorId = 0,
        kNumberProductId = 1,
        kNumberAddress = 2,
        kNumberSerial = 3,
        kNumberMaxPower = 4
    };
    enum FlagInfo { kFlagHighSpeed = 0, kFlagSuperSpeed = 1 };

    static constexpr const char* kUnknownName = "Unknown";
    static constexpr const char* kUnknownText = "{UNKNOWN}";
    static constexpr uint32_t kDescriptorTimeoutSec = 1;
    static constexpr size_t kDriverTextBytes = 256;

    // Every endpoint the device makes when it opens starts with `endpointTimeoutMs`.
    explicit UsbDevice(UsbDriver& driver, const Guid& guid = kCyUsbDriverGuid,
                       bool openFirst = false,
                       uint32_t endpointTimeoutMs = UsbEP::kDefaultTimeoutMs);
    ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // Opens the device of a member index; fails without opening anything when the index is
    // not below the device count.
    bool open(uint8_t index);
    // Opens a path and reads its descriptors. Any failure after the driver opened the path
    // leaves the device closed.
    bool openPath(const std::string& path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }

    // A standard GET_DESCRIPTOR through the driver; the whole request record (data at its data
    // offset), or empty on failure.
    std::vector<uint8_t> readDescriptor(uint8_t type, uint8_t index, uint16_t length,
                                        uint16_t langId);
    // String descriptor text in the device's language; empty when missing or malformed.
    std::u16string readStringDescriptor(uint8_t index);
    // Driver queries (request_record.h's Ioctl::kQuery*); the default on failure.
    std::string driverString(uint32_t query, const std::string& fallback);
    uint32_t driverValue(uint32_t query, uint32_t fallback);
    uint8_t driverValue8(uint32_t query, uint8_t fallback);

    // Address 0: the control endpoint; otherwise one of the current interface's endpoints, or
    // null when it has none with that address.
    UsbEP* endpoint(uint8_t address);
    ControlEP* controlEndpoint() { return m_control.get(); }

    // The device information accessors; unknown selectors give (-1, -1), "{UNKNOWN}", 0, false.
    std::pair<int, int> infoPair(int which);
    std::string infoText(int which);
    uint32_t infoNumber(int which);
    bool infoFlag(int which) const;
    // bDeviceProtocol as "0x{:02X}", or "{UNKNOWN}" for the unknown form.
    std::string protocolText(bool unknownForm = false) const;
    uint32_t maxPowerMilliamps() const;

    const Guid& guid() const { return m_guid; }
    uint32_t endpointTimeout() const { return m_endpointTimeoutMs; }
    UsbDriver& driver() { return m_driver; }
    const std::string& path() const { return m_path; }
    const std::string& deviceName() const { return m_deviceName; }
    const std::string& friendlyName() const { return m_friendlyName; }
    std::string location() const;
    uint16_t languageId() const { return m_langId; }
    bool isHighSpeed() const { return m_highSpeed; }
    bool isSuperSpeed() const { return m_superSpeed; }
    const UsbDeviceDescriptor& deviceDescriptor() const { return m_deviceDesc; }
    const UsbConfigDescriptor& configuration() const { return m_config; }
    const UsbBosDescriptor& bos() const { return m_bos; }
    // The interface the endpoints are taken from; null when closed.
    const UsbInterfaceDescriptor* currentInterface() const;
    // Endpoint objects of an interface record (bulk, interrupt, isochronous).
    std::span<const std::unique_ptr<UsbEP>> interfaceEndpoints(size_t interfaceRecord) const;

private:
    // The data bytes of a descriptor read; empty on failure.
    std::vector<uint8_t> readDescriptorData(uint8_t type, uint8_t index, uint16_t length,
                                            uint16_t langId);
    // Reads `headerBytes`, then the whole length the descriptor gives: its bLength, or its
    // wTotalLength when `totalLength` is set.
    std::vector<uint8_t> readWholeDescriptor(uint8_t type, uint8_t index, uint16_t headerBytes,
                                             bool totalLength, uint16_t langId);
    bool query(uint32_t n, std::span<uint8_t> buffer);
    bool failOpen();
    void buildEndpoints();
    std::string stringText(uint8_t index);

    UsbDriver& m_driver;
    Guid m_guid;
    uint32_t m_endpointTimeoutMs;
    std::unique_ptr<UsbDriverHandle> m_handle;
    std::string m_path;
    std::string m_deviceName;
    std::string m_friendlyName;
    uint16_t m_langId = 0;
    bool m_highSpeed = false;
    bool m_superSpeed = false;
    UsbDeviceDescriptor m_deviceDesc;
    UsbConfigDescriptor m_config;
    UsbBosDescriptor m_bos;
    // Per interface record; dropped before the handle they refer to.
    std::vector<std::vector<std::unique_ptr<UsbEP>>> m_endpoints;
    std::unique_ptr<ControlEP> m_control;
    int m_currentInterface = -1;
};

}  // namespace TVR
