#pragma once

// CTabGains: the "Sensor" page of the main window (white balance, gain, exposure, black level,
// binning, frame rate, auto-refresh). It maps its widgets to a TabGainsModel and back; every
// rule and camera access lives in the model. User-interface thread only.

#include <string>

#include "shell/dlg_base.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QSpinBox;
class QTimer;

namespace TVR {

class Preferences;
class TabGainsModel;

class CTabGains : public CDlgBaseTab {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 104;

    CTabGains(TabGainsModel& model, const Preferences& preferences,
              const PreferencesStorage* geometry, QWidget* parent);
    ~CTabGains() override;

    void updateControls() override;
    // Whether the auto-refresh read runs now, on its worker.
    bool autoRefreshReading() const { return m_refreshing && readInFlight(); }

protected:
    void blankControls() override;

public:

    // The "Auto-refresh" timer: running, and its interval.
    bool autoRefreshActive() const;
    int autoRefreshIntervalMs() const;

private:
    void buildControls();
    void connectControls();

    void onNumberEdited(int numberId, const QString& text);
    void onSpinChanged(int spinId, int value);
    void onSliderChanged(int sliderId, int position);
    void onSwitchClicked(int checkId, bool checked);
    void onRangeChosen(int index);
    void onBinningChosen(int index);
    void onFrameRateSlider(int position);
    void onFrameRateEdited(const QString& text);
    void onFrameRateSpin(int direction);
    void onAutoRefreshClicked(bool checked);
    void onAutoRefreshTick();

    // Shows a number with its slider and spin, none of them treated as a new edit.
    void showNumber(int numberId, int value);
    void showSliderPosition(int sliderId, int position);
    void showExposureSlider();
    void showEnabled(int controlId, bool enabled);
    void setRange(int controlId, int minimum, int maximum);

    QWidget* byId(int controlId) const;

    TabGainsModel& m_model;
    const Preferences& m_preferences;
    QComboBox* m_exposureRange = nullptr;
    QComboBox* m_binning = nullptr;
    QSlider* m_exposureSlider = nullptr;
    QSlider* m_frameRateSlider = nullptr;
    QLineEdit* m_frameRateBox = nullptr;
    QCheckBox* m_autoRefresh = nullptr;
    QTimer* m_refreshTimer = nullptr;
    bool m_refreshing = false;
};

}  // namespace TVR
