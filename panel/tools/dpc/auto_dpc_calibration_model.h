#pragma once

// The "Automated DPC calibration" window without its widgets: the threshold search run step by
// step, each step writing a trial threshold and polling the detected pixel count on a 250 ms
// timer. The window (or brisco-cli) runs the timer and calls tick(); the model says whether the
// timer should run and when it was (re)started. Window thread (or brisco-cli's main thread).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/table_value_owner.h"
#include "tools/dpc/dpc_search.h"

namespace TVR {

inline constexpr std::string_view kKeyDpcThreshold = "DPC_THRESHOLD";

// The message box that ends a run.
struct DpcRunMessage {
    std::string title;
    std::string text;
    bool fits = true;  // false: no threshold fits (a warning, not a success)
};

// One finished step, as brisco-cli prints it.
struct DpcStep {
    int threshold = 0;
    int count = 0;
    int lower = 0;  // the range after the step
    int upper = 0;
};

class AutoDpcCalibrationModel : public TableValueOwner {
public:
    static constexpr int kTimerPeriodMs = 250;
    // A step gives up after this many ticks with no count (about 4.25 s).
    static constexpr int kStepTicks = 16;
    static constexpr int kProgressFull = 100;

    AutoDpcCalibrationModel(SettingsStore& store, ImgSensor& camera);

    void finishInitialisation() { setUpdateCounter(0); }

    // The two reads of the opening splash: threshold and pixel count.
    void readState() override;
    // Nothing is pushed: the threshold reaches the camera only through a calibration.
    void loadFromStore() override {}
    // The window opened with what readState() found: logs the error and disables the button
    // without a connected camera.
    void opened();

    // The window closed: a run ends with it (the camera keeps the last threshold written).
    void closed();

    // Button 1268: starts a search, or stops the bisection of the one running.
    void pressButton();
    // One tick of the 250 ms timer; ignored while no step waits.
    void tick();

    bool running() const { return m_running; }
    bool timerActive() const { return m_timerActive; }
    // Counts every (re)start of the timer, so the window restarts its own on a change.
    uint64_t timerStarts() const { return m_timerStarts; }
    bool waitCursor() const { return m_waitCursor; }

    bool connected() const { return m_connected; }
    bool buttonEnabled() const { return m_buttonEnabled; }
    std::string buttonText() const;
    std::string rangeText() const;
    // The progress bar, 0..100.
    int progress() const;
    int ticks() const { return m_ticks; }
    int shownThreshold() const { return m_shownThreshold; }
    uint32_t shownCount() const { return m_shownCount; }
    const DpcSearch& search() const { return m_search; }

    // The message of a run that ended, once.
    std::optional<DpcRunMessage> takeMessage();
    // Each finished step; brisco-cli prints them.
    void setStepObserver(std::function<void(const DpcStep&)> observer) {
        m_stepObserver = std::move(observer);
    }

private:
    void startStep();
    void finishStep(int count);
    int readCount(bool& failed);
    void failRun();

    DpcSearch m_search;
    int m_ticks = 0;
    bool m_running = false;
    bool m_timerActive = false;
    uint64_t m_timerStarts = 0;
    bool m_waitCursor = false;
    bool m_connected = false;
    bool m_buttonEnabled = true;
    bool m_opened = false;
    int m_shownThreshold = 0;
    uint32_t m_shownCount = 0;
    std::optional<DpcRunMessage> m_message;
    std::function<void(const DpcStep&)> m_stepObserver;
};

}  // namespace TVR
