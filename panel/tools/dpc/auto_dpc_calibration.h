#pragma once

// CAutoDpcCalibration: the "Automated DPC calibration" window. It maps its widgets to an
// AutoDpcCalibrationModel and runs the model's 250 ms step timer. User-interface thread only.

#include <QTimer>
#include <memory>

#include "shell/dlg_base.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace TVR {

class AutoDpcCalibrationModel;
class UserDialogs;

class CAutoDpcCalibration : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 122;

    CAutoDpcCalibration(std::unique_ptr<AutoDpcCalibrationModel> model, UserDialogs& dialogs,
                        const PreferencesStorage* geometry, QWidget* parent);
    ~CAutoDpcCalibration() override;

    void updateControls() override;
    AutoDpcCalibrationModel& dpc() { return *m_dpc; }

protected:
    std::string readStateTaskName() const override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onButton();
    void onTick();
    // Widgets, timer and cursor after any change of the model; shows a finished run's message.
    void sync();

    std::unique_ptr<AutoDpcCalibrationModel> m_dpc;
    UserDialogs& m_dialogs;
    QTimer m_timer;
    uint64_t m_seenTimerStarts = 0;
    QPushButton* m_button = nullptr;
    QLineEdit* m_threshold = nullptr;
    QLineEdit* m_count = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};

}  // namespace TVR
