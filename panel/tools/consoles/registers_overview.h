#pragma once

// CRegistersOverview: the "Sensor's registers' overview" window: a full snapshot of the sensor's
// registers, the refresh of a range, the list of values with change marks and the timed refresh
// of the lines on show. It owns its RegistersOverviewModel. User-interface thread only.

#include "shell/dlg_base.h"
#include "tools/consoles/owned_model.h"
#include "tools/consoles/registers_overview_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace TVR {

class Preferences;
class UserDialogs;

// The model comes first among the bases, so it outlives the dialog base's teardown; the window
// declares no signals of its own.
class CRegistersOverview : private OwnedModel<RegistersOverviewModel>, public CDlgBaseFX3 {
public:
    static constexpr int kTemplateId = 112;
    static constexpr int kFullSnapshot = 1030;
    static constexpr int kRefreshRange = 1055;
    static constexpr int kRangeFirst = 1070;
    static constexpr int kRangeLast = 1071;
    static constexpr int kAutoRefresh = 1072;
    static constexpr int kList = 1077;
    static constexpr int kChangesOnly = 1078;
    static constexpr int kStatus = 1079;

    CRegistersOverview(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                       const Preferences& preferences, UserDialogs& dialogs,
                       const PreferencesStorage* geometry, QWidget* parent);
    ~CRegistersOverview() override;

    void updateControls() override {}
    RegistersOverviewModel& overviewModel() { return ownedModel; }
    // One tick of the auto-refresh timer.
    void refreshVisible();

private:
    void onFullSnapshot();
    void onRefreshRange();
    void onChangesOnly(bool checked);
    void onAutoRefresh(int entry);
    void renderList();
    void setBusy(bool busy);
    void showRead(const OverviewRead& r);

    const Preferences& m_preferences;
    UserDialogs& m_dialogs;
    QPushButton* m_snapshot = nullptr;
    QPushButton* m_refresh = nullptr;
    QLineEdit* m_first = nullptr;
    QLineEdit* m_last = nullptr;
    QComboBox* m_autoRefresh = nullptr;
    QCheckBox* m_changesOnly = nullptr;
    QPlainTextEdit* m_list = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace TVR
