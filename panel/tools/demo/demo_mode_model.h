#pragma once

// The "Demo mode" window without its widgets: the script and its entries, and the loop that
// loads one settings file after another on a 100 ms timer, counting each entry's duration down
// on the progress bar. A file that fails to load is reported and skipped; the loop never stops
// for it. The window (or brisco-cli) runs the timer and calls tick(). Window thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/demo/demo_script.h"

namespace TVR {

class ApiLog;
class Preferences;

// Loads a settings file into the camera and pushes it; false with `error` set when it failed.
using DemoLoader = std::function<bool(const std::string& path, std::string& error)>;

class DemoModeModel {
public:
    static constexpr int kTimerPeriodMs = 100;

    // `preferences` keeps the script between runs; null keeps it nowhere. Log and preferences
    // must outlive the model.
    DemoModeModel(DemoLoader loader, ApiLog& log, Preferences* preferences = nullptr);

    // The script changed: parse it again and keep it in the preferences.
    void setScript(std::string script);
    const std::string& script() const { return m_script; }
    const std::vector<DemoEntry>& entries() const { return m_entries; }
    // "Add file(s)...": one line per file with the default duration.
    void addFiles(const std::vector<std::string>& paths);

    // "Play"; false when the script has fewer than two entries or it plays already.
    bool play();
    // "Stop", and hiding the window.
    void stop();
    // One tick of the 100 ms timer; ignored while stopped.
    void tick();

    bool playing() const { return m_playing; }
    bool playEnabled() const { return !m_playing && m_entries.size() >= 2; }
    bool stopEnabled() const { return m_playing; }
    bool scriptEnabled() const { return !m_playing; }
    bool timerActive() const { return m_playing; }
    uint64_t timerStarts() const { return m_timerStarts; }

    size_t current() const { return m_current; }
    const std::string& statusText() const { return m_status; }
    // The progress bar: its range, its position and whether it shows the paused state.
    int progressMinimum() const { return 1; }
    int progressMaximum() const { return m_progressMaximum; }
    int progressPosition() const { return m_position; }
    bool progressPaused() const { return m_paused; }

    // Loads tried and loads that failed since the model was made.
    uint64_t loads() const { return m_loads; }
    uint64_t failedLoads() const { return m_failedLoads; }

    // Each entry started, with the load's outcome (brisco-cli prints them).
    void setEntryObserver(
        std::function<void(const DemoEntry&, bool loaded, const std::string& error)> observer) {
        m_observer = std::move(observer);
    }

private:
    void startEntry();

    DemoLoader m_loader;
    ApiLog& m_log;
    Preferences* m_preferences;
    std::string m_script;
    std::vector<DemoEntry> m_entries;
    std::vector<DemoEntry> m_playingEntries;
    bool m_playing = false;
    // A load may ask the user, and the timer may fire inside that question's loop.
    bool m_loading = false;
    bool m_paused = true;
    size_t m_current = 0;
    int m_progressMaximum = 1;
    int m_position = 0;
    uint64_t m_timerStarts = 0;
    uint64_t m_loads = 0;
    uint64_t m_failedLoads = 0;
    std::string m_status;
    std::function<void(const DemoEntry&, bool, const std::string&)> m_observer;
};

}  // namespace TVR
