#pragma once

// CCMX: the "Color correction matrix" window. It maps its widgets to a CmxModel: the matrix
// text, the seven colour sliders with their number boxes and spin arrows, the preset list, the
// automatic apply and transposition boxes and the Apply button; a status line says why a matrix
// was not written. User-interface thread only.

#include <QAbstractSpinBox>
#include <array>
#include <optional>

#include "shell/dlg_base.h"
#include "tools/cmx/cmx_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace TVR {

// Spin arrows alone: each click reports its steps and the value lives elsewhere.
class SpinArrows : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinArrows(QWidget* parent = nullptr);
    void stepBy(int steps) override { emit stepped(steps); }

signals:
    void stepped(int steps);

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class CCMX : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 127;
    static constexpr int kMatrixText = 1322;
    static constexpr int kAutoApply = 1321;
    static constexpr int kTransposed = 1347;
    static constexpr int kApply = 1325;
    static constexpr int kClose = 1286;
    static constexpr int kPresets = 1348;

    struct ColourIds {
        CmxColour colour;
        int slider;
        int edit;
        int spin;
        const char* label;
    };
    static const std::array<ColourIds, kCmxColours> kColourIds;

    CCMX(CmxModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CCMX() override;

    void updateControls() override;
    void setCameraValid(bool valid) override;

private:
    struct ColourControls {
        QSlider* slider = nullptr;
        QLineEdit* edit = nullptr;
    };

    void onSlider(size_t index, int position);
    void onColourEdited(size_t index, const QString& text);
    void onSpin(size_t index, int steps);
    void onTextChanged();
    void onAutoApply(bool checked);
    void onPreset(int index);
    void onApply();
    void showResult(std::optional<CmxApply> result);
    void showMatrixText();
    void showColours();

    CmxModel& m_model;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_auto = nullptr;
    QCheckBox* m_transposed = nullptr;
    QPushButton* m_apply = nullptr;
    QComboBox* m_presets = nullptr;
    QLabel* m_status = nullptr;
    std::array<ColourControls, kCmxColours> m_colours{};
};

}  // namespace TVR
