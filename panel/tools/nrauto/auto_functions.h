#pragma once

// CAutoFunctions: the "Auto-functions' parameters" window (exposure and white-balance set points,
// each a slider, a number box and a spin button, and the update interval slider with its value
// beside it). It maps its widgets to an AutoFunctionsModel and back. User-interface thread only.

#include "shell/dlg_base.h"

class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace TVR {

class AutoFunctionsModel;

class CAutoFunctions : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 124;
    static constexpr int kExposureSlider = 1279;
    static constexpr int kExposureNumber = 1280;
    static constexpr int kExposureSpin = 1263;
    static constexpr int kWbSlider = 1281;
    static constexpr int kWbNumber = 1282;
    static constexpr int kWbSpin = 1264;
    static constexpr int kIntervalSlider = 1283;
    static constexpr int kIntervalValue = 1284;

    CAutoFunctions(AutoFunctionsModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CAutoFunctions() override;

    void updateControls() override;

private:
    struct Row {
        QSlider* slider = nullptr;
        QLineEdit* number = nullptr;
        QSpinBox* spin = nullptr;
        int numberId = 0;
        const char* key = nullptr;
    };
    void makeRow(Row& row, int sliderId, int numberId, int spinId, int maximum, int tick,
                 const char* key);
    void onNumberEdited(Row& row, const QString& text);
    void onIntervalMoved(int position);

    AutoFunctionsModel& m_model;
    Row m_exposure;
    Row m_wb;
    QSlider* m_interval = nullptr;
    QLabel* m_intervalValue = nullptr;
};

}  // namespace TVR
