#pragma once

// Shared pieces of the USB layer's tests: descriptor builders for hostile devices, a debugger
// output capture and a small firmware that stores what it is sent.

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "usb/debugger_output.h"

namespace TVR::UsbTest {

using Bytes = std::vector<uint8_t>;

// Collects debugger-output lines while alive.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::vector<std::string> lines() const;
    bool contains(const std::string& text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    DebugSink m_previous;
};

// Descriptor bytes.
Bytes deviceDescriptor(uint16_t bcdUsb, uint8_t maxPacket0, uint16_t vid = 0x04B4,
                       uint16_t pid = 0x00F1);
Bytes configHeader(uint8_t numInterfaces, uint8_t maxPower = 100);
Bytes interfaceDescriptor(uint8_t number, uint8_t alt, uint8_t numEndpoints, uint8_t cls = 0xFF);
Bytes endpointDescriptor(uint8_t address, uint8_t attributes, uint16_t maxPacket);
Bytes companionDescriptor(uint8_t maxBurst, uint8_t attributes);
Bytes classSpecific(uint8_t length, uint8_t type = 0x24);
Bytes stringDescriptor(const std::u16string& text);
// Concatenates parts; when the first is a configuration or BOS header its total length is set
// to the size of the whole.
Bytes concat(std::initializer_list<Bytes> parts);
Bytes bosDescriptor(std::initializer_list<Bytes> caps);

// Vendor OUT requests append to a store; vendor IN requests are served from it in order,
// wrapping around. Bulk OUT appends, bulk IN reads likewise.
class EchoFirmware : public Sim::SimFirmware {
public:
    bool controlRequest(const Sim::SetupPacket& setup, std::span<uint8_t> data,
                        uint32_t& actual) override;
    bool bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
    bool bulkIn(uint8_t endpoint, std::span<uint8_t> data, uint32_t& actual) override;

    Bytes stored() const;
    void setStored(Bytes bytes);
    // IN requests answer with no data at all.
    void setSilent(bool silent);
    // Requests with this bRequest stall.
    void setStallRequest(int request);

private:
    size_t serve(std::span<uint8_t> data);

    mutable std::mutex m_mutex;
    Bytes m_store;
    size_t m_cursor = 0;
    bool m_silent = false;
    int m_stallRequest = -1;
};

}  // namespace TVR::UsbTest
