#include "tab_led.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>
#include <optional>

#include "shell/tab_led_model.h"

namespace TVR {
namespace {

using L = TabLedModel;

constexpr const char* kPeripheralsTitle = "Peripherals";

struct LevelRow {
    const char* label;
    int sliderId;
    int numberId;
    int spinId;
};
constexpr std::array<LevelRow, 3> kRows = {{
    {"Red", L::kRedSlider, L::kRedNumber, L::kRedSpin},
    {"Green", L::kGreenSlider, L::kGreenNumber, L::kGreenSpin},
    {"Blue", L::kBlueSlider, L::kBlueNumber, L::kBlueSpin},
}};

const LevelRow* rowOf(int controlId) {
    for (const LevelRow& r : kRows) {
        if (r.sliderId == controlId || r.numberId == controlId || r.spinId == controlId) return &r;
    }
    return nullptr;
}

// The store keeps the levels as hexadecimal entries and the boxes show them the same way; a
// typed number without the "0x" prefix is decimal.
QString levelText(int value) {
    return QStringLiteral("0x") + QString::number(static_cast<uint32_t>(value), 16).toUpper();
}

std::optional<int> levelOf(const QString& typed) {
    const QString text = typed.trimmed();
    bool ok = false;
    int value = 0;
    if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        value = text.mid(2).toInt(&ok, 16);
    } else {
        value = text.toInt(&ok, 10);
    }
    if (!ok || value < 0) return std::nullopt;
    return value;
}

}  // namespace

CTabLED::CTabLED(TabLedModel& model, const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseTab(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kPeripheralsTitle));
    auto* top = new QVBoxLayout(this);
    auto* ledBox = new QGroupBox(QStringLiteral("LED"));
    auto* grid = new QGridLayout(ledBox);
    int line = 0;
    for (const LevelRow& r : kRows) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.label)), line, 0);
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setObjectName(controlName(r.sliderId));
        slider->setRange(L::kLevelMinimum, L::kLevelMaximum);
        slider->setPageStep(L::kLevelPage);
        slider->setMinimumWidth(200);
        grid->addWidget(slider, line, 1);
        auto* number = new QLineEdit;
        number->setObjectName(controlName(r.numberId));
        number->setValidator(new QRegularExpressionValidator(
            QRegularExpression("0[xX][0-9a-fA-F]{0,4}|\\d{0,5}"), number));
        number->setMaximumWidth(70);
        grid->addWidget(number, line, 2);
        auto* spin = new QSpinBox;
        spin->setObjectName(controlName(r.spinId));
        spin->setRange(L::kLevelMinimum, L::kLevelMaximum);
        spin->setKeyboardTracking(false);
        spin->setMaximumWidth(20);
        grid->addWidget(spin, line, 3);
        ++line;

        const int sliderId = r.sliderId;
        const int numberId = r.numberId;
        const int spinId = r.spinId;
        connect(slider, &QSlider::valueChanged, this,
                [this, sliderId](int v) { onLevelMoved(sliderId, v); });
        connect(spin, &QSpinBox::valueChanged, this,
                [this, spinId](int v) { onLevelMoved(spinId, v); });
        connect(number, &QLineEdit::textEdited, this,
                [this, numberId](const QString& t) { onNumberEdited(numberId, t); });
    }
    top->addWidget(ledBox);

    m_fan = new QCheckBox(QStringLiteral("Onboard-fan"));
    m_fan->setObjectName(controlName(L::kFanCheck));
    connect(m_fan, &QCheckBox::clicked, this, [this](bool on) { m_model.onFan(on); });
    top->addWidget(m_fan);

    // Kept from the template but never shown: the page does not read the temperature.
    auto* temperatureLine = new QHBoxLayout;
    m_temperatureLabel = new QLabel(QStringLiteral("FPGA core temperature:"));
    m_temperature = new QLabel;
    temperatureLine->addWidget(m_temperatureLabel);
    temperatureLine->addWidget(m_temperature);
    temperatureLine->addStretch(1);
    top->addLayout(temperatureLine);
    m_temperatureLabel->hide();
    m_temperature->hide();
    top->addStretch(1);

    initDialog();
}

CTabLED::~CTabLED() = default;

QWidget* CTabLED::byId(int controlId) const { return findChild<QWidget*>(controlName(controlId)); }

void CTabLED::showLevel(int numberId, int value) {
    const LevelRow* row = rowOf(numberId);
    if (row == nullptr) return;
    if (auto* number = qobject_cast<QLineEdit*>(byId(row->numberId))) {
        const QSignalBlocker block(number);
        number->setText(levelText(value));
    }
    if (auto* slider = qobject_cast<QSlider*>(byId(row->sliderId))) {
        const QSignalBlocker block(slider);
        slider->setValue(value);
    }
    if (auto* spin = qobject_cast<QSpinBox*>(byId(row->spinId))) {
        const QSignalBlocker block(spin);
        spin->setValue(value);
    }
}

void CTabLED::updateControls() {
    const TabLedModel::View view = m_model.update();
    for (const ShownNumber& n : view.numbers) showLevel(n.controlId, n.value);
    {
        const QSignalBlocker block(m_fan);
        m_fan->setChecked(view.fanChecked);
    }
    m_fan->setVisible(view.fanVisible);
}

void CTabLED::onNumberEdited(int numberId, const QString& text) {
    const std::optional<int> value = levelOf(text);
    if (!value) return;
    const TabLedModel::NumberResult r = m_model.onNumberChanged(numberId, *value);
    if (!r.stored) return;
    const LevelRow* row = rowOf(numberId);
    if (auto* slider = qobject_cast<QSlider*>(byId(row->sliderId))) {
        const QSignalBlocker block(slider);
        slider->setValue(r.value);
    }
    if (auto* spin = qobject_cast<QSpinBox*>(byId(row->spinId))) {
        const QSignalBlocker block(spin);
        spin->setValue(r.value);
    }
}

void CTabLED::onLevelMoved(int controlId, int position) {
    const TabLedModel::NumberResult r = m_model.onSliderMoved(controlId, position);
    if (r.stored) showLevel(r.numberId, r.value);
}

}  // namespace TVR
