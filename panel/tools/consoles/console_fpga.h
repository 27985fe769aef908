#pragma once

// CConsoleFpga: the "FPGA console" window: one vendor request from the console command catalogue
// with the arguments typed in its fields, its outcome, and the "fake" raw video switch. It maps
// its widgets to the session's ConsoleFpgaModel. User-interface thread only.

#include "shell/dlg_base.h"

class QCheckBox;
class QListWidget;
class QLineEdit;
class QPlainTextEdit;

namespace TVR {

class ConsoleFpgaModel;
class Preferences;
class UserDialogs;

class CConsoleFpga : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 108;
    static constexpr int kCommands = 1075;
    static constexpr int kOutput = 1084;
    static constexpr int kRequest = 1085;
    static constexpr int kLength = 1086;
    static constexpr int kDescription = 1087;
    static constexpr int kValue = 1088;
    static constexpr int kIndex = 1089;
    static constexpr int kRun = 1028;
    static constexpr int kFakeRawVideo = 1245;

    CConsoleFpga(ConsoleFpgaModel& model, const Preferences& preferences, UserDialogs& dialogs,
                 const PreferencesStorage* geometry, QWidget* parent);
    ~CConsoleFpga() override;

    void updateControls() override;

private:
    void onRowChosen(int row);
    void onRun();
    void onFakeRawVideo(bool checked);

    ConsoleFpgaModel& m_model;
    const Preferences& m_preferences;
    UserDialogs& m_dialogs;
    QListWidget* m_commands = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QLineEdit* m_request = nullptr;
    QLineEdit* m_value = nullptr;
    QLineEdit* m_index = nullptr;
    QLineEdit* m_length = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QCheckBox* m_fakeRaw = nullptr;
};

}  // namespace TVR
