#include "demo_mode_model.h"

#include <fmt/format.h>

#include "apilog.h"
#include "settings/preferences.h"

namespace TVR {

DemoModeModel::DemoModeModel(DemoLoader loader, ApiLog& log, Preferences* preferences)
    : m_loader(std::move(loader)), m_log(log), m_preferences(preferences) {
    if (m_preferences != nullptr) {
        m_script = m_preferences->text(PreferenceName::kDemoScript);
        m_entries = parseDemoScript(m_script);
    }
}

void DemoModeModel::setScript(std::string script) {
    m_script = std::move(script);
    m_entries = parseDemoScript(m_script);
    if (m_preferences != nullptr) m_preferences->setText(PreferenceName::kDemoScript, m_script);
}

void DemoModeModel::addFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    setScript(appendDemoFiles(m_script, paths));
}

bool DemoModeModel::play() {
    if (!playEnabled()) return false;
    // The script box is locked while playing, but the list played is the one Play saw.
    m_playingEntries = m_entries;
    m_playing = true;
    m_paused = false;
    m_current = 0;
    startEntry();
    return true;
}

void DemoModeModel::stop() {
    m_playing = false;
    m_paused = true;
    m_position = 0;
    m_current = 0;
}

void DemoModeModel::tick() {
    if (!m_playing || m_loading) return;
    if (m_position > 1) {
        --m_position;
        return;
    }
    m_position = 0;
    m_current = (m_current + 1) % m_playingEntries.size();
    startEntry();
}

void DemoModeModel::startEntry() {
    // A file that fails is skipped at once; only when every file of the list failed in a row
    // does the loop wait out the entry's time, so a list of missing files cannot spin.
    for (size_t failedInRow = 0;; ++failedInRow) {
        const DemoEntry& entry = m_playingEntries[m_current];
        m_progressMaximum = static_cast<int>(entry.seconds * 10.0);
        m_position = m_progressMaximum;
        m_status = fmt::format("{}\nDuration: {:.1f}s", entry.path, entry.seconds);
        std::string error;
        ++m_loads;
        m_loading = true;
        const bool loaded = m_loader && m_loader(entry.path, error);
        m_loading = false;
        if (!loaded) {
            ++m_failedLoads;
            if (error.empty()) error = "the settings file could not be loaded";
            m_log.appendMessage(true, "Demo mode: %s not loaded (%s); skipped", entry.path.c_str(),
                                error.c_str());
            m_status += fmt::format("\nNot loaded: {}", error);
        }
        if (m_observer) m_observer(entry, loaded, error);
        if (loaded || failedInRow + 1 >= m_playingEntries.size()) break;
        m_current = (m_current + 1) % m_playingEntries.size();
    }
    ++m_timerStarts;
}

}  // namespace TVR
