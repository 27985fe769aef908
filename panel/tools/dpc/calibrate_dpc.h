#pragma once

// CCalibrateDPC: the "Calibrate DPC (defective pixel cancellation)" window: a threshold slider
// and one calibration run polled on a 200 ms timer. It maps its widgets to a CalibrateDpcModel.
// User-interface thread only.

#include <QTimer>
#include <memory>

#include "shell/dlg_base.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace TVR {

class CalibrateDpcModel;
class Preferences;

class CCalibrateDPC : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 103;

    CCalibrateDPC(std::unique_ptr<CalibrateDpcModel> model, const Preferences& preferences,
                  const PreferencesStorage* geometry, QWidget* parent);
    ~CCalibrateDPC() override;

    void updateControls() override;
    CalibrateDpcModel& dpc() { return *m_dpc; }

protected:
    std::string readStateTaskName() const override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onRun();
    void onTick();
    void sync();

    std::unique_ptr<CalibrateDpcModel> m_dpc;
    const Preferences& m_preferences;
    QTimer m_timer;
    uint64_t m_seenTimerStarts = 0;
    QSlider* m_slider = nullptr;
    QLineEdit* m_count = nullptr;
    QPushButton* m_run = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace TVR
