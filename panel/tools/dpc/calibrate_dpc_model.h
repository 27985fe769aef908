#pragma once

// The "Calibrate DPC (defective pixel cancellation)" window without its widgets: the threshold
// slider, one calibration run with the slider's threshold, and the 200 ms poll of the detected
// pixel count, which ends when a count arrives or after 21 ticks (about 4 s) without one. The
// window runs the timer and calls tick(). Window thread.

#include <cstdint>

#include "settings/table_value_owner.h"

namespace TVR {

class Preferences;

class CalibrateDpcModel : public TableValueOwner {
public:
    static constexpr int kTimerPeriodMs = 200;
    static constexpr int kTimeoutTicks = 20;
    static constexpr int kProgressPerTick = 5;
    static constexpr int kSliderMaximum = 254;
    static constexpr int kSliderMinimumExpert = 4;
    static constexpr int kSliderMinimum = 70;
    static constexpr int kSliderTicks = 10;
    // What the slider shows before any calibration.
    static constexpr int kUnsetThreshold = 150;

    CalibrateDpcModel(SettingsStore& store, ImgSensor& camera);

    void finishInitialisation() { setUpdateCounter(0); }

    // Threshold into DPC_THRESHOLD, the count into the model.
    void readState() override;
    // Nothing is pushed: a threshold reaches the camera only through a calibration.
    void loadFromStore() override {}

    static int sliderMinimum(bool expert) { return expert ? kSliderMinimumExpert : kSliderMinimum; }

    // The update step: what the slider and the count box show; logs when the camera has no
    // calibration to show.
    struct View {
        int sliderPosition = kUnsetThreshold;
        uint32_t pixelCount = 0;
    };
    View view();

    // "Run DPC calibration" with the slider at `threshold`; false (nothing sent) while a run
    // waits or without a connected camera.
    bool run(int threshold);
    // The window closed: the poll ends (the camera goes on with the run it was given).
    void closed() { m_timerActive = false; }
    // One tick of the 200 ms timer; ignored while no run waits.
    void tick();

    bool timerActive() const { return m_timerActive; }
    uint64_t timerStarts() const { return m_timerStarts; }
    bool buttonEnabled() const { return !m_timerActive; }
    bool waitCursor() const { return m_timerActive; }
    int progress() const { return m_progress; }
    int ticks() const { return m_ticks; }
    uint32_t pixelCount() const { return m_pixelCount; }
    // Whether the last run ended without a count.
    bool timedOut() const { return m_timedOut; }

private:
    int readCount();

    uint32_t m_pixelCount = 0;
    int m_ticks = 0;
    int m_progress = 0;
    int m_threshold = 0;
    bool m_timerActive = false;
    bool m_timedOut = false;
    uint64_t m_timerStarts = 0;
};

}  // namespace TVR
