#include "cmx.h"

#include <fmt/format.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "sensor/img_sensor.h"

namespace TVR {

namespace {

constexpr const char* kCmxTitle = "Color correction matrix";
constexpr const char* kCmxNoPreset = "Chose a preset";
constexpr int kCmxSliderMinimum = -100;
constexpr int kCmxSliderMaximum = 200;

QString cmxValueText(float v) { return QString::fromStdString(fmt::format("{:.3f}", v)); }

int cmxSliderPosition(float v) { return static_cast<int>(std::trunc(v * 100.0f)); }

}  // namespace

const std::array<CCMX::ColourIds, kCmxColours> CCMX::kColourIds{{
    {CmxColour::Red, 1327, 1328, 1329, "Red"},
    {CmxColour::Green, 1330, 1331, 1332, "Green"},
    {CmxColour::Blue, 1333, 1334, 1335, "Blue"},
    {CmxColour::Yellow, 1336, 1337, 1338, "Yellow"},
    {CmxColour::Cyan, 1339, 1340, 1341, "Cyan"},
    {CmxColour::Magenta, 1342, 1343, 1344, "Mag."},
    {CmxColour::White, 1345, 1346, 1349, "White"},
}};

SpinArrows::SpinArrows(QWidget* parent) : QAbstractSpinBox(parent) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFixedWidth(20);
    // The arrows alone change values; the box itself holds no text to edit.
    lineEdit()->setReadOnly(true);
}

CCMX::CCMX(CmxModel& model, const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kCmxTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("CMX values, 3x3")));
    m_text = new QPlainTextEdit;
    m_text->setObjectName(controlName(kMatrixText));
    m_text->setTabChangesFocus(true);
    m_text->setMinimumWidth(280);
    connect(m_text, &QPlainTextEdit::textChanged, this, &CCMX::onTextChanged);
    left->addWidget(m_text);
    m_auto = new QCheckBox(QStringLiteral("Autoapply changes"));
    m_auto->setObjectName(controlName(kAutoApply));
    connect(m_auto, &QCheckBox::clicked, this, &CCMX::onAutoApply);
    left->addWidget(m_auto);
    m_transposed = new QCheckBox(QStringLiteral("CMX is transposed"));
    m_transposed->setObjectName(controlName(kTransposed));
    connect(m_transposed, &QCheckBox::toggled, this,
            [this](bool on) { m_model.setTransposed(on); });
    left->addWidget(m_transposed);
    auto* presetLine = new QHBoxLayout;
    presetLine->addWidget(new QLabel(QStringLiteral("Reset CMX to:")));
    m_presets = new QComboBox;
    m_presets->setObjectName(controlName(kPresets));
    m_presets->addItem(QString::fromUtf8(kCmxNoPreset));
    for (const CmxPreset& p : cmxPresets()) {
        m_presets->addItem(QString::fromUtf8(p.name.data(), static_cast<qsizetype>(p.name.size())));
    }
    connect(m_presets, &QComboBox::activated, this, &CCMX::onPreset);
    presetLine->addWidget(m_presets, 1);
    left->addLayout(presetLine);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    left->addWidget(m_status);
    auto* buttons = new QHBoxLayout;
    m_apply = new QPushButton(QStringLiteral("Apply"));
    m_apply->setObjectName(controlName(kApply));
    connect(m_apply, &QPushButton::clicked, this, &CCMX::onApply);
    auto* close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(controlName(kClose));
    connect(close, &QPushButton::clicked, this, &CCMX::hide);
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    buttons->addWidget(close);
    left->addLayout(buttons);
    top->addLayout(left, 1);

    auto* grid = new QGridLayout;
    for (size_t i = 0; i < kColourIds.size(); ++i) {
        const ColourIds& ids = kColourIds[i];
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setObjectName(controlName(ids.slider));
        slider->setRange(kCmxSliderMinimum, kCmxSliderMaximum);
        slider->setMinimumWidth(160);
        auto* edit = new QLineEdit(cmxValueText(0));
        edit->setObjectName(controlName(ids.edit));
        edit->setMaximumWidth(70);
        auto* spin = new SpinArrows;
        spin->setObjectName(controlName(ids.spin));
        connect(slider, &QSlider::valueChanged, this, [this, i](int v) { onSlider(i, v); });
        connect(edit, &QLineEdit::textChanged, this,
                [this, i](const QString& t) { onColourEdited(i, t); });
        connect(spin, &SpinArrows::stepped, this, [this, i](int steps) { onSpin(i, steps); });
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(QString::fromUtf8(ids.label)), row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(edit, row, 2);
        grid->addWidget(spin, row, 3);
        m_colours[i] = {slider, edit};
    }
    top->addLayout(grid);

    showMatrixText();
    initDialog();
}

CCMX::~CCMX() = default;

void CCMX::showMatrixText() {
    const QSignalBlocker block(m_text);
    m_text->setPlainText(QString::fromStdString(m_model.text())
                             .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void CCMX::showColours() {
    for (size_t i = 0; i < m_colours.size(); ++i) {
        const float v = m_model.colourValue(kColourIds[i].colour);
        const QSignalBlocker blockSlider(m_colours[i].slider);
        const QSignalBlocker blockEdit(m_colours[i].edit);
        m_colours[i].slider->setValue(cmxSliderPosition(v));
        m_colours[i].edit->setText(cmxValueText(v));
    }
}

void CCMX::updateControls() {
    showMatrixText();
    showColours();
    {
        const QSignalBlocker block(m_auto);
        m_auto->setChecked(m_model.autoApply());
    }
    m_apply->setEnabled(!m_model.autoApply());
    if (!camera().connected()) {
        m_status->setText(QStringLiteral("No camera is connected: the matrix is not sent"));
    } else if (!camera().versionFX3().buildAtLeast(kCmxFx3Build)) {
        m_status->setText(QStringLiteral("This camera's firmware has no color correction matrix"));
    } else {
        m_status->clear();
    }
}

void CCMX::setCameraValid(bool valid) {
    CDlgBaseFX3::setCameraValid(valid);
    if (valid) return;
    m_status->setText(camera().connected()
                          ? QStringLiteral("The camera did not answer: no matrix to show")
                          : QStringLiteral("No camera is connected: no matrix to show"));
}

void CCMX::showResult(std::optional<CmxApply> result) {
    if (!result) return;
    switch (*result) {
        case CmxApply::Written:
            m_status->clear();
            return;
        case CmxApply::Kept:
            m_status->setText(QStringLiteral("No camera is connected: the matrix is not sent"));
            return;
        case CmxApply::NotNine:
            m_status->setText(QStringLiteral("Not applied: the text must hold 9 numbers"));
            return;
        case CmxApply::OutOfRange:
            m_status->setText(
                QStringLiteral("Not applied: every coefficient must lie from %1 to %2")
                    .arg(static_cast<double>(kCmxMinimum))
                    .arg(static_cast<double>(kCmxMaximum)));
            return;
        case CmxApply::WriteFailed:
            m_status->setText(QStringLiteral("The camera did not take the matrix; see the log"));
            return;
    }
}

void CCMX::onSlider(size_t index, int position) {
    m_colours[index].edit->setText(cmxValueText(static_cast<float>(position) / 100.0f));
}

void CCMX::onColourEdited(size_t index, const QString& text) {
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value)) return;
    const auto result = m_model.setColour(kColourIds[index].colour, value);
    {
        const QSignalBlocker block(m_colours[index].slider);
        m_colours[index].slider->setValue(cmxSliderPosition(value));
    }
    showMatrixText();
    showResult(result);
}

void CCMX::onSpin(size_t index, int steps) {
    const auto value = m_model.spinValue(kColourIds[index].colour, steps);
    if (value) m_colours[index].edit->setText(cmxValueText(*value));
}

void CCMX::onTextChanged() {
    std::string text = m_text->toPlainText().toStdString();
    showResult(m_model.setText(std::move(text)));
}

void CCMX::onAutoApply(bool checked) {
    m_apply->setEnabled(!checked);
    showResult(m_model.setAutoApply(checked));
}

void CCMX::onPreset(int index) {
    if (index <= 0) return;
    const auto result = m_model.choosePreset(index - 1);
    showMatrixText();
    showColours();
    showResult(result);
}

void CCMX::onApply() { showResult(m_model.apply()); }

}  // namespace TVR
