#include "camera_work.h"

namespace TVR {

CameraWork::Batch CameraWork::batch() {
    std::unique_lock lock(m_mutex);
    const auto self = std::this_thread::get_id();
    m_released.wait(lock, [&] { return m_depth == 0 || m_owner == self; });
    m_owner = self;
    ++m_depth;
    return Batch(this);
}

std::optional<CameraWork::Batch> CameraWork::tryBatch() {
    std::lock_guard lock(m_mutex);
    const auto self = std::this_thread::get_id();
    if (m_depth != 0 && m_owner != self) return std::nullopt;
    m_owner = self;
    ++m_depth;
    return Batch(this);
}

bool CameraWork::busy() const {
    std::lock_guard lock(m_mutex);
    return m_depth != 0;
}

void CameraWork::release() {
    {
        std::lock_guard lock(m_mutex);
        if (--m_depth == 0) m_owner = {};
    }
    m_released.notify_all();
}

}  // namespace TVR
