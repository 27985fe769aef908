#include "usb_helpers.h"

#include <algorithm>

namespace TVR::UsbTest {

DebugCapture::DebugCapture() {
    m_previous = setDebugSink([this](std::string_view text) {
        std::lock_guard lock(m_mutex);
        m_lines.emplace_back(text);
    });
}

DebugCapture::~DebugCapture() { setDebugSink(std::move(m_previous)); }

std::vector<std::string> DebugCapture::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool DebugCapture::contains(const std::string& text) const {
    std::lock_guard lock(m_mutex);
    return std::find(m_lines.begin(), m_lines.end(), text) != m_lines.end();
}

namespace {

uint8_t lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

}  // namespace

Bytes deviceDescriptor(uint16_t bcdUsb, uint8_t maxPacket0, uint16_t vid, uint16_t pid) {
    return {18,      1,       lo(bcdUsb), hi(bcdUsb), 0,    0, 0, maxPacket0, lo(vid),
            hi(vid), lo(pid), hi(pid),    0x00,       0x01, 1, 2, 3,          1};
}

Bytes configHeader(uint8_t numInterfaces, uint8_t maxPower) {
    return {9, 2, 9, 0, numInterfaces, 1, 0, 0x80, maxPower};
}

Bytes interfaceDescriptor(uint8_t number, uint8_t alt, uint8_t numEndpoints, uint8_t cls) {
    return {9, 4, number, alt, numEndpoints, cls, 0, 0, 0};
}

Bytes endpointDescriptor(uint8_t address, uint8_t attributes, uint16_t maxPacket) {
    return {7, 5, address, attributes, lo(maxPacket), hi(maxPacket), 1};
}

Bytes companionDescriptor(uint8_t maxBurst, uint8_t attributes) {
    return {6, 0x30, maxBurst, attributes, 0, 0};
}

Bytes classSpecific(uint8_t length, uint8_t type) {
    Bytes b(length, 0x5A);
    if (length > 0) b[0] = length;
    if (length > 1) b[1] = type;
    return b;
}

Bytes stringDescriptor(const std::u16string& text) {
    Bytes b{static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (const char16_t c : text) {
        b.push_back(lo(c));
        b.push_back(hi(c));
    }
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    if (all.size() >= 4 && (all[1] == 2 || all[1] == 15)) {
        all[2] = lo(static_cast<uint16_t>(all.size()));
        all[3] = hi(static_cast<uint16_t>(all.size()));
    }
    return all;
}

Bytes bosDescriptor(std::initializer_list<Bytes> caps) {
    Bytes all{5, 15, 0, 0, static_cast<uint8_t>(caps.size())};
    for (const auto& c : caps) all.insert(all.end(), c.begin(), c.end());
    all[2] = lo(static_cast<uint16_t>(all.size()));
    all[3] = hi(static_cast<uint16_t>(all.size()));
    return all;
}

bool EchoFirmware::controlRequest(const Sim::SetupPacket& setup, std::span<uint8_t> data,
                                  uint32_t& actual) {
    std::lock_guard lock(m_mutex);
    if (setup.bRequest == m_stallRequest) return false;
    if (setup.isIn()) {
        actual = m_silent ? 0 : static_cast<uint32_t>(serve(data));
    } else {
        m_store.insert(m_store.end(), data.begin(), data.end());
        actual = static_cast<uint32_t>(data.size());
    }
    return true;
}

bool EchoFirmware::bulkOut(uint8_t, std::span<const uint8_t> data) {
    std::lock_guard lock(m_mutex);
    m_store.insert(m_store.end(), data.begin(), data.end());
    return true;
}

bool EchoFirmware::bulkIn(uint8_t, std::span<uint8_t> data, uint32_t& actual) {
    std::lock_guard lock(m_mutex);
    actual = m_silent ? 0 : static_cast<uint32_t>(serve(data));
    return true;
}

size_t EchoFirmware::serve(std::span<uint8_t> data) {
    if (m_store.empty()) return 0;
    for (auto& b : data) {
        b = m_store[m_cursor];
        m_cursor = (m_cursor + 1) % m_store.size();
    }
    return data.size();
}

Bytes EchoFirmware::stored() const {
    std::lock_guard lock(m_mutex);
    return m_store;
}

void EchoFirmware::setStored(Bytes bytes) {
    std::lock_guard lock(m_mutex);
    m_store = std::move(bytes);
    m_cursor = 0;
}

void EchoFirmware::setSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void EchoFirmware::setStallRequest(int request) {
    std::lock_guard lock(m_mutex);
    m_stallRequest = request;
}

}  // namespace TVR::UsbTest
