#pragma once

// The simulated camera: one USB device with its descriptors, strings, driver facts and faults.
// It answers the request records the SimDriver hands it exactly as a camera would; requests
// that the USB layer does not answer itself (vendor control requests, bulk traffic) go to the
// firmware model installed with setFirmware(). Thread-safe: tests and the driver's completion
// thread use it concurrently.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_uvc.h"

namespace TVR::Sim {

// A control request's setup fields as the firmware sees them.
struct SetupPacket {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    uint16_t wLength = 0;
    bool isIn() const { return (bmRequestType & 0x80) != 0; }
};

// The camera's firmware: filled by the command-channel layer of the simulator.
class SimFirmware {
public:
    virtual ~SimFirmware() = default;
    // A vendor control request. For IN requests fill `data` (wLength bytes) and set `actual`;
    // for OUT requests `data` holds what the host sent. False stalls the request.
    virtual bool controlRequest(const SetupPacket& setup, std::span<uint8_t> data,
                                uint32_t& actual) = 0;
    // Bulk OUT data on an endpoint (0x04, 0x05). False stalls.
    virtual bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) = 0;
    // Bulk IN on an endpoint (0x84): fill up to data.size() bytes. False stalls.
    virtual bool bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) = 0;
    // Power came back (the camera was plugged in): the firmware boots and names the product id
    // it enumerates under. Called by the driver without its locks held.
    virtual uint16_t powerOn(uint16_t productId) { return productId; }
};

// Fault injection. All counters count transfer requests (control, bulk, isochronous) after the
// fault was set.
struct SimFaults {
    uint32_t latencyUs = 0;    // added to every request's completion
    int32_t failAfter = -1;    // requests that still succeed before every one fails (-1: never)
    uint32_t stallNext = 0;    // the next N requests never complete until aborted
    uint32_t corruptNext = 0;  // the next N IN replies have their data bytes inverted
    int32_t unplugAfter = -1;  // the camera leaves after this many more requests (-1: never)
    int32_t replugMs = -1;     // ... and is plugged in again this many ms later (-1: never)
};

// What a simulated camera looks like on the bus.
struct SimCameraConfig {
    int usbVersion = 3;  // 2 or 3: USB 2 high speed or USB 3 super speed descriptors
    uint16_t vendorId = 0x04B4;
    uint16_t productId = 0x00F1;
    uint16_t bcdDevice = 0x0100;
    std::string manufacturer = "Tavro";
    std::string product = "Brisco USB3 camera";
    std::string serial = "TVR0001";
    std::string deviceName = "CYUSB3";                 // driver query 15
    std::string friendlyName = "Tavro Brisco camera";  // driver query 16
    uint8_t address = 0;                               // 0: assigned by the driver
    std::string location;  // "<bus>-<ports>"; empty: assigned by the driver
    std::vector<uint16_t> languages{0x0409};
    uint32_t driverVersion = 0x00010203;

    // Raw overrides for hostile or broken devices: when set, served byte for byte instead of the
    // generated descriptor.
    std::optional<std::vector<uint8_t>> deviceDescriptor;
    std::optional<std::vector<uint8_t>> configDescriptor;
    std::optional<std::vector<uint8_t>> bosDescriptor;
    std::map<uint8_t, std::vector<uint8_t>> stringDescriptors;  // by index, raw (incl. 0)
    bool openFails = false;  // the path exists but cannot be opened

    // The camera's capture side, listed by camera/video at the camera's location.
    std::string videoName = "Tavro Brisco camera";  // empty: no video capture device
    std::string audioName;                          // empty: no audio capture device
    std::optional<std::string> captureLocation;     // capture side elsewhere (tests of matching)
    SimUvcConfig uvc;                               // the capture device's UVC properties
};

// One request as the camera received it, for tests and diagnostics.
struct SimRequestRecord {
    enum class Kind { Control, Bulk, Isoch, Query, Abort } kind = Kind::Control;
    SetupPacket setup;        // control requests
    uint8_t endpoint = 0;     // transfers and aborts
    uint32_t length = 0;      // data bytes asked for or sent
    uint32_t timeoutSec = 0;  // from the request record
    uint32_t ioctl = 0;
    bool completed = false;
};

class SimCamera {
public:
    explicit SimCamera(SimCameraConfig config = {});
    ~SimCamera();
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    const SimCameraConfig& config() const;
    // The product id it enumerates under now: config().productId, or the boot loader's while
    // that runs (the driver changes it on re-enumeration).
    uint16_t productId() const;
    void setFirmware(std::shared_ptr<SimFirmware> fw);
    std::shared_ptr<SimFirmware> firmware() const;

    void setFaults(const SimFaults& f);
    SimFaults faults() const;

    // The generated (or overridden) descriptors as the camera serves them.
    std::vector<uint8_t> deviceDescriptor() const;
    std::vector<uint8_t> configDescriptor() const;
    std::vector<uint8_t> bosDescriptor() const;  // empty for USB 2
    std::vector<uint8_t> stringDescriptor(uint8_t index) const;

    // Requests received so far (oldest first) and clearing them.
    std::vector<SimRequestRecord> requests() const;
    void clearRequests();

    // The UVC properties of its capture device; the capture side answers them only while the
    // camera is plugged.
    SimUvcState& uvc();

    // Opaque outside the simulator; the driver's request handling works on it.
    struct Impl;

private:
    friend class SimDriver;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace TVR::Sim
