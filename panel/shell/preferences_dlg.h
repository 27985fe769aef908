#pragma once

// CPreferencesDlg: the "Preferences" dialog over PreferencesDialogModel. Its controls map to
// the model's values; OK validates, stores and writes the preferences and keeps the outcome
// for the main window (menu rebuild, restart offer, device tracking). User-interface thread.

#include <optional>

#include "shell/dlg_base.h"
#include "shell/preferences_dialog_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QSlider;

namespace TVR {

class ApiLog;
class Preferences;
class UserDialogs;

class CPreferencesDlg : public CDlgBase {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 111;
    enum ControlId : int {
        kBaseBox = 1076,
        kSafeCheck = 1104,
        kExpertCheck = 1105,
        kRefreshSlider = 1107,
        kRefreshText = 1108,
        kUnthemedCheck = 1110,
        kReleaseBox = 1143,
        kSplashNumber = 1147,
        kSplashSpin = 1149,
        kDevNotifyCheck = 1245,
        kLogApiCheck = 1250,
        kDefaultsButton = 1253,
        kBetaCheck = 1272,
        kReApplyCheck = 1330,
    };

    // `storage` receives the preferences on OK (nothing is written when null); `log` is the
    // API-call log switched by "Log API calls".
    CPreferencesDlg(Preferences& preferences, const PreferencesStorage* storage, ApiLog& log,
                    UserDialogs& dialogs, QWidget* parent);

    // What the controls hold.
    PreferencesDialogValues values() const;
    // What OK changed; none before an OK.
    const std::optional<PreferencesDialogOutcome>& outcome() const { return m_outcome; }

public slots:
    void accept() override;

private:
    void show(const PreferencesDialogValues& values);
    void applyExpertRule();
    void safeToggled(bool checked);

    Preferences& m_preferences;
    const PreferencesStorage* m_storage;
    ApiLog& m_log;
    UserDialogs& m_dialogs;
    std::optional<PreferencesDialogOutcome> m_outcome;
    bool m_showing = false;

    QCheckBox* m_expert = nullptr;
    QLabel* m_baseLabel = nullptr;
    QComboBox* m_base = nullptr;
    QCheckBox* m_safe = nullptr;
    QCheckBox* m_logApi = nullptr;
    QSlider* m_refresh = nullptr;
    QLabel* m_refreshText = nullptr;
    QCheckBox* m_unthemed = nullptr;
    QLineEdit* m_splash = nullptr;
    QScrollBar* m_splashSpin = nullptr;
    QComboBox* m_release = nullptr;
    QCheckBox* m_devNotify = nullptr;
    QCheckBox* m_beta = nullptr;
    QCheckBox* m_reApply = nullptr;
};

}  // namespace TVR
