#include "sim_camera.h"

#include "sim/sim_camera_impl.h"
#include "sim/sim_descriptors.h"

namespace TVR::Sim {

namespace {
// Kept bounded so a long soak run does not grow without limit.
constexpr size_t kMaxKeptRequests = 65536;
}  // namespace

SimCamera::SimCamera(SimCameraConfig config) : m_impl(std::make_unique<Impl>()) {
    m_impl->config = std::move(config);
    m_impl->productId = m_impl->config.productId;
    m_impl->uvc = std::make_unique<SimUvcState>(m_impl->config.uvc);
}

SimCamera::~SimCamera() = default;

const SimCameraConfig& SimCamera::config() const { return m_impl->config; }

uint16_t SimCamera::productId() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->productId;
}

void SimCamera::setFirmware(std::shared_ptr<SimFirmware> fw) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->firmware = std::move(fw);
}

std::shared_ptr<SimFirmware> SimCamera::firmware() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->firmware;
}

void SimCamera::setFaults(const SimFaults& f) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults = f;
}

SimFaults SimCamera::faults() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->faults;
}

std::vector<uint8_t> SimCamera::deviceDescriptor() const {
    const auto& c = m_impl->config;
    if (c.deviceDescriptor) return *c.deviceDescriptor;
    SimCameraConfig now = c;
    now.productId = productId();
    return buildDeviceDescriptor(now);
}

std::vector<uint8_t> SimCamera::configDescriptor() const {
    const auto& c = m_impl->config;
    return c.configDescriptor ? *c.configDescriptor : buildConfigDescriptor(c);
}

std::vector<uint8_t> SimCamera::bosDescriptor() const {
    const auto& c = m_impl->config;
    return c.bosDescriptor ? *c.bosDescriptor : buildBosDescriptor(c);
}

std::vector<uint8_t> SimCamera::stringDescriptor(uint8_t index) const {
    const auto& c = m_impl->config;
    const auto it = c.stringDescriptors.find(index);
    return it != c.stringDescriptors.end() ? it->second : buildStringDescriptor(c, index);
}

std::vector<SimRequestRecord> SimCamera::requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

void SimCamera::clearRequests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->requestsDropped += m_impl->requests.size();
    m_impl->requests.clear();
}

SimUvcState& SimCamera::uvc() { return *m_impl->uvc; }

SimCamera::Impl::Verdict SimCamera::Impl::judgeTransfer(bool in) {
    std::lock_guard lock(mutex);
    Verdict v;
    if (faults.unplugAfter == 0) {
        faults.unplugAfter = -1;
        v.unplug = true;
        v.replugMs = faults.replugMs;
        v.fail = true;
        return v;
    }
    if (faults.unplugAfter > 0) --faults.unplugAfter;
    if (faults.failAfter == 0) {
        v.fail = true;
        return v;
    }
    if (faults.failAfter > 0) --faults.failAfter;
    if (faults.stallNext > 0) {
        --faults.stallNext;
        v.stall = true;
        return v;
    }
    if (in && faults.corruptNext > 0) {
        --faults.corruptNext;
        v.corrupt = true;
    }
    return v;
}

size_t SimCamera::Impl::record(const SimRequestRecord& r) {
    std::lock_guard lock(mutex);
    if (requests.size() >= kMaxKeptRequests) {
        requests.erase(requests.begin(), requests.begin() + kMaxKeptRequests / 2);
        requestsDropped += kMaxKeptRequests / 2;
    }
    requests.push_back(r);
    return requestsDropped + requests.size() - 1;
}

void SimCamera::Impl::markCompleted(size_t serial) {
    std::lock_guard lock(mutex);
    if (serial >= requestsDropped && serial - requestsDropped < requests.size()) {
        requests[serial - requestsDropped].completed = true;
    }
}

}  // namespace TVR::Sim
