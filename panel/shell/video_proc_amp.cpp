#include "video_proc_amp.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>

#include "shell/dlg_base.h"
#include "shell/media_source.h"
#include "video/uvc_properties.h"

namespace TVR {

CDlgUVCBase::CDlgUVCBase(CameraMediaSource& source, QWidget* parent)
    : QDialog(parent), m_source(source) {
    m_release.setSingleShot(true);
    m_release.setInterval(kReleaseMs);
    connect(&m_release, &QTimer::timeout, this, &CDlgUVCBase::releaseSource);
}

CDlgUVCBase::~CDlgUVCBase() = default;

void CDlgUVCBase::releaseSource() {
    m_release.stop();
    m_held.reset();
}

UvcProperties* CDlgUVCBase::procAmp() {
    if (!m_held) m_held = m_source.open();
    m_release.start();
    return m_held ? m_held->procAmp() : nullptr;
}

CDlgAMVideoProcAmp::CDlgAMVideoProcAmp(CameraMediaSource& source, QWidget* parent)
    : CDlgUVCBase(source, parent) {
    static_assert(std::tuple_size_v<decltype(m_rows)> == 10);
    setWindowTitle(QStringLiteral("Camera"));
    buildControls();
    showAll();
}

CDlgAMVideoProcAmp::~CDlgAMVideoProcAmp() = default;

void CDlgAMVideoProcAmp::buildControls() {
    auto* grid = new QGridLayout(this);
    int line = 0;
    const auto rows = VideoProcAmpModel::rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const UvcPropertyRow& row = rows[i];
        if (!row.hasControls()) continue;
        RowWidgets& w = m_rows[i];
        w.label = new QLabel(QString::fromUtf8(row.label), this);
        w.label->setObjectName(controlName(row.labelId));
        w.slider = new QSlider(Qt::Horizontal, this);
        w.slider->setObjectName(controlName(row.sliderId));
        w.number = new QLineEdit(this);
        w.number->setObjectName(controlName(row.numberId));
        w.number->setMaximumWidth(80);
        w.spin = new QSpinBox(this);
        w.spin->setObjectName(controlName(row.spinId));
        // An up-down buddy of the number box, as on the Sensor page: arrows only.
        w.spin->setMaximumWidth(20);
        w.autoBox = new QCheckBox(QStringLiteral("Auto"), this);
        w.autoBox->setObjectName(controlName(row.autoId));
        grid->addWidget(w.label, line, 0);
        grid->addWidget(w.slider, line, 1);
        grid->addWidget(w.number, line, 2);
        grid->addWidget(w.spin, line, 3);
        grid->addWidget(w.autoBox, line, 4);
        ++line;

        connect(w.slider, &QSlider::valueChanged, this, [this, i](int v) { onSlider(i, v); });
        connect(w.number, &QLineEdit::textEdited, this,
                [this, i](const QString& t) { onNumber(i, t); });
        connect(w.spin, &QSpinBox::valueChanged, this, [this, i](int v) { onSpin(i, v); });
        connect(w.autoBox, &QCheckBox::clicked, this, [this, i] { onAuto(i); });
    }
    auto* defaults = new QPushButton(QStringLiteral("Default"), this);
    defaults->setObjectName(controlName(kDefaultButtonId));
    grid->addWidget(defaults, line, 4);
    connect(defaults, &QPushButton::clicked, this, &CDlgAMVideoProcAmp::onDefault);
}

void CDlgAMVideoProcAmp::showRow(size_t row) {
    RowWidgets& w = m_rows[row];
    if (w.slider == nullptr) return;
    const UvcRowView& v = m_model.view(row);
    const bool prev = m_filling;
    m_filling = true;
    w.slider->setRange(v.sliderMin, v.sliderMax);
    w.slider->setPageStep(v.pageSize);
    w.slider->setSingleStep(v.spinStep);
    w.slider->setValue(v.sliderPos);
    w.spin->setRange(v.spinMin, v.spinMax);
    w.spin->setSingleStep(v.spinStep);
    w.spin->setValue(v.value);
    // A box that already reads the value keeps the user's own spelling of it.
    bool ok = false;
    const int shown = w.number->text().toInt(&ok);
    if (!ok || shown != v.value || !v.available) {
        w.number->setText(v.available ? QString::number(v.value) : QString());
    }
    w.autoBox->setChecked(v.autoChecked);
    m_filling = prev;

    w.label->setEnabled(v.available && v.manualEnabled);
    w.slider->setEnabled(v.available && v.manualEnabled && v.sliderEnabled);
    w.number->setEnabled(v.available && v.manualEnabled);
    w.spin->setEnabled(v.available && v.manualEnabled);
    w.autoBox->setEnabled(v.available && v.autoEnabled);
}

void CDlgAMVideoProcAmp::showAll() {
    for (size_t i = 0; i < m_rows.size(); ++i) showRow(i);
}

void CDlgAMVideoProcAmp::refresh() {
    m_model.refresh(procAmp());
    showAll();
}

void CDlgAMVideoProcAmp::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) refresh();
}

void CDlgAMVideoProcAmp::onSlider(size_t row, int position) {
    if (m_filling) return;
    UvcProperties* props = procAmp();
    const bool autoOn = m_rows[row].autoBox->isChecked();
    m_model.userChange(row, UvcChange::Slider, position, 0, autoOn, props);
    // The slider writes its value into the number box, whose change reaches the device.
    m_model.userChange(row, UvcChange::Number, 0, m_model.view(row).value, autoOn, props);
    showRow(row);
}

void CDlgAMVideoProcAmp::onNumber(size_t row, const QString& text) {
    if (m_filling) return;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok) return;  // a half-typed number such as "-"
    m_model.userChange(row, UvcChange::Number, 0, value, m_rows[row].autoBox->isChecked(),
                       procAmp());
    showRow(row);
}

void CDlgAMVideoProcAmp::onSpin(size_t row, int value) {
    if (m_filling) return;
    // The spin box sets its buddy number box; the number's change does the rest.
    m_rows[row].number->setText(QString::number(value));
    onNumber(row, m_rows[row].number->text());
}

void CDlgAMVideoProcAmp::onAuto(size_t row) {
    if (m_filling) return;
    bool ok = false;
    const int value = m_rows[row].number->text().trimmed().toInt(&ok);
    m_model.userChange(row, UvcChange::Auto, 0, ok ? value : m_model.view(row).value,
                       m_rows[row].autoBox->isChecked(), procAmp());
    showRow(row);
}

void CDlgAMVideoProcAmp::onDefault() {
    m_model.setDefaults(procAmp());
    showAll();
}

}  // namespace TVR
