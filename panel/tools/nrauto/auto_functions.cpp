#include "tools/nrauto/auto_functions.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "sensor/img_sensor.h"
#include "settings/settings_store.h"
#include "tools/nrauto/auto_functions_model.h"

namespace TVR {

namespace {

constexpr const char* kWindowTitle = "Auto-functions' parameters";
constexpr int kExposureTick = 16;
constexpr int kWbTick = 128;
constexpr int kFramesTick = 8;
constexpr int kFineTick = 2048;

}  // namespace

CAutoFunctions::CAutoFunctions(AutoFunctionsModel& model, const PreferencesStorage* geometry,
                               QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);
    makeRow(m_exposure, kExposureSlider, kExposureNumber, kExposureSpin,
            AutoFunctionsModel::kExposureMaximum, kExposureTick, kKeyAfnSetpointExposure.data());
    makeRow(m_wb, kWbSlider, kWbNumber, kWbSpin, AutoFunctionsModel::kWhiteBalanceMaximum, kWbTick,
            kKeyAfnSetpointWb.data());
    int line = 0;
    for (const auto& [caption, row] :
         {std::pair<const char*, Row*>{"Exposure", &m_exposure}, {"White bal.", &m_wb}}) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), line, 0);
        grid->addWidget(row->slider, line, 1);
        grid->addWidget(row->number, line, 2);
        grid->addWidget(row->spin, line, 3);
        ++line;
    }
    grid->addWidget(new QLabel(QStringLiteral("Update interval")), line, 0);
    m_interval = new QSlider(Qt::Horizontal);
    m_interval->setObjectName(controlName(kIntervalSlider));
    m_interval->setRange(0, AutoFunctionsModel::kIntervalFramesMaximum);
    m_interval->setTickPosition(QSlider::TicksBelow);
    m_interval->setTickInterval(kFramesTick);
    grid->addWidget(m_interval, line, 1);
    // The value sits at the slider's right end, as its buddy.
    m_intervalValue = new QLabel;
    m_intervalValue->setObjectName(controlName(kIntervalValue));
    m_intervalValue->setMinimumWidth(50);
    grid->addWidget(m_intervalValue, line, 2, 1, 2);
    connect(m_interval, &QSlider::valueChanged, this, &CAutoFunctions::onIntervalMoved);
    initDialog();
}

CAutoFunctions::~CAutoFunctions() = default;

void CAutoFunctions::makeRow(Row& row, int sliderId, int numberId, int spinId, int maximum,
                             int tick, const char* key) {
    row.numberId = numberId;
    row.key = key;
    row.slider = new QSlider(Qt::Horizontal);
    row.slider->setObjectName(controlName(sliderId));
    row.slider->setRange(0, maximum);
    row.slider->setTickPosition(QSlider::TicksBelow);
    row.slider->setTickInterval(tick);
    row.slider->setMinimumWidth(200);
    row.number = new QLineEdit;
    row.number->setObjectName(controlName(numberId));
    row.number->setValidator(
        new QRegularExpressionValidator(QRegularExpression("\\d{0,5}"), row.number));
    row.number->setMaximumWidth(60);
    row.spin = new QSpinBox;
    row.spin->setObjectName(controlName(spinId));
    row.spin->setRange(0, maximum);
    row.spin->setKeyboardTracking(false);
    row.spin->setMaximumWidth(20);
    const auto intoNumber = [this, &row](int v) {
        row.number->setText(QString::number(v));
        onNumberEdited(row, row.number->text());
    };
    connect(row.slider, &QSlider::valueChanged, this, intoNumber);
    connect(row.spin, &QSpinBox::valueChanged, this, intoNumber);
    connect(row.number, &QLineEdit::textEdited, this,
            [this, &row](const QString& t) { onNumberEdited(row, t); });
}

void CAutoFunctions::onNumberEdited(Row& row, const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return;
    if (!m_model.editNumber(row.numberId, value).stored) return;
    const int stored = store().getInt(row.key);
    const QSignalBlocker blockSlider(row.slider);
    const QSignalBlocker blockSpin(row.spin);
    row.slider->setValue(stored);
    row.spin->setValue(stored);
}

void CAutoFunctions::onIntervalMoved(int position) {
    if (!m_model.editNumber(kIntervalSlider, position).stored) return;
    m_intervalValue->setText(QString::number(store().getInt(kKeyAfnUpdateInterval)));
}

void CAutoFunctions::updateControls() {
    if (camera().connected()) {
        const int maximum = m_model.intervalMaximum();
        const QSignalBlocker block(m_interval);
        m_interval->setRange(0, maximum);
        m_interval->setTickInterval(
            maximum == AutoFunctionsModel::kIntervalFramesMaximum ? kFramesTick : kFineTick);
    }
    for (Row* row : {&m_exposure, &m_wb}) {
        const int value = store().getInt(row->key);
        const QSignalBlocker blockNumber(row->number);
        const QSignalBlocker blockSlider(row->slider);
        const QSignalBlocker blockSpin(row->spin);
        row->number->setText(QString::number(value));
        row->slider->setValue(value);
        row->spin->setValue(value);
    }
    const int interval = store().getInt(kKeyAfnUpdateInterval);
    {
        // A value beyond the slider's range puts it at its end; the store keeps the value.
        const QSignalBlocker block(m_interval);
        m_interval->setValue(interval);
    }
    m_intervalValue->setText(QString::number(interval));
}

}  // namespace TVR
