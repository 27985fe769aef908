#include "sim_uvc.h"

#include "protocol/uvc_property_ids.h"

namespace TVR::Sim {

namespace {

constexpr int32_t kBoth = kSimUvcAuto | kSimUvcManual;

SimUvcProperty prop(int32_t min, int32_t max, int32_t step, int32_t def, int32_t caps,
                    int32_t flags = kSimUvcManual) {
    return SimUvcProperty{min, max, step, def, caps, def, flags};
}

}  // namespace

SimUvcState::SimUvcState(SimUvcConfig config) : m_sets(config.sets) {
    if (config.failFrom > 0) m_failAt = config.failFrom;
    restoreDefaults();
}

void SimUvcState::restoreDefaults() {
    std::lock_guard lock(m_mutex);
    // Pan, tilt, roll and iris are absent, as on this camera; so is colour enable.
    using namespace UvcProcAmp;
    m_procAmp = {
        {kBrightness, prop(-64, 64, 1, 0, kSimUvcManual)},
        {kContrast, prop(0, 95, 1, 32, kSimUvcManual)},
        {kHue, prop(-2000, 2000, 100, 0, kBoth)},
        {kSaturation, prop(0, 100, 1, 64, kSimUvcManual)},
        {kSharpness, prop(0, 7, 1, 2, kSimUvcManual)},
        {kGamma, prop(100, 300, 1, 100, kSimUvcManual)},
        {kWhiteBalance, prop(2800, 6500, 10, 4600, kBoth, kSimUvcAuto)},
        {kBacklightCompensation, prop(0, 2, 1, 1, kSimUvcManual)},
        {kGain, prop(0, 100, 1, 0, kBoth)},
    };
    m_cameraControl = {
        {UvcCameraControl::kZoom, prop(100, 400, 1, 100, kSimUvcManual)},
        {UvcCameraControl::kExposure, prop(-13, -1, 1, -6, kBoth, kSimUvcAuto)},  // log2 seconds
        {UvcCameraControl::kFocus, prop(0, 1023, 1, 68, kBoth, kSimUvcAuto)},
    };
}

bool SimUvcState::offers(SimUvcSet set) const {
    switch (m_sets) {
        case SimUvcSets::Full:
            return true;
        case SimUvcSets::ProcAmpOnly:
            return set == SimUvcSet::ProcAmp;
        case SimUvcSets::None:
            break;
    }
    return false;
}

bool SimUvcState::countCall() {
    ++m_calls;
    return m_failAt == 0 || m_calls < m_failAt;
}

SimUvcState::Table* SimUvcState::table(SimUvcSet set) {
    if (!offers(set)) return nullptr;
    return set == SimUvcSet::CameraControl ? &m_cameraControl : &m_procAmp;
}

std::optional<SimUvcProperty> SimUvcState::property(SimUvcSet set, int32_t number) {
    std::lock_guard lock(m_mutex);
    if (!countCall()) return std::nullopt;
    Table* t = table(set);
    if (t == nullptr) return std::nullopt;
    const auto it = t->find(number);
    if (it == t->end()) return std::nullopt;
    return it->second;
}

bool SimUvcState::set(SimUvcSet set, int32_t number, int32_t value, int32_t flags) {
    std::lock_guard lock(m_mutex);
    if (!countCall()) return false;
    Table* t = table(set);
    if (t == nullptr) return false;
    const auto it = t->find(number);
    if (it == t->end()) return false;
    SimUvcProperty& p = it->second;
    if (value < p.min || value > p.max) return false;
    // 64-bit: max - min may not fit 32 bits.
    if ((int64_t{value} - p.min) % p.step != 0) return false;
    if (flags == 0 || (flags & ~p.caps) != 0) return false;
    p.value = value;
    p.flags = flags;
    return true;
}

void SimUvcState::setFailFrom(uint32_t call) {
    std::lock_guard lock(m_mutex);
    m_failAt = call == 0 ? 0 : m_calls + call;
}

uint64_t SimUvcState::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

}  // namespace TVR::Sim
