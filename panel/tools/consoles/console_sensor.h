#pragma once

// CConsoleSensor: the "Sensor console" window: a script of sensor register writes, a peek at one
// register, the comparison of a script with the sensor, and the sensor's flip, standby, reset,
// pixel offset and FSIN switches. It maps its widgets to the session's ConsoleSensorModel.
// User-interface thread only.

#include "shell/dlg_base.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace TVR {

class ConsoleSensorModel;
class Preferences;

class CConsoleSensor : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 107;
    static constexpr int kFlipH = 1001;
    static constexpr int kFlipV = 1002;
    static constexpr int kSendFsin = 1003;
    static constexpr int kScript = 1023;
    static constexpr int kGroupWrite = 1027;
    static constexpr int kRun = 1028;
    static constexpr int kReset = 1035;
    static constexpr int kPeekRegister = 1037;
    static constexpr int kPeekHex = 1038;
    static constexpr int kPeekBinary = 1039;
    static constexpr int kStandby = 1041;
    static constexpr int kPixelOffset = 1043;
    static constexpr int kPeek = 1053;
    static constexpr int kCompareDefaults = 1286;
    static constexpr int kCompareCurrent = 1287;

    CConsoleSensor(ConsoleSensorModel& model, const Preferences& preferences,
                   const PreferencesStorage* geometry, QWidget* parent);
    ~CConsoleSensor() override;

    void updateControls() override;

private:
    int32_t base() const;
    // Console commands act only with a camera and outside a fill of the controls.
    bool mayAct();
    void onRun();
    void onPeek();
    void onCompare(bool toDefaults);
    void onFlip(QCheckBox* box, bool horizontal, bool on);

    ConsoleSensorModel& m_model;
    const Preferences& m_preferences;
    QCheckBox* m_flipH = nullptr;
    QCheckBox* m_flipV = nullptr;
    QCheckBox* m_groupWrite = nullptr;
    QCheckBox* m_standby = nullptr;
    QPlainTextEdit* m_script = nullptr;
    QLineEdit* m_peekRegister = nullptr;
    QLabel* m_peekHex = nullptr;
    QLabel* m_peekBinary = nullptr;
};

}  // namespace TVR
