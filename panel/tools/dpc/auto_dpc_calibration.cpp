#include "auto_dpc_calibration.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "shell/user_dialogs.h"
#include "tools/dpc/auto_dpc_calibration_model.h"

namespace TVR {

namespace {

constexpr const char* kWindowTitle = "Automated DPC calibration";
constexpr int kButton = 1268;
constexpr int kThresholdBox = 1264;
constexpr int kCountBox = 1265;
constexpr int kProgressBar = 1266;
constexpr int kStatusText = 1267;
const QColor kConnectedColour(0, 200, 0);
const QColor kDisconnectedColour(234, 0, 0);

QLineEdit* readOnlyBox(int id) {
    auto* box = new QLineEdit;
    box->setObjectName(controlName(id));
    box->setReadOnly(true);
    return box;
}

}  // namespace

CAutoDpcCalibration::CAutoDpcCalibration(std::unique_ptr<AutoDpcCalibrationModel> model,
                                         UserDialogs& dialogs, const PreferencesStorage* geometry,
                                         QWidget* parent)
    : CDlgBaseFX3(*model, geometry, parent), m_dpc(std::move(model)), m_dialogs(dialogs) {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setModal(true);
    auto* top = new QVBoxLayout(this);
    m_button = new QPushButton(QStringLiteral("Begin calibration"));
    m_button->setObjectName(controlName(kButton));
    top->addWidget(m_button);
    auto* form = new QFormLayout;
    m_threshold = readOnlyBox(kThresholdBox);
    m_count = readOnlyBox(kCountBox);
    form->addRow(QStringLiteral("Last sensitivity threshold:"), m_threshold);
    form->addRow(QStringLiteral("Detected non-linear response pixels:"), m_count);
    top->addLayout(form);
    m_status = new QLabel(QString::fromStdString(m_dpc->rangeText()));
    m_status->setObjectName(controlName(kStatusText));
    top->addWidget(m_status);
    m_progress = new QProgressBar;
    m_progress->setObjectName(controlName(kProgressBar));
    m_progress->setRange(0, AutoDpcCalibrationModel::kProgressFull);
    m_progress->setValue(0);
    top->addWidget(m_progress);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);

    connect(m_button, &QPushButton::clicked, this, [this] { onButton(); });
    connect(&m_timer, &QTimer::timeout, this, [this] { onTick(); });
    initDialog();
}

CAutoDpcCalibration::~CAutoDpcCalibration() {
    m_timer.stop();
    detachModel();
}

std::string CAutoDpcCalibration::readStateTaskName() const { return "Read DPC's threshold"; }

void CAutoDpcCalibration::showEvent(QShowEvent* event) {
    CDlgBaseFX3::showEvent(event);
    if (event->spontaneous()) return;
    m_dpc->opened();
    sync();
}

void CAutoDpcCalibration::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_dpc->closed();
        sync();
    }
    CDlgBaseFX3::hideEvent(event);
}

void CAutoDpcCalibration::updateControls() { sync(); }

void CAutoDpcCalibration::onButton() {
    m_dpc->pressButton();
    sync();
}

void CAutoDpcCalibration::onTick() {
    m_dpc->tick();
    sync();
}

void CAutoDpcCalibration::sync() {
    const AutoDpcCalibrationModel& m = *m_dpc;
    m_button->setText(QString::fromStdString(m.buttonText()));
    m_button->setEnabled(m.buttonEnabled());
    m_threshold->setText(QString::number(m.shownThreshold()));
    m_count->setText(QString::number(m.shownCount()));
    m_status->setText(QString::fromStdString(m.rangeText()));
    m_progress->setValue(m.progress());
    QPalette palette = m_progress->palette();
    palette.setColor(QPalette::Highlight, m.connected() ? kConnectedColour : kDisconnectedColour);
    m_progress->setPalette(palette);
    if (m.waitCursor()) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
    if (!m.timerActive()) {
        m_timer.stop();
    } else if (m.timerStarts() != m_seenTimerStarts || !m_timer.isActive()) {
        m_timer.start(AutoDpcCalibrationModel::kTimerPeriodMs);
    }
    m_seenTimerStarts = m.timerStarts();
    if (auto message = m_dpc->takeMessage()) {
        m_dialogs.message(
            this, {message->fits ? QMessageBox::NoIcon : QMessageBox::Warning,
                   QString::fromStdString(message->title), QString::fromStdString(message->text),
                   QMessageBox::Ok, QMessageBox::Ok});
    }
}

}  // namespace TVR
