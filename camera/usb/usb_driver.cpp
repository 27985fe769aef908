#include "usb_driver.h"

#include <chrono>

#include <fmt/format.h>

namespace TVR {

std::string toString(const Guid& g) {
    return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                       g.data1, g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                       g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
}

void OverlappedState::complete(bool ok, uint32_t bytes, const std::function<void()>& fill) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_detached && fill) fill();
        m_ok = ok;
        m_bytes = bytes;
        m_signalled = true;
    }
    m_cv.notify_all();
}

bool OverlappedState::wait(uint32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_signalled; });
}

bool OverlappedState::signalled() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

bool OverlappedState::result(uint32_t& bytes) const {
    std::lock_guard lock(m_mutex);
    bytes = m_signalled ? m_bytes : 0;
    return m_signalled && m_ok;
}

void OverlappedState::reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
    m_ok = false;
    m_bytes = 0;
}

void OverlappedState::detach() {
    std::lock_guard lock(m_mutex);
    m_detached = true;
}

bool OverlappedState::detached() const {
    std::lock_guard lock(m_mutex);
    return m_detached;
}

UsbOverlapped::UsbOverlapped() : m_state(std::make_shared<OverlappedState>()) {}

UsbOverlapped::~UsbOverlapped() { m_state->detach(); }

}  // namespace TVR
