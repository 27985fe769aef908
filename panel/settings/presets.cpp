#include "presets.h"

#include <fmt/format.h>

#include "settings/preferences.h"

namespace TVR {

namespace {
bool valid(int n) { return n >= 1 && n <= Presets::kCount; }
}  // namespace

void Presets::loadFrom(const Preferences& preferences) {
    for (int n = 1; n <= kCount; ++n) {
        m_presets[n - 1] = {preferences.text(Preferences::presetFileKey(n)),
                            preferences.text(Preferences::presetDescriptionKey(n))};
    }
}

void Presets::storeInto(Preferences& preferences) const {
    for (int n = 1; n <= kCount; ++n) {
        preferences.setText(Preferences::presetFileKey(n), m_presets[n - 1].fileName);
        preferences.setText(Preferences::presetDescriptionKey(n), m_presets[n - 1].description);
    }
}

Preset Presets::preset(int n) const { return valid(n) ? m_presets[n - 1] : Preset{}; }

bool Presets::setPreset(int n, Preset preset) {
    if (!valid(n)) return false;
    m_presets[n - 1] = std::move(preset);
    return true;
}

void Presets::clearAll() { m_presets = {}; }

std::string Presets::menuText(int n) const {
    const Preset p = preset(n);
    std::string text;
    if (p.fileName.empty()) {
        text = fmt::format("Preset #{}", n);
    } else {
        text = p.description.empty() ? p.fileName : p.description;
    }
    return text + fmt::format("\tCtrl+Alt+{}", n);
}

bool Presets::menuEnabled(int n, bool connected) const {
    return connected && valid(n) && !m_presets[n - 1].fileName.empty();
}

}  // namespace TVR
