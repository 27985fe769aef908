#include "fw_upgrade_dlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "apilog.h"
#include "tools/firmware/fw_upgrade_popup_dlg.h"
#include "fx3.h"
#include "shell/user_dialogs.h"
#include "usb/debugger_output.h"

namespace TVR {

namespace {

const char* targetPrefix(UpgradeTarget target) {
    return target == UpgradeTarget::Fx3 ? "fx3" : "fpga";
}

}  // namespace

CFwUpgradeDlg::CFwUpgradeDlg(FwUpgradeDlgSetup setup, QWidget* parent)
    : QDialog(parent), m_setup(std::move(setup)), m_model(m_setup.fwRelease) {
    setWindowTitle(QString::fromLatin1(kTitle));
    auto* layout = new QVBoxLayout(this);
    for (UpgradeTarget t : {UpgradeTarget::Fx3, UpgradeTarget::Fpga}) {
        auto* box =
            new QGroupBox(QString::fromLatin1(t == UpgradeTarget::Fx3 ? "FX3" : "FPGA"), this);
        buildRow(t, box);
        layout->addWidget(box);
    }
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    showVersions();
    for (UpgradeTarget t : {UpgradeTarget::Fx3, UpgradeTarget::Fpga}) {
        {
            const QSignalBlocker block(row(t).source);
            row(t).source->setCurrentIndex(m_model.source(t));
        }
        showRow(t);
        fetch(t);
    }
}

CFwUpgradeDlg::~CFwUpgradeDlg() {
    for (std::thread& t : m_fetches) {
        if (t.joinable()) t.join();
    }
}

void CFwUpgradeDlg::buildRow(UpgradeTarget target, QWidget* box) {
    Row& r = row(target);
    const QString name = QString::fromLatin1(targetPrefix(target));
    auto* grid = new QGridLayout(box);
    r.version = new QLabel(box);
    r.version->setObjectName(name + QStringLiteral("Version"));
    grid->addWidget(r.version, 0, 0, 1, 3);
    r.source = new QComboBox(box);
    r.source->setObjectName(name + QStringLiteral("Source"));
    for (const std::string& s : FwUpgradeDlgModel::sourceNames()) {
        r.source->addItem(QString::fromStdString(s));
    }
    grid->addWidget(new QLabel(QStringLiteral("Source:"), box), 1, 0);
    grid->addWidget(r.source, 1, 1, 1, 2);
    r.releases = new QComboBox(box);
    r.releases->setObjectName(name + QStringLiteral("Releases"));
    grid->addWidget(r.releases, 2, 0, 1, 3);
    r.path = new QLineEdit(box);
    r.path->setObjectName(name + QStringLiteral("Path"));
    grid->addWidget(r.path, 3, 0, 1, 2);
    r.browse = new QPushButton(QStringLiteral("..."), box);
    r.browse->setObjectName(name + QStringLiteral("Browse"));
    grid->addWidget(r.browse, 3, 2);
    r.upgrade = new QPushButton(QStringLiteral("Upgrade"), box);
    r.upgrade->setObjectName(name + QStringLiteral("Upgrade"));
    grid->addWidget(r.upgrade, 4, 2);

    connect(r.source, &QComboBox::currentIndexChanged, this,
            [this, target](int index) { onSourceChanged(target, index); });
    connect(r.releases, &QComboBox::currentIndexChanged, this, [this, target](int index) {
        m_model.selectRelease(target, index);
        row(target).upgrade->setEnabled(m_model.canUpgrade(target));
    });
    connect(r.path, &QLineEdit::textChanged, this, [this, target](const QString& text) {
        m_model.setLocalPath(target, text.toStdString());
        row(target).upgrade->setEnabled(m_model.canUpgrade(target));
    });
    connect(r.browse, &QPushButton::clicked, this, [this, target] { browse(target); });
    connect(r.upgrade, &QPushButton::clicked, this, [this, target] { upgrade(target); });
}

void CFwUpgradeDlg::showVersions() {
    const QString fx3 = QString::fromStdString(m_setup.camera.versionFX3().shortText());
    const QString fpga = QString::fromStdString(m_setup.camera.versionFPGA().shortText());
    row(UpgradeTarget::Fx3).version->setText(QStringLiteral("Current FX3 version: ") + fx3);
    row(UpgradeTarget::Fpga).version->setText(QStringLiteral("Current FPGA version: ") + fpga);
}

void CFwUpgradeDlg::showRow(UpgradeTarget target) {
    Row& r = row(target);
    const bool local = m_model.source(target) == FwUpgradeDlgModel::kLocalFileSource;
    r.releases->setVisible(!local);
    r.path->setVisible(local);
    r.browse->setVisible(local);
    {
        const QSignalBlocker block(r.releases);
        r.releases->clear();
        for (const std::string& label : m_model.releaseLabels(target)) {
            r.releases->addItem(QString::fromStdString(label));
        }
        r.releases->setCurrentIndex(m_model.selectedRelease(target));
    }
    r.upgrade->setEnabled(m_model.canUpgrade(target));
}

void CFwUpgradeDlg::onSourceChanged(UpgradeTarget target, int index) {
    m_model.setSource(target, index);
    showRow(target);
    fetch(target);
}

void CFwUpgradeDlg::fetch(UpgradeTarget target) {
    const int kind = m_model.releaseKind(target);
    if (kind == 0) return;
    // A copy of the record: the worker must not read the camera's own.
    std::unique_ptr<VersionInfoBase> record;
    if (target == UpgradeTarget::Fx3) {
        record = std::make_unique<VersionInfoFX3>(m_setup.camera.versionFX3());
    } else {
        record = std::make_unique<VersionInfoFPGA>(m_setup.camera.versionFPGA());
    }
    ++m_pending;
    m_fetches.emplace_back(
        [this, target, kind, record = std::move(record), server = m_setup.server]() mutable {
            ReleaseList list = fetchFwReleases(*record, kind, server);
            // The window waits for this thread before it goes, so it is still there to receive.
            QMetaObject::invokeMethod(
                this,
                [this, target, kind, list = std::move(list)]() mutable {
                    onReleases(target, kind, std::move(list));
                },
                Qt::QueuedConnection);
        });
}

void CFwUpgradeDlg::onReleases(UpgradeTarget target, int kind, ReleaseList list) {
    --m_pending;
    std::string error;
    if (!m_model.setReleases(target, kind, std::move(list), &error) && !error.empty()) {
        debugOut("CFwUpgradeDlg: release list fetch failed");
        m_setup.camera.apiLog().appendText(true, error);
    }
    if (m_model.releaseKind(target) == kind) showRow(target);
}

void CFwUpgradeDlg::browse(UpgradeTarget target) {
    const QString filter = QString::fromStdString(FwUpgradeDlgModel::fileFilter(target));
    const QString current = QString::fromStdString(m_model.localPath(target));
    std::optional<QString> file;
    if (m_setup.chooseImage) {
        file = m_setup.chooseImage(this, filter, current);
    } else {
        const QString chosen = QFileDialog::getOpenFileName(this, QString(), current, filter);
        if (!chosen.isEmpty()) file = chosen;
    }
    if (file) row(target).path->setText(*file);
}

void CFwUpgradeDlg::upgrade(UpgradeTarget target) {
    if (!m_model.canUpgrade(target) || !m_setup.runUpgrade) return;
    const VersionInfoBase& record =
        target == UpgradeTarget::Fx3
            ? static_cast<const VersionInfoBase&>(m_setup.camera.versionFX3())
            : m_setup.camera.versionFPGA();
    UpgradeQuestionBoxes questions(m_setup.dialogs, this, QMessageBox::Question);
    std::optional<UpgradeOptions> job = m_model.job(target, record.build(), questions,
                                                    m_setup.server.baseAddress(), m_setup.timing);
    if (!job) return;
    m_setup.runUpgrade(std::move(*job));
    showVersions();
}

}  // namespace TVR
