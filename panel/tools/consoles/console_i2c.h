#pragma once

// CConsoleI2c: the "I²C console" window: a target from the table of bus devices (or an address
// typed by hand), a script of register writes, and its result. It owns its ConsoleI2cModel.
// User-interface thread only.

#include "shell/dlg_base.h"
#include "tools/consoles/console_i2c_model.h"
#include "tools/consoles/owned_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace TVR {

class Preferences;

// The model comes first among the bases, so it outlives the dialog base's teardown; the window
// declares no signals of its own.
class CConsoleI2c : private OwnedModel<ConsoleI2cModel>, public CDlgBaseFX3 {
public:
    static constexpr int kTemplateId = 128;
    static constexpr int kAddress = 1349;
    static constexpr int kScript = 1350;
    static constexpr int kResult = 1351;
    static constexpr int kEightBit = 1352;
    static constexpr int kSixteenBit = 1353;
    static constexpr int kStopOnError = 1354;
    static constexpr int kTargets = 1355;
    static constexpr int kExecute = 1286;

    CConsoleI2c(SettingsStore& store, ImgSensor& camera, CameraWork& work,
                const Preferences& preferences, const PreferencesStorage* geometry,
                QWidget* parent);
    ~CConsoleI2c() override;

    void updateControls() override {}
    ConsoleI2cModel& consoleModel() { return ownedModel; }

private:
    void onTargetChosen(int row);
    void onExecute();

    const Preferences& m_preferences;
    QComboBox* m_targets = nullptr;
    QRadioButton* m_eightBit = nullptr;
    QRadioButton* m_sixteenBit = nullptr;
    QCheckBox* m_stopOnError = nullptr;
    QLineEdit* m_address = nullptr;
    QPlainTextEdit* m_script = nullptr;
    QPlainTextEdit* m_result = nullptr;
};

}  // namespace TVR
