#include "tools/consoles/registers_overview_model.h"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"

namespace TVR {

namespace {

constexpr uint32_t kLastAddress = 0xFFFF;
constexpr int kLineHeight = 13;
constexpr int kListFrame = 6;

std::string shownValue(int32_t value) {
    return value == RegistersOverviewModel::kUnread ? std::string("--")
                                                    : fmt::format("0x{:02X}", value);
}

}  // namespace

RegistersOverviewModel::RegistersOverviewModel(SettingsStore& store, ImgSensor& camera)
    : TableValueOwner(store, camera, {}),
      m_saved(kRegisterCount, kUnread),
      m_current(kRegisterCount, kUnread) {}

OverviewRead RegistersOverviewModel::readInto(uint32_t first, uint32_t last, bool bothArrays) {
    OverviewRead r;
    if (first > last) return r;
    std::optional<CameraWork::Batch> batch;
    if (work() != nullptr) batch.emplace(work()->batch());
    ImgSensor& cam = camera();
    // Counted in 32 bits, so that a range ending at 0xFFFF ends.
    for (uint32_t reg = first; reg <= std::min(last, kLastAddress); ++reg) {
        uint16_t value = 0;
        const bool ok = cam.readRegister(static_cast<uint16_t>(reg), value);
        ok ? ++r.read : ++r.failed;
        if (reg >= kRegisterCount) continue;
        const int32_t shown = ok ? static_cast<int32_t>(value & 0xFF) : kUnread;
        m_current[reg] = shown;
        if (bothArrays) m_saved[reg] = shown;
    }
    return r;
}

OverviewRead RegistersOverviewModel::fullSnapshot() {
    return readInto(0, kRegisterCount - 1, true);
}

OverviewRead RegistersOverviewModel::refreshRange(uint32_t first, uint32_t last) {
    return readInto(first, last, false);
}

OverviewRead RegistersOverviewModel::refreshRange(std::string_view first, std::string_view last,
                                                  int32_t base) {
    const auto a = static_cast<uint32_t>(parseConsoleNumber(first, base)) & kLastAddress;
    const auto b = static_cast<uint32_t>(parseConsoleNumber(last, base)) & kLastAddress;
    return readInto(a, b, false);
}

OverviewRead RegistersOverviewModel::refreshLines(size_t firstLine, size_t count) {
    if (count == 0 || firstLine >= kRegisterCount) return {};
    const size_t last = std::min<size_t>(firstLine + count - 1, kRegisterCount - 1);
    return readInto(static_cast<uint32_t>(firstLine), static_cast<uint32_t>(last), false);
}

bool RegistersOverviewModel::complete() const {
    return m_saved.size() >= kRegisterCount && m_current.size() >= kRegisterCount;
}

bool RegistersOverviewModel::changed(uint16_t reg) const {
    return reg < kRegisterCount && m_saved[reg] != m_current[reg];
}

std::string RegistersOverviewModel::listText(bool changesOnly) const {
    std::string text;
    if (!complete()) return text;
    for (uint32_t reg = 0; reg < kRegisterCount; ++reg) {
        const bool differs = m_saved[reg] != m_current[reg];
        if (changesOnly && !differs) continue;
        fmt::format_to(std::back_inserter(text), "0x{:04X}\t{}\t{}{}\r\n", reg,
                       shownValue(m_saved[reg]), shownValue(m_current[reg]),
                       differs ? "\t<-- +++CHANGED+++" : "");
    }
    return text;
}

size_t RegistersOverviewModel::visibleLines(int heightPixels) {
    return heightPixels <= kListFrame
               ? 0
               : static_cast<size_t>((heightPixels - kListFrame) / kLineHeight);
}

}  // namespace TVR
