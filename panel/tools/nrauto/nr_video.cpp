#include "tools/nrauto/nr_video.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "settings/settings_store.h"
#include "tools/nrauto/nr_video_model.h"

namespace TVR {

namespace {

constexpr const char* kNrVideoWindowTitle = "Video noise reduction";
constexpr int kTick = 16;
constexpr int kPage = 16;

}  // namespace

CNRVideo::CNRVideo(NrVideoModel& model, const PreferencesStorage* geometry, QWidget* parent)
    : CDlgBaseFX3(model, geometry, parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kNrVideoWindowTitle));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* top = new QVBoxLayout(this);
    top->addWidget(makeRow(m_luma, "&Luma", kLumaGroup, kLumaSlider, kLumaNumber, kLumaSpin,
                           kKeyNrLuma.data()));
    top->addWidget(makeRow(m_chroma, "&Chroma", kChromaGroup, kChromaSlider, kChromaNumber,
                           kChromaSpin, kKeyNrChroma.data()));
    top->addStretch(1);
    initDialog();
}

CNRVideo::~CNRVideo() = default;

QGroupBox* CNRVideo::makeRow(Row& row, const char* caption, int groupId, int sliderId, int numberId,
                             int spinId, const char* key) {
    row.group = new QGroupBox(QString::fromUtf8(caption));
    row.group->setObjectName(controlName(groupId));
    row.numberId = numberId;
    row.key = key;
    auto* line = new QHBoxLayout(row.group);
    row.slider = new QSlider(Qt::Horizontal);
    row.slider->setObjectName(controlName(sliderId));
    row.slider->setRange(0, NrVideoModel::kStrengthMaximum);
    row.slider->setTickPosition(QSlider::TicksBelow);
    row.slider->setTickInterval(kTick);
    row.slider->setSingleStep(1);
    row.slider->setPageStep(kPage);
    row.slider->setMinimumWidth(200);
    line->addWidget(row.slider);
    row.number = new QLineEdit;
    row.number->setObjectName(controlName(numberId));
    row.number->setValidator(
        new QRegularExpressionValidator(QRegularExpression("\\d{0,5}"), row.number));
    row.number->setMaximumWidth(60);
    line->addWidget(row.number);
    row.spin = new QSpinBox;
    row.spin->setObjectName(controlName(spinId));
    row.spin->setRange(0, NrVideoModel::kStrengthMaximum);
    row.spin->setKeyboardTracking(false);
    row.spin->setMaximumWidth(20);
    line->addWidget(row.spin);

    // Slider and spin write into the number box, whose change stores and pushes.
    const auto intoNumber = [this, &row](int v) {
        row.number->setText(QString::number(v));
        onNumberEdited(row, row.number->text());
    };
    connect(row.slider, &QSlider::valueChanged, this, intoNumber);
    connect(row.spin, &QSpinBox::valueChanged, this, intoNumber);
    connect(row.number, &QLineEdit::textEdited, this,
            [this, &row](const QString& t) { onNumberEdited(row, t); });
    return row.group;
}

void CNRVideo::showValue(Row& row, int value) {
    const QSignalBlocker blockSlider(row.slider);
    const QSignalBlocker blockSpin(row.spin);
    row.slider->setValue(value);
    row.spin->setValue(value);
    // A strength of 0 is no reduction: the group's caption is greyed. Disabling the box itself
    // would disable its slider too, and the strength could never be raised again.
    const bool on = m_model.groupEnabled(row.key);
    row.group->setProperty(kStrengthOnProperty, on);
    row.group->setStyleSheet(on ? QString() : QStringLiteral("QGroupBox { color: gray; }"));
}

void CNRVideo::onNumberEdited(Row& row, const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return;
    if (!m_model.editNumber(row.numberId, value).stored) return;
    showValue(row, store().getInt(row.key));
}

void CNRVideo::updateControls() {
    for (Row* row : {&m_luma, &m_chroma}) {
        const int value = store().getInt(row->key);
        {
            const QSignalBlocker block(row->number);
            row->number->setText(QString::number(static_cast<unsigned>(value)));
        }
        showValue(*row, value);
    }
}

}  // namespace TVR
