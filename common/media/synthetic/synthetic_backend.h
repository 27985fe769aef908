#pragma once

// Synthetic capture devices: cameras that render a moving test pattern at the mode's frame rate
// with the frame number stamped into the first bytes, microphones that advertise PCM modes,
// and an unplug switch. They register through the same interfaces as the V4L2 backend.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/capture_backend.h"
#include "media/synthetic/synthetic_config.h"
#include "olk_export.h"

namespace OLK {

// One synthetic camera. unplug() and replug() may be called from any thread.
class OLK_EXPORT SyntheticCamera {
public:
    SyntheticCamera(uint32_t index, const SyntheticConfig& config,
                    std::function<void(const DeviceChangeEvent&)> notify);

    const std::string& symbolicLink() const { return m_link; }
    const std::string& friendlyName() const { return m_name; }
    const std::vector<SyntheticMode>& modes() const { return m_modes; }
    uint32_t streamCount() const { return static_cast<uint32_t>(m_streams.size()); }
    uint32_t buffers() const { return m_buffers; }

    // Ends every read with a device-lost error and reports the removal.
    void unplug();
    void replug();
    bool isPlugged() const;

    // Shared with the readers of this camera.
    std::mutex& lock() { return m_lock; }
    std::condition_variable& changed() { return m_changed; }
    bool pluggedLocked() const { return m_plugged; }
    const std::vector<std::shared_ptr<StreamDescriptor>>& streams() const { return m_streams; }

private:
    std::string m_link;
    std::string m_name;
    std::vector<SyntheticMode> m_modes;
    std::vector<std::shared_ptr<StreamDescriptor>> m_streams;
    std::function<void(const DeviceChangeEvent&)> m_notify;
    uint32_t m_buffers = 0;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_plugged = true;
};

class OLK_EXPORT SyntheticBackend : public CaptureBackend {
public:
    explicit SyntheticBackend(const SyntheticConfig& config = SyntheticConfig());

    int32_t enumDevices(const GUID& sourceType,
                        std::vector<std::shared_ptr<Activate>>* devices) override;
    void setDeviceChangeListener(std::function<void(const DeviceChangeEvent&)> listener) override;
    std::string name() const override { return "synthetic"; }

    size_t cameraCount() const { return m_cameras.size(); }
    std::shared_ptr<SyntheticCamera> camera(size_t index) const;

private:
    struct Hub;

    SyntheticConfig m_config;
    std::shared_ptr<Hub> m_hub;
    std::vector<std::shared_ptr<SyntheticCamera>> m_cameras;
    std::vector<std::shared_ptr<Activate>> m_microphones;
};

// The frame number a synthetic camera stamped into a frame; false when the bytes carry none.
OLK_EXPORT bool readSyntheticFrameNumber(const uint8_t* frame, size_t length, uint32_t* number);

}  // namespace OLK
