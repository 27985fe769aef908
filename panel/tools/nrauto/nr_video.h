#pragma once

// CNRVideo: the "Video noise reduction" window (luma and chroma strengths, each a slider, a
// number box and a spin button). It maps its widgets to an NrVideoModel and back. User-interface
// thread only.

#include "shell/dlg_base.h"

class QGroupBox;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace TVR {

class NrVideoModel;

class CNRVideo : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 123;
    static constexpr int kLumaSlider = 1273;
    static constexpr int kLumaNumber = 1274;
    static constexpr int kLumaSpin = 1263;
    static constexpr int kLumaGroup = 1277;
    static constexpr int kChromaSlider = 1275;
    static constexpr int kChromaNumber = 1276;
    static constexpr int kChromaSpin = 1264;
    static constexpr int kChromaGroup = 1278;

    // The group box's property telling whether its strength is on (caption not greyed).
    static constexpr const char* kStrengthOnProperty = "strengthOn";

    CNRVideo(NrVideoModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CNRVideo() override;

    void updateControls() override;

private:
    struct Row {
        QSlider* slider = nullptr;
        QLineEdit* number = nullptr;
        QSpinBox* spin = nullptr;
        QGroupBox* group = nullptr;
        int numberId = 0;
        const char* key = nullptr;
    };
    QGroupBox* makeRow(Row& row, const char* caption, int groupId, int sliderId, int numberId,
                       int spinId, const char* key);
    void onNumberEdited(Row& row, const QString& text);
    void showValue(Row& row, int value);

    NrVideoModel& m_model;
    Row m_luma;
    Row m_chroma;
};

}  // namespace TVR
