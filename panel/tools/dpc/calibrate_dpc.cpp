#include "calibrate_dpc.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include "sensor/img_sensor.h"
#include "settings/preferences.h"
#include "tools/dpc/calibrate_dpc_model.h"

namespace TVR {

namespace {

constexpr const char* kCalibrateDpcWindowTitle = "Calibrate DPC (defective pixel cancellation)";
constexpr int kSlider = 1099;
constexpr int kCalibrateDpcCountBox = 1097;
constexpr int kRunButton = 1031;
constexpr int kCalibrateDpcProgressBar = 1102;
constexpr const char* kHint =
    "Hint: aim for the \"Threshold\" value that results in close to, but no more than, 4K "
    "\"Detected defective pixels\"";

}  // namespace

CCalibrateDPC::CCalibrateDPC(std::unique_ptr<CalibrateDpcModel> model,
                             const Preferences& preferences, const PreferencesStorage* geometry,
                             QWidget* parent)
    : CDlgBaseFX3(*model, geometry, parent), m_dpc(std::move(model)), m_preferences(preferences) {
    setWindowTitle(QString::fromUtf8(kCalibrateDpcWindowTitle));
    setModal(true);
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setObjectName(controlName(kSlider));
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(CalibrateDpcModel::kSliderTicks);
    m_slider->setMaximum(CalibrateDpcModel::kSliderMaximum);
    form->addRow(QStringLiteral("Threshold:"), m_slider);
    m_count = new QLineEdit;
    m_count->setObjectName(controlName(kCalibrateDpcCountBox));
    m_count->setReadOnly(true);
    form->addRow(QStringLiteral("Detected defective pixels:"), m_count);
    top->addLayout(form);
    auto* hint = new QLabel(QString::fromUtf8(kHint));
    hint->setWordWrap(true);
    top->addWidget(hint);
    m_run = new QPushButton(QStringLiteral("Run DPC calibration"));
    m_run->setObjectName(controlName(kRunButton));
    top->addWidget(m_run);
    m_progress = new QProgressBar;
    m_progress->setObjectName(controlName(kCalibrateDpcProgressBar));
    m_progress->setRange(0, CalibrateDpcModel::kTimeoutTicks * CalibrateDpcModel::kProgressPerTick);
    m_progress->setValue(0);
    top->addWidget(m_progress);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);

    connect(m_run, &QPushButton::clicked, this, [this] { onRun(); });
    connect(&m_timer, &QTimer::timeout, this, [this] { onTick(); });
    initDialog();
}

CCalibrateDPC::~CCalibrateDPC() {
    m_timer.stop();
    detachModel();
}

std::string CCalibrateDPC::readStateTaskName() const { return "Read DPC threshold"; }

void CCalibrateDPC::showEvent(QShowEvent* event) {
    // Expert mode may have changed since the window was last shown.
    m_slider->setMinimum(
        CalibrateDpcModel::sliderMinimum(m_preferences.number(PreferenceName::kExpert) != 0));
    CDlgBaseFX3::showEvent(event);
}

void CCalibrateDPC::hideEvent(QHideEvent* event) {
    // The camera goes on detecting; only the poll stops with the window.
    m_dpc->closed();
    sync();
    CDlgBaseFX3::hideEvent(event);
}

void CCalibrateDPC::updateControls() {
    const CalibrateDpcModel::View view = m_dpc->view();
    m_slider->setValue(view.sliderPosition);
    m_count->setText(QString::number(view.pixelCount));
    sync();
}

void CCalibrateDPC::onRun() {
    m_dpc->run(m_slider->value());
    sync();
}

void CCalibrateDPC::onTick() {
    m_dpc->tick();
    if (!m_dpc->timerActive() && !m_dpc->timedOut()) {
        m_count->setText(QString::number(m_dpc->pixelCount()));
    }
    sync();
}

void CCalibrateDPC::sync() {
    const CalibrateDpcModel& m = *m_dpc;
    m_run->setEnabled(m.buttonEnabled() && camera().connected());
    m_progress->setValue(m.progress());
    if (m.waitCursor()) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
    if (!m.timerActive()) {
        m_timer.stop();
    } else if (m.timerStarts() != m_seenTimerStarts || !m_timer.isActive()) {
        m_timer.start(CalibrateDpcModel::kTimerPeriodMs);
    }
    m_seenTimerStarts = m.timerStarts();
}

}  // namespace TVR
