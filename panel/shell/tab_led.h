#pragma once

// CTabLED: the "Peripherals" page of the main window (the three LED levels and the onboard
// fan). It maps its widgets to a TabLedModel and back. User-interface thread only.

#include "shell/dlg_base.h"

class QCheckBox;
class QLabel;

namespace TVR {

class TabLedModel;

class CTabLED : public CDlgBaseTab {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 102;

    CTabLED(TabLedModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CTabLED() override;

    void updateControls() override;

private:
    void onNumberEdited(int numberId, const QString& text);
    void onLevelMoved(int controlId, int position);
    // Shows a level in its number box (hexadecimal), slider and spin without a new edit.
    void showLevel(int numberId, int value);
    QWidget* byId(int controlId) const;

    TabLedModel& m_model;
    QCheckBox* m_fan = nullptr;
    QLabel* m_temperatureLabel = nullptr;
    QLabel* m_temperature = nullptr;
};

}  // namespace TVR
