#include "fw_upgrade_popup_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QVBoxLayout>

#include "fx3.h"
#include "shell/qt_text.h"
#include "shell/user_dialogs.h"

namespace TVR {

namespace {

QString viewText(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

}  // namespace

bool UpgradeQuestionBoxes::ask(const std::string& title, const std::string& text,
                               bool defaultYes) {
    MessageRequest r;
    r.icon = m_icon;
    r.title = QString::fromStdString(title);
    r.text = QString::fromStdString(text);
    r.buttons = QMessageBox::Yes | QMessageBox::No;
    r.defaultButton = defaultYes ? QMessageBox::Yes : QMessageBox::No;
    return m_dialogs.message(m_parent, r) == QMessageBox::Yes;
}

CFwUpgradePopupDlg::CFwUpgradePopupDlg(FX3& fx3, UpgradeOptions options, UserDialogs& dialogs,
                                       QWidget* parent)
    : QDialog(parent), m_options(std::move(options)), m_dialogs(dialogs), m_fx3(fx3) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("upgradeLog"));
    m_log->setReadOnly(true);
    m_log->setMinimumSize(520, 220);
    layout->addWidget(m_log, 1);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("upgradeProgress"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setProperty("failed", false);
    layout->addWidget(m_bar);

    auto* box = new QGroupBox(QStringLiteral("FPGA configuration status"), this);
    auto* grid = new QGridLayout(box);
    for (int bit = 0; bit < kFpgaStatusBits; ++bit) {
        auto* c = new QCheckBox(toQ(fpgaStatusName(bit)), box);
        c->setObjectName(QStringLiteral("fpgaStatus%1").arg(bit));
        // An indicator, not a switch.
        c->setAttribute(Qt::WA_TransparentForMouseEvents);
        c->setFocusPolicy(Qt::NoFocus);
        grid->addWidget(c, bit % 8, bit / 8);
        m_indicators[static_cast<size_t>(bit)] = c;
    }
    layout->addWidget(box);

    m_autoClose.setSingleShot(true);
    m_autoClose.setInterval(static_cast<int>(m_options.timing.autoClose.count()));
    connect(&m_autoClose, &QTimer::timeout, this, &QDialog::accept);

    // Reports come from the job's threads; one queued call at a time takes whatever arrived.
    m_monitor.setNotify([this] {
        if (m_queued.exchange(true)) return;
        QMetaObject::invokeMethod(this, &CFwUpgradePopupDlg::applyChanges, Qt::QueuedConnection);
    });
}

CFwUpgradePopupDlg::~CFwUpgradePopupDlg() {
    m_monitor.setNotify({});
    // Joins the job's threads (after an abandon, once the request under way returned).
    m_job.reset();
}

bool CFwUpgradePopupDlg::running() const { return m_job && m_job->inProgress(); }

QString CFwUpgradePopupDlg::logText() const { return m_log->toPlainText(); }

int CFwUpgradePopupDlg::progress() const { return m_bar->value(); }

bool CFwUpgradePopupDlg::progressFailed() const { return m_bar->property("failed").toBool(); }

bool CFwUpgradePopupDlg::indicatorOn(int bit) const {
    return bit >= 0 && bit < kFpgaStatusBits && m_indicators[static_cast<size_t>(bit)]->isChecked();
}

void CFwUpgradePopupDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started) return;
    m_started = true;
    // The window is up before the worker's first report.
    m_job = std::make_unique<UpgradeJob>(m_fx3, m_options, m_monitor);
    m_job->start();
}

void CFwUpgradePopupDlg::applyChanges() {
    m_queued = false;
    const FwMonitorChanges c = m_monitor.take();
    if (!c.text.empty()) {
        m_log->moveCursor(QTextCursor::End);
        m_log->insertPlainText(viewText(c.text));
        m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
    }
    m_bar->setValue(c.progress);
    if (c.cleared) {
        for (QCheckBox* box : m_indicators) box->setChecked(false);
    }
    for (int bit = 0; bit < kFpgaStatusBits; ++bit) {
        if ((c.changed & (1u << bit)) == 0) continue;
        m_indicators[static_cast<size_t>(bit)]->setChecked((c.status & (1u << bit)) != 0);
    }
    if (c.done && !m_abandoned) {
        m_outcome = *c.done;
        if (!*c.done) {
            m_bar->setProperty("failed", true);
            m_bar->setStyleSheet(
                QStringLiteral("QProgressBar::chunk { background-color: rgb(220, 40, 40); }"));
            // Shown full so that the red is seen.
            m_bar->setValue(100);
        }
        m_autoClose.start();
    }
}

bool CFwUpgradePopupDlg::mayClose() {
    if (!m_job || m_abandoned) return true;
    UpgradeQuestionBoxes questions(m_dialogs, this, QMessageBox::Warning);
    if (!m_job->requestClose(questions)) return false;
    if (!m_outcome && m_job->inProgress()) m_abandoned = true;
    return true;
}

void CFwUpgradePopupDlg::reject() {
    if (mayClose()) QDialog::reject();
}

}  // namespace TVR
